// Command-line options. Without any, the program asks the display-mode question and plays live.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct DemoOptions {
    bool windowed = false;        // --windowed: skip the question, windowed run
    bool forceFullscreen = false;  // --fullscreen: skip the question, full-screen run
    bool shot = false;            // --shot MS FILE
    double shotMs = 0.0;
    std::string shotFile;
    bool shots = false;           // --shots T1,T2,... DIR
    std::vector<int64_t> shotsMs;  // ascending, whole ms
    std::string shotsDir;
    bool capture = false;         // --capture OUT
    std::string captureOut;
    double fps = 60.0;            // --fps N
    double fromMs = 0.0;          // --from MS
    double toMs = -1.0;           // --to MS (negative: the whole show)
    bool bench = false;           // --bench
    std::string jsonFile;         // --json FILE
    int width = 1024;             // --size WxH
    int height = 768;
    double stepMs = 1000.0 / 60.0;  // --step MS
    bool stepGiven = false;
    bool seedGiven = false;       // --seed N
    uint32_t seed = 0;
};

// Parses argv; returns -1 to go on, or the exit code when the program should end now
// (help shown, or an error already reported).
int ParseOptions(int argc, char** argv, DemoOptions& options);

// True for the offscreen modes (shot, shots, capture, benchmark).
inline bool IsHeadless(const DemoOptions& o) { return o.shot || o.shots || o.capture || o.bench; }
