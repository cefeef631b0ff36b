// Scene start-up: fixed GL state, textures, display lists, particles, light, glyphs and audio.
#pragma once
#include "platform/audio.h"
#include "render/texture.h"

// ---- texture slots ----
extern Texture demoLogoTex, demoLogoSubTex;
extern Texture blinkyTex, pinkyTex, inkeyTex, clydeTex, zubTex, pacmanTex;
extern Texture marCastleTex, marTubeTex, marShroomTex, marStarTex, marMarioTex;
extern Texture groupLogoTex, fontTex, ringTex;

// ---- audio ----
extern HSTREAM musicStream;
extern bool musicStarted;

bool InitScene();
void InitAudio();
void StartMusicOnce();
