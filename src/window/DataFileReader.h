#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "common/DetachedCalls.h"
#include "common/Failure.h"
#include "window/DataFileLines.h"

namespace brisolant {

// What a read of the data view's file came to: its lines, or why it could not be read.
struct DataFileAnswer {
    std::uint64_t ticket = 0;  // the read's, as it was asked for
    DataFileLines lines;
    std::optional<Failure> failure;
};

// Reads the data view's file away from the window's thread: a data folder on a share that has
// stopped answering holds up the read, never the window or the line.
class DataFileReader {
  public:
    virtual ~DataFileReader() = default;
    // Starts reading the file; its answer comes with the ticket, among TakeAnswers.
    virtual void Read(std::uint64_t ticket, const std::string& path) = 0;
    // The answers that came since the last call, oldest first.
    virtual std::vector<DataFileAnswer> TakeAnswers() = 0;
};

// Indexes a data file for the view: ReadDataFileLines, or a stand-in for it.
using DataFileOpener = std::function<DataFileLines(const std::string& path)>;

// Reads each file on a thread of its own, and tells the window's thread when an answer waits.
class ThreadedDataFileReader : public DataFileReader {
  public:
    // `wake` runs on the reading thread, as DetachedCalls says.
    explicit ThreadedDataFileReader(std::function<void()> wake, DataFileOpener open = {});

    void Read(std::uint64_t ticket, const std::string& path) override;
    std::vector<DataFileAnswer> TakeAnswers() override { return calls_.Take(); }

  private:
    DataFileOpener open_;
    DetachedCalls<DataFileAnswer> calls_;
};

}  // namespace brisolant
