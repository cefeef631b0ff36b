// Frame renderer and timeline: the white prologue and the one scene whose window holds the clock.
#include "scenes/timeline.h"

#include "platform/gl.h"

#include <cmath>

#include "scenes/scenes.h"

// ---- constants ----
const double timelineBounds[kTimelineWindows] = {
    2000,  6000,  10000, 14000, 18000, 22000, 30000, 32000, 34000, 36000,  40000,
    44000, 48000, 52000, 54000, 68000, 72000, 86000, 90000, 94000, 110000, 124000,
};

typedef void (*SceneFunction)(const SceneFrame& frame);
static const SceneFunction sceneTable[kTimelineWindows] = {
    SceneGroupLogo,    SceneTitle,           SceneMeshSpin,      SceneMeshJump,   SceneMeshRock,     SceneFigureAway,
    SceneFigureFlip,   SceneFigureNodSide,   SceneFigureNodTurn, SceneMeshSlide,  SceneFigureStride, SceneStrideCloser,
    SceneListingSweep, SceneAssemblyListing, SceneShrinkFirst,   SceneShrinkFade, SceneShakeOnBlack, SceneTunnel,
    SceneTumble,       SceneFadeToWhite,     SceneCredits,       SceneGreetings,
};

double WindowStart(int k) { return k <= 1 ? 0.0 : timelineBounds[k - 2]; }

int TimelineWindow(double t) {
    // Half-open windows tested in order; NaN fails every comparison and matches nothing.
    for (int k = 1; k <= kTimelineWindows; ++k)
        if (t >= WindowStart(k) && t < timelineBounds[k - 1]) return k;
    return 0;
}

float SceneT(int k, double t) {
    double start = WindowStart(k);
    return static_cast<float>((t - start) / (timelineBounds[k - 1] - start));
}

int SineSign(double x) {
    double s = std::sin(x);
    if (s > 0.0) return 1;
    if (s < 0.0) return -1;
    return 0;
}

double Frac(double x) { return x - std::floor(x); }

void ApplyCamera(float x, float y, float z, float roll, float yaw, float pitch) {
    glRotated(roll, 0.0, 0.0, 1.0);
    glRotated(yaw, 0.0, 1.0, 0.0);
    glRotated(pitch, 1.0, 0.0, 0.0);
    glTranslated(-x, -y, -z);
}

int RenderFrame(double timeMs, double frameMs, const CameraPose& camera) {
    glClearColor(1.0f, 1.0f, 1.0f, 0.5f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glLoadIdentity();
    ApplyCamera(camera.x, camera.y, camera.z, camera.roll, camera.yaw, camera.pitch);
    int k = TimelineWindow(timeMs);
    if (k > 0) sceneTable[k - 1](SceneFrame{timeMs, WindowStart(k), SceneT(k, timeMs), frameMs});
    return 1;
}
