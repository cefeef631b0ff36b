// Frame renderer and timeline: the white prologue, the 22 windows and their scene selection.
#pragma once

constexpr int kTimelineWindows = 22;
extern const double timelineBounds[kTimelineWindows];  // window ends in ms, ascending
constexpr double kDemoEndMs = 124000.0;

// Draws one frame for demoTimeMs; always returns 1.
int RenderFrame();

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
