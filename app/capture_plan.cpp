// Capture plan: the frame range and the soundtrack offset. Depends on the frame times and the
// timeline's end and music window.
#include "app/capture_plan.h"

#include <algorithm>
#include <cstdio>

#include "scenes/timeline.h"

CapturePlan PlanCapture(double fps, double fromMs, double toMs) {
    CapturePlan plan = {};
    plan.fps = fps;
    plan.stepMs = 1000.0 / fps;
    const FrameStep step = CaptureStep(plan);
    // The live loop stops after the first frame begun past the end: that white frame ends it.
    int64_t showLast = FirstFrameAtOrAfter(step, kDemoEndMs);
    while (FrameTime(step, showLast) <= kDemoEndMs) ++showLast;
    plan.firstWritten = FirstFrameAtOrAfter(step, fromMs);
    plan.lastRendered = showLast;
    if (toMs >= 0.0) plan.lastRendered = std::min(showLast, FirstFrameAtOrAfter(step, toMs) - 1);
    int64_t music = FirstFrameAtOrAfter(step, WindowStart(kMusicWindow));
    plan.musicFrame = music <= plan.lastRendered ? music : -1;
    // Counted from the first written frame, in the same exact arithmetic as the frame times.
    if (plan.musicFrame >= 0)
        plan.audioOffsetMs = static_cast<double>(plan.musicFrame - plan.firstWritten) * 1000.0 / fps;
    return plan;
}

std::string FormatNumber(double v) {
    char text[64];
    snprintf(text, sizeof text, "%.3f", v);
    std::string s = text;
    while (s.back() == '0') s.pop_back();
    if (s.back() == '.') s.pop_back();
    if (s == "-0") s = "0";
    return s;
}
