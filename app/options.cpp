// Command-line parsing with CLI11.
#include "app/options.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "app/output_file.h"
#include "scenes/timeline.h"

// ---- constants ----
static const int kMinSide = 16;     // px, either side of --size
static const int kMaxSide = 16384;  // px: the largest GL texture and viewport the drivers give
static const double kMinFps = 1.0;
static const double kMaxFps = 1000.0;
static const double kMinStepMs = 0.001;
static const double kMaxStepMs = 1000000.0;

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
    if (a < kMinSide || b < kMinSide || a > kMaxSide || b > kMaxSide) return false;
    w = a;
    h = b;
    return true;
}

// A usage error: one line naming the option, the value given and what is allowed.
static bool Refuse(const char* option, const std::string& value, const std::string& allowed) {
    fprintf(stderr, "%s: '%s' is not allowed; give %s\n", option, value.c_str(), allowed.c_str());
    return false;
}

// A finite number in [lo, hi] (below hi when hiOpen), or a usage error saying what is allowed.
static bool ParseNumber(const char* option, const std::string& text, double lo, double hi, bool hiOpen,
                        const std::string& allowed, double& out) {
    char* end = nullptr;
    double v = strtod(text.c_str(), &end);
    bool ok = !text.empty() && *end == '\0' && std::isfinite(v) && v >= lo && (hiOpen ? v < hi : v <= hi);
    if (!ok) return Refuse(option, text, allowed);
    out = v;
    return true;
}

// A limit as the user would type it: 124000, 0.001, 1000000.
static std::string Figure(double v) {
    char text[32];
    snprintf(text, sizeof text, "%.10g", v);
    return text;
}

// The options that take values: each may be given once.
static const char* const kValueOptions[] = {"--shot", "--shots", "--capture", "--fps",  "--from",
                                            "--to",   "--json",  "--size",    "--step", "--seed"};

// A value option given twice is refused by name rather than by a count of values.
static bool EachGivenOnce(int argc, char** argv) {
    for (const char* name : kValueOptions) {
        int count = 0;
        size_t n = strlen(name);
        for (int i = 1; i < argc; ++i)
            if (strncmp(argv[i], name, n) == 0 && (argv[i][n] == '\0' || argv[i][n] == '=')) ++count;
        if (count > 1) {
            fprintf(stderr, "%s: given %d times; give it once%s\n", name, count,
                    strcmp(name, "--shot") == 0 ? " (for several pictures: --shots T1,T2,... DIR)" : "");
            return false;
        }
    }
    return true;
}

// An output file's folder must exist and take files: its partial file is made and removed.
static bool CheckOutputFile(const char* option, const std::string& file) {
    std::string reason;
    if (CanCreateFile(PartialName(file), reason)) return true;
    fprintf(stderr, "%s: cannot write %s: %s (file outputs need a folder that exists and takes files)\n", option,
            file.c_str(), reason.c_str());
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
    std::string reason = "not a folder";
    if (std::filesystem::is_directory(existing, error) &&
        CanCreateFile((existing / ".brimvale-write-probe").string(), reason))
        return true;
    fprintf(stderr, "%s: cannot make or write the folder %s: %s\n", option, out.c_str(), reason.c_str());
    return false;
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
    // Numbers are taken as text and checked here, so that a refusal names the value and the range.
    std::string size, fps, from, to, step, seed;
    app.allow_windows_style_options(false);
    app.set_version_flag("--version", "Brimvale " BRIMVALE_VERSION);
    app.footer(
        "Folder outputs (--shots DIR, --capture DIR) are created with their parents; file outputs\n"
        "(--shot FILE.png, --capture FILE.mp4/.mkv/.webm, --json FILE) need a folder that exists.\n"
        "Usage errors exit with status 2 before anything is rendered.");
    app.add_flag("--windowed", o.windowed, "Play in a window without asking (1024 x 768, or --size)");
    app.add_flag("--fullscreen", o.forceFullscreen, "Play full screen without asking");
    // One value is taken too, so that a missing second one is refused in words, not by a count.
    app.add_option("--shot", shotArgs, "Render offscreen up to demo time MS and write that frame as PNG")
        ->expected(1, 2)
        ->type_name("MS FILE.png");
    app.add_option("--shots", shotsArgs, "Render offscreen in one pass and write DIR/T.png for each time T (ms)")
        ->expected(1, 2)
        ->type_name("T1,T2,... DIR");
    app.add_option("--capture", o.captureOut, "Render the show offscreen to a video (.mp4/.mkv/.webm) or a PNG folder")
        ->type_name("OUT");
    app.add_flag("--loop", o.loop, "Live: start the show again at its end");
    app.add_option("--fps", fps, "Capture frame rate (1 to 1000, default 60); live: the most frames a second")
        ->type_name("N");
    app.add_option("--from", from, "Live: start at this demo time (ms); capture: first demo time written")
        ->type_name("MS");
    app.add_option("--to", to, "Capture: demo time where writing stops (ms, exclusive)")->type_name("MS");
    app.add_flag("--bench", o.bench, "Measure every frame of the show offscreen and print a table");
    app.add_option("--json", o.jsonFile, "Benchmark: also write the figures as JSON")->type_name("FILE");
    app.add_option("--size", size,
                   "Picture size WxH, 16 to 16384 each (default 1024x768): the live window or the "
                   "offscreen frame")
        ->type_name("WxH");
    app.add_option("--step", step,
                   "Fixed frame duration in ms for --shot, --bench and live --from's replay (default 1000/60)")
        ->type_name("MS");
    app.add_option("--seed", seed, "Fixed random seed (0 to 4294967295) instead of the tick count")->type_name("N");
    if (!EachGivenOnce(argc, argv)) return kUsageStatus;
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        int code = app.exit(e);
        return code == 0 ? 0 : kUsageStatus;  // help is not an error; everything else is usage
    }
    auto given = [&](const char* name) { return app.get_option(name)->count() > 0; };
    if (shotArgs.size() == 1 || shotsArgs.size() == 1) {
        bool shot = shotArgs.size() == 1;
        fprintf(stderr, "%s: given only '%s'; it takes two values, %s\n", shot ? "--shot" : "--shots",
                (shot ? shotArgs : shotsArgs)[0].c_str(), shot ? "MS FILE.png" : "T1,T2,... DIR");
        return kUsageStatus;
    }
    if (!shotArgs.empty()) {
        o.shot = true;
        if (!ParseNumber("--shot", shotArgs[0], 0.0, HUGE_VAL, false, "a demo time in ms, 0 or more", o.shotMs))
            return kUsageStatus;
        o.shotFile = shotArgs[1];
        if (!EndsWithNoCase(o.shotFile, ".png")) {
            Refuse("--shot", o.shotFile, "a file name ending in .png (the picture is written as PNG)");
            return kUsageStatus;
        }
    }
    if (!shotsArgs.empty()) {
        o.shots = true;
        if (!ParseTimes(shotsArgs[0], o.shotsMs)) {
            Refuse("--shots", shotsArgs[0], "whole demo times in ms, 0 or more, separated by commas: 0,2000,2400");
            return kUsageStatus;
        }
        o.shotsDir = shotsArgs[1];
    }
    o.capture = !o.captureOut.empty();
    o.seedGiven = given("--seed");
    o.stepGiven = given("--step");
    o.fpsGiven = given("--fps");
    o.sizeGiven = given("--size");
    const std::string showTimes =
        "a demo time in ms from 0 up to the show's end, " + Figure(kDemoEndMs) + " (exclusive)";
    if (o.fpsGiven && !ParseNumber("--fps", fps, kMinFps, kMaxFps, false,
                                   "frames a second from " + Figure(kMinFps) + " to " + Figure(kMaxFps), o.fps))
        return kUsageStatus;
    if (given("--from") && !ParseNumber("--from", from, 0.0, kDemoEndMs, true, showTimes, o.fromMs))
        return kUsageStatus;
    if (given("--to") && !ParseNumber("--to", to, 0.0, HUGE_VAL, false, "a demo time in ms, 0 or more", o.toMs))
        return kUsageStatus;
    if (o.stepGiven &&
        !ParseNumber("--step", step, kMinStepMs, kMaxStepMs, false,
                     "a frame duration in ms from " + Figure(kMinStepMs) + " to " + Figure(kMaxStepMs), o.stepMs))
        return kUsageStatus;
    if (o.seedGiven) {
        char* end = nullptr;
        unsigned long long v = strtoull(seed.c_str(), &end, 10);
        if (seed.empty() || seed[0] == '-' || *end != '\0' || v > UINT32_MAX) {
            Refuse("--seed", seed, "a whole number from 0 to 4294967295");
            return kUsageStatus;
        }
        o.seed = static_cast<uint32_t>(v);
    }
    if (o.sizeGiven && !ParseSize(size, o.width, o.height)) {
        Refuse("--size", size,
               "WxH with each side from " + std::to_string(kMinSide) + " to " + std::to_string(kMaxSide) +
                   " pixels, e.g. 1024x768");
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
