// Opening: the group logo in silence, then the music starts and the title fades in over the rings.
// The shell starts the music with this window's first frame. Depends on the logo textures, the
// palette, the shared idioms.
#include "platform/gl.h"

#include "render/texture_slots.h"
#include "render/material.h"
#include "scenes/idioms.h"
#include "scenes/scenes.h"
#include "scenes/timeline.h"

// ---- constants ----
constexpr float kFadeInShare = 0.2f;  // of the title window: its first 800 ms
constexpr float kFadeInGain = 5.0f;   // 1 / kFadeInShare

// ---- local helpers ----

// Covers the view at distance 1 with a small margin; the fade-in reuses its corners untextured.
static void GroupLogoQuad(bool textured) {
    glBegin(GL_QUADS);
    if (textured) glTexCoord2f(0.0f, 0.0f);
    glVertex2f(-0.6f, -0.42f);
    if (textured) glTexCoord2f(1.0f, 0.0f);
    glVertex2f(0.6f, -0.42f);
    if (textured) glTexCoord2f(1.0f, 0.75f);
    glVertex2f(0.6f, 0.42f);
    if (textured) glTexCoord2f(0.0f, 0.75f);
    glVertex2f(-0.6f, 0.42f);
    glEnd();
}

static void TitleLogoQuad() {
    glBegin(GL_QUADS);
    glTexCoord2f(0.0f, 0.155f);
    glVertex3f(-0.37695f, -0.1338f, 0.0f);
    glTexCoord2f(0.0f, 1.0f);
    glVertex3f(-0.37695f, 0.15f, 0.0f);
    glTexCoord2f(0.755f, 1.0f);
    glVertex3f(0.37695f, 0.15f, 0.0f);
    glTexCoord2f(0.755f, 0.155f);
    glVertex3f(0.37695f, -0.1338f, 0.0f);
    glEnd();
}

static void SubtitleQuad() {
    glBegin(GL_QUADS);
    glTexCoord2f(0.0f, 0.0f);
    glVertex3f(-0.5f, -0.39f, 0.0f);
    glTexCoord2f(0.0f, 0.6f);
    glVertex3f(-0.5f, -0.33f, 0.0f);
    glTexCoord2f(1.0f, 0.6f);
    glVertex3f(0.5f, -0.33f, 0.0f);
    glTexCoord2f(1.0f, 0.0f);
    glVertex3f(0.5f, -0.39f, 0.0f);
    glEnd();
}

// ---- scenes ----

// Opaque and lit with whatever material is in force; no particles, no music yet.
void SceneGroupLogo(const SceneFrame&) {
    glTranslatef(0.0f, 0.0f, -1.0f);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, groupLogoTex.glName);
    GroupLogoQuad(true);
    glDisable(GL_TEXTURE_2D);
}

void SceneTitle(const SceneFrame& frame) {
    const float r = frame.r;
    fadeAlpha = 1.0f;  // undoes the last frame's fade-in before anything uses row 0
    ApplyPaletteMaterial(0);
    ParticleBackdrop();

    glTranslatef(0.0f, 0.0f, -1.0f);
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
    glDisable(GL_DEPTH_TEST);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glBindTexture(GL_TEXTURE_2D, demoLogoTex.glName);
    TitleLogoQuad();
    glBindTexture(GL_TEXTURE_2D, demoLogoSubTex.glName);
    SubtitleQuad();
    glEnable(GL_DEPTH_TEST);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_BLEND);

    ParticleStep(frame.frameMs);

    if (r < kFadeInShare) {
        // Multiplies the finished picture by 5 r; drawn past the camera, so it always covers the view.
        glLoadIdentity();
        glTranslatef(0.0f, 0.0f, -1.0f);
        glClear(GL_DEPTH_BUFFER_BIT);
        glEnable(GL_BLEND);
        glBlendFunc(GL_ZERO, GL_ONE_MINUS_SRC_ALPHA);
        fadeAlpha = (kFadeInShare - r) * kFadeInGain;
        ApplyPaletteMaterial(0);
        GroupLogoQuad(false);
        glDisable(GL_BLEND);
    }
}
