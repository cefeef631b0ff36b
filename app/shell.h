// Application shell: entry, window and context, message and render loop, demo clock, keys, camera.
#pragma once
#include <cstdint>
#include "platform/platform.h"
#include "scenes/timeline.h"

// ---- demo clock ----
extern double demoTimeMs;  // sum of the measured durations of all frames so far
extern double frameMs;     // duration of the last frame (render plus present)

// ---- input and modes ----
extern unsigned char keys[256];  // 1 while the key with that virtual-key code is down
extern bool active;              // false while minimised
extern bool fullscreen;
extern int lightingOn;
extern int lightingKeyLatch;

// ---- free camera (angles in degrees) ----
extern float camX, camY, camZ, camRoll, camYaw, camPitch;

// ---- window ----
extern bool windowCreationFailed;  // set when the window or its GL context could not be made
bool CreateDemoWindow(const char* title, int width, int height, int bits, bool fullscreenFlag);
void DestroyDemoWindow();
intptr_t WindowProc(unsigned message, uintptr_t wParam, intptr_t lParam);
void ResizeViewport(int width, int height);

// ---- loop ----
// One iteration of the main loop: every pending message, then one frame unless the show is held.
// Never blocks; returns false once the loop is to be left.
bool MainLoopIteration();
// The last iteration drew nothing because the show is held (paused or minimised): a desktop
// caller may wait for the next message.
bool LoopWaiting();
// The loop was left because the show had ended (not by Escape or a close).
bool LoopReachedEnd();
// Frame durations from the caller (a browser: the time since the last animation frame, added as
// the next frame begins) instead of the tick count around render and present; the caller then
// paces the frames. nullptr: the ticks.
void SetFrameDurationSource(double (*source)());
// Sets the clock to startMs and clears the quit flags; RunMainLoop starts with it.
void BeginMainLoop(double startMs);
// Runs the loop until it is left, the clock starting at startMs (0 for the whole show). True
// when it was left because the show had ended, not by Escape or a close.
bool RunMainLoop(double startMs = 0.0);
// The free camera as it stands, for RenderFrame.
CameraPose CurrentCamera();
// The L key and camera keys, as processed after each frame.
void HandleFrameKeys();

// Puts every module's carried state back to what a fresh process has after start-up: clock, keys,
// camera, lighting toggle and latch, quit flag, pending messages, the real tick count, particles
// (seeded afresh), fade and spin, the music-start flag, and the GL lighting and material a first
// frame sees. Textures, display lists and the stream that start-up made are kept. The looping
// player calls it at the end of the show, the tests before each case.
void ResetDemoState();

// The whole program: options, question, window, loop, teardown. Returns the exit code.
int DemoMain(int argc, char** argv);
