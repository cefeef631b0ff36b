// FreeType rasterisation for the logos and the glyph sheet. Depends on freetype2 and the
// DejaVu fonts of fonts-dejavu-core.
#include "tools/images/text.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_GLYPH_H
#include FT_STROKER_H

namespace {

constexpr const char* sheetFontFile = "DejaVuSansMono-Bold.ttf";
constexpr int firstCode = 32;
constexpr int lastDrawnCode = 126;
constexpr int setBaselineRow = 23;  // from the cell's top; descenders end by row 30
constexpr int solidPixelSize = 26;
constexpr float solidCondense = 0.9f;  // the quad widens glyphs by 1..1.14 from bottom to top
constexpr int outlinedPixelSize = 24;
constexpr float outlinedCondense = 0.8f;
constexpr float outlineStrokePx = 1.5f;

struct FreeType {
    FT_Library library = nullptr;
    FT_Face face = nullptr;
    FT_Stroker stroker = nullptr;
    ~FreeType() {
        if (stroker) FT_Stroker_Done(stroker);
        if (face) FT_Done_Face(face);
        if (library) FT_Done_FreeType(library);
    }
};

bool OpenFace(FreeType& ft, const char* fontFile, int pixelSize, float strokePx) {
    std::string path = std::string(fontDir) + fontFile;
    if (FT_Init_FreeType(&ft.library) || FT_New_Face(ft.library, path.c_str(), 0, &ft.face)) {
        std::fprintf(stderr, "cannot open font %s\n", path.c_str());
        return false;
    }
    FT_Set_Pixel_Sizes(ft.face, 0, FT_UInt(pixelSize));
    if (strokePx > 0.0f) {
        FT_Stroker_New(ft.library, &ft.stroker);
        FT_Stroker_Set(ft.stroker, FT_Fixed(strokePx * 64.0f), FT_STROKER_LINECAP_ROUND, FT_STROKER_LINEJOIN_ROUND, 0);
    }
    return true;
}

// Renders a glyph copy (optionally stroked) and max-combines it into a coverage buffer with its
// origin at (penX, baselineY).
void BlitGlyph(FT_Glyph glyph, FT_Stroker stroker, float subpixel, int penX, int baselineY, std::vector<float>& cover,
               int width, int height) {
    FT_Glyph copy = nullptr;
    FT_Glyph_Copy(glyph, &copy);
    if (stroker) FT_Glyph_Stroke(&copy, stroker, 1);
    FT_Vector origin = {FT_Pos(subpixel * 64.0f), 0};
    if (FT_Glyph_To_Bitmap(&copy, FT_RENDER_MODE_NORMAL, &origin, 1) == 0) {
        FT_BitmapGlyph bitmapGlyph = reinterpret_cast<FT_BitmapGlyph>(copy);
        const FT_Bitmap& bitmap = bitmapGlyph->bitmap;
        for (unsigned row = 0; row < bitmap.rows; ++row) {
            for (unsigned col = 0; col < bitmap.width; ++col) {
                int x = penX + bitmapGlyph->left + int(col);
                int y = baselineY - bitmapGlyph->top + int(row);
                if (x < 0 || y < 0 || x >= width || y >= height) continue;
                float v = bitmap.buffer[row * bitmap.pitch + int(col)] / 255.0f;
                float& dst = cover[size_t(y) * width + x];
                dst = std::max(dst, v);
            }
        }
    }
    FT_Done_Glyph(copy);
}

}  // namespace

bool RenderText(const char* fontFile, const std::string& text, int pixelSize, float strokePx, TextMask& mask) {
    FreeType ft;
    if (!OpenFace(ft, fontFile, pixelSize, strokePx)) return false;
    const int pad = int(std::ceil(strokePx)) + 2;
    const int ascent = int(ft.face->size->metrics.ascender >> 6);
    const int descent = int(-(ft.face->size->metrics.descender >> 6));

    // Lay out first (unhinted, with kerning) to size the mask.
    std::vector<FT_Glyph> glyphs;
    std::vector<float> pens;
    float pen = 0.0f;
    FT_UInt previous = 0;
    for (unsigned char c : text) {
        FT_UInt index = FT_Get_Char_Index(ft.face, c);
        if (previous && FT_HAS_KERNING(ft.face)) {
            FT_Vector kern;
            FT_Get_Kerning(ft.face, previous, index, FT_KERNING_UNFITTED, &kern);
            pen += kern.x / 64.0f;
        }
        FT_Glyph glyph = nullptr;
        if (FT_Load_Glyph(ft.face, index, FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP) ||
            FT_Get_Glyph(ft.face->glyph, &glyph)) {
            std::fprintf(stderr, "cannot load glyph '%c' of %s\n", c, fontFile);
            for (FT_Glyph g : glyphs) FT_Done_Glyph(g);
            return false;
        }
        glyphs.push_back(glyph);
        pens.push_back(pen);
        pen += ft.face->glyph->advance.x / 64.0f;
        previous = index;
    }
    mask.width = int(std::ceil(pen)) + 2 * pad + pixelSize / 2;
    mask.height = ascent + descent + 2 * pad;
    mask.fill.assign(size_t(mask.width) * mask.height, 0.0f);
    mask.outline.assign(mask.fill.size(), 0.0f);
    const int baseline = pad + ascent;
    for (size_t i = 0; i < glyphs.size(); ++i) {
        int whole = int(std::floor(pens[i]));
        float frac = pens[i] - whole;
        BlitGlyph(glyphs[i], nullptr, frac, pad + whole, baseline, mask.fill, mask.width, mask.height);
        if (ft.stroker)
            BlitGlyph(glyphs[i], ft.stroker, frac, pad + whole, baseline, mask.outline, mask.width, mask.height);
        FT_Done_Glyph(glyphs[i]);
    }
    for (size_t i = 0; i < mask.fill.size(); ++i) mask.outline[i] = std::max(mask.outline[i], mask.fill[i]);

    mask.inkX0 = float(mask.width);
    mask.inkY0 = float(mask.height);
    mask.inkX1 = mask.inkY1 = 0.0f;
    for (int y = 0; y < mask.height; ++y) {
        for (int x = 0; x < mask.width; ++x) {
            if (mask.outline[size_t(y) * mask.width + x] <= 0.0f) continue;
            mask.inkX0 = std::min(mask.inkX0, float(x));
            mask.inkY0 = std::min(mask.inkY0, float(y));
            mask.inkX1 = std::max(mask.inkX1, float(x + 1));
            mask.inkY1 = std::max(mask.inkY1, float(y + 1));
        }
    }
    return mask.inkX1 > mask.inkX0;
}

void PlaceText(TextMask& mask, float x0, float y0, float x1, float y1) {
    float inkW = mask.inkX1 - mask.inkX0;
    float inkH = mask.inkY1 - mask.inkY0;
    mask.scale = std::min((x1 - x0) / inkW, (y1 - y0) / inkH);
    float cx = 0.5f * (x0 + x1), cy = 0.5f * (y0 + y1);
    mask.originX = cx - 0.5f * (mask.inkX0 + mask.inkX1) * mask.scale;
    mask.originY = cy + 0.5f * (mask.inkY0 + mask.inkY1) * mask.scale;
}

float TextCoverage(const TextMask& mask, float x, float y, bool outline) {
    const std::vector<float>& cover = outline ? mask.outline : mask.fill;
    float px = (x - mask.originX) / mask.scale - 0.5f;
    float py = (mask.originY - y) / mask.scale - 0.5f;
    int ix = int(std::floor(px)), iy = int(std::floor(py));
    float fx = px - ix, fy = py - iy;
    auto get = [&](int u, int v) {
        if (u < 0 || v < 0 || u >= mask.width || v >= mask.height) return 0.0f;
        return cover[size_t(v) * mask.width + u];
    };
    float top = get(ix, iy) * (1.0f - fx) + get(ix + 1, iy) * fx;
    float bottom = get(ix, iy + 1) * (1.0f - fx) + get(ix + 1, iy + 1) * fx;
    return top * (1.0f - fy) + bottom * fy;
}

namespace {

// Draws one set of 128 glyphs into its half of the sheet.
bool DrawGlyphSet(Image& sheet, int set, int pixelSize, float condense, float strokePx) {
    FreeType ft;
    if (!OpenFace(ft, sheetFontFile, pixelSize, strokePx)) return false;
    FT_Matrix matrix = {FT_Fixed(condense * 65536.0f), 0, 0, 0x10000};
    FT_Set_Transform(ft.face, &matrix, nullptr);
    const int advance = int(std::lround(ft.face->size->metrics.max_advance / 64.0f * condense));
    const int penX = glyphInkLeft + std::max(0, (glyphInkEnd - glyphInkLeft - advance) / 2);

    for (int code = firstCode; code <= lastDrawnCode; ++code) {
        FT_Glyph glyph = nullptr;
        if (FT_Load_Char(ft.face, FT_ULong(code), FT_LOAD_TARGET_LIGHT | FT_LOAD_NO_BITMAP) ||
            FT_Get_Glyph(ft.face->glyph, &glyph)) {
            std::fprintf(stderr, "cannot load glyph %d\n", code);
            return false;
        }
        const int size = 3 * sheetCell;  // scratch big enough for any glyph, pen at its middle
        std::vector<float> fill(size * size, 0.0f), outline(size * size, 0.0f);
        BlitGlyph(glyph, nullptr, 0.0f, sheetCell, sheetCell + setBaselineRow, fill, size, size);
        if (ft.stroker) BlitGlyph(glyph, ft.stroker, 0.0f, sheetCell, sheetCell + setBaselineRow, outline, size, size);
        FT_Done_Glyph(glyph);

        int x0 = size, x1 = 0, y0 = size, y1 = 0;
        for (int y = 0; y < size; ++y) {
            for (int x = 0; x < size; ++x) {
                size_t i = size_t(y) * size + x;
                outline[i] = std::max(outline[i], fill[i]);
                if (outline[i] > 0.0f) {
                    x0 = std::min(x0, x);
                    x1 = std::max(x1, x + 1);
                    y0 = std::min(y0, y);
                    y1 = std::max(y1, y + 1);
                }
            }
        }
        if (x1 <= x0) continue;  // the space
        // Horizontal place: the pen's, pushed inside the ink columns where a glyph overhangs.
        int shift = penX - sheetCell;
        if (x0 + shift < glyphInkLeft) shift = glyphInkLeft - x0;
        if (x1 + shift > glyphInkEnd) shift = glyphInkEnd - x1;
        if (x0 + shift < glyphInkLeft || y0 - sheetCell < glyphInkTop || y1 - sheetCell > glyphInkBottom) {
            std::fprintf(stderr, "glyph %d of set %d does not fit its cell (%d..%d x %d..%d)\n", code, set, x0 + shift,
                         x1 + shift, y0 - sheetCell, y1 - sheetCell);
            return false;
        }
        int g = code - firstCode + 128 * set;
        int cellX = (g % 16) * sheetCell, cellY = (g / 16) * sheetCell;
        for (int y = 0; y < sheetCell; ++y) {
            for (int x = 0; x < sheetCell; ++x) {
                int sx = x - shift, sy = y + sheetCell;
                if (sx < 0 || sx >= size) continue;
                size_t i = size_t(sy) * size + sx;
                float a = outline[i];
                if (a <= 0.0f) continue;
                float grey = ft.stroker ? std::min(1.0f, fill[i] / a) : 1.0f;
                At(sheet, cellX + x, cellY + y) = {grey, grey, grey, a};
            }
        }
    }
    return true;
}

}  // namespace

bool MakeFontSheet(Image& sheet) {
    sheet = MakeImage(sheetSize, sheetSize, {1.0f, 1.0f, 1.0f, 0.0f});
    return DrawGlyphSet(sheet, 0, solidPixelSize, solidCondense, 0.0f) &&
           DrawGlyphSet(sheet, 1, outlinedPixelSize, outlinedCondense, outlineStrokePx);
}

void PaintLetterShadow(Image& image, const Frame& frame, const TextMask& mask, float dx, float dy, float radius) {
    PaintOver(image, frame, [&](float x, float y) {
        float sum = 0.0f;
        const int taps = 12;
        for (int i = 0; i < taps; ++i) {
            float a = 6.2831853f * i / taps;
            sum += TextCoverage(mask, x + dx + radius * std::cos(a), y + dy + radius * std::sin(a), true);
        }
        return WithAlpha(Hex(0x0b1440), 0.35f * sum / taps);
    });
}

void PaintLetterFace(Image& image, const Frame& frame, const TextMask& mask, float top, float height) {
    PaintOver(image, frame,
              [&](float x, float y) { return WithAlpha(Hex(0x0b1440), TextCoverage(mask, x, y, true)); });
    PaintOver(image, frame, [&](float x, float y) {
        float t = (y - top) / height;
        Rgba c = Mix(Hex(0x17a3b8), Hex(0x2438a8), t);
        if (t > 0.62f && t < 0.7f) c = Mix(c, Hex(0xd8f4ff), 0.7f);
        return WithAlpha(c, TextCoverage(mask, x, y, false));
    });
}
