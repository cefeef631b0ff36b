// Audio stand-in: exactly the four calls the start-up and title scene rely on, and the player's
// controls, kept by audio.cpp in every build over SDL2_mixer on the desktop (the stream decoded as
// it plays, on the mixer's own thread) or the page's Web Audio in a browser.
#pragma once
#include <cstdint>
#include <vector>

typedef uint32_t HSTREAM;

uint32_t BASS_GetVersion();  // high word 0x0203
bool BASS_Init(int device, uint32_t frequency, uint32_t flags, void* window, void* reserved);
HSTREAM BASS_StreamCreateFile(bool fromMemory, const char* file, uint64_t offset, uint64_t length,
                              uint32_t flags);  // 0 on failure
bool BASS_ChannelPlay(HSTREAM handle, bool restart);

// Why the last stream creation refused a file it found (its path and what is wrong), or an empty
// string; a file found nowhere has been reported by the data lookup.
const char* StreamRefusal();

// ---- player controls over the one stream ----
// Stops the stream; the next play starts it from the beginning.
void MusicStop();
// Pauses or resumes the stream where it stands.
void MusicPause(bool paused);
// Position in the track in ms, as heard from the mixer, or -1 when nothing plays (or, just
// after a start, seek or resume, until the next buffer is mixed). Taken as each buffer is mixed
// and carried on by the steady clock between buffers, it is good to kMusicPositionBoundMs.
double MusicPositionMs();
bool MusicSeek(double trackMs);
void MusicMute(bool muted);
bool MusicMuted();
// How far MusicPositionMs may stray from the true position.
extern const double kMusicPositionBoundMs;

// For tests: how often a stream was opened and played.
extern int audioStreamsOpened;
extern int audioPlayRequests;

// Decodes a whole sound file (for tests and tools, never at start-up) into interleaved 16-bit
// samples at the mixer's rate. False if it cannot be opened or decoded.
bool DecodeAudioFile(const char* path, std::vector<int16_t>& samples, int& channels, int& rate);
