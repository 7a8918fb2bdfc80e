// Station values carrying every byte value but STX: the data file stays one record per line, each
// of the record length, and the barcode field keeps its bytes (control characters blanked). An
// STX starts a scan wherever it comes, so the text before it is a cut-off scan (the framing's own
// tests cover that).

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "e2e/ProgramUnderTest.h"
#include "e2e/StartedProgramTest.h"
#include "e2e/StationText.h"

namespace brisolant::e2e {
namespace {

constexpr int kFields = 8;
constexpr int kChunk = 16;
constexpr int kBarcodeField = 7;

// Bytes first to first + kChunk - 1, STX left out. Consecutive codes never make CR LF, so no
// piece ends a line or the block early.
std::string Chunk(int first) {
    std::string bytes;
    for (int code = first; code < first + kChunk; ++code) {
        if (code != kStx[0]) {
            bytes += static_cast<char>(code);
        }
    }
    return bytes;
}

// The barcode field as the record line must carry it: outer spaces trimmed, CR and LF blanked,
// every other byte as sent, padded to 35.
std::string ExpectedBarcodeField(std::string value) {
    value.erase(value.find_last_not_of(' ') + 1);
    value.erase(0, value.find_first_not_of(' '));
    for (char& byte : value) {
        if (byte == '\r' || byte == '\n') {
            byte = ' ';
        }
    }
    value.resize(35, ' ');
    return value;
}

struct Sent {
    std::string barcodeField;
    bool mustBeRecorded;  // a number field holding garbage may be refused, a text field not
};

using ByteValuesTest = StartedProgramTest<>;

TEST_F(ByteValuesTest, EveryByteInEveryValueFieldKeepsOneRecordPerLine) {
    ProgramUnderTest& program = *program_;

    std::vector<Sent> sent;
    for (int field = 0; field < kFields; ++field) {
        for (int first = 0; first < 256; first += kChunk) {
            std::array<std::string, kFields> values = {"1",        "11.0 in", "22.8 in", "13.6 in",
                                                       "12.44 lb", "26.31",   "110.7",   ""};
            char name[32];
            std::snprintf(name, sizeof name, "BYTES-%d-%03d", field, first);
            values[kBarcodeField] = name;
            values[static_cast<std::size_t>(field)] = Chunk(first);
            const bool textField = field == 0 || field == kBarcodeField;
            sent.push_back({ExpectedBarcodeField(values[kBarcodeField]), textField});
            ASSERT_TRUE(program.Line().Write(
                station::Block(station::ScanText({values[0], values[1], values[2], values[3],
                                                  values[4], values[5], values[6], values[7]}))));
        }
    }
    const std::string last = ParcelBarcode(1);
    ASSERT_TRUE(program.Line().Write(Scan(last)));
    ASSERT_TRUE(test::WaitUntil([&] {
        const auto lines = program.WaitForLines(0);
        return (!lines.empty() && BarcodeOf(lines.back()) == last) || !program.IsRunning();
    })) << program.Log();
    ASSERT_TRUE(program.IsRunning()) << program.Log();

    auto lines = program.WaitForLines(0);
    EXPECT_EQ(BrokenLines(lines), std::vector<std::string>{});
    lines.pop_back();
    // In the order sent: every text-field scan has its line, others may be missing.
    std::size_t next = 0;
    for (const std::string& line : lines) {
        const std::string field = line.size() == kRecordLength ? line.substr(104, 35) : line;
        while (next < sent.size() && !sent[next].mustBeRecorded &&
               sent[next].barcodeField != field) {
            ++next;
        }
        ASSERT_LT(next, sent.size()) << "a line no scan accounts for: " << line;
        ASSERT_EQ(sent[next].barcodeField, field) << "scan " << next << " missing";
        ++next;
    }
    for (; next < sent.size(); ++next) {
        EXPECT_FALSE(sent[next].mustBeRecorded) << "scan " << next << " missing";
    }
    std::printf("byte values: %zu scans sent, %zu recorded\n", sent.size() + 1, lines.size() + 1);
}

}  // namespace
}  // namespace brisolant::e2e
