#pragma once

#include <cstdint>
#include <string>

namespace brisolant {

// Colours of the status light, 0x00BBGGRR.
constexpr std::uint32_t kLightRed = 255;
constexpr std::uint32_t kLightGreen = 65280;
constexpr std::uint32_t kLightYellow = 65535;
// While the port is closed: nothing can arrive, so the light must not say all is well.
constexpr std::uint32_t kLightGrey = 0x808080;

// The element operations of the main window that the program's logic uses. Texts are in the
// program's 8-bit character set; sizes are in twips (1/1440 inch).
class MainWindowView {
  public:
    virtual ~MainWindowView() = default;

    // Status bar panels 1 to 3.
    virtual void SetPanelText(int panel, const std::string& text) = 0;
    virtual void SetPanelMinWidth(int panel, int twips) = 0;

    virtual void SetLightColour(std::uint32_t colour) = 0;

    // lblDataReceived: the raw text received, shown only on request.
    virtual void SetDataReceivedText(const std::string& text) = 0;
    virtual void SetDataReceivedVisible(bool visible) = 0;
    virtual bool DataReceivedVisible() const = 0;

    // lblErrors: the count of discarded scans, as decimal text.
    virtual std::string ErrorsText() const = 0;
    virtual void SetErrorsText(const std::string& text) = 0;

    // txtData at index 0 to 11, and txtCounter.
    virtual void SetDataText(int index, const std::string& text) = 0;
    virtual void SetCounterText(const std::string& text) = 0;

    // mnuData ("&Data").
    virtual void SetDataMenuEnabled(bool enabled) = 0;
    virtual void SetDataMenuChecked(bool checked) = 0;
    virtual bool DataMenuChecked() const = 0;

    // lstData.
    virtual void ClearList() = 0;
    virtual void AppendListLine(const std::string& line) = 0;
    // Adds every line of the file at the end of the list (a line ends at CR or CR LF; a last
    // line without a line end counts). Throws Failure(DataFileRead) when the file cannot be read.
    virtual void AppendListFile(const std::string& path) = 0;
    virtual void SetListVisible(bool visible) = 0;
    virtual int ListWidth() const = 0;
    virtual void SetListGeometry(int top, int width, int height) = 0;

    // The window's outer size, frame, title and menu bar included.
    virtual int OuterWidth() const = 0;
    virtual int OuterHeight() const = 0;
};

// Lets pending window and port events run before going on.
class EventPump {
  public:
    virtual ~EventPump() = default;
    virtual void Yield() = 0;
};

// The modal manual-entry input box: returns the text typed on confirm, "" on cancel or close.
class InputPrompt {
  public:
    virtual ~InputPrompt() = default;
    virtual std::string Ask(const std::string& title, const std::string& prompt) = 0;
};

}  // namespace brisolant
