// Live player on the desktop: runs the live loop with its own clock (the tick count around
// render and present), paces itself where the display does not, and starts late (--from) or
// loops. The rules it shares with the page are in app/live.h.
#pragma once
#include <cstdint>

#include "app/live.h"
#include "app/offline.h"
#include "app/options.h"

// ---- state ----
extern double paceFpsCap;  // --fps in live play, 0 for none
extern bool pacingActive;  // the loop waits itself: presentation was found unpaced

// Called after each presented frame: waits out the rest of the frame period when presentation
// is not paced by the display (or --fps caps it). The wait belongs to the frame.
void PaceFrame();

// One live iteration: one message handled, or one frame drawn and presented, or nothing while
// the show is held. Never blocks. Returns false once the loop is to be left.
bool LiveIteration();
// True when the last iteration found the show held (minimised or paused) and nothing to do.
bool LiveWaiting();
// One live iteration that then blocks until the next message while the show is held.
bool DesktopLiveIteration();

// Replays the show's carried state from 0 up to fromMs at the offline step, unseen, with
// the music held; leaves the clock at fromMs and frameMs as an offline run
// would have it for that frame. Meanwhile the window shows a line saying how far it has got.
void ReplayTo(double fromMs, const DemoOptions& options);

// Live play with the player's options (--from, --fps, --loop, --step). Returns the exit code.
int RunLive(const DemoOptions& options);
