#include "common/ProcessName.h"

#include <fcntl.h>
#include <unistd.h>

#include <string_view>

#include "common/PosixFile.h"

namespace brisolant {

std::string ProcessText(pid_t pid) {
    const std::string process = "process " + std::to_string(pid);
    const FileDescriptor comm(
        ::open(("/proc/" + std::to_string(pid) + "/comm").c_str(), O_RDONLY | O_CLOEXEC));
    char name[64] = {};
    const ssize_t count = comm.IsOpen() ? ::read(comm.Get(), name, sizeof name) : -1;
    std::string_view text(name, count > 0 ? static_cast<std::size_t>(count) : 0);
    while (!text.empty() && text.back() == '\n') {
        text.remove_suffix(1);
    }
    return text.empty() ? process : std::string(text) + " (" + process + ")";
}

}  // namespace brisolant
