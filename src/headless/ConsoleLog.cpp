#include "headless/ConsoleLog.h"

#include <cstdio>
#include <utility>

#include "common/EscapedControls.h"
#include "store/WriterNews.h"

namespace brisolant {

namespace {

std::string TimeText(const LocalDateTime& time) {
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", time.year, time.month,
                  time.day, time.hour, time.minute, time.second);
    return text;
}

// A record line without its line end and the blanks that fill its last field.
std::string Trimmed(std::string line) {
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r' || line.back() == ' ')) {
        line.pop_back();
    }
    return line;
}

}  // namespace

ConsoleLog::ConsoleLog(std::ostream& out, const Clock& clock, ServiceManager& manager,
                       LogStyle style)
    : out_(out), style_(style), clock_(clock), manager_(manager) {}

// The journal stamps each line with its own time. The line is put together first and handed
// to the stream whole: standard error is unbuffered, so each piece would be a write of its own,
// and another thread's message could land between them.
void ConsoleLog::Write(LogPriority priority, const std::string& text) {
    std::string line = style_.journal ? style_.Prefix(priority) : TimeText(clock_.Now()) + ' ';
    line += Utf8FromLatin1(EscapedControls(text));
    line += '\n';
    out_.write(line.data(), static_cast<std::streamsize>(line.size()));
    out_.flush();
}

void ConsoleLog::WriteWhenNew(std::string& shown, const std::string& text) {
    if (text != shown) {
        shown = text;
        Write(LogPriority::Info, text);
    }
}

void ConsoleLog::SetFileText(const std::string& text) {
    WriteWhenNew(file_, text);
}

void ConsoleLog::SetConnectionText(const std::string& text) {
    WriteWhenNew(connection_, text);
}

// "Receiving Data" shows for every scan and is gone a moment later: it is no news. A fault
// shown again is the fault once more (the next block of a junk flood, in the same read or the
// next), which the summary counts.
void ConsoleLog::SetStatus(const PanelStatus& status) {
    const std::string previous = std::exchange(status_, status.text);
    if (status.text == kReceivingStatusText) {
        return;
    }
    if (status.priority != LogPriority::Info || status.text != previous) {
        WriteAll(summary_.Show(status, clock_.Steady()));
    }
    if (status.text != managerStatus_) {
        managerStatus_ = status.text;
        manager_.Status(Utf8FromLatin1(EscapedControls(status.text)));
    }
}

void ConsoleLog::Tick() {
    WriteAll(summary_.Tick(clock_.Steady()));
}

void ConsoleLog::Flush() {
    WriteAll(summary_.Flush());
}

void ConsoleLog::WriteAll(const std::vector<StatusSummary::Line>& lines) {
    for (const StatusSummary::Line& line : lines) {
        Write(line.priority, line.text);
    }
}

void ConsoleLog::AppendListRecord(const WrittenRecord& record) {
    Write(LogPriority::Info, "Recorded: " + Trimmed(record.line));
}

void ConsoleLog::ShowMessage(const std::string& title, const std::string& text) {
    Write(LogPriority::Warning, title + ": " + text);
}

std::string Utf8FromLatin1(const std::string& text) {
    std::string utf8;
    utf8.reserve(text.size());
    for (const char byte : text) {
        const auto code = static_cast<unsigned char>(byte);
        if (code < 0x80) {
            utf8 += byte;
        } else {
            utf8 += static_cast<char>(0xC0 | (code >> 6));
            utf8 += static_cast<char>(0x80 | (code & 0x3F));
        }
    }
    return utf8;
}

}  // namespace brisolant
