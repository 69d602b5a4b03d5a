// Global memory blocks: GlobalAlloc, GlobalReAlloc, GlobalLock, GlobalUnlock, GlobalSize and
// GlobalFree. A fixed block's handle is its memory; a movable block has a handle of its own
// and a lock count, and its memory is reached only through GlobalLock. Every block is a live
// stand-in object until it is freed; handles are looked up before they are used, so a stale
// or made-up handle is refused, never followed.
#include "internal/StandIn.h"
#include "kernel/Kernel.h"

#include <winbase.h>

#include <cstdlib>
#include <cstring>
#include <vector>

namespace tarn::platform {
namespace {

// The largest block handed out; a 32-bit program could not have more.
constexpr SIZE_T MAX_BLOCK = (SIZE_T)1 << 30;

// What a movable block's handle points at: nothing but an address of its own.
struct MovableHandle {
    int unused;
};

struct Block {
    bool movable = false;
    void* memory = nullptr; // null for a movable block of 0 bytes (discarded)
    SIZE_T size = 0;
    unsigned locks = 0;
    MovableHandle* handleObject = nullptr; // a movable block's handle
};

std::vector<Block*>& Blocks() {
    static auto* blocks = new std::vector<Block*>;
    return *blocks;
}

HGLOBAL HandleOf(const Block* b) {
    return b->movable ? (HGLOBAL)b->handleObject : b->memory;
}

Block* FindBlock(HGLOBAL handle) {
    if (!handle) return nullptr;
    for (Block* b : Blocks())
        if (HandleOf(b) == handle) return b;
    return nullptr;
}

void* Allocate(SIZE_T bytes, bool zero) {
    // malloc(0) may give null; a fixed block of 0 bytes still needs an address of its own.
    SIZE_T n = bytes ? bytes : 1;
    return zero ? std::calloc(n, 1) : std::malloc(n);
}

} // namespace
} // namespace tarn::platform

using namespace tarn::platform;

HGLOBAL WINAPI GlobalAlloc(UINT uFlags, SIZE_T dwBytes) {
    if (EnterFailed<"GlobalAlloc">()) return nullptr;
    if (uFlags & ~(UINT)(GMEM_MOVEABLE | GMEM_NOCOMPACT | GMEM_NODISCARD | GMEM_ZEROINIT |
                         GMEM_DISCARDABLE | GMEM_NOT_BANKED | GMEM_SHARE)) {
        SetLastErrorNow(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (dwBytes > MAX_BLOCK) return Failure(ERROR_NOT_ENOUGH_MEMORY, nullptr);
    auto* block = new Block;
    block->movable = (uFlags & GMEM_MOVEABLE) != 0;
    block->size = dwBytes;
    if (!block->movable || dwBytes > 0) {
        block->memory = Allocate(dwBytes, (uFlags & GMEM_ZEROINIT) != 0);
        if (!block->memory) {
            delete block;
            SetLastErrorNow(ERROR_NOT_ENOUGH_MEMORY);
            return nullptr;
        }
    }
    if (block->movable) block->handleObject = new MovableHandle{0};
    Blocks().push_back(block);
    ObjectCreated("global");
    return HandleOf(block);
}

// A movable block may move; a fixed one only when GMEM_MOVEABLE allows it, and a locked
// movable block stays where it is unless it can grow in place.
HGLOBAL WINAPI GlobalReAlloc(HGLOBAL hMem, SIZE_T dwBytes, UINT uFlags) {
    if (EnterFailed<"GlobalReAlloc">()) return nullptr;
    Block* b = FindBlock(hMem);
    if (!b) return Failure(ERROR_INVALID_HANDLE, nullptr);
    if (dwBytes > MAX_BLOCK) return Failure(ERROR_NOT_ENOUGH_MEMORY, nullptr);
    bool mayMove = b->movable ? b->locks == 0 : (uFlags & GMEM_MOVEABLE) != 0;
    if (!mayMove && dwBytes > b->size) return Failure(ERROR_NOT_ENOUGH_MEMORY, nullptr);
    if (dwBytes > b->size || !b->memory) {
        void* grown = b->memory ? std::realloc(b->memory, dwBytes) : Allocate(dwBytes, false);
        if (!grown) return Failure(ERROR_NOT_ENOUGH_MEMORY, nullptr);
        if (uFlags & GMEM_ZEROINIT)
            std::memset(static_cast<unsigned char*>(grown) + b->size, 0, dwBytes - b->size);
        b->memory = grown;
    }
    b->size = dwBytes;
    return HandleOf(b);
}

LPVOID WINAPI GlobalLock(HGLOBAL hMem) {
    if (EnterFailed<"GlobalLock">()) return nullptr;
    Block* b = FindBlock(hMem);
    if (!b) return Failure(ERROR_INVALID_HANDLE, nullptr);
    if (!b->movable) return b->memory;
    if (!b->memory || b->size == 0) return Failure(ERROR_DISCARDED, nullptr);
    if (b->locks < GMEM_LOCKCOUNT) ++b->locks;
    return b->memory;
}

// TRUE while the block stays locked; FALSE with NO_ERROR when this was the last lock.
BOOL WINAPI GlobalUnlock(HGLOBAL hMem) {
    if (EnterFailed<"GlobalUnlock">()) return FALSE;
    Block* b = FindBlock(hMem);
    if (!b) return Failure(ERROR_INVALID_HANDLE, FALSE);
    if (!b->movable) {
        SetLastErrorNow(NO_ERROR);
        return FALSE;
    }
    if (b->locks == 0) return Failure(ERROR_NOT_LOCKED, FALSE);
    if (--b->locks > 0) return TRUE;
    SetLastErrorNow(NO_ERROR);
    return FALSE;
}

SIZE_T WINAPI GlobalSize(HGLOBAL hMem) {
    if (EnterFailed<"GlobalSize">()) return 0;
    Block* b = FindBlock(hMem);
    if (!b) return Failure(ERROR_INVALID_HANDLE, 0);
    return b->size;
}

// Null on success; the handle itself when it is not a block.
HGLOBAL WINAPI GlobalFree(HGLOBAL hMem) {
    if (EnterFailed<"GlobalFree">()) return hMem;
    if (!hMem) return nullptr;
    Block* b = FindBlock(hMem);
    if (!b) return Failure(ERROR_INVALID_HANDLE, hMem);
    std::vector<Block*>& blocks = Blocks();
    for (size_t i = 0; i < blocks.size(); ++i) {
        if (blocks[i] == b) {
            blocks.erase(blocks.begin() + (long)i);
            break;
        }
    }
    std::free(b->memory);
    delete b->handleObject;
    delete b;
    ObjectDestroyed("global");
    return nullptr;
}
