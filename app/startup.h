// Scene start-up: fixed GL state, textures, display lists, particles, light, glyphs and audio.
#pragma once
#include "platform/audio.h"
#include "render/texture_slots.h"  // the slots InitScene fills

// ---- audio ----
extern HSTREAM musicStream;
extern bool musicStarted;

bool InitScene();
void InitAudio();
void StartMusicOnce();
// The music start of a run without the player (offline frames): StartMusicOnce at the first frame
// at or past the title window's start.
void StartMusicWithTitle(double timeMs);
// The track stopped and not yet started, as in a fresh run: it starts afresh with the title.
void ResetMusic();
