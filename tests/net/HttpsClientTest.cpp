// The client over TLS, against loopback TLS servers presenting the test certificates.
#include "net/HttpClient.h"
#include "net/ScriptedServer.h"
#include "net/ServerProcess.h"
#include "net/TestCertificates.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QSslError>
#include <QSslKey>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using S = ScriptedServer;

class HttpsClientTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (certificates().ok())
            qputenv("SSL_CERT_FILE", QFile::encodeName(certificates().path("ca.pem")));
    }
    static void TearDownTestSuite() { qunsetenv("SSL_CERT_FILE"); }

    void SetUp() override {
        ASSERT_TRUE(certificates().ok()) << certificates().error().toStdString();
        client.TimeoutMs = 5000;
        client.OnDocBegin = [this](THttpClient*) { log.push_back("begin"); };
        client.OnDocData = [this](THttpClient*, const char* buffer, int len) {
            log.push_back("data:" + std::string(buffer, len));
        };
        client.OnDocEnd = [this](THttpClient*) { log.push_back("end"); };
        client.OnRequestDone = [this](THttpClient* sender, THttpRequest kind, quint16 error) {
            EXPECT_EQ(sender->State(), httpReady);
            log.push_back("done:" + std::to_string(kind) + ":" + std::to_string(error));
        };
    }

    static QString https(const ScriptedServer& server, const QString& path) {
        return QStringLiteral("https://localhost:%1%2").arg(server.port()).arg(path);
    }

    using Log = std::vector<std::string>;
    THttpClient client;
    Log log;
};

TEST_F(HttpsClientTest, PageIsFetchedOverTlsWithThePlainRequestBytes) {
    const QSslConfiguration config = certificates().server("localhost");
    ScriptedServer server(&config);
    server.addScript({S::send("HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\n<p>secure"),
                      S::pause(50), S::send(" page</p>"), S::close()});
    client.URL = https(server, "/news/?q=1");
    client.Get();
    EXPECT_EQ(log, (Log{"begin", "data:<p>secure", "data: page</p>", "end", "done:1:0"}));
    EXPECT_EQ(client.StatusCode(), 200);
    EXPECT_EQ(client.ContentType(), "text/html");
    ASSERT_EQ(server.connectionCount(), 1);
    EXPECT_EQ(server.request(0),
              "GET /news/?q=1 HTTP/1.0\r\n"
              "Accept: image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, */*\r\n"
              "User-Agent: Mozilla/3.0 (compatible)\r\nHost: localhost\r\n\r\n");
}

TEST_F(HttpsClientTest, RelocationsMoveBetweenHttpAndHttps) {
    const QSslConfiguration config = certificates().server("localhost");
    ScriptedServer secure(&config);
    ScriptedServer plain;
    const QByteArray securePort = QByteArray::number(secure.port());
    const QByteArray plainPort = QByteArray::number(plain.port());
    plain.addScript({S::send("HTTP/1.0 301 Moved\r\nLocation: https://localhost:" + securePort +
                             "/s/first\r\n\r\n"),
                     S::close()});
    plain.addScript({S::send("HTTP/1.0 200 OK\r\n\r\nback on plain http"), S::close()});
    secure.addScript({S::send("HTTP/1.0 302 Found\r\nLocation: second\r\n\r\n"), S::close()});
    secure.addScript(
        {S::send("HTTP/1.0 302 Found\r\nLocation: http://127.0.0.1:" + plainPort + "/back\r\n\r\n"),
         S::close()});
    std::vector<QString> locations;
    client.OnLocationChange = [&](THttpClient* c) { locations.push_back(c->Location()); };
    client.URL = plain.url("/start");
    client.Get();

    EXPECT_EQ(log, (Log{"begin", "data:back on plain http", "end", "done:1:0"}));
    ASSERT_EQ(plain.connectionCount(), 2);
    ASSERT_EQ(secure.connectionCount(), 2);
    EXPECT_EQ(secure.requestLine(0), "GET /s/first HTTP/1.0");
    EXPECT_EQ(secure.requestLine(1), "GET /s/second HTTP/1.0");
    EXPECT_EQ(plain.requestLine(1), "GET /back HTTP/1.0");
    EXPECT_TRUE(secure.request(1).contains("\r\nHost: localhost\r\n"));
    EXPECT_EQ(locations, (std::vector<QString>{"https://localhost:" + securePort + "/s/first",
                                               "https://localhost:" + securePort + "/s/second",
                                               "http://127.0.0.1:" + plainPort + "/back"}));
}

// A certificate that does not check out ends the request like a failed connection.
TEST_F(HttpsClientTest, CertificateFailuresAreConnectionFailures) {
    struct Case {
        const char* what;
        QString serverCertificate; // empty: the server answers in plain HTTP at once
        quint16 error;
        QString reason; // empty: any description after "can't connect: "
    };
    const std::vector<Case> cases = {
        {"a certificate for another name", "other", 12038,
         "can't connect: " + QSslError(QSslError::HostNameMismatch).errorString()},
        {"a certificate from no trusted authority", "rogue", 12045, ""},
        {"a server without TLS", "", 12157, ""},
    };
    for (const Case& c : cases) {
        const QSslConfiguration config = c.serverCertificate.isEmpty()
                                             ? QSslConfiguration()
                                             : certificates().server(c.serverCertificate);
        ScriptedServer server(&config);
        server.addScript({S::send("HTTP/1.0 200 OK\r\n\r\nnot for you"), S::close()});
        // Answers before any request, so the handshake meets plain text.
        QTcpServer plain;
        plain.listen(QHostAddress(QStringLiteral("127.0.0.1")), 0);
        QObject::connect(&plain, &QTcpServer::newConnection, &plain, [&plain] {
            while (QTcpSocket* s = plain.nextPendingConnection()) {
                s->write("HTTP/1.0 200 OK\r\n\r\nplain text");
                s->disconnectFromHost();
            }
        });
        log.clear();
        client.URL = c.serverCertificate.isEmpty()
                         ? QStringLiteral("https://localhost:%1/").arg(plain.serverPort())
                         : https(server, "/");
        EXPECT_NO_THROW(client.Get());
        EXPECT_EQ(log, (Log{"done:1:" + std::to_string(c.error)})) << c.what;
        EXPECT_EQ(client.StatusCode(), 404) << c.what;
        EXPECT_EQ(client.ErrorCode(), c.error) << c.what;
        EXPECT_TRUE(client.ReasonPhrase().startsWith("can't connect: ")) << c.what;
        EXPECT_GT(client.ReasonPhrase().size(), QString("can't connect: ").size()) << c.what;
        if (!c.reason.isEmpty()) {
            EXPECT_EQ(client.ReasonPhrase(), c.reason) << c.what;
        }
        EXPECT_EQ(client.State(), httpReady);
    }
}

TEST_F(HttpsClientTest, TrustComesFromTheFileSslCertFileNames) {
    const QSslConfiguration config = certificates().server("localhost");
    ScriptedServer server(&config);
    server.addScript({S::send("HTTP/1.0 200 OK\r\n\r\ntrusted"), S::close()});
    client.URL = https(server, "/");
    qunsetenv("SSL_CERT_FILE");
    client.Get();
    EXPECT_EQ(client.ErrorCode(), 12045);
    EXPECT_EQ(log, (Log{"done:1:12045"}));
    qputenv("SSL_CERT_FILE", QFile::encodeName(certificates().path("ca.pem")));
    log.clear();
    client.Get();
    EXPECT_EQ(log, (Log{"begin", "data:trusted", "end", "done:1:0"}));
}

// openssl's own server presents the certificate for "localhost" only to a client that
// names that host in its hello, and one for another name to any other.
TEST_F(HttpsClientTest, ServerNameIsSentSoTheServerCanPickItsCertificate) {
    const Certificates& c = certificates();
    QProcess server;
    server.setStandardOutputFile(QProcess::nullDevice());
    server.setStandardErrorFile(QProcess::nullDevice());
    quint16 port = 0;
    ASSERT_TRUE(startListening(
        server, QStringLiteral("openssl"),
        [&](quint16 p) {
            return QStringList{"s_server", "-accept", QStringLiteral("127.0.0.1:%1").arg(p),
                               "-cert", c.path("other.pem"), "-key", c.path("other.key"),
                               "-cert2", c.path("localhost.pem"), "-key2",
                               c.path("localhost.key"), "-servername", "localhost", "-www"};
        },
        port));
    client.URL = QStringLiteral("https://localhost:%1/").arg(port);
    // The page is not closed after it is sent; its header tells enough.
    client.HeaderOnly = true;
    client.Get();
    server.kill();
    server.waitForFinished(5000);
    EXPECT_EQ(client.ErrorCode(), 0) << client.ReasonPhrase().toStdString();
    EXPECT_EQ(client.StatusCode(), 200);
    EXPECT_EQ(client.ContentType(), "text/html");
    EXPECT_EQ(log, (Log{"done:1:0"}));
}

TEST_F(HttpsClientTest, HttpsAddressWithoutAPortGoesToPort443) {
    const QSslConfiguration config = certificates().server("localhost");
    ScriptedServer server(&config, 443);
    if (!server.listening())
        GTEST_SKIP() << "port 443 of 127.0.0.1 cannot be taken here";
    server.addScript({S::send("HTTP/1.0 200 OK\r\n\r\nthe default port"), S::close()});
    client.URL = QStringLiteral("https://localhost/");
    client.Get();
    EXPECT_EQ(log, (Log{"begin", "data:the default port", "end", "done:1:0"}));
}

} // namespace
