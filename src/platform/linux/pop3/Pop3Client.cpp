#include "platform/linux/pop3/Pop3Client.h"

#include <QCryptographicHash>
#include <QEventLoop>
#include <QSslConfiguration>
#include <QTimer>
#include <algorithm>
#include <limits>
#include <unistd.h>

namespace pelloway::pop3 {

namespace {

constexpr qsizetype ChunkSize = 256 * 1024;
constexpr int MaxMessages = 4 * 1024 * 1024;
constexpr int QuitTimeoutMs = 5000;
// The longest a wait goes without looking at abandonment and the deadlines.
constexpr int SliceMs = 50;
constexpr int DetailChars = 300;

// A line of the server's for a reason text: printable, short.
QString Printable(QByteArrayView bytes)
{
    QString text = QString::fromUtf8(bytes.first(std::min<qsizetype>(bytes.size(), DetailChars)));
    for (QChar& c : text) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            c = u' ';
    }
    return text;
}

bool ParseNumber(QByteArrayView text, qint64& value)
{
    if (text.isEmpty() || text.size() > 18)
        return false;
    value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + (c - '0');
    }
    return true;
}

QList<QByteArrayView> Words(QByteArrayView line)
{
    QList<QByteArrayView> words;
    qsizetype i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t'))
            ++i;
        const qsizetype start = i;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t')
            ++i;
        if (i > start)
            words.append(line.sliced(start, i - start));
    }
    return words;
}

QList<QByteArrayView> Lines(const QByteArray& content)
{
    QList<QByteArrayView> lines;
    qsizetype start = 0;
    while (start < content.size()) {
        qsizetype end = content.indexOf('\n', start);
        if (end < 0)
            end = content.size();
        QByteArrayView line(content.constData() + start, end - start);
        if (line.endsWith('\r'))
            line.chop(1);
        lines.append(line);
        start = end + 1;
    }
    return lines;
}

// Why a server without STLS gets no login, and what the user can do about it.
QString UnencryptedSentence(const ServerAddress& address)
{
    const QString hostPort = (address.host.contains(u':') ? u'[' + address.host + u']' : address.host) +
                             u':' + QString::number(address.port);
    return QStringLiteral("サーバーが暗号化通信(STLS)を提供していないため、IDとパスワードを送らずに接続を"
                          "終えました。サーバーがTLSで待ち受けるポートがあれば pop3s://%1 の形で設定"
                          "してください。暗号化せずに送ってよい場合に限り、サーバー名を plain://%2 "
                          "の形に変えてください。")
        .arg(address.host.contains(u':') ? u'[' + address.host + u']' : address.host, hostPort);
}

bool HasLineBreakOrNul(const QByteArray& text)
{
    return text.contains('\r') || text.contains('\n') || text.contains('\0');
}

} // namespace

Pop3Client::Pop3Client(Pop3Options options)
    : m_options(std::move(options)), m_socket(std::make_unique<QTcpSocket>())
{
    m_socket->setReadBufferSize(ChunkSize);
}

Pop3Client::~Pop3Client()
{
    m_socket->abort();
}

QByteArray Pop3Client::ApopDigest(const QByteArray& timestamp, const QByteArray& password)
{
    return QCryptographicHash::hash(timestamp + password, QCryptographicHash::Md5).toHex();
}

QByteArray Pop3Client::GreetingTimestamp(const QByteArray& greeting)
{
    const qsizetype open = greeting.indexOf('<');
    if (open < 0)
        return {};
    const qsizetype close = greeting.indexOf('>', open + 1);
    if (close < 0 || close == open + 1)
        return {};
    const QByteArray stamp = greeting.mid(open, close - open + 1);
    for (char c : stamp.sliced(1, stamp.size() - 2)) {
        if (c == '<' || c == ' ' || c == '\t' || static_cast<unsigned char>(c) < 0x20)
            return {};
    }
    return stamp;
}

void Pop3Client::MoveTo(Stage next)
{
    m_stage = next;
}

bool Pop3Client::Refuse(Pop3Error error, const QString& sentence, const QString& detail)
{
    m_error = error;
    m_reason = detail.isEmpty() ? sentence : sentence + u'(' + detail + u')';
    return false;
}

bool Pop3Client::Fail(Pop3Error error, const QString& sentence, const QString& detail)
{
    // A refused login or mailbox leaves the stream in step: QUIT can still be said.
    if (error != Pop3Error::Auth && error != Pop3Error::Mailbox)
        m_socket->abort();
    MoveTo(Stage::Over);
    return Refuse(error, sentence, detail);
}

QString Pop3Client::ServerWords() const
{
    return Printable(m_reader.statusLine());
}

bool Pop3Client::FailSocket(bool handshake)
{
    const QAbstractSocket::SocketError error = m_socket->error();
    const QString detail = Printable(m_socket->errorString().toUtf8());
    const QList<QSslError> errors = handshake && m_ssl ? m_ssl->sslHandshakeErrors() : QList<QSslError>();
    QSslCertificate certificate = handshake && m_ssl ? m_ssl->peerCertificate() : QSslCertificate();
    if (certificate.isNull() && !errors.isEmpty())
        certificate = errors.front().certificate();
    if (error == QAbstractSocket::SocketTimeoutError)
        return Fail(Pop3Error::ConnectTimeout, QStringLiteral("サーバーへの接続が時間切れになりました。"));
    if (handshake) {
        QStringList problems;
        for (const QSslError& sslError : errors)
            problems.append(sslError.errorString());
        if (!errors.isEmpty() && !certificate.isNull()) {
            const QByteArray trusted = m_options.trustedCertificates.value(m_address.Key());
            m_untrusted.server = m_address.Key();
            m_untrusted.certificate = certificate;
            for (const QSslError& sslError : errors)
                m_untrusted.errors.append(sslError.error());
            m_untrusted.changed = !trusted.isEmpty() && trusted != CertificateDigest(certificate);
        }
        if (!problems.isEmpty())
            return Fail(Pop3Error::Certificate, QStringLiteral("サーバーの証明書を確認できませんでした。"),
                        problems.join(QStringLiteral("; ")));
        return Fail(Pop3Error::Certificate, QStringLiteral("暗号化通信を開始できませんでした。"), detail);
    }
    if (error == QAbstractSocket::HostNotFoundError)
        return Fail(Pop3Error::HostNotFound, QStringLiteral("サーバーが見つかりませんでした。"),
                    m_address.host + QStringLiteral(": ") + detail);
    return Fail(Pop3Error::Network, QStringLiteral("サーバーに接続できませんでした。"), detail);
}

bool Pop3Client::FailReader()
{
    if (m_reader.overLimit())
        return Fail(Pop3Error::TooLarge, QStringLiteral("サーバーの応答が大きすぎます。"),
                    QStringLiteral("%1: more than %2 bytes")
                        .arg(Printable(m_reader.statusLine().first(
                            std::min<qsizetype>(m_reader.statusLine().size(), 80))))
                        .arg(m_reader.byteLimit()));
    return Fail(
        Pop3Error::Protocol, QStringLiteral("サーバーの応答が正しくありません。"),
        QString::fromUtf8(m_reader.error()) + QStringLiteral(": ") +
            Printable(m_reader.statusLine().first(std::min<qsizetype>(m_reader.statusLine().size(), 80))));
}

bool Pop3Client::Send(const QByteArray& commands)
{
    if (m_socket->write(commands) != commands.size())
        return Fail(Pop3Error::Closed, QStringLiteral("サーバーとの接続が切れました。"),
                    Printable(m_socket->errorString().toUtf8()));
    m_socket->flush();
    m_bytesSent += commands.size();
    m_sentSinceWait = true;
    return true;
}

bool Pop3Client::WaitUntil(const std::function<bool()>& done, const QDeadlineTimer& deadline)
{
    // The timer wakes the wait at least every slice; socket signals wake it at once.
    QTimer slice;
    slice.setInterval(SliceMs);
    QObject::connect(&slice, &QTimer::timeout, [] {});
    slice.start();
    while (!done()) {
        if (Abandoned())
            return Fail(Pop3Error::Abandoned, QStringLiteral("メールチェックを中止しました。"));
        if (deadline.hasExpired())
            return Fail(Pop3Error::ConnectTimeout,
                        QStringLiteral("サーバーへの接続が時間切れになりました。"));
        QEventLoop().processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

bool Pop3Client::WaitForBytes()
{
    for (;;) {
        if (Abandoned())
            return Fail(Pop3Error::Abandoned, QStringLiteral("メールチェックを中止しました。"));
        const qint64 now = m_clock.elapsed();
        if (now >= m_exchangeEnd)
            return Fail(Pop3Error::Overtime, QStringLiteral("メールチェックが時間切れになりました。"),
                        QStringLiteral("%1 s").arg(m_options.exchangeDeadlineMs / 1000));
        const qint64 silenceEnd = m_silenceFrom + m_readTimeoutMs;
        if (m_socket->bytesAvailable() == 0 && now >= silenceEnd)
            return Fail(Pop3Error::Timeout, QStringLiteral("サーバーの応答が時間切れになりました。"));
        if (now - m_windowStart >= m_options.progressWindowMs) {
            if (m_windowBytes < m_options.progressFloorBytes)
                return Fail(Pop3Error::TooSlow, QStringLiteral("サーバーからの受信が遅すぎます。"),
                            QStringLiteral("%1 bytes in %2 ms").arg(m_windowBytes).arg(now - m_windowStart));
            m_windowStart = now;
            m_windowBytes = 0;
        }
        if (m_socket->bytesAvailable() > 0)
            return true;
        const qint64 until =
            std::min({silenceEnd, m_exchangeEnd, m_windowStart + m_options.progressWindowMs, now + SliceMs});
        if (!m_socket->waitForReadyRead(int(std::max<qint64>(until - now, 1))) &&
            m_socket->bytesAvailable() == 0 && m_socket->state() != QAbstractSocket::ConnectedState)
            return Fail(Pop3Error::Closed, QStringLiteral("サーバーとの接続が切れました。"),
                        Printable(m_socket->errorString().toUtf8()));
    }
}

bool Pop3Client::FillBuffer()
{
    m_buffer.resize(0);
    m_bufferPos = 0;
    if (m_socket->bytesAvailable() == 0 && m_sentSinceWait) {
        ++m_roundTrips;
        m_sentSinceWait = false;
    }
    if (!WaitForBytes())
        return false;
    m_buffer.resize(ChunkSize);
    const qint64 n = m_socket->read(m_buffer.data(), ChunkSize);
    m_buffer.resize(n > 0 ? qsizetype(n) : 0);
    m_windowBytes += m_buffer.size();
    m_bytesReceived += m_buffer.size();
    m_silenceFrom = m_clock.elapsed();
    return true;
}

bool Pop3Client::Read(Pop3ResponseReader::Kind kind, qsizetype contentLimit, qint64 byteLimit)
{
    m_reader.expect(kind, contentLimit, byteLimit);
    m_silenceFrom = m_windowStart = m_clock.elapsed();
    m_windowBytes = 0;
    for (;;) {
        if (m_bufferPos < m_buffer.size()) {
            m_bufferPos += m_reader.feed(QByteArrayView(m_buffer).sliced(m_bufferPos));
            if (m_reader.state() == Pop3ResponseReader::State::Done)
                return true;
            if (m_reader.state() == Pop3ResponseReader::State::Failed)
                return FailReader();
            continue;
        }
        if (!FillBuffer())
            return false;
    }
}

bool Pop3Client::ReadCapabilities()
{
    MoveTo(Stage::Capabilities);
    m_caps = {};
    if (!Send("CAPA\r\n") ||
        !Read(Pop3ResponseReader::Kind::MultiLine, m_options.capaLimit, m_options.capaLimit))
        return false;
    if (!m_reader.ok())
        return true; // a server without CAPA: one command at a time, no STLS
    for (QByteArrayView line : Lines(m_reader.content())) {
        const QList<QByteArrayView> words = Words(line);
        if (words.isEmpty())
            continue;
        const QByteArray name = words.front().toByteArray().toUpper();
        if (name == "PIPELINING")
            m_caps.pipelining = true;
        else if (name == "STLS")
            m_caps.stls = true;
        else if (name == "USER")
            m_caps.user = true;
        else if (name == "RESP-CODES")
            m_caps.respCodes = true;
    }
    return true;
}

bool Pop3Client::StartTls(const QDeadlineTimer& deadline)
{
    MoveTo(Stage::StartTls);
    // Plain bytes after the point where TLS starts would be an injection: refuse them.
    if (m_bufferPos < m_buffer.size() || m_socket->bytesAvailable() > 0)
        return Fail(Pop3Error::Certificate, QStringLiteral("暗号化通信を開始できませんでした。"),
                    QStringLiteral("unexpected data before the TLS handshake"));
    // The TLS library is loaded only now, for the connections that use it: a plain
    // connection on a TCP socket starts quicker and smaller. The TCP connection moves to a
    // TLS socket through a duplicate of its descriptor.
    auto ssl = std::make_unique<QSslSocket>();
    const int fd = ::dup(int(m_socket->socketDescriptor()));
    if (fd < 0 || !ssl->setSocketDescriptor(fd)) {
        if (fd >= 0)
            ::close(fd);
        return Fail(Pop3Error::Certificate, QStringLiteral("暗号化通信を開始できませんでした。"),
                    QStringLiteral("cannot hand the connection to TLS"));
    }
    m_socket->abort();
    m_ssl = ssl.get();
    m_socket = std::move(ssl);
    m_socket->setReadBufferSize(ChunkSize);
    m_socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);

    // The system's store is read once per run, when the first connection needs it.
    static const QList<QSslCertificate> systemCas = QSslConfiguration::systemCaCertificates();
    QSslConfiguration config = QSslConfiguration::defaultConfiguration();
    config.setCaCertificates(systemCas + EnvironmentCaCertificates() + m_options.extraCaCertificates);
    config.setPeerVerifyMode(QSslSocket::VerifyPeer);
    config.setProtocol(QSsl::TlsV1_2OrLater);
    m_ssl->setSslConfiguration(config);
    m_ssl->setPeerVerifyName(m_address.host);
    // A certificate the user chose to trust for this server passes; any other that fails
    // the check is refused.
    const QByteArray trusted = m_options.trustedCertificates.value(m_address.Key());
    if (!trusted.isEmpty()) {
        QObject::connect(m_ssl, &QSslSocket::sslErrors, m_ssl,
                         [ssl = m_ssl, trusted](const QList<QSslError>& errors) {
                             QSslCertificate certificate = ssl->peerCertificate();
                             if (certificate.isNull() && !errors.isEmpty())
                                 certificate = errors.front().certificate();
                             if (CertificateDigest(certificate) == trusted)
                                 ssl->ignoreSslErrors();
                         });
    }
    m_ssl->startClientEncryption();
    m_sentSinceWait = false;
    ++m_roundTrips;
    if (!WaitUntil(
            [this] { return m_ssl->isEncrypted() || m_ssl->state() != QAbstractSocket::ConnectedState; },
            deadline))
        return false;
    if (!m_ssl->isEncrypted())
        return FailSocket(true);
    return true;
}

bool Pop3Client::Connect(const QString& serverName)
{
    if (m_stage != Stage::Fresh)
        return Refuse(Pop3Error::NotReady, QStringLiteral("接続は既に使われています。"));
    m_address = ServerAddress::Parse(serverName);
    m_untrusted = CertificateProblem();
    if (!m_address.valid)
        return Fail(Pop3Error::BadServerName, QStringLiteral("サーバー名が正しくありません。"),
                    Printable(ServerAddress::Redacted(serverName).toUtf8()));

    const QDeadlineTimer deadline(m_options.connectTimeoutMs);
    m_clock.start();
    m_exchangeEnd = m_options.exchangeDeadlineMs;
    m_readTimeoutMs = m_options.responseTimeoutMs;
    m_socket->connectToHost(m_address.host, m_address.port);
    ++m_roundTrips;
    if (!WaitUntil(
            [this] {
                const auto state = m_socket->state();
                return state == QAbstractSocket::ConnectedState || state == QAbstractSocket::UnconnectedState;
            },
            deadline))
        return false;
    if (m_socket->state() != QAbstractSocket::ConnectedState)
        return FailSocket(false);
    // Commands are small and often pipelined: send them at once.
    m_socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    if (m_address.implicitTls && !StartTls(deadline))
        return false;

    MoveTo(Stage::Greeting);
    if (!Read(Pop3ResponseReader::Kind::SingleLine))
        return false;
    m_greeting = m_reader.statusLine();
    if (!m_reader.ok())
        return Fail(Pop3Error::Greeting, QStringLiteral("サーバーが接続を受け付けませんでした。"),
                    ServerWords());
    if (!ReadCapabilities())
        return false;
    if (!Encrypted() && !m_address.plainAllowed && !m_caps.stls) {
        // Without STLS the login would cross in clear text: stop before it.
        Send("QUIT\r\n");
        return Fail(Pop3Error::Unencrypted, UnencryptedSentence(m_address));
    }
    if (m_caps.stls && !Encrypted() && !m_address.plainAllowed) {
        MoveTo(Stage::StartTls);
        if (!Send("STLS\r\n") || !Read(Pop3ResponseReader::Kind::SingleLine))
            return false;
        if (!m_reader.ok())
            return Fail(Pop3Error::Certificate, QStringLiteral("暗号化通信を開始できませんでした。"),
                        ServerWords());
        if (!StartTls(QDeadlineTimer(m_options.connectTimeoutMs)) || !ReadCapabilities())
            return false;
    }
    MoveTo(Stage::LoggedOut);
    m_error = Pop3Error::None;
    m_reason.clear();
    return true;
}

void Pop3Client::ParseList(const QByteArray& content)
{
    for (QByteArrayView line : Lines(content)) {
        const QList<QByteArrayView> words = Words(line);
        qint64 number = 0;
        qint64 size = 0;
        if (words.size() < 2 || !ParseNumber(words[0], number) || !ParseNumber(words[1], size))
            continue;
        if (number >= 1 && number <= m_count)
            m_sizes.emplace_back(int(number), size);
    }
    // Kept as received, never sized by the count: the first line for a number counts.
    std::stable_sort(m_sizes.begin(), m_sizes.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    m_sizes.erase(std::unique(m_sizes.begin(), m_sizes.end(),
                              [](const auto& a, const auto& b) { return a.first == b.first; }),
                  m_sizes.end());
}

bool Pop3Client::LogIn(const QByteArray& user, const QByteArray& password, bool apop)
{
    // Credentials cross only inside TLS, or where the server name allows clear text.
    if (!Encrypted() && !m_address.plainAllowed)
        return Refuse(Pop3Error::Unencrypted, UnencryptedSentence(m_address));
    if (HasLineBreakOrNul(user) || HasLineBreakOrNul(password) || user.contains(' ') ||
        (!apop && user.isEmpty()))
        return Refuse(Pop3Error::Auth, QStringLiteral("IDまたはパスワードに使えない文字があります。"));

    QByteArray commands;
    int replies = 0;
    if (apop) {
        const QByteArray stamp = GreetingTimestamp(m_greeting);
        if (stamp.isEmpty())
            return Refuse(Pop3Error::ApopUnsupported, QStringLiteral("サーバーがAPOPに対応していません。"),
                          Printable(m_greeting));
        commands = "APOP " + user + ' ' + ApopDigest(stamp, password) + "\r\n";
        replies = 1;
    } else {
        commands = "USER " + user + "\r\nPASS " + password + "\r\n";
        replies = 2;
    }
    const bool pipelined = m_caps.pipelining;
    if (pipelined)
        commands += "STAT\r\nLIST\r\n";
    else if (replies == 2)
        commands = "USER " + user + "\r\n";
    MoveTo(Stage::Login);
    if (!Send(commands))
        return false;

    // One reply for APOP, two for USER and PASS.
    bool loggedIn = true;
    QString refusal;
    for (int i = 0; i < replies; ++i) {
        if (i == 1 && !pipelined) {
            if (!loggedIn)
                break;
            if (!Send("PASS " + password + "\r\n"))
                return false;
        }
        if (!Read(Pop3ResponseReader::Kind::SingleLine))
            return false;
        if (!m_reader.ok() && loggedIn) {
            loggedIn = false;
            refusal = ServerWords();
        }
    }
    // Pipelined STAT and LIST answers may still be on their way after a refusal: the
    // connection is only good for QUIT then.
    if (!loggedIn)
        return Fail(Pop3Error::Auth, QStringLiteral("認証に失敗しました。"), refusal);
    return true;
}

bool Pop3Client::ReadMailbox(bool sent)
{
    MoveTo(Stage::Mailbox);
    if (!sent && !Send("STAT\r\n"))
        return false;
    if (!Read(Pop3ResponseReader::Kind::SingleLine))
        return false;
    const bool statOk = m_reader.ok();
    const QString statWords = ServerWords();
    const QByteArray statText = m_reader.statusText();
    const QList<QByteArrayView> stat = Words(statText);
    qint64 count = 0;
    if (statOk && (stat.isEmpty() || !ParseNumber(stat[0], count) || count > MaxMessages))
        return Fail(Pop3Error::Protocol, QStringLiteral("サーバーの応答が正しくありません。"), statWords);

    if (!sent && statOk && !Send("LIST\r\n"))
        return false;
    if ((sent || statOk) &&
        !Read(Pop3ResponseReader::Kind::MultiLine, m_options.listLimit, m_options.listLimit))
        return false;
    if (!statOk || !m_reader.ok())
        return Fail(Pop3Error::Mailbox, QStringLiteral("メールボックスの状態を取得できませんでした。"),
                    statOk ? ServerWords() : statWords);
    m_count = int(count);
    m_sizes.clear();
    ParseList(m_reader.content());
    return true;
}

int Pop3Client::Authenticate(const QByteArray& user, const QByteArray& password, bool apop)
{
    if (m_stage != Stage::LoggedOut) {
        if (m_stage != Stage::Over || m_error == Pop3Error::None)
            Refuse(Pop3Error::NotReady, QStringLiteral("サーバーに接続していません。"));
        return -1;
    }
    if (!LogIn(user, password, apop) || !ReadMailbox(m_caps.pipelining))
        return -1;
    MoveTo(Stage::Transaction);
    m_nextToSend = 1;
    return m_count;
}

qint64 Pop3Client::Size(int k) const
{
    if (k < 1 || k > m_count)
        return -1;
    const auto it = std::lower_bound(m_sizes.begin(), m_sizes.end(), k,
                                     [](const auto& entry, int number) { return entry.first < number; });
    return it != m_sizes.end() && it->first == k ? it->second : 0;
}

qint64 Pop3Client::MessageBound(int k) const
{
    const qint64 size = Size(k);
    if (size <= 0)
        return m_options.unlistedMessageLimit;
    return std::min<qint64>(size, INT64_MAX / 2) + m_options.messageSlack + size / 16;
}

void Pop3Client::TopUpPipeline()
{
    QByteArray commands;
    const size_t window = size_t(std::max(1, m_options.pipelineWindow));
    while (m_inFlight.size() < window && m_nextToSend <= m_count) {
        commands += "RETR " + QByteArray::number(m_nextToSend) + "\r\n";
        m_inFlight.push_back(m_nextToSend++);
    }
    if (!commands.isEmpty())
        Send(commands);
}

bool Pop3Client::DrainOne()
{
    const int k = m_inFlight.front();
    m_inFlight.pop_front();
    return Read(Pop3ResponseReader::Kind::MultiLine, 0, MessageBound(k));
}

const Pop3Message* Pop3Client::Fetch(int k)
{
    if (!ReadyFor(k))
        return nullptr;
    if (HasAhead(k))
        return TakeAhead(k);
    m_ahead.clear(); // asked out of order: what was read ahead is dropped
    return Retrieve(k);
}

const Pop3Message* Pop3Client::Retrieve(int k)
{
    m_message = {};
    if (!DrainHeaders())
        return nullptr;
    if (m_caps.pipelining) {
        // The window opens at the first fetch: a caller that retrieves nothing asks for nothing.
        if (m_inFlight.empty() && k == m_nextToSend)
            TopUpPipeline();
        if (std::find(m_inFlight.begin(), m_inFlight.end(), k) != m_inFlight.end()) {
            while (m_inFlight.front() != k) {
                if (!DrainOne())
                    return nullptr;
            }
        } else {
            while (!m_inFlight.empty()) {
                if (!DrainOne())
                    return nullptr;
            }
            if (!Send("RETR " + QByteArray::number(k) + "\r\n"))
                return nullptr;
            m_inFlight.push_back(k);
            m_nextToSend = k + 1;
        }
        m_inFlight.pop_front();
        // Refill in batches: fewer, larger writes.
        if (m_inFlight.size() <= size_t(std::max(1, m_options.pipelineWindow)) / 2)
            TopUpPipeline();
        if (m_stage != Stage::Transaction)
            return nullptr;
    } else if (!Send("RETR " + QByteArray::number(k) + "\r\n")) {
        return nullptr;
    }

    // All that arrives within the bound is kept: the memory follows the bytes received.
    const qint64 bound = std::min<qint64>(MessageBound(k), std::numeric_limits<qsizetype>::max() / 2);
    if (!Read(Pop3ResponseReader::Kind::MultiLine, qsizetype(bound), bound))
        return nullptr;
    if (m_roundTripsToFirstMessage == 0)
        m_roundTripsToFirstMessage = m_roundTrips;
    return HoldMessage(k, Pop3Error::Retrieve, QStringLiteral("メールを取得できませんでした。"));
}

const Pop3Message* Pop3Client::HoldMessage(int k, Pop3Error refusal, const QString& sentence)
{
    if (!m_reader.ok()) {
        Refuse(refusal, sentence, ServerWords());
        return nullptr;
    }
    m_message.number = k;
    m_message.totalBytes = m_reader.contentTotal();
    m_message.bytes = m_reader.takeContent();
    return &m_message;
}

bool Pop3Client::ReplyBuffered() const
{
    // A reply ends at its first line of a lone dot (an -ERR sooner): once one is in the
    // bytes read, reading the next reply needs no more.
    // One pass up to the first such line: the search never reads on past it.
    const QByteArrayView rest = QByteArrayView(m_buffer).sliced(m_bufferPos);
    for (qsizetype at = rest.indexOf("\n."); at >= 0; at = rest.indexOf("\n.", at + 2)) {
        const QByteArrayView after = rest.sliced(at + 2);
        if (after.startsWith("\r\n") || after.startsWith('\n'))
            return true;
    }
    return false;
}

void Pop3Client::ReadAhead(qsizetype budget)
{
    if (!m_caps.pipelining)
        return;
    Pop3Message held = std::move(m_message);
    const Pop3Error error = m_error;
    const QString reason = m_reason;
    qsizetype kept = 0;
    while (m_stage == Stage::Transaction && !m_inFlight.empty() && kept < budget && ReplyBuffered()) {
        const int k = m_inFlight.front();
        m_error = Pop3Error::None;
        const Pop3Message* message = Retrieve(k);
        if (!message && m_stage != Stage::Transaction)
            break; // the connection failed: the next Fetch says so
        Ahead ahead{message ? std::move(m_message) : Pop3Message{k, {}, 0},
                    message ? Pop3Error::None : m_error, message ? QString() : m_reason};
        kept += ahead.message.bytes.size();
        m_ahead.push_back(std::move(ahead));
    }
    if (m_stage == Stage::Transaction) {
        m_error = error;
        m_reason = reason;
    }
    m_message = std::move(held);
}

const Pop3Message* Pop3Client::TakeAhead(int k)
{
    if (!HasAhead(k))
        return nullptr;
    Ahead ahead = std::move(m_ahead.front());
    m_ahead.pop_front();
    if (ahead.error != Pop3Error::None) {
        m_message = {};
        Refuse(ahead.error, ahead.reason);
        return nullptr;
    }
    m_message = std::move(ahead.message);
    return &m_message;
}

void Pop3Client::Quit()
{
    const Pop3Error error = m_error;
    const QString reason = m_reason;
    if (m_socket->state() == QAbstractSocket::ConnectedState && !Abandoned()) {
        const bool waitForAnswer = (m_stage == Stage::LoggedOut || m_stage == Stage::Transaction) &&
                                   m_inFlight.empty() && m_headersInFlight.empty();
        m_readTimeoutMs = std::min(QuitTimeoutMs, m_options.responseTimeoutMs);
        MoveTo(Stage::Quitting);
        if (Send("QUIT\r\n")) {
            if (waitForAnswer)
                Read(Pop3ResponseReader::Kind::SingleLine);
            else if (m_socket->bytesToWrite() > 0)
                m_socket->waitForBytesWritten(100);
        }
    }
    m_socket->abort();
    MoveTo(Stage::Over);
    m_inFlight.clear();
    m_headersInFlight.clear();
    m_ahead.clear();
    m_message = {};
    m_error = error;
    m_reason = reason;
}

bool Pop3Client::Usable()
{
    if (m_stage == Stage::Transaction)
        return true;
    if (m_stage != Stage::Over || m_error == Pop3Error::None)
        Refuse(Pop3Error::NotReady, QStringLiteral("ログインしていません。"));
    return false;
}

bool Pop3Client::ReadyFor(int k)
{
    if (!Usable())
        return false;
    if (k < 1 || k > m_count) {
        return Refuse(Pop3Error::BadMessageNumber, QStringLiteral("メール番号が正しくありません。"),
                      QString::number(k));
    }
    return true;
}

bool Pop3Client::DrainRetrievals()
{
    m_ahead.clear();
    while (!m_inFlight.empty()) {
        if (!DrainOne())
            return false;
    }
    return true;
}

bool Pop3Client::DrainHeaders()
{
    while (!m_headersInFlight.empty()) {
        m_headersInFlight.pop_front();
        if (!Read(Pop3ResponseReader::Kind::MultiLine, 0, m_options.headerLimit))
            return false;
    }
    return true;
}

int Pop3Client::ReadUniqueIds()
{
    if (!Usable())
        return -1;
    if (m_uniqueIds != UniqueIds::NotAsked)
        return m_uniqueIds == UniqueIds::Read ? 1 : 0;
    // Answers to commands nobody waits for any more come first.
    if (!DrainRetrievals() || !DrainHeaders())
        return -1;
    if (!Send("UIDL\r\n") ||
        !Read(Pop3ResponseReader::Kind::MultiLine, m_options.listLimit, m_options.listLimit))
        return -1;
    if (!m_reader.ok()) {
        m_uniqueIds = UniqueIds::Refused;
        Refuse(Pop3Error::UniqueIds, QStringLiteral("サーバーがUIDLに対応していません。"), ServerWords());
        return 0;
    }
    m_uids.assign(size_t(m_count), {});
    for (QByteArrayView line : Lines(m_reader.content())) {
        const QList<QByteArrayView> words = Words(line);
        qint64 number = 0;
        if (words.size() != 2 || !ParseNumber(words[0], number) || number < 1 || number > m_count)
            continue;
        bool printable = true;
        for (char c : words[1])
            printable = printable && c > 0x20 && c < 0x7F;
        if (printable)
            m_uids[size_t(number - 1)] = words[1].toByteArray();
    }
    m_reader.takeContent();
    m_uniqueIds = UniqueIds::Read;
    return 1;
}

QByteArray Pop3Client::UniqueId(int k) const
{
    if (k < 1 || size_t(k) > m_uids.size())
        return {};
    return m_uids[size_t(k - 1)];
}

bool Pop3Client::QueueHeaders(const std::vector<int>& numbers)
{
    if (!Usable())
        return false;
    if (!m_caps.pipelining)
        return true; // asked for one at a time by FetchHeader
    if (!DrainRetrievals())
        return false;
    QByteArray commands;
    const size_t window = size_t(std::max(1, m_options.pipelineWindow));
    for (int k : numbers) {
        if (m_headersInFlight.size() >= window)
            break;
        if (k < 1 || k > m_count)
            continue;
        commands += "TOP " + QByteArray::number(k) + " 0\r\n";
        m_headersInFlight.push_back(k);
    }
    return commands.isEmpty() || Send(commands);
}

const Pop3Message* Pop3Client::FetchHeader(int k)
{
    if (!ReadyFor(k))
        return nullptr;
    m_message = {};
    if (!DrainRetrievals())
        return nullptr;
    if (std::find(m_headersInFlight.begin(), m_headersInFlight.end(), k) != m_headersInFlight.end()) {
        while (m_headersInFlight.front() != k) {
            m_headersInFlight.pop_front();
            if (!Read(Pop3ResponseReader::Kind::MultiLine, 0, m_options.headerLimit))
                return nullptr;
        }
        m_headersInFlight.pop_front();
    } else if (!DrainHeaders() || !Send("TOP " + QByteArray::number(k) + " 0\r\n")) {
        return nullptr;
    }
    if (!Read(Pop3ResponseReader::Kind::MultiLine, m_options.headerLimit, m_options.headerLimit))
        return nullptr;
    return HoldMessage(k, Pop3Error::Header, QStringLiteral("メールのヘッダーを取得できませんでした。"));
}

} // namespace pelloway::pop3
