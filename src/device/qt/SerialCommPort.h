#pragma once

#include <QObject>
#include <QSerialPort>
#include <QTimer>
#include <functional>
#include <optional>
#include <string>

#include "common/Failure.h"
#include "device/CommPort.h"
#include "device/qt/LinuxSerialLine.h"
#include "device/qt/ParityMarkDecoder.h"

namespace brisolant {

// The serial port over Qt Serial Port. Each event runs the event handler once, with
// CommEvent() holding its code. A port that vanishes (an unplugged adapter, the far end of a
// pseudo-terminal closed) is closed at once and reported once to the failure handler. One
// program reads a device, whatever name it is opened by; a link to a pseudo-terminal that is
// older than the terminal is not followed.
class SerialCommPort : public QObject, public CommPort {
    Q_OBJECT

  public:
    explicit SerialCommPort(QObject* parent = nullptr);
    ~SerialCommPort() override;

    void SetEventHandler(std::function<void()> handler) { on_event_ = std::move(handler); }
    void SetFailureHandler(std::function<void(const Failure&)> handler) {
        on_failure_ = std::move(handler);
    }

    [[nodiscard]] std::int16_t CommEvent() const override { return event_; }
    [[nodiscard]] std::string Input() override;
    void Output(std::string_view text) override;
    void DiscardInput() override;
    [[nodiscard]] bool PortOpen() const override { return port_.isOpen(); }
    void SetPortOpen(bool open) override;
    void SetCommPort(const std::string& device) override { device_ = device; }
    void SetSettings(const std::string& lineSettings) override;
    [[nodiscard]] std::string Settings() const override;

    // Runs the event handler once more on what the device holds now and what Qt has read but
    // not yet handed on, so that nothing received is dropped when the port closes.
    void TakeRemainingInput();

    [[nodiscard]] const std::string& Device() const { return device_; }
    // Bytes the port has received and the handler not yet read.
    [[nodiscard]] qint64 BytesWaiting() const {
        return port_.isOpen() ? port_.bytesAvailable() : 0;
    }

  private:
    void Open();
    void RefuseIfLocked() const;
    void Close();
    void ApplySettings();
    void RequireOpen() const;
    void OnReadyRead();
    void OnError(QSerialPort::SerialPortError error);
    void CheckLineEvents();
    void Deliver(std::int16_t code);
    void DeliverPendingInputLater();

    QSerialPort port_;
    std::string device_;
    std::string settings_ = "9600,N,8,1";
    std::int16_t event_ = 0;
    std::function<void()> on_event_;
    std::function<void(const Failure&)> on_failure_;
    bool marking_parity_ = false;
    ParityMarkDecoder decoder_;
    std::optional<LinuxSerialLine::Counters> counters_;
    QTimer line_watch_;
    bool receive_posted_ = false;
};

}  // namespace brisolant
