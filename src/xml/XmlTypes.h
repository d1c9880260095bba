#pragma once
// Types shared by the XML document engine's model, reader and writer.

#include <exception>
#include <string>
#include <vector>

enum TXmlCharEncoding { ceUnknown, ceUTF8, ceUTF16LE, ceUTF16BE, ceISO88591 };

enum TXmlLineBreakMode { lbmDefault, lbmCR, lbmCRLF, lbmLF };

// One attribute as the reader reports it and a start tag builds it.
struct TXmlAttr {
    std::u16string name;
    std::u16string value;
};

// The kinds of markup declaration a document type holds.
enum class TXmlDeclKind { Element, AttList, Entity, Notation };

// The error list of the last load: one message line each.
using TXmlErrorList = std::vector<std::u16string>;

// Misuse of the document tree; carries the W3C DOM error code and no message.
class TXmlDOMException : public std::exception {
public:
    explicit TXmlDOMException(int code) : code_(code) {}
    int code() const { return code_; }
    const char* what() const noexcept override { return ""; }

    static constexpr int HIERARCHY_REQUEST_ERR = 3;
    static constexpr int WRONG_DOCUMENT_ERR = 4;
    static constexpr int INVALID_CHARACTER_ERR = 5;
    static constexpr int NOT_FOUND_ERR = 8;

private:
    int code_;
};
