#include "device/CommHandler.h"

#include <cstdlib>
#include <limits>
#include <string_view>
#include <utility>

#include "common/Failure.h"
#include "device/LineEventText.h"

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

std::string IncrementedCount(const std::string& text) {
    const long long count = std::strtoll(text.c_str(), nullptr, 10);
    return std::to_string(count + 1);
}

}  // namespace

CommHandler::CommHandler(MainWindowState& state, MainWindowView& view, CommPort& comm,
                         EventPump& pump, ScanSink& scans)
    : state_(state), view_(view), comm_(comm), pump_(pump), scans_(scans) {}

void CommHandler::Comm_OnComm() {
    scan_failed_ = false;
    try {
        if (processing_) {
            HoldWhileProcessing();
            return;
        }
        if (state_.TestMode) {
            view_.SetLightColour(kLightRed);
            Framing(true);
        }
        const int code = comm_.CommEvent();
        if (code == kEventReceive) {
            ReceiveStep();
        } else if (code != kEventSend) {
            view_.SetPanelText(1, std::string(LineEventText(code)));
        }
        if (state_.TestMode && !scan_failed_) {
            view_.SetPanelText(1, "Status: Waiting Idle");
        }
    } catch (const Failure& failure) {
        view_.SetPanelText(1, StatusText(failure));
    } catch (const std::exception& error) {
        view_.SetPanelText(1, StatusText(Failure(FailureCode::Unexpected, error.what())));
    }
}

void CommHandler::InjectTestScan() {
    state_.TestMode = true;
    state_.ReceiveBuffer = TestScanText();
    searched_ = 0;
    Comm_OnComm();
    state_.TestMode = false;
}

void CommHandler::PortOpened() {
    held_input_.clear();
    searched_ = 0;
    if (processing_) {
        // The scan in hand is whole; only what followed it before the loss goes.
        drop_rest_ = true;
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
    } else if (code != kEventSend) {
        view_.SetPanelText(1, std::string(LineEventText(code)));
    }
}

void CommHandler::ReceiveStep() {
    view_.SetLightColour(kLightRed);
    state_.ReceiveBuffer += comm_.Input();
    Framing(false);
}

void CommHandler::Framing(bool testPreStep) {
    view_.SetPanelText(1, "Status: Receiving Data");
    view_.SetDataReceivedText(Bracketed(state_.ReceiveBuffer));
    pump_.Yield();
    while (FrameOneBlock(testPreStep)) {
    }
}

// Frames the first block in the buffer. Returns true when a scan was handed on and the buffer
// may hold the next one already.
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
        }
        return false;
    }
    const std::size_t blockEnd = terminator + kTerminator.size();
    if (blockEnd < kMinimumBlock) {
        RejectBlock(testPreStep, blockEnd);
        return !state_.ReceiveBuffer.empty();
    }
    HandOff(blockEnd);
    return !state_.ReceiveBuffer.empty();
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
    if (state_.RetryCount == std::numeric_limits<std::int16_t>::max()) {
        throw Failure(FailureCode::RetryCountOverflow);
    }
    ++state_.RetryCount;
    if (state_.RetryCount > kNakThreshold) {
        view_.SetPanelText(1, "Not getting Correct Data");
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
        view_.SetPanelText(1, "Previous scan discarded");
        view_.SetLightColour(kLightYellow);
        view_.SetErrorsText(IncrementedCount(view_.ErrorsText()));
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
    bool recorded = false;
    try {
        recorded = scans_.ProcessScan(state_.ReceiveBuffer);
    } catch (...) {
        // The scan is gone either way; it must not be framed a second time.
        processing_ = false;
        if (std::exchange(drop_rest_, false)) {
            rest.clear();
        }
        state_.ReceiveBuffer = std::move(rest) + held_input_;
        held_input_.clear();
        searched_ = 0;
        throw;
    }
    processing_ = false;
    view_.SetLightColour(kLightGreen);
    if (std::exchange(drop_rest_, false)) {
        rest.clear();
    }
    rest += held_input_;
    state_.ReceiveBuffer = std::move(rest);
    held_input_.clear();
    searched_ = 0;
    // A scan that could not be recorded keeps its failure on screen until the next data arrives:
    // "Waiting Idle" over it would tell the operator all is well while a parcel is missing.
    if (recorded) {
        view_.SetPanelText(1, "Status: Waiting Idle");
    } else {
        scan_failed_ = true;
    }
    state_.RetryCount = 0;
}

}  // namespace brisolant
