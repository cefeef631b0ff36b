// Start-up: the message sequence for missing and broken files, the show running on regardless,
// and the soundtrack opened once and started with the first frame of the title window.
#include <gtest/gtest.h>
#include "platform/gl.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "app/shell.h"
#include "app/startup.h"
#include "platform/audio.h"
#include "platform/platform.h"
#include "scenes/timeline.h"
#include "tests/fake_ticks.h"
#include "tests/gl_test_context.h"
#include "tests/program_run.h"

namespace fs = std::filesystem;

namespace {

const char* const kImageFiles[] = {
    "demologo.tga",   "demologo_sub.tga", "blinky.tga",    "pinky.tga",      "inkey.tga",
    "clyde.tga",      "zub.tga",          "pacman.tga",    "mar_castle.tga", "mar_tube.tga",
    "mar_shroom.tga", "mar_star.tga",     "mar_mario.tga", "vok.tga",        "font.tga",
};

}  // namespace

TEST(StartupFaults, MissingDataFolderGivesEveryBoxInOrderAndTheShowStillEnds) {
    ScratchDir dir("nodata");
    ShowResult run = RunShow(dir);
    ExpectCompleted(run);
    std::vector<std::string> expected(15, ": ");
    expected.push_back(": SHIT!");
    expected.push_back(": ");
    EXPECT_EQ(run.boxes, expected);
}

TEST(StartupFaults, EachMissingOrCorruptFileGivesExactlyItsOwnBox) {
    std::vector<std::string> files(std::begin(kImageFiles), std::end(kImageFiles));
    files.push_back("ring.tga");
    files.push_back("brimvale.mp3");
    for (size_t i = 0; i < files.size(); ++i) {
        for (bool corrupt : {false, true}) {
            SCOPED_TRACE(files[i] + (corrupt ? " corrupt" : " missing"));
            ScratchDir dir("one_" + std::to_string(i) + (corrupt ? "c" : "m"), ScratchDir::WithData);
            fs::path victim = dir / "data" / files[i];
            if (corrupt) {
                std::ofstream(victim, std::ios::binary | std::ios::trunc) << "not a picture nor a sound at all";
            } else {
                fs::remove(victim);
            }
            ShowResult run = RunShow(dir);
            ExpectCompleted(run);
            std::vector<std::string> expected = {files[i] == "ring.tga" ? ": SHIT!" : ": "};
            EXPECT_EQ(run.boxes, expected);
        }
    }
}

TEST(StartupFaults, TruncatedAndWrongHeaderImagesAreRefusedQuietlyButReported) {
    ScratchDir dir("truncated", ScratchDir::WithData);
    fs::path font = dir / "data" / "font.tga";
    const std::string size = std::to_string(fs::file_size(font));
    fs::resize_file(font, fs::file_size(font) - 1);  // one byte short
    std::fstream logo(dir / "data" / "vok.tga", std::ios::binary | std::ios::in | std::ios::out);
    logo.seekp(2);
    logo.put(10);  // run-length encoded: not accepted
    logo.close();
    ShowResult run = RunShow(dir);
    ExpectCompleted(run);
    // Each box as designed, after one line naming the file and what is wrong with it.
    EXPECT_EQ(run.reports, (std::vector<std::string>{
                               "data: data/vok.tga is not a 24/32-bit uncompressed TGA",
                               ": ",
                               "data: data/font.tga is truncated: " + std::to_string(std::stoll(size) - 1) + " of " +
                                   size + " bytes",
                               ": ",
                           }));
}

// Start-up itself is checked in a fresh process: in this one it has run already, and other
// cases change what it made.
TEST(StartupFresh, WithEveryFilePresentNothingIsReportedAndTheMusicWaits) {
    InFreshProcess([] {
        testing::internal::CaptureStderr();
        InitScene();
        std::string err = testing::internal::GetCapturedStderr();
        EXPECT_EQ(err.find(": \n"), std::string::npos) << err;
        EXPECT_EQ(err.find("SHIT!"), std::string::npos) << err;
        EXPECT_FALSE(musicStarted);
        EXPECT_NE(musicStream, 0u);
        EXPECT_EQ(audioStreamsOpened, 1);
        EXPECT_NE(fontTex.glName, 0u);
        EXPECT_NE(ringTex.glName, 0u);
        // The fixed state every scene starts from.
        EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
        EXPECT_TRUE(glIsEnabled(GL_LIGHTING));
        EXPECT_TRUE(glIsEnabled(GL_LIGHT1));
        EXPECT_FALSE(glIsEnabled(GL_LIGHT0));
        EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
        GLint func = 0;
        glGetIntegerv(GL_DEPTH_FUNC, &func);
        EXPECT_EQ(func, GL_LEQUAL);
        GLfloat diffuse[4], position[4];
        glGetLightfv(GL_LIGHT1, GL_DIFFUSE, diffuse);
        glGetLightfv(GL_LIGHT1, GL_POSITION, position);
        EXPECT_FLOAT_EQ(diffuse[0], 0.9f);
        EXPECT_FLOAT_EQ(diffuse[2], 1.0f);
        EXPECT_EQ(position[2], 1.0f);  // OpenGL's default: a directional light along -z
        EXPECT_EQ(position[3], 0.0f);
    });
}

// A soundtrack is checked for its MP3 header with an output open as without one, so it is refused
// in the same words everywhere; and the refusal speaks of the last creation only: one turned away
// by the one-stream guard leaves none behind.
TEST(StartupFresh, WithADeviceOpenAHeaderlessTrackIsRefusedAndAGuardRefusalLeavesNoStaleText) {
    InFreshProcess([] {
        ScratchDir dir("no_header");
        const std::string noise = (dir / "noise.mp3").string();
        std::ofstream(noise, std::ios::binary) << "neither an ID3 tag nor an MP3 frame sync at its start";
        const std::string track = (fs::path(BRIMVALE_SOURCE_DIR) / "data" / "brimvale.mp3").string();
        ASSERT_TRUE(BASS_Init(-1, 44100, 0, nullptr, nullptr)) << "no output device: the case covers nothing";

        EXPECT_EQ(BASS_StreamCreateFile(false, noise.c_str(), 0, 0, 0), 0u);
        EXPECT_EQ(std::string(StreamRefusal()), noise + " is an MP3 the decoder refuses (no MP3 header at its start)");
        EXPECT_EQ(BASS_StreamCreateFile(true, noise.c_str(), 0, 0, 0), 0u);  // from memory: the guard refuses
        EXPECT_STREQ(StreamRefusal(), "");

        EXPECT_EQ(BASS_StreamCreateFile(false, track.c_str(), 0, 0, 0), 1u);
        EXPECT_EQ(BASS_StreamCreateFile(false, noise.c_str(), 0, 0, 0), 0u);  // a second stream: the guard again
        EXPECT_STREQ(StreamRefusal(), "");
        EXPECT_EQ(audioStreamsOpened, 1);
    });
}

// The disk audio driver writes what the mixer plays, in real time, to a file: silence until the
// first frame of the title window, the soundtrack from there on. The device is opened at start-up.
TEST(StartupFresh, DiskAudioIsSilentUntilTheTitleAndCarriesTheSoundtrackAfter) {
    InFreshProcess([] {
        ScratchDir dir("disk_audio");
        fs::path raw = dir / "audio.raw";
        setenv("SDL_AUDIODRIVER", "disk", 1);
        setenv("SDL_DISKAUDIOFILE", raw.string().c_str(), 1);
        const uintmax_t kSecondBytes = 44100 * 2 * sizeof(int16_t);  // of 16-bit stereo
        InitScene();
        StartMusicWithTitle(1000.0);
        RenderFrame(1000.0);
        uintmax_t before = WaitForRecording(raw, kSecondBytes / 4);
        ASSERT_GT(before, 0u) << "the disk driver wrote nothing";
        StartMusicWithTitle(2000.0);
        RenderFrame(2000.0);
        WaitForRecording(raw, before + kSecondBytes);
        std::ifstream in(raw, std::ios::binary);
        std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        const int16_t* s = reinterpret_cast<const int16_t*>(bytes.data());
        size_t count = bytes.size() / 2;
        size_t silentUntil = before / 2;
        ASSERT_GT(count, silentUntil + 44100);  // at least half a second of stereo written after
        long loudBefore = 0, loudAfter = 0;
        for (size_t i = 0; i < silentUntil; ++i) loudBefore += s[i] != 0;
        for (size_t i = silentUntil; i < count; ++i) loudAfter += std::abs(s[i]) > 64;
        EXPECT_EQ(loudBefore, 0);
        EXPECT_GT(loudAfter, static_cast<long>((count - silentUntil) / 10));
    });
}

// The start of the music, in this process: the fixture's reset clears the started flag. The loop
// starts it, not the title scene: a frame drawn at any time leaves it alone.
class StartupLoop : public LoopFixture {
protected:
    void SetUp() override {
        LoopFixture::SetUp();
        if (!IsSkipped()) InitSceneOnce();
    }
};

TEST_F(StartupLoop, MusicStartsOnceWithTheFirstLoopFrameAtOrPastTheTitle) {
    const int requests = audioPlayRequests;
    for (double t : {2000.0, 3000.0, 5999.0}) RenderFrame(t);
    EXPECT_FALSE(musicStarted) << "a scene started the music";
    tickStep = 500;  // frames at 0, 500, 1000, 1500, then 2000
    for (int i = 0; i < 4; ++i) ASSERT_TRUE(LiveIteration());
    EXPECT_FALSE(musicStarted);
    EXPECT_EQ(audioPlayRequests, requests);
    ASSERT_TRUE(LiveIteration());
    EXPECT_TRUE(musicStarted);
    for (int i = 0; i < 10; ++i) ASSERT_TRUE(LiveIteration());
    EXPECT_EQ(audioPlayRequests, requests + 1);
    EXPECT_EQ(audioStreamsOpened, 1);
}

TEST_F(StartupLoop, AFirstFramePastTheTitleWindowStillStartsTheMusic) {
    demoTimeMs = 1999.0;
    tickStep = 8000;  // the next frame begins at 9999, in window 3
    ASSERT_TRUE(LiveIteration());
    EXPECT_FALSE(musicStarted);
    ASSERT_TRUE(LiveIteration());
    EXPECT_TRUE(musicStarted);
}
