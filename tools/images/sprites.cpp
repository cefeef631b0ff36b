// Pixel-art sprites for the tunnel chase and the platform interlude, all upright as drawn by the
// scene's rectangle (s along x, t along y), on clear backgrounds.
#include <cmath>
#include <string>

#include "tools/images/pictures.h"

namespace {

constexpr int spriteSize = 64;   // 16 x 16 art, 4 texels per art pixel
constexpr int castleSize = 128;  // 32 x 32 art
constexpr int tubeSize = 128;

using Rows = std::vector<std::string>;

void Set(Rows& rows, int x, int y, char key) {
    if (y >= 0 && y < int(rows.size()) && x >= 0 && x < int(rows[y].size())) rows[y][x] = key;
}

// Turns the fill pixels that touch empty space (or the border) into an outline colour.
void Outline(Rows& rows, char fill, char edge) {
    Rows source = rows;
    int n = int(rows.size());
    for (int y = 0; y < n; ++y) {
        for (int x = 0; x < n; ++x) {
            if (source[y][x] != fill) continue;
            auto empty = [&](int u, int v) { return u < 0 || v < 0 || u >= n || v >= n || source[v][u] == '.'; };
            if (empty(x - 1, y) || empty(x + 1, y) || empty(x, y - 1) || empty(x, y + 1)) rows[y][x] = edge;
        }
    }
}

// Textures repeat, so linear filtering at one edge of the rectangle reaches the texels of the
// opposite edge: an opaque bottom row would show as a faint line along the top. A clear outer
// ring of texels (a quarter of an art pixel) keeps every edge clean.
void ClearBorder(Image& image) {
    for (int x = 0; x < image.width; ++x) {
        At(image, x, 0).a = 0.0f;
        At(image, x, image.height - 1).a = 0.0f;
    }
    for (int y = 0; y < image.height; ++y) {
        At(image, 0, y).a = 0.0f;
        At(image, image.width - 1, y).a = 0.0f;
    }
}

bool Finish(const PixelArt& art, int size, Image& out) {
    if (!RenderPixelArt(art, size, out)) return false;
    ClearBorder(out);
    BleedEdges(out);
    return true;
}

// Ghosts share one body; eyes look (dx, dy) and each wears its own face.
enum class Face { Frown, Blush, Wavy, Gasp };

bool MakeGhost(Rgba body, Rgba shade, int lookX, int lookY, Face face, Image& out) {
    Rows rows = {
        "......BBBB......", "....BBBBBBBB....", "...BBBBBBBBBB...", "..BBBBBBBBBBBB..",
        ".BBBBBBBBBBBBBB.", ".BBBBBBBBBBBBBB.", ".BBBBBBBBBBBBBB.", "BBBBBBBBBBBBBBBB",
        "BBBBBBBBBBBBBBBB", "BBBBBBBBBBBBBBBB", "BBBBBBBBBBBBBBBB", "BBBBBBBBBBBBBBBB",
        "BBBBBBBBBBBBBBBB", "BBBBBBBBBBBBBBBB", "BBBB.BBBBBB.BBBB", ".BB...BBBB...BB.",
    };
    // Shade the right flank and the lobes' undersides.
    for (int y = 0; y < 16; ++y)
        for (int x = 15; x >= 0; --x)
            if (rows[y][x] == 'B') {
                rows[y][x] = 'D';
                break;
            }
    Set(rows, 5, 1, 'L');
    Set(rows, 4, 2, 'L');
    Set(rows, 3, 3, 'L');
    for (int eye = 0; eye < 2; ++eye) {
        int ex = eye ? 9 : 3;  // eye's left column
        for (int y = 4; y <= 7; ++y)
            for (int x = 0; x < 4; ++x)
                if (!((y == 4 || y == 7) && (x == 0 || x == 3))) Set(rows, ex + x, y, 'W');
        Set(rows, ex + 1 + lookX, 5 + lookY, 'P');
        Set(rows, ex + 2 + lookX, 5 + lookY, 'P');
        Set(rows, ex + 1 + lookX, 6 + lookY, 'P');
        Set(rows, ex + 2 + lookX, 6 + lookY, 'P');
    }
    switch (face) {
    case Face::Frown:
        for (int x : {3, 4, 11, 12}) Set(rows, x, 3, 'K');
        Set(rows, 5, 4, 'K');
        Set(rows, 10, 4, 'K');
        break;
    case Face::Blush:
        for (int x : {2, 3, 12, 13}) Set(rows, x, 9, 'C');
        Set(rows, 7, 10, 'K');
        Set(rows, 8, 10, 'K');
        break;
    case Face::Wavy:
        for (int x = 4; x <= 11; ++x) Set(rows, x, (x % 2) ? 10 : 11, 'K');
        break;
    case Face::Gasp:
        for (int y = 9; y <= 11; ++y)
            for (int x = 7; x <= 8; ++x) Set(rows, x, y, 'K');
        break;
    }
    PixelArt art = {rows,
                    {{'B', body},
                     {'D', shade},
                     {'L', Mix(body, Hex(0xffffff), 0.45f)},
                     {'W', Hex(0xf4f6ff)},
                     {'P', Hex(0x1c2fb8)},
                     {'K', Hex(0x1a0f24)},
                     {'C', Mix(body, Hex(0xff5fa8), 0.6f)}}};
    return Finish(art, spriteSize, out);
}

}  // namespace

bool MakeChomper(Image& out) {
    Rows rows(16, std::string(16, '.'));
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16; ++x) {
            float dx = x + 0.5f - 8.0f, dy = y + 0.5f - 8.0f;
            if (dx * dx + dy * dy > 7.7f * 7.7f) continue;
            // The mouth opens to the right, 40 degrees either side.
            if (dx > 0.0f && std::fabs(dy) < dx * 0.84f) continue;
            rows[y][x] = 'Y';
        }
    }
    Outline(rows, 'Y', 'O');
    Set(rows, 3, 3, 'L');
    Set(rows, 4, 2, 'L');
    Set(rows, 3, 4, 'L');
    Set(rows, 8, 3, 'K');
    Set(rows, 8, 4, 'K');
    Set(rows, 9, 3, 'K');
    Set(rows, 9, 4, 'K');
    Set(rows, 9, 3, 'W');
    PixelArt art = {
        rows,
        {{'Y', Hex(0xffd21f)}, {'O', Hex(0xe08a00)}, {'L', Hex(0xfff3a8)}, {'K', Hex(0x201000)}, {'W', Hex(0xffffff)}}};
    return Finish(art, spriteSize, out);
}

bool MakeRedGhost(Image& out) { return MakeGhost(Hex(0xe8242e), Hex(0xa3121c), 1, 0, Face::Frown, out); }

bool MakePinkGhost(Image& out) { return MakeGhost(Hex(0xff9ad2), Hex(0xd8609f), -1, 0, Face::Blush, out); }

bool MakeCyanGhost(Image& out) { return MakeGhost(Hex(0x30e6f0), Hex(0x1598b0), 0, -1, Face::Wavy, out); }

bool MakeOrangeGhost(Image& out) { return MakeGhost(Hex(0xffa234), Hex(0xc86a10), 0, 1, Face::Gasp, out); }

bool MakeZub(Image& out) {
    // A walking molar: two cusps, a toothy grin, its roots for legs.
    PixelArt art = {{
                        "................",
                        "..IIII....IIII..",
                        ".IIIIII..IIIIIS.",
                        ".IIIIIIIIIIIIIS.",
                        ".IIKKIIIIIIKKIS.",
                        ".IIKWIIIIIIKWIS.",
                        ".IIIIIIIIIIIIIS.",
                        ".IIIIIIIIIIIIIS.",
                        ".IIKIIIIIIIIKIS.",
                        ".IIIKKKKKKKKIIS.",
                        ".IIIIKRRRRKIIIS.",
                        "..IIIIKKKKIIIS..",
                        "..IIIIIIIIIIIS..",
                        "..IIIS....IIIS..",
                        "..IIS......IIS..",
                        "..GG........GG..",
                    },
                    {{'I', Hex(0xf6f0d6)},
                     {'S', Hex(0xa9b8d6)},
                     {'K', Hex(0x2a1630)},
                     {'W', Hex(0xffffff)},
                     {'R', Hex(0xe8405e)},
                     {'G', Hex(0x58c24a)}}};
    return Finish(art, spriteSize, out);
}

bool MakeCastle(Image& out) {
    const int n = 32;
    Rows rows(n, std::string(n, '.'));
    auto fill = [&](int x0, int y0, int x1, int y1, char key) {
        for (int y = y0; y <= y1; ++y)
            for (int x = x0; x <= x1; ++x) Set(rows, x, y, key);
    };
    // Towers with battlements, the keep between them.
    fill(0, 8, 7, 31, 'G');
    fill(24, 8, 31, 31, 'G');
    for (int x : {0, 3, 6}) fill(x, 6, x + 1, 7, 'G');
    for (int x : {24, 27, 30}) fill(x, 6, x + 1, 7, 'G');
    fill(6, 12, 25, 31, 'G');
    for (int x = 8; x <= 23; x += 4) fill(x, 10, x + 1, 11, 'G');
    // Courses of stone: mortar lines on every third row, joints staggered.
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x)
            if (rows[y][x] == 'G' && (y % 3 == 2 || (x + 3 * ((y / 3) % 2)) % 6 == 5)) rows[y][x] = 'g';
    // Lit windows, the arched gate, the flag on the keep.
    fill(3, 12, 4, 15, 'W');
    fill(27, 12, 28, 15, 'W');
    fill(3, 20, 4, 22, 'W');
    fill(27, 20, 28, 22, 'W');
    fill(10, 15, 11, 17, 'W');
    fill(20, 15, 21, 17, 'W');
    fill(14, 22, 17, 22, 'K');
    fill(13, 23, 18, 23, 'K');
    fill(12, 24, 19, 31, 'K');
    fill(15, 1, 15, 9, 'P');
    fill(16, 1, 21, 2, 'F');
    fill(16, 3, 19, 4, 'F');
    fill(16, 5, 17, 5, 'F');
    PixelArt art = {rows,
                    {{'G', Hex(0xb49a7a)},
                     {'g', Hex(0x6e5640)},
                     {'W', Hex(0xffd860)},
                     {'K', Hex(0x1a0e08)},
                     {'P', Hex(0xdedede)},
                     {'F', Hex(0x3cc850)}}};
    return Finish(art, castleSize, out);
}

bool MakeTube(Image& out) {
    // Painted in the 0.4 x 0.5 units of its rectangle, so the square texture is pre-stretched.
    const Frame tubeFrame = {0.0f, 1.0f, 0.0f, 1.0f, -0.2f, 0.2f, -0.25f, 0.25f};
    const float lipBottom = 0.12f, bodyHalf = 0.165f, rim = 0.014f;
    auto band = [](float u) {
        // Stepped shading across the pipe: dark edge, body, highlight, body, shadow.
        if (u < 0.12f) return Hex(0x1f7a2a);
        if (u < 0.22f) return Hex(0x8ef07a);
        if (u < 0.32f) return Hex(0xd4ffc4);
        if (u < 0.7f) return Hex(0x34b044);
        if (u < 0.86f) return Hex(0x1f7a2a);
        return Hex(0x0f4a18);
    };
    out = MakeImage(tubeSize, tubeSize, clearColour);
    PaintOver(out, tubeFrame, [&](float x, float y) {
        bool lip = y >= lipBottom;
        float half = lip ? 0.2f : bodyHalf;
        if (std::fabs(x) > half) return clearColour;
        bool edge = std::fabs(x) > half - rim || (lip && (y < lipBottom + rim || y > 0.25f - rim));
        if (edge) return Hex(0x0a2a0e);
        return band((x + half) / (2.0f * half));
    });
    ClearBorder(out);
    BleedEdges(out);
    return true;
}

bool MakeShroom(Image& out) {
    PixelArt art = {
        {
            "......RRRR......",
            "....RRWWWWRR....",
            "...RRWWWWWWRR...",
            "..RRRRWWWWRRRR..",
            ".RWWRRRRRRRRWWR.",
            ".WWWWRRRRRRWWWW.",
            "RWWWWRRRRRRWWWWR",
            "RRWWRRRRRRRRWWRR",
            "RRRRRRRRRRRRRRRR",
            ".DDDDDDDDDDDDDD.",
            "...CCCCCCCCCC...",
            "..CCCKCCCCKCCC..",
            "..CCCKCCCCKCCC..",
            "..CCCCCCCCCCCC..",
            "...CCCCCCCCCC...",
            "....CCCCCCCC....",
        },
        {{'R', Hex(0xe0303c)}, {'D', Hex(0x8a1420)}, {'W', Hex(0xfff6ec)}, {'C', Hex(0xf6deb0)}, {'K', Hex(0x201018)}}};
    return Finish(art, spriteSize, out);
}

bool MakeStar(Image& out) {
    Rows rows = {
        ".......YY.......", "......YYYY......", "......YYYY......", ".....YYYYYY.....",
        "YYYYYYYYYYYYYYYY", ".YYYYYYYYYYYYYY.", "..YYYYKYYKYYYY..", "...YYYKYYKYYY...",
        "....YYYYYYYY....", "....YYYYYYYY....", "...YYYYYYYYYY...", "...YYYYYYYYYY...",
        "..YYYYY..YYYYY..", "..YYYY....YYYY..", ".YYY........YYY.", ".Y............Y.",
    };
    Outline(rows, 'Y', 'O');
    PixelArt art = {rows, {{'Y', Hex(0xffe23a)}, {'O', Hex(0xf08a10)}, {'K', Hex(0x2a1400)}}};
    return Finish(art, spriteSize, out);
}

bool MakePlumber(Image& out) {
    // Seen from the front in mid-hop, arms up.
    PixelArt art = {{
                        ".W............W.",
                        "WWW...RRRR...WWW",
                        ".R..RRRRRRRR..R.",
                        ".R.RRRRYYRRRR.R.",
                        ".R.rrrrrrrrrr.R.",
                        ".R..HSSSSSSH..R.",
                        ".R..SESSSSES..R.",
                        ".RR.SSSNNSSS.RR.",
                        "..RRSHHHHHHSRR..",
                        "...RRSSSSSSRR...",
                        "....RBRRRRBR....",
                        "....BBYBBYBB....",
                        "....BBBBBBBB....",
                        "....BBB..BBB....",
                        "...KKKK..KKKK...",
                        "...KKK....KKK...",
                    },
                    {{'W', Hex(0xffffff)},
                     {'R', Hex(0xe0282c)},
                     {'r', Hex(0x9a1418)},
                     {'Y', Hex(0xffe040)},
                     {'H', Hex(0x5a2e10)},
                     {'S', Hex(0xffc48a)},
                     {'E', Hex(0x1a1030)},
                     {'N', Hex(0xf09a6a)},
                     {'B', Hex(0x2850d8)},
                     {'K', Hex(0x6a3410)}}};
    return Finish(art, spriteSize, out);
}
