#include "support/DBusMock.h"

#include "support/TestSupport.h"

#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QDeadlineTimer>
#include <QFile>
#include <QThread>
#include <atomic>
#include <csignal>
#include <sys/prctl.h>

namespace pelloway::test {

namespace {

const QString Service = QStringLiteral("org.freedesktop.NetworkManager");
const QString NotificationService = QStringLiteral("org.freedesktop.Notifications");
const QString ManagerPath = QStringLiteral("/org/freedesktop/NetworkManager");
const QString ManagerInterface = QStringLiteral("org.freedesktop.NetworkManager");
const QString MockInterface = QStringLiteral("org.freedesktop.DBus.Mock");
const QString SettingsPath = QStringLiteral("/org/freedesktop/NetworkManager/Settings");
const QString SettingsInterface = QStringLiteral("org.freedesktop.NetworkManager.Settings");

constexpr int StartTimeoutMs = 15000;

// A child that dies with the test, however the test ends.
void dieWithParent(QProcess& process)
{
    process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
}

void stop(std::unique_ptr<QProcess>& process)
{
    if (process)
        StopProcess(*process, 3000);
    process.reset();
}

} // namespace

DBusMock::DBusMock()
{
    static std::atomic<int> instances{0};
    m_connectionName = QStringLiteral("pelloway-test-mock-%1").arg(instances++);
    qDBusRegisterMetaType<ConnectionSettings>();
}

DBusMock::~DBusMock()
{
    stopNetworkManager();
    stopNotificationDaemon();
    QDBusConnection::disconnectFromBus(m_connectionName);
    stop(m_daemon);
}

bool DBusMock::startBus()
{
    const QString config = m_dir.filePath(QStringLiteral("bus.conf"));
    const QString text =
        QStringLiteral(R"(<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <listen>unix:path=%1</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
)");
    if (!WriteBytes(config, text.arg(m_dir.filePath(QStringLiteral("bus"))).toUtf8())) {
        m_error = QStringLiteral("cannot write ") + config;
        return false;
    }

    m_daemon = std::make_unique<QProcess>();
    dieWithParent(*m_daemon);
    m_daemon->setStandardErrorFile(m_dir.filePath(QStringLiteral("daemon.log")));
    m_daemon->start(QStringLiteral("dbus-daemon"),
                    {QStringLiteral("--config-file=") + config, QStringLiteral("--nofork"),
                     QStringLiteral("--print-address=1")});
    if (!m_daemon->waitForStarted(StartTimeoutMs)) {
        m_error = QStringLiteral("dbus-daemon did not start: ") + m_daemon->errorString();
        return false;
    }
    QDeadlineTimer deadline(StartTimeoutMs);
    while (!m_daemon->canReadLine() && !deadline.hasExpired() && m_daemon->state() == QProcess::Running)
        m_daemon->waitForReadyRead(int(deadline.remainingTime()));
    m_address = QString::fromUtf8(m_daemon->readLine()).trimmed();
    if (m_address.isEmpty()) {
        m_error = QStringLiteral("dbus-daemon printed no address");
        return false;
    }
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", m_address.toUtf8());
    if (!QDBusConnection::connectToBus(m_address, m_connectionName).isConnected()) {
        m_error = QStringLiteral("cannot connect to ") + m_address;
        return false;
    }
    return true;
}

bool DBusMock::startMock(std::unique_ptr<QProcess>& process, const QString& service,
                         const QStringList& arguments)
{
    stop(process);
    process = std::make_unique<QProcess>();
    dieWithParent(*process);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"), m_address);
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), m_address);
    process->setProcessEnvironment(env);
    process->setStandardOutputFile(m_dir.filePath(QStringLiteral("mock.log")), QIODevice::Append);
    process->setStandardErrorFile(m_dir.filePath(QStringLiteral("mock.log")), QIODevice::Append);
    // The system's own python: another one on the PATH may lack dbusmock.
    process->start(QStringLiteral("/usr/bin/python3"),
                   QStringList{QStringLiteral("-m"), QStringLiteral("dbusmock")} + arguments);
    if (!process->waitForStarted(StartTimeoutMs)) {
        m_error = QStringLiteral("dbusmock did not start: ") + process->errorString();
        return false;
    }
    QDBusConnection bus(m_connectionName);
    QDeadlineTimer deadline(StartTimeoutMs);
    while (!bus.interface()->isServiceRegistered(service)) {
        if (deadline.hasExpired() || process->state() != QProcess::Running) {
            m_error = QStringLiteral("the mock of %1 did not come up: ").arg(service) +
                      QString::fromUtf8(ReadBytes(m_dir.filePath(QStringLiteral("mock.log"))));
            return false;
        }
        QThread::msleep(20);
    }
    return true;
}

bool DBusMock::startNetworkManager()
{
    stopNetworkManager();
    return startMock(m_mock, Service, {QStringLiteral("--template"), QStringLiteral("networkmanager")});
}

bool DBusMock::startNotificationDaemon(const QString& capabilities)
{
    QStringList arguments{QStringLiteral("--template"), QStringLiteral("notification_daemon")};
    if (!capabilities.isEmpty())
        arguments << QStringLiteral("--parameters")
                  << QStringLiteral(R"({"capabilities": "%1"})").arg(capabilities);
    return startMock(m_notifications, NotificationService, arguments);
}

void DBusMock::stopNotificationDaemon()
{
    stop(m_notifications);
}

void DBusMock::stopNetworkManager()
{
    stop(m_mock);
    m_device.clear();
}

qint64 DBusMock::networkManagerPid() const
{
    return m_mock ? m_mock->processId() : 0;
}

QDBusMessage DBusMock::call(const QString& path, const QString& interface, const QString& method,
                            const QVariantList& args, const QString& service)
{
    QDBusMessage message =
        QDBusMessage::createMethodCall(service.isEmpty() ? Service : service, path, interface, method);
    message.setArguments(args);
    message.setAutoStartService(false);
    const QDBusMessage reply = QDBusConnection(m_connectionName).call(message, QDBus::Block, 10000);
    if (reply.type() == QDBusMessage::ErrorMessage)
        m_error = method + QStringLiteral(": ") + reply.errorMessage();
    return reply;
}

QString DBusMock::activate(const QString& type, const QString& id, uint state,
                           const ConnectionSettings& extra)
{
    const auto path = [](const QDBusMessage& reply) {
        return reply.type() == QDBusMessage::ReplyMessage ? reply.arguments().value(0).toString() : QString();
    };
    // The mock takes a connection down only when some device carries it.
    if (m_device.isEmpty())
        m_device = path(call(ManagerPath, MockInterface, QStringLiteral("AddEthernetDevice"),
                             {QStringLiteral("mock_eth0"), QStringLiteral("eth0"), 100}));
    if (m_device.isEmpty())
        return {};
    ConnectionSettings settings = extra;
    settings[QStringLiteral("connection")].insert(QStringLiteral("type"), type);
    settings[QStringLiteral("connection")].insert(QStringLiteral("id"), id);
    const QDBusMessage added = call(SettingsPath, SettingsInterface, QStringLiteral("AddConnection"),
                                    {QVariant::fromValue(settings)});
    if (added.type() != QDBusMessage::ReplyMessage)
        return {};
    const QString profile = added.arguments().value(0).value<QDBusObjectPath>().path();
    // The name becomes an object path element: letters, digits and underscores only.
    QString name = id;
    for (QChar& c : name) {
        if (!(c.isLetterOrNumber() && c.unicode() < 128))
            c = u'_';
    }
    return path(
        call(ManagerPath, MockInterface, QStringLiteral("AddActiveConnection"),
             {QStringList{m_device}, profile, QStringLiteral("/"), QStringLiteral("c") + name, state}));
}

QList<QVariantList> DBusMock::methodCalls(const QString& service, const QString& path, const QString& method)
{
    const QDBusMessage reply = call(path, MockInterface, QStringLiteral("GetMethodCalls"), {method}, service);
    QList<QVariantList> out;
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return out;
    // a(tav): time and arguments of each call.
    const QDBusArgument calls = reply.arguments().constFirst().value<QDBusArgument>();
    calls.beginArray();
    while (!calls.atEnd()) {
        qulonglong time = 0;
        QVariantList args;
        calls.beginStructure();
        calls >> time >> args;
        calls.endStructure();
        for (QVariant& arg : args) {
            if (arg.metaType() == QMetaType::fromType<QDBusVariant>())
                arg = arg.value<QDBusVariant>().variant();
        }
        out << args;
    }
    calls.endArray();
    return out;
}

QStringList DBusMock::deactivated()
{
    QStringList out;
    for (const QVariantList& args : methodCalls(Service, ManagerPath, QStringLiteral("DeactivateConnection")))
        out << args.value(0).value<QDBusObjectPath>().path();
    return out;
}

QList<QVariantList> DBusMock::notifications()
{
    return methodCalls(NotificationService, QStringLiteral("/org/freedesktop/Notifications"),
                       QStringLiteral("Notify"));
}

bool DBusMock::stopAnsweringActiveConnections(int seconds)
{
    // dbusmock answers Get and GetAll from each object's property table; a table that sleeps
    // on every lookup makes the single-threaded mock stop answering.
    const QString code = QStringLiteral(R"(
class Sleepy(dict):
    def __getitem__(self, key):
        import time
        time.sleep(%1)
        return dict.__getitem__(self, key)
for path, obj in objects.items():
    if '/ActiveConnection/' in path:
        obj.props = Sleepy(obj.props)
)")
                             .arg(seconds);
    if (call(ManagerPath, MockInterface, QStringLiteral("AddMethod"),
             {QString(), QStringLiteral("PellowayStopAnswering"), QString(), QString(), code})
            .type() != QDBusMessage::ReplyMessage)
        return false;
    return call(ManagerPath, ManagerInterface, QStringLiteral("PellowayStopAnswering"), {}).type() ==
           QDBusMessage::ReplyMessage;
}

} // namespace pelloway::test
