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
// What a caller adds to the show's frames: the live player its music, overlay, pacing and keys;
// a browser its own clock. Every step may be nullptr. The loop calls them; it never calls up.
struct LoopSteps {
    void (*beforeFrame)(double timeMs);                   // nullptr: the music starts with the title
    void (*overDrawn)(double timeMs, double lastFrameMs);  // drawn over the picture before it is presented
    void (*afterPresent)();                               // within the frame's measured time (pacing)
    void (*keyPressed)(unsigned vk);                      // first press of a key, not its repeats
    void (*activeChanged)();                              // the window was minimised or restored
    bool (*held)();                                       // true: no frame is drawn and the clock stands
    // A browser's clock: the time since the last animation frame, which is the last frame's whole
    // duration, added as the next frame begins so that the picture shows the moment it is
    // presented. nullptr: the tick count around render and present, added after the frame.
    double (*elapsedBeforeFrame)();
};
// The steps every later iteration uses (nullptr: the plain show). The caller keeps them alive.
void SetLoopSteps(const LoopSteps* steps);

// One iteration of the main loop: one message handled, or one frame drawn and presented, or
// nothing while the show is held. Never blocks. Returns false once the loop is to be left.
bool MainLoopIteration();
// True when the last iteration found the show held (minimised or paused) and nothing to do: a
// desktop caller may block until the next message, a browser waits for its next frame.
bool LoopWaiting();
// One iteration as the desktop runs it: when the show is held, it then blocks until the next
// message arrives instead of spinning.
bool DesktopLoopIteration();
// The desktop loop: iterations until it is left, blocking while the show is held, the clock
// starting at startMs (0 for the whole show). True when it was left because the show had
// ended, not by Escape or a close.
bool RunMainLoop(double startMs = 0.0);
// True once the loop was left because the show had ended.
bool LoopReachedEnd();
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
// Starts a loop at startMs: clock set, quit and end flags cleared (RunMainLoop does it itself).
void BeginLoop(double startMs);
