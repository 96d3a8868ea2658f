// Memory Manager of the simulated Mac: relocatable blocks reached through handles.
#pragma once

#include <MacTypes.h>

enum : OSErr {
    nilHandleErr = -109, // a null handle, or one whose block is gone
    memWZErr = -111,     // not a handle of this heap
};

extern "C" {

// A new relocatable block of size bytes (zeroed); null, with MemError() set, when it cannot be
// made.
Handle NewHandle(Size size);
// Frees the block and its master pointer. A handle the Resource Manager owns is released from it
// first, so it is never freed twice.
void DisposeHandle(Handle h);
Size GetHandleSize(Handle h);
// Grows (with zeros) or shrinks the block; the block may move unless the handle is locked.
void SetHandleSize(Handle h, Size newSize);
// Keeps the block in place while the caller works through a dereferenced pointer.
void HLock(Handle h);
void HUnlock(Handle h);
// memmove: the ranges may overlap.
void BlockMoveData(const void* source, void* destination, Size length);
// The status of the last Memory Manager call.
OSErr MemError(void);

} // extern "C"
