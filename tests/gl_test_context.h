// Real GL for tests: an offscreen window with a compatibility context, set up as the program does.
#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

// Opens (once per process) an offscreen window of the given size with the 45-degree projection
// and an identity modelview. False when no GL context can be made.
bool OpenTestGlContext(int width = 1024, int height = 768);

// Reads the whole framebuffer as RGBA, bottom row first (GL order).
std::vector<uint8_t> ReadFramebuffer(int width = 1024, int height = 768);

class GlTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!OpenTestGlContext()) GTEST_SKIP() << "no offscreen GL context";
    }
};

// GlTest with the scene's textures, lists and particles made by InitScene, once per process.
class SceneGlTest : public GlTest {
protected:
    void SetUp() override;
};
