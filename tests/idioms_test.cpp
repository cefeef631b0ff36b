// Shared scene idioms: the typed-text slicing without a context, then the fade-out overlay and the
// particle backdrop on a real one.
#include "platform/gl.h"
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>
#include <vector>

#include "render/material.h"
#include "render/particles.h"
#include "scenes/idioms.h"
#include "tests/gl_test_context.h"

namespace {

// ---- typed text slicing ----

const char* const kLines[] = {"FIRST LINE", "   ", "", "LAST COUNTED", "NEVER SHOWN"};
constexpr int kCounted = 4;
constexpr int kTotal = 10 + 3 + 0 + 12;

// r that makes trunc(total * r) equal n, safely inside the step.
float ROf(int n, int total) { return (static_cast<float>(n) + 0.5f) / static_cast<float>(total); }

struct Slice {
    int printed;
    std::vector<int> shown;
};

// Slices into a padded array so that writes past the counted lines are seen.
Slice SliceOf(const char* const* lines, int counted, float r) {
    std::vector<int> shown(counted + 4, -7);
    const int printed = TypedTextSlice(lines, counted, r, shown.data());
    for (int i = counted; i < counted + 4; ++i) EXPECT_EQ(shown[i], -7) << "wrote past line " << counted - 1;
    shown.resize(counted);
    return {printed, shown};
}

TEST(TypedTextSlice, EdgesOfTheTypedCount) {
    // n = 0, including NaN and negative r: nothing at all.
    for (float r : {0.0f, ROf(0, kTotal), -0.5f, std::numeric_limits<float>::quiet_NaN()})
        EXPECT_EQ(SliceOf(kLines, kCounted, r).printed, 0) << "r = " << r;
    // n = total (and beyond): every counted line whole, nothing past them.
    for (float r : {1.0f, 1.5f}) {
        const Slice s = SliceOf(kLines, kCounted, r);
        EXPECT_EQ(s.printed, kCounted);
        EXPECT_EQ(s.shown, (std::vector<int>{10, 3, 0, 12}));
    }
    // One short of the first line; then exactly it, with no empty partial line after it.
    EXPECT_EQ(SliceOf(kLines, kCounted, ROf(9, kTotal)).shown, (std::vector<int>{9, 0, 0, 0}));
    EXPECT_EQ(SliceOf(kLines, kCounted, ROf(10, kTotal)).printed, 1);
    // Blanks cost a step each; an empty line is passed for free.
    EXPECT_EQ(SliceOf(kLines, kCounted, ROf(12, kTotal)).shown, (std::vector<int>{10, 2, 0, 0}));
    EXPECT_EQ(SliceOf(kLines, kCounted, ROf(14, kTotal)).shown, (std::vector<int>{10, 3, 0, 1}));
}

TEST(TypedTextSlice, LinesLongerThanTheBufferAreCutNotOverrun) {
    const std::string longLine(60, 'X');
    const char* const lines[] = {longLine.c_str(), "AB"};
    // The cut line still costs all its 60 steps before the next one starts.
    EXPECT_EQ(SliceOf(lines, 2, ROf(55, 62)).shown, (std::vector<int>{49, 0}));
    EXPECT_EQ(SliceOf(lines, 2, ROf(61, 62)).shown, (std::vector<int>{49, 1}));
}

// ---- on a real context ----

class IdiomsGl : public SceneGlTest {
protected:
    void SetUp() override {
        SceneGlTest::SetUp();
        if (IsSkipped()) return;
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glEnable(GL_LIGHTING);
        glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    }

    // A picture with three distinct channels, so that any scaling shows in every pixel.
    static std::vector<uint8_t> Picture() {
        glClearColor(0.9f, 0.6f, 0.3f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        return ReadFramebuffer();
    }

    static int MaxChannelDifference(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b, float scale) {
        int worst = 0;
        for (size_t i = 0; i < a.size(); i += 4)
            for (size_t c = 0; c < 3; ++c)
                worst = std::max(
                    worst, std::abs(static_cast<int>(a[i + c]) - static_cast<int>(std::lround(b[i + c] * scale))));
        return worst;
    }
};

TEST_F(IdiomsGl, FadeOutKeepsThePictureUntilFourFifthsThenGoesToBlack) {
    const std::vector<uint8_t> picture = Picture();
    FadeOutOverlay(0.8f);
    EXPECT_EQ(MaxChannelDifference(ReadFramebuffer(), picture, 1.0f), 0);

    // Wherever the camera looks, the whole view is scaled.
    Picture();
    glTranslatef(5.0f, 3.0f, -20.0f);
    glRotatef(120.0f, 0.0f, 1.0f, 0.0f);
    FadeOutOverlay(0.9f);
    EXPECT_LE(MaxChannelDifference(ReadFramebuffer(), picture, 0.5f), 2);

    Picture();
    FadeOutOverlay(0.999f);
    EXPECT_LE(MaxChannelDifference(ReadFramebuffer(), picture, 0.0f), 2);
    // The fade stays in the palette for whoever uses row 0 next.
    EXPECT_NEAR(fadeAlpha, 0.005f, 1e-6f);
    EXPECT_FALSE(glIsEnabled(GL_BLEND));

    // Without lighting the quad takes the current colour, alpha 1: no darkening.
    Picture();
    glDisable(GL_LIGHTING);
    FadeOutOverlay(0.95f);
    glEnable(GL_LIGHTING);
    EXPECT_EQ(MaxChannelDifference(ReadFramebuffer(), picture, 1.0f), 0);
}

TEST_F(IdiomsGl, BackdropLiesBehindEverythingDrawnAfterIt) {
    // One large ring in the middle of the view; a far quad drawn after the backdrop must cover it.
    for (Particle& p : particles) p = {0.0f, 5.0f, 0.01f, 0.0001f};
    particles[0] = {0.0f, 0.0f, 0.3f, 0.0001f};
    fadeAlpha = 1.0f;
    glClearColor(1.0f, 1.0f, 1.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    ParticleBackdrop();
    glDisable(GL_LIGHTING);
    glColor4f(0.0f, 0.0f, 1.0f, 1.0f);
    glBegin(GL_QUADS);
    glVertex3f(-3.0f, -3.0f, -5.0f);
    glVertex3f(3.0f, -3.0f, -5.0f);
    glVertex3f(3.0f, 3.0f, -5.0f);
    glVertex3f(-3.0f, 3.0f, -5.0f);
    glEnd();
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    glEnable(GL_LIGHTING);
    const std::vector<uint8_t> frame = ReadFramebuffer();
    const size_t centre = (static_cast<size_t>(384) * 1024 + 512) * 4;
    EXPECT_EQ(frame[centre + 0], 0);
    EXPECT_EQ(frame[centre + 2], 255);
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
}

}  // namespace
