// Download throughput of THttpClient against curl, from the same loopback server in the
// same run, and the client's peak memory for two body sizes.
//
//   bench_http [megabytes]     (default 200)
#include "net/HttpClient.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace {

// Serves GET /N with an N-byte body until stopped; one connection at a time.
class BodyServer {
public:
    BodyServer() {
        fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
        ::listen(fd_, 4);
        socklen_t len = sizeof addr;
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&addr), &len);
        port_ = ntohs(addr.sin_port);
        thread_ = std::thread([this] { serve(); });
    }
    ~BodyServer() {
        stop_ = true;
        ::shutdown(fd_, SHUT_RDWR);
        ::close(fd_);
        thread_.join();
    }
    int port() const { return port_; }

private:
    void serve() {
        std::vector<char> block(1 << 20, 'x');
        while (!stop_) {
            const int c = ::accept(fd_, nullptr, nullptr);
            if (c < 0)
                return;
            std::string request;
            char buf[4096];
            while (request.find("\r\n\r\n") == std::string::npos) {
                const ssize_t n = ::recv(c, buf, sizeof buf, 0);
                if (n <= 0)
                    break;
                request.append(buf, n);
            }
            const long long size = std::atoll(request.c_str() + request.find('/') + 1);
            const std::string header =
                "HTTP/1.0 200 OK\r\nContent-Length: " + std::to_string(size) + "\r\n\r\n";
            ::send(c, header.data(), header.size(), MSG_NOSIGNAL);
            for (long long left = size; left > 0;) {
                const ssize_t n = ::send(
                    c, block.data(), static_cast<size_t>(std::min<long long>(left, block.size())),
                    MSG_NOSIGNAL);
                if (n <= 0)
                    break;
                left -= n;
            }
            ::close(c);
        }
    }

    int fd_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

long peakKiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0)
            return std::atol(line.c_str() + 6);
    return -1;
}

QString url(int port, long long bytes) {
    return QStringLiteral("http://127.0.0.1:%1/%2").arg(port).arg(bytes);
}

double ourSeconds(THttpClient& client, int port, long long bytes) {
    QFile sink(QStringLiteral("/dev/null"));
    sink.open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    client.ReceiveStream = &sink;
    client.URL = url(port, bytes);
    QElapsedTimer timer;
    timer.start();
    client.Get();
    const double s = timer.nsecsElapsed() / 1e9;
    if (client.RcvdCount() != bytes)
        std::fprintf(stderr, "short body: %lld of %lld\n", client.RcvdCount(), bytes);
    return s;
}

double curlSeconds(int port, long long bytes) {
    QElapsedTimer timer;
    timer.start();
    QProcess::execute(QStringLiteral("curl"),
                      {"-s", "-o", "/dev/null", "--http1.0", url(port, bytes)});
    return timer.nsecsElapsed() / 1e9;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const long long megabytes = argc > 1 ? std::atoll(argv[1]) : 200;
    const long long bytes = megabytes * 1000 * 1000;
    BodyServer server;
    THttpClient client;

    const long baseline = peakKiB();
    ourSeconds(client, server.port(), bytes / 10);
    const long peakSmall = peakKiB();

    double ours = 1e9, curl = 1e9;
    for (int round = 0; round < 3; ++round) {
        ours = std::min(ours, ourSeconds(client, server.port(), bytes));
        curl = std::min(curl, curlSeconds(server.port(), bytes));
    }
    const long peakLarge = peakKiB();

    const double mb = bytes / 1e6;
    std::printf("body %.0f MB, best of 3\n", mb);
    std::printf("THttpClient  %8.1f MB/s\n", mb / ours);
    std::printf("curl -o      %8.1f MB/s\n", mb / curl);
    std::printf("ratio        %8.2f (ours / curl)\n", curl / ours);
    std::printf("peak memory  %ld KiB before, %ld KiB after %.0f MB, %ld KiB after %.0f MB\n",
                baseline, peakSmall, mb / 10, peakLarge, mb);
    return 0;
}
