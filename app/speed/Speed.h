// The kernel extension, the processor speed, and the privileged command runner.
#pragma once

#include <Carbon/Carbon.h>
#include <Security/Authorization.h>

#include "AuthCommandRecord.h"

extern UInt16 loaded; // 1 while hw.cpuspeed exists

int check_for_krelo();
int getCurrentClkFromKrelo();
void set_speed(int mode, SInt32 mhz);
UInt16 load_kext(int flag);
char* GetKreloPathString(const char* name, char* out);

extern AuthorizationRef authorizationRef;
extern AuthCommandRecord myCommand;
extern const SInt32 myDebug;

int myInitAuthCommand();
int myPerformAuthCommand(SInt32 commandCode, SInt32 argument, const char* path);
int myFreeAuthCommand();
bool pathForTool(CFStringRef toolName, char* path);
int performCommand(AuthorizationRef authorization, AuthCommandRecord command);
