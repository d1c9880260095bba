#include "app/Pictures.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <functional>

namespace {

const QColor ink(0x33, 0x33, 0x33);
const QColor cover(0x2e, 0x6d, 0xb4);
const QColor paper(0xfa, 0xfa, 0xf5);
const QColor accent(0xe8, 0x7a, 0x1e);

// Draws on a 16 by 16 grid, rendered at the sizes the window asks for.
QIcon drawn(const std::function<void(QPainter&)>& paint) {
    QIcon icon;
    for (int size : {16, 24, 32, 48}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.scale(size / 16.0, size / 16.0);
        paint(painter);
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

QPen pen(const QColor& colour, qreal width = 1.0) {
    return QPen(colour, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

void textLines(QPainter& p, qreal left, const QList<qreal>& ys) {
    p.setPen(pen(ink, 1.2));
    for (qreal y : ys)
        p.drawLine(QPointF(left, y), QPointF(14.5, y));
}

void glyph(QPainter& p, const QString& text, const QRectF& box) {
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(int(box.height()));
    font.setBold(true);
    p.setFont(font);
    p.setPen(ink);
    p.drawText(box, Qt::AlignCenter, text);
}

} // namespace

QList<QIcon> treeStatePictures() {
    QIcon openBook = drawn([](QPainter& p) {
        p.setPen(pen(cover, 1.2));
        p.setBrush(paper);
        QPainterPath left;
        left.moveTo(8, 4.5);
        left.cubicTo(6, 3, 3, 3, 1, 3.5);
        left.lineTo(1, 13);
        left.cubicTo(3, 12.5, 6, 12.5, 8, 14);
        left.closeSubpath();
        QPainterPath right;
        right.moveTo(8, 4.5);
        right.cubicTo(10, 3, 13, 3, 15, 3.5);
        right.lineTo(15, 13);
        right.cubicTo(13, 12.5, 10, 12.5, 8, 14);
        right.closeSubpath();
        p.drawPath(left);
        p.drawPath(right);
        p.setPen(pen(ink, 0.7));
        for (qreal y : {6.0, 8.0, 10.0}) {
            p.drawLine(QPointF(2.5, y), QPointF(6.5, y + 0.5));
            p.drawLine(QPointF(9.5, y + 0.5), QPointF(13.5, y));
        }
    });
    QIcon page = drawn([](QPainter& p) {
        QPainterPath sheet;
        sheet.moveTo(3, 1.5);
        sheet.lineTo(10, 1.5);
        sheet.lineTo(13, 4.5);
        sheet.lineTo(13, 14.5);
        sheet.lineTo(3, 14.5);
        sheet.closeSubpath();
        p.setPen(pen(ink, 1.0));
        p.setBrush(paper);
        p.drawPath(sheet);
        p.drawPolyline(QPolygonF({QPointF(10, 1.5), QPointF(10, 4.5), QPointF(13, 4.5)}));
        p.setPen(pen(accent, 1.0));
        for (qreal y : {7.0, 9.0, 11.0})
            p.drawLine(QPointF(5, y), QPointF(11, y));
    });
    QIcon closedBook = drawn([](QPainter& p) {
        p.setPen(pen(ink, 1.0));
        p.setBrush(paper);
        p.drawRoundedRect(QRectF(4, 2, 10, 12.5), 1, 1);
        p.setBrush(cover);
        p.setPen(pen(cover.darker(130), 1.0));
        p.drawRoundedRect(QRectF(2.5, 1.5, 10, 12.5), 1, 1);
        p.setPen(pen(paper, 1.0));
        p.drawLine(QPointF(4.5, 1.5), QPointF(4.5, 14));
        p.drawLine(QPointF(6.5, 5), QPointF(10.5, 5));
    });
    return {QIcon(), openBook, page, closedBook};
}

QIcon folderPicture() {
    return drawn([](QPainter& p) {
        p.setPen(pen(QColor(0x9a, 0x70, 0x12), 1.0));
        p.setBrush(QColor(0xf2, 0xc3, 0x4b));
        QPainterPath folder;
        folder.moveTo(1.5, 3.5);
        folder.lineTo(6, 3.5);
        folder.lineTo(7.5, 5);
        folder.lineTo(14.5, 5);
        folder.lineTo(14.5, 13.5);
        folder.lineTo(1.5, 13.5);
        folder.closeSubpath();
        p.drawPath(folder);
        p.drawLine(QPointF(1.5, 7), QPointF(14.5, 7));
    });
}

QIcon addLocationPicture() {
    return drawn([](QPainter& p) {
        p.setPen(pen(cover, 1.0));
        p.setBrush(paper);
        p.drawEllipse(QPointF(7, 8), 5.5, 5.5);
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QPointF(7, 8), 2.3, 5.5);
        p.drawLine(QPointF(1.5, 8), QPointF(12.5, 8));
        p.setPen(pen(QColor(0x2a, 0x9d, 0x3a), 2.0));
        p.drawLine(QPointF(12.5, 10), QPointF(12.5, 15));
        p.drawLine(QPointF(10, 12.5), QPointF(15, 12.5));
    });
}

QIcon paragraphPicture() {
    return drawn([](QPainter& p) { glyph(p, QStringLiteral("\u00b6"), QRectF(0, 0, 16, 16)); });
}

QIcon orderedListPicture() {
    return drawn([](QPainter& p) {
        QFont font(QStringLiteral("DejaVu Sans"));
        font.setPixelSize(5);
        font.setBold(true);
        p.setFont(font);
        p.setPen(ink);
        p.drawText(QRectF(0.5, 1, 5, 5), Qt::AlignCenter, QStringLiteral("1"));
        p.drawText(QRectF(0.5, 5.5, 5, 5), Qt::AlignCenter, QStringLiteral("2"));
        p.drawText(QRectF(0.5, 10, 5, 5), Qt::AlignCenter, QStringLiteral("3"));
        textLines(p, 6.5, {3.5, 8.0, 12.5});
    });
}

QIcon unorderedListPicture() {
    return drawn([](QPainter& p) {
        p.setPen(Qt::NoPen);
        p.setBrush(ink);
        for (qreal y : {3.5, 8.0, 12.5})
            p.drawEllipse(QPointF(3, y), 1.4, 1.4);
        textLines(p, 6.5, {3.5, 8.0, 12.5});
    });
}

QIcon listItemPicture() {
    return drawn([](QPainter& p) {
        p.setPen(pen(QColor(0xaa, 0xaa, 0xaa), 1.0));
        p.drawLine(QPointF(6.5, 3.5), QPointF(14.5, 3.5));
        p.drawLine(QPointF(6.5, 12.5), QPointF(14.5, 12.5));
        p.setPen(Qt::NoPen);
        p.setBrush(accent);
        p.drawEllipse(QPointF(3, 8), 1.8, 1.8);
        textLines(p, 6.5, {8.0});
    });
}

QIcon farAnchorPicture() {
    return drawn([](QPainter& p) {
        p.setPen(pen(cover, 1.6));
        p.setBrush(Qt::NoBrush);
        p.save();
        p.translate(8, 8);
        p.rotate(-45);
        p.drawRoundedRect(QRectF(-7, -2.2, 7.5, 4.4), 2.2, 2.2);
        p.drawRoundedRect(QRectF(-0.5, -2.2, 7.5, 4.4), 2.2, 2.2);
        p.restore();
    });
}

QIcon blankSpacePicture() {
    return drawn([](QPainter& p) {
        p.setPen(pen(ink, 1.4));
        p.drawPolyline(QPolygonF({QPointF(2, 8), QPointF(2, 12), QPointF(14, 12), QPointF(14, 8)}));
    });
}
