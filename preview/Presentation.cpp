#include "preview/Presentation.h"
#include "preview/HalfScale.h"

#include <algorithm>
#include <chrono>
#include <cstdint>

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#define LUMIVEX_HAVE_AVX2_KERNEL 1
#else
#define LUMIVEX_HAVE_AVX2_KERNEL 0
#endif

namespace lumivex {

OutputSurface::OutputSurface(int width, int height)
    : m_raster(width, height)
{
}

namespace {

// The reduction is compiled once per instruction set; its pieces must be inlined into
// each copy.
#if defined(__GNUC__)
#define LUMIVEX_ALWAYS_INLINE inline __attribute__((always_inline))
#else
#define LUMIVEX_ALWAYS_INLINE inline
#endif

constexpr std::uint32_t kRedBlue = 0x00FF00FFu;
constexpr std::uint32_t kGreen = 0x0000FF00u;

// Mean of four pixels per channel, (a + b + c + d + 2) / 4. Red and blue are summed in
// one word (each sum stays below 1024, far from the next lane), green in another.
LUMIVEX_ALWAYS_INLINE PackedColor mean4(PackedColor a, PackedColor b, PackedColor c, PackedColor d)
{
    const std::uint32_t rb = (a & kRedBlue) + (b & kRedBlue) + (c & kRedBlue) + (d & kRedBlue) + 0x00020002u;
    const std::uint32_t g = (a & kGreen) + (b & kGreen) + (c & kGreen) + (d & kGreen) + 0x00000200u;
    return ((rb >> 2) & kRedBlue) | ((g >> 2) & kGreen);
}

// Preview pixels from contiguous pixel pairs of two frame rows.
LUMIVEX_ALWAYS_INLINE void reducePairs(PackedColor* __restrict out, const PackedColor* __restrict pairsUpper,
    const PackedColor* __restrict pairsLower, int count)
{
    for (int i = 0; i < count; ++i)
        out[i] = mean4(pairsUpper[2 * i], pairsUpper[2 * i + 1], pairsLower[2 * i], pairsLower[2 * i + 1]);
}

// One preview row from frame rows `upper` (2j - 1, clamped) and `lower` (2j):
// out[0] from columns 0 and 0, out[i] from columns 2i - 1 and 2i. From column 1 on the
// pairs are contiguous, so the loop runs over pixel pairs.
void reduceRowPortable(PackedColor* out, const PackedColor* upper, const PackedColor* lower, int count)
{
    if (count < 1)
        return;
    out[0] = mean4(upper[0], upper[0], lower[0], lower[0]);
    reducePairs(out + 1, upper + 1, lower + 1, count - 1);
}

#if LUMIVEX_HAVE_AVX2_KERNEL
// Channel sums of the four pairs in eight pixels, as 16-bit lanes r, g, b, 0 per pair: a
// byte shuffle puts the same channel of a pair's two pixels side by side (and drops the
// top byte), multiply-add with ones sums them.
__attribute__((target("avx2"))) inline __m256i pairSumsAvx2(const PackedColor* row, __m256i sideBySide, __m256i ones)
{
    const __m256i pixels = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(row));
    return _mm256_maddubs_epi16(_mm256_shuffle_epi8(pixels, sideBySide), ones);
}

// Preview pixels from contiguous pixel pairs with AVX2, eight per step: pair sums of both
// rows added, then + 2, / 4 and packed back to bytes; the rest goes through the plain
// loop. kLong is for long rows: the frame is then too large to stay in cache between
// presentations, so the rows are fetched ahead and the output goes around the cache
// (out must be 32-byte aligned).
template <bool kLong>
__attribute__((target("avx2"))) inline void reducePairsAvx2(PackedColor* out, const PackedColor* u,
    const PackedColor* l, int pairs)
{
    const __m256i sideBySide = _mm256_setr_epi8(0, 4, 1, 5, 2, 6, -128, -128, 8, 12, 9, 13, 10, 14, -128, -128,
        0, 4, 1, 5, 2, 6, -128, -128, 8, 12, 9, 13, 10, 14, -128, -128);
    const __m256i ones = _mm256_set1_epi8(1);
    const __m256i two = _mm256_set1_epi16(2);
    // Asking for the rows 2 KiB ahead keeps both row streams coming while the arithmetic
    // runs.
    constexpr int kPrefetchPixels = 512;
    const int prefetchEnd = 2 * pairs - kPrefetchPixels;
    int i = 0;
    for (; i + 8 <= pairs; i += 8) {
        if (kLong && 2 * i < prefetchEnd) {
            _mm_prefetch(reinterpret_cast<const char*>(u + 2 * i + kPrefetchPixels), _MM_HINT_T0);
            _mm_prefetch(reinterpret_cast<const char*>(l + 2 * i + kPrefetchPixels), _MM_HINT_T0);
        }
        __m256i first = _mm256_add_epi16(pairSumsAvx2(u + 2 * i, sideBySide, ones),
            pairSumsAvx2(l + 2 * i, sideBySide, ones));
        __m256i second = _mm256_add_epi16(pairSumsAvx2(u + 2 * i + 8, sideBySide, ones),
            pairSumsAvx2(l + 2 * i + 8, sideBySide, ones));
        first = _mm256_srli_epi16(_mm256_add_epi16(first, two), 2);
        second = _mm256_srli_epi16(_mm256_add_epi16(second, two), 2);
        // packus interleaves the 128-bit halves; the permutation restores pair order.
        const __m256i packed = _mm256_permute4x64_epi64(_mm256_packus_epi16(first, second), 0xD8);
        if constexpr (kLong)
            _mm256_stream_si256(reinterpret_cast<__m256i*>(out + i), packed);
        else
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i), packed);
    }
    reducePairs(out + i, u + 2 * i, l + 2 * i, pairs - i);
}

// The same row as reduceRowPortable with AVX2. Long rows are written with streaming
// stores: a presentation then writes megabytes that nothing reads back soon, and going
// around the cache spares reading each output line first.
__attribute__((target("avx2"))) void reduceRowAvx2(PackedColor* out, const PackedColor* upper,
    const PackedColor* lower, int count)
{
    if (count < 1)
        return;
    out[0] = mean4(upper[0], upper[0], lower[0], lower[0]);
    PackedColor* o = out + 1;
    const PackedColor* u = upper + 1;
    const PackedColor* l = lower + 1;
    const int pairs = count - 1;

    constexpr int kLongRowPixels = 1024;
    if (pairs < kLongRowPixels) {
        reducePairsAvx2<false>(o, u, l, pairs);
        return;
    }
    const int head = static_cast<int>((32 - (reinterpret_cast<std::uintptr_t>(o) & 31)) & 31) / 4;
    reducePairs(o, u, l, head);
    reducePairsAvx2<true>(o + head, u + 2 * head, l + 2 * head, pairs - head);
    _mm_sfence(); // the streamed pixels are in place before anything after this row
}
#endif

RowKernel pickKernel()
{
#if LUMIVEX_HAVE_AVX2_KERNEL
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx2"))
        return reduceRowAvx2;
#endif
    return reduceRowPortable;
}

} // namespace

std::vector<NamedRowKernel> availableRowKernels()
{
    std::vector<NamedRowKernel> kernels = { { "portable", reduceRowPortable } };
#if LUMIVEX_HAVE_AVX2_KERNEL
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx2"))
        kernels.push_back({ "avx2", reduceRowAvx2 });
#endif
    return kernels;
}

namespace {

void reduceRow(PackedColor* out, const PackedColor* upper, const PackedColor* lower, int count)
{
    static const RowKernel chosen = pickKernel();
    chosen(out, upper, lower, count);
}

void clearRows(Layer& raster, int x, int y, int w, int h)
{
    if (w <= 0 || h <= 0)
        return;
    for (int row = y; row < y + h; ++row)
        std::fill_n(raster.row(row) + x, w, PackedColor{0});
}

} // namespace

// The frame is shown at half its own size with its top-left corner on the surface's and
// cut to width x height: a frame older than the latest resize shows black to its right
// and below when the client area grew, and only its top-left part when it shrank.
void presentPreview(OutputSurface& surface, const Layer* frame, int width, int height)
{
    Layer& raster = surface.raster();
    if (!raster.valid())
        return;
    width = std::clamp(width, 0, surface.width());
    height = std::clamp(height, 0, surface.height());

    int drawnWidth = 0;
    int drawnHeight = 0;
    if (frame && frame->valid()) {
        // Preview column i reads frame columns up to 2i; the last frame column and row
        // (and a last odd one) never reach the preview.
        drawnWidth = std::min(width, frame->width() / 2);
        drawnHeight = std::min(height, frame->height() / 2);
        if (drawnWidth < 1 || drawnHeight < 1)
            drawnWidth = drawnHeight = 0;
    }

    for (int j = 0; j < drawnHeight; ++j) {
        const PackedColor* upper = frame->row(j == 0 ? 0 : 2 * j - 1);
        const PackedColor* lower = frame->row(2 * j);
        reduceRow(raster.row(j), upper, lower, drawnWidth);
    }

    // Clear only what the last presentation covered and this one does not.
    const int oldWidth = surface.coveredWidth();
    const int oldHeight = surface.coveredHeight();
    clearRows(raster, drawnWidth, 0, oldWidth - drawnWidth, std::min(oldHeight, drawnHeight));
    clearRows(raster, 0, drawnHeight, oldWidth, oldHeight - drawnHeight);
    surface.setCovered(drawnWidth, drawnHeight);
}

bool PresentPacer::tryAcquire()
{
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    return tryAcquireAt(std::chrono::duration_cast<std::chrono::nanoseconds>(now).count());
}

bool PresentPacer::tryAcquireAt(std::int64_t nowNs)
{
    constexpr std::int64_t kIntervalNs = 1'000'000'000 / 61;
    if (m_any && nowNs - m_lastNs <= kIntervalNs)
        return false;
    m_any = true;
    m_lastNs = nowNs;
    return true;
}

} // namespace lumivex
