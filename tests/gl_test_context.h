// Real GL for tests: an offscreen window with a compatibility context, set up as the program does.
#pragma once
#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "app/shell.h"

// Opens (once per process) an offscreen window of the given size with the 45-degree projection
// and an identity modelview. False when no GL context can be made.
bool OpenTestGlContext(int width = 1024, int height = 768);

// Reads the whole framebuffer as RGBA, bottom row first (GL order).
std::vector<uint8_t> ReadFramebuffer(int width = 1024, int height = 768);

// Every case starts from the state a fresh program has after start-up, whatever ran before it.
class GlTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!OpenTestGlContext()) GTEST_SKIP() << "no offscreen GL context";
        ResetDemoState();
    }
};

// The scene start-up, as a program runs it: once per process.
void InitSceneOnce();

// GlTest with the scene's textures, lists and particles made by InitScene, once per process.
class SceneGlTest : public GlTest {
protected:
    void SetUp() override;
};

// Start-up runs once per process, as in the program, and cases change what it made (slots,
// lights, glyph lists). A case about start-up itself, or that compares with a fresh program's
// picture, runs its body in a fresh process of its own: the test binary again, through
// GoogleTest's death-test machinery, passing when the body's checks do.
inline void InFreshProcess(void (*body)()) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            testing::TestPartResultArray results;
            {
                testing::ScopedFakeTestPartResultReporter reporter(&results);
                if (OpenTestGlContext()) body();
            }
            for (int i = 0; i < results.size(); ++i) {
                const testing::TestPartResult& r = results.GetTestPartResult(i);
                fprintf(stderr, "%s:%d: %s\n", r.file_name() ? r.file_name() : "?", r.line_number(), r.message());
            }
            std::_Exit(results.size() > 0 ? 1 : 0);
        },
        testing::ExitedWithCode(0), "");
}
