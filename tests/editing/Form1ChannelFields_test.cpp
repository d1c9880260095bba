// The channel's text fields written when the focus leaves them changed.
#include "editing/EditingForm.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

#include <functional>

namespace {

const QByteArray item = "<item><title>T</title><link>item link</link><category>item cat</category>"
                        "</item>";
const std::string stamps = "<pubDate>Sat, 14 Mar 2026 09:26:53 +0000</pubDate>"
                           "<lastBuildDate>Sat, 14 Mar 2026 09:26:53 +0000</lastBuildDate>";
const std::string itemMarkup =
    "<item><title>T</title><link>item link</link><category>item cat</category></item>";

} // namespace

class Form1ChannelFieldsTest : public EditingFormFixture {};

TEST_F(Form1ChannelFieldsTest, LeavingAChangedFieldWritesItsElement) {
    using Field = QWidget* (*)(TForm1&);
    const struct {
        const char* what;
        QByteArray extra; // channel elements of the feed before its item
        Field field;
        QString typed; // typed over the whole text; empty: only tabbed through
        std::string channel;
    } cases[] = {
        {"title replaced in place", "", [](TForm1& f) -> QWidget* { return f.TitleEdit; }, "New",
         "<title>New</title><link>http://example.invalid/</link><description>About it"
         "</description>" +
             stamps + itemMarkup},
        {"empty docs tabbed through", "", [](TForm1& f) -> QWidget* { return f.DocsEdit; }, "",
         stamps + "<docs/>" + itemMarkup},
        {"language from the list", "", [](TForm1& f) -> QWidget* { return f.LangBox; },
         "[ja-JP] Japanese (Japan)", stamps + "<language>ja-JP</language>" + itemMarkup},
        {"cloud port", "<cloud domain=\"d\" other=\"x\"/>",
         [](TForm1& f) -> QWidget* { return f.CloudPortEdit; }, "80",
         "<cloud domain=\"d\" port=\"80\" path=\"\" registerProcedure=\"\" protocol=\"\"/>" +
             stamps + itemMarkup},
        {"text input name", "<textInput><name>n</name><extra>x</extra></textInput>",
         [](TForm1& f) -> QWidget* { return f.TINameEdit; }, "q",
         "<textInput><title/><description/><name>q</name><link/>"
         "</textInput>" +
             stamps + itemMarkup},
        {"category of the channel, not of the item", "",
         [](TForm1& f) -> QWidget* { return f.CategoryEdit; }, "News",
         stamps + "<category>News</category>" + itemMarkup},
        {"category text keeps its domain", "<category domain=\"http://d/\">Old</category>",
         [](TForm1& f) -> QWidget* { return f.CategoryEdit; }, "News",
         "<category domain=\"http://d/\">News</category>" + stamps + itemMarkup},
        {"logo link without an image", "", [](TForm1& f) -> QWidget* { return f.ImageLinkEdit; },
         "http://l/", stamps + "<image><title/><link/><url>http://l/</url></image>" + itemMarkup},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        startOn("news.xml", feed("Feed", item, c.extra));
        const QByteArray backupBefore = readFile(backupPath());
        QWidget* field = c.field(*form);
        QWidget* tabPage = field->parentWidget();
        while (tabPage && form->FeedTabs->indexOf(tabPage) < 0)
            tabPage = tabPage->parentWidget();
        showPage(form->ChannelPage, tabPage);
        enter(field);
        if (!c.typed.isEmpty()) {
            selectAll();
            type(c.typed);
        }
        tab();
        EXPECT_EQ(channelIn(feedPath()), c.channel);
        EXPECT_EQ(readFile(backupPath()), backupBefore) << "no backup for channel fields";
        EXPECT_TRUE(dialogs.messages.isEmpty()) << dialogs.messages.join('\n').toStdString();
        form.reset();
    }
}

TEST_F(Form1ChannelFieldsTest, AFieldChangedAndChangedBackWritesNothing) {
    startOn("news.xml", feed("Feed", item));
    showPage(form->ChannelPage, form->RequiredTab);
    enter(form->TitleEdit);
    QFile::remove(feedPath());
    key(form->TitleEdit, Qt::Key_End); // entering by Tab selects the whole text
    type("x");
    backspace();
    tab();
    EXPECT_FALSE(QFile::exists(feedPath()));
    // A popup or another window taking the focus is no leave, and coming back no entry.
    enter(form->DescEdit);
    key(form->DescEdit, Qt::Key_End);
    type("!");
    QFocusEvent away(QEvent::FocusOut, Qt::ActiveWindowFocusReason);
    QApplication::sendEvent(form->DescEdit, &away);
    QFocusEvent back(QEvent::FocusIn, Qt::ActiveWindowFocusReason);
    QApplication::sendEvent(form->DescEdit, &back);
    EXPECT_FALSE(QFile::exists(feedPath()));
    enter(form->DescEdit);
    tab();
    EXPECT_NE(channelIn(feedPath()).find("<description>About it!</description>"),
              std::string::npos);
}

TEST_F(Form1ChannelFieldsTest, TheDomainPromptRewritesTheCategoryEvenWhenCancelled) {
    startOn("news.xml", feed("Feed", item, "<category>Old</category>"));
    showPage(form->ChannelPage, form->DetailsTab);
    form->ChannelCategoryDomain.clear();
    click(form->CategoryAttrBtn);
    EXPECT_EQ(dialogs.prompts, QStringList{"Domain Path"});
    EXPECT_EQ(channelIn(feedPath()), "<category domain=\"\">Old</category>" + stamps + itemMarkup);

    dialogs.promptAnswers.push_back(QStringLiteral("http://d/"));
    click(form->CategoryAttrBtn);
    EXPECT_EQ(channelIn(feedPath()),
              "<category domain=\"http://d/\">Old</category>" + stamps + itemMarkup);
    EXPECT_EQ(form->ChannelCategoryDomain, QStringLiteral("http://d/"));
}
