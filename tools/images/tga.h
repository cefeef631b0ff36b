// Writing pictures as the uncompressed TGA files the demo's loader accepts, and checking the
// bytes before they reach the disk.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "tools/images/raster.h"

// What a picture must be: its depth, and whether its alpha has to carry a visible shape.
struct TgaRules {
    int bitsPerPixel;  // 24 (drawn opaque) or 32 (blended by alpha)
    bool alphaVaries;  // some texels fully clear, some fully solid
};

// Type 2, no identifier, no colour map, origin 0,0, rows stored bottom-up (so the first stored
// row becomes texture row t = 0 and the picture shows upright). 32-bit files declare 8 alpha bits.
std::vector<uint8_t> EncodeTga(const Image& image, int bitsPerPixel);

// Re-reads encoded bytes as the demo's loader will; returns an empty string when they pass,
// otherwise what is wrong.
std::string CheckTga(const std::vector<uint8_t>& bytes, const TgaRules& rules);

bool WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes);
