#include "app/HtmlView.h"

#include "app/PreviewText.h"

#include <QScrollBar>

THtmlView::THtmlView(QWidget* parent) : QTextBrowser(parent) {
    setReadOnly(true);
    setOpenLinks(false);
    setOpenExternalLinks(false);
    setUndoRedoEnabled(false);
    setTextInteractionFlags(Qt::NoTextInteraction);
    setContextMenuPolicy(Qt::NoContextMenu);
    setFrameStyle(QFrame::Box | QFrame::Plain);
    setLineWidth(1);

    QFont font(QStringLiteral("Arial"));
    font.setPointSize(10);
    setFont(font);
    document()->setDefaultFont(font);
    document()->setDefaultStyleSheet(
        QStringLiteral("pre, code, tt, kbd, samp { font-family: 'Courier New'; }"));

    QPalette colours = palette();
    colours.setColor(QPalette::Base, colours.color(QPalette::Window));
    setPalette(colours);
}

void THtmlView::loadFromString(const QString& text) {
    setHtml(previewHtmlOf(text));
    verticalScrollBar()->setValue(0);
    horizontalScrollBar()->setValue(0);
}

QVariant THtmlView::loadResource(int, const QUrl&) {
    return {};
}

void THtmlView::mouseDoubleClickEvent(QMouseEvent* event) {
    QTextBrowser::mouseDoubleClickEvent(event);
    emit doubleClicked();
}
