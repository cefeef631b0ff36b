// Command-line parsing with CLI11.
#include "app/options.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "scenes/timeline.h"

// "T1,T2,..." in whole milliseconds, 0 or more, returned in ascending order without repeats.
static bool ParseTimes(const std::string& text, std::vector<int64_t>& times) {
    times.clear();
    size_t at = 0;
    while (at <= text.size()) {
        size_t comma = text.find(',', at);
        std::string item = text.substr(at, comma == std::string::npos ? std::string::npos : comma - at);
        char* end = nullptr;
        long long t = strtoll(item.c_str(), &end, 10);
        if (item.empty() || *end != '\0' || t < 0) return false;
        times.push_back(t);
        if (comma == std::string::npos) break;
        at = comma + 1;
    }
    std::sort(times.begin(), times.end());
    times.erase(std::unique(times.begin(), times.end()), times.end());
    return !times.empty();
}

static bool ParseSize(const std::string& text, int& w, int& h) {
    int a = 0, b = 0;
    char x = 0, extra = 0;
    if (sscanf(text.c_str(), "%d%c%d%c", &a, &x, &b, &extra) != 3 || (x != 'x' && x != 'X')) return false;
    if (a < 16 || b < 16 || a > 16384 || b > 16384) return false;
    w = a;
    h = b;
    return true;
}

// True when a file can be made in folder (it must exist): a probe file is made and removed.
static bool FolderWritable(const std::filesystem::path& folder) {
    std::error_code error;
    if (!std::filesystem::is_directory(folder, error)) return false;
    std::filesystem::path probe = folder / ".brimvale-write-probe";
    {
        std::ofstream out(probe);
        if (!out) return false;
    }
    std::filesystem::remove(probe, error);
    return true;
}

// An output file's folder must exist and take files.
static bool CheckOutputFile(const char* option, const std::string& file) {
    std::filesystem::path folder = std::filesystem::path(file).parent_path();
    if (folder.empty()) folder = ".";
    if (FolderWritable(folder)) return true;
    fprintf(stderr, "%s: cannot write %s: the folder %s does not exist or is not writable\n", option, file.c_str(),
            folder.string().c_str());
    return false;
}

// A frame folder may be made by the capture; the nearest folder that exists must take files.
static bool CheckOutputFolder(const char* option, const std::string& out) {
    std::error_code error;
    std::filesystem::path folder = std::filesystem::path(out);
    if (std::filesystem::exists(folder, error) && !std::filesystem::is_directory(folder, error)) {
        fprintf(stderr, "%s: %s exists and is not a folder\n", option, out.c_str());
        return false;
    }
    std::filesystem::path existing = std::filesystem::absolute(folder, error);
    while (!existing.empty() && !std::filesystem::exists(existing, error)) {
        if (existing == existing.parent_path()) break;
        existing = existing.parent_path();
    }
    if (FolderWritable(existing)) return true;
    fprintf(stderr, "%s: cannot make or write the folder %s\n", option, out.c_str());
    return false;
}

static bool IsVideoName(const std::string& out) {
    std::string ext = std::filesystem::path(out).extension().string();
    return ext == ".mp4" || ext == ".mkv" || ext == ".webm";
}

// Every option belongs to some modes; one given where it has no effect is an error, not ignored.
struct OptionUse {
    const char* name;
    bool live, shot, capture, bench;
};
static const OptionUse kOptionUses[] = {
    {"--windowed", true, false, false, false}, {"--fullscreen", true, false, false, false},
    {"--loop", true, false, false, false},     {"--from", true, false, true, false},
    {"--fps", true, false, true, false},       {"--to", false, false, true, false},
    {"--json", false, false, false, true},     {"--step", true, true, false, true},
};

int ParseOptions(int argc, char** argv, DemoOptions& o) {
    CLI::App app{"Brimvale - a real-time demo. Without options it asks for the display mode and plays."};
    std::vector<std::string> shotArgs;
    std::vector<std::string> shotsArgs;
    std::string size;
    app.allow_windows_style_options(false);
    app.set_version_flag("--version", "Brimvale " BRIMVALE_VERSION);
    app.add_flag("--windowed", o.windowed, "Play in a window without asking (1024 x 768, or --size)");
    app.add_flag("--fullscreen", o.forceFullscreen, "Play full screen without asking");
    app.add_option("--shot", shotArgs, "Render offscreen up to demo time MS and write that frame as PNG")
        ->expected(2)
        ->type_name("MS FILE");
    app.add_option("--shots", shotsArgs, "Render offscreen in one pass and write DIR/T.png for each time T (ms)")
        ->expected(2)
        ->type_name("T1,T2,... DIR");
    app.add_option("--capture", o.captureOut, "Render the show offscreen to a video (.mp4/.mkv/.webm) or a PNG folder");
    app.add_flag("--loop", o.loop, "Live: start the show again at its end");
    app.add_option("--fps", o.fps, "Capture frame rate; live: the most frames a second")
        ->check(CLI::Range(1.0, 1000.0));
    app.add_option("--from", o.fromMs, "Live: start at this demo time (ms); capture: first demo time written")
        ->check(CLI::NonNegativeNumber);
    app.add_option("--to", o.toMs, "Capture: demo time where writing stops (ms, exclusive)");
    app.add_flag("--bench", o.bench, "Measure every frame of the show offscreen and print a table");
    app.add_option("--json", o.jsonFile, "Benchmark: also write the figures as JSON");
    app.add_option("--size", size, "Picture size WxH (default 1024x768): the live window or the offscreen frame");
    app.add_option("--step", o.stepMs,
                   "Fixed frame duration in ms for --shot, --bench and live --from's replay (default 1000/60)")
        ->check(CLI::Range(0.001, 1000000.0));
    auto* stepOpt = app.get_option("--step");
    auto* seedOpt = app.add_option("--seed", o.seed, "Fixed random seed instead of the tick count");
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        int code = app.exit(e);
        return code == 0 ? 0 : kUsageStatus;  // help is not an error; everything else is usage
    }
    if (!shotArgs.empty()) {
        o.shot = true;
        try {
            o.shotMs = std::stod(shotArgs[0]);
        } catch (...) {
            fprintf(stderr, "--shot: '%s' is not a time in ms\n", shotArgs[0].c_str());
            return kUsageStatus;
        }
        o.shotFile = shotArgs[1];
        if (!(o.shotMs >= 0.0) || !std::isfinite(o.shotMs)) {
            fprintf(stderr, "--shot: the time must be 0 or more\n");
            return kUsageStatus;
        }
    }
    if (!shotsArgs.empty()) {
        o.shots = true;
        if (!ParseTimes(shotsArgs[0], o.shotsMs)) {
            fprintf(stderr, "--shots: '%s' is not a list of times in whole ms, e.g. 0,2000,2400\n",
                    shotsArgs[0].c_str());
            return kUsageStatus;
        }
        o.shotsDir = shotsArgs[1];
    }
    o.capture = !o.captureOut.empty();
    o.seedGiven = seedOpt->count() > 0;
    o.stepGiven = stepOpt->count() > 0;
    o.fpsGiven = app.get_option("--fps")->count() > 0;
    o.sizeGiven = !size.empty();
    if (!size.empty() && !ParseSize(size, o.width, o.height)) {
        fprintf(stderr, "--size: expected WxH, e.g. 1024x768\n");
        return kUsageStatus;
    }
    if ((o.shot ? 1 : 0) + (o.shots ? 1 : 0) + (o.capture ? 1 : 0) + (o.bench ? 1 : 0) > 1) {
        fprintf(stderr, "--shot, --shots, --capture and --bench exclude one another\n");
        return kUsageStatus;
    }
    if (o.windowed && o.forceFullscreen) {
        fprintf(stderr, "--windowed and --fullscreen exclude one another\n");
        return kUsageStatus;
    }
    bool live = !IsHeadless(o);
    for (const OptionUse& use : kOptionUses) {
        if (app.get_option(use.name)->count() == 0) continue;
        bool still = o.shot || o.shots;  // one still or many: the same offline pass
        if ((live && use.live) || (still && use.shot) || (o.capture && use.capture) || (o.bench && use.bench)) continue;
        const char* mode = o.shot      ? "--shot"
                           : o.shots   ? "--shots"
                           : o.capture ? "--capture"
                           : o.bench   ? "--bench"
                                       : "live play";
        fprintf(stderr, "%s does not apply to %s (see --help)\n", use.name, mode);
        return kUsageStatus;
    }
    if (live && o.fromMs >= kDemoEndMs) {
        fprintf(stderr, "--from: the show ends at %.0f ms\n", kDemoEndMs);
        return kUsageStatus;
    }
    if (o.shot && !CheckOutputFile("--shot", o.shotFile)) return kUsageStatus;
    if (o.shots && !CheckOutputFolder("--shots", o.shotsDir)) return kUsageStatus;
    if (o.bench && !o.jsonFile.empty() && !CheckOutputFile("--json", o.jsonFile)) return kUsageStatus;
    if (o.capture) {
        bool ok = IsVideoName(o.captureOut) ? CheckOutputFile("--capture", o.captureOut)
                                            : CheckOutputFolder("--capture", o.captureOut);
        if (!ok) return kUsageStatus;
    }
    return -1;
}
