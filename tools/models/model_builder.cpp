// Shell construction and mesh checks for the model generator.
#include "model_builder.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>

static const double pi = 3.14159265358979323846;

static Vec3 Sub(const Vec3& a, const Vec3& b) { return {a[0] - b[0], a[1] - b[1], a[2] - b[2]}; }
static Vec3 Cross(const Vec3& a, const Vec3& b) {
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}
static double Dot(const Vec3& a, const Vec3& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }
static Vec3 Normalized(const Vec3& v) {
    const double len = std::sqrt(Dot(v, v));
    return {v[0] / len, v[1] / len, v[2] / len};
}
static Vec3 ToVec(const std::array<float, 3>& f) { return {f[0], f[1], f[2]}; }

Vec2 RoundedRectPoint(double a, double b, double r, double frac) {
    const double sa = a - r, sb = b - r, arc = 0.5 * pi * r;
    // Segments from (a, 0) counter-clockwise: half side, then corner, side, corner, ... half side.
    const double lengths[9] = {sb, arc, 2 * sa, arc, 2 * sb, arc, 2 * sa, arc, sb};
    double total = 0;
    for (double l : lengths) total += l;
    double s = frac * total;
    for (int k = 0; k < 9; ++k) {
        if (s > lengths[k] && k < 8) {
            s -= lengths[k];
            continue;
        }
        const double f = lengths[k] > 0 ? s / lengths[k] : 0;
        switch (k) {
        case 0:
            return {a, f * sb};
        case 2:
            return {sa - f * 2 * sa, b};
        case 4:
            return {-a, sb - f * 2 * sb};
        case 6:
            return {-sa + f * 2 * sa, -b};
        case 8:
            return {a, -sb + f * sb};
        default: {
            const double start = (k / 2) * 0.5 * pi;  // corners 1, 3, 5, 7 start at 0, 90, 180, 270
            const double ang = start + f * 0.5 * pi;
            const double cx = (k == 1 || k == 7) ? sa : -sa;
            const double cy = (k == 1 || k == 3) ? sb : -sb;
            return {cx + r * std::cos(ang), cy + r * std::sin(ang)};
        }
        }
    }
    return {a, 0};
}

namespace {
struct Corner {
    int item;  // 0 start pole, 1..m rings, m + 1 end pole
    int j;     // unwrapped index around the ring, 0..count
};
struct Tri {
    Corner c[3];
    int band;
};
}  // namespace

void AppendShell(ToolMesh& mesh, const ShellSpec& spec) {
    const int m = static_cast<int>(spec.ringCounts.size());
    auto count = [&](int item) { return (item == 0 || item == m + 1) ? 1 : spec.ringCounts[item - 1]; };

    // Local positions, item by item.
    std::vector<int> itemStart(m + 2);
    std::vector<Vec3> local;
    for (int item = 0; item < m + 2; ++item) {
        itemStart[item] = static_cast<int>(local.size());
        if (item == 0)
            local.push_back(spec.startPole);
        else if (item == m + 1)
            local.push_back(spec.endPole);
        else
            for (int j = 0; j < count(item); ++j)
                local.push_back(spec.ringPoint(item - 1, static_cast<double>(j) / count(item)));
    }
    auto posOf = [&](const Corner& c) {
        return itemStart[c.item] + (c.item == 0 || c.item == m + 1 ? 0 : c.j % count(c.item));
    };

    // Bands: a fan at each pole, a zipper between neighbouring rings (integer ties, so that
    // rings whose counts share a divisor meet at the same fractions).
    std::vector<Tri> tris;
    for (int band = 0; band <= m; ++band) {
        const int a = band, b = band + 1;
        const int ca = count(a), cb = count(b);
        if (a == 0) {
            for (int j = 0; j < cb; ++j) tris.push_back({{{a, 0}, {b, j + 1}, {b, j}}, band});
        } else if (b == m + 1) {
            for (int i = 0; i < ca; ++i) tris.push_back({{{a, i}, {a, i + 1}, {b, 0}}, band});
        } else {
            int i = 0, j = 0;
            while (i < ca || j < cb) {
                const bool advanceA =
                    j == cb || (i < ca && static_cast<long>(i + 1) * cb <= static_cast<long>(j + 1) * ca);
                if (advanceA) {
                    tris.push_back({{{a, i}, {a, i + 1}, {b, j}}, band});
                    ++i;
                } else {
                    tris.push_back({{{a, i}, {b, j + 1}, {b, j}}, band});
                    ++j;
                }
            }
        }
    }

    // Map onto the target box, then store as float: everything below works from the floats.
    std::vector<Vec3> placed = local;
    if (spec.rescale) {
        for (int axis = 0; axis < 3; ++axis) {
            double lo = 1e30, hi = -1e30;
            for (const Vec3& p : local) lo = std::min(lo, p[axis]), hi = std::max(hi, p[axis]);
            for (size_t k = 0; k < local.size(); ++k) {
                const double t = (local[k][axis] - lo) / (hi - lo);
                placed[k][axis] = spec.boxMin[axis] * (1 - t) + spec.boxMax[axis] * t;
            }
        }
    }
    std::vector<std::array<float, 3>> stored(placed.size());
    for (size_t k = 0; k < placed.size(); ++k)
        stored[k] = {static_cast<float>(placed[k][0]), static_cast<float>(placed[k][1]),
                     static_cast<float>(placed[k][2])};

    // Outward winding: flip everything if the enclosed volume comes out negative.
    double volume = 0;
    for (const Tri& t : tris)
        volume += Dot(ToVec(stored[posOf(t.c[0])]), Cross(ToVec(stored[posOf(t.c[1])]), ToVec(stored[posOf(t.c[2])])));
    if (volume < 0)
        for (Tri& t : tris) std::swap(t.c[1], t.c[2]);

    // Normals: one per (position, group), or one per flat group; area-weighted face normals.
    std::map<std::pair<int, int>, Vec3> normalSum;
    auto normalKey = [&](const Tri& t, int k) {
        const int group = spec.bandGroup[t.band];
        return std::make_pair(spec.groupFlat[group] ? -1 : posOf(t.c[k]), group);
    };
    for (const Tri& t : tris) {
        const Vec3 fn = Cross(Sub(ToVec(stored[posOf(t.c[1])]), ToVec(stored[posOf(t.c[0])])),
                              Sub(ToVec(stored[posOf(t.c[2])]), ToVec(stored[posOf(t.c[0])])));
        for (int k = 0; k < 3; ++k) {
            Vec3& s = normalSum[normalKey(t, k)];
            for (int d = 0; d < 3; ++d) s[d] += fn[d];
        }
    }

    // Texture coordinates keyed by chart, sector and corner; pole corners may be one per face.
    std::map<std::tuple<int, int, int, int>, int> texIndex;
    std::map<std::pair<int, int>, int> normalIndex;
    const int posBase = static_cast<int>(mesh.positions.size());
    for (const auto& p : stored) mesh.positions.push_back(p);

    int faceSerial = 0;
    for (const Tri& t : tris) {
        ToolFace face{};
        const ChartSpec& chart = spec.charts[spec.bandChart[t.band]];
        const int chartId = spec.bandChart[t.band];
        // Mean fraction of the ring corners decides the sector of a cylinder chart.
        double fracSum = 0;
        int ringCorners = 0;
        for (const Corner& c : t.c)
            if (c.item != 0 && c.item != m + 1) fracSum += static_cast<double>(c.j) / count(c.item), ++ringCorners;
        const double midFrac = fracSum / ringCorners;
        const int sector = std::min(chart.seams - 1, static_cast<int>(std::floor(midFrac * chart.seams)));
        for (int k = 0; k < 3; ++k) {
            const Corner& c = t.c[k];
            const int pos = posOf(c);
            face.position[k] = posBase + pos;

            const auto nk = normalKey(t, k);
            auto found = normalIndex.find(nk);
            if (found == normalIndex.end()) {
                Vec3 n = spec.exactNormal ? spec.exactNormal(ToVec(stored[pos])) : normalSum[nk];
                n = Normalized(n);
                found = normalIndex.emplace(nk, static_cast<int>(mesh.normals.size())).first;
                mesh.normals.push_back({static_cast<float>(n[0]), static_cast<float>(n[1]), static_cast<float>(n[2])});
            }
            face.normal[k] = found->second;

            std::tuple<int, int, int, int> key;
            Vec2 st{};
            const bool pole = c.item == 0 || c.item == m + 1;
            if (chart.kind == ChartKind::Planar) {
                key = {chartId, -1, pos, 0};
                st = chart.project(local[pos]);
            } else {
                const double v = static_cast<double>(c.item - chart.firstItem) / (chart.lastItem - chart.firstItem);
                if (pole && chart.polePerFace) {
                    key = {chartId, -2, faceSerial, 0};
                    st = {midFrac * chart.seams - sector, v};
                } else if (pole) {
                    key = {chartId, -3, c.item, 0};
                    st = {0.5, v};
                } else {
                    key = {chartId, sector, c.item, c.j};
                    st = {static_cast<double>(c.j) / count(c.item) * chart.seams - sector, v};
                }
            }
            auto tf = texIndex.find(key);
            if (tf == texIndex.end()) {
                tf = texIndex.emplace(key, static_cast<int>(mesh.texCoords.size())).first;
                mesh.texCoords.push_back({static_cast<float>(st[0]), static_cast<float>(st[1])});
            }
            face.texCoord[k] = tf->second;
        }
        mesh.faces.push_back(face);
        ++faceSerial;
    }
}

// ---- checks ----

static bool WithinDigits(float value, const char* text) {
    const char* dot = std::strchr(text, '.');
    const int decimals = dot ? static_cast<int>(std::strlen(dot + 1)) : 0;
    const double target = std::strtod(text, nullptr);
    return std::fabs(value - target) <= 0.5 * std::pow(10.0, -decimals) + 1e-9;
}

static std::string CheckBox(const ToolMesh& mesh, const std::vector<int>& faces, const BoxText& box, const char* what) {
    float lo[3] = {1e30f, 1e30f, 1e30f}, hi[3] = {-1e30f, -1e30f, -1e30f};
    for (int f : faces)
        for (int k = 0; k < 3; ++k)
            for (int d = 0; d < 3; ++d) {
                const float v = mesh.positions[mesh.faces[f].position[k]][d];
                lo[d] = std::min(lo[d], v), hi[d] = std::max(hi[d], v);
            }
    const char* want[6] = {box.minX, box.maxX, box.minY, box.maxY, box.minZ, box.maxZ};
    for (int d = 0; d < 3; ++d)
        if (!WithinDigits(lo[d], want[2 * d]) || !WithinDigits(hi[d], want[2 * d + 1])) {
            char buf[200];
            std::snprintf(buf, sizeof buf, "%s: axis %d spans %.7g..%.7g, wanted %s..%s", what, d, lo[d], hi[d],
                          want[2 * d], want[2 * d + 1]);
            return buf;
        }
    return "";
}

std::string CheckMesh(const ToolMesh& mesh, const MeshExpect& expect) {
    char buf[300];
    const int nf = static_cast<int>(mesh.faces.size()), np = static_cast<int>(mesh.positions.size());
    const int nn = static_cast<int>(mesh.normals.size()), nt = static_cast<int>(mesh.texCoords.size());
    if (nf != expect.faces || np != expect.positions || nn != expect.normals || nt != expect.texCoords) {
        std::snprintf(buf, sizeof buf, "counts faces %d positions %d normals %d texcoords %d, wanted %d %d %d %d", nf,
                      np, nn, nt, expect.faces, expect.positions, expect.normals, expect.texCoords);
        return buf;
    }
    if (mesh.runs != expect.runs) return "material runs differ";
    for (const auto& run : mesh.runs)
        if (run[0] < 0 || run[0] >= static_cast<int>(mesh.materials.size()) || run[1] <= 0) return "bad run";

    const int limit = mesh.index8 ? 255 : 32767;
    std::vector<char> usedP(np), usedN(nn), usedT(nt);
    for (const ToolFace& f : mesh.faces)
        for (int k = 0; k < 3; ++k) {
            if (f.position[k] < 0 || f.position[k] >= np || f.normal[k] < 0 || f.normal[k] >= nn || f.texCoord[k] < 0 ||
                f.texCoord[k] >= nt)
                return "index out of range";
            if (f.position[k] > limit || f.normal[k] > limit || f.texCoord[k] > limit) return "index too wide";
            usedP[f.position[k]] = usedN[f.normal[k]] = usedT[f.texCoord[k]] = 1;
        }
    for (char u : usedP)
        if (!u) return "unreferenced position";
    for (char u : usedN)
        if (!u) return "unreferenced normal";
    for (char u : usedT)
        if (!u) return "unreferenced texture coordinate";
    for (const auto& n : mesh.normals)
        if (std::fabs(std::sqrt(Dot(ToVec(n), ToVec(n))) - 1.0) > 1e-5) return "normal not of unit length";
    if (!mesh.lineStrip)
        for (const auto& t : mesh.texCoords)
            if (t[0] < -0.22f || t[0] > 1.13f || t[1] < -0.22f || t[1] > 1.13f)
                return "texture coordinate out of range";

    std::vector<int> all(nf);
    for (int i = 0; i < nf; ++i) all[i] = i;
    std::string box = CheckBox(mesh, all, expect.box, "mesh");
    if (!box.empty()) return box;

    // Degenerate faces and edge use: each directed edge once, its reverse once.
    std::map<std::pair<int, int>, int> directed;
    for (int i = 0; i < nf; ++i) {
        const ToolFace& f = mesh.faces[i];
        const Vec3 a = ToVec(mesh.positions[f.position[0]]), b = ToVec(mesh.positions[f.position[1]]),
                   c = ToVec(mesh.positions[f.position[2]]);
        const Vec3 n = Cross(Sub(b, a), Sub(c, a));
        if (f.position[0] == f.position[1] || f.position[1] == f.position[2] || f.position[0] == f.position[2] ||
            std::sqrt(Dot(n, n)) < 1e-10) {
            std::snprintf(buf, sizeof buf, "degenerate face %d", i);
            return buf;
        }
        for (int k = 0; k < 3; ++k) ++directed[{f.position[k], f.position[(k + 1) % 3]}];
    }
    if (!expect.closed) return "";
    for (const auto& [edge, uses] : directed) {
        auto back = directed.find({edge.second, edge.first});
        if (uses != 1 || back == directed.end() || back->second != 1) {
            std::snprintf(buf, sizeof buf, "edge %d-%d not shared by exactly two faces", edge.first, edge.second);
            return buf;
        }
    }

    // Shells: faces joined through shared positions (closed surfaces do not touch each other).
    std::vector<int> parent(np);
    for (int i = 0; i < np; ++i) parent[i] = i;
    std::function<int(int)> root = [&](int x) { return parent[x] == x ? x : parent[x] = root(parent[x]); };
    for (const ToolFace& f : mesh.faces) {
        parent[root(f.position[1])] = root(f.position[0]);
        parent[root(f.position[2])] = root(f.position[0]);
    }
    std::map<int, std::vector<int>> shellFaces;
    for (int i = 0; i < nf; ++i) shellFaces[root(mesh.faces[i].position[0])].push_back(i);
    std::vector<ShellExpect> shells = expect.shells;
    if (shells.empty()) shells.push_back({0, nf - 1, np, mesh.runs[0][0], expect.box});
    if (shellFaces.size() != shells.size()) {
        std::snprintf(buf, sizeof buf, "%zu shells, wanted %zu", shellFaces.size(), shells.size());
        return buf;
    }
    for (const ShellExpect& s : shells) {
        const int r = root(mesh.faces[s.firstFace].position[0]);
        const std::vector<int>& faces = shellFaces[r];
        if (faces.front() != s.firstFace || faces.back() != s.lastFace ||
            static_cast<int>(faces.size()) != s.lastFace - s.firstFace + 1)
            return "shell faces are not the expected contiguous range";
        std::set<int> pos;
        std::set<std::pair<int, int>> edges;
        double volume = 0;
        for (int f : faces) {
            const ToolFace& face = mesh.faces[f];
            for (int k = 0; k < 3; ++k) {
                pos.insert(face.position[k]);
                const int a = face.position[k], b = face.position[(k + 1) % 3];
                edges.insert({std::min(a, b), std::max(a, b)});
            }
            volume += Dot(ToVec(mesh.positions[face.position[0]]),
                          Cross(ToVec(mesh.positions[face.position[1]]), ToVec(mesh.positions[face.position[2]])));
        }
        if (static_cast<int>(pos.size()) != s.positions) return "shell position count differs";
        if (static_cast<int>(pos.size()) - static_cast<int>(edges.size()) + static_cast<int>(faces.size()) != 2)
            return "shell is not a sphere-like surface";
        if (volume <= 0) return "shell faces point inward";
        // Row of the shell's faces.
        int start = 0;
        for (const auto& run : mesh.runs) {
            const int end = start + run[1];
            if (s.firstFace < end && s.lastFace >= start && run[0] != s.row) return "shell drawn with the wrong row";
            start = end;
        }
        box = CheckBox(mesh, faces, s.box, "shell");
        if (!box.empty()) return box;
    }
    return "";
}

std::string CheckStripTracesEdges(const ToolMesh& mesh) {
    std::set<std::pair<int, int>> edges, traced;
    std::vector<int> strip;
    for (const ToolFace& f : mesh.faces)
        for (int k = 0; k < 3; ++k) {
            const int a = f.position[k], b = f.position[(k + 1) % 3];
            edges.insert({std::min(a, b), std::max(a, b)});
            strip.push_back(f.position[k]);
        }
    for (size_t i = 1; i < strip.size(); ++i) {
        const int a = strip[i - 1], b = strip[i];
        if (a == b) continue;
        const std::pair<int, int> e{std::min(a, b), std::max(a, b)};
        if (!edges.count(e)) return "strip steps across a chord";
        traced.insert(e);
    }
    return traced.size() == edges.size() ? "" : "strip misses an edge";
}
