#pragma once
// The unique ids of the messages the last check found on the server, kept between checks and
// runs for one server and account, so that a check can tell mail it has not seen before.
//
// One small text file, readable by its owner only and replaced in one step:
//   pelloway-seen 1 <key> <count>
//   <id>
//   ...
// The key is the SHA-256 (hex) of the server name and the account ID, so the file names
// neither. A file of another server or account, or none, reads as an empty set; so does a
// damaged one (a line that is no id, a count that does not match), which is said so.

#include <QByteArray>
#include <QSet>
#include <QString>
#include <vector>

namespace pelloway {

class SeenMail
{
public:
    explicit SeenMail(QString path);

    struct Loaded
    {
        QSet<QByteArray> ids;
        bool damaged = false; // the file was there but could not be read as ours
    };

    static QByteArray Key(const QString& server, const QString& account);
    // The ids remembered for `key`.
    Loaded Load(const QByteArray& key) const;
    // Replaces the file with `ids` (duplicates once) for `key`. False when it could not be written.
    bool Save(const QByteArray& key, const std::vector<QByteArray>& ids) const;

    const QString& path() const { return m_path; }

    // A unique id as POP3 servers give them: printable ASCII without blanks.
    static bool IsId(QByteArrayView id);
    static constexpr qsizetype MaxIdLength = 255;
    // A larger file is not ours.
    static constexpr qint64 MaxFileBytes = 512LL * 1024 * 1024;

private:
    QString m_path;
};

} // namespace pelloway
