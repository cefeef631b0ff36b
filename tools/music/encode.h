// MP3 encoding of the finished mix through libmp3lame. Depends on synth.h.
#pragma once
#include <vector>

#include "synth.h"

constexpr int mp3BitrateKbps = 192;

// Constant-bitrate joint stereo, with the encoder's info frame in front so that players know the
// length and the encoder delay. False if the encoder refuses the settings or the data.
bool EncodeMp3(const StereoBus& mix, std::vector<unsigned char>& mp3);
