// What the program settles before its window opens: the window system it asks Qt for, the
// command line, the folders it keeps its files in; the one-copy rendezvous; and how an ending
// signal reaches it. Then the built program as a desktop starts and ends it, with its own home,
// configuration and runtime folders (a second start is in test_desktop, on a real X server),
// and in a Wayland session: a headless Weston with Xwayland, WAYLAND_DISPLAY and
// XDG_SESSION_TYPE set as a desktop sets them.

#include "app/SingleInstance.h"
#include "app/StartUp.h"
#include "platform/EndingSignals.h"
#include "support/TestSupport.h"
#include "support/WindowManager.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>
#include <atomic>
#include <csignal>
#include <thread>

using namespace pelloway;
using test::ReadBytes;
using test::WriteBytes;

namespace {

// Sets an environment variable, or clears it for a null value.
void setEnv(const char* name, const QString& value)
{
    if (value.isNull())
        qunsetenv(name);
    else
        qputenv(name, value.toLocal8Bit());
}

QString env(const char* name)
{
    return qEnvironmentVariableIsSet(name) ? qEnvironmentVariable(name) : QString();
}

struct Desk
{
    QTemporaryDir root;
    QString dir(const QString& name) const { return root.filePath(name); }
    QString config() const { return dir(QStringLiteral("config")) + QStringLiteral("/pelloway"); }
    QString ini() const { return config() + QStringLiteral("/★MailData/ini.ini"); }

    Desk()
    {
        for (const char* name : {"home", "config", "run", "work"})
            QDir().mkpath(dir(QString::fromLatin1(name)));
        QFile::setPermissions(dir(QStringLiteral("run")),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    QProcessEnvironment environment() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), dir(QStringLiteral("home")));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir(QStringLiteral("config")));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), dir(QStringLiteral("run")));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.remove(QStringLiteral("WAYLAND_DISPLAY"));
        // The ending steps run here for real: kept off the machine's dial-up links.
        env.insert(QStringLiteral("PELLOWAY_PROC_ROOT"), dir(QStringLiteral("no-proc")));
        env.insert(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"),
                   QStringLiteral("unix:path=") + dir(QStringLiteral("no-bus")));
        return env;
    }

    std::unique_ptr<QProcess> start(const QStringList& arguments = {}) const
    {
        auto p = std::make_unique<QProcess>();
        p->setProcessEnvironment(environment());
        p->setWorkingDirectory(dir(QStringLiteral("work")));
        p->start(QCoreApplication::applicationDirPath() + QStringLiteral("/pelloway"), arguments);
        return p;
    }

    // The running copy listens once its window is up.
    bool listening() const
    {
        return !QDir(dir(QStringLiteral("run")))
                    .entryList({QStringLiteral("pelloway-*.socket")}, QDir::System)
                    .isEmpty();
    }
};

bool endsWithin(QProcess& p, int ms)
{
    if (p.waitForFinished(ms))
        return true;
    p.kill();
    p.waitForFinished();
    return false;
}

// Stops a process however the test leaves.
struct StopAtEnd
{
    QProcess& process;
    ~StopAtEnd() { test::StopProcess(process, 10000); }
};

} // namespace

class TestSession : public QObject
{
    Q_OBJECT
private slots:
    // X11 through Xwayland on a Wayland desktop unless the user chose; chosen only for our
    // own start (programs started from ours choose for themselves).
    void platformChoice_data()
    {
        QTest::addColumn<QString>("platform"); // QT_QPA_PLATFORM before; null: unset
        QTest::addColumn<QString>("wayland");  // WAYLAND_DISPLAY
        QTest::addColumn<QString>("session");  // XDG_SESSION_TYPE
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("chosen"); // QT_QPA_PLATFORM after; null: unset
        const QString none;
        const QStringList program{QStringLiteral("pelloway")};
        QTest::newRow("Wayland display") << none << "wayland-0" << none << program << "xcb;wayland";
        QTest::newRow("Wayland session") << none << none << "wayland" << program << "xcb;wayland";
        QTest::newRow("empty choice counts as none") << ""
                                                     << "wayland-0"
                                                     << "wayland" << program << "xcb;wayland";
        QTest::newRow("X11 session") << none << none << "x11" << program << none;
        QTest::newRow("the user's choice stays") << "wayland"
                                                 << "wayland-0"
                                                 << "wayland" << program << "wayland";
        QTest::newRow("-platform stays")
            << none << "wayland-0"
            << "wayland" << QStringList{"pelloway", "-platform", "wayland"} << none;
    }
    void platformChoice()
    {
        QFETCH(QString, platform);
        QFETCH(QString, wayland);
        QFETCH(QString, session);
        QFETCH(QStringList, arguments);
        QFETCH(QString, chosen);
        setEnv("QT_QPA_PLATFORM", platform);
        setEnv("WAYLAND_DISPLAY", wayland);
        setEnv("XDG_SESSION_TYPE", session);
        QCOMPARE(PreferX11OnWayland(arguments), chosen == u"xcb;wayland");
        QCOMPARE(env("QT_QPA_PLATFORM"), chosen);
        ForgetPlatformChoice();
        QCOMPARE(env("QT_QPA_PLATFORM"), platform);
    }

    void commandLine_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status"); // -1: the program starts
        QTest::addColumn<QString>("firstLine");
        QTest::newRow("-v") << QStringList{"pelloway", "-v"} << 0 << "pelloway " PELLOWAY_VERSION_TEXT;
        QTest::newRow("-h after others") << QStringList{"pelloway", "-platform", "xcb", "-h"} << 0
                                         << "Usage: pelloway [--help] [--version]";
        QTest::newRow("Qt's own options") << QStringList{"pelloway", "-platform", "xcb"} << -1 << "";
    }
    void commandLine()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QString, firstLine);
        QString text;
        QTextStream out(&text);
        const std::optional<int> answered = AnswerCommandLine(arguments, out);
        out.flush();
        QCOMPARE(answered.value_or(-1), status);
        QCOMPARE(text.section(u'\n', 0, 0), firstLine);
    }

    // The program folder is the data folder when its ★MailData can be written and it is not a
    // build's; otherwise the per-user folder, filled with the shipped files it lacks.
    void folders_data()
    {
        QTest::addColumn<bool>("dataFolder");
        QTest::addColumn<bool>("marker");
        QTest::addColumn<bool>("perUser");
        QTest::newRow("a writable program folder") << true << false << false;
        QTest::newRow("a build's program folder") << true << true << true;
        QTest::newRow("no data folder beside the program") << false << false << true;
    }
    void folders()
    {
        QFETCH(bool, dataFolder);
        QFETCH(bool, marker);
        QFETCH(bool, perUser);
        test::AppFolder program(dataFolder);
        QTemporaryDir config;
        if (dataFolder) {
            QVERIFY(WriteBytes(program.file(QStringLiteral("Sound/Kouka.mid")), "MThd tune"));
            QVERIFY(WriteBytes(program.file(QStringLiteral("about.html")), "<p>about</p>"));
        }
        if (marker)
            QVERIFY(WriteBytes(program.file(PerUserMarker), "build"));

        const ProgramFolders folders = ChooseFolders(program.path(), config.path());
        QCOMPARE(folders.perUser, perUser);
        const QString user = config.filePath(QStringLiteral("pelloway"));
        if (!perUser) {
            QCOMPARE(folders.data, program.path());
            QCOMPARE(folders.serverFile, QStringLiteral("vbmail.ini")); // the working directory's
            QVERIFY(!QFileInfo::exists(user));
            return;
        }
        QCOMPARE(folders.data, user);
        QCOMPARE(folders.serverFile, user + QStringLiteral("/vbmail.ini"));
        QCOMPARE(QFileInfo(user).permissions() & (QFile::ReadGroup | QFile::ReadOther | QFile::ExeOther),
                 QFile::Permissions());
        QVERIFY(QFileInfo(user + QStringLiteral("/★MailData")).isDir());
        if (!dataFolder)
            return; // nothing shipped to copy
        for (const QString& name :
             {QStringLiteral("★MailData/infant.gif"), QStringLiteral("★MailData/wife.gif"),
              QStringLiteral("★MailData/Yatai.gif"), QStringLiteral("Sound/Kouka.mid"),
              QStringLiteral("about.html")})
            QCOMPARE(ReadBytes(user + u'/' + name), ReadBytes(program.file(name)));
        QVERIFY(!QFileInfo::exists(user + QStringLiteral("/pelloway"))); // no copy of the program

        // A picture the user replaced stays; one removed comes back.
        QVERIFY(WriteBytes(user + QStringLiteral("/★MailData/infant.gif"), "mine"));
        QVERIFY(QFile::remove(user + QStringLiteral("/★MailData/wife.gif")));
        ChooseFolders(program.path(), config.path());
        QCOMPARE(ReadBytes(user + QStringLiteral("/★MailData/infant.gif")), QByteArray("mine"));
        QCOMPARE(ReadBytes(user + QStringLiteral("/★MailData/wife.gif")),
                 ReadBytes(program.file(QStringLiteral("★MailData/wife.gif"))));
    }

    // A second copy for the same data folder finds the first, which is asked to show itself;
    // another data folder is another copy; once the first is gone a new one takes over.
    void oneCopyPerDataFolder()
    {
        QTemporaryDir runtime;
        int shown = 0;
        auto first = std::make_unique<SingleInstance>(runtime.path(), QStringLiteral("/data/one"));
        first->showRequested = [&] { ++shown; };
        QCOMPARE(first->Claim(), SingleInstance::Outcome::First);

        // The second copy waits on its socket; this thread's event loop lets the first answer.
        auto claimElsewhere = [&](const QString& key) {
            std::atomic<int> outcome = -1;
            std::thread other([&] { outcome = int(SingleInstance(runtime.path(), key).Claim(5000)); });
            static_cast<void>(QTest::qWaitFor([&] { return outcome != -1; }, 10000)); // joined below
            other.join();
            return SingleInstance::Outcome(outcome.load());
        };
        QCOMPARE(claimElsewhere(QStringLiteral("/data/one")), SingleInstance::Outcome::OtherShown);
        QCOMPARE(shown, 1);
        QCOMPARE(claimElsewhere(QStringLiteral("/data/two")), SingleInstance::Outcome::First);
        QCOMPARE(shown, 1);

        first.reset();
        QCOMPARE(claimElsewhere(QStringLiteral("/data/one")), SingleInstance::Outcome::First);
        QCOMPARE(shown, 1);
    }

    // SIGTERM, SIGINT and SIGHUP reach the program on its own thread, from the event loop:
    // nothing is done inside the handler. (signalsEndLikeTheCloseBox sends them to the program.)
    void endingSignalsArriveThroughTheEventLoop()
    {
        QList<int> received;
        const EndingSignals endingSignals([&](int signal) { received << signal; });
        for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
            QCOMPARE(::raise(signal), 0);
            QVERIFY(!received.contains(signal));
            QTRY_COMPARE(received.size() > 0 ? received.last() : 0, signal);
        }
    }

    // Answered on standard output at once: no window, no files.
    void versionAnswersAndExits()
    {
        Desk desk;
        const auto p = desk.start({QStringLiteral("--version")});
        QVERIFY(endsWithin(*p, 20000));
        QCOMPARE(p->exitStatus(), QProcess::NormalExit);
        QCOMPARE(p->exitCode(), 0);
        QVERIFY(QString::fromLocal8Bit(p->readAllStandardOutput()).startsWith(QStringLiteral("pelloway 1.")));
        QVERIFY(!QFileInfo::exists(desk.config()));
    }

    // The build's program keeps its files in the per-user folder, none in the working
    // directory. Each ending signal runs the close box's path: the settings are written (the
    // hang-up choice joins the interval in ini.ini), the program ends normally with 0 and its
    // one-copy socket goes with it.
    void signalsEndLikeTheCloseBox_data()
    {
        QTest::addColumn<int>("signal");
        QTest::newRow("SIGTERM") << int(SIGTERM);
    }
    void signalsEndLikeTheCloseBox()
    {
        QFETCH(int, signal);
        Desk desk;
        QVERIFY(QDir().mkpath(desk.config() + QStringLiteral("/★MailData")));
        QVERIFY(WriteBytes(desk.ini(), "[EXEINI]\r\nNUMBER2=5\r\n"));
        const auto p = desk.start();
        QVERIFY(p->waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(desk.listening(), 30000);
        QVERIFY(QFileInfo(desk.config() + QStringLiteral("/★MailData/infant.gif")).isFile());
        QCOMPARE(ReadBytes(desk.ini()), QByteArray("[EXEINI]\r\nNUMBER2=5\r\n"));
        QCOMPARE(::kill(pid_t(p->processId()), signal), 0);
        QVERIFY(endsWithin(*p, 20000));
        QCOMPARE(p->exitStatus(), QProcess::NormalExit);
        QCOMPARE(p->exitCode(), 0);
        QCOMPARE(ReadBytes(desk.ini()), QByteArray("[EXEINI]\r\nNUMBER2=5\r\nNUMBER=0\r\n"));
        QCOMPARE(QDir(desk.dir(QStringLiteral("work"))).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
                 QStringList());
        QVERIFY(!desk.listening());
    }

    // Unless the user chose a platform, the program's windows are X11 clients (through
    // Xwayland; the bird's shape there is test_form1_x11's), and the program ends cleanly
    // either way. Each row runs its own compositor in its own runtime folder.
    void waylandSession_data()
    {
        QTest::addColumn<QString>("platform"); // QT_QPA_PLATFORM; null: unset
        QTest::addColumn<bool>("x11");
        QTest::newRow("no choice: X11 through Xwayland") << QString() << true;
        QTest::newRow("the user's choice of Wayland stays") << QStringLiteral("wayland") << false;
    }
    void waylandSession()
    {
        QFETCH(QString, platform);
        QFETCH(bool, x11);
        const Desk desk;
        const QString runtime = desk.dir(QStringLiteral("run"));

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
        QProcessEnvironment env = desk.environment();
        env.insert(QStringLiteral("WAYLAND_DISPLAY"), QStringLiteral("wayland-test"));
        env.insert(QStringLiteral("XDG_SESSION_TYPE"), QStringLiteral("wayland"));
        env.insert(QStringLiteral("DISPLAY"), display);
        env.remove(QStringLiteral("QT_QPA_PLATFORM"));
        if (!platform.isNull())
            env.insert(QStringLiteral("QT_QPA_PLATFORM"), platform);
        env.insert(QStringLiteral("WAYLAND_DEBUG"),
                   QStringLiteral("client")); // a Wayland window names itself
        program.setProcessChannelMode(QProcess::MergedChannels);
        program.setProcessEnvironment(env);
        program.setWorkingDirectory(desk.dir(QStringLiteral("work")));
        program.start(QCoreApplication::applicationDirPath() + QStringLiteral("/pelloway"), {});
        QVERIFY(program.waitForStarted());
        // The main window appears as an X11 window, or as a Wayland one that names itself.
        QString main;
        QString said;
        QVERIFY2(QTest::qWaitFor(
                     [&] {
                         said += QString::fromLocal8Bit(program.readAll());
                         main = test::FindWindow(QStringLiteral("Pelloway"), 0, false);
                         return !main.isEmpty() || said.contains(QStringLiteral("set_title(\"Pelloway\")")) ||
                                program.state() == QProcess::NotRunning;
                     },
                     30000),
                 "no main window");
        QCOMPARE(program.state(), QProcess::Running);
        QCOMPARE(!main.isEmpty(), x11);
        test::StopProcess(program, 10000);
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 0);
        test::StopProcess(weston, 10000);
    }
};

QTEST_GUILESS_MAIN(TestSession)
#include "test_session.moc"
