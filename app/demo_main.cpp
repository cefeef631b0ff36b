// The program's whole life: options, the display-mode question, window, loop, teardown.
#include <cstdio>

#include "app/offline.h"
#include "app/options.h"
#include "app/shell.h"
#include "platform/random.h"

static const char* const kTitle = "Brimvale by Quilon::VOK";
static const int kWidth = 1024;
static const int kHeight = 768;
static const int kColourBits = 32;

int DemoMain(int argc, char** argv) {
    PlatformSetProgramPath(argc > 0 ? argv[0] : nullptr);
    DemoOptions options;
    int early = ParseOptions(argc, argv, options);
    if (early >= 0) return early;
    if (options.seedGiven) FixRandomSeed(options.seed);

    bool headless = IsHeadless(options);
    int width = kWidth, height = kHeight;
    if (headless) {
        platformHeadless = true;
        PlatformUseHeadlessDrivers();
        fullscreen = false;
        width = options.width;
        height = options.height;
    } else if (options.windowed) {
        fullscreen = false;
    } else if (options.forceFullscreen) {
        fullscreen = true;
    } else if (PlatformMessageBox("Fullscreen?", "Select mode", MB_YESNO) == IDNO) {
        fullscreen = false;
    }

    // A refused window class ends quietly; no window or context at all is a real failure.
    if (!CreateDemoWindow(kTitle, width, height, kColourBits, fullscreen)) return windowCreationFailed ? 1 : 0;

    int code = 0;
    if (options.shot)
        code = RunShot(options);
    else if (options.shots)
        code = RunShots(options);
    else if (options.capture)
        code = RunCapture(options);
    else if (options.bench)
        code = RunBench(options);
    else
        RunMainLoop();

    DestroyDemoWindow();
    return code;
}
