// The soundtrack's contact sheet: waveform and spectrogram of the whole track with the show's
// window bounds marked. Depends on synth.h.
#pragma once
#include "synth.h"

bool WriteContactSheet(const char* path, const StereoBus& mix);
