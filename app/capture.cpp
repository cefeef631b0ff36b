// Frame-exact capture: renders the show offscreen with the clock advanced by exactly 1000/fps ms
// per frame and hands every frame of the chosen range to the encoder (a video with the
// soundtrack) or to numbered PNG files. Depends on the capture plan, the read-back, the encoder,
// the offline frame driver and the platform's process-and-system seam.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "app/capture_plan.h"
#include "app/encoder.h"
#include "app/offline.h"
#include "app/output_file.h"
#include "app/readback.h"
#include "app/startup.h"
#include "platform/platform.h"
#include "platform/system.h"
#include "scenes/timeline.h"

// ---- constants ----
static const char* const kSoundtrackPath = "data\\brimvale.mp3";  // as the start-up opens it
static const double kProgressIntervalSec = 0.25;                  // terminal progress refresh
static const double kLogIntervalSec = 10.0;                       // progress lines when stderr is not a terminal
static const int kProgressBarCells = 30;
static const int kExitInterrupted = 130;

// ---- types ----
struct CaptureRun {
    const CapturePlan* plan;
    std::chrono::steady_clock::time_point started;
    int64_t written;
    int64_t musicSeenAt;  // first written frame that saw musicStarted true
    bool stopped;
};

// ---- globals ----
static volatile sig_atomic_t captureStopRequested = 0;  // Ctrl-C or a termination request, read after each frame
static int folderWidth = 0;
static int folderHeight = 0;
static std::string captureFolder;  // PNG folder, with a trailing '/'

// ---- local helpers ----
static std::string FormatClock(double seconds) {
    if (!(seconds >= 0.0) || seconds > 359999.0) return "--:--";
    long s = static_cast<long>(seconds + 0.5);
    char text[32];
    if (s >= 3600)
        snprintf(text, sizeof text, "%ld:%02ld:%02ld", s / 3600, s / 60 % 60, s % 60);
    else
        snprintf(text, sizeof text, "%ld:%02ld", s / 60, s % 60);
    return text;
}

// One progress line on stderr (refreshed a few times a second on a terminal); `last` ends it.
static void ShowProgress(int64_t done, int64_t total, double elapsedSec, bool last) {
    static double shownAt = -1.0;
    static bool terminal = SystemStderrIsTerminal();
    double interval = terminal ? kProgressIntervalSec : kLogIntervalSec;
    if (!last && shownAt >= 0.0 && elapsedSec - shownAt < interval && elapsedSec >= shownAt) return;
    shownAt = last ? -1.0 : elapsedSec;
    double fraction = total > 0 ? static_cast<double>(done) / static_cast<double>(total) : 1.0;
    int cells = static_cast<int>(fraction * kProgressBarCells);
    char bar[kProgressBarCells + 1];
    for (int i = 0; i < kProgressBarCells; ++i) bar[i] = i < cells ? '#' : '-';
    bar[kProgressBarCells] = 0;
    double remaining = done > 0 ? elapsedSec * static_cast<double>(total - done) / static_cast<double>(done) : -1.0;
    fprintf(stderr, "%scapture [%s] %lld/%lld frames  %s elapsed  %s left%s", terminal ? "\r" : "", bar,
            static_cast<long long>(done), static_cast<long long>(total), FormatClock(elapsedSec).c_str(),
            FormatClock(remaining).c_str(), terminal && !last ? "  " : "\n");
    fflush(stderr);
}

static double SecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

static std::string SoundtrackPath() {
    std::string found = ResolveDataPath(kSoundtrackPath);
    return found.empty() ? found : SystemRealPath(found);
}

// ---- sinks ----
static bool WriteVideoFrame(const std::vector<uint8_t>& bgraBottomUp, int64_t) {
    return EncoderWrite(bgraBottomUp.data(), bgraBottomUp.size());
}

static bool WriteFolderFrame(const std::vector<uint8_t>& bgraBottomUp, int64_t frame) {
    // After one failed write the frames still queued are dropped unsaid: one line tells it.
    static bool failedBefore = false;  // the writer thread's own
    if (frame == 0) failedBefore = false;
    if (failedBefore) return false;
    // Same picture as ReadPicture gives: top row first, RGBA, opaque.
    static std::vector<uint8_t> rgba;  // the writer thread's own
    size_t stride = static_cast<size_t>(folderWidth) * 4;
    rgba.resize(bgraBottomUp.size());
    for (int y = 0; y < folderHeight; ++y) {
        const uint8_t* src = &bgraBottomUp[stride * (folderHeight - 1 - y)];
        uint8_t* dst = &rgba[stride * y];
        for (int x = 0; x < folderWidth; ++x, src += 4, dst += 4) {
            dst[0] = src[2];
            dst[1] = src[1];
            dst[2] = src[0];
            dst[3] = 255;
        }
    }
    char name[32];
    snprintf(name, sizeof name, "frame_%06lld.png", static_cast<long long>(frame));
    std::string path = captureFolder + name;
    failedBefore = !WritePng(path.c_str(), rgba, folderWidth, folderHeight);  // a failure says why
    return !failedBefore;
}

// The folder, with audio.txt saying where the soundtrack starts.
static bool PrepareFolder(const DemoOptions& o, const CapturePlan& plan, const std::string& soundtrack) {
    std::error_code error;
    std::filesystem::create_directories(o.captureOut, error);
    if (!std::filesystem::is_directory(o.captureOut)) {
        fprintf(stderr, "capture: cannot create the folder %s\n", o.captureOut.c_str());
        return false;
    }
    folderWidth = o.width;
    folderHeight = o.height;
    captureFolder = o.captureOut;
    if (captureFolder.back() != '/') captureFolder += '/';
    std::string info = "# Start the soundtrack at offset_ms after frame_000000 (negative: that far into the track).\n";
    info += "offset_ms " + (plan.musicFrame >= 0 ? FormatNumber(plan.audioOffsetMs) : std::string("none")) + "\n";
    info += "soundtrack " + (soundtrack.empty() ? std::string("none") : soundtrack) + "\n";
    info += "fps " + FormatNumber(plan.fps) + "\n";
    return WriteWholeFile(captureFolder + "audio.txt", info.data(), info.size());
}

// A request the capture cannot carry out, said before any work; empty when there is none.
static std::string RefusedRequest(const DemoOptions& o, bool video) {
    const std::string& out = o.captureOut;
    char text[160] = "";
    // "clip.mov" is more likely a wish for another container than a folder name.
    if (!video && out.back() != '/' && !std::filesystem::path(out).extension().empty() &&
        !std::filesystem::is_directory(out))
        snprintf(text, sizeof text, "%s: videos are .mp4, .mkv or .webm; a PNG folder is a name without extension",
                 out.c_str());
    else if (video && (o.width % 2 != 0 || o.height % 2 != 0))
        snprintf(text, sizeof text, "a video needs an even width and height (yuv420p); %dx%d is not", o.width,
                 o.height);
    else if (o.toMs >= 0.0 && o.toMs <= o.fromMs)
        snprintf(text, sizeof text, "--to must lie after --from");
    return text;
}

// ---- frame loop ----
static bool CaptureFrame(int index, double, void* user) {
    CaptureRun* run = static_cast<CaptureRun*>(user);
    if (run->musicSeenAt < 0 && musicStarted) run->musicSeenAt = index;
    ReadFrame(run->written++);
    ShowProgress(run->written, FramesToWrite(*run->plan), SecondsSince(run->started), false);
    run->stopped = captureStopRequested || ReadBackFailed();
    return !run->stopped;
}

// ---- module functions ----
int RunCapture(const DemoOptions& o) {
    const bool video = IsVideoName(o.captureOut);
    std::string refused = RefusedRequest(o, video);
    if (!refused.empty()) {
        fprintf(stderr, "capture: %s\n", refused.c_str());
        return 2;
    }
    CapturePlan plan = PlanCapture(o.fps, o.fromMs, o.toMs);
    if (plan.firstWritten > plan.lastRendered) {
        fprintf(stderr, "capture: no frame falls in that range (the show ends at %.0f ms)\n", kDemoEndMs);
        return 2;
    }
    std::string soundtrack = SoundtrackPath();
    if (soundtrack.empty() && plan.musicFrame >= 0)
        fprintf(stderr, "capture: the soundtrack %s is missing; the capture has no sound\n", kSoundtrackPath);
    // The video is encoded under a partial name and moved into place once the encoder ended well.
    DemoOptions encoded = o;
    encoded.captureOut = PartialName(o.captureOut);
    if (video ? !EncoderStart(EncoderArguments(encoded, plan, soundtrack)) : !PrepareFolder(o, plan, soundtrack))
        return 1;

    // A dead encoder shows up as a failed write, not as a signal that ends us.
    captureStopRequested = 0;
    SystemCatchInterrupt(&captureStopRequested);
    StartReadBack(o.width, o.height, video ? WriteVideoFrame : WriteFolderFrame);
    CaptureRun run = {&plan, std::chrono::steady_clock::now(), 0, musicStarted ? 0 : -1, false};
    // The frames before --from are replayed unseen on the capture's own grid.
    RunOfflineFrames(CaptureStep(plan), CaptureFrameMs(plan, plan.lastRendered),
                     FramePlan{{plan.firstWritten, plan.lastRendered}}, CaptureFrame, &run);
    FinishReadBack();
    double elapsed = SecondsSince(run.started);
    ShowProgress(run.written, FramesToWrite(plan), elapsed, true);
    double encoderCpuSec = 0.0;
    bool failed = ReadBackFailed();
    std::string encoderFailure;
    if (video && !EncoderFinish(&encoderCpuSec, encoderFailure)) failed = true;
    SystemRestoreInterrupt();
    // Stopped by Ctrl-C, the encoder still ends the file well: it is playable and kept.
    if (video && failed) {
        DiscardPartial(encoded.captureOut);
        SayNotWritten(o.captureOut,
                      encoderFailure.empty() ? "a frame could not be handed to the encoder" : encoderFailure);
    } else if (video && !CommitPartial(encoded.captureOut, o.captureOut)) {
        failed = true;
    }

    // Music started during the unseen replay is first seen in the first written frame.
    int64_t musicExpected = std::max(plan.musicFrame, plan.firstWritten);
    if (plan.musicFrame >= 0 && run.musicSeenAt >= 0 && run.musicSeenAt != musicExpected)
        fprintf(stderr, "capture: warning: the music started in frame %lld, not %lld as planned\n",
                static_cast<long long>(run.musicSeenAt), static_cast<long long>(musicExpected));
    if (failed) return 1;  // what failed has been said
    double seconds = static_cast<double>(run.written) * plan.stepMs / 1000.0;
    fprintf(stderr, "capture: %s %lld frames (%.2f s at %g fps) to %s\n", run.stopped ? "interrupted; wrote" : "wrote",
            static_cast<long long>(run.written), seconds, o.fps, o.captureOut.c_str());
    // Where the time went: whichever side is near the wall time is the bottleneck.
    fprintf(stderr, "capture: %.1f s wall (%.2fx real time); CPU: renderer %.1f s, encoder %.1f s\n", elapsed,
            elapsed > 0.0 ? seconds / elapsed : 0.0, SystemOwnCpuSeconds(), encoderCpuSec);
    return run.stopped ? kExitInterrupted : 0;
}
