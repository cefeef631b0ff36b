// Offscreen frame driver and still shots.
#include "app/offline.h"

#include "platform/gl.h"
#include <stb/stb_image_write.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "app/output_file.h"
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

int64_t FrameAtOrBefore(const FrameStep& step, double t) {
    int64_t i = FirstFrameAtOrAfter(step, t);
    return FrameTime(step, i) > t ? i - 1 : i;
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

// Unseen frames make every GL call of a frame, so all state moves, but draw nothing: a one-pixel
// viewport under an empty scissor box (rasterising even one pixel cost a quarter more). The
// picture's viewport and scissor wait on the attribute stack meanwhile.
static void BeginUnseen() {
    GLint viewport[4] = {};
    glGetIntegerv(GL_VIEWPORT, viewport);
    glPushAttrib(GL_VIEWPORT_BIT | GL_SCISSOR_BIT);
    glViewport(viewport[0], viewport[1], 1, 1);
    glScissor(viewport[0], viewport[1], 0, 0);
    glEnable(GL_SCISSOR_TEST);
}

struct FrameDrive {
    FrameStep step;
    int64_t lastIndex;  // the run's last frame
    double endMs;       // no frame time lies past it
    const FramePlan* plan;
    bool startsMusic;  // offline runs start it with the title; a live replay leaves it to the loop
    bool (*onFrame)(int, double, void*);
    void (*progress)(double, void*);
    void* user;
};

// The one frame driver of every offline mode and of the live late start. Returns the time of
// the last frame it rendered.
static double DriveFrames(const FrameDrive& d) {
    static const FramePlan kNothingShown;
    const FramePlan& plan = d.plan ? *d.plan : kNothingShown;
    double previous = 0.0;
    size_t range = 0;
    bool unseen = false;
    for (int64_t i = 0; i <= d.lastIndex; ++i) {
        // Times come from the frame index, not a running sum, so long runs do not drift.
        double t = std::min(FrameTime(d.step, i), d.endMs);
        while (range < plan.size() && plan[range].last < i) ++range;
        bool shown = range < plan.size() && plan[range].first <= i;
        if (!shown) {
            // The next frame shown is white past the show's end: nothing carried reaches it.
            double next = range < plan.size() ? std::min(FrameTime(d.step, plan[range].first), d.endMs) : t;
            if (next > kDemoEndMs) {
                previous = t;
                continue;
            }
        }
        if (!shown && !unseen) BeginUnseen();
        if (shown && unseen) glPopAttrib();
        unseen = !shown;
        if (d.startsMusic) StartMusicWithTitle(t);
        RenderOfflineFrame(t, previous);
        previous = t;
        if (shown && !d.onFrame(static_cast<int>(i), t, d.user)) break;
        HandleFrameKeys();
        if (d.progress) d.progress(t, d.user);
    }
    if (unseen) glPopAttrib();
    return previous;
}

void RunOfflineFrames(const FrameStep& step, double endMs, const FramePlan& plan, bool (*onFrame)(int, double, void*),
                      void* user) {
    if (plan.empty()) return;
    int64_t last = std::min(plan.back().last, FirstFrameAtOrAfter(step, endMs));
    DriveFrames(FrameDrive{step, last, endMs, &plan, true, onFrame, nullptr, user});
}

void RunAllOfflineFrames(const FrameStep& step, double endMs, bool (*onFrame)(int, double, void*), void* user) {
    RunOfflineFrames(step, endMs, FramePlan{{0, FirstFrameAtOrAfter(step, endMs)}}, onFrame, user);
}

double ReplayFrames(const FrameStep& step, double untilMs, void (*progress)(double, void*), void* user) {
    return DriveFrames(
        FrameDrive{step, FirstFrameAtOrAfter(step, untilMs) - 1, untilMs, nullptr, false, nullptr, progress, user});
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
