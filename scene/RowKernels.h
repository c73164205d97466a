#pragma once
// The per-row loops of the layers and the render pass, the only code that touches
// pixels one by one. Each works on one run of n pixels of a row and is written as a
// plain loop of branch-free selects that the compiler vectorises. On x86-64 every
// kernel is also built for AVX2 and AVX-512 and the widest the processor has is
// picked once at load time; the results are the same bit for bit.

#include "Color.h"

#include <cstddef>

namespace lumivex {

// dst[i] = colour.
void fillPixels(PackedColor* dst, std::size_t n, PackedColor colour);

// dst[i] = src[i] unless src[i] is the key colour.
void blitKeyedPixels(PackedColor* dst, const PackedColor* src, std::size_t n, PackedColor key);

// dst[i] = src[i] unless src[i] is the key colour, else colour: a row of one colour
// drawn under a keyed source (a stencil row masking a band row).
void maskPixels(PackedColor* dst, const PackedColor* src, std::size_t n, PackedColor key, PackedColor colour);

// One row of the upper half of the frame, the masking and the blits onto it in one:
//   glass = stencil[i] != stencilKey ? stencil[i] : band
//   frame[i] = glass != glassKey ? glass : (rim[i] != rimKey ? rim[i] : gradient)
void composeUpperFrame(PackedColor* frame, const PackedColor* stencil, const PackedColor* rim, std::size_t n,
    PackedColor stencilKey, PackedColor band, PackedColor glassKey, PackedColor rimKey, PackedColor gradient);

// One row of the lower half of the frame from the stencil row it mirrors:
//   reflection = stencil[i] != mirrorKey ? stencil[i] : colour
//   frame[i] = reflection != reflectionKey ? reflection : gradient
void composeLowerFrame(PackedColor* frame, const PackedColor* stencil, std::size_t n, PackedColor mirrorKey,
    PackedColor colour, PackedColor reflectionKey, PackedColor gradient);

} // namespace lumivex
