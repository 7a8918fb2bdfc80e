#pragma once

#include <QSerialPort>
#include <optional>
#include <string>
#include <string_view>

namespace brisolant {

// The line settings of a serial port in the form "9600,N,8,1": baud rate (any positive whole
// number), parity letter (N, E, O, M or S in either case), data bits (5 to 8) and stop bits
// (1, 1.5 or 2).
struct LineSettings {
    qint32 baudRate = 9600;
    QSerialPort::Parity parity = QSerialPort::NoParity;
    QSerialPort::DataBits dataBits = QSerialPort::Data8;
    QSerialPort::StopBits stopBits = QSerialPort::OneStop;
};

// Nothing when the text is not of that form.
[[nodiscard]] std::optional<LineSettings> ParseLineSettings(std::string_view text);

// The settings in that form, the parity letter in capitals.
[[nodiscard]] std::string LineSettingsText(const LineSettings& settings);

}  // namespace brisolant
