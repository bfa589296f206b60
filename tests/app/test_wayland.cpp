// The program in a Wayland session: a headless Weston with Xwayland, WAYLAND_DISPLAY and
// XDG_SESSION_TYPE set as a desktop sets them. Unless the user chose a platform, the
// program's windows are X11 clients (through Xwayland; the bird's shape there is
// test_form1_x11's), and the program ends cleanly either way. Each row runs its own compositor
// in its own runtime folder.

#include "support/TestSupport.h"
#include "support/WindowManager.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace pelloway::test;

namespace {

// Stops a process however the test leaves.
struct StopAtEnd
{
    QProcess& process;
    ~StopAtEnd() { StopProcess(process, 10000); }
};

} // namespace

class TestWayland : public QObject
{
    Q_OBJECT
private slots:
    void windows_data()
    {
        QTest::addColumn<QString>("platform"); // QT_QPA_PLATFORM; null: unset
        QTest::addColumn<bool>("x11");
        QTest::newRow("no choice: X11 through Xwayland") << QString() << true;
        QTest::newRow("the user's choice of Wayland stays") << QStringLiteral("wayland") << false;
    }
    void windows()
    {
        QFETCH(QString, platform);
        QFETCH(bool, x11);
        QTemporaryDir root;
        QDir(root.path()).mkpath(QStringLiteral("run"));
        QDir(root.path()).mkpath(QStringLiteral("home"));
        const QString runtime = root.filePath(QStringLiteral("run"));
        QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

        QProcess weston;
        const StopAtEnd westonStops{weston};
        QProcessEnvironment westonEnv = QProcessEnvironment::systemEnvironment();
        westonEnv.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
        westonEnv.remove(QStringLiteral("DISPLAY"));
        westonEnv.remove(QStringLiteral("WAYLAND_DISPLAY"));
        weston.setProcessEnvironment(westonEnv);
        weston.setProcessChannelMode(QProcess::MergedChannels);
        weston.start(QStringLiteral("weston"),
                     {QStringLiteral("--backend=headless-backend.so"), QStringLiteral("--xwayland"),
                      QStringLiteral("--socket=wayland-test"), QStringLiteral("--idle-time=0")});
        QVERIFY2(weston.waitForStarted(), "weston is missing (package weston, in the test set)");
        QString log;
        const QRegularExpression listening(QStringLiteral("xserver listening on display (:\\d+)"));
        QRegularExpressionMatch match;
        QVERIFY2(QTest::qWaitFor(
                     [&] {
                         log += QString::fromLocal8Bit(weston.readAll());
                         match = listening.match(log);
                         return match.hasMatch() || weston.state() == QProcess::NotRunning;
                     },
                     20000) &&
                     match.hasMatch(),
                 qPrintable(log));
        const QString display = match.captured(1);
        qputenv("DISPLAY", display.toLatin1()); // for the X tools asked below

        QProcess program;
        const StopAtEnd programStops{program};
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
        env.insert(QStringLiteral("WAYLAND_DISPLAY"), QStringLiteral("wayland-test"));
        env.insert(QStringLiteral("XDG_SESSION_TYPE"), QStringLiteral("wayland"));
        env.insert(QStringLiteral("DISPLAY"), display);
        env.insert(QStringLiteral("HOME"), root.filePath(QStringLiteral("home")));
        env.remove(QStringLiteral("XDG_CONFIG_HOME"));
        // Kept off the machine's dial-up links, whatever ends the program.
        env.insert(QStringLiteral("PELLOWAY_PROC_ROOT"), root.filePath(QStringLiteral("no-proc")));
        env.insert(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"),
                   QStringLiteral("unix:path=") + root.filePath(QStringLiteral("no-bus")));
        env.remove(QStringLiteral("QT_QPA_PLATFORM"));
        if (!platform.isNull())
            env.insert(QStringLiteral("QT_QPA_PLATFORM"), platform);
        env.insert(QStringLiteral("WAYLAND_DEBUG"),
                   QStringLiteral("client")); // a Wayland window names itself
        program.setProcessChannelMode(QProcess::MergedChannels);
        program.setProcessEnvironment(env);
        program.setWorkingDirectory(root.path());
        program.start(QCoreApplication::applicationDirPath() + QStringLiteral("/pelloway"), {});
        QVERIFY(program.waitForStarted());
        // The main window appears as an X11 window, or as a Wayland one that names itself.
        QString main;
        QString said;
        QVERIFY2(QTest::qWaitFor(
                     [&] {
                         said += QString::fromLocal8Bit(program.readAll());
                         main = FindWindow(QStringLiteral("Pelloway"), 0, false);
                         return !main.isEmpty() || said.contains(QStringLiteral("set_title(\"Pelloway\")")) ||
                                program.state() == QProcess::NotRunning;
                     },
                     30000),
                 "no main window");
        QCOMPARE(program.state(), QProcess::Running);
        QCOMPARE(!main.isEmpty(), x11);
        StopProcess(program, 10000);
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 0);
        StopProcess(weston, 10000);
    }
};

QTEST_GUILESS_MAIN(TestWayland)
#include "test_wayland.moc"
