// Spin on black and fade to white, 86-94 s: the shaking character tumbles away on black, then the
// still character turns while the background brightens to white; in the last 40 ms the particle
// field is sent back below the view so that it rises through the credits.
// Depends on the character's poses and the particle field.
#include "platform/gl.h"

#include "geometry/figure.h"
#include "render/particles.h"
#include "scenes/scenes.h"
#include "scenes/timeline.h"

// ---- constants ----
constexpr float kReseedAboveR = 0.99f;  // strictly above: the last 40 ms

// ---- scenes ----

void SceneTumble(const SceneFrame& frame) {
    float r = frame.r;
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glTranslatef(0.0f, 0.0f, -5.0f * r);
    float a = 180.0f * r;
    glRotatef(a, 0.0f, 1.0f, 0.0f);
    glRotatef(45.0f * r, 0.0f, 0.0f, 1.0f);
    glRotatef(a, 1.0f, 0.0f, 0.0f);
    DrawFigureShake(4.0f * r);
}

void SceneFadeToWhite(const SceneFrame& frame) {
    float r = frame.r;
    glClearColor(r, r, r, 0.0f);  // black to white over the window
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glTranslatef(0.0f, 0.0f, 3.0f * r - 5.0f);
    glRotatef(180.0f, 0.0f, 1.0f, 0.0f);
    glRotatef(90.0f * r + 45.0f, 0.0f, 0.0f, 1.0f);
    glRotatef(180.0f, 1.0f, 0.0f, 0.0f);
    DrawFigureStill();
    // Every such frame re-seeds; the last one wins.
    if (r > kReseedAboveR) ReseedParticles();
}
