// The composition: which notes play when, locked to the show's timeline and the mesh pulse.
// Depends on synth.h for the note record.
#pragma once
#include <vector>

#include "synth.h"

// ---- constants
constexpr int timelineWindowCount = 22;
constexpr double musicStartMs = 2000.0;                          // demo time at which the soundtrack is started
constexpr double beatPeriodMs = 2.0 * 3.141592653589793 * 79.6;  // the mesh scenes' pulse
// Music time of beat 0: the first pulse of the demo clock after the music starts.
constexpr double gridOffsetMs = 4.0 * beatPeriodMs - musicStartMs;
constexpr double musicLengthSec = 122.5;
constexpr double fadeInSec = 0.8;          // the title's fade in from black
constexpr double firstDipStartSec = 63.2;  // the figure fades to black
constexpr double firstDipEndSec = 66.0;
constexpr double secondDipStartSec = 81.2;  // the tunnel fades to black
constexpr double secondDipEndSec = 84.0;
constexpr double finalFadeStartSec = 119.2;  // the picture fades out to the end of the show
constexpr double finalFadeEndSec = 122.0;

// Window ends of the show in demo milliseconds; music time is demo time minus musicStartMs.
extern const double timelineBoundsMs[timelineWindowCount];

// ---- module functions
double BeatToSec(double beat);  // music time of a (fractional) beat on the pulse grid
std::vector<Note> ComposeScore();
