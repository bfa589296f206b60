// The main window's menus and the picture buttons and commands they reach.

#include "app/MainForm.h"
#include "character/CharacterWindow.h"
#include "platform/Runtime.h"
#include "settings/SettingsFiles.h"

#include <QDesktopServices>
#include <QEvent>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QUrl>

namespace pelloway {

namespace {

const QString ProgramTitle = QStringLiteral("Pelloway");

} // namespace

void MainForm::buildMenus()
{
    // The window is about 100 pixels wide: narrow items keep both menus on the bar instead
    // of behind an overflow button.
    menuBar()->setStyleSheet(QStringLiteral("QMenuBar::item { padding: 2px 3px; }"));
    mfile = menuBar()->addMenu(QStringLiteral("ファイル"));
    mcheck = mfile->addAction(QStringLiteral("新着メールチェック"));
    mline2 = mfile->addSeparator();
    mset = mfile->addAction(QStringLiteral("設定"));
    mzenmen = mfile->addAction(QStringLiteral("常に前面表示"));
    mline3 = mfile->addSeparator();
    mhp = mfile->addAction(QStringLiteral("作者のホームページ"));
    mgazou = menuBar()->addMenu(QStringLiteral("画像"));
    mhenkou = mgazou->addAction(QStringLiteral("イベント確認"));
    mline5 = mgazou->addSeparator();
    mebentend = mgazou->addAction(QStringLiteral("イベント終了"));

    // The first menu's items only run the picture buttons' handlers.
    connect(mcheck, &QAction::triggered, this, [this] { Picture7_Click(); });
    connect(mset, &QAction::triggered, this, [this] { Picture1_Click(); });
    connect(mzenmen, &QAction::triggered, this, [this] { Picture8_Click(); });
    connect(mhp, &QAction::triggered, this, [this] { Picture10_Click(); });
    connect(mhenkou, &QAction::triggered, this, [this] { mhenkou_Click(); });
    connect(mebentend, &QAction::triggered, this, [this] { mebentend_Click(); });

    connect(Picture1, &QPushButton::clicked, this, [this] { Picture1_Click(); });
    connect(Picture8, &QPushButton::clicked, this, [this] { Picture8_Click(); });
    connect(Picture10, &QPushButton::clicked, this, [this] { Picture10_Click(); });
    connect(Command1, &QPushButton::clicked, this, [this] { Command1_Click(); });
    Picture8->setMouseTracking(true);
    Picture8->installEventFilter(this);
}

bool MainForm::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == Picture8 && event->type() == QEvent::MouseMove)
        Picture8_MouseMove();
    return QMainWindow::eventFilter(watched, event);
}

void MainForm::Picture1_Click()
{
    m_setForm.show();
}

void MainForm::Picture8_Click()
{
    const bool makeTopmost = m_topmostClickCount % 2 == 0;
    QMessageBox box(QMessageBox::Information, ProgramTitle,
                    makeTopmost ? QStringLiteral("常に手前表示が設定されました。")
                                : QStringLiteral("常に手前表示が解除されました。"),
                    QMessageBox::Ok, this);
    box.exec();
    // The box comes first, then the change of stacking; the window is shown either way.
    m_services.stacking.SetTopmost(*this, makeTopmost);
    ++m_topmostClickCount;
}

void MainForm::Picture8_MouseMove()
{
    setWindowTitle(QStringLiteral("常に手前表示"));
}

QUrl MainForm::HomePageUrl(const QString& appFolder)
{
    const QString configured = QStringLiteral(PELLOWAY_HOMEPAGE_URL);
    if (!configured.isEmpty())
        return QUrl(configured);
    return QUrl::fromLocalFile(AppendPath(appFolder, QStringLiteral("/about.html")));
}

void MainForm::Picture10_Click()
{
    QMessageBox box(QMessageBox::Question, QStringLiteral("確認"),
                    QStringLiteral("「Tomvale」作者のホームページです。ちょっと見てみますか？"),
                    QMessageBox::Yes | QMessageBox::No, this);
    if (box.exec() != QMessageBox::Yes)
        return;
    // A browser that cannot start is not reported.
    QDesktopServices::openUrl(HomePageUrl(m_files.appFolder()));
}

void MainForm::Command1_Click()
{
    m_services.character.Show();
}

void MainForm::mhenkou_Click()
{
    Command4_Click();
    m_services.character.Show();
    ShowPicture(QStringLiteral("wife.gif"));
}

void MainForm::mebentend_Click()
{
    ShowPicture(QStringLiteral("infant.gif"));
    CloseTune();
    m_services.character.Unload();
}

} // namespace pelloway
