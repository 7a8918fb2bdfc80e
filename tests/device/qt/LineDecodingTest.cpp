#include <gtest/gtest.h>

#include "device/CommPort.h"
#include "device/qt/LinuxSerialLine.h"
#include "device/qt/ParityMarkDecoder.h"

namespace brisolant {
namespace {

std::string Bytes(std::initializer_list<int> codes) {
    std::string bytes;
    for (int code : codes) {
        bytes.push_back(static_cast<char>(code));
    }
    return bytes;
}

TEST(ParityMarkDecoderTest, DamagedBytesBecomeQuestionMarksAcrossAnySplit) {
    struct Row {
        const char* name;
        std::string raw;
        std::string text;
    };
    const Row rows[] = {
        {"plain text passes", "abc", "abc"},
        {"marked byte becomes ?", Bytes({'a', 0xFF, 0, 'x', 'b'}), "a?b"},
        {"marked NUL becomes ?", Bytes({0xFF, 0, 0}), "?"},
        {"doubled FF becomes one", Bytes({'a', 0xFF, 0xFF, 'b'}), Bytes({'a', 0xFF, 'b'})},
        {"marked FF becomes ?", Bytes({0xFF, 0, 0xFF, 'z'}), "?z"},
        {"two marks in a row", Bytes({0xFF, 0, 1, 0xFF, 0, 2}), "??"},
    };
    for (const Row& row : rows) {
        // Whole, and cut at every position into two reads: the result must not change.
        for (std::size_t cut = 0; cut <= row.raw.size(); ++cut) {
            ParityMarkDecoder decoder;
            std::string text = decoder.Decode(row.raw.substr(0, cut));
            text += decoder.Decode(row.raw.substr(cut));
            EXPECT_EQ(text, row.text) << row.name << ", cut at " << cut;
        }
    }
}

TEST(ParityMarkDecoderTest, AnUnfinishedMarkWaitsAndResetForgetsIt) {
    ParityMarkDecoder decoder;
    EXPECT_EQ(decoder.Decode(Bytes({'a', 0xFF, 0})), "a");
    decoder.Reset();
    EXPECT_EQ(decoder.Decode("bc"), "bc");
}

TEST(LinuxSerialLineTest, EveryRisenCountGivesItsEventCode) {
    LinuxSerialLine::Counters before;
    LinuxSerialLine::Counters after = before;
    EXPECT_TRUE(LinuxSerialLine::EventsBetween(before, after).empty());

    after.cts = 1;
    after.dsr = 2;
    after.cd = 1;
    after.ring = 1;
    after.brk = 1;
    after.frame = 3;
    after.overrun = 1;
    after.bufferOverrun = 1;
    after.parity = 5;
    EXPECT_EQ(
        LinuxSerialLine::EventsBetween(before, after),
        (std::vector<std::int16_t>{kEventCts, kEventDsr, kEventCd, kEventRing, kEventBreak,
                                   kEventFrame, kEventOverrun, kEventRxOverflow, kEventRxParity}));
}

}  // namespace
}  // namespace brisolant
