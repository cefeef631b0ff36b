// Browser only: the page around the show. The page's own script (web/page.js) asks the opening
// question, shows loading progress, faults and the end card; the program reaches it through
// these calls, and the page reaches the program through the functions it exports.
#pragma once

// Calls frame(sinceLastMs) once per animation frame, sinceLastMs being the time between this
// frame's timestamp and the last one's (0 for the first): the show keeps real time however long
// it spends inside the call. Returning false ends the frames; a later call starts them again.
void PlatformRunFrames(bool (*frame)(double sinceLastMs));
// The timestamp of the animation frame being drawn (the page's clock, in ms), or -1 outside one:
// what the show draws belongs to that moment, however late the call runs.
double PlatformFrameStampMs();
// A line of progress over the picture while a late start or a run of stills replays ("" hides it).
void PageProgress(const char* text, double share);
// The demo time of the frame just drawn, with its animation frame's timestamp, for the page (and
// the browser check) to read; held while nothing is drawn.
void PagePublish(double demoMs, bool held);
// The player's pause and mute as its keys left them, for the page's touch controls (and its
// wake lock); called at a show's first live frame and whenever either changes.
void PagePlayerState(bool paused, bool muted);
// The show has ended: the card that offers to play again.
void PageShowEnd();
// A run of stills is done; status as the desktop program's exit status.
void PageShotsDone(int status);
// A fault the page must show in place of the picture ("no WebGL", "the WebGL context was lost").
void PageFault(const char* text);
