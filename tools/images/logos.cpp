// The group logo, the title and its subtitle, and the ring sprite. Each is painted in the design
// units of the quad that shows it, through a frame onto the part of the texture the quad maps.
#include <cmath>
#include <cstdint>

#include "tools/images/pictures.h"
#include "tools/images/text.h"

namespace {

// The quads of the opening scenes and the texture parts they map (t = 0 at the bottom).
constexpr Frame groupLogoFrame = {0.0f, 1.0f, 0.0f, 0.75f, -0.6f, 0.6f, -0.42f, 0.42f};
constexpr Frame titleFrame = {0.0f, 0.755f, 0.155f, 1.0f, -0.37695f, 0.37695f, -0.1338f, 0.15f};
constexpr Frame subtitleFrame = {0.0f, 1.0f, 0.0f, 0.6f, -0.5f, 0.5f, -0.39f, -0.33f};
constexpr Frame ringFrame = {0.0f, 1.0f, 0.0f, 1.0f, -1.0f, 1.0f, -1.0f, 1.0f};

constexpr const char* groupName = "Quilon::VOK";
constexpr const char* titleText = "BRIMVALE";
constexpr const char* subtitleText = "a realtime show by Quilon::VOK";
constexpr const char* boldFace = "DejaVuSans-Bold.ttf";
constexpr const char* plainFace = "DejaVuSans.ttf";

constexpr float horizonY = -0.13f;  // group logo: where the sky meets the grid floor

float Smooth(float e0, float e1, float x) {
    float t = std::fmin(1.0f, std::fmax(0.0f, (x - e0) / (e1 - e0)));
    return t * t * (3.0f - 2.0f * t);
}

// Small deterministic hash for star positions: the same picture on every run.
float Hash(uint32_t n) {
    n = (n << 13) ^ n;
    n = n * (n * n * 15731u + 789221u) + 1376312589u;
    return float(n & 0x7fffffff) / float(0x7fffffff);
}

Rgba SkyAndFloor(float x, float y) {
    if (y >= horizonY) {
        float h = (y - horizonY) / (0.42f - horizonY);
        Rgba sky = Mix(Hex(0x4a1a66), Hex(0x0a0722), std::sqrt(h));
        // A sparse star field on a fixed lattice, each star jittered inside its cell.
        const float cell = 0.035f;
        int cx = int(std::floor(x / cell)), cy = int(std::floor(y / cell));
        uint32_t id = uint32_t(cx * 7919 + cy * 104729 + 1000003);
        if (Hash(id) > 0.72f) {
            float sx = (cx + 0.2f + 0.6f * Hash(id + 1)) * cell, sy = (cy + 0.2f + 0.6f * Hash(id + 2)) * cell;
            float r = 0.0016f + 0.0022f * Hash(id + 3);
            if (InCircle(x, y, sx, sy, r)) sky = Mix(sky, Hex(0xe8e4ff), 0.5f + 0.5f * h);
        }
        return sky;
    }
    // Grid floor seen from a little above: lines of constant width on screen, fading out where
    // they crowd together towards the horizon.
    const float eyeHeight = 0.1f, acrossStep = 0.04f, alongStep = 0.25f, lineHalf = 0.0016f;
    float below = horizonY - y;
    float depth = eyeHeight / below;
    float across = x * depth / acrossStep, along = depth / alongStep;
    float acrossDist = std::fabs(across - std::round(across)) * acrossStep / depth;
    float alongDist = std::fabs(along - std::round(along)) * alongStep * eyeHeight / (depth * depth);
    float alongGap = alongStep * eyeHeight / (depth * depth);
    float line = 0.0f;
    if (acrossDist < lineHalf) line = Smooth(0.006f, 0.03f, acrossStep / depth);
    if (alongDist < lineHalf) line = std::fmax(line, Smooth(0.004f, 0.016f, alongGap));
    line *= Smooth(0.0f, 0.06f, below);
    Rgba floor = Mix(Hex(0x3a0f4c), Hex(0x07041a), Smooth(0.0f, 0.2f, below));
    return Mix(floor, Hex(0xff3fb4), line * 0.9f);
}

Rgba Sun(float x, float y) {
    const float cx = 0.0f, cy = 0.06f, radius = 0.25f;
    if (!InCircle(x, y, cx, cy, radius) || y < horizonY) return clearColour;
    // Bands cut into the lower half, widening towards the horizon.
    float v = (cy - y) / radius;
    if (v > 0.05f) {
        float band = std::fmod(v * 7.0f, 1.0f);
        if (band < 0.12f + 0.45f * v) return clearColour;
    }
    return Mix(Hex(0xffe066), Hex(0xff3d8b), (cy + radius - y) / (2.0f * radius));
}

}  // namespace

bool MakeGroupLogo(Image& out) {
    TextMask name, presents;
    if (!RenderText(boldFace, groupName, 160, 7.0f, name) || !RenderText(plainFace, "presents", 80, 5.0f, presents))
        return false;
    PlaceText(name, -0.46f, -0.07f, 0.46f, 0.11f);
    PlaceText(presents, -0.2f, -0.265f, 0.2f, -0.205f);

    out = MakeImage(1024, 512, Hex(0x0a0722));
    PaintOver(out, groupLogoFrame, SkyAndFloor);
    // A soft halo round the sun, then the sun.
    PaintOver(out, groupLogoFrame, [](float x, float y) {
        float d = std::hypot(x, y - 0.06f);
        return y < horizonY ? clearColour : WithAlpha(Hex(0xff4f9a), 0.35f * (1.0f - Smooth(0.22f, 0.42f, d)));
    });
    PaintOver(out, groupLogoFrame, Sun);
    // Name: a hard shadow, the dark outline, then the chrome fill.
    PaintOver(out, groupLogoFrame, [&](float x, float y) {
        return WithAlpha(Hex(0x05020f), 0.8f * TextCoverage(name, x - 0.01f, y + 0.012f, true));
    });
    PaintOver(out, groupLogoFrame,
              [&](float x, float y) { return WithAlpha(Hex(0x160826), TextCoverage(name, x, y, true)); });
    PaintOver(out, groupLogoFrame, [&](float x, float y) {
        float t = (y + 0.07f) / 0.18f;
        Rgba c = t > 0.45f ? Mix(Hex(0x7fd6ff), Hex(0xffffff), (t - 0.45f) / 0.55f)
                           : Mix(Hex(0x3b2a9a), Hex(0xff9ad5), t / 0.45f);
        return WithAlpha(c, TextCoverage(name, x, y, false));
    });
    PaintOver(out, groupLogoFrame,
              [&](float x, float y) { return WithAlpha(Hex(0x05020f), TextCoverage(presents, x, y, true)); });
    PaintOver(out, groupLogoFrame,
              [&](float x, float y) { return WithAlpha(Hex(0xd8ccff), TextCoverage(presents, x, y, false)); });
    return true;
}

bool MakeTitleLogo(Image& out) {
    TextMask title;
    if (!RenderText(boldFace, titleText, 200, 9.0f, title)) return false;
    PlaceText(title, -0.35f, -0.055f, 0.35f, 0.125f);

    out = MakeImage(1024, 512, clearColour);
    PaintLetterShadow(out, titleFrame, title, -0.007f, 0.009f, 0.006f);
    // Underline swoosh, tapering at both ends.
    PaintOver(out, titleFrame, [](float x, float y) {
        float half = 0.34f;
        if (std::fabs(x) > half) return clearColour;
        float taper = 1.0f - std::pow(std::fabs(x) / half, 2.0f);
        float thick = 0.012f * taper;
        if (std::fabs(y + 0.088f) > thick) return clearColour;
        return Mix(Hex(0x1fa8c0), Hex(0x2a3fa0), (x + half) / (2.0f * half));
    });
    PaintLetterFace(out, titleFrame, title, -0.055f, 0.18f);
    BleedEdges(out);
    return true;
}

bool MakeSubtitle(Image& out) {
    TextMask line;
    if (!RenderText(boldFace, subtitleText, 96, 0.0f, line)) return false;
    PlaceText(line, -0.42f, -0.377f, 0.42f, -0.343f);
    out = MakeImage(1024, 128, clearColour);
    PaintOver(out, subtitleFrame,
              [&](float x, float y) { return WithAlpha(Hex(0x27335a), TextCoverage(line, x, y, false)); });
    BleedEdges(out);
    return true;
}

bool MakeRing(Image& out) {
    out = MakeImage(128, 128, clearColour);
    PaintOver(out, ringFrame, [](float x, float y) {
        const float ringRadius = 0.7f, ringWidth = 0.16f;
        float d = std::hypot(x, y);
        float band = (d - ringRadius) / ringWidth;
        float alpha = std::exp(-band * band * 2.0f) * (1.0f - Smooth(0.9f, 0.99f, d));
        alpha = std::fmin(1.0f, alpha * 1.15f);
        // Deeper blue on the rim, lighter inside: the ring must show on a white background.
        Rgba c = Mix(Hex(0x8ea6e0), Hex(0x5370c4), Smooth(-1.0f, 1.0f, band));
        return WithAlpha(c, alpha);
    });
    BleedEdges(out);
    return true;
}

const std::vector<Placement>& LogoPlacements() {
    static const std::vector<Placement> placements = {
        {"vok.tga", groupLogoFrame},
        {"demologo.tga", titleFrame},
        {"demologo_sub.tga", subtitleFrame},
    };
    return placements;
}
