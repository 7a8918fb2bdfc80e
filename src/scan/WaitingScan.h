#pragma once

#include <string>

namespace brisolant {

// A scan whose record line could not be appended yet. Its file and its line (with the date and
// time of its arrival) are fixed when it arrives; only the writing waits.
struct WaitingScan {
    std::string folder;
    std::string fileName;
    std::string line;

    bool operator==(const WaitingScan&) const = default;
};

}  // namespace brisolant
