#include "net/AsyncSocket.h"
#include "net/NetMessages.h"

#include <QFile>
#include <QHostInfo>
#include <QSslConfiguration>
#include <QSslSocket>
#include <QStringList>
#include <QTcpSocket>

#include <algorithm>

#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// What Qt may read ahead of us, so that a fast server cannot fill memory with a body.
constexpr qint64 kMaxReadAheadBytes = 64 * 1024;
// Data reports run back to back before other events get their turn: enough to keep a fast
// download off the event queue, few enough that the window stays responsive.
constexpr int kMaxReportsPerTurn = 8;

bool isDottedIPv4(const QString& name) {
    const QStringList parts = name.split(u'.');
    if (parts.size() != 4)
        return false;
    for (const QString& part : parts) {
        if (part.isEmpty() || part.size() > 3)
            return false;
        for (QChar c : part)
            if (c < u'0' || c > u'9')
                return false;
        if (part.toInt() > 255)
            return false;
    }
    return true;
}

int socketErrorOf(QAbstractSocket::SocketError error) {
    switch (error) {
    case QAbstractSocket::ConnectionRefusedError:
        return sockConnectionRefused;
    case QAbstractSocket::HostNotFoundError:
        return sockHostNotFound;
    case QAbstractSocket::SocketAccessError:
        return sockAccessDenied;
    case QAbstractSocket::SocketResourceError:
        return sockNoBufferSpace;
    case QAbstractSocket::SocketTimeoutError:
        return sockTimedOut;
    case QAbstractSocket::NetworkError:
        return sockNetworkUnreachable;
    case QAbstractSocket::AddressInUseError:
        return sockAddressInUse;
    case QAbstractSocket::SocketAddressNotAvailableError:
        return sockAddressNotAvailable;
    default:
        // Anything else unexpected is a lost connection as far as a caller can tell.
        return sockConnectionReset;
    }
}

int tlsErrorOf(QSslError::SslError error) {
    switch (error) {
    case QSslError::CertificateNotYetValid:
    case QSslError::CertificateExpired:
        return sockTlsCertificateDate;
    case QSslError::HostNameMismatch:
        return sockTlsCertificateName;
    case QSslError::UnableToGetIssuerCertificate:
    case QSslError::UnableToGetLocalIssuerCertificate:
    case QSslError::SelfSignedCertificate:
    case QSslError::SelfSignedCertificateInChain:
    case QSslError::CertificateUntrusted:
    case QSslError::InvalidCaCertificate:
        return sockTlsCertificateAuthority;
    default:
        return sockTlsFailed;
    }
}

// The system's store is read once; the file SSL_CERT_FILE names is read for every
// connection, so that trusting a private authority needs no restart.
QList<QSslCertificate> trustedCertificates() {
    static const QList<QSslCertificate> system = QSslConfiguration::systemCaCertificates();
    QList<QSslCertificate> trusted = system;
    const QString extra = qEnvironmentVariable("SSL_CERT_FILE");
    if (!extra.isEmpty() && QFile::exists(extra))
        trusted += QSslCertificate::fromPath(extra, QSsl::Pem,
                                             QSslCertificate::PatternSyntax::FixedString);
    return trusted;
}

} // namespace

TAsyncSocket::TAsyncSocket(QObject* parent) : QObject(parent) {}

TAsyncSocket::~TAsyncSocket() {
    abort();
    releaseWatch();
}

void TAsyncSocket::post(std::function<void()> notification) {
    QMetaObject::invokeMethod(this, std::move(notification), Qt::QueuedConnection);
}

void TAsyncSocket::dnsLookup(const QString& name) {
    dnsResult_.clear();
    auto done = [this](int error) {
        if (OnDnsLookupDone)
            OnDnsLookupDone(error);
    };
    if (name.isEmpty()) {
        post([done] { done(sockInvalidArgument); });
        return;
    }
    if (isDottedIPv4(name)) {
        dnsResult_ = QHostAddress(name).toString();
        post([done] { done(0); });
        return;
    }
    lookupId_ = QHostInfo::lookupHost(name, this, [this, done](const QHostInfo& info) {
        lookupId_ = -1;
        for (const QHostAddress& address : info.addresses()) {
            if (address.protocol() == QAbstractSocket::IPv4Protocol) {
                dnsResult_ = address.toString();
                done(0);
                return;
            }
        }
        done(sockHostNotFound);
    });
}

int TAsyncSocket::connectTo(const QString& address, const QString& port,
                            const QString& localAddress) {
    QHostAddress remote;
    if (!remote.setAddress(address) || remote.protocol() != QAbstractSocket::IPv4Protocol)
        return sockInvalidArgument;
    bool ok = false;
    const uint portNumber = port.trimmed().toUInt(&ok);
    if (!ok || portNumber > 65535)
        return sockInvalidArgument;
    if (portNumber == 0)
        return sockAddressNotAvailable;
    if (tls_ && !QSslSocket::supportsSsl()) {
        setTlsFailure(sockTlsFailed, QLatin1String(netmsg::kNoTls));
        return sockTlsFailed;
    }

    socket_ = makeSocket();
    socket_->setReadBufferSize(kMaxReadAheadBytes);
    connect(socket_.get(), &QAbstractSocket::connected, this, &TAsyncSocket::watchConnection);
    connect(socket_.get(), &QAbstractSocket::readyRead, this, &TAsyncSocket::scheduleRead);
    connect(socket_.get(), &QAbstractSocket::disconnected, this, &TAsyncSocket::onDisconnected);
    connect(socket_.get(), &QAbstractSocket::errorOccurred, this,
            [this](QAbstractSocket::SocketError error) { onError(error); });

    if (!localAddress.isEmpty() && localAddress != QLatin1String("0.0.0.0")) {
        QHostAddress local;
        if (!local.setAddress(localAddress))
            return sockInvalidArgument;
        if (!socket_->bind(local, 0))
            return socketErrorOf(socket_->error());
    }
    connecting_ = true;
    startSession(*socket_, remote, static_cast<quint16>(portNumber));
    return 0;
}

std::unique_ptr<QTcpSocket> TAsyncSocket::makeSocket() {
    return std::make_unique<QTcpSocket>();
}

void TAsyncSocket::startSession(QTcpSocket& socket, const QHostAddress& address, quint16 port) {
    connect(&socket, &QAbstractSocket::connected, this, &TAsyncSocket::reportConnected);
    socket.connectToHost(address, port);
}

void TAsyncSocket::reportConnected() {
    if (!connecting_)
        return;
    connecting_ = false;
    connected_ = true;
    post([this] {
        if (OnSessionConnected)
            OnSessionConnected(0);
    });
}

void TAsyncSocket::setTlsFailure(int error, const QString& description) {
    if (tlsError_ != 0)
        return;
    tlsError_ = error;
    tlsFailure_ = description;
}

void TAsyncSocket::watchConnection() {
    tcpConnected_ = true;
    if (watchFd_ < 0 && socket_->socketDescriptor() >= 0)
        watchFd_ = ::fcntl(static_cast<int>(socket_->socketDescriptor()), F_DUPFD_CLOEXEC, 0);
}

void TAsyncSocket::releaseWatch() {
    if (watchFd_ >= 0)
        ::close(watchFd_);
    watchFd_ = -1;
}

bool TAsyncSocket::peerWasReset() const {
    // After an orderly close by the peer the socket waits for ours (CLOSE_WAIT); after a
    // reset it is closed already.
    tcp_info info{};
    socklen_t size = sizeof info;
    if (watchFd_ < 0 || ::getsockopt(watchFd_, IPPROTO_TCP, TCP_INFO, &info, &size) != 0)
        return false;
    return info.tcpi_state == TCP_CLOSE;
}

void TAsyncSocket::onError(int qtError) {
    const auto error = static_cast<QAbstractSocket::SocketError>(qtError);
    if (connecting_) {
        connecting_ = false;
        // Whatever ends a TLS connection between the TCP connect and the encrypted session
        // is a failed handshake.
        if (tls_ && tcpConnected_)
            setTlsFailure(sockTlsFailed, socket_->errorString());
        const int code = tls_ && tcpConnected_ ? tlsError_ : socketErrorOf(error);
        post([this, code] {
            if (OnSessionConnected)
                OnSessionConnected(code);
        });
        return;
    }
    if (!connected_ || error == QAbstractSocket::RemoteHostClosedError)
        return;
    closeError_ = socketErrorOf(error);
    if (socket_->state() == QAbstractSocket::UnconnectedState)
        onDisconnected();
}

void TAsyncSocket::onDisconnected() {
    if (!connected_ || peerClosed_)
        return;
    peerClosed_ = true;
    if (closeError_ == 0 && peerWasReset())
        closeError_ = sockConnectionReset;
    releaseWatch();
    // Whatever arrived before the close is still to be read; the close is reported after it.
    if (socket_->bytesAvailable() > 0)
        scheduleRead();
    else
        reportClosed(closeError_);
}

void TAsyncSocket::scheduleRead() {
    if (readScheduled_ || !connected_)
        return;
    readScheduled_ = true;
    post([this] { deliverRead(); });
}

void TAsyncSocket::deliverRead() {
    readScheduled_ = false;
    if (!socket_ || !socket_->isOpen() || closeReported_)
        return;
    // Like a level-triggered read notification: report again while data waits, unless the
    // reader left it unread (it calls resumeReading() when it wants more). A few reports
    // run back to back before other events get their turn, which keeps a fast download
    // from paying one trip through the event queue per read.
    for (int report = 0; report < kMaxReportsPerTurn; ++report) {
        const qint64 before = consumed_;
        if (socket_->bytesAvailable() > 0 && OnDataAvailable)
            OnDataAvailable();
        if (!socket_->isOpen() || closeReported_)
            return;
        if (consumed_ == before && socket_->bytesAvailable() > 0)
            return;
        if (socket_->bytesAvailable() == 0)
            break;
    }
    resumeReading();
}

void TAsyncSocket::resumeReading() {
    if (!socket_ || !socket_->isOpen() || closeReported_)
        return;
    if (socket_->bytesAvailable() > 0)
        scheduleRead();
    else if (peerClosed_)
        reportClosed(closeError_);
}

void TAsyncSocket::reportClosed(int error) {
    if (closeReported_)
        return;
    closeReported_ = true;
    post([this, error] {
        if (OnSessionClosed)
            OnSessionClosed(error);
    });
}

void TAsyncSocket::send(const QByteArray& bytes) {
    if (socket_)
        socket_->write(bytes);
}

qint64 TAsyncSocket::receive(char* buffer, qint64 maxLen) {
    if (!socket_ || !socket_->isOpen() || maxLen <= 0)
        return 0;
    const qint64 n = std::max<qint64>(socket_->read(buffer, maxLen), 0);
    consumed_ += n;
    return n;
}

void TAsyncSocket::close() {
    if (lookupId_ >= 0) {
        QHostInfo::abortHostLookup(lookupId_);
        lookupId_ = -1;
    }
    if (!socket_)
        return;
    socket_->disconnect(this);
    socket_->close();
    releaseWatch();
    connecting_ = false;
    if (connected_)
        reportClosed(0);
}

void TAsyncSocket::abort() {
    if (lookupId_ >= 0) {
        QHostInfo::abortHostLookup(lookupId_);
        lookupId_ = -1;
    }
    OnDnsLookupDone = nullptr;
    OnSessionConnected = nullptr;
    OnDataAvailable = nullptr;
    OnSessionClosed = nullptr;
    if (!socket_)
        return;
    socket_->disconnect(this);
    socket_->abort();
    releaseWatch();
    connecting_ = false;
}

QString TAsyncSocket::errorDescription(int error) {
    for (const netmsg::SocketErrorText& entry : netmsg::kSocketErrors)
        if (entry.error == error)
            return QLatin1String(entry.text);
    return QLatin1String(netmsg::kUnknownSocketError);
}

TSslAsyncSocket::TSslAsyncSocket(const QString& peerName, QObject* parent)
    : TAsyncSocket(parent), peerName_(peerName) {
    tls_ = true;
}

std::unique_ptr<QTcpSocket> TSslAsyncSocket::makeSocket() {
    auto socket = std::make_unique<QSslSocket>();
    QSslConfiguration config = QSslConfiguration::defaultConfiguration();
    config.setCaCertificates(trustedCertificates());
    config.setPeerVerifyMode(QSslSocket::VerifyPeer);
    socket->setSslConfiguration(config);
    return socket;
}

void TSslAsyncSocket::startSession(QTcpSocket& socket, const QHostAddress& address, quint16 port) {
    auto& ssl = static_cast<QSslSocket&>(socket);
    connect(&ssl, &QSslSocket::encrypted, this, [this] { reportConnected(); });
    connect(&ssl, &QSslSocket::sslErrors, this, [this](const QList<QSslError>& errors) {
        if (!errors.isEmpty())
            setTlsFailure(tlsErrorOf(errors.first().error()), errors.first().errorString());
    });
    // The address is connected to as it was resolved; the name goes out for SNI and is
    // the one the certificate must be for.
    ssl.connectToHostEncrypted(address.toString(), port, peerName_);
}
