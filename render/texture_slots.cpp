// The texture slots; zero until start-up loads them, and a slot that failed stays zero.
#include "render/texture_slots.h"

Texture demoLogoTex = {};     // title, 2-6 s
Texture demoLogoSubTex = {};  // subtitle, 2-6 s
Texture blinkyTex = {};       // chase sprites, 72-86 s
Texture pinkyTex = {};
Texture inkeyTex = {};
Texture clydeTex = {};
Texture zubTex = {};
Texture pacmanTex = {};
Texture marCastleTex = {};  // platform panel, 77-83 s
Texture marTubeTex = {};
Texture marShroomTex = {};
Texture marStarTex = {};
Texture marMarioTex = {};
Texture groupLogoTex = {};  // group logo, 0-2 s
Texture fontTex = {};       // glyph sheet
Texture ringTex = {};       // particle sprite
