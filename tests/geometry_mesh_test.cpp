// The six embedded meshes as they ship: every fixed figure, checked from the compiled arrays.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <map>
#include <numeric>
#include <set>
#include <string>
#include <vector>

#include "geometry/mesh.h"

namespace {

struct Corner {
    int p, n, t;
};

// Face i, corner c, whatever the index width.
Corner CornerOf(const EmbeddedMesh& m, int i, int c) {
    if (m.faces16) return {m.faces16[i].position[c], m.faces16[i].normal[c], m.faces16[i].texCoord[c]};
    return {m.faces8[i].position[c], m.faces8[i].normal[c], m.faces8[i].texCoord[c]};
}

// True when v rounds to the figure as written (to its own number of decimals).
bool MatchesDigits(double v, const char* text) {
    const char* dot = std::strchr(text, '.');
    const int decimals = dot ? static_cast<int>(std::strlen(dot + 1)) : 0;
    return std::fabs(v - std::strtod(text, nullptr)) <= 0.5 * std::pow(10.0, -decimals) + 1e-9;
}

void ExpectBox(const EmbeddedMesh& m, int first, int last, const std::vector<const char*>& box) {
    double lo[3] = {1e30, 1e30, 1e30}, hi[3] = {-1e30, -1e30, -1e30};
    for (int i = first; i <= last; ++i)
        for (int c = 0; c < 3; ++c)
            for (int d = 0; d < 3; ++d) {
                const double v = m.positions[CornerOf(m, i, c).p][d];
                lo[d] = std::min(lo[d], v), hi[d] = std::max(hi[d], v);
            }
    for (int d = 0; d < 3; ++d) {
        EXPECT_TRUE(MatchesDigits(lo[d], box[2 * d])) << "axis " << d << " min " << lo[d] << " want " << box[2 * d];
        EXPECT_TRUE(MatchesDigits(hi[d], box[2 * d + 1]))
            << "axis " << d << " max " << hi[d] << " want " << box[2 * d + 1];
    }
}

struct Table {
    const EmbeddedMesh* mesh;
    const char* name;
    int faces, positions, normals, texCoords;
    bool index8, lineStrip;
    std::vector<std::pair<int, int>> runs;
    std::vector<const char*> box;
};

const std::vector<Table>& Tables() {
    static const std::vector<Table> tables = {
        {&meshDataA,
         "meshDataA",
         2176,
         1096,
         1144,
         1560,
         false,
         false,
         {{0, 1268}, {1, 908}},
         {"-0.419002", "0.419002", "-0.5", "0.5", "-0.402704", "0.402704"}},
        {&meshDataB,
         "meshDataB",
         980,
         492,
         492,
         546,
         false,
         false,
         {{0, 980}},
         {"-0.281916", "0.281916", "-0.419397", "0.419397", "-0.5", "0.5"}},
        {&figurePairMesh,
         "figurePairMesh",
         316,
         160,
         152,
         213,
         true,
         false,
         {{0, 316}},
         {"-0.313057", "-0.140234", "-0.0583975", "0.0114889", "-0.172094", "-0.10343"}},
        {&figureCoreMesh,
         "figureCoreMesh",
         572,
         288,
         288,
         389,
         false,
         false,
         {{0, 572}},
         {"-0.113436", "0.113436", "-0.0992831", "0.0432716", "-0.5", "-0.094327"}},
        {&figureTopMesh,
         "figureTopMesh",
         960,
         482,
         482,
         559,
         false,
         false,
         {{0, 960}},
         {"-0.268176", "0.268176", "-0.268176", "0.268176", "-0.0363513", "0.5"}},
        {&tunnelTubeMesh,
         "tunnelTubeMesh",
         2752,
         1378,
         871,
         1462,
         false,
         true,
         {{0, 2752}},
         {"-500", "500", "-6.6312", "6.6312", "-6.6312", "6.6312"}},
    };
    return tables;
}

// Faces grouped into shells by shared positions.
std::map<int, std::vector<int>> Shells(const EmbeddedMesh& m) {
    std::vector<int> parent(m.positionCount);
    std::iota(parent.begin(), parent.end(), 0);
    auto root = [&](int x) {
        while (parent[x] != x) x = parent[x] = parent[parent[x]];
        return x;
    };
    for (int i = 0; i < m.faceCount; ++i)
        for (int c = 1; c < 3; ++c) parent[root(CornerOf(m, i, c).p)] = root(CornerOf(m, i, 0).p);
    std::map<int, std::vector<int>> shells;
    for (int i = 0; i < m.faceCount; ++i) shells[root(CornerOf(m, i, 0).p)].push_back(i);
    return shells;
}

}  // namespace

TEST(GeometryMeshData, CountsWidthsRunsAndBoxesMatchTheTable) {
    for (const Table& t : Tables()) {
        SCOPED_TRACE(t.name);
        const EmbeddedMesh& m = *t.mesh;
        EXPECT_EQ(m.faceCount, t.faces);
        EXPECT_EQ(m.positionCount, t.positions);
        EXPECT_EQ(m.normalCount, t.normals);
        EXPECT_EQ(m.texCoordCount, t.texCoords);
        EXPECT_EQ(m.faces8 != nullptr, t.index8);
        EXPECT_EQ(m.faces16 != nullptr, !t.index8);
        EXPECT_EQ(m.primitive, t.lineStrip ? MeshPrimitive::LineStrip : MeshPrimitive::Triangles);
        ASSERT_EQ(m.runCount, static_cast<int>(t.runs.size()));
        for (int r = 0; r < m.runCount; ++r) {
            EXPECT_EQ(m.runs[r].material, t.runs[r].first);
            EXPECT_EQ(m.runs[r].faceCount, t.runs[r].second);
            EXPECT_LT(m.runs[r].material, m.materialCount);
        }
        ExpectBox(m, 0, m.faceCount - 1, t.box);
    }
}

TEST(GeometryMeshData, EveryAttributeReferencedInRangeAndNormalsUnit) {
    for (const Table& t : Tables()) {
        SCOPED_TRACE(t.name);
        const EmbeddedMesh& m = *t.mesh;
        std::vector<char> p(m.positionCount), n(m.normalCount), tc(m.texCoordCount);
        for (int i = 0; i < m.faceCount; ++i)
            for (int c = 0; c < 3; ++c) {
                const Corner k = CornerOf(m, i, c);
                ASSERT_TRUE(k.p >= 0 && k.p < m.positionCount && k.n >= 0 && k.n < m.normalCount && k.t >= 0 &&
                            k.t < m.texCoordCount);
                p[k.p] = n[k.n] = tc[k.t] = 1;
            }
        EXPECT_EQ(std::count(p.begin(), p.end(), 1), m.positionCount);
        EXPECT_EQ(std::count(n.begin(), n.end(), 1), m.normalCount);
        EXPECT_EQ(std::count(tc.begin(), tc.end(), 1), m.texCoordCount);
        for (int i = 0; i < m.normalCount; ++i)
            EXPECT_NEAR(std::sqrt(m.normals[i][0] * m.normals[i][0] + m.normals[i][1] * m.normals[i][1] +
                                  m.normals[i][2] * m.normals[i][2]),
                        1.0, 1e-5);
        if (!t.lineStrip)
            for (int i = 0; i < m.texCoordCount; ++i)
                for (int d = 0; d < 2; ++d) {
                    EXPECT_GE(m.texCoords[i][d], -0.22f);
                    EXPECT_LE(m.texCoords[i][d], 1.13f);
                }
    }
}

TEST(GeometryMeshData, SolidMeshesAreClosedOutwardAndWithoutDegenerateFaces) {
    for (const Table& t : Tables()) {
        if (t.lineStrip) continue;
        SCOPED_TRACE(t.name);
        const EmbeddedMesh& m = *t.mesh;
        std::map<std::pair<int, int>, int> directed;
        for (int i = 0; i < m.faceCount; ++i) {
            const Corner a = CornerOf(m, i, 0), b = CornerOf(m, i, 1), c = CornerOf(m, i, 2);
            ASSERT_TRUE(a.p != b.p && b.p != c.p && a.p != c.p) << "face " << i;
            const float* pa = m.positions[a.p];
            const float* pb = m.positions[b.p];
            const float* pc = m.positions[c.p];
            const double u[3] = {pb[0] - pa[0], pb[1] - pa[1], pb[2] - pa[2]};
            const double v[3] = {pc[0] - pa[0], pc[1] - pa[1], pc[2] - pa[2]};
            const double cr[3] = {u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0]};
            EXPECT_GT(std::sqrt(cr[0] * cr[0] + cr[1] * cr[1] + cr[2] * cr[2]), 1e-10) << "face " << i;
            // The stored normals of a face lean the same way as its winding.
            double lean = 0;
            for (int k = 0; k < 3; ++k) {
                const float* nn = m.normals[CornerOf(m, i, k).n];
                lean += cr[0] * nn[0] + cr[1] * nn[1] + cr[2] * nn[2];
            }
            EXPECT_GT(lean, 0.0) << "face " << i;
            ++directed[{a.p, b.p}], ++directed[{b.p, c.p}], ++directed[{c.p, a.p}];
        }
        int bad = 0;
        for (const auto& [edge, uses] : directed) {
            const auto back = directed.find({edge.second, edge.first});
            if (uses != 1 || back == directed.end() || back->second != 1) ++bad;
        }
        EXPECT_EQ(bad, 0) << "edges not shared by exactly two faces";
    }
}

TEST(GeometryMeshData, ShellsAndTheirFigures) {
    struct ShellRow {
        int first, last, positions, row;
        std::vector<const char*> box;
    };
    const std::vector<ShellRow> a = {
        {0, 315, 160, 0, {"-0.419", "-0.2648", "-0.1812", "0.1419", "-0.2298", "0.2298"}},
        {316, 759, 224, 0, {"-0.2218", "0.419", "-0.2415", "0.3271", "-0.4027", "0.4027"}},
        {760, 1267, 256, 0, {"-0.3483", "-0.2509", "-0.5", "-0.224", "-0.3005", "0.3005"}},
        {1268, 2175, 456, 1, {"-0.3611", "0.01897", "0.1423", "0.5", "-0.01244", "0.01245"}},
    };
    const auto shells = Shells(meshDataA);
    ASSERT_EQ(shells.size(), a.size());
    for (const ShellRow& s : a) {
        SCOPED_TRACE(s.first);
        const int root = [&] {
            for (const auto& [r, faces] : shells)
                if (faces.front() == s.first) return r;
            return -1;
        }();
        ASSERT_NE(root, -1);
        const std::vector<int>& faces = shells.at(root);
        EXPECT_EQ(faces.back(), s.last);
        EXPECT_EQ(static_cast<int>(faces.size()), s.last - s.first + 1);
        std::set<int> pos;
        for (int f : faces)
            for (int c = 0; c < 3; ++c) pos.insert(CornerOf(meshDataA, f, c).p);
        EXPECT_EQ(static_cast<int>(pos.size()), s.positions);
        const int row = s.first < meshDataA.runs[0].faceCount ? meshDataA.runs[0].material : meshDataA.runs[1].material;
        EXPECT_EQ(row, s.row);
        ExpectBox(meshDataA, s.first, s.last, s.box);
    }
    EXPECT_EQ(Shells(meshDataB).size(), 1u);
    EXPECT_EQ(Shells(figurePairMesh).size(), 1u);
    EXPECT_EQ(Shells(figureCoreMesh).size(), 1u);
    EXPECT_EQ(Shells(figureTopMesh).size(), 1u);
}

TEST(GeometryMeshData, MaterialRowsAsTabled) {
    auto expectRow = [](const MaterialRow& r, const float(&amb)[3], const float(&dif)[3], const float(&spe)[3],
                        float shininess) {
        for (int k = 0; k < 3; ++k) {
            EXPECT_NEAR(r.ambient[k], amb[k], 5e-7);
            EXPECT_NEAR(r.diffuse[k], dif[k], 5e-7);
            EXPECT_NEAR(r.specular[k], spe[k], 5e-7);
            EXPECT_EQ(r.emission[k], 0.0f);
        }
        EXPECT_EQ(r.alpha, 1.0f);
        EXPECT_NEAR(r.shininess, shininess, shininess * 1e-6);
        EXPECT_EQ(r.unused, -1);
    };
    ASSERT_EQ(meshDataA.materialCount, 2);
    expectRow(meshDataA.materials[0], {0, 0, 0}, {0.827451f, 0.827451f, 0.827451f}, {0.82f, 0.82f, 0.82f}, 21.1121f);
    expectRow(meshDataA.materials[1], {0, 0, 0}, {0.349020f, 0.364706f, 0.529412f},
              {0.0628627f, 0.0628627f, 0.0628627f}, 776.047f);
    expectRow(meshDataB.materials[0], {0.498039f, 0.176471f, 0.133333f}, {0.498039f, 0.176471f, 0.133333f}, {0, 0, 0},
              2.14355f);
    for (const EmbeddedMesh* m : {&figurePairMesh, &figureCoreMesh, &figureTopMesh})
        expectRow(m->materials[0], {0, 0, 0}, {0.843137f, 0.843137f, 0.843137f}, {20, 20, 20}, 2048.0f);
    expectRow(tunnelTubeMesh.materials[0], {0.34f, 0.37f, 0.52f}, {0.34f, 0.37f, 0.52f}, {0, 0, 0}, 20480000.0f);
}

TEST(GeometryMeshData, TopPartIsTheRuledSphere) {
    const double cz = 0.2318243, radius = 0.268176;
    int poles = 0;
    std::map<long, int> ringSizes;
    for (int i = 0; i < figureTopMesh.positionCount; ++i) {
        const float* p = figureTopMesh.positions[i];
        EXPECT_NEAR(std::sqrt(p[0] * p[0] + p[1] * p[1] + (p[2] - cz) * (p[2] - cz)), radius, 1e-6);
        const double polar = std::atan2(std::hypot(p[0], p[1]), p[2] - cz) * 180.0 / M_PI;
        EXPECT_NEAR(polar / 11.25, std::round(polar / 11.25), 1e-4);
        if (std::hypot(p[0], p[1]) < 1e-6) {
            ++poles;
        } else {
            const double around = std::atan2(p[1], p[0]) * 180.0 / M_PI;
            EXPECT_NEAR(around / 11.25, std::round(around / 11.25), 1e-4);
            ++ringSizes[std::lround(polar / 11.25)];
        }
    }
    EXPECT_EQ(poles, 2);
    EXPECT_EQ(ringSizes.size(), 15u);
    for (const auto& [ring, size] : ringSizes) EXPECT_EQ(size, 32) << "ring " << ring;
    // One radial normal per position.
    for (int i = 0; i < figureTopMesh.faceCount; ++i)
        for (int c = 0; c < 3; ++c) {
            const Corner k = CornerOf(figureTopMesh, i, c);
            const float* p = figureTopMesh.positions[k.p];
            const float* n = figureTopMesh.normals[k.n];
            for (int d = 0; d < 3; ++d) EXPECT_NEAR(n[d], (p[d] - (d == 2 ? cz : 0.0)) / radius, 2e-6);
        }
}

TEST(GeometryMeshData, TubeFollowsItsRule) {
    const EmbeddedMesh& m = tunnelTubeMesh;
    auto P = [](int r, int j) { return 1 + 16 * r + (j % 16); };
    EXPECT_EQ(m.positions[0][0], -500.0f);
    EXPECT_EQ(m.positions[1377][0], 500.0f);
    for (int r = 0; r < 86; ++r)
        for (int j = 0; j < 16; ++j) {
            const float* p = m.positions[P(r, j)];
            const double theta = (-90.0 + 22.5 * j) * M_PI / 180.0;
            EXPECT_NEAR(p[0], -500.0 + r * 1000.0 / 85.0, 1e-4);
            EXPECT_NEAR(p[1], 6.6312 * std::cos(theta), 1e-5);
            EXPECT_NEAR(p[2], 6.6312 * std::sin(theta), 1e-5);
        }
    std::vector<std::array<int, 3>> want;
    for (int j = 0; j < 16; ++j) want.push_back({0, P(0, j + 1), P(0, j)});
    for (int r = 0; r < 85; ++r)
        for (int j = 0; j < 16; ++j) {
            want.push_back({P(r, j), P(r + 1, j + 1), P(r + 1, j)});
            want.push_back({P(r, j), P(r, j + 1), P(r + 1, j + 1)});
        }
    for (int j = 0; j < 16; ++j) want.push_back({1377, P(85, j), P(85, j + 1)});
    ASSERT_EQ(static_cast<int>(want.size()), m.faceCount);
    for (int i = 0; i < m.faceCount; ++i)
        for (int c = 0; c < 3; ++c) {
            const Corner k = CornerOf(m, i, c);
            ASSERT_EQ(k.p, want[i][c]) << "face " << i;
            // Normals: -x on the start cap, +x on the end cap, radially outward on the side.
            const float* n = m.normals[k.n];
            const float* p = m.positions[k.p];
            if (i < 16) {
                EXPECT_EQ(n[0], -1.0f);
            } else if (i >= m.faceCount - 16) {
                EXPECT_EQ(n[0], 1.0f);
            } else {
                EXPECT_NEAR(n[0], 0.0f, 1e-7);
                EXPECT_NEAR(n[1], p[1] / 6.6312, 1e-5);
                EXPECT_NEAR(n[2], p[2] / 6.6312, 1e-5);
            }
        }
}
