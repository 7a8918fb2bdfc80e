#include "device/qt/LineSettingsText.h"

#include <cctype>
#include <limits>
#include <vector>

namespace brisolant {
namespace {

std::vector<std::string_view> Items(std::string_view text) {
    std::vector<std::string_view> items;
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = text.find(',', start);
        std::string_view item = text.substr(start, comma - start);
        while (!item.empty() && item.front() == ' ') {
            item.remove_prefix(1);
        }
        while (!item.empty() && item.back() == ' ') {
            item.remove_suffix(1);
        }
        items.push_back(item);
        if (comma == std::string_view::npos) {
            return items;
        }
        start = comma + 1;
    }
}

std::optional<qint32> BaudRate(std::string_view text) {
    if (text.empty() || text.size() > 10) {
        return std::nullopt;
    }
    long long value = 0;
    for (char c : text) {
        if (!std::isdigit(static_cast<unsigned char>(c))) {
            return std::nullopt;
        }
        value = value * 10 + (c - '0');
    }
    if (value <= 0 || value > std::numeric_limits<qint32>::max()) {
        return std::nullopt;
    }
    return static_cast<qint32>(value);
}

std::optional<QSerialPort::Parity> Parity(std::string_view text) {
    if (text.size() != 1) {
        return std::nullopt;
    }
    switch (std::toupper(static_cast<unsigned char>(text[0]))) {
        case 'N':
            return QSerialPort::NoParity;
        case 'E':
            return QSerialPort::EvenParity;
        case 'O':
            return QSerialPort::OddParity;
        case 'M':
            return QSerialPort::MarkParity;
        case 'S':
            return QSerialPort::SpaceParity;
        default:
            return std::nullopt;
    }
}

std::optional<QSerialPort::DataBits> DataBits(std::string_view text) {
    if (text.size() != 1 || text[0] < '5' || text[0] > '8') {
        return std::nullopt;
    }
    return static_cast<QSerialPort::DataBits>(text[0] - '0');
}

std::optional<QSerialPort::StopBits> StopBits(std::string_view text) {
    if (text == "1") {
        return QSerialPort::OneStop;
    }
    if (text == "1.5") {
        return QSerialPort::OneAndHalfStop;
    }
    if (text == "2") {
        return QSerialPort::TwoStop;
    }
    return std::nullopt;
}

char ParityLetter(QSerialPort::Parity parity) {
    switch (parity) {
        case QSerialPort::EvenParity:
            return 'E';
        case QSerialPort::OddParity:
            return 'O';
        case QSerialPort::MarkParity:
            return 'M';
        case QSerialPort::SpaceParity:
            return 'S';
        default:
            return 'N';
    }
}

std::string StopBitsText(QSerialPort::StopBits stopBits) {
    switch (stopBits) {
        case QSerialPort::OneAndHalfStop:
            return "1.5";
        case QSerialPort::TwoStop:
            return "2";
        default:
            return "1";
    }
}

}  // namespace

std::optional<LineSettings> ParseLineSettings(std::string_view text) {
    const std::vector<std::string_view> items = Items(text);
    if (items.size() != 4) {
        return std::nullopt;
    }
    const auto baud = BaudRate(items[0]);
    const auto parity = Parity(items[1]);
    const auto dataBits = DataBits(items[2]);
    const auto stopBits = StopBits(items[3]);
    if (!baud || !parity || !dataBits || !stopBits) {
        return std::nullopt;
    }
    return LineSettings{*baud, *parity, *dataBits, *stopBits};
}

std::string LineSettingsText(const LineSettings& settings) {
    return std::to_string(settings.baudRate) + "," + ParityLetter(settings.parity) + "," +
           std::to_string(static_cast<int>(settings.dataBits)) + "," +
           StopBitsText(settings.stopBits);
}

}  // namespace brisolant
