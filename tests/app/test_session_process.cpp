// The built program as a desktop starts and ends it, with its own home, configuration and
// runtime folders: --version, the per-user folders of a build and the ending signals. (A
// second start is in test_desktop, on a real X server.)

#include "support/TestSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>

using namespace pelloway;
using test::ReadBytes;
using test::WriteBytes;

namespace {

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

    std::unique_ptr<QProcess> start(const QStringList& arguments = {}) const
    {
        auto p = std::make_unique<QProcess>();
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
        p->setProcessEnvironment(env);
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

} // namespace

class TestSessionProcess : public QObject
{
    Q_OBJECT
private slots:
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
        QTest::newRow("SIGINT") << int(SIGINT);
        QTest::newRow("SIGHUP") << int(SIGHUP);
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
};

QTEST_GUILESS_MAIN(TestSessionProcess)
#include "test_session_process.moc"
