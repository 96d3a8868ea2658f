// Resource Manager of the simulated Mac. A file's resource fork lives in its companion "._NAME"
// in the platform's published fork layout; the application's own resource file
// (Resources/<executable>.rsrc of the main bundle) keeps its fork in its data fork and is opened,
// read-only, by the first Resource Manager call of the process, so it is current when main starts.
// Resource files are searched as a chain: the current file, then the files opened before it.
#pragma once

#include <MacTypes.h>

extern "C" {

// HOpenResFile: opens the resource fork of NAME in the folder (vRefNum, dirID) for reading
// (fsRdPerm) or reading and writing (fsRdWrPerm ...) and makes it current. -1, with ResError()
// set, when NAME or its companion is missing or malformed, or the fork is empty (0 bytes).
// A file already open gives its reference again.
ResFileRefNum HOpenResFile(FSVolumeRefNum vRefNum, SInt32 dirID, ConstStr255Param fileName,
                           SInt8 permission);
// HCreateResFile: gives NAME an empty resource fork (creating NAME when it is missing); dupFNErr
// and nothing changed when it has a fork already, or its companion cannot be read.
void HCreateResFile(FSVolumeRefNum vRefNum, SInt32 dirID, ConstStr255Param fileName);
// UseResFile: 0 makes no file current (there is no system resource file here).
void UseResFile(ResFileRefNum refNum);
// CurResFile: 0 when no file is current.
ResFileRefNum CurResFile(void);

// GetResource searches the chain from the current file down; Get1Resource the current file only.
// The handle belongs to the Resource Manager: the same one comes back until ReleaseResource or
// CloseResFile frees it. Null, with ResError() resNotFound, when there is none.
Handle GetResource(ResType type, ResID id);
Handle Get1Resource(ResType type, ResID id);
// ReleaseResource: frees the resource's handle; a later GetResource reads it anew.
void ReleaseResource(Handle resource);
// The resource's length in the file.
Size GetResourceSizeOnDisk(Handle resource);

// SetResourceSize and WritePartialResource change the resource in the file at once (its handle
// keeps what it held), growing it with zeros where needed. FIXME: the whole fork is rewritten, so
// resources added and not yet written go to the file with it.
void SetResourceSize(Handle resource, Size newSize);
void WritePartialResource(Handle resource, SInt32 offset, const void* buffer, Size count);
// AddResource: the handle becomes resource (type, id) of the current file, written by the next
// UpdateResFile or CloseResFile; an empty name is no name. addResFailed for a handle that is a
// resource already, a file not open for writing, or a type and ID that the file holds already.
void AddResource(Handle data, ResType type, ResID id, ConstStr255Param name);
// UpdateResFile: writes what changed, replacing the companion (or file) as a whole.
void UpdateResFile(ResFileRefNum refNum);
// CloseResFile: updates the file, frees its resources' handles and takes it off the chain; the
// file opened before it becomes current if it was.
void CloseResFile(ResFileRefNum refNum);
// The status of the last Resource Manager call.
OSErr ResError(void);

} // extern "C"
