#pragma once

#include <sys/types.h>

#include <string>

namespace brisolant {

// The calls by which the settings file is opened, made and put in place, so that tests can
// refuse any of them as the system would (a file or a folder closed to the user). Errors are
// returned as errno values, never thrown.
class ProfileFileLayer {
  public:
    virtual ~ProfileFileLayer() = default;
    // Opens as open(2) does. Returns the descriptor, or minus the error.
    [[nodiscard]] virtual int Open(const std::string& path, int flags, mode_t mode) = 0;
    // Renames as rename(2) does. Returns 0 or the error.
    [[nodiscard]] virtual int Rename(const std::string& from, const std::string& to) = 0;
};

// The real calls.
ProfileFileLayer& PosixProfileFiles();

}  // namespace brisolant
