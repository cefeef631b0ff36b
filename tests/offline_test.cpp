// The fixed-step frame driver that shots, captures and the benchmark share.
#include <gtest/gtest.h>

#include <vector>

#include "app/offline.h"
#include "app/shell.h"
#include "tests/gl_test_context.h"

namespace {
struct Seen {
    std::vector<double> times;
    std::vector<double> frameDurations;  // frameMs while each frame rendered
};
bool Record(int index, double t, void* user) {
    Seen* s = static_cast<Seen*>(user);
    EXPECT_EQ(index, static_cast<int>(s->times.size()));
    s->times.push_back(t);
    s->frameDurations.push_back(frameMs);
    return true;
}
}  // namespace

TEST_F(GlTest, FramesLandExactlyOnTheirRationalTimes) {
    Seen seen;
    RunAllOfflineFrames(FrameStep{1000.0, 60.0}, 2000.0, Record, &seen);
    ASSERT_EQ(seen.times.size(), 121u);  // 0 .. 2000 inclusive at 60 per second
    EXPECT_EQ(seen.times[60], 1000.0);
    EXPECT_EQ(seen.times[120], 2000.0);  // the title window's first frame, not a hair before
    EXPECT_EQ(FrameTime(FrameStep{1000.0, 60.0}, 7440), 124000.0);
    EXPECT_EQ(seen.frameDurations[0], 0.0);
    EXPECT_DOUBLE_EQ(seen.frameDurations[1], 1000.0 / 60.0);
}

TEST_F(GlTest, LastFrameLandsOnTheEndEvenBetweenSteps) {
    Seen seen;
    RunAllOfflineFrames(FrameStep{300.0, 1.0}, 1000.0, Record, &seen);
    EXPECT_EQ(seen.times, (std::vector<double>{0.0, 300.0, 600.0, 900.0, 1000.0}));
    EXPECT_EQ(seen.frameDurations.back(), 100.0);  // the frame before it lasted until the end time
    EXPECT_EQ(demoTimeMs, 1000.0);
}
