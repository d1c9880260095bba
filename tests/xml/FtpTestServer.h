#pragma once
// The Debian FTP server (pyftpdlib, tests/data/ftp/ftp_server.py) on a free
// port of 127.0.0.1, serving a new temporary directory as the login directory
// of one user. Started by start(), stopped and removed by the destructor.
// Header-only so that every test program that publishes can use it.

#include <algorithm>
#include <arpa/inet.h>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <netinet/in.h>
#include <sstream>
#include <string>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#ifndef QUILLO_TEST_DATA
#error "QUILLO_TEST_DATA names the test data directory"
#endif

namespace ftptest {

// A socket listening on a free port of 127.0.0.1 (and the port), or -1.
inline int listenOnLoopback(int& port) {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
        ::listen(fd, 8) != 0) {
        if (fd >= 0)
            ::close(fd);
        return -1;
    }
    socklen_t len = sizeof a;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    port = ntohs(a.sin_port);
    return fd;
}

inline int freePort() {
    int port = 0;
    int fd = listenOnLoopback(port);
    if (fd >= 0)
        ::close(fd);
    return port;
}

inline bool accepts(int port) {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    ::close(fd);
    return ok;
}

// The inode of the socket listening on 127.0.0.1:port (or on every address),
// or 0 when none does.
inline unsigned long listeningSocket(int port) {
    std::ifstream in("/proc/net/tcp");
    std::string line;
    std::getline(in, line); // the column names
    char loopback[32], any[32];
    std::snprintf(loopback, sizeof loopback, "0100007F:%04X", static_cast<unsigned>(port));
    std::snprintf(any, sizeof any, "00000000:%04X", static_cast<unsigned>(port));
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string slot, local, remote, state, queues, timer, retransmits, uid, timeout;
        unsigned long inode = 0;
        if (fields >> slot >> local >> remote >> state >> queues >> timer >> retransmits >> uid >>
                timeout >> inode &&
            state == "0A" && (local == loopback || local == any))
            return inode;
    }
    return 0;
}

// True when the process pid holds the socket listening on the port. A port
// found free a moment before may since have been taken by a server of a test
// running beside this one: connecting to it proves nothing.
inline bool listensOn(pid_t pid, int port) {
    const unsigned long inode = listeningSocket(port);
    if (inode == 0)
        return false;
    const std::string wanted = "socket:[" + std::to_string(inode) + "]";
    std::error_code ec;
    for (const auto& e :
         std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/fd", ec)) {
        std::error_code unreadable;
        if (std::filesystem::read_symlink(e.path(), unreadable).string() == wanted)
            return true;
    }
    return false;
}

// Waits up to 10 s until the child pid listens on the port. False when it
// did not: the child is then stopped (or has ended) and reaped, and pid is -1.
inline bool waitUntilListening(pid_t& pid, int port) {
    for (int i = 0; i < 200; ++i) {
        if (::waitpid(pid, nullptr, WNOHANG) == pid) {
            pid = -1;
            return false;
        }
        if (listensOn(pid, port))
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    ::kill(pid, SIGTERM);
    ::waitpid(pid, nullptr, 0);
    pid = -1;
    return false;
}

// Starts args[0] (a full path) with args, its output thrown away, in dir
// when one is given; the child's process id, or -1.
inline pid_t spawnQuietly(std::vector<std::string> args, const std::string& dir = {}) {
    std::fflush(nullptr); // else the child would print what this one has not yet
    pid_t pid = ::fork();
    if (pid != 0)
        return pid;
    if (!dir.empty() && ::chdir(dir.c_str()) != 0)
        ::_exit(127);
    std::freopen("/dev/null", "w", stdout);
    std::freopen("/dev/null", "w", stderr);
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    ::execv(argv[0], argv.data());
    ::_exit(127);
}

inline std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return "<missing>";
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

inline void writeFile(const std::filesystem::path& path, const std::string& bytes) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

class FtpTestServer {
public:
    std::string user = "quillo";
    std::string password = "secret";
    // More arguments for ftp_server.py, e.g. {"--certfile", pem} for FTPS.
    std::vector<std::string> extraArgs;

    FtpTestServer() {
        std::string pattern = (std::filesystem::temp_directory_path() / "ftprootXXXXXX").string();
        if (::mkdtemp(pattern.data()))
            root_ = pattern;
    }
    ~FtpTestServer() {
        stop();
        if (!root_.empty())
            std::filesystem::remove_all(root_);
    }
    FtpTestServer(const FtpTestServer&) = delete;
    FtpTestServer& operator=(const FtpTestServer&) = delete;

    // mode: normal, norename, cut, stallstor, stalldata (see ftp_server.py);
    // after: the byte count at which cut and stalldata misbehave. False when
    // the server did not come up.
    bool start(const std::string& mode = "normal", long after = 65536) {
        if (root_.empty())
            return false;
        // A free port taken by another test's server in the meantime makes
        // this one fail to listen: then it tries another port.
        for (int attempt = 0; attempt < (fixedPort_ ? 1 : 5); ++attempt) {
            port_ = fixedPort_ ? fixedPort_ : freePort();
            if (port_ == 0)
                return false;
            if (spawn(mode, after) && waitUntilListening(pid_, port_))
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

    // Listen on this port rather than on a free one (before start()).
    void usePort(int port) { fixedPort_ = port; }

    // "127.0.0.1:<port>", the host part of a location.
    std::string host() const { return "127.0.0.1:" + std::to_string(port_); }
    const std::filesystem::path& root() const { return root_; }
    std::string read(const std::string& name) const { return readFile(root_ / name); }
    void write(const std::string& name, const std::string& bytes) const {
        writeFile(root_ / name, bytes);
    }
    // The names in a directory of the server, sorted, hidden ones included.
    std::vector<std::string> names(const std::string& dir = "") const {
        std::vector<std::string> out;
        std::error_code ec;
        for (const auto& e : std::filesystem::directory_iterator(root_ / dir, ec))
            out.push_back(e.path().filename().string());
        std::sort(out.begin(), out.end());
        return out;
    }

private:
    bool spawn(const std::string& mode, long after) {
        std::vector<std::string> args = {"/usr/bin/python3", QUILLO_TEST_DATA "/ftp/ftp_server.py",
                                         "--port",           std::to_string(port_),
                                         "--root",           root_.string(),
                                         "--user",           user,
                                         "--password",       password,
                                         "--mode",           mode,
                                         "--after",          std::to_string(after)};
        args.insert(args.end(), extraArgs.begin(), extraArgs.end());
        pid_ = spawnQuietly(std::move(args));
        return pid_ > 0;
    }

    std::filesystem::path root_;
    int port_ = 0;
    int fixedPort_ = 0;
    pid_t pid_ = -1;
};

} // namespace ftptest
