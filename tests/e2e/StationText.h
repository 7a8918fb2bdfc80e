#pragma once

// What the station sends, and what the program makes of it, for the fault-injection tests.

#include <string>
#include <vector>

#include "e2e/ProgramUnderTest.h"
#include "station/ScanTexts.h"

namespace brisolant::e2e {

inline const std::string kStx(1, station::kStx);
inline constexpr char kNak = station::kNak;
// Under 50 characters with its terminator: the program answers it with a NAK.
inline const std::string kShortBlock = kStx + "     Device Number:      1\r\n\r\n";
inline constexpr std::size_t kRecordLength = 139;

// The built-in test scan as the station sends it, barcode aside.
inline std::string Scan(const std::string& barcode) {
    return station::Block(station::ScanText(station::SampleParcel(barcode)));
}

using station::ParcelBarcode;

// How a scan can come damaged off a line that drops bytes.
enum class Damage { CutOff, TerminatorByteLost, ByteLost };

// The scan with `damage`; `at` (any number) picks where: the end of a cut-off scan, the lost
// byte of the terminator or of the whole scan. A cut-off scan keeps at least its first byte.
inline std::string Damaged(std::string scan, Damage damage, std::size_t at) {
    switch (damage) {
        case Damage::CutOff:
            scan.resize(1 + at % (scan.size() - 1));
            break;
        case Damage::TerminatorByteLost:
            scan.erase(scan.size() - 4 + at % 4, 1);
            break;
        case Damage::ByteLost:
            scan.erase(at % scan.size(), 1);
            break;
    }
    return scan;
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
        test::WaitUntil([&] {
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
