#pragma once

// A pseudo-terminal pair standing in for a serial line: the program opens the slave's path as
// its port, the station (the simulator or a test) uses the master. Shared by the simulator and
// the tests.

#include <string>

namespace brisolant::station {

class PseudoTerminal {
  public:
    // Opens the pair and sets the line raw, the master non-blocking, both ends closed on exec.
    // Throws std::runtime_error with the system's reason.
    PseudoTerminal();
    ~PseudoTerminal();
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    int MasterFd() const { return master_; }
    int SlaveFd() const { return slave_; }
    const std::string& SlavePath() const { return slavePath_; }

    // Closes both ends held here: the program's port loses its far end, as when the station is
    // switched off or its adapter pulled.
    void Close();

  private:
    int master_ = -1;
    // Held open, never read, so that the terminal lives on while the program closes and
    // reopens its port.
    int slave_ = -1;
    std::string slavePath_;
};

// A symbolic link to the terminal, removed again when this object goes.
class PortLink {
  public:
    // Replaces a symbolic link already at the path; refuses to replace anything else.
    PortLink(const std::string& linkPath, const std::string& target);
    ~PortLink();
    PortLink(const PortLink&) = delete;
    PortLink& operator=(const PortLink&) = delete;

  private:
    std::string path_;
    std::string target_;
};

}  // namespace brisolant::station
