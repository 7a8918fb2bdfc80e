#include "device/LineEventText.h"

#include "device/CommPort.h"

namespace brisolant {

std::string_view LineEventText(int code) {
    switch (code) {
        case kEventCts:
            return "Change in CTS Detected";
        case kEventDsr:
            return "Change in DSR Detected";
        case kEventCd:
            return "Change in CD Detected";
        case kEventRing:
            return "The Phone is Ringing";
        case kEventEof:
            return "End of File Detected";
        case kEventBreak:
            return "Break Received";
        case kEventCtsTimeout:
            return "CTS Timeout";
        case kEventDsrTimeout:
            return "DSR Timeout";
        case kEventFrame:
            return "Framing Error";
        case kEventOverrun:
            return "Overrun Error";
        case kEventCdTimeout:
            return "Carrier Detect Timeout";
        case kEventRxOverflow:
            return "Receive Buffer Overflow";
        case kEventRxParity:
            return "Parity Error";
        case kEventTxFull:
            return "Transmit Buffer Full";
        case kEventDcb:
            return "Error retrieving DCB";
        default:
            return "Unknown error or event";
    }
}

LogPriority LineEventPriority(int code) {
    switch (code) {
        case kEventCts:
        case kEventDsr:
        case kEventCd:
        case kEventRing:
        case kEventEof:
            return LogPriority::Info;
        default:
            return LogPriority::Warning;
    }
}

}  // namespace brisolant
