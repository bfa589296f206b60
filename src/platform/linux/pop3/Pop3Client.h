#pragma once
// A POP3 client on QSslSocket, used synchronously: every call blocks the calling thread
// (without spinning) until the server has answered or a time-out has passed.
//
// One connection goes through: Connect (greeting, CAPA, STLS), Authenticate
// (APOP or USER/PASS, then STAT and LIST), Fetch for each message, Quit. When the server
// lists PIPELINING, Authenticate sends its commands in one go, and the first Fetch opens a
// window of RETR commands in flight ahead of the caller; Fetch then consumes the responses
// in order. A caller that only wants to know what is there asks for the unique-id listing
// (ReadUniqueIds, UIDL) and for headers (FetchHeader, "TOP k 0"), which pipeline the same
// way; nothing is retrieved that the caller did not ask for.
// Nothing is ever deleted on the server. Each failure leaves an Error and a Japanese
// reason followed by the server's own words, if it gave any.
//
// No ID, password or APOP digest is sent before TLS is up (TLS 1.2 or later), unless the
// server name is of the "plain://" form; a server without STLS fails Connect instead. A
// certificate that fails the check is refused unless it is exactly the one trusted for
// this server; a refused one is described for the user by Untrusted().

#include "platform/TlsTrust.h"
#include "platform/linux/pop3/Pop3ResponseReader.h"
#include "platform/linux/pop3/ServerAddress.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QSslCertificate>
#include <QSslSocket>
#include <QString>
#include <QTcpSocket>
#include <atomic>
#include <deque>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

namespace pelloway::pop3 {

// The bounds of one connection. Every wait ends within them, whatever the server does.
struct Pop3Options
{
    // Connecting: name lookup, TCP and any TLS handshake together.
    int connectTimeoutMs = 20000;
    // The longest silence while a response is awaited.
    int responseTimeoutMs = 60000;
    // The least progress: while a response is still arriving, every progressWindowMs must
    // bring progressFloorBytes, so a server that drips a byte now and then is left.
    int progressWindowMs = 60000;
    qint64 progressFloorBytes = 8 * 1024;
    // The whole exchange, from the connect to the last message: the last resort.
    qint64 exchangeDeadlineMs = 6LL * 60 * 60 * 1000;
    // Trusted in addition to the system's CA store.
    QList<QSslCertificate> extraCaCertificates;
    // SHA-256 digests of certificates the user trusts, by ServerAddress::Key(): such a
    // certificate passes for that server even when it fails the check; nothing else does.
    QHash<QString, QByteArray> trustedCertificates;
    // RETR commands kept in flight when the server pipelines.
    int pipelineWindow = 256;
    // How far a message may run past its LIST size: messageSlack and a sixteenth of the
    // size. Past that the connection fails as sending too much.
    qsizetype messageSlack = 64 * 1024;
    // The bound for a message LIST did not give a size for.
    qint64 unlistedMessageLimit = 256LL * 1024 * 1024;
    // The bounds of the CAPA and LIST replies; UIDL has LIST's.
    qsizetype capaLimit = 64 * 1024;
    qsizetype listLimit = 64 * 1024 * 1024;
    // The bound of a message header read with TOP.
    qsizetype headerLimit = 1024 * 1024;
    // Set from any thread: every wait of the connection ends at once, and the connection
    // closes without a goodbye.
    std::shared_ptr<std::atomic<bool>> abandon;
};

enum class Pop3Error
{
    None,
    BadServerName,
    HostNotFound,
    Network, // refused, unreachable, reset while connecting
    ConnectTimeout,
    Certificate, // the TLS handshake or the certificate check failed
    Unencrypted, // no STLS on offer, and the server name does not allow a plain login
    Greeting,    // the server said -ERR at once
    Timeout,     // a response stalled
    Closed,      // the server hung up
    Protocol,    // bytes that are not POP3
    ApopUnsupported,
    Auth,
    Mailbox,   // STAT or LIST refused
    Retrieve,  // RETR refused
    UniqueIds, // UIDL refused
    Header,    // TOP refused
    BadMessageNumber,
    NotReady,  // called in the wrong state
    TooSlow,   // a response kept arriving below the progress floor
    TooLarge,  // a response ran past its byte bound
    Overtime,  // the whole exchange ran past its deadline
    Abandoned, // given up from outside
};

struct Pop3Capabilities
{
    bool pipelining = false;
    bool stls = false;
    bool user = false;
    bool respCodes = false;
};

// One retrieved message: the bytes with dot-stuffing undone, and how many there were.
struct Pop3Message
{
    int number = 0;
    QByteArray bytes;
    qint64 totalBytes = 0;
};

class Pop3Client
{
public:
    explicit Pop3Client(Pop3Options options = {});
    ~Pop3Client();
    Pop3Client(const Pop3Client&) = delete;
    Pop3Client& operator=(const Pop3Client&) = delete;

    bool Connect(const QString& serverName);
    // The message count (>= 0), or -1 on failure.
    int Authenticate(const QByteArray& user, const QByteArray& password, bool apop);
    // The LIST size of message k, 0 when unknown, -1 when k is out of range.
    qint64 Size(int k) const;
    // The bytes a message may have before the connection fails: its LIST size and the slack.
    qint64 MessageBound(int k) const;
    // Retrieves message k; the returned message stays valid until the next Fetch or Quit.
    const Pop3Message* Fetch(int k);
    // The message Fetch returned last (number 0 when none is held).
    const Pop3Message& Current() const { return m_message; }
    // Lets go of the held message.
    void Release() { m_message = {}; }
    // Reads on past the held message while the next replies are already in the bytes
    // received, keeping at most `budget` bytes of them: no wait, no socket call beyond
    // what Fetch would make. Fetch and TakeAhead then hand them out in order.
    void ReadAhead(qsizetype budget);
    // Whether message k was read ahead; TakeAhead then holds it (or fails as its Fetch
    // did) without touching the socket.
    bool HasAhead(int k) const { return !m_ahead.empty() && m_ahead.front().message.number == k; }
    const Pop3Message* TakeAhead(int k);
    // Moves the held message's bytes out (the number stays, the bytes become empty).
    QByteArray TakeMessageBytes() { return std::exchange(m_message.bytes, {}); }
    // Sends QUIT and closes; never fails.
    void Quit();

    // Asks for the unique-id listing (UIDL) once per connection: 1 when it was read, 0 when
    // the server refused it (the connection stays usable; Error() is UniqueIds), -1 when the
    // connection failed. The reply is held to LIST's bound.
    int ReadUniqueIds();
    // The unique id of message k from the listing; empty when the listing has none for k.
    QByteArray UniqueId(int k) const;
    // Announces the messages whose headers FetchHeader will be asked for next, in that
    // order: when the server pipelines, their TOP commands go out together (up to the RETR
    // window). False when the connection failed.
    bool QueueHeaders(const std::vector<int>& numbers);
    // The header of message k ("TOP k 0"); valid until the next Fetch, FetchHeader or Quit.
    // Null on failure: a refusal (Header) leaves the connection usable, a reply past the
    // header bound ends it.
    const Pop3Message* FetchHeader(int k);
    // Bytes read from and written to the server so far (after TLS: the POP3 bytes).
    qint64 BytesReceived() const { return m_bytesReceived; }
    qint64 BytesSent() const { return m_bytesSent; }

    int MessageCount() const { return m_count; }
    // Closed by Quit or by a failure: every call that needs the server fails at once.
    bool Closed() const { return m_stage == Stage::Over; }
    bool Encrypted() const { return m_ssl && m_ssl->isEncrypted(); }
    const Pop3Capabilities& Capabilities() const { return m_caps; }
    const QByteArray& Greeting() const { return m_greeting; }
    Pop3Error Error() const { return m_error; }
    // A Japanese sentence, then the details in parentheses.
    const QString& Reason() const { return m_reason; }
    // After a Certificate failure with a certificate the user might trust; null otherwise.
    const CertificateProblem& Untrusted() const { return m_untrusted; }
    // Times the client waited for an answer to something it had sent, counting the TCP
    // connect as one: the round trips the dialogue cost so far.
    int RoundTrips() const { return m_roundTrips; }
    // RoundTrips() when the first bytes of message data arrived, or 0.
    int RoundTripsToFirstMessage() const { return m_roundTripsToFirstMessage; }

    // The APOP digest: lower-case hex MD5 of the greeting's <timestamp> and the password.
    static QByteArray ApopDigest(const QByteArray& timestamp, const QByteArray& password);
    // The <...> timestamp of a greeting, or empty.
    static QByteArray GreetingTimestamp(const QByteArray& greeting);

private:
    // Where the dialogue is. Only MoveTo changes it.
    enum class Stage
    {
        Fresh,        // nothing sent yet
        Greeting,     // connected, waiting for the greeting
        Capabilities, // CAPA sent
        StartTls,     // STLS sent or the handshake running
        LoggedOut,    // greeted and capabilities known: Authenticate may run
        Login,        // USER and PASS, or APOP, sent
        Mailbox,      // logged in; STAT and LIST sent
        Transaction,  // count and sizes known: Fetch may run
        Quitting,     // QUIT sent
        Over,         // closed by Quit or by a failure; every call fails
    };

    void MoveTo(Stage next);
    // The one way a connection fails: the error and reason are kept, the stage becomes Over,
    // and the socket is closed unless the dialogue is still in step (a refused login or
    // mailbox), where Quit may still say goodbye.
    bool Fail(Pop3Error error, const QString& sentence, const QString& detail = {});
    // A call refused while the connection stays as it was.
    bool Refuse(Pop3Error error, const QString& sentence, const QString& detail = {});
    bool FailSocket(bool handshake);
    bool Abandoned() const { return m_options.abandon && m_options.abandon->load(); }
    // Runs this thread's events until `done` holds, in short slices so that abandonment and
    // the deadline are seen; false when they came first (the failure is recorded).
    bool WaitUntil(const std::function<bool()>& done, const QDeadlineTimer& deadline);
    // Waits for bytes to read within the silence, progress and exchange bounds.
    bool WaitForBytes();
    bool FailReader();
    bool Send(const QByteArray& commands);
    bool Read(Pop3ResponseReader::Kind kind, qsizetype contentLimit = 0, qint64 byteLimit = -1);
    bool FillBuffer();
    bool ReadCapabilities();
    bool StartTls(const QDeadlineTimer& deadline);
    // Login: USER and PASS, or APOP; with pipelining STAT and LIST go in the same batch.
    bool LogIn(const QByteArray& user, const QByteArray& password, bool apop);
    // STAT and LIST: the count and sizes. `sent` when LogIn already sent them.
    bool ReadMailbox(bool sent);
    // Fetch past the checks and the messages read ahead.
    const Pop3Message* Retrieve(int k);
    void TopUpPipeline();
    // The bytes read so far hold the whole next reply: reading it waits for nothing.
    bool ReplyBuffered() const;
    bool DrainOne();
    bool DrainRetrievals();
    bool DrainHeaders();
    const Pop3Message* HoldMessage(int k, Pop3Error refusal, const QString& sentence);
    bool Usable();
    bool ReadyFor(int k);
    void ParseList(const QByteArray& content);
    QString ServerWords() const;

    Pop3Options m_options;
    std::unique_ptr<QTcpSocket> m_socket; // becomes a QSslSocket when TLS starts
    QSslSocket* m_ssl = nullptr;          // m_socket once it is one
    ServerAddress m_address;
    Stage m_stage = Stage::Fresh;
    Pop3Capabilities m_caps;
    QByteArray m_greeting;
    Pop3ResponseReader m_reader;
    QByteArray m_buffer;
    qsizetype m_bufferPos = 0;
    int m_readTimeoutMs = 0;
    QElapsedTimer m_clock;    // since Connect
    qint64 m_exchangeEnd = 0; // on m_clock
    qint64 m_silenceFrom = 0; // the last bytes or the start of the response
    qint64 m_windowStart = 0; // the current progress window
    qint64 m_windowBytes = 0;
    bool m_sentSinceWait = false;
    int m_roundTrips = 0;
    int m_roundTripsToFirstMessage = 0;
    int m_count = 0;
    std::vector<std::pair<int, qint64>> m_sizes; // LIST lines received, by number
    std::deque<int> m_inFlight;                  // RETR numbers sent and not yet read
    std::deque<int> m_headersInFlight;           // TOP numbers sent and not yet read
    enum class UniqueIds
    {
        NotAsked,
        Refused,
        Read,
    } m_uniqueIds = UniqueIds::NotAsked;
    std::vector<QByteArray> m_uids; // by message number - 1
    qint64 m_bytesReceived = 0;
    qint64 m_bytesSent = 0;
    int m_nextToSend = 1;
    Pop3Message m_message;
    struct Ahead
    {
        Pop3Message message;
        Pop3Error error = Pop3Error::None; // None when it was read
        QString reason;
    };
    std::deque<Ahead> m_ahead; // read ahead of the caller, in order
    Pop3Error m_error = Pop3Error::None;
    QString m_reason;
    CertificateProblem m_untrusted;
};

} // namespace pelloway::pop3
