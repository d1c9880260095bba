// The unattended run as cron starts it: the real program in a child process,
// with no display, over a temporary program directory, capturing pages from a
// loopback web server and publishing into a local directory or onto the FTP
// server from Debian. Every run is bounded by a timeout. The last tests run
// the window in this process, as a run with a display would.
#include "app/SettingsKeys.h"
#include "capture/PageServer.h"
#include "editing/TopicDate.h"
#include "form/FormFixture.h"
#include "net/ScriptedServer.h"
#include "net/TestCertificates.h"
#include "xml/FtpTestServer.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QPushButton>

#include <string>
#include <vector>

#ifndef QUILLO_PROGRAM
#error "QUILLO_PROGRAM names the quillo executable"
#endif

namespace {

// How a child run of the program ended.
struct RunResult {
    bool finished = false; // ended by itself within the timeout
    int exitCode = -1;
    QString standardError;
};

// An item of a published feed as feedparser reads it.
struct ReadItem {
    QString title;
    QString link;
    QString published;
    QString id;
};

struct ReadFeed {
    bool wellFormed = false;
    QString problem;
    std::vector<ReadItem> items;

    QStringList titles() const {
        QStringList out;
        for (const ReadItem& item : items)
            out << item.title;
        return out;
    }
    const ReadItem* withLink(const QString& link) const {
        for (const ReadItem& item : items)
            if (item.link == link)
                return &item;
        return nullptr;
    }
};

ReadFeed readWithFeedparser(const QString& path) {
    QProcess reader;
    reader.start(
        QStringLiteral("/usr/bin/python3"),
        {QStringLiteral("-c"),
         QStringLiteral("import feedparser, json, sys\n"
                        "d = feedparser.parse(sys.argv[1])\n"
                        "print(json.dumps({'bozo': bool(d.bozo), 'problem': "
                        "str(d.get('bozo_exception', '')),\n"
                        "  'items': [{'title': e.get('title', ''), 'link': e.get('link', ''),\n"
                        "             'published': e.get('published', ''), 'id': e.get('id', '')}\n"
                        "            for e in d.entries]}))\n"),
         path});
    ReadFeed feed;
    if (!reader.waitForFinished(60000)) {
        reader.kill();
        reader.waitForFinished();
        feed.problem = QStringLiteral("feedparser did not finish");
        return feed;
    }
    const QJsonObject result = QJsonDocument::fromJson(reader.readAllStandardOutput()).object();
    feed.wellFormed = !result.value(QStringLiteral("bozo")).toBool(true);
    feed.problem = result.value(QStringLiteral("problem")).toString() +
                   QString::fromUtf8(reader.readAllStandardError());
    for (const QJsonValue value : result.value(QStringLiteral("items")).toArray()) {
        const QJsonObject item = value.toObject();
        feed.items.push_back({item.value(QStringLiteral("title")).toString(),
                              item.value(QStringLiteral("link")).toString(),
                              item.value(QStringLiteral("published")).toString(),
                              item.value(QStringLiteral("id")).toString()});
    }
    return feed;
}

const QByteArray page = "<html><body><h1>Today</h1>"
                        "<p><a href=\"http://news.test/one.html\">First story</a></p>"
                        "<p><a href=\"http://news.test/two.html\">Second story</a></p>"
                        "</body></html>";

class UnattendedRunTest : public FormFixture {
protected:
    PageServer server;
    QTemporaryDir elsewhere; // the child's working directory and the local target
    QString feedPath;
    QString publishDir;
    QString publishedPath;

    void SetUp() override {
        FormFixture::SetUp();
        ASSERT_TRUE(elsewhere.isValid());
        feedPath = homePath(QStringLiteral("news.xml"));
        publishDir = elsewhere.path() + QStringLiteral("/www");
        publishedPath = publishDir + QStringLiteral("/public.xml");
        ASSERT_TRUE(QDir().mkpath(publishDir));
        writeFile(feedPath,
                  feed("News", "<item><title><![CDATA[Old story]]></title>"
                               "<link>http://news.test/old.html</link>"
                               "<pubDate>Mon, 02 Mar 2026 08:00:00 +0000</pubDate></item>"));
        server.serve("/page.html", {page});
        TIniFile ini = settings();
        ini.writeString(feedPath, SettingsKeys::Capture, server.url(QStringLiteral("/page.html")));
        ini.writeString(feedPath, SettingsKeys::FileName, QStringLiteral("public.xml"));
        ini.writeString(SettingsKeys::PublishSection, SettingsKeys::Location,
                        SettingsKeys::LocalRadioLocation);
        ini.writeString(SettingsKeys::PublishSection, SettingsKeys::LocalPath, publishDir);
    }

    // Runs the program as cron would: no display of any kind, the program
    // directory in QUILLO_HOME, another working directory. The web server of
    // this process keeps serving while the child runs.
    RunResult run(const QStringList& arguments) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            environment.remove(QString::fromLatin1(name));
        environment.insert(QStringLiteral("QUILLO_HOME"), home.path());
        QProcess child;
        child.setProcessEnvironment(environment);
        child.setWorkingDirectory(elsewhere.path());
        child.start(QStringLiteral(QUILLO_PROGRAM), arguments);
        RunResult result;
        if (!child.waitForStarted(30000))
            return result;
        result.finished =
            QTest::qWaitFor([&] { return child.state() == QProcess::NotRunning; }, 90000);
        if (!result.finished) {
            child.kill();
            child.waitForFinished();
        }
        result.exitCode = child.exitStatus() == QProcess::NormalExit ? child.exitCode() : -1;
        result.standardError = QString::fromUtf8(child.readAllStandardError());
        return result;
    }

    static std::string describe(const RunResult& result) {
        return "exit " + std::to_string(result.exitCode) +
               ", standard error: " + result.standardError.toStdString();
    }
};

// A feed that readers would misread does not go out unattended: the check's
// findings are the run's log, and nothing is published.
TEST_F(UnattendedRunTest, AFeedWithCheckErrorsIsNotPublished) {
    writeFile(feedPath, feed("News", "", "<docs>see our site</docs>"));
    const RunResult result = run({QStringLiteral("news.xml")});
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.exitCode, 2) << describe(result);
    EXPECT_TRUE(result.standardError.contains(feedPath + QStringLiteral(": error: channel docs")))
        << describe(result);
    EXPECT_FALSE(QFile::exists(publishedPath));
}

TEST_F(UnattendedRunTest, TheCapturedHeadlinesArePublishedIntoTheLocalDirectory) {
    const QDateTime before = QDateTime::currentDateTimeUtc().addSecs(-1);
    const RunResult result = run({QStringLiteral("news.xml")});
    const QDateTime after = QDateTime::currentDateTimeUtc().addSecs(1);

    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.exitCode, 0) << describe(result);
    // A published feed is no news: standard error holds at most the feed
    // check's warnings (captured topics carry no guid).
    for (const QString& line : result.standardError.split(u'\n', Qt::SkipEmptyParts))
        EXPECT_TRUE(line.contains(QStringLiteral(": warning: "))) << describe(result);
    EXPECT_EQ(server.requestedPaths(), QList<QByteArray>{"/page.html"});

    // The page's headlines replace the feed's topics; the blank item the
    // clearing left is gone.
    const ReadFeed published = readWithFeedparser(publishedPath);
    EXPECT_TRUE(published.wellFormed) << published.problem.toStdString();
    EXPECT_EQ(published.titles(),
              (QStringList{QStringLiteral("First story"), QStringLiteral("Second story")}));
    for (const ReadItem& item : published.items) {
        const auto date = parseFeedDate(item.published);
        ASSERT_TRUE(date) << item.published.toStdString();
        EXPECT_GE(*date, before);
        EXPECT_LE(*date, after);
    }
    EXPECT_EQ(readWithFeedparser(feedPath).titles(), published.titles());
}

TEST_F(UnattendedRunTest, TheFeedIsStoredOnTheFtpServerWhenTheLoginIsAccepted) {
    ftptest::FtpTestServer ftp;
    ASSERT_TRUE(ftp.start());
    ftp.write("feeds/.keep", "");
    TIniFile ini = settings();
    ini.writeString(SettingsKeys::PublishSection, SettingsKeys::Location,
                    SettingsKeys::FTPRadioLocation);
    ini.writeString(SettingsKeys::PublishSection, SettingsKeys::FTPPath,
                    QString::fromStdString(ftp.host() + "/feeds"));
    ini.writeString(feedPath, SettingsKeys::UserID, QString::fromStdString(ftp.user));

    // A refused login publishes nothing and says so.
    ini.writeString(feedPath, SettingsKeys::Password, QStringLiteral("wrong"));
    const RunResult refused = run({QStringLiteral("news.xml")});
    ASSERT_TRUE(refused.finished);
    EXPECT_EQ(refused.exitCode, 2) << describe(refused);
    EXPECT_TRUE(refused.standardError.contains(QStringLiteral("was not published")))
        << describe(refused);
    EXPECT_EQ(ftp.names("feeds"), std::vector<std::string>{".keep"});

    ini.writeString(feedPath, SettingsKeys::Password, QString::fromStdString(ftp.password));
    const RunResult result = run({QStringLiteral("news.xml")});
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.exitCode, 0) << describe(result);
    const QString stored = elsewhere.path() + QStringLiteral("/stored.xml");
    writeFile(stored, QByteArray::fromStdString(ftp.read("feeds/public.xml")));
    const ReadFeed published = readWithFeedparser(stored);
    EXPECT_TRUE(published.wellFormed) << published.problem.toStdString();
    EXPECT_EQ(published.titles(),
              (QStringList{QStringLiteral("First story"), QStringLiteral("Second story")}));
    // The local directory is not the target.
    EXPECT_FALSE(QFile::exists(publishedPath));
}

TEST_F(UnattendedRunTest, AnAddressArgumentIsDownloadedFirstAndTheRunWorksOnTheDownload) {
    QFile::remove(feedPath);
    server.serve("/feeds/news.xml",
                 {feed("Downloaded", "<item><title><![CDATA[Old story]]></title>"
                                     "<link>http://news.test/old.html</link></item>"),
                  "application/rss+xml"});
    // The "http" test is on the lower-cased argument.
    QString address = server.url(QStringLiteral("/feeds/news.xml"));
    address.replace(0, 4, QStringLiteral("HTTP"));

    const RunResult result = run({address});

    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.exitCode, 0) << describe(result);
    EXPECT_EQ(server.requestedPaths(), (QList<QByteArray>{"/feeds/news.xml", "/page.html"}));
    const ReadFeed published = readWithFeedparser(publishedPath);
    EXPECT_TRUE(published.wellFormed) << published.problem.toStdString();
    EXPECT_EQ(published.titles(),
              (QStringList{QStringLiteral("First story"), QStringLiteral("Second story")}));
    EXPECT_EQ(readWithFeedparser(feedPath).titles(), published.titles());
    EXPECT_EQ(
        settings().readString(SettingsKeys::PublicationSection, SettingsKeys::FilePath, QString()),
        feedPath);
}

// Today's feeds and pages are on https: both the download and the capture
// verify the server's certificate (the test authority is trusted through
// SSL_CERT_FILE, which the child inherits).
TEST_F(UnattendedRunTest, AnHttpsAddressIsDownloadedAndItsHttpsPageCaptured) {
    ASSERT_TRUE(certificates().ok()) << certificates().error().toStdString();
    const TrustTestAuthority trust;
    const QSslConfiguration config = certificates().server(QStringLiteral("localhost"));
    ScriptedServer secure(&config);
    const QString base = QStringLiteral("https://localhost:%1").arg(secure.port());
    QFile::remove(feedPath);
    secure.addScript({ScriptedServer::send("HTTP/1.0 200 OK\r\nContent-Type: application/rss+xml"
                                           "\r\n\r\n" +
                                           feed("Downloaded", "<item><title>Old</title>"
                                                              "<link>https://news.test/old</link>"
                                                              "</item>")),
                      ScriptedServer::close()});
    secure.addScript({ScriptedServer::send(
                          "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\n"
                          "<a href=\"https://news.test/s1\">Secure one</a>"
                          "<a href=\"https://news.test/s2\">Secure two</a>"),
                      ScriptedServer::close()});
    settings().writeString(feedPath, SettingsKeys::Capture, base + QStringLiteral("/front"));

    const RunResult result = run({base + QStringLiteral("/feeds/news.xml")});

    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.exitCode, 0) << describe(result);
    ASSERT_EQ(secure.connectionCount(), 2);
    EXPECT_EQ(secure.requestLine(0), "GET /feeds/news.xml HTTP/1.0");
    EXPECT_EQ(secure.requestLine(1), "GET /front HTTP/1.0");
    const ReadFeed published = readWithFeedparser(publishedPath);
    EXPECT_TRUE(published.wellFormed) << published.problem.toStdString();
    EXPECT_EQ(published.titles(),
              (QStringList{QStringLiteral("Secure one"), QStringLiteral("Secure two")}));
}

TEST_F(UnattendedRunTest, AnAddressThatGivesNoFeedEndsTheRunWithoutWritingAnything) {
    server.serve("/feeds/page.xml", {"<html><body>No feed here</body></html>"});
    const struct {
        const char* path;
        const char* message; // %1: the address
    } cases[] = {
        {"/feeds/gone.xml", "The feed could not be downloaded from %1: 404 Not Found."},
        {"/feeds/page.xml", "Selected Publication file is not properly formatted."},
    };
    const QByteArray before = readFile(feedPath);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        const QString address = server.url(QString::fromLatin1(c.path));

        const RunResult result = run({address});

        ASSERT_TRUE(result.finished);
        EXPECT_EQ(result.exitCode, 2) << describe(result);
        EXPECT_TRUE(result.standardError.contains(QString::fromLatin1(c.message).arg(address)))
            << describe(result);
        EXPECT_TRUE(result.standardError.contains(QStringLiteral("was not published")))
            << describe(result);
        EXPECT_EQ(server.requestedPaths().constLast(), QByteArray(c.path));
        EXPECT_FALSE(QFile::exists(publishedPath));
        EXPECT_EQ(readFile(feedPath), before);
        // Nothing was written under the address taken as a path either.
        EXPECT_EQ(QDir(elsewhere.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                  QStringList{QStringLiteral("www")});
    }
}

// A capture that got nothing to publish: the run publishes nothing, and the
// feed keeps the topics it had.
struct FailedCaptureCase {
    const char* name;
    QByteArray path;
    PageServer::Page page;
    bool refused;       // the address is a port nobody listens on
    const char* reason; // %1: the capture's address
};

class UnattendedRunFailedCapture : public UnattendedRunTest,
                                   public ::testing::WithParamInterface<FailedCaptureCase> {};

TEST_P(UnattendedRunFailedCapture, KeepsThePublishedCopyAndTheFeedAndEndsWithStatusTwo) {
    const FailedCaptureCase& c = GetParam();
    const QString address =
        c.refused ? QStringLiteral("http://127.0.0.1:%1/page.html").arg(ftptest::freePort())
                  : server.url(QString::fromLatin1(c.path));
    if (!c.refused)
        server.serve(c.path, c.page);
    settings().writeString(feedPath, SettingsKeys::Capture, address);
    const QByteArray earlier = "the copy readers have now";
    writeFile(publishedPath, earlier);

    const RunResult result = run({QStringLiteral("news.xml")});

    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.exitCode, 2) << describe(result);
    EXPECT_TRUE(result.standardError.contains(QString::fromLatin1(c.reason).arg(address)))
        << describe(result);
    EXPECT_EQ(readFile(publishedPath), earlier);
    EXPECT_EQ(readWithFeedparser(feedPath).titles(), QStringList{QStringLiteral("Old story")});
}

INSTANTIATE_TEST_SUITE_P(
    Cases, UnattendedRunFailedCapture,
    ::testing::Values(FailedCaptureCase{"Refused", "", {}, true, "Capture of %1 failed: "},
                      FailedCaptureCase{"NotFound",
                                        "/gone.html",
                                        {"<a href=\"http://news.test/x.html\">Error page link</a>",
                                         "text/html", "404 Not Found"},
                                        false,
                                        "Capture of %1 failed: 404 Not Found."},
                      FailedCaptureCase{"NoHeadlines",
                                        "/empty.html",
                                        {"<p>Nothing today</p>"},
                                        false,
                                        "No headlines were found on %1."}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(UnattendedRunTest, AMissingOrDamagedFeedFileIsLeftAsItIsAndNothingIsPublished) {
    const struct {
        const char* name;
        std::optional<QByteArray> feedBytes; // none: no feed file
        const char* reason;
    } cases[] = {
        {"missing", std::nullopt, "does not exist"},
        {"damaged", feed("Cut", "<item><title>Half").left(120), "could not be read completely"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(feedPath);
        if (c.feedBytes)
            writeFile(feedPath, *c.feedBytes);

        const RunResult result = run({QStringLiteral("news.xml")});

        ASSERT_TRUE(result.finished);
        EXPECT_EQ(result.exitCode, 2) << describe(result);
        EXPECT_TRUE(result.standardError.contains(QString::fromLatin1(c.reason)))
            << describe(result);
        EXPECT_TRUE(result.standardError.contains(QStringLiteral("was not published")))
            << describe(result);
        EXPECT_FALSE(QFile::exists(publishedPath));
        if (c.feedBytes)
            EXPECT_EQ(readFile(feedPath), *c.feedBytes);
        else
            EXPECT_FALSE(QFile::exists(feedPath));
        EXPECT_TRUE(server.requestedPaths().isEmpty());
    }
}

TEST_F(UnattendedRunTest, APublisherThatStopsEarlyEndsTheRunWithItsReason) {
    // No local directory stored: the publisher has nowhere to write.
    settings().writeString(SettingsKeys::PublishSection, SettingsKeys::LocalPath, QString());

    const RunResult result = run({QStringLiteral("news.xml")});

    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.exitCode, 2) << describe(result);
    EXPECT_TRUE(result.standardError.contains(QStringLiteral("Please select a Local Directory.")))
        << describe(result);
    EXPECT_TRUE(result.standardError.contains(QStringLiteral("The feed ") + feedPath +
                                              QStringLiteral(" was not published.")))
        << describe(result);
    EXPECT_FALSE(QFile::exists(publishedPath));
    // The capture itself went through.
    EXPECT_EQ(readWithFeedparser(feedPath).titles(),
              (QStringList{QStringLiteral("First story"), QStringLiteral("Second story")}));
}

TEST_F(UnattendedRunTest, ARefreshKeepsTheDatesOfStoriesItPublishedBefore) {
    // The old story is on the page again, and keeps its date and guid.
    writeFile(feedPath, feed("News", "<item><title><![CDATA[Old story]]></title>"
                                     "<link>http://news.test/one.html</link>"
                                     "<guid isPermaLink=\"false\">story-one</guid>"
                                     "<pubDate>Mon, 02 Mar 2026 08:00:00 +0000</pubDate></item>"));
    const RunResult first = run({QStringLiteral("news.xml")});
    ASSERT_TRUE(first.finished);
    ASSERT_EQ(first.exitCode, 0) << describe(first);
    const ReadFeed once = readWithFeedparser(publishedPath);
    ASSERT_EQ(once.items.size(), 2u);
    const ReadItem* one = once.withLink(QStringLiteral("http://news.test/one.html"));
    const ReadItem* two = once.withLink(QStringLiteral("http://news.test/two.html"));
    ASSERT_TRUE(one && two);
    EXPECT_EQ(one->published, QStringLiteral("Mon, 02 Mar 2026 08:00:00 +0000"));
    EXPECT_EQ(one->id, QStringLiteral("story-one"));
    EXPECT_NE(two->published, one->published);

    // The page gains a story: only that one is new.
    server.serve("/page.html",
                 {page.left(page.indexOf("</body>")) +
                  "<p><a href=\"http://news.test/three.html\">Third story</a></p></body></html>"});
    const QDateTime before = QDateTime::currentDateTimeUtc().addSecs(-1);
    const RunResult second = run({QStringLiteral("news.xml")});
    const QDateTime after = QDateTime::currentDateTimeUtc().addSecs(1);
    ASSERT_TRUE(second.finished);
    ASSERT_EQ(second.exitCode, 0) << describe(second);

    const ReadFeed twice = readWithFeedparser(publishedPath);
    EXPECT_TRUE(twice.wellFormed) << twice.problem.toStdString();
    EXPECT_EQ(twice.titles(),
              (QStringList{QStringLiteral("First story"), QStringLiteral("Second story"),
                           QStringLiteral("Third story")}));
    const ReadItem* oneAgain = twice.withLink(QStringLiteral("http://news.test/one.html"));
    const ReadItem* twoAgain = twice.withLink(QStringLiteral("http://news.test/two.html"));
    const ReadItem* three = twice.withLink(QStringLiteral("http://news.test/three.html"));
    ASSERT_TRUE(oneAgain && twoAgain && three);
    EXPECT_EQ(oneAgain->published, one->published);
    EXPECT_EQ(oneAgain->id, QStringLiteral("story-one"));
    EXPECT_EQ(twoAgain->published, two->published);
    const auto threeDate = parseFeedDate(three->published);
    ASSERT_TRUE(threeDate) << three->published.toStdString();
    EXPECT_GE(*threeDate, before);
    EXPECT_LE(*threeDate, after);
}

// With a display, the window of a run that stopped stays open for the person
// in front of it (this process stands in for a desktop).
TEST_F(UnattendedRunTest, UndoInAWindowTheRunLeftOpenStartsTheRunAgain) {
    settings().writeString(SettingsKeys::PublishSection, SettingsKeys::LocalPath, QString());
    start({QStringLiteral("news.xml")});

    EXPECT_TRUE(form->UnattendedRun);
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(form->Page->currentWidget(), form->PublishPage);
    EXPECT_TRUE(dialogs.messages.isEmpty()) << dialogs.messages.join(u'|').toStdString();
    EXPECT_EQ(server.requestedPaths(), QList<QByteArray>{"/page.html"});
    EXPECT_FALSE(QFile::exists(publishedPath));

    // The directory is there now: Undo runs the whole run again, which
    // publishes and closes the window.
    settings().writeString(SettingsKeys::PublishSection, SettingsKeys::LocalPath, publishDir);
    form->Page->setCurrentWidget(form->TopicsPage);
    QTest::mouseClick(form->UndoBtn, Qt::LeftButton);

    EXPECT_EQ(server.requestedPaths(), (QList<QByteArray>{"/page.html", "/page.html"}));
    EXPECT_EQ(readWithFeedparser(publishedPath).titles(),
              (QStringList{QStringLiteral("First story"), QStringLiteral("Second story")}));
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(form->exitStatus(0), 0);
}

TEST_F(UnattendedRunTest, AnAdvancedCaptureThatEndsOnAnAnchorWithoutTextStillPublishesAndCloses) {
    QFile advancedPage(QStringLiteral(QUILLO_TEST_DATA "/capture/pages/advanced.html"));
    ASSERT_TRUE(advancedPage.open(QIODevice::ReadOnly));
    server.serve("/page.html", {advancedPage.readAll()});
    TIniFile ini = settings();
    ini.writeBool(feedPath, SettingsKeys::AdvancedCapture, true);
    ini.writeString(feedPath, SettingsKeys::HeadlineTag, QStringLiteral("headline"));
    ini.writeString(feedPath, SettingsKeys::SynopsisTag, QStringLiteral("summary"));

    start({QStringLiteral("news.xml")});

    EXPECT_EQ(readWithFeedparser(publishedPath).titles(),
              (QStringList{QStringLiteral("Div story"), QStringLiteral("Span story"),
                           QStringLiteral("Relative story")}));
    EXPECT_TRUE(form->InViewMode);
    EXPECT_FALSE(form->isVisible());
    EXPECT_TRUE(dialogs.messages.isEmpty()) << dialogs.messages.join(u'|').toStdString();
}

TEST_F(UnattendedRunTest, AnHttpArgumentWithoutXmlIsAnOrdinaryStart) {
    settings().writeString(SettingsKeys::PublicationSection, SettingsKeys::FilePath, feedPath);
    start({server.url(QStringLiteral("/feeds/news"))});

    EXPECT_FALSE(form->UnattendedRun);
    EXPECT_TRUE(server.requestedPaths().isEmpty());
    EXPECT_EQ(form->FeedFilePath, feedPath);
    EXPECT_EQ(form->Page->currentWidget(), form->ChannelPage);
    EXPECT_EQ(form->exitStatus(0), 0);
}

} // namespace
