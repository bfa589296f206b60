// A private Dovecot on loopback holding three demo messages, for `make demo`.
// Prints "<port> <user> <password>" on one line once the server answers, then serves until
// its standard input closes or it is told to stop (SIGTERM, SIGINT); then stops Dovecot.

#include "support/Dovecot.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <csignal>
#include <cstdio>
#include <unistd.h>

namespace {

int stopPipe[2] = {-1, -1};

void onSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const auto n = ::write(stopPipe[1], &byte, 1);
}

QByteArray demoMessage(const QByteArray& from, const QByteArray& subject, const QByteArray& body)
{
    return "From: " + from + "\r\nTo: you@localhost\r\nSubject: " + subject +
           "\r\nDate: Mon, 7 Dec 2026 09:00:00 +0900\r\nMIME-Version: 1.0\r\n"
           "Content-Type: text/plain; charset=UTF-8\r\nContent-Transfer-Encoding: 8bit\r\n\r\n" +
           body + "\r\n";
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (::pipe(stopPipe) != 0)
        return 1;
    std::signal(SIGTERM, onSignal);
    std::signal(SIGINT, onSignal);

    pelloway::test::Dovecot server(pelloway::test::Dovecot::Tls::Off);
    if (!server.isRunning()) {
        std::fprintf(stderr, "demo mailbox: %s\n", qPrintable(server.error()));
        return 1;
    }
    server.addMessage(demoMessage("Hanako <hanako@localhost>", "=?UTF-8?B?44GK44Gv44KI44GG?=",
                                  "Good morning! The bird brought this one."));
    server.addMessage(demoMessage("Shop <news@localhost>", "Weekly news", "Three new teas arrived."));
    server.addMessage(demoMessage("Taro <taro@localhost>", "Lunch?", "Noodles at the yatai at noon?"));

    std::printf("%u %s %s\n", unsigned(server.plainPort()), server.user().constData(),
                server.password().constData());
    std::fflush(stdout);

    QSocketNotifier stop(stopPipe[0], QSocketNotifier::Read);
    QObject::connect(&stop, &QSocketNotifier::activated, &app, &QCoreApplication::quit);
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, &app, [&] {
        char buffer[256];
        if (::read(STDIN_FILENO, buffer, sizeof buffer) <= 0)
            QCoreApplication::quit();
    });
    return QCoreApplication::exec();
}
