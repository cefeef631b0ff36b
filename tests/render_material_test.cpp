// Material palette on a real context: row 0 lights everything white with alpha fadeAlpha, the
// fade value lives in the palette, and values reach GL unchanged.
#include "platform/gl.h"
#include <gtest/gtest.h>

#include "render/material.h"
#include "tests/gl_test_context.h"

namespace {

// The start-up light: light 1 with full ambient, default position, lighting on.
void LightAsAtStartUp() {
    const float ambient[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    const float diffuse[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    glLightfv(GL_LIGHT1, GL_AMBIENT, ambient);
    glLightfv(GL_LIGHT1, GL_DIFFUSE, diffuse);
    glEnable(GL_LIGHT1);
    glEnable(GL_LIGHTING);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_DEPTH_TEST);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

// Draws a lit, blended quad over black in the middle of the view; returns the centre pixel.
void DrawLitQuad(float nx, float ny, float nz, uint8_t rgb[3]) {
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glBegin(GL_QUADS);
    glNormal3f(nx, ny, nz);
    glVertex3f(-0.2f, -0.2f, -1.0f);
    glVertex3f(0.2f, -0.2f, -1.0f);
    glVertex3f(0.2f, 0.2f, -1.0f);
    glVertex3f(-0.2f, 0.2f, -1.0f);
    glEnd();
    glDisable(GL_BLEND);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(512, 384, 1, 1, GL_RGB, GL_UNSIGNED_BYTE, rgb);
}

float MaterialAlpha(GLenum face, GLenum which) {
    float v[4] = {-1.0f, -1.0f, -1.0f, -1.0f};
    glGetMaterialfv(face, which, v);
    return v[3];
}

class Palette : public GlTest {
protected:
    void SetUp() override {
        GlTest::SetUp();
        LightAsAtStartUp();
        fadeAlpha = 1.0f;
        while (glGetError() != GL_NO_ERROR) {}
    }
    void TearDown() override { fadeAlpha = 1.0f; }
};

}  // namespace

TEST_F(Palette, RowZeroLightsWhiteWithFadeAlphaForAnyNormal) {
    const float normals[][3] = {{0, 0, 1}, {0, 0, -1}, {1, 0, 0}, {0, -1, 0}, {0.6f, 0.0f, 0.8f}};
    for (float alpha : {1.0f, 0.5f, 0.0f}) {
        fadeAlpha = alpha;
        ApplyPaletteMaterial(0);
        for (const auto& n : normals) {
            uint8_t rgb[3] = {};
            DrawLitQuad(n[0], n[1], n[2], rgb);
            const int expected = static_cast<int>(alpha * 255.0f + 0.5f);
            for (int c = 0; c < 3; ++c)
                EXPECT_NEAR(rgb[c], expected, 2)
                    << "alpha " << alpha << " normal " << n[0] << "," << n[1] << "," << n[2];
        }
    }
}

TEST_F(Palette, FadeValueStaysInThePaletteAcrossRowOne) {
    fadeAlpha = 0.5f;
    ApplyPaletteMaterial(0);
    uint8_t rgb[3] = {};
    DrawLitQuad(0, 0, 1, rgb);
    EXPECT_NEAR(rgb[0], 128, 2);

    ApplyPaletteMaterial(1);
    EXPECT_FLOAT_EQ(MaterialAlpha(GL_FRONT, GL_DIFFUSE), 1.0f);
    EXPECT_FLOAT_EQ(MaterialAlpha(GL_BACK, GL_AMBIENT), 1.0f);

    ApplyPaletteMaterial(0);
    EXPECT_FLOAT_EQ(materialPalette[0].alpha, 0.5f) << "fadeAlpha is the palette word itself";
    for (GLenum which : {GL_AMBIENT, GL_DIFFUSE, GL_SPECULAR, GL_EMISSION}) {
        EXPECT_FLOAT_EQ(MaterialAlpha(GL_FRONT, which), 0.5f);
        EXPECT_FLOAT_EQ(MaterialAlpha(GL_BACK, which), 0.5f);
    }
    DrawLitQuad(0, 0, 1, rgb);
    EXPECT_NEAR(rgb[1], 128, 2);
}

TEST_F(Palette, RowOneReachesBothFacesUnchanged) {
    ApplyPaletteMaterial(1);
    for (GLenum face : {GL_FRONT, GL_BACK}) {
        float d[4] = {}, a[4] = {}, s[4] = {}, e[4] = {};
        glGetMaterialfv(face, GL_DIFFUSE, d);
        glGetMaterialfv(face, GL_AMBIENT, a);
        glGetMaterialfv(face, GL_SPECULAR, s);
        glGetMaterialfv(face, GL_EMISSION, e);
        EXPECT_FLOAT_EQ(d[0], 0.34f);
        EXPECT_FLOAT_EQ(d[1], 0.37f);
        EXPECT_FLOAT_EQ(d[2], 0.52f);
        EXPECT_FLOAT_EQ(a[0] + a[1] + a[2], 0.0f);
        EXPECT_FLOAT_EQ(s[0] * s[1] * s[2], 1.0f);
        EXPECT_FLOAT_EQ(e[0] + e[1] + e[2], 0.0f);
    }
}

TEST_F(Palette, ShininessOf2048IsPassedOnAndRefusedByGl) {
    glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, 20.0f);
    while (glGetError() != GL_NO_ERROR) {}
    ApplyPaletteMaterial(0);
    // Passed unclamped, so GL reports the out-of-range value and keeps what it had.
    EXPECT_EQ(glGetError(), GLenum(GL_INVALID_VALUE));
    float shininess = 0.0f;
    glGetMaterialfv(GL_FRONT, GL_SHININESS, &shininess);
    EXPECT_FLOAT_EQ(shininess, 20.0f);
    glGetMaterialfv(GL_BACK, GL_SHININESS, &shininess);
    EXPECT_FLOAT_EQ(shininess, 20.0f);
}

TEST_F(Palette, RowsOutsideThePaletteChangeNothing) {
    fadeAlpha = 0.25f;
    ApplyPaletteMaterial(0);
    while (glGetError() != GL_NO_ERROR) {}
    ApplyPaletteMaterial(2);
    ApplyPaletteMaterial(-1);
    EXPECT_FLOAT_EQ(MaterialAlpha(GL_FRONT, GL_DIFFUSE), 0.25f);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR)) << "no material call was made";
}
