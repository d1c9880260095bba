// Feeds arbitrary response bytes through THttpClient from a server on 127.0.0.1.
// The first input byte picks the size of the pieces the server sends, so reads end at
// varying places; the rest is the response, after which the server closes.
#include "net/HttpClient.h"

#include <QCoreApplication>
#include <QTcpServer>
#include <QTcpSocket>

#include <cstdint>
#include <memory>
#include <vector>

namespace {

struct Harness {
    int argc = 1;
    char name[8] = "fuzz";
    char* argv[2] = {name, nullptr};
    QCoreApplication app{argc, argv};
    QTcpServer server;
    std::vector<std::unique_ptr<QTcpSocket>> peers;
    QByteArray response;
    int piece = 1;

    Harness() {
        server.listen(QHostAddress(QStringLiteral("127.0.0.1")), 0);
        QObject::connect(&server, &QTcpServer::newConnection, &server, [this] {
            while (QTcpSocket* s = server.nextPendingConnection()) {
                s->setParent(nullptr);
                peers.emplace_back(s);
                for (qsizetype at = 0; at < response.size(); at += piece)
                    s->write(response.mid(at, piece));
                s->disconnectFromHost();
            }
        });
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Harness harness;
    if (size == 0)
        return 0;
    const QByteArray response(reinterpret_cast<const char*>(data + 1),
                              static_cast<qsizetype>(size - 1));
    // An absolute Location could send the client to another host; only loopback is allowed.
    if (response.toLower().contains("http://"))
        return 0;
    harness.peers.clear();
    harness.response = response;
    harness.piece = 1 + data[0] * 64;

    THttpClient client;
    client.TimeoutMs = 2000;
    qint64 delivered = 0;
    client.OnDocData = [&](THttpClient*, const char* buffer, int len) {
        if (len > THttpClient::BufferSize || buffer[len] != '\0')
            __builtin_trap();
        delivered += len;
    };
    int done = 0;
    client.OnRequestDone = [&](THttpClient*, THttpRequest, quint16) { ++done; };
    client.URL = QStringLiteral("http://127.0.0.1:%1/").arg(harness.server.serverPort());
    client.Get();
    if (done != 1 || delivered != client.RcvdCount() || client.State() != httpReady)
        __builtin_trap();
    return 0;
}
