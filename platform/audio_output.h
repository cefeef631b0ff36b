// The side's half of the audio layer: what only SDL2_mixer (audio_sdl.cpp) or the page's Web
// Audio (audio_web.cpp) can do for the one track. audio.cpp holds the rules and calls the rest
// only once OutputOpen has succeeded, and the track's own calls only once OutputLoad has. Only
// platform/ audio sources include this.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// Opens the output at this rate; false: the show runs silent.
bool OutputOpen(uint32_t frequency);
// Loads the track at this path (its MP3 header already checked); empty, or why the decoder refuses it.
std::string OutputLoad(const char* path);
// Plays the track from its start; without restart, one already playing goes on.
bool OutputPlay(bool restart);
// Stops the track; the next play starts it from the beginning.
void OutputStop();
// True while the track is paused (held) where it stands.
bool OutputPaused();
// Pauses or resumes the track; called only to change its state.
void OutputPause(bool paused);
// Where the track is heard now in ms, or -1 when that is not known.
double OutputPositionMs();
// Moves the track so that trackMs is heard now.
bool OutputSeek(double trackMs);
// Silences the output or gives it back its full gain.
void OutputMute(bool muted);
// Decodes a whole data file into interleaved 16-bit samples at the output's rate (samples come empty).
bool OutputDecode(const char* path, std::vector<int16_t>& samples, int& channels, int& rate);
