// The secure stores against real servers from Debian on 127.0.0.1: OpenSSH's
// sshd for SFTP, pyftpdlib with TLS for FTPS, with keys and certificates made
// for the test.

#include "xml/FtpTestServer.h"
#include "xml/SecureTestServers.h"
#include "xml/XmlSecureStore.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <thread>

namespace fs = std::filesystem;
using ftptest::FtpTestServer;
using ftptest::readFile;
using ftptest::writeFile;
using securetest::SshTestServer;
using securetest::TestAuthority;
using Names = std::vector<std::string>;

namespace {

// Every byte value and more than one buffer's worth.
std::string feedBytes(std::size_t size = 200000) {
    std::string bytes = "<?xml version=\"1.0\"?>\r\n<rss>\n\r";
    bytes += std::string("\0\xFF\x80\x1A", 4);
    std::mt19937 random(11);
    while (bytes.size() < size)
        bytes += static_cast<char>(random() & 0xFF);
    return bytes;
}

Names namesIn(const fs::path& dir) {
    Names out;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(dir, ec))
        out.push_back(e.path().filename().string());
    std::sort(out.begin(), out.end());
    return out;
}

// ---- SFTP

class SftpStore : public ::testing::Test {
protected:
    SshTestServer server;
    fs::path ssh;   // the SSH directory of the user publishing
    fs::path local; // the feed file
    std::vector<THostKeyQuestion> asked;

    void SetUp() override {
        if (std::string why = SshTestServer::unavailable(); !why.empty())
            GTEST_SKIP() << why;
        ::unsetenv("SSH_AUTH_SOCK");
        ASSERT_TRUE(server.start()) << "sshd did not start:\n" << server.log();
        ssh = server.root() / "home/.ssh";
        fs::create_directories(ssh);
        local = server.root() / "feed.xml";
        writeFile(local, feedBytes());
    }

    std::string knownHostsLine() const {
        return server.knownHostsName() + " " + server.hostKey().publicLine + "\n";
    }
    void knowTheHost() { writeFile(ssh / "known_hosts", knownHostsLine()); }
    void giveTheClientKey() {
        fs::copy_file(server.clientSshDirectory() / "id_ed25519", ssh / "id_ed25519",
                      fs::copy_options::overwrite_existing);
        fs::permissions(ssh / "id_ed25519", fs::perms::owner_read | fs::perms::owner_write);
    }

    TStoreOptions options(std::optional<bool> answer = std::nullopt) {
        TStoreOptions o;
        o.sshDirectory = ssh.string();
        if (answer)
            o.trustUnknownHostKey = [this, answer](const THostKeyQuestion& q) {
                asked.push_back({q.server, q.keyType, q.fingerprint});
                return *answer;
            };
        return o;
    }

    TStoreResult store(const std::string& path, const std::string& password,
                       const TStoreOptions& o) {
        return storeFile("sftp://" + server.host() + path, server.user, password, local.string(),
                         o);
    }
    TStoreResult store(const std::string& path) { return store(path, server.password, options()); }
};

TEST_F(SftpStore, PublishesTheFeedWhereTheLocationSays) {
    knowTheHost();
    const fs::path login = server.loginDirectory();
    const struct {
        std::string path;
        fs::path stored;
    } cases[] = {
        {"/feeds/news.xml", login / "feeds/news.xml"},
        {"/news.xml", login / "news.xml"},
        {"/feeds/daily/news.xml", login / "feeds/daily/news.xml"},
        {"/upload directory/news \"1\".xml", login / "upload directory/news \"1\".xml"},
        {"/" + (server.root() / "elsewhere").string() + "/news.xml",
         server.root() / "elsewhere/news.xml"},
    };
    for (const auto& c : cases) {
        for (const char* dir : {"feeds/daily", "upload directory"})
            fs::create_directories(login / dir);
        fs::create_directories(server.root() / "elsewhere");
        // Once onto a new name, once over the file the first time stored.
        for (const std::string& bytes : {feedBytes(1000), feedBytes()}) {
            writeFile(local, bytes);
            TStoreResult r = store(c.path);
            EXPECT_TRUE(r.stored) << c.path << ": " << r.detail;
            EXPECT_EQ(r.detail, "");
            EXPECT_TRUE(readFile(c.stored) == bytes) << c.path;
            for (const auto& name : namesIn(c.stored.parent_path()))
                EXPECT_EQ(name.find(".upload-"), std::string::npos)
                    << c.path << ": a temporary file was left behind";
        }
    }
}

TEST_F(SftpStore, AnEmptyPasswordLogsInWithTheKeyOrTheAgent) {
    knowTheHost();
    fs::create_directories(server.loginDirectory() / "feeds");
    const fs::path stored = server.loginDirectory() / "feeds/news.xml";

    TStoreResult none = store("/feeds/news.xml", "", options());
    EXPECT_FALSE(none.stored);
    EXPECT_EQ(none.failure, TStoreFailure::Login);
    EXPECT_EQ(none.detail, "Login to " + server.host() + " refused");

    giveTheClientKey();
    TStoreResult keyFile = store("/feeds/news.xml", "", options());
    EXPECT_TRUE(keyFile.stored) << keyFile.detail;
    EXPECT_TRUE(readFile(stored) == readFile(local));

    // An agent that is not there is passed over for the key file.
    fs::remove(stored);
    ::setenv("SSH_AUTH_SOCK", (server.root() / "no-agent.sock").c_str(), 1);
    TStoreResult noAgent = store("/feeds/news.xml", "", options());
    ::unsetenv("SSH_AUTH_SOCK");
    EXPECT_TRUE(noAgent.stored) << noAgent.detail;
    EXPECT_TRUE(readFile(stored) == readFile(local));

    // The agent alone, with no key file in the SSH directory.
    fs::remove(stored);
    fs::remove(ssh / "id_ed25519");
    const std::string socket = (server.root() / "agent.sock").string();
    pid_t agent = ::fork();
    ASSERT_GE(agent, 0);
    if (agent == 0) {
        std::freopen("/dev/null", "w", stdout);
        ::execlp("ssh-agent", "ssh-agent", "-D", "-a", socket.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    for (int i = 0; i < 100 && !fs::exists(socket); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ::setenv("SSH_AUTH_SOCK", socket.c_str(), 1);
    EXPECT_EQ(securetest::run({"ssh-add", (server.clientSshDirectory() / "id_ed25519").string()}),
              0);
    TStoreResult byAgent = store("/feeds/news.xml", "", options());
    ::unsetenv("SSH_AUTH_SOCK");
    ::kill(agent, SIGTERM);
    ::waitpid(agent, nullptr, 0);
    EXPECT_TRUE(byAgent.stored) << byAgent.detail;
    EXPECT_TRUE(readFile(stored) == readFile(local));
}

TEST_F(SftpStore, AnUnknownHostKeyIsTrustedOnlyWhenTheAnswerIsYes) {
    fs::create_directories(server.loginDirectory() / "feeds");
    const fs::path stored = server.loginDirectory() / "feeds/news.xml";
    const std::string unknown =
        "Host key of " + server.knownHostsName() + " is not known: " + server.hostKey().fingerprint;
    const std::string notTrusted =
        "Host key of " + server.knownHostsName() + " not trusted: " + server.hostKey().fingerprint;

    // Unattended: nobody to ask.
    TStoreResult unattended = store("/feeds/news.xml", server.password, options());
    EXPECT_FALSE(unattended.stored);
    EXPECT_EQ(unattended.failure, TStoreFailure::HostKeyUnknown);
    EXPECT_EQ(unattended.detail, unknown);
    EXPECT_EQ(unattended.fingerprint, server.hostKey().fingerprint);

    TStoreResult no = store("/feeds/news.xml", server.password, options(false));
    EXPECT_FALSE(no.stored);
    EXPECT_EQ(no.failure, TStoreFailure::HostKeyUnknown);
    EXPECT_EQ(no.detail, notTrusted);
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].server, server.knownHostsName());
    EXPECT_EQ(asked[0].keyType, "ssh-ed25519");
    EXPECT_EQ(asked[0].fingerprint, server.hostKey().fingerprint);
    EXPECT_FALSE(fs::exists(stored));
    EXPECT_EQ(namesIn(server.loginDirectory() / "feeds"), Names{});
    EXPECT_FALSE(fs::exists(ssh / "known_hosts"));

    // Yes makes a missing SSH directory, private, for known_hosts.
    fs::remove_all(ssh);
    TStoreResult first = store("/feeds/news.xml", server.password, options(true));
    EXPECT_TRUE(first.stored) << first.detail;
    EXPECT_EQ(readFile(ssh / "known_hosts"), knownHostsLine());
    EXPECT_EQ(fs::status(ssh).permissions() & fs::perms::all, fs::perms::owner_all);
    fs::remove(stored);

    // Yes adds the key after the lines already there and publishes.
    const std::string before = "# my hosts\nexample.org ssh-ed25519 AAAAC3NzaC1lZDI1NTE5AAAAI"
                               "Lr4yxJNkdM3rxPSJySe/JBY3w+BWmNG5jKpdMNwEpuA";
    writeFile(ssh / "known_hosts", before);
    TStoreResult yes = store("/feeds/news.xml", server.password, options(true));
    EXPECT_TRUE(yes.stored) << yes.detail;
    EXPECT_EQ(asked.size(), 3u);
    EXPECT_TRUE(readFile(stored) == readFile(local));
    EXPECT_EQ(readFile(ssh / "known_hosts"), before + "\n" + knownHostsLine());

    // Known now: nothing is asked.
    TStoreResult again = store("/feeds/news.xml", server.password, options(true));
    EXPECT_TRUE(again.stored) << again.detail;
    EXPECT_EQ(asked.size(), 3u);
    // And OpenSSH's own client takes the line Quillo wrote.
    EXPECT_EQ(securetest::run({"ssh-keygen", "-F", server.knownHostsName(), "-f",
                               (ssh / "known_hosts").string()}),
              0);

    // Known under a hashed name, as Debian's ssh writes them: nothing is asked.
    ASSERT_EQ(securetest::run({"ssh-keygen", "-H", "-f", (ssh / "known_hosts").string()}), 0);
    ASSERT_EQ(readFile(ssh / "known_hosts").find(server.knownHostsName()), std::string::npos);
    TStoreResult hashed = store("/feeds/news.xml", server.password, options(true));
    EXPECT_TRUE(hashed.stored) << hashed.detail;
    EXPECT_EQ(asked.size(), 3u);
}

TEST_F(SftpStore, AChangedHostKeyIsRefusedAndKnownHostsIsKept) {
    const securetest::SshKey other = securetest::makeSshKey(server.root() / "other_ed25519");
    const std::string known = "# before\n" + server.knownHostsName() + " " + other.publicLine +
                              "\nexample.org " + server.hostKey().publicLine + "\n";
    writeFile(ssh / "known_hosts", known);
    fs::create_directories(server.loginDirectory() / "feeds");
    TStoreResult r = store("/feeds/news.xml", server.password, options(true));
    EXPECT_FALSE(r.stored);
    EXPECT_EQ(r.failure, TStoreFailure::HostKeyChanged);
    EXPECT_EQ(r.detail, "Host key of " + server.knownHostsName() +
                            " refused: " + server.hostKey().fingerprint +
                            " differs from the key known for it in " +
                            (ssh / "known_hosts").string());
    EXPECT_EQ(r.fingerprint, server.hostKey().fingerprint);
    EXPECT_TRUE(asked.empty()) << "a changed key is never offered for trust";
    EXPECT_EQ(readFile(ssh / "known_hosts"), known);
    EXPECT_EQ(namesIn(server.loginDirectory() / "feeds"), Names{});
}

TEST_F(SftpStore, ARevokedHostKeyIsRefusedThoughKnownToo) {
    // Lines of OpenSSH's that the store does not use are no reason to refuse.
    const std::string known =
        "@cert-authority *.example.org " + server.hostKey().publicLine + "\n" +
        "example.org sk-ssh-ed25519@openssh.com AAAAGnNrLXNzaC1lZDI1NTE5QG9wZW5zc2guY29tAAAAIE"
        "X/dQ0v4127bEo8eeG1EV0ApO2lWbSnN6RWusn/NjqIAAAABHNzaDo=\n" +
        knownHostsLine();
    writeFile(ssh / "known_hosts", known);
    fs::create_directories(server.loginDirectory() / "feeds");
    TStoreResult known1 = store("/feeds/news.xml", server.password, options(true));
    EXPECT_TRUE(known1.stored) << known1.detail;

    const std::string revoked = "@revoked * " + server.hostKey().publicLine + "\n" + known;
    writeFile(ssh / "known_hosts", revoked);
    fs::remove(server.loginDirectory() / "feeds/news.xml");
    TStoreResult r = store("/feeds/news.xml", server.password, options(true));
    EXPECT_FALSE(r.stored);
    EXPECT_EQ(r.failure, TStoreFailure::HostKeyRevoked);
    EXPECT_EQ(r.detail, "Host key of " + server.knownHostsName() +
                            " refused: " + server.hostKey().fingerprint + " is marked revoked in " +
                            (ssh / "known_hosts").string());
    EXPECT_TRUE(asked.empty());
    EXPECT_EQ(readFile(ssh / "known_hosts"), revoked);
    EXPECT_EQ(namesIn(server.loginDirectory() / "feeds"), Names{});
}

TEST_F(SftpStore, ReportsWhatKeptTheFeedFromTheServer) {
    knowTheHost();
    fs::create_directories(server.loginDirectory() / "feeds");
    const std::string at = server.host();
    const struct {
        std::string location;
        std::string password;
        TStoreFailure failure;
        std::string detail;
    } cases[] = {
        {"sftp://" + at + "/feeds/news.xml", "wrong", TStoreFailure::Login,
         "Login to " + at + " refused"},
        {"sftp://" + at + "/nosuch/news.xml", server.password, TStoreFailure::Directory,
         "Directory nosuch not found on " + at},
        {"sftp://" + at + "/feeds/nosuch/news.xml", server.password, TStoreFailure::Directory,
         "Directory feeds/nosuch not found on " + at},
        {"sftp://127.0.0.1:" + std::to_string(ftptest::freePort()) + "/feeds/news.xml",
         server.password, TStoreFailure::Connection, ""},
        {"sftp://127.0.0.1:99999/feeds/news.xml", server.password, TStoreFailure::Location,
         "Invalid location sftp://127.0.0.1:99999/feeds/news.xml"},
        {"sftp://" + at + "/feeds/", server.password, TStoreFailure::Location,
         "Invalid location sftp://" + at + "/feeds/"},
        {"sftp://" + at + "/feeds/news\nrm x.xml", server.password, TStoreFailure::Location,
         "Invalid location sftp://" + at + "/feeds/news\nrm x.xml"},
    };
    for (const auto& c : cases) {
        TStoreResult r = storeFile(c.location, server.user, c.password, local.string(), options());
        EXPECT_FALSE(r.stored) << c.location;
        EXPECT_EQ(r.failure, c.failure) << c.location << ": " << r.detail;
        if (!c.detail.empty())
            EXPECT_EQ(r.detail, c.detail) << c.location;
        else
            EXPECT_EQ(r.detail.rfind("Could not connect to 127.0.0.1:", 0), 0u) << r.detail;
        EXPECT_EQ(namesIn(server.loginDirectory()), Names{"feeds"}) << c.location;
        EXPECT_EQ(namesIn(server.loginDirectory() / "feeds"), Names{}) << c.location;
    }
}

TEST(HostKeyFingerprint, IsTheOneSshKeygenShows) {
    const fs::path dir = securetest::newTemporaryDirectory("quillo-keys");
    ASSERT_FALSE(dir.empty());
    for (const char* type : {"ed25519", "ecdsa", "rsa"}) {
        const securetest::SshKey key = securetest::makeSshKey(dir / type, type);
        ASSERT_FALSE(key.publicLine.empty()) << type;
        const std::string encoded = key.publicLine.substr(key.publicLine.find(' ') + 1);
        std::string blob;
        ASSERT_EQ(securetest::run({"sh", "-c", "printf %s '" + encoded + "' | base64 -d"}, &blob),
                  0);
        EXPECT_EQ(hostKeyFingerprint(blob), key.fingerprint) << type;
    }
    fs::remove_all(dir);
}

// ---- FTPS

const TestAuthority& authority() {
    static const TestAuthority made;
    return made;
}

class FtpsStore : public ::testing::Test {
protected:
    FtpTestServer server;
    fs::path local;

    static void SetUpTestSuite() {
        if (authority().ok())
            ::setenv("SSL_CERT_FILE", authority().authorityFile().c_str(), 1);
    }
    static void TearDownTestSuite() { ::unsetenv("SSL_CERT_FILE"); }

    void SetUp() override {
        ASSERT_TRUE(authority().ok()) << "openssl could not make the test certificates";
        local = server.root().string() + ".feed.xml";
        writeFile(local, feedBytes());
    }
    void TearDown() override { fs::remove(local); }

    void startServer(const std::string& certificate = "server", const std::string& mode = "normal",
                     std::vector<std::string> more = {}) {
        server.extraArgs = {"--certfile", authority().serverFile(certificate)};
        server.extraArgs.insert(server.extraArgs.end(), more.begin(), more.end());
        ASSERT_TRUE(server.start(mode)) << "the FTPS server did not start";
    }

    TStoreResult store(const std::string& path, const std::string& password = "",
                       long limit = FtpNoProgressLimitSeconds) {
        TStoreOptions o;
        o.noProgressLimitSeconds = limit;
        return storeFile("ftps://" + server.host() + path, server.user,
                         password.empty() ? server.password : password, local.string(), o);
    }
};

TEST_F(FtpsStore, PublishesOverExplicitTlsAndReplacesTheOldFeed) {
    for (const char* mode : {"normal", "noreplace"}) {
        for (const auto& e : fs::directory_iterator(server.root()))
            fs::remove_all(e.path());
        startServer("server", mode);
        const struct {
            const char* path;
            const char* stored;
        } cases[] = {
            {"/feeds/news.xml", "feeds/news.xml"},
            {"/news.xml", "news.xml"},
            {"/upload directory/news.xml", "upload directory/news.xml"},
        };
        for (const auto& c : cases) {
            for (const char* dir : {"feeds", "upload directory"})
                fs::create_directories(server.root() / dir);
            for (const std::string& bytes : {feedBytes(1000), feedBytes()}) {
                writeFile(local, bytes);
                TStoreResult r = store(c.path);
                EXPECT_TRUE(r.stored) << mode << " " << c.path << ": " << r.detail;
                // The test server finishes its side of a TLS upload on its own
                // schedule; give it a moment on a loaded machine.
                std::string held = server.read(c.stored);
                for (int wait = 0; held != bytes && wait < 40; ++wait) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(50));
                    held = server.read(c.stored);
                }
                EXPECT_TRUE(held == bytes) << mode << " " << c.path << ": the server holds "
                                           << held.size() << " bytes, the feed has "
                                           << bytes.size();
                for (const auto& name : server.names(fs::path(c.stored).parent_path().string()))
                    EXPECT_EQ(name.find(".upload-"), std::string::npos)
                        << c.path << ": a temporary file was left behind";
            }
        }
        server.stop();
    }
}

TEST_F(FtpsStore, Port990MeansImplicitTls) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "port 990 needs root";
    {
        int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(990);
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bool free = ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
        ::close(fd);
        if (!free)
            GTEST_SKIP() << "port 990 of 127.0.0.1 is in use";
    }
    server.usePort(990);
    startServer("server", "normal", {"--implicit"});
    fs::create_directories(server.root() / "feeds");
    TStoreResult r = store("/feeds/news.xml");
    EXPECT_TRUE(r.stored) << r.detail;
    EXPECT_TRUE(server.read("feeds/news.xml") == readFile(local));
}

TEST_F(FtpsStore, ACertificateNotTrustedIsRefused) {
    startServer("rogue");
    fs::create_directories(server.root() / "feeds");
    TStoreResult rogue = store("/feeds/news.xml");
    EXPECT_FALSE(rogue.stored);
    EXPECT_EQ(rogue.failure, TStoreFailure::Certificate);
    EXPECT_EQ(rogue.detail, "Certificate of " + server.host() + " could not be verified");
    server.stop();

    // The test authority's certificate, but the authority is not trusted.
    ::unsetenv("SSL_CERT_FILE");
    startServer("server");
    TStoreResult untrusted = store("/feeds/news.xml");
    ::setenv("SSL_CERT_FILE", authority().authorityFile().c_str(), 1);
    EXPECT_FALSE(untrusted.stored);
    EXPECT_EQ(untrusted.failure, TStoreFailure::Certificate);
    EXPECT_EQ(server.names("feeds"), Names{});
}

TEST_F(FtpsStore, AServerWithoutTlsIsNotSentTheLogin) {
    ASSERT_TRUE(server.start()) << "the FTP server did not start";
    TStoreResult r = store("/news.xml");
    EXPECT_FALSE(r.stored);
    EXPECT_EQ(r.failure, TStoreFailure::Certificate);
    EXPECT_EQ(r.detail, server.host() + " does not offer TLS");
    EXPECT_EQ(server.names(), Names{});
}

TEST_F(FtpsStore, ReportsWhatKeptTheFeedFromTheServer) {
    startServer();
    fs::create_directories(server.root() / "feeds");
    const std::string at = server.host();
    const struct {
        const char* path;
        const char* password;
        TStoreFailure failure;
        std::string detail;
    } cases[] = {
        {"/feeds/news.xml", "wrong", TStoreFailure::Login, "Login to " + at + " refused"},
        {"/nosuch/news.xml", "", TStoreFailure::Directory, "Directory nosuch not found on " + at},
        {"/feeds/nosuch/news.xml", "", TStoreFailure::Directory,
         "Directory feeds/nosuch not found on " + at},
    };
    for (const auto& c : cases) {
        TStoreResult r = store(c.path, c.password);
        EXPECT_FALSE(r.stored) << c.path;
        EXPECT_EQ(r.failure, c.failure) << c.path << ": " << r.detail;
        EXPECT_EQ(r.detail, c.detail) << c.path;
        EXPECT_EQ(server.names(), Names{"feeds"}) << c.path;
        EXPECT_EQ(server.names("feeds"), Names{}) << c.path;
    }
}

TEST_F(FtpsStore, AServerThatStopsAnsweringEndsTheStore) {
    startServer("server", "stallstor");
    TStoreResult r = store("/news.xml", "", 1);
    EXPECT_FALSE(r.stored);
    EXPECT_EQ(r.failure, TStoreFailure::Upload);
    EXPECT_EQ(r.detail, "Upload to " + server.host() + " stopped: no progress for 1 seconds");
}

TEST(SecureStoreStall, AServerThatNeverAnswersEndsTheStore) {
    int port = 0;
    const int silent = ftptest::listenOnLoopback(port);
    ASSERT_GE(silent, 0);
    const fs::path dir = securetest::newTemporaryDirectory("quillo-stall");
    writeFile(dir / "feed.xml", "<rss/>");
    TStoreOptions o;
    o.noProgressLimitSeconds = 1;
    o.sshDirectory = dir.string();
    const std::string at = "127.0.0.1:" + std::to_string(port);
    for (const char* scheme : {"sftp://", "ftps://"}) {
        TStoreResult r =
            storeFile(scheme + at + "/news.xml", "u", "p", (dir / "feed.xml").string(), o);
        EXPECT_FALSE(r.stored) << scheme;
        EXPECT_EQ(r.failure, TStoreFailure::Connection) << scheme << r.detail;
        EXPECT_EQ(r.detail, "No answer from " + at + " for 1 seconds") << scheme;
    }
    ::close(silent);
    fs::remove_all(dir);
}

// ---- The scheme decides

TEST(StoreScheme, ComesFromTheLocationsPrefix) {
    const struct {
        const char* location;
        TStoreScheme scheme;
    } cases[] = {
        {"sftp://example.org/feeds", TStoreScheme::Sftp},
        {"SFTP://example.org/feeds", TStoreScheme::Sftp},
        {"ftps://example.org/feeds", TStoreScheme::Ftps},
        {"FtpS://example.org:990/feeds", TStoreScheme::Ftps},
        {"ftp://example.org/feeds", TStoreScheme::Ftp},
        {"example.org/feeds", TStoreScheme::Ftp},
        {"sftp.example.org/feeds", TStoreScheme::Ftp},
        {"", TStoreScheme::Ftp},
    };
    for (const auto& c : cases)
        EXPECT_EQ(storeSchemeOf(c.location), c.scheme) << c.location;
}

TEST(StoreScheme, PlainFtpIsStoredAsBeforeWithOrWithoutItsScheme) {
    FtpTestServer server;
    ASSERT_TRUE(server.start());
    const fs::path local = server.root().string() + ".feed.xml";
    writeFile(local, feedBytes());
    fs::create_directories(server.root() / "feeds");
    for (const std::string prefix : {"", "ftp://", "FTP://"}) {
        fs::remove(server.root() / "feeds/news.xml");
        TStoreResult r = storeFile(prefix + server.host() + "/feeds/news.xml", server.user,
                                   server.password, local.string());
        EXPECT_TRUE(r.stored) << prefix;
        EXPECT_EQ(r.detail, "");
        EXPECT_TRUE(server.read("feeds/news.xml") == readFile(local)) << prefix;
    }
    // A plain FTP failure has FTP's own messages, and no line of the secure stores.
    TStoreResult wrong =
        storeFile(server.host() + "/feeds/news.xml", server.user, "wrong", local.string());
    EXPECT_FALSE(wrong.stored);
    EXPECT_EQ(wrong.detail, "");
    EXPECT_EQ(wrong.ftpMessages, TXmlErrorList{u"Unable to make Internet connection"});
    fs::remove(local);
}

} // namespace
