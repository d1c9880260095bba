// Internet sources against real servers on 127.0.0.1: Python's http.server,
// pyftpdlib, and a listener that never answers.

#include "xml/FtpTestServer.h"
#include "xml/XmlParserTestSupport.h"

#include <arpa/inet.h>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

using ftptest::freePort;
using ftptest::listenOnLoopback;

// A Debian server program on 127.0.0.1 serving a temporary directory.
class ServedDirectory : public testing::Test {
protected:
    std::string dir;
    int port = 0;
    pid_t server = -1;

    void SetUp() override {
        std::string pattern = (std::filesystem::temp_directory_path() / "xrnetXXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir = pattern + "/";
    }

    void start(const std::vector<std::string>& args) {
        // A free port taken by another test's server in the meantime makes
        // this one fail to listen: then it tries another port.
        for (int attempt = 0; attempt < 5; ++attempt) {
            port = freePort();
            ASSERT_NE(port, 0);
            if (spawn(args) && ftptest::waitUntilListening(server, port))
                return;
        }
        FAIL() << "server did not start";
    }

    bool spawn(std::vector<std::string> args) {
        for (auto& a : args)
            if (std::size_t at = a.find("PORT"); at != std::string::npos)
                a.replace(at, 4, std::to_string(port));
        server = ftptest::spawnQuietly(std::move(args), dir);
        return server > 0;
    }

    void TearDown() override {
        if (server > 0) {
            ::kill(server, SIGTERM);
            ::waitpid(server, nullptr, 0);
        }
        std::filesystem::remove_all(dir);
    }

    void write(const std::string& name, const std::string& bytes) {
        std::filesystem::create_directories(std::filesystem::path(dir + name).parent_path());
        std::ofstream(dir + name, std::ios::binary) << bytes;
    }

    static void removeTemps(const ParseResult& r) {
        for (const auto& t : r.tempFiles)
            std::filesystem::remove(t);
    }
};

class HttpSources : public ServedDirectory {
protected:
    std::string base;
    void SetUp() override {
        ServedDirectory::SetUp();
        start({"/usr/bin/python3", "-m", "http.server", "--bind", "127.0.0.1", "PORT"});
        base = "http://127.0.0.1:" + std::to_string(port) + "/";
    }
};

TEST_F(HttpSources, FetchesIntoATemporaryFileAndReadsTheDtdFromTheSamePlace) {
    write("feeds/rss.dtd", "<!ENTITY who \"world\">");
    write("feeds/feed.xml", "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>"
                            "<!DOCTYPE rss SYSTEM \"rss.dtd\"><rss>hello &who; \xE9</rss>");
    ParseResult r = parseFile(base + "feeds/feed.xml");
    EXPECT_EQ(errorOf(r), "");
    EXPECT_TRUE(r.opened);
    EXPECT_EQ(r.encoding, ceISO88591);
    EXPECT_EQ(r.events, "?xml[version=\"1.0\" encoding=\"ISO-8859-1\"]DOCTYPE rss '' 'rss.dtd'{}"
                        "<rss>T[hello world \xC3\xA9]</>");
    ASSERT_EQ(r.tempFiles.size(), 2u);
    for (const auto& t : r.tempFiles) {
        EXPECT_EQ(std::filesystem::path(t).filename().string().rfind("QuilloXML", 0), 0u) << t;
        EXPECT_EQ(std::filesystem::path(t).parent_path(), std::filesystem::temp_directory_path());
        EXPECT_TRUE(std::filesystem::exists(t));
    }
    removeTemps(r);
}

TEST_F(HttpSources, NamesTheUrlInAnErrorLine) {
    write("bad.xml", "<rss>");
    ParseResult r = parseFile(base + "bad.xml");
    EXPECT_EQ(errorOf(r),
              "File: " + base + "bad.xml. Line: 1 Col: 6 Error: Unexpected end of file ");
    removeTemps(r);
}

TEST_F(HttpSources, ReportsAMissingPage) {
    ParseResult r = parseFile(base + "nosuch.xml");
    EXPECT_FALSE(r.ok);
    EXPECT_FALSE(r.opened);
    EXPECT_EQ(r.errors,
              (std::vector<std::string>{"Http data not available",
                                        "File " + base + "nosuch.xml could not be found"}));
    EXPECT_TRUE(r.tempFiles.empty());
}

TEST_F(HttpSources, TreatsAPageSaying404AsNotAvailable) {
    write("gone.xml", "<html><title>404 Not Found</title></html>");
    ParseResult r = parseFile(base + "gone.xml");
    EXPECT_EQ(r.errors, (std::vector<std::string>{"Http data not available",
                                                  "File " + base + "gone.xml could not be found"}));
}

TEST_F(HttpSources, RefusesAnAbsoluteLocalDtdInAnInternetDocument) {
    write("feed.xml", "<!DOCTYPE rss SYSTEM \"/etc/rss.dtd\"><rss><item/></rss>");
    ParseResult r = parseFile(base + "feed.xml");
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.errors, (std::vector<std::string>{"Cannot mix absolute local path /etc/rss.dtd "
                                                  "with internet path " +
                                                  base}));
    EXPECT_EQ(r.events, "DOCTYPE rss '' '/etc/rss.dtd'{}<rss><item/></>");
    removeTemps(r);
}

TEST_F(HttpSources, BuildsTheDocumentWhenItsDtdIsNotOnTheServer) {
    write("feed.xml", "<!DOCTYPE rss SYSTEM \"gone.dtd\"><rss><item/></rss>");
    ParseResult r = parseFile(base + "feed.xml");
    EXPECT_EQ(r.errors,
              (std::vector<std::string>{"Http data not available",
                                        "File " + base + "gone.dtd could not be found",
                                        "File: " + base + "feed.xml. Line: 0 Col: 0 Error: File '" +
                                            base + "gone.dtd' could not be found"}));
    EXPECT_EQ(r.events, "DOCTYPE rss '' 'gone.dtd'{}<rss><item/></>");
    removeTemps(r);
}

TEST(HttpSourceFailures, ReportsARefusedConnection) {
    std::string url = "http://127.0.0.1:" + std::to_string(freePort()) + "/feed.xml";
    ParseResult r = parseFile(url);
    EXPECT_EQ(r.errors, (std::vector<std::string>{"Unable to make Internet connection",
                                                  "File " + url + " could not be found"}));
    EXPECT_FALSE(r.opened);
}

TEST(StalledSources, GiveUpAfterTheStallTimeout) {
    int port = 0;
    int listener = listenOnLoopback(port); // accepts connections, never answers
    ASSERT_GE(listener, 0);
    TXmlReaderSettings s;
    s.stallTimeoutSeconds = 1;
    std::string host = "127.0.0.1:" + std::to_string(port);
    for (const std::string& url : {"http://" + host + "/feed.xml", "ftp://" + host + "/feed.xml"}) {
        auto started = std::chrono::steady_clock::now();
        ParseResult r = parseFile(url, s);
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10)) << url;
        EXPECT_FALSE(r.opened) << url;
        ASSERT_FALSE(r.errors.empty());
        EXPECT_EQ(r.errors.back(), "File " + url + " could not be found");
    }

    std::string dtd = "http://" + host + "/rss.dtd";
    std::string doc = "<!DOCTYPE rss SYSTEM \"" + dtd + "\"><rss><item/></rss>";
    ParseResult r = parseText(doc, s);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.events, "DOCTYPE rss '' '" + dtd + "'{}<rss><item/></>");
    ASSERT_GE(r.errors.size(), 2u);
    EXPECT_EQ(r.errors.back(),
              "File: . Line: 0 Col: 0 Error: File '" + dtd + "' could not be found");
    ::close(listener);
}

class FtpSources : public ServedDirectory {
protected:
    std::string base;
    void startFtp(std::vector<std::string> extra = {}) {
        std::vector<std::string> args = {
            "/usr/bin/python3", "-m", "pyftpdlib", "-i", "127.0.0.1", "-p", "PORT", "-d", dir};
        args.insert(args.end(), extra.begin(), extra.end());
        start(args);
        base = "ftp://127.0.0.1:" + std::to_string(port) + "/";
    }
};

TEST_F(FtpSources, FetchesAFileFromADirectory) {
    write("pub/feeds/feed.xml", "<rss><channel/></rss>");
    startFtp();
    ParseResult r = parseFile(base + "pub/feeds/feed.xml");
    EXPECT_EQ(errorOf(r), "");
    EXPECT_EQ(r.events, "<rss><channel/></>");
    EXPECT_EQ(r.tempFiles.size(), 1u);
    removeTemps(r);
}

TEST_F(FtpSources, LooksInTheLoginDirectoryWhenTheDirectoryIsRefused) {
    write("feed.xml", "<rss/>");
    startFtp();
    ParseResult r = parseFile(base + "nosuchdir/feed.xml");
    EXPECT_EQ(r.errors, (std::vector<std::string>{"Invalid ftp directory"}));
    EXPECT_EQ(r.events, "<rss/>");
    removeTemps(r);
}

TEST_F(FtpSources, ReportsWhatCouldNotBeHad) {
    startFtp();
    std::string host = base.substr(0, base.size() - 1);
    const std::pair<std::string, std::vector<std::string>> cases[] = {
        {base + "nosuch.xml", {"Unable to open ftp file"}},
        {host, {"Invalid ftp location"}},
        {base + "pub/", {"Unable to open ftp file"}},
    };
    for (const auto& [url, messages] : cases) {
        ParseResult r = parseFile(url);
        std::vector<std::string> expected = messages;
        expected.push_back("File " + url + " could not be found");
        EXPECT_EQ(r.errors, expected) << url;
        EXPECT_FALSE(r.opened);
    }
}

TEST_F(FtpSources, LogsInWithTheUserNameAndPassword) {
    write("feed.xml", "<rss/>");
    startFtp({"-u", "quillo", "-P", "secret"});
    TXmlReaderSettings s;
    s.userName = "quillo";
    s.password = "secret";
    ParseResult r = parseFile(base + "feed.xml", s);
    EXPECT_EQ(errorOf(r), "");
    EXPECT_EQ(r.events, "<rss/>");
    removeTemps(r);

    s.password = "wrong";
    r = parseFile(base + "feed.xml", s);
    EXPECT_EQ(r.errors, (std::vector<std::string>{"Unable to make Internet connection",
                                                  "File " + base + "feed.xml could not be found"}));
}

} // namespace

namespace {

// OpenSSL's own test server on 127.0.0.1 serving the directory over https,
// with a certificate made for 127.0.0.1 by the test.
class HttpsSources : public ServedDirectory {
protected:
    std::string base;
    std::string certificate;
    std::string previousCertFile;
    bool hadCertFile = false;

    void SetUp() override {
        ServedDirectory::SetUp();
        if (const char* v = std::getenv("SSL_CERT_FILE")) {
            hadCertFile = true;
            previousCertFile = v;
        }
        std::string keys = dir + "tls";
        certificate = keys + "-cert.pem";
        std::string command =
            "openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=127.0.0.1"
            " -addext subjectAltName=IP:127.0.0.1 -keyout " +
            keys + "-key.pem -out " + certificate + " >/dev/null 2>&1";
        ASSERT_EQ(std::system(command.c_str()), 0);
        start({"/usr/bin/openssl", "s_server", "-quiet", "-WWW", "-accept", "127.0.0.1:PORT",
               "-cert", certificate, "-key", keys + "-key.pem"});
        base = "https://127.0.0.1:" + std::to_string(port) + "/";
    }

    void TearDown() override {
        if (hadCertFile)
            ::setenv("SSL_CERT_FILE", previousCertFile.c_str(), 1);
        else
            ::unsetenv("SSL_CERT_FILE");
        ServedDirectory::TearDown();
    }
};

TEST_F(HttpsSources, ReadsAFeedAndItsDtdOverVerifiedTls) {
    ::setenv("SSL_CERT_FILE", certificate.c_str(), 1);
    write("rss.dtd", "<!ENTITY who \"world\">");
    write("feed.xml",
          "<?xml version=\"1.0\"?><!DOCTYPE rss SYSTEM \"rss.dtd\"><rss>hello &who;</rss>");
    ParseResult r = parseFile(base + "feed.xml");
    EXPECT_EQ(errorOf(r), "");
    EXPECT_TRUE(r.opened);
    EXPECT_EQ(r.events, "?xml[version=\"1.0\"]DOCTYPE rss '' 'rss.dtd'{}<rss>T[hello world]</>");
    removeTemps(r);
}

TEST_F(HttpsSources, RefusesACertificateNobodyTrusts) {
    ::unsetenv("SSL_CERT_FILE");
    write("feed.xml", "<rss>secret</rss>");
    ParseResult r = parseFile(base + "feed.xml");
    EXPECT_FALSE(r.opened);
    EXPECT_EQ(errorOf(r),
              "Unable to make Internet connection\nFile " + base + "feed.xml could not be found");
    removeTemps(r);
}

} // namespace
