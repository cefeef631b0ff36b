// The live player on a real X display with a window manager (run by run-on-desktop under a
// virtual X server): the cursor and focus in full screen, and frame pacing where the swap
// interval is not honoured, as on a virtual X server.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <vector>
#include <cstdlib>

#include "app/player.h"
#include "app/shell.h"
#include "app/startup.h"
#include "platform/platform.h"

namespace {

// Lets the window system's messages arrive and be handled, without rendering.
void Pump(std::chrono::milliseconds span) {
    auto end = std::chrono::steady_clock::now() + span;
    WindowMessage msg;
    while (std::chrono::steady_clock::now() < end) {
        while (PlatformPeekMessage(msg)) WindowProc(msg.message, msg.wParam, msg.lParam);
    }
}

// Live frames rendered in a stretch of wall time.
int FramesIn(std::chrono::milliseconds span) {
    auto end = std::chrono::steady_clock::now() + span;
    double start = demoTimeMs;
    int frames = 0;
    while (std::chrono::steady_clock::now() < end) {
        double before = demoTimeMs;
        EXPECT_TRUE(LiveIteration());
        if (demoTimeMs != before) ++frames;
    }
    EXPECT_GT(demoTimeMs, start);
    return frames;
}

}  // namespace

class Desktop : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(getenv("DISPLAY"), nullptr) << "run this under run-on-desktop";
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        ASSERT_TRUE(PlatformOpenDisplay());
        PlatformSetPictureAspect(1024, 768);
    }
};

TEST_F(Desktop, FullScreenHidesTheCursorForTheShowAndTakesTheFocus) {
    ASSERT_TRUE(CreateDemoWindow("Brimvale desktop test", 1024, 768, 32, true));
    Pump(std::chrono::milliseconds(500));
    EXPECT_FALSE(PlatformCursorShown()) << "the cursor shows over the full-screen show";
    EXPECT_TRUE(PlatformHasFocus()) << "the show's window does not have the keyboard";
    DestroyDemoWindow();
    EXPECT_TRUE(PlatformCursorShown()) << "the cursor stays hidden after the show";
}

TEST_F(Desktop, WithoutVerticalBlankTheLoopPacesItselfAndFpsCapsIt) {
    // A virtual X server does not wait for a vertical blank: the loop paces itself, at the
    // display's rate (60 Hz where it reports none), and --fps caps it lower. A small window
    // keeps each frame cheap on a busy machine.
    ASSERT_TRUE(CreateDemoWindow("Brimvale desktop test", 160, 120, 32, false));
    Pump(std::chrono::milliseconds(200));
    demoTimeMs = 10000.0;
    int free = FramesIn(std::chrono::milliseconds(1000));
    double refresh = PlatformRefreshRate() > 0 ? PlatformRefreshRate() : 60.0;
    EXPECT_TRUE(pacingActive);
    EXPECT_LE(free, refresh * 1.25) << "unpaced";
    EXPECT_GE(free, refresh * 0.3);
    paceFpsCap = 20.0;
    int capped = FramesIn(std::chrono::milliseconds(1000));
    EXPECT_LE(capped, 25);
    EXPECT_GE(capped, 10);
    paceFpsCap = 0.0;
    DestroyDemoWindow();
}

// Not a test: the figure for BENCHMARKS.md. The whole show live in a window, the music's distance
// from the picture taken every frame. Run with --gtest_also_run_disabled_tests.
TEST_F(Desktop, DISABLED_MusicDriftOverAWholeLiveRun) {
    ASSERT_TRUE(CreateDemoWindow("Brimvale drift", 1024, 768, 32, false));
    std::vector<double> drift;
    demoTimeMs = 0.0;
    while (LiveIteration() && demoTimeMs <= 124000.0) {
        static double last = -1.0;
        if (demoTimeMs != last && musicStarted && demoTimeMs > 2500.0 && demoTimeMs < 121000.0)
            drift.push_back(musicDriftMs);
        last = demoTimeMs;
    }
    ASSERT_FALSE(drift.empty());
    double mean = 0.0;
    for (double d : drift) mean += d / static_cast<double>(drift.size());
    std::sort(drift.begin(), drift.end(), [](double a, double b) { return std::fabs(a) < std::fabs(b); });
    printf("frames %zu, drift mean %+.1f ms, |drift| median %.1f ms, p95 %.1f ms, max %.1f ms, moves %d\n",
           drift.size(), mean, std::fabs(drift[drift.size() / 2]), std::fabs(drift[drift.size() * 95 / 100]),
           std::fabs(drift.back()), musicRepositions);
    DestroyDemoWindow();
}
