// Render pass against the cost of writing the frame once.
//
// BM_frameFloor writes the frame layer's bytes once (2w x 2h pixels of 4 bytes, one
// memset per row) into storage that is already paged in; BM_renderFrame runs the whole
// render pass of the default scene on a canvas reused between renders, as the worker
// does. Their ratio per size is the figure to watch.

#include "scene/Canvas.h"
#include "scene/RenderFrame.h"
#include "scene/SceneFont.h"
#include "scene/SceneParams.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <vector>

namespace {

using namespace lumivex;

// Sized like the default font (Arial Black substitute, fontSize 30 at 96 dpi, x4):
// about 150 pixels per character and a 226-pixel cell.
BoxFont defaultSizedFont()
{
    return BoxFont(150, 226, 40, 190);
}

void BM_renderFrame(benchmark::State& state)
{
    SceneParams params;
    params.width = static_cast<int>(state.range(0));
    params.height = static_cast<int>(state.range(1));
    const BoxFont font = defaultSizedFont();
    Canvas canvas;
    renderFrame(canvas, params, &font); // pages the layers in once
    for (auto _ : state) {
        renderFrame(canvas, params, &font);
        benchmark::DoNotOptimize(canvas.layer(FrameLayer).pixels().data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * 4 * params.width * params.height * 4);
}

void BM_frameFloor(benchmark::State& state)
{
    const auto width = static_cast<std::size_t>(2 * state.range(0));
    const auto height = static_cast<std::size_t>(2 * state.range(1));
    std::vector<std::uint32_t> frame(width * height, 1u);
    for (auto _ : state) {
        for (std::size_t y = 0; y < height; ++y)
            std::memset(frame.data() + y * width, 0, width * sizeof(std::uint32_t));
        benchmark::DoNotOptimize(frame.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * width * height * 4));
}

void frameSizes(benchmark::internal::Benchmark* b)
{
    b->Args({ 800, 200 })->Args({ 1920, 480 })->Args({ 3840, 1080 })->Unit(benchmark::kMicrosecond);
}

} // namespace

BENCHMARK(BM_renderFrame)->Apply(frameSizes);
BENCHMARK(BM_frameFloor)->Apply(frameSizes);
