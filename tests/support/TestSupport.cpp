#include "support/TestSupport.h"

#include <unistd.h>

#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

namespace brisolant::test {

TempDir::TempDir() {
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        auto candidate =
            std::filesystem::temp_directory_path() / ("brisolant-test-" + std::to_string(random()));
        if (std::filesystem::create_directory(candidate)) {
            path_ = candidate;
            return;
        }
    }
    throw std::runtime_error("cannot make a temporary folder");
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(path_, ignored);
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

void WriteFile(const std::string& path, const std::string& content) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
}

std::string AllBytesButLineEnds() {
    std::string bytes;
    for (int code = 0; code < 256; ++code) {
        if (code != '\r' && code != '\n') {
            bytes += static_cast<char>(code);
        }
    }
    return bytes;
}

FolderClosedToWriter::FolderClosedToWriter(const std::filesystem::path& folder) : folder_(folder) {
    namespace fs = std::filesystem;
    constexpr uid_t kNobody = 65534;
    if (::geteuid() == 0) {
        fs::permissions(folder_, fs::perms::owner_all | fs::perms::group_read |
                                     fs::perms::group_exec | fs::perms::others_read |
                                     fs::perms::others_exec);
        borrowedIdentity_ = ::seteuid(kNobody) == 0;
        // Every folder above must let "nobody" through (a temporary folder under /root does not).
        usable_ = borrowedIdentity_ && ::euidaccess(folder_.c_str(), X_OK) == 0 &&
                  ::euidaccess(folder_.c_str(), W_OK) != 0;
    } else {
        fs::permissions(folder_, fs::perms::owner_read | fs::perms::owner_exec);
        usable_ = true;
    }
}

FolderClosedToWriter::~FolderClosedToWriter() {
    if (borrowedIdentity_) {
        [[maybe_unused]] const int restored = ::seteuid(0);
    }
    std::filesystem::permissions(folder_, std::filesystem::perms::owner_all);
}

}  // namespace brisolant::test
