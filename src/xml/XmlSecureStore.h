#pragma once
// Storing a file on a server by the scheme its location begins with: SFTP
// (over SSH), FTPS (FTP with TLS) or plain FTP (putFileByFtp, unchanged).
//
// Blocking: a call returns when the server has the file or the store has
// failed; it never throws. Trust is checked, never assumed: an FTPS server's
// certificate is verified against the system's store and the file named by
// SSL_CERT_FILE; an SFTP server's host key against known_hosts in the SSH
// directory, as OpenSSH's client does. A key that differs from the known one
// is refused and never replaced; an unknown key is stored only when the
// caller's question says so.
//
// As with FTP, readers never see the remote file half-written: the bytes go
// to a temporary name in the target directory and are renamed over the
// target; where the server does not rename over an existing file, the old
// file is removed right before the rename. A missing directory is a failure
// (nothing is stored in the login directory instead), and so is a transfer
// that makes no progress for the limit.

#include "xml/XmlFtp.h"

#include <functional>
#include <string>
#include <string_view>

enum class TStoreScheme { Ftp, Ftps, Sftp };

// By the location's prefix, ignoring case: "sftp://", "ftps://"; "ftp://" and
// no scheme at all are plain FTP.
TStoreScheme storeSchemeOf(std::string_view location);

// What kept the file from the server.
enum class TStoreFailure {
    None,
    Location,       // the location cannot be read
    Connection,     // no connection, or the server stopped answering before the login
    HostKeyUnknown, // the SFTP server's key is not in known_hosts and was not trusted
    HostKeyChanged, // the SFTP server's key differs from the one in known_hosts
    HostKeyRevoked, // known_hosts marks the SFTP server's key "@revoked"
    Certificate,    // the FTPS server's certificate failed verification, or it offers no TLS
    Login,          // user ID and password, or every key, refused
    Directory,      // the directory does not exist on the server
    Upload,         // storing or renaming the file failed
};

// What the caller is asked about an SFTP server whose key is not known.
struct THostKeyQuestion {
    std::string server;      // as known_hosts names it: "host", or "[host]:port"
    std::string keyType;     // "ssh-ed25519", "ecdsa-sha2-nistp256", "ssh-rsa", ...
    std::string fingerprint; // "SHA256:..." as ssh-keygen -l prints it
};

struct TStoreOptions {
    long noProgressLimitSeconds = FtpNoProgressLimitSeconds;
    // Asked when an SFTP server's host key is not in known_hosts: true trusts
    // the key and adds it to known_hosts. Without it the key is refused.
    std::function<bool(const THostKeyQuestion&)> trustUnknownHostKey;
    // The SSH directory (known_hosts, id_ed25519, id_ecdsa, id_rsa); empty:
    // "$HOME/.ssh".
    std::string sshDirectory;
};

struct TStoreResult {
    bool stored = false;
    TStoreFailure failure = TStoreFailure::None;
    // One line saying what failed; empty when stored, and for plain FTP,
    // whose messages stay its own.
    std::string detail;
    // The SHA256 fingerprint of an SFTP server's unknown, changed or revoked
    // host key.
    std::string fingerprint;
    // Plain FTP: the messages putFileByFtp recorded.
    TXmlErrorList ftpMessages;
};

// Stores localFile under remotePath, a location with or without a scheme,
// "/", and the file's path on the server:
//   sftp://server[:port]/directory/name  SFTP, port 22 unless given;
//   ftps://server[:port]/directory/name  FTP with explicit TLS (AUTH TLS) for
//                                        the login and the data, port 21
//                                        unless given; port 990 is implicit TLS;
//   [ftp://]server[:port]/directory/name putFileByFtp, exactly.
// The directory is relative to the login directory; one that begins with "/"
// (a location such as "sftp://server//var/www") is absolute. For SFTP an empty
// password means key authentication: the SSH agent, else the first of
// id_ed25519, id_ecdsa and id_rsa in the SSH directory that the server takes.
TStoreResult storeFile(const std::string& remotePath, const std::string& user,
                       const std::string& password, const std::string& localFile,
                       const TStoreOptions& options = {});

// The fingerprint OpenSSH shows for a public key blob (the bytes the base64
// text of a known_hosts line holds): "SHA256:" and the base64 of its SHA-256
// digest, without padding.
std::string hostKeyFingerprint(std::string_view keyBlob);
