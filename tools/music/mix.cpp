// Mixing: every note is rendered into one of five buses; the pad and bass dip under each kick,
// the lead is echoed across the field, most buses feed a small room, and the master follows the
// picture's fades before a gentle saturation and peak normalisation.
// Depends on mix.h, score.h and synth.h.
#include "mix.h"

#include <algorithm>
#include <cmath>

#include "score.h"

// ---- constants
constexpr int busCount = 5;
constexpr double duckReleaseSec = 0.12;
constexpr double echoBeats = 0.75;  // dotted eighth
constexpr float echoFeedback = 0.38f;
constexpr float roomFeedback = 0.8f;
constexpr float roomDamping = 0.3f;
constexpr double dipFloorGain = 0.35;
constexpr double dipRecoverySec = 0.5;
constexpr double saturationDrive = 1.5;  // tanh input at the loudest peak

// ---- types
enum BusId { drumBus, bassBus, padBus, leadBus, effectBus };

struct BusSettings {
    float duckDepth;  // how far the bus dips under a kick, 0..1
    float echoSend;
    float roomSend;
    float level;
};

// ---- globals
static const BusSettings busSettings[busCount] = {
    {0.0f, 0.0f, 0.07f, 1.0f},    // drums
    {0.45f, 0.0f, 0.0f, 0.75f},   // bass
    {0.5f, 0.0f, 0.3f, 0.8f},     // pads and drones
    {0.15f, 0.28f, 0.2f, 0.95f},  // leads, plucks, bells
    {0.2f, 0.1f, 0.35f, 0.5f},    // risers
};

// ---- local helpers
static BusId BusFor(Instrument instrument) {
    switch (instrument) {
    case kickDrum:
    case snareDrum:
    case clapDrum:
    case closedHat:
    case openHat:
    case rimShot:
    case chipNoise:
        return drumBus;
    case bassSynth:
    case subBass:
    case chipBass:
        return bassBus;
    case padSynth:
    case droneSynth:
        return padBus;
    case noiseRiser:
        return effectBus;
    default:
        return leadBus;
    }
}

// 0..1 per frame: how hard the last kick still pushes the other buses down.
static std::vector<float> KickEnvelope(const std::vector<Note>& notes, size_t frames) {
    std::vector<float> env(frames, 0.0f);
    const size_t span = static_cast<size_t>(duckReleaseSec * 5.0 * sampleRateHz);
    for (const Note& n : notes) {
        if (n.instrument != kickDrum) continue;
        const size_t first = static_cast<size_t>(std::lround(n.startSec * sampleRateHz));
        for (size_t i = 0; i < span && first + i < frames; ++i) {
            const double t = double(i) / sampleRateHz;
            const float e = static_cast<float>(std::min(1.0, t / 0.005) * std::exp(-t / duckReleaseSec) *
                                               std::min(1.0f, n.velocity * 1.1f));
            env[first + i] = std::max(env[first + i], e);
        }
    }
    return env;
}

// Ping-pong echo: the left line feeds the right and back, darker with every repeat.
static void AddEcho(const StereoBus& send, StereoBus& out) {
    const size_t delayFrames = static_cast<size_t>(BeatToSec(echoBeats) * sampleRateHz - BeatToSec(0.0) * sampleRateHz);
    std::vector<float> lineL(delayFrames, 0.0f), lineR(delayFrames, 0.0f);
    float toneL = 0.0f, toneR = 0.0f;
    size_t pos = 0;
    for (size_t i = 0; i < out.left.size(); ++i) {
        const float outL = lineL[pos], outR = lineR[pos];
        toneL += 0.45f * (outR - toneL);
        toneR += 0.45f * (outL - toneR);
        lineL[pos] = 0.5f * (send.left[i] + send.right[i]) + toneL * echoFeedback;
        lineR[pos] = toneR * echoFeedback;
        out.left[i] += outL;
        out.right[i] += outR;
        pos = pos + 1 == delayFrames ? 0 : pos + 1;
    }
}

// A small room: parallel damped combs into series all-passes, offset per side for width.
static void AddRoom(const StereoBus& send, StereoBus& out) {
    static const int combFrames[6] = {1116, 1188, 1277, 1356, 1422, 1491};
    static const int allpassFrames[3] = {556, 441, 341};
    constexpr int stereoSpreadFrames = 23;
    for (int side = 0; side < 2; ++side) {
        const int spread = side ? stereoSpreadFrames : 0;
        std::vector<std::vector<float>> combs, allpasses;
        std::vector<size_t> combPos(6, 0), allpassPos(3, 0);
        std::vector<float> combTone(6, 0.0f);
        for (int c = 0; c < 6; ++c) combs.emplace_back(combFrames[c] + spread, 0.0f);
        for (int a = 0; a < 3; ++a) allpasses.emplace_back(allpassFrames[a] + spread, 0.0f);
        std::vector<float>& target = side ? out.right : out.left;
        for (size_t i = 0; i < target.size(); ++i) {
            const float in = 0.5f * (send.left[i] + send.right[i]) * 0.02f;
            float sum = 0.0f;
            for (int c = 0; c < 6; ++c) {
                std::vector<float>& line = combs[c];
                const float y = line[combPos[c]];
                combTone[c] = y * (1.0f - roomDamping) + combTone[c] * roomDamping;
                line[combPos[c]] = in + combTone[c] * roomFeedback;
                combPos[c] = combPos[c] + 1 == line.size() ? 0 : combPos[c] + 1;
                sum += y;
            }
            for (int a = 0; a < 3; ++a) {
                std::vector<float>& line = allpasses[a];
                const float buffered = line[allpassPos[a]];
                line[allpassPos[a]] = sum + buffered * 0.5f;
                sum = buffered - sum;
                allpassPos[a] = allpassPos[a] + 1 == line.size() ? 0 : allpassPos[a] + 1;
            }
            target[i] += sum;
        }
    }
}

static double Smooth(double x) {
    x = std::clamp(x, 0.0, 1.0);
    return x * x * (3.0 - 2.0 * x);
}

static double DipGain(double sec, double startSec, double endSec) {
    if (sec < startSec || sec >= endSec + dipRecoverySec) return 1.0;
    if (sec < endSec) return 1.0 - (1.0 - dipFloorGain) * Smooth((sec - startSec) / (endSec - startSec));
    return dipFloorGain + (1.0 - dipFloorGain) * Smooth((sec - endSec) / dipRecoverySec);
}

// ---- module functions
double MasterGainAt(double sec) {
    double gain = Smooth(sec / fadeInSec);
    gain *= DipGain(sec, firstDipStartSec, firstDipEndSec);
    gain *= DipGain(sec, secondDipStartSec, secondDipEndSec);
    if (sec >= finalFadeEndSec) return 0.0;
    if (sec > finalFadeStartSec) {
        const double c =
            std::cos((sec - finalFadeStartSec) / (finalFadeEndSec - finalFadeStartSec) * 3.141592653589793 * 0.5);
        gain *= c * c;
    }
    return gain;
}

StereoBus MixScore(const std::vector<Note>& notes) {
    const size_t frames = static_cast<size_t>(musicLengthSec * sampleRateHz);
    StereoBus buses[busCount];
    for (StereoBus& b : buses) ResizeBus(b, frames);
    SeedNoise(0x5eed1u);
    for (const Note& n : notes) RenderNote(n, buses[BusFor(n.instrument)]);

    const std::vector<float> kick = KickEnvelope(notes, frames);
    StereoBus master, echoSend, roomSend;
    ResizeBus(master, frames);
    ResizeBus(echoSend, frames);
    ResizeBus(roomSend, frames);
    for (int b = 0; b < busCount; ++b) {
        const BusSettings& s = busSettings[b];
        for (size_t i = 0; i < frames; ++i) {
            const float g = s.level * (1.0f - s.duckDepth * kick[i]);
            const float l = buses[b].left[i] * g, r = buses[b].right[i] * g;
            master.left[i] += l;
            master.right[i] += r;
            echoSend.left[i] += l * s.echoSend;
            echoSend.right[i] += r * s.echoSend;
            roomSend.left[i] += l * s.roomSend;
            roomSend.right[i] += r * s.roomSend;
        }
    }
    AddEcho(echoSend, roomSend);  // echoes sit in the room too
    AddEcho(echoSend, master);
    AddRoom(roomSend, master);

    float peak = 0.0f;
    for (size_t i = 0; i < frames; ++i) {
        const float g = static_cast<float>(MasterGainAt(double(i) / sampleRateHz));
        master.left[i] *= g;
        master.right[i] *= g;
        peak = std::max({peak, std::fabs(master.left[i]), std::fabs(master.right[i])});
    }
    if (peak <= 0.0f) return master;
    // Round the loudest peaks off, then bring the result to the target peak.
    const double drive = saturationDrive / peak;
    float saturatedPeak = 0.0f;
    for (size_t i = 0; i < frames; ++i) {
        master.left[i] = static_cast<float>(std::tanh(master.left[i] * drive));
        master.right[i] = static_cast<float>(std::tanh(master.right[i] * drive));
        saturatedPeak = std::max({saturatedPeak, std::fabs(master.left[i]), std::fabs(master.right[i])});
    }
    const float scale = static_cast<float>(std::pow(10.0, targetPeakDbfs / 20.0)) / saturatedPeak;
    for (size_t i = 0; i < frames; ++i) {
        master.left[i] *= scale;
        master.right[i] *= scale;
    }
    return master;
}
