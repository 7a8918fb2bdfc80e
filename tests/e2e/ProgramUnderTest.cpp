#include "e2e/ProgramUnderTest.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <sstream>

namespace brisolant::e2e {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// The settings the program must see in every run: the offscreen platform, the C locale
// (decimal point, "/" and ":" separators), and no leak report when it is killed.
// The extra variables ("NAME=value") come last and win.
std::vector<std::string> ProgramEnvironment(const std::vector<std::string>& extra) {
    std::vector<std::string> settings = {"QT_QPA_PLATFORM=offscreen", "LC_ALL=C.UTF-8",
                                         "LANG=C.UTF-8", "LANGUAGE="};
    if (std::getenv("ASAN_OPTIONS") == nullptr) {
        settings.push_back("ASAN_OPTIONS=detect_leaks=0");
    }
    for (const std::string& variable : extra) {
        const std::string name = variable.substr(0, variable.find('=') + 1);
        std::erase_if(settings, [&](const std::string& s) { return s.starts_with(name); });
        settings.push_back(variable);
    }
    return EnvironmentWith(settings);
}

}  // namespace

bool HasOpen(pid_t pid, const std::string& path) {
    std::error_code error;
    fs::directory_iterator entries(fs::path("/proc") / std::to_string(pid) / "fd", error);
    for (; !error && entries != fs::directory_iterator(); entries.increment(error)) {
        std::error_code linkError;
        if (fs::read_symlink(entries->path(), linkError) == path && !linkError) {
            return true;
        }
    }
    return false;
}

bool WaitsForEvents(pid_t pid) {
    constexpr long long kSoonMs = 100;
    const std::string process = "/proc/" + std::to_string(pid);
    // The state is the first field after the command name, which may hold blanks.
    const std::string stat = test::ReadFile(process + "/stat");
    const std::size_t nameEnd = stat.rfind(')');
    if (nameEnd == std::string::npos || nameEnd + 2 >= stat.size() || stat[nameEnd + 2] != 'S') {
        return false;
    }
    // The system call the main thread is in and its arguments, in hexadecimal; "running" or -1
    // when it is in none.
    std::istringstream call(test::ReadFile(process + "/syscall"));
    long number = -1;
    std::vector<unsigned long long> arguments;
    std::string word;
    if (!(call >> number)) {
        return false;
    }
    while (call >> word) {
        arguments.push_back(std::stoull(word, nullptr, 16));
    }
    if (arguments.size() < 3) {
        return false;
    }
#ifdef SYS_poll
    if (number == SYS_poll) {
        const auto timeoutMs = static_cast<std::int32_t>(static_cast<std::uint32_t>(arguments[2]));
        return timeoutMs < 0 || timeoutMs >= kSoonMs;
    }
#endif
    if (number == SYS_ppoll) {
        if (arguments[2] == 0) {
            return true;  // no time-out at all
        }
        // The time-out lies in the process's memory.
        timespec timeout{};
        const int memory = open((process + "/mem").c_str(), O_RDONLY | O_CLOEXEC);
        if (memory < 0) {
            return false;
        }
        const ssize_t got =
            pread(memory, &timeout, sizeof timeout, static_cast<off_t>(arguments[2]));
        close(memory);
        return got == static_cast<ssize_t>(sizeof timeout) &&
               timeout.tv_sec * 1000 + timeout.tv_nsec / 1000000 >= kSoonMs;
    }
    return false;
}

double CpuSeconds(pid_t pid) {
    const std::string stat = test::ReadFile("/proc/" + std::to_string(pid) + "/stat");
    // The fields after the command name, which may hold blanks: state is the first of them,
    // utime and stime the 12th and 13th.
    const std::size_t close = stat.rfind(')');
    if (close == std::string::npos) {
        return 0;
    }
    std::istringstream fields(stat.substr(close + 2));
    std::string field;
    double ticks = 0;
    for (int index = 1; index <= 13 && fields >> field; ++index) {
        if (index >= 12) {
            ticks += std::stod(field);
        }
    }
    return ticks / static_cast<double>(sysconf(_SC_CLK_TCK));
}

long ResidentKiB(pid_t pid) {
    std::istringstream status(test::ReadFile("/proc/" + std::to_string(pid) + "/status"));
    std::string line;
    while (std::getline(status, line)) {
        if (line.starts_with("VmRSS:")) {
            return std::stol(line.substr(6));
        }
    }
    return 0;
}

bool SetFileSizeLimit(pid_t pid, rlim_t bytes) {
    // Only the soft limit moves, so that it can be raised again without privileges.
    rlimit limit{};
    if (prlimit(pid, RLIMIT_FSIZE, nullptr, &limit) != 0) {
        return false;
    }
    limit.rlim_cur = std::min(bytes, limit.rlim_max);
    return prlimit(pid, RLIMIT_FSIZE, &limit, nullptr) == 0;
}

TestLine::TestLine() {
    try {
        pair_ = std::make_unique<station::PseudoTerminal>();
    } catch (const std::runtime_error& error) {
        throw NoPseudoTerminal(error.what());
    }
}

TestLine::~TestLine() = default;

void TestLine::Close() {
    pair_->Close();
}

bool TestLine::Write(std::string_view bytes) {
    const auto deadline = Clock::now() + test::kPatience;
    while (!bytes.empty()) {
        const ssize_t written = write(pair_->MasterFd(), bytes.data(), bytes.size());
        if (written > 0) {
            bytes.remove_prefix(static_cast<std::size_t>(written));
            continue;
        }
        if (written < 0 && errno != EAGAIN && errno != EINTR) {
            return false;
        }
        if (Clock::now() >= deadline) {
            return false;
        }
        pollfd line{pair_->MasterFd(), POLLOUT, 0};
        poll(&line, 1, 100);
    }
    return true;
}

std::size_t TestLine::WriteNow(std::string_view bytes) {
    const ssize_t written = write(pair_->MasterFd(), bytes.data(), bytes.size());
    return written > 0 ? static_cast<std::size_t>(written) : 0;
}

bool TestLine::WaitUntilTaken() {
    return test::WaitUntil([this] {
        int unread = 0;
        return ioctl(pair_->SlaveFd(), FIONREAD, &unread) == 0 && unread == 0;
    });
}

std::string TestLine::TakeReplies() {
    std::string replies;
    char bytes[256];
    ssize_t count = 0;
    while ((count = read(pair_->MasterFd(), bytes, sizeof bytes)) > 0) {
        replies.append(bytes, static_cast<std::size_t>(count));
    }
    return replies;
}

std::string SettingsText(const std::string& port, const std::string& dataFolder,
                         const std::vector<SettingOverride>& overrides) {
    std::vector<SettingOverride> communication = {{"CommPort", port},
                                                  {"BaudRate", "9600"},
                                                  {"DataBits", "8"},
                                                  {"Parity", "None"},
                                                  {"StopBits", "1"}};
    std::vector<SettingOverride> settings = {
        {"FilePath", dataFolder}, {"CloseTime", "00:00:00"}, {"BranchID", ""},
        {"Remove_InCm", "0"},     {"Remove_LbKg", "0"},      {"ManualEntryData", "0"},
        {"FileDelimiter", ","},   {"ConvertCMtoMM", "0"},    {"LogFileType", "0"}};
    for (const SettingOverride& override : overrides) {
        bool replaced = false;
        for (auto* section : {&communication, &settings}) {
            for (SettingOverride& entry : *section) {
                if (entry.key == override.key) {
                    entry.value = override.value;
                    replaced = true;
                }
            }
        }
        if (!replaced) {
            settings.push_back(override);
        }
    }
    std::string text = "[COMMUNICATION]\r\n";
    for (const SettingOverride& entry : communication) {
        text += entry.key + "=" + entry.value + "\r\n";
    }
    text += "[SETTINGS]\r\n";
    for (const SettingOverride& entry : settings) {
        text += entry.key + "=" + entry.value + "\r\n";
    }
    return text;
}

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find("\r\n", start);
        if (end == std::string::npos) {
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

ProgramUnderTest::ProgramUnderTest(const std::vector<SettingOverride>& overrides) {
    // The program reads the settings file beside its own executable, hence the copy.
    executable_ = folder_.file("brisolant");
    fs::copy_file(BRISOLANT_EXE, executable_);
    fs::create_directory(DataFolder());
    port_ = line_.ProgramEnd();
    for (const SettingOverride& override : overrides) {
        if (override.key == "CommPort") {
            port_ = override.value;
        }
    }
    test::WriteFile(SettingsFile(), SettingsText(line_.ProgramEnd(), DataFolder(), overrides));
}

bool ProgramUnderTest::Start() {
    std::vector<std::string> arguments{executable_};
    arguments.insert(arguments.end(), arguments_.begin(), arguments_.end());
    std::vector<std::string> environment = ProgramEnvironment(environment_);
    for (const std::string& removed : removed_) {
        std::erase_if(environment, [&](const std::string& v) { return v.starts_with(removed); });
    }
    return process_.Start(arguments, environment, folder_.file("program.log"));
}

bool ProgramUnderTest::StartAndWaitForPort() {
    if (!Start()) {
        return false;
    }
    // A port named by a symbolic link shows in /proc as the device it leads to.
    std::error_code error;
    const fs::path device = fs::canonical(port_, error);
    const std::string opened = error ? port_ : device.string();
    bool open = false;
    test::WaitUntil([&] {
        open = HasOpen(process_.Pid(), opened);
        return open || !IsRunning();
    });
    return open;
}

std::vector<std::string> ProgramUnderTest::DataFileNames() const {
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(DataFolder(), error)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string ProgramUnderTest::AllDataText() const {
    std::string text;
    for (const std::string& name : DataFileNames()) {
        text += test::ReadFile(DataFolder() + name);
    }
    return text;
}

std::vector<std::string> ProgramUnderTest::WaitForLines(std::size_t count) {
    test::WaitUntil([&] { return SplitLines(AllDataText()).size() >= count || !IsRunning(); });
    return SplitLines(AllDataText());
}

std::string ProgramUnderTest::WaitForReplies(std::size_t count) {
    test::WaitUntil([&] { return RepliesSoFar().size() >= count || !IsRunning(); });
    return replies_;
}

std::string ProgramUnderTest::RepliesSoFar() {
    replies_ += line_.TakeReplies();
    return replies_;
}

std::string ProgramUnderTest::Log() const {
    return "program output:\n" + test::ReadFile(folder_.file("program.log"));
}

std::unique_ptr<ProgramUnderTest> PrepareProgram(const std::vector<SettingOverride>& overrides,
                                                 std::string& whyNot) {
    try {
        return std::make_unique<ProgramUnderTest>(overrides);
    } catch (const NoPseudoTerminal& error) {
        whyNot = error.what();
        return nullptr;
    }
}

}  // namespace brisolant::e2e
