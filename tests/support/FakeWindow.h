#pragma once

// A main window, port, event pump and input box that record what the logic does to them.

#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "common/Failure.h"
#include "device/CommPort.h"
#include "device/LineStatus.h"
#include "device/LineStatusView.h"
#include "device/PortWatch.h"
#include "scan/InputPrompt.h"
#include "scan/ScanDisplay.h"
#include "window/MainWindowView.h"

namespace brisolant::test {

class FakeView : public ScanDisplay, public LineStatusView, public MainWindowView {
  public:
    // ScanDisplay.
    void SetDataText(int index, const std::string& text) override { data[index] = text; }
    void SetCounterText(const std::string& text) override { counter = text; }
    void SetFileText(const std::string& text) override { SetPanelText(2, text); }
    void SetDataMenuEnabled(bool enabled) override { dataMenuEnabled = enabled; }
    // Like the real list: shown only while the view is on, and not when its file holds it;
    // while its file is read, held until its lines come.
    void AppendListRecord(const WrittenRecord& record) override;

    // LineStatusView.
    void SetLightColour(std::uint32_t colour) override { light = colour; }
    void SetStatusText(const std::string& text) override { SetPanelText(1, text); }
    void SetConnectionText(const std::string& text) override { SetPanelText(3, text); }
    void SetDataReceivedText(const std::string& text) override { dataReceived = text; }
    void SetErrorCount(std::int64_t count) override { errors = std::to_string(count); }

    // MainWindowView.
    void SetPanelMinWidth(int panel, int twips) override { panelMinWidth[panel] = twips; }
    void SetDataReceivedVisible(bool visible) override { dataReceivedVisible = visible; }
    bool DataReceivedVisible() const override { return dataReceivedVisible; }
    void SetDataMenuChecked(bool checked) override { dataMenuChecked = checked; }
    bool DataMenuChecked() const override { return dataMenuChecked; }
    void ClearList() override {
        list.clear();
        listFile.clear();
        listReading = false;
        heldRecords.clear();
    }
    void ShowListReading() override { listReading = true; }
    void ShowListLines(DataFileLines lines) override;
    void SetListVisible(bool visible) override { listVisible = visible; }
    int ListWidth() const override { return listWidth; }
    void SetListGeometry(int top, int width, int height) override {
        listTop = top;
        listWidth = width;
        listHeight = height;
    }
    int OuterWidth() const override { return outerWidth; }
    int OuterHeight() const override { return outerHeight; }

    void SetPanelText(int panel, const std::string& text) {
        panels[panel] = text;
        panelHistory.push_back(text);
    }

    std::map<int, std::string> panels;
    std::vector<std::string> panelHistory;
    std::map<int, int> panelMinWidth;
    std::uint32_t light = 0;
    std::string dataReceived;
    bool dataReceivedVisible = false;
    std::string errors = "0";
    std::map<int, std::string> data;
    std::string counter;
    bool dataMenuEnabled = true;
    bool dataMenuChecked = false;
    std::vector<std::string> list;
    std::string listFile;             // the file the list shows
    std::uint64_t listFileBytes = 0;  // how much of it
    bool listReading = false;         // says "Reading…", waiting for its file's lines
    std::vector<WrittenRecord> heldRecords;
    bool listVisible = false;
    int listTop = 50, listWidth = 9465, listHeight = 255;
    int outerWidth = 9690, outerHeight = 6795;
};

// A serial port fed by the test. Reads and writes are recorded; any operation can be made to
// fail by setting failNext to the operation's name ("Input", "Output", "DiscardInput", "Open").
class FakePort : public CommPort {
  public:
    std::int16_t CommEvent() const override { return event; }
    std::string Input() override;
    void Output(std::string_view text) override;
    void DiscardInput() override;
    bool PortOpen() const override { return open; }
    void SetPortOpen(bool value) override;
    void SetCommPort(const std::string& path) override { device = path; }
    void SetSettings(const std::string& text) override { settings = text; }
    std::string Settings() const override { return settings; }

    // Queues characters as the station would send them, as one receive event.
    void Arrive(const std::string& text) {
        pending += text;
        event = kEventReceive;
    }

    std::int16_t event = 0;
    std::string pending;
    std::string sent;
    int discards = 0;
    int opens = 0;
    int closes = 0;
    bool open = false;
    bool refuseOpen = false;
    FailureCode refusal = FailureCode::PortOpenFailed;  // what a refused open throws
    std::string failNext;
    std::string device;
    std::string settings;
};

// The watch for a closed port's device: records whether it runs and on what; the test fires
// it by calling the logic itself.
class FakeWatch : public PortWatch {
  public:
    void Start(const std::string& path) override {
        running = true;
        device = path;
        ++starts;
    }
    void Stop() override { running = false; }
    bool running = false;
    int starts = 0;
    std::string device;
};

// The event pump: runs whatever the test queued to happen "during" the yield.
class FakePump : public EventPump {
  public:
    void Yield() override {
        ++yields;
        if (!during.empty()) {
            auto next = std::move(during.front());
            during.pop_front();
            next();
        }
    }
    std::deque<std::function<void()>> during;
    int yields = 0;
};

class FakePrompt : public InputPrompt {
  public:
    std::string Ask(const std::string& title, const std::string& prompt) override {
        asked.push_back(title + "|" + prompt);
        if (whileOpen) {
            whileOpen();
        }
        return answer;
    }
    std::string answer;
    std::vector<std::string> asked;
    std::function<void()> whileOpen;
};

}  // namespace brisolant::test
