// Any text in, never a crash or a hang. The first byte picks the decoding (even:
// one character per byte, odd: UTF-16LE) so that both ASCII markup and
// arbitrary code units are reached. Every input is parsed twice, once a
// character at a time (a progress handler is assigned) and once run by run,
// and both must give the same result and the same events.
#include "capture/HtmlParser.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

std::u16string decode(const uint8_t* data, size_t size) {
    std::u16string text;
    if (size == 0)
        return text;
    if (data[0] % 2 == 0) {
        for (size_t i = 1; i < size; ++i)
            text += static_cast<char16_t>(data[i]);
    } else {
        for (size_t i = 1; i + 1 < size; i += 2)
            text += static_cast<char16_t>(data[i] | data[i + 1] << 8);
    }
    return text;
}

struct Recorder {
    std::vector<std::u16string> events;

    void attach(THTMLParser& parser) {
        parser.OnFoundTag = [this](THTMLParser&, const std::u16string& t) {
            events.push_back(u"T" + t);
        };
        parser.OnFoundText = [this](THTMLParser&, const std::u16string& t) {
            events.push_back(u"X" + t);
        };
        parser.OnFoundComment = [this](THTMLParser&, const std::u16string& t) {
            events.push_back(u"C" + t);
        };
        parser.OnFoundHyperlink = [this](THTMLParser&, const std::u16string& t) {
            events.push_back(u"H" + t);
        };
    }
};

bool same(const TLocalRemote& a, const TLocalRemote& b) {
    return a.Local == b.Local && a.Remote == b.Remote;
}

bool same(const TParsed& a, const TParsed& b) {
    return a.Hyperlinks == b.Hyperlinks && a.Images == b.Images && a.Language == b.Language &&
           a.EMails == b.EMails && a.HTTPlinks == b.HTTPlinks && a.FTPlinks == b.FTPlinks &&
           a.Locallinks == b.Locallinks && a.FramePages == b.FramePages && same(a.HTML, b.HTML) &&
           same(a.Image, b.Image) && same(a.Media, b.Media) && same(a.Java, b.Java) &&
           same(a.ActiveX, b.ActiveX) && same(a.ASP, b.ASP) && same(a.Style, b.Style) &&
           same(a.PHP, b.PHP) && same(a.PERL, b.PERL) && a.Title == b.Title &&
           a.Keyword == b.Keyword && a.Description == b.Description;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::u16string text = decode(data, size);

    THTMLParser stepwise;
    Recorder stepEvents;
    stepEvents.attach(stepwise);
    size_t steps = 0;
    stepwise.OnParsing = [&steps](THTMLParser&, std::size_t, std::size_t) { ++steps; };

    THTMLParser runwise;
    Recorder runEvents;
    runEvents.attach(runwise);

    size_t characters = 0;
    for (THTMLParser* parser : {&stepwise, &runwise}) {
        parser->loadFromBuffer(text);
        characters = 0;
        for (const auto& line : parser->HTML())
            characters += line.size();
        // The second parse starts from the state the first one left.
        parser->Parse();
        parser->Parse();
    }
    if (steps != 2 * characters || stepEvents.events != runEvents.events ||
        !same(stepwise.Parsed(), runwise.Parsed()))
        std::abort();
    return 0;
}
