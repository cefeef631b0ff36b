// A small additive synthesiser: each note is rendered on its own into a stereo bus.
// Depends on nothing but the standard library; everything is deterministic.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

// ---- constants
constexpr int sampleRateHz = 44100;

// ---- types
struct StereoBus {
    std::vector<float> left;
    std::vector<float> right;
};

enum Instrument {
    kickDrum,
    snareDrum,
    clapDrum,
    closedHat,
    openHat,
    rimShot,
    chipNoise,
    bassSynth,
    subBass,
    padSynth,
    pluckSynth,
    leadSynth,
    chipLead,
    chipBass,
    bellSynth,
    droneSynth,
    noiseRiser,
    instrumentCount
};

// One scheduled sound. Pitch is a MIDI note number (69 = 440 Hz); ignored by drums.
struct Note {
    Instrument instrument;
    double startSec;
    double lengthSec;
    int pitch;
    float velocity;  // 0..1
    float pan;       // -1 left .. 1 right
    float tone;      // 0..1, brightness of the filter
};

// ---- module functions
void ResizeBus(StereoBus& bus, size_t frames);
void SeedNoise(uint32_t seed);
float NextNoise();  // uniform in [-1, 1)
double MidiToHz(int pitch);
// Adds one note into the bus; its tail may run past lengthSec (release, decay).
void RenderNote(const Note& note, StereoBus& bus);
