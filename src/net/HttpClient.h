#pragma once
// HTTP/1.0 GET client that lives on the user-interface thread.
//
// Get() starts a request and keeps dispatching the thread's events until the client is
// ready again, so every handler of the request (and any other event of the program) runs
// nested inside the caller of Get(). Outcomes of the request itself are reported through
// the response fields and OnRequestDone; only a Get() on a busy client throws.
//
// Addresses whose scheme is "https" are fetched over TLS (port 443 unless given); every
// other address is plain HTTP, whatever its scheme.
//
// A handler may throw. The client then stops reading, closes the connection and ends the
// request as for a close (OnDocEnd when a chunk was delivered, ready, OnRequestDone once)
// with ErrorCode sockConnectionAborted, and Get() rethrows the first exception after that
// clean end: an exception never travels through Qt's event loop.
//
// Every limit below bounds what a server can make the client hold or wait for, so that no
// response can grow memory without bound or keep Get() from returning.

#include "net/AsyncSocket.h"

#include <QByteArray>
#include <QDateTime>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <vector>

class QIODevice;

class EHttpException : public std::runtime_error {
public:
    EHttpException(const QString& message, int code)
        : std::runtime_error(message.toStdString()), Code(code) {}
    int Code;
};

enum THttpRequest { httpNone = 0, httpGET = 1, httpPOST = 2, httpHEAD = 3 };

enum THttpState {
    httpReady,
    httpNotConnected,
    httpConnected,
    httpDnsLookup,
    httpConnecting,
    httpWaitingHeader,
    httpWaitingBody,
    httpAborting,
};

enum TSocksAuthentication { socksNoAuthentication, socksAuthenticateUsercode };

// The parts of an address as the client reads it (no decoding of any kind).
struct THttpAddress {
    QString Scheme;
    QString User;
    QString Password;
    QString Host;
    QString Port;
    QString Path;
};
THttpAddress splitHttpAddress(const QString& address);

class THttpClient;
using TNotifyEvent = std::function<void(THttpClient* Sender)>;
using TDocDataEvent = std::function<void(THttpClient* Sender, const char* Buffer, int Len)>;
using THttpRequestDone =
    std::function<void(THttpClient* Sender, THttpRequest RqType, quint16 Error)>;

class THttpClient : public QObject {
    Q_OBJECT
public:
    // The receive buffer: a header line must fit in it; a body chunk is at most this long.
    static constexpr int kMaxLineBytes = 8192;
    // A header beyond these (line ends included) is a broken response.
    static constexpr int kMaxHeaderBytes = 64 * 1024;
    static constexpr int kMaxHeaderLines = 1000;
    // Relocations followed for one request; a loop of them would never end otherwise.
    static constexpr int kMaxRelocations = 20;
    // Defaults of TimeoutMs and TotalTimeoutMs.
    static constexpr int kMaxStallMs = 30 * 1000;
    static constexpr int kMaxRequestMs = 5 * 60 * 1000;

    explicit THttpClient(QObject* parent = nullptr);
    ~THttpClient() override;

    // Configuration.
    QString LocalAddr;
    QString Proxy;
    QString ProxyPort;
    QString Agent;
    QString Accept;
    QString AcceptLanguage;
    QString Sender;
    QString Reference;
    QString Username;
    QString Password;
    QString ProxyUsername;
    QString ProxyPassword;
    QString Cookie;
    QString ContentRangeBegin;
    QString ContentRangeEnd;
    QString ContentTypePost;
    QString SocksServer;
    QString SocksLevel;
    TSocksAuthentication SocksAuthentication = socksNoAuthentication;
    bool NoCache = false;
    bool MultiThreaded = false;
    QDateTime ModifiedSince; // null: not sent
    // Name resolution, connecting and receiving each give up after this long without
    // progress, so that no request waits forever.
    int TimeoutMs = kMaxStallMs;
    // A request that has not ended after this long ends as timed out, so that a server
    // trickling bytes cannot hold an unattended run for ever. 0: no bound.
    int TotalTimeoutMs = kMaxRequestMs;
    // When set, a request ends as soon as the header of its final response (after any
    // relocation) has been read: the connection is closed, no body is read and no document
    // event is raised; the header fields (ContentType, ContentLength, StatusCode) hold.
    bool HeaderOnly = false;

    // Per request.
    QString URL;
    QIODevice* ReceiveStream = nullptr; // not owned; every body chunk is written to it

    // Events.
    TNotifyEvent OnDocBegin;
    TDocDataEvent OnDocData;
    TNotifyEvent OnDocEnd;
    THttpRequestDone OnRequestDone;
    TNotifyEvent OnStateChange;
    TNotifyEvent OnSessionConnected;
    TNotifyEvent OnRequestHeaderBegin;
    std::function<void(THttpClient* Sender, const QString& Method, QStringList& Headers)>
        OnBeforeHeaderSend;
    std::function<void(THttpClient* Sender, QString& Line)> OnCommand;
    TNotifyEvent OnRequestHeaderEnd;
    TNotifyEvent OnHeaderBegin;
    TNotifyEvent OnHeaderData;
    std::function<void(THttpClient* Sender, const QString& Data)> OnCookie;
    TNotifyEvent OnHeaderEnd;
    TNotifyEvent OnLocationChange;
    std::function<void(THttpClient* Sender, int Error)> OnSocketError;

    // Fetches URL and returns once the client is ready again and OnRequestDone has run.
    // Throws EHttpException "HTTP component is busy" (code 1) while a request is in
    // progress, and rethrows what a handler of this request threw.
    void Get();
    // Ends the request in progress without an error: the connection is closed, nothing more
    // of the response is read or delivered, and the request ends as for a close (OnDocEnd
    // when a chunk was delivered, ready, OnRequestDone once). Meant for the handlers of the
    // response (OnHeaderData, OnHeaderEnd, OnDocBegin, OnDocData) and for anything else that
    // runs while Get() waits; does nothing when no request is in progress.
    void Abort();

    // Response fields; they keep their values after the request until the next one.
    THttpState State() const { return state_; }
    int StatusCode() const { return statusCode_; }
    const QString& ReasonPhrase() const { return reasonPhrase_; }
    qint64 ContentLength() const { return contentLength_; }
    const QString& ContentType() const { return contentType_; }
    const QString& Location() const { return location_; }
    const QString& AcceptRanges() const { return acceptRanges_; }
    const QStringList& RcvdHeader() const { return rcvdHeader_; }
    const QStringList& AuthChallenges() const { return authChallenges_; }
    quint16 ErrorCode() const { return errorCode_; }
    qint64 RcvdCount() const { return rcvdCount_; }
    int BodyChunkCount() const { return chunkCount_; }
    int HeaderLineCount() const { return headerLineCount_; }
    THttpRequest RequestType() const { return requestType_; }

private:
    struct Target {
        QString host; // to connect to
        QString port;
        QString hostHeader;
        QString path;
        QString user;
        QString password;
        bool tls = false;
    };

    // Runs one step that Qt's event loop (or Get) called; a handler's exception is kept for
    // Get() and ends the request.
    void guard(const std::function<void()>& step);
    void handlerFailed(std::exception_ptr failure);

    void setState(THttpState state);
    void startRequest(THttpRequest kind);
    void startConnection();
    void retireSocket();
    void closeConnection();
    void armTimeout();
    void onTimeout();
    void onTotalTimeout();
    void timedOut();

    void dnsLookupDone(int error);
    void sessionConnected(int error);
    void dataAvailable();
    void takeData();
    void sessionClosed(int error);
    void socketError(int error);

    void sendRequest();
    void headerLine(const QByteArray& line);
    void bodyChunk(const char* data, int len);
    // Delivers what the buffer holds of the body.
    void deliverBuffer();
    // Hands body bytes on up to the announced length, and ends the body there.
    void deliverBody(const char* data, int len);
    void endHeader();
    void computeRelocation(const QString& value);
    // Returns false when the relocation limit stops it.
    bool relocate();
    void brokenResponse(const QString& reason);
    // The end of the request: the last document event and the way to ready, once.
    void finishRequest();
    void becomeReady();

    THttpState state_ = httpReady;
    THttpRequest requestType_ = httpNone;
    Target target_;
    Target next_;
    int statusCode_ = 0;
    QString reasonPhrase_;
    qint64 contentLength_ = -1;
    QString contentType_;
    QString location_;
    QString acceptRanges_;
    QStringList rcvdHeader_;
    QStringList authChallenges_;
    quint16 errorCode_ = 0;
    qint64 rcvdCount_ = 0;
    int chunkCount_ = 0;
    int headerLineCount_ = 0;
    int relocations_ = 0;
    int headerBytes_ = 0;

    char buffer_[kMaxLineBytes + 1];
    int bufferLen_ = 0;
    bool headerInProgress_ = false;
    bool relocationPending_ = false;
    bool bodyHandler_ = false;         // the line handler: header lines until the body starts
    bool takingLines_ = false;         // cleared when the response's bytes are no longer wanted
    bool closed_ = false;              // this connection's close has been taken
    bool ending_ = false;              // the request is over; late socket reports are ignored
    bool aborted_ = false;             // Abort() or a failed handler: nothing more is delivered
    bool readyPosted_ = false;         // the way to ready has started
    bool donePending_ = false;         // ready, with OnRequestDone still queued
    bool inData_ = false;              // a nested event loop must not re-enter the receive buffer
    bool readDeferred_ = false;        // data reported while inData_, to be read afterwards
    std::optional<int> closeDeferred_; // likewise for the end of the connection
    std::exception_ptr failure_;       // the first exception of a handler, for Get()

    std::unique_ptr<TAsyncSocket> socket_;
    std::vector<std::unique_ptr<TAsyncSocket>> retired_;
    QTimer timeout_;
    QTimer totalTimeout_;
};
