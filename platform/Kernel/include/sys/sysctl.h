// The sysctl interface of the simulated Mac's kernel. The host C library has no such header;
// this one is the only one, and its calls read the disk's kernel state.
#pragma once

#include <stddef.h>

extern "C" {

#define CTL_MAXNAME 12 // the most levels a name may have

// Top-level identifiers.
#define CTL_KERN 1
#define CTL_VM 2
#define CTL_VFS 3
#define CTL_NET 4
#define CTL_DEBUG 5
#define CTL_HW 6
#define CTL_MACHDEP 7
#define CTL_USER 8

// Stands for sysctl. Reads a value: with oldp null, *oldlenp receives the value's size; otherwise
// the value is copied into oldp when *oldlenp leaves room for all of it (else ENOMEM, and nothing
// is copied). Every value is read-only to processes: a new value fails with EPERM.
// FIXME: only the values that loaded extensions publish exist (32-bit integers); there are no
// nodes to list and no built-in values, and a short buffer gets nothing rather than a part.
int sysctl(int* name, unsigned int namelen, void* oldp, size_t* oldlenp, void* newp, size_t newlen);

// Stands for sysctlnametomib. *sizep holds the room in mibp on entry and the number of levels on
// success; on failure (ENOENT, or ENOMEM when the room is too small) neither is changed.
int sysctlnametomib(const char* name, int* mibp, size_t* sizep);

} // extern "C"
