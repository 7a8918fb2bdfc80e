#pragma once

#include <string>

#include "window/DataFileLines.h"

namespace brisolant {

// The main window's own operations that its logic uses: the status panels' widths, the raw-text
// caption's visibility, the Data menu's check mark and the record list, and the window's outer
// size. Sizes are in twips (1/1440 inch). Whether the Data menu can be chosen is the recorder's
// (ScanDisplay).
class MainWindowView {
  public:
    virtual ~MainWindowView() = default;

    virtual void SetPanelMinWidth(int panel, int twips) = 0;

    // lblDataReceived: the raw text received, shown only on request.
    virtual void SetDataReceivedVisible(bool visible) = 0;
    virtual bool DataReceivedVisible() const = 0;

    // mnuData ("&Data").
    virtual void SetDataMenuChecked(bool checked) = 0;
    virtual bool DataMenuChecked() const = 0;

    // lstData.
    virtual void ClearList() = 0;
    // The list's file is being read: the list says so, and records written until its lines come
    // wait behind them.
    virtual void ShowListReading() = 0;
    // The file's lines came: the list shows them (a line ends at CR or CR LF; a last line without
    // a line end counts), then the records that waited, but those the file already holds.
    virtual void ShowListLines(DataFileLines lines) = 0;
    virtual void SetListVisible(bool visible) = 0;
    virtual int ListWidth() const = 0;
    virtual void SetListGeometry(int top, int width, int height) = 0;

    // The window's outer size, frame, title and menu bar included.
    virtual int OuterWidth() const = 0;
    virtual int OuterHeight() const = 0;
};

}  // namespace brisolant
