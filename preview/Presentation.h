#pragma once
// Preview presentation: the finished frame reduced by half into the OutputSurface.
//
// OutputSurface: a desktop-sized raster (PackedColor pixels, row 0 at the top), black
// when made, allocated once. presentPreview draws the frame reduced by half into its
// top-left width x height and leaves black everywhere else. Preview pixel (i, j) is the
// mean of frame columns 2i-1 and 2i and frame rows 2j-1 and 2j (-1 reads as 0), each
// channel (a + b + c + d + 2) / 4 in integers; black frame pixels average as black.
// Only the part of the surface that changed is written: the surface remembers what it
// covered last and clears only what the new image no longer covers.
// Runs on the user-interface thread.

#include "scene/Layer.h"

#include <cstdint>

namespace lumivex {

class OutputSurface {
public:
    OutputSurface(int width, int height);
    int width() const { return m_raster.width(); }
    int height() const { return m_raster.height(); }
    const Layer& raster() const { return m_raster; }
    Layer& raster() { return m_raster; }
    // Rectangle (0, 0)-(coveredWidth, coveredHeight) that may hold non-black pixels.
    int coveredWidth() const { return m_coveredWidth; }
    int coveredHeight() const { return m_coveredHeight; }
    void setCovered(int w, int h) { m_coveredWidth = w; m_coveredHeight = h; }

private:
    Layer m_raster;
    int m_coveredWidth = 0;
    int m_coveredHeight = 0;
};

// frame may be nullptr (no frame yet): the surface becomes all black. The frame is shown
// at half its own size: a frame of another size than 2 * width x 2 * height (rendered
// before the latest resize) fills what it reaches of the top-left width x height, the
// rest is black. width and height are clamped to the surface.
void presentPreview(OutputSurface& surface, const Layer* frame, int width, int height);

// Frame pacing: at most 61 presentations a second.
class PresentPacer {
public:
    // True when more than 1/61 s has passed since the last accepted presentation (and
    // then counts this one as the last).
    bool tryAcquire();
    // The same with the time given, in nanoseconds of a steady clock.
    bool tryAcquireAt(std::int64_t nowNs);

private:
    std::int64_t m_lastNs = 0;
    bool m_any = false;
};

} // namespace lumivex
