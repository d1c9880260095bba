// Feeds arbitrary bytes to the reader: through the document model as the
// program loads a feed, and straight into the parser twice, with the
// program's input buffer and with a tiny one, so that every piece of markup
// also straddles buffer boundaries. Nothing may crash, hang or read out of
// bounds, and both parser runs must report the same structures and message.

#include "xml/XmlDom.h"
#include "xml/XmlParser.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

// Keeps what the parser reports as one text, so two runs can be compared.
class TranscriptSink : public TXmlReaderSink {
public:
    std::u16string log;
    void startElement(const std::u16string& name, std::vector<TXmlAttr>&& attrs,
                      bool empty) override {
        log += u"<" + name;
        for (const TXmlAttr& a : attrs)
            log += u" " + a.name + u"=" + a.value;
        log += empty ? u"/>" : u">";
    }
    void endElement() override { log += u"</>"; }
    void text(std::u16string&& d) override { log += u"T" + d; }
    void cdata(std::u16string&& d) override { log += u"C" + d; }
    void comment(std::u16string&& d) override { log += u"!" + d; }
    void processingInstruction(const std::u16string& t, std::u16string&& d) override {
        log += u"?" + t + u" " + d;
    }
    void startDocType(const std::u16string& n, const std::u16string& p,
                      const std::u16string& s) override {
        log += u"D" + n + u" " + p + u" " + s;
    }
    void declaration(TXmlDeclKind, std::u16string&& m) override { log += u"M" + m; }
    void endDocType() override { log += u"/D"; }
};

struct Run {
    std::u16string log;
    std::u16string message;
};

Run parse(const char* bytes, std::size_t size, std::size_t bufferSize) {
    TXmlReaderSettings settings;
    settings.bufferSize = bufferSize;
    TranscriptSink sink;
    TXmlErrorList errors;
    std::vector<std::string> temps;
    TXmlParser parser(settings, sink, errors, temps);
    parser.parseMemory(bytes, size);
    Run r;
    r.log = std::move(sink.log);
    if (!errors.empty()) {
        const std::u16string& line = errors.back();
        std::size_t at = line.find(u" Error: ");
        r.message = at == std::u16string::npos ? line : line.substr(at);
    }
    return r;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const char* bytes = reinterpret_cast<const char*>(data);
    TXmlObjModel model;
    model.loadFromMemory(bytes, size);

    Run large = parse(bytes, size, 8192);
    Run tiny = parse(bytes, size, 5);
    if (large.log != tiny.log || large.message != tiny.message)
        std::abort();
    return 0;
}
