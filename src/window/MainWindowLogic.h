#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "common/MessagePresenter.h"
#include "recorder/Recorder.h"
#include "recorder/WaitingScansMessage.h"
#include "window/DataFileReader.h"
#include "window/MainWindowView.h"

namespace brisolant {

// The main window's own logic, without any toolkit: start and close, the commands, the data view
// and the repaint. The recording is the recorder's; the window is a view of it.
class MainWindowLogic {
  public:
    // The data view's file is read through `reader`, never on the window's thread.
    MainWindowLogic(MainWindowView& view, DataFileReader& reader, RecorderServices recorder);

    // The window's load step: settings, port, panels, Data menu off, light green, counter 0.
    void Form_Load() { recorder_.Start(); }
    // The window is closing: what the writer cannot finish stays in the journal, and the
    // operator learns how many scans wait for the next start.
    void Form_Unload() { Unload(messages_); }
    // The same without a window to show it in: a signal ends the program.
    void Unload(MessagePresenter& messages);

    Recorder& recorder() { return recorder_; }
    const Recorder& recorder() const { return recorder_; }

    // Commands.
    void mnuResetCounter_Click() { recorder_.ResetCounter(); }
    void mnuData_Click();
    void mnuTest_Click() { recorder_.InjectTestScan(); }
    void lblHiddenButton_Click();
    // The window was repainted (shown, uncovered or resized).
    void Repaint();
    // The reader has answers: the data view shows the lines of the read it waits for, or its
    // failure; an answer for a view switched off, or on again, since it asked is dropped.
    void TakeDataFileAnswers();

  private:
    void LayoutDataView();
    void ReadDataFile();
    void DataViewFailed(const Failure& failure);

    MainWindowView& view_;
    ScanDisplay& scans_;  // the same window, as the recorder sees it
    DataFileReader& reader_;
    MessagePresenter& messages_;
    Recorder recorder_;
    std::uint64_t reads_ = 0;        // reads asked for so far
    std::uint64_t awaitedRead_ = 0;  // the one the data view waits for; 0 for none
};

}  // namespace brisolant
