#pragma once
// What the desktop notification says about new mail: how many, and who wrote about what
// for the first few.

#include <QString>
#include <vector>

namespace pelloway {

struct NewMailEntry
{
    QString from;    // the decoded From field
    QString subject; // the decoded Subject field
};

struct NewMailNotice
{
    QString summary; // "新着メール 3 通"
    QString body;    // one line per message, "差出人：件名", then "ほか N 通"
};

class NewMailNotices
{
public:
    static constexpr int MaxListed = 5;
    static constexpr int SenderChars = 24;
    static constexpr int SubjectChars = 48;

    // The notice for `newCount` new messages of which `entries` (at most MaxListed are used)
    // are listed; the rest are counted in the last line.
    static NewMailNotice Make(int newCount, const std::vector<NewMailEntry>& entries);
    // The display name of a From field, else its address; blanks folded.
    static QString Sender(const QString& from);
    // The text cut to `chars` characters (never inside a surrogate pair), "…" marking a cut.
    static QString Shorten(const QString& text, int chars);
};

} // namespace pelloway
