// Reader-only benchmark: parses a generated 20 MB RSS feed with a sink that
// only counts, and runs `xmllint --noout` on the same file in the same run.

#include "xml/XmlParser.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace {

class CountingSink : public TXmlReaderSink {
public:
    std::size_t elements = 0;
    std::size_t chars = 0;
    void startElement(const std::u16string&, std::vector<TXmlAttr>&& a, bool) override {
        ++elements;
        for (auto& x : a)
            chars += x.value.size();
    }
    void endElement() override {}
    void text(std::u16string&& d) override { chars += d.size(); }
    void cdata(std::u16string&& d) override { chars += d.size(); }
    void comment(std::u16string&&) override {}
    void processingInstruction(const std::u16string&, std::u16string&&) override {}
    void startDocType(const std::u16string&, const std::u16string&,
                      const std::u16string&) override {}
    void declaration(TXmlDeclKind, std::u16string&&) override {}
    void endDocType() override {}
};

std::string makeFeed(std::size_t targetBytes) {
    std::string s = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<rss version=\"2.0\">\n"
                    "  <channel>\n    <title>Bench feed</title>\n"
                    "    <link>http://example.com/</link>\n"
                    "    <description>Generated for the reader benchmark</description>\n";
    for (std::size_t i = 0; s.size() < targetBytes; ++i) {
        std::string n = std::to_string(i);
        s += "    <item>\n      <title>Headline number " + n +
             " about caf\xC3\xA9 prices</title>\n"
             "      <link>http://example.com/news/" +
             n +
             ".html</link>\n"
             "      <description>&lt;p&gt;A synopsis of story " +
             n +
             " with &lt;b&gt;markup&lt;/b&gt; and text that runs on for a while, "
             "as synopses do in real feeds.&lt;/p&gt;</description>\n"
             "      <author>editor@example.com</author>\n"
             "      <enclosure url=\"http://example.com/a/" +
             n +
             ".mp3\" length=\"12345\" type=\"audio/mpeg\"/>\n"
             "      <pubDate>Thu, 10 Dec 2026 01:00:00 +0100</pubDate>\n"
             "      <guid isPermaLink=\"false\">id-" +
             n +
             "</guid>\n"
             "      <category domain=\"http://example.com/cat\">News</category>\n"
             "    </item>\n";
    }
    s += "  </channel>\n</rss>\n";
    return s;
}

double seconds(std::chrono::steady_clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

double timeXmllint(const std::string& path) {
    auto start = std::chrono::steady_clock::now();
    pid_t pid = fork();
    if (pid == 0) {
        execlp("xmllint", "xmllint", "--noout", path.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return -1;
    return seconds(std::chrono::steady_clock::now() - start);
}

} // namespace

int main(int argc, char** argv) {
    std::size_t mb = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 20;
    std::string path = (std::filesystem::temp_directory_path() / "xml_reader_bench.xml").string();
    std::string feed = makeFeed(mb * 1024 * 1024);
    std::ofstream(path, std::ios::binary) << feed;

    const int rounds = 5;
    double best = 1e9, bestLint = 1e9;
    CountingSink sink;
    for (int r = 0; r < rounds; ++r) {
        CountingSink s;
        TXmlReaderSettings settings;
        TXmlErrorList errors;
        std::vector<std::string> temps;
        TXmlParser parser(settings, s, errors, temps);
        auto start = std::chrono::steady_clock::now();
        bool ok = parser.parseSource(path);
        best = std::min(best, seconds(std::chrono::steady_clock::now() - start));
        if (!ok) {
            std::fprintf(stderr, "parse failed\n");
            return 1;
        }
        sink = s;
        double lint = timeXmllint(path);
        if (lint < 0) {
            std::fprintf(stderr, "xmllint failed\n");
            return 1;
        }
        bestLint = std::min(bestLint, lint);
    }
    std::printf("file: %.1f MB, %zu elements, %zu characters of text\n", feed.size() / 1048576.0,
                sink.elements, sink.chars);
    std::printf("TXmlParser::parseSource: %.3f s (%.0f MB/s)\n", best,
                feed.size() / 1048576.0 / best);
    std::printf("xmllint --noout:         %.3f s (%.0f MB/s)\n", bestLint,
                feed.size() / 1048576.0 / bestLint);
    std::printf("ratio reader/xmllint:    %.2f (best of %d)\n", best / bestLint, rounds);
    std::filesystem::remove(path);
    return 0;
}
