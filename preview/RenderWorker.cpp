#include "preview/RenderWorker.h"

#include "scene/Canvas.h"
#include "scene/RenderFrame.h"
#include "scene/SceneFont.h"

#include <condition_variable>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>
#include <utility>

namespace lumivex {

SwatchImages refreshSwatches(const SceneParams& params)
{
    const PackedColor colors[3] = { params.backgroundTop, params.backgroundBottom, params.textColor };
    SwatchImages images;
    for (std::size_t k = 0; k < images.size(); ++k) {
        images[k].create(kSwatchSize, kSwatchSize);
        images[k].fillRect(0, 0, kSwatchSize, kSwatchSize, colors[k] & kChannelMask);
    }
    return images;
}

// Everything the two threads share is guarded by `mutex`. Not shared: the constants set
// before the thread starts, the canvas (worker thread only) and the thread handle
// (user-interface thread only).
struct RenderWorker::State {
    const int dpiY;
    const Callbacks callbacks;
    const FrameRenderer renderer;

    mutable std::mutex mutex;
    std::condition_variable wake; // worker: a request or the stop flag arrived
    std::condition_variable idle; // waitUntilIdle: nothing runs and nothing is pending
    std::optional<SceneParams> pending;
    bool running = false;
    bool stopping = false;
    std::uint64_t started = 0;
    std::uint64_t finished = 0;
    Layer finishedFrame;
    bool hasFinishedFrame = false;
    SceneParams finishedParams;

    Canvas canvas; // worker thread only
    std::thread thread;

    State(int dpi, Callbacks cb, FrameRenderer r)
        : dpiY(dpi), callbacks(std::move(cb)), renderer(std::move(r)) {}

    void run();
    bool renderOne(const SceneParams& params);
    bool stopRequested()
    {
        std::lock_guard lock(mutex);
        return stopping;
    }
};

namespace {

bool drawableSize(const SceneParams& params)
{
    // The frame is twice the client size and has to fit a layer.
    constexpr std::int32_t maxSide = Layer::kMaxSide / 2;
    return params.width >= 1 && params.height >= 1 && params.width <= maxSide && params.height <= maxSide;
}

} // namespace

// Builds one frame into the canvas; true when the canvas's FrameLayer holds it whole.
bool RenderWorker::State::renderOne(const SceneParams& params)
{
    const bool drawable = drawableSize(params);
    std::unique_ptr<SceneFont> font;
    if (drawable && !renderer)
        font = buildSceneFont(params.fontName, params.fontStyle, fontEmHeight(params.fontSize, dpiY));

    if (callbacks.swatchesPainted) {
        SwatchImages swatches = refreshSwatches(params);
        if (!stopRequested()) {
            try {
                callbacks.swatchesPainted(swatches);
            } catch (...) {
                // The receiver's failure costs it the swatches, not the frame.
            }
        }
    }
    if (!drawable)
        return false;

    if (renderer)
        renderer(canvas, params);
    else
        renderFrame(canvas, params, font.get());

    const Layer& frame = canvas.layer(FrameLayer);
    return frame.valid() && frame.width() == 2 * params.width && frame.height() == 2 * params.height;
}

void RenderWorker::State::run()
{
    std::unique_lock lock(mutex);
    for (;;) {
        wake.wait(lock, [this] { return stopping || pending.has_value(); });
        if (stopping)
            break;
        // The render reads only this copy; the user-interface thread may go on changing
        // its own record and asking again meanwhile.
        const SceneParams params = std::move(*pending);
        pending.reset();
        running = true;
        ++started;
        lock.unlock();

        bool complete = false;
        try {
            complete = renderOne(params);
        } catch (...) {
            // Out of memory for the layers or the font: no frame this time.
            complete = false;
        }

        lock.lock();
        // Swapping hands over the finished pixels without a copy; the canvas gets the old
        // frame's storage back, which the next render makes anew anyway.
        if (complete)
            std::swap(finishedFrame, canvas.layer(FrameLayer));
        else
            finishedFrame.release();
        hasFinishedFrame = complete;
        finishedParams = params;
        const std::uint64_t sequence = ++finished;
        running = false;
        const bool notify = !stopping && callbacks.frameFinished;
        if (!pending)
            idle.notify_all();

        if (notify) {
            lock.unlock();
            try {
                callbacks.frameFinished(sequence);
            } catch (...) {
                // A receiver's failure is its own; the worker goes on serving requests.
            }
            lock.lock();
        }
    }
    running = false;
    pending.reset();
    idle.notify_all();
}

RenderWorker::RenderWorker(int dpiY, Callbacks callbacks)
    : RenderWorker(dpiY, std::move(callbacks), FrameRenderer{})
{
}

RenderWorker::RenderWorker(int dpiY, Callbacks callbacks, FrameRenderer renderer)
    : m_state(std::make_unique<State>(dpiY, std::move(callbacks), std::move(renderer)))
{
}

RenderWorker::~RenderWorker()
{
    {
        std::lock_guard lock(m_state->mutex);
        m_state->stopping = true;
        m_state->pending.reset();
    }
    m_state->wake.notify_all();
    if (m_state->thread.joinable())
        m_state->thread.join();
}

void RenderWorker::requestRender(const SceneParams& params)
{
    State& s = *m_state;
    {
        std::lock_guard lock(s.mutex);
        s.pending = params; // replaces an older pending request
    }
    if (!s.thread.joinable()) {
        // The thread is started with the first request; if it cannot be started the
        // request is dropped and the next one tries again.
        try {
            s.thread = std::thread([&s] { s.run(); });
        } catch (const std::system_error&) {
            std::lock_guard lock(s.mutex);
            s.pending.reset();
            s.idle.notify_all();
            return;
        }
    }
    s.wake.notify_one();
}

bool RenderWorker::isRenderRunning() const
{
    std::lock_guard lock(m_state->mutex);
    return m_state->running || m_state->pending.has_value();
}

void RenderWorker::waitUntilIdle()
{
    std::unique_lock lock(m_state->mutex);
    m_state->idle.wait(lock, [this] { return !m_state->running && !m_state->pending.has_value(); });
}

void RenderWorker::withFinishedFrame(const std::function<void(const Layer*, const SceneParams&)>& fn) const
{
    std::lock_guard lock(m_state->mutex);
    fn(m_state->hasFinishedFrame ? &m_state->finishedFrame : nullptr, m_state->finishedParams);
}

std::uint64_t RenderWorker::finishedFrameCount() const
{
    std::lock_guard lock(m_state->mutex);
    return m_state->finished;
}

std::uint64_t RenderWorker::rendersStarted() const
{
    std::lock_guard lock(m_state->mutex);
    return m_state->started;
}

} // namespace lumivex
