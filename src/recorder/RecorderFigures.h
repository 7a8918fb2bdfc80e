#pragma once

#include <cstddef>
#include <cstdint>

namespace brisolant {

// How a station stands, in the figures the site's monitoring watches.
struct RecorderFigures {
    std::uint64_t recorded = 0;       // records written to their files since the program started
    std::int64_t rejected = 0;        // scans discarded after blocks the line kept rejecting
    std::size_t waiting = 0;          // scans not yet in their files
    bool portOpen = false;            // the station's serial port is open
    int writerTrouble = 0;            // the failure that holds scans back; 0 when none
    bool database = false;            // a site's database is named: the two figures below count
    std::size_t databaseWaiting = 0;  // records kept for the database, not yet committed
    std::uint64_t databaseDelivered = 0;  // records the database committed in this run

    bool operator==(const RecorderFigures&) const = default;
};

}  // namespace brisolant
