// GL feedback capture for render tests: the exact window-space vertices (with texture
// coordinates) that a drawing call produces, without rasterising anything.
#pragma once
#include <GL/gl.h>

#include <cmath>
#include <functional>
#include <vector>

struct FeedbackVertex {
    float x, y, z;  // window coordinates
    float s, t;     // texture coordinates
};

struct FeedbackCapture {
    std::vector<FeedbackVertex> polygonVertices;  // every vertex of every polygon token
    int polygons = 0;
    int otherPrimitives = 0;  // points, lines, bitmaps, pixel rectangles
};

// Runs draw in feedback mode (GL_3D_COLOR_TEXTURE, RGBA: 11 floats a vertex).
inline FeedbackCapture CaptureFeedback(const std::function<void()>& draw, size_t capacity = 1 << 20) {
    constexpr int kFloatsPerVertex = 11;
    std::vector<GLfloat> buffer(capacity);
    glFeedbackBuffer(static_cast<GLsizei>(buffer.size()), GL_3D_COLOR_TEXTURE, buffer.data());
    glRenderMode(GL_FEEDBACK);
    draw();
    const GLint used = glRenderMode(GL_RENDER);
    FeedbackCapture out;
    auto vertexAt = [&](GLint i) {
        return FeedbackVertex{buffer[i], buffer[i + 1], buffer[i + 2], buffer[i + 7], buffer[i + 8]};
    };
    for (GLint i = 0; i < used;) {
        const GLint token = static_cast<GLint>(buffer[i++]);
        if (token == GL_POLYGON_TOKEN) {
            const GLint n = static_cast<GLint>(buffer[i++]);
            for (GLint k = 0; k < n; ++k, i += kFloatsPerVertex) out.polygonVertices.push_back(vertexAt(i));
            ++out.polygons;
        } else if (token == GL_PASS_THROUGH_TOKEN) {
            ++i;
        } else if (token == GL_LINE_TOKEN || token == GL_LINE_RESET_TOKEN) {
            i += 2 * kFloatsPerVertex;
            ++out.otherPrimitives;
        } else {  // point, bitmap, draw/copy pixel: one vertex
            i += kFloatsPerVertex;
            ++out.otherPrimitives;
        }
    }
    return out;
}

// True when some captured vertex sits at (x, y) within tol pixels with texture coordinate (s, t).
inline bool HasVertex(const FeedbackCapture& c, float x, float y, float s, float t, float tol = 0.01f) {
    for (const FeedbackVertex& v : c.polygonVertices)
        if (std::fabs(v.x - x) <= tol && std::fabs(v.y - y) <= tol && std::fabs(v.s - s) <= 1e-6f &&
            std::fabs(v.t - t) <= 1e-6f)
            return true;
    return false;
}
