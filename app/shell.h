// Application shell: window and context, the window procedure, the steps of a frame, demo clock,
// keys, camera.
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
// The exit status when CreateDemoWindow failed: 1 when no window or GL context could be made, 0
// when the window class was refused (that ends quietly).
extern int windowFailureStatus;
bool CreateDemoWindow(const char* title, int width, int height, int bits, bool fullscreenFlag);
void DestroyDemoWindow();
intptr_t WindowProc(unsigned message, uintptr_t wParam, intptr_t lParam);
void ResizeViewport(int width, int height);

// ---- the steps of a frame ----
// A driver (the desktop player, the offline runs, the page) runs its own loop and owns its
// clock; it calls these in its own order. None of them calls back up.
struct HandledMessage {
    bool quit;           // the quit message: the loop is to be left
    unsigned firstPress;  // a key's first press (not its repeats), 0 for none
    bool activeChanged;  // the window was minimised or restored
};
// One waiting message, if any, handed to WindowProc. False when none was waiting.
bool HandleWaitingMessage(HandledMessage& handled);
// Before a frame: past the show's end it is the last one; Escape ends the loop at once. True
// when the frame is to be drawn.
bool FrameWanted();
// False once the loop is to be left.
bool LoopGoesOn();
// The show's frame at the demo clock, with the free camera, into the back buffer.
void DrawShowFrame();
// The clock moves by one frame's duration.
void AdvanceClock(double lastFrameMs);
// The milliseconds since a tick count was taken (GetTickCount), across its wrap.
double MsSinceTick(uint32_t startTick);
// The clock of a run that sets its own times (offline, a late start's replay).
void SetClock(double timeMs, double lastFrameMs);
// The free camera back at its start (Home).
void ResetCamera();
// The free camera as it stands, for RenderFrame.
CameraPose CurrentCamera();
// The L key and camera keys, as processed after each frame.
void HandleFrameKeys();
// Starts a loop at startMs: clock set, quit and end flags cleared.
void BeginLoop(double startMs);
// True once the loop was left because the show had ended, not by Escape or a close.
bool LoopReachedEnd();

// Puts every module's carried state back to what a fresh process has after start-up: clock, keys,
// camera, lighting toggle and latch, quit flag, pending messages, the real tick count, particles
// (seeded afresh), fade and spin, the music-start flag, and the GL lighting and material a first
// frame sees. Textures, display lists and the stream that start-up made are kept. The looping
// player calls it at the end of the show, the tests before each case.
void ResetDemoState();
