// The capture end to end: pages served over HTTP on 127.0.0.1 become topics
// of the open feed, stored through the topic editor, in the feed file.
#include "app/SettingsKeys.h"
#include "capture/PageServer.h"
#include "feed/FeedFiles.h"
#include "form/FormFixture.h"
#include "net/ScriptedServer.h"
#include "net/TestCertificates.h"

#include <QApplication>
#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QTcpServer>
#include <QTest>

#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include <sys/stat.h>

namespace {

// One item of a feed file as another reader sees it.
struct StoredItem {
    QString title;
    QString link;
    QString description;

    bool operator==(const StoredItem&) const = default;
};

void PrintTo(const StoredItem& i, std::ostream* os) {
    *os << "(\"" << i.title.toStdString() << "\", \"" << i.link.toStdString() << "\", \""
        << i.description.toStdString() << "\")";
}

QString childText(const TXmlNodePtr& item, const char16_t* name) {
    return QString::fromStdU16String(textOf(selectNodesOf(item, name).item(0)));
}

std::vector<StoredItem> itemsIn(const QString& path) {
    TXmlObjModel model;
    EXPECT_TRUE(model.loadFromSource(path.toStdString()));
    std::vector<StoredItem> items;
    const TXmlNodeList nodes = model.document()->getElementsByTagName(u"item");
    for (long i = 0; i < nodes.length(); ++i)
        items.push_back({childText(nodes.item(i), u"title"), childText(nodes.item(i), u"link"),
                         childText(nodes.item(i), u"description")});
    return items;
}

QByteArray fixture(const char* name) {
    QFile file(QStringLiteral(QUILLO_TEST_DATA "/capture/pages/") + QLatin1String(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class FormCaptureTest : public FormFixture {
protected:
    PageServer server;
    QString feedPath;

    void SetUp() override {
        FormFixture::SetUp();
        feedPath = homePath(QStringLiteral("news.xml"));
        writeFile(feedPath, feed("News", "<item><title><![CDATA[Existing]]></title>"
                                         "<link>http://news.test/existing.html</link></item>"
                                         "<item><title></title><link></link></item>"));
        settings().writeString(SettingsKeys::PublicationSection, SettingsKeys::FilePath, feedPath);
    }

    // Starts the window if needed and captures the address with the capture
    // button, from the Topics page where the button lives.
    void capture(const QString& address) {
        if (!form)
            start();
        form->Page->setCurrentWidget(form->TopicsPage);
        QApplication::processEvents();
        form->CaptureSiteEdit->setText(address);
        QTest::mouseClick(form->AutoCaptureBtn, Qt::LeftButton);
    }

    void startAdvanced(const QString& headlineClass, const QString& synopsisClass) {
        TIniFile ini = settings();
        ini.writeBool(feedPath, SettingsKeys::AdvancedCapture, true);
        ini.writeString(feedPath, SettingsKeys::HeadlineTag, headlineClass);
        ini.writeString(feedPath, SettingsKeys::SynopsisTag, synopsisClass);
        start();
    }

    // The window is back to viewing its topics, ready for the next capture.
    void expectCaptureOver() {
        EXPECT_TRUE(form->AutoCaptureBtn->isEnabled());
        EXPECT_TRUE(form->CaptureLines.isEmpty());
        EXPECT_FALSE(form->CaptureProgressLabel->isVisible());
        EXPECT_LT(form->TopPanel->height(), form->Page->height() / 2);
        // What the panel covered is there again.
        EXPECT_TRUE(form->BottomPanel->isVisible());
        EXPECT_TRUE(form->QListBox->isVisible());
    }

    const StoredItem existing{QStringLiteral("Existing"),
                              QStringLiteral("http://news.test/existing.html"), QString()};
};

TEST_F(FormCaptureTest, BasicModeMakesATopicOfEveryAbsoluteLinkAfterTheCurrentOne) {
    server.serve("/news/index.html", {fixture("basic.html")});
    const QString address = server.url(QStringLiteral("/news/index.html"));
    capture(address);

    // Relative links, an anchor that starts with a tag and a one-character
    // headline make no topic; the same link twice makes two with its first
    // text; https is taken; a capitalised scheme is put after the page's
    // directory. The blank topic is gone.
    const QString base = server.url(QStringLiteral("/news"));
    EXPECT_EQ(itemsIn(feedPath), (std::vector<StoredItem>{
                                     existing,
                                     {"First story", "http://news.test/one.html", ""},
                                     {"Secure story", "https://secure.test/three", ""},
                                     {"Capital story", base + "/HTTP://NEWS.TEST/FOUR", ""},
                                     {"First story", "http://news.test/one.html", ""},
                                 }));
    EXPECT_EQ(settings().readString(feedPath, SettingsKeys::Capture, QString()), address);
    EXPECT_EQ(server.requestedPaths(), QList<QByteArray>{"/news/index.html"});
    EXPECT_TRUE(dialogs.messages.isEmpty()) << dialogs.messages.join(u'|').toStdString();
    // Every topic went through Save: the backup holds the feed before the
    // last one, the blank topic still in it.
    EXPECT_EQ(itemsIn(backupPathOf(feedPath)).size(), 5u);
    expectCaptureOver();
}

// Today's news sites answer on https and link to https pages.
TEST_F(FormCaptureTest, AnHttpsPageWithHttpsLinksIsCaptured) {
    ASSERT_TRUE(certificates().ok()) << certificates().error().toStdString();
    const TrustTestAuthority trust;
    const QSslConfiguration config = certificates().server(QStringLiteral("localhost"));
    ScriptedServer secure(&config);
    secure.addScript({ScriptedServer::send(
                          "HTTP/1.0 200 OK\r\nContent-Type: text/html; charset=utf-8\r\n\r\n"
                          "<html><body><a href=\"https://news.test/a.html\">Caf\xc3\xa9 opens</a>"
                          "<a href=\"https://news.test/b.html\">Second story</a></body></html>"),
                      ScriptedServer::close()});
    const QString address = QStringLiteral("https://localhost:%1/front").arg(secure.port());
    capture(address);
    EXPECT_EQ(itemsIn(feedPath),
              (std::vector<StoredItem>{existing,
                                       {QStringLiteral("Caf\u00e9 opens"),
                                        "https://news.test/a.html", ""},
                                       {"Second story", "https://news.test/b.html", ""}}));
    EXPECT_TRUE(dialogs.messages.isEmpty()) << dialogs.messages.join(u'|').toStdString();
    ASSERT_EQ(secure.connectionCount(), 1);
    EXPECT_EQ(secure.requestLine(0), "GET /front HTTP/1.0");
    expectCaptureOver();
}

// A certificate that does not check out captures nothing and says why.
TEST_F(FormCaptureTest, AnUntrustedHttpsPageCapturesNothing) {
    ASSERT_TRUE(certificates().ok()) << certificates().error().toStdString();
    const TrustTestAuthority trust;
    const QSslConfiguration config = certificates().server(QStringLiteral("rogue"));
    ScriptedServer secure(&config);
    secure.addScript({ScriptedServer::send("HTTP/1.0 200 OK\r\n\r\n"
                                           "<a href=\"https://news.test/x.html\">Forged</a>"),
                      ScriptedServer::close()});
    capture(QStringLiteral("https://localhost:%1/front").arg(secure.port()));
    EXPECT_EQ(itemsIn(feedPath), (std::vector<StoredItem>{existing}));
    ASSERT_FALSE(dialogs.messages.isEmpty());
    EXPECT_TRUE(dialogs.messages.join(u'|').contains(QStringLiteral("can't connect")))
        << dialogs.messages.join(u'|').toStdString();
    expectCaptureOver();
}

TEST_F(FormCaptureTest, EnterInTheAddressFieldCaptures) {
    server.serve("/page.html", {"<a href=\"http://news.test/e.html\">Entered story</a>"});
    start();
    form->CaptureSiteEdit->setText(server.url(QStringLiteral("/page.html")));
    QTest::keyClick(form->CaptureSiteEdit, Qt::Key_Return);
    EXPECT_EQ(itemsIn(feedPath), (std::vector<StoredItem>{
                                     existing, {"Entered story", "http://news.test/e.html", ""}}));
}

TEST_F(FormCaptureTest, AdvancedModeTakesMarkedAnchorsWithTheirSynopses) {
    server.serve("/news/index.html", {fixture("advanced.html")});
    startAdvanced(QStringLiteral("headline"), QStringLiteral("summary"));
    capture(server.url(QStringLiteral("/news/index.html")));

    EXPECT_EQ(
        itemsIn(feedPath),
        (std::vector<StoredItem>{
            existing,
            {"Div story", "http://news.test/a.html", "What <b>happened</b> today."},
            {"Span story", "http://news.test/b.html", "In short."},
            {"Relative story", server.url(QStringLiteral("/news/local/c.html")), "Close to home."},
        }));
    // The last marked anchor has no text: Save refuses it and the editor
    // stays in its adding state.
    EXPECT_FALSE(form->InViewMode);
    EXPECT_TRUE(dialogs.messages.isEmpty()) << dialogs.messages.join(u'|').toStdString();
}

TEST_F(FormCaptureTest, ASynopsisClassWithCapitalsFindsNoSynopsis) {
    server.serve("/p.html", {"<a class=\"hl\" href=\"http://news.test/1\">One</a>"
                             "<div class=\"Sum\">Never found</div>"});
    startAdvanced(QStringLiteral("hl"), QStringLiteral("Sum"));
    capture(server.url(QStringLiteral("/p.html")));
    EXPECT_EQ(itemsIn(feedPath),
              (std::vector<StoredItem>{existing, {"One", "http://news.test/1", ""}}));
}

TEST_F(FormCaptureTest, CapturedTopicsTakeNoIdentityOrMediaFromTheEditor) {
    server.serve("/p.html", {"<a href=\"http://news.test/1\">One story</a>"
                             "<a href=\"http://news.test/2\">Two story</a>"});
    start();
    form->TopicGUID->setText(QStringLiteral("episode-7"));
    form->TopicEnclosure->setText(QStringLiteral("http://news.test/episode7.mp3"));
    form->EnclosureLength->setText(QStringLiteral("123456"));
    form->EnclosureType->setText(QStringLiteral("audio/mpeg"));
    form->TopicAuthor->setText(QStringLiteral("desk@news.test"));
    capture(server.url(QStringLiteral("/p.html")));

    TXmlObjModel model;
    ASSERT_TRUE(model.loadFromSource(feedPath.toStdString()));
    const TXmlNodeList items = model.document()->getElementsByTagName(u"item");
    ASSERT_EQ(items.length(), 3);
    for (long i = 1; i < 3; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(childText(items.item(i), u"guid"), QString());
        const TXmlElementPtr enclosure =
            asElement(selectNodesOf(items.item(i), u"enclosure").item(0));
        if (enclosure) {
            EXPECT_EQ(enclosure->getAttribute(u"url"), u"");
            EXPECT_EQ(enclosure->getAttribute(u"length"), u"");
            EXPECT_EQ(enclosure->getAttribute(u"type"), u"");
        }
        // The author still repeats, as for topics entered one after another.
        EXPECT_EQ(childText(items.item(i), u"author"), QStringLiteral("desk@news.test"));
    }
}

struct FailureCase {
    const char* name;
    bool refused; // no server at all, else a 404 page
    const char* reasonStart;
};

void PrintTo(const FailureCase& c, std::ostream* os) {
    *os << c.name;
}

class FormCaptureFailure : public FormCaptureTest,
                           public ::testing::WithParamInterface<FailureCase> {};

TEST_P(FormCaptureFailure, CapturesNothingRemovesBlankTopicsAndSaysWhy) {
    QString address = server.url(QStringLiteral("/missing.html"));
    if (GetParam().refused) {
        QTcpServer closed;
        ASSERT_TRUE(closed.listen(QHostAddress(QStringLiteral("127.0.0.1")), 0));
        address = QStringLiteral("http://127.0.0.1:%1/page.html").arg(closed.serverPort());
        closed.close();
    }
    capture(address);
    EXPECT_EQ(itemsIn(feedPath), std::vector<StoredItem>{existing});
    ASSERT_EQ(dialogs.messages.size(), 1);
    EXPECT_TRUE(dialogs.messages[0].startsWith(QStringLiteral("Capture of ") + address +
                                               QStringLiteral(" failed: ") +
                                               QLatin1String(GetParam().reasonStart)))
        << dialogs.messages[0].toStdString();
    EXPECT_TRUE(dialogs.messages[0].endsWith(u'.'));
    expectCaptureOver();
}

INSTANTIATE_TEST_SUITE_P(Cases, FormCaptureFailure,
                         ::testing::Values(FailureCase{"ConnectionRefused", true,
                                                       "Connection refused"},
                                           FailureCase{"NotFound", false, "404 Not Found"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(FormCaptureTest, APageWithoutHeadlinesSaysSo) {
    server.serve("/empty.html", {"<html><body><p>Nothing to see</p></body></html>"});
    const QString address = server.url(QStringLiteral("/empty.html"));
    capture(address);
    EXPECT_EQ(dialogs.messages,
              QStringList{QStringLiteral("No headlines were found on ") + address + u'.'});
    EXPECT_EQ(itemsIn(feedPath), std::vector<StoredItem>{existing});
}

struct CharsetCase {
    const char* name;
    const char* page;
    QByteArray contentType;
    QStringList titles; // UTF-8 literals
};

void PrintTo(const CharsetCase& c, std::ostream* os) {
    *os << c.name;
}

class FormCaptureCharset : public FormCaptureTest,
                           public ::testing::WithParamInterface<CharsetCase> {};

TEST_P(FormCaptureCharset, HeadlinesKeepTheirLetters) {
    server.serve("/page.html", {fixture(GetParam().page), GetParam().contentType});
    capture(server.url(QStringLiteral("/page.html")));
    std::vector<QString> titles;
    for (const StoredItem& item : itemsIn(feedPath))
        titles.push_back(item.title);
    std::vector<QString> expected{QStringLiteral("Existing")};
    for (const QString& t : GetParam().titles)
        expected.push_back(t);
    EXPECT_EQ(titles, expected);

    // Other readers of the feed file see the same letters.
    QProcess lint;
    lint.start(QStringLiteral("xmllint"), {QStringLiteral("--noout"), feedPath});
    ASSERT_TRUE(lint.waitForFinished());
    EXPECT_EQ(lint.exitCode(), 0) << lint.readAllStandardError().toStdString();
    QProcess reader;
    reader.start(QStringLiteral("/usr/bin/python3"),
                 {QStringLiteral("-c"),
                  QStringLiteral("import feedparser, sys; d = feedparser.parse(sys.argv[1]); "
                                 "sys.stdout.buffer.write('|'.join(e.title for e in "
                                 "d.entries).encode('utf-8'))"),
                  feedPath});
    ASSERT_TRUE(reader.waitForFinished());
    EXPECT_EQ(QString::fromUtf8(reader.readAllStandardOutput()),
              QStringList(expected.begin(), expected.end()).join(u'|'));
}

INSTANTIATE_TEST_SUITE_P(Cases, FormCaptureCharset,
                         ::testing::Values(CharsetCase{"Latin1ByContentType",
                                                       "latin1.html",
                                                       "text/html; charset=ISO-8859-1",
                                                       {QString::fromUtf8("Café crème"),
                                                        QString::fromUtf8("Über “alles”")}},
                                           CharsetCase{
                                               "Utf8ByMeta",
                                               "utf8.html",
                                               "text/html",
                                               {QString::fromUtf8("Grüße aus Köln"),
                                                QString::fromUtf8("Smíle \xF0\x9F\x99\x82")}}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(FormCaptureTest, APageInSevenByteChunksCapturesAsAWhole) {
    const QByteArray page = "<html><body><p><a href=\"http://news.test/across/chunks.html\">"
                            "A headline that spans many reads</a></p>"
                            "<p><a href=\"http://news.test/second.html\">Second one</a></p>"
                            "</body></html>";
    server.serve("/chunked.html", {page, "text/html", "200 OK", 7});
    start();
    int chunks = 0;
    const TDocDataEvent handler = form->HttpCapture->OnDocData;
    form->HttpCapture->OnDocData = [&](THttpClient* sender, const char* buffer, int len) {
        handler(sender, buffer, len);
        ++chunks;
        server.sendNextPiece();
    };
    capture(server.url(QStringLiteral("/chunked.html")));
    EXPECT_GE(chunks, page.size() / 7);
    EXPECT_EQ(itemsIn(feedPath),
              (std::vector<StoredItem>{
                  existing,
                  {"A headline that spans many reads", "http://news.test/across/chunks.html", ""},
                  {"Second one", "http://news.test/second.html", ""},
              }));
}

TEST_F(FormCaptureTest, TheTopPanelCoversThePageAndCountsTheStoredHeadlines) {
    server.serve("/p.html", {"<a href=\"http://news.test/1\">One story</a>"
                             "<a href=\"http://news.test/2\">Two story</a>"});
    start();
    const QString address = server.url(QStringLiteral("/p.html"));
    QStringList shown;
    bool covered = true;
    struct PaintWatch : QObject {
        std::function<void()> seen;
        bool eventFilter(QObject*, QEvent* event) override {
            if (event->type() == QEvent::Paint)
                seen();
            return false;
        }
    } watch;
    watch.seen = [&] {
        if (!form->CaptureProgressLabel->isVisible())
            return;
        shown << form->CaptureProgressLabel->text();
        covered = covered && form->TopPanel->height() == form->Page->height();
    };
    form->TopPanel->installEventFilter(&watch);
    capture(address);
    form->TopPanel->removeEventFilter(&watch);
    shown.removeDuplicates();
    const QString prefix = QStringLiteral("Capturing ") + address + QStringLiteral(": ");
    EXPECT_EQ(shown,
              (QStringList{prefix + "0 of 2 headlines stored", prefix + "1 of 2 headlines stored",
                           prefix + "2 of 2 headlines stored"}));
    EXPECT_TRUE(covered);
    expectCaptureOver();
}

TEST_F(FormCaptureTest, ALongCapturePaintsItsLastCountAndKeepsABackupOfItsOwn) {
    constexpr int total = 150;
    QByteArray page;
    for (int i = 0; i < total; ++i)
        page += "<a href=\"http://news.test/" + QByteArray::number(i) + "\">Story " +
                QByteArray::number(i) + "</a>\r\n";
    server.serve("/long.html", {page});
    start();
    const QString address = server.url(QStringLiteral("/long.html"));
    QStringList shown;
    struct PaintWatch : QObject {
        std::function<void()> seen;
        bool eventFilter(QObject*, QEvent* event) override {
            if (event->type() == QEvent::Paint)
                seen();
            return false;
        }
    } watch;
    watch.seen = [&] {
        if (form->CaptureProgressLabel->isVisible())
            shown << form->CaptureProgressLabel->text();
    };
    form->TopPanel->installEventFilter(&watch);
    capture(address);
    form->TopPanel->removeEventFilter(&watch);
    expectCaptureOver();

    const QString prefix = QStringLiteral("Capturing ") + address + QStringLiteral(": ");
    ASSERT_FALSE(shown.isEmpty());
    EXPECT_EQ(shown.first(), prefix + "0 of 150 headlines stored");
    EXPECT_EQ(shown.last(), prefix + "150 of 150 headlines stored");

    std::vector<StoredItem> expected{existing};
    for (int i = 0; i < total; ++i)
        expected.push_back({QStringLiteral("Story %1").arg(i),
                            QStringLiteral("http://news.test/%1").arg(i), QString()});
    EXPECT_EQ(itemsIn(feedPath), expected);
    // The tree shows them as a rebuild from the feed does.
    QStringList captions;
    for (int k = 0; k < form->channelNode()->childCount(); ++k)
        captions << form->channelNode()->child(k)->text(0);
    QStringList stored;
    for (const StoredItem& item : expected)
        stored << item.title;
    EXPECT_EQ(captions, stored);

    // The backup is the feed before the last Save, blank topic and all, and a
    // file of its own that later writes of the feed file leave alone.
    const std::vector<StoredItem> backup = itemsIn(backupPathOf(feedPath));
    QStringList backupTitles;
    for (const StoredItem& item : backup)
        backupTitles << item.title;
    stored.removeLast();
    stored << QString();
    backupTitles.sort();
    stored.sort();
    EXPECT_EQ(backupTitles, stored);
    struct stat feedSt {
    }, backupSt{};
    ASSERT_EQ(::stat(QFile::encodeName(feedPath).constData(), &feedSt), 0);
    ASSERT_EQ(::stat(QFile::encodeName(backupPathOf(feedPath)).constData(), &backupSt), 0);
    EXPECT_EQ(backupSt.st_nlink, 1u);
    EXPECT_NE(backupSt.st_ino, feedSt.st_ino);
}

struct AdvancedSettingsCase {
    const char* name;
    bool checkedBefore;
    std::vector<std::optional<QString>> answers;
    bool checkedAfter;
    int prompts;
    const char* headlineTag; // nullptr: not written
    const char* synopsisTag;
};

void PrintTo(const AdvancedSettingsCase& c, std::ostream* os) {
    *os << c.name;
}

class FormCaptureAdvancedSettings : public FormCaptureTest,
                                    public ::testing::WithParamInterface<AdvancedSettingsCase> {};

TEST_P(FormCaptureAdvancedSettings, ClickingTheBoxAsksForClassNamesAndStoresThem) {
    const AdvancedSettingsCase& c = GetParam();
    if (c.checkedBefore)
        settings().writeBool(feedPath, SettingsKeys::AdvancedCapture, true);
    start();
    ASSERT_EQ(form->Advanced->isChecked(), c.checkedBefore);
    for (const auto& answer : c.answers)
        dialogs.promptAnswers.push_back(answer);
    QTest::mouseClick(form->Advanced, Qt::LeftButton);

    EXPECT_EQ(form->Advanced->isChecked(), c.checkedAfter);
    EXPECT_EQ(dialogs.prompts.size(), c.prompts);
    if (c.prompts == 2) {
        EXPECT_EQ(dialogs.prompts, (QStringList{"Headline Class Name", "Synopsis Class Name"}));
    }
    const QString missing = QStringLiteral("(none)");
    EXPECT_EQ(settings().readString(feedPath, SettingsKeys::AdvancedCapture, missing),
              c.checkedAfter ? QStringLiteral("1") : QStringLiteral("0"));
    EXPECT_EQ(settings().readString(feedPath, SettingsKeys::HeadlineTag, missing),
              c.headlineTag ? QString::fromUtf8(c.headlineTag) : missing);
    EXPECT_EQ(settings().readString(feedPath, SettingsKeys::SynopsisTag, missing),
              c.synopsisTag ? QString::fromUtf8(c.synopsisTag) : missing);
    EXPECT_EQ(form->HeadlineClassName,
              c.headlineTag ? QString::fromUtf8(c.headlineTag) : QString());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FormCaptureAdvancedSettings,
    ::testing::Values(
        AdvancedSettingsCase{
            "CheckingAsksForBoth", false, {"headline", "summary"}, true, 2, "headline", "summary"},
        AdvancedSettingsCase{"UncheckingAsksNothing", true, {}, false, 0, nullptr, nullptr},
        AdvancedSettingsCase{"CancellingBothWithoutNamesUnchecks", false, {}, false, 2, "", ""},
        AdvancedSettingsCase{
            "AnEmptySynopsisClassUnchecks", false, {"headline", ""}, false, 2, "headline", ""}),
    [](const auto& info) { return std::string(info.param.name); });
