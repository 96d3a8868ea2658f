// The settings record and its file "Kreloed Prefs": one resource 'SLpr' 128 named "prefs"
// holding the six fields, big-endian, in the file's resource fork.
#include "Prefs.h"

PrefsRecord prefs;
OSStatus err;
ResFileRefNum applRes;

static const unsigned char prefsFileName[] = "\015Kreloed Prefs";
static const unsigned char prefsResName[] = "\005prefs";

enum {
    kPrefsResType = 'SLpr',
    kPrefsResID = 128,
    kPrefsCreator = 'SLap',
    kPrefsFileType = 'pref',
    kPrefsSize = 12
};

// The fields in the order the file keeps them, each big-endian.
static UInt16 PrefsRecord::*const prefsFields[6] = {
    &PrefsRecord::defaultClock, &PrefsRecord::userClock,    &PrefsRecord::keepUserClock,
    &PrefsRecord::speedMode,    &PrefsRecord::loadAtLaunch, &PrefsRecord::currentClock};

static void packPrefs(UInt8* bytes) {
    for (int i = 0; i < 6; i++) {
        bytes[2 * i] = (UInt8)(prefs.*prefsFields[i] >> 8);
        bytes[2 * i + 1] = (UInt8)(prefs.*prefsFields[i]);
    }
}

static void setDefaultPrefs() {
    prefs.userClock = prefs.defaultClock;
    prefs.speedMode = 0;
    prefs.loadAtLaunch = 0;
}

// Takes the fields that the stored bytes hold completely. A record cut short leaves the others as
// start-up set them, but for the user speed, which then equals the default speed as when nothing
// is stored (start-up never sets it).
static void unpackPrefs(const UInt8* bytes, Size size) {
    for (int i = 0; i < 6 && 2 * i + 2 <= size; i++)
        prefs.*prefsFields[i] = (UInt16)(bytes[2 * i] << 8 | bytes[2 * i + 1]);
    if (size < 4)
        prefs.userClock = prefs.defaultClock;
}

void fileWorks(int mode) {
    FSVolumeRefNum vRefNum = 0;
    SInt32 dirID = 0;
    ResFileRefNum prefsRes;
    Handle prefsHandle;
    UInt8 record[kPrefsSize];

    // A failed lookup leaves volume and directory 0: the file is then looked for in the
    // default directory, and the lookup's status stays in err.
    err =
        FindFolder(kOnAppropriateDisk, kPreferencesFolderType, kDontCreateFolder, &vRefNum, &dirID);

    if (mode == 1) {
        prefsRes = HOpenResFile(vRefNum, dirID, prefsFileName, fsRdPerm);
        if (prefsRes == -1) {
            setDefaultPrefs();
        } else {
            UseResFile(prefsRes);
            prefsHandle = GetResource(kPrefsResType, kPrefsResID);
            if (prefsHandle == NULL)
                setDefaultPrefs();
            else
                unpackPrefs((const UInt8*)*prefsHandle, GetHandleSize(prefsHandle));
        }
        if (prefs.speedMode != 1)
            prefs.speedMode = 0;
        if (prefs.loadAtLaunch != 1)
            prefs.loadAtLaunch = 0;
        if (prefsRes != -1)
            CloseResFile(prefsRes);
        UseResFile(applRes);
    } else if (mode == 0) {
        prefsRes = HOpenResFile(vRefNum, dirID, prefsFileName, fsRdWrPerm);
        if (prefsRes == -1) {
            HCreate(vRefNum, dirID, prefsFileName, kPrefsCreator, kPrefsFileType);
            HCreateResFile(vRefNum, dirID, prefsFileName);
            prefsRes = HOpenResFile(vRefNum, dirID, prefsFileName, fsRdWrPerm);
            if (prefsRes == -1)
                return;
        }
        UseResFile(prefsRes);
        packPrefs(record);
        prefsHandle = GetResource(kPrefsResType, kPrefsResID);
        if (prefsHandle != NULL) {
            SetResourceSize(prefsHandle, kPrefsSize);
            WritePartialResource(prefsHandle, 0, record, kPrefsSize);
        } else {
            prefsHandle = NewHandle(kPrefsSize);
            if (prefsHandle == NULL) {
                // Nothing to add without memory for it; the file keeps what it had.
                err = MemError();
            } else {
                BlockMoveData(record, *prefsHandle, kPrefsSize);
                AddResource(prefsHandle, kPrefsResType, kPrefsResID, prefsResName);
                err = ResError();
                UpdateResFile(prefsRes);
                // A handle that did not become a resource is still ours to free.
                if (err == noErr)
                    ReleaseResource(prefsHandle);
                else
                    DisposeHandle(prefsHandle);
            }
        }
        CloseResFile(prefsRes);
        UseResFile(applRes);
    }
}
