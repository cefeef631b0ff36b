// Tunnel chase and platform interlude, 72-86 s: a glowing wire tunnel on black, six arcade sprites
// chasing about its axis, a platform-game panel from 77 to 83 s, and the shaking character that
// flies away from 83 s while the picture fades to black.
// Depends on the texture slots, the palette (fadeAlpha), tunnelTubeList, the character's poses
// and the fade-out overlay.
#include "platform/gl.h"

#include <cmath>

#include "render/texture_slots.h"
#include "geometry/figure.h"
#include "geometry/mesh.h"
#include "render/angles.h"
#include "render/material.h"
#include "scenes/idioms.h"
#include "scenes/scenes.h"
#include "scenes/timeline.h"

// ---- constants ----

// Marks measured from the window's start, in ms; compared with the demo time itself.
constexpr double kPanelInMs = 5000.0;     // 77 s: phase 1 begins after this
constexpr double kPanelPlayMs = 6000.0;   // 78 s: phase 2
constexpr double kPanelOutMs = 10000.0;   // 82 s: phase 3
constexpr double kPanelGoneMs = 11000.0;  // 83 s: panel gone, figure flies, fade runs
// Each phase's progress per ms, 0 to 1 over the phase (the same doubles as 0.001 and 0.00025).
constexpr double kArriveRate = 1.0 / (kPanelPlayMs - kPanelInMs);
constexpr double kPlayRate = 1.0 / (kPanelOutMs - kPanelPlayMs);
constexpr double kLeaveRate = 1.0 / (kPanelGoneMs - kPanelOutMs);
static_assert(kArriveRate == 0.001 && kPlayRate == 0.00025 && kLeaveRate == 0.001, "phase rates");

constexpr float kTunnelTravelUnits = 500.0f;  // the tube moves this far towards the eye
constexpr float kChaseRunUnits = 200.0f;      // every sprite's advance over the window
constexpr float kEightTurnsDeg = 2880.0f;     // pacman and pinky
constexpr float kNineTurnsDeg = 3240.0f;      // blinky and zub
constexpr double kFigureFlightUnitsPerMs = 0.0125;
constexpr int kPanelItems = 7;
constexpr double kItemArcDegPerUnitV = 290.0;  // a = 290 v

struct TunnelPass {
    float lineWidth;
    float red, green, blue;
};
// Wide and dark under narrow and bright: the lines glow.
static const TunnelPass tunnelPasses[3] = {
    {5.0f, 0.14f, 0.17f, 0.32f},
    {3.0f, 0.34f, 0.37f, 0.52f},
    {1.0f, 0.54f, 0.57f, 0.72f},
};

// ---- local helpers ----

static void BindSlot(const Texture& slot) { glBindTexture(GL_TEXTURE_2D, slot.glName); }

// The one flat shape of the scene; x0 > x1 mirrors the picture.
static void TexturedRect(float x0, float x1, float y0, float y1) {
    glBegin(GL_QUADS);
    glTexCoord2f(0.0f, 0.0f);
    glVertex2f(x0, y0);
    glTexCoord2f(0.0f, 1.0f);
    glVertex2f(x0, y1);
    glTexCoord2f(1.0f, 1.0f);
    glVertex2f(x1, y1);
    glTexCoord2f(1.0f, 0.0f);
    glVertex2f(x1, y0);
    glEnd();
}

static void WireTunnel(float r) {
    glPushMatrix();
    glTranslatef(0.0f, 0.0f, kTunnelTravelUnits * r - kTunnelTravelUnits);
    glRotatef(90.0f, 0.0f, 1.0f, 0.0f);  // the tube's length along the line of sight
    glRotatef(360.0f * r, 1.0f, 0.0f, 0.0f);
    glDisable(GL_LIGHTING);
    // No depth clear between passes: with depth testing off they neither read nor write depth,
    // and the sprites clear it before they draw.
    for (int pass = 0; pass < 3; ++pass) {
        glLineWidth(tunnelPasses[pass].lineWidth);
        glColor3f(tunnelPasses[pass].red, tunnelPasses[pass].green, tunnelPasses[pass].blue);
        glCallList(tunnelTubeList);
    }
    glEnable(GL_LIGHTING);  // on for the rest of the scene, whatever the L key did
    glPopMatrix();
}

// An upright 1 x 1 sprite on the unit circle about the line of sight at angle a, depth z.
static void ChaseSprite(const Texture& slot, bool onCircle, float a, float z, float b) {
    glPushMatrix();
    glClear(GL_DEPTH_BUFFER_BIT);
    ApplyPaletteMaterial(0);
    BindSlot(slot);
    if (onCircle) glRotatef(a, 0.0f, 0.0f, 1.0f);
    glTranslatef(-1.0f, 0.0f, z);
    if (onCircle) glRotatef(b, 0.0f, 0.0f, 1.0f);
    TexturedRect(-0.5f, 0.5f, -0.5f, 0.5f);
    glPopMatrix();
}

static void Chase(float r) {
    fadeAlpha = 1.0f;
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    float run = kChaseRunUnits * r;
    ChaseSprite(pacmanTex, true, 30.0f - kEightTurnsDeg * r, run - 20.0f, kEightTurnsDeg * r - 30.0f);
    ChaseSprite(blinkyTex, true, kNineTurnsDeg * r, run - 25.0f, -kNineTurnsDeg * r);
    ChaseSprite(pinkyTex, true, -kEightTurnsDeg * r - 90.0f, run - 30.0f, kEightTurnsDeg * r + 90.0f);
    ChaseSprite(inkeyTex, false, 0.0f, run - 35.0f, 0.0f);
    ChaseSprite(clydeTex, true, 180.0f, run - 40.0f, -180.0f);
    ChaseSprite(zubTex, true, kNineTurnsDeg * r, run - 45.0f, -kNineTurnsDeg * r);
}

// Castle slides down from above, tubes rise from below; u from 0 to 1.
static void PanelArrives(double u) {
    BindSlot(marCastleTex);
    TexturedRect(-0.5f, 0.5f, static_cast<float>(0.6 - u), static_cast<float>(1.6 - u));
    float tubeY0 = static_cast<float>(0.5 * u - 1.5);
    float tubeY1 = static_cast<float>(0.5 * u - 1.0);
    BindSlot(marTubeTex);
    TexturedRect(-0.95f, -0.55f, tubeY0, tubeY1);
    BindSlot(marTubeTex);
    TexturedRect(0.95f, 0.55f, tubeY0, tubeY1);
}

// Mario hops four times; seven items arch from the left tube into the right; v from 0 to 1.
static void PanelPlays(double v) {
    BindSlot(marCastleTex);
    TexturedRect(-0.5f, 0.5f, -0.4f, 0.6f);

    double w = 1.4 * std::fabs(std::cos(4.0 * kPi * v)) - 0.4;  // touches down at -0.4
    BindSlot(marMarioTex);
    TexturedRect(-0.05f, 0.05f, static_cast<float>(w - 0.05), static_cast<float>(w + 0.05));

    double a = kItemArcDegPerUnitV * v;
    for (int k = 1; k <= kPanelItems; ++k) {
        float d = static_cast<float>(15 * k - a);  // degrees on the arc about (0, -0.8)
        glTranslatef(0.0f, -0.8f, 0.0f);
        glRotatef(d, 0.0f, 0.0f, 1.0f);
        glTranslatef(-0.75f, 0.0f, 0.0f);
        glRotatef(-d, 0.0f, 0.0f, 1.0f);
        BindSlot(k % 2 == 1 ? marShroomTex : marStarTex);
        TexturedRect(0.05f, -0.05f, -0.05f, 0.05f);
        glRotatef(d, 0.0f, 0.0f, 1.0f);
        glTranslatef(0.75f, 0.0f, 0.0f);
        glRotatef(-d, 0.0f, 0.0f, 1.0f);
        glTranslatef(0.0f, 0.8f, 0.0f);
    }

    // Drawn after the items, so the tubes hide them while they are inside.
    BindSlot(marTubeTex);
    TexturedRect(-0.95f, -0.55f, -1.0f, -0.5f);
    BindSlot(marTubeTex);
    TexturedRect(0.95f, 0.55f, -1.0f, -0.5f);
}

// Castle slides down by one unit, tubes sink; q from 0 to 1. The right tube is not mirrored here.
static void PanelLeaves(double q) {
    BindSlot(marCastleTex);
    TexturedRect(-0.5f, 0.5f, static_cast<float>(-0.4 - q), static_cast<float>(0.6 - q));
    float tubeY0 = static_cast<float>(-1.0 - 0.5 * q);
    float tubeY1 = static_cast<float>(-0.5 - 0.5 * q);
    BindSlot(marTubeTex);
    TexturedRect(-0.95f, -0.55f, tubeY0, tubeY1);
    BindSlot(marTubeTex);
    TexturedRect(0.55f, 0.95f, tubeY0, tubeY1);
}

// Blended over the chase with its texture, blend and material state.
static void PlatformInterlude(double t, double start) {
    glPushMatrix();
    if (t > start + kPanelInMs) {
        glTranslatef(0.0f, 0.0f, -2.0f);
        if (t <= start + kPanelPlayMs)
            PanelArrives((t - (start + kPanelInMs)) * kArriveRate);
        else if (t <= start + kPanelOutMs)
            PanelPlays((t - (start + kPanelPlayMs)) * kPlayRate);
        else if (t <= start + kPanelGoneMs)
            PanelLeaves((t - (start + kPanelOutMs)) * kLeaveRate);
    }
    glPopMatrix();
}

static void SwayingFigure(double t, double start, float r) {
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_BLEND);
    glEnable(GL_DEPTH_TEST);
    glTranslatef(-0.3f, -0.3f, -2.0f);
    if (t > start + kPanelGoneMs)
        glTranslatef(0.0f, 0.0f, static_cast<float>(-kFigureFlightUnitsPerMs * (t - (start + kPanelGoneMs))));
    glRotatef(180.0f, 0.0f, 1.0f, 0.0f);
    glRotatef(90.0f, 1.0f, 0.0f, 0.0f);
    glTranslatef(0.0f, 0.0f, 0.2f);
    glRotatef(static_cast<float>(30.0 * std::sin(8.0 * kPi * r)), 0.0f, 1.0f, 0.0f);  // four sways
    DrawFigureShake(4.0f * r);
}

// ---- scene ----

void SceneTunnel(const SceneFrame& frame) {
    double t = frame.timeMs;
    double start = frame.startMs;
    float r = frame.r;

    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glDisable(GL_DEPTH_TEST);  // off until the character
    WireTunnel(r);
    Chase(r);
    PlatformInterlude(t, start);
    SwayingFigure(t, start, r);
    if (t > start + kPanelGoneMs) FadeOutOverlay(r);
}
