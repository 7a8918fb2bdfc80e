#pragma once

// The real program driven over a pseudo-terminal that the test holds: a copy of the executable
// in a fresh folder with its settings file beside it, and the station's end of the line.

#include <sys/resource.h>

#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "e2e/ChildProcess.h"
#include "station/PseudoTerminal.h"
#include "support/TestSupport.h"
#include "support/Waiting.h"

namespace brisolant::e2e {

// Thrown where the system gives no pseudo-terminal: the tests skip rather than fail.
class NoPseudoTerminal : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// The station's end of a pseudo-terminal pair in raw mode. The test holds the program's end
// open too, never reading from it, so the line survives the program closing its port.
class TestLine {
  public:
    // Throws NoPseudoTerminal when the system gives none.
    TestLine();
    ~TestLine();
    TestLine(const TestLine&) = delete;
    TestLine& operator=(const TestLine&) = delete;

    const std::string& ProgramEnd() const { return pair_->SlavePath(); }

    // Writes all the bytes; false when the line stays full for the whole patience.
    bool Write(std::string_view bytes);
    // Writes what the line takes at once, without waiting; returns how many bytes it took.
    std::size_t WriteNow(std::string_view bytes);
    // Waits until the program has read everything written so far.
    bool WaitUntilTaken();
    // What the program has sent since the last call, without waiting.
    std::string TakeReplies();
    // Closes both ends the test holds: the program's port loses its far end, as when the
    // station is switched off or its adapter pulled.
    void Close();

  private:
    std::unique_ptr<station::PseudoTerminal> pair_;
};

struct SettingOverride {
    std::string key;
    std::string value;
};

class ProgramUnderTest {
  public:
    // Prepares the folder, the settings file and the line; the program is not started yet.
    // A CommPort override points the program at another line than the test's own.
    explicit ProgramUnderTest(const std::vector<SettingOverride>& overrides = {});
    ProgramUnderTest(const ProgramUnderTest&) = delete;
    ProgramUnderTest& operator=(const ProgramUnderTest&) = delete;

    // Starts the program and waits until it has the line open. False (see Log()) otherwise.
    bool StartAndWaitForPort();
    // Starts the program without waiting for anything (for a program that may never open the
    // line). False (see Log()) when it cannot start.
    bool Start();
    // A command-line argument for the program from the next start on.
    void AddArgument(const std::string& argument) { arguments_.push_back(argument); }
    // A variable ("NAME=value") for the program's environment from the next start on.
    void AddEnvironment(const std::string& variable) { environment_.push_back(variable); }
    // A variable the program's environment lacks from the next start on.
    void RemoveEnvironment(const std::string& name) { removed_.push_back(name + "="); }
    bool IsRunning() { return process_.IsRunning(); }
    pid_t Pid() const { return process_.Pid(); }
    std::optional<int> ExitCode() const { return process_.ExitCode(); }
    // SIGTERM, then SIGKILL when it lingers.
    void Stop() { process_.Stop(); }
    // SIGKILL at once, as a power cut or the OOM killer would end it; the program can be
    // started again afterwards on the same folder and line.
    void Kill() { process_.Kill(); }

    TestLine& Line() { return line_; }
    std::string DataFolder() const { return folder_.folder() + "data/"; }
    std::string Folder() const { return folder_.folder(); }
    std::string SettingsFile() const { return folder_.file("Orvane.ini"); }
    // The data files the program has made, by name.
    std::vector<std::string> DataFileNames() const;
    // Waits until the data files together hold at least count lines; returns the lines of the
    // one data file (without CR LF), or of all of them in name order when there are several.
    std::vector<std::string> WaitForLines(std::size_t count);
    // Waits until the program has sent at least count bytes; returns all it has sent.
    std::string WaitForReplies(std::size_t count);
    // All the program has sent so far, without waiting.
    std::string RepliesSoFar();
    // What the program wrote to stdout and stderr: for failure messages.
    std::string Log() const;

  private:
    std::string AllDataText() const;

    test::TempDir folder_;
    TestLine line_;
    std::string port_;
    std::string executable_;
    std::string replies_;
    std::vector<std::string> arguments_;
    std::vector<std::string> environment_;
    std::vector<std::string> removed_;
    ChildProcess process_;
};

// The program prepared over a fresh line, or nullptr with the reason when the system gives no
// pseudo-terminal: the test then skips (GTEST_SKIP works only in the test's own body).
std::unique_ptr<ProgramUnderTest> PrepareProgram(const std::vector<SettingOverride>& overrides,
                                                 std::string& whyNot);

// Whether the process has the path open, by the links in /proc/<pid>/fd.
bool HasOpen(pid_t pid, const std::string& path);

// Whether the process's main thread sleeps in the kernel waiting for its event loop's files,
// with no wake-up due within 100 ms: what a program with nothing to do is seen doing.
bool WaitsForEvents(pid_t pid);

// The processor time (user and system) the process has used so far, in seconds.
double CpuSeconds(pid_t pid);
// The process's resident memory (VmRSS) in KiB; 0 when it cannot be read.
long ResidentKiB(pid_t pid);
// Sets the largest file the process may write (the soft RLIMIT_FSIZE); RLIM_INFINITY lifts it
// as far as the hard limit allows.
bool SetFileSizeLimit(pid_t pid, rlim_t bytes);

// The settings file the program reads: every key at its default but the port and the data
// folder, then the overrides (a key overridden with an existing name replaces its value).
std::string SettingsText(const std::string& port, const std::string& dataFolder,
                         const std::vector<SettingOverride>& overrides);

// Splits text into the lines ended by CR LF; an unterminated tail is a line of its own.
std::vector<std::string> SplitLines(const std::string& text);

}  // namespace brisolant::e2e
