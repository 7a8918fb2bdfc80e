#include "window/DataFileReader.h"

#include <exception>
#include <utility>

#include "window/RecordLines.h"

namespace brisolant {

namespace {

DataFileLines OpenForTheView(const std::string& path) {
    return ReadDataFileLines(path, RecordLines::kMaxShownBytes);
}

}  // namespace

ThreadedDataFileReader::ThreadedDataFileReader(std::function<void()> wake, DataFileOpener open)
    : open_(open ? std::move(open) : DataFileOpener(OpenForTheView)), calls_(std::move(wake)) {}

void ThreadedDataFileReader::Read(std::uint64_t ticket, const std::string& path) {
    calls_.Run([ticket, path, open = open_] {
        DataFileAnswer answer{ticket, {}, {}};
        try {
            answer.lines = open(path);
        } catch (const Failure& failure) {
            answer.failure = failure;
        } catch (const std::exception& error) {
            answer.failure = Failure(FailureCode::DataFileRead, path + ": " + error.what());
        }
        return answer;
    });
}

}  // namespace brisolant
