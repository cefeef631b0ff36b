// Fuzz target: the TGA parser over an in-memory stream. Beyond sanitizer faults it traps when a
// refused file leaves a pixel buffer behind or an accepted one disagrees with its input bytes.
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "render/texture.h"

// The parser needs no files; the loader's opener and path lookup only have to link.
FILE* OpenDataFile(const char* path, const char* mode) { return std::fopen(path, mode); }
const char* ResolveDataPath(const char* path) { return path; }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FILE* file = fmemopen(const_cast<uint8_t*>(data), size, "rb");
    if (!file) return 0;  // an empty buffer cannot be opened
    Texture texture{};
    const bool read = ReadTga(file, texture);
    std::fclose(file);
    if (!read) {
        if (texture.pixels) __builtin_trap();
        return 0;
    }
    const uint64_t bytesPerPixel = texture.bpp / 8;
    const uint64_t block = uint64_t{texture.width} * texture.height * bytesPerPixel;
    if (!texture.pixels || (texture.bpp != 24 && texture.bpp != 32) || block + 18 > size) __builtin_trap();
    const uint8_t* stored = data + 18;
    for (uint64_t i = 0; i < block; i += bytesPerPixel) {
        if (texture.pixels[i] != stored[i + 2] || texture.pixels[i + 1] != stored[i + 1] ||
            texture.pixels[i + 2] != stored[i])
            __builtin_trap();
        if (bytesPerPixel == 4 && texture.pixels[i + 3] != stored[i + 3]) __builtin_trap();
    }
    std::free(texture.pixels);
    return 0;
}
