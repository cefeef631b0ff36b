// Greetings scroller and the end, 110-124 s: the still character among ten nodding copies turns
// once and recedes while the greetings line scrolls along the top edge; the last 2.8 s fade to
// black. After 124 s the timeline draws nothing and the frame is the prologue's white.
// Depends on the particle idioms, the fade-out overlay, the text printer and the poses.
#include "platform/gl.h"

#include "geometry/figure.h"
#include "render/font.h"
#include "render/material.h"
#include "scenes/idioms.h"
#include "scenes/scenes.h"
#include "scenes/timeline.h"

// ---- constants ----
constexpr float kScrollUnits = 1000.0f;  // overlay units the line moves left over the window
constexpr int kCrowdSize = 10;

struct CrowdFigure {
    float x, z;     // in the group's frame
    float turnDeg;  // about y
};

// ---- tables ----
static const CrowdFigure crowdTable[kCrowdSize] = {
    {-1.5f, 1.0f, 35.0f}, {-0.5f, 2.0f, 17.0f},  {0.5f, 1.5f, 87.0f},  {2.0f, 1.5f, 125.0f},  {1.0f, -0.5f, 47.0f},
    {1.5f, -2.0f, 92.0f}, {0.0f, -1.5f, 284.0f}, {-0.5f, -0.5f, 7.0f}, {-1.5f, -2.0f, 59.0f}, {-2.0f, -0.5f, 206.0f},
};

// 77 blanks put the text just past the right edge when the scroll begins. It is passed as the
// format itself, so it must never hold a percent sign.
static const char greetingsLine[] =
    "                                                                             "
    "GREETS: VOLTENDRAX, QRZ, MORVANTIKO, SKELDRANE, PELLUCIDORN, TRUNDLEK";
static_assert(sizeof(greetingsLine) == 146 + 1, "77 blanks and 69 characters");

// ---- scene ----

void SceneGreetings(const SceneFrame& frame) {
    float r = frame.r;
    // Rings stay visible until the fade takes over fadeAlpha (see the credits).
    if (r < kFadeOutFromR) fadeAlpha = 1.0f;
    ParticleBackdrop();

    glTranslatef(0.0f, 0.0f, -1.0f - 8.0f * r);        // recedes from 1 to 9 units
    glRotatef(135.0f - 360.0f * r, 0.0f, 0.0f, 1.0f);  // one full turn
    glPushMatrix();
    glRotatef(180.0f, 0.0f, 1.0f, 0.0f);
    glRotatef(180.0f, 1.0f, 0.0f, 0.0f);
    DrawFigureStill();
    glPopMatrix();

    glRotatef(90.0f, 1.0f, 0.0f, 0.0f);  // the crowd's (x, z) plane faces the viewer
    for (const CrowdFigure& figure : crowdTable) {
        glPushMatrix();
        glTranslatef(figure.x, 0.0f, figure.z);
        glRotatef(figure.turnDeg, 0.0f, 1.0f, 0.0f);
        DrawFigureNod(16.0f * r);  // all in step
        glPopMatrix();
    }

    glClear(GL_DEPTH_BUFFER_BIT);
    // No material of its own: the last crowd figure's lists left theirs current.
    PrintText(-kScrollUnits * r, 0, 0, greetingsLine);
    if (r >= kFadeOutFromR) FadeOutOverlay(r);
    ParticleStep(frame.frameMs);
}
