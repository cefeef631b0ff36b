// Window and key events as the user makes them: real SDL events put into SDL's queue through the
// platform hook, translated by PlatformPeekMessage and handled by the main loop, with the tick
// count driven by the test.
#include <SDL.h>
#include <gtest/gtest.h>
#include <time.h>

#include <chrono>
#include <cmath>
#include <thread>

#include "app/shell.h"
#include "app/startup.h"
#include "platform/gl.h"
#include "platform/platform.h"
#include "tests/fake_ticks.h"
#include "tests/gl_test_context.h"

namespace {

double ProcessCpuMs() {
    timespec ts = {};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return ts.tv_sec * 1000.0 + ts.tv_nsec / 1e6;
}

class EventPump : public LoopFixture {
protected:
    void SetUp() override {
        LoopFixture::SetUp();
        if (IsSkipped()) return;
        fakeTicks = 5000;
        Drain();
    }
    void TearDown() override {
        if (!IsSkipped()) {
            PlatformInjectEvent(PlatformEvent::Resize, 1024, 768);
            Drain();
        }
        LoopFixture::TearDown();
    }
    // Handles every queued message through the loop, as it would between frames.
    void Drain() {
        WindowMessage msg;
        while (PlatformPeekMessage(msg)) WindowProc(msg.message, msg.wParam, msg.lParam);
    }
    // Runs loop iterations until one renders a frame (or the loop ends); returns the iterations.
    int IterateToNextFrame() {
        int before = FramesRendered();
        int n = 0;
        while (FramesRendered() == before && n < 1000) {
            ++n;
            if (!LiveIteration()) break;
        }
        return n;
    }
    static void Viewport(GLint vp[4]) { glGetIntegerv(GL_VIEWPORT, vp); }
    static double Aspect() {
        GLdouble proj[16];
        glGetDoublev(GL_PROJECTION_MATRIX, proj);
        return proj[5] / proj[0];
    }
};

}  // namespace

TEST_F(EventPump, MinimisedLoopSleepsStillClockAndWakesForAPostFromAnotherThread) {
    IterateToNextFrame();
    IterateToNextFrame();
    ASSERT_EQ(demoTimeMs, 20.0);
    ASSERT_TRUE(PlatformInjectEvent(PlatformEvent::Minimise));
    ASSERT_TRUE(LiveIteration());
    ASSERT_FALSE(active);
    ASSERT_TRUE(LiveIteration());
    EXPECT_TRUE(LiveWaiting()) << "one iteration never blocks; it says the show is held";

    // Nothing is pending: the desktop loop must block, not spin, until another thread posts a key.
    std::thread poster([] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        PlatformPostMessage({WM_KEYDOWN, VK_RIGHT, 0});
    });
    auto wallStart = std::chrono::steady_clock::now();
    double cpuStart = ProcessCpuMs();
    int iterations = 0;
    while (!keys[VK_RIGHT] && iterations < 100000) {
        ++iterations;
        ASSERT_TRUE(DesktopLiveIteration());
    }
    double cpuMs = ProcessCpuMs() - cpuStart;
    double wallMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - wallStart).count();
    poster.join();
    EXPECT_EQ(keys[VK_RIGHT], 1) << "the posted key never arrived";
    EXPECT_GE(wallMs, 250.0);
    EXPECT_LE(iterations, 5) << "the loop spun while minimised";
    EXPECT_LT(cpuMs, 60.0) << "CPU time over " << wallMs << " ms minimised";
    EXPECT_EQ(FramesRendered(), 2);
    EXPECT_EQ(demoTimeMs, 20.0);
    EXPECT_EQ(camYaw, 0.0f);  // keys wait for the next frame

    // The window system's restore, pushed from another thread, wakes the loop as well.
    std::thread restorer([] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        PlatformInjectEvent(PlatformEvent::Restore);
    });
    iterations = 0;
    while (!active && iterations < 100000) {
        ++iterations;
        ASSERT_TRUE(DesktopLiveIteration());
    }
    restorer.join();
    EXPECT_TRUE(active);
    EXPECT_LE(iterations, 5);
    IterateToNextFrame();
    EXPECT_EQ(demoTimeMs, 30.0);  // picks up where it stood
    EXPECT_EQ(camYaw, 0.5f);
}

TEST_F(EventPump, ResizeToZeroHeightGivesAViewportOfOneThenFollowsTheWayBack) {
    ASSERT_TRUE(PlatformInjectEvent(PlatformEvent::Resize, 640, 0));
    IterateToNextFrame();
    GLint vp[4];
    Viewport(vp);
    EXPECT_EQ(vp[2], 640);
    EXPECT_EQ(vp[3], 1);
    EXPECT_NEAR(Aspect(), 640.0, 1e-3);  // the projection is kept in single precision
    EXPECT_EQ(demoTimeMs, 10.0);         // a frame into a one-pixel viewport still counts

    ASSERT_TRUE(PlatformInjectEvent(PlatformEvent::Resize, 800, 600));
    IterateToNextFrame();
    Viewport(vp);
    EXPECT_EQ(vp[2], 800);
    EXPECT_EQ(vp[3], 600);
    EXPECT_NEAR(Aspect(), 800.0 / 600.0, 1e-6);
}

TEST_F(EventPump, MaximisingFromMinimisedRestoresAndTheViewFollowsTheNewSize) {
    ASSERT_TRUE(PlatformInjectEvent(PlatformEvent::Minimise));
    ASSERT_TRUE(LiveIteration());
    ASSERT_FALSE(active);
    ASSERT_TRUE(PlatformInjectEvent(PlatformEvent::Maximise, 1600, 900));
    IterateToNextFrame();
    EXPECT_TRUE(active);
    GLint vp[4];
    Viewport(vp);
    EXPECT_EQ(vp[0], 0);
    EXPECT_EQ(vp[1], 0);
    EXPECT_EQ(vp[2], 1600);
    EXPECT_EQ(vp[3], 900);
    EXPECT_NEAR(Aspect(), 1600.0 / 900.0, 1e-6);
    EXPECT_EQ(FramesRendered(), 1);
}

TEST_F(EventPump, CloseMidShowEndsTheLoopBeforeAnotherFrame) {
    demoTimeMs = 60000.0;
    IterateToNextFrame();
    ASSERT_TRUE(PlatformInjectEvent(PlatformEvent::Close));
    int frames = FramesRendered();
    int iterations = 0;
    while (LiveIteration() && iterations < 10) ++iterations;
    EXPECT_LE(iterations, 2);  // the close, then the quit it posts
    EXPECT_EQ(FramesRendered(), frames);
    EXPECT_EQ(demoTimeMs, 60010.0);
}

TEST_F(EventPump, HeldEscapeWithRepeatsEndsTheLoopWithoutAFrame) {
    for (int i = 0; i < 5; ++i) ASSERT_TRUE(PlatformInjectEvent(PlatformEvent::KeyDown, VK_ESCAPE));
    int iterations = 0;
    while (LiveIteration() && iterations < 10) ++iterations;
    EXPECT_EQ(iterations, 5);  // one message per iteration, then the quit
    EXPECT_EQ(FramesRendered(), 0);
    EXPECT_EQ(demoTimeMs, 0.0);
}

TEST_F(EventPump, SecondPressOfLChangesNothing) {
    ASSERT_TRUE(PlatformInjectEvent(PlatformEvent::KeyDown, 'L'));
    IterateToNextFrame();
    EXPECT_EQ(lightingOn, 0);
    EXPECT_EQ(lightingKeyLatch, 1);
    EXPECT_FALSE(glIsEnabled(GL_LIGHTING));
    ASSERT_TRUE(PlatformInjectEvent(PlatformEvent::KeyUp, 'L'));
    IterateToNextFrame();
    EXPECT_EQ(keys['L'], 0);
    ASSERT_TRUE(PlatformInjectEvent(PlatformEvent::KeyDown, 'L'));
    IterateToNextFrame();
    EXPECT_EQ(keys['L'], 1);
    EXPECT_EQ(lightingOn, 0);
    EXPECT_FALSE(glIsEnabled(GL_LIGHTING));
}

TEST_F(EventPump, CameraKeysHeldForManyFramesKeepCameraAndViewFinite) {
    // Both directions of every key pair, one after the other, each held for many frames.
    const unsigned groups[2][3] = {{VK_UP, VK_LEFT, VK_PRIOR}, {VK_DOWN, VK_RIGHT, VK_NEXT}};
    const int kFrames = 400;
    demoTimeMs = 30000.0;  // a 3-D scene, seen through the moving camera
    for (const auto& group : groups) {
        for (unsigned k : group) ASSERT_TRUE(PlatformInjectEvent(PlatformEvent::KeyDown, static_cast<int>(k)));
        for (int i = 0; i < kFrames; ++i) IterateToNextFrame();
        for (unsigned k : group) ASSERT_TRUE(PlatformInjectEvent(PlatformEvent::KeyUp, static_cast<int>(k)));
        IterateToNextFrame();
    }
    // Each turn key was held for exactly kFrames frames, so the angles are back at 0.
    EXPECT_EQ(camYaw, 0.0f);
    EXPECT_EQ(camPitch, 0.0f);
    EXPECT_TRUE(std::isfinite(camX) && std::isfinite(camY) && std::isfinite(camZ));
    float x = camX, y = camY, z = camZ;
    IterateToNextFrame();
    EXPECT_EQ(camX, x);  // released keys move nothing
    EXPECT_EQ(camY, y);
    EXPECT_EQ(camZ, z);
    GLdouble m[16];
    demoTimeMs = 30000.0;
    IterateToNextFrame();
    glGetDoublev(GL_MODELVIEW_MATRIX, m);
    for (double v : m) EXPECT_TRUE(std::isfinite(v));
}

// Keys as SDL reports them, scancode and the keycode SDL gives it, through the platform to the
// loop's key array. The expected codes are the Windows virtual-key codes, written out here rather
// than taken from the platform's own table, so a wrong entry there cannot agree with itself.
TEST_F(EventPump, RealKeyEventsArriveAsTheirVirtualKeyCodes) {
    const struct {
        SDL_Scancode scancode;
        unsigned virtualKey;
    } kKeys[] = {
        {SDL_SCANCODE_ESCAPE, 27}, {SDL_SCANCODE_L, 76},  {SDL_SCANCODE_PAGEUP, 33}, {SDL_SCANCODE_PAGEDOWN, 34},
        {SDL_SCANCODE_LEFT, 37},   {SDL_SCANCODE_UP, 38}, {SDL_SCANCODE_RIGHT, 39},  {SDL_SCANCODE_DOWN, 40},
    };
    SDL_Window* window = SDL_GL_GetCurrentWindow();
    ASSERT_NE(window, nullptr);
    for (const auto& k : kKeys) {
        SCOPED_TRACE(SDL_GetScancodeName(k.scancode));
        for (bool down : {true, false}) {
            SDL_Event e = {};
            e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
            e.key.windowID = SDL_GetWindowID(window);
            e.key.state = down ? SDL_PRESSED : SDL_RELEASED;
            e.key.keysym.scancode = k.scancode;
            e.key.keysym.sym = SDL_GetKeyFromScancode(k.scancode);
            ASSERT_EQ(SDL_PushEvent(&e), 1);
            Drain();
            for (unsigned vk = 0; vk < 256; ++vk)
                ASSERT_EQ(keys[vk], down && vk == k.virtualKey ? 1 : 0) << "code " << vk;
        }
    }
}

TEST_F(EventPump, TickCountWrappingMidShowKeepsTheClockAndTheShowEndsOnTime) {
    InitSceneOnce();
    // Frames of 250 ms; the 32-bit count wraps about 60 s into the show.
    tickStep = 250;
    fakeTicks = 0xFFFFFFFFu - 60000u;
    demoTimeMs = 0.0;
    bool wrapped = false;
    bool running = true;
    int frames = 0;
    while (running && frames < 1000) {
        uint32_t before = fakeTicks;
        double clockBefore = demoTimeMs;
        int rendered = FramesRendered();
        running = LiveIteration();
        if (FramesRendered() == rendered) continue;
        ++frames;
        wrapped = wrapped || fakeTicks < before;
        ASSERT_EQ(frameMs, 250.0) << "frame " << frames;
        ASSERT_EQ(demoTimeMs, clockBefore + 250.0);
    }
    EXPECT_TRUE(wrapped);
    EXPECT_FALSE(running);
    EXPECT_EQ(frames, 124000 / 250 + 2);  // the frame at exactly the end, then one past it
    EXPECT_EQ(demoTimeMs, 124500.0);
    std::vector<uint8_t> px = ReadFramebuffer();
    size_t centre = (384 * 1024 + 512) * 4;
    EXPECT_EQ(px[centre], 255);
    EXPECT_EQ(px[centre + 1], 255);
    EXPECT_EQ(px[centre + 2], 255);
}
