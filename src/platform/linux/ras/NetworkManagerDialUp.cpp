#include "platform/linux/ras/NetworkManagerDialUp.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <algorithm>

namespace pelloway {

namespace {

const QString Service = QStringLiteral("org.freedesktop.NetworkManager");
const QString ManagerPath = QStringLiteral("/org/freedesktop/NetworkManager");
const QString ManagerInterface = QStringLiteral("org.freedesktop.NetworkManager");
const QString ActiveInterface = QStringLiteral("org.freedesktop.NetworkManager.Connection.Active");
const QString SettingsInterface = QStringLiteral("org.freedesktop.NetworkManager.Settings.Connection");
const QString PropertiesInterface = QStringLiteral("org.freedesktop.DBus.Properties");

// NMActiveConnectionState: going down or gone.
constexpr uint StateDeactivating = 3;
constexpr uint StateDeactivated = 4;

QDBusMessage methodCall(const QString& path, const QString& interface, const QString& method)
{
    QDBusMessage message = QDBusMessage::createMethodCall(Service, path, interface, method);
    // Never start NetworkManager for us, never ask the user for a password.
    message.setAutoStartService(false);
    message.setInteractiveAuthorizationAllowed(false);
    return message;
}

// The single value of a finished call, or an invalid variant for an error or a reply of
// another shape.
QVariant replyValue(const QDBusPendingCall& call)
{
    const QDBusMessage reply = call.reply();
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().size() != 1)
        return {};
    return reply.arguments().constFirst();
}

// A variant that holds a D-Bus container of the given signature.
std::optional<QDBusArgument> container(const QVariant& value, const char* signature)
{
    if (value.metaType() != QMetaType::fromType<QDBusArgument>())
        return std::nullopt;
    auto argument = value.value<QDBusArgument>();
    if (argument.currentSignature() != QLatin1String(signature))
        return std::nullopt;
    return argument;
}

QStringList objectPaths(QVariant value)
{
    if (value.metaType() == QMetaType::fromType<QDBusVariant>())
        value = value.value<QDBusVariant>().variant();
    QStringList paths;
    if (value.metaType() == QMetaType::fromType<QList<QDBusObjectPath>>()) {
        for (const QDBusObjectPath& path : value.value<QList<QDBusObjectPath>>())
            paths << path.path();
        return paths;
    }
    const auto argument = container(value, "ao");
    if (!argument)
        return paths;
    QList<QDBusObjectPath> list;
    *argument >> list;
    for (const QDBusObjectPath& path : list)
        paths << path.path();
    return paths;
}

QVariantMap properties(const QVariant& value)
{
    const auto argument = container(value, "a{sv}");
    QVariantMap map;
    if (argument)
        *argument >> map;
    return map;
}

bool IsDialUpProfile(const QVariant& value)
{
    const auto argument = container(value, "a{sa{sv}}");
    if (!argument)
        return false;
    QMap<QString, QVariantMap> settings;
    *argument >> settings;
    return settings.value(QStringLiteral("bluetooth")).value(QStringLiteral("type")).toString() ==
           QLatin1String("dun");
}

QString pathText(const QVariant& value)
{
    if (value.metaType() == QMetaType::fromType<QDBusObjectPath>())
        return value.value<QDBusObjectPath>().path();
    return {};
}

struct Candidate
{
    QString path;
    QVariantMap properties;
    bool confirmed = false;
    std::optional<QDBusPendingCall> profile; // GetSettings, asked for Bluetooth only
};

} // namespace

bool NetworkManagerDialUp::IsDialUpType(const QString& type)
{
    static const QStringList types{QStringLiteral("gsm"), QStringLiteral("cdma"), QStringLiteral("pppoe"),
                                   QStringLiteral("adsl")};
    return types.contains(type);
}

NetworkManagerDialUp::~NetworkManagerDialUp()
{
    // However the program ends, hang-ups already asked for are not dropped.
    Flush();
}

QDBusConnection& NetworkManagerDialUp::bus()
{
    if (!m_bus)
        m_bus = QDBusConnection::systemBus();
    return *m_bus;
}

QDBusPendingCall NetworkManagerDialUp::send(QDBusMessage message, QDeadlineTimer deadline)
{
    const qint64 left = deadline.remainingTime();
    if (left == 0)
        return QDBusPendingCall::fromError(QDBusError(QDBusError::Timeout, QString()));
    const int timeout = left < 0 ? ListingDeadlineMs : int(std::min<qint64>(left, ListingDeadlineMs));
    return bus().asyncCall(message, timeout);
}

std::vector<DialUpLink> NetworkManagerDialUp::List(QDeadlineTimer deadline)
{
    Release();
    std::vector<DialUpLink> links;
    if (!bus().isConnected())
        return links;

    // The active connections. With no NetworkManager on the bus the answer is an error at once.
    QDBusMessage get = methodCall(ManagerPath, PropertiesInterface, QStringLiteral("Get"));
    get << ManagerInterface << QStringLiteral("ActiveConnections");
    QDBusPendingCall listing = send(get, deadline);
    listing.waitForFinished();
    const QStringList paths = objectPaths(replyValue(listing));
    if (paths.isEmpty())
        return links;

    // Type and state of each, asked all at once, answered within what is left of the deadline.
    std::vector<Candidate> candidates;
    std::vector<QDBusPendingCall> asked;
    for (const QString& path : paths) {
        QDBusMessage getAll = methodCall(path, PropertiesInterface, QStringLiteral("GetAll"));
        getAll << ActiveInterface;
        candidates.push_back({path, {}, false, std::nullopt});
        asked.push_back(send(getAll, deadline));
    }
    for (std::size_t i = 0; i < candidates.size(); ++i) {
        asked[i].waitForFinished();
        candidates[i].properties = properties(replyValue(asked[i]));
    }

    // A Bluetooth connection counts only with a dial-up profile: ask its saved settings.
    for (Candidate& candidate : candidates) {
        const QVariantMap& p = candidate.properties;
        const uint state = p.value(QStringLiteral("State")).toUInt();
        if (!p.contains(QStringLiteral("State")) || state == StateDeactivating || state == StateDeactivated)
            continue;
        const QString type = p.value(QStringLiteral("Type")).toString();
        if (IsDialUpType(type)) {
            candidate.confirmed = true;
        } else if (type == QLatin1String("bluetooth")) {
            const QString profile = pathText(p.value(QStringLiteral("Connection")));
            if (profile.isEmpty())
                continue;
            candidate.profile =
                send(methodCall(profile, SettingsInterface, QStringLiteral("GetSettings")), deadline);
        }
    }
    for (Candidate& candidate : candidates) {
        if (!candidate.profile)
            continue;
        candidate.profile->waitForFinished();
        candidate.confirmed = IsDialUpProfile(replyValue(*candidate.profile));
    }

    for (const Candidate& candidate : candidates) {
        if (!candidate.confirmed)
            continue;
        DialUpLink link;
        link.entryName = candidate.properties.value(QStringLiteral("Id")).toString();
        link.deviceType = candidate.properties.value(QStringLiteral("Type")).toString();
        link.deviceName = candidate.path;
        link.key = std::size_t(m_paths.size());
        m_paths << candidate.path;
        links.push_back(link);
    }
    return links;
}

bool NetworkManagerDialUp::HangUp(std::size_t key)
{
    if (key >= std::size_t(m_paths.size()))
        return false;
    // Forget the hang-ups already answered; keep the others for Flush().
    std::erase_if(m_sent, [](const QDBusPendingCall& call) { return call.isFinished(); });
    QDBusMessage deactivate =
        methodCall(ManagerPath, ManagerInterface, QStringLiteral("DeactivateConnection"));
    deactivate << QVariant::fromValue(QDBusObjectPath(m_paths.at(qsizetype(key))));
    m_sent.push_back(bus().asyncCall(deactivate, HangUpTimeoutMs));
    return true;
}

void NetworkManagerDialUp::Release()
{
    m_paths.clear();
}

void NetworkManagerDialUp::Flush()
{
    // Each hang-up gives up by itself after HangUpTimeoutMs, so this wait is bounded.
    for (QDBusPendingCall& call : m_sent)
        call.waitForFinished();
    m_sent.clear();
}

} // namespace pelloway
