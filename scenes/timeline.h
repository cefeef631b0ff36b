// Frame renderer and timeline: the white prologue, the 22 windows and their scene selection.
#pragma once

constexpr int kTimelineWindows = 22;
extern const double timelineBounds[kTimelineWindows];  // window ends in ms, ascending
constexpr double kDemoEndMs = 124000.0;
constexpr int kMusicWindow = 2;  // the title: the soundtrack starts with its first frame

// The free camera as the shell hands it to each frame: position, angles in degrees.
struct CameraPose {
    float x, y, z;
    float roll, yaw, pitch;
};

// Draws one frame of the show at demo time timeMs: the white prologue, the camera, and the scene
// of the window that holds timeMs, handed the time, its window's start, r and frameMs (the
// previous frame's duration, which moves the particles). Always returns 1. The defaults are a
// frame at rest seen through the untouched camera.
int RenderFrame(double timeMs, double frameMs = 0.0, const CameraPose& camera = CameraPose{});
// Applies the free camera to the current matrix: roll, yaw, pitch, then the position.
void ApplyCamera(float x, float y, float z, float roll, float yaw, float pitch);

// The window (1..22) that contains t, or 0 when none does (negative, NaN, or past the end).
int TimelineWindow(double t);
// Progress within window k for time t, formed in double and stored as float.
float SceneT(int k, double t);
// Start of window k in ms.
double WindowStart(int k);

// 1 if sin(x) > 0, -1 if < 0, 0 otherwise (zero or NaN).
int SineSign(double x);
// x - floor(x).
double Frac(double x);
