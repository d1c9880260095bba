// Engine benchmark: loads a generated 20 MB RSS feed into the document
// (reader plus tree building) and runs `xmllint --noout` on the same file in
// the same run; times writing the document back (xmlText and encoding); and
// measures the peak memory of a load in a fresh child process.
//
//   bench_xml [RUNS]        RUNS (default 5) timed runs each, best of them
//   bench_xml --feed FILE   writes the generated feed to FILE (for profiling)
//   bench_xml --peak FILE   internal: the child that loads FILE once

#include "xml/XmlDom.h"
#include "xml/XmlWriter.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr int kItems = 20000;

using Clock = std::chrono::steady_clock;

double seconds(Clock::time_point a, Clock::time_point b) {
    return std::chrono::duration<double>(b - a).count();
}

// About 1 KB per item: CDATA title and description, attributes, references,
// Latin-1 and non-Latin-1 text.
std::string makeFeed() {
    std::string s = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<rss version=\"2.0\">\n"
                    "  <channel>\n    <title>Bench feed &#8212; caf\xC3\xA9</title>\n"
                    "    <link>http://127.0.0.1/</link>\n"
                    "    <description>Generated for the engine benchmark</description>\n";
    for (int i = 0; i < kItems; ++i) {
        std::string n = std::to_string(i);
        s += "    <item>\n"
             "      <title><![CDATA[Headline " +
             n +
             ": Caf\xC3\xA9 prices rise by 5 \xE2\x82\xAC in \xD0\x9C\xD0\xBE\xD1\x81\xD0\xBA"
             "\xD0\xB2\xD0\xB0 and \xE6\x9D\xB1\xE4\xBA\xAC]]></title>\n"
             "      <link>http://127.0.0.1/news/" +
             n +
             ".html?a=1&amp;b=2&amp;c=3</link>\n"
             "      <description><![CDATA[<p>A synopsis of story " +
             n +
             " with <b>markup</b> and text that runs on for a while, as synopses do in real "
             "feeds. Na\xC3\xAFve r\xC3\xA9sum\xC3\xA9s, \xC3\x9C"
             "bergr\xC3\xB6\xC3\x9F"
             "en, "
             "\xCE\xB1\xCE\xB2\xCE\xB3 and \xF0\x9F\x98\x80 appear too. The text goes on and on "
             "so that every item is about one kilobyte long, which is what a real feed with "
             "long synopses looks like; some feeds carry much longer ones, and a few of them "
             "quote whole paragraphs of the story itself.</p>]]></description>\n"
             "      <author>editor@example.com (R&#233;dacteur en chef &#x263A;)</author>\n"
             "      <category domain=\"http://127.0.0.1/cat?x=&quot;1&quot;\">News &amp; "
             "Views</category>\n"
             "      <guid isPermaLink=\"false\">id-" +
             n +
             "</guid>\n"
             "      <enclosure length=\"12345\" type=\"audio/mpeg\" url=\"http://127.0.0.1/a/" +
             n +
             ".mp3\"/>\n"
             "      <pubDate>Thu, 10 Dec 2026 01:00:00 +0100</pubDate>\n"
             "    </item>\n";
    }
    s += "  </channel>\n</rss>\n";
    return s;
}

long statusKb(const char* key) {
    std::ifstream in("/proc/self/status");
    std::string line;
    std::size_t n = std::char_traits<char>::length(key);
    while (std::getline(in, line))
        if (line.compare(0, n, key) == 0)
            return std::atol(line.c_str() + n);
    return -1;
}

int peakChild(const char* file) {
    long before = statusKb("VmRSS:");
    TXmlObjModel model;
    bool ok = model.loadFromSource(file);
    long peak = statusKb("VmHWM:");
    std::printf("%ld %ld %d\n", before, peak, ok ? 1 : 0);
    return ok ? 0 : 1;
}

double runXmllint(const std::string& file) {
    auto t0 = Clock::now();
    pid_t pid = fork();
    if (pid == 0) {
        execlp("xmllint", "xmllint", "--noout", file.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    int st = 0;
    waitpid(pid, &st, 0);
    auto t1 = Clock::now();
    if (!WIFEXITED(st) || WEXITSTATUS(st) != 0)
        return -1;
    return seconds(t0, t1);
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::string(argv[1]) == "--peak")
        return peakChild(argv[2]);
    if (argc == 3 && std::string(argv[1]) == "--feed") {
        std::ofstream(argv[2], std::ios::binary) << makeFeed();
        return 0;
    }
    int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;

    std::string feed = makeFeed();
    std::filesystem::path file = std::filesystem::temp_directory_path() /
                                 ("quillo-bench-xml-" + std::to_string(getpid()) + ".xml");
    std::ofstream(file, std::ios::binary) << feed;
    double mb = feed.size() / 1e6;
    std::printf("feed: %d items, %.1f MB\n", kItems, mb);

    double bestLoad = 1e9, bestLint = 1e9, bestWrite = 1e9;
    std::size_t written = 0;
    bool ok = true;
    for (int r = 0; r < runs; ++r) {
        TXmlObjModel model;
        auto t0 = Clock::now();
        ok = model.loadFromSource(file.string()) && ok;
        auto t1 = Clock::now();
        bestLoad = std::min(bestLoad, seconds(t0, t1));

        auto t2 = Clock::now();
        std::string bytes = xmlBytes(*model.document());
        auto t3 = Clock::now();
        bestWrite = std::min(bestWrite, seconds(t2, t3));
        written = bytes.size();

        double lint = runXmllint(file.string());
        if (lint < 0) {
            std::printf("xmllint failed on the feed\n");
            return 1;
        }
        bestLint = std::min(bestLint, lint);
    }
    if (!ok) {
        std::printf("the engine failed to load the feed\n");
        return 1;
    }
    std::printf("load (reader + tree): %.3f s, %.1f MB/s\n", bestLoad, mb / bestLoad);
    std::printf("xmllint --noout:      %.3f s, %.1f MB/s\n", bestLint, mb / bestLint);
    std::printf("load / xmllint speed: %.2f\n", bestLint / bestLoad);
    std::printf("write (xmlText + encode): %.3f s, %.1f MB/s of output (%.1f MB)\n", bestWrite,
                written / 1e6 / bestWrite, written / 1e6);

    std::string cmd = "'" + std::string(argv[0]) + "' --peak '" + file.string() + "'";
    if (FILE* p = popen(cmd.c_str(), "r")) {
        long before = 0, peak = 0;
        int loaded = 0;
        if (std::fscanf(p, "%ld %ld %d", &before, &peak, &loaded) == 3 && loaded)
            std::printf("peak memory of a load: %.1f MB above a %.1f MB base, %.2fx the file\n",
                        (peak - before) / 1024.0, before / 1024.0,
                        (peak - before) * 1024.0 / feed.size());
        pclose(p);
    }
    std::filesystem::remove(file);
    return 0;
}
