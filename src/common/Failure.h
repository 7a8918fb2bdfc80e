#pragma once

#include <span>
#include <stdexcept>
#include <string>
#include <string_view>

#include "common/LogPriority.h"

namespace brisolant {

// One table of failures for the whole program (FailureRows.inc). Every kind has its own number,
// which the operator sees in the status bar ("Status: 121 Cannot open the data file: ...").
enum class FailureCode : int {
#define FAILURE(code, number, priority, part, text) code = number,
#include "common/FailureRows.inc"
#undef FAILURE
};

// The part of the program that raises a failure: the folder of src/ it comes from.
enum class FailurePart { Scan, Device, Store, Recorder, Settings, Headless, Any };

// Every code, in the table's order.
std::span<const FailureCode> AllFailureCodes();

// The plain description of a kind of failure, without details.
std::string_view FailureDescription(FailureCode code);
// The journal's priority for a line that reports it.
LogPriority FailurePriority(FailureCode code);
FailurePart FailurePartOf(FailureCode code);
// "scan", "device", ...: the folder of src/.
std::string_view FailurePartName(FailurePart part);

// A failure raised by a step; the handler that runs the step catches and reports it.
class Failure : public std::runtime_error {
  public:
    // The description is the table's text, followed by ": " and the detail when one is given.
    explicit Failure(FailureCode code, std::string_view detail = {});

    FailureCode code() const { return code_; }
    int number() const { return static_cast<int>(code_); }
    const std::string& description() const { return description_; }
    // What was given beside the code: the description without the table's text.
    const std::string& detail() const { return detail_; }

  private:
    FailureCode code_;
    std::string description_;
    std::string detail_;
};

// "Status: " + number + " " + description, the form every handler shows in status panel 1.
std::string StatusText(const Failure& failure);

}  // namespace brisolant
