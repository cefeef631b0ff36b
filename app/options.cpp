// Command-line parsing with CLI11.
#include "app/options.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

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

int ParseOptions(int argc, char** argv, DemoOptions& o) {
    CLI::App app{"Brimvale - a real-time demo. Without options it asks for the display mode and plays."};
    std::vector<std::string> shotArgs;
    std::vector<std::string> shotsArgs;
    std::string size;
    app.add_flag("--windowed", o.windowed, "Play in a 1024 x 768 window without asking");
    app.add_flag("--fullscreen", o.forceFullscreen, "Play full screen without asking");
    app.add_option("--shot", shotArgs, "Render offscreen up to demo time MS and write that frame as PNG")
        ->expected(2)->type_name("MS FILE");
    app.add_option("--shots", shotsArgs, "Render offscreen in one pass and write DIR/T.png for each time T (ms)")
        ->expected(2)->type_name("T1,T2,... DIR");
    app.add_option("--capture", o.captureOut, "Render the show offscreen to a video (.mp4/.mkv/.webm) or a PNG folder");
    app.add_option("--fps", o.fps, "Capture frame rate")->check(CLI::Range(1.0, 1000.0));
    app.add_option("--from", o.fromMs, "Capture: first demo time written (ms)")->check(CLI::NonNegativeNumber);
    app.add_option("--to", o.toMs, "Capture: demo time where writing stops (ms, exclusive)");
    app.add_flag("--bench", o.bench, "Measure every frame of the show offscreen and print a table");
    app.add_option("--json", o.jsonFile, "Benchmark: also write the figures as JSON");
    app.add_option("--size", size, "Offscreen picture size, WxH (default 1024x768)");
    app.add_option("--step", o.stepMs, "Offscreen frame duration in ms (default 1000/60)")
        ->check(CLI::Range(0.001, 1000000.0));
    auto* stepOpt = app.get_option("--step");
    auto* seedOpt = app.add_option("--seed", o.seed, "Fixed random seed instead of the tick count");
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        return app.exit(e);
    }
    if (!shotArgs.empty()) {
        o.shot = true;
        try {
            o.shotMs = std::stod(shotArgs[0]);
        } catch (...) {
            fprintf(stderr, "--shot: '%s' is not a time in ms\n", shotArgs[0].c_str());
            return 2;
        }
        o.shotFile = shotArgs[1];
    }
    if (!shotsArgs.empty()) {
        o.shots = true;
        if (!ParseTimes(shotsArgs[0], o.shotsMs)) {
            fprintf(stderr, "--shots: '%s' is not a list of times in whole ms, e.g. 0,2000,2400\n", shotsArgs[0].c_str());
            return 2;
        }
        o.shotsDir = shotsArgs[1];
    }
    o.capture = !o.captureOut.empty();
    o.seedGiven = seedOpt->count() > 0;
    o.stepGiven = stepOpt->count() > 0;
    if (!size.empty() && !ParseSize(size, o.width, o.height)) {
        fprintf(stderr, "--size: expected WxH, e.g. 1024x768\n");
        return 2;
    }
    if ((o.shot ? 1 : 0) + (o.shots ? 1 : 0) + (o.capture ? 1 : 0) + (o.bench ? 1 : 0) > 1) {
        fprintf(stderr, "--shot, --shots, --capture and --bench exclude one another\n");
        return 2;
    }
    if (o.windowed && o.forceFullscreen) {
        fprintf(stderr, "--windowed and --fullscreen exclude one another\n");
        return 2;
    }
    return -1;
}
