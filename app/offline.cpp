// Offscreen frame driver and still shots.
#include "app/offline.h"

#include "platform/gl.h"
#include <stb/stb_image_write.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>

#include "app/shell.h"
#include "app/startup.h"
#include "scenes/timeline.h"

FrameStep OfflineStep(const DemoOptions& options) {
    return options.stepGiven ? FrameStep{options.stepMs, 1.0} : FrameStep{1000.0, 60.0};
}

int64_t FirstFrameAtOrAfter(const FrameStep& step, double t) {
    // An estimate, then corrected in the same arithmetic as FrameTime.
    int64_t i = std::max<int64_t>(0, static_cast<int64_t>(std::floor(t * step.frames / step.ms)) - 1);
    while (FrameTime(step, i) < t) ++i;
    while (i > 0 && FrameTime(step, i - 1) >= t) --i;
    return i;
}

// One offline frame at time t; previous is the time of the frame before it.
static void RenderOfflineFrame(double t, double previous) {
    frameMs = t - previous;
    demoTimeMs = t;
    RenderFrame(t, frameMs, CurrentCamera());
    // Nothing is presented offline: without a flush the driver would queue the whole run's
    // commands and memory would grow with the demo time.
    glFlush();
}

// Wall time since a piece began, to end it after its budget.
static double MsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

OfflineRun StartOfflineRun(const FrameStep& step, double endMs) { return OfflineRun{step, endMs, 0, 0.0, false}; }

bool OfflinePiece(OfflineRun& run, double budgetMs, bool (*onFrame)(int, double, void*), void* user) {
    auto start = std::chrono::steady_clock::now();
    while (!run.over) {
        int64_t i = run.next++;
        // Times come from the frame index, not a running sum, so long runs do not drift.
        double t = std::min(FrameTime(run.step, i), run.endMs);
        StartMusicWithTitle(t);  // a replay (below) leaves the music to the live loop
        RenderOfflineFrame(t, run.previous);
        run.previous = t;
        if (!onFrame(static_cast<int>(i), t, user)) {
            run.over = true;
        } else {
            HandleFrameKeys();
            run.over = t >= run.endMs;
        }
        if (MsSince(start) >= budgetMs) break;
    }
    return run.over;
}

void RunOfflineFrames(const FrameStep& step, double endMs, bool (*onFrame)(int, double, void*), void* user) {
    OfflineRun run = StartOfflineRun(step, endMs);
    OfflinePiece(run, HUGE_VAL, onFrame, user);
}

ReplayRun StartReplay(const FrameStep& step, double untilMs) { return ReplayRun{step, untilMs, 0, 0.0}; }

bool ReplayPiece(ReplayRun& run, double budgetMs) {
    auto start = std::chrono::steady_clock::now();
    for (;;) {
        double t = FrameTime(run.step, run.next);
        if (t >= run.untilMs) return true;
        RenderOfflineFrame(t, run.previous);
        run.previous = t;
        ++run.next;
        if (MsSince(start) >= budgetMs) return false;
    }
}

double ReplayShare(const ReplayRun& run) {
    return run.untilMs > 0.0 ? std::min(1.0, FrameTime(run.step, run.next) / run.untilMs) : 1.0;
}

double ReplayFrames(const FrameStep& step, double untilMs) {
    ReplayRun run = StartReplay(step, untilMs);
    ReplayPiece(run, HUGE_VAL);
    return run.previous;
}

void ReadPicture(std::vector<uint8_t>& rgba, int width, int height) {
    rgba.assign(static_cast<size_t>(width) * height * 4, 0);
    std::vector<uint8_t> rows(rgba.size());
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadBuffer(GL_BACK);
    glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, rows.data());
    size_t stride = static_cast<size_t>(width) * 4;
    for (int y = 0; y < height; ++y) std::copy_n(&rows[stride * (height - 1 - y)], stride, &rgba[stride * y]);
    // The picture is opaque on screen; the framebuffer's alpha is whatever the blending left.
    for (size_t i = 3; i < rgba.size(); i += 4) rgba[i] = 255;
}

bool WritePng(const char* path, const std::vector<uint8_t>& rgba, int width, int height) {
    return stbi_write_png(path, width, height, 4, rgba.data(), width * 4) != 0;
}

struct ShotState {
    const DemoOptions* options;
    bool written;
};

static bool ShotFrame(int, double t, void* user) {
    ShotState* s = static_cast<ShotState*>(user);
    if (t < s->options->shotMs) return true;
    std::vector<uint8_t> rgba;
    ReadPicture(rgba, s->options->width, s->options->height);
    s->written = WritePng(s->options->shotFile.c_str(), rgba, s->options->width, s->options->height);
    return false;
}

int RunShot(const DemoOptions& options) {
    if (options.shotMs > kDemoEndMs)
        fprintf(stderr, "--shot: %.0f ms is past the end of the show (%.0f ms); the frame is white\n", options.shotMs,
                kDemoEndMs);
    ShotState state = {&options, false};
    RunOfflineFrames(OfflineStep(options), options.shotMs, ShotFrame, &state);
    if (!state.written) {
        fprintf(stderr, "could not write %s\n", options.shotFile.c_str());
        return 1;
    }
    return 0;
}
