#include "device/qt/SerialCommPort.h"

#include <sys/stat.h>

#include "device/qt/DeviceLock.h"
#include "device/qt/LineSettingsText.h"
#include "device/qt/PortFailure.h"
#include "device/qt/PortLoss.h"
#include "device/qt/TerminalLink.h"

namespace brisolant {
namespace {
// How often modem-line changes are looked for on a device that counts them.
constexpr int kLineWatchMs = 200;
// Qt reads the device into a buffer of its own even while no handler takes the input (the
// manual-entry prompt is open inside one). Bounded, it stops reading when full and leaves the
// rest to the device, instead of growing for as long as the prompt stays open.
constexpr qint64 kReadBufferBytes = 1024 * 1024;
}  // namespace

SerialCommPort::SerialCommPort(QObject* parent) : QObject(parent) {
    port_.setReadBufferSize(kReadBufferBytes);
    connect(&port_, &QSerialPort::readyRead, this, &SerialCommPort::OnReadyRead);
    connect(&port_, &QSerialPort::errorOccurred, this, &SerialCommPort::OnError);
    line_watch_.setInterval(kLineWatchMs);
    connect(&line_watch_, &QTimer::timeout, this, &SerialCommPort::CheckLineEvents);
}

SerialCommPort::~SerialCommPort() {
    Close();
}

std::string SerialCommPort::Input() {
    RequireOpen();
    const QByteArray raw = port_.readAll();
    const std::string_view bytes(raw.constData(), static_cast<std::size_t>(raw.size()));
    return marking_parity_ ? decoder_.Decode(bytes) : std::string(bytes);
}

void SerialCommPort::Output(std::string_view text) {
    RequireOpen();
    const auto size = static_cast<qint64>(text.size());
    if (port_.write(text.data(), size) != size) {
        throw Failure(FailureCode::PortWriteFailed,
                      device_ + ": " + port_.errorString().toStdString());
    }
    // The station waits for the answer: send it now rather than at the next turn of the loop.
    port_.flush();
}

void SerialCommPort::TakeRemainingInput() {
    if (!port_.isOpen()) {
        return;
    }
    // Reads what the device holds into Qt's buffer; its readyRead may run the handler already.
    port_.waitForReadyRead(0);
    if (port_.isOpen() && port_.bytesAvailable() > 0) {
        Deliver(kEventReceive);
    }
}

void SerialCommPort::DiscardInput() {
    RequireOpen();
    port_.clear(QSerialPort::Input);
    port_.readAll();
    decoder_.Reset();
}

void SerialCommPort::SetPortOpen(bool open) {
    if (open && !port_.isOpen()) {
        Open();
    } else if (!open) {
        Close();
    }
}

void SerialCommPort::SetSettings(const std::string& lineSettings) {
    settings_ = lineSettings;
    if (port_.isOpen()) {
        ApplySettings();
    }
}

std::string SerialCommPort::Settings() const {
    if (!port_.isOpen()) {
        return settings_;
    }
    LineSettings current;
    current.baudRate = port_.baudRate();
    current.parity = port_.parity();
    current.dataBits = port_.dataBits();
    current.stopBits = port_.stopBits();
    return LineSettingsText(current);
}

void SerialCommPort::Open() {
    if (!ParseLineSettings(settings_)) {
        throw Failure(FailureCode::PortBadSettings, settings_);
    }
    // Both checks come before Qt's open, which sets the terminal raw at once: neither a stranger's
    // terminal nor another program's port is touched.
    const std::optional<dev_t> linkedTerminal = CheckTerminalLink(device_);
    RefuseIfLocked();
    port_.setPortName(QString::fromLocal8Bit(device_.c_str()));
    if (!port_.open(QIODevice::ReadWrite)) {
        throw OpenFailure(
            device_, ExplainRefusal(device_, port_.portName(), port_.error(), port_.errorString()));
    }
    try {
        const int fd = static_cast<int>(port_.handle());
        if (linkedTerminal) {
            ConfirmLinkedTerminal(device_, fd, *linkedTerminal);
        }
        // The check above saw the lock free; the lock itself settles a race with another program.
        if (!LockDevice(fd)) {
            RefuseIfLocked();
            throw Failure(FailureCode::PortInUse, device_ + ", held by " + DeviceHolderText(0));
        }
        ApplySettings();
    } catch (const Failure&) {
        Close();
        throw;
    }
    counters_ = LinuxSerialLine::ReadCounters(static_cast<int>(port_.handle()));
    if (counters_) {
        line_watch_.start();
    }
}

// Another program (or another port of this one) reads the device, by this name or another.
void SerialCommPort::RefuseIfLocked() const {
    struct stat node {};
    if (::stat(device_.c_str(), &node) != 0) {
        return;
    }
    if (const std::optional<pid_t> holder = DeviceLockHolder(node)) {
        throw Failure(FailureCode::PortInUse, device_ + ", held by " + DeviceHolderText(*holder));
    }
}

void SerialCommPort::Close() {
    line_watch_.stop();
    counters_.reset();
    decoder_.Reset();
    if (port_.isOpen()) {
        port_.close();
    }
}

void SerialCommPort::ApplySettings() {
    const std::optional<LineSettings> line = ParseLineSettings(settings_);
    if (!line) {
        throw Failure(FailureCode::PortBadSettings, settings_);
    }
    // Some devices take only part of what the text asks for (a pseudo-terminal has no parity
    // and only 8 data bits); the operator is told which part.
    const auto require = [this](bool taken, const char* item) {
        if (!taken) {
            throw Failure(FailureCode::PortBadSettings,
                          settings_ + ": " + device_ + " does not take the " + item);
        }
    };
    require(port_.setBaudRate(line->baudRate), "baud rate");
    require(port_.setParity(line->parity), "parity");
    require(port_.setDataBits(line->dataBits), "data bits");
    require(port_.setStopBits(line->stopBits), "stop bits");
    // Qt drops bytes with a parity error; the operator should see a "?" in their place.
    marking_parity_ = line->parity != QSerialPort::NoParity &&
                      LinuxSerialLine::EnableParityMarking(static_cast<int>(port_.handle()));
    decoder_.Reset();
}

void SerialCommPort::RequireOpen() const {
    if (!port_.isOpen()) {
        throw Failure(FailureCode::PortNotOpen, device_);
    }
}

void SerialCommPort::OnReadyRead() {
    Deliver(kEventReceive);
    CheckLineEvents();
}

void SerialCommPort::OnError(QSerialPort::SerialPortError error) {
    if ((error != QSerialPort::ReadError && error != QSerialPort::ResourceError) ||
        !port_.isOpen()) {
        return;
    }
    // Qt reports every read that returns no bytes as an error, and a device that is well gives
    // one when another reader took the bytes first, or on a spurious wake-up: only a device that
    // is really gone closes the port. After a ResourceError Qt stops reading the port; setting
    // the buffer size starts it again.
    if (!DeviceGone(device_, static_cast<int>(port_.handle()))) {
        port_.clearError();
        port_.setReadBufferSize(kReadBufferBytes);
        return;
    }
    // A closed pseudo-terminal reports ReadError endlessly, an unplugged adapter ResourceError:
    // the port must be closed before the loop spins. The system's text says nothing useful
    // here: a closed pseudo-terminal gives "No such file or directory", which reads as a missing
    // file, or the error of an unrelated control call.
    const Failure failure(FailureCode::PortVanished, device_);
    Close();
    if (on_failure_) {
        on_failure_(failure);
    }
}

void SerialCommPort::CheckLineEvents() {
    if (!counters_ || !port_.isOpen()) {
        return;
    }
    const auto now = LinuxSerialLine::ReadCounters(static_cast<int>(port_.handle()));
    if (!now) {
        return;
    }
    const auto events = LinuxSerialLine::EventsBetween(*counters_, *now);
    counters_ = now;
    for (std::int16_t code : events) {
        Deliver(code);
    }
}

void SerialCommPort::Deliver(std::int16_t code) {
    event_ = code;
    if (on_event_) {
        on_event_();
    }
    DeliverPendingInputLater();
}

// Qt raises no new readyRead while a slot of that signal runs, nested event loops included,
// so bytes that came in during a handler run would wait for the next scan. They get an
// event of their own once the run is over.
void SerialCommPort::DeliverPendingInputLater() {
    if (receive_posted_ || !port_.isOpen() || port_.bytesAvailable() == 0) {
        return;
    }
    receive_posted_ = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            receive_posted_ = false;
            if (port_.isOpen() && port_.bytesAvailable() > 0) {
                Deliver(kEventReceive);
            }
        },
        Qt::QueuedConnection);
}

}  // namespace brisolant
