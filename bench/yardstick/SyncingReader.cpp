// The least a program that keeps every scan must do, the yardstick of bench/yardsticks.sh: it
// reads the line (115200 baud, 8N1, raw), frames each scan from its STX to the blank line that
// ends it, appends the scan to a file and syncs the file before it reads on. No window, no
// queue, no thread.
//
//   bench_syncing_reader DEVICE FILE

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

namespace {

constexpr char kStx = 2;
constexpr std::string_view kEnd = "\r\n\r\n";

bool SetRaw(int fd) {
    termios line{};
    if (tcgetattr(fd, &line) != 0) {
        return false;
    }
    cfmakeraw(&line);
    cfsetispeed(&line, B115200);
    cfsetospeed(&line, B115200);
    line.c_cc[VMIN] = 1;
    line.c_cc[VTIME] = 0;
    return tcsetattr(fd, TCSANOW, &line) == 0;
}

bool AppendSynced(int fd, std::string_view scan) {
    while (!scan.empty()) {
        const ssize_t written = write(fd, scan.data(), scan.size());
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return false;
        }
        scan.remove_prefix(static_cast<std::size_t>(written));
    }
    return fdatasync(fd) == 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s DEVICE FILE\n", argv[0]);
        return 2;
    }
    const int line = open(argv[1], O_RDWR | O_NOCTTY);
    if (line < 0 || !SetRaw(line)) {
        std::fprintf(stderr, "%s: %s\n", argv[1], std::strerror(errno));
        return 1;
    }
    const int file = open(argv[2], O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (file < 0) {
        std::fprintf(stderr, "%s: %s\n", argv[2], std::strerror(errno));
        return 1;
    }
    std::string received;
    char chunk[4096];
    for (;;) {
        const ssize_t count = read(line, chunk, sizeof chunk);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count <= 0) {
            return count == 0 ? 0 : 1;
        }
        received.append(chunk, static_cast<std::size_t>(count));
        for (std::size_t end; (end = received.find(kEnd)) != std::string::npos;) {
            const std::size_t start = received.rfind(kStx, end);
            const std::size_t from = start == std::string::npos ? 0 : start + 1;
            if (!AppendSynced(file, std::string_view(received).substr(from, end + 2 - from))) {
                std::fprintf(stderr, "%s: %s\n", argv[2], std::strerror(errno));
                return 1;
            }
            received.erase(0, end + kEnd.size());
        }
    }
}
