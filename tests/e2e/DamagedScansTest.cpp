// The real program on a line that drops bytes: damaged scans never lend their values to another
// parcel's record, and every intact scan, and every scan that lost only its STX, is recorded once
// with its own values. And a flood while the manual-entry prompt is open does not take the
// program's memory.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "e2e/JunkFlood.h"
#include "e2e/ProgramUnderTest.h"
#include "e2e/StationText.h"

namespace brisolant::e2e {
namespace {

constexpr long kParcels = 600;

// Four digits for parcel n, with a decimal point before the last `decimals` of them: every
// parcel's value in a field differs from every other's, and a lost digit or point makes a value
// that belongs to no parcel.
std::string Value(long base, long n, int decimals) {
    const std::string digits = std::to_string(base + n);
    return digits.substr(0, digits.size() - static_cast<std::size_t>(decimals)) + "." +
           digits.substr(digits.size() - static_cast<std::size_t>(decimals));
}

// The station's values for parcel n, in the order of the record's fields after date and time.
std::vector<std::string> ParcelValues(long n) {
    return {std::to_string(1000 + n),  Value(1000, n, 1) + " in", Value(2000, n, 1) + " in",
            Value(3000, n, 1) + " in", Value(4000, n, 2) + " lb", Value(5000, n, 2),
            Value(6000, n, 1),         ParcelBarcode(n)};
}

std::string ParcelScan(long n) {
    const auto v = ParcelValues(n);
    return station::Block(station::ScanText({v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7]}));
}

// The record's fields after date and time, without their padding.
std::vector<std::string> RecordValues(const std::string& line) {
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (std::size_t comma = line.find(','); start <= line.size(); comma = line.find(',', start)) {
        std::string field = line.substr(start, comma - start);
        field.erase(field.find_last_not_of(' ') + 1);
        fields.push_back(field);
        if (comma == std::string::npos) {
            break;
        }
        start = comma + 1;
    }
    return fields.size() > 2 ? std::vector<std::string>(fields.begin() + 2, fields.end())
                             : std::vector<std::string>{};
}

TEST(DamagedScansTest, NoRecordCarriesAnotherParcelsValuesAndEveryIntactScanIsRecordedOnce) {
    std::string whyNot;
    const auto started = PrepareProgram({}, whyNot);
    if (!started) {
        GTEST_SKIP() << whyNot;
    }
    ProgramUnderTest& program = *started;
    ASSERT_TRUE(program.StartAndWaitForPort()) << program.Log();

    // Every twentieth parcel is damaged, the three kinds in turn: 30 of 600. And every
    // hundredth, from the 55th, is cut off and the next one loses its STX: the two join into one
    // block, from which the second must still be recorded alone.
    std::mt19937 random(20261210);
    std::set<long> damaged;
    long stxLost = 0;
    std::string stream;
    for (long n = 1; n <= kParcels; ++n) {
        std::string scan = ParcelScan(n);
        if (n % 20 == 10) {
            const auto damage = static_cast<Damage>(n / 20 % 3);
            scan = Damaged(scan, damage, random());
            damaged.insert(n);
        } else if (n % 100 == 55) {
            scan = Damaged(scan, Damage::CutOff, random());
            damaged.insert(n);
        } else if (n % 100 == 56) {
            scan.erase(0, kStx.size());
            ++stxLost;
        }
        stream += scan;
    }
    // A last intact parcel says when the program is through.
    const long last = kParcels + 1;
    stream += ParcelScan(last);
    // Written in pieces of odd sizes, so that reads end anywhere in a scan.
    for (std::size_t at = 0; at < stream.size(); at += 997) {
        ASSERT_TRUE(program.Line().Write(stream.substr(at, 997))) << program.Log();
    }
    std::vector<std::string> lines;
    ASSERT_TRUE(test::WaitUntil([&] {
        lines = program.WaitForLines(0);
        return (!lines.empty() && BarcodeOf(lines.back()) == ParcelBarcode(last)) ||
               !program.IsRunning();
    })) << program.Log();
    ASSERT_TRUE(program.IsRunning()) << program.Log();

    // Which parcel each value belongs to, field by field.
    std::vector<std::map<std::string, long>> owner(8);
    for (long n = 1; n <= last; ++n) {
        const auto values = ParcelValues(n);
        for (std::size_t field = 0; field < values.size(); ++field) {
            owner[field][values[field]] = n;
        }
    }
    std::map<long, int> recorded;
    for (const std::string& line : lines) {
        const auto values = RecordValues(line);
        ASSERT_EQ(values.size(), 8u) << line;
        std::set<long> parcels;
        for (std::size_t field = 0; field < values.size(); ++field) {
            const auto found = owner[field].find(values[field]);
            if (found != owner[field].end()) {
                parcels.insert(found->second);
            }
        }
        EXPECT_LE(parcels.size(), 1u) << "values of several parcels in one record: " << line;
        if (parcels.size() == 1 && values == ParcelValues(*parcels.begin())) {
            ++recorded[*parcels.begin()];
        }
    }
    for (long n = 1; n <= last; ++n) {
        if (damaged.count(n) == 0) {
            EXPECT_EQ(recorded[n], 1) << "intact parcel " << n << " recorded " << recorded[n]
                                      << " times with its own values";
        }
    }
    EXPECT_EQ(BrokenLines(lines).size(), 0u);
    EXPECT_EQ(program.RepliesSoFar(), "") << "no NAK: the station would resend a good scan";
    std::printf(
        "damaged scans: %zu lines for %ld parcels, %zu of them damaged and %ld more without STX\n",
        lines.size(), last, damaged.size(), stxLost);
}

// Qt and the framing both hold what arrives while the prompt waits for the operator; both are
// bounded, so a station or a faulty line sending without pause cannot exhaust the memory.
TEST(DamagedScansTest, FloodWhileTheManualEntryPromptIsOpenLeavesMemoryBounded) {
    std::string whyNot;
    const auto started = PrepareProgram({{"ManualEntryData", "1"}}, whyNot);
    if (!started) {
        GTEST_SKIP() << whyNot;
    }
    ProgramUnderTest& program = *started;
    KeepMemoryFigureHonest(program);
    ASSERT_TRUE(program.StartAndWaitForPort()) << program.Log();
    TestLine& line = program.Line();
    // Once the program has taken the scan, it is processing it: the prompt waits for the
    // operator, who never answers.
    ASSERT_TRUE(line.Write(Scan(ParcelBarcode(1))));
    ASSERT_TRUE(line.WaitUntilTaken()) << program.Log();

    const pid_t pid = program.Pid();
    const long startKiB = ResidentKiB(pid);
    long peakKiB = startKiB;
    JunkFlood flood(JunkFlood::Bytes::Any, 7, FloodLength());
    while (flood.Going()) {
        const std::size_t taken = line.WriteNow(flood.Next());
        flood.Took(taken);
        if (taken == 0) {
            // The line is full: the program has stopped reading for now.
            peakKiB = std::max(peakKiB, ResidentKiB(pid));
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    peakKiB = std::max(peakKiB, ResidentKiB(pid));
    ASSERT_TRUE(program.IsRunning()) << program.Log();
    EXPECT_LT(peakKiB - startKiB, 64 * 1024)
        << "resident memory grew from " << startKiB << " KiB to " << peakKiB << " KiB";
    std::printf("flood with the prompt open: %zu bytes taken in %.1f s; VmRSS %ld -> %ld KiB\n",
                flood.Taken(), flood.SecondsSoFar(), startKiB, peakKiB);
}

}  // namespace
}  // namespace brisolant::e2e
