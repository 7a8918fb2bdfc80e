#include "window/qt/RecordListView.h"

#include <QFontDatabase>
#include <QKeyEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>
#include <climits>

namespace brisolant {

namespace {

constexpr int kMargin = 2;

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

int ClampToInt(std::size_t value) {
    return static_cast<int>(std::min<std::size_t>(value, INT_MAX));
}

}  // namespace

RecordListView::RecordListView(QWidget* parent) : QAbstractScrollArea(parent) {
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPointSizeF(9.75);
    setFont(font);
    viewport()->setBackgroundRole(QPalette::Base);
    viewport()->setAutoFillBackground(true);
    verticalScrollBar()->setSingleStep(1);
    UpdateScrollBars();
}

void RecordListView::Clear() {
    lines_.Clear();
    UpdateScrollBars();
    viewport()->update();
}

void RecordListView::AppendLine(const std::string& line) {
    const int row = RowCount();
    QScrollBar* bar = verticalScrollBar();
    const bool following = bar->value() == bar->maximum();
    lines_.AppendLine(line);
    UpdateScrollBars();
    if (following) {
        bar->setValue(bar->maximum());  // scrolls the rows in view and draws only the new one
    }
    const int shown = row - TopRow();
    if (shown >= 0 && shown <= RowsInView()) {
        viewport()->update(0, shown * RowHeight(), viewport()->width(), RowHeight());
    }
}

void RecordListView::AppendFile(const std::string& path) {
    lines_.AppendFile(path);
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
    return ShownText(lines_.Lines(static_cast<std::size_t>(row), 1).front());
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

void RecordListView::UpdateScrollBars() {
    const int inView = std::max(RowsInView(), 1);
    QScrollBar* vertical = verticalScrollBar();
    vertical->setPageStep(inView);
    vertical->setRange(0, std::max(RowCount() - inView, 0));

    const int textWidth =
        ClampToInt(lines_.Widest()) * fontMetrics().horizontalAdvance(QLatin1Char('0'));
    QScrollBar* horizontal = horizontalScrollBar();
    horizontal->setPageStep(viewport()->width());
    horizontal->setSingleStep(fontMetrics().horizontalAdvance(QLatin1Char('0')));
    horizontal->setRange(0, std::max(textWidth + 2 * kMargin - viewport()->width(), 0));
}

void RecordListView::paintEvent(QPaintEvent* event) {
    const int height = RowHeight();
    const QRect area = event->rect();
    const int firstInArea = std::max(area.top() / height, 0);
    const int lastInArea = area.bottom() / height;
    const int first = TopRow() + firstInArea;
    const int count = std::min(lastInArea - firstInArea + 1, RowCount() - first);
    if (count <= 0) {
        return;
    }
    const auto lines =
        lines_.Lines(static_cast<std::size_t>(first), static_cast<std::size_t>(count));
    QPainter painter(viewport());
    painter.setPen(palette().color(QPalette::Text));
    const int left = kMargin - horizontalScrollBar()->value();
    int baseline = firstInArea * height + fontMetrics().ascent();
    for (const std::string& line : lines) {
        painter.drawText(left, baseline, ShownText(line));
        baseline += height;
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
// view are drawn again.
void RecordListView::scrollContentsBy(int dx, int dy) {
    viewport()->scroll(dx, dy * RowHeight());
}

}  // namespace brisolant
