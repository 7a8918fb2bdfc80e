#pragma once

#include <sys/types.h>

#include <optional>
#include <string>

namespace brisolant {

// A port named by a link to a pseudo-terminal (the station simulator's --link) is followed only
// while the link is at least as new as the terminal it leads to. The kernel stamps a terminal's
// ctime when the terminal is made, and a link's when the link is made; whoever makes the link
// makes the terminal first. A link left behind by a program that has ended is older than any
// terminal that later gets its number: somebody's shell, which opening it would set raw and
// whose typing the port would swallow.

// Follows the device path's chain of links. Throws Failure PortLinkStale, before anything opens
// the terminal, when the last link (the one that names the terminal) is older than it. Returns
// the terminal's device number (st_rdev) when the path is a link to a pseudo-terminal, for
// ConfirmLinkedTerminal; nothing for any other path, which keeps the rules it had.
[[nodiscard]] std::optional<dev_t> CheckTerminalLink(const std::string& device);

// Throws Failure PortLinkStale when the open descriptor is not the terminal the check passed:
// the link changed in between.
void ConfirmLinkedTerminal(const std::string& device, int fd, dev_t terminal);

}  // namespace brisolant
