// The addresses of the stand-in's live objects of one kind, so that a pointer handed in by the
// program (a blit's source, a palette to attach) is known to be one of them before it is
// followed: a foreign or stale pointer is refused, never read. Looking one up costs a hash and
// one or two probes whatever the number of objects; only creating objects may allocate.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tarn::platform {

class AddressSet {
public:
    bool Contains(const void* address) const {
        if (!address || slots.empty()) return false;
        for (size_t i = Home(address);; i = (i + 1) & mask) {
            if (slots[i] == address) return true;
            if (!slots[i]) return false;
        }
    }

    void Insert(const void* address) {
        if (!address || Contains(address)) return;
        if ((used + 1) * 2 > slots.size()) Grow();
        size_t i = Home(address);
        while (slots[i]) i = (i + 1) & mask;
        slots[i] = address;
        ++used;
    }

    // Removes `address` and moves later members of its run back, so that no probe stops early.
    void Erase(const void* address) {
        if (!Contains(address)) return;
        size_t i = Home(address);
        while (slots[i] != address) i = (i + 1) & mask;
        slots[i] = nullptr;
        --used;
        for (size_t j = (i + 1) & mask; slots[j]; j = (j + 1) & mask) {
            const void* moved = slots[j];
            slots[j] = nullptr;
            size_t k = Home(moved);
            while (slots[k]) k = (k + 1) & mask;
            slots[k] = moved;
        }
    }

private:
    size_t Home(const void* address) const {
        uint64_t h = (uint64_t)(uintptr_t)address * 0x9E3779B97F4A7C15ull;
        return (size_t)(h >> 32) & mask;
    }

    void Grow() {
        std::vector<const void*> old;
        old.swap(slots);
        slots.assign(old.empty() ? 16 : old.size() * 2, nullptr);
        mask = slots.size() - 1;
        used = 0;
        for (const void* a : old)
            if (a) Insert(a);
    }

    std::vector<const void*> slots; // a power of two, at most half full
    size_t mask = 0;
    size_t used = 0;
};

} // namespace tarn::platform
