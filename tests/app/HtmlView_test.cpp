// The preview pane: what it shows, what it refuses to do, and its double click.
#include "app/HtmlView.h"

#include <QApplication>
#include <QMouseEvent>
#include <QScrollBar>

#include <gtest/gtest.h>

TEST(FormPreviewPaneTest, ShowsAFragmentReadOnlyAndFromTheTop) {
    THtmlView view;
    view.resize(200, 100);
    view.show();
    QString longText;
    for (int i = 0; i < 200; ++i)
        longText += QStringLiteral("<p>line %1</p>").arg(i);
    view.loadFromString(longText);
    view.verticalScrollBar()->setValue(view.verticalScrollBar()->maximum());
    ASSERT_GT(view.verticalScrollBar()->value(), 0);

    view.loadFromString(QStringLiteral("<b>bold</b>   <pre>code</pre>"));
    EXPECT_EQ(view.verticalScrollBar()->value(), 0);
    EXPECT_TRUE(view.toPlainText().startsWith(QStringLiteral("bold")));
    EXPECT_TRUE(view.isReadOnly());
    EXPECT_EQ(view.textInteractionFlags(), Qt::NoTextInteraction);
    EXPECT_FALSE(view.isBackwardAvailable());
    EXPECT_EQ(view.font().family(), QStringLiteral("Arial"));
    EXPECT_EQ(view.font().pointSize(), 10);
    EXPECT_EQ(view.palette().color(QPalette::Base), view.palette().color(QPalette::Window));
}

TEST(FormPreviewPaneTest, FetchesNoResource) {
    THtmlView view;
    for (const char* address : {"http://127.0.0.1/logo.png", "file:///etc/hostname", "logo.png"})
        EXPECT_FALSE(view.loadResource(QTextDocument::ImageResource, QUrl(address)).isValid())
            << address;
}

TEST(FormPreviewPaneTest, ReportsADoubleClick) {
    THtmlView view;
    view.resize(200, 100);
    view.show();
    int clicks = 0;
    QObject::connect(&view, &THtmlView::doubleClicked, [&] { ++clicks; });
    const QPointF at(20, 20);
    QMouseEvent twice(QEvent::MouseButtonDblClick, at, view.viewport()->mapToGlobal(at),
                      Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view.viewport(), &twice);
    EXPECT_EQ(clicks, 1);
}
