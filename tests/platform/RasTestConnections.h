#pragma once
// Shared by the hang-up tests on the NetworkManager mock: connections written as
// "type[:bluetooth type][@state]", e.g. "gsm", "bluetooth:dun", "pppoe@3".

#include "support/DBusMock.h"

#include <QStringList>

namespace pelloway::test {

// Activates each connection on the mock, with the id "<index>-<type>"; returns the active
// connections' paths by id, or an empty map (see mock.error()) on failure.
inline QMap<QString, QString> ActivateAll(DBusMock& mock, const QStringList& specs)
{
    QMap<QString, QString> paths;
    for (qsizetype i = 0; i < specs.size(); ++i) {
        QString type = specs[i];
        uint state = 2;
        if (const qsizetype at = type.indexOf(u'@'); at >= 0) {
            state = type.mid(at + 1).toUInt();
            type.truncate(at);
        }
        ConnectionSettings extra;
        if (const qsizetype colon = type.indexOf(u':'); colon >= 0) {
            extra[QStringLiteral("bluetooth")] = {
                {QStringLiteral("bdaddr"), QByteArray("\x00\x1a\x7d\xda\x71\x13", 6)},
                {QStringLiteral("type"), type.mid(colon + 1)}};
            type.truncate(colon);
        }
        const QString id = QString::number(i) + u'-' + specs[i];
        const QString path = mock.activate(type, id, state, extra);
        if (path.isEmpty())
            return {};
        paths.insert(id, path);
    }
    return paths;
}

} // namespace pelloway::test
