#include "ScanTexts.h"

#include <cmath>
#include <cstdio>

namespace brisolant::station {
namespace {

// A constant, not a std::string, so the tests may build their texts during static start-up.
constexpr char kLineEnd[] = "\r\n";

// Labels and values line up in one column, as the station prints them; the barcode line
// alone keeps a single space after its label.
std::string Line(const std::string& label, const std::string& value) {
    constexpr std::size_t kValueColumn = 20;
    std::string line = "     " + label;
    line.append(label.size() < kValueColumn ? kValueColumn - label.size() : 1, ' ');
    return line + value + kLineEnd;
}

std::string Fixed(double value, int decimals) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

// The dimensional weight is worked out from the values as printed.
double Rounded(double value, double steps) {
    return std::round(value * steps) / steps;
}

}  // namespace

std::string ScanText(const Parcel& parcel) {
    return std::string("     --------------------------") + kLineEnd +
           Line("Device Number:", parcel.deviceNumber) + Line("Length:", parcel.length) +
           Line("Width:", parcel.width) + Line("Height:", parcel.height) +
           Line("Gross Weight:", parcel.grossWeight) +
           Line("Dimensional Weight:", parcel.dimWeight) +
           Line("Dimensional Factor:", parcel.dimFactor) + "     Barcode: " + parcel.barcode +
           kLineEnd + kLineEnd;
}

Parcel SampleParcel(const std::string& barcode) {
    return {"1", "11.0 in", "22.8 in", "13.6 in", "12.44 lb", "26.31", "110.7", barcode};
}

std::string SampleScanText() {
    return ScanText(SampleParcel("1234567890"));
}

Parcel MetricParcel(const std::string& barcode) {
    return {"1", "27.9 cm", "57.9 cm", "34.5 cm", "5.64 kg", "11.15", "5000", barcode};
}

std::string ParcelBarcode(long long number) {
    char text[32];
    std::snprintf(text, sizeof text, "PCL%09lld", number);
    return text;
}

std::string Block(const std::string& scanText) {
    return std::string(1, kStx) + scanText;
}

std::string ShortBlock(const std::string& block) {
    // With the terminator 34 characters: under the 50 of a scan even behind a burst of noise,
    // which counts toward the length.
    constexpr std::size_t kKept = 30;
    static_assert(kKept + 4 + kMaxNoise < 50);
    return block.substr(0, kKept) + kLineEnd + kLineEnd;
}

std::string ParcelGenerator::NextBarcode() {
    return ParcelBarcode(++serial_);
}

Parcel ParcelGenerator::NextRandom() {
    const bool metric = random_() % 4 == 0;
    Parcel parcel;
    const double length = Rounded(metric ? Uniform(10, 120) : Uniform(4, 48), 10);
    const double width = Rounded(metric ? Uniform(10, 80) : Uniform(3, 32), 10);
    const double height = Rounded(metric ? Uniform(5, 60) : Uniform(2, 24), 10);
    const double weight = Rounded(metric ? Uniform(0.1, 30) : Uniform(0.2, 70), 100);
    const double factor = metric ? 5000 : 139;
    const char* lengthUnit = metric ? " cm" : " in";
    parcel.length = Fixed(length, 1) + lengthUnit;
    parcel.width = Fixed(width, 1) + lengthUnit;
    parcel.height = Fixed(height, 1) + lengthUnit;
    parcel.grossWeight = Fixed(weight, 2) + (metric ? " kg" : " lb");
    parcel.dimWeight = Fixed(length * width * height / factor, 2);
    parcel.dimFactor = Fixed(factor, 0);
    parcel.barcode = NextBarcode();
    return parcel;
}

std::string ParcelGenerator::Noise() {
    std::string noise(1 + random_() % kMaxNoise, '\0');
    for (char& byte : noise) {
        do {
            byte = static_cast<char>(random_() % 256);
        } while (byte == kStx || byte == '\r' || byte == '\n');
    }
    return noise;
}

std::string ParcelGenerator::PowerUpNoise() {
    // A glitch on an idle line reads as a start bit followed by ones, or as a break.
    static constexpr unsigned char kGlitches[] = {0x00, 0x80, 0xc0, 0xe0, 0xf0,
                                                  0xf8, 0xfc, 0xfe, 0xff};
    std::string noise(1 + random_() % kMaxNoise, '\0');
    for (char& byte : noise) {
        byte = static_cast<char>(kGlitches[random_() % sizeof kGlitches]);
    }
    noise.insert(random_() % (noise.size() + 1), 1, kStx);
    return noise + kLineEnd;
}

double ParcelGenerator::Uniform(double low, double high) {
    return std::uniform_real_distribution<double>(low, high)(random_);
}

}  // namespace brisolant::station
