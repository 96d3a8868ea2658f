#include "SysctlFake.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dlfcn.h>
#include <sys/sysctl.h>

namespace sysctlfake {
Answers answers;
}

using sysctlfake::answers;

// Defined in the test executable, these come before the platform library's; the real ones are
// the next definitions in the search order.
int sysctl(int* name, unsigned int namelen, void* oldp, size_t* oldlenp, void* newp,
           size_t newlen) {
    if (!answers.active) {
        static auto real = reinterpret_cast<decltype(&sysctl)>(dlsym(RTLD_NEXT, "sysctl"));
        return real(name, namelen, oldp, oldlenp, newp, newlen);
    }
    if (!oldp) {
        *oldlenp = answers.valueSize;
        return 0;
    }
    ++answers.reads;
    if (answers.readFails) {
        errno = EIO;
        return -1;
    }
    std::memcpy(oldp, &answers.value, std::min(*oldlenp, sizeof answers.value));
    return 0;
}

int sysctlnametomib(const char* name, int* mibp, size_t* sizep) {
    if (!answers.active) {
        static auto real =
            reinterpret_cast<decltype(&sysctlnametomib)>(dlsym(RTLD_NEXT, "sysctlnametomib"));
        return real(name, mibp, sizep);
    }
    if (*sizep < answers.mib.size()) {
        errno = ENOMEM;
        return -1;
    }
    std::copy(answers.mib.begin(), answers.mib.end(), mibp);
    *sizep = answers.mib.size();
    return 0;
}
