// The show's second half, 52-124 s, on a real offscreen context: fades, the tunnel's interlude
// phases, the particle re-seed, the typed credits, the greetings scroll, the end of the show and
// the state every scene leaves. Exact geometry comes from GL feedback mode.
#include <gtest/gtest.h>
#include "platform/gl.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include <stb/stb_image.h>

#include "app/shell.h"
#include "geometry/mesh.h"
#include "render/material.h"
#include "render/particles.h"
#include "scenes/timeline.h"
#include "tests/feedback.h"
#include "tests/gl_test_context.h"
#include "tests/program_run.h"

namespace {

constexpr int kWidth = 1024;
constexpr int kHeight = 768;

// ---- feedback capture ----

struct FbFrame {
    std::vector<FeedbackTriangle> triangles;  // polygons fanned into triangles, in drawing order
};

FbFrame CaptureFrame(double t) {
    const FeedbackCapture capture = CaptureFeedback([t] { RenderFrame(t); }, 1 << 22);
    EXPECT_FALSE(capture.overflowed) << "feedback buffer overflow";
    return {FannedTriangles(capture)};
}

// Solves the affine map (s, t) -> value over one triangle and evaluates it at (s, t).
double TexArea(const FeedbackTriangle& tri) {
    return (tri[1].s - tri[0].s) * (tri[2].t - tri[0].t) - (tri[2].s - tri[0].s) * (tri[1].t - tri[0].t);
}

double AffineAt(const FeedbackTriangle& tri, const double value[3], double s, double t) {
    double s1 = tri[1].s - tri[0].s, t1 = tri[1].t - tri[0].t;
    double s2 = tri[2].s - tri[0].s, t2 = tri[2].t - tri[0].t;
    double det = s1 * t2 - s2 * t1;
    double v1 = value[1] - value[0], v2 = value[2] - value[0];
    double a = (v1 * t2 - v2 * t1) / det;
    double b = (s1 * v2 - s2 * v1) / det;
    return value[0] + a * (s - tri[0].s) + b * (t - tri[0].t);
}

// A flat picture as the scene passed it: R(x0, x1, y0, y1) in the plane of its matrix, here the
// eye frame (the camera is untouched), and that plane's depth.
struct Rect {
    double x0, x1, y0, y1, z;
};

Rect RectOf(const FeedbackTriangle& tri) {
    GLdouble proj[16];
    GLint view[4];
    glGetDoublev(GL_PROJECTION_MATRIX, proj);
    glGetIntegerv(GL_VIEWPORT, view);
    static const GLdouble identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    double ex[3], ey[3], ez[3];
    for (int k = 0; k < 3; ++k)
        gluUnProject(tri[k].x, tri[k].y, tri[k].z, identity, proj, view, &ex[k], &ey[k], &ez[k]);
    return {AffineAt(tri, ex, 0, 0), AffineAt(tri, ex, 1, 0), AffineAt(tri, ey, 0, 0), AffineAt(tri, ey, 0, 1),
            (ez[0] + ez[1] + ez[2]) / 3.0};
}

// Depth read back from far pictures is coarse; their x and y much less so.
bool SameRect(const Rect& a, const Rect& b, double tol = 1e-4) {
    return std::fabs(a.x0 - b.x0) < tol && std::fabs(a.x1 - b.x1) < tol && std::fabs(a.y0 - b.y0) < tol &&
           std::fabs(a.y1 - b.y1) < tol && std::fabs(a.z - b.z) < 0.05;
}

// Consecutive triangles of one quad merge into one rectangle.
std::vector<Rect> RectsOf(const FbFrame& frame) {
    std::vector<Rect> rects;
    for (const FeedbackTriangle& tri : frame.triangles) {
        Rect r = RectOf(tri);
        if (rects.empty() || !SameRect(rects.back(), r)) rects.push_back(r);
    }
    return rects;
}

void ExpectRect(const Rect& got, double x0, double x1, double y0, double y1, const char* what) {
    constexpr double kTol = 2e-4;
    EXPECT_NEAR(got.x0, x0, kTol) << what;
    EXPECT_NEAR(got.x1, x1, kTol) << what;
    EXPECT_NEAR(got.y0, y0, kTol) << what;
    EXPECT_NEAR(got.y1, y1, kTol) << what;
}

// ---- glyphs: character and overlay position of each glyph quad ----

struct Glyph {
    int code;
    double x, y;  // overlay position of the glyph's top-left corner
};

std::vector<Glyph> GlyphsOf(const FbFrame& frame) {
    std::map<std::array<long, 3>, Glyph> found;
    for (const FeedbackTriangle& tri : frame.triangles) {
        if (std::fabs(TexArea(tri)) < 1e-12) continue;  // a clipped sliver
        double cs = (tri[0].s + tri[1].s + tri[2].s) / 3.0;
        double ct = (tri[0].t + tri[1].t + tri[2].t) / 3.0;
        int col = static_cast<int>(std::floor(cs * 16.0));
        int row = static_cast<int>(std::floor((1.0 - ct) * 16.0));
        float cx = col * 0.0625f;
        float top = 1.0f - row * 0.0625f;
        // Both triangles of a glyph quad hold its upper-left corner; clipped pieces keep their map.
        double wx[3] = {tri[0].x, tri[1].x, tri[2].x};
        double wy[3] = {tri[0].y, tri[1].y, tri[2].y};
        double x = AffineAt(tri, wx, cx, top - 0.001f) * 640.0 / kWidth;
        double y = (kHeight - AffineAt(tri, wy, cx, top - 0.001f)) * 480.0 / kHeight;
        Glyph g = {row * 16 + col + 32, x, y};
        found[{g.code, std::lround(x * 10), std::lround(y * 10)}] = g;
    }
    std::vector<Glyph> glyphs;
    for (auto& kv : found) glyphs.push_back(kv.second);
    std::sort(glyphs.begin(), glyphs.end(), [](const Glyph& a, const Glyph& b) {
        return std::lround(a.y) != std::lround(b.y) ? a.y < b.y : a.x < b.x;
    });
    return glyphs;
}

// ---- pixels ----

std::vector<uint8_t> RenderAt(double t) {
    RenderFrame(t);
    return ReadFramebuffer(kWidth, kHeight);
}

int MaxRgb(const std::vector<uint8_t>& px) {
    int m = 0;
    for (size_t i = 0; i < px.size(); i += 4) m = std::max({m, int(px[i]), int(px[i + 1]), int(px[i + 2])});
    return m;
}

// ---- scene fixture ----

class SecondHalf : public SceneGlTest {
protected:
    void SetUp() override {
        SceneGlTest::SetUp();
        if (IsSkipped()) return;
        fadeAlpha = 1.0f;
    }
    // Leaves only the flat pictures and text to feedback: no figures, no tube.
    static void HideMeshes() { figurePairList = figureCoreList = figureTopList = tunnelTubeList = meshListA = 0; }
    static void ParkParticles(float y) {
        for (int i = 0; i < kParticleCount; ++i) particles[i] = {-0.3f + 0.02f * i, y, 0.01f, 0.0001f};
    }
};

// ---- window 16: the first fade ----

TEST_F(SecondHalf, ShrinkFadeIsInvisibleAtPointEightAndBlackNearTheEnd) {
    const double atPointEight = 65200.0;
    ASSERT_EQ(SceneT(16, atPointEight), 0.8f);
    auto before = RenderAt(std::nextafter(atPointEight, 0.0) - 0.001);  // r one float below
    EXPECT_EQ(fadeAlpha, 1.0f) << "no overlay below r = 0.8";
    auto at = RenderAt(atPointEight);
    EXPECT_EQ(fadeAlpha, (1.0f - 0.8f) * 5.0f) << "the overlay ran at r = 0.8 exactly";
    long changed = 0;
    for (size_t i = 0; i < at.size(); i += 4)
        for (int c = 0; c < 3; ++c) changed += std::abs(at[i + c] - before[i + c]) > 3;
    EXPECT_LT(changed, 200) << "the picture at r = 0.8 is the picture without overlay";
    EXPECT_GT(MaxRgb(at), 200);

    auto nearEnd = RenderAt(68000.0 - 0.5);
    EXPECT_LE(MaxRgb(nearEnd), 1);
}

TEST_F(SecondHalf, ParticlesAfterAFadeFrameCarryItsAlpha) {
    HideMeshes();
    ParkParticles(0.2f);
    RenderAt(66600.0);  // r = 0.9
    float left = fadeAlpha;
    EXPECT_FLOAT_EQ(left, 0.5f);
    FbFrame next = CaptureFrame(65900.0);  // r = 0.85, overlay alpha 0.75
    ASSERT_GE(next.triangles.size(), 2u * kParticleCount + 2);
    for (int i = 0; i < 2 * kParticleCount; ++i)
        for (const FeedbackVertex& v : next.triangles[i]) ASSERT_FLOAT_EQ(v.a, left) << "particle triangle " << i;
    EXPECT_NEAR(next.triangles.back()[0].a, 0.75f, 1e-5f) << "the overlay quad";
}

// ---- window 18: the tunnel ----

TEST_F(SecondHalf, ChaseSpritesRunOnTheUnitCircleUprightAtTheirDepths) {
    HideMeshes();
    const double t = 72700.0;
    const float r = SceneT(18, t);
    std::vector<Rect> rects = RectsOf(CaptureFrame(t));
    ASSERT_EQ(rects.size(), 6u);
    const double kDeg = 3.14159265358979323846 / 180.0;
    const double angles[6] = {30.0 - 2880.0 * r, 3240.0 * r, -2880.0 * r - 90.0, 0.0, 180.0, 3240.0 * r};
    for (int k = 0; k < 6; ++k) {
        double cx = -std::cos(angles[k] * kDeg), cy = -std::sin(angles[k] * kDeg);
        ExpectRect(rects[k], cx - 0.5, cx + 0.5, cy - 0.5, cy + 0.5, "sprite");
        EXPECT_NEAR(rects[k].z, 200.0 * r - 20.0 - 5.0 * k, 1e-3) << "sprite " << k;
    }
}

// The panel lies in the plane z = -2; a wide frustum keeps every picture of it unclipped.
class Interlude : public SecondHalf {
protected:
    void SetUp() override {
        SecondHalf::SetUp();
        if (IsSkipped()) return;
        HideMeshes();
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glFrustum(-1.5, 1.5, -1.5, 1.5, 1.0, 1000.0);
        glMatrixMode(GL_MODELVIEW);
    }
    static std::vector<Rect> PanelAt(double t) {
        std::vector<Rect> all = RectsOf(CaptureFrame(t)), panel;
        for (const Rect& r : all)
            if (std::fabs(r.z + 2.0) < 1e-3) panel.push_back(r);
        return panel;
    }
};

TEST_F(Interlude, PhaseBoundsAreComparedWithTheClockItself) {
    EXPECT_TRUE(PanelAt(77000.0).empty()) << "nothing at exactly 77000";

    std::vector<Rect> arriving = PanelAt(77500.0);
    ASSERT_EQ(arriving.size(), 3u);
    ExpectRect(arriving[0], -0.5, 0.5, 0.1, 1.1, "castle, u = 0.5");
    ExpectRect(arriving[1], -0.95, -0.55, -1.25, -0.75, "left tube");
    ExpectRect(arriving[2], 0.95, 0.55, -1.25, -0.75, "right tube, mirrored");

    std::vector<Rect> lastOfOne = PanelAt(78000.0);
    std::vector<Rect> firstOfTwo = PanelAt(std::nextafter(78000.0, 1e9));
    ASSERT_EQ(lastOfOne.size(), 3u);
    ASSERT_EQ(firstOfTwo.size(), 11u);
    EXPECT_TRUE(SameRect(lastOfOne[0], firstOfTwo[0])) << "castle";
    EXPECT_TRUE(SameRect(lastOfOne[1], firstOfTwo[9])) << "left tube";
    EXPECT_TRUE(SameRect(lastOfOne[2], firstOfTwo[10])) << "right tube";
    ExpectRect(lastOfOne[0], -0.5, 0.5, -0.4, 0.6, "castle at rest");

    EXPECT_EQ(PanelAt(82000.0).size(), 11u) << "phase 2 still at 82000";
    std::vector<Rect> leaving = PanelAt(std::nextafter(82000.0, 1e9));
    ASSERT_EQ(leaving.size(), 3u);

    std::vector<Rect> lastOfThree = PanelAt(83000.0);
    ASSERT_EQ(lastOfThree.size(), 3u);
    ExpectRect(lastOfThree[0], -0.5, 0.5, -1.4, -0.4, "castle, q = 1");
    ExpectRect(lastOfThree[1], -0.95, -0.55, -1.5, -1.0, "left tube, q = 1");
    ExpectRect(lastOfThree[2], 0.55, 0.95, -1.5, -1.0, "right tube, q = 1");
    EXPECT_TRUE(PanelAt(std::nextafter(83000.0, 1e9)).empty()) << "gone after 83000";
}

TEST_F(Interlude, RightTubeIsUnmirroredOnlyWhileLeaving) {
    for (double t : {77001.0, 77999.0, 78001.0, 80000.0, 81999.0, 82001.0, 82500.0, 82999.0}) {
        std::vector<Rect> panel = PanelAt(t);
        ASSERT_FALSE(panel.empty()) << t;
        const Rect& right = panel.back();
        bool mirrored = right.x0 > right.x1;
        EXPECT_EQ(mirrored, t <= 82000.0) << "t = " << t;
        EXPECT_NEAR(std::max(right.x0, right.x1), 0.95, 1e-4);
        const Rect& left = panel[panel.size() - 2];
        EXPECT_LT(left.x0, left.x1) << "left tube is never mirrored, t = " << t;
    }
}

TEST_F(Interlude, SevenItemsArchInEveryFrameOfThePlay) {
    const double kDeg = 3.14159265358979323846 / 180.0;
    for (double t : {78000.5, 78207.0, 79000.0, 80690.0, 81500.0, 82000.0}) {
        std::vector<Rect> panel = PanelAt(t);
        ASSERT_EQ(panel.size(), 11u) << t;
        double v = (t - 78000.0) * 0.00025;
        double w = 1.4 * std::fabs(std::cos(4.0 * 3.14159265358979323846 * v)) - 0.4;
        ExpectRect(panel[1], -0.05, 0.05, w - 0.05, w + 0.05, "mario");
        for (int k = 1; k <= 7; ++k) {
            double d = (15.0 * k - 290.0 * v) * kDeg;
            double cx = -0.75 * std::cos(d), cy = -0.8 - 0.75 * std::sin(d);
            ExpectRect(panel[1 + k], cx + 0.05, cx - 0.05, cy - 0.05, cy + 0.05, "item");
        }
    }
}

// ---- windows 19-20 ----

TEST_F(SecondHalf, ReseedOnlyAboveNinetyNineHundredths) {
    const double atPointNineNine = 93960.0;
    ASSERT_EQ(SceneT(20, atPointNineNine), 0.99f);
    ParkParticles(0.2f);
    RenderAt(std::nextafter(atPointNineNine, 0.0));
    RenderAt(atPointNineNine);
    for (const Particle& p : particles) ASSERT_EQ(p.y, 0.2f) << "no re-seed at r = 0.99 exactly";

    double above = atPointNineNine;
    while (SceneT(20, above) == 0.99f) above = std::nextafter(above, 1e9);
    RenderAt(above);
    for (const Particle& p : particles) {
        EXPECT_GE(p.y, -1.5f);
        EXPECT_LE(p.y, -0.5f);
    }
    // Every later frame of the window re-seeds again.
    Particle first = particles[0];
    RenderAt(93999.0);
    EXPECT_NE(particles[0].x + particles[0].y, first.x + first.y);
}

// ---- window 21: the credits ----

const char* const kCredits[17] = {
    "## BRIMVALE ##",
    " ",
    "HELLO EVERYONE!",
    " ",
    "THIS DEMO IS JUST",
    "A FIRST EXPIRIENCE",
    "IN DEMOMAKING, OPENGL AND C",
    " ",
    "IT WAS CREATED",
    "DURING LAST WEEK",
    "BY ONE MAN...",
    " ",
    "WE HOPE YOU'LL ENJOY IT",
    " ",
    ".CODE.GFX.",
    "BY QUILON",
    "                     ",
};

// The credit lines as printed: line k's text at (128 + 9 j, 128 + 14 k).
std::vector<std::string> CreditsOnScreen(const FbFrame& frame) {
    std::vector<std::string> lines;
    for (const Glyph& g : GlyphsOf(frame)) {
        int line = static_cast<int>(std::lround((g.y - 128.0) / 14.0));
        int column = static_cast<int>(std::lround((g.x - 128.0) / 9.0));
        EXPECT_NEAR(g.y, 128.0 + 14.0 * line, 0.05);
        EXPECT_NEAR(g.x, 128.0 + 9.0 * column, 0.05);
        if (line < 0 || column < 0) continue;
        if (static_cast<int>(lines.size()) <= line) lines.resize(line + 1);
        if (static_cast<int>(lines[line].size()) <= column) lines[line].resize(column + 1, '?');
        lines[line][column] = static_cast<char>(g.code);
    }
    return lines;
}

TEST_F(SecondHalf, CreditsAreTypedLineByLineWithNothingAfterAFinishedLine) {
    HideMeshes();
    ParkParticles(100.0f);  // out of view
    EXPECT_TRUE(CaptureFrame(94000.0).triangles.empty()) << "r = 0 shows no text";

    struct Case {
        int n;
        std::vector<std::string> lines;
    };
    const std::vector<Case> cases = {
        {1, {"#"}},
        {13, {"## BRIMVALE #"}},
        {14, {"## BRIMVALE ##"}},
        {15, {"## BRIMVALE ##", " "}},
        {22, {"## BRIMVALE ##", " ", "HELLO E"}},
        {181, std::vector<std::string>(kCredits, kCredits + 16)},
        {201,
         [] {
             std::vector<std::string> all(kCredits, kCredits + 17);
             all[16].pop_back();
             return all;
         }()},
    };
    for (const Case& c : cases) {
        double t = 94000.0 + 16000.0 * (c.n + 0.5) / 202.0;  // mid-step: trunc(202 r) = n
        EXPECT_EQ(CreditsOnScreen(CaptureFrame(t)), c.lines) << "n = " << c.n;
    }
    // r rounds to 1 in the window's last instant: all 17 lines whole, never an 18th.
    ASSERT_EQ(SceneT(21, std::nextafter(110000.0, 0.0)), 1.0f);
    EXPECT_EQ(CreditsOnScreen(CaptureFrame(std::nextafter(110000.0, 0.0))),
              std::vector<std::string>(kCredits, kCredits + 17));
}

TEST_F(SecondHalf, RisingRingsAreShownThroughTheCreditsAndGreetings) {
    HideMeshes();
    ParkParticles(0.2f);
    fadeAlpha = 0.001f;  // as the tunnel's fade leaves it
    FbFrame credits = CaptureFrame(100000.0);
    ASSERT_GE(credits.triangles.size(), 2u * kParticleCount);
    EXPECT_EQ(credits.triangles[0][0].a, 1.0f);

    fadeAlpha = 0.001f;
    FbFrame greetings = CaptureFrame(115000.0);
    EXPECT_EQ(greetings.triangles[0][0].a, 1.0f);

    RenderAt(122500.0);  // r > 0.8: the overlay writes the fade
    float left = fadeAlpha;
    EXPECT_LT(left, 1.0f);
    FbFrame fading = CaptureFrame(122600.0);
    EXPECT_FLOAT_EQ(fading.triangles[0][0].a, left) << "from r = 0.8 the fade carries";
}

// ---- window 22: the greetings line and the end ----

TEST_F(SecondHalf, GreetingsGlyphsStandAtNineIMinusThousandR) {
    HideMeshes();
    ParkParticles(100.0f);
    const std::string line =
        std::string(77, ' ') + "GREETS: VOLTENDRAX, QRZ, MORVANTIKO, SKELDRANE, PELLUCIDORN, TRUNDLEK";
    // Times chosen so that no glyph at the edges is clipped to a sliver.
    for (double t : {110105.0, 113512.0, 116158.0, 119110.0}) {
        float r = SceneT(22, t);
        ASSERT_LT(r, 0.8f);
        std::vector<Glyph> glyphs = GlyphsOf(CaptureFrame(t));
        std::vector<int> expected;
        for (int i = 0; i < static_cast<int>(line.size()); ++i) {
            double x = 9.0 * i - 1000.0 * r;
            if (x > -15.9 && x < 639.9) expected.push_back(i);  // some part in view
        }
        ASSERT_EQ(glyphs.size(), expected.size()) << "t = " << t;
        for (size_t k = 0; k < glyphs.size(); ++k) {
            int i = expected[k];
            EXPECT_EQ(glyphs[k].code, static_cast<unsigned char>(line[i])) << "t = " << t << ", i = " << i;
            EXPECT_NEAR(glyphs[k].x, 9.0 * i - 1000.0 * r, 0.02) << "t = " << t << ", i = " << i;
            EXPECT_NEAR(glyphs[k].y, 0.0, 0.02);
        }
    }
}

TEST_F(SecondHalf, ShowEndsBlackThenWhite) {
    auto last = RenderAt(124000.0 - 0.5);
    EXPECT_LE(MaxRgb(last), 1);
    for (double t : {124000.0, 124000.5, 200000.0}) {
        auto px = RenderAt(t);
        long nonWhite = 0;
        for (size_t i = 0; i < px.size(); i += 4) nonWhite += px[i] != 255 || px[i + 1] != 255 || px[i + 2] != 255;
        EXPECT_EQ(nonWhite, 0) << "t = " << t;
    }
}

// ---- the state each scene leaves ----

TEST_F(SecondHalf, EverySceneLeavesTexturingAndBlendingOffAndDepthTestOn) {
    const double times[] = {52000.0, 53000.0, 60000.0, 66000.0,  67999.0,  68000.0,  70000.0,  72000.0,  74000.0,
                            77000.0, 77500.0, 80000.0, 82500.0,  83000.0,  84000.0,  85999.0,  86000.0,  88000.0,
                            90000.0, 93999.0, 94000.0, 100000.0, 109999.0, 110000.0, 115000.0, 122000.0, 123999.0};
    for (double t : times) {
        RenderAt(t);
        EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D)) << "t = " << t;
        EXPECT_FALSE(glIsEnabled(GL_BLEND)) << "t = " << t;
        EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST)) << "t = " << t;
        GLint stack = 0;
        glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &stack);
        EXPECT_EQ(stack, 1) << "t = " << t;
    }
}

// ---- the whole show, headless ----

TEST(WholeShow, RunsToTheEndAtAFixedStepAndEndsWhite) {
    // The last frame of the show is drawn too, so every frame before it is replayed on the way.
    ScratchDir dir("show_end");
    std::string out = (dir / "124000.png").string();
    std::string cmd = std::string(BRIMVALE_BINARY) + " --shots 123950,124000 " + dir.string() +
                      " --step 50 --seed 1 --size 320x240 2>/dev/null";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    int w = 0, h = 0, n = 0;
    unsigned char* px = stbi_load(out.c_str(), &w, &h, &n, 3);
    ASSERT_NE(px, nullptr);
    long nonWhite = 0;
    for (long i = 0; i < long(w) * h * 3; ++i) nonWhite += px[i] != 255;
    stbi_image_free(px);
    EXPECT_EQ(nonWhite, 0);
}

}  // namespace
