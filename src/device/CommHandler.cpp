#include "device/CommHandler.h"

#include <limits>
#include <string_view>
#include <utility>
#include <vector>

#include "common/Failure.h"
#include "device/LineEventText.h"
#include "device/ScanOpening.h"

namespace brisolant {

namespace {

constexpr std::string_view kTerminator = "\r\n\r\n";
constexpr char kStx = '\x02';
constexpr std::string_view kNak = "\x15";
constexpr std::string_view kAck = "\x06";
constexpr std::size_t kMinimumBlock = 50;
constexpr int kNakThreshold = 1;
constexpr int kDiscardThreshold = 10;

// lblDataReceived shows the buffer in brackets; a runaway buffer shows only its end.
std::string Bracketed(const std::string& buffer) {
    const std::size_t shown = CommHandler::kDataReceivedShown;
    const std::size_t from = buffer.size() > shown ? buffer.size() - shown : 0;
    std::string text;
    text.reserve(buffer.size() - from + 2);
    text += '[';
    text.append(buffer, from);
    text += ']';
    return text;
}

// The scans cut off in `text`, which runs from an STX up to (not including) the STX of the scan
// handed on. Each STX starts a scan; the text up to the next one is a scan cut off when it holds
// any of a scan's text, and line noise when it does not (an STX in a burst of noise, two STX in
// a row).
int CutOffScans(std::string_view text) {
    int scans = 0;
    for (std::size_t stx = text.find(kStx); stx != std::string_view::npos;) {
        const std::size_t next = text.find(kStx, stx + 1);
        const std::size_t length = next == std::string_view::npos ? next : next - stx - 1;
        scans += HoldsScanText(text.substr(stx + 1, length)) ? 1 : 0;
        stx = next;
    }
    return scans;
}

}  // namespace

CommHandler::CommHandler(LineStatus& status, CommPort& comm, EventPump& pump, ScanSink& scans)
    : status_(status), comm_(comm), pump_(pump), scans_(scans) {}

void CommHandler::Comm_OnComm() {
    try {
        if (processing_) {
            HoldWhileProcessing();
            return;
        }
        failure_shown_ = false;
        if (state_.TestMode) {
            status_.SetLightColour(kLightRed);
            Framing(true);
        }
        const int code = comm_.CommEvent();
        if (code == kEventReceive) {
            ReceiveStep();
        } else if (code != kEventSend && !(state_.TestMode && failure_shown_)) {
            // In a test the port's last event is old news, replaced by "Waiting Idle" below; it
            // must not replace the failure of a test scan that could not be recorded.
            status_.ShowText(std::string(LineEventText(code)), LineEventPriority(code));
        }
        if (state_.TestMode && !failure_shown_) {
            status_.ShowIdle();
        }
    } catch (const Failure& failure) {
        status_.ShowFailure(failure);
    } catch (const std::exception& error) {
        status_.ShowFailure(Failure(FailureCode::Unexpected, error.what()));
    }
}

void CommHandler::InjectTestScan() {
    state_.TestMode = true;
    // The sample replaces a block half received from the station; the rest of that block
    // must not be taken for a scan of its own.
    if (!state_.ReceiveBuffer.empty()) {
        tail_expected_ = true;
    }
    state_.ReceiveBuffer = TestScanText();
    searched_ = 0;
    Comm_OnComm();
    state_.TestMode = false;
}

void CommHandler::PortOpened() {
    searched_ = 0;
    tail_expected_ = true;
    if (processing_) {
        // The buffer holds the scan being processed; what followed it came from the old line.
        held_input_.clear();
        held_input_cut_ = true;
    } else {
        state_.ReceiveBuffer.clear();
    }
}

std::string CommHandler::TestScanText() {
    static const char* const kLines[] = {
        "     --------------------------",  "     Device Number:      1",
        "     Length:             11.0 in", "     Width:              22.8 in",
        "     Height:             13.6 in", "     Gross Weight:       12.44 lb",
        "     Dimensional Weight: 26.31",   "     Dimensional Factor: 110.7",
        "     Barcode: 1234567890",
    };
    std::string text;
    for (const char* line : kLines) {
        text += line;
        text += "\r\n";
    }
    return text + "\r\n";
}

// While a scan is being processed (the operator may be typing into the manual-entry prompt) no
// second scan may start; what arrives is kept and framed once the first scan is written.
void CommHandler::HoldWhileProcessing() {
    const int code = comm_.CommEvent();
    if (code == kEventReceive) {
        held_input_ += comm_.Input();
        if (held_input_.size() > kHeldInputLimit) {
            DropOldestHeldInput();
        }
    } else if (code != kEventSend) {
        status_.ShowText(std::string(LineEventText(code)), LineEventPriority(code));
    }
}

// A prompt left open on a busy line must not take the program's memory. The newest half of the
// bound is kept, so that a line that keeps flooding pays for one drop per half megabyte.
void CommHandler::DropOldestHeldInput() {
    held_input_.erase(0, held_input_.size() - kHeldInputLimit / 2);
    held_input_cut_ = true;
    ReportDropped(FailureCode::HeldInputOverflow, 1);
}

void CommHandler::ReceiveStep() {
    // A test scan that could not be recorded keeps its failure on screen: "Receiving Data"
    // with nothing arriving would hide that a parcel is missing.
    const bool keepFailure = state_.TestMode && failure_shown_;
    if (!keepFailure) {
        status_.SetLightColour(kLightRed);
    }
    std::string input = comm_.Input();
    if (keepFailure) {
        if (input.empty()) {
            return;
        }
        status_.SetLightColour(kLightRed);
    }
    state_.ReceiveBuffer += input;
    Framing(false);
}

void CommHandler::Framing(bool testPreStep) {
    status_.ShowText(kReceivingStatusText);
    status_.ShowDataReceived(Bracketed(state_.ReceiveBuffer));
    pump_.Yield();
    while (FrameOneBlock(testPreStep)) {
    }
}

// Frames the first block in the buffer. Returns true when the buffer may hold the next block
// already.
bool CommHandler::FrameOneBlock(bool testPreStep) {
    std::string& buffer = state_.ReceiveBuffer;
    if (searched_ > buffer.size()) {
        searched_ = 0;
    }
    const std::size_t terminator = buffer.find(kTerminator, searched_);
    if (terminator == std::string::npos) {
        // The terminator may straddle this read and the next one.
        searched_ =
            buffer.size() >= kTerminator.size() ? buffer.size() - kTerminator.size() + 1 : 0;
        if (buffer.size() > kReceiveBufferLimit) {
            RejectBlock(testPreStep, buffer.size());
            // Whatever comes next may be the rest of the scan the bound cut.
            tail_expected_ = true;
        }
        return false;
    }
    std::size_t blockEnd = terminator + kTerminator.size();
    // The sample scan has no STX, so the test takes no part in finding the ends of scans.
    bool marksItsStart = false;
    if (!testPreStep) {
        const bool tail = std::exchange(tail_expected_, false) && stx_marks_scans_;
        if (DropCutOffText(blockEnd, tail)) {
            return !buffer.empty();
        }
        marksItsStart = OpensRightAfterStx(blockEnd);
        DropEarlierScans(blockEnd);
    }
    if (blockEnd < kMinimumBlock) {
        RejectBlock(testPreStep, blockEnd);
        return !buffer.empty();
    }
    stx_marks_scans_ = stx_marks_scans_ || marksItsStart;
    HandOff(blockEnd);
    return !buffer.empty();
}

// Every STX starts a scan, so in a block with several of them only the text from the last one
// on is a scan: the text before it belongs to scans that were cut off, and handing it on would
// mix one parcel's values with another's. Text before the first STX is line noise and goes
// unseen. When the start of the block was lost (`tail`), a block without STX is the end of such
// a scan, unless it holds two openings (see DropEarlierScans). No NAK is sent for these: the
// station would send the good scan that follows again. Returns true when nothing of the block
// is left.
bool CommHandler::DropCutOffText(std::size_t& blockEnd, bool tail) {
    std::string& buffer = state_.ReceiveBuffer;
    const std::string_view block(buffer.data(), blockEnd);
    const std::size_t last = block.rfind(kStx);
    if (last == std::string::npos) {
        if (!tail || ScanOpenings(block).size() > 1) {
            return false;
        }
        buffer.erase(0, blockEnd);
        searched_ = 0;
        ReportDropped(FailureCode::ScanTailDropped, 1);
        return true;
    }
    const std::size_t first = block.find(kStx);
    const std::size_t from = tail ? 0 : first;
    if (from == last) {
        return false;
    }
    const int cutOff = CutOffScans(block.substr(first, last - first));
    buffer.erase(from, last - from);
    blockEnd -= last - from;
    searched_ = 0;
    if (cutOff > 0) {
        ReportDropped(FailureCode::ScanCutOff, cutOff);
    }
    return false;
}

// Whether the block's STX stands right before the opening of its scan: a station that sends
// such scans marks their starts with STX. A stray STX in noise ahead of a scan does not.
bool CommHandler::OpensRightAfterStx(std::size_t blockEnd) const {
    const std::string_view block(state_.ReceiveBuffer.data(), blockEnd);
    const std::size_t stx = block.find(kStx);
    return stx != std::string_view::npos && BeginsWithScanOpening(block.substr(stx + 1));
}

// A scan that lost its STX behind one that was cut off joins it in one block, which then holds
// two openings: only the text from the last opening is a scan, and what comes before it belongs
// to scans cut off. A block with one opening is left as it is.
void CommHandler::DropEarlierScans(std::size_t& blockEnd) {
    std::string& buffer = state_.ReceiveBuffer;
    const std::size_t stx = std::string_view(buffer.data(), blockEnd).find(kStx);
    const std::size_t start = stx == std::string::npos ? 0 : stx + 1;
    const std::vector<std::size_t> openings =
        ScanOpenings(std::string_view(buffer).substr(start, blockEnd - start));
    if (openings.size() < 2) {
        return;
    }
    buffer.erase(start, openings.back());
    blockEnd -= openings.back();
    searched_ = 0;
    ReportDropped(FailureCode::ScanCutOff, static_cast<int>(openings.size() - 1));
}

// Dropped scans are counted with the discarded ones, and the failure stays in panel 1 until
// the next data arrives, so that the operator scans the parcel again.
void CommHandler::ReportDropped(FailureCode code, int scans) {
    status_.ShowFailure(Failure(code));
    status_.SetLightColour(kLightYellow);
    status_.CountDiscarded(scans);
    failure_shown_ = true;
}

// A NAK makes the station send its scan again, so everything received so far is dropped to
// make room for the resend. Once a NAK is out no further resend comes, and what follows the
// rejected block may be the next good scan: only the block itself is dropped then.
void CommHandler::RejectBlock(bool testPreStep, std::size_t blockEnd) {
    const bool resendComing = state_.RetryCount < kNakThreshold;
    searched_ = 0;
    if (resendComing) {
        state_.ReceiveBuffer.clear();
        comm_.DiscardInput();
    } else {
        state_.ReceiveBuffer.erase(0, blockEnd);
    }
    // The count stops at its top: from the eleventh on every rejection is handled alike.
    if (state_.RetryCount < std::numeric_limits<std::int16_t>::max()) {
        ++state_.RetryCount;
    }
    if (state_.RetryCount > kNakThreshold) {
        status_.ShowText("Not getting Correct Data", LogPriority::Warning);
    } else {
        comm_.Output(kNak);
    }
    if (!testPreStep) {
        pump_.Yield();
    }
    if (state_.RetryCount > kDiscardThreshold) {
        if (!testPreStep) {
            comm_.Output(kAck);
        }
        status_.ShowText("Previous scan discarded", LogPriority::Error);
        status_.SetLightColour(kLightYellow);
        status_.CountDiscarded(1);
    }
}

// Only the text up to and including the first terminator is this scan; what follows is the
// start of the next one and stays in the buffer.
void CommHandler::HandOff(std::size_t blockEnd) {
    std::string rest = state_.ReceiveBuffer.substr(blockEnd);
    state_.ReceiveBuffer.resize(blockEnd);
    const std::size_t stx = state_.ReceiveBuffer.find(kStx);
    if (stx != std::string::npos) {
        state_.ReceiveBuffer.erase(0, stx + 1);
    }
    processing_ = true;
    std::optional<Failure> failure;
    try {
        failure = scans_.ProcessScan(state_.ReceiveBuffer);
    } catch (...) {
        // The scan is gone either way; it must not be framed a second time.
        processing_ = false;
        TakeHeldInput(std::move(rest));
        throw;
    }
    processing_ = false;
    if (failure) {
        status_.ShowFailure(*failure);
    }
    status_.SetLightColour(kLightGreen);
    TakeHeldInput(std::move(rest));
    // A scan that could not be recorded keeps its failure on screen until the next data arrives:
    // "Waiting Idle" over it would tell the operator all is well while a parcel is missing.
    if (failure) {
        failure_shown_ = true;
    } else if (!failure_shown_) {
        status_.ShowIdle();
    }
    state_.RetryCount = 0;
}

// What arrived while the scan was processed follows what was left after it. When the oldest
// held characters were dropped, the text left after the scan has lost its continuation, and
// the held text begins inside a scan.
void CommHandler::TakeHeldInput(std::string rest) {
    if (std::exchange(held_input_cut_, false)) {
        rest.clear();
        tail_expected_ = true;
    }
    rest += held_input_;
    state_.ReceiveBuffer = std::move(rest);
    held_input_.clear();
    searched_ = 0;
}

}  // namespace brisolant
