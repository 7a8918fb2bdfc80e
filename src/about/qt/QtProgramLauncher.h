#pragma once

#include "about/SystemInfo.h"

// Checks files and starts programs through Qt; a started program runs on by itself.
class QtProgramLauncher : public brisolant::ProgramLauncher {
  public:
    bool FileExists(const std::string& path) const override;
    bool Start(const std::string& path) override;
};
