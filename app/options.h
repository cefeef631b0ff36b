// Command-line options. Without any, the program asks the display-mode question and plays live.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// The show's own window: its title, and the size it is made for (full screen sets this mode).
constexpr const char* kShowTitle = "Brimvale by Quilon::VOK";
constexpr int kShowWidth = 1024;
constexpr int kShowHeight = 768;
constexpr int kShowColourBits = 32;

struct DemoOptions {
    bool windowed = false;         // --windowed: skip the question, windowed run
    bool forceFullscreen = false;  // --fullscreen: skip the question, full-screen run
    bool shot = false;             // --shot MS FILE
    double shotMs = 0.0;
    std::string shotFile;
    bool shots = false;            // --shots T1,T2,... DIR
    std::vector<int64_t> shotsMs;  // ascending, whole ms
    std::string shotsDir;
    bool capture = false;  // --capture OUT
    std::string captureOut;
    double fps = 60.0;  // --fps N (capture rate; live: a cap on the frame rate)
    bool fpsGiven = false;
    double fromMs = 0.0;   // --from MS
    double toMs = -1.0;    // --to MS (negative: the whole show)
    bool bench = false;    // --bench
    std::string jsonFile;  // --json FILE
    int width = kShowWidth;  // --size WxH
    int height = kShowHeight;
    double stepMs = 1000.0 / 60.0;  // --step MS
    bool stepGiven = false;
    bool seedGiven = false;  // --seed N
    uint32_t seed = 0;
    bool loop = false;  // --loop: live play starts again at the end
    bool sizeGiven = false;
};

// The exit status of every usage error (bad or misplaced option, unusable output path).
constexpr int kUsageStatus = 2;
// Live play with no display to play on.
constexpr int kNoDisplayStatus = 3;

// Parses argv and checks that every option applies to the chosen mode and that output paths
// can be written; returns -1 to go on, or the exit code when the program should end now (help
// shown, or a usage error already reported: kUsageStatus).
int ParseOptions(int argc, char** argv, DemoOptions& options);

// True for the offscreen modes (shot, shots, capture, benchmark).
inline bool IsHeadless(const DemoOptions& o) { return o.shot || o.shots || o.capture || o.bench; }
