// TGA texture loader: uncompressed 24/32-bit true-colour files into linear-filtered textures.
// Depends on ResolveDataPath (platform) for paths written with backslashes, and on GL 1.1.
#include "render/texture.h"

#include "platform/gl.h"

#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/platform.h"

// ---- constants ----
// No identifier, no colour map, type 2 (uncompressed true-colour), colour-map spec and origin 0.
static const uint8_t kTgaReference[12] = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0};
constexpr size_t kTgaInfoBytes = 6;  // width, height, depth, descriptor

// ---- local helpers ----

// Bytes left between the current position and the end of the file, or -1 if unknown.
static long RemainingBytes(FILE* file) {
    const long here = std::ftell(file);
    if (here < 0 || std::fseek(file, 0, SEEK_END) != 0) return -1;
    const long end = std::ftell(file);
    if (std::fseek(file, here, SEEK_SET) != 0 || end < here) return -1;
    return end - here;
}

// ---- module functions ----

// Records why a file was refused, for the start-up's note beside its box.
static bool Refuse(std::string* fault, const std::string& why) {
    if (fault) *fault = why;
    return false;
}

static std::string Truncated(uint64_t have, uint64_t need) {
    return "is truncated: " + std::to_string(have) + " of " + std::to_string(need) + " bytes";
}

bool ReadTga(FILE* file, Texture& texture, std::string* fault) {
    std::free(texture.pixels);
    texture.pixels = nullptr;
    if (fault) fault->clear();
    if (!file) return Refuse(fault, "cannot be read");
    static const char* const kNotTga = "is not a 24/32-bit uncompressed TGA";
    const uint64_t headerBytes = sizeof kTgaReference + kTgaInfoBytes;

    uint8_t reference[sizeof kTgaReference];
    const size_t got = std::fread(reference, 1, sizeof reference, file);
    if (got != sizeof reference) return Refuse(fault, Truncated(got, headerBytes));
    if (std::memcmp(reference, kTgaReference, sizeof reference) != 0) return Refuse(fault, kNotTga);

    uint8_t info[kTgaInfoBytes];
    const size_t gotInfo = std::fread(info, 1, sizeof info, file);
    if (gotInfo != sizeof info) return Refuse(fault, Truncated(sizeof reference + gotInfo, headerBytes));
    // Stored before any check: a refused header still leaves its size in the record.
    texture.width = info[0] + 256u * info[1];
    texture.height = info[2] + 256u * info[3];
    const std::string dimensions = std::to_string(texture.width) + " x " + std::to_string(texture.height);
    if (texture.width == 0 || texture.height == 0) return Refuse(fault, "is an empty image (" + dimensions + ")");
    if (info[4] != 24 && info[4] != 32)
        return Refuse(fault, std::string(kNotTga) + " (" + std::to_string(info[4]) + "-bit)");
    texture.bpp = info[4];

    // 65535 x 65535 x 4 overflows 32 bits, so the size is formed in 64; the pixel block must
    // also be present before anything is allocated for it.
    const uint32_t bytesPerPixel = texture.bpp / 8;
    const uint64_t size = uint64_t{texture.width} * texture.height * bytesPerPixel;
    const long remaining = RemainingBytes(file);
    if (remaining < 0) return Refuse(fault, "cannot be read");
    if (static_cast<uint64_t>(remaining) < size)
        return Refuse(fault, Truncated(headerBytes + static_cast<uint64_t>(remaining), headerBytes + size));
    if (size > UINT32_MAX) return Refuse(fault, "is too large (" + dimensions + ")");

    uint8_t* pixels = static_cast<uint8_t*>(std::malloc(size));
    if (!pixels) return Refuse(fault, "does not fit in memory (" + dimensions + ")");
    if (std::fread(pixels, 1, size, file) != size) {
        std::free(pixels);
        return Refuse(fault, "cannot be read");
    }
    for (uint64_t i = 0; i < size; i += bytesPerPixel) {
        const uint8_t blue = pixels[i];
        pixels[i] = pixels[i + 2];
        pixels[i + 2] = blue;
    }
    texture.pixels = pixels;
    return true;
}

bool LoadTgaTexture(Texture& texture, const char* path, std::string* fault) {
    if (fault) fault->clear();
    const std::string found = ResolveDataPath(path);  // reports a file found nowhere
    if (found.empty()) return false;
    FILE* file = std::fopen(found.c_str(), "rb");
    std::string why;
    const bool read = ReadTga(file, texture, &why);
    if (file) std::fclose(file);
    if (!read) return Refuse(fault, found + " " + why);

    glGenTextures(1, &texture.glName);
    glBindTexture(GL_TEXTURE_2D, texture.glName);
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    const GLenum format = texture.bpp == 24 ? GL_RGB : GL_RGBA;
    // Rows are packed tightly; the default 4-byte alignment would read past the end of a
    // 24-bit image whose rows are not a multiple of 4 bytes. The caller's setting is restored.
    GLint alignment = 4;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, static_cast<GLint>(format), static_cast<GLsizei>(texture.width),
                 static_cast<GLsizei>(texture.height), 0, format, GL_UNSIGNED_BYTE, texture.pixels);
    glPixelStorei(GL_UNPACK_ALIGNMENT, alignment);
    return true;
}
