// The program in a web browser: the page (web/page.js) turns its URL parameters and the viewer's
// answer to the opening question into the desktop's options, then the page's animation frames
// drive everything. Nothing here blocks: a late start and a run of stills replay in pieces, one
// piece per animation frame, with a progress line, and live play is one loop iteration a frame.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "app/offline.h"
#include "app/options.h"
#include "app/live.h"
#include "app/shell.h"
#include "platform/audio.h"
#include "platform/page.h"
#include "platform/random.h"

// ---- constants ----
static const double kPieceMs = 25.0;  // wall time a replay piece may take: the tab keeps answering
static const double kLeastPieceMs = 2.0;
static const int kMaxIterations = 1000;  // messages handled in one animation frame, at most

// ---- globals ----
enum class Phase { Replay, Shots, Live, Over };
static DemoOptions options;              // from the page
static Phase phase = Phase::Over;        // what the animation frames do now
static OfflineRun replay;                // a late start's replay, piece by piece
static ShotsRun* shots = nullptr;        // a run of stills, piece by piece
static bool firstLiveFrame = false;      // the first live frame is drawn at the start time itself
static double pieceBudgetMs = kPieceMs;  // what the next piece may spend issuing its frames
static bool snapshotAsked = false;       // the page asked for the next frame as a snapshot
static bool snapshotShown = false;       // that frame stays on the canvas until the page ends it
static int playerStateShown = -1;        // pause and mute as the page was last told, -1 not yet
static double clockShiftMs = 0.0;        // added to the next frame's duration, as a stall would be

static void StartLive(double fromMs) {
    phase = Phase::Live;
    playerStateShown = -1;
    BeginLoop(fromMs);
    firstLiveFrame = true;
}

// A piece issues its frames for pieceBudgetMs, but the browser's GPU side draws them later and
// the piece waits for that at its end: the next budget shrinks or grows so that the whole piece
// takes about kPieceMs.
static void AdaptPiece(std::chrono::steady_clock::time_point start) {
    double took = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    if (took > 0.0) pieceBudgetMs = std::min(kPieceMs, std::max(kLeastPieceMs, pieceBudgetMs * kPieceMs / took));
}

// The page's live frame: the waiting messages, then one frame of the show, or nothing while it
// is held (*held). The clock moves by sinceMs, the time since the last animation frame (not the
// time spent inside one, so the show keeps real time), before the frame is drawn, so that the
// picture shows the moment it is presented. False once the loop is left.
static bool LiveFrame(double sinceMs, bool* held) {
    *held = false;
    for (int n = 0; n < kMaxIterations; ++n) {
        HandledMessage handled;
        if (HandleLiveMessage(handled)) {
            if (handled.quit) return false;
            continue;
        }
        if (LiveHeld()) {
            // Escape still ends a paused show.
            if (active && keys[VK_ESCAPE]) return false;
            *held = true;
            return true;
        }
        if (FrameWanted()) {
            AdvanceClock(sinceMs);
            FollowMusic(demoTimeMs);
            DrawShowFrame();
            KeepPictureThenOverlay(demoTimeMs, frameMs);
            PlatformSwapBuffers();
        }
        HandleFrameKeys();
        return LoopGoesOn();
    }
    return true;
}

// The frame just drawn, written as /snapshot.png by the program's own writer, then kept on the
// canvas (no frame drawn, clock and music held, no pause mark) until the page ends the snapshot:
// the browser check compares it with what the page shows.
static void TakeSnapshot() {
    snapshotAsked = false;
    int w = 0, h = 0;
    PlatformDrawableSize(&w, &h);
    std::vector<uint8_t> rgba;
    ReadPicture(rgba, w, h);
    if (!WritePng("/snapshot.png", rgba, w, h)) PageFault("The snapshot could not be written.");
    snapshotShown = true;
    MusicPause(true);
}

extern "C" void WebSnapshotNextFrame() { snapshotAsked = true; }

extern "C" void WebEndSnapshot() {
    snapshotShown = false;
    PauseMusicWhileHeld();
}

// The page's controls show what the keys did, whichever hand pressed them.
static void TellPlayerState() {
    int state = (paused ? 1 : 0) | (MusicMuted() ? 2 : 0);
    if (state == playerStateShown) return;
    playerStateShown = state;
    PagePlayerState(paused, MusicMuted());
}

static bool EndShow() {
    MusicStop();
    PagePublish(demoTimeMs, true);
    PageShowEnd();
    phase = Phase::Over;
    return false;
}

// The page's check moves the demo clock on, so that the music must follow it.
extern "C" void WebShiftClock(double ms) { clockShiftMs += ms; }

static bool Frame(double sinceMs) {
    // A replay's pieces or the wait for a click are no part of the show's time.
    double clockMs = firstLiveFrame ? 0.0 : sinceMs + clockShiftMs;
    clockShiftMs = 0.0;
    if (phase == Phase::Live) firstLiveFrame = false;
    switch (phase) {
    case Phase::Replay: {
        auto start = std::chrono::steady_clock::now();
        bool done = ReplayToPiece(replay, pieceBudgetMs);
        AdaptPiece(start);
        char line[96];
        snprintf(line, sizeof line, "Starting at %.1f s", replay.endMs / 1000.0);
        PageProgress(done ? "" : line, OfflineShare(replay));
        if (done) StartLive(replay.endMs);
        return true;
    }
    case Phase::Shots: {
        int status = 0;
        auto start = std::chrono::steady_clock::now();
        bool done = ShotsPiece(shots, pieceBudgetMs, &status);
        AdaptPiece(start);
        if (!done) {
            char line[96];
            snprintf(line, sizeof line, "Rendering %zu stills", options.shotsMs.size());
            PageProgress(line, ShotsShare(shots));
            return true;
        }
        shots = nullptr;  // the finished run is gone
        PageProgress("", 1.0);
        PageShotsDone(status);
        phase = Phase::Over;
        return false;
    }
    case Phase::Live: {
        if (snapshotShown) {
            PagePublish(demoTimeMs, true);
            return true;
        }
        bool held = false;
        if (!LiveFrame(clockMs, &held)) {
            if (LoopReachedEnd() && options.loop) {
                ResetDemoState();
                StartLive(0.0);
                return true;
            }
            return EndShow();
        }
        PagePublish(demoTimeMs, held);
        TellPlayerState();
        if (!held && snapshotAsked) TakeSnapshot();
        return true;
    }
    case Phase::Over:
        break;
    }
    return false;
}

// The page's "Play again": a fresh show from its start, as a second run of the program would be.
extern "C" void WebPlayAgain() {
    if (phase != Phase::Over || options.shots) return;
    ResetDemoState();
    ClearPause();
    StartLive(0.0);
    PlatformRunFrames(Frame);
}

int main(int argc, char** argv) {
    PlatformSetProgramPath(argc > 0 ? argv[0] : nullptr);
    int early = ParseOptions(argc, argv, options);
    if (early >= 0) {
        PageFault("The page's parameters were refused (see the console).");
        return early;
    }
    if (options.seedGiven) FixRandomSeed(options.seed);
    PlatformSetPictureAspect(kShowWidth, kShowHeight);
    if (options.shots) PlatformUseHeadlessDrivers();
    // The page asked the question with its own buttons (and went full screen itself).
    fullscreen = options.forceFullscreen;
    if (!CreateDemoWindow(kShowTitle, options.width, options.height, kShowColourBits, fullscreen)) {
        PageFault(
            "The WebGL context could not be made. Turn on hardware acceleration (or WebGL) in the browser's "
            "settings, or try another browser.");
        return 1;
    }
    if (options.shots) {
        int status = 0;
        shots = StartShots(options, &status);
        if (!shots) {
            PageShotsDone(status);
            return status;
        }
        phase = Phase::Shots;
    } else {
        if (options.fromMs > 0.0) {
            replay = StartReplay(OfflineStep(options), options.fromMs);
            phase = Phase::Replay;
        } else {
            StartLive(0.0);
        }
    }
    PlatformRunFrames(Frame);
    return 0;
}
