// Offscreen runs at a fixed frame step: shots, capture and the benchmark share one frame driver.
#pragma once
#include <cstdint>
#include <vector>

#include "app/options.h"

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
// The last frame at or before t: what the screen shows at time t.
int64_t FrameAtOrBefore(const FrameStep& step, double t);

// The frames an offline run draws at full size and hands to its callback: ascending, disjoint
// index ranges [first, last]. Every other frame is replayed unseen, making the same GL calls
// with nothing drawn, so the state the show carries from frame to frame (particles, spins, re-seeds,
// fades) moves exactly while hardly anything is drawn. Nothing else is shared between runs, so
// pieces of one long render can run as separate processes.
struct FrameRange {
    int64_t first;
    int64_t last;
};
typedef std::vector<FrameRange> FramePlan;

// Renders the frames at demo times 0, step, 2 step, ... up to the plan's last frame, which
// lands exactly on endMs when the grid passes it, with frameMs set to the previous frame's
// duration, as in a live run. Planned frames are drawn at full size and onFrame(index, time,
// user) is called with each still in the back buffer; returning false stops the run. Unplanned
// frames past the show's end are skipped: the show is plain white there and carries nothing on.
void RunOfflineFrames(const FrameStep& step, double endMs, const FramePlan& plan,
                      bool (*onFrame)(int index, double timeMs, void* user), void* user);
// Every frame up to endMs at full size (the benchmark measures them all).
void RunAllOfflineFrames(const FrameStep& step, double endMs, bool (*onFrame)(int index, double timeMs, void* user),
                         void* user);

// The same runs in pieces, for a caller that must not hold its thread for a whole run (a browser
// tab): each OfflinePiece renders frames for about budgetMs of wall time and is true once the run
// is over. The run refers to its plan, which the caller keeps alive.
struct OfflineRun {
    FrameStep step;
    int64_t lastIndex;  // the run's last frame
    double endMs;       // no frame time lies past it
    const FramePlan* plan;
    bool startsMusic;  // offline runs start it with the title; a live replay leaves it to the loop
    bool (*onFrame)(int, double, void*);
    void (*progress)(double, void*);
    void* user;
    int64_t next = 0;       // the next frame's index
    double previous = 0.0;  // the time of the last frame rendered
    size_t range = 0;       // the plan's range the next frame is looked for from
    bool over = false;
};
OfflineRun StartOfflineRun(const FrameStep& step, double endMs, const FramePlan& plan,
                           bool (*onFrame)(int index, double timeMs, void* user), void* user);
// A replay, unseen, of the frames before untilMs (not the one at untilMs), leaving the music
// alone (a live start enters it at the demo time); progress(doneMs, user), when given, is
// called now and then on the way.
OfflineRun StartReplay(const FrameStep& step, double untilMs, void (*progress)(double doneMs, void* user) = nullptr,
                       void* user = nullptr);
bool OfflinePiece(OfflineRun& run, double budgetMs);
// How far a run has come, 0 to 1.
double OfflineShare(const OfflineRun& run);

// Reads the picture area of the back buffer as RGBA rows, top row first.
void ReadPicture(std::vector<uint8_t>& rgba, int width, int height);
// Writes the picture as a PNG file, whole or not at all; false, with the reason said, on failure.
bool WritePng(const char* path, const std::vector<uint8_t>& rgba, int width, int height);

int RunShot(const DemoOptions& options);
// --shots: one pass at the offline step; each requested time T is written as DIR/T.png from the
// last frame at or before T (multiples of 50 ms fall exactly on frames of the default step).
int RunShots(const DemoOptions& options);
// --shots in pieces (a browser tab): StartShots checks the request and makes the folder (null,
// with the exit status in *status, when it cannot go on); ShotsPiece renders for about budgetMs
// and is true once the run is over, the run freed and the exit status in *status.
struct ShotsRun;
ShotsRun* StartShots(const DemoOptions& options, int* status);
bool ShotsPiece(ShotsRun* run, double budgetMs, int* status);
double ShotsShare(const ShotsRun* run);
int RunCapture(const DemoOptions& options);
int RunBench(const DemoOptions& options);
