#pragma once

#include <ostream>
#include <string>

#include "common/Clock.h"
#include "common/MessagePresenter.h"
#include "device/LineStatusView.h"
#include "headless/LogStyle.h"
#include "headless/ServiceManager.h"
#include "headless/StatusSummary.h"
#include "scan/InputPrompt.h"
#include "scan/ScanDisplay.h"

namespace brisolant {

// What a program without a window shows: one line on the error stream for each record written
// and each change of panel 1, panel 2 and panel 3 that is news, so that a service's log reads as
// the operator's screen would, without a line for every scan that comes in. Each line carries
// the local time, or in the journal its priority (LogStyle). A fault that repeats is summarised
// (StatusSummary); control bytes in a line are shown as "\x1d". Panel 1 also goes to the
// service manager, every change of it.
class ConsoleLog : public ScanDisplay, public LineStatusView, public MessagePresenter {
  public:
    ConsoleLog(std::ostream& out, const Clock& clock, ServiceManager& manager, LogStyle style = {});

    // ScanDisplay: the values, counter and Data menu are for a window.
    void SetDataText(int, const std::string&) override {}
    void SetCounterText(const std::string&) override {}
    void SetFileText(const std::string& text) override;
    void SetDataMenuEnabled(bool) override {}
    void AppendListRecord(const WrittenRecord& record) override;

    // LineStatusView: the light, the raw text and the count are for a window.
    void SetLightColour(std::uint32_t) override {}
    void SetStatusText(const std::string& text) override {
        SetStatus({text, LogPriority::Info, std::nullopt});
    }
    void SetStatus(const PanelStatus& status) override;
    void SetConnectionText(const std::string& text) override;
    void SetDataReceivedText(const std::string&) override {}
    void SetErrorCount(std::int64_t) override {}

    // MessagePresenter: the settings file's messages, each a warning.
    void ShowMessage(const std::string& title, const std::string& text) override;

    // A line of its own, as the others.
    void Write(LogPriority priority, const std::string& text);
    // Writes the summary's lines that time has made due; called every second or so while
    // SummaryPending.
    void Tick();
    bool SummaryPending() const { return summary_.Pending(); }
    // Writes the counts the summary has not told yet, before the program's last line.
    void Flush();

  private:
    void WriteWhenNew(std::string& shown, const std::string& text);
    void WriteAll(const std::vector<StatusSummary::Line>& lines);

    std::ostream& out_;
    LogStyle style_;
    const Clock& clock_;
    ServiceManager& manager_;
    std::string status_;         // panel 1 as it stands
    std::string managerStatus_;  // as the service manager was last told
    StatusSummary summary_;
    std::string file_;
    std::string connection_;
};

// Without a window nobody answers a prompt; the program refuses to start with one set.
class NoPrompt : public InputPrompt {
  public:
    std::string Ask(const std::string&, const std::string&) override { return {}; }
};

// The program's 8-bit text as the terminal and the system log read it.
std::string Utf8FromLatin1(const std::string& text);

}  // namespace brisolant
