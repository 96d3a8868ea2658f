#include <Security/Authorization.h>

#include <cerrno>
#include <cstring>
#include <sys/random.h>

#include <macsim/Authority.h>
#include <macsim/Object.h>

static_assert(sizeof(AuthorizationExternalForm) == sizeof(macsim::AuthorizationBytes));

namespace macsim {

namespace {

class Authorization final : public Object {
public:
    explicit Authorization(const AuthorizationBytes& bytes) : bytes_(bytes) {}
    const AuthorizationBytes& bytes() const { return bytes_; }
    const char* typeName() const noexcept override { return "Authorization"; }

private:
    AuthorizationBytes bytes_;
};

bool randomBytes(AuthorizationBytes& bytes) {
    std::size_t filled = 0;
    while (filled < bytes.size()) {
        const ssize_t got = getrandom(bytes.data() + filled, bytes.size() - filled, 0);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        filled += static_cast<std::size_t>(got);
    }
    return true;
}

Authorization* fromRef(AuthorizationRef ref) {
    return const_cast<Authorization*>(reinterpret_cast<const Authorization*>(ref));
}

AuthorizationRef toRef(Authorization* authorization) {
    return reinterpret_cast<AuthorizationRef>(authorization);
}

} // namespace

} // namespace macsim

using namespace macsim;

OSStatus AuthorizationCreate(const AuthorizationRights*, const AuthorizationEnvironment*,
                             AuthorizationFlags, AuthorizationRef* authorization) {
    if (!authorization)
        return errAuthorizationInvalidPointer;
    *authorization = nullptr;
    const Disk& disk = Disk::current();
    forgetDeadAuthorizations(disk);
    AuthorizationBytes bytes;
    if (!randomBytes(bytes) || !registerAuthorization(disk, bytes))
        return errAuthorizationInternal;
    *authorization = toRef(new Authorization(bytes));
    return errAuthorizationSuccess;
}

OSStatus AuthorizationMakeExternalForm(AuthorizationRef authorization,
                                       AuthorizationExternalForm* externalForm) {
    if (!authorization)
        return errAuthorizationInvalidRef;
    if (!externalForm)
        return errAuthorizationInvalidPointer;
    const AuthorizationBytes& bytes = fromRef(authorization)->bytes();
    std::memcpy(externalForm->bytes, bytes.data(), bytes.size());
    return errAuthorizationSuccess;
}

OSStatus AuthorizationFree(AuthorizationRef authorization, AuthorizationFlags flags) {
    if (!authorization)
        return errAuthorizationInvalidRef;
    Authorization* object = fromRef(authorization);
    if (flags & kAuthorizationFlagDestroyRights)
        unregisterAuthorization(Disk::current(), object->bytes());
    object->release();
    return errAuthorizationSuccess;
}
