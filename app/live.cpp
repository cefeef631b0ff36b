// The rules both live drivers share: music that follows the demo clock, pause with its kept
// picture, camera reset, overlay and mute. Called from the desktop player's loop and the page's
// animation frames; depends on the shell's steps and clock, the offline frame driver (for the
// late start), the timeline, the font and the platform's audio controls.
#include "app/live.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "app/startup.h"
#include "platform/audio.h"
#include "platform/gl.h"
#include "platform/platform.h"
#include "render/font.h"
#include "scenes/timeline.h"

// ---- constants ----
static const int kOverlayFrames = 30;     // frames averaged for the overlay's rate
const double kGlyphAdvance = 9.0;         // the font's pen step, in overlay units
static const float kBandMargin = 4.0f;    // overlay units round the overlay's text
static const float kGlyphHeight = 14.0f;  // a glyph's quad, in overlay units: 14 high,
static const float kGlyphWidth = 16.0f;   // 16 wide at its head (wider than the pen step)

// ---- globals ----
bool paused = false;        // Space
bool overlayShown = false;  // F1
int musicRepositions = 0;   // track moved to the demo time after its start
double musicDriftMs = 0.0;  // track position less demo time, last frame

static double recentFrameMs[kOverlayFrames] = {};
static int recentCount = 0;

// The last picture, copied on the card after each live frame, so that a pause can show it with
// its mark without rendering a show frame (that would move the spins and the particles).
static GLuint keptPicture = 0;  // texture of keptSide x keptSide texels, 0 until the first frame
static int keptSide = 0;
static int keptWidth = 0;
static int keptHeight = 0;

// ---- keys and the window ----
void PauseMusicWhileHeld() { MusicPause(paused || !active); }

bool LiveHeld() { return !active || paused; }

void ClearPause() { paused = false; }

void PlayerKey(unsigned vk) {
    switch (vk) {
    case VK_SPACE:
        paused = !paused;
        PauseMusicWhileHeld();
        if (paused) ShowPausedPicture();
        break;
    case VK_HOME:
        ResetCamera();
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
        PauseMusicWhileHeld();
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

// ---- overlay ----
void BeginScreenText() {
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

void EndScreenText() {
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

void KeepPictureThenOverlay(double timeMs, double lastFrameMs) {
    KeepPicture();  // the picture without the overlay
    if (overlayShown) DrawOverlay(timeMs, lastFrameMs);
}

// Restored while paused, the window shows the kept picture again.
void LiveActiveChanged() {
    PauseMusicWhileHeld();
    if (paused && active) ShowPausedPicture();
}

bool HandleLiveMessage(HandledMessage& handled) {
    if (!HandleWaitingMessage(handled)) return false;
    if (handled.firstPress) PlayerKey(handled.firstPress);
    if (handled.activeChanged) LiveActiveChanged();
    return true;
}

// ---- late start ----
bool ReplayToPiece(OfflineRun& run, double budgetMs) {
    if (!OfflinePiece(run, budgetMs)) return false;
    SetClock(run.endMs, run.endMs - run.previous);
    return true;
}
