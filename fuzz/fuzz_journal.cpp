// Arbitrary bytes as the journal of waiting scans: read whole, and read again in pieces of
// another size (byte 0 chooses it), which must give the same scans; every scan read must carry a
// larger number than the one before; and the scans read, written out again, must read back the
// same and undamaged.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "store/JournalFormat.h"
#include "support/JournalText.h"

namespace {

using namespace brisolant;
using test::JournalContents;
using test::ReadJournalText;
using test::WithTexts;

constexpr std::size_t kLimit = 64;

[[noreturn]] void Fault(const char* what) {
    std::fprintf(stderr, "fault: %s\n", what);
    std::abort();
}

JournalContents ReadInPieces(std::string_view text, std::size_t piece) {
    JournalParser parser(kLimit);
    for (std::size_t at = 0; at < text.size(); at += piece) {
        // The reader asserts that it holds back no more than a record's worth.
        parser.Feed(text.substr(at, piece));
    }
    return WithTexts(parser.Finish(), text);
}

std::string Written(const JournalContents& contents) {
    std::string text;
    for (const JournalScan& scan : contents.waiting) {
        text += ScanRecordText(scan.seq, scan.fileName, scan.line);
        if (scan.place) {
            text += PlaceRecordText(scan.seq, *scan.place);
        }
    }
    return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const std::size_t piece = 1 + data[0] % 97;
    const std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);

    const JournalContents whole = ReadJournalText(text, kLimit);
    const JournalContents pieces = ReadInPieces(text, piece);
    if (whole.waiting != pieces.waiting || whole.damaged != pieces.damaged ||
        whole.lastSeq != pieces.lastSeq || whole.overLimit != pieces.overLimit) {
        Fault("the pieces a journal is read in change what is read");
    }
    if (whole.waiting.size() > kLimit) {
        Fault("more scans than the limit");
    }
    std::uint64_t previous = 0;
    for (const JournalScan& scan : whole.waiting) {
        if (scan.seq <= previous || scan.seq > whole.lastSeq) {
            Fault("scan numbers out of order");
        }
        previous = scan.seq;
    }
    const JournalContents again = ReadJournalText(Written(whole), kLimit);
    if (again.waiting != whole.waiting || again.damaged != 0 || again.earlierFormat) {
        Fault("the scans read do not read back the same");
    }
    return 0;
}
