// Float RGBA canvases, anti-aliased painting in design units, pixel-art grids and the
// alpha-edge fix-up that every blended picture gets before it is written.
#pragma once
#include <functional>
#include <string>
#include <vector>

struct Rgba {
    float r, g, b, a;  // straight (not premultiplied) alpha, all 0..1
};

// Row 0 is the top row of the picture (t = 1); the TGA writer turns it bottom-up.
struct Image {
    int width = 0;
    int height = 0;
    std::vector<Rgba> pixels;
};

// Maps a rectangle of design units (y up, square units as seen on screen) onto the part of an
// image that a scene's quad shows (texture s, t with t = 0 at the bottom edge). Painting through
// a frame pre-compensates the quad's aspect, so pictures look undistorted where they are shown.
struct Frame {
    float s0, s1, t0, t1;
    float x0, x1, y0, y1;
};

using Paint = std::function<Rgba(float x, float y)>;

constexpr Rgba clearColour = {0.0f, 0.0f, 0.0f, 0.0f};

Rgba Hex(unsigned rgb, float alpha = 1.0f);
Rgba Mix(Rgba a, Rgba b, float t);
Rgba WithAlpha(Rgba c, float alpha);

Image MakeImage(int width, int height, Rgba fill);
Rgba& At(Image& image, int x, int y);
Rgba At(const Image& image, int x, int y);

// Blends `top` over `bottom` (the usual "over" operator for straight alpha).
Rgba Over(Rgba top, Rgba bottom);

// Composites a paint over every texel whose centre lies in the frame's texture region, averaging
// samples x samples points per texel.
void PaintOver(Image& image, const Frame& frame, const Paint& paint, int samples = 4);

// Coverage helpers for paints, in design units.
bool InCircle(float x, float y, float cx, float cy, float radius);
bool InRect(float x, float y, float x0, float y0, float x1, float y1);
bool InPolygon(float x, float y, const std::vector<float>& xy);  // even-odd rule, x,y pairs

// Pixel art: rows of characters (top row first), each character a palette key; '.' is empty.
struct PixelArt {
    std::vector<std::string> rows;
    std::vector<std::pair<char, Rgba>> palette;
};

// Scales pixel art up by whole texels per art pixel into a square image of `size` texels.
// Returns false (with a message on stderr) for ragged rows or characters missing from the palette.
bool RenderPixelArt(const PixelArt& art, int size, Image& out);

// Gives fully transparent texels the colour of their nearest visible neighbours, so that linear
// filtering at a picture's edge does not pull in black.
void BleedEdges(Image& image);

// Area-averaged resize (used for previews and the contact sheet).
Image Resize(const Image& image, int width, int height);
