// One whole mail check through the mail library, as the check cycle makes it: connect,
// log in, status, size and message for every message, close.
//
//   bench-pop3-check <server> <user> <password>
//
// Prints "count=<n> roundtrips=<to first message data> rss_growth_kb=<growth of the peak
// while fetching> rss_idle_kb=<resident before connecting> rss_peak_kb=<peak> ok=1", and
// "reason=<the library's last failure>" on a second line when a call failed.

#include "mail/NMailLibrary.h"

#include <QCoreApplication>
#include <QFile>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

long StatusKb(const char* key)
{
    QFile file(QStringLiteral("/proc/self/status"));
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : file.readAll().split('\n')) {
        if (line.startsWith(key))
            return line.mid(qsizetype(qstrlen(key))).trimmed().split(' ').value(0).toLong();
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s <server> <user> <password>\n", argv[0]);
        return 2;
    }
    pelloway::NMailLibrary library;
    library.NMailInitializeWinSock();
    library.NMailSetOption(1, 8192);
    std::vector<char> texts(4 * (pelloway::Pop3Library::TextBufferSize + 1));
    const auto text = [&](int i) {
        return std::span<char>(texts.data() + i * (pelloway::Pop3Library::TextBufferSize + 1),
                               pelloway::Pop3Library::TextBufferSize + 1);
    };
    const long rssIdle = StatusKb("VmRSS:");
    long rssBefore = 0;
    int status = 0;
    bool anyFailed = false;
    const int handle = library.NMailPop3Connect(argv[1]);
    int count = -1;
    int roundTrips = 0;
    if (handle != -1) {
        count = library.NMailPop3Authenticate(handle, argv[2], argv[3], false);
        // What fetching costs: the peak from here on.
        rssBefore = StatusKb("VmHWM:");
        for (int k = 1; k <= count; ++k) {
            anyFailed |= library.NMailPop3GetMailStatus(handle, k, text(0), text(1), text(2), text(3), 0) < 0;
            const int size = std::max(library.NMailPop3GetMailSize(handle, k), 0);
            // As the check cycle does: a buffer of the size as received, written by the library.
            const auto body = std::make_unique_for_overwrite<char[]>(size_t(size) + 1);
            anyFailed |= library.NMailPop3GetMail(handle, k, text(0), text(1), text(2), text(3),
                                                  std::span<char>(body.get(), size_t(size) + 1), 0, 0) < 0;
        }
        if (auto* client = library.Client(handle))
            roundTrips = client->RoundTripsToFirstMessage();
        library.NMailPop3Close(handle);
    }
    int size = pelloway::Pop3Library::TextBufferSize;
    library.NMailGetMessage(0, text(0), size);
    if (count < 0) {
        std::fprintf(stderr, "check failed: %s\n", text(0).data());
        status = 1;
    }
    library.NMailEndWinSock();
    std::printf("count=%d roundtrips=%d rss_growth_kb=%ld rss_idle_kb=%ld rss_peak_kb=%ld ok=%d\n", count,
                roundTrips, rssBefore ? StatusKb("VmHWM:") - rssBefore : 0, rssIdle, StatusKb("VmHWM:"),
                status == 0 ? 1 : 0);
    if (count < 0 || anyFailed)
        std::printf("reason=%s\n", text(0).data());
    return status;
}
