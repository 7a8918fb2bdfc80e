#pragma once

#include <cstddef>
#include <string>

#include "common/MainWindowState.h"
#include "common/MainWindowView.h"
#include "device/CommPort.h"
#include "scan/ScanSink.h"

namespace brisolant {

// The port-event handler: collects received characters into scans, asks the station to resend
// short blocks, reports line events and failures in status panel 1, and runs the test scan.
class CommHandler {
  public:
    // Longest text kept without a block terminator; beyond it the text is a rejected block.
    static constexpr std::size_t kReceiveBufferLimit = 64 * 1024;
    // Longest tail of the buffer that lblDataReceived shows.
    static constexpr std::size_t kDataReceivedShown = 4000;

    CommHandler(MainWindowState& state, MainWindowView& view, CommPort& comm, EventPump& pump,
                ScanSink& scans);

    // One run for each event the port reports, and once for the test scan.
    void Comm_OnComm();
    // Replaces the buffer by the built-in sample scan and runs the handler in test mode.
    void InjectTestScan();
    // The port was opened again after it had been lost: what was received before the loss is
    // the unfinished part of a scan that will never be completed, and is dropped.
    void PortOpened();

    // The built-in sample scan: nine lines and the closing empty line, 290 characters, no STX.
    static std::string TestScanText();

  private:
    void HoldWhileProcessing();
    void ReceiveStep();
    void Framing(bool testPreStep);
    bool FrameOneBlock(bool testPreStep);
    void RejectBlock(bool testPreStep, std::size_t blockEnd);
    void HandOff(std::size_t blockEnd);

    MainWindowState& state_;
    MainWindowView& view_;
    CommPort& comm_;
    EventPump& pump_;
    ScanSink& scans_;
    bool processing_ = false;   // a scan is being processed (the manual-entry prompt may be open)
    std::string held_input_;    // characters received while a scan was being processed
    std::size_t searched_ = 0;  // the buffer's first characters that hold no terminator start
    bool scan_failed_ = false;  // a scan handed on in this run was not recorded
    bool drop_rest_ = false;    // the port was reopened while a scan was being processed
};

}  // namespace brisolant
