#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "store/JournalFormat.h"
#include "store/OutboxFormat.h"

namespace brisolant {
namespace {

CentralRecord Sample(std::uint64_t seq) {
    CentralRecord record;
    record.station = "north";
    record.seq = seq;
    record.arrivedAt = "2026-12-10 19:15:00+01:00";
    record.device = "7";
    record.length = "12.5";
    record.lengthUnit = "in";
    // Bytes a record may hold: Latin-1, blanks, digits that look like lengths, a record letter.
    record.barcode = "R\xe9 12 34 \"x\"";
    record.line = "2026-12-10,19:15:00,7 R00000000 " + std::to_string(seq);
    return record;
}

TEST(OutboxFormatTest, RecordsReadBackAsWrittenUntilMarkedCommitted) {
    const std::string text = OutboxRecordText(Sample(1)) + OutboxRecordText(Sample(2)) +
                             OutboxRecordText(Sample(3)) + OutboxCommittedText(2);
    const OutboxIndex index = ParseOutbox(text);
    ASSERT_EQ(index.waiting.size(), 1u);
    EXPECT_EQ(index.waiting[0], Sample(3));
    EXPECT_EQ(index.nextSeq, 4u);
    EXPECT_EQ(index.damaged, 0u);
}

TEST(OutboxFormatTest, TheNextNumberOutlivesEveryRecord) {
    EXPECT_EQ(ParseOutbox(OutboxNextText(41)).nextSeq, 41u);
    EXPECT_EQ(ParseOutbox(OutboxNextText(41) + OutboxRecordText(Sample(41))).nextSeq, 42u);
    EXPECT_EQ(ParseOutbox("").nextSeq, 1u);
}

TEST(OutboxFormatTest, DamageCostsOnlyTheRecordsItTouches) {
    const std::string first = OutboxRecordText(Sample(1));
    std::string second = OutboxRecordText(Sample(2));
    const std::string third = OutboxRecordText(Sample(3));
    for (std::size_t at = 0; at + 1 < second.size(); ++at) {
        SCOPED_TRACE("byte " + std::to_string(at));
        std::string damaged = second;
        damaged[at] = static_cast<char>(damaged[at] ^ 0x20);
        const OutboxIndex index = ParseOutbox(first + damaged + third);
        ASSERT_EQ(index.waiting.size(), 2u);
        EXPECT_EQ(index.waiting[0].seq, 1u);
        EXPECT_EQ(index.waiting[1].seq, 3u);
        EXPECT_EQ(index.damaged, 1u);
    }
    // A tail cut short by a crash mid-append.
    for (std::size_t cut = 1; cut < third.size(); ++cut) {
        const OutboxIndex index = ParseOutbox(first + third.substr(0, cut));
        ASSERT_EQ(index.waiting.size(), 1u) << cut;
    }
}

// An R record with the given fields, as any program writes it.
std::string RecordOf(std::uint64_t seq, const std::vector<std::string>& fields) {
    std::string body = std::to_string(seq) + " " + std::to_string(fields.size()) + " ";
    for (const std::string& field : fields) {
        body += std::to_string(field.size()) + " ";
    }
    for (const std::string& field : fields) {
        body += field;
    }
    return CheckedRecord('R', body);
}

TEST(OutboxFormatTest, FieldsALaterProgramAddsAreSkipped) {
    const CentralRecord sample = Sample(5);
    std::vector<std::string> fields{sample.station,      sample.arrivedAt,  sample.device,
                                    sample.length,       sample.width,      sample.height,
                                    sample.grossWeight,  sample.dimWeight,  sample.dimFactor,
                                    sample.lengthUnit,   sample.weightUnit, sample.barcode,
                                    sample.operatorText, sample.line};
    EXPECT_EQ(RecordOf(5, fields), OutboxRecordText(sample));
    fields.push_back("a field of a later program");
    const OutboxIndex index = ParseOutbox(RecordOf(5, fields));
    ASSERT_EQ(index.waiting.size(), 1u);
    EXPECT_EQ(index.waiting[0], sample);
}

}  // namespace
}  // namespace brisolant
