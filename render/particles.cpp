// Sprite particle field: 30 ring sprites rising behind many scenes, one shared state for the
// whole show. Depends on the demo generator, ringTex, palette row 0, GL 1.1.
#include "render/particles.h"

#include "platform/gl.h"

#include "platform/platform.h"
#include "platform/random.h"
#include "render/material.h"
#include "render/texture_slots.h"

// ---- constants ----
// Single-precision scales of a draw r in 0..32767.
constexpr float kUnitScale = 3.0518509e-05f;      // 1 / 32767
constexpr float kHalfSizeScale = 1.5259254e-06f;  // 0.05 / 32767
constexpr float kSpeedScale = 3.0518510e-09f;     // 0.0001 / 32767
constexpr float kMinSpeed = 0.00005f;             // units per millisecond
constexpr float kRecycleEdge = 1.0f;              // lower edge beyond this: back to the bottom
constexpr float kRebirthTop = -0.5f;              // upper edge of a reborn ring, just below view
constexpr double kTrembleShare = 0.1;             // sideways step as a share of the rise

// ---- globals ----
Particle particles[kParticleCount];  // the field, processed in array order

// ---- local helpers ----

static float DrawUnit() { return DemoRand() * kUnitScale; }
static float DrawHalfSize() { return DemoRand() * kHalfSizeScale; }
static float DrawSpeed() { return DemoRand() * kSpeedScale + kMinSpeed; }

// Four draws per particle in field order; only the vertical offset differs between callers.
static void FillParticles(float yOffset) {
    for (Particle& p : particles) {
        p.x = DrawUnit() - 0.5f;
        p.y = DrawUnit() + yOffset;
        p.halfSize = DrawHalfSize();
        p.speed = DrawSpeed();
    }
}

// ---- module functions ----

void InitParticles() {
    DemoSrand(GetTickCount());
    FillParticles(-0.5f);
}

void ReseedParticles() { FillParticles(-1.5f); }

void UpdateParticles(double frameMs) {
    for (Particle& p : particles) {
        p.y += p.speed * frameMs;
        // 2r is formed as an integer before scaling; one draw even when frameMs is 0.
        p.x += (2 * DemoRand() * kUnitScale - 1.0f) * p.speed * frameMs * kTrembleShare;
        if (p.y - p.halfSize > kRecycleEdge) {
            p.speed = DrawSpeed();
            p.halfSize = DrawHalfSize();
            p.y = kRebirthTop - p.halfSize;
        }
    }
}

void DrawParticles() {
    ApplyPaletteMaterial(0);
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glBindTexture(GL_TEXTURE_2D, ringTex.glName);
    glPushMatrix();
    glTranslatef(0.0f, 0.0f, -1.0f);
    glBegin(GL_QUADS);
    for (const Particle& p : particles) {
        const float s = p.halfSize;
        glTexCoord2f(0.0f, 0.0f);
        glVertex3f(p.x - s, p.y - s, 0.0f);
        glTexCoord2f(0.0f, 1.0f);
        glVertex3f(p.x - s, p.y + s, 0.0f);
        glTexCoord2f(1.0f, 1.0f);
        glVertex3f(p.x + s, p.y + s, 0.0f);
        glTexCoord2f(1.0f, 0.0f);
        glVertex3f(p.x + s, p.y - s, 0.0f);
    }
    glEnd();
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_BLEND);
    glPopMatrix();
}
