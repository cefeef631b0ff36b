// Particle field: seeding and draw order, the rise, tremble and respawn rule, and the drawn quads.
#include "platform/gl.h"
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "app/shell.h"
#include "app/startup.h"
#include "platform/platform.h"
#include "platform/random.h"
#include "render/material.h"
#include "render/particles.h"
#include "tests/gl_test_context.h"
#include "tests/feedback.h"

namespace {

// The next n draws after seeding; the generator is left seeded again, so the code under test
// sees the same values. Element n is the draw that must come next afterwards.
std::vector<int> UpcomingDraws(uint32_t seed, int n) {
    DemoSrand(seed);
    std::vector<int> draws(n + 1);
    for (int& d : draws) d = DemoRand();
    DemoSrand(seed);
    return draws;
}

void ParkAllBelowView() {
    for (Particle& p : particles) p = {0.0f, -10.0f, 0.01f, 0.0f};
}

uint32_t FixedTick() { return 1234; }

// Each particle took four draws in field order: x, y (offset), half size, speed.
void ExpectFilledFrom(const std::vector<int>& r, double yOffset) {
    for (int i = 0; i < kParticleCount; ++i) {
        const Particle& p = particles[i];
        EXPECT_NEAR(p.x, r[4 * i] / 32767.0 - 0.5, 1e-6) << i;
        EXPECT_NEAR(p.y, r[4 * i + 1] / 32767.0 + yOffset, 1e-6) << i;
        EXPECT_NEAR(p.halfSize, r[4 * i + 2] * 0.05 / 32767.0, 1e-8) << i;
        EXPECT_NEAR(p.speed, r[4 * i + 3] * 0.0001 / 32767.0 + 0.00005, 1e-11) << i;
    }
    EXPECT_EQ(DemoRand(), r.back()) << "exactly four draws per particle";
}

}  // namespace

TEST(ParticleField, InitSeedsFromTheTickCountAndDrawsFourValuesInOrder) {
    SetTickSource(FixedTick);
    const std::vector<int> r = UpcomingDraws(1234, 4 * kParticleCount);
    DemoSrand(99);  // InitParticles must reseed by itself
    InitParticles();
    SetTickSource(nullptr);
    ExpectFilledFrom(r, -0.5);
}

TEST(ParticleField, ReseedPutsEveryRingBelowTheViewWithoutReseeding) {
    const std::vector<int> r = UpcomingDraws(77, 4 * kParticleCount);
    ReseedParticles();
    ExpectFilledFrom(r, -1.5);
    for (const Particle& p : particles) {
        EXPECT_TRUE(p.y >= -1.5f && p.y <= -0.5f) << p.y;
        EXPECT_TRUE(p.halfSize >= 0.0f && p.halfSize <= 0.05f) << p.halfSize;
        EXPECT_TRUE(p.speed >= 0.00005f && p.speed <= 0.00015f) << p.speed;
    }
}

TEST(ParticleField, StillFrameMovesNothingButDrawsOncePerParticle) {
    DemoSrand(5);
    ReseedParticles();
    Particle before[kParticleCount];
    for (int i = 0; i < kParticleCount; ++i) before[i] = particles[i];
    const std::vector<int> sideways = UpcomingDraws(6, kParticleCount);
    UpdateParticles(0.0);
    for (int i = 0; i < kParticleCount; ++i) {
        EXPECT_EQ(particles[i].x, before[i].x);
        EXPECT_EQ(particles[i].y, before[i].y);
    }
    EXPECT_EQ(DemoRand(), sideways.back());
}

TEST(ParticleField, LowerEdgeExactlyAtOneIsNotYetRecycled) {
    ParkAllBelowView();
    particles[0] = {0.2f, 1.25f, 0.25f, 0.0001f};  // lower edge 1.0, exactly representable
    std::vector<int> r = UpcomingDraws(11, kParticleCount);
    UpdateParticles(0.0);
    EXPECT_EQ(particles[0].y, 1.25f);
    EXPECT_EQ(particles[0].halfSize, 0.25f);
    EXPECT_EQ(DemoRand(), r.back());

    // One millisecond later the edge is above 1.0: sideways draw, then speed, then size.
    r = UpcomingDraws(12, kParticleCount + 2);
    UpdateParticles(1.0);
    const Particle& p = particles[0];
    EXPECT_NEAR(p.x, 0.2 + (2.0 * r[0] / 32767.0 - 1.0) * 0.0001 * 0.1, 1e-7) << "x is kept";
    EXPECT_NEAR(p.speed, r[1] * 0.0001 / 32767.0 + 0.00005, 1e-11);
    EXPECT_NEAR(p.halfSize, r[2] * 0.05 / 32767.0, 1e-8);
    EXPECT_EQ(p.y, -0.5f - p.halfSize);
    EXPECT_EQ(DemoRand(), r.back());
}

TEST(ParticleField, LongFrameRisesByTheFullStepAndRecyclesAtOnce) {
    ParkAllBelowView();
    particles[1] = {0.0f, 0.5f, 0.02f, 0.0001f};
    particles[2] = {-0.3f, 0.95f, 0.01f, 0.00015f};  // reaches 1.1 in this frame
    DemoSrand(3);
    UpdateParticles(1000.0);
    EXPECT_NEAR(particles[1].y, 0.6, 1e-6);
    EXPECT_LE(std::fabs(particles[1].x), 0.1 * 0.0001 * 1000.0 + 1e-7);
    EXPECT_GE(particles[2].y, -0.55f);
    EXPECT_LE(particles[2].y, -0.5f);
    EXPECT_NEAR(particles[2].x, -0.3, 0.1 * 0.00015 * 1000.0 + 1e-7);
    EXPECT_EQ(particles[0].y, -10.0f) << "parked rings with no speed stay";
}

class ParticleDrawing : public GlTest {
protected:
    void SetUp() override {
        GlTest::SetUp();
        const float ambient[4] = {1.0f, 1.0f, 1.0f, 1.0f};
        glLightfv(GL_LIGHT1, GL_AMBIENT, ambient);
        glEnable(GL_LIGHT1);
        glEnable(GL_LIGHTING);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        fadeAlpha = 1.0f;
    }
    void TearDown() override {
        fadeAlpha = 1.0f;
        ringTex.glName = 0;
    }
};

TEST_F(ParticleDrawing, QuadsSitAtDepthOneWithTheirTextureCorners) {
    for (int i = 0; i < kParticleCount; ++i) particles[i] = {-0.3f + 0.02f * i, -0.2f + 0.01f * i, 0.008f, 0.0001f};
    GLuint ring = 0;
    glGenTextures(1, &ring);
    ringTex.glName = ring;
    glTranslatef(0.05f, 0.0f, 0.0f);  // drawn relative to the caller's matrix
    GLdouble modelview[16], projection[16];
    GLint viewport[4];
    glGetDoublev(GL_MODELVIEW_MATRIX, modelview);
    glGetDoublev(GL_PROJECTION_MATRIX, projection);
    glGetIntegerv(GL_VIEWPORT, viewport);
    glEnable(GL_TEXTURE_2D);

    const FeedbackCapture c = CaptureFeedback(DrawParticles);
    EXPECT_EQ(NonPolygonCount(c), 0u);
    EXPECT_GE(CountOf(c, FeedbackKind::Polygon), static_cast<size_t>(kParticleCount));
    for (const Particle& p : particles) {
        const float s = p.halfSize;
        const float corners[4][4] = {
            {p.x - s, p.y - s, 0, 0}, {p.x - s, p.y + s, 0, 1}, {p.x + s, p.y + s, 1, 1}, {p.x + s, p.y - s, 1, 0}};
        for (const auto& k : corners) {
            GLdouble wx = 0, wy = 0, wz = 0;
            gluProject(k[0], k[1], -1.0, modelview, projection, viewport, &wx, &wy, &wz);
            EXPECT_TRUE(HasVertex(c, float(wx), float(wy), k[2], k[3], 0.05f)) << k[0] << "," << k[1];
        }
    }

    GLdouble after[16];
    glGetDoublev(GL_MODELVIEW_MATRIX, after);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(after[i], modelview[i]);
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    GLint bound = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(GLuint(bound), ring);
    glDeleteTextures(1, &ring);
}

TEST_F(ParticleDrawing, InvisibleAtFadeZeroYetWritingDepth) {
    ParkAllBelowView();
    particles[0] = {0.0f, 0.0f, 0.1f, 0.0f};
    ringTex.glName = 0;  // no image: untextured white squares
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    struct Case {
        float fade;
        int grey;
    } cases[] = {{1.0f, 255}, {0.0f, 0}};
    for (const Case& k : cases) {
        glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
        glClearDepth(1.0);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        fadeAlpha = k.fade;
        DrawParticles();
        uint8_t rgb[3] = {};
        float depth = 1.0f;
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(512, 384, 1, 1, GL_RGB, GL_UNSIGNED_BYTE, rgb);
        glReadPixels(512, 384, 1, 1, GL_DEPTH_COMPONENT, GL_FLOAT, &depth);
        EXPECT_NEAR(rgb[0], k.grey, 2) << k.fade;
        EXPECT_NEAR(rgb[2], k.grey, 2) << k.fade;
        EXPECT_LT(depth, 0.999f) << k.fade;
        // Outside the ring nothing was drawn.
        glReadPixels(50, 50, 1, 1, GL_DEPTH_COMPONENT, GL_FLOAT, &depth);
        EXPECT_EQ(depth, 1.0f);
    }
    glDisable(GL_DEPTH_TEST);
}
