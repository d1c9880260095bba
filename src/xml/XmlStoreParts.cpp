#include "xml/XmlStoreParts.h"

#include <cctype>
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

} // namespace xmlstore
