// Text for the images: lines rasterised with FreeType into coverage masks that paints sample in
// design units, and the 16 x 16 glyph sheet of the bitmap font.
#pragma once
#include <string>
#include <vector>

#include "tools/images/raster.h"

constexpr const char* fontDir = "/usr/share/fonts/truetype/dejavu/";  // fonts-dejavu-core

// A line of text as coverage, with its stroked (grown) outline in the same layout.
struct TextMask {
    int width = 0;
    int height = 0;
    std::vector<float> fill;     // glyph coverage, row 0 at the top
    std::vector<float> outline;  // coverage of the glyphs grown by the stroke radius
    // Ink box of the outline in mask pixels (the fill lies inside it).
    float inkX0 = 0.0f, inkY0 = 0.0f, inkX1 = 0.0f, inkY1 = 0.0f;
    // Placement in design units, set by PlaceText: design = origin + mask pixel * scale.
    float originX = 0.0f, originY = 0.0f, scale = 1.0f;
};

// Renders `text` from the named DejaVu face at pixelSize, with an outline stroked at strokePx.
// Returns false when the font cannot be opened.
bool RenderText(const char* fontFile, const std::string& text, int pixelSize, float strokePx, TextMask& mask);

// Scales the mask's ink box uniformly to fit the design box and centres it there.
void PlaceText(TextMask& mask, float x0, float y0, float x1, float y1);

// Bilinear coverage at a design point; outline selects the grown shape.
float TextCoverage(const TextMask& mask, float x, float y, bool outline);

// The title's lettering, as the title logo and the icon draw it. The soft shadow: the outline
// sampled round a disc of the given radius, offset by (dx, dy).
void PaintLetterShadow(Image& image, const Frame& frame, const TextMask& mask, float dx, float dy, float radius);
// The dark outline, then the fill in the title's gradient from top down over height, with a pale
// glint along the upper third of the letters.
void PaintLetterFace(Image& image, const Frame& frame, const TextMask& mask, float top, float height);

// Glyph sheet geometry, in texels of the sheet.
constexpr int sheetSize = 512;  // 16 cells of 32 texels
constexpr int sheetCell = sheetSize / 16;
constexpr int glyphInkLeft = 1;                // first column a glyph may ink
constexpr int glyphInkEnd = 17;                // first column it may not: 8.5 of the 9-unit advance
constexpr int glyphInkTop = 1;                 // the quad's upper edge samples 0.001 inside the cell
constexpr int glyphInkBottom = sheetCell - 1;  // a clear last row keeps the cell below out of reach

// Builds the sheet: set 0 (rows 0..7 from the top) solid white DejaVu Sans Mono Bold, set 1
// (rows 8..15) the same letters white with a black outline. Codes 32..126 are drawn; 127..159
// stay empty. Returns false when a glyph cannot be fitted into its cell.
bool MakeFontSheet(Image& sheet);
