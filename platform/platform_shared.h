// What the desktop and browser sides of the platform layer share: the picture area inside the
// drawable and the folder of the program. Only platform/ sources include this.
#pragma once
#include <string>

// Largest centred area of the picture's aspect inside the drawable (the whole drawable without
// an aspect); also sets the origin that PlatformPictureOrigin reports.
void UpdatePictureArea(int drawableW, int drawableH, int* areaW, int* areaH);
// True when the picture area leaves bars around it.
bool PictureHasBars();
// Folder of the executable with a trailing '/', or empty; the data lookup's second place.
void SetProgramDir(const std::string& dir);
// The file starts like an MP3 (an ID3 tag or a frame sync): a soundtrack is checked the same way
// whether or not it can be played.
bool LooksLikeMp3(const char* path);
