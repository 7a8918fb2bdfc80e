#include "store/pg/ConnectionHint.h"

namespace brisolant {

std::string WithConnectionHint(std::string why) {
    if (why.find("Address family not supported by protocol") != std::string::npos) {
        why +=
            " (the program may not open network sockets here: a service unit's "
            "RestrictAddressFamilies= must allow AF_INET and AF_INET6, and PrivateNetwork= be "
            "off)";
    }
    return why;
}

}  // namespace brisolant
