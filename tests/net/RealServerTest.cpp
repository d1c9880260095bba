// The client against an independent server: Debian's python3 http.server on 127.0.0.1.
#include "net/HttpClient.h"

#include <QBuffer>
#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

namespace {

quint16 freePort() {
    QTcpServer probe;
    probe.listen(QHostAddress(QStringLiteral("127.0.0.1")), 0);
    return probe.serverPort();
}

bool waitUntilListening(quint16 port) {
    const QDeadlineTimer deadline(10000);
    while (!deadline.hasExpired()) {
        QTcpSocket socket;
        socket.connectToHost(QHostAddress(QStringLiteral("127.0.0.1")), port);
        if (socket.waitForConnected(200))
            return true;
        QThread::msleep(50);
    }
    return false;
}

TEST(RealHttpServer, FetchesAFileByteForByte) {
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    QByteArray content;
    for (int i = 0; i < 300000; ++i)
        content.append(static_cast<char>((i * 7 + i / 13) & 0xFF));
    QFile file(root.filePath("feed.bin"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(content);
    file.close();

    const quint16 port = freePort();
    QProcess server;
    server.setWorkingDirectory(root.path());
    server.setStandardErrorFile(QProcess::nullDevice());
    server.setStandardOutputFile(QProcess::nullDevice());
    server.start(QStringLiteral("/usr/bin/python3"),
                 {"-m", "http.server", "--bind", "127.0.0.1", QString::number(port)});
    ASSERT_TRUE(server.waitForStarted(5000));
    ASSERT_TRUE(waitUntilListening(port));

    THttpClient client;
    client.TimeoutMs = 10000;
    QBuffer sink;
    sink.open(QIODevice::WriteOnly);
    client.ReceiveStream = &sink;
    int begins = 0, ends = 0, maxChunk = 0;
    quint16 doneError = 1;
    client.OnDocBegin = [&](THttpClient*) { ++begins; };
    client.OnDocData = [&](THttpClient*, const char*, int len) {
        maxChunk = std::max(maxChunk, len);
    };
    client.OnDocEnd = [&](THttpClient*) { ++ends; };
    client.OnRequestDone = [&](THttpClient*, THttpRequest, quint16 error) { doneError = error; };
    client.URL = QStringLiteral("http://127.0.0.1:%1/feed.bin").arg(port);
    client.Get();

    server.kill();
    server.waitForFinished(5000);

    EXPECT_EQ(doneError, 0);
    EXPECT_EQ(client.StatusCode(), 200);
    EXPECT_EQ(client.ContentLength(), content.size());
    EXPECT_EQ(client.ContentType(), "application/octet-stream");
    EXPECT_EQ(begins, 1);
    EXPECT_EQ(ends, 1);
    EXPECT_LE(maxChunk, THttpClient::BufferSize);
    EXPECT_EQ(client.RcvdCount(), content.size());
    EXPECT_TRUE(sink.data() == content);
}

} // namespace
