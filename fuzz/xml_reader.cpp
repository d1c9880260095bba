// Feeds arbitrary bytes to the reader: through the document model as the
// program loads a feed, and straight into the parser with a tiny input
// buffer so that every piece of markup also straddles buffer boundaries.
// Neither may crash, hang or read out of bounds.

#include "XmlDom.h"
#include "XmlParser.h"

#include <cstddef>
#include <cstdint>

namespace {

class DiscardingSink : public TXmlReaderSink {
public:
    void startElement(const std::u16string&, std::vector<TXmlAttr>&&, bool) override {}
    void endElement() override {}
    void text(std::u16string&&) override {}
    void cdata(std::u16string&&) override {}
    void comment(std::u16string&&) override {}
    void processingInstruction(const std::u16string&, std::u16string&&) override {}
    void startDocType(const std::u16string&, const std::u16string&,
                      const std::u16string&) override {}
    void declaration(TXmlDeclKind, std::u16string&&) override {}
    void endDocType() override {}
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const char* bytes = reinterpret_cast<const char*>(data);
    TXmlObjModel model;
    model.loadFromMemory(bytes, size);

    TXmlReaderSettings settings;
    settings.bufferSize = 5;
    DiscardingSink sink;
    TXmlErrorList errors;
    std::vector<std::string> temps;
    TXmlParser parser(settings, sink, errors, temps);
    parser.parseMemory(bytes, size);
    return 0;
}
