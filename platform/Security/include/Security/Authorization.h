// Authorization Services of the simulated Mac: an authorization is 32 random bytes registered with
// the disk's authority while its creator lives. Its external form is those bytes, so a helper tool
// handed the form can ask the authority whether it is live.
#pragma once

#include <MacTypes.h>

extern "C" {

typedef const struct AuthorizationOpaqueRef* AuthorizationRef;
typedef UInt32 AuthorizationFlags;

// Rights and environments are not modelled: callers pass none (a null pointer).
typedef struct AuthorizationItemSet AuthorizationRights;
typedef struct AuthorizationItemSet AuthorizationEnvironment;
#define kAuthorizationEmptyEnvironment ((const AuthorizationEnvironment*)0)

enum : AuthorizationFlags {
    kAuthorizationFlagDefaults = 0,
    kAuthorizationFlagDestroyRights = 1u << 3,
};

enum : OSStatus {
    errAuthorizationInvalidRef = -60002,
    errAuthorizationInvalidPointer = -60004,
    errAuthorizationInternal = -60008,
};

enum { kAuthorizationExternalFormLength = 32 };

typedef struct {
    char bytes[kAuthorizationExternalFormLength];
} AuthorizationExternalForm;

// Stands for AuthorizationCreate.
// FIXME: rights are not modelled; every authorization is created as if for no rights, and flags
// other than the default are ignored.
OSStatus AuthorizationCreate(const AuthorizationRights* rights,
                             const AuthorizationEnvironment* environment, AuthorizationFlags flags,
                             AuthorizationRef* authorization);

// Stands for AuthorizationMakeExternalForm.
OSStatus AuthorizationMakeExternalForm(AuthorizationRef authorization,
                                       AuthorizationExternalForm* externalForm);

// Stands for AuthorizationFree. With kAuthorizationFlagDestroyRights the authority forgets the
// authorization at once; without it, it stays live until its creator ends.
OSStatus AuthorizationFree(AuthorizationRef authorization, AuthorizationFlags flags);

} // extern "C"
