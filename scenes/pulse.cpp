// Pulsing mesh: meshListB spinning and pulsing, then jumping between four places, then rocking.
// All motion follows the absolute demo time t, so its phase is that of the whole run.
// Depends on meshListB (geometry/mesh.h), SineSign, the shared idioms.
#include "platform/gl.h"

#include <cmath>

#include "geometry/mesh.h"
#include "render/angles.h"
#include "scenes/idioms.h"
#include "scenes/scenes.h"
#include "scenes/timeline.h"

// ---- constants ----
// Angular rates in radians per millisecond: c = 1/79.6 (period about 500.14 ms) and its halvings.
constexpr double kPulseRate = 0.01256281407035176;
constexpr double kPulseRateHalf = 0.00628140703517588;
constexpr double kPulseRateQuarter = 0.00314070351758794;
constexpr double kPulseRateEighth = 0.00157035175879397;
constexpr float kSpinStep = 0.1f;  // degrees per rendered frame, not per unit of time
constexpr float kRockDegrees = 30.0f;

// ---- globals ----
float meshSpin = 0.0f;  // degrees, carried from the spin scene into the jump scene

void ResetMeshSpin() { meshSpin = 0.0f; }

// ---- local helpers ----

// The mesh's turned frame at distance d in front of the camera.
static void PlaceMesh(float distance) {
    glTranslatef(0.0f, 0.0f, -distance);
    glRotatef(-90.0f, 1.0f, 0.0f, 0.0f);
    glRotatef(-90.0f, 0.0f, 0.0f, 1.0f);
}

static void SpinMesh() {
    meshSpin = meshSpin + kSpinStep;
    glRotatef(meshSpin, 0.0f, 0.0f, 1.0f);
}

static void ScaleMesh(float s) { glScalef(s, s, s); }

// ---- scenes ----

void SceneMeshSpin(const SceneFrame& frame) {
    const double t = frame.timeMs;
    ParticleBackdrop();
    PlaceMesh(2.0f);
    SpinMesh();
    ScaleMesh(static_cast<float>(std::sin(t * kPulseRate - kHalfPi) * 0.2 + 1.0));
    glCallList(meshListB);
    ParticleStep(frame.frameMs);
}

void SceneMeshJump(const SceneFrame& frame) {
    const double t = frame.timeMs;
    ParticleBackdrop();
    PlaceMesh(4.0f);
    const int a = SineSign(-(t * kPulseRateHalf));
    const int b = SineSign(t * kPulseRateQuarter + kHalfPi);
    glTranslatef(0.0f, static_cast<float>(a), static_cast<float>(b));
    SpinMesh();
    ScaleMesh(static_cast<float>((std::sin(t * kPulseRate) * 0.2 + 1.0) * 1.5));
    glCallList(meshListB);
    ParticleStep(frame.frameMs);
}

void SceneMeshRock(const SceneFrame& frame) {
    const double t = frame.timeMs;
    ParticleBackdrop();
    PlaceMesh(2.0f);
    const float p = kRockDegrees * static_cast<float>(SineSign(-(t * kPulseRateQuarter)));
    const float q = kRockDegrees * static_cast<float>(SineSign(t * kPulseRateEighth + kHalfPi));
    glRotatef(p, 0.0f, 1.0f, 0.0f);
    glRotatef(q, 0.0f, 0.0f, 1.0f);
    ScaleMesh(static_cast<float>(std::sin(t * kPulseRateHalf - kHalfPi) * 0.2 + 1.0));
    glCallList(meshListB);
    ParticleStep(frame.frameMs);
}
