#pragma once
// Peers of the secure store tests, made from Debian's programs on 127.0.0.1:
//   TestAuthority: a certificate authority and a server certificate for
//     127.0.0.1 it signed, and a self-signed one, made by the openssl command;
//     the authority is trusted through SSL_CERT_FILE;
//   SshTestServer: OpenSSH's sshd on a free port with a host key made for the
//     test, an authorized client key in a client SSH directory of its own, and
//     a password login. sshd runs in a mount namespace of its own (unshare)
//     in which a copy of /etc/shadow that gives root the test password and an
//     empty /run stand in for the system's: nothing of the system changes.
//     The login directory is a new temporary directory. Needs root.
// Header-only, like FtpTestServer.h.

#include "xml/FtpTestServer.h"

#include <array>
#include <cstdlib>
#include <fcntl.h>

namespace securetest {

namespace fs = std::filesystem;

// Runs a program with its output (stdout) captured; its exit status, or -1.
// The programs used here end by themselves within seconds.
inline int run(const std::vector<std::string>& args, std::string* output = nullptr) {
    int pipeFd[2];
    if (::pipe2(pipeFd, O_CLOEXEC) != 0)
        return -1;
    pid_t pid = ::fork();
    if (pid < 0)
        return -1;
    if (pid == 0) {
        ::dup2(pipeFd[1], 1);
        int null = ::open("/dev/null", O_RDWR);
        ::dup2(null, 0);
        ::dup2(null, 2);
        std::vector<char*> argv;
        for (const auto& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::execvp(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(pipeFd[1]);
    std::string out;
    char buffer[4096];
    ssize_t n;
    while ((n = ::read(pipeFd[0], buffer, sizeof buffer)) > 0)
        out.append(buffer, static_cast<std::size_t>(n));
    ::close(pipeFd[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (output)
        *output = out;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

inline fs::path newTemporaryDirectory(const char* prefix) {
    std::string pattern = (fs::temp_directory_path() / (std::string(prefix) + "XXXXXX")).string();
    return ::mkdtemp(pattern.data()) ? fs::path(pattern) : fs::path();
}

class TestAuthority {
public:
    TestAuthority() : dir_(newTemporaryDirectory("quillo-ca")) {
        ok_ = !dir_.empty() && authority() && signedFor("server", "IP:127.0.0.1") &&
              selfSigned("rogue");
    }
    ~TestAuthority() {
        if (!dir_.empty())
            fs::remove_all(dir_);
    }
    TestAuthority(const TestAuthority&) = delete;
    TestAuthority& operator=(const TestAuthority&) = delete;

    bool ok() const { return ok_; }
    // The authority's certificate, for SSL_CERT_FILE.
    std::string authorityFile() const { return (dir_ / "ca.pem").string(); }
    // Certificate and key in one file, as ftp_server.py --certfile takes it:
    // "server" (signed by the authority) or "rogue" (self-signed).
    std::string serverFile(const std::string& name) const {
        return (dir_ / (name + ".both.pem")).string();
    }

private:
    using Args = std::vector<std::string>;

    static Args joined(Args a, const Args& b) {
        a.insert(a.end(), b.begin(), b.end());
        return a;
    }
    bool openssl(const Args& args) { return run(joined({"openssl"}, args)) == 0; }
    std::string path(const std::string& name) const { return (dir_ / name).string(); }
    Args newKey(const std::string& name) const {
        return {"-newkey", "ec",      "-pkeyopt",         "ec_paramgen_curve:prime256v1",
                "-nodes",  "-keyout", path(name + ".key")};
    }
    bool combine(const std::string& name) {
        ftptest::writeFile(path(name + ".both.pem"), ftptest::readFile(path(name + ".pem")) +
                                                         ftptest::readFile(path(name + ".key")));
        return true;
    }
    bool authority() {
        return openssl(
            joined(joined({"req", "-x509"}, newKey("ca")),
                   {"-out", path("ca.pem"), "-days", "3650", "-subj", "/CN=Quillo Test Authority",
                    "-addext", "basicConstraints=critical,CA:TRUE", "-addext",
                    "keyUsage=critical,keyCertSign,cRLSign"}));
    }
    bool signedFor(const std::string& name, const std::string& altName) {
        ftptest::writeFile(path(name + ".ext"), "subjectAltName=" + altName + "\n");
        return openssl(joined(joined({"req"}, newKey(name)),
                              {"-out", path(name + ".csr"), "-subj", "/CN=127.0.0.1"})) &&
               openssl({"x509", "-req", "-in", path(name + ".csr"), "-CA", path("ca.pem"), "-CAkey",
                        path("ca.key"), "-CAcreateserial", "-days", "3650", "-extfile",
                        path(name + ".ext"), "-out", path(name + ".pem")}) &&
               combine(name);
    }
    bool selfSigned(const std::string& name) {
        return openssl(joined(joined({"req", "-x509"}, newKey(name)),
                              {"-out", path(name + ".pem"), "-days", "3650", "-subj",
                               "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1"})) &&
               combine(name);
    }

    fs::path dir_;
    bool ok_ = false;
};

// A key pair made by ssh-keygen: the private key file, and the "type base64"
// part of its public key line.
struct SshKey {
    fs::path file;
    std::string publicLine;
    std::string fingerprint; // as ssh-keygen -l prints it
};

inline SshKey makeSshKey(const fs::path& file, const std::string& type = "ed25519") {
    SshKey key;
    key.file = file;
    if (run({"ssh-keygen", "-q", "-t", type, "-N", "", "-C", "", "-f", file.string()}) != 0)
        return key;
    std::string line = ftptest::readFile(file.string() + ".pub");
    std::size_t second = line.find(' ', line.find(' ') + 1);
    key.publicLine = line.substr(0, second == std::string::npos ? line.find('\n') : second);
    std::string listed;
    run({"ssh-keygen", "-l", "-E", "sha256", "-f", file.string() + ".pub"}, &listed);
    std::size_t start = listed.find("SHA256:");
    if (start != std::string::npos)
        key.fingerprint = listed.substr(start, listed.find(' ', start) - start);
    return key;
}

class SshTestServer {
public:
    std::string user = "root";
    std::string password = "sftp-secret";

    SshTestServer() : dir_(newTemporaryDirectory("quillo-sshd")) {
        if (dir_.empty())
            return;
        fs::create_directories(dir_ / "login");
        fs::create_directories(dir_ / "client");
        fs::create_directories(dir_ / "run/sshd");
        hostKey_ = makeSshKey(dir_ / "host_ed25519");
        clientKey_ = makeSshKey(dir_ / "client/id_ed25519");
        ftptest::writeFile(dir_ / "authorized_keys", clientKey_.publicLine + "\n");
    }
    ~SshTestServer() {
        stop();
        if (!dir_.empty())
            fs::remove_all(dir_);
    }
    SshTestServer(const SshTestServer&) = delete;
    SshTestServer& operator=(const SshTestServer&) = delete;

    // Why the server cannot be run here, or empty.
    static std::string unavailable() {
        if (::geteuid() != 0)
            return "sshd logs users in only when it runs as root";
        static const bool ownMounts =
            run({"/usr/bin/unshare", "--mount", "--propagation", "private", "/bin/true"}) == 0;
        if (!ownMounts)
            return "no mount namespace of its own can be made here for sshd";
        return {};
    }

    // False when sshd did not come up; log() then says why.
    bool start() {
        if (dir_.empty() || hostKey_.publicLine.empty() || clientKey_.publicLine.empty())
            return false;
        std::string hash;
        if (run({"openssl", "passwd", "-6", password}, &hash) != 0)
            return false;
        hash = hash.substr(0, hash.find('\n'));
        std::ifstream shadowIn("/etc/shadow");
        std::string shadow, line;
        while (std::getline(shadowIn, line)) {
            if (line.rfind(user + ":", 0) == 0) {
                std::size_t end = line.find(':', user.size() + 1);
                line = user + ":" + hash + line.substr(end);
            }
            shadow += line + "\n";
        }
        ftptest::writeFile(dir_ / "shadow", shadow);
        fs::permissions(dir_ / "shadow", fs::perms::owner_read | fs::perms::owner_write);
        // A free port taken by another test's server in the meantime makes
        // sshd fail to listen: then it tries another port.
        for (int attempt = 0; attempt < 5; ++attempt) {
            port_ = ftptest::freePort();
            const std::string d = dir_.string();
            ftptest::writeFile(dir_ / "sshd_config",
                               "Port " + std::to_string(port_) +
                                   "\nListenAddress 127.0.0.1\n"
                                   "HostKey " +
                                   d +
                                   "/host_ed25519\n"
                                   "PidFile " +
                                   d +
                                   "/sshd.pid\n"
                                   "AuthorizedKeysFile " +
                                   d +
                                   "/authorized_keys\n"
                                   "StrictModes no\nUsePAM no\nPermitRootLogin yes\n"
                                   "PasswordAuthentication yes\nKbdInteractiveAuthentication no\n"
                                   "AllowUsers " +
                                   user +
                                   "\nLoginGraceTime 30\n"
                                   "ForceCommand internal-sftp -d " +
                                   d +
                                   "/login\n"
                                   "Subsystem sftp internal-sftp\n");
            const std::string script = "mount --bind " + d + "/run /run && mount --bind " + d +
                                       "/shadow /etc/shadow && exec /usr/sbin/sshd -D -e -f " + d +
                                       "/sshd_config";
            pid_ = ::fork();
            if (pid_ < 0)
                return false;
            if (pid_ == 0) {
                std::freopen("/dev/null", "r", stdin);
                std::freopen((d + "/sshd.log").c_str(), "w", stdout);
                ::dup2(1, 2);
                ::execl("/usr/bin/unshare", "unshare", "--mount", "--propagation", "private", "/bin/sh",
                        "-c", script.c_str(), static_cast<char*>(nullptr));
                ::_exit(127);
            }
            if (ftptest::waitUntilListening(pid_, port_))
                return true;
        }
        return false;
    }

    void stop() {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            ::waitpid(pid_, nullptr, 0);
            pid_ = -1;
        }
    }

    // "127.0.0.1:<port>", the host part of a location.
    std::string host() const { return "127.0.0.1:" + std::to_string(port_); }
    // How known_hosts names the server.
    std::string knownHostsName() const { return "[127.0.0.1]:" + std::to_string(port_); }
    const SshKey& hostKey() const { return hostKey_; }
    // An SSH directory holding id_ed25519, whose key the server takes.
    fs::path clientSshDirectory() const { return dir_ / "client"; }
    const fs::path& root() const { return dir_; }
    fs::path loginDirectory() const { return dir_ / "login"; }
    std::string log() const { return ftptest::readFile(dir_ / "sshd.log"); }

private:
    fs::path dir_;
    SshKey hostKey_;
    SshKey clientKey_;
    int port_ = 0;
    pid_t pid_ = -1;
};

} // namespace securetest
