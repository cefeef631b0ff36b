// Live player: music that follows the demo clock, frame pacing, pause, camera reset, overlay,
// mute, a late start and looping. Hands its steps to the shell's loop, which never calls up;
// depends on the shell's clock and loop, the offline frame driver (for the late start), the
// timeline, the font and the platform's audio controls.
#include "app/player.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <thread>

#include "app/offline.h"
#include "app/shell.h"
#include "app/startup.h"
#include "platform/audio.h"
#include "platform/gl.h"
#include "platform/platform.h"
#include "render/font.h"
#include "scenes/timeline.h"

// ---- constants ----
static const double kDefaultRefreshHz = 60.0;
static const double kUnpacedShare = 0.5;       // frames this much shorter than the period are unpaced
static const double kPacedShare = 0.8;         // frames this long are paced by the display itself
static const int kFramesToDecide = 8;          // consecutive frames before pacing changes
static const int kOverlayFrames = 30;          // frames averaged for the overlay's rate
static const double kCatchUpRedrawMs = 250.0;  // a late start's progress line, redrawn this often
static const double kGlyphAdvance = 9.0;       // the font's pen step, in overlay units
static const float kBandMargin = 4.0f;         // overlay units round the overlay's text
static const float kGlyphHeight = 14.0f;       // a glyph's quad, in overlay units: 14 high,
static const float kGlyphWidth = 16.0f;        // 16 wide at its head (wider than the pen step)

// ---- globals ----
bool paused = false;        // Space
bool overlayShown = false;  // F1
double paceFpsCap = 0.0;    // --fps in live play
bool pacingActive = false;  // the loop waits out the frame period itself
int musicRepositions = 0;   // track moved to the demo time after its start
double musicDriftMs = 0.0;  // track position less demo time, last frame

using Clock = std::chrono::steady_clock;
static Clock::time_point lastPresent;  // end of the previous paced frame
static bool havePresent = false;
static int fastFrames = 0;  // consecutive frames far shorter than the period
static int slowFrames = 0;  // consecutive frames of about the period or longer
static double recentFrameMs[kOverlayFrames] = {};
static int recentCount = 0;

// The last picture, copied on the card after each live frame, so that a pause can show it with
// its mark without rendering a show frame (that would move the spins and the particles).
static GLuint keptPicture = 0;  // texture of keptSide x keptSide texels, 0 until the first frame
static int keptSide = 0;
static int keptWidth = 0;
static int keptHeight = 0;

// ---- keys ----
void UpdateMusicHold() { MusicPause(paused || !active); }

void PlayerKey(unsigned vk) {
    switch (vk) {
    case VK_SPACE:
        paused = !paused;
        UpdateMusicHold();
        havePresent = false;  // the pause is not a slow frame
        if (paused) ShowPausedPicture();
        break;
    case VK_HOME:
        camX = camY = camZ = 0.0f;
        camRoll = camYaw = camPitch = 0.0f;
        break;
    case VK_F1:
        overlayShown = !overlayShown;
        break;
    case kKeyM:
        MusicMute(!MusicMuted());
        break;
    default:
        break;
    }
}

// ---- music ----
void FollowMusic(double timeMs) {
    double startMs = WindowStart(kMusicWindow);
    if (timeMs < startMs) return;
    double trackMs = timeMs - startMs;
    if (!musicStarted) {
        StartMusicOnce();
        // A late start (a stall, --from, a second time round) enters the track where the
        // picture is.
        if (trackMs > kMusicPositionBoundMs) MusicSeek(trackMs);
        UpdateMusicHold();
        return;
    }
    double heard = MusicPositionMs();
    if (heard < 0.0) return;  // silent run, or the track has ended
    musicDriftMs = heard - trackMs;
    if (std::fabs(musicDriftMs) > kMusicPositionBoundMs) {
        MusicSeek(trackMs);
        ++musicRepositions;
    }
}

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

// ---- overlay ----
// Text over the picture in the font's 640 x 480 space, with every GL state kept for the show.
static void BeginScreenText() {
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glDisable(GL_LIGHTING);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_FOG);
    glDisable(GL_CULL_FACE);
    glDisable(GL_TEXTURE_2D);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0.0, 640.0, 480.0, 0.0, -1.0, 1.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

static void EndScreenText() {
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glPopAttrib();
}

// Width of a line in overlay units: the pen steps, then the last glyph's whole quad.
static float TextWidth(const char* text) {
    size_t n = strlen(text);
    return n == 0 ? 0.0f : static_cast<float>(kGlyphAdvance * static_cast<double>(n - 1)) + kGlyphWidth;
}

// One line at (x, y) over a dark band sized to the text, so that it reads on the show's white.
static void DrawBandedText(float x, float y, const char* text, float r, float g, float b) {
    float width = TextWidth(text);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glColor4f(0.0f, 0.0f, 0.0f, 0.7f);
    glRectf(x - kBandMargin, y - kBandMargin, x + width + kBandMargin, y + kGlyphHeight + kBandMargin);
    glColor4f(r, g, b, 1.0f);
    PrintText(x, static_cast<int>(y), 0, "%s", text);
}

void DrawOverlay(double timeMs, double lastFrameMs) {
    recentFrameMs[recentCount % kOverlayFrames] = lastFrameMs;
    ++recentCount;
    int n = recentCount < kOverlayFrames ? recentCount : kOverlayFrames;
    double sum = 0.0;
    for (int i = 0; i < n; ++i) sum += recentFrameMs[i];
    double fps = sum > 0.0 ? 1000.0 * n / sum : 0.0;

    char line[128];
    snprintf(line, sizeof line, "%9.1f ms  window %2d  %5.1f fps  %5.1f ms", timeMs, TimelineWindow(timeMs), fps,
             lastFrameMs);
    BeginScreenText();
    DrawBandedText(8.0f, 8.0f, line, 1.0f, 1.0f, 0.4f);
    EndScreenText();
}

// ---- pause ----
static int PowerOfTwoAtLeast(int n) {
    int p = 1;
    while (p < n) p *= 2;
    return p;
}

void KeepPicture() {
    int x = 0, y = 0, w = 0, h = 0;
    PlatformPictureOrigin(&x, &y);
    PlatformPictureSize(&w, &h);
    if (w <= 0 || h <= 0) return;
    GLint bound = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    int side = PowerOfTwoAtLeast(w > h ? w : h);  // GL 1.1 textures are powers of two
    if (!keptPicture) glGenTextures(1, &keptPicture);
    glBindTexture(GL_TEXTURE_2D, keptPicture);
    if (side != keptSide) {
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, side, side, 0, GL_RGB, GL_UNSIGNED_BYTE, nullptr);
        keptSide = side;
    }
    glReadBuffer(GL_BACK);
    glCopyTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, x, y, w, h);
    glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(bound));
    keptWidth = w;
    keptHeight = h;
}

void DrawPausedPicture() {
    if (!keptPicture || keptWidth <= 0) return;
    int x = 0, y = 0;
    PlatformPictureOrigin(&x, &y);
    BeginScreenText();
    glViewport(x, y, keptWidth, keptHeight);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, keptPicture);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    glDisable(GL_BLEND);
    float s = static_cast<float>(keptWidth) / keptSide, t = static_cast<float>(keptHeight) / keptSide;
    // Texel rows start at the picture's bottom; the overlay's y grows downward.
    glBegin(GL_QUADS);
    glTexCoord2f(0.0f, t);
    glVertex2f(0.0f, 0.0f);
    glTexCoord2f(s, t);
    glVertex2f(640.0f, 0.0f);
    glTexCoord2f(s, 0.0f);
    glVertex2f(640.0f, 480.0f);
    glTexCoord2f(0.0f, 0.0f);
    glVertex2f(0.0f, 480.0f);
    glEnd();
    glDisable(GL_TEXTURE_2D);
    DrawBandedText(320.0f - 0.5f * TextWidth("paused"), 232.0f, "paused", 1.0f, 1.0f, 1.0f);
    EndScreenText();
}

void ShowPausedPicture() {
    if (!keptPicture) return;  // no live frame yet: the window keeps what it shows
    DrawPausedPicture();
    PlatformSwapBuffers();
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

bool ReplayToPiece(OfflineRun& run, double budgetMs) {
    if (!OfflinePiece(run, budgetMs)) return false;
    frameMs = run.endMs - run.previous;
    return true;
}

void ReplayTo(double fromMs, const DemoOptions& options) {
    CatchUp catchUp = {fromMs, Clock::now(), false};
    OfflineRun run = StartReplay(OfflineStep(options), fromMs, ShowCatchUp, &catchUp);
    ReplayToPiece(run, HUGE_VAL);
}

static void OverlayStep(double timeMs, double lastFrameMs) {
    KeepPicture();  // the picture without the overlay
    if (overlayShown) DrawOverlay(timeMs, lastFrameMs);
}

static bool Paused() { return paused; }

// Restored while paused, the window shows the kept picture again.
static void ActiveChanged() {
    UpdateMusicHold();
    if (paused && active) ShowPausedPicture();
}

static const LoopSteps kLiveSteps = {FollowMusic, OverlayStep, PaceFrame, PlayerKey, ActiveChanged, Paused, nullptr};

void UseLivePlayer(bool on) {
    SetLoopSteps(on ? &kLiveSteps : nullptr);
}

void UseBrowserPlayer(double (*sinceLastFrame)()) {
    static LoopSteps browserSteps;
    browserSteps = kLiveSteps;
    browserSteps.afterPresent = nullptr;  // the browser paces the frames
    browserSteps.elapsedBeforeFrame = sinceLastFrame;
    SetLoopSteps(&browserSteps);
}

int RunLive(const DemoOptions& options) {
    UseLivePlayer(true);
    paceFpsCap = options.fpsGiven ? options.fps : 0.0;
    double startMs = options.fromMs;
    for (;;) {
        if (startMs > 0.0) ReplayTo(startMs, options);
        if (!RunMainLoop(startMs) || !options.loop) break;
        // The show ran to its end: start again from nothing, as a fresh run would.
        ResetDemoState();
        startMs = 0.0;
    }
    UseLivePlayer(false);
    return 0;
}
