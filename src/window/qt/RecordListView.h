#pragma once

#include <QAbstractScrollArea>
#include <cstdint>
#include <string>

#include "window/RecordLines.h"

class QTimer;

namespace brisolant {

// lstData: the lines of the data view, one row each in the fixed-pitch font. Every row is one
// line high, so the view lays out nothing: it draws only the rows it shows, and adding a line
// costs the same over a million rows as over ten. It opens at its last row and, as long as the
// operator leaves it there, follows new lines; scrolled elsewhere, it stays. The scroll bars
// follow new lines at most twice a second: drawing them is most of what a line costs.
class RecordListView : public QAbstractScrollArea {
    Q_OBJECT

  public:
    explicit RecordListView(QWidget* parent = nullptr);

    void Clear();
    // Adds one line at the end (8-bit text).
    void AppendLine(const std::string& line);
    // Adds a record written to the file at `path` from `offset` on, unless the file's lines
    // shown already hold it (it was written just before the view read the file).
    void AppendRecord(const std::string& path, std::uint64_t offset, const std::string& line);
    // Adds every line of the file at the end; throws Failure(DataFileRead) when it cannot be read.
    void AppendFile(const std::string& path);

    int RowCount() const;
    // Row i as it is drawn: Latin-1, control characters as spaces.
    QString RowText(int row) const;
    // The first row in view.
    int TopRow() const;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;

  private:
    int RowHeight() const;
    int RowsInView() const;
    // The rows changed: the scroll bars follow at once if they have not moved lately, otherwise
    // when the timer ends.
    void RowsChanged();
    void RangeTimerEnded();
    // Sets the scroll bars' ranges to the rows held, and to the last row when following.
    void UpdateScrollBars();

    RecordLines lines_;
    QTimer* rangeTimer_;
    bool rangePending_ = false;
    // At the last row: new lines keep it there.
    bool following_ = true;
    // The view, not the operator, is moving the scroll bars.
    bool updatingBars_ = false;
};

}  // namespace brisolant
