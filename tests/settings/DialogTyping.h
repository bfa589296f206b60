#pragma once
// Typing into the settings dialogs as a user does: Japanese through input-method commits,
// since QTest::keyClicks handles only Latin-1 text.

#include <QApplication>
#include <QInputMethodEvent>
#include <QLineEdit>
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

} // namespace pelloway::test
