// Audio front, the same in every build: the four calls and the player's controls over one music
// track, with the rules both sides keep (one stream, handle 1, a file checked for its MP3 header
// before anything plays it, a silent stream where there is no output, the mute flag). What only a
// side can do is in audio_output.h: SDL2_mixer on the desktop (audio_sdl.cpp), the page's Web
// Audio in a browser (audio_web.cpp).
#include "platform/audio.h"

#include <string>

#include "platform/audio_output.h"
#include "platform/platform.h"
#include "platform/platform_shared.h"

// ---- constants ----
static const uint32_t kAudioVersion = 0x02030000;  // version 2.3 in the high word
static const uint32_t kDecodeRateHz = 44100;       // the rate the show opens the output at
// The mixer's estimate keeps within a few ms of a steady track but lands up to a buffer (23 ms)
// late after a start, seek or resume; the page's context clock is read to within one of its blocks
// (10-20 ms). The bound sits above both, so a seek never calls for another.
const double kMusicPositionBoundMs = 30.0;

// ---- globals ----
int audioStreamsOpened = 0;  // successful stream creations
int audioPlayRequests = 0;   // play calls that reached a stream

static bool deviceOpen = false;    // the side's output is open
static bool streamMade = false;    // handle 1 refers to the track the output has loaded
static bool silentStream = false;  // stream accepted without an output: plays nothing
static bool musicMuted = false;    // M key
static std::string streamRefusal;  // what was wrong with the last soundtrack refused

// ---- the four calls ----
uint32_t BASS_GetVersion() { return kAudioVersion; }

bool BASS_Init(int /*device*/, uint32_t frequency, uint32_t /*flags*/, void* /*window*/, void* /*reserved*/) {
    if (!deviceOpen) deviceOpen = OutputOpen(frequency);
    return deviceOpen;
}

// The file is checked the same way with an output and without one, so a broken soundtrack is told
// alike on every machine; the side's decoder may refuse more.
HSTREAM BASS_StreamCreateFile(bool fromMemory, const char* file, uint64_t offset, uint64_t length, uint32_t /*flags*/) {
    streamRefusal.clear();
    if (fromMemory || offset != 0 || length != 0 || streamMade || silentStream) return 0;
    std::string path = ResolveDataPath(file);
    if (path.empty()) return 0;
    if (!LooksLikeMp3(path.c_str())) {
        streamRefusal = path + " is an MP3 the decoder refuses (no MP3 header at its start)";
        return 0;
    }
    if (deviceOpen) {
        std::string why = OutputLoad(path.c_str());
        if (!why.empty()) {
            streamRefusal = path + " is an MP3 the decoder refuses (" + why + ")";
            return 0;
        }
        streamMade = true;
    } else {
        silentStream = true;
    }
    ++audioStreamsOpened;
    return 1;
}

bool BASS_ChannelPlay(HSTREAM handle, bool restart) {
    if (handle != 1) return false;
    ++audioPlayRequests;
    if (!streamMade) return silentStream;
    return OutputPlay(restart);
}

const char* StreamRefusal() { return streamRefusal.c_str(); }

// ---- player controls ----
void MusicStop() {
    if (streamMade) OutputStop();
}

void MusicPause(bool paused) {
    if (!streamMade || paused == OutputPaused()) return;
    OutputPause(paused);
}

double MusicPositionMs() { return streamMade ? OutputPositionMs() : -1.0; }

bool MusicSeek(double trackMs) { return streamMade && OutputSeek(trackMs); }

void MusicMute(bool muted) {
    musicMuted = muted;
    if (deviceOpen) OutputMute(muted);  // kept by the output for a track loaded later
}

bool MusicMuted() { return musicMuted; }

// Samples come at the output's rate, so the output is opened first, as the show opens it.
bool DecodeAudioFile(const char* path, std::vector<int16_t>& samples, int& channels, int& rate) {
    samples.clear();
    if (!BASS_Init(-1, kDecodeRateHz, 0, nullptr, nullptr)) return false;
    return OutputDecode(path, samples, channels, rate);
}
