// What every instruction set's sweep source includes first. It brings in
// everything the kernels and the loop use, so that nothing but the
// templates falls inside the target region that the source then opens, and
// provides the macros that open and close the region: only the functions
// inside it get the wider instructions, so the rest of the library still
// runs on a processor without them.
#ifndef SELVANE_ENGINE_SWEEP_SWEEP_PREAMBLE_H
#define SELVANE_ENGINE_SWEEP_SWEEP_PREAMBLE_H

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>

#include "engine/sweep/SweepDispatch.h"
#include "engine/sweep/SweepMeans.h"
#include "engine/sweep/SweepTypes.h"
#include "engine/sweep/SweepWorkspace.h"

#if defined(__x86_64__) || defined(__i386__)
#define SELVANE_SWEEP_X86 1
#else
#define SELVANE_SWEEP_X86 0
#endif

// clang spells the per-function target differently from GCC.
#define SELVANE_SWEEP_PRAGMA(...) _Pragma(#__VA_ARGS__)
#if defined(__clang__)
#define SELVANE_SWEEP_TARGET_BEGIN(isa)                                     \
    SELVANE_SWEEP_PRAGMA(clang attribute push(__attribute__((target(isa))), \
                                              apply_to = function))
#define SELVANE_SWEEP_TARGET_END SELVANE_SWEEP_PRAGMA(clang attribute pop)
#else
#define SELVANE_SWEEP_TARGET_BEGIN(isa) \
    SELVANE_SWEEP_PRAGMA(GCC push_options) SELVANE_SWEEP_PRAGMA(GCC target(isa))
#define SELVANE_SWEEP_TARGET_END SELVANE_SWEEP_PRAGMA(GCC pop_options)
#endif

#endif  // SELVANE_ENGINE_SWEEP_SWEEP_PREAMBLE_H
