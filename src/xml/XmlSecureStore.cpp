#include "xml/XmlSecureStore.h"

#include "xml/XmlCurl.h"
#include "xml/XmlMessages.h"
#include "xml/XmlSource.h"
#include "xml/XmlStoreParts.h"
#include "xml/XmlWriter.h"

#include <array>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

using namespace xmlstore;
using Clock = std::chrono::steady_clock;

// The ports a location means when it names none, and the FTPS port whose
// servers speak TLS from the first byte (implicit TLS).
constexpr int kSshPort = 22;
constexpr int kImplicitFtpsPort = 990;
// The largest port number a location may name.
constexpr long kMaxPort = 65535;

// Where certificates are looked up when SSL_CERT_FILE adds a file of its own;
// without it the library's built-in store is the system's.
constexpr const char* kSystemCertificateDir = "/etc/ssl/certs";

// The private keys an empty SFTP password stands for, in the order OpenSSH's
// client offers them.
constexpr const char* kKeyFiles[] = {"id_ed25519", "id_ecdsa", "id_rsa"};

// ---- SHA-256 and base64, for host key fingerprints as OpenSSH shows them

std::array<unsigned char, 32> sha256(std::string_view data) {
    static const uint32_t k[64] = {
        0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4,
        0xab1c5ed5, 0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe,
        0x9bdc06a7, 0xc19bf174, 0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f,
        0x4a7484aa, 0x5cb0a9dc, 0x76f988da, 0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7,
        0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967, 0x27b70a85, 0x2e1b2138, 0x4d2c6dfc,
        0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85, 0xa2bfe8a1, 0xa81a664b,
        0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070, 0x19a4c116,
        0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
        0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7,
        0xc67178f2};
    uint32_t h[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                     0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
    std::string message(data);
    message += '\x80';
    while (message.size() % 64 != 56)
        message += '\0';
    const uint64_t bits = static_cast<uint64_t>(data.size()) * 8;
    for (int i = 7; i >= 0; --i)
        message += static_cast<char>((bits >> (i * 8)) & 0xFF);
    auto rotr = [](uint32_t x, int n) { return (x >> n) | (x << (32 - n)); };
    for (std::size_t chunk = 0; chunk < message.size(); chunk += 64) {
        uint32_t w[64];
        for (int i = 0; i < 16; ++i) {
            const auto* p = reinterpret_cast<const unsigned char*>(message.data() + chunk + 4 * i);
            w[i] = (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
        }
        for (int i = 16; i < 64; ++i) {
            uint32_t s0 = rotr(w[i - 15], 7) ^ rotr(w[i - 15], 18) ^ (w[i - 15] >> 3);
            uint32_t s1 = rotr(w[i - 2], 17) ^ rotr(w[i - 2], 19) ^ (w[i - 2] >> 10);
            w[i] = w[i - 16] + s0 + w[i - 7] + s1;
        }
        uint32_t a = h[0], b = h[1], c = h[2], d = h[3], e = h[4], f = h[5], g = h[6], hh = h[7];
        for (int i = 0; i < 64; ++i) {
            uint32_t s1 = rotr(e, 6) ^ rotr(e, 11) ^ rotr(e, 25);
            uint32_t choose = (e & f) ^ (~e & g);
            uint32_t t1 = hh + s1 + choose + k[i] + w[i];
            uint32_t s0 = rotr(a, 2) ^ rotr(a, 13) ^ rotr(a, 22);
            uint32_t majority = (a & b) ^ (a & c) ^ (b & c);
            uint32_t t2 = s0 + majority;
            hh = g;
            g = f;
            f = e;
            e = d + t1;
            d = c;
            c = b;
            b = a;
            a = t1 + t2;
        }
        h[0] += a, h[1] += b, h[2] += c, h[3] += d, h[4] += e, h[5] += f, h[6] += g, h[7] += hh;
    }
    std::array<unsigned char, 32> out;
    for (int i = 0; i < 8; ++i)
        for (int j = 0; j < 4; ++j)
            out[4 * i + j] = static_cast<unsigned char>(h[i] >> (24 - 8 * j));
    return out;
}

const char kBase64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

std::string base64(std::string_view bytes, bool padded) {
    std::string out;
    std::size_t i = 0;
    for (; i + 2 < bytes.size(); i += 3) {
        uint32_t v = (uint32_t(uint8_t(bytes[i])) << 16) | (uint32_t(uint8_t(bytes[i + 1])) << 8) |
                     uint8_t(bytes[i + 2]);
        for (int s = 18; s >= 0; s -= 6)
            out += kBase64[(v >> s) & 63];
    }
    if (i < bytes.size()) {
        uint32_t v = uint32_t(uint8_t(bytes[i])) << 16;
        if (i + 1 < bytes.size())
            v |= uint32_t(uint8_t(bytes[i + 1])) << 8;
        out += kBase64[(v >> 18) & 63];
        out += kBase64[(v >> 12) & 63];
        if (i + 1 < bytes.size())
            out += kBase64[(v >> 6) & 63];
        if (padded)
            out.append(i + 1 < bytes.size() ? 1 : 2, '=');
    }
    return out;
}

std::string unbase64(std::string_view text) {
    std::string out;
    uint32_t v = 0;
    int bits = 0;
    for (char c : text) {
        const char* p = c ? std::strchr(kBase64, c) : nullptr;
        if (!p)
            break;
        v = (v << 6) | static_cast<uint32_t>(p - kBase64);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            out += static_cast<char>((v >> bits) & 0xFF);
        }
    }
    return out;
}

// ---- Locations

struct Location {
    TStoreScheme scheme = TStoreScheme::Ftp;
    std::string server; // host and port as written, for messages
    std::string host;   // lower case; an IPv6 address keeps its brackets
    long port = 0;      // 0: the scheme's own
    std::string dir;    // "" for the login directory; absolute when it begins with "/"
    std::string name;
};

bool startsWithNoCase(std::string_view s, std::string_view prefix) {
    if (s.size() < prefix.size())
        return false;
    for (std::size_t i = 0; i < prefix.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(s[i])) != prefix[i])
            return false;
    return true;
}

bool parsePort(std::string_view digits, long& port) {
    if (digits.empty() || digits.size() > 5)
        return false;
    port = 0;
    for (char c : digits) {
        if (!std::isdigit(static_cast<unsigned char>(c)))
            return false;
        port = port * 10 + (c - '0');
    }
    return port >= 1 && port <= kMaxPort;
}

// rest: what follows the scheme, "server[:port]/directory/name".
bool parseLocation(TStoreScheme scheme, const std::string& rest, Location& out) {
    out.scheme = scheme;
    std::size_t slash = rest.find('/');
    if (slash == std::string::npos)
        return false;
    out.server = rest.substr(0, slash);
    std::string host = out.server;
    std::string_view port;
    if (!host.empty() && host[0] == '[') {
        std::size_t close = host.find(']');
        if (close == std::string::npos)
            return false;
        if (close + 1 < host.size()) {
            if (host[close + 1] != ':')
                return false;
            port = std::string_view(out.server).substr(close + 2);
        }
        host = host.substr(0, close + 1);
    } else if (std::size_t colon = host.find(':'); colon != std::string::npos) {
        port = std::string_view(out.server).substr(colon + 1);
        host = host.substr(0, colon);
    }
    if (host.empty() || host == "[]" || !plausibleHost(host) ||
        (host.find(':') != std::string::npos && host[0] != '['))
        return false;
    if (port.data() && !parsePort(port, out.port))
        return false;
    for (char& c : host)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    out.host = host;
    std::string path = rest.substr(slash + 1);
    std::size_t last = path.rfind('/');
    out.dir = last == std::string::npos ? std::string() : path.substr(0, last);
    out.name = last == std::string::npos ? path : path.substr(last + 1);
    while (out.dir.size() > 1 && out.dir.back() == '/')
        out.dir.pop_back();
    return !out.name.empty() && !hasControlCharacter(path);
}

// ---- One conversation with the server

enum class Step { Connect, Tls, Login, Directory, Upload, Rename };

// What the host key check of the last connection saw.
enum class KeyCheck { None, Known, Trusted, Unknown, Changed, Revoked };

struct HostKeySeen {
    KeyCheck check = KeyCheck::None;
    std::vector<std::string> revoked; // keys known_hosts marks "@revoked"
    std::string blob;                 // the server's key
    std::string keyType;              // as a known_hosts line names it
    std::string trusted;              // a key the caller trusted during this store
};

struct Conversation : Transfer {
    Step step = Step::Connect;
    HostKeySeen* key = nullptr;
};

// FTPS: the commands curl sends tell which step a failure belongs to; every
// line to or from the server also counts as progress. SFTP: libcurl's own
// notes tell when the login is over.
int onConversation(CURL*, curl_infotype type, char* data, size_t size, void* user) {
    auto* c = static_cast<Conversation*>(user);
    std::string_view line(data, size);
    if (type == CURLINFO_TEXT) {
        if (line.rfind("Authentication complete", 0) == 0)
            c->step = Step::Upload;
        return 0;
    }
    if (type != CURLINFO_HEADER_IN && type != CURLINFO_HEADER_OUT)
        return 0;
    c->lastProgress = Clock::now();
    if (type == CURLINFO_HEADER_IN)
        return 0;
    std::string_view command = line.substr(0, line.find_first_of(" \r\n"));
    if (command == "AUTH" || command == "PBSZ" || command == "PROT")
        c->step = Step::Tls;
    else if (command == "USER" || command == "PASS" || command == "ACCT")
        c->step = Step::Login;
    else if (command == "CWD")
        c->step = Step::Directory;
    else if (command == "RNFR" || command == "RNTO" || command == "DELE")
        c->step = Step::Rename;
    else if (command == "EPSV" || command == "PASV" || command == "EPRT" || command == "PORT" ||
             command == "TYPE" || command == "STOR")
        c->step = Step::Upload;
    return 0;
}

// The key type a blob begins with (an SSH string), else the one curl names.
std::string keyTypeOf(const std::string& blob, int curlType) {
    if (blob.size() >= 4) {
        uint32_t n = (uint32_t(uint8_t(blob[0])) << 24) | (uint32_t(uint8_t(blob[1])) << 16) |
                     (uint32_t(uint8_t(blob[2])) << 8) | uint8_t(blob[3]);
        if (n > 0 && n <= 64 && 4 + n <= blob.size()) {
            std::string type = blob.substr(4, n);
            bool printable = true;
            for (unsigned char ch : type)
                printable = printable && ch > 0x20 && ch < 0x7F;
            if (printable)
                return type;
        }
    }
    switch (curlType) {
    case CURLKHTYPE_RSA:
        return "ssh-rsa";
    case CURLKHTYPE_DSS:
        return "ssh-dss";
    case CURLKHTYPE_ECDSA:
        return "ecdsa-sha2-nistp256";
    case CURLKHTYPE_ED25519:
        return "ssh-ed25519";
    default:
        return "ssh-unknown";
    }
}

// Known keys pass; a changed key is refused; an unknown one passes only when
// the caller has trusted it during this store, and is otherwise refused so
// that the question is asked outside the transfer.
int onHostKey(CURL*, const curl_khkey*, const curl_khkey* found, curl_khmatch match, void* user) {
    auto* c = static_cast<Conversation*>(user);
    HostKeySeen& key = *c->key;
    key.blob = found->len ? std::string(found->key, found->len) : unbase64(found->key);
    key.keyType = keyTypeOf(key.blob, found->keytype);
    c->step = Step::Login;
    // The library reads no markers; a revoked key is refused whatever else
    // known_hosts says of it, as OpenSSH does.
    for (const auto& revoked : key.revoked)
        if (revoked == key.blob) {
            key.check = KeyCheck::Revoked;
            return CURLKHSTAT_REJECT;
        }
    switch (match) {
    case CURLKHMATCH_OK:
        key.check = KeyCheck::Known;
        return CURLKHSTAT_FINE;
    case CURLKHMATCH_MISMATCH:
        key.check = KeyCheck::Changed;
        return CURLKHSTAT_REJECT;
    default:
        if (!key.trusted.empty() && key.trusted == key.blob) {
            key.check = KeyCheck::Trusted;
            return CURLKHSTAT_FINE;
        }
        key.check = KeyCheck::Unknown;
        return CURLKHSTAT_REJECT;
    }
}

// A path as one argument of a quoted SFTP command.
std::string sftpArgument(const std::string& path) {
    std::string out = "\"";
    for (char ch : path) {
        if (ch == '"' || ch == '\\')
            out += '\\';
        out += ch;
    }
    return out + "\"";
}

struct Outcome {
    CURLcode code = CURLE_OK;
    Step step = Step::Connect;
    bool ok() const { return code == CURLE_OK; }
};

// How the SFTP login is made: a password, the agent, or one key file.
struct Login {
    long authTypes = CURLSSH_AUTH_PASSWORD | CURLSSH_AUTH_KEYBOARD;
    std::string keyFile;
};

class SecureSession {
public:
    SecureSession(const Location& where, std::string user, std::string password, long limit,
                  std::string knownHosts)
        : handle_(xmlcurl::api().easy_init()), where_(where), user_(std::move(user)),
          password_(std::move(password)), limit_(limit), knownHosts_(std::move(knownHosts)) {}
    ~SecureSession() {
        if (handle_)
            xmlcurl::api().easy_cleanup(handle_);
    }
    SecureSession(const SecureSession&) = delete;
    SecureSession& operator=(const SecureSession&) = delete;

    explicit operator bool() const { return handle_ != nullptr; }
    void useLogin(Login login) { login_ = std::move(login); }
    HostKeySeen& hostKey() { return key_; }

    // Uploads fd under name in the directory, then renames it over target.
    Outcome upload(const std::string& name, const std::string& target, int fd) {
        struct stat st;
        if (::lseek(fd, 0, SEEK_SET) != 0 || ::fstat(fd, &st) != 0)
            return {CURLE_READ_ERROR, Step::Upload};
        Conversation c;
        c.fd = fd;
        prepare(url(name), c);
        xmlcurl::api().easy_setopt(handle_, CURLOPT_UPLOAD, 1L);
        xmlcurl::api().easy_setopt(handle_, CURLOPT_READFUNCTION, readTransferBlock);
        xmlcurl::api().easy_setopt(handle_, CURLOPT_READDATA, static_cast<Transfer*>(&c));
        xmlcurl::api().easy_setopt(handle_, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(st.st_size));
        return run(c, {}, renameCommands(name, target));
    }

    // Removes target, then renames name over it: for servers that do not
    // rename over an existing file.
    Outcome replace(const std::string& name, const std::string& target) {
        std::vector<std::string> commands = removeCommands(target);
        for (auto& command : renameCommands(name, target))
            commands.push_back(command);
        return command(commands);
    }

    // Removes name; nothing is reported, the store has failed already.
    void remove(const std::string& name) { command(removeCommands(name)); }

private:
    bool sftp() const { return where_.scheme == TStoreScheme::Sftp; }

    std::string url(const std::string& name) const {
        std::string out;
        if (sftp())
            out = "sftp://";
        else
            out = where_.port == kImplicitFtpsPort ? "ftps://" : "ftp://";
        out += where_.host;
        if (where_.port)
            out += ":" + std::to_string(where_.port);
        out += "/";
        // An SFTP path is absolute; "~/" puts it in the login directory as
        // an FTP path is.
        if (sftp() && (where_.dir.empty() || where_.dir[0] != '/'))
            out += "~/";
        if (!where_.dir.empty())
            out += urlPath(where_.dir) + "/";
        return out + urlPath(name);
    }

    // An SFTP server resolves a relative path against the login directory.
    std::string sftpPath(const std::string& name) const {
        return sftpArgument(where_.dir.empty() ? name : where_.dir + "/" + name);
    }

    std::vector<std::string> renameCommands(const std::string& from, const std::string& to) const {
        if (sftp())
            return {"rename " + sftpPath(from) + " " + sftpPath(to)};
        return {"RNFR " + from, "RNTO " + to};
    }

    std::vector<std::string> removeCommands(const std::string& name) const {
        if (sftp())
            return {"rm " + sftpPath(name)};
        return {"DELE " + name};
    }

    // Commands alone, in the directory (FTP changes to it first).
    Outcome command(const std::vector<std::string>& commands) {
        Conversation c;
        c.step = Step::Rename;
        prepare(url(""), c);
        xmlcurl::api().easy_setopt(handle_, CURLOPT_NOBODY, 1L);
        return sftp() ? run(c, commands, {}) : run(c, {}, commands);
    }

    void trustCertificates() {
        xmlcurl::api().easy_setopt(handle_, CURLOPT_SSL_VERIFYPEER, 1L);
        xmlcurl::api().easy_setopt(handle_, CURLOPT_SSL_VERIFYHOST, 2L);
        const char* extra = std::getenv("SSL_CERT_FILE");
        if (extra && *extra) {
            xmlcurl::api().easy_setopt(handle_, CURLOPT_CAINFO, extra);
            xmlcurl::api().easy_setopt(handle_, CURLOPT_CAPATH, kSystemCertificateDir);
        }
    }

    void prepare(const std::string& url, Conversation& c) {
        c.limit = limit_;
        c.key = &key_;
        c.lastProgress = Clock::now();
        xmlcurl::api().easy_reset(handle_);
        xmlcurl::api().easy_setopt(handle_, CURLOPT_URL, url.c_str());
        xmlcurl::api().easy_setopt(handle_, CURLOPT_NOSIGNAL, 1L);
        if (sftp()) {
            xmlcurl::api().easy_setopt(handle_, CURLOPT_USERNAME, user_.c_str());
            xmlcurl::api().easy_setopt(handle_, CURLOPT_PROTOCOLS_STR, "sftp");
            xmlcurl::api().easy_setopt(handle_, CURLOPT_SSH_AUTH_TYPES, login_.authTypes);
            if (login_.authTypes & (CURLSSH_AUTH_PASSWORD | CURLSSH_AUTH_KEYBOARD))
                xmlcurl::api().easy_setopt(handle_, CURLOPT_PASSWORD, password_.c_str());
            if (!login_.keyFile.empty()) {
                xmlcurl::api().easy_setopt(handle_, CURLOPT_SSH_PRIVATE_KEYFILE, login_.keyFile.c_str());
                xmlcurl::api().easy_setopt(handle_, CURLOPT_KEYPASSWD, "");
            }
            xmlcurl::api().easy_setopt(handle_, CURLOPT_SSH_KNOWNHOSTS, knownHosts_.c_str());
            xmlcurl::api().easy_setopt(handle_, CURLOPT_SSH_KEYFUNCTION, onHostKey);
            xmlcurl::api().easy_setopt(handle_, CURLOPT_SSH_KEYDATA, &c);
        } else {
            xmlcurl::api().easy_setopt(handle_, CURLOPT_PROTOCOLS_STR, "ftp,ftps");
            if (!user_.empty()) {
                xmlcurl::api().easy_setopt(handle_, CURLOPT_USERNAME, user_.c_str());
                xmlcurl::api().easy_setopt(handle_, CURLOPT_PASSWORD, password_.c_str());
            }
            xmlcurl::api().easy_setopt(handle_, CURLOPT_USE_SSL, static_cast<long>(CURLUSESSL_ALL));
            xmlcurl::api().easy_setopt(handle_, CURLOPT_FTPSSLAUTH, static_cast<long>(CURLFTPAUTH_TLS));
            trustCertificates();
            xmlcurl::api().easy_setopt(handle_, CURLOPT_FTP_FILEMETHOD,
                             static_cast<long>(CURLFTPMETHOD_SINGLECWD));
            xmlcurl::api().easy_setopt(handle_, CURLOPT_TRANSFERTEXT, 0L);
            xmlcurl::api().easy_setopt(handle_, CURLOPT_SERVER_RESPONSE_TIMEOUT, limit_);
        }
        watchTransfer(handle_, c, onConversation, &c);
    }

    Outcome run(Conversation& c, const std::vector<std::string>& before,
                const std::vector<std::string>& after) {
        auto list = [](const std::vector<std::string>& commands) {
            curl_slist* l = nullptr;
            for (const auto& command : commands)
                l = xmlcurl::api().slist_append(l, command.c_str());
            return l;
        };
        curl_slist* pre = list(before);
        curl_slist* post = list(after);
        xmlcurl::api().easy_setopt(handle_, CURLOPT_QUOTE, pre);
        xmlcurl::api().easy_setopt(handle_, CURLOPT_POSTQUOTE, post);
        if (sftp())
            key_.check = KeyCheck::None;
        CURLcode rc = xmlcurl::api().easy_perform(handle_);
        // The lists must outlive every use of the handle that could send them.
        xmlcurl::api().easy_setopt(handle_, CURLOPT_QUOTE, nullptr);
        xmlcurl::api().easy_setopt(handle_, CURLOPT_POSTQUOTE, nullptr);
        xmlcurl::api().slist_free_all(pre);
        xmlcurl::api().slist_free_all(post);
        if (c.readFailed)
            return {CURLE_READ_ERROR, Step::Upload};
        return {rc, c.step};
    }

    CURL* handle_;
    Location where_;
    std::string user_;
    std::string password_;
    long limit_;
    std::string knownHosts_;
    Login login_;
    HostKeySeen key_;
};

// A server that stopped answering is not asked for anything more.
bool stoppedAnswering(CURLcode rc) {
    return rc == CURLE_OPERATION_TIMEDOUT || rc == CURLE_ABORTED_BY_CALLBACK;
}

std::string sshDirectoryOf(const TStoreOptions& options) {
    if (!options.sshDirectory.empty())
        return options.sshDirectory;
    const char* home = std::getenv("HOME");
    return std::string(home && *home ? home : ".") + "/.ssh";
}

// How known_hosts names the server: OpenSSH writes a port other than 22
// beside the bracketed host.
std::string knownHostsName(const Location& where) {
    if (where.port == 0 || where.port == kSshPort)
        return where.host[0] == '[' ? where.host.substr(1, where.host.size() - 2) : where.host;
    std::string host = where.host[0] == '[' ? where.host : "[" + where.host + "]";
    return host + ":" + std::to_string(where.port);
}

// The keys of the "@revoked" lines of known_hosts.
std::vector<std::string> revokedKeys(const std::string& file) {
    std::vector<std::string> keys;
    std::ifstream in(file, std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string marker, hosts, type, key;
        if (fields >> marker >> hosts >> type >> key && marker == "@revoked")
            keys.push_back(unbase64(key));
    }
    return keys;
}

// Adds the line for a trusted key to known_hosts, keeping every line that is
// there; the SSH directory is made (private) when it is missing.
void addKnownHost(const std::string& sshDir, const std::string& file, const std::string& line) {
    std::error_code ec;
    if (!std::filesystem::exists(sshDir, ec) && ::mkdir(sshDir.c_str(), 0700) != 0)
        return;
    std::string bytes;
    {
        std::ifstream in(file, std::ios::binary);
        if (in) {
            std::ostringstream s;
            s << in.rdbuf();
            bytes = s.str();
        }
    }
    if (!bytes.empty() && bytes.back() != '\n')
        bytes += '\n';
    bytes += line + "\n";
    try {
        writeFileWhole(file, bytes);
    } catch (...) {
        // The key stays trusted for this store; it is asked for again next time.
    }
}

struct Report {
    const Location& where;
    long limit;
    std::string knownHosts;

    TStoreResult fail(TStoreFailure failure, std::string detail,
                      std::string fingerprint = {}) const {
        TStoreResult r;
        r.failure = failure;
        r.detail = std::move(detail);
        r.fingerprint = std::move(fingerprint);
        return r;
    }

    // The failure of an upload, by curl's code and the step it was in.
    TStoreResult of(const Outcome& o, const HostKeySeen& key) const {
        using xmlmsg::fill;
        const std::string& server = where.server;
        const std::string seconds = std::to_string(limit);
        if (key.check == KeyCheck::Revoked)
            return fail(TStoreFailure::HostKeyRevoked,
                        fill<std::string>(xmlmsg::kStoreHostKeyRevoked, knownHostsName(where),
                                          hostKeyFingerprint(key.blob), knownHosts),
                        hostKeyFingerprint(key.blob));
        if (key.check == KeyCheck::Changed)
            return fail(TStoreFailure::HostKeyChanged,
                        fill<std::string>(xmlmsg::kStoreHostKeyChanged, knownHostsName(where),
                                          hostKeyFingerprint(key.blob), knownHosts),
                        hostKeyFingerprint(key.blob));
        switch (o.code) {
        case CURLE_COULDNT_RESOLVE_HOST:
        case CURLE_COULDNT_CONNECT:
            return fail(TStoreFailure::Connection,
                        fill<std::string>(xmlmsg::kStoreNoConnection, server));
        case CURLE_PEER_FAILED_VERIFICATION:
        case CURLE_SSL_CACERT_BADFILE:
        case CURLE_SSL_ISSUER_ERROR:
            return fail(TStoreFailure::Certificate,
                        fill<std::string>(xmlmsg::kStoreCertificate, server));
        case CURLE_USE_SSL_FAILED:
            return fail(TStoreFailure::Certificate, fill<std::string>(xmlmsg::kStoreNoTls, server));
        case CURLE_SSL_CONNECT_ERROR:
            return fail(TStoreFailure::Certificate,
                        fill<std::string>(xmlmsg::kStoreTlsFailed, server));
        case CURLE_LOGIN_DENIED:
            return fail(TStoreFailure::Login, fill<std::string>(xmlmsg::kStoreLogin, server));
        default:
            break;
        }
        if (o.step == Step::Directory ||
            (o.code == CURLE_REMOTE_FILE_NOT_FOUND && o.step == Step::Upload && !where.dir.empty()))
            return fail(TStoreFailure::Directory,
                        fill<std::string>(xmlmsg::kStoreDirectory, where.dir, server));
        if (stoppedAnswering(o.code)) {
            if (o.step == Step::Upload || o.step == Step::Rename)
                return fail(TStoreFailure::Upload,
                            fill<std::string>(xmlmsg::kStoreStalled, server, seconds));
            return fail(TStoreFailure::Connection,
                        fill<std::string>(xmlmsg::kStoreNoAnswer, server, seconds));
        }
        switch (o.step) {
        case Step::Connect:
            return fail(TStoreFailure::Connection,
                        fill<std::string>(xmlmsg::kStoreNoConnection, server));
        case Step::Tls:
            return fail(TStoreFailure::Certificate,
                        fill<std::string>(xmlmsg::kStoreTlsFailed, server));
        case Step::Login:
            return fail(TStoreFailure::Login, fill<std::string>(xmlmsg::kStoreLogin, server));
        default:
            return fail(TStoreFailure::Upload, fill<std::string>(xmlmsg::kStoreUpload, server));
        }
    }
};

// The logins an SFTP store tries in turn.
std::vector<Login> sftpLogins(const std::string& password, const std::string& sshDir) {
    if (!password.empty())
        return {Login{}};
    std::vector<Login> logins;
    const char* agent = std::getenv("SSH_AUTH_SOCK");
    if (agent && *agent)
        logins.push_back({CURLSSH_AUTH_AGENT, {}});
    for (const char* name : kKeyFiles) {
        std::string path = sshDir + "/" + name;
        if (::access(path.c_str(), R_OK) == 0)
            logins.push_back({CURLSSH_AUTH_PUBLICKEY, path});
    }
    return logins;
}

TStoreResult storeSecurely(const Location& where, const std::string& user,
                           const std::string& password, const std::string& localFile,
                           const TStoreOptions& options) {
    using xmlmsg::fill;
    const long limit = options.noProgressLimitSeconds > 0 ? options.noProgressLimitSeconds : 1;
    const std::string sshDir = sshDirectoryOf(options);
    const std::string knownHosts = sshDir + "/known_hosts";
    const Report report{where, limit, knownHosts};

    if (!curlReady())
        return report.fail(TStoreFailure::Connection, std::string(xmlmsg::kNoInternetLibrary));
    if (hasControlCharacter(user) || hasControlCharacter(password))
        return report.fail(TStoreFailure::Login,
                           fill<std::string>(xmlmsg::kStoreLogin, where.server));
    FileDescriptor file(::open(localFile.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat st;
    if (file.get() < 0 || ::fstat(file.get(), &st) != 0 || !S_ISREG(st.st_mode))
        return report.fail(TStoreFailure::Upload,
                           fill<std::string>(xmlmsg::kStoreUpload, where.server));

    SecureSession session(where, user, password, limit, knownHosts);
    if (!session)
        return report.fail(TStoreFailure::Connection, std::string(xmlmsg::kNoInternet));

    std::vector<Login> logins{Login{}};
    if (where.scheme == TStoreScheme::Sftp) {
        logins = sftpLogins(password, sshDir);
        if (logins.empty())
            return report.fail(TStoreFailure::Login,
                               fill<std::string>(xmlmsg::kStoreLogin, where.server));
    }

    const std::string temporary = temporaryNameFor(where.name);
    HostKeySeen& key = session.hostKey();
    if (where.scheme == TStoreScheme::Sftp)
        key.revoked = revokedKeys(knownHosts);
    Outcome r;
    for (std::size_t i = 0; i < logins.size(); ++i) {
        session.useLogin(logins[i]);
        r = session.upload(temporary, where.name, file.get());
        if (key.check == KeyCheck::Unknown) {
            // Asked here, not while the connection waits for an answer.
            const std::string fingerprint = hostKeyFingerprint(key.blob);
            const std::string server = knownHostsName(where);
            THostKeyQuestion question{server, key.keyType, fingerprint};
            if (!options.trustUnknownHostKey)
                return report.fail(
                    TStoreFailure::HostKeyUnknown,
                    fill<std::string>(xmlmsg::kStoreHostKeyUnknown, server, fingerprint),
                    fingerprint);
            if (!options.trustUnknownHostKey(question))
                return report.fail(
                    TStoreFailure::HostKeyUnknown,
                    fill<std::string>(xmlmsg::kStoreHostKeyNotTrusted, server, fingerprint),
                    fingerprint);
            key.trusted = key.blob;
            addKnownHost(sshDir, knownHosts,
                         server + " " + key.keyType + " " + base64(key.blob, true));
            r = session.upload(temporary, where.name, file.get());
        }
        // An agent that cannot be reached fails as the session, not as the login.
        const bool loginFailed =
            r.code == CURLE_LOGIN_DENIED || (r.code == CURLE_SSH && r.step == Step::Login);
        if (!loginFailed || i + 1 == logins.size())
            break;
    }
    if (r.ok()) {
        TStoreResult stored;
        stored.stored = true;
        return stored;
    }
    if (r.code == CURLE_QUOTE_ERROR) {
        // The whole file is there under the temporary name; the server would
        // not rename it over the old file.
        if (session.replace(temporary, where.name).ok()) {
            TStoreResult stored;
            stored.stored = true;
            return stored;
        }
        session.remove(temporary);
        return report.fail(TStoreFailure::Upload,
                           fill<std::string>(xmlmsg::kStoreRename, where.name));
    }
    TStoreResult failed = report.of(r, key);
    if (r.step == Step::Upload && !stoppedAnswering(r.code))
        session.remove(temporary);
    return failed;
}

} // namespace

TStoreScheme storeSchemeOf(std::string_view location) {
    if (startsWithNoCase(location, "sftp://"))
        return TStoreScheme::Sftp;
    if (startsWithNoCase(location, "ftps://"))
        return TStoreScheme::Ftps;
    return TStoreScheme::Ftp;
}

TStoreResult storeFile(const std::string& remotePath, const std::string& user,
                       const std::string& password, const std::string& localFile,
                       const TStoreOptions& options) {
    const TStoreScheme scheme = storeSchemeOf(remotePath);
    if (scheme == TStoreScheme::Ftp) {
        const std::string hostAndPath =
            startsWithNoCase(remotePath, "ftp://") ? remotePath.substr(6) : remotePath;
        TXmlFtpOptions ftp;
        ftp.noProgressLimitSeconds = options.noProgressLimitSeconds;
        TStoreResult r;
        r.stored = putFileByFtp(hostAndPath, user, password, &r.ftpMessages, localFile, ftp);
        if (!r.stored)
            r.failure = TStoreFailure::Upload;
        return r;
    }
    Location where;
    if (!parseLocation(scheme, remotePath.substr(7), where)) {
        TStoreResult r;
        r.failure = TStoreFailure::Location;
        r.detail = xmlmsg::fill<std::string>(xmlmsg::kStoreBadLocation, remotePath);
        return r;
    }
    return storeSecurely(where, user, password, localFile, options);
}

std::string hostKeyFingerprint(std::string_view keyBlob) {
    const auto digest = sha256(keyBlob);
    return "SHA256:" +
           base64(std::string_view(reinterpret_cast<const char*>(digest.data()), digest.size()),
                  false);
}
