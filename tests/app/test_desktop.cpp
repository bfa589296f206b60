// The whole program as a user meets it: a real X server with a window manager, the real
// executable started from a prepared program folder and working folder, a private Dovecot
// with three messages, a private NetworkManager offering dial-up connections and a private
// /proc holding a hand-started pppd (the program never sees the machine's own links). The user
// chooses "ファイル" → "新着メールチェック" with the mouse and keyboard (xdotool); the test
// watches what appears on the screen. Screenshots of a failing run are kept in
// e2e-artifacts/ beside the test's working directory.

#include "mail/MsgForm.h"
#include "platform/Fonts.h"
#include "support/DBusMock.h"
#include "support/Dovecot.h"
#include "support/FakeProc.h"
#include "support/ScriptedPop3Server.h"
#include "support/TestSupport.h"
#include "support/WindowManager.h"

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QImageReader>
#include <QLineEdit>
#include <QProcess>
#include <QScreen>
#include <QTest>
#include <atomic>
#include <csignal>
#include <memory>
#include <sys/wait.h>

using namespace pelloway;
using namespace pelloway::test;

namespace {

// How many windows of the process are on the screen (menus included: Qt marks each with its PID).
int visibleWindows(qint64 pid)
{
    const QString ids =
        RunProgram(QStringLiteral("xdotool"), {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                               QStringLiteral("--pid"), QString::number(pid)});
    return ids.isEmpty() ? 0 : int(ids.split(u'\n').size());
}

QImage grab(const QString& id)
{
    return QGuiApplication::primaryScreen()
        ->grabWindow(WId(id.toULongLong()))
        .toImage()
        .convertToFormat(QImage::Format_RGB32);
}

// Share of pixels of `a` equal to those of `b` over a's size (0 when b is smaller).
double sameShare(const QImage& a, const QImage& b)
{
    if (a.isNull() || b.width() < a.width() || b.height() < a.height())
        return 0;
    qint64 same = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x)
            same += a.pixel(x, y) == b.pixel(x, y);
    }
    return double(same) / (qint64(a.width()) * a.height());
}

// Best match of a screen region against the frames of an animated picture.
double matchesPicture(const QImage& region, const QString& file)
{
    QImageReader reader(file);
    double best = 0;
    while (true) {
        const QImage frame = reader.read();
        if (frame.isNull())
            break;
        const QImage f = frame.convertToFormat(QImage::Format_RGB32);
        const QRect common = QRect(QPoint(), f.size()).intersected(QRect(QPoint(), region.size()));
        best = std::max(best, sameShare(f.copy(common), region.copy(common)));
    }
    return best;
}

} // namespace

class TestDesktop : public QObject
{
    Q_OBJECT
private:
    std::unique_ptr<WindowManager> m_wm;
    std::unique_ptr<DBusMock> m_bus;
    std::unique_ptr<Dovecot> m_mail;
    FakeProc m_proc;
    QTemporaryDir m_root;
    std::unique_ptr<QProcess> m_program;
    QList<std::pair<QString, QImage>> m_shots;

    void shot(const QString& name)
    {
        m_shots.append({name, QGuiApplication::primaryScreen()->grabWindow(0).toImage()});
    }

    QString programDir() const { return m_root.filePath(QStringLiteral("program")); }
    QProcessEnvironment programEnvironment() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"), m_bus->address());
        env.insert(QStringLiteral("PELLOWAY_PROC_ROOT"), m_proc.root());
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_root.filePath(QStringLiteral("run")));
        env.insert(QStringLiteral("HOME"), m_root.filePath(QStringLiteral("home")));
        env.remove(QStringLiteral("XDG_CONFIG_HOME"));
        return env;
    }
    QString workDir() const { return m_root.filePath(QStringLiteral("work")); }

    void startProgram()
    {
        m_program = std::make_unique<QProcess>();
        m_program->setWorkingDirectory(workDir());
        m_program->setProcessChannelMode(QProcess::ForwardedChannels);
        m_program->setProcessEnvironment(programEnvironment());
        m_program->start(programDir() + QStringLiteral("/pelloway"), {});
    }

    void stopProgram()
    {
        if (m_program)
            StopProcess(*m_program);
        m_program.reset();
    }

    // ファイル → 新着メールチェック, as a user would; false when the menu does not open.
    bool checkThroughTheMenu(const QString& main, int menuHeight)
    {
        const int windows = visibleWindows(m_program->processId());
        RunProgram(QStringLiteral("xdotool"),
                   {QStringLiteral("mousemove"), QStringLiteral("--window"), main, QStringLiteral("20"),
                    QString::number(menuHeight / 2), QStringLiteral("click"), QStringLiteral("1")});
        if (!QTest::qWaitFor([&] { return visibleWindows(m_program->processId()) > windows; }, 5000))
            return false;
        RunProgram(QStringLiteral("xdotool"),
                   {QStringLiteral("key"), QStringLiteral("Down"), QStringLiteral("Return")});
        return true;
    }

    // The main window's picture area (below the menu bar; the client is 139 px high).
    static QRect pictureArea(const QImage& window) { return QRect(0, window.height() - 139, 98, 96); }

    bool showsPicture(const QImage& window, const QString& picture) const
    {
        return !window.isNull() &&
               matchesPicture(window.copy(pictureArea(window)),
                              programDir() + QStringLiteral("/★MailData/") + picture) > 0.95;
    }

    // The main window once it shows `picture` (it has been drawn), or as it is after five
    // seconds: the caller's checks say what is wrong then.
    QImage drawn(const QString& main, const QString& picture) const
    {
        QImage window;
        (void)QTest::qWaitFor([&] { return showsPicture(window = grab(main), picture); }, 5000);
        return window;
    }

    bool prepareFolders()
    {
        QDir root(m_root.path());
        const QString built = QCoreApplication::applicationDirPath();
        if (!root.mkpath(QStringLiteral("run")) || !root.mkpath(QStringLiteral("home")) ||
            !QFile::setPermissions(m_root.filePath(QStringLiteral("run")),
                                   QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner) ||
            !root.mkpath(QStringLiteral("program/★MailData")) ||
            !root.mkpath(QStringLiteral("program/Sound")) || !root.mkpath(QStringLiteral("work")))
            return false;
        if (!QFile::copy(built + QStringLiteral("/pelloway"), programDir() + QStringLiteral("/pelloway")))
            return false;
        for (const QString& sub : {QStringLiteral("★MailData"), QStringLiteral("Sound")}) {
            const QDir from(built + u'/' + sub);
            for (const QString& name :
                 from.entryList({QStringLiteral("*.gif"), QStringLiteral("*.mid")}, QDir::Files))
                QFile::copy(from.filePath(name), programDir() + u'/' + sub + u'/' + name);
        }
        const QString data = programDir() + QStringLiteral("/★MailData/");
        return WriteBytes(workDir() + QStringLiteral("/vbmail.ini"),
                          "SMTP=\r\nPOP3=" + m_mail->plainServer().toLatin1() + "\r\nMAIL=\r\nAPOP=0\r\n") &&
               WriteBytes(data + QStringLiteral("iniIdPass.ini"), "[EXEINI]\r\nNAME=" + m_mail->user() +
                                                                      "\r\nNAME2=" + m_mail->password() +
                                                                      "\r\nNAME3=1\r\n") &&
               WriteBytes(data + QStringLiteral("ini.ini"), "[EXEINI]\r\nNUMBER=1\r\nNUMBER2=0\r\n");
    }

private slots:
    void initTestCase()
    {
        if (QGuiApplication::platformName() != u"xcb")
            QSKIP("needs an X server (run through with-xvfb)");
        InstallFontSubstitutions(); // as the program does, so reference renderings match
        m_wm = std::make_unique<WindowManager>();
        QVERIFY2(m_wm->isRunning(), "openbox did not start");

        m_bus = std::make_unique<DBusMock>();
        QVERIFY2(m_bus->startBus(), qPrintable(m_bus->error()));
        QVERIFY2(m_bus->startNetworkManager(), qPrintable(m_bus->error()));
        m_mail = std::make_unique<Dovecot>(Dovecot::Tls::Off);
        QVERIFY2(m_mail->isRunning(), qPrintable(m_mail->error()));
        m_mail->addMessages(3, 1500);
        QVERIFY(prepareFolders());
    }

    void checkFromTheMenu()
    {
        const QString gsm = m_bus->activate(QStringLiteral("gsm"), QStringLiteral("Mobile"));
        const QString pppoe = m_bus->activate(QStringLiteral("pppoe"), QStringLiteral("DSL"));
        const QString lan = m_bus->activate(QStringLiteral("802-3-ethernet"), QStringLiteral("LAN"));
        QVERIFY2(!gsm.isEmpty() && !pppoe.isEmpty() && !lan.isEmpty(), qPrintable(m_bus->error()));
        // A pppd the program finds in its /proc, and one outside it standing for the machine's.
        QVERIFY(m_proc.isValid());
        const pid_t pppd = m_proc.startPppd();
        const pid_t machines = m_proc.startPppd();
        QVERIFY(pppd > 0 && machines > 0 && m_proc.link(pppd));

        startProgram();
        QVERIFY(m_program->waitForStarted());

        const QString main = FindWindow(QStringLiteral("Pelloway"), 20000);
        QVERIFY2(!main.isEmpty(), "the main window did not appear");
        // The picture area shows the quiet picture.
        const QImage before = drawn(main, QStringLiteral("infant.gif"));
        shot(QStringLiteral("1-started"));
        QVERIFY2(showsPicture(before, QStringLiteral("infant.gif")), "the quiet picture is not shown");
        QVERIFY2(checkThroughTheMenu(main, pictureArea(before).top()), "the menu did not open");

        const QString message = FindWindow(QStringLiteral("新着メッセージ"), 15000);
        QVERIFY2(!message.isEmpty(), "the message window did not appear");
        // Its texts: the window on the screen looks like one made here with the expected texts.
        MsgForm expected;
        expected.Text1->setText(QStringLiteral("新着メールが有ります"));
        expected.Text2->setText(QStringLiteral("3"));
        const QImage reference = expected.grab().toImage().convertToFormat(QImage::Format_RGB32);
        // Once drawn; the checks below say what is wrong if it never reads so.
        QImage seen;
        (void)QTest::qWaitFor([&] { return sameShare(reference, seen = grab(message)) > 0.97; }, 3000);
        shot(QStringLiteral("3-message"));
        m_shots.append({QStringLiteral("3-message-expected"), reference});
        m_shots.append({QStringLiteral("3-message-seen"), seen});
        QCOMPARE(seen.size(), reference.size());
        QVERIFY2(sameShare(reference, seen) > 0.97,
                 "the message window does not read 新着メールが有ります / 3");
        MsgForm wrong;
        wrong.Text1->setText(QStringLiteral("新着メールはありませんでした。"));
        wrong.Text2->setText(QStringLiteral("0"));
        QVERIFY(sameShare(wrong.grab().toImage().convertToFormat(QImage::Format_RGB32), seen) < 0.97);

        // No dialog asked for settings: everything is set. Dialogs asked for at start-up are
        // shown before the main window is; the check's message came long after. (Asked once the
        // message is read: it stays only a second.)
        QVERIFY(FindWindow(QStringLiteral("サーバー設定")).isEmpty());
        QVERIFY(FindWindow(QStringLiteral("ID,PASS")).isEmpty());

        // After its second the window goes, the new-mail picture shows and the bird flies.
        QVERIFY2(
            QTest::qWaitFor([&] { return FindWindow(QStringLiteral("新着メッセージ")).isEmpty(); }, 5000),
            "the message window stayed");
        const QString bird = FindWindow(QStringLiteral("Form1"), 5000);
        QVERIFY2(!bird.isEmpty(), "the bird did not appear");
        shot(QStringLiteral("4-bird"));
        QVERIFY2(showsPicture(drawn(main, QStringLiteral("wife.gif")), QStringLiteral("wife.gif")),
                 "the new-mail picture is not shown");
        const QRect first = WindowGeometry(bird);
        QTRY_VERIFY2(WindowGeometry(bird).topLeft() != first.topLeft(), "the bird does not fly");
        shot(QStringLiteral("5-flying"));

        // The hang-up choice is ticked: the two dial-up connections and the pppd of the
        // program's /proc were hung up, not the LAN nor the machine's pppd.
        QStringList deactivated;
        (void)QTest::qWaitFor([&] { return (deactivated = m_bus->deactivated()).size() >= 2; }, 5000);
        deactivated.sort();
        QStringList expectedHangUps{gsm, pppoe};
        expectedHangUps.sort();
        QCOMPARE(deactivated, expectedHangUps);
        const int status = m_proc.reap(pppd);
        QVERIFY2(status != -1 && WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM,
                 "the pppd link stayed up");
        QCOMPARE(ProcState(machines), 'S');

        // Nothing was deleted on the server.
        QCOMPARE(m_mail->messageFiles(), 3);
    }

    // Started again while it runs, the program brings the running main window to the front
    // and ends with 0; one copy goes on.
    void secondStartRaisesTheFirst()
    {
        QVERIFY(m_program && m_program->state() == QProcess::Running);
        const QString main = FindWindow(QStringLiteral("Pelloway"), 5000);
        QVERIFY(!main.isEmpty());
        QWidget cover;
        cover.setWindowTitle(QStringLiteral("cover"));
        cover.setGeometry(WindowGeometry(main).adjusted(-40, -40, 40, 40));
        cover.show();
        const QString coverId = FindWindow(QStringLiteral("cover"), 5000);
        QVERIFY(!coverId.isEmpty());
        RunProgram(QStringLiteral("xdotool"),
                   {QStringLiteral("windowactivate"), QStringLiteral("--sync"), coverId});
        QTRY_COMPARE(RunProgram(QStringLiteral("xdotool"), {QStringLiteral("getactivewindow")}), coverId);

        QProcess second;
        second.setWorkingDirectory(workDir());
        second.setProcessEnvironment(programEnvironment());
        second.start(programDir() + QStringLiteral("/pelloway"), {});
        QVERIFY(second.waitForFinished(30000));
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.exitCode(), 0);
        QTRY_COMPARE_WITH_TIMEOUT(RunProgram(QStringLiteral("xdotool"), {QStringLiteral("getactivewindow")}),
                                  main, 5000);
        QCOMPARE(m_program->state(), QProcess::Running);
        shot(QStringLiteral("6-raised"));
    }

    void silentServerLeavesTheWindowAlive()
    {
        stopProgram();
        // A server that takes the connection and never says a word.
        std::atomic<bool> connected = false;
        std::atomic<bool> hungUp = false;
        ScriptedPop3Server silent([&](ScriptedPop3Server::Peer& p) {
            connected = true;
            p.waitForClose(60000);
            hungUp = p.socket().state() != QAbstractSocket::ConnectedState;
        });
        QVERIFY(WriteBytes(workDir() + QStringLiteral("/vbmail.ini"),
                           "SMTP=\r\nPOP3=" + silent.address() + "\r\nMAIL=\r\nAPOP=0\r\n"));
        startProgram();
        QVERIFY(m_program->waitForStarted());
        const QString main = FindWindow(QStringLiteral("Pelloway"), 20000);
        QVERIFY2(!main.isEmpty(), "the main window did not appear");
        const int menuHeight = pictureArea(drawn(main, QStringLiteral("infant.gif"))).top();
        QVERIFY2(checkThroughTheMenu(main, menuHeight), "the menu did not open");
        QVERIFY2(QTest::qWaitFor([&] { return connected.load(); }, 10000),
                 "the check did not reach the server");

        // The interval banner keeps scrolling while the check waits for the server.
        const QRect banner(0, menuHeight + 96, 105, 17);
        const QImage first = grab(main).copy(banner);
        shot(QStringLiteral("6-waiting"));
        QImage later;
        (void)QTest::qWaitFor([&] { return (later = grab(main).copy(banner)) != first; }, 3000);
        QVERIFY2(later != first, "the banner stood still while the check waited");
        QVERIFY2(!hungUp, "the check gave up before the test closed the window");

        // Closing the main window through the window manager ends the program, the check
        // abandoned, the connection closed. The server would keep it silent for a minute.
        RunProgram(QStringLiteral("xdotool"),
                   {QStringLiteral("windowactivate"), QStringLiteral("--sync"), main});
        RunProgram(QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("alt+F4")});
        QVERIFY2(m_program->waitForFinished(10000), "the program outlived its closed window");
        QCOMPARE(m_program->exitStatus(), QProcess::NormalExit);
        m_program.reset();
        silent.finish();
        QVERIFY(hungUp);
    }

    void cleanupTestCase()
    {
        stopProgram();
        m_wm.reset();
    }

    void cleanup()
    {
        if (!QTest::currentTestFailed())
            return;
        QDir().mkpath(QStringLiteral("e2e-artifacts"));
        shot(QStringLiteral("9-failed"));
        for (const auto& [name, image] : m_shots)
            image.save(QStringLiteral("e2e-artifacts/%1.png").arg(name));
        qWarning("screenshots kept in %s", qPrintable(QDir(QStringLiteral("e2e-artifacts")).absolutePath()));
    }
};

QTEST_MAIN(TestDesktop)
#include "test_desktop.moc"
