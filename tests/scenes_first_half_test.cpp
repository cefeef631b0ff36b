// The scenes of the first 52 s on a real context: fades read back as pixels, placements compared in
// feedback mode against transforms built by hand, the typed listing read back glyph by glyph.
#include "platform/gl.h"
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "app/shell.h"
#include "app/startup.h"
#include "geometry/figure.h"
#include "geometry/mesh.h"
#include "render/font.h"
#include "render/material.h"
#include "render/particles.h"
#include "scenes/idioms.h"
#include "scenes/listing.h"
#include "scenes/scenes.h"
#include "scenes/timeline.h"
#include "tests/feedback.h"
#include "tests/gl_test_context.h"

namespace {

constexpr int kWidth = 1024, kHeight = 768;
constexpr double kOverlayScale = kHeight / 480.0;  // window pixels per overlay unit

// ---- feedback capture ----

FeedbackCapture Capture(const std::function<void()>& draw) {
    FeedbackCapture out = CaptureFeedback(draw, 1 << 22);
    EXPECT_FALSE(out.overflowed) << "feedback buffer overflowed";
    return out;
}

// Four points: the origin and one step along each axis, so both place and turn and scale show.
unsigned ProbeList(float step) {
    const unsigned list = glGenLists(1);
    glNewList(list, GL_COMPILE);
    glBegin(GL_POINTS);
    glVertex3f(0.0f, 0.0f, 0.0f);
    glVertex3f(step, 0.0f, 0.0f);
    glVertex3f(0.0f, step, 0.0f);
    glVertex3f(0.0f, 0.0f, step);
    glEnd();
    glEndList();
    return list;
}

void ExpectSamePoints(const std::vector<FeedbackVertex>& actual, const std::vector<FeedbackVertex>& expected,
                      float tolerancePx, const std::string& what) {
    ASSERT_GE(expected.size(), 4u) << what << ": the probe must lie in view";
    ASSERT_EQ(actual.size(), expected.size()) << what;
    for (size_t i = 0; i < actual.size(); ++i) {
        EXPECT_NEAR(actual[i].x, expected[i].x, tolerancePx) << what << ", point " << i;
        EXPECT_NEAR(actual[i].y, expected[i].y, tolerancePx) << what << ", point " << i;
    }
}

// Shorthand for transforms built by hand: T, Rx, Ry, Rz, S as the scenes read.
void T(float x, float y, float z) { glTranslatef(x, y, z); }
void Rx(float a) { glRotatef(a, 1.0f, 0.0f, 0.0f); }
void Ry(float a) { glRotatef(a, 0.0f, 1.0f, 0.0f); }
void Rz(float a) { glRotatef(a, 0.0f, 0.0f, 1.0f); }
void S(float s) { glScalef(s, s, s); }

// ---- fixture ----

unsigned SolidTexture(uint8_t r, uint8_t g, uint8_t b) {
    const uint8_t texel[4 * 4] = {r, g, b, 255, r, g, b, 255, r, g, b, 255, r, g, b, 255};
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 2, 2, 0, GL_RGBA, GL_UNSIGNED_BYTE, texel);
    return name;
}

class FirstHalf : public SceneGlTest {
protected:
    void SetUp() override {
        SceneGlTest::SetUp();
        if (IsSkipped()) return;
        camX = camY = camZ = camRoll = camYaw = camPitch = 0.0f;
        frameMs = 0.0;  // the rings hold still, so two renders of one scene match
    }

    static std::vector<uint8_t> Render(double t) {
        RenderFrame(t, frameMs, CurrentCamera());
        return ReadFramebuffer();
    }

    // Opaque logos of known colours, whatever the data folder holds.
    static void PaintLogos() {
        groupLogoTex.glName = SolidTexture(255, 0, 0);
        demoLogoTex.glName = SolidTexture(255, 0, 0);
        demoLogoSubTex.glName = SolidTexture(0, 0, 255);
    }

    static const uint8_t* Pixel(const std::vector<uint8_t>& frame, int x, int y) {
        return &frame[(static_cast<size_t>(y) * kWidth + x) * 4];
    }
};

// ---- opening ----

TEST_F(FirstHalf, TitleFadesInFromBlackToHalfBrightnessAtOneTenthAndLeavesTheMusicToTheShell) {
    PaintLogos();
    const std::vector<uint8_t> black = Render(2000.0);
    EXPECT_FALSE(musicStarted);
    const std::vector<uint8_t> half = Render(2400.0);
    const std::vector<uint8_t> unfaded = Render(3000.0);

    const uint8_t* centre = Pixel(unfaded, kWidth / 2, kHeight / 2);
    EXPECT_EQ(centre[0], 255);
    EXPECT_EQ(centre[1], 0) << "the title logo sits in the middle of the view";
    int worstBlack = 0, worstHalf = 0;
    for (size_t i = 0; i < unfaded.size(); i += 4)
        for (size_t c = 0; c < 3; ++c) {
            worstBlack = std::max(worstBlack, static_cast<int>(black[i + c]));
            worstHalf = std::max(worstHalf, std::abs(2 * half[i + c] - unfaded[i + c]));
        }
    EXPECT_EQ(worstBlack, 0);
    EXPECT_LE(worstHalf, 3);
}

TEST_F(FirstHalf, LogosMoveWithTheCameraButTheFadeInDoesNot) {
    PaintLogos();
    EXPECT_GT(Pixel(Render(1000.0), kWidth / 2, kHeight / 2)[0], 150);
    EXPECT_EQ(Pixel(Render(1000.0), kWidth / 2, kHeight / 2)[1], 0);

    camX = 3.0f;  // everything at distance 1 leaves the view
    camYaw = 10.0f;
    const std::vector<uint8_t> logo = Render(1000.0);
    const std::vector<uint8_t> black = Render(2000.0);
    const std::vector<uint8_t> half = Render(2400.0);
    const std::vector<uint8_t> title = Render(3000.0);
    for (size_t i = 0; i < title.size(); i += 4)
        for (size_t c = 0; c < 3; ++c) {
            ASSERT_EQ(logo[i + c], 255) << "group logo still in view at byte " << i;
            ASSERT_EQ(title[i + c], 255) << "title still in view at byte " << i;
            ASSERT_EQ(black[i + c], 0) << "fade-in followed the camera at byte " << i;
            ASSERT_NEAR(half[i + c], 128, 1) << "fade-in followed the camera at byte " << i;
        }
}

// ---- placements: pulsing mesh and character act ----

struct Placement {
    double t;
    const char* what;
    std::function<void()> byHand;  // draws the probe the way the scene should, from the identity
};

// Each scene's probe points against the same probe drawn under the transform built by hand.
void ExpectPlacements(const std::vector<Placement>& placements) {
    for (const Placement& p : placements) {
        const FeedbackCapture scene = Capture([&] { RenderFrame(p.t); });
        const FeedbackCapture hand = Capture([&] {
            glLoadIdentity();
            p.byHand();
        });
        ExpectSamePoints(VerticesOf(scene, FeedbackKind::Point), VerticesOf(hand, FeedbackKind::Point), 0.05f, p.what);
    }
}

TEST_F(FirstHalf, PulsingMeshFollowsTheAbsoluteClockAndSpinsPerFrame) {
    const unsigned probe = meshListB = ProbeList(0.2f);
    meshSpin = 0.0f;
    ExpectPlacements({
        {12250.0, "jump at 12250 ms",
         [probe] {
             T(0, 0, -4);
             Rx(-90);
             Rz(-90);
             T(0, -1, 1);
             Rz(0.1f);
             S(1.5131f);
             glCallList(probe);
         }},
        {6000.0, "spin at 6000 ms, second frame",
         [probe] {
             T(0, 0, -2);
             Rx(-90);
             Rz(-90);
             Rz(0.2f);
             S(0.80005f);
             glCallList(probe);
         }},
        {15500.0, "rock at 15500 ms",
         [probe] {
             T(0, 0, -2);
             Rx(-90);
             Rz(-90);
             Ry(30);
             Rz(30);
             S(1.1999f);
             glCallList(probe);
         }},
    });
    EXPECT_FLOAT_EQ(meshSpin, 0.2f) << "the rock must not spin";
}

TEST_F(FirstHalf, CharacterAndMeshAAreWhereTheStoryboardPutsThem) {
    // The core part never moves in any pose: it carries the character's probe.
    figureCoreList = ProbeList(0.1f);
    const unsigned probe = meshListA = ProbeList(0.05f);
    ExpectPlacements({
        {22000.0, "window 7 at r = 0: a = b = 0, c = 90",
         [] {
             T(0, 0, -0.5f);
             Ry(0);
             Ry(90);
             Rx(0);
             DrawFigureStill();
         }},
        {24400.0, "window 7 at r = 0.3",
         [] {
             T(0, 0, -0.6f);
             Ry(30);
             Ry(180);
             Rx(-30);
             DrawFigureStill();
         }},
        {35000.0, "window 10 at r = 0.5",
         [probe] {
             T(-0.3f, 0, -2);
             Ry(90);
             DrawFigureNod(4.0f);
             T(0, 0.08f, 1.3f);
             Rx(90);
             Ry(90);
             glCallList(probe);
         }},
        {46000.0, "window 13 at r = 0.5",
         [probe] {
             Ry(180);
             Rx(-22.5f);
             T(0, -0.34f, 1.25f);
             Rx(90);
             Ry(90);
             glCallList(probe);
         }},
    });
    // The sweep's last frame shows, within a pixel, what the listing's first one shows.
    const FeedbackCapture last = Capture([] { Render(47999.0); });
    const FeedbackCapture first = Capture([] { Render(48000.0); });
    ExpectSamePoints(VerticesOf(last, FeedbackKind::Point), VerticesOf(first, FeedbackKind::Point), 1.0f,
                     "window 13 at its end against window 14");
}

// ---- typed listing ----

// Each line of the listing as the block shows it at time t, from the typed-text slice.
std::vector<std::string> ListingAt(double t) {
    int shown[kAssemblyCountedLines];
    const int printed = TypedTextSlice(assemblyListing, kAssemblyCountedLines, SceneT(14, t), shown);
    std::vector<std::string> lines;
    for (int i = 0; i < printed; ++i) lines.push_back(std::string(assemblyListing[i], shown[i]));
    return lines;
}

// The first lines whole, then optionally a partial one.
std::vector<std::string> FirstLinesWhole(int count, const char* partial = nullptr) {
    std::vector<std::string> lines(assemblyListing, assemblyListing + count);
    if (partial) lines.push_back(partial);
    return lines;
}

TEST(AssemblyListing, TypedScheduleAtItsMarksAndNeverPastTheTwentiethLine) {
    EXPECT_TRUE(ListingAt(48000.0).empty());
    EXPECT_TRUE(ListingAt(48020.0).empty());
    EXPECT_EQ(ListingAt(48021.0), std::vector<std::string>{"/"});
    EXPECT_EQ(ListingAt(48490.0), FirstLinesWhole(1));
    EXPECT_EQ(ListingAt(48511.0), FirstLinesWhole(1, "M"));
    EXPECT_EQ(ListingAt(50409.0), FirstLinesWhole(10, "NEG BX"));
    EXPECT_EQ(ListingAt(50429.0), FirstLinesWhole(11));
    EXPECT_EQ(ListingAt(51999.0), FirstLinesWhole(19, "; AX <= B"));
    for (double t = 48000.0; t < 52000.0; t += 1.0) ASSERT_LE(ListingAt(t).size(), 20u) << t;
}

// Reads the printed text back from the glyph quads: the line from their height, the order from the
// pen position, the character from the cell of the sheet that the quad maps.
std::map<int, std::string> PrintedLines(const FeedbackCapture& capture) {
    std::map<int, std::map<long, char>> glyphs;
    for (const FeedbackPrimitive& polygon : capture.primitives) {
        if (polygon.kind != FeedbackKind::Polygon) continue;
        float minX = 1e9f, maxY = -1e9f, minS = 1e9f, maxT = -1e9f;
        for (const FeedbackVertex& v : polygon.vertices) {
            minX = std::min(minX, v.x);
            maxY = std::max(maxY, v.y);
            minS = std::min(minS, v.s);
            maxT = std::max(maxT, v.t);
        }
        const double top = 480.0 - maxY / kOverlayScale;
        const int line = static_cast<int>(std::lround((top - 100.0) / 14.0));
        const int column = static_cast<int>(std::lround(minS / 0.0625));
        const int row = static_cast<int>(std::lround((1.0f - maxT - 0.001f) / 0.0625));
        glyphs[line][std::lround(minX / kOverlayScale)] = static_cast<char>(32 + column + 16 * row);
    }
    std::map<int, std::string> lines;
    for (const auto& [line, byPen] : glyphs)
        for (const auto& [pen, c] : byPen) lines[line] += c;
    return lines;
}

TEST_F(FirstHalf, ListingPrintsExactlyTheTypedCharactersLineByLine) {
    meshListA = 0;  // nothing but the text may leave polygons
    for (Particle& p : particles) p.y = 50.0f;
    const std::map<double, std::vector<std::string>> marks = {
        {48020.0, {}},
        {49000.0, {"// #BRESENHAM ALGORITHM#", "MOV AX, Y1", "SUB AX, Y0", "JNS A"}},
        {50429.0, FirstLinesWhole(11)},
        {51999.0, FirstLinesWhole(19, "; AX <= B")},
    };
    for (const auto& [t, expected] : marks) {
        const FeedbackCapture capture = Capture([t = t] { Render(t); });
        std::map<int, std::string> want;
        for (size_t i = 0; i < expected.size(); ++i) want[static_cast<int>(i)] = expected[i];
        EXPECT_EQ(PrintedLines(capture), want) << "at " << t << " ms";
    }
}

// ---- entry and exit state ----

TEST_F(FirstHalf, EverySceneLeavesTexturingAndBlendingOffAndDepthTestOn) {
    const double times[] = {0,     1000,  1999,  2000,  2400,  3000,  6000,  8000,  12250,
                            15500, 18000, 20000, 22000, 26000, 30000, 31000, 33000, 35000,
                            37000, 40000, 42000, 44000, 46000, 48000, 48490, 50500, 51999};
    GLfloat projection[16], after[16];
    glGetFloatv(GL_PROJECTION_MATRIX, projection);
    for (double t : times) {
        Render(t);
        EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D)) << t;
        EXPECT_FALSE(glIsEnabled(GL_BLEND)) << t;
        EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST)) << t;
        GLint mode = 0, depthFunc = 0;
        glGetIntegerv(GL_MATRIX_MODE, &mode);
        glGetIntegerv(GL_DEPTH_FUNC, &depthFunc);
        EXPECT_EQ(mode, GL_MODELVIEW) << t;
        EXPECT_EQ(depthFunc, GL_LEQUAL) << t;
        glGetFloatv(GL_PROJECTION_MATRIX, after);
        EXPECT_EQ(std::memcmp(projection, after, sizeof after), 0) << t;
    }
}

}  // namespace
