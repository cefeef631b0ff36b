// Audio over SDL2_mixer: one streamed music track, decoded on the mixer's own thread as it plays.
#include "platform/audio.h"

#include <SDL.h>
#include <SDL_mixer.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/platform.h"

// ---- constants ----
static const uint32_t kAudioVersion = 0x02030000;  // version 2.3 in the high word
static const int kMixerChunkSamples = 1024;        // 23 ms at 44.1 kHz: the position's step
static const int kMixerRate = 44100;

// ---- globals ----
int audioStreamsOpened = 0;  // successful stream creations
int audioPlayRequests = 0;   // play calls that reached a stream

static bool deviceOpen = false;     // mixer output device running
static Mix_Music* music = nullptr;  // the one stream; handle 1 refers to it
static bool silentStream = false;   // stream accepted without a device: plays nothing
static bool musicMuted = false;     // M key
static std::string streamRefusal;   // what was wrong with the last soundtrack refused
// Taken on the mixer's thread after each buffer is mixed: where the track stood and when.
static std::atomic<double> mixedPositionMs{-1.0};
static std::atomic<Uint64> mixedAt{0};
static std::atomic<int> buffersSinceMove{0};  // buffers mixed since the last start, seek or resume
static const int kSettleBuffers = 2;          // the first buffers after a move report unevenly

static const double kBufferMs = 1000.0 * kMixerChunkSamples / kMixerRate;
// The estimate keeps within a few ms of a steady track, but a start, seek or resume lands up to
// a buffer late; the bound sits above that so a seek never calls for another.
const double kMusicPositionBoundMs = 30.0;

// Runs on the mixer's thread with the audio lock held, once a buffer has been mixed.
static void AfterMix(void*, Uint8*, int) {
    if (!music || !Mix_PlayingMusic() || Mix_PausedMusic()) return;
    if (++buffersSinceMove <= kSettleBuffers) return;
    mixedAt = SDL_GetPerformanceCounter();
    mixedPositionMs = Mix_GetMusicPosition(music) * 1000.0;
}

static double MsSinceMix() {
    return static_cast<double>(SDL_GetPerformanceCounter() - mixedAt) * 1000.0 /
           static_cast<double>(SDL_GetPerformanceFrequency());
}

static void ForgetPosition() {
    mixedPositionMs = -1.0;
    buffersSinceMove = 0;
}

uint32_t BASS_GetVersion() { return kAudioVersion; }

bool BASS_Init(int /*device*/, uint32_t frequency, uint32_t /*flags*/, void* /*window*/, void* /*reserved*/) {
    if (deviceOpen) return true;
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        fprintf(stderr, "audio: %s; the show runs silent\n", SDL_GetError());
        return false;
    }
    if (Mix_OpenAudio(static_cast<int>(frequency), AUDIO_S16SYS, 2, kMixerChunkSamples) != 0) {
        fprintf(stderr, "audio: %s; the show runs silent\n", Mix_GetError());
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return false;
    }
    Mix_Init(MIX_INIT_MP3);
    Mix_SetPostMix(AfterMix, nullptr);
    deviceOpen = true;
    return true;
}

// Without an output device the file is still checked, so that a missing or broken soundtrack is
// reported the same way with or without sound.
static bool LooksLikeMp3(const char* path) {
    FILE* f = fopen(path, "rb");
    if (!f) return false;
    unsigned char head[4] = {0, 0, 0, 0};
    size_t n = fread(head, 1, sizeof head, f);
    fclose(f);
    if (n < 3) return false;
    if (memcmp(head, "ID3", 3) == 0) return true;
    return n == 4 && head[0] == 0xFF && (head[1] & 0xE0) == 0xE0;
}

HSTREAM BASS_StreamCreateFile(bool fromMemory, const char* file, uint64_t offset, uint64_t length, uint32_t /*flags*/) {
    streamRefusal.clear();
    if (fromMemory || offset != 0 || length != 0 || music || silentStream) return 0;
    std::string path = ResolveDataPath(file);
    if (path.empty()) return 0;
    if (!deviceOpen) {
        if (!LooksLikeMp3(path.c_str())) {
            streamRefusal = path + " is an MP3 the decoder refuses (no MP3 header at its start)";
            return 0;
        }
        silentStream = true;
    } else {
        music = Mix_LoadMUS(path.c_str());
        if (!music) {
            streamRefusal = path + " is an MP3 the decoder refuses (" + Mix_GetError() + ")";
            return 0;
        }
    }
    ++audioStreamsOpened;
    return 1;
}

bool BASS_ChannelPlay(HSTREAM handle, bool restart) {
    if (handle != 1) return false;
    ++audioPlayRequests;
    if (!music) return silentStream;
    if (!restart && Mix_PlayingMusic()) return true;
    ForgetPosition();
    return Mix_PlayMusic(music, 1) == 0;
}

const char* StreamRefusal() { return streamRefusal.c_str(); }

void MusicStop() {
    if (music) Mix_HaltMusic();
    ForgetPosition();
}

void MusicPause(bool paused) {
    if (!music || paused == (Mix_PausedMusic() != 0)) return;
    if (paused) {
        Mix_PauseMusic();  // the position taken last stays: it is where the track stands
    } else {
        Mix_ResumeMusic();
        ForgetPosition();
    }
}

double MusicPositionMs() {
    if (!music || !Mix_PlayingMusic()) return -1.0;
    double mixed = mixedPositionMs;
    if (mixed < 0.0) return -1.0;  // just started, moved or resumed: not known until the next buffer
    if (Mix_PausedMusic()) return mixed - kBufferMs;
    // The buffer just mixed is heard next, so the ear is one buffer behind the decoder; the
    // steady clock carries the position on between buffers (a stalled mixer is not followed far).
    double since = MsSinceMix();
    if (since > 2.0 * kBufferMs) since = 2.0 * kBufferMs;
    return mixed - kBufferMs + since;
}

bool MusicSeek(double trackMs) {
    if (!music) return false;
    // The new place is first heard with the next buffer: aim where the picture will be then.
    double lead = kBufferMs / 2.0;
    if (mixedPositionMs >= 0.0 && !Mix_PausedMusic()) {
        double since = MsSinceMix();
        lead = since < kBufferMs ? kBufferMs - since : 0.0;
    }
    ForgetPosition();
    return Mix_SetMusicPosition((trackMs + lead) / 1000.0) == 0;
}

void MusicMute(bool muted) {
    musicMuted = muted;
    if (deviceOpen) Mix_VolumeMusic(muted ? 0 : MIX_MAX_VOLUME);
}

bool MusicMuted() { return musicMuted; }

bool DecodeAudioFile(const char* path, std::vector<int16_t>& samples, int& channels, int& rate) {
    samples.clear();
    if (!deviceOpen && !BASS_Init(-1, 44100, 0, nullptr, nullptr)) return false;
    std::string resolved = ResolveDataPath(path);
    if (resolved.empty()) return false;
    Mix_Chunk* chunk = Mix_LoadWAV(resolved.c_str());
    if (!chunk) return false;
    Uint16 format = 0;
    Mix_QuerySpec(&rate, &format, &channels);
    samples.resize(chunk->alen / sizeof(int16_t));
    memcpy(samples.data(), chunk->abuf, samples.size() * sizeof(int16_t));
    Mix_FreeChunk(chunk);
    return format == AUDIO_S16SYS;
}
