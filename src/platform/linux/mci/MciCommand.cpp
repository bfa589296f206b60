#include "platform/linux/mci/MciCommand.h"

#include <vector>

namespace pelloway {

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

struct Token
{
    QByteArrayView text;
    bool quoted = false;
};

// Splits at blanks; a token that opens with a double quote runs to the next one and may hold
// blanks. An unclosed quote or a quote inside a word makes the text unreadable.
std::optional<std::vector<Token>> tokenize(QByteArrayView text)
{
    std::vector<Token> tokens;
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n) {
        if (isBlank(text[i])) {
            ++i;
            continue;
        }
        if (text[i] == '"') {
            const qsizetype close = text.indexOf('"', i + 1);
            if (close < 0)
                return std::nullopt;
            if (close + 1 < n && !isBlank(text[close + 1]))
                return std::nullopt;
            tokens.push_back({text.sliced(i + 1, close - i - 1), true});
            i = close + 1;
            continue;
        }
        const qsizetype start = i;
        while (i < n && !isBlank(text[i])) {
            if (text[i] == '"' || text[i] == '\0')
                return std::nullopt;
            ++i;
        }
        tokens.push_back({text.sliced(start, i - start), false});
    }
    return tokens;
}

bool isWord(const Token& token, QByteArrayView word)
{
    return !token.quoted && token.text == word;
}

} // namespace

std::optional<MciCommand> ParseMciCommand(QByteArrayView text)
{
    const auto tokens = tokenize(text);
    if (!tokens || tokens->size() < 2)
        return std::nullopt;
    const std::vector<Token>& t = *tokens;
    const auto command = [](MciCommand::Verb verb, const Token& alias, QByteArrayView path = {}) {
        return MciCommand{verb, alias.text.toByteArray(), path.toByteArray()};
    };

    if (isWord(t[0], "open")) {
        if (t.size() == 4 && t[1].quoted && isWord(t[2], "alias") && !t[3].quoted)
            return command(MciCommand::Verb::Open, t[3], t[1].text);
        return std::nullopt;
    }
    if (t[1].quoted)
        return std::nullopt; // an alias is a plain word
    if (isWord(t[0], "play")) {
        if (t.size() == 2)
            return command(MciCommand::Verb::Play, t[1]);
        if (t.size() == 4 && isWord(t[2], "from") && isWord(t[3], "0"))
            return command(MciCommand::Verb::PlayFromStart, t[1]);
        return std::nullopt;
    }
    if (t.size() == 2 && isWord(t[0], "stop"))
        return command(MciCommand::Verb::Stop, t[1]);
    if (t.size() == 2 && isWord(t[0], "close"))
        return command(MciCommand::Verb::Close, t[1]);
    if (t.size() == 3 && isWord(t[0], "status") && isWord(t[2], "mode"))
        return command(MciCommand::Verb::StatusMode, t[1]);
    return std::nullopt;
}

} // namespace pelloway
