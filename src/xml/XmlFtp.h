#pragma once
// Storing a file on an FTP server with libcurl.
//
// Blocking: a call returns when the server has the file or the store has
// failed; it never throws. Failures are reported as message lines appended to
// the caller's error list (when one is given). Readers of the remote file
// never see it half-written: the bytes go to a temporary name in the target
// directory first and are renamed over the remote name when they are all
// there; a server that refuses the rename gets the file stored directly under
// its name. A transfer that makes no progress for the limit ends as a failure
// of the step it was in.

#include "xml/XmlTypes.h"

#include <string>
#include <string_view>

// How long an FTP conversation may make no progress at all (no command
// answered, no byte moved) before it is given up. Long enough for a slow
// server to open a file, short enough that an unattended run never hangs.
inline constexpr long FtpNoProgressLimitSeconds = 30;

struct TXmlFtpOptions {
    long noProgressLimitSeconds = FtpNoProgressLimitSeconds;
};

// Stores localFile on a server. hostAndPath is a host (optionally with
// ":port"; the FTP port otherwise), "/", and the file's path on the server;
// the path's directories are relative to the login directory. Logs in with
// user and password, changes to the directory (when that fails: "Invalid ftp
// directory", and the file goes to the login directory), stores the file in
// binary mode under the last name of the path. True when the server holds the
// whole file under that name. Messages: "Cannot open WININET, Microsoft IE
// required", "Invalid ftp location" (no "/"), "Unable to open Internet",
// "Unable to make Internet connection" (connect or login failed), "Invalid ftp
// directory", "Could not save file via ftp to <hostAndPath>".
bool putFileByFtp(const std::string& hostAndPath, const std::string& user,
                  const std::string& password, TXmlErrorList* errorList,
                  const std::string& localFile, const TXmlFtpOptions& options = {});

// Writes bytes to a new temporary file "QuilloXML..." in the temporary
// directory, stores it with putFileByFtp and removes it again.
bool putBytesByFtp(std::string_view bytes, const std::string& hostAndPath, const std::string& user,
                   const std::string& password, TXmlErrorList* errorList,
                   const TXmlFtpOptions& options = {});
