// TGA texture loader: uncompressed 24/32-bit true-colour images into linear-filtered textures.
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>

struct Texture {
    uint8_t* pixels;  // RGB or RGBA, rows in file order; owned, kept for the whole run
    uint32_t bpp;     // 24 or 32
    uint32_t width;
    uint32_t height;
    uint32_t glName;  // 0 while no texture object exists
};

// Parses an open TGA stream into the record (no GL): the 12 reference bytes, the 6 header bytes,
// one allocation, one read of the pixel block, BGR(A) turned into RGB(A) in place.
// On failure the record holds no pixel buffer; width, height and bpp may be set as read, and
// *fault (when given) says what is wrong ("is truncated: 18 of 786450 bytes").
bool ReadTga(FILE* file, Texture& texture, std::string* fault = nullptr);

// Opens `path` (backslash separators accepted), parses it and uploads it; the new texture is
// left bound to GL_TEXTURE_2D. Needs a current GL context. A file that was found but refused
// gets *fault set to its path and what is wrong; a file found nowhere leaves it empty (the
// lookup has said where it looked).
bool LoadTgaTexture(Texture& texture, const char* path, std::string* fault = nullptr);
