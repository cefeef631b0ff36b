// Material palette: row 0 white with the fade alpha, row 1 blue-grey. Depends on GL 1.1.
#include "render/material.h"

#include "platform/gl.h"

// ---- globals ----
MaterialRow materialPalette[2] = {
    // ambient, diffuse, specular, emission, alpha, shininess (outside GL's 0..128 on purpose), -1
    {{1.0f, 1.0f, 1.0f}, {1.0f, 1.0f, 1.0f}, {1.0f, 1.0f, 1.0f}, {0.0f, 0.0f, 0.0f}, 1.0f, 2048.0f, -1},
    {{0.0f, 0.0f, 0.0f}, {0.34f, 0.37f, 0.52f}, {1.0f, 1.0f, 1.0f}, {0.0f, 0.0f, 0.0f}, 1.0f, 2048.0f, -1},
};                                            // writable: scenes set row 0's alpha
float& fadeAlpha = materialPalette[0].alpha;  // the fade control is the palette word itself

void ResetFade() { fadeAlpha = 1.0f; }

// ---- module functions ----

void ApplyMaterialRow(const MaterialRow& r) {
    const float a = r.alpha;
    const float ambient[4] = {r.ambient[0], r.ambient[1], r.ambient[2], a};
    const float diffuse[4] = {r.diffuse[0], r.diffuse[1], r.diffuse[2], a};
    const float specular[4] = {r.specular[0], r.specular[1], r.specular[2], a};
    const float emission[4] = {r.emission[0], r.emission[1], r.emission[2], a};
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, ambient);
    glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, diffuse);
    glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, specular);
    glMaterialfv(GL_FRONT_AND_BACK, GL_EMISSION, emission);
    // Unclamped on purpose: GL refuses values above 128 (the palette's 2048) and keeps the
    // shininess it had; passed on unchanged all the same.
    glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, r.shininess);
}

void ApplyPaletteMaterial(int row) {
    if (row < 0 || row > 1) return;  // nothing outside the two rows to read
    ApplyMaterialRow(materialPalette[row]);
}
