// Video encoder: ffmpeg's arguments and its process, behind the platform's child-process seam.
// Depends on the capture plan and ffmpeg on PATH.
#include "app/encoder.h"

#include <cstdio>
#include <cstring>

#include "platform/system.h"

// ---- constants ----
static const char* const kFfmpeg = "ffmpeg";
static const char* const kVideoCrf = "18";            // x264: visually lossless for flat demo colours
static const char* const kVideoPreset = "superfast";  // 60 fps stays faster than real time on 2 cores
static const char* const kVp9Crf = "32";
static const char* const kAacBitrate = "192k";
static const char* const kOpusBitrate = "160k";
static const int kPipeBytes = 1 << 20;  // the usual limit for unprivileged pipes

// ---- globals ----
static ChildProcess encoder;  // with the pipe into its stdin

// ---- module functions ----
std::vector<std::string> EncoderArguments(const DemoOptions& o, const CapturePlan& plan,
                                          const std::string& soundtrack) {
    bool webm = EndsWithNoCase(o.captureOut, ".webm");
    bool withAudio = !soundtrack.empty() && plan.musicFrame >= 0;
    double audioOffsetMs = plan.audioOffsetMs;
    char size[32];
    snprintf(size, sizeof size, "%dx%d", o.width, o.height);
    // -xerror: a failed write of the file (a full disk, say) is a failure, not a note and exit 0.
    std::vector<std::string> a = {
        kFfmpeg,       "-hide_banner", "-nostdin",   "-nostats",          "-loglevel", "error",
        "-xerror",     "-y",           "-f",         "rawvideo",          "-pix_fmt",  "bgra",
        "-video_size", size,           "-framerate", FormatNumber(o.fps), "-i",        "pipe:0"};
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
        a.insert(a.end(), {"-c:v", "libvpx-vp9", "-crf", kVp9Crf, "-b:v", "0", "-deadline", "realtime", "-cpu-used",
                           "8", "-row-mt", "1"});
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
    if (EndsWithNoCase(o.captureOut, ".mp4")) a.insert(a.end(), {"-movflags", "+faststart"});
    a.push_back(o.captureOut);
    return a;
}

bool EncoderStart(const std::vector<std::string>& args) {
    std::string error;
    SpawnResult started = SystemSpawn(args, ChildPipe::ToStdin, kPipeBytes, encoder, error);
    if (started == SpawnResult::NotFound) {
        fprintf(stderr, "capture: %s\n  (or capture PNG frames to a folder instead: --capture FOLDER)\n",
                SystemFfmpegHint());
        return false;
    }
    if (started != SpawnResult::Started) {
        fprintf(stderr, "capture: cannot start ffmpeg: %s\n", error.c_str());
        return false;
    }
    return true;
}

bool EncoderWrite(const void* data, size_t size) { return SystemWriteAll(encoder, data, size); }

bool EncoderFinish(double* cpuSec, std::string& failure) {
    ChildEnd end;
    char text[96] = "ffmpeg could not be waited for";
    if (SystemWait(encoder, end)) {
        if (cpuSec) *cpuSec = end.cpuSec;
        if (end.exited && end.status == 0) return true;
        if (end.exited)
            snprintf(text, sizeof text, "ffmpeg failed with exit status %d (its reason is above)", end.status);
        else
            snprintf(text, sizeof text, "ffmpeg was ended by signal %d", end.signal);
    }
    failure = text;
    return false;
}
