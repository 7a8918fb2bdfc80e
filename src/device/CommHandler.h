#pragma once

#include <cstddef>
#include <string>

#include "common/Failure.h"
#include "device/CommPort.h"
#include "device/LineStatus.h"
#include "device/LineStatusView.h"
#include "device/ReceiveState.h"
#include "scan/ScanSink.h"

namespace brisolant {

namespace test {
struct CommHandlerProbe;
}

// The port-event handler: collects received characters into scans, asks the station to resend
// short blocks, reports line events and failures in status panel 1, and runs the test scan.
class CommHandler {
  public:
    // Longest text kept without a block terminator; beyond it the text is a rejected block.
    static constexpr std::size_t kReceiveBufferLimit = 64 * 1024;
    // Longest tail of the buffer that lblDataReceived shows.
    static constexpr std::size_t kDataReceivedShown = 4000;
    // Most text held while a scan is processed (about 3,000 scans); beyond it the oldest goes.
    static constexpr std::size_t kHeldInputLimit = 1024 * 1024;

    CommHandler(LineStatus& status, CommPort& comm, EventPump& pump, ScanSink& scans);

    // One run for each event the port reports, and once for the test scan.
    void Comm_OnComm();
    // Replaces the buffer by the built-in sample scan and runs the handler in test mode.
    void InjectTestScan();
    // The port was opened or reopened: anything half received is gone, and on a line that marks
    // its scans with STX, a block that comes without one is the end of a scan whose start was
    // lost.
    void PortOpened();

    // The built-in sample scan: nine lines and the closing empty line, 290 characters, no STX.
    static std::string TestScanText();

    const ReceiveState& State() const { return state_; }

  private:
    void HoldWhileProcessing();
    void DropOldestHeldInput();
    void ReceiveStep();
    void Framing(bool testPreStep);
    bool FrameOneBlock(bool testPreStep);
    bool DropCutOffText(std::size_t& blockEnd, bool tail);
    bool OpensRightAfterStx(std::size_t blockEnd) const;
    void DropEarlierScans(std::size_t& blockEnd);
    void ReportDropped(FailureCode code, int scans);
    void RejectBlock(bool testPreStep, std::size_t blockEnd);
    void HandOff(std::size_t blockEnd);
    void TakeHeldInput(std::string rest);

    ReceiveState state_;
    LineStatus& status_;
    CommPort& comm_;
    EventPump& pump_;
    ScanSink& scans_;
    bool processing_ = false;  // a scan is being processed (the manual-entry prompt may be open)
    std::string held_input_;   // characters received while a scan was being processed
    bool held_input_cut_ = false;   // the oldest held characters were dropped, or the port reopened
    std::size_t searched_ = 0;      // the buffer's first characters that hold no terminator start
    bool stx_marks_scans_ = false;  // a scan was handed on with an STX right before its opening
    bool tail_expected_ = false;    // the start of the block now arriving was lost
    bool failure_shown_ = false;    // panel 1 shows a failure of this run that must stay there

    // Tests start the handler in a state that takes long to reach by events (the retry count at
    // its top).
    friend struct test::CommHandlerProbe;
};

}  // namespace brisolant
