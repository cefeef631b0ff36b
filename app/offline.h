// Offscreen runs at a fixed frame step: shots, capture and the benchmark share one frame driver.
#pragma once
#include <cstdint>
#include <vector>

#include "app/options.h"

// Renders frames at demo times 0, step, 2 step, ... and lastly exactly at endMs, with frameMs
// set to the previous frame's duration, so that all carried state evolves as in a live run.
// After each frame onFrame(index, time, user) is called with the frame still in the back
// buffer; returning false stops the run.
// A frame duration as a ratio, so that frame i lands exactly on i * ms / frames (1000 ms over
// 60 frames has no exact double; i * 1000 / 60 is exact wherever the true time is a whole ms).
struct FrameStep {
    double ms;
    double frames;
};
inline double FrameTime(const FrameStep& step, int64_t i) { return static_cast<double>(i) * step.ms / step.frames; }
// --step MS, or exactly 1000/60 ms when none was given.
FrameStep OfflineStep(const DemoOptions& options);
// The first frame whose time reaches t (0 for t at or below 0), in the frame times' own arithmetic.
int64_t FirstFrameAtOrAfter(const FrameStep& step, double t);

void RunOfflineFrames(const FrameStep& step, double endMs, bool (*onFrame)(int index, double timeMs, void* user),
                      void* user);

// The same run cut into pieces, for a caller that must not hold its thread for the whole run (a
// browser tab): each piece renders frames until about budgetMs of wall time has gone.
struct OfflineRun {
    FrameStep step;
    double endMs;
    int64_t next;     // index of the next frame
    double previous;  // time of the last frame rendered
    bool over;
};
OfflineRun StartOfflineRun(const FrameStep& step, double endMs);
// True once the run is over (the end reached, or onFrame said stop).
bool OfflinePiece(OfflineRun& run, double budgetMs, bool (*onFrame)(int index, double timeMs, void* user),
                  void* user);

// Renders the frames of an offline run that come before untilMs (not the one at untilMs) and
// returns the time of the last one rendered (0 when none was).
double ReplayFrames(const FrameStep& step, double untilMs);
// The same in pieces of about budgetMs of wall time; ReplayPiece is true once every frame is done.
struct ReplayRun {
    FrameStep step;
    double untilMs;
    int64_t next;
    double previous;
};
ReplayRun StartReplay(const FrameStep& step, double untilMs);
bool ReplayPiece(ReplayRun& run, double budgetMs);
// How far a run has come, 0 to 1.
double ReplayShare(const ReplayRun& run);

// Reads the picture area of the back buffer as RGBA rows, top row first.
void ReadPicture(std::vector<uint8_t>& rgba, int width, int height);
bool WritePng(const char* path, const std::vector<uint8_t>& rgba, int width, int height);

int RunShot(const DemoOptions& options);
// --shots: one pass at the offline step; each requested time T is written as DIR/T.png from the
// last frame at or before T (multiples of 50 ms fall exactly on frames of the default step).
int RunShots(const DemoOptions& options);
// --shots in pieces (a browser tab): StartShots checks the request and makes the folder (null,
// with the exit status in *status, when it cannot go on); ShotsPiece renders for about budgetMs
// and is true once the run is over, with the exit status in *status.
struct ShotsRun;
ShotsRun* StartShots(const DemoOptions& options, int* status);
bool ShotsPiece(ShotsRun* run, double budgetMs, int* status);
double ShotsShare(const ShotsRun* run);
int RunCapture(const DemoOptions& options);
int RunBench(const DemoOptions& options);
