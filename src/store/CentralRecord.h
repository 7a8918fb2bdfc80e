#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace brisolant {

// One scan as the site's database holds it: a row of scan_records. Numbers are decimal texts
// with a point ("12.5"), empty where the scan had none; the database stores them as numbers.
struct CentralRecord {
    std::string station;
    std::uint64_t seq = 0;  // given when the record is first kept, never again
    std::string arrivedAt;  // "2026-12-10 19:15:00+01:00": local time with its offset from UTC
    std::string device;
    std::string length;
    std::string width;
    std::string height;
    std::string grossWeight;
    std::string dimWeight;
    std::string dimFactor;
    std::string lengthUnit;
    std::string weightUnit;
    std::string barcode;
    std::string operatorText;
    std::string line;  // the record line as the data file holds it, without CR LF

    bool operator==(const CentralRecord&) const = default;
};

// The record's texts besides its line, in the order the station's files keep them.
inline constexpr std::array<std::string CentralRecord::*, 13> kCentralValueFields{
    &CentralRecord::station,      &CentralRecord::arrivedAt,  &CentralRecord::device,
    &CentralRecord::length,       &CentralRecord::width,      &CentralRecord::height,
    &CentralRecord::grossWeight,  &CentralRecord::dimWeight,  &CentralRecord::dimFactor,
    &CentralRecord::lengthUnit,   &CentralRecord::weightUnit, &CentralRecord::barcode,
    &CentralRecord::operatorText,
};

}  // namespace brisolant
