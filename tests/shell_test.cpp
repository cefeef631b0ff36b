// Main loop, window procedure, keys and camera on a real offscreen GL context, with the tick
// count driven by the test so that clock arithmetic is exact.
#include "platform/gl.h"
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <vector>

#include "app/shell.h"
#include "platform/platform.h"
#include "tests/fake_ticks.h"
#include "tests/gl_test_context.h"

namespace {

// Minimising, closing, resizing, the L key and held camera keys are tested from real window-system
// events in reliability_events_test.cpp; here what only the loop and the key step decide.
using LoopTest = LoopFixture;

}  // namespace

TEST_F(LoopTest, ClockAddsEachFramesMeasuredDuration) {
    ASSERT_TRUE(LiveIteration());
    EXPECT_EQ(frameMs, 10.0);
    EXPECT_EQ(demoTimeMs, 10.0);
    tickStep = 0;  // two reads within one tick add nothing
    ASSERT_TRUE(LiveIteration());
    EXPECT_EQ(frameMs, 0.0);
    EXPECT_EQ(demoTimeMs, 10.0);
}

TEST_F(LoopTest, FrameAcrossTickWrapMeasuresItsRealLength) {
    fakeTicks = 0xFFFFFFF0u;
    tickStep = 32;
    ASSERT_TRUE(LiveIteration());
    EXPECT_EQ(frameMs, 32.0);
    EXPECT_EQ(demoTimeMs, 32.0);
}

TEST_F(LoopTest, EndOfDemoRendersTheFrameThatStartsPastTheEndThenStops) {
    demoTimeMs = 124000.0;  // exactly the end: the show goes on
    EXPECT_TRUE(LiveIteration());
    EXPECT_EQ(FramesRendered(), 1);
    EXPECT_EQ(demoTimeMs, 124010.0);
    EXPECT_FALSE(LiveIteration());  // starts above the end: rendered, then the loop ends
    EXPECT_EQ(FramesRendered(), 2);
    EXPECT_EQ(demoTimeMs, 124020.0);
}

TEST_F(LoopTest, EscapeEndsWithoutRenderingButStillHandlesKeys) {
    keys[VK_ESCAPE] = 1;
    keys['L'] = 1;
    keys[VK_RIGHT] = 1;
    EXPECT_FALSE(LiveIteration());
    EXPECT_EQ(FramesRendered(), 0);
    EXPECT_EQ(demoTimeMs, 0.0);
    EXPECT_EQ(lightingOn, 0);
    EXPECT_EQ(camYaw, 0.5f);
}

TEST_F(LoopTest, PendingMessagesAreHandledOneAtATimeBeforeAnyFrame) {
    PlatformPostMessage({WM_KEYDOWN, 'L', 0});
    PlatformPostMessage({WM_KEYUP, 'L', 0});
    EXPECT_TRUE(LiveIteration());
    EXPECT_EQ(keys['L'], 1);
    EXPECT_EQ(FramesRendered(), 0);
    EXPECT_TRUE(LiveIteration());
    EXPECT_EQ(keys['L'], 0);
    EXPECT_EQ(FramesRendered(), 0);
    EXPECT_TRUE(LiveIteration());
    EXPECT_EQ(FramesRendered(), 1);
}

TEST(Camera, ForwardStepUsesAnglesFromBeforeThisFramesTurns) {
    std::fill(std::begin(keys), std::end(keys), 0);
    camX = camY = camZ = camYaw = camPitch = 0.0f;
    keys[VK_UP] = 1;
    keys[VK_NEXT] = 1;
    keys[VK_RIGHT] = 1;
    HandleFrameKeys();
    // Yaw 0 means w = -90 degrees: forward is -z; pitch 0 gives no vertical step.
    EXPECT_NEAR(camX, 0.0f, 1e-7f);
    EXPECT_FLOAT_EQ(camZ, -0.2f);
    EXPECT_EQ(camY, 0.0f);
    EXPECT_EQ(camPitch, 0.5f);
    EXPECT_EQ(camYaw, 0.5f);
}

TEST(Camera, VerticalStepIsTheFullSineOfPitch) {
    std::fill(std::begin(keys), std::end(keys), 0);
    camX = camY = camZ = camYaw = 0.0f;
    camPitch = 30.0f;
    keys[VK_UP] = 1;
    HandleFrameKeys();
    EXPECT_FLOAT_EQ(camY, -0.5f);
    EXPECT_FLOAT_EQ(camZ, static_cast<float>(-0.2 * std::cos(30.0 * 0.017453292519943295)));
    keys[VK_UP] = 0;
    keys[VK_DOWN] = 1;
    HandleFrameKeys();
    EXPECT_NEAR(camY, 0.0f, 1e-6f);
    EXPECT_NEAR(camZ, 0.0f, 1e-6f);
}

TEST_F(GlTest, CameraAtRestLeavesTheViewUnchangedAndMovesItOtherwise) {
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    ApplyCamera(0, 0, 0, 0, 0, 0);
    GLdouble m[16];
    glGetDoublev(GL_MODELVIEW_MATRIX, m);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(m[i], (i % 5 == 0) ? 1.0 : 0.0);
    // Rotations first, then the translation: the point one unit ahead of a camera at x = 1
    // turned 90 degrees to the right lands on the eye's -x axis.
    glLoadIdentity();
    ApplyCamera(1, 0, 0, 0, 90, 0);
    glGetDoublev(GL_MODELVIEW_MATRIX, m);
    double p[3] = {1, 0, -1};
    double out[3];
    for (int r = 0; r < 3; ++r) out[r] = m[r] * p[0] + m[4 + r] * p[1] + m[8 + r] * p[2] + m[12 + r];
    EXPECT_NEAR(out[0], -1.0, 1e-6);
    EXPECT_NEAR(out[1], 0.0, 1e-6);
    EXPECT_NEAR(out[2], 0.0, 1e-6);
    glLoadIdentity();
}

// Column-major, as GL keeps it: the rotation of `degrees` about one axis (0 x, 1 y, 2 z).
static void AxisRotation(int axis, double degrees, double r[16]) {
    const double a = degrees * 0.017453292519943295, c = std::cos(a), s = std::sin(a);
    for (int i = 0; i < 16; ++i) r[i] = (i % 5 == 0) ? 1.0 : 0.0;
    const int u = (axis + 1) % 3, v = (axis + 2) % 3;
    r[u * 4 + u] = c, r[v * 4 + v] = c, r[u * 4 + v] = s, r[v * 4 + u] = -s;
}

static void Multiply(const double a[16], const double b[16], double out[16]) {
    for (int col = 0; col < 4; ++col)
        for (int row = 0; row < 4; ++row) {
            out[col * 4 + row] = 0.0;
            for (int k = 0; k < 4; ++k) out[col * 4 + row] += a[k * 4 + row] * b[col * 4 + k];
        }
}

// All three angles at once: one at a time, any order of the rotations gives the same matrix.
TEST_F(GlTest, CameraTurnsByRollThenYawThenPitchThenMoves) {
    const double x = 0.5, y = -1.25, z = 2.0, roll = 20.0, yaw = 35.0, pitch = -50.0;
    double rz[16], ry[16], rx[16], t[16], m[16], step[16];
    AxisRotation(2, roll, rz);
    AxisRotation(1, yaw, ry);
    AxisRotation(0, pitch, rx);
    for (int i = 0; i < 16; ++i) t[i] = (i % 5 == 0) ? 1.0 : 0.0;
    t[12] = -x, t[13] = -y, t[14] = -z;
    Multiply(rz, ry, step);
    Multiply(step, rx, m);
    Multiply(m, t, step);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    ApplyCamera(static_cast<float>(x), static_cast<float>(y), static_cast<float>(z), static_cast<float>(roll),
                static_cast<float>(yaw), static_cast<float>(pitch));
    GLdouble got[16];
    glGetDoublev(GL_MODELVIEW_MATRIX, got);
    for (int i = 0; i < 16; ++i) EXPECT_NEAR(got[i], step[i], 1e-5) << "element " << i;
    glLoadIdentity();
}

TEST(WindowProcedure, RecordsKeysActivationAndSwallowsScreenSaver) {
    std::fill(std::begin(keys), std::end(keys), 0);
    WindowProc(WM_KEYDOWN, VK_LEFT, 0);
    EXPECT_EQ(keys[VK_LEFT], 1);
    WindowProc(WM_KEYUP, VK_LEFT, 0);
    EXPECT_EQ(keys[VK_LEFT], 0);
    WindowProc(WM_KEYDOWN, 300, 0);  // out of range: ignored, nothing written past the array
    active = true;
    WindowProc(WM_ACTIVATE, 0x00010001u, 0);  // minimised
    EXPECT_FALSE(active);
    WindowProc(WM_ACTIVATE, 0x00000000u, 0);  // losing or gaining focus while visible
    EXPECT_TRUE(active);
    EXPECT_EQ(WindowProc(WM_SYSCOMMAND, SC_SCREENSAVE, 0), 0);
    EXPECT_EQ(WindowProc(WM_SYSCOMMAND, SC_MONITORPOWER, 0), 0);
}

// Full screen keeps the desktop mode: the picture takes the largest centred 4:3 area and the
// viewport, projection and clears follow that area, leaving black bars around it. The test's own
// window stands in for the desktop-sized one and is put back afterwards.
TEST_F(GlTest, FullScreenLetterboxedAreaDrivesTheViewport) {
    PlatformChangeDisplayMode(1024, 768, 32);
    ASSERT_TRUE(PlatformInjectEvent(PlatformEvent::Resize, 1280, 1024));
    int w = 0, h = 0, x = -1, y = -1;
    glDisable(GL_SCISSOR_TEST);
    PlatformPictureSize(&w, &h);
    EXPECT_FALSE(glIsEnabled(GL_SCISSOR_TEST)) << "asking for the picture's size set the scissor";
    PlatformPictureOrigin(&x, &y);
    EXPECT_EQ(w, 1280);
    EXPECT_EQ(h, 960);
    EXPECT_EQ(x, 0);
    EXPECT_EQ(y, 32);
    ResizeViewport(w, h);
    GLint vp[4], scissor[4];
    glGetIntegerv(GL_VIEWPORT, vp);
    glGetIntegerv(GL_SCISSOR_BOX, scissor);
    EXPECT_EQ(std::vector<GLint>(vp, vp + 4), (std::vector<GLint>{0, 32, 1280, 960}));
    EXPECT_EQ(std::vector<GLint>(scissor, scissor + 4), (std::vector<GLint>{0, 32, 1280, 960}));
    EXPECT_TRUE(glIsEnabled(GL_SCISSOR_TEST));

    PlatformRestoreDisplayMode();
    PlatformSetPictureAspect(0, 0);  // the mode change left the aspect set; later cases run without
    EXPECT_TRUE(PlatformInjectEvent(PlatformEvent::Resize, 1024, 768));
    PlatformPictureSize(&w, &h);  // origin back to the corner
    PlatformDiscardMessages();
    glDisable(GL_SCISSOR_TEST);
    ResizeViewport(1024, 768);
}
