#pragma once
// TXmlInCharFilter: turns the bytes of one source into UTF-16 code units,
// a buffer of BufferSize bytes at a time. Line ends arrive as LF only.

#include "xml/XmlCharset.h"
#include "xml/XmlTypes.h"

#include <cstddef>
#include <cstdint>
#include <exception>
#include <memory>
#include <string>

// A decoding failure; the parser reports it with "<unknown>" as the file.
class EXmlFilterError : public std::exception {
public:
    explicit EXmlFilterError(std::u16string message) : message_(std::move(message)) {}
    const std::u16string& message() const { return message_; }
    const char* what() const noexcept override { return "XML filter error"; }

private:
    std::u16string message_;
};

// A parse failure at a place in a source.
class EXmlParserError : public EXmlFilterError {
public:
    EXmlParserError(std::u16string message, long line, long column, std::u16string file)
        : EXmlFilterError(std::move(message)), line_(line), column_(column),
          file_(std::move(file)) {}
    long line() const { return line_; }
    long column() const { return column_; }
    const std::u16string& file() const { return file_; }

private:
    long line_;
    long column_;
    std::u16string file_;
};

class TXmlInCharFilter {
public:
    explicit TXmlInCharFilter(std::size_t bufferSize);
    ~TXmlInCharFilter();
    TXmlInCharFilter(const TXmlInCharFilter&) = delete;
    TXmlInCharFilter& operator=(const TXmlInCharFilter&) = delete;

    // False when the file cannot be opened for reading.
    bool openFile(const std::string& path);
    // The bytes are read in place and must outlive the filter.
    void openMemory(const char* bytes, std::size_t length);

    // Room the caller must offer to decode().
    std::size_t maxDecoded() const { return chunk_ + 8; }
    // Decodes the next piece of input into out and returns the number of code
    // units written; 0 can also mean that a piece decoded to nothing, so ask
    // finished(). Characters before a malformed sequence are delivered first;
    // the next call throws EXmlFilterError.
    std::size_t decode(char16_t* out);
    bool finished() const;

    // The XML declaration named an encoding: the bytes not yet decoded are
    // read in it, unless a byte order mark chose UTF-16. ISO-8859-1 is read
    // here, other sets iconv knows through it; UTF-8 and names of no usable
    // set leave the decoder as it is.
    void switchEncoding(const std::u16string& name);
    // The place for an XML declaration has been passed: decode in full windows.
    void declarationPassed() { inDeclaration_ = false; }
    TXmlCharEncoding encoding() const { return encoding_; }

private:
    bool fillWindow();
    void detectByteOrderMark();
    std::size_t decodeUtf8(const std::uint8_t* e, bool last, char16_t* out);
    std::size_t decodeLatin1(const std::uint8_t* e, char16_t* out);
    std::size_t decodeUtf16(const std::uint8_t* e, bool last, bool bigEndian, char16_t* out);
    std::size_t decodeCharset(const std::uint8_t* e, bool last, char16_t* out);
    char16_t* put(char16_t c, char16_t* out);

    std::size_t bufferSize_;
    std::size_t chunk_;
    int fd_ = -1;
    bool eof_ = false; // no more bytes behind the window
    // A file is read in large pieces and decoded a window of chunk_ bytes at
    // a time.
    std::size_t readSize_ = 0;
    std::unique_ptr<std::uint8_t[]> bytes_;
    const std::uint8_t* p_ = nullptr; // undecoded bytes of the window
    const std::uint8_t* e_ = nullptr;
    const std::uint8_t* readEnd_ = nullptr; // end of the bytes read from the file
    const std::uint8_t* memEnd_ = nullptr; // memory source: end of all input
    bool started_ = false;
    bool inDeclaration_ = true;
    bool crPending_ = false;
    TXmlCharEncoding encoding_ = ceUTF8;
    // Set when a declared encoding is read through iconv; encoding_ stays ceUTF8.
    std::unique_ptr<TXmlCharset> charset_;
    std::u16string pendingError_;
};
