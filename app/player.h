// Live player: what a person at the keyboard expects beyond the show itself. The music follows
// the demo clock, the loop paces itself where the display does not, Space pauses, Home resets
// the free camera, F1 shows an overlay, M mutes, and a run can start late (--from) or loop.
#pragma once
#include <cstdint>

#include "app/offline.h"
#include "app/options.h"

// ---- state ----
extern bool paused;           // Space: no frame is rendered, the clock and music stand still
extern bool overlayShown;     // F1
extern double paceFpsCap;     // --fps in live play, 0 for none
extern bool pacingActive;     // the loop waits itself: presentation was found unpaced
extern int musicRepositions;  // times the track was moved to the demo time (start excluded)
extern double musicDriftMs;   // track position less demo time at the last frame, before any move

// Hands the loop the player's steps (music, overlay, pacing, keys, pause), or takes them back.
void UseLivePlayer(bool on);
// The same steps in a browser: no pacing (the animation frames pace the show), and the clock
// moved by sinceLastFrame() as each frame begins.
void UseBrowserPlayer(double (*sinceLastFrame)());

// A player key went down (first press only, not its repeats).
void PlayerKey(unsigned vk);
// Pauses or resumes the music with the loop: it plays only while the window is shown and the
// show is not paused.
void UpdateMusicHold();
// Called before each live frame: starts the soundtrack at the first frame at or past the title
// window's start, entering the track at the demo time, and re-positions it whenever it has
// strayed further from the demo time than the mixer's position can be trusted.
void FollowMusic(double timeMs);
// Called after each presented frame: waits out the rest of the frame period when presentation
// is not paced by the display (or --fps caps it). The wait belongs to the frame.
void PaceFrame();
// Draws demo time, timeline window, frames per second and frame time over the picture, leaving
// every GL state as it found it.
void DrawOverlay(double timeMs, double lastFrameMs);

// Pause: after each live frame the picture is kept (copied on the card); while paused the window
// shows that copy with a "paused" mark, and no show frame is rendered.
void KeepPicture();
// Draws the kept picture with the mark into the back buffer, every GL state left as it was.
void DrawPausedPicture();
// Draws it and presents it (when a live frame has been kept).
void ShowPausedPicture();

// Replays the show's carried state from 0 up to fromMs at the offline step, unseen, with
// the music held; leaves the clock at fromMs and frameMs as an offline run
// would have it for that frame. Meanwhile the window shows a line saying how far it has got.
void ReplayTo(double fromMs, const DemoOptions& options);
// The replay in pieces of about budgetMs of wall time (a browser tab, run from StartReplay);
// true once it is done, with frameMs set as ReplayTo sets it.
bool ReplayToPiece(OfflineRun& run, double budgetMs);

// Live play with the player's options (--from, --fps, --loop, --step). Returns the exit code.
int RunLive(const DemoOptions& options);
