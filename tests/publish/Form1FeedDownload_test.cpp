// The download of a published feed, end to end: the menu command and its
// prompt, the client against loopback HTTP and TLS servers, the file in the
// program directory and the switch to it.
#include "app/SettingsKeys.h"
#include "form/FormFixture.h"
#include "net/ScriptedServer.h"
#include "net/TestCertificates.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <QSpinBox>
#include <QTcpServer>

namespace {

using S = ScriptedServer;

const QByteArray localItem = "<item><title>Local</title><link>http://a/</link>"
                             "<description>Here</description></item>";

// A server's answer: the status line, the header and the body, then the close.
S::Script answer(const QByteArray& body, const QByteArray& status = "200 OK") {
    return {S::send("HTTP/1.0 " + status + "\r\nContent-Type: text/xml\r\n\r\n" + body),
            S::close()};
}

} // namespace

class FormFeedDownloadTest : public FormFixture {
protected:
    static QByteArray remoteFeed(const QByteArray& headline) {
        return feed("Remote", "<item><title>" + headline +
                                  "</title><link>http://b/</link>"
                                  "<description>Far away</description></item>");
    }
    QString localFeed;

    void SetUp() override {
        FormFixture::SetUp();
        localFeed = homePath(QStringLiteral("news.xml"));
        writeFile(localFeed,
                  feed("Local", localItem, "<ttl>60</ttl><skipHours><hour>5</hour></skipHours>"));
        settings().writeString(SettingsKeys::PublicationSection, SettingsKeys::FilePath, localFeed);
        start();
        form->HttpFile.TimeoutMs = 10000;
    }

    // The menu command, answering its prompt with url.
    void download(const QString& url) {
        dialogs.promptAnswers.push_back(url);
        form->MPDownload->trigger();
    }

    // The program directory's files, hidden ones (a download's temporary file) included.
    QStringList homeFiles() const {
        return QDir(home.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    }

    void expectLocalFeedStillOpen() const {
        EXPECT_EQ(form->FeedFilePath, localFeed);
        EXPECT_EQ(form->windowTitle(), QStringLiteral("Quillo - ") + localFeed);
        EXPECT_EQ(headlines(), QStringList{"Local"});
        EXPECT_EQ(storedFeedPath(), localFeed);
    }
};

TEST_F(FormFeedDownloadTest, AValidFeedIsStoredInTheProgramDirectoryAndOpened) {
    ScriptedServer server;
    const QByteArray bytes = remoteFeed("Far");
    server.addScript(answer(bytes));
    const QString url = server.url("/feeds/remote.xml");
    const QString path = homePath("remote.xml");
    TIniFile ini = settings();
    ini.writeString(path, SettingsKeys::UserID, "ann");
    ini.writeString(path, SettingsKeys::Capture, "http://capture.test/");
    ini.writeBool(path, SettingsKeys::AdvancedCapture, false);
    form->Advanced->setChecked(true);
    ASSERT_EQ(form->HoursCheckListBox->item(5)->checkState(), Qt::Checked);
    const QStringList before = homeFiles();

    download(url);

    EXPECT_EQ(dialogs.prompts, QStringList{"Download RSS file"});
    EXPECT_EQ(dialogs.promptTexts,
              QStringList{"Enter URL and file name of RSS file to download.|"});
    EXPECT_TRUE(dialogs.messages.isEmpty()) << dialogs.messages.join('\n').toStdString();
    ASSERT_EQ(server.connectionCount(), 1);
    EXPECT_EQ(server.requestLine(0), "GET /feeds/remote.xml HTTP/1.0");
    // Stored as served: a download neither stamps the dates nor rewrites the file.
    EXPECT_EQ(readFile(path), bytes);
    EXPECT_EQ(homeFiles(), QStringList(before) << "remote.xml");
    EXPECT_EQ(form->FeedFilePath, path);
    EXPECT_EQ(form->BackupFilePath, homePath("remote.bak"));
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Quillo - ") + path);
    EXPECT_EQ(headlines(), QStringList{"Far"});
    EXPECT_EQ(form->selectedNode(), form->channelNode()->child(0));
    EXPECT_EQ(form->AMemo->toPlainText(), "Far away");
    EXPECT_EQ(storedFeedPath(), path);
    EXPECT_EQ(settings().readString(SettingsKeys::PublicationSection, SettingsKeys::WebPath, {}),
              url);
    // The feed section's login and capture page, not its capture mode.
    EXPECT_EQ(form->UserIDField->text(), "ann");
    EXPECT_EQ(form->PasswordField->text(), "");
    EXPECT_EQ(form->FileNameField->text(), "remote.xml");
    EXPECT_EQ(form->CaptureSiteEdit->text(), "http://capture.test/");
    EXPECT_TRUE(form->Advanced->isChecked());
    // The local feed's schedule is not carried over to a feed that has none.
    EXPECT_EQ(form->TTLSpin->value(), 0);
    EXPECT_EQ(form->HoursCheckListBox->item(5)->checkState(), Qt::Unchecked);

    form.reset();
    start();
    EXPECT_EQ(form->FeedFilePath, path);
    EXPECT_EQ(headlines(), QStringList{"Far"});
}

// The start-up downloads an http argument with the client alone.
TEST_F(FormFeedDownloadTest, AGetOfTheClientAloneDownloadsAndOpensTheFeed) {
    ScriptedServer server;
    server.addScript(answer(remoteFeed("Started")));
    form->HttpFile.URL = server.url("/remote.xml");
    form->HttpFile.Get();
    EXPECT_EQ(form->FeedFilePath, homePath("remote.xml"));
    EXPECT_EQ(headlines(), QStringList{"Started"});
    EXPECT_TRUE(dialogs.messages.isEmpty()) << dialogs.messages.join('\n').toStdString();
}

TEST_F(FormFeedDownloadTest, ASecondDownloadReplacesTheFirstAndThePromptOffersTheLastUrl) {
    ScriptedServer server;
    server.addScript(answer(remoteFeed("First")));
    server.addScript(answer(remoteFeed("Second")));
    const QString url = server.url("/remote.xml");
    download(url);
    ASSERT_EQ(headlines(), QStringList{"First"});
    download(url);

    EXPECT_EQ(dialogs.promptTexts.value(1),
              "Enter URL and file name of RSS file to download.|" + url);
    EXPECT_EQ(readFile(homePath("remote.xml")), remoteFeed("Second"));
    EXPECT_EQ(headlines(), QStringList{"Second"});
    EXPECT_TRUE(dialogs.messages.isEmpty()) << dialogs.messages.join('\n').toStdString();
}

TEST_F(FormFeedDownloadTest, ARelocatedFeedIsNamedAfterTheUrlEntered) {
    ScriptedServer server;
    server.addScript(
        {S::send("HTTP/1.0 302 Found\r\nLocation: /elsewhere/moved.xml\r\n\r\n"), S::close()});
    server.addScript(answer(remoteFeed("Moved")));
    download(server.url("/feeds/remote.xml"));

    ASSERT_EQ(server.connectionCount(), 2);
    EXPECT_EQ(server.requestLine(1), "GET /elsewhere/moved.xml HTTP/1.0");
    EXPECT_EQ(readFile(homePath("remote.xml")), remoteFeed("Moved"));
    EXPECT_FALSE(QFile::exists(homePath("moved.xml")));
    EXPECT_EQ(form->FeedFilePath, homePath("remote.xml"));
    EXPECT_TRUE(dialogs.messages.isEmpty()) << dialogs.messages.join('\n').toStdString();
}

TEST_F(FormFeedDownloadTest, AFeedServedOverHttpsIsDownloaded) {
    ASSERT_TRUE(certificates().ok()) << certificates().error().toStdString();
    qputenv("SSL_CERT_FILE", QFile::encodeName(certificates().path("ca.pem")));
    const QSslConfiguration config = certificates().server("localhost");
    ScriptedServer server(&config);
    server.addScript(answer(remoteFeed("Secure")));
    download(QStringLiteral("https://localhost:%1/feeds/secure.xml").arg(server.port()));
    qunsetenv("SSL_CERT_FILE");

    EXPECT_TRUE(dialogs.messages.isEmpty()) << dialogs.messages.join('\n').toStdString();
    EXPECT_EQ(readFile(homePath("secure.xml")), remoteFeed("Secure"));
    EXPECT_EQ(form->FeedFilePath, homePath("secure.xml"));
    EXPECT_EQ(headlines(), QStringList{"Secure"});
}

// Nothing of a failed download is written: an earlier download of the same
// name and its backup stay as they were, nothing is opened, the one message
// says why.
TEST_F(FormFeedDownloadTest, AFailedDownloadKeepsTheEarlierFileAndOpensNothing) {
    QTcpServer closed;
    ASSERT_TRUE(closed.listen(QHostAddress(QStringLiteral("127.0.0.1")), 0));
    const quint16 refusingPort = closed.serverPort();
    closed.close();
    const QString refusingUrl = QStringLiteral("http://127.0.0.1:%1/remote.xml").arg(refusingPort);

    const QByteArray half = remoteFeed("Cut").left(60);
    const struct {
        const char* what;
        S::Script script; // empty: the refusing port
        QString message;  // a message that starts so; the whole of it when it ends in "."
    } cases[] = {
        {"an error page", answer("<html><body>Not here</body></html>", "404 Not Found"),
         "The feed could not be downloaded from %1: 404 Not Found."},
        {"a page that is no feed", answer("<html><body>A page</body></html>"),
         "Selected Publication file is not properly formatted."},
        {"a channel without items", answer(feed("Empty", {})),
         "Selected Publication file is not properly formatted."},
        {"an empty document",
         {S::send("HTTP/1.0 200 OK\r\nContent-Length: 0\r\n\r\n"), S::close()},
         "The feed could not be downloaded from %1: the server sent no document."},
        {"a transfer broken off",
         {S::send("HTTP/1.0 200 OK\r\n\r\n" + half), S::pause(100), S::reset()},
         "The feed could not be downloaded from %1: Connection reset by peer"},
        {"a refused connection", {}, "The feed could not be downloaded from %1: "},
    };
    const QByteArray earlier = remoteFeed("Earlier");
    const QByteArray earlierBackup = remoteFeed("Earlier backup");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        writeFile(homePath("remote.xml"), earlier);
        writeFile(homePath("remote.bak"), earlierBackup);
        const QStringList files = homeFiles();
        dialogs.messages.clear();
        ScriptedServer server;
        server.addScript(c.script);
        const QString url = c.script.empty() ? refusingUrl : server.url("/remote.xml");

        download(url);

        ASSERT_EQ(dialogs.messages.size(), 1) << dialogs.messages.join('\n').toStdString();
        const QString expected = c.message.contains("%1") ? c.message.arg(url) : c.message;
        if (expected.endsWith(u'.'))
            EXPECT_EQ(dialogs.messages.front(), expected);
        else
            EXPECT_TRUE(dialogs.messages.front().startsWith(expected))
                << dialogs.messages.front().toStdString();
        EXPECT_EQ(readFile(homePath("remote.xml")), earlier);
        EXPECT_EQ(readFile(homePath("remote.bak")), earlierBackup);
        EXPECT_EQ(homeFiles(), files);
        expectLocalFeedStillOpen();
    }
}

TEST_F(FormFeedDownloadTest, AnEmptyUrlIsStoredAndTheRequestFails) {
    settings().writeString(SettingsKeys::PublicationSection, SettingsKeys::WebPath,
                           "http://earlier.test/feed.xml");
    const QStringList files = homeFiles();
    download(QString());

    EXPECT_EQ(dialogs.promptTexts, QStringList{"Enter URL and file name of RSS file to download."
                                               "|http://earlier.test/feed.xml"});
    EXPECT_EQ(settings().readString(SettingsKeys::PublicationSection, SettingsKeys::WebPath,
                                    "none stored"),
              "");
    EXPECT_EQ(dialogs.messages,
              QStringList{"No feed address was entered: can't resolve hostname to IP address."});
    EXPECT_EQ(homeFiles(), files);
    expectLocalFeedStillOpen();
}

TEST_F(FormFeedDownloadTest, ACancelledPromptChangesNothing) {
    const QByteArray ini = readFile(homePath("quillo.ini"));
    form->MPDownload->trigger();
    EXPECT_EQ(dialogs.prompts.size(), 1);
    EXPECT_EQ(readFile(homePath("quillo.ini")), ini);
    EXPECT_TRUE(dialogs.messages.isEmpty());
    expectLocalFeedStillOpen();
}

// A feed named like the settings file or the FTP site list would replace it.
TEST_F(FormFeedDownloadTest, TheProgramsOwnFilesAreNeverReplaced) {
    const QByteArray sites = "ftp.example.org/feeds\r\n";
    writeFile(homePath("ftpsites.txt"), sites);
    for (const QString name : {"quillo.ini", "FTPSITES.TXT"}) {
        SCOPED_TRACE(name.toStdString());
        dialogs.messages.clear();
        const QStringList files = homeFiles();
        ScriptedServer server;
        server.addScript(answer(remoteFeed("Intruder")));
        download(server.url("/feeds/" + name));

        EXPECT_EQ(dialogs.messages, QStringList{"Cannot create file " + homePath(name) + "."});
        EXPECT_FALSE(readFile(homePath("quillo.ini")).contains("Intruder"));
        EXPECT_EQ(
            settings().readString(SettingsKeys::PublicationSection, SettingsKeys::WebPath, {}),
            server.url("/feeds/" + name));
        EXPECT_EQ(readFile(homePath("ftpsites.txt")), sites);
        EXPECT_FALSE(QFile::exists(homePath("FTPSITES.TXT")));
        EXPECT_EQ(homeFiles(), files);
        expectLocalFeedStillOpen();
    }
}

// The bytes as they came are kept beside the feed before any edit rewrites them.
TEST_F(FormFeedDownloadTest, ADownloadThatDoesNotLoadCleanlyIsKeptBesideItself) {
    const QByteArray damaged =
        feed("Broken", "<item><title>A</titel><description>x</description></item>");
    ScriptedServer server;
    server.addScript(answer(damaged));
    download(server.url("/remote.xml"));

    ASSERT_EQ(dialogs.messages.size(), 1);
    EXPECT_TRUE(dialogs.messages.front().startsWith("The feed file could not be read completely ("))
        << dialogs.messages.front().toStdString();
    EXPECT_TRUE(dialogs.messages.front().endsWith(homePath("remote.damaged.xml") + "."));
    EXPECT_EQ(readFile(homePath("remote.damaged.xml")), damaged);
    EXPECT_EQ(readFile(homePath("remote.xml")), damaged);
    EXPECT_EQ(form->FeedFilePath, homePath("remote.xml"));
}

// The command chosen again while a download waits is refused by the client;
// the running download goes on.
TEST_F(FormFeedDownloadTest, TheCommandChosenDuringADownloadIsRefused) {
    ScriptedServer server;
    server.addScript(answer(remoteFeed("Running")));
    bool again = false;
    form->HttpFile.OnHeaderData = [&](THttpClient*) {
        if (!std::exchange(again, true)) {
            dialogs.promptAnswers.push_back(server.url("/other.xml"));
            form->MPDownload->trigger();
        }
    };
    download(server.url("/remote.xml"));

    EXPECT_EQ(dialogs.messages, QStringList{"HTTP component is busy."});
    EXPECT_EQ(dialogs.prompts.size(), 1);
    EXPECT_EQ(server.connectionCount(), 1);
    EXPECT_EQ(form->FeedFilePath, homePath("remote.xml"));
    EXPECT_EQ(headlines(), QStringList{"Running"});
}
