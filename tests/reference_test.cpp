// The whole show against its reference frames: the real program renders every listed time in one
// pass, and each frame is compared with its reference within the stated tolerance.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "app/offline.h"
#include "app/player.h"
#include "app/shell.h"
#include "app/startup.h"
#include "platform/platform.h"
#include "scenes/timeline.h"
#include "tests/frames/frames.h"
#include "tests/gl_test_context.h"

TEST(ReferenceFrames, EveryListedMomentOfTheShowMatchesItsReference) {
    namespace fs = std::filesystem;
    const std::string referenceDir = std::string(BRIMVALE_SOURCE_DIR) + "/tests/reference";
    const std::string framesDir = std::string(BRIMVALE_BUILD_DIR) + "/reference-frames";
    const std::string failureDir = std::string(BRIMVALE_BUILD_DIR) + "/reference-failures";
    std::vector<ReferenceTime> times = LoadReferenceTimes(referenceDir + "/times.txt");
    ASSERT_GE(times.size(), 60u);
    fs::remove_all(framesDir);
    fs::remove_all(failureDir);
    std::string command = "cd '" + std::string(BRIMVALE_SOURCE_DIR) + "' && SDL_VIDEODRIVER=offscreen '" +
                          BRIMVALE_BINARY + "' --seed 1 --size 1024x768 --shots " + JoinTimes(times) + " '" +
                          framesDir + "' 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;

    FolderComparison result = CompareFolder(framesDir, referenceDir, failureDir);
    EXPECT_EQ(result.frames, static_cast<int>(times.size()));
    for (const std::string& failure : result.failures) ADD_FAILURE() << failure;
    EXPECT_FALSE(result.wholesaleDrift())
        << result.drifting << " of " << result.frames << " frames differ slightly over more than "
        << kDriftShare * 100.0 << "% of their pixels: this GL driver draws differently from the one the "
        << "references were made with (see README, Reference frames), so the tolerance would hide real "
        << "changes. Look at " << framesDir << " and regenerate with tools/make-references if it is right.";
    if (result.failures.empty()) fs::remove_all(framesDir);
}

// What the looping player relies on: after the reset, the first frame is exactly a fresh
// program's, not lit as the end of the last run left it (lighting toggled off, camera moved, the
// fade's material and the crowd's normals current), and nothing from before is still pending.
static Picture FirstFrame() {
    demoTimeMs = 0.0;
    RenderFrame(demoTimeMs, frameMs, CurrentCamera());
    Picture frame{1024, 768, {}};
    ReadPicture(frame.rgba, frame.width, frame.height);
    return frame;
}

TEST(LoopedShow, AfterTheResetTheFirstFrameIsAFreshProgramsAndNothingOldIsPending) {
    InFreshProcess([] {
        InitScene();
        const Picture fresh = FirstFrame();
        keys['L'] = 1;
        keys[VK_RIGHT] = 1;
        keys[VK_UP] = 1;
        demoTimeMs = 123000.0;
        RenderFrame(demoTimeMs, frameMs, CurrentCamera());
        HandleFrameKeys();
        demoTimeMs = 124100.0;
        int iterations = 0;  // the window's own first events come before the frame
        while (LiveIteration() && iterations < 100) ++iterations;
        ASSERT_LT(iterations, 100) << "the loop did not end past the end of the show";
        PlatformPostMessage({WM_KEYDOWN, VK_ESCAPE, 0});

        ResetDemoState();
        FrameComparison c = CompareWithReference(fresh, FirstFrame(), nullptr);
        EXPECT_EQ(c.largestDelta, 0) << c.differingShare * 100.0 << "% of pixels differ from the fresh first frame";

        EXPECT_TRUE(LiveIteration());
        EXPECT_EQ(keys[VK_ESCAPE], 0) << "a message from before the reset was still delivered";
    });
}
