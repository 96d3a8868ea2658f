// The process's heap of relocatable blocks, as the other managers of the stand-in use it.
#pragma once

#include <MacTypes.h>

#include <cstdint>
#include <functional>
#include <span>

namespace macsim {

// Blocks larger than this are refused as the platform refuses what its heap cannot hold.
inline constexpr Size kMaxHandleSize = Size(256) << 20;

// A new handle holding a copy of bytes; null when it cannot be made.
Handle newHandleWithBytes(std::span<const std::uint8_t> bytes);
// True when h is a live handle of this heap.
bool isHandle(Handle h);
// The bytes of a live handle; empty for anything else.
std::span<std::uint8_t> handleBytes(Handle h);

// Called with a handle just before DisposeHandle frees it; the Resource Manager uses this to
// forget handles it owns. One observer (a later one replaces the earlier).
void setDisposeObserver(std::function<void(Handle)> observer);
// Frees a handle without telling the observer (for the observer's own owner).
void freeHandle(Handle h);

} // namespace macsim
