// Start-up: the message sequence for missing and broken files, the show running on regardless,
// and the soundtrack opened once and started with the first frame of the title window.
#include <gtest/gtest.h>
#include <GL/gl.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include <stb/stb_image.h>

#include "app/shell.h"
#include "app/startup.h"
#include "platform/audio.h"
#include "platform/platform.h"
#include "scenes/timeline.h"
#include "tests/gl_test_context.h"

namespace fs = std::filesystem;

namespace {

const char* const kImageFiles[] = {
    "demologo.tga", "demologo_sub.tga", "blinky.tga",     "pinky.tga",      "inkey.tga",
    "clyde.tga",    "zub.tga",          "pacman.tga",     "mar_castle.tga", "mar_tube.tga",
    "mar_shroom.tga", "mar_star.tga",   "mar_mario.tga",  "vok.tga",        "font.tga",
};

struct ShowRun {
    int status = -1;
    std::vector<std::string> lines;  // stderr
};

// Runs the program headless in `dir` to the end of the show and collects stderr. A small picture
// and a coarse step keep the many runs quick; every window is still visited.
ShowRun RunShowIn(const fs::path& dir, const fs::path& shot, const char* step = "500") {
    std::string cmd = "cd '" + dir.string() + "' && " + BRIMVALE_BINARY + " --shot 124100 '" + shot.string() +
                      "' --size 160x120 --step " + step + " --seed 3 2>&1 1>/dev/null";
    ShowRun run;
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) return run;
    char line[512];
    while (fgets(line, sizeof line, p)) {
        std::string s(line);
        if (!s.empty() && s.back() == '\n') s.pop_back();
        run.lines.push_back(s);
    }
    run.status = pclose(p);
    return run;
}

bool IsWhite(const fs::path& png) {
    int w = 0, h = 0, n = 0;
    unsigned char* px = stbi_load(png.string().c_str(), &w, &h, &n, 4);
    if (!px) return false;
    bool white = true;
    for (long i = 0; i < static_cast<long>(w) * h * 4; ++i) white = white && px[i] == 255;
    stbi_image_free(px);
    return white;
}

fs::path FreshDir(const std::string& name) {
    fs::path dir = fs::path(testing::TempDir()) / ("brimvale_" + name);
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
}

fs::path CopyData(const std::string& name) {
    fs::path dir = FreshDir(name);
    fs::copy(fs::path(BRIMVALE_SOURCE_DIR) / "data", dir / "data");
    return dir;
}

std::vector<std::string> Boxes(const ShowRun& run) {
    // Box lines are "caption: text"; the mixer and driver may add their own notes, which are
    // not boxes and start with a lower-case word and a colon ("audio: ...").
    std::vector<std::string> boxes;
    for (const std::string& l : run.lines)
        if (l == ": " || l == ": SHIT!" || l.rfind("Error: ", 0) == 0 || l.rfind("Shit!: ", 0) == 0)
            boxes.push_back(l);
    return boxes;
}

}  // namespace

TEST(StartupFaults, MissingDataFolderGivesEveryBoxInOrderAndTheShowStillEnds) {
    fs::path dir = FreshDir("nodata");
    ShowRun run = RunShowIn(dir, dir / "end.png");
    EXPECT_EQ(run.status, 0);
    std::vector<std::string> expected(15, ": ");
    expected.push_back(": SHIT!");
    expected.push_back(": ");
    EXPECT_EQ(Boxes(run), expected);
    EXPECT_TRUE(IsWhite(dir / "end.png"));
}

TEST(StartupFaults, EachMissingOrCorruptFileGivesExactlyItsOwnBox) {
    std::vector<std::string> files(std::begin(kImageFiles), std::end(kImageFiles));
    files.push_back("ring.tga");
    files.push_back("brimvale.mp3");
    for (size_t i = 0; i < files.size(); ++i) {
        for (bool corrupt : {false, true}) {
            SCOPED_TRACE(files[i] + (corrupt ? " corrupt" : " missing"));
            fs::path dir = CopyData("one_" + std::to_string(i) + (corrupt ? "c" : "m"));
            fs::path victim = dir / "data" / files[i];
            if (corrupt) {
                std::ofstream(victim, std::ios::binary | std::ios::trunc) << "not a picture nor a sound at all";
            } else {
                fs::remove(victim);
            }
            ShowRun run = RunShowIn(dir, dir / "end.png", "1900");
            EXPECT_EQ(run.status, 0);
            std::vector<std::string> expected = {files[i] == "ring.tga" ? ": SHIT!" : ": "};
            EXPECT_EQ(Boxes(run), expected);
            EXPECT_TRUE(IsWhite(dir / "end.png"));
            fs::remove_all(dir);
        }
    }
}

TEST(StartupFaults, TruncatedAndWrongHeaderImagesAreRefusedQuietlyButReported) {
    fs::path dir = CopyData("truncated");
    fs::path font = dir / "data" / "font.tga";
    fs::resize_file(font, fs::file_size(font) - 1);  // one byte short
    std::fstream logo(dir / "data" / "vok.tga", std::ios::binary | std::ios::in | std::ios::out);
    logo.seekp(2);
    logo.put(10);  // run-length encoded: not accepted
    logo.close();
    ShowRun run = RunShowIn(dir, dir / "end.png");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(Boxes(run), (std::vector<std::string>{": ", ": "}));
}

class StartupGl : public GlTest {};

TEST_F(StartupGl, WithEveryFilePresentNothingIsReportedAndTheMusicWaits) {
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
}

TEST_F(StartupGl, MusicStartsOnceWithTheFirstFrameOfTheTitleWindow) {
    InitScene();
    for (double t : {0.0, 1000.0, 1999.0}) {
        demoTimeMs = t;
        RenderFrame();
    }
    EXPECT_FALSE(musicStarted);
    EXPECT_EQ(audioPlayRequests, 0);
    for (double t : {2000.0, 2016.0, 3000.0, 5999.0}) {
        demoTimeMs = t;
        RenderFrame();
    }
    EXPECT_TRUE(musicStarted);
    EXPECT_EQ(audioPlayRequests, 1);
    EXPECT_EQ(audioStreamsOpened, 1);
}

// The disk audio driver writes what the mixer plays, in real time, to a file: silence until the
// first frame of the title window, the soundtrack from there on.
TEST_F(StartupGl, DiskAudioIsSilentUntilTheTitleAndCarriesTheSoundtrackAfter) {
    fs::path raw = fs::path(testing::TempDir()) / "brimvale_disk_audio.raw";
    fs::remove(raw);
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", raw.string().c_str(), 1);
    InitScene();
    demoTimeMs = 1000.0;
    RenderFrame();
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    uintmax_t before = fs::exists(raw) ? fs::file_size(raw) : 0;
    demoTimeMs = 2000.0;
    RenderFrame();
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    ASSERT_GT(before, 0u) << "the disk driver wrote nothing";
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
}
