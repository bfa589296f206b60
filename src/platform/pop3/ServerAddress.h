#pragma once
// Where a server name points. The stored setting is plain text; these forms are understood:
//   "host"                  port 110, STLS when the server offers it
//   "host:port"             that port; port 995 means TLS from the start
//   "pop3s://host[:port]"   TLS from the start, port 995 unless given
//   "pop3://host[:port]"    as "host[:port]"
//   "[v6 literal]:port", "[v6 literal]" IPv6 addresses in brackets
// Blanks around the name are ignored.

#include <QString>

namespace pelloway::pop3 {

struct ServerAddress
{
    static constexpr quint16 PlainPort = 110;
    static constexpr quint16 TlsPort = 995;

    QString host;
    quint16 port = PlainPort;
    bool implicitTls = false;
    bool valid = false;

    static ServerAddress Parse(const QString& serverName);
};

} // namespace pelloway::pop3
