// Typed credits, 94-110 s: the still character makes one slow turn over the particles while the
// credit lines are typed out from (128, 128) of the text overlay.
// Depends on the particle idioms, the typed text block, the palette and the character's poses.
#include "platform/gl.h"

#include "geometry/figure.h"
#include "render/material.h"
#include "scenes/idioms.h"
#include "scenes/scenes.h"
#include "scenes/timeline.h"

// ---- constants ----
constexpr int kCountedCreditLines = 17;  // 202 characters; the last line is never typed
constexpr float kCreditsLeft = 128.0f;   // overlay units
constexpr int kCreditsTop = 128;

// Separators are one blank, not empty: each costs a character step. The trailing blanks hold the
// finished text on screen for the window's last 1.66 s.
static const char* const creditLines[kCountedCreditLines + 1] = {
    "## BRIMVALE ##",
    " ",
    "HELLO EVERYONE!",
    " ",
    "THIS DEMO IS JUST",
    "A FIRST EXPIRIENCE",
    "IN DEMOMAKING, OPENGL AND C",
    " ",
    "IT WAS CREATED",
    "DURING LAST WEEK",
    "BY ONE MAN...",
    " ",
    "WE HOPE YOU'LL ENJOY IT",
    " ",
    ".CODE.GFX.",
    "BY QUILON",
    "                     ",  // 21 blanks
    "                     ",  // 21 blanks
};

// ---- scene ----

void SceneCredits(const SceneFrame& frame) {
    float r = frame.r;
    // The field was re-seeded below the view at 94 s to rise through the credits; the tunnel's
    // fade left fadeAlpha near 0, which would hide it.
    fadeAlpha = 1.0f;
    ParticleBackdrop();

    glPushMatrix();
    glTranslatef(0.0f, 0.0f, -1.0f);
    glRotatef(180.0f, 0.0f, 1.0f, 0.0f);
    glRotatef(360.0f * r + 135.0f, 0.0f, 0.0f, 1.0f);  // one turn over the window
    glRotatef(180.0f, 1.0f, 0.0f, 0.0f);
    DrawFigureStill();
    glPopMatrix();

    glClear(GL_DEPTH_BUFFER_BIT);
    ApplyPaletteMaterial(1);
    TypedTextBlock(creditLines, kCountedCreditLines, kCreditsLeft, kCreditsTop, r);
    ParticleStep(frame.frameMs);
}
