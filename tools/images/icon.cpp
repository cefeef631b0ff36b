// brimvale_make_icons: the desktop icon in the usual theme sizes, drawn in the title logo's
// manner (the title's face, gradient, outline, glint and swoosh) on a pale tile, since the whole
// word does not read at icon sizes. Each size is painted at its own resolution, not scaled down.
//
//   brimvale_make_icons <icon theme dir>    writes <dir>/hicolor/NxN/apps/brimvale.png
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>

#include <stb_image_write.h>

#include "tools/images/raster.h"
#include "tools/images/text.h"

namespace {

constexpr int iconSizes[] = {32, 48, 64, 128, 256};
constexpr Frame iconFrame = {0.0f, 1.0f, 0.0f, 1.0f, -0.5f, 0.5f, -0.5f, 0.5f};
constexpr float tileHalf = 0.46f;  // a little margin, as theme icons keep
constexpr float tileRadius = 0.12f;

bool InRoundedSquare(float x, float y, float half, float radius) {
    float dx = std::max(std::fabs(x) - (half - radius), 0.0f);
    float dy = std::max(std::fabs(y) - (half - radius), 0.0f);
    return std::fabs(x) <= half && std::fabs(y) <= half && dx * dx + dy * dy <= radius * radius;
}

bool MakeIcon(int size, const TextMask& letter, Image& out) {
    out = MakeImage(size, size, clearColour);
    // Dark rim, then the pale face inside it, lit from the top.
    PaintOver(out, iconFrame, [](float x, float y) {
        return InRoundedSquare(x, y, tileHalf, tileRadius) ? Hex(0x0b1440) : clearColour;
    });
    PaintOver(out, iconFrame, [](float x, float y) {
        if (!InRoundedSquare(x, y, tileHalf - 0.025f, tileRadius - 0.025f)) return clearColour;
        return Mix(Hex(0xc9e6f2), Hex(0xffffff), (y + 0.5f));
    });
    // The title's swoosh under the letter, tapering at both ends.
    PaintOver(out, iconFrame, [](float x, float y) {
        float half = 0.33f;
        if (std::fabs(x) > half) return clearColour;
        float taper = 1.0f - std::pow(std::fabs(x) / half, 2.0f);
        if (std::fabs(y + 0.3f) > 0.035f * taper) return clearColour;
        return Mix(Hex(0x1fa8c0), Hex(0x2a3fa0), (x + half) / (2.0f * half));
    });
    // Soft shadow, outline and the gradient fill with its glint, as on the title.
    PaintLetterShadow(out, iconFrame, letter, -0.02f, 0.025f, 0.015f);
    PaintLetterFace(out, iconFrame, letter, -0.24f, 0.6f);
    return true;
}

bool WritePng(const std::filesystem::path& path, const Image& image) {
    std::vector<unsigned char> rgba(image.pixels.size() * 4);
    for (size_t i = 0; i < image.pixels.size(); ++i) {
        const Rgba& p = image.pixels[i];
        const float c[4] = {p.r, p.g, p.b, p.a};
        for (int k = 0; k < 4; ++k) rgba[4 * i + k] = (unsigned char)std::lround(std::clamp(c[k], 0.0f, 1.0f) * 255.0f);
    }
    return stbi_write_png(path.c_str(), image.width, image.height, 4, rgba.data(), image.width * 4) != 0;
}

}  // namespace

int main(int argc, char** argv) {
    namespace fs = std::filesystem;
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <icon theme dir>\n", argv[0]);
        return 2;
    }
    TextMask letter;
    if (!RenderText("DejaVuSans-Bold.ttf", "B", 200, 9.0f, letter)) {
        std::fprintf(stderr, "the title's face cannot be opened\n");
        return 1;
    }
    PlaceText(letter, -0.26f, -0.24f, 0.26f, 0.36f);
    for (int size : iconSizes) {
        Image icon;
        MakeIcon(size, letter, icon);
        fs::path dir = fs::path(argv[1]) / "hicolor" / (std::to_string(size) + "x" + std::to_string(size)) / "apps";
        std::error_code error;
        fs::create_directories(dir, error);
        if (!WritePng(dir / "brimvale.png", icon)) {
            std::fprintf(stderr, "%s: cannot write\n", (dir / "brimvale.png").c_str());
            return 1;
        }
    }
    std::printf("%zu icons in %s\n", std::size(iconSizes), argv[1]);
    return 0;
}
