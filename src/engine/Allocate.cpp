#include "engine/Allocate.h"

#include <cstdlib>

namespace selvane {

void* AllocateBytes(std::int64_t count, std::size_t elementSize) {
    if (count < 0) return nullptr;
    // Compare in uint64 so the check is exact on 32-bit builds too.
    const std::uint64_t limit = static_cast<std::uint64_t>(SIZE_MAX);
    const std::uint64_t n = static_cast<std::uint64_t>(count);
    if (elementSize != 0 && n > limit / elementSize) return nullptr;
    std::size_t bytes = static_cast<std::size_t>(n) * elementSize;
    // malloc(0) may return null, which callers would take for exhaustion.
    if (bytes == 0) bytes = 1;
    return std::malloc(bytes);
}

void Release(void* block) { std::free(block); }

}  // namespace selvane
