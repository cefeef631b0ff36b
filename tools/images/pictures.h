// The sixteen pictures of the demo, each made from nothing but code (and the DejaVu fonts).
#pragma once
#include <vector>

#include "tools/images/raster.h"
#include "tools/images/tga.h"

struct Picture {
    const char* file;          // name in data/
    bool (*make)(Image& out);  // false when the picture cannot be made
    TgaRules rules;
};

// The logos and the ring (logos.cpp).
bool MakeGroupLogo(Image& out);
bool MakeTitleLogo(Image& out);
bool MakeSubtitle(Image& out);
bool MakeRing(Image& out);

// Chase and platform sprites (sprites.cpp).
bool MakeChomper(Image& out);
bool MakeRedGhost(Image& out);
bool MakePinkGhost(Image& out);
bool MakeCyanGhost(Image& out);
bool MakeOrangeGhost(Image& out);
bool MakeZub(Image& out);
bool MakeCastle(Image& out);
bool MakeTube(Image& out);
bool MakeShroom(Image& out);
bool MakeStar(Image& out);
bool MakePlumber(Image& out);

// Every picture with its file name and rules, the font sheet (text.cpp) among them (main.cpp).
const std::vector<Picture>& AllPictures();

// Where each picture is shown: the frame a scene's quad maps (for previews), in design units.
struct Placement {
    const char* file;
    Frame frame;
};
const std::vector<Placement>& LogoPlacements();
