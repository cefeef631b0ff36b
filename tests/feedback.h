// GL feedback capture for tests: every primitive a drawing call produces, in drawing order, with
// its window-space vertices, colour and texture coordinates, without rasterising anything.
#pragma once
#include "platform/gl.h"

#include <array>
#include <cmath>
#include <cstddef>
#include <functional>
#include <utility>
#include <vector>

struct FeedbackVertex {
    float x, y, z;     // window coordinates
    float r, g, b, a;  // colour as lit
    float s, t;        // texture coordinates
};

enum class FeedbackKind {
    Point,
    Line,  // line and line-reset tokens
    Polygon,
    Raster,  // bitmap, draw-pixel and copy-pixel tokens: one vertex, the raster position
};

struct FeedbackPrimitive {
    FeedbackKind kind;
    std::vector<FeedbackVertex> vertices;
};

struct FeedbackCapture {
    std::vector<FeedbackPrimitive> primitives;  // in drawing order
    bool overflowed = false;                    // GL reports nothing then: primitives is empty
};

// Runs draw in feedback mode (GL_3D_COLOR_TEXTURE, RGBA: 11 floats a vertex); capacity in floats.
inline FeedbackCapture CaptureFeedback(const std::function<void()>& draw, size_t capacity = 1 << 20) {
    constexpr GLint kFloatsPerVertex = 11;
    std::vector<GLfloat> buffer(capacity);
    glFeedbackBuffer(static_cast<GLsizei>(buffer.size()), GL_3D_COLOR_TEXTURE, buffer.data());
    glRenderMode(GL_FEEDBACK);
    draw();
    const GLint used = glRenderMode(GL_RENDER);
    FeedbackCapture out;
    out.overflowed = used < 0;
    for (GLint i = 0; i < used;) {
        const GLint token = static_cast<GLint>(buffer[i++]);
        if (token == GL_PASS_THROUGH_TOKEN) {
            ++i;
            continue;
        }
        FeedbackPrimitive p{FeedbackKind::Raster, {}};
        GLint n = 1;
        if (token == GL_POINT_TOKEN) {
            p.kind = FeedbackKind::Point;
        } else if (token == GL_LINE_TOKEN || token == GL_LINE_RESET_TOKEN) {
            p.kind = FeedbackKind::Line;
            n = 2;
        } else if (token == GL_POLYGON_TOKEN) {
            p.kind = FeedbackKind::Polygon;
            n = static_cast<GLint>(buffer[i++]);
        }
        for (GLint k = 0; k < n; ++k, i += kFloatsPerVertex) {
            const GLfloat* f = &buffer[i];
            p.vertices.push_back({f[0], f[1], f[2], f[3], f[4], f[5], f[6], f[7], f[8]});
        }
        out.primitives.push_back(std::move(p));
    }
    return out;
}

// ---- views ----

inline size_t CountOf(const FeedbackCapture& c, FeedbackKind kind) {
    size_t n = 0;
    for (const FeedbackPrimitive& p : c.primitives) n += p.kind == kind;
    return n;
}

// Points, lines, bitmaps and pixel rectangles.
inline size_t NonPolygonCount(const FeedbackCapture& c) {
    return c.primitives.size() - CountOf(c, FeedbackKind::Polygon);
}

// Every vertex of the primitives of one kind, in drawing order.
inline std::vector<FeedbackVertex> VerticesOf(const FeedbackCapture& c, FeedbackKind kind) {
    std::vector<FeedbackVertex> out;
    for (const FeedbackPrimitive& p : c.primitives)
        if (p.kind == kind) out.insert(out.end(), p.vertices.begin(), p.vertices.end());
    return out;
}

using FeedbackTriangle = std::array<FeedbackVertex, 3>;

// Polygons fanned into triangles from their first vertex, in drawing order.
inline std::vector<FeedbackTriangle> FannedTriangles(const FeedbackCapture& c) {
    std::vector<FeedbackTriangle> out;
    for (const FeedbackPrimitive& p : c.primitives) {
        if (p.kind != FeedbackKind::Polygon) continue;
        const std::vector<FeedbackVertex>& v = p.vertices;
        for (size_t k = 1; k + 1 < v.size(); ++k) out.push_back({v[0], v[k], v[k + 1]});
    }
    return out;
}

// True when some polygon vertex sits at (x, y) within tol pixels with texture coordinate (s, t).
inline bool HasVertex(const FeedbackCapture& c, float x, float y, float s, float t, float tol = 0.01f) {
    for (const FeedbackPrimitive& p : c.primitives)
        for (const FeedbackVertex& v : p.vertices)
            if (p.kind == FeedbackKind::Polygon && std::fabs(v.x - x) <= tol && std::fabs(v.y - y) <= tol &&
                std::fabs(v.s - s) <= 1e-6f && std::fabs(v.t - t) <= 1e-6f)
                return true;
    return false;
}
