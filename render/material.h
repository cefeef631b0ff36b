// Material palette: the two rows that sprites, overlays, particles and text are lit with.
// Row 0's alpha word doubles as the show's fade control, fadeAlpha.
#pragma once
#include <cstdint>

// One material as fifteen 4-byte words; the same layout is used by every mesh's own table.
struct MaterialRow {
    float ambient[3];
    float diffuse[3];
    float specular[3];
    float emission[3];
    float alpha;      // fourth component of all four colours
    float shininess;  // passed on unclamped
    int32_t unused;   // -1 in every row, never read
};
static_assert(sizeof(MaterialRow) == 15 * 4, "a material row is fifteen 4-byte words");

// ---- palette ----
extern MaterialRow materialPalette[2];  // row 0 white (alpha = fadeAlpha), row 1 blue-grey
extern float& fadeAlpha;                // word 12 of row 0 itself
// No fade, as a fresh run starts.
void ResetFade();

// Sets the front and back material from one row: ambient, diffuse, specular, emission (each with
// the row's alpha), shininess, values passed unchanged. The palette and every mesh use it.
void ApplyMaterialRow(const MaterialRow& row);
// ApplyMaterialRow with one palette row.
void ApplyPaletteMaterial(int row);
