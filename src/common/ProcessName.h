#pragma once

#include <sys/types.h>

#include <string>

namespace brisolant {

// "brisolant (process 4242)", as the system names the process; "process 4242" when it gives no
// name (the process has ended, or its name may not be read). For telling the operator who holds
// something this program wants.
std::string ProcessText(pid_t pid);

}  // namespace brisolant
