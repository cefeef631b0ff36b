// Frame-exact capture: renders the show offscreen with the clock advanced by exactly 1000/fps ms
// per frame and hands every frame of the chosen range to ffmpeg (a video with the soundtrack) or
// to numbered PNG files. Depends on the offline frame driver, the timeline (where the music
// starts), the platform's GL entry points for pixel-buffer read-back, and ffmpeg on PATH.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/offline.h"
#include "app/startup.h"
#include "platform/glext.h"
#include "platform/platform.h"
#include "platform/system.h"
#include "scenes/timeline.h"

// ---- constants ----
static const char* const kSoundtrackPath = "data\\brimvale.mp3";  // as the start-up opens it
static const char* const kFfmpeg = "ffmpeg";
static const int kFrameBuffers = 3;              // frames in flight between renderer and writer
static const double kProgressIntervalSec = 0.25;  // terminal progress refresh
static const double kLogIntervalSec = 10.0;       // progress lines when stderr is not a terminal
static const int kProgressBarCells = 30;
static const char* const kVideoCrf = "18";        // x264: visually lossless for flat demo colours
static const char* const kVideoPreset = "superfast";  // 60 fps stays faster than real time on 2 cores
static const char* const kVp9Crf = "32";
static const char* const kAacBitrate = "192k";
static const char* const kOpusBitrate = "160k";
static const int kExitInterrupted = 130;
static const int kPipeBytes = 1 << 20;            // the usual limit for unprivileged pipes

// ---- types ----
enum class CaptureKind { Video, Folder };

struct WriterJob {
    int buffer;     // index into writerBuffers
    int64_t frame;  // number of the written frame, from 0
};

// ---- globals ----
static volatile sig_atomic_t captureStopRequested = 0;  // set on Ctrl-C or a termination request, read after each frame

static CaptureKind captureKind = CaptureKind::Video;
static int captureWidth = 0;
static int captureHeight = 0;
static std::string captureFolder;   // PNG folder, with a trailing '/'
static ChildProcess ffmpeg;         // with the pipe into its stdin
static double encoderCpuSec = 0.0;  // ffmpeg's CPU time, for the summary

// Writer thread: takes finished frames (bottom row first, BGRA) and feeds ffmpeg or PNG files.
static std::vector<std::vector<uint8_t>> writerBuffers;
static std::deque<int> freeBuffers;
static std::deque<WriterJob> pendingJobs;
static std::mutex writerMutex;
static std::condition_variable writerWake;
static bool writerClosing = false;
static bool writerFailed = false;

// Pixel-buffer pair: the frame just rendered is read into one while the other is drained.
static bool usePixelBuffers = false;
static GLuint pixelBuffers[2] = {0, 0};
static int64_t pendingReadFrame = -1;  // written-frame number waiting in a pixel buffer

// ---- plan ----
CapturePlan PlanCapture(double fps, double fromMs, double toMs) {
    CapturePlan plan = {};
    plan.fps = fps;
    plan.stepMs = 1000.0 / fps;
    auto timeOf = [&](int64_t i) { return CaptureFrameMs(plan, i); };
    // First index whose time reaches t: an estimate, then corrected in the same arithmetic.
    auto firstAtOrAfter = [&](double t) {
        int64_t i = std::max<int64_t>(0, static_cast<int64_t>(std::floor(t / plan.stepMs)) - 1);
        while (timeOf(i) < t) ++i;
        while (i > 0 && timeOf(i - 1) >= t) --i;
        return i;
    };
    // The live loop stops after the first frame begun past the end: that white frame ends it.
    int64_t showLast = firstAtOrAfter(kDemoEndMs);
    while (timeOf(showLast) <= kDemoEndMs) ++showLast;
    plan.firstWritten = firstAtOrAfter(fromMs);
    plan.lastRendered = showLast;
    if (toMs >= 0.0) plan.lastRendered = std::min(showLast, firstAtOrAfter(toMs) - 1);
    int64_t music = firstAtOrAfter(WindowStart(kMusicWindow));
    plan.musicFrame = (music <= plan.lastRendered && TimelineWindow(timeOf(music)) == kMusicWindow) ? music : -1;
    return plan;
}

// ---- local helpers ----
static bool EndsWith(const std::string& s, const char* suffix) {
    size_t n = strlen(suffix);
    if (s.size() < n) return false;
    for (size_t i = 0; i < n; ++i)
        if (tolower(static_cast<unsigned char>(s[s.size() - n + i])) != suffix[i]) return false;
    return true;
}

// Millisecond figures to the microsecond, without trailing zeros ("-500", "1033.333").
static std::string FormatNumber(double v) {
    char text[64];
    snprintf(text, sizeof text, "%.3f", v);
    std::string s = text;
    while (s.back() == '0') s.pop_back();
    if (s.back() == '.') s.pop_back();
    if (s == "-0") s = "0";
    return s;
}

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

static bool WriteFolderFrame(const std::vector<uint8_t>& bgraBottomUp, int64_t frame, std::vector<uint8_t>& rgba) {
    // Same picture as ReadPicture gives: top row first, RGBA, opaque.
    size_t stride = static_cast<size_t>(captureWidth) * 4;
    rgba.resize(bgraBottomUp.size());
    for (int y = 0; y < captureHeight; ++y) {
        const uint8_t* src = &bgraBottomUp[stride * (captureHeight - 1 - y)];
        uint8_t* dst = &rgba[stride * y];
        for (int x = 0; x < captureWidth; ++x, src += 4, dst += 4) {
            dst[0] = src[2];
            dst[1] = src[1];
            dst[2] = src[0];
            dst[3] = 255;
        }
    }
    char name[32];
    snprintf(name, sizeof name, "frame_%06lld.png", static_cast<long long>(frame));
    std::string path = captureFolder + name;
    if (WritePng(path.c_str(), rgba, captureWidth, captureHeight)) return true;
    fprintf(stderr, "capture: cannot write %s\n", path.c_str());
    return false;
}

static void WriterLoop() {
    std::vector<uint8_t> scratch;
    for (;;) {
        WriterJob job;
        {
            std::unique_lock<std::mutex> lock(writerMutex);
            writerWake.wait(lock, [] { return !pendingJobs.empty() || writerClosing; });
            if (pendingJobs.empty()) return;
            job = pendingJobs.front();
            pendingJobs.pop_front();
        }
        const std::vector<uint8_t>& pixels = writerBuffers[job.buffer];
        bool ok = captureKind == CaptureKind::Video ? SystemWriteAll(ffmpeg, pixels.data(), pixels.size())
                                                    : WriteFolderFrame(pixels, job.frame, scratch);
        {
            std::lock_guard<std::mutex> lock(writerMutex);
            if (!ok) writerFailed = true;
            freeBuffers.push_back(job.buffer);
        }
        writerWake.notify_all();
    }
}

static int TakeFreeBuffer() {
    std::unique_lock<std::mutex> lock(writerMutex);
    writerWake.wait(lock, [] { return !freeBuffers.empty(); });
    int b = freeBuffers.front();
    freeBuffers.pop_front();
    return b;
}

static void QueueFrame(int buffer, int64_t frame) {
    {
        std::lock_guard<std::mutex> lock(writerMutex);
        pendingJobs.push_back({buffer, frame});
    }
    writerWake.notify_all();
}

static bool WriterFailed() {
    std::lock_guard<std::mutex> lock(writerMutex);
    return writerFailed;
}

// Hands the frame waiting in a pixel buffer to the writer.
static void DrainPixelBuffer() {
    if (pendingReadFrame < 0) return;
    int buffer = TakeFreeBuffer();
    glBindBufferPtr(GL_PIXEL_PACK_BUFFER, pixelBuffers[pendingReadFrame % 2]);
    const void* mapped = glMapBufferPtr(GL_PIXEL_PACK_BUFFER, GL_READ_ONLY);
    bool copied = mapped != nullptr;
    if (copied) {
        memcpy(writerBuffers[buffer].data(), mapped, writerBuffers[buffer].size());
        copied = glUnmapBufferPtr(GL_PIXEL_PACK_BUFFER) == GL_TRUE;
    }
    glBindBufferPtr(GL_PIXEL_PACK_BUFFER, 0);
    if (copied) {
        QueueFrame(buffer, pendingReadFrame);
    } else {
        // The back buffer already holds the next frame: stop rather than write a wrong one.
        fprintf(stderr, "\ncapture: frame %lld could not be read back\n", static_cast<long long>(pendingReadFrame));
        std::lock_guard<std::mutex> lock(writerMutex);
        writerFailed = true;
        freeBuffers.push_back(buffer);
    }
    pendingReadFrame = -1;
}

static void ReadFrame(int64_t frame) {
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadBuffer(GL_BACK);
    if (!usePixelBuffers) {
        int buffer = TakeFreeBuffer();
        glReadPixels(0, 0, captureWidth, captureHeight, GL_BGRA, GL_UNSIGNED_BYTE, writerBuffers[buffer].data());
        QueueFrame(buffer, frame);
        return;
    }
    // Start this frame's read, then drain the previous one while the read runs.
    glBindBufferPtr(GL_PIXEL_PACK_BUFFER, pixelBuffers[frame % 2]);
    glReadPixels(0, 0, captureWidth, captureHeight, GL_BGRA, GL_UNSIGNED_BYTE, nullptr);
    glBindBufferPtr(GL_PIXEL_PACK_BUFFER, 0);
    DrainPixelBuffer();
    pendingReadFrame = frame;
}

static void StartReadBack(size_t frameBytes) {
    usePixelBuffers = LoadPixelBufferFunctions();
    if (usePixelBuffers) {
        glGenBuffersPtr(2, pixelBuffers);
        for (GLuint b : pixelBuffers) {
            glBindBufferPtr(GL_PIXEL_PACK_BUFFER, b);
            glBufferDataPtr(GL_PIXEL_PACK_BUFFER, static_cast<GLsizeiptr>(frameBytes), nullptr, GL_STREAM_READ);
        }
        glBindBufferPtr(GL_PIXEL_PACK_BUFFER, 0);
    }
    pendingReadFrame = -1;
    writerBuffers.assign(kFrameBuffers, std::vector<uint8_t>(frameBytes));
    freeBuffers.clear();
    for (int i = 0; i < kFrameBuffers; ++i) freeBuffers.push_back(i);
    pendingJobs.clear();
    writerClosing = false;
    writerFailed = false;
}

static void FinishReadBack(std::thread& writer) {
    if (usePixelBuffers) {
        DrainPixelBuffer();
        glDeleteBuffersPtr(2, pixelBuffers);
    }
    {
        std::lock_guard<std::mutex> lock(writerMutex);
        writerClosing = true;
    }
    writerWake.notify_all();
    writer.join();
}

// ---- soundtrack ----
static std::string SoundtrackPath() {
    std::string found = ResolveDataPath(kSoundtrackPath);
    if (found.empty()) return found;
    return SystemRealPath(found);
}

// ---- ffmpeg ----
static std::vector<std::string> FfmpegArguments(const DemoOptions& o, const CapturePlan& plan,
                                                const std::string& soundtrack, double audioOffsetMs) {
    bool webm = EndsWith(o.captureOut, ".webm");
    bool withAudio = !soundtrack.empty() && plan.musicFrame >= 0;
    char size[32];
    snprintf(size, sizeof size, "%dx%d", o.width, o.height);
    std::vector<std::string> a = {kFfmpeg, "-hide_banner", "-nostdin", "-nostats", "-loglevel", "error", "-y",
                                  "-f", "rawvideo", "-pix_fmt", "bgra", "-video_size", size,
                                  "-framerate", FormatNumber(o.fps), "-i", "pipe:0"};
    if (withAudio) {
        // Past the music's start the track is entered part-way, so that it stays in sync.
        char seek[64];
        snprintf(seek, sizeof seek, "%.6f", -audioOffsetMs / 1000.0);
        if (audioOffsetMs < 0.0) a.insert(a.end(), {"-ss", seek});
        a.insert(a.end(), {"-i", soundtrack});
    }
    // Read-back rows are bottom-up; BT.709 stated explicitly so players do not guess.
    a.insert(a.end(), {"-map", "0:v:0", "-vf", "vflip,scale=out_color_matrix=bt709:out_range=tv,format=yuv420p",
                       "-colorspace", "bt709", "-color_primaries", "bt709", "-color_trc", "bt709"});
    if (webm)
        a.insert(a.end(), {"-c:v", "libvpx-vp9", "-crf", kVp9Crf, "-b:v", "0", "-deadline", "realtime",
                           "-cpu-used", "8", "-row-mt", "1"});
    else
        a.insert(a.end(), {"-c:v", "libx264", "-preset", kVideoPreset, "-crf", kVideoCrf});
    if (withAudio) {
        // Silence before the music rather than a shifted stream: every player keeps it in sync.
        // apad plus -shortest: the video's length decides, whatever the track's length.
        std::string filter = "apad";
        if (audioOffsetMs > 0.0) filter = "adelay=delays=" + FormatNumber(audioOffsetMs) + ":all=1,apad";
        a.insert(a.end(), {"-map", "1:a:0", "-af", filter, "-shortest"});
        if (webm)
            a.insert(a.end(), {"-c:a", "libopus", "-b:a", kOpusBitrate});
        else
            a.insert(a.end(), {"-c:a", "aac", "-b:a", kAacBitrate});
    }
    if (EndsWith(o.captureOut, ".mp4")) a.insert(a.end(), {"-movflags", "+faststart"});
    a.push_back(o.captureOut);
    return a;
}

// Starts ffmpeg reading raw frames from a pipe; false (with the reason printed) if it cannot.
static bool StartFfmpeg(const std::vector<std::string>& args) {
    std::string error;
    SpawnResult started = SystemSpawn(args, ChildPipe::ToStdin, kPipeBytes, ffmpeg, error);
    if (started == SpawnResult::NotFound) {
        fprintf(stderr,
                "capture: ffmpeg was not found on PATH; video capture needs it.\n"
                "  Install it with:  sudo apt-get install ffmpeg\n"
                "  (on Windows: ffmpeg.exe from ffmpeg.org/download.html, on PATH or beside brimvale.exe)\n"
                "  (or capture PNG frames to a folder instead: --capture FOLDER)\n");
        return false;
    }
    if (started != SpawnResult::Started) {
        fprintf(stderr, "capture: cannot start ffmpeg: %s\n", error.c_str());
        return false;
    }
    return true;
}

static bool FinishFfmpeg() {
    ChildEnd end;
    if (!SystemWait(ffmpeg, end)) return false;
    encoderCpuSec = end.cpuSec;
    if (end.exited && end.status == 0) return true;
    if (end.exited)
        fprintf(stderr, "capture: ffmpeg failed with exit status %d\n", end.status);
    else
        fprintf(stderr, "capture: ffmpeg was ended by signal %d\n", end.signal);
    return false;
}

// ---- folder ----
static bool PrepareFolder(const std::string& out, const CapturePlan& plan, const std::string& soundtrack,
                          double audioOffsetMs) {
    std::error_code error;
    std::filesystem::create_directories(out, error);
    if (!std::filesystem::is_directory(out)) {
        fprintf(stderr, "capture: cannot create the folder %s\n", out.c_str());
        return false;
    }
    captureFolder = out;
    if (captureFolder.back() != '/') captureFolder += '/';
    std::string info = captureFolder + "audio.txt";
    FILE* f = fopen(info.c_str(), "w");
    if (!f) {
        fprintf(stderr, "capture: cannot write %s\n", info.c_str());
        return false;
    }
    fprintf(f, "# Start the soundtrack at offset_ms after frame_000000 (negative: that far into the track).\n");
    if (plan.musicFrame >= 0)
        fprintf(f, "offset_ms %s\n", FormatNumber(audioOffsetMs).c_str());
    else
        fprintf(f, "offset_ms none\n");
    fprintf(f, "soundtrack %s\n", soundtrack.empty() ? "none" : soundtrack.c_str());
    fprintf(f, "fps %s\n", FormatNumber(plan.fps).c_str());
    return fclose(f) == 0;
}

// ---- progress ----
void ShowProgress(const char* label, int64_t done, int64_t total, double elapsedSec, bool last) {
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
    fprintf(stderr, "%s%s [%s] %lld/%lld frames  %s elapsed  %s left%s", terminal ? "\r" : "", label, bar,
            static_cast<long long>(done), static_cast<long long>(total), FormatClock(elapsedSec).c_str(),
            FormatClock(remaining).c_str(), terminal && !last ? "  " : "\n");
    fflush(stderr);
}

// ---- frame loop ----
struct CaptureRun {
    const CapturePlan* plan;
    std::chrono::steady_clock::time_point started;
    int64_t rendered;
    int64_t written;
    int64_t musicSeenAt;  // frame in which musicStarted turned true
    bool stopped;
};

static bool CaptureFrame(int index, double, void* user) {
    CaptureRun* run = static_cast<CaptureRun*>(user);
    run->rendered = index + 1;
    if (run->musicSeenAt < 0 && musicStarted) run->musicSeenAt = index;
    if (index >= run->plan->firstWritten) {
        ReadFrame(run->written);
        ++run->written;
    }
    double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - run->started).count();
    ShowProgress("capture", run->rendered, run->plan->lastRendered + 1, elapsed, false);
    if (captureStopRequested || WriterFailed()) {
        run->stopped = true;
        return false;
    }
    return true;
}

int RunCapture(const DemoOptions& o) {
    std::string out = o.captureOut;
    captureKind = (EndsWith(out, ".mp4") || EndsWith(out, ".mkv") || EndsWith(out, ".webm")) ? CaptureKind::Video
                                                                                            : CaptureKind::Folder;
    // "clip.mov" is more likely a wish for another container than a folder name.
    if (captureKind == CaptureKind::Folder && out.back() != '/' && !std::filesystem::path(out).extension().empty() &&
        !std::filesystem::is_directory(out)) {
        fprintf(stderr, "capture: %s: videos are .mp4, .mkv or .webm; a PNG folder is a name without extension\n",
                out.c_str());
        return 2;
    }
    if (captureKind == CaptureKind::Video && (o.width % 2 != 0 || o.height % 2 != 0)) {
        fprintf(stderr, "capture: a video needs an even width and height (yuv420p); %dx%d is not\n", o.width, o.height);
        return 2;
    }
    if (o.toMs >= 0.0 && o.toMs <= o.fromMs) {
        fprintf(stderr, "capture: --to must lie after --from\n");
        return 2;
    }
    CapturePlan plan = PlanCapture(o.fps, o.fromMs, o.toMs);
    if (plan.firstWritten > plan.lastRendered) {
        fprintf(stderr, "capture: no frame falls in that range (the show ends at %.0f ms)\n", kDemoEndMs);
        return 2;
    }
    // Counted from the first written frame, in the same exact arithmetic as the frame times.
    double audioOffsetMs = 0.0;
    if (plan.musicFrame >= 0) audioOffsetMs = static_cast<double>(plan.musicFrame - plan.firstWritten) * 1000.0 / o.fps;
    std::string soundtrack = SoundtrackPath();
    if (soundtrack.empty() && plan.musicFrame >= 0)
        fprintf(stderr, "capture: the soundtrack %s is missing; the capture has no sound\n", kSoundtrackPath);

    captureWidth = o.width;
    captureHeight = o.height;
    if (captureKind == CaptureKind::Video) {
        if (!StartFfmpeg(FfmpegArguments(o, plan, soundtrack, audioOffsetMs))) return 1;
    } else if (!PrepareFolder(out, plan, soundtrack, audioOffsetMs)) {
        return 1;
    }

    // A dead ffmpeg shows up as a failed write, not as a signal that ends us.
    captureStopRequested = 0;
    SystemCatchInterrupt(&captureStopRequested);

    StartReadBack(static_cast<size_t>(o.width) * o.height * 4);
    std::thread writer(WriterLoop);
    CaptureRun run = {&plan, std::chrono::steady_clock::now(), 0, 0, musicStarted ? 0 : -1, false};
    FrameStep step = {1000.0, plan.fps};
    RunOfflineFrames(step, FrameTime(step, plan.lastRendered), CaptureFrame, &run);
    FinishReadBack(writer);
    double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - run.started).count();
    ShowProgress("capture", run.rendered, plan.lastRendered + 1, elapsed, true);

    bool failed = WriterFailed();
    if (captureKind == CaptureKind::Video && !FinishFfmpeg()) failed = true;
    SystemRestoreInterrupt();

    if (plan.musicFrame >= 0 && run.musicSeenAt >= 0 && run.musicSeenAt != plan.musicFrame)
        fprintf(stderr, "capture: warning: the music started in frame %lld, not %lld as planned\n",
                static_cast<long long>(run.musicSeenAt), static_cast<long long>(plan.musicFrame));
    if (failed) {
        fprintf(stderr, "capture: %s is incomplete\n", out.c_str());
        return 1;
    }
    double seconds = static_cast<double>(run.written) * plan.stepMs / 1000.0;
    fprintf(stderr, "capture: %s %lld frames (%.2f s at %g fps) to %s\n", run.stopped ? "interrupted; wrote" : "wrote",
            static_cast<long long>(run.written), seconds, o.fps, out.c_str());
    // Where the time went: whichever side is near the wall time is the bottleneck.
    fprintf(stderr, "capture: %.1f s wall (%.2fx real time); CPU: renderer %.1f s, encoder %.1f s\n", elapsed,
            elapsed > 0.0 ? seconds / elapsed : 0.0, SystemOwnCpuSeconds(), encoderCpuSec);
    return run.stopped ? kExitInterrupted : 0;
}
