// brimvale_make_music: composes, synthesises and encodes the soundtrack, checks the result and
// only then writes it. Usage: brimvale_make_music <out.mp3> [<contact-sheet.png>]
// Depends on the score, synth, mix, encode and sheet modules of this folder.
#include <algorithm>
#include <ctime>
#include <cmath>
#include <cstdio>
#include <vector>

#include "encode.h"
#include "mix.h"
#include "score.h"
#include "sheet.h"
#include "synth.h"

// ---- constants
constexpr double minimumLengthSec = 122.0;  // from the music's start to the end of the show
constexpr double windowRmsFloorDbfs = -36.0;
constexpr size_t maximumMp3Bytes = 4u * 1024u * 1024u;

// ---- local helpers
static double ToDbfs(double x) { return 20.0 * std::log10(std::max(x, 1e-12)); }

static double RmsBetween(const StereoBus& mix, double fromSec, double toSec) {
    const size_t first = size_t(fromSec * sampleRateHz);
    const size_t last = std::min(mix.left.size(), size_t(toSec * sampleRateHz));
    double power = 0.0;
    for (size_t i = first; i < last; ++i)
        power += double(mix.left[i]) * mix.left[i] + double(mix.right[i]) * mix.right[i];
    return last > first ? std::sqrt(power / (2.0 * double(last - first))) : 0.0;
}

// The track must be long enough, finite, under the target peak and audible in every window.
static bool CheckMix(const StereoBus& mix) {
    bool ok = true;
    const double lengthSec = double(mix.left.size()) / sampleRateHz;
    if (lengthSec < minimumLengthSec) {
        std::fprintf(stderr, "track is %.2f s, shorter than %.1f s\n", lengthSec, minimumLengthSec);
        ok = false;
    }
    float peak = 0.0f;
    double sideEnergy = 0.0, midEnergy = 0.0;
    for (size_t i = 0; i < mix.left.size(); ++i) {
        const float l = mix.left[i], r = mix.right[i];
        if (!std::isfinite(l) || !std::isfinite(r)) {
            std::fprintf(stderr, "sample %zu is not a number\n", i);
            return false;
        }
        peak = std::max({peak, std::fabs(l), std::fabs(r)});
        midEnergy += double(l + r) * (l + r);
        sideEnergy += double(l - r) * (l - r);
    }
    std::printf("length %.2f s, peak %.2f dBFS, side/mid %.2f dB\n", lengthSec, ToDbfs(peak),
                ToDbfs(std::sqrt(sideEnergy / midEnergy)));
    if (ToDbfs(peak) > targetPeakDbfs + 0.01) {
        std::fprintf(stderr, "peak %.2f dBFS above the target\n", ToDbfs(peak));
        ok = false;
    }
    double windowStartMs = musicStartMs;
    for (int w = 0; w < timelineWindowCount; ++w) {
        if (timelineBoundsMs[w] <= musicStartMs) continue;
        const double from = (windowStartMs - musicStartMs) / 1000.0;
        const double to = (timelineBoundsMs[w] - musicStartMs) / 1000.0;
        const double rms = ToDbfs(RmsBetween(mix, from, to));
        std::printf("  window %6.0f..%6.0f ms  rms %6.1f dBFS\n", windowStartMs, timelineBoundsMs[w], rms);
        if (rms < windowRmsFloorDbfs) {
            std::fprintf(stderr, "window ending %.0f ms is too quiet\n", timelineBoundsMs[w]);
            ok = false;
        }
        windowStartMs = timelineBoundsMs[w];
    }
    return ok;
}

// Processor time: the machine may be shared, so wall time says little.
static double CpuSecondsSince(std::clock_t start) { return double(std::clock() - start) / CLOCKS_PER_SEC; }

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: %s <out.mp3> [<contact-sheet.png>]\n", argv[0]);
        return 2;
    }
    std::clock_t start = std::clock();
    const std::vector<Note> notes = ComposeScore();
    const StereoBus mix = MixScore(notes);
    std::printf("%zu notes synthesised in %.2f s of CPU\n", notes.size(), CpuSecondsSince(start));
    if (!CheckMix(mix)) return 1;

    start = std::clock();
    std::vector<unsigned char> mp3;
    if (!EncodeMp3(mix, mp3)) {
        std::fprintf(stderr, "mp3 encoding failed\n");
        return 1;
    }
    std::printf("encoded %zu bytes at %d kbps in %.2f s of CPU\n", mp3.size(), mp3BitrateKbps, CpuSecondsSince(start));
    if (mp3.size() > maximumMp3Bytes) {
        std::fprintf(stderr, "mp3 is larger than %zu bytes\n", maximumMp3Bytes);
        return 1;
    }
    FILE* file = std::fopen(argv[1], "wb");
    if (!file || std::fwrite(mp3.data(), 1, mp3.size(), file) != mp3.size()) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        if (file) std::fclose(file);
        return 1;
    }
    std::fclose(file);
    if (argc == 3 && !WriteContactSheet(argv[2], mix)) {
        std::fprintf(stderr, "cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
