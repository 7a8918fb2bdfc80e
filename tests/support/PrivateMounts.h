#pragma once

// Pseudo-terminals, serial-port lock files and mounts of the test program's own.
//
// The kernel numbers pseudo-terminals for the whole machine and reuses a number as soon as it
// is free, and Qt Serial Port keeps its lock files in the machine's /run/lock: a test that
// shared them could open another program's terminal, or find its port "in use" by a lock file
// of a test running beside it. A FUSE folder that another test mounted in the temporary folder
// and made stop answering makes every look at the mounted file systems (the settings dialog's
// drive list) wait for it. So the test programs start in a mount namespace of their own, with
// a devpts instance of their own on /dev/pts (/dev/ptmx leading to it), a tmpfs on /run/lock,
// and without the FUSE folders in the temporary folder. The programs and the station simulator
// that the tests start inherit all this.

#include <string>

namespace brisolant::test {

// Gives this process its own /dev/pts and /run/lock, and takes the FUSE folders that other
// tests mounted in the temporary folder out of its sight where it may. As the superuser through a
// new mount namespace; otherwise through a new user namespace too, where the system allows
// unprivileged ones. Nothing it mounts or unmounts reaches the machine's mounts. Must run before
// any thread starts: a threaded process cannot leave its mount namespace. Returns an empty text
// when the terminals and lock files are the process's own; otherwise why not, with them as they
// were.
std::string MakeMountsPrivate();

// What MakeMountsPrivate() said in this process: empty when the terminals and lock files are
// the process's own; otherwise why they are the machine's ("not tried" before it ran).
const std::string& WhyMountsAreShared();

}  // namespace brisolant::test
