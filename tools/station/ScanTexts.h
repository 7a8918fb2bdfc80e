#pragma once

// The texts a dimensioning station sends: scans, cut-short blocks and line noise.

#include <cstddef>
#include <random>
#include <string>

namespace brisolant::station {

inline constexpr char kStx = 2;
inline constexpr char kAck = 6;
inline constexpr char kNak = 21;
inline constexpr std::size_t kMaxNoise = 12;

struct Parcel {
    std::string deviceNumber = "1";
    std::string length;  // with unit word: "11.0 in", "27.9 cm"
    std::string width;
    std::string height;
    std::string grossWeight;  // "12.44 lb", "5.64 kg"
    std::string dimWeight;
    std::string dimFactor;
    std::string barcode;
};

// The nine labelled lines, each ended by CR LF, and one more CR LF. No STX.
std::string ScanText(const Parcel& parcel);

// The parcel of the built-in test scan (11.0 x 22.8 x 13.6 in, 12.44 lb), under any barcode.
Parcel SampleParcel(const std::string& barcode);

// The built-in test scan: 290 characters, barcode 1234567890.
std::string SampleScanText();

// The metric example parcel (27.9 x 57.9 x 34.5 cm, 5.64 kg, factor 5000).
Parcel MetricParcel(const std::string& barcode);

// "PCL" and the number in nine digits, as the station numbers its parcels.
std::string ParcelBarcode(long long number);

// STX followed by the scan text.
std::string Block(const std::string& scanText);

// The start of a block, cut so that with the terminator it stays under 50 characters.
std::string ShortBlock(const std::string& block);

// Random parcels, a quarter of them metric, with barcodes PCL000000001, PCL000000002, ...
class ParcelGenerator {
  public:
    explicit ParcelGenerator(unsigned seed) : random_(seed) {}
    std::string NextBarcode();
    Parcel NextRandom();
    // At most kMaxNoise bytes that can never start or end a block: no STX, CR or LF.
    std::string Noise();
    // What a line carries while a device powers up: a few bytes of glitches (0x00, 0xFF and
    // the like, no text), a stray STX among them, then a stray CR LF.
    std::string PowerUpNoise();

  private:
    double Uniform(double low, double high);

    std::mt19937 random_;
    long long serial_ = 0;
};

}  // namespace brisolant::station
