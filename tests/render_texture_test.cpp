// TGA loader: header checks and byte order without a context, then the GL upload on a real one.
#include "platform/gl.h"
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "render/texture.h"
#include "tests/gl_test_context.h"

namespace {

using Bytes = std::vector<uint8_t>;

// Header byte offsets that tests change.
constexpr size_t kIdLength = 0, kMapType = 1, kImageType = 2, kXOrigin = 8, kDescriptor = 17;

// An accepted header for the given size and depth, then the body.
Bytes MakeTga(unsigned width, unsigned height, uint8_t depth, const Bytes& body = {}) {
    Bytes out(18 + body.size(), 0);
    const uint8_t header[18] = {0,
                                0,
                                2,
                                0,
                                0,
                                0,
                                0,
                                0,
                                0,
                                0,
                                0,
                                0,
                                uint8_t(width & 0xFF),
                                uint8_t(width >> 8),
                                uint8_t(height & 0xFF),
                                uint8_t(height >> 8),
                                depth,
                                0};
    std::copy(header, header + 18, out.begin());
    std::copy(body.begin(), body.end(), out.begin() + 18);
    return out;
}

Bytes With(Bytes bytes, size_t offset, uint8_t value) {
    bytes[offset] = value;
    return bytes;
}

Bytes Sequence(size_t n) {
    Bytes b(n);
    for (size_t i = 0; i < n; ++i) b[i] = uint8_t(i * 7 + 1);
    return b;
}

bool ReadBytes(Bytes bytes, Texture& texture) {
    FILE* file = fmemopen(bytes.data(), bytes.size(), "rb");
    if (!file) return false;
    const bool read = ReadTga(file, texture);
    std::fclose(file);
    return read;
}

// A scratch folder with a data/ subfolder, removed afterwards.
class TgaFiles {
public:
    TgaFiles() {
        char pattern[] = "/tmp/brimvale-tga-XXXXXX";
        root_ = mkdtemp(pattern);
        std::system(("mkdir -p " + root_ + "/data").c_str());
    }
    ~TgaFiles() { std::system(("rm -rf " + root_).c_str()); }
    std::string Write(const std::string& name, const Bytes& bytes) {
        const std::string path = root_ + "/data/" + name;
        FILE* f = std::fopen(path.c_str(), "wb");
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
        return path;
    }
    const std::string& Root() const { return root_; }

private:
    std::string root_;
};

GLint BoundTexture() {
    GLint name = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &name);
    return name;
}

}  // namespace

TEST(TgaParse, SwapsBlueAndRedInPlace) {
    Texture t{};
    ASSERT_TRUE(ReadBytes(MakeTga(2, 1, 24, {1, 2, 3, 4, 5, 6}), t));
    EXPECT_EQ(t.width, 2u);
    EXPECT_EQ(t.height, 1u);
    EXPECT_EQ(t.bpp, 24u);
    EXPECT_EQ(Bytes(t.pixels, t.pixels + 6), (Bytes{3, 2, 1, 6, 5, 4}));
    std::free(t.pixels);

    Texture a{};
    ASSERT_TRUE(ReadBytes(MakeTga(1, 2, 32, {1, 2, 3, 200, 5, 6, 7, 8}), a));
    EXPECT_EQ(a.bpp, 32u);
    EXPECT_EQ(Bytes(a.pixels, a.pixels + 8), (Bytes{3, 2, 1, 200, 7, 6, 5, 8}));
    std::free(a.pixels);
}

TEST(TgaParse, IgnoresBytesAfterThePixelBlockAndTheDescriptor) {
    Bytes body = {10, 20, 30, 40, 50, 60};
    const char footer[] = "\0\0\0\0\0\0\0\0TRUEVISION-XFILE.";
    body.insert(body.end(), footer, footer + sizeof footer);
    Texture t{};
    // Origin bits say top-down; rows are kept in file order regardless.
    ASSERT_TRUE(ReadBytes(With(MakeTga(1, 2, 24, body), kDescriptor, 0x20), t));
    EXPECT_EQ(Bytes(t.pixels, t.pixels + 6), (Bytes{30, 20, 10, 60, 50, 40}));
    std::free(t.pixels);
}

TEST(TgaParse, RefusesOtherLayoutsBeforeReadingTheSize) {
    const Bytes valid = MakeTga(2, 2, 24, Sequence(64));
    const Bytes refused[] = {
        With(valid, kImageType, 10),                    // run-length encoded
        With(With(valid, kImageType, 3), 16, 8),        // grey
        With(valid, kIdLength, 1),                      // identifier field
        With(With(valid, kMapType, 1), kImageType, 1),  // colour-mapped
        With(valid, kXOrigin, 1),                       // non-zero origin
    };
    for (const Bytes& file : refused) {
        Texture t{};
        EXPECT_FALSE(ReadBytes(file, t));
        EXPECT_EQ(t.width, 0u) << "size is read only after the reference bytes match";
        EXPECT_EQ(t.pixels, nullptr);
    }
}

TEST(TgaParse, RefusedSizeAndDepthAreStillStored) {
    struct Case {
        unsigned width, height;
        uint8_t depth;
    } cases[] = {{3, 5, 16}, {3, 5, 8}, {0, 5, 24}, {3, 0, 32}, {0x1234, 0xABCD, 16}};
    for (const Case& c : cases) {
        Texture t{};
        EXPECT_FALSE(ReadBytes(MakeTga(c.width, c.height, c.depth, Sequence(64)), t));
        EXPECT_EQ(t.width, c.width);
        EXPECT_EQ(t.height, c.height);
        EXPECT_EQ(t.bpp, 0u) << "bpp is stored only once accepted";
        EXPECT_EQ(t.pixels, nullptr);
    }
}

TEST(TgaParse, ShortFilesLeaveNoPixelBuffer) {
    const Bytes whole = MakeTga(3, 3, 24, Sequence(27));
    for (size_t cut : {size_t{0}, size_t{11}, size_t{12}, size_t{17}, size_t{18}, whole.size() - 1}) {
        Texture t{};
        EXPECT_FALSE(ReadBytes(Bytes(whole.begin(), whole.begin() + cut), t)) << cut;
        EXPECT_EQ(t.pixels, nullptr) << cut;
    }
    // A failed read also drops a buffer the record held before.
    Texture reused{};
    ASSERT_TRUE(ReadBytes(whole, reused));
    EXPECT_FALSE(ReadBytes(Bytes(whole.begin(), whole.end() - 1), reused));
    EXPECT_EQ(reused.pixels, nullptr);
}

TEST(TgaParse, RefusesSizesBeyondTheFileOr32Bits) {
    Texture huge{};
    EXPECT_FALSE(ReadBytes(MakeTga(65535, 65535, 32), huge));
    EXPECT_EQ(huge.width, 65535u);
    EXPECT_EQ(huge.pixels, nullptr);

    // 32768 x 32769 x 4 bytes wraps to 131072 in 32 bits; the file holds exactly that many.
    Texture wrapped{};
    EXPECT_FALSE(ReadBytes(MakeTga(32768, 32769, 32, Bytes(131072, 9)), wrapped));
    EXPECT_EQ(wrapped.pixels, nullptr);

    // 32768 x 32768 x 4 wraps to 0: nothing to read, yet a 4 GiB image must not be accepted.
    Texture zero{};
    EXPECT_FALSE(ReadBytes(MakeTga(32768, 32768, 32), zero));
    EXPECT_EQ(zero.pixels, nullptr);
}

class TgaUpload : public GlTest {};

TEST_F(TgaUpload, UploadsRgbAndRgbaWithLinearFilteringAndLeavesItBound) {
    TgaFiles files;
    struct Case {
        uint8_t depth;
        GLint format;
    } cases[] = {{24, GL_RGB}, {32, GL_RGBA}};
    for (const Case& c : cases) {
        const std::string path = files.Write("img.tga", MakeTga(4, 2, c.depth, Sequence(4 * 2 * c.depth / 8)));
        glBindTexture(GL_TEXTURE_2D, 0);
        Texture t{};
        ASSERT_TRUE(LoadTgaTexture(t, path.c_str()));
        ASSERT_NE(t.glName, 0u);
        EXPECT_EQ(BoundTexture(), GLint(t.glName));
        GLint internal = 0, width = 0, height = 0, minFilter = 0, magFilter = 0;
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT, &internal);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &height);
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &minFilter);
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &magFilter);
        EXPECT_EQ(internal, c.format);
        EXPECT_EQ(width, 4);
        EXPECT_EQ(height, 2);
        EXPECT_EQ(minFilter, GL_LINEAR);
        EXPECT_EQ(magFilter, GL_LINEAR);
        // No mipmaps: level 1 has no image.
        GLint level1 = -1;
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 1, GL_TEXTURE_WIDTH, &level1);
        EXPECT_EQ(level1, 0);
    }
}

TEST_F(TgaUpload, RowsArriveTightlyPackedInFileOrder) {
    // 3 x 2 at 24 bits: 9-byte rows, which the default 4-byte unpack alignment would skew.
    TgaFiles files;
    const Bytes bgr = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18};
    const std::string path = files.Write("odd.tga", MakeTga(3, 2, 24, bgr));
    Texture t{};
    ASSERT_TRUE(LoadTgaTexture(t, path.c_str()));
    Bytes texels(18, 0);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_UNSIGNED_BYTE, texels.data());
    EXPECT_EQ(texels, (Bytes{3, 2, 1, 6, 5, 4, 9, 8, 7, 12, 11, 10, 15, 14, 13, 18, 17, 16}));
    GLint alignment = 0;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
    EXPECT_EQ(alignment, 4) << "the caller's unpack alignment is restored";
}

TEST_F(TgaUpload, FailuresCreateNoTextureObject) {
    TgaFiles files;
    GLuint marker = 0;
    glGenTextures(1, &marker);
    glBindTexture(GL_TEXTURE_2D, marker);
    Texture missing{};
    EXPECT_FALSE(LoadTgaTexture(missing, (files.Root() + "/data/none.tga").c_str()));
    EXPECT_EQ(missing.glName, 0u);
    const std::string path = files.Write("short.tga", MakeTga(2, 2, 24, Sequence(11)));
    Texture shortFile{};
    EXPECT_FALSE(LoadTgaTexture(shortFile, path.c_str()));
    EXPECT_EQ(shortFile.glName, 0u);
    EXPECT_EQ(shortFile.pixels, nullptr);
    EXPECT_EQ(BoundTexture(), GLint(marker));
}

TEST_F(TgaUpload, OpensDataPathsWrittenWithBackslashes) {
    TgaFiles files;
    files.Write("x.tga", MakeTga(1, 1, 32, {1, 2, 3, 4}));
    char here[4096];
    ASSERT_NE(getcwd(here, sizeof here), nullptr);
    ASSERT_EQ(chdir(files.Root().c_str()), 0);
    Texture t{};
    const bool loaded = LoadTgaTexture(t, "data\\x.tga");
    ASSERT_EQ(chdir(here), 0);
    ASSERT_TRUE(loaded);
    EXPECT_EQ(Bytes(t.pixels, t.pixels + 4), (Bytes{3, 2, 1, 4}));
}
