// Feeds arbitrary response bytes through THttpClient from a server on 127.0.0.1.
//
// Input: byte 0 picks the size of the pieces the server sends, so reads end at varying
// places; byte 1 picks how the server ends (close, reset, or keeping the connection open)
// and how often the repeated part is sent; byte 2 splits the rest into a part sent once
// and a part repeated after it, which makes floods of header lines or body out of a small
// input. Every connection (relocations included) gets the same response.
//
// Whatever the server does, the request ends once, with the client ready, having held no
// more of the header than its bounds and delivered no more body than was announced.
#include "net/HttpClient.h"

#include <QCoreApplication>
#include <QTcpServer>
#include <QTcpSocket>

#include <cstdint>
#include <memory>
#include <vector>

#include <sys/socket.h>

namespace {

// Keeps one input's run short while still going past every header bound.
constexpr qsizetype kMaxResponseBytes = 256 * 1024;

enum class Ending { Close, Reset, KeepOpen };

struct Harness {
    int argc = 1;
    char name[8] = "fuzz";
    char* argv[2] = {name, nullptr};
    QCoreApplication app{argc, argv};
    QTcpServer server;
    std::vector<std::unique_ptr<QTcpSocket>> peers;
    QByteArray response;
    int piece = 1;
    Ending ending = Ending::Close;

    Harness() {
        server.listen(QHostAddress(QStringLiteral("127.0.0.1")), 0);
        QObject::connect(&server, &QTcpServer::newConnection, &server, [this] {
            while (QTcpSocket* s = server.nextPendingConnection()) {
                s->setParent(nullptr);
                peers.emplace_back(s);
                for (qsizetype at = 0; at < response.size(); at += piece)
                    s->write(response.mid(at, piece));
                end(s);
            }
        });
    }

    void end(QTcpSocket* s) {
        switch (ending) {
        case Ending::Close:
            s->disconnectFromHost();
            break;
        case Ending::KeepOpen:
            break;
        case Ending::Reset:
            // The reset goes out once everything written has reached the kernel.
            auto reset = [s] {
                if (s->bytesToWrite() > 0)
                    return;
                const linger abortive{1, 0};
                ::setsockopt(static_cast<int>(s->socketDescriptor()), SOL_SOCKET, SO_LINGER,
                             &abortive, sizeof abortive);
                s->abort();
            };
            QObject::connect(s, &QTcpSocket::bytesWritten, s, reset);
            reset();
            break;
        }
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Harness harness;
    if (size < 3)
        return 0;
    const QByteArray rest(reinterpret_cast<const char*>(data + 3),
                          static_cast<qsizetype>(size - 3));
    // An absolute Location could send the client to another host; only loopback is allowed.
    const QByteArray lower = rest.toLower();
    if (lower.contains("http://") || lower.contains("https://"))
        return 0;
    const qsizetype split = rest.isEmpty() ? 0 : data[2] % (rest.size() + 1);
    const int repeats = 1 + (data[1] >> 2) * 64;
    QByteArray response = rest.left(split);
    const QByteArray repeated = rest.mid(split);
    for (int i = 0; i < repeats && response.size() < kMaxResponseBytes; ++i)
        response += repeated;
    response.truncate(kMaxResponseBytes);

    harness.peers.clear();
    harness.response = response;
    harness.piece = 1 + data[0] * 64;
    harness.ending = (data[1] & 3) == 1   ? Ending::Reset
                     : (data[1] & 3) == 2 ? Ending::KeepOpen
                                          : Ending::Close;

    THttpClient client;
    // A server that keeps the connection open is left by the client's own bounds.
    client.TimeoutMs = harness.ending == Ending::KeepOpen ? 100 : 2000;
    client.TotalTimeoutMs = 3000;
    qint64 delivered = 0;
    int ends = 0;
    int done = 0;
    client.OnDocData = [&](THttpClient*, const char* buffer, int len) {
        if (len > THttpClient::kMaxLineBytes || buffer[len] != '\0')
            __builtin_trap();
        delivered += len;
    };
    client.OnDocEnd = [&](THttpClient*) { ++ends; };
    client.OnRequestDone = [&](THttpClient* c, THttpRequest, quint16) {
        if (c->State() != httpReady)
            __builtin_trap();
        ++done;
    };
    client.URL = QStringLiteral("http://127.0.0.1:%1/").arg(harness.server.serverPort());
    client.Get();

    qsizetype headerBytes = 0;
    for (const QString& line : client.RcvdHeader())
        headerBytes += line.size() + 1;
    if (done != 1 || ends > 1 || client.State() != httpReady)
        __builtin_trap();
    if (client.RcvdHeader().size() > THttpClient::kMaxHeaderLines ||
        headerBytes > THttpClient::kMaxHeaderBytes)
        __builtin_trap();
    if (client.ContentLength() >= 0 && client.RcvdCount() > client.ContentLength())
        __builtin_trap();
    // Only what arrived in the final response's reads is counted; a relocation starts over.
    if (delivered < client.RcvdCount())
        __builtin_trap();
    return 0;
}
