#pragma once

// What the station sends, and what the program makes of it, for the fault-injection tests.

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "e2e/ProgramUnderTest.h"

namespace brisolant::e2e {

inline const std::string kStx = "\x02";
inline constexpr char kNak = 21;
// Under 50 characters with its terminator: the program answers it with a NAK.
inline const std::string kShortBlock = kStx + "     Device Number:      1\r\n\r\n";
inline constexpr std::size_t kRecordLength = 139;

// The scan text without STX, every value given; the station's own layout.
inline std::string ScanBody(const std::string& device, const std::string& length,
                            const std::string& width, const std::string& height,
                            const std::string& gross, const std::string& dimWeight,
                            const std::string& dimFactor, const std::string& barcode) {
    const std::pair<const char*, const std::string*> lines[] = {
        {"     Device Number:      ", &device},    {"     Length:             ", &length},
        {"     Width:              ", &width},     {"     Height:             ", &height},
        {"     Gross Weight:       ", &gross},     {"     Dimensional Weight: ", &dimWeight},
        {"     Dimensional Factor: ", &dimFactor}, {"     Barcode: ", &barcode},
    };
    std::string text = "     --------------------------\r\n";
    for (const auto& [label, value] : lines) {
        text.append(label).append(*value).append("\r\n");
    }
    return text + "\r\n";
}

// The built-in test scan as the station sends it, barcode aside.
inline std::string Scan(const std::string& barcode) {
    return kStx +
           ScanBody("1", "11.0 in", "22.8 in", "13.6 in", "12.44 lb", "26.31", "110.7", barcode);
}

// "PCL" and the number in nine digits, as the station numbers its parcels.
inline std::string ParcelBarcode(long number) {
    char text[24];
    std::snprintf(text, sizeof text, "PCL%09ld", number);
    return text;
}

// The barcode field of a record line, without its padding.
inline std::string BarcodeOf(const std::string& line) {
    std::string barcode = line.size() >= kRecordLength ? line.substr(104, 35) : std::string();
    barcode.erase(barcode.find_last_not_of(' ') + 1);
    return barcode;
}

// Sends a scan, as the station sends its next parcel, until it is the data file's last line, and
// returns its barcode (empty when the program stopped or never recorded it). A NAK can answer
// what the line held before the scan (a leftover block, whose rejection drops the input that
// came with it); the station then sends again. Each try goes under a new barcode, numbered on
// from `number`, so a NAK meant for the leftover can never make one scan count twice.
inline std::string SendUntilRecorded(ProgramUnderTest& program, long& number) {
    TestLine& line = program.Line();
    for (int attempt = 0; attempt < 5; ++attempt) {
        line.TakeReplies();
        const std::string barcode = ParcelBarcode(++number);
        if (!line.Write(Scan(barcode))) {
            return {};
        }
        bool recorded = false;
        bool nak = false;
        WaitUntil([&] {
            const auto lines = program.WaitForLines(0);
            recorded = !lines.empty() && BarcodeOf(lines.back()) == barcode;
            nak = nak || line.TakeReplies().find(kNak) != std::string::npos;
            return recorded || nak || !program.IsRunning();
        });
        if (recorded) {
            return barcode;
        }
        if (!program.IsRunning()) {
            return {};
        }
    }
    return {};
}

// The lines that are not whole records: the wrong length for a record line.
inline std::vector<std::string> BrokenLines(const std::vector<std::string>& lines) {
    std::vector<std::string> broken;
    for (const std::string& line : lines) {
        if (line.size() != kRecordLength) {
            broken.push_back(line);
        }
    }
    return broken;
}

}  // namespace brisolant::e2e
