// The character's poses on a real GL context: where each part lands, read back with GL feedback
// and fitted to an affine map per part, so positions and angles are exact to float precision.
#include "platform/gl.h"

#include <array>
#include <cmath>
#include <functional>
#include <vector>

#include "geometry/figure.h"
#include "geometry/mesh.h"
#include "tests/feedback.h"
#include "tests/gl_test_context.h"

namespace {

using Vec = std::array<double, 3>;
using Affine = std::array<std::array<double, 4>, 3>;  // rows: x, y, z = M * (p, 1)

const int viewSize = 2000;

struct Part {
    const EmbeddedMesh* mesh;
    Affine map;
};

std::vector<Vec> CapturePolygons(const std::function<void()>& draw) {
    glViewport(0, 0, viewSize, viewSize);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-1, 1, -1, 1, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    std::vector<Vec> out;
    for (const FeedbackPrimitive& p : CaptureFeedback(draw).primitives) {
        EXPECT_EQ(p.kind, FeedbackKind::Polygon);
        for (const FeedbackVertex& v : p.vertices)
            out.push_back({v.x / (viewSize / 2.0) - 1, v.y / (viewSize / 2.0) - 1, 1 - 2.0 * v.z});
    }
    return out;
}

// Least-squares affine map from a part's model positions to where its corners landed.
Affine FitPart(const EmbeddedMesh& m, const std::vector<Vec>& landed, size_t first) {
    double normal[4][4] = {}, rhs[4][3] = {};
    for (int f = 0; f < m.faceCount; ++f)
        for (int c = 0; c < 3; ++c) {
            const int p = m.faces16 ? m.faces16[f].position[c] : m.faces8[f].position[c];
            const double x[4] = {m.positions[p][0], m.positions[p][1], m.positions[p][2], 1};
            const Vec& y = landed[first + 3 * f + c];
            for (int r = 0; r < 4; ++r) {
                for (int s = 0; s < 4; ++s) normal[r][s] += x[r] * x[s];
                for (int d = 0; d < 3; ++d) rhs[r][d] += x[r] * y[d];
            }
        }
    for (int col = 0; col < 4; ++col)  // Gauss-Jordan on the 4x4 normal equations
        for (int r = 0; r < 4; ++r) {
            if (r == col) continue;
            const double k = normal[r][col] / normal[col][col];
            for (int s = 0; s < 4; ++s) normal[r][s] -= k * normal[col][s];
            for (int d = 0; d < 3; ++d) rhs[r][d] -= k * rhs[col][d];
        }
    Affine a{};
    for (int d = 0; d < 3; ++d)
        for (int r = 0; r < 4; ++r) a[d][r] = rhs[r][d] / normal[r][r];
    return a;
}

Vec Apply(const Affine& a, const Vec& p) {
    Vec out{};
    for (int d = 0; d < 3; ++d) out[d] = a[d][0] * p[0] + a[d][1] * p[1] + a[d][2] * p[2] + a[d][3];
    return out;
}

// Top, core, pair, pair: the pose's drawing order.
std::vector<Part> DrawAndFit(const std::function<void()>& pose) {
    const std::vector<Vec> landed = CapturePolygons(pose);
    const EmbeddedMesh* order[] = {&figureTopMesh, &figureCoreMesh, &figurePairMesh, &figurePairMesh};
    EXPECT_EQ(landed.size(), 3u * (960 + 572 + 316 + 316));
    std::vector<Part> parts;
    size_t first = 0;
    for (const EmbeddedMesh* m : order) {
        if (landed.size() < first + 3 * m->faceCount) break;
        parts.push_back({m, FitPart(*m, landed, first)});
        first += 3 * m->faceCount;
    }
    return parts;
}

// A part's turn in the model frame (the caller's frame turned back by the pose's Rx(-90)).
std::array<std::array<double, 3>, 3> ModelTurn(const Affine& a) {
    std::array<std::array<double, 3>, 3> r{};
    for (int c = 0; c < 3; ++c) {
        r[0][c] = a[0][c];
        r[1][c] = -a[2][c];  // Rx(90): y' = -z, z' = y
        r[2][c] = a[1][c];
    }
    return r;
}

// Caller-frame point for a model-frame figure of the tables.
Vec Caller(double x, double y, double z) { return {x, z, -y}; }

void ExpectNear(const Vec& got, const Vec& want, double tol = 1.5e-6) {
    for (int d = 0; d < 3; ++d) EXPECT_NEAR(got[d], want[d], tol) << "component " << d;
}

const Vec sphereCentre = {0, 0, 0.2318243};
const Vec pairCentre = {-0.2266455, -0.0234543, -0.137762};
const double degrees = 180.0 / M_PI;

class GeometryFigure : public GlTest {
protected:
    void SetUp() override {
        GlTest::SetUp();
        if (!IsSkipped()) BuildFigureLists();
    }
};

}  // namespace

TEST_F(GeometryFigure, BuildsThreeListsInOrderPairCoreTop) {
    EXPECT_NE(figurePairList, 0u);
    EXPECT_EQ(figureCoreList, figurePairList + 1);
    EXPECT_EQ(figureTopList, figurePairList + 2);
}

TEST_F(GeometryFigure, StillAndNodPlaceTheSphereAndBothPairCopies) {
    const std::vector<Part> still = DrawAndFit([] { DrawFigureStill(); });
    ASSERT_EQ(still.size(), 4u);
    ExpectNear(Apply(still[0].map, sphereCentre), {0, 0.234143, 0});
    ExpectNear(Apply(still[2].map, pairCentre), Caller(-0.228912, -0.0236888, -0.13914));
    ExpectNear(Apply(still[3].map, pairCentre), Caller(0.226645, -0.0236888, -0.13914));
    // Carried across, not mirrored: 0.228912 and 0.226645 from the centre plane.
    EXPECT_NEAR(Apply(still[3].map, pairCentre)[0] - pairCentre[0], 0.45329, 1.5e-6);

    const std::vector<Part> half = DrawAndFit([] { DrawFigureNod(0.5f); });
    ASSERT_EQ(half.size(), 4u);
    ExpectNear(Apply(half[0].map, sphereCentre), {0, 0.179364, 0.150504});
    const auto turn = ModelTurn(half[0].map);
    EXPECT_NEAR(std::atan2(turn[2][1], turn[1][1]) * degrees, 40.0, 1e-4);  // tipped 40 degrees about x
    ExpectNear(Apply(half[2].map, pairCentre), Caller(-0.228912, -0.0236888, -0.13914));
    ExpectNear(Apply(half[3].map, pairCentre), Caller(0.226645, -0.0236888, -0.13914));

    // Whole phases draw exactly what the still pose draws.
    const std::vector<Vec> a = CapturePolygons([] { DrawFigureStill(); });
    const std::vector<Vec> b = CapturePolygons([] { DrawFigureNod(3.0f); });
    ASSERT_EQ(a.size(), b.size());
    for (size_t i = 0; i < a.size(); ++i) ExpectNear(b[i], a[i], 1e-6);
}

TEST_F(GeometryFigure, StrideSwingsTheTurnedPairsAQuarterCycleApart) {
    const std::vector<Part> parts = DrawAndFit([] { DrawFigureStride(0.0f); });
    ASSERT_EQ(parts.size(), 4u);
    ExpectNear(Apply(parts[0].map, sphereCentre), {0, 0.234143, 0});  // top at 0 degrees
    // Each copy: Rz(90) then its own swing Ry(angle); undo the quarter turn and read the swing.
    const double swings[2] = {15.0, 0.0};
    const Vec centres[2] = {Caller(-0.1, -0.228912, -0.13914), Caller(0.146909, -0.228912, -0.13914)};
    for (int k = 0; k < 2; ++k) {
        SCOPED_TRACE(k);
        const auto t = ModelTurn(parts[2 + k].map);
        // Rz(-90) * t = Ry(angle): rows (t[1], -t[0], t[2]).
        const double r00 = t[1][0], r02 = t[1][2], r11 = -t[0][1];
        EXPECT_NEAR(r11, 1.0, 1e-6);
        const double angle = std::atan2(r02, r00) * degrees;
        EXPECT_NEAR(angle, swings[k], 1e-4);
        // Where the centre sits with the swing taken out (the swing turns about the block origin).
        const double c = std::cos(-angle / degrees), s = std::sin(-angle / degrees);
        const Vec unswung = {c * pairCentre[0] + s * pairCentre[2], pairCentre[1],
                             -s * pairCentre[0] + c * pairCentre[2]};
        ExpectNear(Apply(parts[2 + k].map, unswung), centres[k]);
    }
}

TEST_F(GeometryFigure, ShakeRocksTheTopAndSwingsThePairs) {
    const std::vector<Part> start = DrawAndFit([] { DrawFigureShake(0.0f); });
    ASSERT_EQ(start.size(), 4u);
    ExpectNear(Apply(start[0].map, sphereCentre), {-0.080081, 0.220022, 0});
    const auto top = ModelTurn(start[0].map);
    EXPECT_NEAR(std::atan2(top[0][2], top[0][0]) * degrees, -20.0, 1e-4);

    const auto first = ModelTurn(start[2].map);
    EXPECT_NEAR(first[1][1], 1.0, 1e-6);
    const double firstAngle = std::atan2(first[0][2], first[0][0]) * degrees;
    EXPECT_NEAR(firstAngle, 12.0, 1e-4);
    const auto second = ModelTurn(start[3].map);  // Rz(180) * Ry(angle)
    EXPECT_NEAR(second[1][1], -1.0, 1e-6);
    EXPECT_NEAR(std::atan2(-second[0][2], -second[0][0]) * degrees, 0.0, 1e-4);
    // Centres with the swing taken out.
    const double c = std::cos(-firstAngle / degrees), s = std::sin(-firstAngle / degrees);
    const Vec unswung = {c * pairCentre[0] + s * pairCentre[2], pairCentre[1], -s * pairCentre[0] + c * pairCentre[2]};
    ExpectNear(Apply(start[2].map, unswung), Caller(-0.228912, -0.0236888, -0.13914));
    ExpectNear(Apply(start[3].map, pairCentre), Caller(0.224379, 0.0236888, -0.13914));

    const std::vector<Part> half = DrawAndFit([] { DrawFigureShake(0.5f); });
    ASSERT_EQ(half.size(), 4u);
    ExpectNear(Apply(half[0].map, sphereCentre), {0.080081, 0.220022, 0});
}

TEST_F(GeometryFigure, EveryPoseLeavesTheModelviewAsItFoundIt) {
    const std::function<void()> poses[] = {[] { DrawFigureStill(); }, [] { DrawFigureNod(0.3f); },
                                           [] { DrawFigureStride(0.7f); }, [] { DrawFigureShake(0.2f); }};
    for (const auto& pose : poses) {
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glTranslatef(0.1f, -0.2f, -2.0f);
        glRotatef(33.0f, 0.3f, 1.0f, 0.2f);
        glScalef(0.5f, 0.5f, 0.5f);
        float before[16], after[16];
        GLint depthBefore = 0, depthAfter = 0;
        glGetFloatv(GL_MODELVIEW_MATRIX, before);
        glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depthBefore);
        pose();
        glGetFloatv(GL_MODELVIEW_MATRIX, after);
        glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depthAfter);
        EXPECT_EQ(depthAfter, depthBefore);
        for (int i = 0; i < 16; ++i) EXPECT_EQ(after[i], before[i]) << "element " << i;
    }
}
