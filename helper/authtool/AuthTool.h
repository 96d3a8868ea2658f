// The helper tool's work, apart from its standard input: checks the authorization's external form
// and the command record, then acts on the kernel. Kept out of main so that tests and fuzzers can
// drive it with any bytes.
#pragma once

#include <cstdint>
#include <span>

#include <macsim/Disk.h>

#include "AuthToolStatus.h"

namespace authtool {

// input is everything read from standard input (at most one byte more than a whole command, so
// that a longer stream can be told apart). Any failure changes nothing and writes one line to the
// disk's system log.
AuthToolStatus run(const macsim::Disk& disk, std::span<const std::uint8_t> input);

} // namespace authtool
