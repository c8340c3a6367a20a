// Every heap buffer of the library comes through here, so that sizes are
// checked in size_t (no int product, no wrap on 32-bit builds) and tests can
// count or fail allocations in one place. Internal.
#ifndef SELVANE_COMMON_ALLOCATE_H
#define SELVANE_COMMON_ALLOCATE_H

#include <cstddef>
#include <cstdint>

namespace selvane {

// malloc of count * elementSize bytes; null when the product does not fit in
// size_t, when count is negative, or when memory runs out. A count of 0 still
// returns a unique, freeable pointer (or null) as malloc does.
void* AllocateBytes(std::int64_t count, std::size_t elementSize);
void Release(void* block);

template <typename T>
T* AllocateArray(std::int64_t count) {
    return static_cast<T*>(AllocateBytes(count, sizeof(T)));
}

}  // namespace selvane

#endif  // SELVANE_COMMON_ALLOCATE_H
