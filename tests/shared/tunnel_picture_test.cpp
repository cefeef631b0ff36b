// The tunnel's whole picture, pixel for pixel, against the tube drawn the plain way: one line strip
// through all 8256 corners of its faces, three passes with a depth clear between them. The program
// records and draws the tube in a cheaper form; what must not change is any byte of any frame.
#include "platform/gl.h"

#include <cstdint>
#include <cstdlib>
#include <vector>

#include "app/shell.h"
#include "geometry/mesh.h"
#include "scenes/timeline.h"
#include "tests/gl_test_context.h"

namespace {

constexpr int kWidth = 1024;
constexpr int kHeight = 768;

struct Pass {
    float width, red, green, blue;
};
// Wide and dark first, narrow and bright last.
const Pass kPasses[3] = {{5.0f, 0.14f, 0.17f, 0.32f}, {3.0f, 0.34f, 0.37f, 0.52f}, {1.0f, 0.54f, 0.57f, 0.72f}};

// Window 18 is [72000, 86000): its first frame, the sprites passing the eye (73400-75150), the
// panel's phase bounds and either side of them (77000, 78000, 82000, 83000), the fade's start at
// r = 0.8 (83200), the last frames at 60 fps and just before the end, and times between.
const double kTimes[] = {72000.0, 72016.667, 72500.0,   73000.0,   73400.0, 73725.0,   74100.0, 74450.0, 75150.0,
                         75600.0, 76300.0,   76999.9,   77000.0,   77000.1, 77016.667, 77500.0, 77999.9, 78000.0,
                         78000.1, 79000.0,   80000.0,   80690.0,   81500.0, 81931.0,   81999.9, 82000.0, 82000.1,
                         82500.0, 82999.9,   83000.0,   83000.1,   83100.0, 83199.9,   83200.0, 83200.1, 83700.0,
                         84400.0, 85100.0,   85966.667, 85983.333, 85999.9};

// The tube as it was first drawn: its material, then one strip through every corner of every face.
unsigned CompileReferenceStrip() {
    const EmbeddedMesh& m = tunnelTubeMesh;
    const MaterialRow& row = m.materials[0];
    const unsigned strip = glGenLists(1);
    glNewList(strip, GL_COMPILE);
    const float* colours[4] = {row.ambient, row.diffuse, row.specular, row.emission};
    const GLenum names[4] = {GL_AMBIENT, GL_DIFFUSE, GL_SPECULAR, GL_EMISSION};
    for (int k = 0; k < 4; ++k) {
        const float rgba[4] = {colours[k][0], colours[k][1], colours[k][2], row.alpha};
        glMaterialfv(GL_FRONT_AND_BACK, names[k], rgba);
    }
    glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, row.shininess);
    glBegin(GL_LINE_STRIP);
    for (int i = 0; i < m.faceCount; ++i)
        for (int c = 0; c < 3; ++c) {
            const MeshFace16& f = m.faces16[i];
            glNormal3fv(m.normals[f.normal[c]]);
            glTexCoord2fv(m.texCoords[f.texCoord[c]]);
            glVertex3fv(m.positions[f.position[c]]);
        }
    glEnd();
    glEndList();
    return strip;
}

// All three passes with their widths, colours and depth clears, inside one list. The scene calls
// the tube's list three times; drawing all passes each time leaves the same pixels as once, since
// every pixel ends with the colour of the last pass that covers it.
unsigned CompileReferenceTube(unsigned strip) {
    const unsigned tube = glGenLists(1);
    glNewList(tube, GL_COMPILE);
    for (int pass = 0; pass < 3; ++pass) {
        if (pass > 0) glClear(GL_DEPTH_BUFFER_BIT);
        glLineWidth(kPasses[pass].width);
        glColor3f(kPasses[pass].red, kPasses[pass].green, kPasses[pass].blue);
        glCallList(strip);
    }
    glEndList();
    return tube;
}

std::vector<uint8_t> FrameAt(double t) {
    RenderFrame(t);
    return ReadFramebuffer(kWidth, kHeight);
}

int PixelsOfColour(const std::vector<uint8_t>& rgba, const Pass& pass) {
    const int want[3] = {static_cast<int>(pass.red * 255.0f + 0.5f), static_cast<int>(pass.green * 255.0f + 0.5f),
                         static_cast<int>(pass.blue * 255.0f + 0.5f)};
    int count = 0;
    for (size_t i = 0; i < rgba.size(); i += 4)
        if (std::abs(rgba[i] - want[0]) <= 1 && std::abs(rgba[i + 1] - want[1]) <= 1 &&
            std::abs(rgba[i + 2] - want[2]) <= 1)
            ++count;
    return count;
}

class TunnelPicture : public SceneGlTest {
protected:
    void SetUp() override {
        SceneGlTest::SetUp();
        if (IsSkipped()) return;
        ResizeViewport(kWidth, kHeight);  // another test in this process may have left its own projection
        camX = camY = camZ = camRoll = camYaw = camPitch = 0.0f;
    }
};

}  // namespace

TEST_F(TunnelPicture, EveryFrameMatchesTheOneStripByteForByte) {
    const unsigned programTube = tunnelTubeList;
    const unsigned referenceTube = CompileReferenceTube(CompileReferenceStrip());
    for (double t : kTimes) {
        SCOPED_TRACE(t);
        tunnelTubeList = referenceTube;
        const std::vector<uint8_t> want = FrameAt(t);
        tunnelTubeList = programTube;
        const std::vector<uint8_t> got = FrameAt(t);

        // Until the fade, the reference really shows the tube: every pass's colour in quantity.
        if (t < 83200.0) {
            for (const Pass& pass : kPasses) ASSERT_GT(PixelsOfColour(want, pass), 2000) << "pass " << pass.width;
        }

        int differing = 0, first = -1;
        for (int p = 0; p < kWidth * kHeight; ++p)
            for (int c = 0; c < 4; ++c)
                if (want[4 * p + c] != got[4 * p + c]) {
                    if (first < 0) first = p;
                    ++differing;
                    break;
                }
        EXPECT_EQ(differing, 0) << "first at x " << first % kWidth << ", y " << first / kWidth;
    }
    tunnelTubeList = programTube;
}
