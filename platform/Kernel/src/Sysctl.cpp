#include <sys/sysctl.h>

#include <cerrno>
#include <cstring>
#include <string_view>

#include <macsim/Kernel.h>

using namespace macsim;

namespace {

// Every value the kernel publishes is one 32-bit integer.
constexpr size_t kValueSize = sizeof(std::uint32_t);

int fail(int error) {
    errno = error;
    return -1;
}

} // namespace

int sysctl(int* name, unsigned int namelen, void* oldp, size_t* oldlenp, void* newp,
           size_t newlen) {
    if (!name || namelen == 0 || namelen > CTL_MAXNAME || (oldp && !oldlenp))
        return fail(EINVAL);
    KernelState state;
    if (Kernel(Disk::current()).read(state) != KernelStatus::ok)
        return fail(EIO);
    const SysctlEntry* entry = state.findSysctl(name, namelen);
    if (!entry)
        return fail(ENOENT);
    if (newp || newlen)
        return fail(EPERM);
    if (!oldlenp)
        return 0;
    if (!oldp) {
        *oldlenp = kValueSize;
        return 0;
    }
    if (*oldlenp < kValueSize)
        return fail(ENOMEM);
    std::memcpy(oldp, &entry->value, kValueSize);
    *oldlenp = kValueSize;
    return 0;
}

int sysctlnametomib(const char* name, int* mibp, size_t* sizep) {
    if (!name || !mibp || !sizep)
        return fail(EINVAL);
    const std::string_view text(name);
    int mib[2];
    size_t levels = 0;
    if (const auto top = sysctlTopLevel(text)) {
        mib[0] = *top;
        levels = 1;
    } else {
        KernelState state;
        if (Kernel(Disk::current()).read(state) != KernelStatus::ok)
            return fail(EIO);
        const SysctlEntry* entry = state.findSysctl(text);
        if (!entry)
            return fail(ENOENT);
        mib[0] = entry->mib[0];
        mib[1] = entry->mib[1];
        levels = 2;
    }
    if (*sizep < levels)
        return fail(ENOMEM);
    std::memcpy(mibp, mib, levels * sizeof(int));
    *sizep = levels;
    return 0;
}
