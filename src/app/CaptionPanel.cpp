#include "app/CaptionPanel.h"

#include <QPainter>
#include <QStyle>

namespace {
constexpr int captionMargin = 4;
}

TCaptionPanel::TCaptionPanel(const QString& caption, QWidget* parent)
    : QFrame(parent), caption_(caption) {
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setLineWidth(1);
}

void TCaptionPanel::setCaption(const QString& caption) {
    if (caption == caption_)
        return;
    caption_ = caption;
    updateGeometry();
    update();
}

void TCaptionPanel::setCaptionAlignment(Qt::Alignment alignment) {
    alignment_ = alignment;
    update();
}

QSize TCaptionPanel::sizeHint() const {
    QSize text = fontMetrics().size(Qt::TextShowMnemonic, caption_);
    int frame = 2 * frameWidth();
    return {text.width() + 2 * captionMargin + frame, text.height() + 6 + frame};
}

QSize TCaptionPanel::minimumSizeHint() const {
    return {2 * frameWidth(), sizeHint().height()};
}

void TCaptionPanel::paintEvent(QPaintEvent* event) {
    QFrame::paintEvent(event);
    QPainter painter(this);
    QRect area = contentsRect().adjusted(captionMargin, 0, -captionMargin, 0);
    QString shown =
        fontMetrics().elidedText(caption_, Qt::ElideRight, area.width(), Qt::TextShowMnemonic);
    style()->drawItemText(&painter, area, int(alignment_ | Qt::TextShowMnemonic), palette(),
                          isEnabled(), shown, foregroundRole());
}
