#include "window/qt/RecordListView.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QKeyEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScopedValueRollback>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <climits>
#include <cmath>
#include <system_error>
#include <utility>

#include "common/qt/QueuedCall.h"

namespace brisolant {

namespace {

constexpr int kMargin = 2;
constexpr std::chrono::milliseconds kRangeInterval{500};

// The line as a row shows it, up to its first `columns` characters: 8-bit text decoded as
// Latin-1, with control characters (a lone LF is part of a line's text) drawn as spaces so that
// every row stays one line high.
QString ShownText(const std::string& line, std::size_t columns = std::string::npos) {
    QString text =
        QString::fromLatin1(line.data(), static_cast<qsizetype>(std::min(line.size(), columns)));
    for (QChar& c : text) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F) {
            c = u' ';
        }
    }
    return text;
}

int ClampToInt(std::size_t value) {
    return static_cast<int>(std::min<std::size_t>(value, INT_MAX));
}

// A scroll bar redraws itself whole for any change of its steps or range, even to the same
// values, so only changes are made. A range that grows on a bar already shown leaves the area's
// layout as it is, and the area is not told: laying its bars out again raises each over the
// other, which draws both whole.
void SetBar(QScrollBar& bar, int maximum, int pageStep, int singleStep) {
    if (bar.pageStep() != pageStep || bar.singleStep() != singleStep) {
        bar.setPageStep(pageStep);
        bar.setSingleStep(singleStep);
    }
    const bool layoutStays = bar.maximum() > 0 && maximum >= bar.maximum();
    const QSignalBlocker quiet(layoutStays ? &bar : nullptr);
    bar.setRange(0, maximum);
}

}  // namespace

RecordListView::RecordListView(QWidget* parent)
    : QAbstractScrollArea(parent),
      rangeTimer_(new QTimer(this)),
      rowReads_(QueuedCall(this, [this] { RowsRead(); })) {
    rangeTimer_->setObjectName(QStringLiteral("tmrScrollRange"));
    rangeTimer_->setSingleShot(true);
    rangeTimer_->setInterval(kRangeInterval);
    connect(rangeTimer_, &QTimer::timeout, this, &RecordListView::RangeTimerEnded);
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPointSizeF(9.75);
    setFont(font);
    viewport()->setBackgroundRole(QPalette::Base);
    viewport()->setAutoFillBackground(true);
    // Opaque as a whole, frame and scroll bars included, so that a change beneath the list
    // never draws the list again over it.
    setAutoFillBackground(true);
    verticalScrollBar()->setSingleStep(1);
    UpdateScrollBars();
}

void RecordListView::Clear() {
    lines_.Clear();
    // A read still under way answers for lines no longer here, and is dropped; the next file's
    // rows need not wait for it.
    rowsInFlight_.reset();
    following_ = true;
    UpdateScrollBars();
    viewport()->update();
}

void RecordListView::AppendLine(const std::string& line) {
    const int row = RowCount();
    lines_.AppendLine(line);
    RowsChanged();  // when following, may scroll the rows in view
    const int shown = row - TopRow();
    if (shown >= 0 && shown <= RowsInView()) {
        viewport()->update(0, shown * RowHeight(), viewport()->width(), RowHeight());
    }
}

void RecordListView::AppendRecord(const std::string& path, std::uint64_t offset,
                                  const std::string& line) {
    if (lines_.AwaitingFile()) {
        lines_.AppendRecord(path, offset, line);  // waits behind the file's lines
    } else if (!lines_.Holds(path, offset)) {
        AppendLine(line);
    }
}

void RecordListView::ShowReading() {
    lines_.AwaitFile();
    viewport()->update();
}

void RecordListView::ShowFile(DataFileLines lines) {
    lines_.AppendFile(std::move(lines));
    UpdateScrollBars();
    viewport()->update();
}

int RecordListView::RowCount() const {
    return ClampToInt(lines_.size());
}

QString RecordListView::RowText(int row) const {
    if (row < 0 || row >= RowCount()) {
        return {};
    }
    return ShownText(lines_.Lines(static_cast<std::size_t>(row), 1).front().value_or(""));
}

bool RecordListView::RowRead(int row) const {
    return row >= 0 && row < RowCount() &&
           lines_.Lines(static_cast<std::size_t>(row), 1).front().has_value();
}

int RecordListView::TopRow() const {
    return verticalScrollBar()->value();
}

int RecordListView::RowHeight() const {
    return std::max(fontMetrics().lineSpacing(), 1);
}

int RecordListView::RowsInView() const {
    return viewport()->height() / RowHeight();
}

void RecordListView::RowsChanged() {
    if (rangeTimer_->isActive()) {
        rangePending_ = true;
        return;
    }
    UpdateScrollBars();
    rangeTimer_->start();
}

// Runs only while lines arrive: once a whole interval passes without one, it is not started
// again.
void RecordListView::RangeTimerEnded() {
    if (rangePending_) {
        UpdateScrollBars();
        rangeTimer_->start();
    }
}

// A hidden view (the data view is hidden until the operator asks for it) sets its bars once
// shown: they depend on its font, whose loading is a good part of the program's start.
void RecordListView::UpdateScrollBars() {
    if (!isVisible()) {
        barsStale_ = true;
        return;
    }
    barsStale_ = false;
    const QScopedValueRollback moving(updatingBars_, true);
    rangePending_ = false;
    const int inView = std::max(RowsInView(), 1);
    QScrollBar* vertical = verticalScrollBar();
    SetBar(*vertical, std::max(RowCount() - inView, 0), inView, 1);

    const int advance = fontMetrics().horizontalAdvance(QLatin1Char('0'));
    const int textWidth = ClampToInt(lines_.Widest()) * advance;
    SetBar(*horizontalScrollBar(), std::max(textWidth + 2 * kMargin - viewport()->width(), 0),
           viewport()->width(), advance);
    if (following_) {
        vertical->setValue(vertical->maximum());
    }
}

void RecordListView::paintEvent(QPaintEvent* event) {
    const int height = RowHeight();
    const QRect area = event->rect();
    const int firstInArea = std::max(area.top() / height, 0);
    const int lastInArea = area.bottom() / height;
    const int first = TopRow() + firstInArea;
    const int count = std::max(std::min(lastInArea - firstInArea + 1, RowCount() - first), 0);
    const auto lines =
        lines_.Lines(static_cast<std::size_t>(first), static_cast<std::size_t>(count));
    QPainter painter(viewport());
    const QColor text = palette().color(QPalette::Text);
    const QColor waiting = palette().color(QPalette::PlaceholderText);
    const QString reading = QStringLiteral("Reading\u2026");
    const int left = kMargin - horizontalScrollBar()->value();
    // Laying out a row's text is most of drawing it: the characters past the area's right edge
    // are left out (one more for a glyph reaching in from beyond).
    const qreal advance = QFontMetricsF(font()).horizontalAdvance(QLatin1Char('0'));
    const auto columns = static_cast<std::size_t>(
        std::max(std::ceil((area.right() + 1 - left) / std::max(advance, qreal{1})) + 1, qreal{0}));
    int baseline = firstInArea * height + fontMetrics().ascent();
    for (const std::optional<std::string>& line : lines) {
        painter.setPen(line ? text : waiting);
        painter.drawText(left, baseline, line ? ShownText(*line, columns) : reading);
        baseline += height;
    }
    // The file being read comes after the rows held.
    if (lines_.AwaitingFile() && firstInArea + count <= lastInArea && first + count == RowCount()) {
        painter.setPen(waiting);
        painter.drawText(left, baseline, reading);
    }
    ReadMissingRows();
}

void RecordListView::ReadMissingRows() {
    if (rowsInFlight_) {
        return;
    }
    const auto top = static_cast<std::size_t>(TopRow());
    const auto inView = static_cast<std::size_t>(RowsInView() + 1);
    std::vector<RowsWanted> missing = lines_.Missing(top, inView);
    if (missing.empty()) {
        // The blocks next to the rows in view, so that scrolling a little finds them read.
        const std::size_t above = std::min(top, kRowsPerBlock);
        missing = lines_.Missing(top - above, above + inView + kRowsPerBlock);
    }
    if (missing.empty()) {
        return;
    }
    rowsInFlight_ = missing.front();
    try {
        rowReads_.Run([wanted = *rowsInFlight_] {
            try {
                return ReadRowBlock(wanted.file, wanted.block, RecordLines::kMaxShownBytes);
            } catch (const std::exception&) {
                return RowBlock{wanted.file, wanted.block, {}};  // out of memory: empty rows
            }
        });
    } catch (const std::system_error&) {
        rowsInFlight_.reset();  // no thread to read on now: the next repaint asks again
    }
}

void RecordListView::RowsRead() {
    for (RowBlock& rows : rowReads_.Take()) {
        if (rowsInFlight_ && rows.file == rowsInFlight_->file &&
            rows.block == rowsInFlight_->block) {
            rowsInFlight_.reset();
        }
        lines_.TakeRows(std::move(rows));
    }
    viewport()->update();
}

void RecordListView::showEvent(QShowEvent* event) {
    QAbstractScrollArea::showEvent(event);
    if (barsStale_) {
        UpdateScrollBars();
    }
}

void RecordListView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    UpdateScrollBars();
}

void RecordListView::changeEvent(QEvent* event) {
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        UpdateScrollBars();
        viewport()->update();
    }
}

void RecordListView::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Home) {
        verticalScrollBar()->triggerAction(QAbstractSlider::SliderToMinimum);
    } else if (event->key() == Qt::Key_End) {
        verticalScrollBar()->triggerAction(QAbstractSlider::SliderToMaximum);
    } else {
        QAbstractScrollArea::keyPressEvent(event);
    }
}

// The vertical scroll bar counts rows, the horizontal one pixels. Only the rows scrolled into
// view are drawn again. Where the operator leaves the view decides whether it follows new lines.
void RecordListView::scrollContentsBy(int dx, int dy) {
    viewport()->scroll(dx, dy * RowHeight());
    if (!updatingBars_) {
        following_ = verticalScrollBar()->value() == verticalScrollBar()->maximum();
    }
}

}  // namespace brisolant
