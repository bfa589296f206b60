#include "mail/SeenMail.h"

#include "platform/AtomicFile.h"

#include <QCryptographicHash>
#include <QFile>

namespace pelloway {

namespace {

constexpr QByteArrayView Magic = "pelloway-seen 1 ";

} // namespace

SeenMail::SeenMail(QString path) : m_path(std::move(path)) {}

QByteArray SeenMail::Key(const QString& server, const QString& account)
{
    return QCryptographicHash::hash(server.toUtf8() + '\n' + account.toUtf8(), QCryptographicHash::Sha256)
        .toHex();
}

bool SeenMail::IsId(QByteArrayView id)
{
    if (id.isEmpty() || id.size() > MaxIdLength)
        return false;
    for (char c : id) {
        if (c <= 0x20 || c >= 0x7F)
            return false;
    }
    return true;
}

SeenMail::Loaded SeenMail::Load(const QByteArray& key) const
{
    Loaded loaded;
    QFile file(m_path);
    if (!file.exists())
        return loaded;
    loaded.damaged = true;
    if (file.size() > MaxFileBytes || !file.open(QIODevice::ReadOnly))
        return loaded;
    const QByteArray content = file.readAll();
    if (!content.endsWith('\n'))
        return loaded;
    const QList<QByteArray> lines = content.chopped(1).split('\n');
    const QByteArray& head = lines.front();
    if (!head.startsWith(Magic))
        return loaded;
    const QList<QByteArray> fields = head.mid(Magic.size()).split(' ');
    bool numeric = false;
    const qsizetype count = fields.size() == 2 ? fields[1].toLongLong(&numeric) : -1;
    if (!numeric || count != lines.size() - 1 || fields[0].size() != 64)
        return loaded;
    QSet<QByteArray> ids;
    ids.reserve(count);
    for (qsizetype i = 1; i < lines.size(); ++i) {
        if (!IsId(lines[i]))
            return loaded;
        ids.insert(lines[i]);
    }
    loaded.damaged = false;
    if (fields[0] == key)
        loaded.ids = std::move(ids);
    return loaded;
}

bool SeenMail::Save(const QByteArray& key, const std::vector<QByteArray>& ids) const
{
    QSet<QByteArray> written;
    QByteArray body;
    for (const QByteArray& id : ids) {
        if (!IsId(id) || written.contains(id))
            continue;
        written.insert(id);
        body += id + '\n';
    }
    const QByteArray head = Magic.toByteArray() + key + ' ' + QByteArray::number(written.size()) + '\n';
    return WriteFileAtomically(m_path, head + body, FileAccess::OwnerOnly);
}

} // namespace pelloway
