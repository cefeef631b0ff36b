// Audio output over SDL2_mixer (desktop, Windows, GLES): one streamed music track, decoded on the
// mixer's own thread as it plays. The rules over it are audio.cpp's.
#include "platform/audio_output.h"

#include <SDL.h>
#include <SDL_mixer.h>

#include <atomic>
#include <cstdio>
#include <cstring>

#include "platform/platform.h"

// ---- constants ----
static const int kMixerChunkSamples = 1024;  // 23 ms at 44.1 kHz: the position's step
static const int kMixerRate = 44100;

// ---- globals ----
static Mix_Music* music = nullptr;  // the one stream; handle 1 refers to it
// Taken on the mixer's thread after each buffer is mixed: where the track stood and when.
static std::atomic<double> mixedPositionMs{-1.0};
static std::atomic<Uint64> mixedAt{0};
static std::atomic<int> buffersSinceMove{0};  // buffers mixed since the last start, seek or resume
static const int kSettleBuffers = 2;          // the first buffers after a move report unevenly

static const double kBufferMs = 1000.0 * kMixerChunkSamples / kMixerRate;

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

// ---- the output ----
bool OutputOpen(uint32_t frequency) {
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
    return true;
}

std::string OutputLoad(const char* path) {
    music = Mix_LoadMUS(path);
    return music ? std::string() : std::string(Mix_GetError());
}

bool OutputPlay(bool restart) {
    if (!restart && Mix_PlayingMusic()) return true;
    ForgetPosition();
    return Mix_PlayMusic(music, 1) == 0;
}

void OutputStop() {
    Mix_HaltMusic();
    ForgetPosition();
}

bool OutputPaused() { return Mix_PausedMusic() != 0; }

void OutputPause(bool paused) {
    if (paused) {
        Mix_PauseMusic();  // the position taken last stays: it is where the track stands
    } else {
        Mix_ResumeMusic();
        ForgetPosition();
    }
}

double OutputPositionMs() {
    if (!Mix_PlayingMusic()) return -1.0;
    double mixed = mixedPositionMs;
    if (mixed < 0.0) return -1.0;  // just started, moved or resumed: not known until the next buffer
    if (Mix_PausedMusic()) return mixed - kBufferMs;
    // The buffer just mixed is heard next, so the ear is one buffer behind the decoder; the
    // steady clock carries the position on between buffers (a stalled mixer is not followed far).
    double since = MsSinceMix();
    if (since > 2.0 * kBufferMs) since = 2.0 * kBufferMs;
    return mixed - kBufferMs + since;
}

bool OutputSeek(double trackMs) {
    // The new place is first heard with the next buffer: aim where the picture will be then.
    double lead = kBufferMs / 2.0;
    if (mixedPositionMs >= 0.0 && !Mix_PausedMusic()) {
        double since = MsSinceMix();
        lead = since < kBufferMs ? kBufferMs - since : 0.0;
    }
    ForgetPosition();
    return Mix_SetMusicPosition((trackMs + lead) / 1000.0) == 0;
}

void OutputMute(bool muted) { Mix_VolumeMusic(muted ? 0 : MIX_MAX_VOLUME); }

bool OutputDecode(const char* path, std::vector<int16_t>& samples, int& channels, int& rate) {
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
