// A TCP relay on 127.0.0.1 that holds every chunk for a fixed delay in each direction, so
// a loopback server looks like one far away (twice the delay per round trip). Bandwidth
// and buffering are not limited.
//
//   bench-pop3-proxy <listen port> <target port> <delay ms>
//
// Prints "ready" once listening; runs until killed.

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <fcntl.h>
#include <list>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Chunk
{
    Clock::time_point due;
    std::string bytes;
};

// One direction of a connection: bytes read from `from`, written to `to` when due.
struct Direction
{
    int from = -1;
    int to = -1;
    std::deque<Chunk> queue;
    bool eof = false;      // `from` has closed
    bool shutDown = false; // `to` has been told
};

struct Pair
{
    Direction up;   // client -> server
    Direction down; // server -> client
    bool dead = false;
};

void NonBlocking(int fd)
{
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    const int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
}

int Connect(int port)
{
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(uint16_t(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        close(fd);
        return -1;
    }
    NonBlocking(fd);
    return fd;
}

// Reads what is there; false when the connection broke.
bool Pump(Direction& d, Clock::duration delay)
{
    char buffer[65536];
    for (;;) {
        const ssize_t n = read(d.from, buffer, sizeof buffer);
        if (n > 0) {
            d.queue.push_back({Clock::now() + delay, std::string(buffer, size_t(n))});
            continue;
        }
        if (n == 0) {
            d.eof = true;
            return true;
        }
        return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
    }
}

// Writes what is due; false when the connection broke.
bool Flush(Direction& d)
{
    const auto now = Clock::now();
    while (!d.queue.empty() && d.queue.front().due <= now) {
        std::string& bytes = d.queue.front().bytes;
        const ssize_t n = write(d.to, bytes.data(), bytes.size());
        if (n < 0)
            return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
        bytes.erase(0, size_t(n));
        if (!bytes.empty())
            return true;
        d.queue.pop_front();
    }
    if (d.eof && d.queue.empty() && !d.shutDown) {
        shutdown(d.to, SHUT_WR);
        d.shutDown = true;
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s <listen port> <target port> <delay ms>\n", argv[0]);
        return 2;
    }
    std::signal(SIGPIPE, SIG_IGN);
    const int listenPort = std::atoi(argv[1]);
    const int targetPort = std::atoi(argv[2]);
    const auto delay = std::chrono::milliseconds(std::atoi(argv[3]));

    const int listener = socket(AF_INET, SOCK_STREAM, 0);
    const int one = 1;
    setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(uint16_t(listenPort));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (bind(listener, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || listen(listener, 16) != 0) {
        std::perror("listen");
        return 1;
    }
    NonBlocking(listener);
    std::printf("ready\n");
    std::fflush(stdout);

    std::list<Pair> pairs;
    for (;;) {
        std::vector<pollfd> fds{{listener, POLLIN, 0}};
        auto wake = Clock::time_point::max();
        for (Pair& p : pairs) {
            for (Direction* d : {&p.up, &p.down}) {
                if (!d->eof)
                    fds.push_back({d->from, POLLIN, 0});
                if (!d->queue.empty()) {
                    if (d->queue.front().due <= Clock::now())
                        fds.push_back({d->to, POLLOUT, 0});
                    else
                        wake = std::min(wake, d->queue.front().due);
                }
            }
        }
        int timeout = -1;
        if (wake != Clock::time_point::max()) {
            const auto wait =
                std::chrono::duration_cast<std::chrono::microseconds>(wake - Clock::now()).count();
            timeout = wait <= 0 ? 0 : int((wait + 999) / 1000);
        }
        poll(fds.data(), fds.size(), timeout);

        if (fds[0].revents & POLLIN) {
            for (;;) {
                const int client = accept(listener, nullptr, nullptr);
                if (client < 0)
                    break;
                NonBlocking(client);
                const int server = Connect(targetPort);
                if (server < 0) {
                    close(client);
                    continue;
                }
                Pair& p = pairs.emplace_back();
                p.up.from = p.down.to = client;
                p.up.to = p.down.from = server;
            }
        }
        for (Pair& p : pairs) {
            for (Direction* d : {&p.up, &p.down}) {
                if (!d->eof && !Pump(*d, delay))
                    p.dead = true;
                if (!Flush(*d))
                    p.dead = true;
            }
            if (p.up.shutDown && p.down.shutDown)
                p.dead = true;
        }
        for (auto it = pairs.begin(); it != pairs.end();) {
            if (it->dead) {
                close(it->up.from);
                close(it->up.to);
                it = pairs.erase(it);
            } else {
                ++it;
            }
        }
    }
}
