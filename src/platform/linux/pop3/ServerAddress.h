#pragma once
// Where a server name points. The stored setting is plain text; these forms are understood:
//   "host"                  port 110; the server must offer STLS, and TLS starts before login
//   "host:port"             that port, STLS required; port 995 means TLS from the start
//   "pop3s://host[:port]"   TLS from the start, port 995 unless given
//   "pop3://host[:port]"    as "host[:port]"
//   "plain://host[:port]"   port 110 unless given, never TLS: the ID and password travel
//                           unencrypted, which the user accepts by choosing this form
//   "[v6 literal]:port", "[v6 literal]" IPv6 addresses in brackets
// Blanks around the name are ignored. A user part ("user:pass@host") is not a server name.

#include <QString>

namespace pelloway::pop3 {

struct ServerAddress
{
    static constexpr quint16 PlainPort = 110;
    static constexpr quint16 TlsPort = 995;

    QString host;
    quint16 port = PlainPort;
    bool implicitTls = false;
    // "plain://": the user accepts a login without TLS.
    bool plainAllowed = false;
    bool valid = false;

    static ServerAddress Parse(const QString& serverName);
    // "host:port" with the host in lower case and an IPv6 host in brackets: what a trusted
    // certificate is stored under.
    QString Key() const;
    // The name with any user part ("user:password@") blanked out, for messages and logs.
    static QString Redacted(const QString& serverName);
};

} // namespace pelloway::pop3
