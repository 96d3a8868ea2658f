// Process-wide objects that must outlive every static destructor (a constant string may still be
// released by another translation unit's destructor at exit), so they are never destroyed.
#pragma once

#include <new>
#include <utility>

namespace macsim {

template <typename T> class NoDestructor {
public:
    template <typename... Args> explicit NoDestructor(Args&&... args) {
        ::new (static_cast<void*>(storage_)) T(std::forward<Args>(args)...);
    }
    NoDestructor(const NoDestructor&) = delete;
    NoDestructor& operator=(const NoDestructor&) = delete;

    T& operator*() noexcept { return *get(); }
    T* operator->() noexcept { return get(); }
    T* get() noexcept { return std::launder(reinterpret_cast<T*>(storage_)); }

private:
    alignas(T) unsigned char storage_[sizeof(T)];
};

} // namespace macsim
