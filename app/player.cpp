// Live player on the desktop: its own loop and clock (the tick count around render and
// present), frame pacing, a late start with its progress line, and looping. The rules it shares
// with the page come from app/live.h; the steps of a frame from the shell.
#include "app/player.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <thread>

#include "app/live.h"
#include "app/offline.h"
#include "app/shell.h"
#include "platform/gl.h"
#include "platform/platform.h"
#include "render/font.h"

// ---- constants ----
static const double kDefaultRefreshHz = 60.0;
static const double kUnpacedShare = 0.5;       // frames this much shorter than the period are unpaced
static const double kPacedShare = 0.8;         // frames this long are paced by the display itself
static const int kFramesToDecide = 8;          // consecutive frames before pacing changes
static const double kCatchUpRedrawMs = 250.0;  // a late start's progress line, redrawn this often

// ---- globals ----
double paceFpsCap = 0.0;    // --fps in live play
bool pacingActive = false;  // the loop waits out the frame period itself

using Clock = std::chrono::steady_clock;
static Clock::time_point lastPresent;  // end of the previous paced frame
static bool havePresent = false;
static int fastFrames = 0;  // consecutive frames far shorter than the period
static int slowFrames = 0;  // consecutive frames of about the period or longer
static bool liveWaiting = false;  // the last iteration found the show held

// ---- pacing ----
void PaceFrame() {
    Clock::time_point now = Clock::now();
    if (!havePresent) {
        lastPresent = now;
        havePresent = true;
        return;
    }
    // The display's rate, asked once: not a question for every frame.
    static double refreshHz = 0.0;
    if (refreshHz <= 0.0) refreshHz = PlatformRefreshRate() > 0 ? PlatformRefreshRate() : kDefaultRefreshHz;
    double periodMs = 1000.0 / (paceFpsCap > 0.0 ? paceFpsCap : refreshHz);
    double naturalMs = std::chrono::duration<double, std::milli>(now - lastPresent).count();
    if (naturalMs < kUnpacedShare * periodMs) {
        slowFrames = 0;
        if (++fastFrames >= kFramesToDecide) pacingActive = true;
    } else if (naturalMs >= kPacedShare * periodMs) {
        fastFrames = 0;
        if (++slowFrames >= kFramesToDecide) pacingActive = false;
    }
    if (pacingActive || paceFpsCap > 0.0) {
        auto period = std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double, std::milli>(periodMs));
        Clock::time_point due = lastPresent + period;
        // Far behind (a stall): start afresh rather than rush frames out to catch up.
        if (due + period < now) due = now;
        std::this_thread::sleep_until(due);
        lastPresent = due;
    } else {
        lastPresent = now;
    }
}

// ---- late start and loop ----
struct CatchUp {
    double toMs;
    Clock::time_point shownAt;
    bool shown;
};

// The window says what it is doing while a late start replays the show unseen: one line in the
// show's font over black, never a black window with nothing on it.
static void ShowCatchUp(double doneMs, void* user) {
    CatchUp* c = static_cast<CatchUp*>(user);
    Clock::time_point now = Clock::now();
    if (c->shown && std::chrono::duration<double, std::milli>(now - c->shownAt).count() < kCatchUpRedrawMs) return;
    c->shown = true;
    c->shownAt = now;
    BeginScreenText();
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    char line[96];
    int length = snprintf(line, sizeof line, "catching up to %.1f s: %3.0f%%", c->toMs / 1000.0,
                          c->toMs > 0.0 ? 100.0 * doneMs / c->toMs : 100.0);
    PrintText(static_cast<float>(320.0 - 0.5 * kGlyphAdvance * length), 232, 0, "%s", line);
    EndScreenText();
    PlatformSwapBuffers();
}

void ReplayTo(double fromMs, const DemoOptions& options) {
    CatchUp catchUp = {fromMs, Clock::now(), false};
    OfflineRun run = StartReplay(OfflineStep(options), fromMs, ShowCatchUp, &catchUp);
    ReplayToPiece(run, HUGE_VAL);
}

// ---- the loop ----
bool LiveIteration() {
    liveWaiting = false;
    HandledMessage handled;
    if (HandleLiveMessage(handled)) {
        if (handled.firstPress == VK_SPACE) havePresent = false;  // the pause is not a slow frame
        return !handled.quit;
    }
    if (LiveHeld()) {
        // Minimised or paused: the clock stands still and the caller may wait for the next
        // message instead of spinning. Escape still ends a paused show.
        if (active && keys[VK_ESCAPE]) return false;
        liveWaiting = true;
        return true;
    }
    if (FrameWanted()) {
        uint32_t t0 = GetTickCount();
        FollowMusic(demoTimeMs);
        DrawShowFrame();
        KeepPictureThenOverlay(demoTimeMs, frameMs);
        PlatformSwapBuffers();
        PaceFrame();
        AdvanceClock(MsSinceTick(t0));
    }
    HandleFrameKeys();
    return LoopGoesOn();
}

bool LiveWaiting() { return liveWaiting; }

bool DesktopLiveIteration() {
    if (!LiveIteration()) return false;
    if (liveWaiting) PlatformWaitMessage();
    return true;
}

int RunLive(const DemoOptions& options) {
    paceFpsCap = options.fpsGiven ? options.fps : 0.0;
    double startMs = options.fromMs;
    for (;;) {
        if (startMs > 0.0) ReplayTo(startMs, options);
        BeginLoop(startMs);
        while (DesktopLiveIteration()) {}
        if (!LoopReachedEnd() || !options.loop) break;
        // The show ran to its end: start again from nothing, as a fresh run would.
        ResetDemoState();
        startMs = 0.0;
    }
    return 0;
}
