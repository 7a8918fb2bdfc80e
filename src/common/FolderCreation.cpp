#include "common/FolderCreation.h"

#include <sys/stat.h>

#include <cerrno>

namespace brisolant {

int CreateFolderPath(const std::string& folder) {
    std::string path;
    for (std::size_t pos = 0; pos != std::string::npos;) {
        const std::size_t slash = folder.find('/', pos + 1);
        path = folder.substr(0, slash);
        pos = slash;
        if (path.empty() || path.back() == '/') {
            continue;
        }
        if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) {
            return errno;
        }
    }
    struct stat info {};
    if (::stat(folder.c_str(), &info) != 0) {
        return errno;
    }
    return S_ISDIR(info.st_mode) ? 0 : ENOTDIR;
}

}  // namespace brisolant
