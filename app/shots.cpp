// Many stills from one pass over the show: every requested time is written as it is passed, so
// ninety pictures cost one run instead of ninety, and only their frames are drawn in full. The reference frames are
// made this way, by this program on any platform, so that they can be compared with any build's.
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

int RunShots(const DemoOptions& options) {
    if (options.shotsMs.empty()) {
        fprintf(stderr, "--shots: no times given\n");
        return 2;
    }
    std::error_code error;
    std::filesystem::create_directories(options.shotsDir, error);
    if (!std::filesystem::is_directory(options.shotsDir)) {
        fprintf(stderr, "--shots: cannot make the folder %s\n", options.shotsDir.c_str());
        return 1;
    }
    ShotsRun run = {&options, OfflineStep(options), 0, false};
    // Only the frames that stand for a requested time are drawn in full; the rest are replayed.
    FramePlan plan;
    for (int64_t ms : options.shotsMs) {
        int64_t frame = FrameAtOrBefore(run.step, static_cast<double>(ms));
        if (plan.empty() || plan.back().last < frame) plan.push_back(FrameRange{frame, frame});
    }
    RunOfflineFrames(run.step, FrameTime(run.step, plan.back().last), plan, ShotsFrame, &run);
    if (run.failed) return 1;
    if (run.next < options.shotsMs.size()) {
        fprintf(stderr, "--shots: %lld ms was not reached\n", static_cast<long long>(options.shotsMs[run.next]));
        return 1;
    }
    return 0;
}
