// What the program settles before its window opens: the window system it asks Qt for, the
// command line, the folders it keeps its files in; the one-copy rendezvous; and how an ending
// signal reaches it.

#include "app/SingleInstance.h"
#include "app/StartUp.h"
#include "platform/EndingSignals.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
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
        QTest::newRow("--version") << QStringList{"pelloway", "--version"} << 0
                                   << "pelloway " PELLOWAY_VERSION_TEXT;
        QTest::newRow("-v") << QStringList{"pelloway", "-v"} << 0 << "pelloway " PELLOWAY_VERSION_TEXT;
        QTest::newRow("--help") << QStringList{"pelloway", "--help"} << 0
                                << "Usage: pelloway [--help] [--version]";
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
    // nothing is done inside the handler. (test_session_process sends them to the program.)
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
};

QTEST_GUILESS_MAIN(TestSession)
#include "test_session.moc"
