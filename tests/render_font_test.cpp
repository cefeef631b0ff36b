// Bitmap font on a real context: glyph quads in the 640 x 480 overlay (exact, via feedback),
// the pen, the state left behind, and codes outside the sheet.
#include "platform/gl.h"
#include <gtest/gtest.h>

#include <string>

#include "app/startup.h"
#include "render/font.h"
#include "tests/gl_test_context.h"
#include "tests/feedback.h"

namespace {

constexpr float kCell = 0.0625f;

struct Overlay {
    float scaleX, scaleY, height;  // overlay unit to window pixels
};

Overlay CurrentOverlay() {
    GLint viewport[4] = {};
    glGetIntegerv(GL_VIEWPORT, viewport);
    return {viewport[2] / 640.0f, viewport[3] / 480.0f, float(viewport[3])};
}

// Expects glyph g drawn with its top-left at overlay (penX, y).
void ExpectGlyph(const FeedbackCapture& c, int g, float penX, float y) {
    const Overlay o = CurrentOverlay();
    const float cx = (g % 16) * kCell;
    const float top = 1.0f - (g / 16) * kCell;
    const float bottom = top - kCell;
    auto at = [&](float ox, float oy, float s, float t) {
        return HasVertex(c, ox * o.scaleX, o.height - oy * o.scaleY, s, t, 0.01f);
    };
    EXPECT_TRUE(at(penX, y + 14, cx, bottom)) << "lower left of glyph " << g;
    EXPECT_TRUE(at(penX + 14, y + 14, cx + kCell, bottom)) << "lower right of glyph " << g;
    EXPECT_TRUE(at(penX + 16, y, cx + kCell, top - 0.001f)) << "upper right of glyph " << g;
    EXPECT_TRUE(at(penX, y, cx, top - 0.001f)) << "upper left of glyph " << g;
}

// Every captured vertex belongs to one of `glyphs` quads, so nothing else was drawn.
void ExpectOnlyCorners(const FeedbackCapture& c, size_t glyphs) {
    std::vector<std::pair<float, float>> distinct;
    for (const FeedbackVertex& v : VerticesOf(c, FeedbackKind::Polygon)) {
        bool seen = false;
        for (auto& d : distinct) seen = seen || (std::fabs(d.first - v.x) < 0.01f && std::fabs(d.second - v.y) < 0.01f);
        if (!seen) distinct.emplace_back(v.x, v.y);
    }
    EXPECT_EQ(distinct.size(), 4 * glyphs);
    EXPECT_EQ(NonPolygonCount(c), 0u);
}

void ExpectModelviewTranslation(double x, double y) {
    GLdouble m[16];
    glGetDoublev(GL_MODELVIEW_MATRIX, m);
    const double expected[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, x, y, 0, 1};
    for (int i = 0; i < 16; ++i) EXPECT_NEAR(m[i], expected[i], 1e-4) << "element " << i;
}

class Font : public GlTest {
protected:
    void SetUp() override {
        GlTest::SetUp();
        fontTex.glName = 0;
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
    }
};

}  // namespace

TEST_F(Font, GlyphsLandOnTheirOverlayCellsAtAnyViewportSize) {
    BuildGlyphLists();
    for (GLint i = 0; i < 256; ++i) ASSERT_TRUE(glIsList(glyphListBase + i)) << i;

    GLint saved[4];
    glGetIntegerv(GL_VIEWPORT, saved);
    for (int shrink : {1, 2}) {
        glViewport(0, 0, saved[2] / shrink, saved[3] / shrink);
        const FeedbackCapture c = CaptureFeedback([] { PrintText(100.0f, 50, 0, "A B"); });
        ExpectGlyph(c, 'A' - 32, 100.0f, 50.0f);
        ExpectGlyph(c, 0, 109.0f, 50.0f);  // space is glyph 0 and still drawn
        ExpectGlyph(c, 'B' - 32, 118.0f, 50.0f);
        ExpectOnlyCorners(c, 3);
    }
    glViewport(saved[0], saved[1], saved[2], saved[3]);
}

TEST_F(Font, SetsSelectTheSheetHalvesAndAreClamped) {
    BuildGlyphLists();
    // Set 1's last code uses the bottom-right cell, whose lower edge is the sheet's edge.
    FeedbackCapture c = CaptureFeedback([] { PrintText(0.0f, 0, 1, "A\x9f"); });
    ExpectGlyph(c, 'A' - 32 + 128, 0.0f, 0.0f);
    ExpectGlyph(c, 255, 9.0f, 0.0f);
    ExpectOnlyCorners(c, 2);

    c = CaptureFeedback([] { PrintText(0.0f, 0, 7, "A"); });
    ExpectGlyph(c, 'A' - 32 + 128, 0.0f, 0.0f);
    c = CaptureFeedback([] { PrintText(0.0f, 0, -3, "A"); });
    ExpectGlyph(c, 'A' - 32, 0.0f, 0.0f);
    ExpectOnlyCorners(c, 1);
}

TEST_F(Font, CodesOutsideTheSheetPrintAsSpaces) {
    // Lists just below and above the 256 would be called by unmapped codes; fill them with
    // points so that any such call shows up in the feedback.
    const GLuint below = glGenLists(32);
    BuildGlyphLists();
    const GLuint above = glGenLists(96);
    ASSERT_EQ(glyphListBase, below + 32);
    ASSERT_EQ(above, glyphListBase + 256);
    for (GLuint name = 0; name < 128; ++name) {
        glNewList(name < 32 ? below + name : above + name - 32, GL_COMPILE);
        glBegin(GL_POINTS);
        glVertex2i(320, 240);
        glEnd();
        glEndList();
    }
    for (int set : {0, 1}) {
        const FeedbackCapture c = CaptureFeedback([set] {
            PrintText(10.0f, 20, set, "%s",
                      "\x01\x1f\xa0\xff"
                      "A");
        });
        EXPECT_EQ(NonPolygonCount(c), 0u) << "a list outside the glyphs was called, set " << set;
        for (int i = 0; i < 4; ++i) ExpectGlyph(c, 128 * set, 10.0f + 9 * i, 20.0f);
        ExpectGlyph(c, 'A' - 32 + 128 * set, 46.0f, 20.0f);
        ExpectOnlyCorners(c, 5);
        ExpectModelviewTranslation(10.0 + 45.0, 20.0);
    }
    glDeleteLists(below, 32);
    glDeleteLists(above, 96);
}

TEST_F(Font, ReturnsWithPenAtTheEndAndTheCallersProjection) {
    BuildGlyphLists();
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glFrustum(-2, 3, -1, 1, 1, 50);
    GLdouble projection[16];
    glGetDoublev(GL_PROJECTION_MATRIX, projection);
    glMatrixMode(GL_MODELVIEW);
    glTranslatef(5.0f, 6.0f, 7.0f);  // the caller's modelview is replaced
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
    glEnable(GL_LIGHTING);
    glEnable(GL_DEPTH_TEST);

    PrintText(12.5f, 30, 0, "%s-%d", "ab", 7);

    GLint mode = 0;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    EXPECT_EQ(mode, GL_MODELVIEW);
    ExpectModelviewTranslation(12.5 + 9 * 4, 30);
    GLdouble after[16];
    glGetDoublev(GL_PROJECTION_MATRIX, after);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(after[i], projection[i]);
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    EXPECT_TRUE(glIsEnabled(GL_LIGHTING));
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));

    // Empty text draws nothing but still resets the modelview to (x, y, 0) and the state.
    glEnable(GL_TEXTURE_2D);
    const FeedbackCapture c = CaptureFeedback([] { PrintText(3.0f, 4, 0, "%s", ""); });
    EXPECT_TRUE(VerticesOf(c, FeedbackKind::Polygon).empty());
    ExpectModelviewTranslation(3, 4);
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));

    // A null format changes nothing at all.
    glEnable(GL_TEXTURE_2D);
    glLoadIdentity();
    const char* none = nullptr;
    PrintText(50.0f, 60, 0, none);
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
    ExpectModelviewTranslation(0, 0);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_LIGHTING);
    glDisable(GL_DEPTH_TEST);
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
}

TEST_F(Font, OverlongTextIsCutAtTheBuffer) {
    BuildGlyphLists();
    const std::string line(5000, 'x');
    PrintText(0.0f, 0, 0, "%s", line.c_str());
    ExpectModelviewTranslation(9.0 * 1023, 0);
}
