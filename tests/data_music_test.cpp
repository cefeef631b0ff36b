// The soundtrack as the program will hear it: decoded through the platform's audio layer, it
// must cover the show from the music's start to the end, be audible in every timeline window,
// stay unclipped, close with the final fade, and put its kicks on the mesh scenes' pulse.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <vector>

#include "platform/audio.h"

namespace {

const char* const kSoundtrackPath = BRIMVALE_SOURCE_DIR "/data/brimvale.mp3";
constexpr double kMusicStartMs = 2000.0;
constexpr double kShowEndMs = 124000.0;
constexpr double kPulsePeriodMs = 2.0 * 3.14159265358979 * 79.6;  // the mesh scenes' pulse
constexpr int kExpectedRateHz = 44100;
constexpr double kWindowRmsFloorDbfs = -40.0;
constexpr std::uintmax_t kMaxFileBytes = 4u * 1024u * 1024u;
const double kWindowEndsMs[] = {6000,  10000, 14000, 18000, 22000, 30000, 32000, 34000, 36000,  40000, 44000,
                                48000, 52000, 54000, 68000, 72000, 86000, 90000, 94000, 110000, 124000};

struct Decoded {
    bool ok = false;
    int channels = 0;
    int rate = 0;
    std::vector<int16_t> samples;  // interleaved

    size_t Frames() const { return channels > 0 ? samples.size() / channels : 0; }
};

// Decoding the whole track takes a moment; each test process does it at most once.
const Decoded& Soundtrack() {
    static Decoded decoded;
    static bool done = false;
    if (!done) {
        done = true;
        decoded.ok = DecodeAudioFile(kSoundtrackPath, decoded.samples, decoded.channels, decoded.rate);
    }
    return decoded;
}

size_t FrameAt(const Decoded& d, double musicMs) {
    return std::min(d.Frames(), static_cast<size_t>(std::max(0.0, musicMs) * d.rate / 1000.0));
}

// RMS over both channels of [fromMs, toMs) in music time, in dBFS.
double RmsDbfs(const Decoded& d, double fromMs, double toMs) {
    const size_t first = FrameAt(d, fromMs), last = FrameAt(d, toMs);
    double power = 0.0;
    for (size_t i = first * d.channels; i < last * d.channels; ++i) power += double(d.samples[i]) * d.samples[i];
    const size_t count = (last - first) * d.channels;
    const double rms = count ? std::sqrt(power / count) / 32768.0 : 0.0;
    return 20.0 * std::log10(std::max(rms, 1e-9));
}

double EnergyBetween(const Decoded& d, const std::vector<float>& lows, double fromMs, double toMs) {
    double energy = 0.0;
    for (size_t i = FrameAt(d, fromMs); i < FrameAt(d, toMs); ++i) energy += double(lows[i]) * lows[i];
    return energy;
}

// Music time, in ms, in [fromMs, toMs) where low-end energy rises most: the 30 ms after it
// against the 30 ms before, in 5 ms steps. Windows longer than a bass period keep it steady.
double SteepestLowRiseMs(const Decoded& d, const std::vector<float>& lows, double fromMs, double toMs) {
    constexpr double stepMs = 5.0, spanMs = 30.0;
    double bestRise = -1.0, bestMs = fromMs;
    for (double ms = fromMs; ms < toMs; ms += stepMs) {
        const double rise = EnergyBetween(d, lows, ms, ms + spanMs) - EnergyBetween(d, lows, ms - spanMs, ms);
        if (rise > bestRise) {
            bestRise = rise;
            bestMs = ms;
        }
    }
    return bestMs;
}

#define REQUIRE_SOUNDTRACK(d)                                       \
    do {                                                            \
        ASSERT_TRUE((d).ok) << "cannot decode " << kSoundtrackPath; \
        ASSERT_EQ((d).channels, 2);                                 \
        ASSERT_EQ((d).rate, kExpectedRateHz);                       \
    } while (0)

TEST(SoundtrackFile, ExistsAndFitsTheSizeBudget) {
    std::error_code error;
    const std::uintmax_t bytes = std::filesystem::file_size(kSoundtrackPath, error);
    ASSERT_FALSE(error) << kSoundtrackPath << ": " << error.message();
    EXPECT_LE(bytes, kMaxFileBytes);
    // 122 s at a usable bitrate cannot be much smaller than this
    EXPECT_GE(bytes, 122u * 128000u / 8u);
}

TEST(SoundtrackDecode, StereoAt44100LastingFromMusicStartToShowEnd) {
    const Decoded& d = Soundtrack();
    REQUIRE_SOUNDTRACK(d);
    const double lengthMs = d.Frames() * 1000.0 / d.rate;
    EXPECT_GE(lengthMs, kShowEndMs - kMusicStartMs);
    EXPECT_LE(lengthMs, kShowEndMs - kMusicStartMs + 2000.0) << "runs on long after the show";
}

TEST(SoundtrackDecode, AudibleInEveryTimelineWindow) {
    const Decoded& d = Soundtrack();
    REQUIRE_SOUNDTRACK(d);
    double startMs = kMusicStartMs;
    for (double endMs : kWindowEndsMs) {
        const double rms = RmsDbfs(d, startMs - kMusicStartMs, endMs - kMusicStartMs);
        EXPECT_GT(rms, kWindowRmsFloorDbfs) << "window " << startMs << ".." << endMs << " ms";
        startMs = endMs;
    }
}

TEST(SoundtrackDecode, LevelsUnclippedNormalisedAndLightlyWide) {
    const Decoded& d = Soundtrack();
    REQUIRE_SOUNDTRACK(d);
    size_t clipped = 0;
    int peak = 0;
    double mid = 0.0, side = 0.0;
    for (size_t f = 0; f < d.Frames(); ++f) {
        const int l = d.samples[2 * f], r = d.samples[2 * f + 1];
        if (l <= -32767 || l >= 32767) ++clipped;
        if (r <= -32767 || r >= 32767) ++clipped;
        peak = std::max({peak, std::abs(l), std::abs(r)});
        mid += double(l + r) * (l + r);
        side += double(l - r) * (l - r);
    }
    EXPECT_LE(clipped, d.samples.size() / 100000) << "more than 0.001% of samples at full scale";
    EXPECT_GT(peak, 32768 * 0.5) << "not normalised: peak below -6 dBFS";
    EXPECT_GT(side, 0.001 * mid) << "left and right are the same: no stereo width";
    EXPECT_LT(side, 0.25 * mid) << "more than light width: channels barely related";
}

TEST(SoundtrackDecode, ClosesWithTheFinalFade) {
    const Decoded& d = Soundtrack();
    REQUIRE_SOUNDTRACK(d);
    // music time: the picture fades out over 119.2..122 s
    const double beforeFade = RmsDbfs(d, 116000.0, 119000.0);
    const double fadeEnd = RmsDbfs(d, 121600.0, 122000.0);
    const double afterShow = RmsDbfs(d, 122100.0, d.Frames() * 1000.0 / d.rate);
    EXPECT_GT(beforeFade, kWindowRmsFloorDbfs);
    EXPECT_LT(fadeEnd, beforeFade - 24.0);
    EXPECT_LT(afterShow, -60.0);
}

// The mesh scenes pulse with a period of 2 pi x 79.6 ms of demo time, with a low point at every
// whole period; the kicks of the heart passage (demo 6..18 s) must land there, not between.
TEST(SoundtrackDecode, KicksLandOnThePulseOfTheMeshScenes) {
    const Decoded& d = Soundtrack();
    REQUIRE_SOUNDTRACK(d);
    std::vector<float> lows(d.Frames());
    const float alpha = float(1.0 - std::exp(-2.0 * 3.14159265358979 * 150.0 / d.rate));
    float state = 0.0f;
    for (size_t f = 0; f < d.Frames(); ++f) {
        state += alpha * (0.5f * (d.samples[2 * f] + d.samples[2 * f + 1]) - state);
        lows[f] = state;
    }
    int pulses = 0, onPulse = 0;
    for (int k = static_cast<int>(std::ceil(6000.0 / kPulsePeriodMs)); k * kPulsePeriodMs < 17500.0; ++k) {
        const double pulseMs = k * kPulsePeriodMs - kMusicStartMs;
        // half a period either side; a decoder may delay the start by some tens of ms
        const double onsetMs = SteepestLowRiseMs(d, lows, pulseMs - 250.0, pulseMs + 250.0);
        ++pulses;
        if (onsetMs >= pulseMs - 20.0 && onsetMs <= pulseMs + 80.0) ++onPulse;
    }
    ASSERT_GE(pulses, 20);
    EXPECT_EQ(onPulse, pulses) << "only " << onPulse << " of " << pulses << " pulses start with a kick";
}

}  // namespace
