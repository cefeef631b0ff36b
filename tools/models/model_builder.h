// Mesh building blocks for the model generator: rings of points joined into closed shells, with
// per-group normals and per-chart texture coordinates, and the checks every shipped mesh passes.
#pragma once
#include <array>
#include <functional>
#include <map>
#include <string>
#include <tuple>
#include <vector>

using Vec3 = std::array<double, 3>;
using Vec2 = std::array<double, 2>;

struct ToolMaterial {
    float ambient[3], diffuse[3], specular[3], emission[3];
    float alpha, shininess;
};

struct ToolFace {
    int position[3];
    int normal[3];
    int texCoord[3];
};

// One mesh as it will be written: float data exactly as it ships.
struct ToolMesh {
    std::string dataName;  // e.g. "meshDataA"
    std::string fileName;  // e.g. "mesh_a.cpp"
    std::string comment;   // first line of the written source
    bool lineStrip = false;
    bool index8 = false;
    std::vector<ToolMaterial> materials;
    std::vector<std::array<int, 2>> runs;  // material row, face count
    std::vector<std::array<float, 3>> positions;
    std::vector<std::array<float, 3>> normals;
    std::vector<std::array<float, 2>> texCoords;
    std::vector<ToolFace> faces;
};

// ---- shells built from rings ----
enum class ChartKind { Planar, Cylinder };

struct ChartSpec {
    ChartKind kind = ChartKind::Cylinder;
    int seams = 1;                             // cylinder: sectors around, each ring count divisible by it
    bool polePerFace = true;                   // cylinder: a pole corner gets one coordinate per face
    int firstItem = 0;                         // cylinder: v runs from this item (0 = start pole) ...
    int lastItem = 1;                          // ... to this one
    std::function<Vec2(const Vec3&)> project;  // planar: local point to (s, t)
};

// Items run start pole, rings 0..n-1, end pole; band b joins item b and item b + 1.
struct ShellSpec {
    std::vector<int> ringCounts;
    std::function<Vec3(int ring, double frac)> ringPoint;  // frac in [0, 1) around the ring
    Vec3 startPole{}, endPole{};
    std::vector<int> bandGroup;   // smoothing group per band
    std::vector<int> bandChart;   // chart per band
    std::vector<bool> groupFlat;  // a flat group has one normal for all its corners
    std::vector<ChartSpec> charts;
    // Optional exact normal per position (replaces the averaged one in every group).
    std::function<Vec3(const Vec3&)> exactNormal;
    // Target bounding box; positions are mapped onto it axis by axis before normals are made.
    Vec3 boxMin{}, boxMax{};
    bool rescale = true;
};

// Appends one closed shell to the mesh (positions, normals, texture coordinates, faces).
void AppendShell(ToolMesh& mesh, const ShellSpec& spec);

// Point on a rounded rectangle (half sizes a, b, corner radius r) at arc fraction frac,
// starting at (a, 0) and running counter-clockwise.
Vec2 RoundedRectPoint(double a, double b, double r, double frac);

// ---- checks ----
struct BoxText {  // a bounding box as the figures are written, checked to their digits
    const char* minX;
    const char* maxX;
    const char* minY;
    const char* maxY;
    const char* minZ;
    const char* maxZ;
};

struct ShellExpect {
    int firstFace, lastFace, positions, row;
    BoxText box;
};

struct MeshExpect {
    int faces, positions, normals, texCoords;
    std::vector<std::array<int, 2>> runs;
    BoxText box;
    bool closed = true;
    std::vector<ShellExpect> shells;  // empty: one shell expected (solid meshes)
};

// Returns an empty string when the mesh meets every figure, else what is wrong.
std::string CheckMesh(const ToolMesh& mesh, const MeshExpect& expect);
// The line strip of a tube: every step stays put or follows an edge, and every edge is traced.
std::string CheckStripTracesEdges(const ToolMesh& mesh);
