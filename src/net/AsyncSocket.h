#pragma once
// Event-driven TCP connection for the HTTP client, running on the thread that owns it.
//
// Every notification (lookup done, connected, data available, closed) is posted to the
// thread's event queue, never called from inside a Qt signal, so a handler may close or
// abort the connection, or drop the object, without pulling the socket out from under Qt.
// One object serves one connection attempt: a name lookup, then one connection.
//
// TSslAsyncSocket takes this one's place for TLS: it overrides makeSocket() and
// startSession() and reports "connected" only once the session is encrypted, so the client
// sees the same notifications either way. A failed handshake or a rejected certificate is a
// failed connection whose description tlsFailure() gives.

#include <QHostAddress>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>

class QTcpSocket;

// Error numbers of the classic sockets API, kept so that codes read the same everywhere.
enum TSocketError : int {
    sockNoError = 0,
    sockAccessDenied = 10013,
    sockInvalidArgument = 10022,
    sockAddressInUse = 10048,
    sockAddressNotAvailable = 10049,
    sockNetworkUnreachable = 10051,
    sockConnectionAborted = 10053,
    sockConnectionReset = 10054,
    sockNoBufferSpace = 10055,
    sockTimedOut = 10060,
    sockConnectionRefused = 10061,
    sockHostNotFound = 11001,
    // The secure-channel numbers of the classic internet API.
    sockTlsCertificateDate = 12037,
    sockTlsCertificateName = 12038,
    sockTlsCertificateAuthority = 12045,
    sockTlsFailed = 12157,
};

class TAsyncSocket : public QObject {
    Q_OBJECT
public:
    explicit TAsyncSocket(QObject* parent = nullptr);
    ~TAsyncSocket() override;

    // Notifications; each receives the socket error number, 0 on success.
    std::function<void(int error)> OnDnsLookupDone;
    std::function<void(int error)> OnSessionConnected;
    std::function<void()> OnDataAvailable;
    // Raised exactly once for a connection that was reported connected.
    std::function<void(int error)> OnSessionClosed;

    // Resolves without blocking; a dotted IPv4 name needs no lookup and an empty one fails.
    void dnsLookup(const QString& name);
    // The first IPv4 address found, as dotted text.
    QString dnsResult() const { return dnsResult_; }

    // Starts connecting to a dotted address; returns a socket error when the attempt
    // cannot even start (bad address or port, local address not bindable), else 0.
    int connectTo(const QString& address, const QString& port, const QString& localAddress);
    // Queues bytes; Qt sends them as the connection allows.
    void send(const QByteArray& bytes);
    // Reads up to maxLen bytes of what has arrived; returns the count (0 when none).
    qint64 receive(char* buffer, qint64 maxLen);
    // Asks for another data report after one that was left unread.
    void resumeReading();
    // Ends the connection and discards unread data; the closed report follows with error 0.
    void close();
    // Ends the connection and any lookup at once, reporting nothing more.
    void abort();

    // Why the TLS session could not be opened, in the TLS layer's words; empty when the
    // connection did not fail in the handshake.
    const QString& tlsFailure() const { return tlsFailure_; }

    static QString errorDescription(int error);

protected:
    virtual std::unique_ptr<QTcpSocket> makeSocket();
    // Opens the session; a TLS socket would start the handshake and call reportConnected()
    // once it is encrypted.
    virtual void startSession(QTcpSocket& socket, const QHostAddress& address, quint16 port);
    void reportConnected();
    // A TLS socket records the first certificate error it rejects here.
    void setTlsFailure(int error, const QString& description);
    bool tls_ = false;

private:
    void post(std::function<void()> notification);
    void onError(int qtError);
    void onDisconnected();
    void scheduleRead();
    void deliverRead();
    void reportClosed(int error);
    void watchConnection();
    void releaseWatch();
    bool peerWasReset() const;

    std::unique_ptr<QTcpSocket> socket_;
    QString dnsResult_;
    int lookupId_ = -1;
    bool connecting_ = false;
    bool connected_ = false;
    bool closeReported_ = false;
    bool peerClosed_ = false;
    bool readScheduled_ = false;
    bool tcpConnected_ = false;
    int closeError_ = 0;
    int tlsError_ = 0;
    QString tlsFailure_;
    qint64 consumed_ = 0;
    // Qt reads a reset from the peer as an orderly close and then closes its descriptor; a
    // duplicate keeps the kernel's socket, whose TCP state tells the two apart, until the
    // close has been reported.
    int watchFd_ = -1;
};

// The same connection over TLS: the server name is sent for SNI and the certificate is
// verified for it against the system's certificate store plus the certificates of the
// file that SSL_CERT_FILE names, read afresh for every connection.
class TSslAsyncSocket : public TAsyncSocket {
public:
    explicit TSslAsyncSocket(const QString& peerName, QObject* parent = nullptr);

protected:
    std::unique_ptr<QTcpSocket> makeSocket() override;
    void startSession(QTcpSocket& socket, const QHostAddress& address, quint16 port) override;

private:
    QString peerName_;
};
