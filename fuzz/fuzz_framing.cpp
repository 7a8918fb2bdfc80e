// The receive framing of CommHandler, fed through a fake port in reads of arbitrary size.
//
// Byte 0 chooses the mode:
// - raw: arbitrary bytes cut into arbitrary reads, with floods past the buffer bound, line events,
//   test scans and reopened ports. Without nesting it is checked against a plain model of the
//   framing (what is handed on, what stays, what is sent to the station, the count of discarded
//   scans); with nesting (reads arriving during a yield or while a scan is processed) and port
//   failures it must still keep its bounds.
// - structured: valid scans with unique barcodes between noise that holds no STX, CR or LF,
//   cut into arbitrary reads, some arriving during a yield or while a scan is processed, some
//   damaged (cut off part-way or one byte lost; never two in a row). Every intact scan must
//   reach the sink exactly once, whole, and in order, and nothing handed on may hold text of
//   two scans.

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "common/MainWindowState.h"
#include "device/CommHandler.h"
#include "support/FakeWindow.h"

namespace {

using namespace brisolant;
using brisolant::test::FakePort;
using brisolant::test::FakePump;
using brisolant::test::FakeView;

constexpr std::string_view kTerminator = "\r\n\r\n";
constexpr char kStx = '\x02';
constexpr std::size_t kMinimumBlock = 50;
constexpr int kMaxNesting = 4;

[[noreturn]] void Fault(const char* what) {
    std::fprintf(stderr, "fault: %s\n", what);
    std::abort();
}

void Require(bool condition, const char* what) {
    if (!condition) {
        Fault(what);
    }
}

// The program's ProcessScan as the framing sees it: takes the text and returns normally. What
// the test queues in `during` happens while the scan is processed, as port events do while the
// manual-entry prompt is open.
class RecordingSink : public ScanSink {
  public:
    bool ProcessScan(std::string& text) override {
        Require(depth_ == 0, "a scan was handed on while another was being processed");
        ++depth_;
        texts.push_back(text);
        if (!during.empty()) {
            auto next = std::move(during.front());
            during.pop_front();
            next();
        }
        --depth_;
        return true;
    }

    std::vector<std::string> texts;
    std::deque<std::function<void()>> during;

  private:
    int depth_ = 0;
};

struct Rig {
    Rig() {
        port.open = true;
        port.event = kEventReceive;
    }

    // One receive event bringing `chunk`, then the bounds every run must keep. A read takes
    // what a failed read left in the port too.
    void Deliver(const std::string& chunk) {
        port.Arrive(chunk);
        const std::size_t read = port.pending.size();
        largestRead = std::max(largestRead, read);
        inFlight += read;
        handler.Comm_OnComm();
        CheckBounds();
        inFlight -= read;
    }

    // After a run the buffer holds at most the bound and one read. Runs nested in a yield each
    // add their read before any of them frames, so inside them the reads of every run still on
    // the stack count.
    void CheckBounds() const {
        const std::size_t reads = std::max(largestRead, inFlight);
        Require(state.ReceiveBuffer.size() <= CommHandler::kReceiveBufferLimit + reads,
                "ReceiveBuffer grew past its bound");
        const std::string& shown = view.dataReceived;
        Require(shown.size() <= CommHandler::kDataReceivedShown + 2,
                "lblDataReceived grew past its bound");
        Require(shown.empty() || (shown.front() == '[' && shown.back() == ']'),
                "lblDataReceived is not bracketed");
        Require(state.RetryCount >= 0, "RetryCount went negative");
    }

    MainWindowState state;
    FakeView view;
    FakePort port;
    FakePump pump;
    RecordingSink sink;
    CommHandler handler{state, view, port, pump, sink};
    std::size_t largestRead = 0;
    std::size_t inFlight = 0;  // bytes of the reads whose runs have not returned yet
};

// The framing as written down plainly, for runs without nesting: a block ends at the first
// terminator; the text before its last STX is a cut-off scan, dropped and counted; after the port
// opens, a test or the buffer's bound, the text before the next STX is the end of a lost scan,
// dropped and counted too once the line is known to send STX; a short block is dropped with a NAK
// the first time (and everything received with it, since the station resends) and an ACK from
// the eleventh on; a complete one is handed on from after its STX, and what follows a handed-on
// or later rejected block stays for the next.
struct FramingModel {
    void Receive(const std::string& chunk, bool testPreStep = false) {
        stxSeen = stxSeen || chunk.find(kStx) != std::string::npos;
        buffer += chunk;
        Frame(testPreStep);
    }

    void PortOpened() {
        buffer.clear();
        tailExpected = true;
    }

    void Test() {
        tailExpected = tailExpected || !buffer.empty();
        buffer.clear();
        Receive(CommHandler::TestScanText(), true);
        Receive("");
    }

    // Drops what lies before the scan of the block [0, blockEnd); false when no scan is left.
    bool DropCutOff(std::size_t& blockEnd) {
        const bool tail = std::exchange(tailExpected, false) && stxSeen;
        const std::string block = buffer.substr(0, blockEnd);
        const auto stxCount = std::count(block.begin(), block.end(), kStx);
        if (stxCount == 0) {
            if (tail) {
                buffer.erase(0, blockEnd);
                ++discarded;
            }
            return !tail;
        }
        const std::size_t first = block.find(kStx);
        const std::size_t last = block.rfind(kStx);
        const std::size_t from = tail ? 0 : first;
        discarded += stxCount - 1 + (tail && first > 0 ? 1 : 0);
        buffer.erase(from, last - from);
        blockEnd -= last - from;
        return true;
    }

    void Frame(bool testPreStep) {
        for (;;) {
            const std::size_t terminator = buffer.find(kTerminator);
            if (terminator == std::string::npos) {
                if (buffer.size() > CommHandler::kReceiveBufferLimit) {
                    Reject(testPreStep, buffer.size());
                    tailExpected = true;
                }
                return;
            }
            std::size_t blockEnd = terminator + kTerminator.size();
            if (!testPreStep && !DropCutOff(blockEnd)) {
                if (buffer.empty()) {
                    return;
                }
                continue;
            }
            if (blockEnd < kMinimumBlock) {
                Reject(testPreStep, blockEnd);
                if (buffer.empty()) {
                    return;
                }
                continue;
            }
            std::string block = buffer.substr(0, blockEnd);
            buffer.erase(0, blockEnd);
            const std::size_t stx = block.find(kStx);
            if (stx != std::string::npos) {
                block.erase(0, stx + 1);
            }
            handed.push_back(std::move(block));
            retries = 0;
            if (buffer.empty()) {
                return;
            }
        }
    }

    void Reject(bool testPreStep, std::size_t blockEnd) {
        if (retries == 0) {
            buffer.clear();
        } else {
            buffer.erase(0, blockEnd);
        }
        retries = std::min(retries + 1, 32767);
        if (retries == 1) {
            sent += '\x15';
        }
        if (retries > 10) {
            if (!testPreStep) {
                sent += '\x06';
            }
            ++discarded;
        }
    }

    std::string buffer;
    std::vector<std::string> handed;
    std::string sent;
    int retries = 0;
    long long discarded = 0;
    bool stxSeen = false;
    bool tailExpected = false;
};

void CheckAgainstModel(const Rig& rig, const FramingModel& model) {
    Require(rig.sink.texts == model.handed, "scans handed on differ from the model");
    Require(rig.state.ReceiveBuffer == model.buffer, "ReceiveBuffer differs from the model");
    Require(rig.port.sent == model.sent, "NAK and ACK sent differ from the model");
    Require(rig.state.RetryCount == model.retries, "RetryCount differs from the model");
    Require(rig.view.errors == std::to_string(model.discarded), "lblErrors differs from the model");
}

constexpr std::int16_t kLineEvents[] = {
    kEventSend,
    kEventCts,
    kEventDsr,
    kEventCd,
    kEventRing,
    kEventEof,
    kEventBreak,
    kEventFrame,
    kEventOverrun,
    kEventRxOverflow,
    kEventRxParity,
    kEventCtsTimeout,
    kEventDcb,
    kEventTxFull,
    0,
    -1,
};

void LineEvent(Rig& rig, std::int16_t code) {
    rig.port.event = code;
    rig.handler.Comm_OnComm();
    rig.port.event = kEventReceive;
    rig.CheckBounds();
}

// Runs `deliver` at most once, from wherever comes first: a yield, the processing of a scan,
// or the caller after the run.
std::function<void()> Once(std::shared_ptr<bool> done, std::function<void()> deliver) {
    return [done, deliver] {
        if (!*done) {
            *done = true;
            deliver();
        }
    };
}

void NestedDelivery(Rig& rig, FuzzedDataProvider& in, int depth);

// A read that arrives while the handler is already running: during a yield or while a scan is
// processed. It may bring another one with it.
std::function<void()> NestedRead(Rig& rig, FuzzedDataProvider& in, int depth) {
    std::string chunk = in.ConsumeBytesAsString(in.ConsumeIntegralInRange<std::size_t>(0, 200));
    const bool deeper = depth < kMaxNesting && in.ConsumeBool();
    return [&rig, &in, chunk, deeper, depth] {
        if (deeper) {
            NestedDelivery(rig, in, depth + 1);
        }
        rig.Deliver(chunk);
    };
}

void NestedDelivery(Rig& rig, FuzzedDataProvider& in, int depth) {
    if (in.ConsumeBool()) {
        rig.pump.during.push_back(NestedRead(rig, in, depth));
    } else {
        rig.sink.during.push_back(NestedRead(rig, in, depth));
    }
}

void RunRaw(FuzzedDataProvider& in, bool chaos) {
    Rig rig;
    FramingModel model;
    static const char* const kFailures[] = {"Input", "Output", "DiscardInput"};
    while (in.remaining_bytes() > 0) {
        switch (in.ConsumeIntegralInRange<int>(0, chaos ? 9 : 6)) {
            case 0:
            case 1:
            case 2: {
                const auto length = in.ConsumeIntegralInRange<std::size_t>(0, 300);
                const std::string chunk = in.ConsumeBytesAsString(length);
                rig.Deliver(chunk);
                model.Receive(chunk);
                break;
            }
            case 3: {
                // A line that never ends a block: the buffer must not grow without bound.
                const std::size_t kibibytes = in.ConsumeIntegralInRange<std::size_t>(1, 80);
                const std::string chunk(kibibytes * 1024, in.ConsumeIntegral<char>());
                rig.Deliver(chunk);
                model.Receive(chunk);
                break;
            }
            case 4:
                LineEvent(rig, in.PickValueInArray(kLineEvents));
                break;
            case 5:
                rig.handler.InjectTestScan();
                rig.CheckBounds();
                model.Test();
                break;
            case 6:
                rig.handler.PortOpened();
                model.PortOpened();
                break;
            case 7:
            case 8:
                NestedDelivery(rig, in, 1);
                break;
            default:
                rig.port.failNext = in.PickValueInArray(kFailures);
                break;
        }
        if (!chaos) {
            CheckAgainstModel(rig, model);
        }
        Require(rig.port.pending.empty() || chaos, "received characters were left unread");
    }
    rig.pump.during.clear();
    rig.sink.during.clear();
}

// The mark "#0042#" that every line of scan 42 ends with. A lost byte spoils a mark rather than
// turning it into another scan's.
std::string Mark(std::size_t index) {
    char text[16];
    std::snprintf(text, sizeof text, " #%04zu#", index % 10000);
    return text;
}

// The scans whose marks the text holds.
std::vector<std::size_t> MarksIn(const std::string& text) {
    std::vector<std::size_t> marks;
    for (std::size_t at = text.find('#'); at != std::string::npos; at = text.find('#', at + 1)) {
        if (at + 5 < text.size() && text[at + 5] == '#' &&
            std::all_of(text.begin() + static_cast<std::ptrdiff_t>(at + 1),
                        text.begin() + static_cast<std::ptrdiff_t>(at + 5),
                        [](char c) { return c >= '0' && c <= '9'; })) {
            marks.push_back(std::stoul(text.substr(at + 1, 4)));
        }
    }
    return marks;
}

// One scan in the station's format, its barcode unique to `index` and every line marked.
std::string ScanBody(std::size_t index, std::uint8_t variant) {
    const std::string dimension = std::to_string(variant % 50) + "." + std::to_string(variant % 10);
    const char* const unit = (variant & 1) != 0 ? " cm" : " in";
    const std::string lines[] = {
        "     --------------------------",
        "     Device Number:      " + std::to_string(variant % 8),
        "     Length:             " + dimension + unit,
        "     Width:              " + dimension + unit,
        "     Height:             " + dimension + unit,
        "     Gross Weight:       12.44 lb",
        "     Dimensional Weight: 26.31",
        "     Dimensional Factor: 110.7",
        "     Barcode: PKG" + std::to_string(index) + "-" + std::to_string(variant),
    };
    std::string body;
    for (const std::string& line : lines) {
        body += line;
        body += Mark(index);
        body += "\r\n";
    }
    return body + "\r\n";
}

// Line noise: anything but the characters that start or end a block, or mark a scan.
std::string Noise(std::string bytes) {
    for (char& c : bytes) {
        if (c == kStx || c == '\r' || c == '\n' || c == '#') {
            c = '~';
        }
    }
    return bytes;
}

void RunStructured(FuzzedDataProvider& in) {
    std::string stream;
    std::vector<std::string> expected;  // the intact scans, in order
    const std::size_t scans = in.ConsumeIntegralInRange<std::size_t>(1, 12);
    bool damagedBefore = false;
    for (std::size_t i = 0; i < scans; ++i) {
        stream += Noise(in.ConsumeRandomLengthString(64));
        const std::string body = ScanBody(i, in.ConsumeIntegral<std::uint8_t>());
        std::string sent = kStx + body;
        // Two damaged scans in a row can join into one block that no rule can split again.
        const int damage = damagedBefore ? 0 : in.ConsumeIntegralInRange<int>(0, 4);
        if (damage == 3) {
            sent.resize(in.ConsumeIntegralInRange<std::size_t>(1, sent.size() - 1));
        } else if (damage == 4) {
            sent.erase(in.ConsumeIntegralInRange<std::size_t>(0, sent.size() - 1), 1);
        } else {
            expected.push_back(body);
        }
        damagedBefore = damage >= 3;
        stream += sent;
    }
    stream += Noise(in.ConsumeRandomLengthString(64));

    Rig rig;
    std::size_t pos = 0;
    auto nextChunk = [&] {
        const std::size_t length = in.remaining_bytes() > 0
                                       ? in.ConsumeIntegralInRange<std::size_t>(1, 400)
                                       : stream.size() - pos;
        const std::string chunk = stream.substr(pos, length);
        pos += chunk.size();
        return chunk;
    };
    while (pos < stream.size()) {
        const std::string chunk = nextChunk();
        const int how = in.ConsumeIntegralInRange<int>(0, 4);
        if (how == 4) {
            LineEvent(rig, in.PickValueInArray(kLineEvents));
        }
        if (how < 2 || how == 4 || pos >= stream.size()) {
            rig.Deliver(chunk);
            continue;
        }
        // The next read arrives while this one is framed: during the yield, or while its scan
        // is processed. The stream's order is kept: if nothing ran it, it comes right after.
        const std::string nested = nextChunk();
        auto done = std::make_shared<bool>(false);
        auto deliver = Once(done, [&rig, nested] { rig.Deliver(nested); });
        (how == 2 ? rig.pump.during : rig.sink.during).push_back(deliver);
        rig.Deliver(chunk);
        rig.pump.during.clear();
        rig.sink.during.clear();
        deliver();
    }
    // The shell delivers another receive event while characters are still waiting.
    rig.Deliver("");

    std::vector<std::string> intact;
    for (const std::string& text : rig.sink.texts) {
        const std::vector<std::size_t> marks = MarksIn(text);
        Require(
            std::adjacent_find(marks.begin(), marks.end(), std::not_equal_to<>()) == marks.end(),
            "text of two scans was handed on as one");
        if (std::find(expected.begin(), expected.end(), text) != expected.end()) {
            intact.push_back(text);
        }
    }
    Require(intact.size() == expected.size(), "an intact scan was lost or handed on twice");
    Require(intact == expected, "an intact scan was handed on out of order");
    Require(rig.port.sent.empty(), "a scan was rejected");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const std::uint8_t mode = data[0];
    FuzzedDataProvider in(data + 1, size - 1);
    switch (mode % 3) {
        case 0:
            RunStructured(in);
            break;
        case 1:
            RunRaw(in, false);
            break;
        default:
            RunRaw(in, true);
            break;
    }
    return 0;
}
