// Arbitrary bytes as the outbox of records for the site's database: the numbers of the records
// read rise, the next number is above every one of them, and the records read, written out
// again, read back the same and undamaged.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "store/OutboxFormat.h"

namespace {

using namespace brisolant;

[[noreturn]] void Fault(const char* what) {
    std::fprintf(stderr, "fault: %s\n", what);
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const OutboxIndex index = ParseOutbox(text);
    std::uint64_t last = 0;
    std::string again = OutboxNextText(index.nextSeq);
    for (const CentralRecord& record : index.waiting) {
        if (record.seq <= last) {
            Fault("record numbers do not rise");
        }
        last = record.seq;
        again += OutboxRecordText(record);
    }
    if (!index.waiting.empty() && index.nextSeq <= last) {
        Fault("the next number is not above every record's");
    }
    const OutboxIndex reread = ParseOutbox(again);
    if (reread.damaged != 0 || reread.waiting != index.waiting || reread.nextSeq != index.nextSeq) {
        Fault("records written out again do not read back the same");
    }
    return 0;
}
