// The composition in A minor at the mesh pulse (about 119.97 BPM), one passage per stretch of
// the timeline: build-up, heart pulse, robot groove, typed break, tension, tunnel drive with a
// chip-tune interlude, transition, calm credits and the outro. Every window bound of the show
// falls on a bar line of the beat grid, so passages change where the picture does.
// Depends on score.h and synth.h.
#include "score.h"

#include <cctype>
#include <cstdint>
#include <string>

// ---- constants
constexpr double barBeats = 4.0;
constexpr double stepBeats = 0.25;  // sixteenth note
constexpr double eighthBeats = 0.5;

// ---- types
struct Chord {
    int bass;      // MIDI root in the bass register
    int tones[4];  // pad voicing
};

// Collects notes, dropping any that would start at or after the end of the current passage.
struct ScoreWriter {
    std::vector<Note> notes;
    double endBeat = 0.0;
};

// ---- globals
const double timelineBoundsMs[timelineWindowCount] = {2000,  6000,  10000, 14000, 18000,  22000, 30000, 32000,
                                                      34000, 36000, 40000, 44000, 48000,  52000, 54000, 68000,
                                                      72000, 86000, 90000, 94000, 110000, 124000};

static const Chord amChord = {33, {57, 60, 64, 67}};
static const Chord fChord = {29, {53, 57, 60, 64}};
static const Chord cChord = {36, {55, 60, 64, 67}};
static const Chord gChord = {31, {55, 59, 62, 67}};
static const Chord dmChord = {38, {53, 57, 62, 65}};
static const Chord bbChord = {34, {53, 58, 62, 65}};
static const Chord eChord = {28, {56, 59, 64, 68}};

static const Chord* const mainProgression[4] = {&amChord, &fChord, &cChord, &gChord};
static const Chord* const tensionProgression[4] = {&dmChord, &amChord, &bbChord, &eChord};
static const Chord* const driveProgression[4] = {&amChord, &gChord, &fChord, &gChord};
static const Chord* const platformProgression[3] = {&cChord, &fChord, &gChord};
static const Chord* const calmProgression[4] = {&fChord, &cChord, &dmChord, &amChord};

// Melodies: one token per eighth note; "-" holds the previous note, "." rests.
static const char* const grooveTheme =
    "e5 - - c5 d5 e5 - g5  f5 - e5 - c5 - a4 -  g4 - c5 - e5 - d5 c5  d5 - - b4 g4 - - -";
static const char* const grooveAnswer =
    "a5 - g5 e5 - - c5 d5  e5 - d5 c5 a4 - c5 -  e5 - g5 - c6 - b5 g5  b5 - g5 - d5 - - -";
static const char* const tensionTheme =
    "d5 - - - e5 - f5 -  e5 - - - c5 - - -  d5 - - - f5 - a#5 -  g#5 - - - - - - -"
    "  a5 - - - g5 - f5 -  e5 - - - - - c5 -  d5 - f5 - a#5 - d6 -  b5 - - - g#5 - - -";
static const char* const driveTheme =
    "a5 . a5 c6 - a5 g5 e5  g5 . g5 b5 - g5 d5 b4  a5 . a5 c6 - a5 f5 c5  b5 - - d6 - - b5 g5";
static const char* const platformTheme = "g5 . e5 g5 c6 . g5 .  a5 . f5 a5 c6 . a5 f5  g5 b5 d6 b5 g5 . d5 .";
static const char* const platformBass = "c3 c4 g3 c4 c3 c4 g3 c4  f3 f4 c4 f4 f3 f4 c4 f4  g3 g4 d4 g4 g3 g4 b3 d4";
static const char* const creditsTheme =
    "c6 - - - a5 - - -  g5 - - - e5 - - -  f5 - - - d5 - e5 -  c5 - - - - - - -"
    "  a5 - - - c6 - - -  e6 - - - d6 - c6 -  d6 - - - a5 - - -  e5 - - - - - - -";

// Drum rows, sixteen steps to the bar: "x" full, "o" soft, "." silent.
static const char* const fourFloor = "x...x...x...x...";
static const char* const offbeatEighths = "..x...x...x...x.";
static const char* const backbeat = "....x.......x...";
static const char* const sixteenthHats = "xoxoxoxoxoxoxoxo";
static const char* const grooveKickA = "x.....x...x.....";
static const char* const grooveKickB = "x.....x.x.....x.";
static const char* const halfTimeKick = "x.......x.x.....";
static const char* const halfTimeSnare = "........x.......";
// Bass rows: step offsets in semitones from the chord root, "." continues the last note.
static const int grooveBassSteps[16] = {0, -1, -1, 0, -1, -1, 0, -1, 12, -1, -1, 0, -1, 0, 12, -1};
static const int driveBassSteps[16] = {0, 0, 12, 0, 0, 12, 0, 12, 0, 0, 12, 0, 0, 12, 0, 12};

static uint32_t scoreRandomState = 1u;  // choices of the typed break, seeded by ComposeScore

// ---- local helpers
static float ScoreRandom() {  // uniform in [0, 1)
    scoreRandomState = scoreRandomState * 1664525u + 1013904223u;
    return static_cast<float>(scoreRandomState >> 8) / 16777216.0f;
}

static void AddNote(ScoreWriter& w, Instrument instrument, double beat, double lengthBeats, int pitch, float velocity,
                    float pan, float tone) {
    if (beat >= w.endBeat - 1e-9) return;
    const double startSec = BeatToSec(beat);
    const double lengthSec = BeatToSec(beat + lengthBeats) - startSec;
    w.notes.push_back({instrument, startSec, lengthSec, pitch, velocity, pan, tone});
}

static void AddDrumRow(ScoreWriter& w, Instrument instrument, double barBeat, const char* row, float velocity,
                       float pan, float tone) {
    for (int step = 0; row[step] != '\0'; ++step) {
        if (row[step] == '.') continue;
        const float v = row[step] == 'x' ? velocity : velocity * 0.5f;
        AddNote(w, instrument, barBeat + step * stepBeats, stepBeats, 0, v, pan, tone);
    }
}

static int ParsePitch(const std::string& token) {
    static const int letterSemitones[7] = {9, 11, 0, 2, 4, 5, 7};  // a b c d e f g
    int pitch = letterSemitones[std::tolower(token[0]) - 'a'];
    size_t i = 1;
    if (token[i] == '#')
        pitch += 1, ++i;
    else if (token[i] == 'b' && token.size() > 2)
        pitch -= 1, ++i;
    return pitch + 12 * (token[i] - '0' + 1);
}

// Plays a melody of eighth-note tokens from `beat`; returns the beat after its last token.
static double AddMelody(ScoreWriter& w, Instrument instrument, double beat, const char* tokens, float velocity,
                        float pan, float tone, int transpose = 0) {
    std::vector<std::string> list;
    std::string token;
    for (const char* c = tokens;; ++c) {
        if (*c == ' ' || *c == '\0') {
            if (!token.empty()) list.push_back(token);
            token.clear();
            if (*c == '\0') break;
        } else {
            token += *c;
        }
    }
    for (size_t i = 0; i < list.size(); ++i) {
        if (list[i] == "-" || list[i] == ".") continue;
        size_t held = 1;
        while (i + held < list.size() && list[i + held] == "-") ++held;
        AddNote(w, instrument, beat + i * eighthBeats, held * eighthBeats - 0.05, ParsePitch(list[i]) + transpose,
                velocity, pan, tone);
    }
    return beat + list.size() * eighthBeats;
}

static void AddPadChord(ScoreWriter& w, const Chord& chord, double beat, double lengthBeats, float velocity,
                        float tone) {
    for (int i = 0; i < 4; ++i) AddNote(w, padSynth, beat, lengthBeats, chord.tones[i], velocity * 0.45f, 0.0f, tone);
}

static void AddBassRow(ScoreWriter& w, const Chord& chord, double barBeat, const int* steps, float velocity, float tone,
                       bool staccato) {
    for (int step = 0; step < 16; ++step) {
        if (steps[step] < 0) continue;
        int held = 1;
        while (step + held < 16 && steps[step + held] < 0) ++held;
        const double length = staccato ? stepBeats * 0.7 : held * stepBeats * 0.9;
        AddNote(w, bassSynth, barBeat + step * stepBeats, length, chord.bass + 12 + steps[step], velocity, 0.0f, tone);
    }
}

// Sixteenth-note arpeggio up and down the chord, two octaves, panned side to side.
static void AddArpeggioBar(ScoreWriter& w, const Chord& chord, double barBeat, float velocity, float tone,
                           int octaveShift) {
    static const int order[16] = {0, 1, 2, 3, 4, 5, 6, 7, 6, 5, 4, 3, 2, 1, 2, 3};
    for (int step = 0; step < 16; ++step) {
        const int k = order[step];
        const int pitch = chord.tones[k % 4] + 12 * (k / 4) + 12 * octaveShift;
        const float pan = (step % 2 == 0) ? -0.45f : 0.45f;
        AddNote(w, pluckSynth, barBeat + step * stepBeats, stepBeats * 0.8, pitch,
                velocity * (step % 4 == 0 ? 1.0f : 0.75f), pan, tone);
    }
}

static void AddSnareRoll(ScoreWriter& w, double fromBeat, double toBeat, float fromVelocity, float toVelocity) {
    const int count = static_cast<int>((toBeat - fromBeat) / stepBeats + 0.5);
    for (int i = 0; i < count; ++i) {
        const float x = count > 1 ? float(i) / float(count - 1) : 1.0f;
        AddNote(w, snareDrum, fromBeat + i * stepBeats, stepBeats, 0, fromVelocity + (toVelocity - fromVelocity) * x,
                0.0f, 0.3f + 0.5f * x);
    }
}

// ---- passages, in show order
static void ComposeTitle(ScoreWriter& w) {  // 2-6 s: rings rise, the title fades in
    w.endBeat = 8;
    AddPadChord(w, amChord, 0, 8, 0.85f, 0.3f);
    AddNote(w, subBass, 4, 4, amChord.bass, 0.5f, 0.0f, 0.0f);
    AddNote(w, noiseRiser, 0, 8, 1, 0.55f, 0.0f, 0.0f);
    static const int rising[8] = {69, 72, 76, 81, 79, 76, 84, 88};
    for (int i = 0; i < 8; ++i) AddNote(w, bellSynth, i, 0.5, rising[i], 0.35f + 0.05f * i, i % 2 ? 0.4f : -0.4f, 0.6f);
}

static void ComposeHeart(ScoreWriter& w) {  // 6-18 s: the pulsing object, kick on its pulse
    w.endBeat = 32;
    for (int bar = 0; bar < 6; ++bar) {
        const double b = 8 + bar * barBeats;
        const Chord& chord = *mainProgression[bar % 4];
        const float build = bar / 5.0f;
        AddDrumRow(w, kickDrum, b, fourFloor, 0.8f + 0.15f * build, 0.0f, 0.0f);
        AddPadChord(w, chord, b, barBeats, 0.7f, 0.3f + 0.3f * build);
        if (bar < 2) {
            for (int beat = 0; beat < 4; ++beat) AddNote(w, subBass, b + beat, 0.45, chord.bass, 0.8f, 0.0f, 0.0f);
            AddNote(w, bellSynth, b, 1, chord.tones[3] + 12, 0.4f, bar ? 0.5f : -0.5f, 0.5f);
        } else {
            AddBassRow(w, chord, b, driveBassSteps, 0.45f + 0.2f * build, 0.25f + 0.3f * build, true);
            AddDrumRow(w, closedHat, b, bar < 4 ? offbeatEighths : sixteenthHats, 0.5f, 0.3f, 0.5f);
        }
        if (bar >= 4) AddDrumRow(w, clapDrum, b, backbeat, 0.55f, 0.0f, 0.0f);
    }
    AddSnareRoll(w, 30, 32, 0.15f, 0.5f);
    AddNote(w, noiseRiser, 24, 8, 1, 0.45f, 0.0f, 0.0f);
}

static void ComposeGroove(ScoreWriter& w) {  // 18-48 s: the robot stands, nods and strides
    w.endBeat = 92;
    for (int bar = 0; bar < 15; ++bar) {
        const double b = 32 + bar * barBeats;
        const Chord& chord = *mainProgression[bar % 4];
        const bool striding = b >= 68;
        AddDrumRow(w, kickDrum, b, bar % 2 ? grooveKickB : grooveKickA, 0.95f, 0.0f, 0.0f);
        AddDrumRow(w, snareDrum, b, backbeat, 0.75f, 0.0f, 0.4f);
        if (b >= 56) AddDrumRow(w, clapDrum, b, backbeat, 0.4f, 0.1f, 0.0f);  // the nodding
        AddDrumRow(w, closedHat, b, sixteenthHats, 0.45f, 0.35f, 0.6f);
        if (bar % 2) AddNote(w, openHat, b + 3.5, 0.5, 0, 0.35f, -0.3f, 0.5f);
        AddBassRow(w, chord, b, grooveBassSteps, 0.8f, 0.45f, false);
        AddPadChord(w, chord, b, barBeats, 0.6f, 0.4f);
        if (striding) AddArpeggioBar(w, chord, b, 0.35f, 0.35f + 0.02f * bar, 0);
    }
    AddMelody(w, leadSynth, 40, grooveTheme, 0.6f, -0.1f, 0.4f);
    AddMelody(w, leadSynth, 56, grooveAnswer, 0.65f, -0.1f, 0.45f);
    AddMelody(w, leadSynth, 72, grooveTheme, 0.7f, -0.1f, 0.55f, 12);
    AddSnareRoll(w, 90, 92, 0.2f, 0.55f);
    AddNote(w, noiseRiser, 88, 4, 1, 0.35f, 0.0f, 0.0f);
}

static void ComposeBreak(ScoreWriter& w) {  // 48-52 s: the assembly listing is typed
    w.endBeat = 100;
    AddPadChord(w, amChord, 92, 4, 0.55f, 0.2f);
    AddPadChord(w, fChord, 96, 4, 0.55f, 0.2f);
    AddNote(w, subBass, 92, 4, amChord.bass, 0.5f, 0.0f, 0.0f);
    AddNote(w, subBass, 96, 4, fChord.bass, 0.5f, 0.0f, 0.0f);
    static const int pentatonic[6] = {81, 84, 86, 88, 91, 93};
    for (int step = 0; step < 32; ++step) {
        const double beat = 92 + step * stepBeats;
        if (ScoreRandom() < 0.6f)
            AddNote(w, rimShot, beat, stepBeats, 0, 0.3f + 0.3f * ScoreRandom(), ScoreRandom() - 0.5f, ScoreRandom());
        if (ScoreRandom() < 0.3f)
            AddNote(w, pluckSynth, beat, stepBeats * 0.6, pentatonic[int(ScoreRandom() * 6) % 6], 0.25f,
                    ScoreRandom() * 1.2f - 0.6f, 0.7f);
    }
    AddNote(w, noiseRiser, 98, 2, 0, 0.3f, 0.0f, 0.0f);
}

static void ComposeTension(ScoreWriter& w) {  // 50-70 s: the figure tips, shrinks and shakes
    w.endBeat = 132;
    for (int bar = 0; bar < 8; ++bar) {
        const double b = 100 + bar * barBeats;
        const Chord& chord = *tensionProgression[bar % 4];
        const bool fading = b >= 128;  // the picture fades to black
        AddPadChord(w, chord, b, barBeats, fading ? 0.8f : 0.6f, 0.25f);
        if (fading) {
            AddNote(w, droneSynth, b, 4, chord.bass + 12, 0.6f, 0.0f, 0.2f);
            continue;
        }
        AddDrumRow(w, kickDrum, b, halfTimeKick, 0.9f, 0.0f, 0.0f);
        AddDrumRow(w, snareDrum, b, halfTimeSnare, 0.7f, 0.0f, 0.2f);
        AddDrumRow(w, closedHat, b, offbeatEighths, 0.35f, -0.3f, 0.3f);
        AddDrumRow(w, closedHat, b, "x...x...x...x...", 0.25f, 0.3f, 0.2f);
        for (int eighth = 0; eighth < 8; ++eighth)
            AddNote(w, bassSynth, b + eighth * eighthBeats, 0.3, chord.bass + 12, eighth % 2 ? 0.55f : 0.75f, 0.0f,
                    0.3f);
        if (bar % 2 == 0) AddNote(w, bellSynth, b, 2, chord.tones[3] + 12, 0.3f, 0.5f, 0.8f);
    }
    AddMelody(w, leadSynth, 108, tensionTheme, 0.55f, 0.1f, 0.3f);

    w.endBeat = 140;  // shaking on black, winding up for the tunnel
    AddNote(w, droneSynth, 132, 8, 40, 0.9f, 0.0f, 0.3f);
    AddNote(w, droneSynth, 132, 8, 47, 0.6f, 0.0f, 0.3f);
    AddNote(w, subBass, 132, 8, 28, 0.6f, 0.0f, 0.0f);
    static const double kicks[6] = {132, 134, 136, 137, 138, 139};
    for (double k : kicks) AddNote(w, kickDrum, k, 1, 0, 0.8f, 0.0f, 0.0f);
    AddSnareRoll(w, 136, 140, 0.1f, 0.6f);
    AddNote(w, noiseRiser, 132, 8, 1, 0.6f, 0.0f, 0.0f);
}

static void AddDriveBar(ScoreWriter& w, double b, const Chord& chord) {
    AddDrumRow(w, kickDrum, b, fourFloor, 1.0f, 0.0f, 0.0f);
    AddDrumRow(w, clapDrum, b, backbeat, 0.7f, 0.0f, 0.0f);
    AddDrumRow(w, closedHat, b, sixteenthHats, 0.5f, 0.3f, 0.8f);
    AddDrumRow(w, openHat, b, offbeatEighths, 0.35f, -0.3f, 0.7f);
    AddBassRow(w, chord, b, driveBassSteps, 0.8f, 0.65f, true);
    AddArpeggioBar(w, chord, b, 0.3f, 0.75f, 1);
    AddPadChord(w, chord, b, barBeats, 0.45f, 0.55f);
}

static void ComposeTunnel(ScoreWriter& w) {  // 70-84 s: the tunnel chase and platform interlude
    w.endBeat = 150;
    for (int bar = 0; bar < 3; ++bar) AddDriveBar(w, 140 + bar * barBeats, *driveProgression[bar % 4]);
    AddMelody(w, leadSynth, 140, driveTheme, 0.7f, -0.15f, 0.7f);

    w.endBeat = 162;  // the platform game: a tiny sound chip
    for (int bar = 0; bar < 3; ++bar) {
        const double b = 150 + bar * barBeats;
        AddDrumRow(w, kickDrum, b, "x.......x.......", 0.7f, 0.0f, 0.0f);
        AddDrumRow(w, chipNoise, b, backbeat, 0.9f, 0.0f, 0.3f);
        AddDrumRow(w, chipNoise, b, "..x...x...x...x.", 0.4f, 0.2f, 1.0f);
        AddPadChord(w, *platformProgression[bar], b, barBeats, 0.3f, 0.3f);
    }
    AddMelody(w, chipLead, 150, platformTheme, 0.8f, 0.15f, 0.0f);
    AddMelody(w, chipLead, 150.25, platformTheme, 0.3f, -0.6f, 0.0f, 12);  // echoing channel
    AddMelody(w, chipBass, 150, platformBass, 0.8f, 0.0f, 0.0f, -12);

    w.endBeat = 168;  // back in the tunnel as it fades out
    for (int bar = 0; bar < 2; ++bar) AddDriveBar(w, 162 + bar * barBeats, *driveProgression[bar % 4]);
    AddMelody(w, leadSynth, 162, driveTheme, 0.7f, -0.15f, 0.7f);
}

static void ComposeTransition(ScoreWriter& w) {  // 84-92 s: tumble on black, fade to white
    w.endBeat = 176;
    AddNote(w, droneSynth, 168, 8, 45, 0.7f, 0.0f, 0.25f);
    AddNote(w, subBass, 168, 8, 33, 0.5f, 0.0f, 0.0f);
    AddNote(w, noiseRiser, 168, 6, 0, 0.5f, 0.0f, 0.0f);
    static const int falling[6] = {88, 84, 81, 76, 72, 69};
    for (int i = 0; i < 6; ++i) AddNote(w, bellSynth, 168 + i * 1.25, 1, falling[i], 0.35f, i % 2 ? 0.6f : -0.6f, 0.7f);

    w.endBeat = 184;
    AddPadChord(w, fChord, 176, 4, 0.7f, 0.45f);
    AddPadChord(w, gChord, 180, 4, 0.8f, 0.6f);
    AddNote(w, subBass, 176, 4, fChord.bass, 0.5f, 0.0f, 0.0f);
    AddNote(w, subBass, 180, 4, gChord.bass, 0.55f, 0.0f, 0.0f);
    AddNote(w, noiseRiser, 176, 8, 1, 0.5f, 0.0f, 0.0f);
    for (int i = 0; i < 8; ++i)
        AddNote(w, bellSynth, 180 + i * eighthBeats, 0.5, gChord.tones[i % 4] + 12 * (1 + i / 4), 0.25f + 0.03f * i,
                i % 2 ? 0.4f : -0.4f, 0.5f);
}

static void ComposeCredits(ScoreWriter& w) {  // 92-108 s: the credits are typed, calmly
    w.endBeat = 216;
    static const int upDown[8] = {0, 1, 2, 3, 4, 3, 2, 1};
    for (int bar = 0; bar < 8; ++bar) {
        const double b = 184 + bar * barBeats;
        const Chord& chord = *calmProgression[bar % 4];
        AddPadChord(w, chord, b, barBeats, 0.55f, 0.3f);
        AddNote(w, subBass, b, barBeats - 0.2, chord.bass, 0.5f, 0.0f, 0.0f);
        for (int e = 0; e < 8; ++e) {
            const int k = upDown[e];
            AddNote(w, pluckSynth, b + e * eighthBeats, eighthBeats, chord.tones[k % 4] + 12 * (k / 4), 0.3f,
                    e % 2 ? 0.5f : -0.5f, 0.3f);
        }
        if (b >= 192) {
            AddDrumRow(w, kickDrum, b, "x.......x.......", 0.5f, 0.0f, 0.0f);
            AddDrumRow(w, rimShot, b, backbeat, 0.3f, 0.2f, 0.3f);
        }
        if (b >= 200) AddDrumRow(w, closedHat, b, "x.x.x.x.x.x.x.x.", 0.2f, 0.35f, 0.3f);
    }
    AddMelody(w, bellSynth, 184, creditsTheme, 0.6f, 0.2f, 0.45f);
}

static void ComposeOutro(ScoreWriter& w) {  // 108-122 s: greetings, the crowd nods, the end
    w.endBeat = 240;
    for (int bar = 0; bar < 6; ++bar) {
        const double b = 216 + bar * barBeats;
        const Chord& chord = *mainProgression[bar % 4];
        AddDrumRow(w, kickDrum, b, bar % 2 ? grooveKickB : grooveKickA, 0.9f, 0.0f, 0.0f);
        AddDrumRow(w, snareDrum, b, backbeat, 0.7f, 0.0f, 0.4f);
        AddDrumRow(w, clapDrum, b, backbeat, 0.35f, 0.1f, 0.0f);
        AddDrumRow(w, closedHat, b, sixteenthHats, 0.4f, 0.35f, 0.6f);
        AddBassRow(w, chord, b, grooveBassSteps, 0.75f, 0.4f, false);
        AddPadChord(w, chord, b, barBeats, 0.6f, 0.45f);
        AddArpeggioBar(w, chord, b, 0.25f, 0.4f, 0);
    }
    AddMelody(w, leadSynth, 216, grooveAnswer, 0.6f, -0.1f, 0.45f);
    AddMelody(w, leadSynth, 232, grooveTheme, 0.55f, -0.1f, 0.4f);

    w.endBeat = 246;  // the last chord rings into the final fade
    AddNote(w, kickDrum, 240, 1, 0, 0.9f, 0.0f, 0.0f);
    AddNote(w, openHat, 240, 1, 0, 0.3f, 0.3f, 0.4f);
    AddPadChord(w, amChord, 240, 5, 0.7f, 0.4f);
    AddNote(w, subBass, 240, 5, amChord.bass, 0.6f, 0.0f, 0.0f);
    AddNote(w, leadSynth, 240, 4, 69, 0.5f, -0.1f, 0.35f);
    AddNote(w, bellSynth, 240, 2, 81, 0.35f, 0.3f, 0.5f);
}

// ---- module functions
double BeatToSec(double beat) { return (gridOffsetMs + beat * beatPeriodMs) / 1000.0; }

std::vector<Note> ComposeScore() {
    scoreRandomState = 0x00b1e55u;
    ScoreWriter w;
    ComposeTitle(w);
    ComposeHeart(w);
    ComposeGroove(w);
    ComposeBreak(w);
    ComposeTension(w);
    ComposeTunnel(w);
    ComposeTransition(w);
    ComposeCredits(w);
    ComposeOutro(w);
    return w.notes;
}
