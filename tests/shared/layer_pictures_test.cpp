// The fixed-function layer against real GL 1.1, where a reference frame would not say why a
// picture went wrong. Both builds draw each case with the same calls and write its picture to
// $BRIMVALE_LAYER_PICTURES/<gl|gles>/<case>.png; the GLES build then holds its picture against
// the desktop build's, pixel by pixel (scripts/gles-check runs the desktop cases first). Checks
// that hold within one build (a refused value leaves the picture as it was) run in both.
#include "platform/gl.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/offline.h"
#include "geometry/mesh.h"
#include "render/texture_slots.h"
#include "tests/frames/frames.h"
#include "tests/gl_test_context.h"

namespace {

constexpr int kWidth = 1024;
constexpr int kHeight = 768;
// llvmpipe's own fixed-function shaders and the layer's round the last bit apart now and then.
constexpr int kChannelTolerance = 1;

#if defined(BRIMVALE_GLES2)
const char* const kBuild = "gles";
#else
const char* const kBuild = "gl";
#endif

std::string PictureDir(const char* build) {
    const char* dir = std::getenv("BRIMVALE_LAYER_PICTURES");
    return std::string(dir && *dir ? dir : BRIMVALE_BUILD_DIR "/layer-pictures") + "/" + build;
}

// The picture as the program's own --shot reads it: top row first, opaque.
Picture Grab() {
    Picture p;
    p.width = kWidth;
    p.height = kHeight;
    ReadPicture(p.rgba, kWidth, kHeight);
    return p;
}

// Pixels where the two pictures differ by more than `tolerance` in a channel.
int Differing(const Picture& a, const Picture& b, int tolerance, int* first) {
    int count = 0;
    *first = -1;
    for (size_t p = 0; p < a.rgba.size() / 4; ++p)
        for (int c = 0; c < 3; ++c)
            if (std::abs(a.rgba[4 * p + c] - b.rgba[4 * p + c]) > tolerance) {
                if (*first < 0) *first = static_cast<int>(p);
                ++count;
                break;
            }
    return count;
}

int Colours(const Picture& p) {
    std::vector<uint32_t> seen;
    for (size_t i = 0; i < p.rgba.size() && seen.size() < 16; i += 4) {
        const uint32_t c = p.rgba[i] | p.rgba[i + 1] << 8 | p.rgba[i + 2] << 16;
        if (std::find(seen.begin(), seen.end(), c) == seen.end()) seen.push_back(c);
    }
    return static_cast<int>(seen.size());
}

// Pixels not of the background (the top-left corner's colour).
[[maybe_unused]] int Drawn(const Picture& p) {
    int n = 0;
    for (size_t i = 0; i < p.rgba.size(); i += 4)
        if (p.rgba[i] != p.rgba[0] || p.rgba[i + 1] != p.rgba[1] || p.rgba[i + 2] != p.rgba[2]) ++n;
    return n;
}

// Writes this build's picture of the case; the GLES build compares it with the desktop one, where
// at most `allowedShare` of the drawn pixels may differ.
void Judge(const char* name, const Picture& picture, int minColours, [[maybe_unused]] double allowedShare = 0.0) {
    ASSERT_GE(Colours(picture), minColours) << name << ": the case drew less than it should";
    const std::string dir = PictureDir(kBuild);
    std::string mkdir = "mkdir -p '" + dir + "'";
    ASSERT_EQ(std::system(mkdir.c_str()), 0);
    ASSERT_TRUE(SavePicture(dir + "/" + name + ".png", picture));
#if defined(BRIMVALE_GLES2)
    Picture desktop;
    const std::string path = PictureDir("gl") + "/" + name + ".png";
    ASSERT_TRUE(LoadPicture(path, desktop)) << path << ": run the desktop build's LayerPictures cases first";
    ASSERT_EQ(desktop.width, picture.width);
    int first = 0;
    const int n = Differing(desktop, picture, kChannelTolerance, &first);
    EXPECT_LE(n, static_cast<int>(allowedShare * Drawn(desktop)))
        << Drawn(desktop) << " drawn; " << name << ": first at x " << first % kWidth << ", y " << first / kWidth
        << " (top row 0)";
#endif
}

void Quad(float x0, float y0, float x1, float y1, float z) {
    glBegin(GL_QUADS);
    glVertex3f(x0, y0, z);
    glVertex3f(x1, y0, z);
    glVertex3f(x1, y1, z);
    glVertex3f(x0, y1, z);
    glEnd();
}

void Plain(float r, float g, float b) {
    glClearColor(r, g, b, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glDisable(GL_LIGHTING);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_BLEND);
    glEnable(GL_DEPTH_TEST);
    glLoadIdentity();
}

void Light(const float* specular) {
    const float ambient[4] = {0.1f, 0.1f, 0.1f, 1.0f};
    const float diffuse[4] = {0.9f, 0.9f, 1.0f, 1.0f};
    const float position[4] = {0.3f, 0.5f, 1.0f, 0.0f};
    glLightfv(GL_LIGHT1, GL_AMBIENT, ambient);
    glLightfv(GL_LIGHT1, GL_DIFFUSE, diffuse);
    glLightfv(GL_LIGHT1, GL_SPECULAR, specular);
    glLightfv(GL_LIGHT1, GL_POSITION, position);
    glEnable(GL_LIGHT1);
    glEnable(GL_LIGHTING);
}

void Material(float red, float shininess) {
    const float ambient[4] = {red, 0.2f, 0.1f, 1.0f};
    const float diffuse[4] = {red, 0.3f, 0.2f, 1.0f};
    const float specular[4] = {0.8f, 0.8f, 0.8f, 1.0f};
    const float emission[4] = {0.0f, 0.0f, 0.05f, 1.0f};
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, ambient);
    glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, diffuse);
    glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, specular);
    glMaterialfv(GL_FRONT_AND_BACK, GL_EMISSION, emission);
    glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, shininess);
}

// A bumpy lit sheet: normals that vary, so both diffuse and specular terms show.
void LitSheet(float x, float y, float z, float scale) {
    glPushMatrix();
    glTranslatef(x, y, z);
    glRotatef(-30.0f, 1.0f, 0.0f, 0.0f);
    glScalef(scale, scale, scale);
    const int n = 12;
    for (int j = 0; j < n; ++j) {
        glBegin(GL_TRIANGLE_STRIP);
        for (int i = 0; i <= n; ++i)
            for (int k = 1; k >= 0; --k) {
                const float u = -1.0f + 2.0f * i / n, v = -1.0f + 2.0f * (j + k) / n;
                glNormal3f(0.6f * u, 0.6f * v, 1.0f);
                glVertex3f(u, v, 0.0f);
            }
        glEnd();
    }
    glPopMatrix();
}

// Corners of four colours on a quad that is no parallelogram: the diagonal it is split along shows.
void ColourQuad() {
    glBegin(GL_QUADS);
    glColor3f(1.0f, 0.0f, 0.0f);
    glVertex3f(-1.2f, -0.6f, -3.0f);
    glColor3f(0.0f, 1.0f, 0.0f);
    glVertex3f(-0.2f, -0.5f, -3.0f);
    glColor3f(0.0f, 0.0f, 1.0f);
    glVertex3f(-0.3f, 0.7f, -3.0f);
    glColor3f(1.0f, 1.0f, 1.0f);
    glVertex3f(-1.0f, 0.4f, -3.0f);
    glEnd();
}

class LayerPictures : public SceneGlTest {};

}  // namespace

// The show scales lit meshes from 0.1 to 1.8: GL 1.1 lights the normal as transformed, so a
// small mesh comes out bright and a large one dim; normalising would make them alike.
TEST_F(LayerPictures, LightingAtMeshScales) {
    Plain(1.0f, 1.0f, 1.0f);
    const float black[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    Light(black);
    Material(0.5f, 0.0f);
    LitSheet(-0.5f, 0.25f, -2.0f, 0.1f * 3.0f);
    glPushMatrix();
    glTranslatef(-0.35f, -0.25f, -2.0f);
    glScalef(0.1f, 0.1f, 0.1f);
    glCallList(meshListB);  // the show's own mesh and materials
    glPopMatrix();
    glPushMatrix();
    glTranslatef(0.45f, 0.0f, -3.0f);
    glScalef(1.8f, 1.8f, 1.8f);
    glRotatef(40.0f, 1.0f, 1.0f, 0.0f);
    glCallList(meshListB);
    glPopMatrix();
    LitSheet(0.5f, -0.55f, -3.0f, 0.4f);
    glEnable(GL_NORMALIZE);
    LitSheet(-0.5f, -0.55f, -3.0f, 0.4f);  // the same sheet normalised, for contrast
    glDisable(GL_NORMALIZE);
    const float nearby[4] = {-0.2f, 0.9f, -1.5f, 1.0f};  // a positional light, attenuated
    glLightfv(GL_LIGHT1, GL_POSITION, nearby);
    glLightf(GL_LIGHT1, GL_LINEAR_ATTENUATION, 0.3f);
    LitSheet(0.0f, 0.75f, -3.5f, 0.3f);
    glLightf(GL_LIGHT1, GL_LINEAR_ATTENUATION, 0.0f);
    Judge("lighting-scales", Grab(), 8);
}

// Highlights under lights well off the line of sight, where the half-vector between the light and
// the viewer (at infinity, on +z) is neither of the two: a directional light from the upper right,
// then a positional one at the lower left, whose half-vector turns from vertex to vertex.
TEST_F(LayerPictures, SpecularOffTheLineOfSight) {
    Plain(0.0f, 0.0f, 0.0f);
    const float white[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    Light(white);
    Material(0.3f, 24.0f);
    glEnable(GL_NORMALIZE);  // unit normals, so the highlight is a spot, not the whole sheet
    const float side[4] = {0.9f, 0.6f, 0.35f, 0.0f};
    glLightfv(GL_LIGHT1, GL_POSITION, side);
    LitSheet(-0.55f, 0.0f, -2.5f, 0.5f);
    const float low[4] = {-0.2f, -0.7f, -1.0f, 1.0f};
    glLightfv(GL_LIGHT1, GL_POSITION, low);
    LitSheet(0.55f, 0.0f, -2.5f, 0.5f);
    glDisable(GL_NORMALIZE);
    const Picture picture = Grab();
    int bright = 0;
    for (size_t i = 0; i < picture.rgba.size(); i += 4)
        if (picture.rgba[i] > 230 && picture.rgba[i + 1] > 230 && picture.rgba[i + 2] > 230) ++bright;
    EXPECT_GT(bright, 200) << "no highlight to compare";
    Judge("specular-off-axis", picture, 8);
}

// A list that sets no colour takes the current one when called; one that sets normals leaves
// its last normal current, and lit drawing after it uses that normal.
TEST_F(LayerPictures, ListsLeaveAndSetCurrentAttributes) {
    Plain(0.0f, 0.0f, 0.2f);
    const unsigned colourless = glGenLists(2);
    glNewList(colourless, GL_COMPILE);
    Quad(-0.3f, -0.3f, 0.3f, 0.3f, -3.0f);
    glTranslatef(0.7f, 0.0f, 0.0f);  // lists hold transforms too
    glEndList();
    const unsigned withNormals = colourless + 1;
    glNewList(withNormals, GL_COMPILE);
    glBegin(GL_TRIANGLES);
    glNormal3f(0.0f, 0.0f, 1.0f);
    glVertex3f(-0.2f, -0.2f, -3.0f);
    glVertex3f(0.2f, -0.2f, -3.0f);
    glNormal3f(0.8f, 0.5f, 0.3f);  // the last normal: current after the list
    glVertex3f(0.0f, 0.2f, -3.0f);
    glEnd();
    glEndList();

    glTranslatef(-1.2f, 0.4f, 0.0f);
    glColor3f(0.9f, 0.2f, 0.1f);
    glCallList(colourless);
    glColor3f(0.1f, 0.8f, 0.3f);
    glCallList(colourless);
    glColor3f(0.9f, 0.9f, 0.2f);
    glCallList(colourless);

    glLoadIdentity();
    const float black[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    Light(black);
    Material(0.7f, 0.0f);
    glNormal3f(0.0f, 0.0f, 1.0f);
    glTranslatef(-0.6f, -0.5f, 0.0f);
    glCallList(withNormals);
    glTranslatef(0.9f, 0.0f, 0.0f);
    Quad(-0.3f, -0.3f, 0.3f, 0.3f, -3.0f);  // no normal of its own: the list's last one
    Judge("list-attributes", Grab(), 5);
    glDeleteLists(colourless, 2);
}

// What glPopAttrib puts back: with everything pushed, a scene of changes leaves no trace; with
// only the viewport and scissor pushed, the colour set in between stays.
TEST_F(LayerPictures, AttributeStack) {
    Plain(0.2f, 0.2f, 0.2f);
    glColor3f(0.3f, 0.6f, 0.9f);
    glLineWidth(3.0f);
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glEnable(GL_BLEND);
    glBlendFunc(GL_ZERO, GL_ONE);
    glColor3f(1.0f, 0.0f, 0.0f);
    glLineWidth(1.0f);
    glViewport(0, 0, 100, 100);
    glEnable(GL_LIGHTING);
    glDisable(GL_DEPTH_TEST);
    glPopAttrib();
    Quad(-0.5f, -0.5f, 0.0f, 0.0f, -3.0f);  // blue, unlit, not blended, whole viewport
    glBegin(GL_LINES);
    glVertex3f(0.1f, -0.5f, -3.0f);
    glVertex3f(0.9f, 0.3f, -3.0f);  // three pixels wide
    glEnd();

    glPushAttrib(GL_VIEWPORT_BIT | GL_SCISSOR_BIT);
    glViewport(0, 0, kWidth / 2, kHeight / 2);
    glScissor(0, 0, kWidth / 2, kHeight / 2);
    glColor3f(0.9f, 0.8f, 0.1f);
    Quad(-0.2f, -0.2f, 0.2f, 0.2f, -1.0f);
    glPopAttrib();
    Quad(0.0f, 0.1f, 0.4f, 0.5f, -3.0f);  // yellow: the current colour was not pushed
    GLint viewport[4] = {};
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], kWidth);
    Judge("attribute-stack", Grab(), 3);
}

// Widths 1 to 5 at every slope and direction, at fractional positions, and crossing the near
// plane, as GL 1.1 rasterises aliased lines.
static void DrawLineWidths() {
    Plain(0.0f, 0.0f, 0.0f);
    glDisable(GL_DEPTH_TEST);
    for (int w = 1; w <= 5; ++w) {
        glLineWidth(static_cast<float>(w));
        glColor3f(0.2f * w, 1.0f - 0.15f * w, 0.5f);
        const float cx = -1.6f + 0.65f * (w - 1), cy = 0.35f;
        glBegin(GL_LINES);
        for (int k = 0; k < 24; ++k) {
            const float a = 0.2618f * k + 0.05f * w, r0 = 0.03f + 0.01f * k, r1 = 0.3f;
            glVertex3f(cx + r0 * std::cos(a), cy + r0 * std::sin(a), -4.0f);
            glVertex3f(cx + r1 * std::cos(a), cy + r1 * std::sin(a), -4.0f);
        }
        glEnd();
        glBegin(GL_LINE_STRIP);
        for (int k = 0; k < 9; ++k) glVertex3f(cx - 0.3f + 0.075f * k, -0.3f + 0.13f * (k % 2), -4.0f);
        glEnd();
        glBegin(GL_LINES);  // from in front of the eye to far behind the near plane
        glVertex3f(cx * 0.1f, -0.12f, -0.5f);
        glVertex3f(cx * 0.02f, -0.25f, 2.0f);
        glEnd();
    }
    // Colours run along the major axis, the same across the line's width.
    glLineWidth(3.0f);
    glBegin(GL_LINES);
    for (int k = 0; k < 8; ++k) {
        glColor3f(1.0f, 0.1f * k, 0.0f);
        glVertex3f(-1.0f + 0.25f * k, -1.1f, -4.0f);
        glColor3f(0.0f, 0.2f, 1.0f - 0.1f * k);
        glVertex3f(-0.6f + 0.27f * k, -0.7f + 0.03f * k, -4.0f);
    }
    glEnd();
    glLineWidth(1.0f);
}

TEST_F(LayerPictures, LineWidths) {
    DrawLineWidths();
    Judge("line-widths", Grab(), 8);
}

// The same lines as screen-space quads, as on WebGL, whose lines are one pixel wide. Desktop GL
// draws its own lines again.
TEST_F(LayerPictures, LineWidthsAsQuads) {
#if defined(BRIMVALE_GLES2)
    ffpDrawLinesAsQuads(true);
#endif
    DrawLineWidths();
#if defined(BRIMVALE_GLES2)
    ffpDrawLinesAsQuads(false);
#endif
    // Where a line's end or edge falls exactly on the pixel grid the driver breaks the tie its own
    // way: a pixel or a column of them moves by one in a few lines of a hundred (13 of 17527 drawn
    // pixels here). Getting the start or end pixel rule wrong moves 54 or 170 of them.
    Judge("line-widths-as-quads", Grab(), 8, 0.0015);
}

// Quads split along the driver's diagonal (the colours show which), glRectf, texture modulate
// with blending over them, and texture replace.
TEST_F(LayerPictures, QuadsRectsAndTextures) {
    Plain(0.5f, 0.5f, 0.5f);
    glTranslatef(-0.3f, 0.1f, 0.0f);
    ColourQuad();  // drawn at once: split along one diagonal
    const unsigned list = glGenLists(1);
    glNewList(list, GL_COMPILE);
    ColourQuad();
    glEndList();
    glTranslatef(-0.3f, -0.9f, -1.0f);
    glCallList(list);  // recorded: along the other
    glDeleteLists(list, 1);
    glLoadIdentity();
    glColor4f(0.2f, 0.1f, 0.0f, 1.0f);
    glRectf(0.1f, -0.8f, 0.5f, -0.4f);
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glBindTexture(GL_TEXTURE_2D, fontTex.glName);
    glColor4f(1.0f, 0.6f, 0.3f, 0.8f);
    glBegin(GL_QUADS);
    glTexCoord2f(0.0f, 0.0f);
    glVertex3f(0.0f, -0.7f, -2.5f);
    glTexCoord2f(1.0f, 0.0f);
    glVertex3f(1.2f, -0.7f, -2.5f);
    glTexCoord2f(1.0f, 1.0f);
    glVertex3f(1.0f, 0.8f, -2.5f);
    glTexCoord2f(0.0f, 1.0f);
    glVertex3f(0.1f, 0.6f, -2.5f);
    glEnd();
    glDisable(GL_BLEND);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);  // the paused picture's mode
    glBegin(GL_QUADS);
    glTexCoord2f(0.0f, 0.5f);
    glVertex3f(-1.3f, -1.1f, -3.0f);
    glTexCoord2f(0.5f, 0.5f);
    glVertex3f(-0.5f, -1.1f, -3.0f);
    glTexCoord2f(0.5f, 1.0f);
    glVertex3f(-0.5f, -0.7f, -3.0f);
    glTexCoord2f(0.0f, 1.0f);
    glVertex3f(-1.3f, -0.7f, -3.0f);
    glEnd();
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glDisable(GL_TEXTURE_2D);
    Judge("quads-rects-textures", Grab(), 12);
}

// GL refuses a shininess above 128 (GL_INVALID_VALUE) and keeps the one it had, whether the value
// comes directly or from a list; the palette passes 2048 on purpose.
TEST_F(LayerPictures, RefusedShininessKeepsTheCurrentOne) {
    const float white[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    auto draw = [&](float shininess, void (*after)()) {
        Plain(0.0f, 0.0f, 0.0f);
        Light(white);
        Material(0.4f, shininess);
        while (glGetError() != GL_NO_ERROR) {}
        if (after) after();
        LitSheet(0.0f, 0.0f, -2.5f, 1.0f);
        return Grab();
    };
    const Picture kept = draw(12.0f, nullptr);
    const Picture direct = draw(12.0f, [] { glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, 2048.0f); });
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_INVALID_VALUE));
    const Picture listed = draw(12.0f, [] {
        const unsigned list = glGenLists(1);
        glNewList(list, GL_COMPILE);
        glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, 2048.0f);
        glEndList();
        glCallList(list);
        glDeleteLists(list, 1);
    });
    const Picture other = draw(90.0f, nullptr);
    int first = 0;
    EXPECT_EQ(Differing(kept, direct, 0, &first), 0);
    EXPECT_EQ(Differing(kept, listed, 0, &first), 0);
    EXPECT_GT(Differing(kept, other, 8, &first), 1000) << "the highlight does not show the shininess";
    Judge("refused-shininess", kept, 8);
}
