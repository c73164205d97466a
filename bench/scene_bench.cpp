// Render pass against the cost of writing the frame once.
//
// BM_frameFloor writes the frame layer's bytes once (2w x 2h pixels of 4 bytes, one
// memset per row) into storage that is already paged in; BM_renderFrame runs the whole
// render pass of the default scene on a canvas reused between renders, as the worker
// does. Their ratio per size is the figure to watch. BM_renderFrameAllLayers also draws
// the layers a render leaves for first use (the preview never asks for them), to show
// what a render costs when every one of the seven layers is read afterwards.
//
// The font is the real default (the SceneFont of "Arial Black", fontSize 30 at 96 dpi);
// where no font can be built, a box font of the same size stands in (about 150 pixels
// per character, a 226-pixel cell).

#include "scene/Canvas.h"
#include "scene/RenderFrame.h"
#include "scene/SceneFont.h"
#include "scene/SceneParams.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

namespace {

using namespace lumivex;

std::unique_ptr<SceneFont> defaultFont()
{
    const SceneParams defaults;
    if (auto font = buildSceneFont(defaults.fontName, defaults.fontStyle, fontEmHeight(defaults.fontSize, 96)))
        return font;
    return std::make_unique<BoxFont>(150, 226, 40, 190);
}

SceneParams sceneOfSize(const benchmark::State& state)
{
    SceneParams params;
    params.width = static_cast<int>(state.range(0));
    params.height = static_cast<int>(state.range(1));
    return params;
}

void BM_renderFrame(benchmark::State& state)
{
    const SceneParams params = sceneOfSize(state);
    const std::unique_ptr<SceneFont> font = defaultFont();
    Canvas canvas;
    renderFrame(canvas, params, font.get()); // pages the layers in once
    for (auto _ : state) {
        renderFrame(canvas, params, font.get());
        benchmark::DoNotOptimize(canvas.layer(FrameLayer).pixels().data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * 16 * std::int64_t { params.width } * params.height);
}

void BM_renderFrameAllLayers(benchmark::State& state)
{
    const SceneParams params = sceneOfSize(state);
    const std::unique_ptr<SceneFont> font = defaultFont();
    Canvas canvas;
    renderFrame(canvas, params, font.get());
    benchmark::DoNotOptimize(canvas.layer(GradientLayer).pixels().data());
    for (auto _ : state) {
        renderFrame(canvas, params, font.get());
        benchmark::DoNotOptimize(canvas.layer(GradientLayer).pixels().data()); // draws the other four
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * 16 * std::int64_t { params.width } * params.height);
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
BENCHMARK(BM_renderFrameAllLayers)->Apply(frameSizes);
BENCHMARK(BM_frameFloor)->Apply(frameSizes);
