// Acting on a simulated Mac from outside, as a person at the machine, its power management or an
// administrator would: the machine tool (macsimctl) and the headless script's "machine" lines.
#pragma once

#include <string>
#include <vector>

#include <macsim/Disk.h>

namespace macsim {

// Runs one machine command on disk; args are the command word and its arguments:
//   state                  the kernel state and the hardware, as one line of JSON
//   speed MHZ              the processor changes speed by itself (power management)
//   load PATH              loads the kernel-extension bundle at PATH
//   unload PATH|ID         unloads the extension of that bundle or bundle identifier
//   sysctl NAME VALUE      writes the raw 32-bit value of a published sysctl
//   version X.Y.Z          rewrites ProductVersion in the system version file
//   clock HZ               rewrites ProcessorClockRate in the hardware description
// Returns 0 on success with any report in output; otherwise 2 for a usage error or 1 for a
// failed command, with a one-line message in output.
int runMachineCommand(const Disk& disk, const std::vector<std::string>& args, std::string& output);

} // namespace macsim
