#include "mail/NewMailNotice.h"

#include <QStringList>
#include <algorithm>

namespace pelloway {

QString NewMailNotices::Shorten(const QString& text, int chars)
{
    const QString simple = text.simplified();
    if (simple.size() <= chars)
        return simple;
    qsizetype cut = std::max(chars - 1, 0);
    if (cut > 0 && simple[cut - 1].isHighSurrogate())
        --cut;
    return simple.left(cut) + u'…';
}

QString NewMailNotices::Sender(const QString& from)
{
    QString text = from.simplified();
    const qsizetype open = text.lastIndexOf(u'<');
    const qsizetype close = open < 0 ? -1 : text.indexOf(u'>', open);
    if (open >= 0 && close > open) {
        QString name = text.left(open).trimmed();
        if (name.size() >= 2 && name.startsWith(u'"') && name.endsWith(u'"'))
            name = name.mid(1, name.size() - 2).trimmed();
        name.remove(u'\\');
        return name.isEmpty() ? text.mid(open + 1, close - open - 1).trimmed() : name;
    }
    // "address (Name)"
    const qsizetype paren = text.indexOf(u'(');
    if (paren > 0 && text.endsWith(u')')) {
        const QString name = text.mid(paren + 1, text.size() - paren - 2).trimmed();
        if (!name.isEmpty())
            return name;
    }
    return text;
}

NewMailNotice NewMailNotices::Make(int newCount, const std::vector<NewMailEntry>& entries)
{
    NewMailNotice notice;
    notice.summary = QStringLiteral("新着メール %1 通").arg(newCount);
    QStringList lines;
    for (const NewMailEntry& entry : entries) {
        if (lines.size() == MaxListed || lines.size() == newCount)
            break;
        QString sender = Shorten(Sender(entry.from), SenderChars);
        if (sender.isEmpty())
            sender = QStringLiteral("（差出人なし）");
        QString subject = Shorten(entry.subject, SubjectChars);
        if (subject.isEmpty())
            subject = QStringLiteral("（件名なし）");
        lines.append(sender + u'：' + subject);
    }
    // Without a single header read the summary says it all.
    if (!lines.isEmpty() && newCount > lines.size())
        lines.append(QStringLiteral("ほか %1 通").arg(newCount - lines.size()));
    notice.body = lines.join(u'\n');
    return notice;
}

} // namespace pelloway
