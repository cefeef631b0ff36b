// One drawing function per timeline window, in timeline order. The timeline hands each the
// frame as plain data; scenes read neither the clock nor their own window number.
#pragma once

// What the timeline hands the scene of the window that holds the frame.
struct SceneFrame {
    double timeMs;   // demo time of this frame
    double startMs;  // start of the scene's window; marks inside the window count from here
    float r;         // progress within the window (sceneT), stored as float
    double frameMs;  // the previous frame's duration, for the particle step
};

// 0-6 s: group logo, title fade-in
void SceneGroupLogo(const SceneFrame& frame);  // [0, 2000)
void SceneTitle(const SceneFrame& frame);      // [2000, 6000)
// 6-18 s: pulsing mesh
void SceneMeshSpin(const SceneFrame& frame);  // [6000, 10000)
void SceneMeshJump(const SceneFrame& frame);  // [10000, 14000)
void SceneMeshRock(const SceneFrame& frame);  // [14000, 18000)
// 18-48 s: character act
void SceneFigureAway(const SceneFrame& frame);     // [18000, 22000)
void SceneFigureFlip(const SceneFrame& frame);     // [22000, 30000)
void SceneFigureNodSide(const SceneFrame& frame);  // [30000, 32000)
void SceneFigureNodTurn(const SceneFrame& frame);  // [32000, 34000)
void SceneMeshSlide(const SceneFrame& frame);      // [34000, 36000)
void SceneFigureStride(const SceneFrame& frame);   // [36000, 40000)
void SceneStrideCloser(const SceneFrame& frame);   // [40000, 44000)
void SceneListingSweep(const SceneFrame& frame);   // [44000, 48000)
// 48-52 s
void SceneAssemblyListing(const SceneFrame& frame);  // [48000, 52000)
// 52-72 s: shrinking figure
void SceneShrinkFirst(const SceneFrame& frame);   // [52000, 54000)
void SceneShrinkFade(const SceneFrame& frame);    // [54000, 68000)
void SceneShakeOnBlack(const SceneFrame& frame);  // [68000, 72000)
// 72-86 s
void SceneTunnel(const SceneFrame& frame);  // [72000, 86000)
// 86-94 s
void SceneTumble(const SceneFrame& frame);       // [86000, 90000)
void SceneFadeToWhite(const SceneFrame& frame);  // [90000, 94000)
// 94-124 s
void SceneCredits(const SceneFrame& frame);    // [94000, 110000)
void SceneGreetings(const SceneFrame& frame);  // [110000, 124000)

// Persistent spin angle of the pulsing mesh, degrees, +0.1 per frame in windows 3 and 4.
extern float meshSpin;
// The spin as a fresh run starts it.
void ResetMeshSpin();
