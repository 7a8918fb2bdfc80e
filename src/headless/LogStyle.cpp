#include "headless/LogStyle.h"

#include <sys/stat.h>
#include <unistd.h>

#include <charconv>
#include <cstdlib>

namespace brisolant {

namespace {

bool ReadNumber(std::string_view text, std::uint64_t& number) {
    const char* end = text.data() + text.size();
    const auto [rest, error] = std::from_chars(text.data(), end, number);
    return error == std::errc() && rest == end && !text.empty();
}

}  // namespace

std::string LogStyle::Prefix(LogPriority priority) const {
    if (!journal) {
        return {};
    }
    return "<" + std::to_string(static_cast<int>(priority)) + ">";
}

bool JournalStreamNames(std::string_view journalStream, std::uint64_t device, std::uint64_t inode) {
    const std::size_t colon = journalStream.find(':');
    if (colon == std::string_view::npos) {
        return false;
    }
    std::uint64_t streamDevice = 0;
    std::uint64_t streamInode = 0;
    return ReadNumber(journalStream.substr(0, colon), streamDevice) &&
           ReadNumber(journalStream.substr(colon + 1), streamInode) && streamDevice == device &&
           streamInode == inode;
}

LogStyle ErrorStreamStyle() {
    const char* stream = std::getenv("JOURNAL_STREAM");
    struct stat info {};
    if (stream == nullptr || ::fstat(STDERR_FILENO, &info) != 0) {
        return {};
    }
    return {JournalStreamNames(stream, info.st_dev, info.st_ino)};
}

}  // namespace brisolant
