// MP3 encoding of the finished mix through libmp3lame.
// Depends on encode.h and the lame library.
#include "encode.h"

#include <lame/lame.h>

#include <algorithm>

// ---- constants
constexpr int encodeChunkFrames = 8192;
constexpr int lameQuality = 2;  // 0 best .. 9 fastest; 2 is the encoder's "high quality"

// ---- module functions
bool EncodeMp3(const StereoBus& mix, std::vector<unsigned char>& mp3) {
    lame_t lame = lame_init();
    if (!lame) return false;
    lame_set_in_samplerate(lame, sampleRateHz);
    lame_set_out_samplerate(lame, sampleRateHz);
    lame_set_num_channels(lame, 2);
    lame_set_mode(lame, JOINT_STEREO);
    lame_set_VBR(lame, vbr_off);
    lame_set_brate(lame, mp3BitrateKbps);
    lame_set_quality(lame, lameQuality);
    lame_set_bWriteVbrTag(lame, 1);
    if (lame_init_params(lame) < 0) {
        lame_close(lame);
        return false;
    }
    mp3.clear();
    // Worst case per the encoder's documentation: 1.25 x samples + 7200.
    std::vector<unsigned char> chunk(encodeChunkFrames * 5 / 4 + 7200);
    const size_t frames = mix.left.size();
    bool ok = true;
    for (size_t first = 0; first < frames && ok; first += encodeChunkFrames) {
        const int count = static_cast<int>(std::min<size_t>(encodeChunkFrames, frames - first));
        const int written = lame_encode_buffer_ieee_float(lame, &mix.left[first], &mix.right[first], count,
                                                          chunk.data(), int(chunk.size()));
        if (written < 0)
            ok = false;
        else
            mp3.insert(mp3.end(), chunk.begin(), chunk.begin() + written);
    }
    if (ok) {
        const int written = lame_encode_flush(lame, chunk.data(), int(chunk.size()));
        if (written < 0)
            ok = false;
        else
            mp3.insert(mp3.end(), chunk.begin(), chunk.begin() + written);
    }
    if (ok) {
        // The info frame is reserved, empty, at the start of the stream; fill it in place.
        const size_t tagBytes = lame_get_lametag_frame(lame, chunk.data(), chunk.size());
        if (tagBytes > 0 && tagBytes <= mp3.size()) std::copy(chunk.begin(), chunk.begin() + tagBytes, mp3.begin());
    }
    lame_close(lame);
    return ok && !mp3.empty();
}
