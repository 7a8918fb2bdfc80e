#include "window/qt/RecordListModel.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

#include "common/Failure.h"

namespace brisolant {

struct RecordListModel::Impl {
    std::vector<std::string> lines;
};

namespace {

std::vector<std::string> ReadLines(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw Failure(FailureCode::DataFileRead, path + ": " + std::strerror(errno));
    }
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) {
        throw Failure(FailureCode::DataFileRead, path + ": " + std::strerror(errno));
    }
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < bytes.size()) {
        const std::size_t cr = bytes.find('\r', start);
        if (cr == std::string::npos) {
            lines.push_back(bytes.substr(start));
            break;
        }
        lines.push_back(bytes.substr(start, cr - start));
        start = cr + 1;
        if (start < bytes.size() && bytes[start] == '\n') {
            ++start;
        }
    }
    return lines;
}

}  // namespace

RecordListModel::RecordListModel(QObject* parent)
    : QAbstractListModel(parent), impl_(std::make_unique<Impl>()) {}

RecordListModel::~RecordListModel() = default;

void RecordListModel::Clear() {
    beginResetModel();
    impl_->lines.clear();
    endResetModel();
}

void RecordListModel::AppendLine(const std::string& line) {
    const int row = rowCount();
    beginInsertRows(QModelIndex(), row, row);
    impl_->lines.push_back(line);
    endInsertRows();
}

void RecordListModel::AppendFile(const std::string& path) {
    std::vector<std::string> lines = ReadLines(path);
    if (lines.empty()) {
        return;
    }
    const int first = rowCount();
    beginInsertRows(QModelIndex(), first, first + static_cast<int>(lines.size()) - 1);
    impl_->lines.insert(impl_->lines.end(), std::make_move_iterator(lines.begin()),
                        std::make_move_iterator(lines.end()));
    endInsertRows();
}

int RecordListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(impl_->lines.size());
}

QVariant RecordListModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !index.isValid() || index.row() >= rowCount()) {
        return {};
    }
    const std::string& line = impl_->lines[static_cast<std::size_t>(index.row())];
    return QString::fromLatin1(line.data(), static_cast<qsizetype>(line.size()));
}

}  // namespace brisolant
