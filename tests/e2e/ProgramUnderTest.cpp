#include "e2e/ProgramUnderTest.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace brisolant::e2e {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr auto kPollInterval = std::chrono::milliseconds(10);

[[noreturn]] void ThrowNoTerminal(const std::string& what) {
    throw NoPseudoTerminal(what + ": " + std::strerror(errno));
}

// Calls done() every few milliseconds until it holds or the patience runs out.
template <typename Condition>
bool WaitUntil(Condition done, std::chrono::seconds patience = kPatience) {
    const auto deadline = Clock::now() + patience;
    while (!done()) {
        if (Clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(kPollInterval);
    }
    return true;
}

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

// The inherited environment with the settings the program must see in every run: the
// offscreen platform, the C locale (point and "/" ":" separators), no leak report on kill.
std::vector<std::string> ProgramEnvironment() {
    std::vector<std::string> variables;
    bool asanSet = false;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string variable = *entry;
        if (variable.starts_with("QT_QPA_PLATFORM=") || variable.starts_with("LC_ALL=") ||
            variable.starts_with("LANG=") || variable.starts_with("LANGUAGE=")) {
            continue;
        }
        asanSet = asanSet || variable.starts_with("ASAN_OPTIONS=");
        variables.push_back(variable);
    }
    variables.push_back("QT_QPA_PLATFORM=offscreen");
    variables.push_back("LC_ALL=C.UTF-8");
    variables.push_back("LANG=C.UTF-8");
    if (!asanSet) {
        variables.push_back("ASAN_OPTIONS=detect_leaks=0");
    }
    return variables;
}

std::vector<char*> Pointers(std::vector<std::string>& texts) {
    std::vector<char*> pointers;
    for (std::string& text : texts) {
        pointers.push_back(text.data());
    }
    pointers.push_back(nullptr);
    return pointers;
}

}  // namespace

TestLine::TestLine() {
    m_master = posix_openpt(O_RDWR | O_NOCTTY);
    if (m_master < 0) {
        ThrowNoTerminal("no pseudo-terminal");
    }
    const char* name = nullptr;
    if (grantpt(m_master) != 0 || unlockpt(m_master) != 0 ||
        (name = ptsname(m_master)) == nullptr) {
        close(m_master);
        ThrowNoTerminal("cannot unlock the pseudo-terminal");
    }
    m_slavePath = name;
    m_slave = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios settings{};
    if (m_slave < 0 || tcgetattr(m_slave, &settings) != 0) {
        close(m_master);
        ThrowNoTerminal("cannot open " + m_slavePath);
    }
    cfmakeraw(&settings);
    tcsetattr(m_slave, TCSANOW, &settings);
    fcntl(m_master, F_SETFD, FD_CLOEXEC);
    fcntl(m_master, F_SETFL, fcntl(m_master, F_GETFL) | O_NONBLOCK);
}

TestLine::~TestLine() {
    close(m_slave);
    close(m_master);
}

bool TestLine::Write(std::string_view bytes) {
    const auto deadline = Clock::now() + kPatience;
    while (!bytes.empty()) {
        const ssize_t written = write(m_master, bytes.data(), bytes.size());
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
        pollfd line{m_master, POLLOUT, 0};
        poll(&line, 1, 100);
    }
    return true;
}

bool TestLine::WaitUntilTaken() {
    return WaitUntil([this] {
        int unread = 0;
        return ioctl(m_slave, FIONREAD, &unread) == 0 && unread == 0;
    });
}

std::string TestLine::TakeReplies() {
    std::string replies;
    char bytes[256];
    ssize_t count = 0;
    while ((count = read(m_master, bytes, sizeof bytes)) > 0) {
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
    m_executable = m_folder.file("brisolant");
    fs::copy_file(BRISOLANT_EXE, m_executable);
    fs::create_directory(DataFolder());
    test::WriteFile(SettingsFile(), SettingsText(m_line.ProgramEnd(), DataFolder(), overrides));
}

ProgramUnderTest::~ProgramUnderTest() {
    Stop();
}

bool ProgramUnderTest::StartAndWaitForPort() {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    const std::string log = m_folder.file("program.log");
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    std::vector<std::string> arguments = {m_executable};
    std::vector<std::string> environment = ProgramEnvironment();
    const int failure = posix_spawn(&m_pid, m_executable.c_str(), &actions, nullptr,
                                    Pointers(arguments).data(), Pointers(environment).data());
    posix_spawn_file_actions_destroy(&actions);
    if (failure != 0) {
        m_pid = -1;
        test::WriteFile(log, std::string("cannot start: ") + std::strerror(failure));
        return false;
    }
    return WaitUntilPortOpen();
}

bool ProgramUnderTest::WaitUntilPortOpen() {
    bool open = false;
    WaitUntil([&] {
        open = HasOpen(m_pid, m_line.ProgramEnd());
        return open || !IsRunning();
    });
    return open;
}

bool ProgramUnderTest::IsRunning() {
    if (m_pid <= 0) {
        return false;
    }
    int status = 0;
    if (waitpid(m_pid, &status, WNOHANG) == m_pid) {
        m_pid = -1;
        return false;
    }
    return true;
}

void ProgramUnderTest::Stop() {
    if (!IsRunning()) {
        return;
    }
    kill(m_pid, SIGTERM);
    if (!WaitUntil([this] { return !IsRunning(); }, std::chrono::seconds(10))) {
        kill(m_pid, SIGKILL);
        waitpid(m_pid, nullptr, 0);
        m_pid = -1;
    }
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
    WaitUntil([&] { return SplitLines(AllDataText()).size() >= count || !IsRunning(); });
    return SplitLines(AllDataText());
}

std::string ProgramUnderTest::WaitForReplies(std::size_t count) {
    WaitUntil([&] { return RepliesSoFar().size() >= count || !IsRunning(); });
    return m_replies;
}

std::string ProgramUnderTest::RepliesSoFar() {
    m_replies += m_line.TakeReplies();
    return m_replies;
}

std::string ProgramUnderTest::Log() const {
    return "program output:\n" + test::ReadFile(m_folder.file("program.log"));
}

}  // namespace brisolant::e2e
