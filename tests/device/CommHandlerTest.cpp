#include "device/CommHandler.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <ostream>
#include <vector>

#include "station/ScanTexts.h"
#include "support/CommHandlerProbe.h"
#include "support/FakeWindow.h"

namespace brisolant {
namespace {

using test::FakePort;
using test::FakePump;
using test::FakeView;

const std::string kStx = "\x02";
const std::string kEnd = "\r\n\r\n";

// A scan of `length` characters in all, terminator included.
std::string BlockOfLength(std::size_t length, char fill = 'x') {
    return std::string(length - kEnd.size(), fill) + kEnd;
}

class RecordingSink : public ScanSink {
  public:
    std::optional<Failure> ProcessScan(std::string& text) override {
        scans.push_back(text);
        if (during) {
            during();
        }
        return failure;
    }
    std::vector<std::string> scans;
    std::optional<Failure> failure;  // what keeps the scan from being recorded
    std::function<void()> during;
};

class CommHandlerTest : public ::testing::Test {
  protected:
    CommHandlerTest() { port.open = true; }

    void Receive(const std::string& text) {
        port.Arrive(text);
        handler.Comm_OnComm();
    }
    void RejectBlocks(int count) {
        for (int i = 0; i < count; ++i) {
            Receive("short" + kEnd);
        }
    }

    FakeView view;
    LineStatus status{view};
    FakePort port;
    FakePump pump;
    RecordingSink sink;
    CommHandler handler{status, port, pump, sink};
    ReceiveState& state = test::CommHandlerProbe::State(handler);
};

TEST_F(CommHandlerTest, TerminatorSplitAcrossReadsCompletesBlockOnSecondRead) {
    const std::string scan = kStx + BlockOfLength(60);
    Receive(scan.substr(0, scan.size() - 2));
    EXPECT_TRUE(sink.scans.empty());
    EXPECT_EQ(view.panels[1], "Status: Receiving Data");
    EXPECT_EQ(view.light, kLightRed);

    Receive(scan.substr(scan.size() - 2));
    ASSERT_EQ(sink.scans.size(), 1u);
    EXPECT_EQ(sink.scans[0], BlockOfLength(60));
    EXPECT_EQ(view.panels[1], "Status: Waiting Idle");
    EXPECT_EQ(view.light, kLightGreen);
    EXPECT_TRUE(state.ReceiveBuffer.empty());
}

TEST_F(CommHandlerTest, FiftyCharactersAreAScanFortyNineAreRejected) {
    Receive(BlockOfLength(50));
    EXPECT_EQ(sink.scans.size(), 1u);
    EXPECT_EQ(port.sent, "");

    Receive(BlockOfLength(49));
    EXPECT_EQ(sink.scans.size(), 1u);
    EXPECT_EQ(port.sent, "\x15");
    EXPECT_EQ(state.RetryCount, 1);
}

TEST_F(CommHandlerTest, NoiseBeforeStxIsDroppedButCountsTowardTheLength) {
    // 40 characters of scan are too few on their own; the noise in front makes the block long
    // enough, and only the text after the STX is handed on.
    Receive(std::string(20, '~') + kStx + BlockOfLength(40));
    ASSERT_EQ(sink.scans.size(), 1u);
    EXPECT_EQ(sink.scans[0], BlockOfLength(40));
}

TEST_F(CommHandlerTest, BlockWithoutStxIsHandedOnWhole) {
    Receive(BlockOfLength(80));
    ASSERT_EQ(sink.scans.size(), 1u);
    EXPECT_EQ(sink.scans[0], BlockOfLength(80));
}

TEST_F(CommHandlerTest, TwoScansInOneReadAreEachHandedOnInTurn) {
    const std::string first = BlockOfLength(60, 'a');
    const std::string second = BlockOfLength(70, 'b');
    Receive(kStx + first + kStx + second + kStx + "start of a third");
    ASSERT_EQ(sink.scans.size(), 2u);
    EXPECT_EQ(sink.scans[0], first);
    EXPECT_EQ(sink.scans[1], second);
    // The start of the next scan must survive until it completes.
    EXPECT_EQ(state.ReceiveBuffer, kStx + "start of a third");
    Receive(std::string(40, 'c') + kEnd);
    ASSERT_EQ(sink.scans.size(), 3u);
    EXPECT_EQ(sink.scans[2], "start of a third" + std::string(40, 'c') + kEnd);
}

TEST_F(CommHandlerTest, RejectedBlocksFollowTheRetryTable) {
    struct Row {
        int retry;
        std::string sent;
        std::string panel;
        std::uint32_t light;
        std::string errors;
    };
    const Row rows[] = {
        {1, "\x15", "Status: Receiving Data", kLightRed, "0"},
        {2, "\x15", "Not getting Correct Data", kLightRed, "0"},
        {10, "\x15", "Not getting Correct Data", kLightRed, "0"},
        {11, "\x15\x06", "Previous scan discarded", kLightYellow, "1"},
        {12, "\x15\x06\x06", "Previous scan discarded", kLightYellow, "2"},
    };
    for (const Row& row : rows) {
        RejectBlocks(row.retry - state.RetryCount);
        SCOPED_TRACE("RetryCount " + std::to_string(row.retry));
        EXPECT_EQ(state.RetryCount, row.retry);
        EXPECT_EQ(port.sent, row.sent);
        EXPECT_EQ(view.panels[1], row.panel);
        EXPECT_EQ(view.light, row.light);
        EXPECT_EQ(view.errors, row.errors);
        EXPECT_TRUE(state.ReceiveBuffer.empty());
    }
    Receive(BlockOfLength(60));
    EXPECT_EQ(state.RetryCount, 0);
    RejectBlocks(1);
    EXPECT_EQ(port.sent, "\x15\x06\x06\x15") << "a fresh NAK after a good scan";
}

TEST_F(CommHandlerTest, RejectionDropsWhatThePortHoldsUnread) {
    state.ReceiveBuffer = "ab";
    pump.during.push_back([&] { port.pending += "arrived during the yield"; });
    Receive("c" + kEnd);
    EXPECT_EQ(port.discards, 1);
    EXPECT_EQ(port.pending, "");
    EXPECT_TRUE(state.ReceiveBuffer.empty());
}

TEST_F(CommHandlerTest, LaterRejectedBlockKeepsTheScanBehindIt) {
    // No resend is asked for after the first NAK, so the scan that follows a second short block
    // must not be dropped with it.
    RejectBlocks(1);
    port.pending = "";
    const std::string scan = BlockOfLength(60);
    Receive("short" + kEnd + kStx + scan.substr(0, 20));
    EXPECT_EQ(state.RetryCount, 2);
    EXPECT_EQ(state.ReceiveBuffer, kStx + scan.substr(0, 20));
    Receive(scan.substr(20));
    ASSERT_EQ(sink.scans.size(), 1u);
    EXPECT_EQ(sink.scans[0], scan);
    EXPECT_EQ(port.discards, 1) << "only the NAK drops unread input";
}

TEST_F(CommHandlerTest, EmptyReceiveEventStillShowsReceiving) {
    view.light = kLightGreen;
    Receive("");
    EXPECT_EQ(view.light, kLightRed);
    EXPECT_EQ(view.panels[1], "Status: Receiving Data");
    EXPECT_EQ(view.dataReceived, "[]");
}

TEST_F(CommHandlerTest, RawLabelKeepsTheLastBlockAfterHandOff) {
    const std::string scan = kStx + BlockOfLength(60);
    Receive(scan);
    EXPECT_EQ(view.dataReceived, "[" + scan + "]");
    EXPECT_EQ(view.panels[1], "Status: Waiting Idle");
}

TEST_F(CommHandlerTest, ScanThatWasNotRecordedKeepsItsFailureOnScreen) {
    sink.failure = Failure(FailureCode::DataFileOpen);
    Receive(BlockOfLength(60));
    EXPECT_EQ(view.panels[1], "Status: 121 Cannot open the data file");
    EXPECT_EQ(view.light, kLightGreen);
    EXPECT_EQ(state.RetryCount, 0);
    EXPECT_TRUE(state.ReceiveBuffer.empty());

    sink.failure.reset();
    Receive(BlockOfLength(60));
    EXPECT_EQ(view.panels[1], "Status: Waiting Idle");
}

TEST_F(CommHandlerTest, ScanWhoseProcessingThrowsIsNotFramedAgain) {
    sink.during = [] { throw std::runtime_error("out of memory"); };
    Receive(BlockOfLength(60) + "next");
    EXPECT_EQ(sink.scans.size(), 1u);
    EXPECT_EQ(state.ReceiveBuffer, "next");
    EXPECT_EQ(view.panels[1], "Status: 901 Unexpected failure: out of memory");
    sink.during = nullptr;
    Receive(std::string(60, 'y') + kEnd);
    EXPECT_EQ(sink.scans.size(), 2u);
}

TEST_F(CommHandlerTest, LineEventsShowTheirTextAndLeaveTheBlockCollecting) {
    const std::pair<int, std::string> table[] = {
        {3, "Change in CTS Detected"},
        {4, "Change in DSR Detected"},
        {5, "Change in CD Detected"},
        {6, "The Phone is Ringing"},
        {7, "End of File Detected"},
        {1001, "Break Received"},
        {1002, "CTS Timeout"},
        {1003, "DSR Timeout"},
        {1004, "Framing Error"},
        {1006, "Overrun Error"},
        {1007, "Carrier Detect Timeout"},
        {1008, "Receive Buffer Overflow"},
        {1009, "Parity Error"},
        {1010, "Transmit Buffer Full"},
        {1011, "Error retrieving DCB"},
        {0, "Unknown error or event"},
        {1005, "Unknown error or event"},
        {-7, "Unknown error or event"},
    };
    Receive(kStx + "half a block");
    view.light = kLightRed;
    for (const auto& [code, text] : table) {
        port.event = static_cast<std::int16_t>(code);
        handler.Comm_OnComm();
        EXPECT_EQ(view.panels[1], text) << code;
    }
    EXPECT_EQ(state.ReceiveBuffer, kStx + "half a block");
    EXPECT_EQ(view.light, kLightRed);
    Receive(std::string(60, 'x') + kEnd);
    EXPECT_EQ(sink.scans.size(), 1u);
}

TEST_F(CommHandlerTest, TransmitEventChangesNothing) {
    view.panels[1] = "before";
    port.event = kEventSend;
    handler.Comm_OnComm();
    EXPECT_EQ(view.panels[1], "before");
}

TEST_F(CommHandlerTest, FailingPortOperationEndsTheRunWithItsReport) {
    port.failNext = "Output";
    Receive("short" + kEnd);
    EXPECT_EQ(view.panels[1], "Status: 205 Cannot send on the serial port");
    EXPECT_EQ(state.RetryCount, 1) << "counted before the NAK failed";
    EXPECT_TRUE(state.ReceiveBuffer.empty());
    EXPECT_EQ(view.light, kLightRed);
}

TEST_F(CommHandlerTest, ReadingFromAClosedPortIsReported) {
    port.open = false;
    port.event = kEventReceive;
    handler.Comm_OnComm();
    EXPECT_EQ(view.panels[1], "Status: 201 The serial port is not open");
}

TEST_F(CommHandlerTest, RetryCountStopsAtItsTopAndTheBlocksBehindAreStillFramed) {
    state.RetryCount = 32767;
    std::vector<int> counts;
    for (int i = 0; i < 3; ++i) {
        pump.during.push_back([&] { counts.push_back(state.RetryCount); });
    }
    Receive("short" + kEnd + "short" + kEnd + kStx + BlockOfLength(60) + kStx + "next");
    EXPECT_EQ(counts, (std::vector<int>{32767, 32767, 32767}));
    EXPECT_EQ(port.sent, "\x06\x06");
    EXPECT_EQ(view.errors, "2");
    EXPECT_EQ(sink.scans, std::vector<std::string>{BlockOfLength(60)});
    EXPECT_EQ(state.RetryCount, 0);
    EXPECT_EQ(state.ReceiveBuffer, kStx + "next");
}

TEST_F(CommHandlerTest, RunawayBufferWithoutTerminatorIsRejectedAtItsBound) {
    const std::string noise(CommHandler::kReceiveBufferLimit / 2 + 1, 'z');
    Receive(noise);
    EXPECT_EQ(state.RetryCount, 0);
    Receive(noise);
    EXPECT_TRUE(state.ReceiveBuffer.empty());
    EXPECT_EQ(state.RetryCount, 1);
    EXPECT_EQ(port.sent, "\x15");
    EXPECT_LE(view.dataReceived.size(), CommHandler::kDataReceivedShown + 2);
}

TEST_F(CommHandlerTest, NestedRunDuringYieldCompletesTheBlockOnce) {
    const std::string scan = kStx + BlockOfLength(60);
    pump.during.push_back([&] {
        port.Arrive(scan.substr(30));
        handler.Comm_OnComm();
    });
    Receive(scan.substr(0, 30));
    ASSERT_EQ(sink.scans.size(), 1u);
    EXPECT_EQ(view.panels[1], "Status: Waiting Idle");
    EXPECT_TRUE(state.ReceiveBuffer.empty());
}

TEST_F(CommHandlerTest, ScanArrivingWhileOneIsProcessedWaitsForIt) {
    const std::string second = BlockOfLength(70, 'b');
    bool nestedDuringFirst = false;
    sink.during = [&] {
        if (sink.scans.size() == 1) {
            port.Arrive(kStx + second);
            handler.Comm_OnComm();
            nestedDuringFirst = sink.scans.size() > 1;
        }
    };
    Receive(kStx + BlockOfLength(60, 'a'));
    EXPECT_FALSE(nestedDuringFirst) << "no second scan may start inside the first";
    ASSERT_EQ(sink.scans.size(), 2u);
    EXPECT_EQ(sink.scans[1], second);
    EXPECT_TRUE(state.ReceiveBuffer.empty());
}

// What the station sent, read by read: "@open" stands for the port being (re)opened, "@test"
// for the Test command.
struct FramingCase {
    const char* name;
    std::vector<std::string> reads;
    std::vector<std::string> scans;  // handed on, in order
    std::string sent;
    std::string errors;
    std::string panel;  // panel 1 at the end
};

// Scans in the station's layout; each opens with its line of dashes at character 5.
// A failing row is named by its name, not by its bytes.
void PrintTo(const FramingCase& row, std::ostream* out) {
    *out << row.name;
}

const std::string kScanA = station::ScanText(station::SampleParcel("PCL-A"));
const std::string kScanB = station::ScanText(station::SampleParcel("PCL-B"));
const std::string kScanBFromOpening = kScanB.substr(5);
const std::string kHalfA = kStx + kScanA.substr(0, 100);  // a scan that stopped part-way
const std::string kTail = kScanA.substr(200);             // the end of a scan whose start was lost
const std::string kNoise = "\xff\xf8\x00\x80\r\n";        // a device powering up: no scan text
const std::string kSample = CommHandler::TestScanText();
const std::string kIdle = "Status: Waiting Idle";
const std::string kReceiving = "Status: Receiving Data";
const std::string kCutOff = "Status: 103 A scan was cut off and dropped";
const std::string kTailDropped = "Status: 104 The end of a lost scan was dropped";

const FramingCase kFramingCases[] = {
    {"CutOffScanBeforeAWholeOneIsDropped", {kHalfA, kStx + kScanB}, {kScanB}, "", "1", kCutOff},
    {"ScanMissingItsLastLineFeedKeepsTheNextOne",
     {kStx + kScanA.substr(0, kScanA.size() - 1) + kStx + kScanB},
     {kScanB},
     "",
     "1",
     kCutOff},
    {"EveryCutOffScanIsCounted", {kHalfA + kHalfA + kStx + kScanB}, {kScanB}, "", "2", kCutOff},
    {"ScanCutOffAfterItsFirstSpacesIsCounted",
     {kStx + "  " + kStx + kScanB},
     {kScanB},
     "",
     "1",
     kCutOff},
    {"NoiseBeforeTheOnlyStxIsNoScan", {"~~~" + kStx + kScanB}, {kScanB}, "", "0", kIdle},
    // An STX alone, or with line noise up to the next one, starts no scan worth an alarm: the
    // operator would scan the parcel again and make a duplicate.
    {"StxStxScanIsNoCutOffScan", {kStx + kStx + kScanB}, {kScanB}, "", "0", kIdle},
    {"NoiseBetweenTwoStxIsNoCutOffScan", {kStx + kNoise + kStx + kScanB}, {kScanB}, "", "0", kIdle},
    // A scan that lost its STX behind one that was cut off: two openings in one block.
    {"CutOffScanBeforeOneThatLostItsStxIsDropped",
     {kHalfA + kScanB},
     {kScanBFromOpening},
     "",
     "1",
     kCutOff},
    {"ScanMissingItsLastLineFeedBeforeOneThatLostItsStx",
     {kStx + kScanA.substr(0, kScanA.size() - 1) + kScanB},
     {kScanBFromOpening},
     "",
     "1",
     kCutOff},
    {"ScanCutOffInItsOpeningLendsNoValues",
     {kStx + kScanA.substr(0, 20) + kScanB},
     {kScanA.substr(0, 20) + kScanB},
     "",
     "0",
     kIdle},
    {"CutOffScanLeavingAShortBlockAsksForItAgain",
     {kHalfA + kStx + "x" + kEnd},
     {},
     "\x15",
     "1",
     kCutOff},
    {"EndOfAScanAfterTheOpenIsDropped",
     {kStx + kScanA, "@open", kTail + kStx + kScanB},
     {kScanA, kScanB},
     "",
     "1",
     kTailDropped},
    {"ShortEndOfAScanIsDroppedWithoutNak",
     {kStx + kScanA, "@open", "tt" + kEnd},
     {kScanA},
     "",
     "1",
     kTailDropped},
    // Text without a terminator before the first STX may as well be noise: no alarm for it.
    {"EndOfAScanRunningIntoACutOffOne",
     {kStx + kScanA, "@open", "tt" + kHalfA + kStx + kScanB},
     {kScanA, kScanB},
     "",
     "1",
     kCutOff},
    {"NoiseBeforeTheStxAfterTheOpenIsNoAlarm",
     {kStx + kScanA, "@open", kNoise + kStx + kScanB},
     {kScanA, kScanB},
     "",
     "0",
     kIdle},
    {"EndOfAScanWithItsOpeningBeforeOneThatLostItsStx",
     {kStx + kScanA, "@open", kScanA.substr(0, 100) + kScanB},
     {kScanA, kScanBFromOpening},
     "",
     "1",
     kCutOff},
    {"ScanRightAfterTheOpenIsWhole",
     {kStx + kScanA, "@open", kStx + kScanB},
     {kScanA, kScanB},
     "",
     "0",
     kIdle},
    {"EndOfAScanAfterTheTestIsDropped",
     {kStx + kScanA, kHalfA, "@test", kTail},
     {kScanA, kSample},
     "",
     "1",
     kTailDropped},
    {"TestScanIsNoEndOfAScan",
     {kStx + kScanA, "@open", "@test"},
     {kScanA, kSample},
     "",
     "0",
     kIdle},
    {"EndOfAScanCutByTheBoundIsDropped",
     {kStx + kScanA, kStx + std::string(CommHandler::kReceiveBufferLimit, 'z'), "zz" + kTail,
      kStx + kScanB},
     {kScanA, kScanB},
     "\x15",
     "1",
     kIdle},
    // A station that never sends STX: nothing tells the end of a scan from a scan.
    {"WithoutStxEveryBlockIsAScan",
     {"@open", kTail, "@test", kTail},
     {kTail, kSample, kTail},
     "",
     "0",
     kIdle},
    // Only a scan with its STX right before its opening shows that the station sends STX; a
    // stray one in noise ahead of a scan does not.
    {"StrayStxInNoiseTeachesNothing",
     {kNoise + kStx + kNoise + kScanA, "@open", kScanB},
     {kNoise + kScanA, kScanB},
     "",
     "0",
     kIdle},
    {"ShortBlockAfterTheOpenWithoutStxGetsItsNak",
     {kScanA, "@open", "tt" + kEnd},
     {kScanA},
     "\x15",
     "0",
     kReceiving},
};

class FramingTest : public CommHandlerTest, public ::testing::WithParamInterface<FramingCase> {};

TEST_P(FramingTest, HandsOnEachScanWholeAndCountsWhatIsDropped) {
    const FramingCase& c = GetParam();
    for (const std::string& read : c.reads) {
        if (read == "@open") {
            handler.PortOpened();
        } else if (read == "@test") {
            port.event = kEventSend;
            handler.InjectTestScan();
        } else {
            Receive(read);
        }
    }
    EXPECT_EQ(sink.scans, c.scans);
    EXPECT_EQ(port.sent, c.sent);
    EXPECT_EQ(view.errors, c.errors);
    EXPECT_EQ(view.panels[1], c.panel);
}

INSTANTIATE_TEST_SUITE_P(Streams, FramingTest, ::testing::ValuesIn(kFramingCases),
                         [](const auto& row) { return std::string(row.param.name); });

TEST_F(CommHandlerTest, PortOpenedDropsAHalfReceivedBlock) {
    Receive(kHalfA);
    handler.PortOpened();
    EXPECT_TRUE(state.ReceiveBuffer.empty());
    Receive(kStx + kScanB);
    EXPECT_EQ(sink.scans, std::vector<std::string>{kScanB});
}

// Reopened while a scan is processed: what was received after that scan came from before the
// reopen and cannot be joined to what comes after it.
TEST_F(CommHandlerTest, PortOpenedWhileAScanIsProcessedDropsWhatFollowedIt) {
    sink.during = [&] {
        if (sink.scans.size() == 1) {
            handler.PortOpened();
            port.Arrive(kTail + kStx + kScanB);
            handler.Comm_OnComm();
        }
    };
    Receive(kStx + kScanA + kHalfA);
    EXPECT_EQ(sink.scans, (std::vector<std::string>{kScanA, kScanB}));
    EXPECT_EQ(view.errors, "1");
    EXPECT_TRUE(state.ReceiveBuffer.empty());
}

// A flood while the operator leaves the manual-entry prompt open: the oldest held text goes,
// the scan that came last is still framed, and the half scan cut by the drop is no record.
TEST_F(CommHandlerTest, InputHeldWhileAScanIsProcessedIsBounded) {
    const std::size_t flood = 3 * CommHandler::kHeldInputLimit;
    const std::string chunk(4096, 'j');
    std::vector<std::string> panels;
    sink.during = [&] {
        if (sink.scans.size() != 1) {
            return;
        }
        port.Arrive(kHalfA);
        handler.Comm_OnComm();
        for (std::size_t sent = 0; sent < flood; sent += chunk.size()) {
            port.Arrive(chunk);
            handler.Comm_OnComm();
        }
        port.Arrive(kEnd + kStx + kScanB);
        handler.Comm_OnComm();
        panels.push_back(view.panels[1]);
    };
    Receive(kStx + kScanA);
    EXPECT_EQ(sink.scans, (std::vector<std::string>{kScanA, kScanB}));
    EXPECT_EQ(panels,
              std::vector<std::string>{"Status: 105 Data piled up; the oldest was dropped"});
    // At least the flood beyond the bound, half a megabyte a count, is counted as dropped.
    EXPECT_GE(std::stoi(view.errors), 4);
    EXPECT_EQ(port.sent, "");
    EXPECT_TRUE(state.ReceiveBuffer.empty());
}

class TestScanTest : public CommHandlerTest {};

// The built-in sample is the scan the station simulator and the tests send.
TEST_F(TestScanTest, SampleIsTheStationsNineLinesWithoutStx) {
    const std::string sample = CommHandler::TestScanText();
    EXPECT_EQ(sample, station::SampleScanText());
    EXPECT_EQ(sample.size(), 290u);
    EXPECT_EQ(sample.find('\x02'), std::string::npos);
    EXPECT_EQ(sample.substr(sample.size() - 4), kEnd);
}

TEST_F(TestScanTest, WithoutPendingReceiveEndsGreenAndIdle) {
    port.event = kEventCts;
    handler.InjectTestScan();
    ASSERT_EQ(sink.scans.size(), 1u);
    EXPECT_EQ(sink.scans[0], CommHandler::TestScanText());
    EXPECT_EQ(view.light, kLightGreen);
    EXPECT_EQ(view.dataReceived, "[" + CommHandler::TestScanText() + "]");
    EXPECT_EQ(view.panels[1], "Status: Waiting Idle");
    EXPECT_FALSE(state.TestMode);
}

TEST_F(TestScanTest, WithPendingReceiveReadsThePortAfterwards) {
    port.event = kEventReceive;
    port.pending = "ab";
    handler.InjectTestScan();
    EXPECT_EQ(sink.scans.size(), 1u);
    EXPECT_EQ(view.light, kLightRed);
    EXPECT_EQ(view.dataReceived, "[ab]");
    EXPECT_EQ(view.panels[1], "Status: Waiting Idle");
}

TEST_F(TestScanTest, ResetsRetriesAndReplacesAHalfBlock) {
    RejectBlocks(12);
    Receive(kStx + "half");
    port.event = kEventSend;
    handler.InjectTestScan();
    EXPECT_EQ(state.RetryCount, 0);
    EXPECT_EQ(sink.scans.back(), CommHandler::TestScanText());
    EXPECT_TRUE(state.ReceiveBuffer.empty());
}

TEST_F(TestScanTest, FailedTestScanKeepsItsFailureOnScreenUntilDataArrives) {
    const std::string failure = "Status: 121 Cannot open the data file";
    struct Row {
        std::int16_t event;
        std::string pending;
        std::string panel;
        std::uint32_t light;
    };
    // Whatever the port's last event was: a line event, or none yet (code 0) on a fresh port.
    const Row rows[] = {
        {kEventSend, "", failure, kLightGreen},
        {0, "", failure, kLightGreen},
        {kEventCts, "", failure, kLightGreen},
        {kEventReceive, "", failure, kLightGreen},
        {kEventReceive, "ab", "Status: Receiving Data", kLightRed},
    };
    sink.failure = Failure(FailureCode::DataFileOpen);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.event);
        port.event = row.event;
        port.pending = row.pending;
        handler.InjectTestScan();
        EXPECT_EQ(view.panels[1], row.panel);
        EXPECT_EQ(view.light, row.light);
    }
}

TEST_F(TestScanTest, TestModeEndsEvenWhenTheRunFails) {
    port.event = kEventReceive;
    port.failNext = "Input";
    handler.InjectTestScan();
    EXPECT_FALSE(state.TestMode);
    EXPECT_EQ(view.panels[1], "Status: 201 The serial port is not open: test");
}

}  // namespace
}  // namespace brisolant
