// The compiled mesh lists on a real GL context: materials inside the lists and the emitted
// vertices (read back with GL feedback). The tube's picture is tested in tunnel_picture_test.cpp.
#include "platform/gl.h"

#include <cmath>
#include <vector>

#include "geometry/mesh.h"
#include "tests/feedback.h"
#include "tests/gl_test_context.h"

namespace {

const int feedbackSize = 2000;  // viewport edge: one model unit is 1000 pixels under the ortho below

struct Vertex {
    double x, y, z, r, g, b, a;
};
struct Primitive {
    bool line;
    std::vector<Vertex> v;
};

// Ortho identity view: window coordinates map back to model coordinates exactly enough.
void UseModelView(float scale) {
    glViewport(0, 0, feedbackSize, feedbackSize);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-1, 1, -1, 1, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glScalef(scale, scale, scale);
}

Vertex ModelOf(const FeedbackVertex& f, float scale) {
    return {(f.x / (feedbackSize / 2.0) - 1) / scale,
            (f.y / (feedbackSize / 2.0) - 1) / scale,
            (1 - 2.0 * f.z) / scale,
            f.r,
            f.g,
            f.b,
            f.a};
}

std::vector<Primitive> Capture(unsigned list, float scale) {
    std::vector<Primitive> out;
    for (const FeedbackPrimitive& p : CaptureFeedback([list] { glCallList(list); }, 1 << 22).primitives) {
        Primitive model{p.kind == FeedbackKind::Line, {}};
        for (const FeedbackVertex& v : p.vertices) model.v.push_back(ModelOf(v, scale));
        out.push_back(model);
    }
    return out;
}

// Lighting that shows a material's diffuse colour exactly where the normal meets the light.
void LightAlong(const float* normal) {
    glEnable(GL_LIGHTING);
    glDisable(GL_LIGHT1);
    glEnable(GL_LIGHT0);
    const float black[4] = {0, 0, 0, 1}, white[4] = {1, 1, 1, 1};
    const float dir[4] = {normal[0], normal[1], normal[2], 0};
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, black);
    glLightfv(GL_LIGHT0, GL_AMBIENT, black);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, white);
    glLightfv(GL_LIGHT0, GL_SPECULAR, black);
    glLightfv(GL_LIGHT0, GL_POSITION, dir);
}

// A material no mesh uses, set before a list is called.
void SetForeignMaterial(float shininess) {
    const float green[4] = {0, 1, 0, 1}, black[4] = {0, 0, 0, 1};
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, black);
    glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, green);
    glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, black);
    glMaterialfv(GL_FRONT_AND_BACK, GL_EMISSION, black);
    glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, shininess);
}

int FirstCornerNormal(const EmbeddedMesh& m) { return m.faces16 ? m.faces16[0].normal[0] : m.faces8[0].normal[0]; }

int PositionIndex(const EmbeddedMesh& m, int face, int c) {
    return m.faces16 ? m.faces16[face].position[c] : m.faces8[face].position[c];
}

class GeometryLists : public GlTest {};

}  // namespace

TEST_F(GeometryLists, EachListEmitsItsFacesInOrderWithTheFirstRunsMaterialFirst) {
    const EmbeddedMesh* solids[] = {&meshDataA, &meshDataB, &figurePairMesh, &figureCoreMesh, &figureTopMesh};
    for (const EmbeddedMesh* m : solids) {
        SCOPED_TRACE(m->faceCount);
        const unsigned list = CompileMesh(*m);
        ASSERT_NE(list, 0u);
        UseModelView(1.0f);
        LightAlong(m->normals[FirstCornerNormal(*m)]);
        SetForeignMaterial(5.0f);
        const std::vector<Primitive> prims = Capture(list, 1.0f);
        ASSERT_EQ(static_cast<int>(prims.size()), m->faceCount);
        // Corner c of polygon i is the position the face table names (the pair's 8-bit table too).
        for (int i = 0; i < m->faceCount; ++i) {
            ASSERT_EQ(prims[i].v.size(), 3u);
            for (int c = 0; c < 3; ++c) {
                const float* p = m->positions[PositionIndex(*m, i, c)];
                ASSERT_NEAR(prims[i].v[c].x, p[0], 2e-6);
                ASSERT_NEAR(prims[i].v[c].y, p[1], 2e-6);
                ASSERT_NEAR(prims[i].v[c].z, p[2], 2e-6);
            }
        }
        // The very first corner is lit with the first run's diffuse, not the green set before.
        const MaterialRow& row = m->materials[m->runs[0].material];
        EXPECT_NEAR(prims[0].v[0].r, row.diffuse[0], 2e-3);
        EXPECT_NEAR(prims[0].v[0].g, row.diffuse[1], 2e-3);
        EXPECT_NEAR(prims[0].v[0].b, row.diffuse[2], 2e-3);
        glDeleteLists(list, 1);
    }
}

TEST_F(GeometryLists, MeshListASwitchesOnceAndLeavesRowOne) {
    const unsigned list = CompileMesh(meshDataA);
    UseModelView(1.0f);
    const float towardsViewer[3] = {0, 0, 1};
    LightAlong(towardsViewer);
    SetForeignMaterial(5.0f);
    const std::vector<Primitive> prims = Capture(list, 1.0f);
    ASSERT_EQ(prims.size(), 2176u);
    // Grey row 0 lights with equal channels, blue-grey row 1 with blue above red.
    int seen[2] = {0, 0};
    for (int i = 0; i < 2176; ++i)
        for (const Vertex& v : prims[i].v) {
            if (v.b < 0.05) continue;
            const int row = std::fabs(v.r - v.b) < 2e-3 ? 0 : 1;
            ASSERT_EQ(row, i < 1268 ? 0 : 1) << "face " << i;
            ++seen[row];
        }
    EXPECT_GT(seen[0], 500);
    EXPECT_GT(seen[1], 500);

    glCallList(list);
    float diffuse[4], specular[4], shininess = 0;
    glGetMaterialfv(GL_FRONT, GL_DIFFUSE, diffuse);
    glGetMaterialfv(GL_BACK, GL_SPECULAR, specular);
    glGetMaterialfv(GL_FRONT, GL_SHININESS, &shininess);
    EXPECT_NEAR(diffuse[0], 0.349020f, 1e-6);
    EXPECT_NEAR(diffuse[2], 0.529412f, 1e-6);
    EXPECT_NEAR(specular[0], 0.0628627f, 1e-6);
    // Row 1's 776.047 is refused, so row 0's shininess set earlier in the list stays.
    EXPECT_NEAR(shininess, 21.1121f, 1e-4);
    while (glGetError() != GL_NO_ERROR) {}
}

TEST_F(GeometryLists, ShininessAbove128LeavesTheCurrentValue) {
    struct Case {
        const EmbeddedMesh* mesh;
        float expected;
    };
    const Case cases[] = {{&meshDataB, 2.14355f},
                          {&figurePairMesh, 7.0f},
                          {&figureCoreMesh, 7.0f},
                          {&figureTopMesh, 7.0f},
                          {&tunnelTubeMesh, 7.0f}};
    for (const Case& c : cases) {
        const unsigned list = CompileMesh(*c.mesh);
        SetForeignMaterial(7.0f);
        glCallList(list);
        float front = 0, back = 0;
        glGetMaterialfv(GL_FRONT, GL_SHININESS, &front);
        glGetMaterialfv(GL_BACK, GL_SHININESS, &back);
        EXPECT_NEAR(front, c.expected, 1e-5);
        EXPECT_NEAR(back, c.expected, 1e-5);
        glDeleteLists(list, 1);
    }
    while (glGetError() != GL_NO_ERROR) {}
}

TEST_F(GeometryLists, TubeListLeavesItsLastCornersNormalAndTextureCoordinate) {
    const EmbeddedMesh& m = tunnelTubeMesh;
    const unsigned list = CompileMesh(m);
    glNormal3f(0, 1, 0);
    glTexCoord2f(0.25f, 0.75f);
    glCallList(list);
    float normal[4] = {0}, texCoord[4] = {0};
    glGetFloatv(GL_CURRENT_NORMAL, normal);
    glGetFloatv(GL_CURRENT_TEXTURE_COORDS, texCoord);
    const MeshFace16& last = m.faces16[m.faceCount - 1];
    for (int i = 0; i < 3; ++i) EXPECT_EQ(normal[i], m.normals[last.normal[2]][i]) << i;
    for (int i = 0; i < 2; ++i) EXPECT_EQ(texCoord[i], m.texCoords[last.texCoord[2]][i]) << i;
    glDeleteLists(list, 1);
}
