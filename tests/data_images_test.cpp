// The shipped pictures in data/, read with the demo's own TGA parser (no GL): sizes, depths,
// alpha where the scenes blend, the parts of the logos their quads show, the font sheet's cells
// and which way up the platform pictures stand.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "render/texture.h"

namespace {

struct LoadedTga {
    Texture texture = {};
    ~LoadedTga() { std::free(texture.pixels); }
    uint32_t Bytes() const { return texture.bpp / 8; }
    // Rows in file order: row 0 is texture row t = 0, the bottom of the picture.
    uint8_t Alpha(uint32_t x, uint32_t row) const {
        return texture.bpp == 32 ? texture.pixels[(size_t(row) * texture.width + x) * 4 + 3] : 255;
    }
};

bool Load(const char* file, LoadedTga& tga) {
    std::string path = std::string(BRIMVALE_SOURCE_DIR) + "/data/" + file;
    FILE* stream = std::fopen(path.c_str(), "rb");
    if (!stream) return false;
    bool ok = ReadTga(stream, tga.texture);
    std::fclose(stream);
    return ok;
}

bool IsPowerOfTwo(uint32_t v) { return v && !(v & (v - 1)); }

// Opaque texels in a block of columns [x0, x1) and file rows [row0, row1).
int InkCount(const LoadedTga& tga, uint32_t x0, uint32_t x1, uint32_t row0, uint32_t row1) {
    int n = 0;
    for (uint32_t row = row0; row < row1; ++row)
        for (uint32_t x = x0; x < x1; ++x) n += tga.Alpha(x, row) > 0;
    return n;
}

struct Expected {
    const char* file;
    uint32_t bpp;
};

const Expected shipped[] = {
    {"vok.tga", 24},      {"demologo.tga", 32},   {"demologo_sub.tga", 32}, {"ring.tga", 32},
    {"font.tga", 32},     {"pacman.tga", 32},     {"blinky.tga", 32},       {"pinky.tga", 32},
    {"inkey.tga", 32},    {"clyde.tga", 32},      {"zub.tga", 32},          {"mar_castle.tga", 32},
    {"mar_tube.tga", 32}, {"mar_shroom.tga", 32}, {"mar_star.tga", 32},     {"mar_mario.tga", 32},
};

}  // namespace

TEST(DataImages, EveryPictureLoadsAtAPowerOfTwoWithTheDepthItsSceneNeeds) {
    for (const Expected& e : shipped) {
        SCOPED_TRACE(e.file);
        LoadedTga tga;
        ASSERT_TRUE(Load(e.file, tga));
        EXPECT_TRUE(IsPowerOfTwo(tga.texture.width));
        EXPECT_TRUE(IsPowerOfTwo(tga.texture.height));
        EXPECT_LE(tga.texture.width, 1024u);
        EXPECT_EQ(tga.texture.bpp, e.bpp);
        if (e.bpp != 32) continue;
        // Blended pictures need a real shape in alpha: clear texels and solid ones.
        bool anyClear = false, anySolid = false;
        for (uint32_t row = 0; row < tga.texture.height; ++row)
            for (uint32_t x = 0; x < tga.texture.width; ++x) {
                anyClear |= tga.Alpha(x, row) == 0;
                anySolid |= tga.Alpha(x, row) == 255;
            }
        EXPECT_TRUE(anyClear);
        EXPECT_TRUE(anySolid);
    }
}

TEST(DataImages, SpritesLeaveTheirOuterTexelsClearSoRepeatingEdgesDrawNoLines) {
    // Textures repeat: linear filtering at one edge of a sprite's square reaches the opposite
    // edge, so any ink on the outer ring of texels shows as a faint line or a visible square.
    for (const char* file :
         {"pacman.tga", "blinky.tga", "pinky.tga", "inkey.tga", "clyde.tga", "zub.tga", "mar_castle.tga",
          "mar_tube.tga", "mar_shroom.tga", "mar_star.tga", "mar_mario.tga", "ring.tga"}) {
        SCOPED_TRACE(file);
        LoadedTga tga;
        ASSERT_TRUE(Load(file, tga));
        uint32_t w = tga.texture.width, h = tga.texture.height;
        EXPECT_EQ(InkCount(tga, 0, w, 0, 1), 0);
        EXPECT_EQ(InkCount(tga, 0, w, h - 1, h), 0);
        EXPECT_EQ(InkCount(tga, 0, 1, 0, h), 0);
        EXPECT_EQ(InkCount(tga, w - 1, w, 0, h), 0);
    }
}

TEST(DataImages, LogosInkOnlyThePartsTheirQuadsShow) {
    // Title: s 0..0.755, t 0.155..1 of its image.
    LoadedTga title;
    ASSERT_TRUE(Load("demologo.tga", title));
    uint32_t w = title.texture.width, h = title.texture.height;
    uint32_t sEnd = uint32_t(0.755 * w), tStart = uint32_t(0.155 * h) + 1;
    EXPECT_EQ(InkCount(title, sEnd + 1, w, 0, h), 0);
    EXPECT_EQ(InkCount(title, 0, w, 0, tStart - 1), 0);
    EXPECT_GT(InkCount(title, 0, sEnd, tStart, h), int(w * h / 20));
    // Upright: the lettering stands above its underline, so the ink's mean height lies in the
    // upper half of the region.
    double rowSum = 0.0, count = 0.0;
    for (uint32_t row = 0; row < h; ++row) {
        double n = InkCount(title, 0, w, row, row + 1);
        rowSum += n * (row + 0.5);
        count += n;
    }
    EXPECT_GT(rowSum / count / h, (0.155 + 1.0) / 2.0);

    // Subtitle: t 0..0.6.
    LoadedTga subtitle;
    ASSERT_TRUE(Load("demologo_sub.tga", subtitle));
    w = subtitle.texture.width;
    h = subtitle.texture.height;
    uint32_t tEnd = uint32_t(0.6 * h);
    EXPECT_EQ(InkCount(subtitle, 0, w, tEnd + 1, h), 0);
    EXPECT_GT(InkCount(subtitle, 0, w, 0, tEnd), int(w * tEnd / 50));
}

TEST(DataImages, FontCellsHoldTheirGlyphsInTheLeftOfTheCellInBothSets) {
    LoadedTga font;
    ASSERT_TRUE(Load("font.tga", font));
    ASSERT_EQ(font.texture.width, font.texture.height);
    const uint32_t cell = font.texture.width / 16;
    const uint32_t inkLimit = cell * 2 / 3;  // the quad is 14..16 units wide but advances only 9

    // Glyph g sits in column g % 16, row g / 16 counted from the top of the picture.
    auto cellRows = [&](int g, uint32_t& row0) { row0 = font.texture.height - (g / 16 + 1) * cell; };
    for (int set = 0; set < 2; ++set) {
        SCOPED_TRACE(set);
        for (char c : {'A', '0', '#'}) {
            SCOPED_TRACE(c);
            int g = c - 32 + 128 * set;
            uint32_t x0 = (g % 16) * cell, row0 = 0;
            cellRows(g, row0);
            EXPECT_GT(InkCount(font, x0, x0 + inkLimit, row0, row0 + cell), int(cell * cell / 16));
            EXPECT_EQ(InkCount(font, x0 + inkLimit, x0 + cell, row0, row0 + cell), 0);
            EXPECT_EQ(InkCount(font, x0, x0 + 1, row0, row0 + cell), 0);  // left border column
            EXPECT_EQ(InkCount(font, x0, x0 + cell, row0, row0 + 1), 0);  // bottom border row
        }
        int space = 128 * set;
        uint32_t x0 = (space % 16) * cell, row0 = 0;
        cellRows(space, row0);
        EXPECT_EQ(InkCount(font, x0, x0 + cell, row0, row0 + cell), 0);
    }

    // Every printable glyph keeps to the same columns, so neighbours 9 units apart never touch.
    for (int g = 0; g < 256; ++g) {
        uint32_t x0 = (g % 16) * cell, row0 = 0;
        cellRows(g, row0);
        EXPECT_EQ(InkCount(font, x0 + inkLimit, x0 + cell, row0, row0 + cell), 0) << "glyph " << g;
    }

    // "A" stands upright: its ink is narrower near the top of the picture than near the bottom.
    int g = 'A' - 32;
    uint32_t x0 = (g % 16) * cell, row0 = 0;
    cellRows(g, row0);
    auto widthAt = [&](uint32_t row) {
        uint32_t first = cell, last = 0;
        for (uint32_t x = 0; x < cell; ++x)
            if (font.Alpha(x0 + x, row) > 128) {
                first = std::min(first, x);
                last = x;
            }
        return first <= last ? last - first + 1 : 0;
    };
    uint32_t lowest = cell, highest = 0;  // file rows with ink, low = bottom of the glyph
    for (uint32_t r = 0; r < cell; ++r)
        if (InkCount(font, x0, x0 + cell, row0 + r, row0 + r + 1)) {
            lowest = std::min(lowest, r);
            highest = r;
        }
    ASSERT_LT(lowest + 4, highest);
    EXPECT_LT(widthAt(row0 + highest - 1), widthAt(row0 + lowest + 1));
}

TEST(DataImages, PlatformPicturesStandUprightAsTheRectangleMapsThem) {
    // The tunnel scene's rectangle puts t = 0 (the first file row) at its lower edge.
    LoadedTga castle;
    ASSERT_TRUE(Load("mar_castle.tga", castle));
    uint32_t w = castle.texture.width, h = castle.texture.height;
    EXPECT_GT(InkCount(castle, 0, w, 0, h / 8), int(w * h / 8 * 9 / 10));  // walls down to the ground
    EXPECT_LT(InkCount(castle, 0, w, h - h / 8, h), int(w * h / 8 / 4));   // sky above the flag

    LoadedTga tube;
    ASSERT_TRUE(Load("mar_tube.tga", tube));
    w = tube.texture.width;
    h = tube.texture.height;
    // The pipe's lip, wider than its body, is at the top.
    EXPECT_GT(InkCount(tube, 0, w, h - 2, h - 1), InkCount(tube, 0, w, 1, 2));
    EXPECT_EQ(InkCount(tube, 1, 2, 1, 2), 0);
    EXPECT_GT(InkCount(tube, 1, 2, h - 2, h - 1), 0);
}
