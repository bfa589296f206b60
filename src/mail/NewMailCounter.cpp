#include "mail/NewMailCounter.h"

#include "mail/NMailText.h"
#include "platform/Ansi.h"
#include "platform/Pop3Library.h"

#include <algorithm>

namespace pelloway {

namespace {

QString Text(std::span<char> buffer)
{
    return FromAnsi(TrimAtNul(QByteArrayView(buffer.data(), qsizetype(buffer.size()))));
}

} // namespace

NewMailCounter::NewMailCounter(Pop3Library& library, SeenMail seen, const QString& server,
                               const QString& account)
    : m_library(library), m_seen(std::move(seen)), m_key(SeenMail::Key(server, account))
{}

bool NewMailCounter::Count(int handle, int count, std::span<char> buffer)
{
    m_ids.clear();
    m_newNumbers.clear();
    m_ids.reserve(size_t(std::max(count, 0)));
    for (int k = 1; k <= count; ++k) {
        const int length = m_library.NMailPop3GetUidl(handle, k, buffer);
        if (length < 1) {
            int size = int(buffer.size());
            m_library.NMailGetMessage(0, buffer, size);
            m_reason = Text(buffer);
            m_ids.clear();
            return false;
        }
        m_ids.emplace_back(buffer.data(), std::min<qsizetype>(length, qsizetype(buffer.size())));
    }
    const SeenMail::Loaded seen = m_seen.Load(m_key);
    m_seenDamaged = seen.damaged;
    for (int k = 1; k <= count; ++k) {
        if (!seen.ids.contains(m_ids[size_t(k - 1)]))
            m_newNumbers.push_back(k);
    }
    return true;
}

std::vector<NewMailEntry> NewMailCounter::ReadNewest(int handle, int most,
                                                     std::array<std::span<char>, 4> buffers)
{
    std::vector<int> newest(m_newNumbers.rbegin(),
                            m_newNumbers.rbegin() +
                                std::min<std::ptrdiff_t>(std::max(most, 0), std::ssize(m_newNumbers)));
    std::vector<NewMailEntry> entries;
    if (newest.empty())
        return entries;
    m_library.NMailPop3QueueHeaders(handle, newest);
    for (int k : newest) {
        if (m_library.NMailPop3GetMailHeader(handle, k, buffers[0], buffers[1], buffers[2], buffers[3]) == 0)
            entries.push_back({Text(buffers[1]), Text(buffers[0])});
    }
    return entries;
}

bool NewMailCounter::Remember() const
{
    return m_seen.Save(m_key, m_ids);
}

} // namespace pelloway
