#pragma once

#include <optional>
#include <string>

#include "scan/FixedText.h"

namespace brisolant {

// The fields of one processed scan. Made afresh for every scan: every text blank, every number 0.
struct ScanRecord {
    FixedText RecordDate{10};
    FixedText RecordTime{8};
    FixedText DeviceNumber{5};
    FixedText Length{12};
    FixedText Width{12};
    FixedText Height{12};
    FixedText GrossWeight{12};
    FixedText DimWeight{12};
    FixedText DimFactor{12};
    FixedText Barcode{35};
    FixedText ManualEntry{50};
    double LengthValue = 0;
    double WidthValue = 0;
    double HeightValue = 0;
    double WeightValue = 0;
    // The unit each of the four numbers above is in, as the conversion read it or converted it
    // to ("in", "cm", "mm"; "lb", "kg", "g"); empty while the number was not read, whatever 0
    // the texts then show.
    std::string LengthUnit;
    std::string WidthUnit;
    std::string HeightUnit;
    std::string WeightUnit;
    // The dimensional weight and factor as the conversion read or computed them (the weight
    // to the two places its text shows); none where the text holds no number.
    std::optional<double> DimWeightValue;
    std::optional<double> DimFactorValue;
};

}  // namespace brisolant
