#include "platform/PrivateProfile.h"

#include "platform/Ansi.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <climits>
#include <optional>
#include <vector>

namespace pelloway {

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

QByteArrayView trimmed(QByteArrayView v)
{
    while (!v.isEmpty() && isBlank(v.front()))
        v = v.sliced(1);
    while (!v.isEmpty() && (isBlank(v.back()) || v.back() == '\r'))
        v.chop(1);
    return v;
}

bool sameName(QByteArrayView a, QByteArrayView b)
{
    // Compare as text so that a cp932 trail byte is never folded as if it were a letter.
    return FromAnsi(a).compare(FromAnsi(b), Qt::CaseInsensitive) == 0;
}

// One line of the file: where it starts, how long it is with and without its line end.
struct Line
{
    qsizetype start = 0;
    qsizetype length = 0;     // without the line end
    qsizetype fullLength = 0; // with "\n" (and any "\r" before it)
};

enum class Kind
{
    Other,
    Section,
    Key,
};

struct Parsed
{
    Kind kind = Kind::Other;
    QByteArrayView name;  // section or key name, trimmed
    QByteArrayView value; // key value, trimmed, quotes still on
};

class Profile
{
public:
    explicit Profile(QByteArray content) : m_content(std::move(content))
    {
        qsizetype pos = 0;
        while (pos < m_content.size()) {
            const qsizetype nl = m_content.indexOf('\n', pos);
            Line line;
            line.start = pos;
            if (nl < 0) {
                line.length = m_content.size() - pos;
                line.fullLength = line.length;
            } else {
                line.length = nl - pos;
                line.fullLength = nl + 1 - pos;
            }
            if (line.length > 0 && m_content[line.start + line.length - 1] == '\r')
                --line.length;
            m_lines.push_back(line);
            pos += line.fullLength;
        }
    }

    Parsed parse(const Line& line) const
    {
        const QByteArrayView text = trimmed(QByteArrayView(m_content).sliced(line.start, line.length));
        Parsed p;
        if (text.isEmpty() || text.front() == ';')
            return p;
        if (text.front() == '[') {
            const qsizetype close = text.indexOf(']');
            p.kind = Kind::Section;
            p.name = trimmed(close < 0 ? text.sliced(1) : text.sliced(1, close - 1));
            return p;
        }
        const qsizetype eq = text.indexOf('=');
        if (eq < 0)
            return p;
        p.kind = Kind::Key;
        p.name = trimmed(text.first(eq));
        p.value = trimmed(text.sliced(eq + 1));
        return p;
    }

    // Index of the first header line of the section, if any.
    std::optional<size_t> findSection(QByteArrayView section) const
    {
        for (size_t i = 0; i < m_lines.size(); ++i) {
            const Parsed p = parse(m_lines[i]);
            if (p.kind == Kind::Section && sameName(p.name, section))
                return i;
        }
        return std::nullopt;
    }

    // One past the last line that belongs to the section starting at header.
    size_t sectionEnd(size_t header) const
    {
        size_t i = header + 1;
        while (i < m_lines.size() && parse(m_lines[i]).kind != Kind::Section)
            ++i;
        return i;
    }

    std::optional<size_t> findKey(size_t header, QByteArrayView key) const
    {
        const size_t end = sectionEnd(header);
        for (size_t i = header + 1; i < end; ++i) {
            const Parsed p = parse(m_lines[i]);
            if (p.kind == Kind::Key && sameName(p.name, key))
                return i;
        }
        return std::nullopt;
    }

    std::optional<QByteArray> value(QByteArrayView section, QByteArrayView key) const
    {
        const auto header = findSection(section);
        if (!header)
            return std::nullopt;
        const auto line = findKey(*header, key);
        if (!line)
            return std::nullopt;
        QByteArrayView v = parse(m_lines[*line]).value;
        if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
            v = v.sliced(1, v.size() - 2);
        return v.toByteArray();
    }

    QByteArray withValue(QByteArrayView section, QByteArrayView key, QByteArrayView value) const
    {
        const auto header = findSection(section);
        if (!header) {
            QByteArray out = m_content;
            if (!out.isEmpty() && !out.endsWith('\n'))
                out += "\r\n";
            out += '[' + section.toByteArray() + "]\r\n" + key.toByteArray() + '=' + value.toByteArray() +
                   "\r\n";
            return out;
        }
        if (const auto line = findKey(*header, key)) {
            const Line& l = m_lines[*line];
            const QByteArrayView name = parse(l).name;
            QByteArray replacement = name.toByteArray() + '=' + value.toByteArray();
            QByteArray out = m_content;
            out.replace(l.start, l.length, replacement);
            return out;
        }
        // After the last non-blank line of the section (the header at least).
        size_t last = *header;
        const size_t end = sectionEnd(*header);
        for (size_t i = *header + 1; i < end; ++i) {
            if (!trimmed(QByteArrayView(m_content).sliced(m_lines[i].start, m_lines[i].length)).isEmpty())
                last = i;
        }
        const Line& after = m_lines[last];
        const qsizetype insertAt = after.start + after.fullLength;
        QByteArray insertion;
        if (!m_content.sliced(after.start, after.fullLength).endsWith('\n'))
            insertion += "\r\n";
        insertion += key.toByteArray() + '=' + value.toByteArray() + "\r\n";
        QByteArray out = m_content;
        out.insert(insertAt, insertion);
        return out;
    }

private:
    QByteArray m_content;
    std::vector<Line> m_lines;
};

std::optional<QByteArray> readFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return file.readAll();
}

} // namespace

int GetPrivateProfileStringA(QByteArrayView section, QByteArrayView key, QByteArrayView defaultValue,
                             std::span<char> buffer, const QString& path)
{
    if (buffer.empty())
        return 0;
    QByteArray value = defaultValue.toByteArray();
    if (const auto content = readFile(path)) {
        if (auto v = Profile(*content).value(section, key))
            value = *v;
    }
    const size_t n = std::min(size_t(value.size()), buffer.size() - 1);
    std::copy_n(value.constData(), n, buffer.data());
    buffer[n] = '\0';
    return int(n);
}

int GetPrivateProfileIntA(QByteArrayView section, QByteArrayView key, int defaultValue, const QString& path)
{
    const auto content = readFile(path);
    if (!content)
        return defaultValue;
    const auto v = Profile(*content).value(section, key);
    if (!v)
        return defaultValue;
    qsizetype i = 0;
    bool negative = false;
    if (i < v->size() && (v->at(i) == '-' || v->at(i) == '+'))
        negative = v->at(i++) == '-';
    long long n = 0;
    for (; i < v->size() && v->at(i) >= '0' && v->at(i) <= '9'; ++i)
        n = std::min<long long>(n * 10 + (v->at(i) - '0'), 1LL + INT_MAX);
    if (negative)
        n = -n;
    return int(std::clamp<long long>(n, INT_MIN, INT_MAX));
}

bool WritePrivateProfileStringA(QByteArrayView section, QByteArrayView key, QByteArrayView value,
                                const QString& path, FileAccess access)
{
    const FolderLock lock(path);
    QByteArray content;
    if (QFile::exists(path) && !QFileInfo(path).isDir()) { // a folder: the write says why it fails
        const auto existing = readFile(path);
        if (!existing)
            return false; // never replace a file we could not read
        content = *existing;
    }
    return WriteFileAtomically(path, Profile(content).withValue(section, key, value), access);
}

} // namespace pelloway
