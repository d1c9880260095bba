// The client against an independent server: Debian's python3 http.server on 127.0.0.1.
#include "net/HttpClient.h"
#include "net/ServerProcess.h"

#include <QBuffer>
#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

namespace {

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

    QProcess server;
    server.setWorkingDirectory(root.path());
    server.setStandardErrorFile(QProcess::nullDevice());
    server.setStandardOutputFile(QProcess::nullDevice());
    quint16 port = 0;
    ASSERT_TRUE(startListening(
        server, QStringLiteral("/usr/bin/python3"),
        [](quint16 p) {
            return QStringList{"-m", "http.server", "--bind", "127.0.0.1", QString::number(p)};
        },
        port));

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
    EXPECT_LE(maxChunk, THttpClient::kMaxLineBytes);
    EXPECT_EQ(client.RcvdCount(), content.size());
    EXPECT_TRUE(sink.data() == content);
}

} // namespace
