// The capture's model on a generated 1 MB page with 1,000 absolute links:
// decoding the bytes and the headlines of basic and advanced mode, against a
// peer measured in the same run: the HTML page parser's load and parse of the
// same page, which every capture runs first. Then pages of growing length, to
// show that both modes take time in proportion to the page.
#include "capture/CaptureHeadlines.h"
#include "capture/HtmlParser.h"
#include "capture/PageText.h"

#include <QByteArray>
#include <QString>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace {

constexpr qsizetype pageBytes = 1'000'000;
constexpr int pageLinks = 1'000;
constexpr int rounds = 7;

// News-site shaped markup: per link a headline anchor of class "headline", a
// synopsis div of class "synopsis" with accented text, and filler.
QByteArray makePage(qsizetype bytes, int links) {
    QByteArray page = "<html><head><meta charset=\"utf-8\"><title>Daily News</title></head>"
                      "<body>\r\n";
    const QByteArray filler = "Lorem ipsum dolor sit amet, consectetur adipiscing elit, sed do "
                              "eiusmod tempor incididunt ut labore et dolore magna aliqua. ";
    const qsizetype perBlock = (bytes - page.size() - 32) / links;
    for (int i = 0; i < links; ++i) {
        const QByteArray n = QByteArray::number(i);
        const QByteArray href = (i % 4 == 3 ? "https://secure.example.com/s/"
                                            : "http://news.example.com/2026/12/story-") +
                                n + ".html";
        QByteArray block = "<div class=\"item\"><h2><a class=\"headline\" href=\"" + href +
                           "\">Headline number " + n +
                           " \xC3\xA0 la une</a></h2>\r\n<div class=\"synopsis\">Caf\xC3\xA9 ";
        while (block.size() + 20 < perBlock)
            block += filler.left(std::min(filler.size(), perBlock - 20 - block.size()));
        block += "</div></div>\r\n";
        page += block;
    }
    page += "</body></html>\r\n";
    return page;
}

// The median of several rounds, after one that warms the caches and the
// allocator up.
double secondsOf(const std::function<void()>& work) {
    work();
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

const QString address = QStringLiteral("http://news.example.com/index.html");

void pageLengths() {
    std::printf("\npages of growing length, one link per KB (time per byte should stay flat)\n");
    std::printf("%10s  %16s  %16s\n", "bytes", "basic ns/byte", "advanced ns/byte");
    for (qsizetype bytes : {250'000, 1'000'000, 4'000'000}) {
        const QByteArray raw = makePage(bytes, static_cast<int>(bytes / 1000));
        const QString page = decodePage(raw, QString());
        THTMLParser parser;
        parser.loadFromBuffer(page.toStdU16String());
        parser.Parse();
        const double basic =
            secondsOf([&] { basicHeadlines(page, parser.Parsed().WebLinks, address); });
        const double advanced = secondsOf([&] {
            advancedHeadlines(page, address, QStringLiteral("headline"),
                              QStringLiteral("synopsis"));
        });
        std::printf("%10lld  %16.2f  %16.2f\n", static_cast<long long>(raw.size()),
                    basic * 1e9 / static_cast<double>(raw.size()),
                    advanced * 1e9 / static_cast<double>(raw.size()));
    }
}

} // namespace

int main() {
    const QByteArray raw = makePage(pageBytes, pageLinks);
    QString page;
    const double decode = secondsOf([&] { page = decodePage(raw, QString()); });
    THTMLParser parser;
    const double peer = secondsOf([&] {
        parser.loadFromBuffer(page.toStdU16String());
        parser.Parse();
    });
    TCapturedTopics basic;
    const double basicTime =
        secondsOf([&] { basic = basicHeadlines(page, parser.Parsed().WebLinks, address); });
    TCapturedTopics advanced;
    const double advancedTime = secondsOf([&] {
        advanced = advancedHeadlines(page, address, QStringLiteral("headline"),
                                     QStringLiteral("synopsis"));
    });

    std::printf("page: %.2f MB, %d links (%zu web links), %lld basic and %lld advanced topics\n",
                static_cast<double>(raw.size()) / 1e6, pageLinks, parser.Parsed().WebLinks.size(),
                static_cast<long long>(basic.size()), static_cast<long long>(advanced.size()));
    std::printf("peer  load and Parse:     %8.2f ms\n", peer * 1e3);
    std::printf("decodePage:           %8.2f ms  (%.2fx the peer's time)\n", decode * 1e3,
                decode / peer);
    std::printf("basicHeadlines:       %8.2f ms  (%.2fx)\n", basicTime * 1e3, basicTime / peer);
    std::printf("advancedHeadlines:    %8.2f ms  (%.2fx)\n", advancedTime * 1e3,
                advancedTime / peer);
    pageLengths();
    return basic.size() == pageLinks && advanced.size() == pageLinks ? 0 : 1;
}
