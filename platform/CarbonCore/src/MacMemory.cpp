#include <CarbonCore/MacMemory.h>
#include <macsim/Handles.h>
#include <macsim/NoDestructor.h>

#include <cstring>
#include <memory>
#include <new>
#include <unordered_map>
#include <vector>

namespace macsim {

namespace {

struct Block {
    Ptr master = nullptr; // the handle is the address of this master pointer
    std::vector<char> bytes;
    bool locked = false;
};

// The process's heap: every live handle, by the address of its master pointer.
struct Heap {
    std::unordered_map<Handle, std::unique_ptr<Block>> blocks;
    OSErr lastError = noErr;
    std::function<void(Handle)> disposeObserver;
};

Heap& heap() {
    // Never destroyed: handles may still be disposed from other objects' destructors at exit.
    static NoDestructor<Heap> instance;
    return *instance;
}

Block* blockOf(Handle h) {
    Heap& state = heap();
    if (!h) {
        state.lastError = nilHandleErr;
        return nullptr;
    }
    auto it = state.blocks.find(h);
    if (it == state.blocks.end()) {
        state.lastError = memWZErr;
        return nullptr;
    }
    state.lastError = noErr;
    return it->second.get();
}

// A block's master pointer is never null, even for zero bytes, so that *h is always usable.
void resize(Block& block, std::size_t size) {
    block.bytes.resize(size, 0);
    if (block.bytes.capacity() == 0)
        block.bytes.reserve(1);
    block.master = block.bytes.data();
}

Handle makeHandle(Size size) {
    Heap& state = heap();
    if (size < 0 || size > kMaxHandleSize) {
        state.lastError = memFullErr;
        return nullptr;
    }
    try {
        auto block = std::make_unique<Block>();
        resize(*block, std::size_t(size));
        Handle h = &block->master;
        state.blocks.emplace(h, std::move(block));
        state.lastError = noErr;
        return h;
    } catch (const std::bad_alloc&) {
        state.lastError = memFullErr;
        return nullptr;
    }
}

} // namespace

Handle newHandleWithBytes(std::span<const std::uint8_t> bytes) {
    Handle h = makeHandle(Size(bytes.size()));
    if (h && !bytes.empty())
        std::memcpy(*h, bytes.data(), bytes.size());
    return h;
}

bool isHandle(Handle h) {
    return h && heap().blocks.count(h) != 0;
}

std::span<std::uint8_t> handleBytes(Handle h) {
    auto it = h ? heap().blocks.find(h) : heap().blocks.end();
    if (it == heap().blocks.end())
        return {};
    auto& bytes = it->second->bytes;
    return {reinterpret_cast<std::uint8_t*>(bytes.data()), bytes.size()};
}

void setDisposeObserver(std::function<void(Handle)> observer) {
    heap().disposeObserver = std::move(observer);
}

void freeHandle(Handle h) {
    if (blockOf(h))
        heap().blocks.erase(h);
}

} // namespace macsim

using namespace macsim;

// NewHandle
Handle NewHandle(Size size) {
    return makeHandle(size);
}

// DisposeHandle
void DisposeHandle(Handle h) {
    if (!blockOf(h))
        return;
    if (heap().disposeObserver)
        heap().disposeObserver(h);
    freeHandle(h);
}

// GetHandleSize
Size GetHandleSize(Handle h) {
    Block* block = blockOf(h);
    return block ? Size(block->bytes.size()) : 0;
}

// SetHandleSize
void SetHandleSize(Handle h, Size newSize) {
    Block* block = blockOf(h);
    if (!block)
        return;
    if (newSize < 0 || newSize > kMaxHandleSize ||
        (block->locked && std::size_t(newSize) > block->bytes.capacity())) {
        // A locked block cannot move, so it grows only within the room it already has.
        heap().lastError = memFullErr;
        return;
    }
    try {
        resize(*block, std::size_t(newSize));
    } catch (const std::bad_alloc&) {
        heap().lastError = memFullErr;
    }
}

// HLock
void HLock(Handle h) {
    if (Block* block = blockOf(h))
        block->locked = true;
}

// HUnlock
void HUnlock(Handle h) {
    if (Block* block = blockOf(h))
        block->locked = false;
}

// BlockMoveData
void BlockMoveData(const void* source, void* destination, Size length) {
    if (length > 0 && source && destination)
        std::memmove(destination, source, std::size_t(length));
}

// MemError
OSErr MemError(void) {
    return heap().lastError;
}
