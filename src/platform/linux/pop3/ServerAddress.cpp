#include "platform/linux/pop3/ServerAddress.h"

#include <QHostAddress>

namespace pelloway::pop3 {

namespace {

bool ParsePort(QStringView text, quint16& port)
{
    bool ok = false;
    const uint value = text.toUInt(&ok);
    if (!ok || value == 0 || value > 65535 || !text.front().isDigit())
        return false;
    port = quint16(value);
    return true;
}

} // namespace

ServerAddress ServerAddress::Parse(const QString& serverName)
{
    ServerAddress address;
    QStringView rest = QStringView(serverName).trimmed();
    bool tlsScheme = false;
    bool plainScheme = false;
    if (rest.startsWith(u"pop3s://", Qt::CaseInsensitive)) {
        tlsScheme = true;
        rest = rest.sliced(8);
    } else if (rest.startsWith(u"plain://", Qt::CaseInsensitive)) {
        plainScheme = true;
        rest = rest.sliced(8);
    } else if (rest.startsWith(u"pop3://", Qt::CaseInsensitive)) {
        rest = rest.sliced(7);
    }
    if (rest.endsWith(u'/'))
        rest.chop(1);
    if (rest.isEmpty())
        return address;

    QStringView host;
    QStringView port;
    if (rest.front() == u'[') {
        const qsizetype close = rest.indexOf(u']');
        if (close < 0)
            return address;
        host = rest.sliced(1, close - 1);
        const QStringView after = rest.sliced(close + 1);
        if (!after.isEmpty()) {
            if (after.front() != u':')
                return address;
            port = after.sliced(1);
            if (port.isEmpty())
                return address;
        }
        QHostAddress literal;
        if (!literal.setAddress(host.toString()) || literal.protocol() != QAbstractSocket::IPv6Protocol)
            return address;
    } else if (rest.count(u':') > 1) {
        // An IPv6 literal without brackets: the whole text is the address.
        QHostAddress literal;
        if (!literal.setAddress(rest.toString()))
            return address;
        host = rest;
    } else {
        const qsizetype colon = rest.indexOf(u':');
        host = colon < 0 ? rest : rest.first(colon);
        if (colon >= 0) {
            port = rest.sliced(colon + 1);
            if (port.isEmpty())
                return address;
        }
    }
    if (host.isEmpty())
        return address;
    for (QChar c : host) {
        if (c.isSpace() || c == u'/' || c == u'@')
            return address;
    }

    address.host = host.toString();
    address.implicitTls = tlsScheme;
    address.port = tlsScheme ? TlsPort : PlainPort;
    if (!port.isEmpty() && !ParsePort(port, address.port))
        return address;
    if (address.port == TlsPort && !plainScheme)
        address.implicitTls = true;
    address.plainAllowed = plainScheme;
    address.valid = true;
    return address;
}

QString ServerAddress::Key() const
{
    const QString name = host.toLower();
    return (name.contains(u':') ? u'[' + name + u']' : name) + u':' + QString::number(port);
}

QString ServerAddress::Redacted(const QString& serverName)
{
    const qsizetype at = serverName.lastIndexOf(u'@');
    if (at < 0)
        return serverName;
    const qsizetype scheme = serverName.indexOf(QStringLiteral("://"));
    const qsizetype start = scheme >= 0 && scheme < at ? scheme + 3 : 0;
    return serverName.first(start) + QStringLiteral("***") + serverName.sliced(at);
}

} // namespace pelloway::pop3
