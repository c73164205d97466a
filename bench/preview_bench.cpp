// Presentation and render-worker benchmarks.
//
// BM_presentPreview: one presentation of a frame at twice the preview size onto a
// 3840 x 2160 desktop surface, at the three preview sizes the scene benchmarks use, so
// that it can be set against BM_frameFloor of the same run.
// BM_requestToFrame: from requestRender after a parameter change to a finished frame
// ready to present, 800 x 200 with the real default font.

#include "preview/Presentation.h"
#include "preview/RenderWorker.h"

#include <benchmark/benchmark.h>

#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace {

using namespace lumivex;

void BM_presentPreview(benchmark::State& state)
{
    const int width = static_cast<int>(state.range(0));
    const int height = static_cast<int>(state.range(1));
    Layer frame(2 * width, 2 * height);
    // Rows of differing colours, so the reduction has real work in every channel.
    for (int y = 0; y < frame.height(); ++y)
        frame.paintRow(0, y, frame.width(), packColor(y & 0xFF, (3 * y) & 0xFF, (7 * y + 11) & 0xFF));
    for (int x = 0; x < frame.width(); x += 5)
        frame.fillRect(x, 0, 1, frame.height(), 0x00FF00FF);
    OutputSurface surface(3840, 2160);
    for (auto _ : state) {
        presentPreview(surface, &frame, width, height);
        benchmark::DoNotOptimize(surface.raster().row(0));
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(width) * height);
}
BENCHMARK(BM_presentPreview)->Args({ 800, 200 })->Args({ 1920, 480 })->Args({ 3840, 1080 })->Unit(benchmark::kMicrosecond);

void BM_requestToFrame(benchmark::State& state)
{
    std::mutex mutex;
    std::condition_variable finished;
    std::uint64_t lastSequence = 0;
    RenderWorker::Callbacks callbacks;
    callbacks.frameFinished = [&](std::uint64_t sequence) {
        {
            std::lock_guard lock(mutex);
            lastSequence = sequence;
        }
        finished.notify_all();
    };
    RenderWorker worker(96, callbacks);
    SceneParams params;
    params.width = 800;
    params.height = 200;
    std::uint64_t expected = 0;
    for (auto _ : state) {
        // A slider step: the band brightness changes, everything else stays.
        params.brightnessUp = (expected % 2 == 0) ? 0.6f : 0.61f;
        worker.requestRender(params);
        ++expected;
        std::unique_lock lock(mutex);
        finished.wait(lock, [&] { return lastSequence >= expected; });
    }
}
BENCHMARK(BM_requestToFrame)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
