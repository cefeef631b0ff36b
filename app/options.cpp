// Command-line parsing with CLI11.
#include "app/options.h"

#include <CLI/CLI.hpp>

#include <cstdio>

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
    app.allow_windows_style_options(false);  // "/shots/x.png" is a path, not an option, on every system
    std::vector<std::string> shotArgs;
    std::string size;
    app.add_flag("--windowed", o.windowed, "Play in a 1024 x 768 window without asking");
    app.add_flag("--fullscreen", o.forceFullscreen, "Play full screen without asking");
    app.add_option("--shot", shotArgs, "Render offscreen up to demo time MS and write that frame as PNG")
        ->expected(2)->type_name("MS FILE");
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
    o.capture = !o.captureOut.empty();
    o.seedGiven = seedOpt->count() > 0;
    o.stepGiven = stepOpt->count() > 0;
    if (!size.empty() && !ParseSize(size, o.width, o.height)) {
        fprintf(stderr, "--size: expected WxH, e.g. 1024x768\n");
        return 2;
    }
    if ((o.shot ? 1 : 0) + (o.capture ? 1 : 0) + (o.bench ? 1 : 0) > 1) {
        fprintf(stderr, "--shot, --capture and --bench exclude one another\n");
        return 2;
    }
    if (o.windowed && o.forceFullscreen) {
        fprintf(stderr, "--windowed and --fullscreen exclude one another\n");
        return 2;
    }
    return -1;
}
