// The headline tree, the synopsis list and the channel fields rebuilt from the
// feed document, and how selecting a node makes it the current topic.
#include "form/FormFixture.h"

#include <QApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QSpinBox>
#include <QTreeWidget>

#include <functional>
#include <ostream>
#include <string>

class FormHeadlineListTest : public FormFixture {
protected:
    void SetUp() override {
        FormFixture::SetUp();
        start();
    }

    // Loads bytes into the feed document and rebuilds the view from it.
    void show(const QByteArray& bytes) {
        ASSERT_TRUE(form->XMLObject.loadFromMemory(bytes.constData(), bytes.size()));
        form->LoadQandAData();
    }

    void press(Qt::MouseButton button, const QPoint& at) {
        QWidget* viewport = form->QListBox->viewport();
        QMouseEvent event(QEvent::MouseButtonPress, at, viewport->mapToGlobal(at), button, button,
                          Qt::NoModifier);
        QApplication::sendEvent(viewport, &event);
        QMouseEvent release(QEvent::MouseButtonRelease, at, viewport->mapToGlobal(at), button,
                            Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(viewport, &release);
    }

    QPoint centreOf(QTreeWidgetItem* node) const {
        return form->QListBox->visualItemRect(node).center();
    }
};

TEST_F(FormHeadlineListTest, ItemsBecomeNodesAndThirdChildrenTheSynopses) {
    show(feed(
        "News",
        "<item><title>Described</title><link/><description>Text</description></item>"
        "<item><title>By author</title><link/><author>Ann</author><pubDate>Mon</pubDate></item>"
        "<item><title>Dated</title><link/><pubDate>Sat, 14 Mar 2026</pubDate></item>"
        "<item><title>Alone</title></item>"
        "<item/>"));
    QTreeWidgetItem* channel = form->channelNode();
    ASSERT_NE(channel, nullptr);
    EXPECT_EQ(form->QListBox->topLevelItemCount(), 1);
    EXPECT_TRUE(channel->isExpanded());
    ASSERT_EQ(channel->childCount(), 5);
    const QStringList captions{"Described", "By author", "Dated", "Alone", ""};
    for (int k = 0; k < 5; ++k) {
        EXPECT_EQ(channel->child(k)->text(0), captions[k]);
        EXPECT_EQ(TForm1::nodeData(channel->child(k)), k);
    }
    EXPECT_EQ(form->AListBox,
              (QStringList{"Text", "Ann", "Sat, 14 Mar 2026", QString(), QString()}));
    // The rebuild leaves nothing selected, and noting the current topic then does nothing.
    EXPECT_EQ(form->selectedNode(), nullptr);
    form->CurrentChannelTitle = QStringLiteral("before");
    form->SetCurrentTopic();
    EXPECT_EQ(form->CurrentChannelTitle, QStringLiteral("before"));
}

TEST_F(FormHeadlineListTest, ChannelFieldsFollowTheDocument) {
    show(feed("News", "<item><title>x</title></item>",
              "<language>de-DE</language><copyright>(c) Us</copyright><ttl>45</ttl>"
              "<skipHours><hour>0</hour><hour>23</hour><hour>24</hour><hour>x</hour></skipHours>"
              "<skipDays><day>monday</day><day>SUNDAY</day><day>Someday</day></skipDays>"
              "<category domain=\"http://dmoz\">Tech</category>"
              "<cloud domain=\"rpc.example\" port=\"80\" path=\"/RPC2\" "
              "registerProcedure=\"notify\" protocol=\"xml-rpc\"/>"
              "<textInput><title>Search</title><description>Find</description>"
              "<name>q</name><link>http://s/</link></textInput>"
              "<image><title>Logo</title><link>http://l/</link><url>http://l/i.png</url>"
              "<width>500</width><height>31</height></image>"));
    EXPECT_EQ(form->TitleEdit->text(), QStringLiteral("News"));
    EXPECT_EQ(form->CopyrightEdit->text(), QStringLiteral("(c) Us"));
    EXPECT_EQ(form->TTLSpin->value(), 45);
    EXPECT_EQ(form->HoursCheckListBox->item(0)->checkState(), Qt::Checked);
    EXPECT_EQ(form->HoursCheckListBox->item(23)->checkState(), Qt::Checked);
    EXPECT_EQ(form->HoursCheckListBox->item(1)->checkState(), Qt::Unchecked);
    EXPECT_EQ(form->DaysCheckListBox->item(0)->checkState(), Qt::Checked);
    EXPECT_EQ(form->DaysCheckListBox->item(6)->checkState(), Qt::Checked);
    EXPECT_EQ(form->DaysCheckListBox->item(1)->checkState(), Qt::Unchecked);
    EXPECT_EQ(form->CategoryEdit->text(), QStringLiteral("Tech"));
    EXPECT_EQ(form->ChannelCategoryDomain, QStringLiteral("http://dmoz"));
    EXPECT_EQ(form->CloudRegisterEdit->text(), QStringLiteral("notify"));
    EXPECT_EQ(form->CloudPortEdit->text(), QStringLiteral("80"));
    EXPECT_EQ(form->TINameEdit->text(), QStringLiteral("q"));
    EXPECT_EQ(form->ImageLinkEdit->text(), QStringLiteral("http://l/i.png"));
    EXPECT_EQ(form->ImageWSpin->value(), 144); // the field's own limit
    EXPECT_EQ(form->ImageHSpin->value(), 31);

    // Fields set only when present keep their values on a feed without them.
    show(feed("Plain", "<item><title>x</title></item>"));
    EXPECT_EQ(form->CategoryEdit->text(), QStringLiteral("Tech"));
    EXPECT_EQ(form->CloudDomainEdit->text(), QStringLiteral("rpc.example"));
    EXPECT_EQ(form->TTLSpin->value(), 0);
    EXPECT_EQ(form->CopyrightEdit->text(), QString());
    EXPECT_EQ(form->ImageTitleEdit->text(), QString());
}

TEST_F(FormHeadlineListTest, AmpersandsShowAsTyped) {
    EXPECT_EQ(TForm1::AddAmp(QStringLiteral("A&B")), QStringLiteral("A&&B"));
    EXPECT_EQ(TForm1::AddAmp(QStringLiteral("&&")), QStringLiteral("&&&&"));

    show(feed("News &amp; Views", "<item><title>One</title></item>"));
    form->selectNode(form->channelNode()->child(0));
    EXPECT_EQ(form->TopicPanel->caption(), QStringLiteral(" Channel: News && Views"));

    form->selectNode(form->channelNode());
    EXPECT_EQ(form->CurrentNodeData, TForm1::ChannelNodeData);
    EXPECT_EQ(form->QuestionPanel->caption(), QStringLiteral("Channel: News && Views"));
    EXPECT_EQ(form->AMemo->toPlainText(), QString());
    EXPECT_TRUE(form->HTMLText->toPlainText().isEmpty());

    form->PositionInList(1);
    EXPECT_EQ(form->QuestionPanel->caption(), QStringLiteral(" Headline: "));
}

TEST_F(FormHeadlineListTest, SelectingATopicMakesItCurrent) {
    show(feed("News", "<item><title>One</title><link/><description>S1</description></item>"
                      "<item><title>Two</title><link/><description>&lt;b&gt;S2&lt;/b&gt;"
                      "</description></item>"));
    form->selectNode(form->channelNode()->child(1));
    EXPECT_EQ(form->CurrentNodeData, 1);
    EXPECT_EQ(form->CurrentTopicIndex, 1);
    EXPECT_EQ(form->LastCurrentNode, form->channelNode()->child(1));
    EXPECT_EQ(form->CurrentChannelTitle, QStringLiteral("News"));
    EXPECT_EQ(form->QuestionPanel->caption(), QStringLiteral(" Headline: 2"));
    EXPECT_EQ(form->AMemo->toPlainText(), QStringLiteral("<b>S2</b>"));
    EXPECT_EQ(form->HTMLText->toPlainText(), QStringLiteral("S2"));
}

TEST_F(FormHeadlineListTest, PressOnEmptySpaceKeepsTheCurrentTopic) {
    form->setActivePage(form->TopicsPage);
    show(feed("News", "<item><title>One</title></item><item><title>Two</title></item>"));
    QTreeWidgetItem* two = form->channelNode()->child(1);
    press(Qt::LeftButton, centreOf(two));
    ASSERT_EQ(form->selectedNode(), two);

    const QPoint below = centreOf(two) + QPoint(0, 200);
    ASSERT_EQ(form->QListBox->itemAt(below), nullptr);
    press(Qt::LeftButton, below);
    EXPECT_EQ(form->selectedNode(), two);
    EXPECT_EQ(form->CurrentNodeData, 1);
}

TEST_F(FormHeadlineListTest, PressOnEmptySpaceGivesTheTreeTheFocus) {
    form->setActivePage(form->TopicsPage);
    show(feed("News", "<item><title>One</title></item>"));
    form->TitleEdit->setFocus();
    const QPoint below = centreOf(form->channelNode()->child(0)) + QPoint(0, 200);
    ASSERT_EQ(form->QListBox->itemAt(below), nullptr);
    press(Qt::LeftButton, below);
    EXPECT_EQ(form->focusWidget(), form->QListBox);
}

TEST_F(FormHeadlineListTest, RightClickMakesTheTopicCurrentBeforeThePopUp) {
    form->setActivePage(form->TopicsPage);
    show(feed("News", "<item><title>One</title><link/><description>S1</description></item>"
                      "<item><title>Two</title><link/><description>S2</description></item>"));
    form->selectNode(form->channelNode()->child(0));
    press(Qt::RightButton, centreOf(form->channelNode()->child(1)));
    EXPECT_EQ(form->selectedNode(), form->channelNode()->child(1));
    EXPECT_EQ(form->CurrentNodeData, 1);
    EXPECT_EQ(form->AMemo->toPlainText(), QStringLiteral("S2"));
}

TEST_F(FormHeadlineListTest, ChannelNodeShowsBookPicturesByState) {
    show(feed("News", "<item><title>One</title></item>"));
    QTreeWidgetItem* channel = form->channelNode();
    const auto pictureOf = [](QTreeWidgetItem* node) { return node->icon(0).cacheKey(); };
    EXPECT_EQ(pictureOf(channel), form->ImageList[1].cacheKey());
    EXPECT_EQ(pictureOf(channel->child(0)), form->ImageList[2].cacheKey());
    channel->setExpanded(false);
    EXPECT_EQ(pictureOf(channel), form->ImageList[3].cacheKey());
    channel->setExpanded(true);
    EXPECT_EQ(pictureOf(channel), form->ImageList[1].cacheKey());
}

TEST_F(FormHeadlineListTest, DocumentWithoutChannelShowsAnEmptyTree) {
    show("<rss version=\"2.0\"><item><title>Stray</title></item></rss>");
    EXPECT_EQ(form->QListBox->topLevelItemCount(), 0);
    EXPECT_TRUE(form->AListBox.isEmpty());
    form->QListBoxClick();
    EXPECT_EQ(form->selectedNode(), nullptr);
}

// A rebuild after one topic was added puts in that topic's node only; the
// tree must then be what a rebuild from nothing shows, whatever the change.
struct TreeChangeCase {
    const char* name;
    std::function<void(const TXmlDocumentPtr& doc)> change;
    bool nodesKept; // only the new topic's node was put in
};

class FormHeadlineListChangeTest : public FormHeadlineListTest,
                                   public ::testing::WithParamInterface<TreeChangeCase> {};

namespace {

TXmlNodePtr topicItem(const TXmlDocumentPtr& doc, const std::u16string& title,
                      const std::u16string& synopsis) {
    const TXmlElementPtr item = doc->createElement(u"item");
    doc->appendText(item->appendChild(doc->createElement(u"title")), title);
    item->appendChild(doc->createElement(u"link"));
    doc->appendText(item->appendChild(doc->createElement(u"description")), synopsis);
    return item;
}

struct TreeShown {
    QString channel;
    qint64 channelPicture = 0;
    bool open = false;
    QStringList captions;
    QList<int> data;
    QStringList synopses;
    int selected = 0;
    bool current = false;
    bool lastCurrent = false;
    bool operator==(const TreeShown&) const = default;
};

void PrintTo(const TreeShown& t, std::ostream* os) {
    *os << t.channel.toStdString() << " open " << t.open << " selected " << t.selected
        << " current " << t.current << " captions " << t.captions.join(u'|').toStdString()
        << " synopses " << t.synopses.join(u'|').toStdString() << " data";
    for (int d : t.data)
        *os << ' ' << d;
}

TreeShown shownBy(TForm1& form) {
    TreeShown t;
    QTreeWidgetItem* channel = form.channelNode();
    if (!channel)
        return t;
    t.channel = channel->text(0);
    t.channelPicture = channel->icon(0).cacheKey();
    t.open = channel->isExpanded();
    for (int k = 0; k < channel->childCount(); ++k) {
        t.captions << channel->child(k)->text(0);
        t.data << TForm1::nodeData(channel->child(k));
    }
    t.synopses = form.AListBox;
    t.selected = static_cast<int>(form.QListBox->selectedItems().size());
    t.current = form.QListBox->currentItem() != nullptr;
    t.lastCurrent = form.LastCurrentNode != nullptr;
    return t;
}

TXmlNodePtr nthItem(const TXmlDocumentPtr& doc, long n) {
    return doc->getElementsByTagName(u"item").item(n);
}

} // namespace

TEST_P(FormHeadlineListChangeTest, TreeIsWhatARebuildShows) {
    show(feed("News", "<item><title>One</title><link/><description>1</description></item>"
                      "<item><title>Two</title><link/><description>2</description></item>"
                      "<item><title>Three</title><link/><description>3</description></item>"));
    // State a rebuild resets: a selected, current topic in a closed channel.
    form->selectNode(form->channelNode()->child(1));
    form->QListBoxClick();
    form->channelNode()->setExpanded(false);

    constexpr int mark = Qt::UserRole + 1;
    for (int k = 0; k < form->channelNode()->childCount(); ++k)
        form->channelNode()->child(k)->setData(0, mark, true);

    const TXmlDocumentPtr& doc = form->XMLObject.document();
    GetParam().change(doc);
    form->LoadQandAData();
    const TreeShown updated = shownBy(*form);
    int kept = 0;
    for (int k = 0; k < form->channelNode()->childCount(); ++k)
        kept += form->channelNode()->child(k)->data(0, mark).isValid();
    EXPECT_EQ(kept, GetParam().nodesKept ? 3 : 0);
    form->QListBox->clear();
    form->LoadQandAData();
    EXPECT_EQ(updated, shownBy(*form));
    EXPECT_EQ(updated.captions.size(), doc->getElementsByTagName(u"item").length());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FormHeadlineListChangeTest,
    ::testing::Values(
        TreeChangeCase{"Appended",
                       [](const TXmlDocumentPtr& doc) {
                           nthItem(doc, 0)->parentNode()->appendChild(
                               topicItem(doc, u"Four", u"4"));
                       },
                       true},
        TreeChangeCase{"InsertedFirst",
                       [](const TXmlDocumentPtr& doc) {
                           const TXmlNodePtr first = nthItem(doc, 0);
                           first->parentNode()->insertBefore(topicItem(doc, u"Zero", u"0"), first);
                       },
                       true},
        TreeChangeCase{"InsertedInTheMiddle",
                       [](const TXmlDocumentPtr& doc) {
                           const TXmlNodePtr third = nthItem(doc, 2);
                           third->parentNode()->insertBefore(
                               topicItem(doc, u"Two and a half", u"2.5"), third);
                       },
                       true},
        TreeChangeCase{"SameCaptionAsItsNeighbour",
                       [](const TXmlDocumentPtr& doc) {
                           const TXmlNodePtr second = nthItem(doc, 1);
                           second->parentNode()->insertBefore(topicItem(doc, u"Two", u"2"), second);
                       },
                       true},
        TreeChangeCase{"InsertedAndAnotherRetitled",
                       [](const TXmlDocumentPtr& doc) {
                           nthItem(doc, 0)->parentNode()->appendChild(
                               topicItem(doc, u"Four", u"4"));
                           nthItem(doc, 0)->firstChild()->firstChild()->setNodeValue(u"Uno");
                       },
                       false},
        TreeChangeCase{"InsertedAndAnotherRedescribed",
                       [](const TXmlDocumentPtr& doc) {
                           nthItem(doc, 0)->parentNode()->appendChild(
                               topicItem(doc, u"Four", u"4"));
                           childAt(nthItem(doc, 2), 2)->firstChild()->setNodeValue(u"three");
                       },
                       false},
        TreeChangeCase{"ChannelRenamedAsATopicIsAdded",
                       [](const TXmlDocumentPtr& doc) {
                           const TXmlNodePtr channel = nthItem(doc, 0)->parentNode();
                           channel->firstChild()->firstChild()->setNodeValue(u"Renamed");
                           channel->appendChild(topicItem(doc, u"Four", u"4"));
                       },
                       true},
        TreeChangeCase{"Removed",
                       [](const TXmlDocumentPtr& doc) {
                           const TXmlNodePtr second = nthItem(doc, 1);
                           second->parentNode()->removeChild(second);
                       },
                       false},
        TreeChangeCase{"Unchanged", [](const TXmlDocumentPtr&) {}, false}),
    [](const auto& info) { return std::string(info.param.name); });
