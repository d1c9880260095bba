#pragma once
// Every message text the XML engine records in an error list or throws,
// each once. They are ASCII; wide() gives the 16-bit form the error list
// holds and fill() puts the one argument of a "%s" text in place.

#include <string>
#include <string_view>

namespace xmlmsg {

// A parse error, as one line of the error list.
inline constexpr std::string_view kErrorLine = "File: %s. Line: %d Col: %d Error: %s";
inline constexpr std::string_view kUnknownFile = "<unknown>"; // the file of a decoder error

// Decoder.
inline constexpr std::string_view kBadUtf8 = "Badly formed UTF-8 character in stream";
inline constexpr std::string_view kBadUtf16BE = "Invalid (big-endian) UTF-16 character encoding";
inline constexpr std::string_view kBadUtf16LE = "Invalid (little-endian) UTF-16 character encoding";

// Parser.
inline constexpr std::string_view kEndOfFile = "Unexpected end of file ";
inline constexpr std::string_view kExpansionLimit = "Entity expansion limit exceeded";
inline constexpr std::string_view kNestedTooDeeply = "Elements nested too deeply";
inline constexpr std::string_view kDeclarationAcrossEntities =
    "Markup declaration not contained in one entity";
inline constexpr std::string_view kCircularReference = "Circular reference to: ";
inline constexpr std::string_view kUndeclaredEntity = "Reference to undeclared entity: ";
inline constexpr std::string_view kWhitespaceExpected =
    "Whitespace expected at Line: %d Position: %d";
inline constexpr std::string_view kInvalidName = "Invalid XML name: ";
inline constexpr std::string_view kIllegalReference = "Illegal character in reference: %s (%d)";
inline constexpr std::string_view kExpectedQuote = "Expected \" or '";
inline constexpr std::string_view kExpectedDelimiter = "Expected: ";
inline constexpr std::string_view kInvalidAttributeCharacter =
    "Invalid character in attribute value: ";
inline constexpr std::string_view kExpectedElement = "Expected start of new element.";
inline constexpr std::string_view kExpectedCommentOrCData =
    "Expected comment or CDATA section (%s)";
inline constexpr std::string_view kDataAfterDocument =
    "There is invalid data after valid XML document";
inline constexpr std::string_view kLateDeclaration =
    "The XML declaration must appear before the first element";
inline constexpr std::string_view kUnterminated = "End of input while looking for delimiter: ";
inline constexpr std::string_view kInvalidVersion = "Invalid XML version number: ";
inline constexpr std::string_view kUnsupportedVersion =
    "QuilloXML does not support XML versions greater than %s";
inline constexpr std::string_view kInvalidEncoding = "Invalid encoding declaration: ";
inline constexpr std::string_view kInvalidStandalone = "Standalone value must equal 'yes' or 'no'";
inline constexpr std::string_view kInvalidComment = "Invalid comment text";
inline constexpr std::string_view kCDataEndInText =
    "Invalid characters in element's character data: ']]>'";
inline constexpr std::string_view kRedefinedAttribute =
    "Attributes cannot be redefined in a start tag";
inline constexpr std::string_view kMismatchedEndTag =
    "Mismatched end tag: Start tag = \"%s\" End tag = \"%s\"";
inline constexpr std::string_view kInvalidPublicId = "Invalid PublicID character: ";

// Sources and fetching.
inline constexpr std::string_view kFileNotFound = "File %s could not be found";
inline constexpr std::string_view kHttpNotAvailable = "Http data not available";
inline constexpr std::string_view kNoInternetLibrary = "Cannot open WININET, Microsoft IE required";
inline constexpr std::string_view kNoInternet = "Unable to open Internet";
inline constexpr std::string_view kNoConnection = "Unable to make Internet connection";
inline constexpr std::string_view kNoHttpRequest = "Unable to open http request";
inline constexpr std::string_view kHttpRequestNotSent = "Unable to send http request";
inline constexpr std::string_view kInvalidFtpLocation = "Invalid ftp location";
inline constexpr std::string_view kInvalidFtpDirectory = "Invalid ftp directory";
inline constexpr std::string_view kNoFtpFile = "Unable to open ftp file";
inline constexpr std::string_view kMixedPaths =
    "Cannot mix absolute local path %s with internet path %s";

// Model and writer.
inline constexpr std::string_view kOutOfMemory = "Out of memory";
inline constexpr std::string_view kCannotCreateFile = "Cannot create file %s";
inline constexpr std::string_view kCannotConvert = "Cannot convert UCS-4 character to ISO-8859-1";
inline constexpr std::string_view kFtpSaveFailed = "Could not save file via ftp to %s";

// Secure stores (SFTP, FTPS): the one line that says what failed.
inline constexpr std::string_view kStoreBadLocation = "Invalid location %s";
inline constexpr std::string_view kStoreNoConnection = "Could not connect to %s";
inline constexpr std::string_view kStoreNoAnswer = "No answer from %s for %d seconds";
inline constexpr std::string_view kStoreHostKeyUnknown = "Host key of %s is not known: %s";
inline constexpr std::string_view kStoreHostKeyNotTrusted = "Host key of %s not trusted: %s";
inline constexpr std::string_view kStoreHostKeyChanged =
    "Host key of %s refused: %s differs from the key known for it in %s";
inline constexpr std::string_view kStoreHostKeyRevoked =
    "Host key of %s refused: %s is marked revoked in %s";
inline constexpr std::string_view kStoreCertificate = "Certificate of %s could not be verified";
inline constexpr std::string_view kStoreNoTls = "%s does not offer TLS";
inline constexpr std::string_view kStoreTlsFailed = "TLS connection to %s failed";
inline constexpr std::string_view kStoreLogin = "Login to %s refused";
inline constexpr std::string_view kStoreDirectory = "Directory %s not found on %s";
inline constexpr std::string_view kStoreUpload = "Upload to %s failed";
inline constexpr std::string_view kStoreStalled =
    "Upload to %s stopped: no progress for %d seconds";
inline constexpr std::string_view kStoreRename = "Could not rename the upload to %s";

inline std::u16string wide(std::string_view m) {
    return std::u16string(m.begin(), m.end());
}

// text with each "%s" or "%d" in turn replaced by the next of args.
template <typename S, typename... Args> S fill(std::string_view text, const Args&... args) {
    const S values[] = {S(args)...};
    S out;
    std::size_t next = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 1 < text.size() && (text[i + 1] == 's' || text[i + 1] == 'd') &&
            next < sizeof...(Args)) {
            out += values[next++];
            ++i;
        } else {
            out += typename S::value_type(text[i]);
        }
    }
    return out;
}

} // namespace xmlmsg
