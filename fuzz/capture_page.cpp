// Any page bytes in, never a crash or a hang: the bytes are read in their
// character set (the first byte picks the Content-Type the server sent), parsed,
// and captured in both modes. A topic never holds a control character, and a
// basic-mode headline is at least two characters long and holds no "<".
#include "capture/CaptureHeadlines.h"
#include "capture/HtmlParser.h"
#include "capture/PageText.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

bool hasControl(const QString& text) {
    for (const QChar c : text)
        if (c.unicode() < 0x20 || (c.unicode() >= 0x7F && c.unicode() <= 0x9F))
            return true;
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    static const std::array<QString, 4> contentTypes = {
        QString(), QStringLiteral("text/html; charset=utf-8"),
        QStringLiteral("text/html; charset=iso-8859-1"),
        QStringLiteral("text/html; charset=koi8-r")};
    const QByteArray bytes =
        chunkText(reinterpret_cast<const char*>(data) + 1, static_cast<int>(size - 1));
    const QString page = decodePage(bytes, contentTypes[data[0] % contentTypes.size()]);

    THTMLParser parser;
    parser.loadFromBuffer(page.toStdU16String());
    parser.Parse();
    const QString address = QStringLiteral("http://site.test/news/index.html");
    for (const TCapturedTopic& t : basicHeadlines(page, parser.Parsed().WebLinks, address))
        if (t.Headline.size() < 2 || t.Headline.contains(u'<') || hasControl(t.Headline) ||
            t.Link.isEmpty())
            std::abort();
    for (const TCapturedTopic& t :
         advancedHeadlines(page, address, QStringLiteral("hl"), QStringLiteral("syn")))
        if (hasControl(t.Headline) || hasControl(t.Link) || t.Link.isEmpty() ||
            !page.contains(t.Synopsis))
            std::abort();
    return 0;
}
