// Canvas painting for the image generator. Depends on nothing but the standard library.
#include "tools/images/raster.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

Rgba Hex(unsigned rgb, float alpha) {
    return {((rgb >> 16) & 0xff) / 255.0f, ((rgb >> 8) & 0xff) / 255.0f, (rgb & 0xff) / 255.0f, alpha};
}

Rgba Mix(Rgba a, Rgba b, float t) {
    t = std::clamp(t, 0.0f, 1.0f);
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t, a.a + (b.a - a.a) * t};
}

Rgba WithAlpha(Rgba c, float alpha) {
    c.a = alpha;
    return c;
}

Image MakeImage(int width, int height, Rgba fill) {
    Image image;
    image.width = width;
    image.height = height;
    image.pixels.assign(size_t(width) * size_t(height), fill);
    return image;
}

Rgba& At(Image& image, int x, int y) { return image.pixels[size_t(y) * size_t(image.width) + size_t(x)]; }

Rgba At(const Image& image, int x, int y) { return image.pixels[size_t(y) * size_t(image.width) + size_t(x)]; }

Rgba Over(Rgba top, Rgba bottom) {
    float a = top.a + bottom.a * (1.0f - top.a);
    if (a <= 0.0f) return {bottom.r, bottom.g, bottom.b, 0.0f};
    float wb = bottom.a * (1.0f - top.a);
    return {(top.r * top.a + bottom.r * wb) / a, (top.g * top.a + bottom.g * wb) / a,
            (top.b * top.a + bottom.b * wb) / a, a};
}

void PaintOver(Image& image, const Frame& frame, const Paint& paint, int samples) {
    const float w = float(image.width);
    const float h = float(image.height);
    // Texel rows and columns whose centres fall inside the region.
    int xBegin = int(std::ceil(frame.s0 * w - 0.5f));
    int xEnd = int(std::ceil(frame.s1 * w - 0.5f));
    int rowBegin = int(std::ceil((1.0f - frame.t1) * h - 0.5f));
    int rowEnd = int(std::ceil((1.0f - frame.t0) * h - 0.5f));
    xBegin = std::max(xBegin, 0);
    rowBegin = std::max(rowBegin, 0);
    xEnd = std::min(xEnd, image.width);
    rowEnd = std::min(rowEnd, image.height);
    const float xPerS = (frame.x1 - frame.x0) / (frame.s1 - frame.s0);
    const float yPerT = (frame.y1 - frame.y0) / (frame.t1 - frame.t0);
    const float inv = 1.0f / float(samples * samples);
    for (int row = rowBegin; row < rowEnd; ++row) {
        for (int col = xBegin; col < xEnd; ++col) {
            float pr = 0.0f, pg = 0.0f, pb = 0.0f, pa = 0.0f;
            for (int j = 0; j < samples; ++j) {
                float t = 1.0f - (row + (j + 0.5f) / samples) / h;
                float y = frame.y0 + (t - frame.t0) * yPerT;
                for (int i = 0; i < samples; ++i) {
                    float s = (col + (i + 0.5f) / samples) / w;
                    float x = frame.x0 + (s - frame.s0) * xPerS;
                    Rgba c = paint(x, y);
                    pr += c.r * c.a;
                    pg += c.g * c.a;
                    pb += c.b * c.a;
                    pa += c.a;
                }
            }
            if (pa <= 0.0f) continue;
            Rgba top = {pr / pa, pg / pa, pb / pa, pa * inv};
            Rgba& dst = At(image, col, row);
            dst = Over(top, dst);
        }
    }
}

bool InCircle(float x, float y, float cx, float cy, float radius) {
    return (x - cx) * (x - cx) + (y - cy) * (y - cy) <= radius * radius;
}

bool InRect(float x, float y, float x0, float y0, float x1, float y1) { return x >= x0 && x < x1 && y >= y0 && y < y1; }

bool InPolygon(float x, float y, const std::vector<float>& xy) {
    bool inside = false;
    size_t n = xy.size() / 2;
    for (size_t i = 0, j = n - 1; i < n; j = i++) {
        float xi = xy[2 * i], yi = xy[2 * i + 1], xj = xy[2 * j], yj = xy[2 * j + 1];
        if ((yi > y) != (yj > y) && x < (xj - xi) * (y - yi) / (yj - yi) + xi) inside = !inside;
    }
    return inside;
}

bool RenderPixelArt(const PixelArt& art, int size, Image& out) {
    int rows = int(art.rows.size());
    int cols = rows ? int(art.rows[0].size()) : 0;
    if (rows == 0 || cols != rows || size % cols != 0) {
        std::fprintf(stderr, "pixel art must be square and divide %d texels\n", size);
        return false;
    }
    int scale = size / cols;
    out = MakeImage(size, size, clearColour);
    for (int y = 0; y < rows; ++y) {
        if (int(art.rows[y].size()) != cols) {
            std::fprintf(stderr, "pixel art row %d has %zu columns, not %d\n", y, art.rows[y].size(), cols);
            return false;
        }
        for (int x = 0; x < cols; ++x) {
            char key = art.rows[y][x];
            if (key == '.') continue;
            auto entry =
                std::find_if(art.palette.begin(), art.palette.end(), [key](const auto& p) { return p.first == key; });
            if (entry == art.palette.end()) {
                std::fprintf(stderr, "pixel art key '%c' has no colour\n", key);
                return false;
            }
            for (int v = 0; v < scale; ++v)
                for (int u = 0; u < scale; ++u) At(out, x * scale + u, y * scale + v) = entry->second;
        }
    }
    return true;
}

void BleedEdges(Image& image) {
    // Grow the visible colours outward one ring at a time; texels never reached take the mean.
    std::vector<char> known(image.pixels.size());
    double sr = 0.0, sg = 0.0, sb = 0.0;
    size_t count = 0;
    for (size_t i = 0; i < image.pixels.size(); ++i) {
        known[i] = image.pixels[i].a > 0.0f;
        if (known[i]) {
            sr += image.pixels[i].r;
            sg += image.pixels[i].g;
            sb += image.pixels[i].b;
            ++count;
        }
    }
    if (count == 0) return;
    const int passes = 16;
    for (int pass = 0; pass < passes; ++pass) {
        std::vector<char> next = known;
        bool grew = false;
        for (int y = 0; y < image.height; ++y) {
            for (int x = 0; x < image.width; ++x) {
                size_t i = size_t(y) * image.width + x;
                if (known[i]) continue;
                float r = 0.0f, g = 0.0f, b = 0.0f;
                int n = 0;
                for (int dy = -1; dy <= 1; ++dy) {
                    for (int dx = -1; dx <= 1; ++dx) {
                        int nx = x + dx, ny = y + dy;
                        if (nx < 0 || ny < 0 || nx >= image.width || ny >= image.height) continue;
                        size_t k = size_t(ny) * image.width + nx;
                        if (!known[k]) continue;
                        r += image.pixels[k].r;
                        g += image.pixels[k].g;
                        b += image.pixels[k].b;
                        ++n;
                    }
                }
                if (n) {
                    image.pixels[i] = {r / n, g / n, b / n, 0.0f};
                    next[i] = 1;
                    grew = true;
                }
            }
        }
        known.swap(next);
        if (!grew) break;
    }
    Rgba mean = {float(sr / count), float(sg / count), float(sb / count), 0.0f};
    for (size_t i = 0; i < image.pixels.size(); ++i)
        if (!known[i]) image.pixels[i] = mean;
}

Image Resize(const Image& image, int width, int height) {
    Image out = MakeImage(width, height, clearColour);
    float fx = float(image.width) / width;
    float fy = float(image.height) / height;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            // Box filter over the source footprint, at least one texel (bilinear when enlarging).
            float sx0 = x * fx, sx1 = (x + 1) * fx, sy0 = y * fy, sy1 = (y + 1) * fy;
            if (fx < 1.0f) {
                sx0 = (x + 0.5f) * fx - 0.5f;
                sx1 = sx0 + 1.0f;
            }
            if (fy < 1.0f) {
                sy0 = (y + 0.5f) * fy - 0.5f;
                sy1 = sy0 + 1.0f;
            }
            float pr = 0.0f, pg = 0.0f, pb = 0.0f, pa = 0.0f, wsum = 0.0f;
            for (int v = int(std::floor(sy0)); v < int(std::ceil(sy1)); ++v) {
                float wy = std::min(sy1, v + 1.0f) - std::max(sy0, float(v));
                for (int u = int(std::floor(sx0)); u < int(std::ceil(sx1)); ++u) {
                    float wx = std::min(sx1, u + 1.0f) - std::max(sx0, float(u));
                    Rgba c = At(image, std::clamp(u, 0, image.width - 1), std::clamp(v, 0, image.height - 1));
                    float wgt = wx * wy;
                    pr += c.r * c.a * wgt;
                    pg += c.g * c.a * wgt;
                    pb += c.b * c.a * wgt;
                    pa += c.a * wgt;
                    wsum += wgt;
                }
            }
            if (pa > 0.0f) At(out, x, y) = {pr / pa, pg / pa, pb / pa, pa / wsum};
        }
    }
    return out;
}
