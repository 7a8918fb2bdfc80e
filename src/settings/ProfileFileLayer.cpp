#include "settings/ProfileFileLayer.h"

#include <fcntl.h>
#include <stdio.h>

#include <cerrno>

namespace brisolant {

namespace {

class PosixProfileFileLayer : public ProfileFileLayer {
  public:
    int Open(const std::string& path, int flags, mode_t mode) override {
        const int fd = ::open(path.c_str(), flags, mode);
        return fd >= 0 ? fd : -errno;
    }
    int Rename(const std::string& from, const std::string& to) override {
        return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
    }
};

}  // namespace

ProfileFileLayer& PosixProfileFiles() {
    static PosixProfileFileLayer files;
    return files;
}

}  // namespace brisolant
