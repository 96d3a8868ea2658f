// File and Folder Managers of the simulated Mac: the Preferences folder and new files with their
// Finder Info. A file's Finder Info and resource fork live in its companion file "._NAME".
#pragma once

#include <MacTypes.h>

enum : FSVolumeRefNum {
    kOnSystemDisk = -32768,
    kOnAppropriateDisk = -32767,
    kUserDomain = -32763,
};

enum : OSType { kPreferencesFolderType = 'pref' };

enum : Boolean {
    kDontCreateFolder = 0,
    kCreateFolder = 1,
};

// Permissions for opening files and resource files.
enum : SInt8 {
    fsCurPerm = 0,
    fsRdPerm = 1,
    fsWrPerm = 2,
    fsRdWrPerm = 3,
    fsRdWrShPerm = 4,
};

enum : OSErr {
    nsvErr = -35,    // no such volume
    bdNamErr = -37,  // a name the file system cannot hold
    wrPermErr = -61, // the file is not open for writing
};

extern "C" {

// FindFolder. FIXME: knows only the Preferences folder of the user's domain (kOnAppropriateDisk or
// kUserDomain); other folder types give fnfErr, other volumes nsvErr. The outputs are left as
// they were when the folder is not found.
OSErr FindFolder(FSVolumeRefNum vRefNum, OSType folderType, Boolean createFolder,
                 FSVolumeRefNum* foundVRefNum, SInt32* foundDirID);

// HCreate: an empty file NAME in the folder (vRefNum, dirID), with type and creator in its
// companion's Finder Info and an empty (0-byte) resource fork. dupFNErr when NAME exists.
// Volume 0 and directory 0 name the process's working directory. FIXME: no partial paths (a name
// holding ':').
OSErr HCreate(FSVolumeRefNum vRefNum, SInt32 dirID, ConstStr255Param fileName, OSType creator,
              OSType fileType);

} // extern "C"
