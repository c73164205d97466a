#include "preview/Presentation.h"

#include <algorithm>
#include <chrono>

namespace lumivex {

OutputSurface::OutputSurface(int width, int height)
    : m_raster(width, height)
{
}

namespace {

constexpr std::uint32_t kRedBlue = 0x00FF00FFu;
constexpr std::uint32_t kGreen = 0x0000FF00u;

// Mean of four pixels per channel, (a + b + c + d + 2) / 4. Red and blue are summed in
// one word (each sum stays below 1024, far from the next lane), green in another.
inline PackedColor mean4(PackedColor a, PackedColor b, PackedColor c, PackedColor d)
{
    const std::uint32_t rb = (a & kRedBlue) + (b & kRedBlue) + (c & kRedBlue) + (d & kRedBlue) + 0x00020002u;
    const std::uint32_t g = (a & kGreen) + (b & kGreen) + (c & kGreen) + (d & kGreen) + 0x00000200u;
    return ((rb >> 2) & kRedBlue) | ((g >> 2) & kGreen);
}

// One preview row from frame rows `upper` (2j - 1, clamped) and `lower` (2j):
// out[0] from columns 0 and 0, out[i] from columns 2i - 1 and 2i.
void reduceRow(PackedColor* __restrict out, const PackedColor* __restrict upper,
    const PackedColor* __restrict lower, int count)
{
    out[0] = mean4(upper[0], upper[0], lower[0], lower[0]);
    const PackedColor* u = upper + 1;
    const PackedColor* l = lower + 1;
    for (int i = 1; i < count; ++i) {
        const int k = 2 * (i - 1);
        out[i] = mean4(u[k], u[k + 1], l[k], l[k + 1]);
    }
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
