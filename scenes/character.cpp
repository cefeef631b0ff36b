// Character act: the character still, flipped, nodding and striding in front of the rings, with
// meshListA joining it in its own frame, then the view closing in on meshListA alone. All motion
// follows the window's progress r. Depends on the pose routines, meshListA, SineSign, Frac.
#include "platform/gl.h"

#include "geometry/figure.h"
#include "geometry/mesh.h"
#include "render/angles.h"
#include "scenes/idioms.h"
#include "scenes/scenes.h"
#include "scenes/timeline.h"

// ---- constants ----
constexpr double kFourPi = 4.0 * kPi;
constexpr double kEightPi = 8.0 * kPi;
constexpr double kThreeEighthsPi = 3.0 * kPi / 8.0;
constexpr float kFlipDegrees = 30.0f;

// ---- local helpers ----

static void Tx(float x, float y, float z) { glTranslatef(x, y, z); }
static void Rx(float degrees) { glRotatef(degrees, 1.0f, 0.0f, 0.0f); }
static void Ry(float degrees) { glRotatef(degrees, 0.0f, 1.0f, 0.0f); }

// +-30 degrees as a square wave of the phase; 0 at a zero of the sine.
static float FlipDegrees(double phase) { return kFlipDegrees * static_cast<float>(SineSign(phase)); }

// Slides from -0.5 back to -1 in each quarter of the window, then jumps forward.
static float StepBackZ(float r) { return static_cast<float>(-0.5 - 0.5 * Frac(r * 4.0)); }

// meshListA stood on end at the given depth of the current frame.
static void DrawMeshA(float y, float z) {
    Tx(0.0f, y, z);
    Rx(90.0f);
    Ry(90.0f);
    glCallList(meshListA);
}

// ---- scenes ----

void SceneFigureAway(const SceneFrame& frame) {
    const float r = frame.r;
    ParticleBackdrop();
    Tx(0.0f, -0.5f, 0.0f);
    Rx((1.0f - r) * -10.0f);
    Tx(0.0f, 0.0f, r * -3.0f);
    Tx(0.0f, 0.0f, r * 0.3f);
    DrawFigureStill();
    ParticleStep(frame.frameMs);
}

void SceneFigureFlip(const SceneFrame& frame) {
    const float r = frame.r;
    ParticleBackdrop();
    const float a = FlipDegrees(r * kEightPi);
    const float b = FlipDegrees(r * kFourPi);
    const float c = 90.0f * static_cast<float>(SineSign(r * kThreeEighthsPi) + 1);
    Tx(0.0f, 0.0f, StepBackZ(r));
    Ry(a);
    Ry(c);
    Rx(b);
    DrawFigureStill();
    ParticleStep(frame.frameMs);
}

void SceneFigureNodSide(const SceneFrame& frame) {
    const float r = frame.r;
    ParticleBackdrop();
    Tx(0.0f, 0.0f, -2.0f);
    Ry(90.0f);
    DrawFigureNod(r * 4.0f);
    ParticleStep(frame.frameMs);
}

void SceneFigureNodTurn(const SceneFrame& frame) {
    const float r = frame.r;
    ParticleBackdrop();
    const float a = FlipDegrees(r * kTwoPi);
    Tx(0.0f, 0.0f, StepBackZ(r));
    Ry(a);
    Rx(30.0f);
    DrawFigureNod(r * 4.0f);
    ParticleStep(frame.frameMs);
}

void SceneMeshSlide(const SceneFrame& frame) {
    const float r = frame.r;
    ParticleBackdrop();
    Tx(-0.3f, 0.0f, -2.0f);
    Ry(90.0f);
    DrawFigureNod(r * 8.0f);
    DrawMeshA(0.08f, (1.0f - r) * 1.2f + 0.7f);
    ParticleStep(frame.frameMs);
}

void SceneFigureStride(const SceneFrame& frame) {
    const float r = frame.r;
    ParticleBackdrop();
    Tx(-0.3f, 0.0f, -2.0f);
    Ry(90.0f);
    DrawFigureStride(r * 8.0f);
    DrawMeshA(0.08f, 0.7f);
    ParticleStep(frame.frameMs);
}

void SceneStrideCloser(const SceneFrame& frame) {
    const float r = frame.r;
    ParticleBackdrop();
    const float a = FlipDegrees(r * kTwoPi) + 180.0f;
    Tx(0.0f, -0.1f, r - 2.5f);
    Ry(a);
    Rx(-30.0f);
    DrawFigureStride(r * 8.0f);
    DrawMeshA(0.08f, 0.7f);
    ParticleStep(frame.frameMs);
}

// Ends at r = 1 on exactly the placement that the listing scene starts from.
void SceneListingSweep(const SceneFrame& frame) {
    const float r = frame.r;
    ParticleBackdrop();
    const float q = 0.5f * r - 0.5f;
    Ry(180.0f);
    Rx(-(45.0f - 45.0f * r));
    DrawMeshA(q - 0.09f, 1.0f - q);
    ParticleStep(frame.frameMs);
}
