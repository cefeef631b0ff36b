// Mixing: routes notes to buses, adds echo and room, ducks under the kick, applies the show's
// fades and normalises the peak. Depends on synth.h and score.h.
#pragma once
#include <vector>

#include "synth.h"

// ---- constants
constexpr double targetPeakDbfs = -1.0;

// ---- module functions
double MasterGainAt(double sec);  // the picture's fades as a gain, 0..1
StereoBus MixScore(const std::vector<Note>& notes);
