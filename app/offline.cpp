// Offscreen frame driver and still shots.
#include "app/offline.h"

#include "platform/gl.h"
#include <stb/stb_image_write.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>

#include "app/output_file.h"
#include "app/shell.h"
#include "app/startup.h"
#include "platform/glext.h"
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

int64_t FrameAtOrBefore(const FrameStep& step, double t) {
    int64_t i = FirstFrameAtOrAfter(step, t);
    return FrameTime(step, i) > t ? i - 1 : i;
}

// One offline frame at time t; previous is the time of the frame before it.
static void RenderOfflineFrame(double t, double previous, bool flush) {
    SetClock(t, t - previous);
    DrawShowFrame();
    // Nothing is presented offline: without a flush the driver would queue the whole run's
    // commands and memory would grow with the demo time.
    if (flush) glFlush();
}

// Unseen frames queue little, and each flush costs a hand-off to the driver's threads: flushing
// every fourth of them took 0.2-0.3 s off the replay to 122 s for 3 MB more at the peak.
static const int kUnseenFramesPerFlush = 4;

// Unseen frames make every GL call of a frame, so all state moves, but draw nothing: what the
// context can discard it discards, and what reaches rasterising meets a one-pixel viewport under
// an empty scissor box (rasterising even one pixel cost a quarter more). The picture's viewport
// and scissor wait on the attribute stack meanwhile.
static void BeginUnseen() {
    GLint viewport[4] = {};
    glGetIntegerv(GL_VIEWPORT, viewport);
    glPushAttrib(GL_VIEWPORT_BIT | GL_SCISSOR_BIT);
    glViewport(viewport[0], viewport[1], 1, 1);
    glScissor(viewport[0], viewport[1], 0, 0);
    glEnable(GL_SCISSOR_TEST);
    DiscardDrawing(true);
}

static void EndUnseen() {
    DiscardDrawing(false);
    glPopAttrib();
}

static double MsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

// The one frame driver of every offline mode and of the live late start, in pieces of about
// budgetMs of wall time (HUGE_VAL: the whole run). Between pieces the GL state is as the run
// found it. True once the run is over.
bool OfflinePiece(OfflineRun& run, double budgetMs) {
    static const FramePlan kNothingShown;
    const FramePlan& plan = run.plan ? *run.plan : kNothingShown;
    auto start = std::chrono::steady_clock::now();
    bool unseen = false;
    while (!run.over && run.next <= run.lastIndex) {
        int64_t i = run.next++;
        // Times come from the frame index, not a running sum, so long runs do not drift.
        double t = std::min(FrameTime(run.step, i), run.endMs);
        while (run.range < plan.size() && plan[run.range].last < i) ++run.range;
        bool shown = run.range < plan.size() && plan[run.range].first <= i;
        if (!shown) {
            // The next frame shown is white past the show's end: nothing carried reaches it.
            double next = run.range < plan.size() ? std::min(FrameTime(run.step, plan[run.range].first), run.endMs) : t;
            if (next > kDemoEndMs) {
                run.previous = t;
                continue;
            }
        }
        if (!shown && !unseen) BeginUnseen();
        if (shown && unseen) EndUnseen();
        unseen = !shown;
        if (run.startsMusic) StartMusicWithTitle(t);
        RenderOfflineFrame(t, run.previous, shown || i % kUnseenFramesPerFlush == 0);
        run.previous = t;
        if (shown && !run.onFrame(static_cast<int>(i), t, run.user)) run.over = true;
        if (run.over) break;
        HandleFrameKeys();
        if (run.progress) {
            // Progress may draw: it gets the picture back.
            if (unseen) EndUnseen();
            unseen = false;
            run.progress(t, run.user);
        }
        if (MsSince(start) >= budgetMs) break;
    }
    if (unseen) EndUnseen();
    if (run.next > run.lastIndex) run.over = true;
    // A piece's drawing is done before its caller goes on, so that its time is the piece's own.
    if (budgetMs < HUGE_VAL) glFinish();
    return run.over;
}

OfflineRun StartOfflineRun(const FrameStep& step, double endMs, const FramePlan& plan,
                           bool (*onFrame)(int, double, void*), void* user) {
    int64_t last = plan.empty() ? -1 : std::min(plan.back().last, FirstFrameAtOrAfter(step, endMs));
    return OfflineRun{step, last, endMs, &plan, true, onFrame, nullptr, user};
}

void RunOfflineFrames(const FrameStep& step, double endMs, const FramePlan& plan, bool (*onFrame)(int, double, void*),
                      void* user) {
    OfflineRun run = StartOfflineRun(step, endMs, plan, onFrame, user);
    OfflinePiece(run, HUGE_VAL);
}

void RunAllOfflineFrames(const FrameStep& step, double endMs, bool (*onFrame)(int, double, void*), void* user) {
    RunOfflineFrames(step, endMs, FramePlan{{0, FirstFrameAtOrAfter(step, endMs)}}, onFrame, user);
}

OfflineRun StartReplay(const FrameStep& step, double untilMs, void (*progress)(double, void*), void* user) {
    return OfflineRun{step, FirstFrameAtOrAfter(step, untilMs) - 1, untilMs, nullptr, false, nullptr, progress, user};
}

double OfflineShare(const OfflineRun& run) {
    return run.lastIndex >= 0 ? std::min(1.0, static_cast<double>(run.next) / static_cast<double>(run.lastIndex + 1))
                              : 1.0;
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

static void AppendBytes(void* context, void* data, int size) {
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    static_cast<std::vector<uint8_t>*>(context)->insert(static_cast<std::vector<uint8_t>*>(context)->end(), bytes,
                                                        bytes + size);
}

bool WritePng(const char* path, const std::vector<uint8_t>& rgba, int width, int height) {
    // Encoded in memory, then written whole or not at all.
    std::vector<uint8_t> png;
    if (stbi_write_png_to_func(AppendBytes, &png, width, height, 4, rgba.data(), width * 4) == 0) {
        SayNotWritten(path, "the PNG could not be encoded");
        return false;
    }
    return WriteWholeFile(path, png.data(), png.size());
}

struct ShotState {
    const DemoOptions* options;
    bool written;
};

static bool ShotFrame(int, double, void* user) {
    ShotState* s = static_cast<ShotState*>(user);
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
    FrameStep step = OfflineStep(options);
    // The frame that reaches the shot's time, which lands exactly on it.
    int64_t frame = FirstFrameAtOrAfter(step, options.shotMs);
    RunOfflineFrames(step, options.shotMs, FramePlan{{frame, frame}}, ShotFrame, &state);
    return state.written ? 0 : 1;  // a failed write has said why
}
