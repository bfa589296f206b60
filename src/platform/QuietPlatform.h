#pragma once
// Quiet stand-ins for the platform's services, for tests, benchmarks and machines without the
// real ones. NoMci, NoRas and PaintedBannerStrip sit next to their interfaces.

#include "platform/Notifications.h"
#include "platform/Pop3Library.h"

#include <algorithm>
#include <cstring>
#include <functional>

namespace pelloway {

// A mail library that reaches no server: every connect fails with a reason. It counts the
// connects (one per check that has a server set) and can tell of each.
class UnavailablePop3Library final : public Pop3Library
{
public:
    int connects = 0;
    std::function<void()> onConnect;

    int NMailInitializeWinSock() override { return 0; }
    int NMailSetOption(int, int) override { return 0; }
    int NMailPop3Connect(const QByteArray&) override
    {
        ++connects;
        if (onConnect)
            onConnect();
        return -1;
    }
    int NMailPop3Authenticate(int, const QByteArray&, const QByteArray&, bool) override { return -1; }
    int NMailPop3GetMailStatus(int, int, std::span<char>, std::span<char>, std::span<char>, std::span<char>,
                               int) override
    {
        return -1;
    }
    int NMailPop3GetMailSize(int, int) override { return -1; }
    int NMailPop3GetMail(int, int, std::span<char>, std::span<char>, std::span<char>, std::span<char>,
                         std::span<char>, int, int) override
    {
        return -1;
    }
    int NMailPop3Close(int) override { return 0; }
    int NMailGetMessage(int, std::span<char> buffer, int& size) override
    {
        static constexpr char text[] = "POP3 library unavailable";
        if (buffer.empty() || size <= 0)
            return 0;
        const size_t n = std::min({sizeof text - 1, buffer.size() - 1, size_t(size - 1)});
        std::memcpy(buffer.data(), text, n);
        buffer[n] = '\0';
        return 0;
    }
    int NMailEndWinSock() override { return 0; }
    ConnectFailure LastConnectFailure() const override { return ConnectFailure::Network; }
};

// No notification service: nothing is shown.
class NoNotifications final : public Notifications
{
public:
    void Notify(const QString&, const QString&) override {}
};

} // namespace pelloway
