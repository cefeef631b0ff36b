// The live player on a real offscreen context with the real mixer (dummy audio driver): the
// music keeps to the demo clock through minimise, pause and stalls; the player's keys act once
// per press through the real event queue; the overlay leaves the GL state as it found it.
#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <chrono>
#include <cmath>
#include <thread>
#include <vector>

#include "app/player.h"
#include "app/shell.h"
#include "app/startup.h"
#include "platform/audio.h"
#include "platform/gl.h"
#include "platform/platform.h"
#include "scenes/timeline.h"
#include "platform/random.h"
#include "tests/frames/frames.h"
#include "tests/fake_ticks.h"
#include "tests/gl_test_context.h"
#include "tests/program_run.h"

namespace {

class PlayerLoop : public SceneGlTest {
protected:
    void SetUp() override {
        SceneGlTest::SetUp();
        if (IsSkipped()) return;
        ResetDemoState();
        musicRepositions = 0;
    }
    void TearDown() override {
        if (paused) PlayerKey(VK_SPACE);
        if (overlayShown) PlayerKey(VK_F1);
        if (MusicMuted()) PlayerKey(kKeyM);
        ResetDemoState();
    }
    // Live iterations, with the real tick count, until the clock reaches ms.
    void RunUntil(double ms) {
        while (demoTimeMs < ms) ASSERT_TRUE(LiveIteration());
    }
    // Live iterations for a stretch of wall time (the loop may block in it, waiting for events).
    void RunFor(std::chrono::milliseconds span) {
        auto end = std::chrono::steady_clock::now() + span;
        while (std::chrono::steady_clock::now() < end) ASSERT_TRUE(DesktopLiveIteration());
    }
    // Where the track is against where the picture is, in ms (positive: the music is ahead).
    // Live frames until the track's position is known again (a start or move hides it for a
    // buffer or two; on a busy machine longer).
    void RunUntilHeard() {
        auto end = std::chrono::steady_clock::now() + std::chrono::seconds(3);
        while (MusicPositionMs() < 0.0 && std::chrono::steady_clock::now() < end) ASSERT_TRUE(LiveIteration());
    }
    static double Drift() { return MusicPositionMs() - (demoTimeMs - WindowStart(2)); }
    static void Press(unsigned vk) {
        ASSERT_TRUE(PlatformInjectEvent(PlatformEvent::KeyDown, static_cast<int>(vk)));
        ASSERT_TRUE(PlatformInjectEvent(PlatformEvent::KeyUp, static_cast<int>(vk)));
    }
};

}  // namespace

TEST_F(PlayerLoop, MusicHoldsWithTheClockThroughMinimiseAndPause) {
    demoTimeMs = WindowStart(2) - 100.0;
    RunUntil(2600.0);
    ASSERT_TRUE(musicStarted);
    RunUntilHeard();
    ASSERT_GE(MusicPositionMs(), 0.0) << "the soundtrack does not play";

    // Minimised for 400 ms: neither the clock nor the track moves.
    ASSERT_TRUE(PlatformInjectEvent(PlatformEvent::Minimise));
    double frozen = demoTimeMs;
    ASSERT_TRUE(LiveIteration());
    ASSERT_FALSE(active);
    double heldAt = MusicPositionMs();
    ASSERT_GE(heldAt, 0.0);
    double heardAtRestore = -1.0;
    std::thread restore([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(400));
        heardAtRestore = MusicPositionMs();
        PlatformInjectEvent(PlatformEvent::Restore);
    });
    while (!active) ASSERT_TRUE(LiveIteration());
    restore.join();
    EXPECT_EQ(demoTimeMs, frozen);
    EXPECT_NEAR(heardAtRestore, heldAt, 1.0) << "the music played on while minimised";
    RunUntil(demoTimeMs + 300.0);
    RunUntilHeard();

    // Paused by Space for 400 ms, resumed by Space: the same.
    Press(VK_SPACE);
    while (!paused) ASSERT_TRUE(LiveIteration());
    frozen = demoTimeMs;
    heldAt = MusicPositionMs();
    ASSERT_GE(heldAt, 0.0);
    std::thread resume([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(400));
        heardAtRestore = MusicPositionMs();
        Press(VK_SPACE);
    });
    while (paused) ASSERT_TRUE(LiveIteration());
    resume.join();
    EXPECT_EQ(demoTimeMs, frozen) << "the clock moved while paused";
    EXPECT_NEAR(heardAtRestore, heldAt, 1.0) << "the music played on while paused";
    RunUntil(demoTimeMs + 400.0);
    RunUntilHeard();
    EXPECT_LE(std::fabs(Drift()), kMusicPositionBoundMs + frameMs);
}

TEST_F(PlayerLoop, StallPastTheTitleWindowStillStartsTheTrackAtTheDemoTime) {
    // Every frame of [2000, 6000) skipped: the title scene, which asks for the music, never ran.
    demoTimeMs = 7000.0;
    RunFor(std::chrono::milliseconds(300));
    ASSERT_TRUE(musicStarted);
    RunUntilHeard();
    ASSERT_GE(MusicPositionMs(), 0.0) << "the show stays silent";
    EXPECT_LE(std::fabs(Drift()), kMusicPositionBoundMs + frameMs);
}

TEST_F(PlayerLoop, AJumpOfTheClockMovesTheTrackWithIt) {
    demoTimeMs = 3000.0;
    RunFor(std::chrono::milliseconds(150));
    int before = musicRepositions;
    demoTimeMs += 20000.0;  // a seek
    RunFor(std::chrono::milliseconds(200));
    RunUntilHeard();
    EXPECT_GE(musicRepositions, before + 1);
    EXPECT_LE(std::fabs(Drift()), kMusicPositionBoundMs + frameMs);
}

// M is judged by what is heard: the disk audio driver records what the mixer plays, in real
// time, so a mute that sets the flag but never reaches the mixer fails.
TEST(PlayerFresh, MSilencesTheRecordedSoundAndASecondPressBringsItBack) {
    InFreshProcess([] {
        ScratchDir dir("mute_audio");
        const std::filesystem::path raw = dir / "audio.raw";
        setenv("SDL_AUDIODRIVER", "disk", 1);
        setenv("SDL_DISKAUDIOFILE", raw.string().c_str(), 1);
        InitScene();
        StartMusicOnce();
        // 0.8 s of sound recorded in each state, however long the machine takes to record it.
        const uintmax_t kStretchBytes = 44100 * 2 * sizeof(int16_t) * 8 / 10;
        const size_t playing = WaitForRecording(raw, kStretchBytes) / sizeof(int16_t);
        PlayerKey(kKeyM);
        const size_t muted = WaitForRecording(raw, (playing * sizeof(int16_t)) + kStretchBytes) / sizeof(int16_t);
        PlayerKey(kKeyM);
        const size_t unmuted = WaitForRecording(raw, (muted * sizeof(int16_t)) + kStretchBytes) / sizeof(int16_t);
        ASSERT_FALSE(MusicMuted());
        std::vector<int16_t> s(unmuted);
        std::ifstream in(raw, std::ios::binary);
        in.read(reinterpret_cast<char*>(s.data()), static_cast<std::streamsize>(s.size() * sizeof(int16_t)));
        // Buffers mixed before a key press are still written after it: a quarter second is skipped.
        const size_t settle = 44100 / 2;
        auto loudShare = [&](size_t from, size_t to) {
            if (to <= from) return -1.0;
            long loud = 0;
            for (size_t i = from; i < to; ++i) loud += std::abs(s[i]) > 64;
            return static_cast<double>(loud) / static_cast<double>(to - from);
        };
        ASSERT_GT(muted, playing + settle);
        ASSERT_GT(unmuted, muted + settle);
        EXPECT_GT(loudShare(0, playing), 0.1) << "the soundtrack was not heard before M";
        EXPECT_EQ(loudShare(playing + settle, muted), 0.0) << "M did not silence what is heard";
        EXPECT_GT(loudShare(muted + settle, unmuted), 0.1) << "the second M did not bring the sound back";
    });
}

// Paused, the window shows the kept picture with its mark and no show frame is rendered: the
// frame after resuming is the one that would have come without the pause.
TEST_F(PlayerLoop, PauseShowsAMarkOverTheKeptPictureAndLeavesTheNextFrameUnchanged) {
    auto nextFrame = [&](bool pause, std::vector<uint8_t>& frame, std::vector<uint8_t>& marked) {
        FixRandomSeed(3);
        ResetDemoState();
        SetTickSource(FakeTicks);  // exact frame durations, whatever the machine does
        tickStep = 20;
        demoTimeMs = 7900.0;  // rings rising and spinning over the title
        for (int i = 0; i < 5; ++i) ASSERT_TRUE(LiveIteration());
        if (pause) {
            Press(VK_SPACE);
            while (!paused) ASSERT_TRUE(LiveIteration());
            for (int i = 0; i < 3; ++i) ASSERT_TRUE(LiveIteration());
            DrawPausedPicture();
            marked = ReadFramebuffer();
            Press(VK_SPACE);
            while (paused) ASSERT_TRUE(LiveIteration());
        }
        RenderFrame(demoTimeMs, frameMs, CurrentCamera());
        frame = ReadFramebuffer();
        SetTickSource(nullptr);
    };
    std::vector<uint8_t> plain, afterPause, marked, unused;
    nextFrame(false, plain, unused);
    nextFrame(true, afterPause, marked);
    EXPECT_TRUE(afterPause == plain) << "the pause moved the show";
    // The kept picture is the show's, with a dark band in the middle (bottom row first).
    auto luma = [&](int x, int y) {
        const uint8_t* p = &marked[(static_cast<size_t>(y) * 1024 + x) * 4];
        return p[0] + p[1] + p[2];
    };
    EXPECT_LT(luma(512 - 40, 384 - 8), luma(20, 20) / 2 + 1) << "no dark band behind the mark";
    EXPECT_NE(marked, plain);
}

TEST_F(PlayerLoop, PlayerKeysActOncePerPressThroughTheEventQueue) {
    demoTimeMs = 500.0;
    camX = 3.0f;
    camYaw = 40.0f;
    camPitch = -7.5f;
    Press(VK_HOME);
    Press(kKeyM);
    Press(VK_F1);
    // Space held: the first down pauses, its repeat does not resume.
    ASSERT_TRUE(PlatformInjectEvent(PlatformEvent::KeyDown, VK_SPACE));
    ASSERT_TRUE(PlatformInjectEvent(PlatformEvent::KeyDown, VK_SPACE));
    for (int i = 0; i < 8; ++i) {
        HandledMessage handled;
        ASSERT_TRUE(HandleLiveMessage(handled));
    }
    EXPECT_EQ(camX, 0.0f);
    EXPECT_EQ(camYaw, 0.0f);
    EXPECT_EQ(camPitch, 0.0f);
    EXPECT_TRUE(MusicMuted());
    EXPECT_TRUE(overlayShown);
    EXPECT_TRUE(paused);
    // Escape still ends a paused show, without a frame.
    double before = demoTimeMs;
    keys[VK_ESCAPE] = 1;
    EXPECT_FALSE(LiveIteration());
    keys[VK_ESCAPE] = 0;
    EXPECT_EQ(demoTimeMs, before);
}

TEST_F(PlayerLoop, OverlayDrawsTextAndLeavesEveryStateItTouches) {
    struct State {
        std::array<GLboolean, 6> enabled;
        std::array<GLfloat, 4> colour;
        std::array<GLfloat, 32> matrices;
        std::array<GLint, 5> ints;
        bool operator==(const State& o) const {
            return enabled == o.enabled && colour == o.colour && matrices == o.matrices && ints == o.ints;
        }
    };
    auto snapshot = [] {
        State s = {};
        const GLenum caps[6] = {GL_LIGHTING, GL_DEPTH_TEST, GL_TEXTURE_2D, GL_BLEND, GL_FOG, GL_CULL_FACE};
        for (int i = 0; i < 6; ++i) s.enabled[i] = glIsEnabled(caps[i]);
        glGetFloatv(GL_CURRENT_COLOR, s.colour.data());
        glGetFloatv(GL_MODELVIEW_MATRIX, s.matrices.data());
        glGetFloatv(GL_PROJECTION_MATRIX, s.matrices.data() + 16);
        glGetIntegerv(GL_TEXTURE_BINDING_2D, &s.ints[0]);
        glGetIntegerv(GL_LIST_BASE, &s.ints[1]);
        glGetIntegerv(GL_BLEND_SRC, &s.ints[2]);
        glGetIntegerv(GL_BLEND_DST, &s.ints[3]);
        glGetIntegerv(GL_MATRIX_MODE, &s.ints[4]);
        return s;
    };
    // Mid-show states differ: a lit mesh, the typed listing, the tunnel.
    for (double t : {8000.0, 50000.0, 80000.0}) {
        SCOPED_TRACE(t);
        RenderFrame(t);
        State before = snapshot();
        std::vector<uint8_t> plain = ReadFramebuffer();
        DrawOverlay(t, 16.0);
        EXPECT_TRUE(snapshot() == before);
        EXPECT_NE(ReadFramebuffer(), plain) << "the overlay drew nothing";
    }
}

TEST_F(PlayerLoop, LateStartShowsWhatAShotOfThatMomentShowsAndLeavesTheMusicToTheLoop) {
    // The moments carry much state: the figure's walk, the typed listing with its particles, the
    // chase, the credits.
    const int64_t moments[] = {23000, 50000, 80000};
    ScratchDir scratch("late_start");
    std::string dir = (scratch / "shots").string();
    std::string command = "SDL_VIDEODRIVER=offscreen '" + std::string(BRIMVALE_BINARY) +
                          "' --seed 1 --shots 23000,50000,80000 '" + dir + "' 2>/dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0);
    for (int64_t ms : moments) {
        SCOPED_TRACE(ms);
        FixRandomSeed(1);
        ResetDemoState();
        DemoOptions options;
        ReplayTo(static_cast<double>(ms), options);
        EXPECT_FALSE(musicStarted) << "the replay started the track";
        // Where the live loop starts, with the frame duration the replay left.
        RenderFrame(static_cast<double>(ms), frameMs, CurrentCamera());
        std::vector<uint8_t> rows = ReadFramebuffer();
        Picture live;
        live.width = 1024;
        live.height = 768;
        live.rgba.resize(rows.size());
        for (int y = 0; y < 768; ++y)
            std::copy_n(&rows[static_cast<size_t>(767 - y) * 1024 * 4], 1024 * 4,
                        &live.rgba[static_cast<size_t>(y) * 1024 * 4]);
        for (size_t i = 3; i < live.rgba.size(); i += 4) live.rgba[i] = 255;
        Picture shot;
        ASSERT_TRUE(LoadPicture(dir + "/" + std::to_string(ms) + ".png", shot));
        FrameComparison result = CompareWithReference(shot, live, nullptr);
        EXPECT_TRUE(result.passed()) << result.differingShare * 100.0 << "% of pixels differ";
    }
}

TEST_F(PlayerLoop, LoopStartsTheShowAgainAtItsEndUntilEscape) {
    DemoOptions options;
    options.loop = true;
    options.fromMs = 123800.0;
    options.stepMs = 1000.0;  // a short replay up to the start
    options.stepGiven = true;
    // The first time round lasts about half a second, several on a loaded machine; the second
    // has ten seconds of show to be ended in.
    std::thread escape([] {
        std::this_thread::sleep_for(std::chrono::milliseconds(4000));
        PlatformPostMessage({WM_KEYDOWN, VK_ESCAPE, 0});
    });
    EXPECT_EQ(RunLive(options), 0);
    escape.join();
    // Ended by Escape a few seconds into the second time round, not at the first end.
    EXPECT_LT(demoTimeMs, 10000.0);
    EXPECT_GT(demoTimeMs, 0.0);
    keys[VK_ESCAPE] = 0;
}
