#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace brisolant {

// Event codes the port reports (read through CommPort::CommEvent).
enum CommEventCode : std::int16_t {
    kEventSend = 1,
    kEventReceive = 2,
    kEventCts = 3,
    kEventDsr = 4,
    kEventCd = 5,
    kEventRing = 6,
    kEventEof = 7,
    kEventBreak = 1001,
    kEventCtsTimeout = 1002,
    kEventDsrTimeout = 1003,
    kEventFrame = 1004,
    kEventOverrun = 1006,
    kEventCdTimeout = 1007,
    kEventRxOverflow = 1008,
    kEventRxParity = 1009,
    kEventTxFull = 1010,
    kEventDcb = 1011,
};

// The serial port as the device link sees it. Text crosses one character per byte. Every
// operation may throw Failure (for example when the port is not open). What an operation returns
// must be looked at: input read and dropped unseen is a scan lost.
class CommPort {
  public:
    virtual ~CommPort() = default;

    // The code of the most recent event; it keeps its value until the next event.
    [[nodiscard]] virtual std::int16_t CommEvent() const = 0;
    // Removes and returns all received characters not yet read ("" when there are none).
    [[nodiscard]] virtual std::string Input() = 0;
    // Sends the text on the line.
    virtual void Output(std::string_view text) = 0;
    // Discards all received characters not yet read.
    virtual void DiscardInput() = 0;

    [[nodiscard]] virtual bool PortOpen() const = 0;
    // Opens with the current device and line settings, or closes.
    virtual void SetPortOpen(bool open) = 0;
    // The device to open, a path such as "/dev/ttyS0"; set while the port is closed.
    virtual void SetCommPort(const std::string& device) = 0;
    // The line settings "9600,N,8,1"; read back as the open port reports them.
    virtual void SetSettings(const std::string& lineSettings) = 0;
    [[nodiscard]] virtual std::string Settings() const = 0;
};

}  // namespace brisolant
