// The rules both live drivers share, the desktop player and the page: the music follows the demo
// clock, Space pauses and keeps the picture, Home resets the free camera, F1 shows an overlay, M
// mutes. Each driver calls these from its own loop; nothing here runs a loop or owns a clock.
#pragma once
#include <cstdint>

#include "app/offline.h"
#include "app/shell.h"

// ---- state ----
extern bool paused;           // Space: no frame is rendered, the clock and music stand still
extern bool overlayShown;     // F1
extern int musicRepositions;  // times the track was moved to the demo time (start excluded)
extern double musicDriftMs;   // track position less demo time at the last frame, before any move

// One waiting message, if any, handed to the shell and then to these rules (a key's first
// press, a minimise or restore). False when none was waiting; handled.quit for the quit message.
bool HandleLiveMessage(HandledMessage& handled);
// A player key went down (first press only, not its repeats).
void PlayerKey(unsigned vk);
// The window was minimised or restored: the music follows, and a restored paused window shows
// the kept picture again.
void LiveActiveChanged();
// True while no frame is to be drawn and the clock stands: minimised or paused.
bool LiveHeld();
// Not paused, as a fresh run starts (the music is left as it is).
void ClearPause();
// Pauses or resumes the music with the loop: it plays only while the window is shown and the
// show is not paused.
void PauseMusicWhileHeld();
// Called before each live frame: starts the soundtrack at the first frame at or past the title
// window's start, entering the track at the demo time, and re-positions it whenever it has
// strayed further from the demo time than the mixer's position can be trusted.
void FollowMusic(double timeMs);
// Called after the show's frame is drawn, before it is presented: keeps the picture for a pause,
// then draws the overlay over it when F1 has it shown.
void KeepPictureThenOverlay(double timeMs, double lastFrameMs);
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

// Text over the picture in the font's 640 x 480 space, every GL state kept for the show between
// the two calls.
void BeginScreenText();
void EndScreenText();
extern const double kGlyphAdvance;  // the font's pen step, in overlay units

// A late start's replay in pieces of about budgetMs of wall time; true once it is done, with the
// clock at the replay's end and frameMs as an offline run would have it for that frame.
bool ReplayToPiece(OfflineRun& run, double budgetMs);
