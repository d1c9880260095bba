#include "xml/XmlSource.h"

#include "xml/XmlCurl.h"
#include "xml/XmlMessages.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <optional>
#include <unistd.h>

namespace {

// Where Debian keeps the system's trusted certificates, one file per
// authority: kept in use when SSL_CERT_FILE adds a file of its own.
constexpr const char* kSystemCertificateDir = "/etc/ssl/certs";

bool startsWithNoCase(const std::string& s, const char* prefix) {
    std::size_t n = std::strlen(prefix);
    if (s.size() < n)
        return false;
    for (std::size_t i = 0; i < n; ++i) {
        char c = s[i];
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
        if (c != prefix[i])
            return false;
    }
    return true;
}

void addError(TXmlErrorList& errors, std::string_view message) {
    errors.push_back(utf8ToUtf16(std::string(message)));
}

using namespace xmlmsg;

// One transfer into an open file, with the stall watchdog.
struct Transfer {
    int fd = -1;
    bool firstBlock = true;
    bool notAvailable = false; // the first block said "404 Not Found"
    bool writeFailed = false;
    bool checkNotFound = false;
    long stallSeconds = 15;
    // When set, the transfer ends (as one that stalled) at this time.
    std::optional<std::chrono::steady_clock::time_point> deadline;
    curl_off_t lastDown = -1;
    curl_off_t lastUp = -1;
    std::chrono::steady_clock::time_point lastProgress = std::chrono::steady_clock::now();
};

size_t writeBlock(char* data, size_t size, size_t count, void* user) {
    auto* t = static_cast<Transfer*>(user);
    size_t n = size * count;
    if (t->firstBlock && t->checkNotFound) {
        t->firstBlock = false;
        static const char marker[] = "404 Not Found";
        std::string_view block(data, n);
        if (block.find(marker) != std::string_view::npos) {
            t->notAvailable = true;
            return 0;
        }
    }
    t->firstBlock = false;
    size_t done = 0;
    while (done < n) {
        ssize_t w = ::write(t->fd, data + done, n - done);
        if (w < 0 && errno == EINTR)
            continue;
        if (w <= 0) {
            t->writeFailed = true;
            return 0;
        }
        done += static_cast<size_t>(w);
    }
    return n;
}

// Aborts a transfer that has moved no byte for the stall time, whatever
// phase it is in (connecting, waiting for an answer, reading).
int watchProgress(void* user, curl_off_t, curl_off_t dlnow, curl_off_t, curl_off_t ulnow) {
    auto* t = static_cast<Transfer*>(user);
    auto now = std::chrono::steady_clock::now();
    if (dlnow != t->lastDown || ulnow != t->lastUp) {
        t->lastDown = dlnow;
        t->lastUp = ulnow;
        t->lastProgress = now;
        return 0;
    }
    return now - t->lastProgress >= std::chrono::seconds(t->stallSeconds) ? 1 : 0;
}

// An https source's certificate is verified against the system's store and,
// when SSL_CERT_FILE names one, the certificates of that file too (a private
// authority a user trusts).
void trustCertificates(CURL* h) {
    xmlcurl::api().easy_setopt(h, CURLOPT_SSL_VERIFYPEER, 1L);
    xmlcurl::api().easy_setopt(h, CURLOPT_SSL_VERIFYHOST, 2L);
    const char* extra = std::getenv("SSL_CERT_FILE");
    if (extra && *extra) {
        xmlcurl::api().easy_setopt(h, CURLOPT_CAINFO, extra);
        xmlcurl::api().easy_setopt(h, CURLOPT_CAPATH, kSystemCertificateDir);
    }
}

CURLcode perform(const std::string& url, TXmlSourceKind kind, const TXmlReaderSettings& settings,
                 Transfer& t, long& responseCode) {
    CURL* h = xmlcurl::api().easy_init();
    if (!h)
        return CURLE_FAILED_INIT;
    long stall = settings.stallTimeoutSeconds > 0 ? settings.stallTimeoutSeconds : 1;
    t.stallSeconds = stall;
    t.checkNotFound = kind == TXmlSourceKind::Http;
    t.lastProgress = std::chrono::steady_clock::now();
    const char* protocol = kind == TXmlSourceKind::Http ? "http,https" : "ftp";
    curl_slist* headers = nullptr;
    CURLcode rc = xmlcurl::api().easy_setopt(h, CURLOPT_URL, url.c_str());
    if (rc == CURLE_OK) {
        xmlcurl::api().easy_setopt(h, CURLOPT_PROTOCOLS_STR, protocol);
        xmlcurl::api().easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
        xmlcurl::api().easy_setopt(h, CURLOPT_WRITEFUNCTION, writeBlock);
        xmlcurl::api().easy_setopt(h, CURLOPT_WRITEDATA, &t);
        xmlcurl::api().easy_setopt(h, CURLOPT_NOPROGRESS, 0L);
        xmlcurl::api().easy_setopt(h, CURLOPT_XFERINFOFUNCTION, watchProgress);
        xmlcurl::api().easy_setopt(h, CURLOPT_XFERINFODATA, &t);
        xmlcurl::api().easy_setopt(h, CURLOPT_CONNECTTIMEOUT, stall);
        xmlcurl::api().easy_setopt(h, CURLOPT_LOW_SPEED_LIMIT, 1L);
        xmlcurl::api().easy_setopt(h, CURLOPT_LOW_SPEED_TIME, stall);
        if (t.deadline) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                *t.deadline - std::chrono::steady_clock::now());
            xmlcurl::api().easy_setopt(h, CURLOPT_TIMEOUT_MS,
                             std::max<long>(1, static_cast<long>(left.count())));
        }
        if (kind == TXmlSourceKind::Http) {
            xmlcurl::api().easy_setopt(h, CURLOPT_HTTPGET, 1L);
            xmlcurl::api().easy_setopt(h, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_0));
            xmlcurl::api().easy_setopt(h, CURLOPT_USERAGENT, "QuilloXML");
            xmlcurl::api().easy_setopt(h, CURLOPT_FOLLOWLOCATION, 1L);
            xmlcurl::api().easy_setopt(h, CURLOPT_MAXREDIRS, 5L);
            xmlcurl::api().easy_setopt(h, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
            trustCertificates(h);
            // Ask caches on the way not to answer from a stored copy.
            headers = xmlcurl::api().slist_append(headers, "Pragma: no-cache");
            xmlcurl::api().easy_setopt(h, CURLOPT_HTTPHEADER, headers);
        } else {
            xmlcurl::api().easy_setopt(h, CURLOPT_FTP_FILEMETHOD, static_cast<long>(CURLFTPMETHOD_SINGLECWD));
            xmlcurl::api().easy_setopt(h, CURLOPT_SERVER_RESPONSE_TIMEOUT, stall);
            xmlcurl::api().easy_setopt(h, CURLOPT_TRANSFERTEXT, 0L);
            if (!settings.userName.empty()) {
                xmlcurl::api().easy_setopt(h, CURLOPT_USERNAME, settings.userName.c_str());
                xmlcurl::api().easy_setopt(h, CURLOPT_PASSWORD, settings.password.c_str());
            }
        }
        rc = xmlcurl::api().easy_perform(h);
        xmlcurl::api().easy_getinfo(h, CURLINFO_RESPONSE_CODE, &responseCode);
    }
    xmlcurl::api().slist_free_all(headers);
    xmlcurl::api().easy_cleanup(h);
    return rc;
}

std::string makeTempFile(int& fd) {
    std::error_code ec;
    std::filesystem::path dir = std::filesystem::temp_directory_path(ec);
    if (ec)
        dir = "/tmp";
    std::string pattern = (dir / "QuilloXMLXXXXXX").string();
    fd = ::mkstemp(pattern.data());
    return fd >= 0 ? pattern : std::string();
}

using Deadline = std::optional<std::chrono::steady_clock::time_point>;

bool fetchHttp(const std::string& url, const TXmlReaderSettings& settings, int fd,
               TXmlErrorList& errors, Deadline deadline) {
    Transfer t;
    t.fd = fd;
    t.deadline = deadline;
    long code = 0;
    CURLcode rc = perform(url, TXmlSourceKind::Http, settings, t, code);
    if (t.notAvailable || (rc == CURLE_OK && code == 404)) {
        addError(errors, kHttpNotAvailable);
        return false;
    }
    switch (rc) {
    case CURLE_OK:
        return true;
    case CURLE_FAILED_INIT:
        addError(errors, kNoInternet);
        return false;
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
    case CURLE_COULDNT_CONNECT:
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CACERT_BADFILE:
        addError(errors, kNoConnection);
        return false;
    case CURLE_URL_MALFORMAT:
    case CURLE_UNSUPPORTED_PROTOCOL:
        addError(errors, kNoHttpRequest);
        return false;
    default:
        addError(errors, kHttpRequestNotSent);
        return false;
    }
}

bool fetchFtp(const std::string& url, const TXmlReaderSettings& settings, int fd,
              TXmlErrorList& errors, Deadline deadline) {
    std::string rest = url.substr(6);
    std::size_t slash = rest.find('/');
    if (slash == std::string::npos) {
        addError(errors, kInvalidFtpLocation);
        return false;
    }
    std::string host = rest.substr(0, slash);
    std::string path = rest.substr(slash + 1);
    std::size_t lastSlash = path.rfind('/');
    std::string file = lastSlash == std::string::npos ? path : path.substr(lastSlash + 1);
    if (host.empty()) {
        addError(errors, kInvalidFtpLocation);
        return false;
    }
    if (file.empty()) {
        // A URL ending in "/" would make libcurl list the directory.
        addError(errors, kNoFtpFile);
        return false;
    }
    Transfer t;
    t.fd = fd;
    t.deadline = deadline;
    long code = 0;
    CURLcode rc = perform("ftp://" + host + "/" + path, TXmlSourceKind::Ftp, settings, t, code);
    if (rc == CURLE_REMOTE_ACCESS_DENIED && lastSlash != std::string::npos) {
        // The directory was refused; look for the file where the login put us.
        addError(errors, kInvalidFtpDirectory);
        if (::ftruncate(fd, 0) != 0 || ::lseek(fd, 0, SEEK_SET) != 0) {
            addError(errors, kNoFtpFile);
            return false;
        }
        Transfer again;
        again.fd = fd;
        again.deadline = deadline;
        rc = perform("ftp://" + host + "/" + file, TXmlSourceKind::Ftp, settings, again, code);
    }
    switch (rc) {
    case CURLE_OK:
        return true;
    case CURLE_FAILED_INIT:
        addError(errors, kNoInternet);
        return false;
    case CURLE_URL_MALFORMAT:
        addError(errors, kInvalidFtpLocation);
        return false;
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
    case CURLE_COULDNT_CONNECT:
    case CURLE_LOGIN_DENIED:
    case CURLE_WEIRD_SERVER_REPLY:
        addError(errors, kNoConnection);
        return false;
    default:
        addError(errors, kNoFtpFile);
        return false;
    }
}

} // namespace

bool curlReady() {
    return xmlcurl::load();
}

TXmlSourceKind classifySource(const std::string& source) {
    if (startsWithNoCase(source, "http://") || startsWithNoCase(source, "https://"))
        return TXmlSourceKind::Http;
    if (startsWithNoCase(source, "ftp://"))
        return TXmlSourceKind::Ftp;
    return TXmlSourceKind::Local;
}

std::string localPath(const std::string& source) {
    return startsWithNoCase(source, "file://") ? source.substr(7) : source;
}

void splitLocation(const std::string& source, std::string& location, std::string& name) {
    std::size_t slash = source.rfind('/');
    if (classifySource(source) != TXmlSourceKind::Local) {
        // The "/" of the scheme does not end a location.
        std::size_t hostStart = source.find("//") + 2;
        if (slash != std::string::npos && slash < hostStart)
            slash = std::string::npos;
    }
    if (slash == std::string::npos) {
        location.clear();
        name = source;
        return;
    }
    location = source.substr(0, slash + 1);
    name = source.substr(slash + 1);
}

std::string resolveSource(const std::string& name, const std::string& baseLocation,
                          TXmlErrorList& errors) {
    if (classifySource(name) != TXmlSourceKind::Local)
        return name;
    std::string path = localPath(name);
    bool internetBase = classifySource(baseLocation) != TXmlSourceKind::Local;
    if (!path.empty() && path[0] == '/') {
        if (internetBase) {
            addError(errors, fill<std::string>(kMixedPaths, path, baseLocation));
            return std::string();
        }
        return path;
    }
    return baseLocation + path;
}

std::string fetchToTempFile(const std::string& url, TXmlSourceKind kind,
                            const TXmlReaderSettings& settings, TXmlErrorList& errors,
                            long totalTimeoutMs) {
    Deadline deadline;
    if (totalTimeoutMs > 0)
        deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(totalTimeoutMs);
    if (!curlReady()) {
        addError(errors, kNoInternetLibrary);
        return std::string();
    }
    int fd = -1;
    std::string path = makeTempFile(fd);
    if (path.empty()) {
        addError(errors, kNoInternet);
        return std::string();
    }
    bool ok = kind == TXmlSourceKind::Http ? fetchHttp(url, settings, fd, errors, deadline)
                                           : fetchFtp(url, settings, fd, errors, deadline);
    if (::close(fd) != 0)
        ok = false;
    if (!ok) {
        ::unlink(path.c_str());
        return std::string();
    }
    return path;
}

std::u16string utf8ToUtf16(const std::string& s) {
    std::u16string out;
    out.reserve(s.size());
    std::size_t i = 0;
    while (i < s.size()) {
        unsigned char b = static_cast<unsigned char>(s[i]);
        std::uint32_t cp;
        int len;
        if (b < 0x80) {
            cp = b;
            len = 1;
        } else if ((b & 0xE0) == 0xC0) {
            cp = b & 0x1F;
            len = 2;
        } else if ((b & 0xF0) == 0xE0) {
            cp = b & 0x0F;
            len = 3;
        } else if ((b & 0xF8) == 0xF0) {
            cp = b & 0x07;
            len = 4;
        } else {
            out.push_back(0xFFFD);
            ++i;
            continue;
        }
        bool ok = i + len <= s.size();
        for (int k = 1; ok && k < len; ++k) {
            unsigned char t = static_cast<unsigned char>(s[i + k]);
            ok = (t & 0xC0) == 0x80;
            cp = (cp << 6) | (t & 0x3F);
        }
        if (!ok || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            out.push_back(0xFFFD);
            ++i;
            continue;
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
        i += len;
    }
    return out;
}

std::string utf16ToUtf8(const std::u16string& s) {
    std::string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size(); ++i) {
        std::uint32_t cp = s[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 &&
            s[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (s[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = 0xFFFD;
        }
        if (cp < 0x80) {
            out.push_back(static_cast<char>(cp));
        } else if (cp < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }
    return out;
}
