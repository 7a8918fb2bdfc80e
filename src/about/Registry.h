#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace brisolant {

enum class RegistryRoot { LocalMachine };

// The raw data of one registry value and its type code (1 string, 4 32-bit number, ...).
struct RegistryValue {
    std::uint32_t type = 0;
    std::vector<unsigned char> bytes;
};

// Read-only access to the system registry.
class Registry {
  public:
    virtual ~Registry() = default;
    // The value, or nothing when the key cannot be opened or the value cannot be read.
    virtual std::optional<RegistryValue> ReadValue(RegistryRoot root, const std::string& keyName,
                                                   const std::string& valueName) const = 0;
};

// Linux has no registry: every lookup finds nothing.
class EmptyRegistry : public Registry {
  public:
    std::optional<RegistryValue> ReadValue(RegistryRoot, const std::string&,
                                           const std::string&) const override {
        return std::nullopt;
    }
};

}  // namespace brisolant
