// brimvale_make_models: builds the six embedded meshes, checks every figure they must meet and
// only then writes one data-only source per mesh into the folder given on the command line.
//   brimvale_make_models <repo>/geometry/models
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "model_builder.h"

static const double pi = 3.14159265358979323846;

// ---- materials (colour values are 8-bit fractions where noted) ----
static ToolMaterial Material(float ar, float ag, float ab, float dr, float dg, float db, float sr, float sg, float sb,
                             float shininess) {
    return {{ar, ag, ab}, {dr, dg, db}, {sr, sg, sb}, {0.0f, 0.0f, 0.0f}, 1.0f, shininess};
}
static const float grey211 = 211.0f / 255.0f;
static const float figureGrey = 215.0f / 255.0f;

// Ring of `count` points around a rounded rectangle, for shells whose rings are such sections.
struct Section {
    double h;       // along the shell's axis
    double a, b;    // half sizes
    double r;       // corner radius
    double ca, cb;  // centre offset within the section plane
};

// Local frame: axis index for the section's first and second direction and for the shell axis.
struct Frame {
    int e1, e2, e3;
    double s1 = 1, s2 = 1, s3 = 1;  // sign of each direction
};

static Vec3 Place(const Frame& f, double x1, double x2, double x3) {
    Vec3 p{};
    p[f.e1] = f.s1 * x1;
    p[f.e2] = f.s2 * x2;
    p[f.e3] = f.s3 * x3;
    return p;
}

// A shell made of rounded-rectangle sections, poles at the centres of the first and last.
static ShellSpec SectionShell(const Frame& frame, const std::vector<int>& counts, const std::vector<Section>& rings) {
    ShellSpec spec;
    spec.ringCounts = counts;
    spec.ringPoint = [frame, rings](int ring, double frac) {
        const Section& s = rings[ring];
        const Vec2 q = RoundedRectPoint(s.a, s.b, s.r, frac);
        return Place(frame, s.ca + q[0], s.cb + q[1], s.h);
    };
    spec.startPole = Place(frame, rings.front().ca, rings.front().cb, rings.front().h);
    spec.endPole = Place(frame, rings.back().ca, rings.back().cb, rings.back().h);
    return spec;
}

static ChartSpec Planar(const Frame& frame, double half1, double half2, double c1 = 0, double c2 = 0) {
    ChartSpec c;
    c.kind = ChartKind::Planar;
    c.project = [frame, half1, half2, c1, c2](const Vec3& p) {
        return Vec2{0.5 + (frame.s1 * p[frame.e1] - c1) / (2 * half1),
                    0.5 + (frame.s2 * p[frame.e2] - c2) / (2 * half2)};
    };
    return c;
}

static ChartSpec Cylinder(int seams, int firstItem, int lastItem, bool polePerFace = true) {
    ChartSpec c;
    c.kind = ChartKind::Cylinder;
    c.seams = seams;
    c.firstItem = firstItem;
    c.lastItem = lastItem;
    c.polePerFace = polePerFace;
    return c;
}

static Section Scaled(double h, double a, double b, double r, double scale, double ca = 0, double cb = 0) {
    return {h, a * scale, b * scale, r * scale, ca, cb};
}

// ---- the character's parts, modelled in place: z up, front towards -y ----

// A stubby arm along -x: shoulder cap, upper arm, wrist, mitten, flat end cap.
static ToolMesh BuildFigurePair() {
    ToolMesh mesh;
    mesh.dataName = "figurePairMesh";
    mesh.fileName = "figure_pair.cpp";
    mesh.comment = "Character: the stubby arm, drawn once on each side (8-bit indices).";
    mesh.index8 = true;
    mesh.materials = {Material(0, 0, 0, figureGrey, figureGrey, figureGrey, 20, 20, 20, 2048.0f)};
    mesh.runs = {{0, 316}};

    const Frame frame{1, 2, 0, 1, 1, -1};  // section in y, z; axis out along -x
    const std::vector<int> counts = {4, 14, 15, 15, 16, 16, 14, 16, 15, 15, 14, 4};
    const double h[] = {0, 0, 0.06, 0.2, 0.35, 0.5, 0.6, 0.7, 0.85, 0.97, 1.0, 1.0};
    const double r[] = {0.42, 0.84, 1.0, 0.97, 0.93, 0.9, 0.78, 0.98, 1.0, 0.92, 0.76, 0.38};
    std::vector<Section> rings;
    for (int i = 0; i < 12; ++i) rings.push_back({h[i] * 2.5, r[i], r[i], r[i], 0, 0});
    ShellSpec spec = SectionShell(frame, counts, rings);
    // Bands: pole-cap, cap-rim | eight side bands with the wrist split | rim-cap, cap-pole.
    spec.bandGroup = {0, 0, 1, 1, 1, 1, 1, 1, 1, 1, 1, 2, 2};
    spec.groupFlat = {true, false, true};  // flat end caps: one normal each, hard rim
    spec.bandChart = {0, 0, 1, 1, 1, 1, 1, 2, 2, 2, 2, 3, 3};
    spec.charts = {Planar(frame, 1, 1), Cylinder(1, 2, 7), Cylinder(1, 7, 11), Planar(frame, 1, 1)};
    spec.boxMin = {-0.313057, -0.0583975, -0.172094};
    spec.boxMax = {-0.140234, 0.0114889, -0.10343};
    AppendShell(mesh, spec);
    return mesh;
}

// A block body with rounded edges and shoulders, flat underneath.
static ToolMesh BuildFigureCore() {
    ToolMesh mesh;
    mesh.dataName = "figureCoreMesh";
    mesh.fileName = "figure_core.cpp";
    mesh.comment = "Character: the block body.";
    mesh.materials = {Material(0, 0, 0, figureGrey, figureGrey, figureGrey, 20, 20, 20, 2048.0f)};
    mesh.runs = {{0, 572}};

    const Frame frame{0, 1, 2};
    const double a = 0.1134, b = 0.0713, r = 0.03;
    std::vector<int> counts = {6};
    std::vector<Section> rings = {Scaled(0, a, b, r, 0.45)};
    const double h[] = {0, 0.008, 0.03, 0.08, 0.14, 0.2, 0.26, 0.31, 0.35, 0.375, 0.392};
    const double s[] = {0.93, 0.99, 1.0, 1.0, 0.985, 0.975, 0.985, 1.0, 0.99, 0.95, 0.87};
    for (int i = 0; i < 11; ++i) counts.push_back(24), rings.push_back(Scaled(h[i], a, b, r, s[i]));
    counts.push_back(16);
    rings.push_back(Scaled(0.403, a, b, r, 0.55));
    rings.push_back(Scaled(0.406, a, b, r, 0.0));  // end pole height
    ShellSpec spec = SectionShell(frame, counts, std::vector<Section>(rings.begin(), rings.end() - 1));
    spec.endPole = Place(frame, 0, 0, 0.406);
    // Items: pole 0, cap ring 1, side rings 2..12, top ring 13, pole 14; 14 bands.
    spec.bandGroup = std::vector<int>(14, 0);
    spec.groupFlat = {false};
    spec.bandChart = {0, 0, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3, 3};
    spec.charts = {Planar(frame, a, b), Cylinder(1, 2, 5), Cylinder(1, 5, 9), Cylinder(1, 9, 14)};
    spec.boxMin = {-0.113436, -0.0992831, -0.5};
    spec.boxMax = {0.113436, 0.0432716, -0.094327};
    AppendShell(mesh, spec);
    return mesh;
}

// The head: a sphere of 32 segments and 16 bands, exact radial normals.
static ToolMesh BuildFigureTop() {
    ToolMesh mesh;
    mesh.dataName = "figureTopMesh";
    mesh.fileName = "figure_top.cpp";
    mesh.comment = "Character: the sphere on top (32 segments, 16 bands of 11.25 degrees).";
    mesh.materials = {Material(0, 0, 0, figureGrey, figureGrey, figureGrey, 20, 20, 20, 2048.0f)};
    mesh.runs = {{0, 960}};

    // Top at 0.5 and bottom at -0.0363513, so the centre and radius are their mean and half span.
    const double top = 0.5, bottom = -0.0363513;
    const double cz = 0.5 * (top + bottom), radius = 0.5 * (top - bottom);
    ShellSpec spec;
    spec.ringCounts = std::vector<int>(15, 32);
    spec.ringPoint = [cz, radius](int ring, double frac) {
        const double polar = (ring + 1) * 11.25 * pi / 180.0, around = frac * 2.0 * pi;
        return Vec3{radius * std::sin(polar) * std::cos(around), radius * std::sin(polar) * std::sin(around),
                    cz + radius * std::cos(polar)};
    };
    spec.startPole = {0, 0, top};
    spec.endPole = {0, 0, bottom};
    spec.bandGroup = std::vector<int>(16, 0);
    spec.groupFlat = {false};
    spec.bandChart = std::vector<int>(16, 0);
    spec.charts = {Cylinder(1, 0, 16)};
    spec.exactNormal = [cz](const Vec3& p) { return Vec3{p[0], p[1], p[2] - cz}; };
    spec.rescale = false;
    AppendShell(mesh, spec);
    return mesh;
}

// ---- the pulsing heart ----
static double HeartField(double x, double y, double z) {
    const double q = x * x + 2.25 * y * y + z * z - 1.0;
    return q * q * q - x * x * z * z * z - 0.1125 * y * y * z * z * z;
}

static ToolMesh BuildHeart() {
    ToolMesh mesh;
    mesh.dataName = "meshDataB";
    mesh.fileName = "mesh_b.cpp";
    mesh.comment = "The heart that pulses in the opening scenes (980 triangles).";
    const float red = 127.0f / 255.0f, green = 45.0f / 255.0f, blue = 34.0f / 255.0f;
    mesh.materials = {Material(red, green, blue, red, green, blue, 0, 0, 0, 2.14355f)};
    mesh.runs = {{0, 980}};

    // Rings from the dip at the top to the point at the bottom, denser round the middle.
    const std::vector<int> counts = {8, 12, 16, 22, 26, 30, 32, 34, 34, 34, 34, 34, 32, 30, 28, 26, 22, 16, 12, 8};
    const int m = static_cast<int>(counts.size());
    const Vec3 centre{0, 0, 0.05};
    // Field axes: x across, y through (depth), z up; model: x depth, y across, z up.
    auto surface = [centre](double polar, double around) {
        const Vec3 d{std::sin(polar) * std::cos(around), std::sin(polar) * std::sin(around), std::cos(polar)};
        double inside = 0, outside = 0.02;
        while (HeartField(centre[0] + d[0] * outside, centre[1] + d[1] * outside, centre[2] + d[2] * outside) < 0)
            inside = outside, outside += 0.02;
        for (int k = 0; k < 60; ++k) {
            const double mid = 0.5 * (inside + outside);
            (HeartField(centre[0] + d[0] * mid, centre[1] + d[1] * mid, centre[2] + d[2] * mid) < 0 ? inside
                                                                                                    : outside) = mid;
        }
        const double r = 0.5 * (inside + outside);
        return Vec3{centre[1] + d[1] * r, centre[0] + d[0] * r, centre[2] + d[2] * r};
    };
    ShellSpec spec;
    spec.ringCounts = counts;
    spec.ringPoint = [surface, m](int ring, double frac) {
        return surface(pi * (ring + 1) / (m + 1), frac * 2.0 * pi);
    };
    spec.startPole = surface(0, 0);
    spec.endPole = surface(pi, 0);
    spec.bandGroup = std::vector<int>(m + 1, 0);
    spec.groupFlat = {false};
    spec.bandChart = std::vector<int>(m + 1, 0);
    spec.charts = {Cylinder(2, 0, m + 1)};  // front and back halves
    spec.boxMin = {-0.281916, -0.419397, -0.5};
    spec.boxMax = {0.281916, 0.419397, 0.5};
    AppendShell(mesh, spec);
    return mesh;
}

// ---- the terminal: stand, monitor, keyboard and the blue-grey listing plate (x up) ----
static ToolMesh BuildTerminal() {
    ToolMesh mesh;
    mesh.dataName = "meshDataA";
    mesh.fileName = "mesh_a.cpp";
    mesh.comment = "The terminal the listing is typed over: stand, monitor, keyboard, plate (2176 triangles).";
    mesh.materials = {Material(0, 0, 0, grey211, grey211, grey211, 0.82f, 0.82f, 0.82f, 21.1121f),
                      Material(0, 0, 0, 89.0f / 255.0f, 93.0f / 255.0f, 135.0f / 255.0f, 0.0628627f, 0.0628627f,
                               0.0628627f, 776.047f)};
    mesh.runs = {{0, 1268}, {1, 908}};

    {  // Stand: a tapering block, bevelled flat top and bottom.
        const Frame frame{1, 2, 0};
        const double a = 0.16, b = 0.23, r = 0.05;
        const std::vector<int> counts = {30, 32, 32, 32, 32};
        const std::vector<Section> rings = {Scaled(0, a, b, r, 0.955), Scaled(0, a, b, r, 1.0),
                                            Scaled(0.03, a, b, r, 1.0), Scaled(0.154, a, b, r, 0.72),
                                            Scaled(0.154, a, b, r, 0.69)};
        ShellSpec spec = SectionShell(frame, counts, rings);
        spec.bandGroup = std::vector<int>(6, 0);
        spec.groupFlat = {false};
        spec.bandChart = {0, 0, 1, 1, 2, 2};
        spec.charts = {Planar(frame, a, b), Cylinder(4, 2, 4), Planar(frame, a, b)};
        spec.boxMin = {-0.419002, -0.1812, -0.2298};
        spec.boxMax = {-0.2648, 0.1419, 0.2298};
        AppendShell(mesh, spec);
    }
    {  // Monitor: bezel box facing -y with a tube tapering back and up.
        const Frame frame{0, 2, 1};
        const double a = 0.32, b = 0.4027, r = 0.07;
        const std::vector<int> counts = {24, 48, 48, 48, 48, 6};
        const std::vector<Section> rings = {Scaled(0, a, b, r, 0.9),
                                            Scaled(0, a, b, r, 1.0),
                                            Scaled(0.11, a, b, r, 1.0),
                                            Scaled(0.29, a, b, r, 0.62, 0.08),
                                            Scaled(0.5686, a, b, r, 0.34, 0.14),
                                            Scaled(0.5686, a, b, r, 0.15, 0.14)};
        ShellSpec spec = SectionShell(frame, counts, rings);
        spec.bandGroup = std::vector<int>(7, 0);
        spec.groupFlat = {false};
        spec.bandChart = {0, 0, 1, 2, 3, 4, 4};
        spec.charts = {Planar(frame, a, b), Cylinder(4, 2, 3), Cylinder(4, 3, 4), Cylinder(4, 4, 5),
                       Planar(frame, a, b, 0.14, 0)};
        spec.boxMin = {-0.2218, -0.2415, -0.402704};
        spec.boxMax = {0.419002, 0.3271, 0.402704};
        AppendShell(mesh, spec);
    }
    {  // Keyboard: a slab with hard top and bottom edges.
        const Frame frame{1, 2, 0};
        const double a = 0.138, b = 0.3005, r = 0.03;
        std::vector<int> counts = {6, 12, 16, 21};
        std::vector<Section> rings = {Scaled(0, a, b, r, 0.2), Scaled(0, a, b, r, 0.45), Scaled(0, a, b, r, 0.7),
                                      Scaled(0, a, b, r, 0.9)};
        const double h[] = {0, 0.012, 0.035, 0.06, 0.085, 0.0974};
        const double s[] = {0.97, 0.995, 1.0, 1.0, 0.99, 0.965};
        for (int i = 0; i < 6; ++i) counts.push_back(24), rings.push_back(Scaled(h[i], a, b, r, s[i]));
        const double top[] = {0.9, 0.7, 0.45, 0.2};
        const int topCounts[] = {21, 16, 12, 6};
        for (int i = 0; i < 4; ++i) counts.push_back(topCounts[i]), rings.push_back(Scaled(0.0974, a, b, r, top[i]));
        ShellSpec spec = SectionShell(frame, counts, rings);
        // Items: pole, 4 cap rings (1..4), side rings 5..10, 4 cap rings, pole; 15 bands.
        spec.bandGroup = {0, 0, 0, 0, 0, 1, 1, 1, 1, 1, 2, 2, 2, 2, 2};
        spec.groupFlat = {false, false, false};
        spec.bandChart = {0, 0, 0, 0, 0, 1, 1, 1, 1, 1, 2, 2, 2, 2, 2};
        spec.charts = {Planar(frame, a, b), Cylinder(4, 5, 10), Planar(frame, a, b)};
        spec.boxMin = {-0.3483, -0.5, -0.3005};
        spec.boxMax = {-0.2509, -0.224, 0.3005};
        AppendShell(mesh, spec);
    }
    {  // Plate: thin, rounded edge, square to the z axis; the listing goes over it.
        const Frame frame{0, 1, 2};
        const double a = 0.19, b = 0.1789, r = 0.02, t = 0.01245, in = 0.006;
        std::vector<int> counts = {15, 28, 40, 48};
        std::vector<Section> rings;
        const double capScale[] = {0.25, 0.5, 0.75, 0.985};
        for (int i = 0; i < 4; ++i)
            rings.push_back({t, (a - in) * capScale[i], (b - in) * capScale[i], r * capScale[i], 0, 0});
        const double z[] = {t, 0.45 * t, -0.45 * t, -t};
        const double inset[] = {in, 0, 0, in};
        for (int i = 0; i < 4; ++i) counts.push_back(48), rings.push_back({z[i], a - inset[i], b - inset[i], r, 0, 0});
        for (int i = 3; i >= 0; --i) {
            counts.push_back(counts[i]);
            rings.push_back({-t, (a - in) * capScale[i], (b - in) * capScale[i], r * capScale[i], 0, 0});
        }
        ShellSpec spec = SectionShell(frame, counts, rings);
        spec.startPole = {0, 0, t};
        spec.endPole = {0, 0, -t};
        // Items: pole, cap rings 1..4, edge rings 5..8, cap rings 9..12, pole; 13 bands.
        spec.bandGroup = std::vector<int>(13, 0);
        spec.groupFlat = {false};
        spec.bandChart = {0, 0, 0, 0, 0, 1, 1, 1, 2, 2, 2, 2, 2};
        spec.charts = {Planar(frame, a, b), Cylinder(1, 5, 8), Planar(frame, a, b)};
        spec.boxMin = {-0.3611, 0.1423, -0.01244};
        spec.boxMax = {0.01897, 0.5, 0.01245};
        AppendShell(mesh, spec);
    }
    return mesh;
}

// ---- the tunnel tube, by its fixed rule ----
static ToolMesh BuildTube() {
    ToolMesh mesh;
    mesh.dataName = "tunnelTubeMesh";
    mesh.fileName = "tunnel_tube.cpp";
    mesh.comment = "The tunnel: a capped tube of 86 rings of 16, drawn as one line strip.";
    mesh.lineStrip = true;
    mesh.materials = {Material(0.34f, 0.37f, 0.52f, 0.34f, 0.37f, 0.52f, 0, 0, 0, 20480000.0f)};
    mesh.runs = {{0, 2752}};

    const double radius = 6.6312;
    const int rings = 86, around = 16, sideNormals = 869, ringNormals = 54 * around;
    mesh.positions.push_back({-500.0f, 0.0f, 0.0f});
    for (int r = 0; r < rings; ++r)
        for (int j = 0; j < around; ++j) {
            const double theta = (-90.0 + 22.5 * j) * pi / 180.0;
            mesh.positions.push_back({static_cast<float>(-500.0 + r * 1000.0 / 85.0),
                                      static_cast<float>(radius * std::cos(theta)),
                                      static_cast<float>(radius * std::sin(theta))});
        }
    mesh.positions.push_back({500.0f, 0.0f, 0.0f});

    // Normals: -x cap, the side's radial normals (the table stops at 869 entries, later rings
    // reuse an earlier ring's entries with the same direction), +x cap.
    mesh.normals.push_back({-1.0f, 0.0f, 0.0f});
    for (int k = 0; k < sideNormals; ++k) {
        const double theta = (-90.0 + 22.5 * (k % around)) * pi / 180.0;
        mesh.normals.push_back({0.0f, static_cast<float>(std::cos(theta)), static_cast<float>(std::sin(theta))});
    }
    mesh.normals.push_back({1.0f, 0.0f, 0.0f});
    auto sideNormal = [&](int r, int j) {
        const int k = r * around + j % around;
        return 1 + (k < sideNormals ? k : k - ringNormals);
    };
    // Texture coordinates: 17 columns (seam doubled) by 86 rings.
    for (int r = 0; r < rings; ++r)
        for (int j = 0; j <= around; ++j)
            mesh.texCoords.push_back({static_cast<float>(j) / around, static_cast<float>(r) / (rings - 1)});
    auto P = [&](int r, int j) { return 1 + around * r + j % around; };
    auto T = [&](int r, int j) { return r * (around + 1) + j; };
    const int endCap = 1 + rings * around;
    for (int j = 0; j < around; ++j)
        mesh.faces.push_back({{0, P(0, j + 1), P(0, j)}, {0, 0, 0}, {T(0, j), T(0, j + 1), T(0, j)}});
    for (int r = 0; r < rings - 1; ++r)
        for (int j = 0; j < around; ++j) {
            mesh.faces.push_back({{P(r, j), P(r + 1, j + 1), P(r + 1, j)},
                                  {sideNormal(r, j), sideNormal(r + 1, j + 1), sideNormal(r + 1, j)},
                                  {T(r, j), T(r + 1, j + 1), T(r + 1, j)}});
            mesh.faces.push_back({{P(r, j), P(r, j + 1), P(r + 1, j + 1)},
                                  {sideNormal(r, j), sideNormal(r, j + 1), sideNormal(r + 1, j + 1)},
                                  {T(r, j), T(r, j + 1), T(r + 1, j + 1)}});
        }
    const int last = rings - 1, endNormal = 1 + sideNormals;
    for (int j = 0; j < around; ++j)
        mesh.faces.push_back({{endCap, P(last, j), P(last, j + 1)},
                              {endNormal, endNormal, endNormal},
                              {T(last, j), T(last, j), T(last, j + 1)}});
    return mesh;
}

// ---- writing ----
static std::string FloatText(float v) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.9g", v);
    std::string s = buf;
    if (s.find_first_of(".e") == std::string::npos) s += ".0";
    return s + "f";
}

static bool WriteMesh(const ToolMesh& mesh, const std::string& folder) {
    const std::string path = folder + "/" + mesh.fileName;
    FILE* out = std::fopen(path.c_str(), "w");
    if (!out) return false;
    std::fprintf(out,
                 "// %s\n// Generated by tools/models (brimvale_make_models); edit the generator, not this file.\n",
                 mesh.comment.c_str());
    std::fprintf(out, "#include \"geometry/mesh.h\"\n\nnamespace {\n\n");
    std::fprintf(out, "const MaterialRow materials[] = {\n");
    for (const ToolMaterial& m : mesh.materials) {
        std::fprintf(out, "    {{%s, %s, %s}, {%s, %s, %s}, {%s, %s, %s}, {%s, %s, %s}, %s, %s, -1},\n",
                     FloatText(m.ambient[0]).c_str(), FloatText(m.ambient[1]).c_str(), FloatText(m.ambient[2]).c_str(),
                     FloatText(m.diffuse[0]).c_str(), FloatText(m.diffuse[1]).c_str(), FloatText(m.diffuse[2]).c_str(),
                     FloatText(m.specular[0]).c_str(), FloatText(m.specular[1]).c_str(),
                     FloatText(m.specular[2]).c_str(), FloatText(m.emission[0]).c_str(),
                     FloatText(m.emission[1]).c_str(), FloatText(m.emission[2]).c_str(), FloatText(m.alpha).c_str(),
                     FloatText(m.shininess).c_str());
    }
    std::fprintf(out, "};\n\nconst float positions[][3] = {\n");
    for (const auto& p : mesh.positions)
        std::fprintf(out, "    {%s, %s, %s},\n", FloatText(p[0]).c_str(), FloatText(p[1]).c_str(),
                     FloatText(p[2]).c_str());
    std::fprintf(out, "};\n\nconst float normals[][3] = {\n");
    for (const auto& n : mesh.normals)
        std::fprintf(out, "    {%s, %s, %s},\n", FloatText(n[0]).c_str(), FloatText(n[1]).c_str(),
                     FloatText(n[2]).c_str());
    std::fprintf(out, "};\n\nconst float texCoords[][2] = {\n");
    for (const auto& t : mesh.texCoords)
        std::fprintf(out, "    {%s, %s},\n", FloatText(t[0]).c_str(), FloatText(t[1]).c_str());
    std::fprintf(out, "};\n\n// position, normal and texture-coordinate indices of corners 0, 1, 2\n");
    std::fprintf(out, "const %s faces[] = {\n", mesh.index8 ? "MeshFace8" : "MeshFace16");
    for (const ToolFace& f : mesh.faces)
        std::fprintf(out, "    {{%d, %d, %d}, {%d, %d, %d}, {%d, %d, %d}},\n", f.position[0], f.position[1],
                     f.position[2], f.normal[0], f.normal[1], f.normal[2], f.texCoord[0], f.texCoord[1], f.texCoord[2]);
    std::fprintf(out, "};\n\nconst MaterialRun runs[] = {\n");
    for (const auto& r : mesh.runs) std::fprintf(out, "    {%d, %d},\n", r[0], r[1]);
    std::fprintf(out, "};\n\n}  // namespace\n\n");
    std::fprintf(out,
                 "const EmbeddedMesh %s = {\n    materials, %zu,\n    %s, %s, %zu,\n    positions, %zu,\n"
                 "    normals, %zu,\n    texCoords, %zu,\n    runs, %zu,\n    %s,\n};\n",
                 mesh.dataName.c_str(), mesh.materials.size(), mesh.index8 ? "nullptr" : "faces",
                 mesh.index8 ? "faces" : "nullptr", mesh.faces.size(), mesh.positions.size(), mesh.normals.size(),
                 mesh.texCoords.size(), mesh.runs.size(),
                 mesh.lineStrip ? "MeshPrimitive::LineStrip" : "MeshPrimitive::Triangles");
    return std::fclose(out) == 0;
}

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output folder, normally geometry/models>\n", argv[0]);
        return 2;
    }
    struct Job {
        ToolMesh mesh;
        MeshExpect expect;
    };
    std::vector<Job> jobs;
    jobs.push_back({BuildTerminal(),
                    {2176,
                     1096,
                     1144,
                     1560,
                     {{0, 1268}, {1, 908}},
                     {"-0.419002", "0.419002", "-0.5", "0.5", "-0.402704", "0.402704"},
                     true,
                     {{0, 315, 160, 0, {"-0.419", "-0.2648", "-0.1812", "0.1419", "-0.2298", "0.2298"}},
                      {316, 759, 224, 0, {"-0.2218", "0.419", "-0.2415", "0.3271", "-0.4027", "0.4027"}},
                      {760, 1267, 256, 0, {"-0.3483", "-0.2509", "-0.5", "-0.224", "-0.3005", "0.3005"}},
                      {1268, 2175, 456, 1, {"-0.3611", "0.01897", "0.1423", "0.5", "-0.01244", "0.01245"}}}}});
    jobs.push_back({BuildHeart(),
                    {980,
                     492,
                     492,
                     546,
                     {{0, 980}},
                     {"-0.281916", "0.281916", "-0.419397", "0.419397", "-0.5", "0.5"},
                     true,
                     {}}});
    jobs.push_back({BuildFigurePair(),
                    {316,
                     160,
                     152,
                     213,
                     {{0, 316}},
                     {"-0.313057", "-0.140234", "-0.0583975", "0.0114889", "-0.172094", "-0.10343"},
                     true,
                     {}}});
    jobs.push_back({BuildFigureCore(),
                    {572,
                     288,
                     288,
                     389,
                     {{0, 572}},
                     {"-0.113436", "0.113436", "-0.0992831", "0.0432716", "-0.5", "-0.094327"},
                     true,
                     {}}});
    jobs.push_back({BuildFigureTop(),
                    {960,
                     482,
                     482,
                     559,
                     {{0, 960}},
                     {"-0.268176", "0.268176", "-0.268176", "0.268176", "-0.0363513", "0.5"},
                     true,
                     {}}});
    jobs.push_back(
        {BuildTube(),
         {2752, 1378, 871, 1462, {{0, 2752}}, {"-500", "500", "-6.6312", "6.6312", "-6.6312", "6.6312"}, true, {}}});

    bool ok = true;
    for (const Job& job : jobs) {
        std::string problem = CheckMesh(job.mesh, job.expect);
        if (problem.empty() && job.mesh.lineStrip) problem = CheckStripTracesEdges(job.mesh);
        if (!problem.empty()) {
            std::fprintf(stderr, "%s: %s\n", job.mesh.dataName.c_str(), problem.c_str());
            ok = false;
        }
    }
    if (!ok) {
        std::fprintf(stderr, "nothing written\n");
        return 1;
    }
    for (const Job& job : jobs)
        if (!WriteMesh(job.mesh, argv[1])) {
            std::fprintf(stderr, "cannot write %s/%s\n", argv[1], job.mesh.fileName.c_str());
            return 1;
        }
    std::printf("wrote %zu meshes to %s\n", jobs.size(), argv[1]);
    return 0;
}
