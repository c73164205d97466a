#pragma once
// RenderWorker: renders frames off the user-interface thread, one at a time.
//
// requestRender hands over a copy of the record (with width and height set to the
// preview's client size). If no render runs, one starts with that copy. If one runs, the
// copy is kept as the one pending request (a newer request replaces it); when the render
// ends, exactly one more render starts with the latest pending copy. So bursts coalesce
// and the last request always reaches a finished frame.
//
// The finished frame is kept apart from the layers being built: a render builds into the
// worker's own canvas and, when complete, swaps its FrameLayer into the finished slot.
// Readers see only finished frames (withFinishedFrame).
//
// Threads: requestRender, isRenderRunning and the destructor are called from one
// (user-interface) thread. The callbacks run on the worker thread; the receiver must hand
// them over to its own thread (they carry values, never references into the worker) and
// must not wait for that thread, which may be joining the worker in the destructor.
// The destructor lets a running render finish, drops any pending request and joins. A
// render that ends after the destructor has begun reports nothing, but a callback the
// worker was already about to make may still run while the destructor waits; none runs
// once it has returned.
//
// A record whose width or height is below 1, or too large for the frame's layers, gives
// "no frame": the finished frame becomes nullptr and the preview shows black.

#include "scene/Layer.h"
#include "scene/SceneParams.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>

namespace lumivex {

class Canvas;

// Swatch images 2, 12 and 42: 26 x 26 rasters in backgroundTop, backgroundBottom and
// textColor, painted anew by every render.
constexpr int kSwatchSize = 26;
using SwatchImages = std::array<Layer, 3>;
SwatchImages refreshSwatches(const SceneParams& params);

class RenderWorker {
public:
    struct Callbacks {
        // After the swatches of a render were painted.
        std::function<void(const SwatchImages&)> swatchesPainted;
        // After a frame was finished and stored; `sequence` counts finished frames.
        std::function<void(std::uint64_t sequence)> frameFinished;
    };

    // Renders params (width and height at least 1) into canvas's FrameLayer. The default
    // builds the SceneFont (em height fontEmHeight(fontSize, dpiY)) and runs renderFrame;
    // tests hand in their own to control how long a render takes.
    using FrameRenderer = std::function<void(Canvas& canvas, const SceneParams& params)>;

    explicit RenderWorker(int dpiY = 96, Callbacks callbacks = {});
    RenderWorker(int dpiY, Callbacks callbacks, FrameRenderer renderer);
    ~RenderWorker();
    RenderWorker(const RenderWorker&) = delete;
    RenderWorker& operator=(const RenderWorker&) = delete;

    void requestRender(const SceneParams& params);
    // True while a render runs or one is pending.
    bool isRenderRunning() const;
    // Blocks until no render runs or is pending (for the command-line renderer and tests).
    void waitUntilIdle();

    // Runs fn with the last finished frame and the record it was rendered from, while no
    // render can replace it. frame is nullptr before the first frame and when the last
    // render had a zero size.
    void withFinishedFrame(const std::function<void(const Layer* frame, const SceneParams& params)>& fn) const;
    std::uint64_t finishedFrameCount() const;
    // Number of renders started so far (for tests of coalescing).
    std::uint64_t rendersStarted() const;

private:
    struct State;
    std::unique_ptr<State> m_state;
};

} // namespace lumivex
