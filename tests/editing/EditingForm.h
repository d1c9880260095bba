#pragma once
// The real window on a feed file of the test's own, driven with keyboard and
// mouse events, and the feed document the window wrote to disk read back.

#include "feed/FeedLookups.h"
#include "form/FormFixture.h"
#include "xml/XmlWriter.h"

#include <QAbstractButton>
#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>

#include <memory>

class EditingFormFixture : public FormFixture {
protected:
    // Starts the window on homePath(name) holding bytes, with the focus in the window.
    void startOn(const QString& name, const QByteArray& bytes) {
        writeFile(homePath(name), bytes);
        settings().writeString(QStringLiteral("Publication"), QStringLiteral("FilePath"),
                               homePath(name));
        start();
        form->activateWindow();
        QApplication::processEvents();
    }

    void showPage(QWidget* page, QWidget* tab = nullptr) {
        form->Page->setCurrentWidget(page);
        if (tab)
            form->FeedTabs->setCurrentWidget(tab);
        QApplication::processEvents();
    }

    // Moves the focus into w as the Tab key would.
    static void enter(QWidget* w) { w->setFocus(Qt::TabFocusReason); }

    static void key(QWidget* target, int code, const QString& text = {},
                    Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QKeyEvent press(QEvent::KeyPress, code, modifiers, text);
        QApplication::sendEvent(target, &press);
        QKeyEvent release(QEvent::KeyRelease, code, modifiers, text);
        QApplication::sendEvent(target, &release);
    }

    // Types text into the control that has the focus.
    static void type(const QString& text) {
        for (const QChar c : text) {
            QWidget* target = QApplication::focusWidget();
            ASSERT_NE(target, nullptr);
            if (c == u'\n')
                key(target, Qt::Key_Return, QStringLiteral("\r"));
            else
                key(target, 0, QString(c));
        }
    }

    static void selectAll() {
        key(QApplication::focusWidget(), Qt::Key_A, {}, Qt::ControlModifier);
    }

    static void backspace(int times = 1) {
        for (int i = 0; i < times; ++i)
            key(QApplication::focusWidget(), Qt::Key_Backspace);
    }

    // Leaves the focused control with the Tab key.
    static void tab() {
        QWidget* from = QApplication::focusWidget();
        ASSERT_NE(from, nullptr);
        key(from, Qt::Key_Tab);
    }

    // A left click in the middle of w (a button takes the focus as it would).
    static void click(QWidget* w) {
        const QPointF at = QRectF(w->rect()).center();
        QMouseEvent press(QEvent::MouseButtonPress, at, w->mapToGlobal(at), Qt::LeftButton,
                          Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(w, &press);
        QMouseEvent release(QEvent::MouseButtonRelease, at, w->mapToGlobal(at), Qt::LeftButton,
                            Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(w, &release);
    }

    void selectTopic(int index) {
        QTreeWidgetItem* channel = form->channelNode();
        ASSERT_NE(channel, nullptr);
        form->selectNode(index < 0 ? channel : channel->child(index));
    }

    // A file read into a document of its own.
    static std::unique_ptr<TXmlObjModel> loaded(const QString& path) {
        auto model = std::make_unique<TXmlObjModel>();
        model->setFormattedOutput(false);
        EXPECT_TRUE(model->loadFromSource(path.toStdString())) << path.toStdString();
        model->setFormattedOutput(false);
        return model;
    }

    static std::string markupOf(const TXmlNodePtr& node) {
        return node ? QString::fromStdU16String(xmlText(*node)).toStdString() : "<null>";
    }

    // The channel of a file on one line, without the three fields every test feed opens with.
    std::string channelIn(const QString& path) {
        const auto model = loaded(path);
        std::string text = markupOf(channelOf(model->document()));
        if (text.rfind("<channel>", 0) == 0)
            text = text.substr(9, text.size() - 9 - 10);
        const std::string start = "<title>Feed</title><link>http://example.invalid/</link>"
                                  "<description>About it</description>";
        if (text.rfind(start, 0) == 0)
            text = text.substr(start.size());
        return text;
    }

    // Item i of a file on one line.
    std::string itemIn(const QString& path, long i) {
        const auto model = loaded(path);
        return markupOf(itemsOf(model->document()).item(i));
    }

    QString feedPath() const { return homePath(QStringLiteral("news.xml")); }
    QString backupPath() const { return homePath(QStringLiteral("news.bak")); }
};
