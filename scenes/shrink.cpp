// Shrinking figure, 52-72 s: the nodding character tips over and shrinks in the frame of
// meshListA (twice, the second time while the mesh comes closer and the picture fades to black),
// then shakes on black while it turns and moves away.
// Depends on the particle idioms, the character's poses and meshListA.
#include "platform/gl.h"

#include "geometry/figure.h"
#include "geometry/mesh.h"
#include "scenes/idioms.h"
#include "scenes/scenes.h"
#include "scenes/timeline.h"

// ---- local helpers ----

// In the mesh's frame: tips over by up to 90 degrees, shrinks to a tenth, nods four times.
static void TippingFigure(float r) {
    glRotatef(-90.0f, 0.0f, 1.0f, 0.0f);
    glRotatef(-90.0f, 1.0f, 0.0f, 0.0f);
    glRotatef(90.0f * r, 1.0f, 0.0f, 0.0f);
    glTranslatef(0.0f, -0.08f, 0.6f * r - 0.6f);
    float s = 1.0f - 0.9f * r;
    glScalef(s, s, s);
    DrawFigureNod(4.0f * r);
}

// ---- scenes ----

void SceneShrinkFirst(const SceneFrame& frame) {
    float r = frame.r;
    ParticleBackdrop();
    glTranslatef(0.3f, 0.0f, -2.0f);
    glRotatef(90.0f, 0.0f, 0.0f, 1.0f);
    glRotatef(180.0f, 1.0f, 0.0f, 0.0f);
    glCallList(meshListA);
    TippingFigure(r);  // same matrix, no push
    glLoadIdentity();
    ParticleStep(frame.frameMs);
}

void SceneShrinkFade(const SceneFrame& frame) {
    float r = frame.r;
    ParticleBackdrop();
    glTranslatef(0.0f, 0.0f, 2.0f * r - 2.5f);  // the mesh comes from 2.5 to 0.5 units away
    glRotatef(90.0f, 0.0f, 0.0f, 1.0f);
    glRotatef(-90.0f, 1.0f, 0.0f, 0.0f);
    glCallList(meshListA);
    TippingFigure(r);
    if (r >= kFadeOutFromR) FadeOutOverlay(r);
    ParticleStep(frame.frameMs);
}

void SceneShakeOnBlack(const SceneFrame& frame) {
    float r = frame.r;
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glTranslatef(0.0f, 0.0f, -5.0f * r);
    glRotatef(180.0f, 0.0f, 1.0f, 0.0f);
    glRotatef(45.0f * r, 0.0f, 0.0f, 1.0f);
    DrawFigureShake(4.0f * r);
}
