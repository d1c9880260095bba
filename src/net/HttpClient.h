#pragma once
// HTTP/1.0 GET client that lives on the user-interface thread.
//
// Get() starts a request and keeps dispatching the thread's events until the client is
// ready again, so every handler of the request (and any other event of the program) runs
// nested inside the caller of Get(). Outcomes of the request itself are reported through
// the response fields and OnRequestDone; only a Get() on a busy client throws.
//
// Handlers are called from the event loop: exceptions must not escape them.

#include "AsyncSocket.h"

#include <QByteArray>
#include <QDateTime>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

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
    static constexpr int BufferSize = 8192;
    static constexpr int MaxRelocations = 20;
    static constexpr int DefaultTimeoutMs = 30000;

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
    int TimeoutMs = DefaultTimeoutMs;

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

    void Get();

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
    };

    void setState(THttpState state);
    void startRequest(THttpRequest kind);
    void startConnection();
    void retireSocket();
    void closeConnection();
    void armTimeout();
    void onTimeout();

    void dnsLookupDone(int error);
    void sessionConnected(int error);
    void dataAvailable();
    void takeData();
    void sessionClosed(int error);
    void socketError(int error);

    void sendRequest();
    void headerLine(const QByteArray& line);
    void bodyChunk(const char* data, int len);
    void endHeader();
    void computeRelocation(const QString& value);
    // Returns false when the relocation limit stops it.
    bool relocate();
    void brokenResponse(const QString& reason);
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

    char buffer_[BufferSize + 1];
    int bufferLen_ = 0;
    bool headerInProgress_ = false;
    bool relocationPending_ = false;
    bool bodyHandler_ = false;         // the line handler: header lines until the body starts
    bool takingLines_ = false;         // cleared when the response's bytes are no longer wanted
    bool ending_ = false;              // the request is over; late socket reports are ignored
    bool donePending_ = false;         // ready, with OnRequestDone still queued
    bool inData_ = false;              // a nested event loop must not re-enter the receive buffer
    bool readDeferred_ = false;        // data reported while inData_, to be read afterwards
    std::optional<int> closeDeferred_; // likewise for the end of the connection

    std::unique_ptr<TAsyncSocket> socket_;
    std::vector<std::unique_ptr<TAsyncSocket>> retired_;
    QTimer timeout_;
};
