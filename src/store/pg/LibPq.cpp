#include "store/pg/LibPq.h"

#include <dlfcn.h>

namespace brisolant {

namespace {

// The library Debian's libpq5 installs.
constexpr const char* kLibPqFile = "libpq.so.5";

std::string LastLoadError() {
    const char* error = dlerror();
    return error != nullptr ? error : "unknown error";
}

}  // namespace

std::optional<LibPq> LoadLibPq(const char* fileName, std::string& why) {
    // Never closed: a connection's memory and the library's own threads outlive any one use.
    void* library = dlopen(fileName, RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) {
        why = "PostgreSQL's client library cannot be loaded (install libpq5): " + LastLoadError();
        return std::nullopt;
    }
    LibPq calls;
    bool complete = true;
#define BRISOLANT_LIBPQ_FIND(name)                                              \
    calls.name = reinterpret_cast<decltype(calls.name)>(dlsym(library, #name)); \
    if (calls.name == nullptr && complete) {                                    \
        why = std::string(fileName) + " lacks " #name;                          \
        complete = false;                                                       \
    }
    BRISOLANT_LIBPQ_CALLS(BRISOLANT_LIBPQ_FIND)
#undef BRISOLANT_LIBPQ_FIND
    if (!complete) {
        return std::nullopt;
    }
    return calls;
}

const LibPq* InstalledLibPq(std::string& why) {
    static std::string loadError;
    static const std::optional<LibPq> installed = LoadLibPq(kLibPqFile, loadError);
    if (!installed) {
        why = loadError;
        return nullptr;
    }
    return &*installed;
}

}  // namespace brisolant
