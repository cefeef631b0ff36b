// Frame renderer and timeline: the white prologue and the one scene whose window holds the clock.
#include "scenes/timeline.h"

#include "platform/gl.h"

#include <cmath>

#include "app/shell.h"
#include "scenes/scenes.h"

// ---- constants ----
const double timelineBounds[kTimelineWindows] = {
    2000,  6000,  10000, 14000, 18000, 22000, 30000, 32000,  34000,  36000,  40000,
    44000, 48000, 52000, 54000, 68000, 72000, 86000, 90000, 94000, 110000, 124000,
};

typedef void (*SceneFunction)();
static const SceneFunction sceneTable[kTimelineWindows] = {
    SceneGroupLogo,     SceneTitle,         SceneMeshSpin,         SceneMeshJump,     SceneMeshRock,
    SceneFigureAway,    SceneFigureFlip,    SceneFigureNodSide,    SceneFigureNodTurn, SceneMeshSlide,
    SceneFigureStride,  SceneStrideCloser,  SceneListingSweep,     SceneAssemblyListing,
    SceneShrinkFirst,   SceneShrinkFade,    SceneShakeOnBlack,     SceneTunnel,
    SceneTumble,        SceneFadeToWhite,   SceneCredits,          SceneGreetings,
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

int RenderFrame() {
    glClearColor(1.0f, 1.0f, 1.0f, 0.5f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glLoadIdentity();
    ApplyCamera(camX, camY, camZ, camRoll, camYaw, camPitch);
    int k = TimelineWindow(demoTimeMs);
    if (k > 0) sceneTable[k - 1]();
    return 1;
}
