// Publish to sftp:// and ftps:// locations in the real window: OpenSSH's sshd
// and pyftpdlib with TLS on 127.0.0.1, the host key question through the
// dialogs, and the line that says what failed.
#include "editing/EditingForm.h"
#include "xml/SecureTestServers.h"

#include <QPushButton>

#include <filesystem>

namespace fs = std::filesystem;

namespace {

const QString Published = QStringLiteral("Your Feed has been published.");
const QString Unable = QStringLiteral("Unable to publish Feed.  Check FTP settings.");

QByteArray topic(const QByteArray& title) {
    return "<item><title>" + title + "</title><link>http://example.invalid/" + title +
           "</link></item>";
}

QString q(const std::string& s) {
    return QString::fromStdString(s);
}

} // namespace

class Form1PublisherSecureTest : public EditingFormFixture {
protected:
    QByteArray savedHome;

    void SetUp() override {
        EditingFormFixture::SetUp();
        // ~/.ssh is the test's own.
        savedHome = qgetenv("HOME");
        qputenv("HOME", QFile::encodeName(homePath(QStringLiteral("user"))));
        QDir().mkpath(sshPath());
        qunsetenv("SSH_AUTH_SOCK");
    }
    void TearDown() override {
        EditingFormFixture::TearDown();
        qputenv("HOME", savedHome);
    }

    QString sshPath(const QString& name = {}) const {
        return homePath(QStringLiteral("user/.ssh/")) + name;
    }

    void publishTo(const QString& location, const std::string& user, const QString& password,
                   bool unattended = false) {
        settings().writeString(QStringLiteral("Publish"), QStringLiteral("Location"),
                               QStringLiteral("FTPRadio"));
        startOn(QStringLiteral("news.xml"), feed("Feed", topic("one") + topic("") + topic("two")));
        showPage(form->PublishPage);
        form->UnattendedRun = unattended;
        form->FTPComboBox->setEditText(location);
        form->UserIDField->setText(q(user));
        form->PasswordField->setText(password);
        form->FileNameField->setText(QStringLiteral("news.xml"));
        if (unattended)
            form->PublishBtnClick();
        else
            click(form->PublishBtn);
    }

    QStringList outcomeLines() const {
        return form->LastPublishOutcome ? form->LastPublishOutcome->Lines : QStringList{"<none>"};
    }
};

class Form1PublisherSftpTest : public Form1PublisherSecureTest {
protected:
    securetest::SshTestServer server;

    void SetUp() override {
        Form1PublisherSecureTest::SetUp();
        if (std::string why = securetest::SshTestServer::unavailable(); !why.empty())
            GTEST_SKIP() << why;
        ASSERT_TRUE(server.start()) << "sshd did not start:\n" << server.log();
        fs::create_directories(server.loginDirectory() / "feeds");
    }

    QString location() const { return "sftp://" + q(server.host()) + "/feeds"; }
    // The feed on the server; empty when there is none.
    QByteArray published() const {
        return readFile(
            QString::fromStdString((server.loginDirectory() / "feeds/news.xml").string()));
    }
    QByteArray knownHostsLine() const {
        return QByteArray::fromStdString(server.knownHostsName() + " " +
                                         server.hostKey().publicLine + "\n");
    }
    void knowTheHost() { writeFile(sshPath("known_hosts"), knownHostsLine()); }
    QString question() const {
        return "The host key of " + q(server.knownHostsName()) +
               " is not known.\nssh-ed25519 key fingerprint: " + q(server.hostKey().fingerprint) +
               "\nTrust this server?";
    }
};

TEST_F(Form1PublisherSftpTest, TheFeedFileGoesOverSftpToTheLocationsDirectory) {
    knowTheHost();
    publishTo(location(), server.user, q(server.password));
    EXPECT_EQ(dialogs.messages, QStringList{Published});
    EXPECT_EQ(published(), readFile(feedPath()));
    EXPECT_EQ(form->LastPublishOutcome->Result, TPublishResult::Published);
    EXPECT_EQ(form->LastPublishOutcome->Destination, location() + "/news.xml");
}

TEST_F(Form1PublisherSftpTest, AnUnknownHostKeyIsAskedAboutAndYesAddsIt) {
    dialogs.yesNoAnswers = {true};
    publishTo(location(), server.user, q(server.password));
    EXPECT_EQ(dialogs.messages, (QStringList{question(), Published}));
    EXPECT_EQ(published(), readFile(feedPath()));
    EXPECT_EQ(readFile(sshPath("known_hosts")), knownHostsLine());
}

TEST_F(Form1PublisherSftpTest, NoToTheHostKeyPublishesNothing) {
    dialogs.yesNoAnswers = {false};
    publishTo(location(), server.user, q(server.password));
    const QString why = "Host key of " + q(server.knownHostsName()) +
                        " not trusted: " + q(server.hostKey().fingerprint);
    EXPECT_EQ(dialogs.messages, (QStringList{question(), Unable + "\n" + why}));
    EXPECT_TRUE(published().isEmpty());
    EXPECT_FALSE(QFile::exists(sshPath("known_hosts")));
    EXPECT_EQ(outcomeLines(), (QStringList{Unable, why}));
}

TEST_F(Form1PublisherSftpTest, AnUnattendedRunRefusesAnUnknownHostKeyAndSaysItsFingerprint) {
    publishTo(location(), server.user, q(server.password), true);
    EXPECT_TRUE(dialogs.messages.isEmpty()) << dialogs.messages.join(u'|').toStdString();
    EXPECT_EQ(form->LastPublishOutcome->Result, TPublishResult::Failed);
    EXPECT_EQ(outcomeLines(),
              (QStringList{Unable, "Host key of " + q(server.knownHostsName()) +
                                       " is not known: " + q(server.hostKey().fingerprint)}));
    EXPECT_TRUE(published().isEmpty());
    EXPECT_FALSE(QFile::exists(sshPath("known_hosts")));
}

TEST_F(Form1PublisherSftpTest, AChangedHostKeyIsRefusedAndSaysSo) {
    const securetest::SshKey other = securetest::makeSshKey(server.root() / "other_ed25519");
    const QByteArray known =
        QByteArray::fromStdString(server.knownHostsName() + " " + other.publicLine + "\n");
    writeFile(sshPath("known_hosts"), known);
    dialogs.yesNoAnswers = {true};
    publishTo(location(), server.user, q(server.password));
    ASSERT_EQ(dialogs.messages.size(), 1) << dialogs.messages.join(u'|').toStdString();
    EXPECT_EQ(dialogs.messages[0], Unable + "\nHost key of " + q(server.knownHostsName()) +
                                       " refused: " + q(server.hostKey().fingerprint) +
                                       " differs from the key known for it in " +
                                       sshPath("known_hosts"));
    EXPECT_EQ(readFile(sshPath("known_hosts")), known);
    EXPECT_TRUE(published().isEmpty());
}

TEST_F(Form1PublisherSftpTest, AWrongPasswordOrAMissingDirectorySaysWhatFailed) {
    knowTheHost();
    const struct {
        QString location;
        QString password;
        QString why;
    } cases[] = {
        {location(), "wrong", "Login to " + q(server.host()) + " refused"},
        {"sftp://" + q(server.host()) + "/nowhere", q(server.password),
         "Directory nowhere not found on " + q(server.host())},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why.toStdString());
        dialogs.messages.clear();
        publishTo(c.location, server.user, c.password);
        EXPECT_EQ(dialogs.messages, QStringList{Unable + "\n" + c.why});
        EXPECT_EQ(form->LastPublishOutcome->Result, TPublishResult::Failed);
        EXPECT_TRUE(published().isEmpty());
        EXPECT_EQ(ftptest::readFile(server.loginDirectory() / "news.xml"), "<missing>");
    }
}

TEST_F(Form1PublisherSftpTest, AnEmptyPasswordLogsInWithTheKeyAndIsNotAskedFor) {
    knowTheHost();
    QFile::copy(QString::fromStdString((server.clientSshDirectory() / "id_ed25519").string()),
                sshPath("id_ed25519"));
    QFile::setPermissions(sshPath("id_ed25519"), QFile::ReadOwner | QFile::WriteOwner);

    // Choosing the target asks for nothing but the user ID.
    settings().writeString(QStringLiteral("Publish"), QStringLiteral("Location"),
                           QStringLiteral("LocalRadio"));
    startOn(QStringLiteral("news.xml"), feed("Feed", topic("one")));
    showPage(form->PublishPage);
    form->FTPComboBox->setEditText(location());
    form->UserIDField->clear();
    form->PasswordField->clear();
    click(form->FTPRadio);
    EXPECT_EQ(dialogs.messages, QStringList{"Enter your FTP User ID in the User ID field\n"
                                            "Then:\nPress the Publish Button."});
    form->UserIDField->setText(q(server.user));
    dialogs.messages.clear();
    click(form->FTPRadio);
    EXPECT_TRUE(dialogs.messages.isEmpty()) << dialogs.messages.join(u'|').toStdString();

    for (bool unattended : {false, true}) {
        SCOPED_TRACE(unattended ? "unattended" : "interactive");
        dialogs.messages.clear();
        fs::remove(server.loginDirectory() / "feeds/news.xml");
        publishTo(location(), server.user, QString(), unattended);
        EXPECT_EQ(dialogs.messages, unattended ? QStringList{} : QStringList{Published});
        EXPECT_EQ(form->LastPublishOutcome->Result, TPublishResult::Published);
        EXPECT_EQ(published(), readFile(feedPath()));
    }
}

class Form1PublisherFtpsTest : public Form1PublisherSecureTest {
protected:
    securetest::TestAuthority authority;
    ftptest::FtpTestServer server;

    void SetUp() override {
        Form1PublisherSecureTest::SetUp();
        ASSERT_TRUE(authority.ok()) << "openssl could not make the test certificates";
        qputenv("SSL_CERT_FILE", QFile::encodeName(q(authority.authorityFile())));
        fs::create_directories(server.root() / "feeds");
    }
    void TearDown() override {
        qunsetenv("SSL_CERT_FILE");
        Form1PublisherSecureTest::TearDown();
    }
    void startServer(const std::string& certificate) {
        server.extraArgs = {"--certfile", authority.serverFile(certificate)};
        ASSERT_TRUE(server.start()) << "the FTPS server did not start";
    }
    QString location() const { return "ftps://" + q(server.host()) + "/feeds"; }
};

TEST_F(Form1PublisherFtpsTest, TheFeedFileGoesOverFtpsAndAnUntrustedServerGetsNothing) {
    startServer("server");
    publishTo(location(), server.user, q(server.password));
    EXPECT_EQ(dialogs.messages, QStringList{Published});
    EXPECT_EQ(QByteArray::fromStdString(server.read("feeds/news.xml")), readFile(feedPath()));
    server.stop();
    fs::remove(server.root() / "feeds/news.xml");

    startServer("rogue");
    dialogs.messages.clear();
    publishTo(location(), server.user, q(server.password));
    EXPECT_EQ(dialogs.messages, QStringList{Unable + "\nCertificate of " + q(server.host()) +
                                            " could not be verified"});
    EXPECT_EQ(server.names("feeds"), std::vector<std::string>{});

    // The password is asked for, as for FTP.
    dialogs.messages.clear();
    publishTo(location(), server.user, QString());
    EXPECT_EQ(dialogs.messages, QStringList{"Enter your FTP Password in the Password field\n"
                                            "Then:\nPress the Publish Button."});
}
