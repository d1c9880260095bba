#pragma once
// Pieces the FTP store and the secure stores share: the checks of what goes
// into a URL or a server command, the URL form of a path, the temporary name
// an upload is stored under, and the local file being uploaded.

#include "xml/XmlFtp.h"

#include <chrono>
#include <cstddef>
#include <curl/curl.h>
#include <string>

namespace xmlstore {

// A control character would end a server command early or start a new one.
bool hasControlCharacter(const std::string& s);

// Host names, IPv4 and bracketed IPv6 addresses, with an optional port; what
// else would change the meaning of the URL built from it.
bool plausibleHost(const std::string& host);

// Percent-encodes a path for the URL; "/" stays a separator.
std::string urlPath(const std::string& path);

// A name beside the target that no reader asks for. Not a hidden name: some
// servers refuse to store those.
std::string temporaryNameFor(const std::string& name);

// Owns an open file descriptor (or -1) and closes it.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor();
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

// The upload's side of a conversation with a server: the local file read into
// it, and when anything last moved (a byte either way, or a line of the
// conversation, which the stores note themselves).
struct Transfer {
    using Clock = std::chrono::steady_clock;
    int fd = -1; // the file being uploaded, or -1
    bool readFailed = false;
    long limit = FtpNoProgressLimitSeconds; // seconds without progress before it is given up
    curl_off_t lastUp = -1;
    curl_off_t lastDown = -1;
    Clock::time_point lastProgress = Clock::now();
};

// Sets a handle up to give its transfer up once nothing has moved for the
// transfer's limit (the connection, a byte either way, a line answered), and
// to pass every line of the conversation, unprinted, to follow with
// conversation.
void watchTransfer(CURL* handle, Transfer& transfer, curl_debug_callback follow,
                   void* conversation);

// libcurl's progress callback over a Transfer: ends the transfer once nothing
// has moved for its limit.
int watchTransferProgress(void* transfer, curl_off_t, curl_off_t downloaded, curl_off_t,
                          curl_off_t uploaded);
// libcurl's read callback over a Transfer: the next block of its file.
std::size_t readTransferBlock(char* buffer, std::size_t size, std::size_t count, void* transfer);

} // namespace xmlstore
