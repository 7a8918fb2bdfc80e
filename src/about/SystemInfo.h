#pragma once

#include <string>

#include "about/Registry.h"
#include "common/MessagePresenter.h"

namespace brisolant {

inline constexpr std::size_t kRegistryValueLimit = 1024;
inline constexpr std::uint32_t kRegistryString = 1;
inline constexpr std::uint32_t kRegistryNumber = 4;

// Reads a string (or 32-bit number, in decimal) value into text and returns true. A missing key
// or value, or one longer than kRegistryValueLimit bytes, empties text and returns false. A value
// of another type leaves text as it was and returns true.
bool GetKeyValue(const Registry& registry, RegistryRoot root, const std::string& keyName,
                 const std::string& valueName, std::string& text);

// Checks for and starts programs; the about box's link to the operating system.
class ProgramLauncher {
  public:
    virtual ~ProgramLauncher() = default;
    virtual bool FileExists(const std::string& path) const = 0;
    // Starts the program in its own window without waiting for it; false when it cannot start.
    virtual bool Start(const std::string& path) = 0;
};

inline constexpr const char* kSysInfoUnavailable = "System Information Is Unavailable At This Time";

// Finds the system-information tool through the registry and starts it; when it cannot be found
// or started, tells the operator so in a message titled with the product name.
void StartSysInfo(const Registry& registry, ProgramLauncher& launcher, MessagePresenter& messages);

}  // namespace brisolant
