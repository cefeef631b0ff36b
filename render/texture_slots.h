// The sixteen texture slots that scenes, the font and the particles bind. Start-up fills them.
#pragma once
#include "render/texture.h"

extern Texture demoLogoTex, demoLogoSubTex;
extern Texture blinkyTex, pinkyTex, inkeyTex, clydeTex, zubTex, pacmanTex;
extern Texture marCastleTex, marTubeTex, marShroomTex, marStarTex, marMarioTex;
extern Texture groupLogoTex, fontTex, ringTex;
