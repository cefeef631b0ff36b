// The program's whole life: options, the display-mode question, window, loop, teardown.
#include "app/demo_main.h"

#include <cstdio>

#include "app/messages.h"
#include "app/offline.h"
#include "app/options.h"
#include "app/player.h"
#include "app/shell.h"
#include "platform/random.h"

int DemoMain(int argc, char** argv) {
    PlatformSetProgramPath(argc > 0 ? argv[0] : nullptr);
    DemoOptions options;
    int early = ParseOptions(argc, argv, options);
    if (early >= 0) return early;
    if (options.seedGiven) FixRandomSeed(options.seed);

    bool headless = IsHeadless(options);
    int width = options.width, height = options.height;
    // Any window or frame shape shows the picture at its own aspect, with black bars.
    PlatformSetPictureAspect(kShowWidth, kShowHeight);
    if (headless) {
        PlatformUseHeadlessDrivers();
        fullscreen = false;
    } else if (!PlatformOpenDisplay()) {
        fprintf(stderr,
                "brimvale: no display to play on (DISPLAY and WAYLAND_DISPLAY unset or not answering); "
                "use --capture, --shot, or ./play\n");
        return kNoDisplayStatus;
    } else if (options.windowed) {
        fullscreen = false;
    } else if (options.forceFullscreen) {
        fullscreen = true;
    } else if (ShowMessage(Message::AskFullscreen) == IDNO) {
        fullscreen = false;
    }

    // A refused window class ends quietly; no window or context at all is a real failure.
    // Full screen shows the show's own mode in the desktop; --size shapes a window.
    if (fullscreen) {
        width = kShowWidth;
        height = kShowHeight;
    }
    if (!CreateDemoWindow(kShowTitle, width, height, kShowColourBits, fullscreen)) return windowFailureStatus;

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
        code = RunLive(options);

    DestroyDemoWindow();
    return code;
}
