#include "recorder/WaitingScansMessage.h"

namespace brisolant {

std::string WaitingScansMessage(const StopOutcome& outcome) {
    const std::size_t waiting = outcome.unwritten;
    if (outcome.writerHung) {
        return "The writer did not answer (stuck on the journal's disk): " +
               std::to_string(waiting) + (waiting == 1 ? " scan was" : " scans were") +
               " not in the data file yet; the journal holds those it had kept, which are "
               "written when the program starts again.";
    }
    if (waiting == 0) {
        return {};
    }
    std::string text =
        std::to_string(waiting) + (waiting == 1 ? " scan is not in the data file yet. "
                                                : " scans are not in the data file yet. ");
    if (outcome.unkept == 0) {
        return text + (waiting == 1
                           ? "It is kept and will be written when the program starts again."
                           : "They are kept and will be written when the program starts again.");
    }
    return text + std::to_string(outcome.unkept) + " of them could not be kept in the journal " +
           (outcome.unkept == 1 ? "and is lost." : "and are lost.");
}

}  // namespace brisolant
