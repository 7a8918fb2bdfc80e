#pragma once

#include <QAbstractScrollArea>
#include <cstdint>
#include <optional>
#include <string>

#include "common/DetachedCalls.h"
#include "window/DataFileLines.h"
#include "window/RecordLines.h"

class QTimer;

namespace brisolant {

// lstData: the lines of the data view, one row each in the fixed-pitch font. Every row is one
// line high, so the view lays out nothing: it draws only the rows it shows, and adding a line
// costs the same over a million rows as over ten. It opens at its last row and, as long as the
// operator leaves it there, follows new lines; scrolled elsewhere, it stays. The scroll bars
// follow new lines at most twice a second: drawing them is most of what a line costs.
// A file's lines are read on threads of their own, a block at a time, never on the window's: a
// row not read yet says "Reading…" in grey until its block comes.
class RecordListView : public QAbstractScrollArea {
    Q_OBJECT

  public:
    explicit RecordListView(QWidget* parent = nullptr);

    void Clear();
    // Adds one line at the end (8-bit text).
    void AppendLine(const std::string& line);
    // Adds a record written to the file at `path` from `offset` on, unless the file's lines
    // shown already hold it (it was written just before the view read the file). While a file
    // is being read, the record waits behind its lines.
    void AppendRecord(const std::string& path, std::uint64_t offset, const std::string& line);
    // A file is being read: until its lines come the view shows one grey row, "Reading…".
    void ShowReading();
    bool Reading() const { return lines_.AwaitingFile(); }
    // Adds the file's lines at the end, then the records that waited for them.
    void ShowFile(DataFileLines lines);

    int RowCount() const;
    // Row i as it is drawn: Latin-1, control characters as spaces; empty while not read yet.
    QString RowText(int row) const;
    // Whether row i's text is here, rather than still being read.
    bool RowRead(int row) const;
    // The first row in view.
    int TopRow() const;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
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
    // Asks for the first block of file rows in view, or next to it, that has not been read,
    // unless a block is being read already: one read at a time, so that a folder that hangs
    // holds up one thread, however the operator scrolls.
    void ReadMissingRows();
    void RowsRead();

    RecordLines lines_;
    QTimer* rangeTimer_;
    bool rangePending_ = false;
    // At the last row: new lines keep it there.
    bool following_ = true;
    // The view, not the operator, is moving the scroll bars.
    bool updatingBars_ = false;
    bool barsStale_ = false;  // changed while hidden: set once shown
    std::optional<RowsWanted> rowsInFlight_;
    DetachedCalls<RowBlock> rowReads_;
};

}  // namespace brisolant
