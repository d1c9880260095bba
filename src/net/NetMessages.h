#pragma once
// Every text the HTTP client and its socket layer hand to a caller, each written once.
// Reason phrases and exception messages are built from these entries only, so that a
// caller comparing or showing them sees one wording everywhere.

#include <QString>

#include <array>

namespace netmsg {

// Raised by Get() on a client that is still busy (exception code 1).
inline constexpr const char* kBusy = "HTTP component is busy";

// Reason phrases of requests that ended without a complete response.
inline constexpr const char* kCantResolve = "can't resolve hostname to IP address";
inline constexpr const char* kCantConnect = "can't connect: ";
inline constexpr const char* kTimedOut = "timed out";
inline constexpr const char* kLineTooLong = "HTTP line too long";
inline constexpr const char* kHeaderTooLarge = "HTTP header too large";
inline constexpr const char* kBadStatus = "HTTP status code is not a number";
inline constexpr const char* kBadContentLength = "Content-Length is not a number";
inline constexpr const char* kTooManyRelocations = "too many relocations";
inline constexpr const char* kNoTls = "TLS is not available on this system";

// A socket error's description followed by its number: "Connection refused (Error #10061)".
inline QString withErrorNumber(const QString& description, int error) {
    return QStringLiteral("%1 (Error #%2)").arg(description).arg(error);
}

// Descriptions of the socket error numbers (TSocketError).
struct SocketErrorText {
    int error;
    const char* text;
};
inline constexpr std::array kSocketErrors{
    SocketErrorText{0, "No error"},
    SocketErrorText{10013, "Permission denied"},
    SocketErrorText{10022, "Invalid argument"},
    SocketErrorText{10048, "Address already in use"},
    SocketErrorText{10049, "Cannot assign requested address"},
    SocketErrorText{10051, "Network is unreachable"},
    SocketErrorText{10053, "Software caused connection abort"},
    SocketErrorText{10054, "Connection reset by peer"},
    SocketErrorText{10055, "No buffer space available"},
    SocketErrorText{10060, "Connection timed out"},
    SocketErrorText{10061, "Connection refused"},
    SocketErrorText{11001, "Host not found"},
    SocketErrorText{12037, "The server's certificate has expired or is not yet valid"},
    SocketErrorText{12038, "The server's certificate is for another host name"},
    SocketErrorText{12045, "The server's certificate is not from a trusted authority"},
    SocketErrorText{12157, "The secure channel could not be established"},
};
inline constexpr const char* kUnknownSocketError = "Socket error";

} // namespace netmsg
