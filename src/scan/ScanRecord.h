#pragma once

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
};

}  // namespace brisolant
