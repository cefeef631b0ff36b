// Bitmap font: one display list per cell of the 16 x 16 glyph sheet, and printf-style text drawn
// through them in a fixed 640 x 480 overlay (y down). Depends on fontTex (its slot), GL 1.1.
#include "render/font.h"

#include "platform/gl.h"

#include <cstdarg>
#include <cstdio>

#include "render/texture_slots.h"

// ---- constants ----
constexpr int kGlyphCount = 256;
constexpr int kGlyphsPerSet = 128;
constexpr int kSheetColumns = 16;
constexpr float kCellSize = 0.0625f;      // one cell of the sheet, in texture units
constexpr float kTopInset = 0.001f;       // keeps the cell above from bleeding in
constexpr double kGlyphAdvance = 9.0;     // overlay units; narrower than the glyph, so they overlap
constexpr unsigned char kFirstCode = 32;  // space, glyph 0 of a set
constexpr unsigned char kLastCode = 159;  // glyph 127 of a set
constexpr int kTextBufferSize = 1024;
constexpr double kOverlayWidth = 640.0;
constexpr double kOverlayHeight = 480.0;

// ---- globals ----
unsigned glyphListBase = 0;  // first of 256 consecutive glyph lists

// ---- module functions ----

void BuildGlyphLists() {
    glyphListBase = glGenLists(kGlyphCount);
    glBindTexture(GL_TEXTURE_2D, fontTex.glName);
    for (int g = 0; g < kGlyphCount; ++g) {
        const float cx = static_cast<float>(g % kSheetColumns) * kCellSize;
        const float top = 1.0f - static_cast<float>(g / kSheetColumns) * kCellSize;
        const float bottom = top - kCellSize;
        glNewList(glyphListBase + g, GL_COMPILE);
        glBegin(GL_QUADS);
        // 14 wide at the foot, 16 at the head: the glyph leans to the right.
        glTexCoord2f(cx, bottom);
        glVertex2d(0.0, 14.0);
        glTexCoord2f(cx + kCellSize, bottom);
        glVertex2i(14, 14);
        glTexCoord2f(cx + kCellSize, top - kTopInset);
        glVertex2i(16, 0);
        glTexCoord2f(cx, top - kTopInset);
        glVertex2i(0, 0);
        glEnd();
        glTranslated(kGlyphAdvance, 0.0, 0.0);
        glEndList();
    }
}

void PrintText(float x, int y, int set, const char* format, ...) {
    if (!format) return;

    char text[kTextBufferSize];
    va_list args;
    va_start(args, format);
    const int formatted = std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    // Longer text is cut at the buffer; a formatting error prints nothing.
    int length = formatted < 0 ? 0 : formatted;
    if (length > kTextBufferSize - 1) length = kTextBufferSize - 1;
    // Codes outside the sheet would call lists beyond the 256 glyphs: they print as a space,
    // so the pen still advances one cell for every character.
    for (int i = 0; i < length; ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c < kFirstCode || c > kLastCode) text[i] = static_cast<char>(kFirstCode);
    }
    if (set > 1) set = 1;
    if (set < 0) set = 0;

    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(0.0, kOverlayWidth, kOverlayHeight, 0.0, -1.0, 1.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();  // the caller's modelview is not kept
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glBindTexture(GL_TEXTURE_2D, fontTex.glName);
    glTranslated(x, y, 0.0);
    glListBase(glyphListBase - kFirstCode + kGlyphsPerSet * set);
    glScalef(1.0f, 1.0f, 1.0f);
    glCallLists(length, GL_UNSIGNED_BYTE, text);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_BLEND);
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
}
