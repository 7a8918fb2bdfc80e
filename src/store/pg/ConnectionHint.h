#pragma once

#include <string>

namespace brisolant {

// libpq's reason for a failed connection, with the likely cause added where its own words do not
// name it: a socket of a family the process may not use comes from a sandbox (a service unit's
// RestrictAddressFamilies= or PrivateNetwork=), not from the network or the server.
std::string WithConnectionHint(std::string why);

}  // namespace brisolant
