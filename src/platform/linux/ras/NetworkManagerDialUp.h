#pragma once
// NetworkManager's dial-up connections, over the system bus: mobile broadband (gsm, cdma),
// PPPoE, ADSL and Bluetooth dial-up networking.

#include "platform/linux/ras/DialUpSource.h"

#include <QDBusConnection>
#include <QDBusPendingCall>
#include <QStringList>
#include <optional>

namespace pelloway {

class NetworkManagerDialUp final : public DialUpSource
{
public:
    // How long one whole listing may take: a NetworkManager that stops answering must not
    // hold the program longer.
    static constexpr int ListingDeadlineMs = 1000;
    // How long a hang-up may stay unanswered before it is given up.
    static constexpr int HangUpTimeoutMs = 1000;

    // The connection types that are dial-ups by themselves; "bluetooth" is one only with a
    // dial-up ("dun") profile.
    static bool IsDialUpType(const QString& type);

    // Uses the system bus, connected on first use.
    NetworkManagerDialUp() = default;
    // Uses the given connection (tests and benchmarks).
    explicit NetworkManagerDialUp(const QDBusConnection& bus) : m_bus(bus) {}
    ~NetworkManagerDialUp() override;

    std::vector<DialUpLink> List(QDeadlineTimer deadline) override;
    bool HangUp(std::size_t key) override;
    void Release() override;
    void Flush() override;

private:
    QDBusConnection& bus();
    QDBusPendingCall send(QDBusMessage message, QDeadlineTimer deadline);

    std::optional<QDBusConnection> m_bus;
    QStringList m_paths;                  // the active connections of the last listing
    std::vector<QDBusPendingCall> m_sent; // hang-ups not yet answered
};

} // namespace pelloway
