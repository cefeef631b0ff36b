// Application shell: the window and its context, the window procedure, the steps of a frame that
// the drivers call, the demo clock, the lighting toggle and the free camera.
#include "app/shell.h"

#include "platform/gl.h"

#include <algorithm>
#include <cmath>
#include <iterator>

#include "app/messages.h"
#include "app/startup.h"
#include "platform/platform.h"
#include "render/angles.h"
#include "render/material.h"
#include "render/particles.h"
#include "scenes/scenes.h"
#include "scenes/timeline.h"

// ---- constants ----
static const char* const kClassName = "OpenGL";
static const float kCameraStep = 0.2f;     // units per frame along the view direction
static const float kCameraTurnDeg = 0.5f;  // degrees per frame

// ---- globals ----
double demoTimeMs = 0.0;                      // sum of measured frame durations
double frameMs = 0.0;                         // last frame's duration
unsigned char keys[256] = {};                 // key-down state by virtual-key code
bool active = true;                           // false while minimised
bool fullscreen = true;                       // display mode
int lightingOn = 1;                           // lighting as flipped by L
int lightingKeyLatch = 0;                     // set by the first L, never cleared
float camX = 0.0f, camY = 0.0f, camZ = 0.0f;  // free-camera position
float camRoll = 0.0f;                         // no key changes it
float camYaw = 0.0f;                          // Left/Right
float camPitch = 0.0f;                        // Page Up/Page Down

static bool quitRequested = false;             // the loop's quit flag
static bool reachedEnd = false;                // the loop was left because the show had ended
int windowFailureStatus = 0;  // 1: no window or GL context

// ---- window ----
void ResizeViewport(int width, int height) {
    if (height == 0) height = 1;
    int x = 0, y = 0;
    PlatformPictureOrigin(&x, &y);
    glViewport(x, y, width, height);
    // Bars stay black: the picture's clears and draws are confined to its area.
    glScissor(x, y, width, height);
    glEnable(GL_SCISSOR_TEST);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(45.0, static_cast<double>(width) / static_cast<double>(height), 0.1, 1000.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

intptr_t WindowProc(unsigned message, uintptr_t wParam, intptr_t lParam) {
    switch (message) {
    case WM_SIZE:
        ResizeViewport(static_cast<int>(LoWord(lParam)), static_cast<int>(HiWord(static_cast<uintptr_t>(lParam))));
        return 0;
    case WM_ACTIVATE:
        active = HiWord(wParam) == 0;
        return 0;
    case WM_CLOSE:
        PostQuitMessage(0);
        return 0;
    case WM_KEYDOWN:
        if (wParam < 256) keys[wParam] = 1;
        return 0;
    case WM_KEYUP:
        if (wParam < 256) keys[wParam] = 0;
        return 0;
    default:
        // Screen saver and monitor power-saving requests among them: swallowed, there is no
        // system menu to hand anything to.
        return 0;
    }
}

bool CreateDemoWindow(const char* title, int width, int height, int bits, bool fullscreenFlag) {
    fullscreen = fullscreenFlag;
    if (!PlatformRegisterClass(kClassName)) {
        ShowMessage(Message::ClassRefused);
        return false;
    }
    if (fullscreen) {
        PlatformChangeDisplayMode(width, height, bits);
        PlatformShowCursor(false);
    }
    if (!PlatformCreateWindow(title, width, height, bits, fullscreen)) {
        // No window or context: carrying on would draw into nothing, so end cleanly instead.
        windowFailureStatus = 1;
        ShowMessage(Message::NoWindow);
        if (fullscreen) {
            PlatformRestoreDisplayMode();
            PlatformShowCursor(true);
        }
        PlatformUnregisterClass(kClassName);
        return false;
    }
    // The picture area comes from the drawable (high-DPI screens have more pixels than the
    // window has units) with bars where its shape differs; later size messages follow it.
    int areaW = 0, areaH = 0;
    PlatformPictureSize(&areaW, &areaH);
    ResizeViewport(areaW > 0 ? areaW : width, areaH > 0 ? areaH : height);
    InitScene();
    return true;
}

void DestroyDemoWindow() {
    if (fullscreen) {
        PlatformRestoreDisplayMode();
        PlatformShowCursor(true);
    }
    if (!PlatformReleaseCurrent()) ShowMessage(Message::ReleaseDcAndContext);
    if (!PlatformDeleteContext()) ShowMessage(Message::ReleaseContext);
    if (!PlatformDestroyWindow()) ShowMessage(Message::ReleaseWindow);
    if (!PlatformUnregisterClass(kClassName)) ShowMessage(Message::ReleaseClass);
}

// ---- the steps of a frame ----
CameraPose CurrentCamera() { return CameraPose{camX, camY, camZ, camRoll, camYaw, camPitch}; }

void ResetCamera() { camX = camY = camZ = camRoll = camYaw = camPitch = 0.0f; }

void HandleFrameKeys() {
    if (keys[kKeyL] && lightingKeyLatch == 0) {
        lightingKeyLatch = 1;
        lightingOn = lightingOn ? 0 : 1;
        if (lightingOn)
            glEnable(GL_LIGHTING);
        else
            glDisable(GL_LIGHTING);
    }
    // Up and Down use the angles from before this iteration's turn keys.
    double p = camPitch * kRadiansPerDegree;
    double w = camYaw * kRadiansPerDegree - kHalfPi;
    if (keys[VK_UP]) {
        camX = static_cast<float>(camX + kCameraStep * std::cos(w) * std::cos(p));
        camZ = static_cast<float>(camZ + kCameraStep * std::sin(w) * std::cos(p));
        camY = static_cast<float>(camY - std::sin(p));
    }
    if (keys[VK_DOWN]) {
        camX = static_cast<float>(camX - kCameraStep * std::cos(w) * std::cos(p));
        camZ = static_cast<float>(camZ - kCameraStep * std::sin(w) * std::cos(p));
        camY = static_cast<float>(camY + std::sin(p));
    }
    if (keys[VK_LEFT]) camYaw -= kCameraTurnDeg;
    if (keys[VK_RIGHT]) camYaw += kCameraTurnDeg;
    if (keys[VK_PRIOR]) camPitch -= kCameraTurnDeg;
    if (keys[VK_NEXT]) camPitch += kCameraTurnDeg;
}

bool HandleWaitingMessage(HandledMessage& handled) {
    handled = HandledMessage{false, 0, false};
    WindowMessage msg;
    if (!PlatformPeekMessage(msg)) return false;
    if (msg.message == WM_QUIT) {
        handled.quit = true;
        return true;
    }
    // Held keys repeat; the player acts on the first press only.
    if (msg.message == WM_KEYDOWN && msg.wParam < 256 && keys[msg.wParam] == 0)
        handled.firstPress = static_cast<unsigned>(msg.wParam);
    handled.activeChanged = msg.message == WM_ACTIVATE;
    WindowProc(msg.message, msg.wParam, msg.lParam);
    return true;
}

bool FrameWanted() {
    if (demoTimeMs > timelineBounds[kTimelineWindows - 1]) {
        quitRequested = true;
        reachedEnd = true;
    }
    if (keys[VK_ESCAPE]) {
        quitRequested = true;
        reachedEnd = false;
        return false;
    }
    return true;
}

bool LoopGoesOn() { return !quitRequested; }

void DrawShowFrame() { RenderFrame(demoTimeMs, frameMs, CurrentCamera()); }

void AdvanceClock(double lastFrameMs) {
    frameMs = lastFrameMs;
    demoTimeMs += lastFrameMs;
}

double MsSinceTick(uint32_t startTick) {
    // Unsigned difference: a frame across the 2^32 wrap still measures its real length.
    return static_cast<double>(static_cast<uint32_t>(GetTickCount() - startTick));
}

void SetClock(double timeMs, double lastFrameMs) {
    demoTimeMs = timeMs;
    frameMs = lastFrameMs;
}

void BeginLoop(double startMs) {
    demoTimeMs = startMs;
    quitRequested = false;
    reachedEnd = false;
}

bool LoopReachedEnd() { return reachedEnd; }

void ResetDemoState() {
    SetClock(0.0, 0.0);
    std::fill(std::begin(keys), std::end(keys), 0);
    active = true;
    lightingOn = 1;
    lightingKeyLatch = 0;
    ResetCamera();
    quitRequested = false;
    reachedEnd = false;
    SetTickSource(nullptr);
    PlatformDiscardMessages();
    ResetFade();
    ResetMeshSpin();
    ResetMusic();
    InitParticles();
    // The first scene lights its logo with whatever material and normal are current: at start-up
    // GL's own.
    static const float kDefaultAmbient[4] = {0.2f, 0.2f, 0.2f, 1.0f};
    static const float kDefaultDiffuse[4] = {0.8f, 0.8f, 0.8f, 1.0f};
    static const float kDefaultSpecularEmission[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, kDefaultAmbient);
    glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, kDefaultDiffuse);
    glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, kDefaultSpecularEmission);
    glMaterialfv(GL_FRONT_AND_BACK, GL_EMISSION, kDefaultSpecularEmission);
    glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, 0.0f);
    glNormal3f(0.0f, 0.0f, 1.0f);
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    glEnable(GL_LIGHTING);
}
