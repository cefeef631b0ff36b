// A small additive synthesiser: drums, basses, pads, plucks, leads and effects noises, each note
// rendered on its own into a stereo bus. Depends on synth.h only; noise comes from a seeded
// generator so that every run gives the same samples.
#include "synth.h"

#include <algorithm>
#include <cmath>

// ---- constants
constexpr double twoPi = 6.283185307179586;
constexpr int filterUpdateFrames = 16;  // cutoff sweeps are smooth enough at this step

// ---- types
// Topology-preserving state-variable filter; gives low, band and high pass at once.
struct Svf {
    float ic1 = 0.0f, ic2 = 0.0f;
    float a1 = 0.0f, a2 = 0.0f, a3 = 0.0f, k = 1.0f;
    float low = 0.0f, band = 0.0f, high = 0.0f;
};

// ---- globals
static uint32_t noiseState = 0x1234567u;  // xorshift state, set by SeedNoise

// ---- local helpers
static void TuneSvf(Svf& f, double cutoffHz, double q) {
    cutoffHz = std::clamp(cutoffHz, 10.0, sampleRateHz * 0.45);
    const double g = std::tan(twoPi * 0.5 * cutoffHz / sampleRateHz);
    f.k = static_cast<float>(1.0 / q);
    f.a1 = static_cast<float>(1.0 / (1.0 + g * (g + f.k)));
    f.a2 = static_cast<float>(g * f.a1);
    f.a3 = static_cast<float>(g * f.a2);
}

static void StepSvf(Svf& f, float in) {
    const float v3 = in - f.ic2;
    const float v1 = f.a1 * f.ic1 + f.a2 * v3;
    const float v2 = f.ic2 + f.a2 * f.ic1 + f.a3 * v3;
    f.ic1 = 2.0f * v1 - f.ic1;
    f.ic2 = 2.0f * v2 - f.ic2;
    f.low = v2;
    f.band = v1;
    f.high = in - f.k * v1 - v2;
}

// Band-limited step correction, so saws and pulses do not alias into hiss.
static double PolyBlep(double phase, double inc) {
    if (phase < inc) {
        const double t = phase / inc;
        return t + t - t * t - 1.0;
    }
    if (phase > 1.0 - inc) {
        const double t = (phase - 1.0) / inc;
        return t * t + t + t + 1.0;
    }
    return 0.0;
}

static double Saw(double phase, double inc) { return 2.0 * phase - 1.0 - PolyBlep(phase, inc); }

static double Pulse(double phase, double inc, double width) {
    double shifted = phase + (1.0 - width);
    shifted -= std::floor(shifted);
    return (phase < width ? 1.0 : -1.0) + PolyBlep(phase, inc) - PolyBlep(shifted, inc);
}

static double Advance(double phase, double inc) {
    phase += inc;
    return phase >= 1.0 ? phase - 1.0 : phase;
}

// Attack, hold for the note's length, then an exponential-ish linear release.
static double Gate(double t, double lengthSec, double attackSec, double releaseSec) {
    double g = attackSec > 0.0 ? std::min(1.0, t / attackSec) : 1.0;
    if (t > lengthSec) g *= std::max(0.0, 1.0 - (t - lengthSec) / releaseSec);
    return g;
}

static void PanGains(float pan, float& gainL, float& gainR) {
    const double angle = (std::clamp(pan, -1.0f, 1.0f) + 1.0) * twoPi / 8.0;
    gainL = static_cast<float>(std::cos(angle) * 1.41421356);
    gainR = static_cast<float>(std::sin(angle) * 1.41421356);
}

// 1 but for the last 10 ms of a one-shot, so that cutting its decay short never clicks.
static double EndTaper(size_t i, size_t count) {
    constexpr size_t taperFrames = sampleRateHz / 100;
    return i + taperFrames < count ? 1.0 : double(count - i) / taperFrames;
}

// Frames a note covers in the bus, tail included, clipped to the bus end.
static size_t FrameSpan(const StereoBus& bus, size_t first, double seconds) {
    const size_t want = static_cast<size_t>(seconds * sampleRateHz);
    return first >= bus.left.size() ? 0 : std::min(want, bus.left.size() - first);
}

// ---- instruments (each adds into bus from frame `first`)
static void RenderKick(const Note& n, StereoBus& bus, size_t first) {
    const size_t count = FrameSpan(bus, first, 0.9);
    double phase = 0.0;
    float gl, gr;
    PanGains(n.pan, gl, gr);
    for (size_t i = 0; i < count; ++i) {
        const double t = double(i) / sampleRateHz;
        const double freq = 46.0 + 115.0 * std::exp(-t / 0.035) + 40.0 * std::exp(-t / 0.006);
        phase += twoPi * freq / sampleRateHz;
        const double body = std::sin(phase) * std::exp(-t / 0.30) * std::min(1.0, t / 0.0015);
        const double click = NextNoise() * std::exp(-t / 0.0025) * 0.25;
        const float s = static_cast<float>(std::tanh(1.6 * (body + click)) * n.velocity * 0.75 * EndTaper(i, count));
        bus.left[first + i] += s * gl;
        bus.right[first + i] += s * gr;
    }
}

static void RenderSnare(const Note& n, StereoBus& bus, size_t first, bool clap) {
    const size_t count = FrameSpan(bus, first, clap ? 0.45 : 0.4);
    Svf fl, fr;
    TuneSvf(fl, clap ? 1150.0 : 1800.0 + 2500.0 * n.tone, clap ? 1.4 : 0.8);
    fr = fl;
    float gl, gr;
    PanGains(n.pan, gl, gr);
    for (size_t i = 0; i < count; ++i) {
        const double t = double(i) / sampleRateHz;
        double env;
        double tone = 0.0;
        if (clap) {
            // three quick slaps before the tail, like several hands
            const double slap = std::fmod(t, 0.011);
            env = t < 0.033 ? std::exp(-slap / 0.004) : std::exp(-(t - 0.033) / 0.13);
        } else {
            env = std::exp(-t / 0.13);
            tone = (std::sin(twoPi * 185.0 * t) * 0.6 + std::sin(twoPi * 330.0 * t) * 0.3) * std::exp(-t / 0.045);
        }
        const float common = NextNoise();
        StepSvf(fl, 0.7f * common + 0.3f * NextNoise());
        StepSvf(fr, 0.7f * common + 0.3f * NextNoise());
        const float outL = clap ? fl.band * 2.2f : fl.high;
        const float outR = clap ? fr.band * 2.2f : fr.high;
        const float v = static_cast<float>(n.velocity * EndTaper(i, count));
        bus.left[first + i] += static_cast<float>((outL * env * 0.8 + tone) * v * 1.4 * gl);
        bus.right[first + i] += static_cast<float>((outR * env * 0.8 + tone) * v * 1.4 * gr);
    }
}

static void RenderHat(const Note& n, StereoBus& bus, size_t first, double decaySec) {
    const size_t count = FrameSpan(bus, first, decaySec * 6.0);
    Svf f;
    TuneSvf(f, 6500.0 + 3000.0 * n.tone, 0.9);
    float gl, gr;
    PanGains(n.pan, gl, gr);
    for (size_t i = 0; i < count; ++i) {
        const double t = double(i) / sampleRateHz;
        StepSvf(f, NextNoise());
        const float s = static_cast<float>(f.high * std::exp(-t / decaySec) * 0.75 * n.velocity);
        bus.left[first + i] += s * gl;
        bus.right[first + i] += s * gr;
    }
}

// A short knock: the keys of a terminal in the typed listing.
static void RenderRim(const Note& n, StereoBus& bus, size_t first) {
    const size_t count = FrameSpan(bus, first, 0.08);
    Svf f;
    TuneSvf(f, 2200.0 + 1500.0 * n.tone, 3.0);
    float gl, gr;
    PanGains(n.pan, gl, gr);
    for (size_t i = 0; i < count; ++i) {
        const double t = double(i) / sampleRateHz;
        StepSvf(f, NextNoise());
        const double s = (f.band * 1.5 + std::sin(twoPi * 820.0 * t) * 0.5) * std::exp(-t / 0.012);
        bus.left[first + i] += static_cast<float>(s * n.velocity * gl);
        bus.right[first + i] += static_cast<float>(s * n.velocity * gr);
    }
}

// Sample-and-hold noise: the grainy drum of an old console's sound chip.
static void RenderChipNoise(const Note& n, StereoBus& bus, size_t first) {
    const size_t count = FrameSpan(bus, first, 0.25);
    const int holdFrames = 3 + static_cast<int>((1.0f - n.tone) * 12.0f);
    float held = 0.0f;
    float gl, gr;
    PanGains(n.pan, gl, gr);
    for (size_t i = 0; i < count; ++i) {
        if (i % holdFrames == 0) held = NextNoise() > 0.0f ? 1.0f : -1.0f;
        const double t = double(i) / sampleRateHz;
        const float s = static_cast<float>(held * std::exp(-t / 0.05) * 0.35 * n.velocity);
        bus.left[first + i] += s * gl;
        bus.right[first + i] += s * gr;
    }
}

static void RenderBass(const Note& n, StereoBus& bus, size_t first) {
    const double release = 0.05;
    const size_t count = FrameSpan(bus, first, n.lengthSec + release);
    const double freq = MidiToHz(n.pitch);
    const double inc = freq / sampleRateHz;
    double phaseA = 0.0, phaseB = 0.37;
    Svf f;
    float gl, gr;
    PanGains(n.pan, gl, gr);
    for (size_t i = 0; i < count; ++i) {
        const double t = double(i) / sampleRateHz;
        if (i % filterUpdateFrames == 0) TuneSvf(f, 90.0 + 900.0 * n.tone + 2600.0 * n.tone * std::exp(-t / 0.09), 1.7);
        const double osc = Saw(phaseA, inc) * 0.7 + Saw(phaseB, inc * 1.004) * 0.5;
        phaseA = Advance(phaseA, inc);
        phaseB = Advance(phaseB, inc * 1.004);
        StepSvf(f, static_cast<float>(osc));
        const double sub = std::sin(twoPi * freq * t) * 0.45;
        const double s = (f.low + sub) * Gate(t, n.lengthSec, 0.004, release) * n.velocity * 0.6;
        bus.left[first + i] += static_cast<float>(s * gl);
        bus.right[first + i] += static_cast<float>(s * gr);
    }
}

static void RenderSubBass(const Note& n, StereoBus& bus, size_t first) {
    const double release = 0.12;
    const size_t count = FrameSpan(bus, first, n.lengthSec + release);
    const double freq = MidiToHz(n.pitch);
    for (size_t i = 0; i < count; ++i) {
        const double t = double(i) / sampleRateHz;
        const double w = twoPi * freq * t;
        const double s = (std::sin(w) + 0.18 * std::sin(2.0 * w) + 0.08 * std::sin(3.0 * w)) *
                         Gate(t, n.lengthSec, 0.008, release) * n.velocity * 0.5;
        bus.left[first + i] += static_cast<float>(s);
        bus.right[first + i] += static_cast<float>(s);
    }
}

// Three detuned saws spread across the field, plus an octave; slow attack, long release.
static void RenderPad(const Note& n, StereoBus& bus, size_t first, bool drone) {
    const double attack = drone ? 1.2 : 0.35;
    const double release = drone ? 1.5 : 0.9;
    const size_t count = FrameSpan(bus, first, n.lengthSec + release);
    const double freq = MidiToHz(n.pitch);
    const double detune[4] = {0.9948, 1.0, 1.0052, 2.0015};
    const float level[4] = {0.33f, 0.33f, 0.33f, drone ? 0.05f : 0.12f};
    const float voicePan[4] = {-0.7f, 0.0f, 0.7f, 0.25f};
    double phase[4];
    float gl[4], gr[4];
    for (int v = 0; v < 4; ++v) {
        phase[v] = (NextNoise() + 1.0f) * 0.5f;
        PanGains(std::clamp(voicePan[v] * 0.8f + n.pan, -1.0f, 1.0f), gl[v], gr[v]);
    }
    Svf fl, fr;
    for (size_t i = 0; i < count; ++i) {
        const double t = double(i) / sampleRateHz;
        if (i % filterUpdateFrames == 0) {
            const double wobble = 1.0 + 0.15 * std::sin(twoPi * 0.23 * (n.startSec + t));
            TuneSvf(fl, (350.0 + 3200.0 * n.tone * n.tone) * wobble, 0.9);
            TuneSvf(fr, (350.0 + 3200.0 * n.tone * n.tone) / wobble, 0.9);
        }
        double l = 0.0, r = 0.0;
        for (int v = 0; v < 4; ++v) {
            const double inc = freq * detune[v] / sampleRateHz;
            const double s = Saw(phase[v], inc) * level[v];
            phase[v] = Advance(phase[v], inc);
            l += s * gl[v];
            r += s * gr[v];
        }
        StepSvf(fl, static_cast<float>(l));
        StepSvf(fr, static_cast<float>(r));
        double env = Gate(t, n.lengthSec, attack, release) * n.velocity * 0.5;
        if (drone) env *= 0.75 + 0.25 * std::sin(twoPi * 6.0 * t);  // the shaking figure
        bus.left[first + i] += static_cast<float>(fl.low * env);
        bus.right[first + i] += static_cast<float>(fr.low * env);
    }
}

static void RenderPluck(const Note& n, StereoBus& bus, size_t first) {
    const double release = 0.06;
    const size_t count = FrameSpan(bus, first, n.lengthSec + release);
    const double inc = MidiToHz(n.pitch) / sampleRateHz;
    double phase = 0.0;
    Svf f;
    float gl, gr;
    PanGains(n.pan, gl, gr);
    for (size_t i = 0; i < count; ++i) {
        const double t = double(i) / sampleRateHz;
        if (i % filterUpdateFrames == 0) TuneSvf(f, 250.0 + 6000.0 * n.tone * std::exp(-t / 0.07), 1.4);
        const double osc = Pulse(phase, inc, 0.3) * 0.6 + Saw(phase, inc) * 0.4;
        phase = Advance(phase, inc);
        StepSvf(f, static_cast<float>(osc));
        const double s = f.low * std::exp(-t / 0.3) * Gate(t, n.lengthSec, 0.002, release) * n.velocity * 0.5;
        bus.left[first + i] += static_cast<float>(s * gl);
        bus.right[first + i] += static_cast<float>(s * gr);
    }
}

static void RenderLead(const Note& n, StereoBus& bus, size_t first) {
    const double release = 0.1;
    const size_t count = FrameSpan(bus, first, n.lengthSec + release);
    const double baseHz = MidiToHz(n.pitch);
    double phaseA = 0.0, phaseB = 0.5;
    Svf f;
    TuneSvf(f, 1400.0 + 4000.0 * n.tone, 1.1);
    float gl, gr;
    PanGains(n.pan, gl, gr);
    for (size_t i = 0; i < count; ++i) {
        const double t = double(i) / sampleRateHz;
        const double vibrato = t > 0.18 ? 0.004 * std::min(1.0, (t - 0.18) / 0.3) : 0.0;
        const double freq = baseHz * (1.0 + vibrato * std::sin(twoPi * 5.5 * t));
        const double inc = freq / sampleRateHz;
        const double osc = Saw(phaseA, inc) * 0.5 + Pulse(phaseB, inc * 1.003, 0.25) * 0.4;
        phaseA = Advance(phaseA, inc);
        phaseB = Advance(phaseB, inc * 1.003);
        StepSvf(f, static_cast<float>(osc));
        const double env = Gate(t, n.lengthSec, 0.01, release) * (0.8 + 0.2 * std::exp(-t / 0.15));
        const double s = f.low * env * n.velocity * 0.45;
        bus.left[first + i] += static_cast<float>(s * gl);
        bus.right[first + i] += static_cast<float>(s * gr);
    }
}

static void RenderChip(const Note& n, StereoBus& bus, size_t first, bool triangle) {
    const double release = 0.02;
    const size_t count = FrameSpan(bus, first, n.lengthSec + release);
    const double inc = MidiToHz(n.pitch) / sampleRateHz;
    double phase = 0.0;
    float gl, gr;
    PanGains(n.pan, gl, gr);
    for (size_t i = 0; i < count; ++i) {
        const double t = double(i) / sampleRateHz;
        double osc;
        if (triangle) {
            // stepped like a 4-bit wave table
            osc = std::floor((1.0 - 4.0 * std::fabs(phase - 0.5)) * 8.0) / 8.0;
        } else {
            osc = Pulse(phase, inc, 0.5) * (0.7 + 0.3 * std::exp(-t / 0.08));
        }
        phase = Advance(phase, inc);
        const double s = osc * Gate(t, n.lengthSec, 0.002, release) * n.velocity * 0.3;
        bus.left[first + i] += static_cast<float>(s * gl);
        bus.right[first + i] += static_cast<float>(s * gr);
    }
}

// Two-operator FM with a decaying index: a glassy bell.
static void RenderBell(const Note& n, StereoBus& bus, size_t first) {
    const size_t count = FrameSpan(bus, first, std::max(n.lengthSec, 0.1) + 2.5);
    const double freq = MidiToHz(n.pitch);
    float gl, gr;
    PanGains(n.pan, gl, gr);
    for (size_t i = 0; i < count; ++i) {
        const double t = double(i) / sampleRateHz;
        const double index = 1.8 * n.tone * std::exp(-t / 0.4) + 0.2;
        const double mod = std::sin(twoPi * freq * 3.5 * t) * index;
        const double s = std::sin(twoPi * freq * t + mod) * std::exp(-t / 1.0) * std::min(1.0, t / 0.002) * n.velocity *
                         0.3 * EndTaper(i, count);
        bus.left[first + i] += static_cast<float>(s * gl);
        bus.right[first + i] += static_cast<float>(s * gr);
    }
}

// Filtered noise sweeping up (pitch 1) or down (pitch 0) over the note, swelling as it goes.
static void RenderRiser(const Note& n, StereoBus& bus, size_t first) {
    const size_t count = FrameSpan(bus, first, n.lengthSec + 0.03);
    Svf fl, fr;
    const bool rising = n.pitch != 0;
    for (size_t i = 0; i < count; ++i) {
        const double t = double(i) / sampleRateHz;
        const double x = std::min(1.0, t / n.lengthSec);
        const double sweep = rising ? x : 1.0 - x;
        if (i % filterUpdateFrames == 0) {
            const double cutoff = 250.0 * std::pow(36.0, sweep);
            TuneSvf(fl, cutoff, 2.5);
            TuneSvf(fr, cutoff * 1.07, 2.5);
        }
        StepSvf(fl, NextNoise());
        StepSvf(fr, NextNoise());
        double env = rising ? x * x : (1.0 - x) * std::min(1.0, t / 0.05);
        if (t > n.lengthSec) env = std::max(0.0, 1.0 - (t - n.lengthSec) / 0.03) * (rising ? 1 : 0);
        const double s = env * n.velocity * 0.5;
        bus.left[first + i] += static_cast<float>(fl.band * s);
        bus.right[first + i] += static_cast<float>(fr.band * s);
    }
}

// ---- module functions
void ResizeBus(StereoBus& bus, size_t frames) {
    bus.left.assign(frames, 0.0f);
    bus.right.assign(frames, 0.0f);
}

void SeedNoise(uint32_t seed) { noiseState = seed ? seed : 1u; }

float NextNoise() {
    noiseState ^= noiseState << 13;
    noiseState ^= noiseState >> 17;
    noiseState ^= noiseState << 5;
    return static_cast<float>(noiseState >> 8) * (2.0f / 16777216.0f) - 1.0f;
}

double MidiToHz(int pitch) { return 440.0 * std::pow(2.0, (pitch - 69) / 12.0); }

void RenderNote(const Note& note, StereoBus& bus) {
    if (note.startSec < 0.0) return;
    const size_t first = static_cast<size_t>(std::lround(note.startSec * sampleRateHz));
    switch (note.instrument) {
    case kickDrum:
        RenderKick(note, bus, first);
        break;
    case snareDrum:
        RenderSnare(note, bus, first, false);
        break;
    case clapDrum:
        RenderSnare(note, bus, first, true);
        break;
    case closedHat:
        RenderHat(note, bus, first, 0.028);
        break;
    case openHat:
        RenderHat(note, bus, first, 0.16);
        break;
    case rimShot:
        RenderRim(note, bus, first);
        break;
    case chipNoise:
        RenderChipNoise(note, bus, first);
        break;
    case bassSynth:
        RenderBass(note, bus, first);
        break;
    case subBass:
        RenderSubBass(note, bus, first);
        break;
    case padSynth:
        RenderPad(note, bus, first, false);
        break;
    case droneSynth:
        RenderPad(note, bus, first, true);
        break;
    case pluckSynth:
        RenderPluck(note, bus, first);
        break;
    case leadSynth:
        RenderLead(note, bus, first);
        break;
    case chipLead:
        RenderChip(note, bus, first, false);
        break;
    case chipBass:
        RenderChip(note, bus, first, true);
        break;
    case bellSynth:
        RenderBell(note, bus, first);
        break;
    case noiseRiser:
        RenderRiser(note, bus, first);
        break;
    case instrumentCount:
        break;
    }
}
