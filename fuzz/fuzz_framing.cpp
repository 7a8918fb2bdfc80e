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
//   damaged (cut off part-way or one byte lost, in a row or not). Every intact scan must reach
//   the sink exactly once, whole, and in order; a scan that lost only its STX must still reach
//   it; and nothing handed on may hold text of two scans.

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

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
    std::optional<Failure> ProcessScan(std::string& text) override {
        Require(depth_ == 0, "a scan was handed on while another was being processed");
        ++depth_;
        texts.push_back(text);
        if (!during.empty()) {
            auto next = std::move(during.front());
            during.pop_front();
            next();
        }
        --depth_;
        return std::nullopt;
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

    FakeView view;
    LineStatus status{view};
    FakePort port;
    FakePump pump;
    RecordingSink sink;
    CommHandler handler{status, port, pump, sink};
    const ReceiveState& state = handler.State();
    std::size_t largestRead = 0;
    std::size_t inFlight = 0;  // bytes of the reads whose runs have not returned yet
};

// The station's layout as the model reads it: line by line.
constexpr std::string_view kLineEnd = "\r\n";
constexpr std::string_view kFirstLabel = "Device Number:";

struct TextLine {
    std::size_t start;
    std::string_view text;
};

// The text cut at every CR LF; the last line is what follows the last CR LF.
std::vector<TextLine> Lines(std::string_view text) {
    std::vector<TextLine> lines;
    std::size_t start = 0;
    for (std::size_t end = text.find(kLineEnd); end != std::string_view::npos;
         end = text.find(kLineEnd, start)) {
        lines.push_back({start, text.substr(start, end - start)});
        start = end + kLineEnd.size();
    }
    lines.push_back({start, text.substr(start)});
    return lines;
}

// Where the scan openings in the text begin: a line that ends in dashes, followed by a line
// that begins, after its spaces, with the first label. An opening begins at its first dash.
std::vector<std::size_t> Openings(std::string_view text) {
    const std::vector<TextLine> lines = Lines(text);
    std::vector<std::size_t> openings;
    for (std::size_t i = 0; i + 1 < lines.size(); ++i) {
        const std::string_view dashes = lines[i].text;
        const std::string_view next = lines[i + 1].text;
        const std::size_t label = next.find_first_not_of(' ');
        if (dashes.empty() || dashes.back() != '-' || label == std::string_view::npos ||
            !next.substr(label).starts_with(kFirstLabel)) {
            continue;
        }
        const std::size_t before = dashes.find_last_not_of('-');
        openings.push_back(lines[i].start + (before == std::string_view::npos ? 0 : before + 1));
    }
    return openings;
}

// Whether the text begins, after spaces, with a scan opening.
bool BeginsWithOpening(std::string_view text) {
    const std::vector<std::size_t> openings = Openings(text);
    return !openings.empty() && openings.front() == text.find_first_not_of(' ');
}

// Whether the text holds a character scans are written in: printable ASCII, space included.
bool HoldsScanText(std::string_view text) {
    return std::any_of(text.begin(), text.end(), [](char c) { return c >= 0x20 && c <= 0x7e; });
}

// The framing as written down plainly, for runs without nesting. A block ends at the first
// terminator. Every STX but the block's last starts a scan cut off, dropped, and counted when the
// text up to the next STX holds anything of a scan (line noise and an empty text are no scan).
// The text before the first STX is noise, dropped unseen. After the STX (or from the block's
// start) a scan opens with its line of dashes and first label: with two openings, the text
// before the last is dropped and counted, one for each opening but the last. After the port
// opens, a test or the buffer's bound, a block without STX and without two openings is the end
// of a lost scan, dropped and counted too, once the line is known to send STX: a scan handed
// on whose STX is followed by its opening teaches that. A short block is dropped with a NAK the
// first time (and everything received with it, since the station resends) and an ACK from the
// eleventh on; a complete one is handed on from after its STX, and what follows a handed-on or
// later rejected block stays for the next.
struct FramingModel {
    void Receive(const std::string& chunk, bool testPreStep = false) {
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
    // `taught`: the scan left begins with its opening right after its STX.
    bool DropCutOff(std::size_t& blockEnd, bool& taught) {
        const bool tail = std::exchange(tailExpected, false) && stxSeen;
        const std::string block = buffer.substr(0, blockEnd);
        std::vector<std::size_t> stx;
        for (std::size_t at = 0; at < block.size(); ++at) {
            if (block[at] == kStx) {
                stx.push_back(at);
            }
        }
        if (stx.empty() && tail && Openings(block).size() < 2) {
            buffer.erase(0, blockEnd);
            ++discarded;
            return false;
        }
        if (!stx.empty()) {
            for (std::size_t i = 0; i + 1 < stx.size(); ++i) {
                discarded += HoldsScanText(block.substr(stx[i] + 1, stx[i + 1] - stx[i] - 1));
            }
            const std::size_t from = tail ? 0 : stx.front();
            buffer.erase(from, stx.back() - from);
            blockEnd -= stx.back() - from;
        }
        const std::size_t left = buffer.substr(0, blockEnd).find(kStx);
        const std::size_t start = left == std::string::npos ? 0 : left + 1;
        const std::string scan = buffer.substr(start, blockEnd - start);
        taught = left != std::string::npos && BeginsWithOpening(scan);
        const std::vector<std::size_t> openings = Openings(scan);
        if (openings.size() > 1) {
            discarded += static_cast<long long>(openings.size()) - 1;
            buffer.erase(start, openings.back());
            blockEnd -= openings.back();
        }
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
            bool taught = false;
            if (!testPreStep && !DropCutOff(blockEnd, taught)) {
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
            stxSeen = stxSeen || taught;
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

// One scan in the station's format, its barcode unique to `index` and every labelled line
// marked; the line of dashes stays as the station sends it, since it opens the scan.
std::string ScanBody(std::size_t index, std::uint8_t variant) {
    const std::string dimension = std::to_string(variant % 50) + "." + std::to_string(variant % 10);
    const char* const unit = (variant & 1) != 0 ? " cm" : " in";
    std::string body = "     --------------------------\r\n";
    const std::string lines[] = {
        "     Device Number:      " + std::to_string(variant % 8),
        "     Length:             " + dimension + unit,
        "     Width:              " + dimension + unit,
        "     Height:             " + dimension + unit,
        "     Gross Weight:       12.44 lb",
        "     Dimensional Weight: 26.31",
        "     Dimensional Factor: 110.7",
        "     Barcode: PKG" + std::to_string(index) + "-" + std::to_string(variant),
    };
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
    std::vector<std::string> stxLost;   // the scans that lost their STX and nothing else
    const std::size_t scans = in.ConsumeIntegralInRange<std::size_t>(1, 12);
    for (std::size_t i = 0; i < scans; ++i) {
        stream += Noise(in.ConsumeRandomLengthString(64));
        const std::string body = ScanBody(i, in.ConsumeIntegral<std::uint8_t>());
        std::string sent = kStx + body;
        const int damage = in.ConsumeIntegralInRange<int>(0, 4);
        if (damage == 3) {
            sent.resize(in.ConsumeIntegralInRange<std::size_t>(1, sent.size() - 1));
        } else if (damage == 4) {
            const auto lost = in.ConsumeIntegralInRange<std::size_t>(0, sent.size() - 1);
            sent.erase(lost, 1);
            if (lost == 0) {
                stxLost.push_back(body);
            }
        } else {
            expected.push_back(body);
        }
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
    // Handed on from its opening, after the end of a scan cut off, or whole with what came
    // before it: its text from the line of dashes on ends what was handed on.
    for (const std::string& body : stxLost) {
        const std::string fromOpening = body.substr(body.find('-'));
        Require(std::any_of(rig.sink.texts.begin(), rig.sink.texts.end(),
                            [&](const std::string& text) { return text.ends_with(fromOpening); }),
                "a scan that lost only its STX was not handed on");
    }
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
