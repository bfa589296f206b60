#pragma once
// Driving the settings dialogs as a user does: typing (Japanese through input-method commits,
// since QTest::keyClicks handles only Latin-1 text) and reading the keyboard focus order.

#include <QApplication>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QStringList>
#include <QTest>
#include <QWidget>

namespace pelloway::test {

// Commits text at the cursor as an input method does.
inline void CommitText(QWidget* box, const QString& text)
{
    QInputMethodEvent event;
    event.setCommitString(text);
    QApplication::sendEvent(box, &event);
}

// Replaces a box's text as a user does: select all, then delete it or put the new text in
// one go (as a paste or an input-method commit would, so the box changes once).
inline void Retype(QLineEdit* box, const QString& text)
{
    box->setFocus();
    box->selectAll();
    if (text.isEmpty())
        QTest::keyClick(box, Qt::Key_Delete);
    else
        CommitText(box, text);
}

// Shows the window, makes it active, and walks the Tab key from `first` for `count` stops,
// giving the object names of the focused widgets.
inline QStringList TabWalk(QWidget* window, QWidget* first, int count)
{
    window->show();
    window->activateWindow();
    if (!QTest::qWaitForWindowActive(window))
        return {QStringLiteral("<window not active>")};
    first->setFocus(Qt::TabFocusReason);
    QStringList names;
    for (int i = 0; i < count; ++i) {
        QWidget* focused = QApplication::focusWidget();
        names << (focused ? focused->objectName() : QStringLiteral("<none>"));
        QTest::keyClick(focused ? focused : window, Qt::Key_Tab);
    }
    return names;
}

} // namespace pelloway::test
