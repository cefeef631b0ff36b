// Benchmark: renders every frame of the show offscreen at a fixed step, finishing each one so
// that its whole cost is measured, and reports per timeline window against the floor (the bare
// white prologue past the end). Start-up is timed over fresh copies of the program, from their
// spawn to their first finished frame. Depends on the offline frame driver and the timeline.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/offline.h"
#include "app/output_file.h"
#include "platform/gl.h"
#include "platform/platform.h"
#include "platform/system.h"
#include "scenes/timeline.h"

// ---- constants ----
static const int kFloorFrames = 60;                             // white frames rendered past the end of the show
static const int kStartupProbes = 5;                            // fresh processes timed for the start-up figure
static const char* const kProbeEnv = "BRIMVALE_STARTUP_PROBE";  // set only in those probes
static const double kMicrosPerMs = 1000.0;
static const double kBytesPerMb = 1024.0 * 1024.0;

// ---- types ----
typedef std::chrono::steady_clock BenchClock;

// One start-up probe, split where the program can see it.
struct StartupSample {
    double totalMs;    // spawn to the first finished frame
    double loadingMs;  // exec and dynamic loading, before static initialisers
    double setUpMs;    // options, window, GL context and scene start-up
    double frameMs;    // the first frame itself (first-use shader compiles included)
};

// ---- globals ----
// As early as this program can look at a clock: static initialisation, before main.
static const BenchClock::time_point processSeenAt = BenchClock::now();
static BenchClock::time_point benchEnteredAt;  // RunBench called: everything set up

struct BenchRun {
    std::vector<std::vector<double>> frameMsByWindow;  // [0] past the end, [k] window k
    std::vector<std::vector<double>> cpuMsByWindow;    // the same frames' CPU time on this thread
    BenchClock::time_point frameStart;
    double frameCpuStart;  // this thread's CPU seconds when the frame began
    int64_t totalFrames;
    bool probe;  // a start-up probe: report the first frame on stdout and stop
};

// ---- local helpers ----
static double Percentile(std::vector<double> v, double p) {
    if (v.empty()) return 0.0;
    std::sort(v.begin(), v.end());
    size_t rank = static_cast<size_t>(std::ceil(p * static_cast<double>(v.size())));
    return v[std::min(v.size(), std::max<size_t>(rank, 1)) - 1];
}

static double Median(std::vector<double> v) {
    if (v.empty()) return 0.0;
    std::sort(v.begin(), v.end());
    size_t n = v.size();
    return n % 2 ? v[n / 2] : 0.5 * (v[n / 2 - 1] + v[n / 2]);
}

static bool BenchFrame(int index, double t, void* user) {
    BenchRun* run = static_cast<BenchRun*>(user);
    // The live loop presents every frame; finishing it makes the cost real, not queued.
    PlatformSwapBuffers();
    glFinish();
    BenchClock::time_point now = BenchClock::now();
    if (run->probe) {
        printf("%.4f %.4f\n", std::chrono::duration<double, std::milli>(benchEnteredAt - processSeenAt).count(),
               std::chrono::duration<double, std::milli>(now - benchEnteredAt).count());
        fflush(stdout);
        return false;
    }
    double ms = std::chrono::duration<double, std::micro>(now - run->frameStart).count() / kMicrosPerMs;
    run->frameMsByWindow[TimelineWindow(t)].push_back(ms);
    // What the frame cost this thread (the program, the GL layer and whatever the driver does on
    // the caller's thread), without the waits: the figure a slower processor would scale.
    double cpu = SystemThreadCpuSeconds();
    run->cpuMsByWindow[TimelineWindow(t)].push_back((cpu - run->frameCpuStart) * 1000.0);
    ++run->totalFrames;
    (void)index;
    run->frameStart = BenchClock::now();
    run->frameCpuStart = SystemThreadCpuSeconds();
    return true;
}

// Spawns this program once more as a start-up probe and times it from the spawn to its first
// finished frame; false on failure.
static bool ProbeStartup(const DemoOptions& o, StartupSample& sample) {
    std::string exe = SystemExecutablePath();
    if (exe.empty()) return false;
    char size[32];
    snprintf(size, sizeof size, "%dx%d", o.width, o.height);
    std::vector<std::string> args = {exe, "--bench", "--size", size};
    ChildProcess probe;
    std::string error;
    BenchClock::time_point start = BenchClock::now();
    if (SystemSpawn(args, ChildPipe::FromStdout, 0, probe, error) != SpawnResult::Started) return false;
    char report[96] = {};
    long n = SystemRead(probe, report, sizeof report - 1);
    sample.totalMs = std::chrono::duration<double, std::milli>(BenchClock::now() - start).count();
    bool ok = n > 0 && sscanf(report, "%lf %lf", &sample.setUpMs, &sample.frameMs) == 2;
    sample.loadingMs = sample.totalMs - sample.setUpMs - sample.frameMs;
    ChildEnd end;
    SystemWait(probe, end);
    return ok;
}

static void PrintRow(FILE* f, const char* name, const char* span, const std::vector<double>& ms, double floorMs) {
    double median = Median(ms);
    fprintf(f, "%-6s %-15s %7zu %9.3f %9.3f %9.3f %8.2f\n", name, span, ms.size(), median, Percentile(ms, 0.95),
            ms.empty() ? 0.0 : *std::max_element(ms.begin(), ms.end()), floorMs > 0.0 ? median / floorMs : 0.0);
}

// printf into a growing text: the JSON is made whole in memory, then written whole or not at all.
static void Appendf(std::string& out, const char* format, ...) {
    char line[512];
    va_list args;
    va_start(args, format);
    vsnprintf(line, sizeof line, format, args);
    va_end(args);
    out += line;
}

static void JsonRow(std::string& f, int window, const std::vector<double>& ms, const std::vector<double>& cpuMs,
                    double floorMs) {
    double median = Median(ms);
    Appendf(f,
            "{\"window\": %d, \"frames\": %zu, \"median_ms\": %.6f, \"p95_ms\": %.6f, \"max_ms\": %.6f, "
            "\"ratio_to_floor\": %.6f, \"cpu_median_ms\": %.6f, \"cpu_p95_ms\": %.6f, \"cpu_max_ms\": %.6f}",
            window, ms.size(), median, Percentile(ms, 0.95), ms.empty() ? 0.0 : *std::max_element(ms.begin(), ms.end()),
            floorMs > 0.0 ? median / floorMs : 0.0, Median(cpuMs), Percentile(cpuMs, 0.95),
            cpuMs.empty() ? 0.0 : *std::max_element(cpuMs.begin(), cpuMs.end()));
}

// ---- module functions ----
int RunBench(const DemoOptions& o) {
    BenchRun run;
    run.frameMsByWindow.assign(kTimelineWindows + 1, std::vector<double>());
    run.cpuMsByWindow.assign(kTimelineWindows + 1, std::vector<double>());
    run.frameCpuStart = SystemThreadCpuSeconds();
    run.totalFrames = 0;
    run.probe = false;
    benchEnteredAt = BenchClock::now();
    if (getenv(kProbeEnv)) {
        run.probe = true;
        RunAllOfflineFrames(OfflineStep(o), 0.0, BenchFrame, &run);
        return 0;
    }

    double loadBefore = SystemLoadAverage();
    std::vector<double> startups, loading, setUp, firstFrame;
    SystemSetEnv(kProbeEnv, "1", true);  // the probes inherit it
    for (int i = 0; i < kStartupProbes; ++i) {
        StartupSample sample = {};
        if (!ProbeStartup(o, sample)) continue;
        startups.push_back(sample.totalMs);
        loading.push_back(sample.loadingMs);
        setUp.push_back(sample.setUpMs);
        firstFrame.push_back(sample.frameMs);
    }
    SystemUnsetEnv(kProbeEnv);
    if (startups.empty()) fprintf(stderr, "bench: the start-up probes failed\n");

    // Every frame of the show, then kFloorFrames white ones past its end.
    FrameStep step = OfflineStep(o);
    int64_t lastIndex = FirstFrameAtOrAfter(step, kDemoEndMs) + kFloorFrames - 1;
    fprintf(stderr, "bench: %lld frames at %dx%d, step %.3f ms\n", static_cast<long long>(lastIndex + 1), o.width,
            o.height, o.stepMs);
    BenchClock::time_point started = BenchClock::now();
    run.frameStart = started;
    run.frameCpuStart = SystemThreadCpuSeconds();
    RunAllOfflineFrames(step, FrameTime(step, lastIndex), BenchFrame, &run);
    double wallSec = std::chrono::duration<double>(BenchClock::now() - started).count();

    double peakMb = SystemPeakMemoryBytes() / kBytesPerMb;
    double fps = wallSec > 0.0 ? static_cast<double>(run.totalFrames) / wallSec : 0.0;
    double startupMs = Median(startups);
    const std::vector<double>& floorFrames = run.frameMsByWindow[0];
    double floorMs = Median(floorFrames);

    printf("Brimvale benchmark: %dx%d, step %.3f ms, %lld frames\n", o.width, o.height, o.stepMs,
           static_cast<long long>(run.totalFrames));
    printf("%-6s %-15s %7s %9s %9s %9s %8s\n", "window", "span ms", "frames", "median", "p95", "max", "x floor");
    for (int k = 1; k <= kTimelineWindows; ++k) {
        char name[16], span[32];
        snprintf(name, sizeof name, "%d", k);
        snprintf(span, sizeof span, "%.0f-%.0f", WindowStart(k), timelineBounds[k - 1]);
        PrintRow(stdout, name, span, run.frameMsByWindow[k], floorMs);
    }
    PrintRow(stdout, "floor", "past the end", floorFrames, floorMs);
    printf(
        "start-up %.1f ms (median of %zu, spawn to first finished frame: loading %.1f, set-up %.1f, "
        "first frame %.1f)\n",
        startupMs, startups.size(), Median(loading), Median(setUp), Median(firstFrame));
    double loadAfter = SystemLoadAverage();
    printf("peak memory %.1f MB, %.1f frames/s over %.1f s; load average %.2f before, %.2f after\n", peakMb, fps,
           wallSec, loadBefore, loadAfter);

    if (o.jsonFile.empty()) return 0;
    std::string f;
    Appendf(f, "{\n  \"width\": %d,\n  \"height\": %d,\n  \"step_ms\": %.6f,\n", o.width, o.height, o.stepMs);
    Appendf(f, "  \"startup_ms\": %.3f,\n  \"peak_rss_mb\": %.3f,\n  \"fps\": %.3f,\n", startupMs, peakMb, fps);
    Appendf(f, "  \"load_average\": [%.2f, %.2f],\n", loadBefore, loadAfter);
    Appendf(f, "  \"startup_parts_ms\": {\"loading\": %.3f, \"set_up\": %.3f, \"first_frame\": %.3f},\n",
            Median(loading), Median(setUp), Median(firstFrame));
    Appendf(f, "  \"windows\": [\n");
    for (int k = 1; k <= kTimelineWindows; ++k) {
        Appendf(f, "    ");
        JsonRow(f, k, run.frameMsByWindow[k], run.cpuMsByWindow[k], floorMs);
        f += k < kTimelineWindows ? ",\n" : "\n";
    }
    Appendf(f, "  ],\n  \"floor\": ");
    JsonRow(f, 0, floorFrames, run.cpuMsByWindow[0], floorMs);
    Appendf(f, "\n}\n");
    if (!WriteWholeFile(o.jsonFile, f.data(), f.size())) return 1;  // it has said why
    return 0;
}
