#include "xml/XmlStoreParts.h"

#include "xml/XmlCurl.h"

#include <cctype>
#include <cerrno>
#include <random>
#include <unistd.h>

namespace xmlstore {

bool hasControlCharacter(const std::string& s) {
    for (unsigned char c : s)
        if (c < 0x20 || c == 0x7F)
            return true;
    return false;
}

bool plausibleHost(const std::string& host) {
    if (host.empty())
        return false;
    for (unsigned char c : host)
        if (!(std::isalnum(c) || c == '.' || c == '-' || c == '_' || c == ':' || c == '[' ||
              c == ']'))
            return false;
    return true;
}

std::string urlPath(const std::string& path) {
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : path) {
        if (std::isalnum(c) || c == '-' || c == '.' || c == '_' || c == '~' || c == '/')
            out += static_cast<char>(c);
        else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

std::string temporaryNameFor(const std::string& name) {
    static const char alphabet[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::random_device random;
    std::string suffix;
    for (int i = 0; i < 8; ++i)
        suffix += alphabet[random() % (sizeof alphabet - 1)];
    return name + ".upload-" + suffix;
}

FileDescriptor::~FileDescriptor() {
    if (fd_ >= 0)
        ::close(fd_);
}

void watchTransfer(CURL* handle, Transfer& transfer, curl_debug_callback follow,
                   void* conversation) {
    const xmlcurl::Api& curl = xmlcurl::api();
    curl.easy_setopt(handle, CURLOPT_CONNECTTIMEOUT, transfer.limit);
    curl.easy_setopt(handle, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl.easy_setopt(handle, CURLOPT_LOW_SPEED_TIME, transfer.limit);
    curl.easy_setopt(handle, CURLOPT_NOPROGRESS, 0L);
    curl.easy_setopt(handle, CURLOPT_XFERINFOFUNCTION, watchTransferProgress);
    curl.easy_setopt(handle, CURLOPT_XFERINFODATA, &transfer);
    curl.easy_setopt(handle, CURLOPT_VERBOSE, 1L);
    curl.easy_setopt(handle, CURLOPT_DEBUGFUNCTION, follow);
    curl.easy_setopt(handle, CURLOPT_DEBUGDATA, conversation);
}

int watchTransferProgress(void* transfer, curl_off_t, curl_off_t downloaded, curl_off_t,
                          curl_off_t uploaded) {
    auto* t = static_cast<Transfer*>(transfer);
    const auto now = Transfer::Clock::now();
    if (downloaded != t->lastDown || uploaded != t->lastUp) {
        t->lastDown = downloaded;
        t->lastUp = uploaded;
        t->lastProgress = now;
        return 0;
    }
    return now - t->lastProgress >= std::chrono::seconds(t->limit) ? 1 : 0;
}

std::size_t readTransferBlock(char* buffer, std::size_t size, std::size_t count, void* transfer) {
    auto* t = static_cast<Transfer*>(transfer);
    ssize_t n;
    do
        n = ::read(t->fd, buffer, size * count);
    while (n < 0 && errno == EINTR);
    if (n < 0) {
        t->readFailed = true;
        return CURL_READFUNC_ABORT;
    }
    return static_cast<std::size_t>(n);
}

} // namespace xmlstore
