// The contact sheet: the opening frames as the viewer sees them, the font at its on-screen size,
// and every texture as stored, on a checkerboard so that alpha shows. Written with stb.
#include "tools/images/contact_sheet.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include <stb_image_write.h>

#include "tools/images/pictures.h"
#include "tools/images/text.h"

namespace {

constexpr int sheetWidth = 1360;
constexpr int tileSize = 150;
constexpr int tileGap = 16;
constexpr int labelHeight = 20;
constexpr float viewHalfWidth = 0.552f;  // the view at distance 1 (45-degree field, 4:3)
constexpr float viewHalfHeight = 0.414f;
constexpr float overlayPixelsPerUnit = 1.6f;  // 640 x 480 overlay in a 1024 x 768 window

const Image* Find(const std::vector<NamedImage>& images, const char* file) {
    for (const NamedImage& n : images)
        if (n.file == file) return &n.image;
    return nullptr;
}

// Bilinear texture lookup at (s, t) with t = 0 at the bottom, clamped at the borders.
Rgba Sample(const Image& image, float s, float t) {
    float px = s * image.width - 0.5f, py = (1.0f - t) * image.height - 0.5f;
    int ix = int(std::floor(px)), iy = int(std::floor(py));
    float fx = px - ix, fy = py - iy;
    auto get = [&](int u, int v) {
        Rgba c = At(image, std::clamp(u, 0, image.width - 1), std::clamp(v, 0, image.height - 1));
        return Rgba{c.r * c.a, c.g * c.a, c.b * c.a, c.a};
    };
    Rgba a = get(ix, iy), b = get(ix + 1, iy), c = get(ix, iy + 1), d = get(ix + 1, iy + 1);
    auto lerp = [](Rgba p, Rgba q, float f) {
        return Rgba{p.r + (q.r - p.r) * f, p.g + (q.g - p.g) * f, p.b + (q.b - p.b) * f, p.a + (q.a - p.a) * f};
    };
    Rgba m = lerp(lerp(a, b, fx), lerp(c, d, fx), fy);
    if (m.a <= 0.0f) return clearColour;
    return {m.r / m.a, m.g / m.a, m.b / m.a, m.a};
}

void Blit(Image& sheet, const Image& picture, int x0, int y0) {
    for (int y = 0; y < picture.height; ++y)
        for (int x = 0; x < picture.width; ++x)
            if (x0 + x < sheet.width && y0 + y < sheet.height)
                At(sheet, x0 + x, y0 + y) = Over(At(picture, x, y), At(sheet, x0 + x, y0 + y));
}

void Label(Image& sheet, int x, int y, const std::string& text, Rgba colour) {
    TextMask mask;
    if (!RenderText("DejaVuSans.ttf", text, 14, 0.0f, mask)) return;
    int w = int(mask.inkX1 - mask.inkX0) + 2, h = int(mask.inkY1 - mask.inkY0) + 2;
    // Design units are sheet pixels here, y up from the sheet's bottom edge.
    float H = float(sheet.height), W = float(sheet.width);
    Frame box = {x / W, (x + w) / W, 1.0f - (y + h) / H, 1.0f - y / H, float(x), float(x + w), H - (y + h), H - y};
    PlaceText(mask, box.x0, box.y0, box.x1, box.y1);
    PaintOver(
        sheet, box, [&](float px, float py) { return WithAlpha(colour, TextCoverage(mask, px, py, false)); }, 2);
}

// One frame of an opening scene: quads (texture, frame) over a background, as the camera sees them.
Image ViewPreview(int width, Rgba background, const std::vector<std::pair<const Image*, Frame>>& quads) {
    int height = int(width * viewHalfHeight / viewHalfWidth);
    Image view = MakeImage(width, height, background);
    for (int py = 0; py < height; ++py) {
        for (int px = 0; px < width; ++px) {
            float x = ((px + 0.5f) / width * 2.0f - 1.0f) * viewHalfWidth;
            float y = (1.0f - (py + 0.5f) / height * 2.0f) * viewHalfHeight;
            for (const auto& [image, f] : quads) {
                if (!image || x < f.x0 || x > f.x1 || y < f.y0 || y > f.y1) continue;
                float s = f.s0 + (x - f.x0) / (f.x1 - f.x0) * (f.s1 - f.s0);
                float t = f.t0 + (y - f.y0) / (f.y1 - f.y0) * (f.t1 - f.t0);
                At(view, px, py) = Over(Sample(*image, s, t), At(view, px, py));
            }
        }
    }
    return view;
}

// Text as the glyph lists draw it: trapezoid quads 14 high, 14 wide below and 16 above, 9 apart.
Image TextPreview(const Image& font, const std::vector<std::string>& lines, int set, Rgba ink, Rgba paper) {
    const float lineStep = 14.0f;
    int width = int(std::ceil(40 * 9 * overlayPixelsPerUnit)) + 16;
    int height = int(std::ceil((lines.size() * lineStep + 4.0f) * overlayPixelsPerUnit));
    Image out = MakeImage(width, height, paper);
    for (int py = 0; py < height; ++py) {
        for (int px = 0; px < width; ++px) {
            float ux = (px + 0.5f) / overlayPixelsPerUnit - 4.0f, uy = (py + 0.5f) / overlayPixelsPerUnit - 2.0f;
            int line = int(std::floor(uy / lineStep));
            if (line < 0 || line >= int(lines.size())) continue;
            float ly = uy - line * lineStep;
            const std::string& text = lines[line];
            for (size_t k = 0; k < text.size(); ++k) {
                float lx = ux - 9.0f * k;
                float w = 16.0f - 2.0f * ly / 14.0f;
                if (lx < 0.0f || lx >= w) continue;
                int g = (unsigned char)text[k] - 32 + 128 * set;
                float cx = (g % 16) * 0.0625f, top = 1.0f - (g / 16) * 0.0625f;
                float s = cx + lx / w * 0.0625f;
                float t = (top - 0.001f) - ly / 14.0f * (0.0625f - 0.001f);
                Rgba c = Sample(font, s, t);
                c = {c.r * ink.r, c.g * ink.g, c.b * ink.b, c.a};
                At(out, px, py) = Over(c, At(out, px, py));
            }
        }
    }
    return out;
}

Image Checkerboard(int width, int height) {
    Image out = MakeImage(width, height, Hex(0x9a9a9a));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            if (((x / 8) + (y / 8)) % 2) At(out, x, y) = Hex(0x6a6a6a);
    return out;
}

}  // namespace

bool WriteContactSheet(const std::string& path, const std::vector<NamedImage>& images) {
    const Image* groupLogo = Find(images, "vok.tga");
    const Image* title = Find(images, "demologo.tga");
    const Image* subtitle = Find(images, "demologo_sub.tga");
    const Image* ring = Find(images, "ring.tga");
    const Image* font = Find(images, "font.tga");
    const auto& frames = LogoPlacements();
    if (!groupLogo || !title || !subtitle || !ring || !font || frames.size() != 3) return false;

    // Row 1: the two opening frames. The title frame gets a few rings as the show has them.
    const int previewWidth = 640;
    Image opening = ViewPreview(previewWidth, Hex(0x000000), {{groupLogo, frames[0].frame}});
    std::vector<std::pair<const Image*, Frame>> titleQuads;
    const float rings[][3] = {{-0.42f, -0.2f, 0.04f},
                              {0.3f, 0.25f, 0.05f},
                              {0.1f, -0.3f, 0.025f},
                              {-0.2f, 0.3f, 0.03f},
                              {0.45f, -0.1f, 0.045f}};
    for (const auto& r : rings)
        titleQuads.push_back({ring, {0.0f, 1.0f, 0.0f, 1.0f, r[0] - r[2], r[0] + r[2], r[1] - r[2], r[1] + r[2]}});
    titleQuads.push_back({title, frames[1].frame});
    titleQuads.push_back({subtitle, frames[2].frame});
    Image titleView = ViewPreview(previewWidth, Hex(0xffffff), titleQuads);

    // Row 2: the font at the size it has in a 1024 x 768 window.
    const std::vector<std::string> sample = {
        "// #BRESENHAM ALGORITHM#", "MOV AX, Y1   SUB AX, Y0   JNS ABS_Y_DONE", "ABCDEFGHIJKLMNOPQRSTUVWXYZ 0123456789",
        "abcdefghijklmnopqrstuvwxyz !\"#$%&'()*+,-./", ":;<=>?@[\\]^_`{|}~  greetings fly to all"};
    Image darkText = TextPreview(*font, sample, 0, Hex(0xffffff), Hex(0x101018));
    Image lightText = TextPreview(*font, sample, 0, Hex(0x1e2a6a), Hex(0xffffff));
    Image outlinedText = TextPreview(*font, {sample[0], sample[2], sample[3]}, 1, Hex(0xffd040), Hex(0x6a8ac8));

    int tilesPerRow = (sheetWidth - tileGap) / (tileSize + tileGap);
    int tileRows = int((images.size() + tilesPerRow - 1) / tilesPerRow);
    int y = tileGap;
    int height = y + titleView.height + labelHeight + tileGap + darkText.height * 2 + outlinedText.height +
                 labelHeight + 3 * tileGap + tileRows * (tileSize + 2 * labelHeight + tileGap) + tileGap;
    Image sheet = MakeImage(sheetWidth, height, Hex(0x2b2b30));
    Rgba labelColour = Hex(0xe8e8e8);

    Label(sheet, tileGap, y, "vok.tga as shown, 0-2 s (unlit)", labelColour);
    Label(sheet, 2 * tileGap + previewWidth, y, "demologo + demologo_sub over rings, 2-6 s", labelColour);
    y += labelHeight;
    Blit(sheet, opening, tileGap, y);
    Blit(sheet, titleView, 2 * tileGap + previewWidth, y);
    y += titleView.height + tileGap;

    Label(sheet, tileGap, y, "font.tga set 0 and set 1 at 1024 x 768 (glyph quads 9 apart)", labelColour);
    y += labelHeight;
    Blit(sheet, darkText, tileGap, y);
    Blit(sheet, lightText, tileGap, y + darkText.height);
    Blit(sheet, outlinedText, tileGap, y + 2 * darkText.height);
    // The sheet itself beside the samples.
    int fontTile = std::min(sheetWidth - 3 * tileGap - darkText.width, 2 * darkText.height + outlinedText.height);
    Image fontBack = Checkerboard(fontTile, fontTile);
    Blit(fontBack, Resize(*font, fontTile, fontTile), 0, 0);
    Blit(sheet, fontBack, 2 * tileGap + darkText.width, y);
    y += std::max(2 * darkText.height + outlinedText.height, fontTile) + 2 * tileGap;

    // Every texture as stored, top row at the top.
    for (size_t i = 0; i < images.size(); ++i) {
        int col = int(i) % tilesPerRow, row = int(i) / tilesPerRow;
        int x = tileGap + col * (tileSize + tileGap);
        int top = y + row * (tileSize + 2 * labelHeight + tileGap);
        const Image& img = images[i].image;
        int w = tileSize, h = tileSize;
        if (img.width > img.height)
            h = std::max(1, tileSize * img.height / img.width);
        else
            w = std::max(1, tileSize * img.width / img.height);
        Image tile = Checkerboard(w, h);
        Blit(tile, Resize(img, w, h), 0, 0);
        Blit(sheet, tile, x, top);
        char size[32];
        std::snprintf(size, sizeof size, "%d x %d", img.width, img.height);
        Label(sheet, x, top + tileSize + 3, images[i].file, labelColour);
        Label(sheet, x, top + tileSize + 3 + labelHeight, size, Hex(0xa0a0a8));
    }

    std::vector<unsigned char> rgb(size_t(sheet.width) * sheet.height * 3);
    for (size_t i = 0; i < sheet.pixels.size(); ++i) {
        rgb[3 * i + 0] = (unsigned char)std::lround(std::clamp(sheet.pixels[i].r, 0.0f, 1.0f) * 255.0f);
        rgb[3 * i + 1] = (unsigned char)std::lround(std::clamp(sheet.pixels[i].g, 0.0f, 1.0f) * 255.0f);
        rgb[3 * i + 2] = (unsigned char)std::lround(std::clamp(sheet.pixels[i].b, 0.0f, 1.0f) * 255.0f);
    }
    return stbi_write_png(path.c_str(), sheet.width, sheet.height, 3, rgb.data(), sheet.width * 3) != 0;
}
