// TGA encoding and its self-check. Depends on the standard library only.
#include "tools/images/tga.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

constexpr int tgaHeaderBytes = 18;
constexpr uint8_t tgaReference[12] = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0};
constexpr int tgaAlphaBits = 8;  // descriptor bits 0..3 for 32-bit files
constexpr int maxTextureSide = 2048;

uint8_t ToByte(float v) { return uint8_t(std::lround(std::clamp(v, 0.0f, 1.0f) * 255.0f)); }

bool IsPowerOfTwo(unsigned v) { return v && !(v & (v - 1)); }

}  // namespace

std::vector<uint8_t> EncodeTga(const Image& image, int bitsPerPixel) {
    const int bytesPerPixel = bitsPerPixel / 8;
    std::vector<uint8_t> out(tgaReference, tgaReference + 12);
    out.push_back(uint8_t(image.width & 0xff));
    out.push_back(uint8_t(image.width >> 8));
    out.push_back(uint8_t(image.height & 0xff));
    out.push_back(uint8_t(image.height >> 8));
    out.push_back(uint8_t(bitsPerPixel));
    out.push_back(uint8_t(bitsPerPixel == 32 ? tgaAlphaBits : 0));
    out.reserve(out.size() + size_t(image.width) * image.height * bytesPerPixel);
    for (int row = image.height - 1; row >= 0; --row) {
        for (int x = 0; x < image.width; ++x) {
            Rgba c = At(image, x, row);
            out.push_back(ToByte(c.b));
            out.push_back(ToByte(c.g));
            out.push_back(ToByte(c.r));
            if (bytesPerPixel == 4) out.push_back(ToByte(c.a));
        }
    }
    return out;
}

std::string CheckTga(const std::vector<uint8_t>& bytes, const TgaRules& rules) {
    if (bytes.size() < tgaHeaderBytes) return "shorter than a header";
    if (!std::equal(tgaReference, tgaReference + 12, bytes.begin()))
        return "header is not type 2 without identifier, colour map or origin";
    unsigned width = bytes[12] | bytes[13] << 8;
    unsigned height = bytes[14] | bytes[15] << 8;
    int depth = bytes[16];
    if (!IsPowerOfTwo(width) || !IsPowerOfTwo(height) || width > maxTextureSide || height > maxTextureSide)
        return "size " + std::to_string(width) + " x " + std::to_string(height) + " is not a power of two";
    if (depth != rules.bitsPerPixel)
        return "depth " + std::to_string(depth) + " instead of " + std::to_string(rules.bitsPerPixel);
    if (bytes[17] & 0x30) return "descriptor asks for a non bottom-left origin";
    size_t pixelBytes = size_t(width) * height * (depth / 8);
    if (bytes.size() != tgaHeaderBytes + pixelBytes)
        return "pixel block is " + std::to_string(bytes.size() - tgaHeaderBytes) + " bytes, not " +
               std::to_string(pixelBytes);
    if (depth == 32) {
        bool anyClear = false, anySolid = false;
        for (size_t i = tgaHeaderBytes + 3; i < bytes.size(); i += 4) {
            anyClear |= bytes[i] == 0;
            anySolid |= bytes[i] == 255;
        }
        if (rules.alphaVaries && !(anyClear && anySolid))
            return "alpha does not hold a shape (needs clear and solid texels)";
    }
    return "";
}

bool WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && ok;
}
