// Window selection, progress and the wave helpers, plus whole-program shots.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <string>

#include <stb/stb_image.h>

#include "scenes/timeline.h"
#include "tests/program_run.h"

TEST(Timeline, EveryBoundBelongsToTheWindowThatStartsThere) {
    EXPECT_EQ(TimelineWindow(0.0), 1);
    EXPECT_EQ(TimelineWindow(1999.999), 1);
    for (int k = 1; k < kTimelineWindows; ++k) {
        double b = timelineBounds[k - 1];
        EXPECT_EQ(TimelineWindow(b), k + 1) << "bound " << b;
        EXPECT_EQ(TimelineWindow(std::nextafter(b, 0.0)), k) << "just below " << b;
    }
    EXPECT_EQ(TimelineWindow(123999.999), 22);
}

TEST(Timeline, OutsideTheShowNothingMatches) {
    EXPECT_EQ(TimelineWindow(kDemoEndMs), 0);
    EXPECT_EQ(TimelineWindow(1e9), 0);
    EXPECT_EQ(TimelineWindow(-0.001), 0);
    EXPECT_EQ(TimelineWindow(-std::numeric_limits<double>::infinity()), 0);
    EXPECT_EQ(TimelineWindow(std::numeric_limits<double>::quiet_NaN()), 0);
    EXPECT_EQ(TimelineWindow(-0.0), 1);
}

TEST(Timeline, BoundsAscendAndEndTheShow) {
    for (int k = 1; k < kTimelineWindows; ++k) EXPECT_LT(timelineBounds[k - 1], timelineBounds[k]);
    EXPECT_EQ(timelineBounds[kTimelineWindows - 1], kDemoEndMs);
}

TEST(Timeline, ProgressIsFormedInDoubleAndStoredAsFloat) {
    EXPECT_EQ(SceneT(14, 49000.0), 0.25f);
    EXPECT_EQ(SceneT(2, 2000.0), 0.0f);
    EXPECT_EQ(SceneT(2, 2400.0), 0.1f);
    // Just below the end rounds to exactly 1 in float.
    EXPECT_EQ(SceneT(22, std::nextafter(124000.0, 0.0)), 1.0f);
    EXPECT_EQ(SceneT(1, 1000.0), 0.5f);
}

TEST(WaveHelpers, SineSignIsZeroOnlyForZeroAndNaN) {
    EXPECT_EQ(SineSign(0.0), 0);
    EXPECT_EQ(SineSign(-0.0), 0);
    EXPECT_EQ(SineSign(std::numeric_limits<double>::quiet_NaN()), 0);
    EXPECT_EQ(SineSign(1.5707963267948966), 1);
    EXPECT_EQ(SineSign(-1.5707963267948966), -1);
    EXPECT_EQ(SineSign(3.141592653589793), 1);  // sin(pi) in double is a tiny positive value
    EXPECT_EQ(SineSign(4.0), -1);
}

TEST(WaveHelpers, FracIsASawtoothAlsoBelowZero) {
    EXPECT_EQ(Frac(4.0), 0.0);
    EXPECT_EQ(Frac(3.75), 0.75);
    EXPECT_EQ(Frac(-0.25), 0.75);
    EXPECT_EQ(Frac(0.0), 0.0);
}

namespace {
int RunProgram(const std::string& args) {
    std::string cmd = std::string(BRIMVALE_BINARY) + " " + args + " 2>/dev/null";
    return std::system(cmd.c_str());
}

struct Picture {
    int w = 0, h = 0;
    unsigned char* pixels = nullptr;
    explicit Picture(const std::string& path) {
        int n = 0;
        pixels = stbi_load(path.c_str(), &w, &h, &n, 4);
    }
    ~Picture() { stbi_image_free(pixels); }
};
}  // namespace

TEST(Program, ShotAfterTheEndIsAPlainWhiteFrame) {
    ScratchDir dir("after_end");
    std::string out = (dir / "after_end.png").string();
    ASSERT_EQ(RunProgram("--shot 130000 " + out + " --step 250 --seed 7"), 0);
    Picture p(out);
    ASSERT_NE(p.pixels, nullptr);
    EXPECT_EQ(p.w, 1024);
    EXPECT_EQ(p.h, 768);
    long nonWhite = 0;
    for (long i = 0; i < 1024L * 768 * 4; ++i) nonWhite += p.pixels[i] != 255;
    EXPECT_EQ(nonWhite, 0);
}

TEST(Program, ShotHonoursSizeAndRejectsBadOptions) {
    ScratchDir dir("small");
    std::string out = (dir / "small.png").string();
    ASSERT_EQ(RunProgram("--shot 124500 " + out + " --size 320x240 --step 500"), 0);
    Picture p(out);
    ASSERT_NE(p.pixels, nullptr);
    EXPECT_EQ(p.w, 320);
    EXPECT_EQ(p.h, 240);
    EXPECT_NE(RunProgram("--shot 1000 " + out + " --size 12by5"), 0);
    EXPECT_NE(RunProgram("--shot -5 " + out), 0);
    EXPECT_NE(RunProgram("--windowed --fullscreen"), 0);
}
