#pragma once
// A private bus for tests: a dbus-daemon of our own and, on it, NetworkManager's D-Bus API as
// python3-dbusmock's "networkmanager" template serves it, or its desktop notification daemon.
// The real system and session buses are never touched. Both processes are stopped by PID when the object
// goes, and die with the test.

#include <QDBusConnection>
#include <QMap>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <QVariantMap>
#include <memory>

namespace pelloway::test {

// Setting groups of a saved connection profile ("connection", "gsm", "bluetooth", ...).
using ConnectionSettings = QMap<QString, QVariantMap>;

class DBusMock
{
public:
    DBusMock();
    ~DBusMock();
    DBusMock(const DBusMock&) = delete;
    DBusMock& operator=(const DBusMock&) = delete;

    // Starts the bus daemon and points DBUS_SYSTEM_BUS_ADDRESS at it. Call it before the
    // process first uses QDBusConnection::systemBus(), which keeps the address it finds then;
    // programs started afterwards inherit the address (or pass address() to them).
    bool startBus();
    QString address() const { return m_address; }

    // Starts (or restarts) the NetworkManager mock and waits until it owns its name.
    bool startNetworkManager();
    void stopNetworkManager();
    qint64 networkManagerPid() const;

    // Starts (or restarts) python3-dbusmock's notification daemon on the same private bus,
    // as it would sit on a session bus; `capabilities` (blank-separated) replaces the
    // template's list, which includes "body-markup".
    bool startNotificationDaemon(const QString& capabilities = {});
    void stopNotificationDaemon();
    // The arguments of every Notify call so far, oldest first: app name, replaces id, icon,
    // summary, body, actions, hints, timeout.
    QList<QVariantList> notifications();

    // Why the last start failed.
    QString error() const { return m_error; }

    // Saves a profile of `type` with the id `id` (`extra` adds setting groups) and activates
    // it in `state` (2 = activated) on the mock's one Ethernet device, over a connection of
    // the fixture's own. Returns the active connection's path, or an empty text on failure
    // (see error()).
    QString activate(const QString& type, const QString& id, uint state = 2,
                     const ConnectionSettings& extra = {});

    // The paths passed to DeactivateConnection so far, oldest first.
    QStringList deactivated();
    // From now on any question about an active connection is answered only after `seconds`,
    // and the whole mock (one thread) answers nothing else meanwhile.
    bool stopAnsweringActiveConnections(int seconds);

private:
    QDBusMessage call(const QString& path, const QString& interface, const QString& method,
                      const QVariantList& args, const QString& service = {});
    QList<QVariantList> methodCalls(const QString& service, const QString& path, const QString& method);
    bool startMock(std::unique_ptr<QProcess>& process, const QString& service, const QStringList& arguments);

    QTemporaryDir m_dir;
    std::unique_ptr<QProcess> m_daemon;
    std::unique_ptr<QProcess> m_mock;
    std::unique_ptr<QProcess> m_notifications;
    QString m_address;
    QString m_connectionName;
    QString m_device;
    QString m_error;
};

} // namespace pelloway::test
