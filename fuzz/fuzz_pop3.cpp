// Feeds arbitrary server bytes to the POP3 response reader, whole and in pieces, and checks
// both ways read the same responses; the content of each response goes through the header
// decoding as a message would, and the whole stream as one header line. Run with long
// inputs and a time limit per input, a slow decoding counts as a failure:
//   fuzz-pop3 -max_len=400000 -timeout=2 ...
//
// Input: byte 0 picks single- or multi-line reading and the content limit, byte 1 the
// piece size; the rest is the server's stream.

#include "platform/linux/pop3/MessageHeaders.h"
#include "platform/linux/pop3/Pop3ResponseReader.h"

#include <cstdint>
#include <cstdlib>
#include <vector>

using pelloway::pop3::Pop3ResponseReader;

namespace {

struct Response
{
    Pop3ResponseReader::State state;
    bool ok;
    QByteArray status;
    QByteArray content;
    qint64 total;
};

std::vector<Response> ReadAll(QByteArrayView stream, Pop3ResponseReader::Kind kind, qsizetype limit,
                              qsizetype piece)
{
    std::vector<Response> responses;
    Pop3ResponseReader reader;
    reader.expect(kind, limit);
    qsizetype pos = 0;
    while (pos < stream.size()) {
        const qsizetype n = std::min(piece, stream.size() - pos);
        qsizetype used = 0;
        while (used < n) {
            used += reader.feed(stream.sliced(pos + used, n - used));
            const auto state = reader.state();
            if (state == Pop3ResponseReader::State::NeedMore)
                continue;
            responses.push_back(
                {state, reader.ok(), reader.statusLine(), reader.content(), reader.contentTotal()});
            if (state == Pop3ResponseReader::State::Failed)
                return responses;
            reader.expect(kind, limit);
        }
        pos += n;
    }
    return responses;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2)
        return 0;
    const auto kind =
        (data[0] & 1) ? Pop3ResponseReader::Kind::MultiLine : Pop3ResponseReader::Kind::SingleLine;
    const qsizetype limit = (data[0] >> 1) * 64;
    const qsizetype piece = data[1] % 17 + 1;
    const QByteArrayView stream(reinterpret_cast<const char*>(data + 2), qsizetype(size - 2));

    const auto whole = ReadAll(stream, kind, limit, stream.size() + 1);
    const auto pieces = ReadAll(stream, kind, limit, piece);
    if (whole.size() != pieces.size())
        std::abort();
    for (size_t i = 0; i < whole.size(); ++i) {
        const Response& a = whole[i];
        const Response& b = pieces[i];
        if (a.state != b.state || a.ok != b.ok || a.status != b.status || a.content != b.content ||
            a.total != b.total)
            std::abort();
        if (a.content.size() > limit || a.total < a.content.size())
            std::abort();
        (void)pelloway::pop3::HeaderField(a.content, "Subject");
        (void)pelloway::pop3::HeaderField(a.content, "From");
    }
    (void)pelloway::pop3::DecodeHeaderText(stream);
    return 0;
}
