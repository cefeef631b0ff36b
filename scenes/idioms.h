// Drawing idioms that many scenes share.
#pragma once

// The particle field as a layer behind the scene: DrawParticles, then a depth clear.
void ParticleBackdrop();
// UpdateParticles by the previous frame's duration, once per frame in every scene that drew the
// backdrop.
void ParticleStep(double frameMs);
// The fade-out overlay changes nothing below this r and darkens to black from it to 1.
constexpr float kFadeOutFromR = 0.8f;
// Darkens the finished picture towards black as r goes from kFadeOutFromR to 1 (writes fadeAlpha).
void FadeOutOverlay(float r);

// Typed text block: trunc(total * r) characters of lines[0..countedLines-1], line i printed at
// (x, y0 + 14 i), at most one partial line and always the last one printed. Lines are cut at 49
// characters (a 50-byte line buffer); at most 64 lines count, more than a screen holds.
void TypedTextBlock(const char* const* lines, int countedLines, float x, int y0, float r);

// What the typed text block prints: for line i, how many characters are shown (0 beyond the lines
// printed). Fills shown[0..countedLines-1] and returns the number of lines printed.
int TypedTextSlice(const char* const* lines, int countedLines, float r, int* shown);
