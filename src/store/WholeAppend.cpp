#include "store/WholeAppend.h"

#include <cerrno>

namespace brisolant {

int WriteBytes(FileLayer& files, int fd, std::string_view bytes, std::size_t& written) {
    written = 0;
    while (written < bytes.size()) {
        const ssize_t count = files.Write(fd, bytes.substr(written));
        if (count <= 0) {
            return count < 0 ? static_cast<int>(-count) : EIO;
        }
        written += static_cast<std::size_t>(count);
    }
    return 0;
}

int AppendWhole(FileLayer& files, const std::string& path, std::string_view records, bool sync,
                AppendEnd& end) {
    end = {};
    bool created = false;
    const int fd =
        files.OpenForAppend(path, {.create = true, .followLinks = false, .created = &created});
    if (fd < 0) {
        return -fd;
    }
    // A new file outlives a power cut only once its folder's entry is on the disk too: synced
    // before anything is written, so that what is reported written is never written twice.
    int error = created ? files.SyncFolder(FolderOf(path)) : 0;
    FileStatus status;
    if (error == 0) {
        error = files.Status(fd, status);
    }
    std::size_t written = 0;
    if (error == 0) {
        error = WriteBytes(files, fd, records, written);
    }
    if (error == 0 && sync) {
        error = files.SyncData(fd);
    }
    if (error != 0 && written > 0) {
        end.bytesLeft = files.Truncate(fd, status.size) != 0;
    }
    // Once synced, the change is on the disk whatever close says.
    (void)files.Close(fd);
    end.before = status.size;
    return error;
}

}  // namespace brisolant
