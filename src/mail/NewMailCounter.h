#pragma once
// The part of a check that counts only mail not seen before. After the login it reads the
// server's unique id of every message and compares them with the ids remembered for this
// server and account; the messages whose ids are not remembered are the new ones. Nothing is
// retrieved: the sender and subject of the newest few come from their headers alone. After
// the report the remembered set becomes the ids now on the server, so it never outgrows the
// mailbox.

#include "mail/NewMailNotice.h"
#include "mail/SeenMail.h"

#include <QString>
#include <array>
#include <span>
#include <vector>

namespace pelloway {

class Pop3Library;

class NewMailCounter
{
public:
    NewMailCounter(Pop3Library& library, SeenMail seen, const QString& server, const QString& account);

    // After a login that found `count` messages: reads every unique id into `buffer` (as
    // the library writes them) and counts the new ones. False when the server gives no ids;
    // then reason() holds the library's text.
    bool Count(int handle, int count, std::span<char> buffer);
    int NewCount() const { return int(m_newNumbers.size()); }
    // The message numbers of the new messages, ascending.
    const std::vector<int>& NewNumbers() const { return m_newNumbers; }
    // The remembered ids were there but damaged: every message counted as new.
    bool SeenWasDamaged() const { return m_seenDamaged; }
    const QString& reason() const { return m_reason; }

    // Sender and subject of at most `most` of the newest new messages, newest first, from
    // their headers; a message whose header cannot be read is left out.
    std::vector<NewMailEntry> ReadNewest(int handle, int most, std::array<std::span<char>, 4> buffers);

    // The remembered set becomes the ids Count read. False when the file could not be written.
    bool Remember() const;

private:
    Pop3Library& m_library;
    SeenMail m_seen;
    QByteArray m_key;
    std::vector<QByteArray> m_ids; // by message number - 1
    std::vector<int> m_newNumbers;
    bool m_seenDamaged = false;
    QString m_reason;
};

} // namespace pelloway
