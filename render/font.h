// Bitmap font: 256 glyph lists from the 16 x 16 sheet and printf-style text in a 640 x 480 overlay.
#pragma once

extern unsigned glyphListBase;  // first of 256 consecutive glyph lists

// Compiles the glyph lists; fontTex must be loaded first.
void BuildGlyphLists();

// Prints formatted text with its top-left at (x, y) of the 640 x 480 overlay (y grows downward),
// glyph set 0 or 1. Leaves texturing and blending off and the modelview at the pen's end.
void PrintText(float x, int y, int set, const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 4, 5)))
#endif
    ;
