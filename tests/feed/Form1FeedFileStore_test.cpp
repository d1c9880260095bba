// The feed file store: writing the document, Undo from the one-step backup,
// and the quick check of a file about to be opened.
#include "form/FormFixture.h"

#include <QLineEdit>
#include <QTreeWidget>

#include <stdexcept>

namespace {

const QByteArray itemOne = "<item><title>One</title><link/><description>S</description></item>";
const QByteArray itemTwo = "<item><title>Two</title><link/><description>S</description></item>";

} // namespace

class FormFeedStoreTest : public FormFixture {
protected:
    void startOn(const QString& feedFile, const QByteArray& bytes) {
        writeFile(homePath(feedFile), bytes);
        TIniFile ini = settings();
        ini.writeString(QStringLiteral("Publication"), QStringLiteral("FilePath"),
                        homePath(feedFile));
        start();
    }

};

TEST_F(FormFeedStoreTest, UndoRestoresTheBackupAndAgainChangesNothingMore) {
    const QByteArray before = feed("News", itemOne);
    startOn(QStringLiteral("news.xml"), before);
    // A topic change writes the unchanged document as the backup first.
    form->SaveXMLFile(form->BackupFilePath);
    writeFile(homePath("news.xml"), feed("News", itemOne + itemTwo));
    const QByteArray backup = readFile(homePath("news.bak"));

    form->UndoBtnClick();
    EXPECT_EQ(readFile(homePath("news.xml")), backup);
    EXPECT_EQ(headlines(), QStringList{"One"});

    form->UndoBtnClick();
    EXPECT_EQ(readFile(homePath("news.xml")), backup);
    EXPECT_EQ(headlines(), QStringList{"One"});
    EXPECT_TRUE(QFile::exists(homePath("news.bak")));
    EXPECT_TRUE(dialogs.messages.isEmpty());
}

TEST_F(FormFeedStoreTest, UndoWithoutBackupReloadsTheFeedUnchanged) {
    startOn(QStringLiteral("news.xml"), feed("News", itemOne + itemTwo));
    // Every start-up stamps the channel's dates with the start time and writes the feed.
    const QByteArray bytes = readFile(homePath("news.xml"));
    form->LoadQandAData();
    form->UndoBtnClick();
    EXPECT_EQ(readFile(homePath("news.xml")), bytes);
    EXPECT_EQ(headlines(), (QStringList{"One", "Two"}));
    EXPECT_EQ(form->selectedNode(), form->channelNode()->child(0));
}

TEST_F(FormFeedStoreTest, UndoOfAFeedNotEndingInXmlWritesTheXmlName) {
    startOn(QStringLiteral("news.rss"), feed("Current", itemOne));
    // As the start-up wrote it, with the channel's dates stamped.
    const QByteArray current = readFile(homePath("news.rss"));
    writeFile(homePath("news.bak"), feed("Backup", itemTwo));
    form->UndoBtnClick();
    EXPECT_EQ(readFile(homePath("news.rss")), current);
    EXPECT_EQ(readFile(homePath("news.xml")), readFile(homePath("news.bak")));
    EXPECT_EQ(form->TitleEdit->text(), QStringLiteral("Current"));
}

TEST_F(FormFeedStoreTest, SaveToAPlaceThatCannotBeWrittenFails) {
    startOn(QStringLiteral("news.xml"), feed("News", itemOne));
    const QString path = homePath("missing/dir/news.xml");
    try {
        form->SaveXMLFile(path);
        FAIL() << "no error";
    } catch (const std::exception& error) {
        EXPECT_EQ(QString::fromUtf8(error.what()), QStringLiteral("Cannot create file ") + path);
    }
}

TEST_F(FormFeedStoreTest, FileCopyReportsTheMissingSource) {
    start();
    const QString source = homePath("absent.bak");
    try {
        form->FileCopy(source, homePath("copy.xml"));
        FAIL() << "no error";
    } catch (const std::exception& error) {
        EXPECT_EQ(QString::fromUtf8(error.what()), QStringLiteral("Cannot open file ") + source);
    }
}

TEST_F(FormFeedStoreTest, FeedCheckAcceptsFeedsAndRefusesOthers) {
    start();
    struct Case {
        const char* name;
        QByteArray bytes;
        bool valid;
    } cases[] = {
        {"feed", feed("News", itemOne), true},
        {"no item", feed("News", ""), false},
        {"item with attributes", feed("News", "<item id=\"1\"><description>S</description></item>"),
         false},
        {"only empty descriptions",
         "<rss version=\"2.0\"><channel><description/><item><description/></item></channel></rss>",
         false},
        {"upper case", feed("News", itemOne).toUpper(), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        dialogs.messages.clear();
        const QString path = homePath(QStringLiteral("check.xml"));
        writeFile(path, c.bytes);
        EXPECT_EQ(form->ValidTagsInFile(path), c.valid);
        EXPECT_EQ(dialogs.messages.isEmpty(), c.valid);
        if (!c.valid) {
            EXPECT_EQ(dialogs.messages,
                      QStringList{"Selected Publication file is not properly formatted."});
        }
    }
    EXPECT_FALSE(form->ValidTagsInFile(homePath("absent.xml")));
}

TEST_F(FormFeedStoreTest, FeedCheckPutsAPassingBackupInPlaceAndKeepsWhatItReplaced) {
    start();
    const QByteArray broken = feed("News", itemOne).replace("</description>", "");
    const QByteArray backup = feed("Backup", itemTwo);
    writeFile(homePath("news.xml"), broken);
    writeFile(homePath("news.bak"), backup);

    EXPECT_TRUE(form->ValidTagsInFile(homePath("news.xml")));
    EXPECT_EQ(readFile(homePath("news.xml")), backup);
    EXPECT_EQ(readFile(homePath("news.damaged.xml")), broken);
    EXPECT_TRUE(dialogs.messages.isEmpty());
}

TEST_F(FormFeedStoreTest, FeedCheckWithAFailingBackupRefuses) {
    start();
    writeFile(homePath("news.xml"), feed("News", ""));
    writeFile(homePath("news.bak"), feed("Backup", ""));
    EXPECT_FALSE(form->ValidTagsInFile(homePath("news.xml")));
    EXPECT_EQ(dialogs.messages.size(), 1);
}
