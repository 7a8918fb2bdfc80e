// Build step: the program's icon at one of the sizes desktops look for.
//   brisolant-icon-scaler SOURCE.png SIZE OUTPUT.png
// Sizes up to the source's own are scaled down from it. Larger ones (128 and 256 px, which
// desktops scaled by two show) would be blurred by scaling up, so the parcel is drawn afresh at
// that size from its outlines, traced on the source's 64-pixel grid.
#include <QColor>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QString>
#include <cstdio>
#include <initializer_list>

namespace {

QPolygonF Shape(std::initializer_list<QPointF> points) {
    return QPolygonF(QList<QPointF>(points));
}

// The parcel of the 64-pixel source: three faces, a band of tape over the lid and down the
// right face, dark outlines.
QImage DrawnIcon(int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / 64.0, size / 64.0);

    const QPointF top(32, 8), left(5.6, 20), right(58.4, 20), front(32, 32);
    const QPointF bottom(32, 60.5), leftBottom(5.6, 48), rightBottom(58.4, 48);
    const QColor outline(0x5a, 0x3a, 0x12), lid(0xd9, 0xa2, 0x5f);
    const QColor leftFace(0xc5, 0x8a, 0x45), rightFace(0xb0, 0x78, 0x35), tape(0xf3, 0xe3, 0xc3);

    painter.setPen(Qt::NoPen);
    painter.setBrush(lid);
    painter.drawPolygon(Shape({top, right, front, left}));
    painter.setBrush(leftFace);
    painter.drawPolygon(Shape({left, front, bottom, leftBottom}));
    painter.setBrush(rightFace);
    painter.drawPolygon(Shape({front, right, rightBottom, bottom}));
    painter.setBrush(tape);
    painter.drawPolygon(Shape({{18.6, 14.2}, {23.2, 12.1}, {48.0, 24.8}, {43.6, 26.8}}));
    painter.drawPolygon(Shape({{43.6, 26.8}, {48.0, 24.8}, {48.0, 53.3}, {43.6, 55.4}}));

    QPen pen(outline, 1.8);
    pen.setJoinStyle(Qt::RoundJoin);
    pen.setCapStyle(Qt::RoundCap);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    painter.drawPolygon(Shape({top, right, rightBottom, bottom, leftBottom, left}));
    painter.drawPolyline(Shape({left, front, right}));
    painter.drawLine(front, bottom);
    painter.end();
    return image.convertToFormat(QImage::Format_ARGB32);
}

}  // namespace

int main(int argc, char* argv[]) {
    if (argc != 4) {
        std::fputs("usage: brisolant-icon-scaler SOURCE.png SIZE OUTPUT.png\n", stderr);
        return 2;
    }
    const QImage source(QString::fromLocal8Bit(argv[1]));
    const int size = QString::fromLatin1(argv[2]).toInt();
    if (source.isNull() || size <= 0) {
        std::fprintf(stderr, "brisolant-icon-scaler: cannot read %s at size %s\n", argv[1],
                     argv[2]);
        return 1;
    }
    const QImage icon = size > source.width() ? DrawnIcon(size)
                                              : source.convertToFormat(QImage::Format_ARGB32)
                                                    .scaled(size, size, Qt::KeepAspectRatio,
                                                            Qt::SmoothTransformation);
    return icon.save(QString::fromLocal8Bit(argv[3]), "PNG") ? 0 : 1;
}
