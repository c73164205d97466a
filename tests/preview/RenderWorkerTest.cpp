#include "preview/RenderWorker.h"

#include "scene/Canvas.h"
#include "scene/RenderFrame.h"
#include "scene/SceneFont.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <new>
#include <stdexcept>
#include <thread>
#include <vector>

namespace lumivex {
namespace {

// A render that paints the whole frame in params.textColor, row by row, and can be held
// at its start until the test lets it go.
class GatedRenderer {
public:
    RenderWorker::FrameRenderer renderer()
    {
        return [this](Canvas& canvas, const SceneParams& params) { render(canvas, params); };
    }

    // Renders from now on wait at their start until open() (or one release()).
    void close()
    {
        std::lock_guard lock(m_mutex);
        m_open = false;
    }
    void open()
    {
        {
            std::lock_guard lock(m_mutex);
            m_open = true;
        }
        m_changed.notify_all();
    }
    void waitUntilEntered(int count)
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [&] { return static_cast<int>(m_seen.size()) >= count; });
    }
    std::vector<SceneParams> seen() const
    {
        std::lock_guard lock(m_mutex);
        return m_seen;
    }
    bool inside() const { return m_inside.load(); }

private:
    void render(Canvas& canvas, const SceneParams& params)
    {
        m_inside = true;
        {
            std::unique_lock lock(m_mutex);
            m_seen.push_back(params);
            m_changed.notify_all();
            m_changed.wait(lock, [&] { return m_open; });
        }
        canvas.createLayer(FrameLayer, 2 * params.width, 2 * params.height);
        Layer& frame = canvas.layer(FrameLayer);
        for (int y = 0; y < frame.height(); ++y)
            frame.paintRow(0, y, frame.width(), params.textColor);
        m_inside = false;
    }

    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_open = true;
    std::vector<SceneParams> m_seen;
    std::atomic<bool> m_inside{ false };
};

SceneParams smallParams(PackedColor color, int width = 6, int height = 4)
{
    SceneParams p;
    p.width = width;
    p.height = height;
    p.textColor = color;
    return p;
}

// Every pixel of the finished frame has `color`, and the frame has the size of `params`.
::testing::AssertionResult frameIsFilled(const RenderWorker& worker, PackedColor color, const SceneParams& params)
{
    ::testing::AssertionResult result = ::testing::AssertionSuccess();
    worker.withFinishedFrame([&](const Layer* frame, const SceneParams& from) {
        if (!frame) {
            result = ::testing::AssertionFailure() << "no frame";
            return;
        }
        if (!(from == params))
            result = ::testing::AssertionFailure() << "frame from another record";
        if (frame->width() != 2 * params.width || frame->height() != 2 * params.height)
            result = ::testing::AssertionFailure() << "frame is " << frame->width() << "x" << frame->height();
        for (PackedColor px : frame->pixels())
            if (px != color) {
                result = ::testing::AssertionFailure() << "pixel " << std::hex << px << " instead of " << color;
                return;
            }
    });
    return result;
}

class RenderWorkerTest : public ::testing::Test {
protected:
    GatedRenderer gate;
    std::atomic<int> finishedCalls{ 0 };
    std::unique_ptr<RenderWorker> worker = std::make_unique<RenderWorker>(
        96, RenderWorker::Callbacks{ {}, [this](std::uint64_t) { ++finishedCalls; } }, gate.renderer());
};

TEST_F(RenderWorkerTest, RequestWhileRunningRunsExactlyOneFollowUp)
{
    EXPECT_FALSE(worker->isRenderRunning());
    gate.close();
    worker->requestRender(smallParams(0x0000AA));
    EXPECT_TRUE(worker->isRenderRunning());
    gate.waitUntilEntered(1);

    const SceneParams second = smallParams(0x00BB00, 5, 3);
    worker->requestRender(second);
    EXPECT_TRUE(worker->isRenderRunning());
    EXPECT_EQ(worker->rendersStarted(), 1u);

    gate.open();
    worker->waitUntilIdle();
    EXPECT_FALSE(worker->isRenderRunning());
    EXPECT_EQ(worker->rendersStarted(), 2u);
    EXPECT_EQ(worker->finishedFrameCount(), 2u);
    ASSERT_EQ(gate.seen().size(), 2u);
    EXPECT_EQ(gate.seen()[1], second);
    EXPECT_TRUE(frameIsFilled(*worker, 0x00BB00, second));
}

TEST_F(RenderWorkerTest, BurstDuringOneRenderCoalescesIntoOneFollowUpWithTheLastRecord)
{
    gate.close();
    worker->requestRender(smallParams(1));
    gate.waitUntilEntered(1);
    SceneParams last;
    for (int k = 0; k < 1000; ++k) {
        last = smallParams(0x010000u + static_cast<PackedColor>(k), 3 + k % 5, 2 + k % 3);
        worker->requestRender(last);
    }
    gate.open();
    worker->waitUntilIdle();

    EXPECT_EQ(worker->rendersStarted(), 2u);
    const std::vector<SceneParams> seen = gate.seen();
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[1], last);
    EXPECT_TRUE(frameIsFilled(*worker, last.textColor, last));
}

TEST_F(RenderWorkerTest, RequestAfterIdleStartsANewRender)
{
    for (int k = 1; k <= 3; ++k) {
        const SceneParams p = smallParams(static_cast<PackedColor>(k));
        worker->requestRender(p);
        worker->waitUntilIdle();
        EXPECT_EQ(worker->rendersStarted(), static_cast<std::uint64_t>(k));
        EXPECT_TRUE(frameIsFilled(*worker, p.textColor, p));
    }
    worker.reset(); // joins, so every callback has been made
    EXPECT_EQ(finishedCalls.load(), 3);
}

TEST_F(RenderWorkerTest, NoFrameBeforeTheFirstRenderAndAfterAnEmptySize)
{
    worker->withFinishedFrame([](const Layer* frame, const SceneParams&) { EXPECT_EQ(frame, nullptr); });

    worker->requestRender(smallParams(7));
    worker->waitUntilIdle();
    EXPECT_TRUE(frameIsFilled(*worker, 7, smallParams(7)));

    const struct { int width, height; } emptySizes[] = { { 0, 4 }, { 6, 0 }, { -3, 4 }, { 6, -1 }, { 9000, 4 } };
    for (const auto& size : emptySizes) {
        worker->requestRender(smallParams(7));
        worker->waitUntilIdle();
        worker->requestRender(smallParams(8, size.width, size.height));
        worker->waitUntilIdle();
        worker->withFinishedFrame([&](const Layer* frame, const SceneParams& from) {
            EXPECT_EQ(frame, nullptr) << size.width << "x" << size.height;
            EXPECT_EQ(from.width, size.width);
        });
    }
    // The renderer is never asked to draw an empty or oversized frame.
    for (const SceneParams& p : gate.seen())
        EXPECT_EQ(p.textColor, 7u);
}

TEST_F(RenderWorkerTest, ReadersNeverSeeAFrameBeingBuilt)
{
    // The user-interface side keeps asking and reading while renders run: every frame it
    // sees is complete and belongs to the record it is reported with.
    for (int k = 0; k < 300; ++k) {
        const SceneParams p = smallParams(0x100 + static_cast<PackedColor>(k), 20 + k % 7, 10 + k % 5);
        worker->requestRender(p);
        worker->withFinishedFrame([&](const Layer* frame, const SceneParams& from) {
            if (!frame)
                return;
            ASSERT_EQ(frame->width(), 2 * from.width);
            ASSERT_EQ(frame->height(), 2 * from.height);
            for (PackedColor px : frame->pixels())
                ASSERT_EQ(px, from.textColor);
        });
    }
    worker->waitUntilIdle();
    const SceneParams last = smallParams(0x100 + 299, 20 + 299 % 7, 10 + 299 % 5);
    EXPECT_TRUE(frameIsFilled(*worker, last.textColor, last));
}

TEST_F(RenderWorkerTest, DestructorDuringARenderWaitsForItAndStopsCleanly)
{
    gate.close();
    worker->requestRender(smallParams(1));
    gate.waitUntilEntered(1);
    worker->requestRender(smallParams(2)); // pending: dropped by the destructor

    std::thread opener([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        gate.open();
    });
    worker.reset();
    // The destructor returned only after the render ended; nothing runs any more.
    EXPECT_FALSE(gate.inside());
    opener.join();
    const std::size_t renders = gate.seen().size();
    EXPECT_GE(renders, 1u);
    EXPECT_LE(renders, 2u);
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(gate.seen().size(), renders);
}

TEST(RenderWorkerDestructor, WithoutAnyRequestOrRightAfterOne)
{
    { RenderWorker idle; }
    for (int k = 0; k < 20; ++k) {
        GatedRenderer gate;
        RenderWorker worker(96, {}, gate.renderer());
        worker.requestRender(smallParams(static_cast<PackedColor>(k)));
        worker.requestRender(smallParams(static_cast<PackedColor>(k + 1)));
    }
}

TEST(RenderWorkerCallbacks, SwatchesAndFramesAreReportedForEveryRender)
{
    std::mutex mutex;
    std::vector<PackedColor> swatchColors;
    std::vector<std::uint64_t> sequences;
    GatedRenderer gate;
    {
        RenderWorker::Callbacks callbacks;
        callbacks.swatchesPainted = [&](const SwatchImages& images) {
            std::lock_guard lock(mutex);
            for (const Layer& image : images)
                swatchColors.push_back(image.pixel(kSwatchSize - 1, kSwatchSize - 1));
        };
        callbacks.frameFinished = [&](std::uint64_t sequence) {
            std::lock_guard lock(mutex);
            sequences.push_back(sequence);
        };
        RenderWorker worker(96, callbacks, gate.renderer());
        for (PackedColor text : { 0x000001u, 0x000002u }) {
            SceneParams p = smallParams(text);
            p.backgroundTop = 0xAB112233;
            p.backgroundBottom = 0x00445566;
            worker.requestRender(p);
            worker.waitUntilIdle();
        }
        // An empty size still paints the swatches and reports a (missing) frame.
        worker.requestRender(smallParams(3, 0, 0));
        worker.waitUntilIdle();
    }
    const std::vector<PackedColor> expectedSwatches = { 0x112233, 0x445566, 0x000001, 0x112233, 0x445566,
        0x000002, 0xF0F0F0, 0x707070, 0x000003 };
    EXPECT_EQ(swatchColors, expectedSwatches);
    EXPECT_EQ(sequences, (std::vector<std::uint64_t>{ 1, 2, 3 }));
}

TEST(RenderWorkerFailures, AFailingRenderOrReceiverCostsOnlyItsOwnPart)
{
    // The renderer runs out of memory for one record; the swatch receiver always fails,
    // the frame receiver on its first call. The worker keeps serving requests, a failed
    // render leaves no frame (not the one before it), and the next render is whole again.
    constexpr PackedColor kFailing = 0xBAD;
    std::atomic<int> swatchCalls{ 0 };
    std::atomic<int> frameCalls{ 0 };
    RenderWorker::Callbacks callbacks;
    callbacks.swatchesPainted = [&](const SwatchImages&) {
        ++swatchCalls;
        throw std::runtime_error("receiver gone");
    };
    callbacks.frameFinished = [&](std::uint64_t) {
        if (++frameCalls == 1)
            throw std::runtime_error("receiver busy");
    };
    auto renderer = [](Canvas& canvas, const SceneParams& params) {
        if (params.textColor == kFailing)
            throw std::bad_alloc();
        canvas.createLayer(FrameLayer, 2 * params.width, 2 * params.height);
        canvas.layer(FrameLayer).fillRect(0, 0, 2 * params.width, 2 * params.height, params.textColor);
    };
    {
        RenderWorker worker(96, callbacks, renderer);
        const PackedColor colours[] = { 0x000011, kFailing, 0x000022 };
        for (const PackedColor colour : colours) {
            SCOPED_TRACE(colour);
            const SceneParams p = smallParams(colour);
            worker.requestRender(p);
            worker.waitUntilIdle();
            EXPECT_FALSE(worker.isRenderRunning());
            if (colour == kFailing)
                worker.withFinishedFrame([](const Layer* frame, const SceneParams&) { EXPECT_EQ(frame, nullptr); });
            else
                EXPECT_TRUE(frameIsFilled(worker, colour, p));
        }
        EXPECT_EQ(worker.finishedFrameCount(), 3u);
    }
    EXPECT_EQ(swatchCalls.load(), 3);
    EXPECT_EQ(frameCalls.load(), 3);
}

TEST(RefreshSwatches, PaintsTheThreeColoursExactlyWithoutTheTopByte)
{
    const struct { PackedColor top, bottom, text; } cases[] = {
        { 0xF0F0F0, 0x707070, 0x202090 },
        { 0x000000, 0xFFFFFF, 0x010203 },
        { 0xFF000001, 0x7F808080, 0xFFFFFFFF },
    };
    for (const auto& c : cases) {
        SceneParams p;
        p.backgroundTop = c.top;
        p.backgroundBottom = c.bottom;
        p.textColor = c.text;
        const SwatchImages images = refreshSwatches(p);
        const PackedColor expected[3] = { c.top & 0xFFFFFF, c.bottom & 0xFFFFFF, c.text & 0xFFFFFF };
        for (int k = 0; k < 3; ++k) {
            ASSERT_EQ(images[k].width(), kSwatchSize);
            ASSERT_EQ(images[k].height(), kSwatchSize);
            for (PackedColor px : images[k].pixels())
                ASSERT_EQ(px, expected[k]) << "swatch " << k << " of case " << std::hex << c.top;
        }
    }
}

// The real path: font built from the record, the whole render pass. The worker's last
// frame equals a render of the last record made here directly.
TEST(RenderWorkerRealRender, LastFrameMatchesTheLastRecord)
{
    RenderWorker worker(96);
    SceneParams p;
    p.width = 120;
    p.height = 40;
    p.fontSize = 8;
    const char* texts[] = { "Ab", "Glas", "xyz", "Lumivex" };
    for (const char* text : texts) {
        p.text = text;
        p.brightnessUp += 0.05f;
        worker.requestRender(p);
    }
    worker.waitUntilIdle();

    Canvas canvas;
    const auto font = buildSceneFont(p.fontName, p.fontStyle, fontEmHeight(p.fontSize, 96));
    renderFrame(canvas, p, font.get());
    const Layer& expected = canvas.layer(FrameLayer);
    ASSERT_TRUE(expected.valid());
    worker.withFinishedFrame([&](const Layer* frame, const SceneParams& from) {
        ASSERT_NE(frame, nullptr);
        EXPECT_EQ(from, p);
        EXPECT_EQ(frame->width(), expected.width());
        EXPECT_EQ(frame->height(), expected.height());
        EXPECT_TRUE(frame->pixels() == expected.pixels());
    });
}

} // namespace
} // namespace lumivex
