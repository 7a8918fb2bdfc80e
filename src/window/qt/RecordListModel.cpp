#include "window/qt/RecordListModel.h"

#include <algorithm>
#include <climits>
#include <iterator>
#include <vector>

#include "common/Failure.h"
#include "window/LineIndex.h"

namespace brisolant {

namespace {

// A row shows at most this many bytes of its line. A record is 139 or 190 characters; a file that
// is not a data file may hold a line of any length, which must not be read whole to draw a row.
constexpr std::size_t kMaxShownBytes = 4096;

// The line as a row shows it: 8-bit text decoded as Latin-1, with control characters (a lone LF
// is part of a line's text) drawn as spaces so that every row stays one line high.
QString ShownText(const std::string& line) {
    QString text = QString::fromLatin1(line.data(), static_cast<qsizetype>(line.size()));
    for (QChar& c : text) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F) {
            c = u' ';
        }
    }
    return text;
}

}  // namespace

struct RecordListModel::Impl {
    // A run of rows: the lines of one file, or lines appended one by one.
    struct Segment {
        int firstRow = 0;
        std::unique_ptr<LineIndex> file;
        std::vector<std::string> lines;
    };

    std::vector<Segment> segments;
    int rows = 0;

    std::string Line(int row) const {
        const auto after =
            std::upper_bound(segments.begin(), segments.end(), row,
                             [](int r, const Segment& segment) { return r < segment.firstRow; });
        const Segment& segment = *std::prev(after);
        const auto local = static_cast<std::size_t>(row - segment.firstRow);
        if (segment.file) {
            return segment.file->Line(local, kMaxShownBytes);
        }
        return segment.lines[local].substr(0, kMaxShownBytes);
    }
};

RecordListModel::RecordListModel(QObject* parent)
    : QAbstractListModel(parent), impl_(std::make_unique<Impl>()) {}

RecordListModel::~RecordListModel() = default;

void RecordListModel::Clear() {
    beginResetModel();
    impl_->segments.clear();
    impl_->rows = 0;
    endResetModel();
}

void RecordListModel::AppendLine(const std::string& line) {
    const int row = impl_->rows;
    if (row == INT_MAX) {
        return;  // the list cannot hold more rows; the line is in the data file all the same
    }
    auto& segments = impl_->segments;
    const bool continuesRun = !segments.empty() && !segments.back().file;
    beginInsertRows(QModelIndex(), row, row);
    if (!continuesRun) {
        segments.push_back({row, nullptr, {}});
    }
    segments.back().lines.push_back(line);
    ++impl_->rows;
    endInsertRows();
}

void RecordListModel::AppendFile(const std::string& path) {
    auto file = std::make_unique<LineIndex>(path);
    const std::size_t count = file->size();
    if (count == 0) {
        return;
    }
    const int first = impl_->rows;
    if (count > static_cast<std::size_t>(INT_MAX - first)) {
        throw Failure(FailureCode::DataFileRead, path + ": the file has too many lines to show");
    }
    const int last = first + static_cast<int>(count) - 1;
    impl_->segments.reserve(impl_->segments.size() + 1);
    beginInsertRows(QModelIndex(), first, last);
    impl_->segments.push_back({first, std::move(file), {}});
    impl_->rows = last + 1;
    endInsertRows();
}

int RecordListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : impl_->rows;
}

QVariant RecordListModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !index.isValid() || index.row() >= impl_->rows) {
        return {};
    }
    return ShownText(impl_->Line(index.row()));
}

}  // namespace brisolant
