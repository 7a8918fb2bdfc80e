#include "about/qt/QtProgramLauncher.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>

namespace brisolant {

bool QtProgramLauncher::FileExists(const std::string& path) const {
    return QFileInfo(QFile::decodeName(QByteArray::fromStdString(path))).isFile();
}

bool QtProgramLauncher::Start(const std::string& path) {
    return QProcess::startDetached(QFile::decodeName(QByteArray::fromStdString(path)), {});
}

}  // namespace brisolant
