// Parses a generated 5 MB page with 20,000 links and reports MB/s, against a
// peer measured in the same run: one pass that finds every "<" and ">" of the
// same lines, the least work any tokeniser of this page must do. Then one
// long tag of growing length, to show that time grows linearly with it.
#include "capture/HtmlParser.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace {

constexpr std::size_t pageCharacters = 5'000'000;
constexpr int pageLinks = 20'000;
constexpr int rounds = 7;

std::u16string ascii(const std::string& s) {
    return std::u16string(s.begin(), s.end());
}

// News-site shaped markup: a block per link with headline, synopsis, image
// and filler text, links of every kind, lines broken with CR LF.
std::u16string makePage() {
    std::string page = "<html><head><title>Daily <b>News</b></title>\r\n"
                       "<meta name=\"keyword\" content=\"news, daily\">\r\n"
                       "<meta name=\"description\" content=\"All the news\">\r\n"
                       "<link rel=\"stylesheet\" href=\"/css/site.css\">\r\n"
                       "<script language=\"JavaScript\" src=\"/js/site.js\"></script>\r\n"
                       "</head><body>\r\n";
    const std::string filler = "Lorem ipsum dolor sit amet, consectetur adipiscing elit, sed do "
                               "eiusmod tempor incididunt ut labore et dolore magna aliqua. ";
    const std::size_t perBlock = (pageCharacters - page.size() - 32) / pageLinks;
    for (int i = 0; i < pageLinks; ++i) {
        std::string href;
        switch (i % 8) {
        case 0:
        case 1:
        case 2:
        case 3:
            href = "http://news.example.com/2026/12/story-" + std::to_string(i) + ".html";
            break;
        case 4:
        case 5:
            href = "archive/item" + std::to_string(i) + ".php?id=" + std::to_string(i);
            break;
        case 6:
            href = "https://secure.example.com/s/" + std::to_string(i);
            break;
        default:
            href = "mailto:desk" + std::to_string(i) + "@example.com";
        }
        std::string block = "<div class=\"item\"><h2><a class=\"headline\" href=\"" + href +
                            "\">Headline number " + std::to_string(i) +
                            "</a></h2>\r\n<p class=\"synopsis\"><img src=\"/img/p" +
                            std::to_string(i) + ".jpg\" alt=\"\"> ";
        while (block.size() + 12 < perBlock)
            block += filler.substr(0, std::min(filler.size(), perBlock - 12 - block.size()));
        block += "</p></div>\r\n";
        page += block;
    }
    page += "</body></html>\r\n";
    return ascii(page);
}

double secondsOf(const std::function<void()>& work) {
    std::vector<double> times;
    for (int r = 0; r < rounds; ++r) {
        const auto start = std::chrono::steady_clock::now();
        work();
        times.push_back(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

// The peer: visit every "<" and ">" of the page once.
std::size_t scanMarkup(const THtmlLines& lines) {
    std::size_t found = 0;
    for (const auto& line : lines)
        for (std::size_t i = line.find_first_of(u"<>"); i != std::u16string::npos;
             i = line.find_first_of(u"<>", i + 1))
            ++found;
    return found;
}

void tagLengths() {
    std::printf("\none tag of growing length (time per character should stay flat)\n");
    std::printf("%10s  %14s  %14s  %14s\n", "length", "attrs ns/char", "'<'s ns/char",
                "meta ns/char");
    for (std::size_t length : {10'000u, 100'000u, 1'000'000u, 4'000'000u}) {
        // Many attributes: the href is the last of them, after a long run of others.
        std::u16string attrs = u"<a ";
        while (attrs.size() < length)
            attrs += u"data-x=\"y\" ";
        attrs += u"href=\"http://e.com/a.htm\">";
        // Many "<" inside one tag: each restarts the tag text.
        std::u16string opens = u"<a";
        while (opens.size() < length)
            opens += u" <b";
        opens += u" href=\"http://e.com/a.htm\">";
        // A META tag whose attribute names are looked for across the whole tag.
        std::u16string meta = u"<meta ";
        while (meta.size() < length)
            meta += u"nam conten hre ";
        meta += u">";
        std::printf("%10zu", length);
        for (const std::u16string* page : {&attrs, &opens, &meta}) {
            THTMLParser parser;
            parser.loadFromBuffer(*page);
            const double s = secondsOf([&] { parser.Parse(); });
            std::printf("  %14.2f", s * 1e9 / static_cast<double>(page->size()));
        }
        std::printf("\n");
    }
}

} // namespace

int main() {
    const std::u16string page = makePage();
    THTMLParser parser;
    parser.loadFromBuffer(page);
    const double mb = static_cast<double>(page.size()) / 1e6;

    std::size_t marks = 0;
    const double peer = secondsOf([&] { marks = scanMarkup(parser.HTML()); });
    const double parse = secondsOf([&] { parser.Parse(); });
    std::size_t steps = 0;
    THTMLParser stepwise;
    stepwise.setHTML(parser.HTML());
    stepwise.OnParsing = [&](THTMLParser&, std::size_t, std::size_t) { ++steps; };
    const double stepParse = secondsOf([&] { stepwise.Parse(); });

    const TParsed& p = parser.Parsed();
    std::printf("page: %.2f MB (million characters, line breaks included) in %zu lines, %zu links "
                "(%zu http, %zu local, %zu mail), %zu markup characters\n",
                mb, parser.HTML().size(), p.Hyperlinks.size(), p.HTTPlinks.size(),
                p.Locallinks.size(), p.EMails.size(), marks);
    std::printf("peer  scan for < and >:        %8.1f MB/s\n", mb / peer);
    std::printf("Parse, no events:              %8.1f MB/s  (%.2fx the peer's time)\n", mb / parse,
                parse / peer);
    std::printf("Parse, OnParsing assigned:     %8.1f MB/s  (%.2fx the peer's time)\n",
                mb / stepParse, stepParse / peer);
    tagLengths();
    return p.Hyperlinks.size() == pageLinks + 1 ? 0 : 1;
}
