#include "window/qt/StartPictures.h"

#include <QImage>
#include <QResource>
#include <QString>

namespace brisolant {

namespace {

constexpr QSize kLogoShown(355, 133);
constexpr QSize kIconSize(64, 64);

// Rows of raw pixels kept uncompressed in the resources, read where they lie; an empty image
// when they are not there as expected.
QImage RawPixels(const QString& path, QSize size, QImage::Format format, int bytesPerPixel) {
    const QResource resource(path);
    const qsizetype bytesPerLine = static_cast<qsizetype>(size.width()) * bytesPerPixel;
    if (!resource.isValid() || resource.compressionAlgorithm() != QResource::NoCompression ||
        resource.size() != bytesPerLine * size.height()) {
        return {};
    }
    return QImage(resource.data(), size.width(), size.height(), bytesPerLine, format);
}

}  // namespace

QPixmap LogoPicture(const QSize& shown) {
    if (shown == kLogoShown) {
        const QImage raw = RawPixels(QStringLiteral(":/assets/logo-355x133.rgb"), kLogoShown,
                                     QImage::Format_RGB32, 4);
        if (!raw.isNull()) {
            return QPixmap::fromImage(raw);
        }
    }
    return QPixmap(QStringLiteral(":/assets/logo.png"));
}

QIcon ProgramIcon() {
    const QImage raw = RawPixels(QStringLiteral(":/assets/icon-64x64.rgba"), kIconSize,
                                 QImage::Format_RGBA8888, 4);
    return raw.isNull() ? QIcon(QStringLiteral(":/assets/icon.png"))
                        : QIcon(QPixmap::fromImage(raw));
}

}  // namespace brisolant
