#include "RowKernels.h"

#include <algorithm>

// Wider builds of each kernel where the compiler can dispatch on the processor. Sanitizer
// builds go without: the dispatch resolvers run before the sanitizer runtime is set up.
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__)) && !defined(LUMIVEX_NO_DISPATCH)
#define LUMIVEX_ROW_KERNEL __attribute__((target_clones("avx512f", "avx2", "default")))
#else
#define LUMIVEX_ROW_KERNEL
#endif

namespace lumivex {

LUMIVEX_ROW_KERNEL void fillPixels(PackedColor* dst, std::size_t n, PackedColor colour)
{
    std::fill_n(dst, n, colour);
}

LUMIVEX_ROW_KERNEL void blitKeyedPixels(
    PackedColor* __restrict dst, const PackedColor* __restrict src, std::size_t n, PackedColor key)
{
    for (std::size_t i = 0; i < n; ++i)
        dst[i] = (src[i] != key) ? src[i] : dst[i];
}

LUMIVEX_ROW_KERNEL void maskPixels(
    PackedColor* __restrict dst, const PackedColor* __restrict src, std::size_t n, PackedColor key, PackedColor colour)
{
    for (std::size_t i = 0; i < n; ++i)
        dst[i] = (src[i] != key) ? src[i] : colour;
}

LUMIVEX_ROW_KERNEL void composeUpperFrame(PackedColor* __restrict frame, const PackedColor* __restrict stencil,
    const PackedColor* __restrict rim, std::size_t n, PackedColor stencilKey, PackedColor band, PackedColor glassKey,
    PackedColor rimKey, PackedColor gradient)
{
    for (std::size_t i = 0; i < n; ++i) {
        const PackedColor s = stencil[i];
        const PackedColor glass = (s != stencilKey) ? s : band;
        const PackedColor r = rim[i];
        const PackedColor under = (r != rimKey) ? r : gradient;
        frame[i] = (glass != glassKey) ? glass : under;
    }
}

LUMIVEX_ROW_KERNEL void composeLowerFrame(PackedColor* __restrict frame, const PackedColor* __restrict stencil,
    std::size_t n, PackedColor mirrorKey, PackedColor colour, PackedColor reflectionKey, PackedColor gradient)
{
    for (std::size_t i = 0; i < n; ++i) {
        const PackedColor m = stencil[i];
        const PackedColor reflection = (m != mirrorKey) ? m : colour;
        frame[i] = (reflection != reflectionKey) ? reflection : gradient;
    }
}

} // namespace lumivex
