#include "xml/XmlFtp.h"

#include "xml/XmlCurl.h"
#include "xml/XmlMessages.h"

#include "xml/XmlSource.h"
#include "xml/XmlStoreParts.h"

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

using namespace xmlstore;
using Clock = std::chrono::steady_clock;

// The steps of a store, in the order the server sees them; a failure is
// reported with the message of the step it happened in.
enum class Step { Connect, Directory, Store, Rename, Remove };

// One request on the connection: what it sends, and where it has got to.
struct Conversation : Transfer {
    Step cwdStep;  // what a directory change belongs to
    Step workStep; // what the commands after the login belong to
    Step step = Step::Connect;
};

// Follows the commands curl sends to know which step a failure belongs to;
// every line to or from the server also counts as progress.
int onConversation(CURL*, curl_infotype type, char* data, size_t size, void* user) {
    auto* c = static_cast<Conversation*>(user);
    if (type != CURLINFO_HEADER_IN && type != CURLINFO_HEADER_OUT)
        return 0;
    c->lastProgress = Clock::now();
    if (type == CURLINFO_HEADER_IN)
        return 0;
    std::string_view line(data, size);
    std::string_view command = line.substr(0, line.find_first_of(" \r\n"));
    static const std::string_view login[] = {"USER", "PASS", "ACCT", "PWD",  "AUTH",
                                             "PBSZ", "PROT", "SYST", "FEAT", "OPTS"};
    for (std::string_view l : login)
        if (command == l)
            return 0;
    if (command == "QUIT")
        return 0;
    if (command == "CWD")
        c->step = c->cwdStep;
    else if (command == "RNFR" || command == "RNTO")
        c->step = Step::Rename;
    else
        c->step = c->workStep;
    return 0;
}

// A server that stopped answering is not asked for anything more.
bool stoppedAnswering(CURLcode rc) {
    return rc == CURLE_OPERATION_TIMEDOUT || rc == CURLE_ABORTED_BY_CALLBACK;
}

struct Outcome {
    CURLcode code = CURLE_OK;
    Step step = Step::Connect;
    bool ok() const { return code == CURLE_OK; }
};

// One easy handle, so that the requests of a store share one login.
class FtpSession {
public:
    FtpSession(std::string host, std::string user, std::string password, long limit)
        : handle_(xmlcurl::api().easy_init()), host_(std::move(host)), user_(std::move(user)),
          password_(std::move(password)), limit_(limit) {}
    ~FtpSession() {
        if (handle_)
            xmlcurl::api().easy_cleanup(handle_);
    }
    FtpSession(const FtpSession&) = delete;
    FtpSession& operator=(const FtpSession&) = delete;

    explicit operator bool() const { return handle_ != nullptr; }

    // Uploads fd as dir/name, then sends the commands (in dir).
    Outcome store(const std::string& dir, const std::string& name, int fd, Step cwdStep,
                  const std::vector<std::string>& commands) {
        if (::lseek(fd, 0, SEEK_SET) != 0)
            return {CURLE_READ_ERROR, Step::Store};
        struct stat st;
        if (::fstat(fd, &st) != 0)
            return {CURLE_READ_ERROR, Step::Store};
        Conversation c;
        c.fd = fd;
        c.cwdStep = cwdStep;
        c.workStep = Step::Store;
        prepare(url(dir, name), c);
        xmlcurl::api().easy_setopt(handle_, CURLOPT_UPLOAD, 1L);
        xmlcurl::api().easy_setopt(handle_, CURLOPT_READFUNCTION, readTransferBlock);
        xmlcurl::api().easy_setopt(handle_, CURLOPT_READDATA, static_cast<Transfer*>(&c));
        xmlcurl::api().easy_setopt(handle_, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(st.st_size));
        return run(c, commands);
    }

    // Removes dir/name; nothing is reported, the caller has failed already.
    void remove(const std::string& dir, const std::string& name) {
        Conversation c;
        c.cwdStep = Step::Remove;
        c.workStep = Step::Remove;
        prepare(url(dir, ""), c);
        xmlcurl::api().easy_setopt(handle_, CURLOPT_NOBODY, 1L);
        run(c, {"DELE " + name});
    }

private:
    std::string url(const std::string& dir, const std::string& name) const {
        std::string path = dir.empty() ? name : dir + "/" + name;
        return "ftp://" + host_ + "/" + urlPath(path);
    }

    void prepare(const std::string& url, Conversation& c) {
        c.limit = limit_;
        c.lastProgress = Clock::now();
        xmlcurl::api().easy_reset(handle_);
        xmlcurl::api().easy_setopt(handle_, CURLOPT_URL, url.c_str());
        xmlcurl::api().easy_setopt(handle_, CURLOPT_PROTOCOLS_STR, "ftp");
        xmlcurl::api().easy_setopt(handle_, CURLOPT_NOSIGNAL, 1L);
        xmlcurl::api().easy_setopt(handle_, CURLOPT_USERAGENT, "Quillo XML");
        if (!user_.empty()) {
            xmlcurl::api().easy_setopt(handle_, CURLOPT_USERNAME, user_.c_str());
            xmlcurl::api().easy_setopt(handle_, CURLOPT_PASSWORD, password_.c_str());
        }
        xmlcurl::api().easy_setopt(handle_, CURLOPT_FTP_FILEMETHOD,
                         static_cast<long>(CURLFTPMETHOD_SINGLECWD));
        xmlcurl::api().easy_setopt(handle_, CURLOPT_TRANSFERTEXT, 0L);
        xmlcurl::api().easy_setopt(handle_, CURLOPT_SERVER_RESPONSE_TIMEOUT, limit_);
        watchTransfer(handle_, c, onConversation, &c);
    }

    Outcome run(Conversation& c, const std::vector<std::string>& commands) {
        curl_slist* after = nullptr;
        for (const auto& command : commands)
            after = xmlcurl::api().slist_append(after, command.c_str());
        xmlcurl::api().easy_setopt(handle_, CURLOPT_POSTQUOTE, after);
        CURLcode rc = xmlcurl::api().easy_perform(handle_);
        // The list must outlive every use of the handle that could send it.
        xmlcurl::api().easy_setopt(handle_, CURLOPT_POSTQUOTE, nullptr);
        xmlcurl::api().slist_free_all(after);
        if (c.readFailed)
            return {CURLE_READ_ERROR, Step::Store};
        return {rc, c.step};
    }

    CURL* handle_;
    std::string host_;
    std::string user_;
    std::string password_;
    long limit_;
};

} // namespace

bool putFileByFtp(const std::string& hostAndPath, const std::string& user,
                  const std::string& password, TXmlErrorList* errorList,
                  const std::string& localFile, const TXmlFtpOptions& options) {
    auto report = [errorList](const std::string& message) {
        if (errorList)
            errorList->push_back(utf8ToUtf16(message));
    };
    const std::string cannotConnect = std::string(xmlmsg::kNoConnection);
    const std::string cannotStore = xmlmsg::fill<std::string>(xmlmsg::kFtpSaveFailed, hostAndPath);
    if (!curlReady()) {
        report(std::string(xmlmsg::kNoInternetLibrary));
        return false;
    }
    std::size_t slash = hostAndPath.find('/');
    if (slash == std::string::npos) {
        report(std::string(xmlmsg::kInvalidFtpLocation));
        return false;
    }
    std::string host = hostAndPath.substr(0, slash);
    std::string rest = hostAndPath.substr(slash + 1);
    std::size_t last = rest.rfind('/');
    std::string dir = last == std::string::npos ? std::string() : rest.substr(0, last);
    std::string name = last == std::string::npos ? rest : rest.substr(last + 1);

    long limit = options.noProgressLimitSeconds > 0 ? options.noProgressLimitSeconds : 1;
    FtpSession session(host, user, password, limit);
    if (!session) {
        report(std::string(xmlmsg::kNoInternet));
        return false;
    }
    if (!plausibleHost(host) || hasControlCharacter(user) || hasControlCharacter(password)) {
        report(cannotConnect);
        return false;
    }
    // A name that cannot be sent as one FTP command argument is not sent at all.
    if (name.empty() || hasControlCharacter(name)) {
        report(cannotStore);
        return false;
    }
    FileDescriptor file(::open(localFile.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat st;
    if (file.get() < 0 || ::fstat(file.get(), &st) != 0 || !S_ISREG(st.st_mode)) {
        report(cannotStore);
        return false;
    }

    const std::string temporary = temporaryNameFor(name);
    const std::vector<std::string> renameOver = {"RNFR " + temporary, "RNTO " + name};
    Outcome r;
    if (hasControlCharacter(dir)) {
        report(std::string(xmlmsg::kInvalidFtpDirectory));
        dir.clear();
    }
    if (dir.empty()) {
        r = session.store(dir, temporary, file.get(), Step::Store, renameOver);
    } else {
        r = session.store(dir, temporary, file.get(), Step::Directory, renameOver);
        if (!r.ok() && r.step == Step::Directory) {
            report(std::string(xmlmsg::kInvalidFtpDirectory));
            if (stoppedAnswering(r.code))
                return false;
            dir.clear();
            r = session.store(dir, temporary, file.get(), Step::Store, renameOver);
        }
    }
    if (r.ok())
        return true;
    if (r.step == Step::Connect) {
        report(cannotConnect);
        return false;
    }
    if (r.step == Step::Rename && r.code == CURLE_QUOTE_ERROR) {
        // The server keeps the upload but will not rename it over the name.
        session.remove(dir, temporary);
        r = session.store(dir, name, file.get(), Step::Store, {});
        if (r.ok())
            return true;
        report(r.step == Step::Connect ? cannotConnect : cannotStore);
        return false;
    }
    if (!stoppedAnswering(r.code))
        session.remove(dir, temporary);
    report(cannotStore);
    return false;
}

bool putBytesByFtp(std::string_view bytes, const std::string& hostAndPath, const std::string& user,
                   const std::string& password, TXmlErrorList* errorList,
                   const TXmlFtpOptions& options) {
    std::error_code ec;
    std::filesystem::path dir = std::filesystem::temp_directory_path(ec);
    if (ec)
        dir = "/tmp";
    std::string path = (dir / "QuilloXMLXXXXXX").string();
    int fd = ::mkstemp(path.data());
    bool written = fd >= 0;
    std::size_t done = 0;
    while (written && done < bytes.size()) {
        ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        written = n > 0;
        if (written)
            done += static_cast<std::size_t>(n);
    }
    if (fd >= 0 && ::close(fd) != 0)
        written = false;
    bool stored = false;
    if (written)
        stored = putFileByFtp(hostAndPath, user, password, errorList, path, options);
    else if (errorList)
        errorList->push_back(
            utf8ToUtf16(xmlmsg::fill<std::string>(xmlmsg::kFtpSaveFailed, hostAndPath)));
    if (fd >= 0)
        ::unlink(path.c_str());
    return stored;
}
