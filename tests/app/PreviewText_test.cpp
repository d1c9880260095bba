// The preview's limits: how deep markup nests, and what the pane is given.
#include "app/PreviewText.h"

#include <gtest/gtest.h>

namespace {

QString repeated(const QString& piece, int times) {
    QString text;
    for (int i = 0; i < times; ++i)
        text += piece;
    return text;
}

TEST(PreviewText, NestingDepthFollowsHowElementsClose) {
    const struct {
        const char* name;
        QString html;
        int depth;
    } cases[] = {
        {"plain text", QStringLiteral("no markup at all"), 0},
        {"closed siblings", QStringLiteral("<p>a</p><p>b</p><b>c</b>"), 1},
        {"nested and closed", QStringLiteral("<ul><li><b>x</b></li></ul>"), 3},
        {"void and self-closing elements", QStringLiteral("a<br>b<hr/><img src=x><br/>"), 0},
        {"paragraphs left open follow each other", repeated(QStringLiteral("<p>x"), 50), 1},
        {"list items left open follow each other",
         QStringLiteral("<ul>") + repeated(QStringLiteral("<li>x"), 50), 2},
        {"lists left open nest", repeated(QStringLiteral("<ul><li>"), 30), 60},
        {"an end tag closes what its element holds", QStringLiteral("<div><b><i>x</div><p>y</p>"),
         3},
        {"an end tag without its element closes nothing", QStringLiteral("<b></i><i>x"), 2},
        {"a less-than sign as text", QStringLiteral("1 < 2 and <!-- c --> <3"), 0},
        {"a tag cut at the end", QStringLiteral("<b>x<i"), 2},
        {"upper-case names", QStringLiteral("<P>a<p>b</P>"), 1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(markupNestingDepth(c.html, 1000), c.depth) << c.name;
}

TEST(PreviewText, DepthCountingStopsAtTheLimitAsked) {
    EXPECT_EQ(markupNestingDepth(repeated(QStringLiteral("<ul><li>"), 20000), 101), 101);
}

TEST(PreviewText, ASynopsisWithinTheLimitsIsShownAsItIs) {
    for (const QString& synopsis : {QString(), QStringLiteral("<b>bold</b>   <pre>code</pre>"),
                                    repeated(QStringLiteral("<ul><li>"), PreviewMaxNesting / 2)})
        EXPECT_EQ(previewHtmlOf(synopsis), synopsis);
}

TEST(PreviewText, DeepMarkupIsShownAsPlainTextAfterANote) {
    const QString deep = QStringLiteral("&start") + repeated(QStringLiteral("<ul><li>"), 20000);
    const QString html = previewHtmlOf(deep);
    EXPECT_TRUE(html.startsWith(QStringLiteral("<p><i>This synopsis nests its markup too deeply")))
        << html.left(80).toStdString();
    EXPECT_TRUE(html.contains(QStringLiteral("&lt;ul&gt;&lt;li&gt;")));
    EXPECT_TRUE(html.contains(QStringLiteral("&amp;start")));
    EXPECT_FALSE(html.contains(QStringLiteral("<ul>")));
}

TEST(PreviewText, ALongSynopsisIsCutAfterANote) {
    const QString paragraph = QStringLiteral("<p>Some words of a long synopsis.</p>");
    const QString longText = repeated(paragraph, int(PreviewMaxLength / paragraph.size()) + 10);
    const QString html = previewHtmlOf(longText);
    EXPECT_TRUE(html.startsWith(QStringLiteral("<p><i>This synopsis is too long")));
    EXPECT_LT(html.size(), PreviewMaxLength + 200);
    EXPECT_TRUE(html.contains(paragraph));
}

} // namespace
