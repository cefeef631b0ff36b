// Many stills from one pass over the show: every requested time is written as it is passed, so
// ninety pictures cost one run instead of ninety, and only their frames are drawn in full. The reference frames are
// made this way, by this program on any platform, so that they can be compared with any build's.
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "app/offline.h"

struct ShotsRun {
    const DemoOptions* options;
    FrameStep step;
    size_t next;  // first requested time not yet written
    bool failed;
    FramePlan plan;  // the frames drawn in full
    OfflineRun frames;
};

static bool ShotsFrame(int index, double t, void* user) {
    ShotsRun* run = static_cast<ShotsRun*>(user);
    const std::vector<int64_t>& times = run->options->shotsMs;
    double nextFrame = FrameTime(run->step, index + 1);
    std::vector<uint8_t> rgba;
    // One frame may stand for several requested times when they fall between two frames.
    while (run->next < times.size() && static_cast<double>(times[run->next]) < nextFrame &&
           static_cast<double>(times[run->next]) >= t) {
        if (rgba.empty()) ReadPicture(rgba, run->options->width, run->options->height);
        std::string path = run->options->shotsDir + "/" + std::to_string(times[run->next]) + ".png";
        if (!WritePng(path.c_str(), rgba, run->options->width, run->options->height)) {
            run->failed = true;  // the write has said why
            return false;
        }
        ++run->next;
    }
    return run->next < times.size();
}

ShotsRun* StartShots(const DemoOptions& options, int* status) {
    if (options.shotsMs.empty()) {
        fprintf(stderr, "--shots: no times given\n");
        *status = 2;
        return nullptr;
    }
    std::error_code error;
    std::filesystem::create_directories(options.shotsDir, error);
    if (!std::filesystem::is_directory(options.shotsDir)) {
        fprintf(stderr, "--shots: cannot make the folder %s\n", options.shotsDir.c_str());
        *status = 1;
        return nullptr;
    }
    ShotsRun* run = new ShotsRun{&options, OfflineStep(options), 0, false, {}, {}};
    // Only the frames that stand for a requested time are drawn in full; the rest are replayed.
    for (int64_t ms : options.shotsMs) {
        int64_t frame = FrameAtOrBefore(run->step, static_cast<double>(ms));
        if (run->plan.empty() || run->plan.back().last < frame) run->plan.push_back(FrameRange{frame, frame});
    }
    run->frames = StartOfflineRun(run->step, FrameTime(run->step, run->plan.back().last), run->plan, ShotsFrame, run);
    return run;
}

bool ShotsPiece(ShotsRun* run, double budgetMs, int* status) {
    if (!OfflinePiece(run->frames, budgetMs)) return false;
    *status = 0;
    if (run->failed) {
        *status = 1;
    } else if (run->next < run->options->shotsMs.size()) {
        fprintf(stderr, "--shots: %lld ms was not reached\n", static_cast<long long>(run->options->shotsMs[run->next]));
        *status = 1;
    }
    delete run;
    return true;
}

double ShotsShare(const ShotsRun* run) { return OfflineShare(run->frames); }

int RunShots(const DemoOptions& options) {
    int status = 0;
    ShotsRun* run = StartShots(options, &status);
    if (run) ShotsPiece(run, HUGE_VAL, &status);
    return status;
}
