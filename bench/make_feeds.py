#!/usr/bin/env python3
"""Writes the two feeds the whole-process XML benchmark runs on.

  make_feeds.py DIR

DIR/utf8.xml    about 20 MB, UTF-8, multibyte text (accented Latin, Greek,
                CJK), CDATA titles and descriptions, character references,
                attributes and enclosures.
DIR/latin1.xml  about 20 MB, ISO-8859-1 bytes, character references for
                everything Latin-1 cannot hold.
"""
import os
import sys

WORDS_UTF8 = ["Café", "naïve", "résumé", "Übergrößen", "Ελλάδα", "αβγ", "東京", "北京",
              "新聞", "crème", "brûlée", "façade", "Ζεύς", "日本語", "über", "piñata"]
WORDS_ASCII = ["market", "prices", "council", "weather", "report", "season", "league",
               "station", "harbour", "museum", "festival", "budget", "election"]


def item_utf8(i):
    words = " ".join(WORDS_UTF8[(i + k) % len(WORDS_UTF8)] + " " +
                     WORDS_ASCII[(i * 3 + k) % len(WORDS_ASCII)] for k in range(40))
    return (
        "    <item>\n"
        f"      <title><![CDATA[Headline {i}: {WORDS_UTF8[i % 16]} {WORDS_UTF8[(i + 5) % 16]} "
        f"— 5 € &amp; more]]></title>\n"
        f"      <link>http://127.0.0.1/news/{i}.html?a=1&amp;b=2</link>\n"
        f"      <description><![CDATA[<p>{words}</p><p>{words[:300]}</p>]]></description>\n"
        f"      <author>editor@example.com (R&#233;dacteur &#x263A; {i})</author>\n"
        f"      <category domain=\"http://127.0.0.1/cat?x=&quot;{i % 7}&quot;\">News &amp; "
        f"{WORDS_UTF8[i % 16]}</category>\n"
        f"      <guid isPermaLink=\"false\">id-{i}</guid>\n"
        f"      <enclosure length=\"{12345 + i}\" type=\"audio/mpeg\" "
        f"url=\"http://127.0.0.1/a/{i}.mp3\"/>\n"
        "      <pubDate>Thu, 10 Dec 2026 01:00:00 +0100</pubDate>\n"
        "    </item>\n")


def item_latin1(i):
    words = " ".join(["café", "naïve", "résumé", "Übergröße", "crème", "façade", "señor",
                      "Ærø", "þorn", "ßtraße"][(i + k) % 10] + " " +
                     WORDS_ASCII[(i * 3 + k) % len(WORDS_ASCII)] for k in range(40))
    return (
        "    <item>\n"
        f"      <title>Headline {i}: prix en &#8364; &#8212; caf&#233; &amp; th&#233; "
        f"&#x3B1;&#x3B2;</title>\n"
        f"      <link>http://127.0.0.1/news/{i}.html?a=1&amp;b=2</link>\n"
        f"      <description>&lt;p&gt;{words} &#8220;quoted&#8221; &#x4E1C;&#x4EAC;"
        f"&lt;/p&gt;&lt;p&gt;{words[:300]}&lt;/p&gt;</description>\n"
        f"      <author>editor@example.com (R&#233;dacteur {i})</author>\n"
        f"      <category domain=\"http://127.0.0.1/cat\">Nouvelles &amp; vues</category>\n"
        f"      <guid isPermaLink=\"false\">id-{i}</guid>\n"
        f"      <enclosure length=\"{12345 + i}\" type=\"audio/mpeg\" "
        f"url=\"http://127.0.0.1/a/{i}.mp3\"/>\n"
        "      <pubDate>Thu, 10 Dec 2026 01:00:00 +0100</pubDate>\n"
        "    </item>\n")


def write(path, encoding, item, target=20_000_000):
    head = (f'<?xml version="1.0" encoding="{encoding}"?>\n<rss version="2.0">\n  <channel>\n'
            "    <title>Benchmark feed</title>\n    <link>http://127.0.0.1/</link>\n"
            "    <description>Generated for the whole-process benchmark</description>\n")
    parts, size, i = [head], len(head), 0
    while size < target:
        s = item(i)
        parts.append(s)
        size += len(s.encode("utf-8" if encoding == "UTF-8" else "latin-1"))
        i += 1
    parts.append("  </channel>\n</rss>\n")
    text = "".join(parts)
    with open(path, "wb") as f:
        f.write(text.encode("utf-8" if encoding == "UTF-8" else "latin-1"))
    return i, os.path.getsize(path)


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else "."
    os.makedirs(out, exist_ok=True)
    for name, enc, fn in (("utf8.xml", "UTF-8", item_utf8), ("latin1.xml", "ISO-8859-1", item_latin1)):
        n, size = write(os.path.join(out, name), enc, fn)
        print(f"{name}: {n} items, {size / 1e6:.1f} MB")


if __name__ == "__main__":
    main()
