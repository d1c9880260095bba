#pragma once
// Pieces the FTP store and the secure stores share: the checks of what goes
// into a URL or a server command, the URL form of a path, the temporary name
// an upload is stored under, and the local file being uploaded.

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

} // namespace xmlstore
