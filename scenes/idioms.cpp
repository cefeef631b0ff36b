// Drawing idioms that many scenes share: the particle layer, the fade to black, typed text.
// Depends on the particle field, the material palette (fadeAlpha) and PrintText; GL 1.1.
#include "scenes/idioms.h"

#include "platform/gl.h"

#include <cstring>

#include "render/font.h"
#include "render/material.h"
#include "render/particles.h"

// ---- constants ----
constexpr int kTypedLineBytes = 50;                      // one line and its terminator
constexpr int kTypedLineMaxChars = kTypedLineBytes - 1;  // longer lines are cut here
constexpr int kTypedLineSpacing = 14;                    // overlay units between lines
constexpr int kTypedMaxLines = 64;                       // blocks are a screenful at most
constexpr float kFadeOutGain = 5.0f;                     // 1 / (1 - kFadeOutFromR), written exactly

// ---- local helpers ----

static int LineLength(const char* line) { return line ? static_cast<int>(std::strlen(line)) : 0; }

// ---- module functions ----

void ParticleBackdrop() {
    DrawParticles();
    glClear(GL_DEPTH_BUFFER_BIT);  // the rings become a layer behind whatever follows
}

void ParticleStep(double frameMs) { UpdateParticles(frameMs); }

void FadeOutOverlay(float r) {
    glLoadIdentity();  // the overlay ignores the free camera
    glTranslatef(0.0f, 0.0f, -1.0f);
    glClear(GL_DEPTH_BUFFER_BIT);
    glEnable(GL_BLEND);
    glBlendFunc(GL_ZERO, GL_SRC_ALPHA);  // picture times the quad's lit alpha
    fadeAlpha = (1.0f - r) * kFadeOutGain;
    ApplyPaletteMaterial(0);
    glBegin(GL_QUADS);
    glVertex2f(-1.0f, -1.0f);
    glVertex2f(1.0f, -1.0f);
    glVertex2f(1.0f, 1.0f);
    glVertex2f(-1.0f, 1.0f);
    glEnd();
    glDisable(GL_BLEND);
}

int TypedTextSlice(const char* const* lines, int countedLines, float r, int* shown) {
    if (!lines || !shown || countedLines <= 0) return 0;
    int total = 0;
    for (int i = 0; i < countedLines; ++i) {
        shown[i] = 0;
        total += LineLength(lines[i]);
    }
    const double typed = static_cast<double>(total) * static_cast<double>(r);
    // NaN and anything at or below one character print nothing; r above 1 cannot type past the end.
    if (!(typed >= 1.0)) return 0;
    int n = typed >= total ? total : static_cast<int>(typed);
    int printed = 0;
    for (int i = 0; i < countedLines && n > 0; ++i) {
        const int length = LineLength(lines[i]);
        const int count = n < length ? n : length;
        n -= count;
        shown[i] = count < kTypedLineMaxChars ? count : kTypedLineMaxChars;
        printed = i + 1;
    }
    return printed;
}

void TypedTextBlock(const char* const* lines, int countedLines, float x, int y0, float r) {
    if (countedLines > kTypedMaxLines) countedLines = kTypedMaxLines;
    int shown[kTypedMaxLines];
    const int printed = TypedTextSlice(lines, countedLines, r, shown);
    for (int i = 0; i < printed; ++i) {
        // A fully consumed empty line still prints (nothing), as every reached line does.
        char text[kTypedLineBytes];
        std::memcpy(text, lines[i] ? lines[i] : "", static_cast<size_t>(shown[i]));
        text[shown[i]] = '\0';
        PrintText(x, y0 + kTypedLineSpacing * i, 0, "%s", text);
    }
}
