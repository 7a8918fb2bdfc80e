#pragma once

#include <optional>
#include <string>

#include "common/MainWindowView.h"

namespace brisolant {

// The window as the rest of the program writes to it, with one rule added: while the port is
// closed nothing says all is well. "Status: Waiting Idle" and a port-not-open report show the
// port's failure instead, and the light shows grey. Everything else passes through.
class PortStatusView : public MainWindowView {
  public:
    explicit PortStatusView(MainWindowView& window) : window_(window) {}

    // The status text of the failure that keeps the port closed; nullopt once it is open.
    void SetPortFailure(std::optional<std::string> statusText);
    bool PortClosed() const { return port_failure_.has_value(); }

    void SetPanelText(int panel, const std::string& text) override;
    void SetLightColour(std::uint32_t colour) override;

    void SetPanelMinWidth(int panel, int twips) override { window_.SetPanelMinWidth(panel, twips); }
    void SetDataReceivedText(const std::string& text) override {
        window_.SetDataReceivedText(text);
    }
    void SetDataReceivedVisible(bool visible) override { window_.SetDataReceivedVisible(visible); }
    bool DataReceivedVisible() const override { return window_.DataReceivedVisible(); }
    std::string ErrorsText() const override { return window_.ErrorsText(); }
    void SetErrorsText(const std::string& text) override { window_.SetErrorsText(text); }
    void SetDataText(int index, const std::string& text) override {
        window_.SetDataText(index, text);
    }
    void SetCounterText(const std::string& text) override { window_.SetCounterText(text); }
    void SetDataMenuEnabled(bool enabled) override { window_.SetDataMenuEnabled(enabled); }
    void SetDataMenuChecked(bool checked) override { window_.SetDataMenuChecked(checked); }
    bool DataMenuChecked() const override { return window_.DataMenuChecked(); }
    void ClearList() override { window_.ClearList(); }
    void AppendListLine(const std::string& line) override { window_.AppendListLine(line); }
    void AppendListFile(const std::string& path) override { window_.AppendListFile(path); }
    void SetListVisible(bool visible) override { window_.SetListVisible(visible); }
    int ListWidth() const override { return window_.ListWidth(); }
    void SetListGeometry(int top, int width, int height) override {
        window_.SetListGeometry(top, width, height);
    }
    int OuterWidth() const override { return window_.OuterWidth(); }
    int OuterHeight() const override { return window_.OuterHeight(); }

  private:
    MainWindowView& window_;
    std::optional<std::string> port_failure_;
};

}  // namespace brisolant
