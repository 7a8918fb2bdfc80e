#include "support/JournalText.h"

#include <utility>

namespace brisolant::test {

JournalContents WithTexts(const JournalIndex& index, std::string_view text) {
    JournalContents contents{
        {}, index.lastSeq, index.damaged, index.overLimit, index.earlierFormat};
    for (const JournalEntry& entry : index.waiting) {
        JournalScan scan;
        if (entry.at < text.size() &&
            ReadScanRecord(text.substr(entry.at), entry, scan) == RecordRead::Whole) {
            if (const auto place = index.places.find(entry.seq); place != index.places.end()) {
                scan.place = place->second;
            }
            contents.waiting.push_back(std::move(scan));
        }
    }
    return contents;
}

JournalContents ReadJournalText(std::string_view text, std::size_t limit) {
    JournalParser parser(limit);
    constexpr std::size_t kPiece = 4093;
    for (std::size_t at = 0; at < text.size(); at += kPiece) {
        parser.Feed(text.substr(at, kPiece));
    }
    return WithTexts(parser.Finish(), text);
}

}  // namespace brisolant::test
