#include "random/Generator.h"

namespace selvane {

Generator::Generator(SeedWords words)
    : pair(PackSeedWords(words)), shared(false) {}

constexpr Generator::Generator(std::uint64_t packed, bool isShared)
    : pair(packed), shared(isShared) {}

Generator& ProcessGenerator() {
    // Constant-initialised, hence valid before any dynamic initialiser runs
    // and without a guard on every call.
    static Generator process(0, true);
    return process;
}

SeedWords LoadSeedWords(const Generator& generator) {
    return UnpackSeedWords(generator.pair.load(std::memory_order_relaxed));
}

void StoreSeedWords(Generator& generator, SeedWords words) {
    generator.pair.store(PackSeedWords(words), std::memory_order_relaxed);
}

}  // namespace selvane
