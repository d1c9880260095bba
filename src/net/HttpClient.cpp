#include "net/HttpClient.h"
#include "net/NetMessages.h"

#include <QCoreApplication>
#include <QIODevice>
#include <QLocale>

#include <algorithm>
#include <cstring>

namespace {

// Text that fits in 8 bits goes out as those bytes, as the pages and headers we read come
// in; anything wider is sent as UTF-8 rather than mangled.
QByteArray toWire(const QString& text) {
    for (QChar c : text)
        if (c.unicode() > 0xFF)
            return text.toUtf8();
    return text.toLatin1();
}

bool isSchemeChar(QChar c) {
    return (c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9') || c == u'+' || c == u'-' ||
           c == u'.';
}

// A request target always starts with "/", also when the address held only a query.
QString requestPath(const QString& path) {
    if (path.isEmpty())
        return QStringLiteral("/");
    if (path.startsWith(u'?'))
        return u'/' + path;
    return path;
}

QString methodName(THttpRequest kind) {
    switch (kind) {
    case httpPOST:
        return QStringLiteral("POST");
    case httpHEAD:
        return QStringLiteral("HEAD");
    default:
        return QStringLiteral("GET");
    }
}

QString msg(const char* text) {
    return QLatin1String(text);
}

bool sameHost(const QString& a, const QString& b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

} // namespace

THttpAddress splitHttpAddress(const QString& address) {
    THttpAddress parts;
    QString rest;
    const qsizetype separator = address.indexOf(QLatin1String("://"));
    bool hasScheme = separator >= 0;
    for (qsizetype i = 0; hasScheme && i < separator; ++i)
        hasScheme = isSchemeChar(address[i]);
    if (hasScheme) {
        parts.Scheme = address.left(separator);
        rest = address.mid(separator + 3);
    } else if (address.startsWith(u'/') && !address.startsWith(QLatin1String("//"))) {
        parts.Path = address;
        return parts;
    } else if (address.left(5).compare(QLatin1String("http:"), Qt::CaseInsensitive) == 0) {
        return parts;
    } else {
        rest = address;
    }

    qsizetype end = rest.size();
    for (qsizetype i = 0; i < rest.size(); ++i) {
        if (rest[i] == u'/' || rest[i] == u'?') {
            end = i;
            break;
        }
    }
    const QString authority = rest.left(end);
    parts.Path = rest.mid(end);

    const qsizetype at = authority.lastIndexOf(u'@');
    const qsizetype colon = authority.lastIndexOf(u':');
    const qsizetype hostStart = at + 1;
    if (colon > at) {
        parts.Port = authority.mid(colon + 1);
        parts.Host = authority.mid(hostStart, colon - hostStart);
    } else {
        parts.Host = authority.mid(hostStart);
    }
    if (at >= 0) {
        const QString userPart = authority.left(at);
        const qsizetype passwordColon = userPart.indexOf(u':');
        if (passwordColon >= 0) {
            parts.User = userPart.left(passwordColon);
            parts.Password = userPart.mid(passwordColon + 1);
        } else {
            parts.User = userPart;
        }
    }
    return parts;
}

THttpClient::THttpClient(QObject* parent)
    : QObject(parent), LocalAddr(QStringLiteral("0.0.0.0")), ProxyPort(QStringLiteral("80")),
      Agent(QStringLiteral("Mozilla/3.0 (compatible)")),
      Accept(QStringLiteral("image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, */*")),
      ContentTypePost(QStringLiteral("application/x-www-form-urlencoded")),
      SocksLevel(QStringLiteral("5")) {
    buffer_[0] = 0;
    timeout_.setSingleShot(true);
    connect(&timeout_, &QTimer::timeout, this, [this] { guard([this] { onTimeout(); }); });
    totalTimeout_.setSingleShot(true);
    connect(&totalTimeout_, &QTimer::timeout, this,
            [this] { guard([this] { onTotalTimeout(); }); });
}

THttpClient::~THttpClient() {
    timeout_.stop();
    totalTimeout_.stop();
    if (socket_)
        socket_->abort();
}

void THttpClient::Get() {
    if (state_ != httpReady || donePending_)
        throw EHttpException(msg(netmsg::kBusy), 1);
    failure_ = nullptr;
    guard([this] { startRequest(httpGET); });
    while (state_ != httpReady || donePending_)
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    if (failure_)
        std::rethrow_exception(std::exchange(failure_, nullptr));
}

void THttpClient::Abort() {
    if (state_ == httpReady || ending_ || aborted_)
        return;
    aborted_ = true;
    takingLines_ = false;
    relocationPending_ = false;
    retireSocket();
    // Inside the receive path the end waits until the data in hand has been let go of;
    // anywhere else it comes from the event loop, after the caller has returned.
    if (inData_) {
        closeDeferred_ = 0;
        return;
    }
    QMetaObject::invokeMethod(
        this,
        [this] {
            guard([this] {
                timeout_.stop();
                finishRequest();
            });
        },
        Qt::QueuedConnection);
}

void THttpClient::guard(const std::function<void()>& step) {
    try {
        step();
    } catch (...) {
        handlerFailed(std::current_exception());
    }
}

void THttpClient::handlerFailed(std::exception_ptr failure) {
    if (!failure_)
        failure_ = failure;
    if (readyPosted_)
        return;
    if (errorCode_ == 0)
        errorCode_ = sockConnectionAborted;
    aborted_ = true;
    takingLines_ = false;
    relocationPending_ = false;
    closeDeferred_.reset();
    timeout_.stop();
    retireSocket();
    try {
        finishRequest();
    } catch (...) {
        // A second failure (OnDocEnd, say) adds nothing to the first.
    }
    becomeReady();
}

void THttpClient::setState(THttpState state) {
    if (state_ == state)
        return;
    state_ = state;
    if (OnStateChange)
        OnStateChange(this);
}

void THttpClient::startRequest(THttpRequest kind) {
    ending_ = false;
    aborted_ = false;
    readyPosted_ = false;
    requestType_ = kind;
    statusCode_ = 0;
    contentLength_ = -1;
    contentType_.clear();
    acceptRanges_.clear();
    rcvdHeader_.clear();
    authChallenges_.clear();
    errorCode_ = 0;
    rcvdCount_ = 0;
    chunkCount_ = 0;
    headerLineCount_ = 0;
    relocations_ = 0;
    location_ = URL;
    setState(httpNotConnected);
    if (TotalTimeoutMs > 0)
        totalTimeout_.start(TotalTimeoutMs);

    const THttpAddress parts = splitHttpAddress(URL);
    target_.tls = parts.Scheme == QLatin1String("https");
    target_.host = parts.Host;
    target_.hostHeader = parts.Host;
    target_.port = !parts.Port.isEmpty() ? parts.Port
                   : target_.tls         ? QStringLiteral("443")
                                         : QStringLiteral("80");
    target_.path = requestPath(parts.Path);
    // Credentials in the address serve this request only; the properties stay as set.
    target_.user = parts.User.isEmpty() ? Username : parts.User;
    target_.password = parts.Password.isEmpty() ? Password : parts.Password;
    startConnection();
}

void THttpClient::startConnection() {
    // An Abort() or a failure may come between a relocation and its new connection.
    if (ending_ || aborted_)
        return;
    retired_.clear();
    setState(httpDnsLookup);
    if (ending_ || aborted_)
        return;
    closed_ = false;
    readDeferred_ = false;
    closeDeferred_.reset();
    bufferLen_ = 0;
    buffer_[0] = 0;
    headerBytes_ = 0;
    headerInProgress_ = false;
    relocationPending_ = false;
    bodyHandler_ = false;
    takingLines_ = true;

    if (target_.tls)
        socket_ = std::make_unique<TSslAsyncSocket>(target_.host);
    else
        socket_ = std::make_unique<TAsyncSocket>();
    socket_->OnDnsLookupDone = [this](int error) { guard([=, this] { dnsLookupDone(error); }); };
    socket_->OnSessionConnected = [this](int error) {
        guard([=, this] { sessionConnected(error); });
    };
    socket_->OnDataAvailable = [this] { guard([this] { dataAvailable(); }); };
    socket_->OnSessionClosed = [this](int error) { guard([=, this] { sessionClosed(error); }); };
    armTimeout();
    socket_->dnsLookup(target_.host);
}

void THttpClient::retireSocket() {
    // The socket may be the one whose notification is running, so it lives on until the
    // next connection starts.
    if (!socket_)
        return;
    socket_->abort();
    retired_.push_back(std::move(socket_));
}

void THttpClient::closeConnection() {
    // A handler's nested event loop may have timed the request out already.
    if (socket_)
        socket_->close();
}

void THttpClient::armTimeout() {
    if (TimeoutMs > 0)
        timeout_.start(TimeoutMs);
}

void THttpClient::onTimeout() {
    if (ending_ || closed_ || state_ == httpReady)
        return;
    // A handler of ours holding the data (a message box, say) is no stall of the server.
    if (inData_) {
        armTimeout();
        return;
    }
    timedOut();
}

void THttpClient::onTotalTimeout() {
    if (ending_ || state_ == httpReady)
        return;
    timedOut();
}

void THttpClient::timedOut() {
    retireSocket();
    statusCode_ = 404;
    reasonPhrase_ = msg(netmsg::kTimedOut);
    relocationPending_ = false;
    takingLines_ = false;
    if (closed_) {
        // Between a relocation and its new connection: nothing is left to close.
        errorCode_ = sockTimedOut;
        aborted_ = true;
        finishRequest();
        return;
    }
    sessionClosed(sockTimedOut);
}

void THttpClient::dnsLookupDone(int error) {
    if (error != 0) {
        statusCode_ = 404;
        reasonPhrase_ = msg(netmsg::kCantResolve);
        retireSocket();
        sessionClosed(error);
        return;
    }
    setState(httpConnecting);
    if (!socket_)
        return;
    armTimeout();
    const int refused = socket_->connectTo(socket_->dnsResult(), target_.port, LocalAddr);
    if (refused != 0) {
        statusCode_ = 404;
        reasonPhrase_ =
            socket_->tlsFailure().isEmpty()
                ? msg(netmsg::kCantConnect) +
                      netmsg::withErrorNumber(TAsyncSocket::errorDescription(refused), refused)
                : msg(netmsg::kCantConnect) + socket_->tlsFailure();
        retireSocket();
        sessionClosed(refused);
    }
}

void THttpClient::sessionConnected(int error) {
    if (error != 0) {
        statusCode_ = 404;
        reasonPhrase_ = socket_ && !socket_->tlsFailure().isEmpty()
                            ? msg(netmsg::kCantConnect) + socket_->tlsFailure()
                            : netmsg::withErrorNumber(TAsyncSocket::errorDescription(error), error);
        retireSocket();
        sessionClosed(error);
        return;
    }
    setState(httpConnected);
    if (OnSessionConnected)
        OnSessionConnected(this);
    if (!socket_)
        return;
    bodyHandler_ = false;
    setState(httpWaitingHeader);
    armTimeout();
    sendRequest();
}

void THttpClient::sendRequest() {
    if (OnRequestHeaderBegin)
        OnRequestHeaderBegin(this);
    const QString method = methodName(requestType_);
    QStringList headers;
    auto add = [&headers](const char* name, const QString& value) {
        if (!value.isEmpty())
            headers << QLatin1String(name) + value;
    };
    add("From: ", Sender);
    add("Accept: ", Accept);
    add("Referer: ", Reference);
    add("Accept-Language: ", AcceptLanguage);
    if (requestType_ == httpPOST)
        add("Content-Type: ", ContentTypePost);
    add("User-Agent: ", Agent);
    headers << QStringLiteral("Host: ") + target_.hostHeader;
    if (NoCache)
        headers << QStringLiteral("Pragma: no-cache");
    if (requestType_ == httpPOST)
        headers << QStringLiteral("Content-Length: 0");
    if (ModifiedSince.isValid())
        headers << QStringLiteral("If-Modified-Since: ") +
                       QLocale::c().toString(ModifiedSince.toUTC(),
                                             QStringLiteral("ddd, dd MMM yyyy hh:mm:ss")) +
                       QStringLiteral(" GMT");
    if (!target_.user.isEmpty())
        headers << QStringLiteral("Authorization: Basic ") +
                       QString::fromLatin1(
                           toWire(target_.user + u':' + target_.password).toBase64());
    add("Cookie: ", Cookie);
    if (!ContentRangeBegin.isEmpty() || !ContentRangeEnd.isEmpty())
        headers << QStringLiteral("Range: bytes=") + ContentRangeBegin + u'-' + ContentRangeEnd;
    if (OnBeforeHeaderSend)
        OnBeforeHeaderSend(this, method, headers);

    QByteArray request;
    headers.prepend(method + u' ' + target_.path + QStringLiteral(" HTTP/1.0"));
    for (QString& line : headers) {
        if (OnCommand)
            OnCommand(this, line);
        request += toWire(line);
        request += "\r\n";
    }
    request += "\r\n";
    if (OnRequestHeaderEnd)
        OnRequestHeaderEnd(this);
    if (socket_)
        socket_->send(request);
}

void THttpClient::dataAvailable() {
    if (ending_ || closed_)
        return;
    // A handler that runs a nested event loop must not see this buffer change under it.
    if (inData_) {
        readDeferred_ = true;
        return;
    }
    {
        struct Holding {
            bool& flag;
            explicit Holding(bool& f) : flag(f) { flag = true; }
            ~Holding() { flag = false; }
        } holding(inData_);
        takeData();
    }
    if (closeDeferred_) {
        const int error = *closeDeferred_;
        closeDeferred_.reset();
        sessionClosed(error);
    } else if (readDeferred_ && socket_) {
        socket_->resumeReading();
    }
    readDeferred_ = false;
}

void THttpClient::takeData() {
    armTimeout();
    if (bufferLen_ >= kMaxLineBytes) {
        brokenResponse(msg(netmsg::kLineTooLong));
        return;
    }
    const qint64 n = socket_->receive(buffer_ + bufferLen_, kMaxLineBytes - bufferLen_);
    if (requestType_ == httpNone || n <= 0)
        return;
    bufferLen_ += static_cast<int>(n);
    buffer_[bufferLen_] = 0;

    if (state_ == httpWaitingBody) {
        deliverBuffer();
        return;
    }
    while (takingLines_) {
        // A zero byte ends what is searched for a line end, as in the zero-terminated buffer.
        const int searched = static_cast<int>(::strnlen(buffer_, bufferLen_));
        const char* lf = static_cast<const char*>(std::memchr(buffer_, '\n', searched));
        if (!lf)
            break;
        const int lineLen = static_cast<int>(lf - buffer_);
        const int textLen = lineLen > 0 && buffer_[lineLen - 1] == '\r' ? lineLen - 1 : lineLen;
        const QByteArray line(buffer_, textLen);
        bufferLen_ -= lineLen + 1;
        std::memmove(buffer_, lf + 1, bufferLen_ + 1);
        if (state_ != httpWaitingHeader && state_ != httpWaitingBody)
            continue;
        if (bodyHandler_) {
            deliverBody(line.constData(), static_cast<int>(line.size()));
            continue;
        }
        headerBytes_ += lineLen + 1;
        if (headerBytes_ > kMaxHeaderBytes) {
            brokenResponse(msg(netmsg::kHeaderTooLarge));
            return;
        }
        headerLine(line);
    }
}

void THttpClient::headerLine(const QByteArray& line) {
    if (headerLineCount_ == 0) {
        headerInProgress_ = true;
        if (OnHeaderBegin)
            OnHeaderBegin(this);
    }
    ++headerLineCount_;

    if (line.left(6).toUpper() == "<HTML>") {
        // No header at all: the server went straight to the page.
        if (contentType_.isEmpty())
            contentType_ = QStringLiteral("text/html");
        setState(httpWaitingBody);
        bodyHandler_ = true;
        endHeader();
        if (HeaderOnly)
            Abort();
        if (!takingLines_)
            return;
        deliverBody(line.constData(), static_cast<int>(line.size()));
        return;
    }

    if (!line.isEmpty()) {
        if (rcvdHeader_.size() >= kMaxHeaderLines) {
            brokenResponse(msg(netmsg::kHeaderTooLarge));
            return;
        }
        const QString text = QString::fromLatin1(line);
        rcvdHeader_ << text;
        if (line.startsWith("HTTP/1.0") || line.startsWith("HTTP/1.1")) {
            bool ok = false;
            const int status = text.mid(9, 3).trimmed().toInt(&ok);
            if (!ok) {
                brokenResponse(msg(netmsg::kBadStatus));
                return;
            }
            statusCode_ = status;
            reasonPhrase_ = text.mid(13);
        } else if (const qsizetype colon = text.indexOf(u':'); colon >= 0) {
            const QString name = text.left(colon).toLower();
            qsizetype start = colon + 1;
            while (start < text.size() && text[start] == u' ')
                ++start;
            const QString value = text.mid(start);
            if (name == QLatin1String("location")) {
                relocationPending_ = true;
                computeRelocation(value);
            } else if (name == QLatin1String("content-length")) {
                bool ok = false;
                const qint64 length = value.trimmed().toLongLong(&ok);
                if (!ok) {
                    brokenResponse(msg(netmsg::kBadContentLength));
                    return;
                }
                contentLength_ = length;
            } else if (name == QLatin1String("content-type")) {
                contentType_ = value.toLower();
            } else if (name == QLatin1String("content-range")) {
                const qsizetype dash = value.indexOf(u'-');
                const qsizetype slash = value.indexOf(u'/');
                ContentRangeBegin = dash >= 6 ? value.mid(6, dash - 6) : QString();
                ContentRangeEnd =
                    dash >= 0 && slash > dash ? value.mid(dash + 1, slash - dash - 1) : QString();
            } else if (name == QLatin1String("accept-ranges")) {
                acceptRanges_ = value;
            } else if (name == QLatin1String("www-authenticate")) {
                authChallenges_ << value;
            } else if (name == QLatin1String("set-cookie")) {
                if (OnCookie)
                    OnCookie(this, value);
            }
        }
        if (OnHeaderData)
            OnHeaderData(this);
        return;
    }

    if (relocationPending_) {
        endHeader();
        bufferLen_ = 0;
        buffer_[0] = 0;
        headerLineCount_ = 0;
        chunkCount_ = 0;
        takingLines_ = false;
        closeConnection();
        return;
    }
    if (contentLength_ == 0) {
        endHeader();
        takingLines_ = false;
        timeout_.stop();
        finishRequest();
        return;
    }
    setState(httpWaitingBody);
    bodyHandler_ = true;
    endHeader();
    if (HeaderOnly)
        Abort();
    if (!takingLines_)
        return;
    deliverBuffer();
    if (statusCode_ >= 400 && takingLines_) {
        // An error page is cut to what came with its header.
        takingLines_ = false;
        closeConnection();
    }
}

void THttpClient::endHeader() {
    headerInProgress_ = false;
    if (OnHeaderEnd)
        OnHeaderEnd(this);
}

void THttpClient::deliverBuffer() {
    if (bufferLen_ > 0)
        deliverBody(buffer_, bufferLen_);
    bufferLen_ = 0;
    buffer_[0] = 0;
}

void THttpClient::deliverBody(const char* data, int len) {
    // Bytes past the announced length are no part of this body.
    if (contentLength_ >= 0 && len > contentLength_ - rcvdCount_) {
        const int room = static_cast<int>(std::max<qint64>(contentLength_ - rcvdCount_, 0));
        if (room > 0) {
            const QByteArray part(data, room);
            bodyChunk(part.constData(), room);
        }
    } else {
        bodyChunk(data, len);
    }
    // A server that keeps the connection open after the whole body (an HTTP/1.1 answer
    // to our HTTP/1.0 request) must not hold the request: the body has ended.
    if (contentLength_ >= 0 && rcvdCount_ >= contentLength_ && takingLines_) {
        takingLines_ = false;
        closeConnection();
    }
}

void THttpClient::bodyChunk(const char* data, int len) {
    if (chunkCount_ == 0 && OnDocBegin) {
        OnDocBegin(this);
        if (aborted_)
            return;
    }
    ++chunkCount_;
    rcvdCount_ += len;
    if (ReceiveStream)
        ReceiveStream->write(data, len);
    if (OnDocData)
        OnDocData(this, data, len);
}

void THttpClient::computeRelocation(const QString& value) {
    next_ = target_;
    auto origin = [this] {
        const QString scheme = next_.tls ? QStringLiteral("https://") : QStringLiteral("http://");
        const QString defaultPort = next_.tls ? QStringLiteral("443") : QStringLiteral("80");
        const QString port = next_.port == defaultPort ? QString() : u':' + next_.port;
        return scheme + next_.hostHeader + port;
    };
    const bool toHttps = value.startsWith(QLatin1String("https://"));
    if (value.startsWith(u'/')) {
        next_.path = value;
        location_ = origin() + next_.path;
    } else if (toHttps || value.startsWith(QLatin1String("http://"))) {
        const THttpAddress parts = splitHttpAddress(value);
        next_.tls = toHttps;
        next_.host = parts.Host;
        next_.port = !parts.Port.isEmpty() ? parts.Port
                     : toHttps             ? QStringLiteral("443")
                                           : QStringLiteral("80");
        // Credentials go only to the host they were given for.
        if (!sameHost(next_.host, target_.host)) {
            next_.user.clear();
            next_.password.clear();
        }
        if (!parts.User.isEmpty() && !parts.Password.isEmpty()) {
            next_.user = parts.User;
            next_.password = parts.Password;
        }
        if (!parts.Host.isEmpty())
            next_.hostHeader = parts.Host;
        next_.path = requestPath(parts.Path);
        location_ = value;
    } else {
        const QString current = target_.path.left(target_.path.indexOf(u'?'));
        const qsizetype cut = std::max(current.lastIndexOf(u'/'), current.lastIndexOf(u':'));
        next_.path = (cut >= 0 ? current.left(cut + 1) : QStringLiteral("/")) + value;
        location_ = origin() + next_.path;
    }
}

bool THttpClient::relocate() {
    relocationPending_ = false;
    if (relocations_ >= kMaxRelocations) {
        reasonPhrase_ = msg(netmsg::kTooManyRelocations);
        return false;
    }
    ++relocations_;
    retireSocket();
    if (const qsizetype hash = location_.indexOf(u'#'); hash >= 0)
        location_.truncate(hash);
    if (requestType_ == httpPOST)
        requestType_ = httpGET;
    if (OnLocationChange)
        OnLocationChange(this);
    rcvdHeader_.clear();
    headerLineCount_ = 0;
    chunkCount_ = 0;
    rcvdCount_ = 0;
    contentLength_ = -1;
    contentType_.clear();
    statusCode_ = 0;
    target_ = next_;
    QMetaObject::invokeMethod(
        this, [this] { guard([this] { startConnection(); }); }, Qt::QueuedConnection);
    return true;
}

void THttpClient::brokenResponse(const QString& reason) {
    reasonPhrase_ = reason;
    takingLines_ = false;
    bufferLen_ = 0;
    buffer_[0] = 0;
    closeConnection();
}

void THttpClient::sessionClosed(int error) {
    if (ending_ || closed_)
        return;
    if (inData_) {
        closeDeferred_ = error;
        return;
    }
    // Nothing is left to wait for on this connection, also while a handler below runs its
    // own event loop.
    closed_ = true;
    timeout_.stop();
    if (error != 0) {
        errorCode_ = static_cast<quint16>(error);
        if (OnSocketError)
            OnSocketError(this, error);
    }
    if (headerInProgress_)
        endHeader();
    if (relocationPending_ && !aborted_ && relocate())
        return;
    finishRequest();
}

void THttpClient::finishRequest() {
    if (ending_)
        return;
    ending_ = true;
    takingLines_ = false;
    totalTimeout_.stop();
    // A header-less page can leave its last line without a line end in the buffer.
    if (state_ == httpWaitingBody && bufferLen_ > 0 && !aborted_)
        deliverBuffer();
    bufferLen_ = 0;
    buffer_[0] = 0;
    if (chunkCount_ > 0 && OnDocEnd)
        OnDocEnd(this);
    becomeReady();
}

void THttpClient::becomeReady() {
    if (readyPosted_)
        return;
    readyPosted_ = true;
    ending_ = true;
    takingLines_ = false;
    timeout_.stop();
    totalTimeout_.stop();
    retireSocket();
    QMetaObject::invokeMethod(
        this,
        [this] {
            donePending_ = true;
            guard([this] { setState(httpReady); });
            QMetaObject::invokeMethod(
                this,
                [this] {
                    donePending_ = false;
                    guard([this] {
                        if (OnRequestDone)
                            OnRequestDone(this, requestType_, errorCode_);
                    });
                },
                Qt::QueuedConnection);
        },
        Qt::QueuedConnection);
}
