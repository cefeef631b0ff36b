// Which frames a capture renders and writes, and where the soundtrack goes: plain arithmetic on
// frame indices, no GL and no files.
#pragma once
#include <cstdint>
#include <string>

#include "app/offline.h"

// Frame i is rendered at demo time i * 1000 / fps. Frames before firstWritten are replayed unseen
// (the carried state needs them) and not written.
struct CapturePlan {
    double fps;
    double stepMs;         // 1000 / fps
    int64_t firstWritten;  // first frame at or after --from
    int64_t lastRendered;  // last frame before --to, or the white frame past the show's end
    int64_t musicFrame;    // frame the music starts in (as the loop starts it), -1 if none rendered
    double audioOffsetMs;  // music start after the first written frame; negative: that far into the track
};
CapturePlan PlanCapture(double fps, double fromMs, double toMs);
inline FrameStep CaptureStep(const CapturePlan& plan) { return FrameStep{1000.0, plan.fps}; }
inline int64_t FramesToWrite(const CapturePlan& plan) { return plan.lastRendered - plan.firstWritten + 1; }
inline double CaptureFrameMs(const CapturePlan& plan, int64_t i) { return FrameTime(CaptureStep(plan), i); }

// Millisecond figures to the microsecond, without trailing zeros ("-500", "1033.333").
std::string FormatNumber(double v);
