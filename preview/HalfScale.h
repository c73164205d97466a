#pragma once
// The row kernels behind presentPreview's half-scale reduction.
//
// A kernel writes `count` preview pixels from two frame rows: `upper` is row 2j - 1 (row 0
// for j = 0) and `lower` row 2j; out[i] is the per-channel (a + b + c + d + 2) / 4 of
// columns 2i - 1 (0 for i = 0) and 2i of both rows, top byte 0. Both rows must hold at
// least 2 * count - 1 pixels. presentPreview uses the fastest kernel the processor runs;
// all of them give identical results, which the tests check.

#include "scene/Color.h"

#include <vector>

namespace lumivex {

using RowKernel = void (*)(PackedColor* out, const PackedColor* upper, const PackedColor* lower, int count);

struct NamedRowKernel {
    const char* name;
    RowKernel kernel;
};

// Every kernel this processor can run, the portable one first.
std::vector<NamedRowKernel> availableRowKernels();

} // namespace lumivex
