// Lines wider than ES draws (on WebGL, every line wider than one pixel), as GL 1.1 draws them:
// one screen-space quad per segment covering the pixels GL names, the columns (rows) of a
// width-1 line by the diamond-exit rule, each widened in the minor direction, its fragments
// sharing the width-1 fragment's colour and texture coordinates.
#include "platform/ffp/layer.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace ffp {
namespace {

std::vector<LineVertex> lineScratch;
std::vector<BareLineVertex> bareLineScratch;

bool InDiamond(float x, float y) {
    return std::fabs(x - std::floor(x) - 0.5f) + std::fabs(y - std::floor(y) - 0.5f) < 0.5f;
}

// The first and last pixel along the major axis (u) that a width-1 line from u0 to u1 draws by
// GL's diamond-exit rule: a pixel is drawn when the line leaves its diamond, so the start pixel
// counts when the line starts inside its diamond, the end pixel not when it ends inside.
bool MajorRange(float u0, float v0, float u1, float v1, bool xMajor, int* first, int* last) {
    const float x0 = xMajor ? u0 : v0, y0 = xMajor ? v0 : u0;
    const float x1 = xMajor ? u1 : v1, y1 = xMajor ? v1 : u1;
    const int i0 = static_cast<int>(std::floor(u0)), i1 = static_cast<int>(std::floor(u1));
    const float c0 = i0 + 0.5f, c1 = i1 + 0.5f;
    if (u1 > u0) {
        *first = (u0 <= c0 || InDiamond(x0, y0)) ? i0 : i0 + 1;
        *last = (u1 > c1 && !InDiamond(x1, y1)) ? i1 : i1 - 1;
        return *last >= *first;
    }
    *first = (u0 >= c0 || InDiamond(x0, y0)) ? i0 : i0 - 1;
    *last = (u1 < c1 && !InDiamond(x1, y1)) ? i1 : i1 + 1;
    return *last <= *first;
}

Vertex Mix(const Vertex& a, const Vertex& b, float t) {
    Vertex r;
    const float* pa = &a.position[0];
    const float* pb = &b.position[0];
    float* pr = &r.position[0];
    for (size_t k = 0; k < sizeof(Vertex) / sizeof(float); ++k) pr[k] = pa[k] + (pb[k] - pa[k]) * t;
    return r;
}

// Clips the segment to the near and far planes in clip coordinates; false when nothing is left.
bool ClipSegment(float* c0, float* c1, float* t0, float* t1) {
    *t0 = 0.0f, *t1 = 1.0f;
    for (int side = -1; side <= 1; side += 2) {
        // Inside where w + side * z >= 0 (near: w + z, far: w - z).
        const float d0 = c0[3] - side * c0[2], d1 = c1[3] - side * c1[2];
        if (d0 < 0 && d1 < 0) return false;
        if (d0 < 0) *t0 = std::max(*t0, d0 / (d0 - d1));
        if (d1 < 0) *t1 = std::min(*t1, d0 / (d0 - d1));
    }
    return *t0 < *t1;
}

// Appends the quad of one segment: its major-axis pixel range widened to the line width in the
// minor direction, placed in window coordinates and handed to the shader in clip coordinates.
void AppendLineQuad(const Vertex& a, const Vertex& b, const Mat4& mvp, float width, bool bare) {
    float ca[4], cb[4];
    Transform(mvp, a.position, ca);
    Transform(mvp, b.position, cb);
    float t0, t1;
    if (!ClipSegment(ca, cb, &t0, &t1)) return;
    float p0[4], p1[4];
    for (int k = 0; k < 4; ++k) p0[k] = ca[k] + (cb[k] - ca[k]) * t0, p1[k] = ca[k] + (cb[k] - ca[k]) * t1;
    const float sx = gl.viewport[2] * 0.5f, tx = gl.viewport[0] + sx;
    const float sy = gl.viewport[3] * 0.5f, ty = gl.viewport[1] + sy;
    if (sx <= 0.0f || sy <= 0.0f) return;  // an empty viewport has no pixels
    const float x0 = p0[0] / p0[3] * sx + tx, y0 = p0[1] / p0[3] * sy + ty, z0 = p0[2] / p0[3];
    const float x1 = p1[0] / p1[3] * sx + tx, y1 = p1[1] / p1[3] * sy + ty, z1 = p1[2] / p1[3];
    const float dx = x1 - x0, dy = y1 - y0;
    if (dx == 0.0f && dy == 0.0f) return;
    const bool xMajor = std::fabs(dx) >= std::fabs(dy);
    const float u0 = xMajor ? x0 : y0, v0 = xMajor ? y0 : x0, u1 = xMajor ? x1 : y1, v1 = xMajor ? y1 : x1;
    int first, last;
    if (!MajorRange(u0, v0, u1, v1, xMajor, &first, &last)) return;
    // Pixel edges, not centres, bound the quad along the major axis: no centre lies on them.
    const float ends[2] = {static_cast<float>(std::min(first, last)), static_cast<float>(std::max(first, last) + 1)};
    for (float u : ends) {
        // A wide line's fragments in one column (row) share the values of the width-1 line's
        // fragment there, which run linearly along the major axis: the corners carry them.
        const float s = (u - u0) / (u1 - u0);  // along the clipped segment
        const float t = t0 + (t1 - t0) * s;    // along the whole segment
        const float v = v0 + (v1 - v0) * s;
        for (float side : {-0.5f, 0.5f}) {
            const float wx = xMajor ? u : v + side * width, wy = xMajor ? v + side * width : u;
            const float window[4] = {(wx - tx) / sx, (wy - ty) / sy, z0 + (z1 - z0) * s, 1.0f};
            if (bare) {
                BareLineVertex corner;
                std::copy_n(window, 4, corner.window);
                for (int c = 0; c < 4; ++c) corner.color[c] = a.color[c] + (b.color[c] - a.color[c]) * t;
                bareLineScratch.push_back(corner);
            } else {
                LineVertex corner;
                corner.v = Mix(a, b, t);
                std::copy_n(window, 4, corner.window);
                lineScratch.push_back(corner);
            }
        }
    }
}

}  // namespace

// Attributes in `constant` come from the current state.
void DrawLines(const Vertex* v, int count, uint8_t constant) {
    const Mat4 mvp = Multiply(stacks[1].back(), stacks[0].back());
    const bool bare = !gl.enables.lighting && !(gl.enables.texture2D && gl.texture != 0);
    lineScratch.clear();
    bareLineScratch.clear();
    for (int i = 0; i + 1 < count; i += 2) {
        Vertex a = v[i], b = v[i + 1];
        if (constant) {
            for (Vertex* p : {&a, &b}) {
                if (constant & kNormalBit) std::copy_n(gl.current.normal, 3, p->normal);
                if (constant & kColorBit) std::copy_n(gl.current.color, 4, p->color);
                if (constant & kTexCoordBit) std::copy_n(gl.current.texCoord, 2, p->texCoord);
            }
        }
        AppendLineQuad(a, b, mvp, gl.lineWidth, bare);
    }
    const size_t corners = bare ? bareLineScratch.size() : lineScratch.size();
    if (corners == 0) return;
    UseProgram(true);
    const int maxQuads = 65536 / 4;
    const int quads = static_cast<int>(corners / 4);
    BindLineIndices(std::min(quads, maxQuads));
    for (int done = 0; done < quads; done += maxQuads) {
        const int n = std::min(maxQuads, quads - done);
        const size_t first = static_cast<size_t>(done) * 4;
        if (bare) {
            Stream(&bareLineScratch[first], static_cast<size_t>(n) * 4 * sizeof(BareLineVertex));
            PointBareLineAttributes();
        } else {
            Stream(&lineScratch[first], static_cast<size_t>(n) * 4 * sizeof(LineVertex));
            PointAttributes(sizeof(LineVertex), 0, 0, true);
        }
        glDrawElements(GL_TRIANGLES, n * 6, GL_UNSIGNED_SHORT, nullptr);
    }
}

}  // namespace ffp
