// The privileged command runner: every load, unload and speed change is handed to the helper tool
// "loader" in the application's resources, started once per command with the authorization's
// external form and one command record on its standard input.
#include "Speed.h"

#include <UI.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <sys/wait.h>
#include <unistd.h>

static_assert(sizeof(AuthorizationExternalForm) == kAuthExternalFormLength,
              "the helper tool reads exactly one external form before the record");

AuthorizationRef authorizationRef = NULL;
AuthCommandRecord myCommand = {};
#if KRELOED_TRACE
const SInt32 myDebug = 1;
#else
const SInt32 myDebug = 0;
#endif

enum { kToolPathSize = 1024 };

static void trace(const char* text) {
    if (myDebug)
        fwrite(text, 1, strlen(text), stderr);
}

int myInitAuthCommand() {
    OSStatus status = AuthorizationCreate(NULL, kAuthorizationEmptyEnvironment,
                                          kAuthorizationFlagDefaults, &authorizationRef);
    if (status == errAuthorizationSuccess)
        return 0;
    if (myDebug)
        fprintf(stderr, "Failed to create the authref: %ld.\n", (long)status);
    return -1;
}

int myPerformAuthCommand(SInt32 commandCode, SInt32 argument, const char* path) {
    // A path that does not fit the record would be cut and name another file: send nothing.
    size_t length = path ? strnlen(path, sizeof myCommand.path) : 0;
    if (length >= sizeof myCommand.path)
        return 0;
    myCommand.leadWord = 1;
    myCommand.commandCode = commandCode;
    myCommand.argument = argument;
    memcpy(myCommand.path, path ? path : "", length);
    myCommand.path[length] = '\0';

    int result = performCommand(authorizationRef, myCommand);
    if (myDebug)
        fprintf(stderr, "Performing the command returned %ld.\n", (long)result);
    return 0;
}

int myFreeAuthCommand() {
    AuthorizationFree(authorizationRef, kAuthorizationFlagDestroyRights);
    return 0;
}

bool pathForTool(CFStringRef toolName, char* path) {
    CFBundleRef bundle = CFBundleGetMainBundle();
    if (!bundle)
        return false;
    CFURLRef resources = CFBundleCopyResourcesDirectoryURL(bundle);
    if (!resources)
        return false;
    CFURLRef toolURL =
        CFURLCreateCopyAppendingPathComponent(kCFAllocatorDefault, resources, toolName, false);
    CFRelease(resources);
    if (!toolURL)
        return false;
    Boolean filled = CFURLGetFileSystemRepresentation(toolURL, true, (UInt8*)path, kToolPathSize);
    CFRelease(toolURL);
    // A path too long for the buffer leaves it unfilled: there is nothing to look at.
    if (!filled)
        return false;
    return access(path, X_OK) == 0;
}

// Reaps the child, going on when a signal interrupts the wait.
static pid_t waitForChild(pid_t child, int* status) {
    pid_t result;
    do
        result = waitpid(child, status, 0);
    while (result == -1 && errno == EINTR);
    return result;
}

int performCommand(AuthorizationRef authorization, AuthCommandRecord command) {
    char toolPath[kToolPathSize];
    AuthorizationExternalForm extAuth;
    int comms[2];
    char* const environment[] = {NULL};
    int status = 0;

    trace("searching authtool\n");
    if (!pathForTool(CFSTR("loader"), toolPath)) {
        trace("The authtool could not be found.\n");
        showError_loader();
        return -1;
    }
    trace("authtool found.\n");

    if (AuthorizationMakeExternalForm(authorization, &extAuth) != errAuthorizationSuccess)
        return -1;
    trace("AuthorizationMakeExternalForm done.\n");

    if (pipe(comms) != 0)
        return -1;
    trace("pipe done.\n");

    pid_t child = fork();
    if (child == -1) {
        close(comms[0]);
        close(comms[1]);
        return -1;
    }
    if (child == 0) {
        dup2(comms[0], STDIN_FILENO);
        // Started without a standard input, the application got the pipe's read end as
        // descriptor 0 itself: closing it would leave the tool nothing to read.
        if (comms[0] != STDIN_FILENO)
            close(comms[0]);
        close(comms[1]);
        execle(toolPath, toolPath, (char*)NULL, environment);
        _exit(1);
    }
    trace("child done.\n");

    // A tool that has already ended must make the write fail, not end the application.
    signal(SIGPIPE, SIG_IGN);
    close(comms[0]);

    trace("Passing child externalized authref.\n");
    if (write(comms[1], &extAuth, sizeof extAuth) != (ssize_t)sizeof extAuth) {
        close(comms[1]);
        // The tool now reads end of file and ends; reaping it leaves no zombie behind.
        waitForChild(child, &status);
        return -1;
    }
    trace("write done.\n");
    trace("Passing child command.\n");
    ssize_t written = write(comms[1], &command, sizeof command);
    close(comms[1]);
    if (written != (ssize_t)sizeof command) {
        waitForChild(child, &status);
        return -1;
    }
    trace("written != command done.\n");

    if (waitForChild(child, &status) != child)
        return -1;
    trace("waitpid done.\n");
    if ((status & 0x7f) != 0)
        return -1;
    trace("wifexited done.\n");
    return status >> 8;
}
