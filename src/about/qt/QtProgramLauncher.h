#pragma once

#include "about/SystemInfo.h"

namespace brisolant {

// Checks files and starts programs through Qt; a started program runs on by itself.
class QtProgramLauncher : public ProgramLauncher {
  public:
    bool FileExists(const std::string& path) const override;
    bool Start(const std::string& path) override;
};

}  // namespace brisolant
