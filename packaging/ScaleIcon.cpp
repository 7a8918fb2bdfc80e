// Build step: the program's icon at one of the sizes desktops look for.
//   brisolant-icon-scaler SOURCE.png SIZE OUTPUT.png
#include <QImage>
#include <QString>
#include <cstdio>

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
    const QImage scaled = source.convertToFormat(QImage::Format_ARGB32)
                              .scaled(size, size, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    return scaled.save(QString::fromLocal8Bit(argv[3]), "PNG") ? 0 : 1;
}
