// The real program as a user meets it: no display, bad options, a shot past the end, and the
// memory of offline runs, whatever the demo time.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/program_run.h"

namespace fs = std::filesystem;

namespace {

struct Outcome {
    int status = -1;
    std::string err;  // stderr (stdout is dropped)
};

Outcome RunProgramLine(const std::string& envAndArgs, const std::string& cwd = testing::TempDir()) {
    std::string cmd = "cd '" + cwd + "' && env " + envAndArgs + " 2>&1 >/dev/null";
    Outcome o;
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) return o;
    char buffer[512];
    while (fgets(buffer, sizeof buffer, p)) o.err += buffer;
    int status = pclose(p);
    o.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return o;
}

const std::string kProgram = std::string("'") + BRIMVALE_BINARY + "'";

// Peak resident memory of one run of the program, in kB.
long PeakKb(const std::vector<std::string>& args) {
    pid_t pid = fork();
    if (pid == 0) {
        std::vector<char*> argv;
        std::string program = BRIMVALE_BINARY;
        argv.push_back(program.data());
        std::vector<std::string> copy = args;
        for (std::string& a : copy) argv.push_back(a.data());
        argv.push_back(nullptr);
        setenv("SDL_VIDEODRIVER", "offscreen", 1);
        setenv("LP_NUM_THREADS", "0", 1);  // the peak must not depend on the machine's load
        freopen("/dev/null", "w", stderr);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    int status = 0;
    struct rusage usage = {};
    if (wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
    return usage.ru_maxrss;
}

}  // namespace

TEST(NoDisplay, LivePlayWithoutADisplayExitsAtOnceWithItsOwnStatusAndSaysWhatToDo) {
    // Neither variable set, and a variable naming a display that does not answer.
    for (const char* env :
         {"-u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER", "-u WAYLAND_DISPLAY -u SDL_VIDEODRIVER DISPLAY=:97"}) {
        SCOPED_TRACE(env);
        Outcome o = RunProgramLine(std::string(env) + " " + kProgram + " --windowed");
        EXPECT_EQ(o.status, 3);
        EXPECT_EQ(o.err,
                  "brimvale: no display to play on (DISPLAY and WAYLAND_DISPLAY unset or not answering); use "
                  "--capture, --shot, or ./play\n");
    }
    // The question is not asked into nothing either.
    Outcome asked = RunProgramLine("-u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER " + kProgram);
    EXPECT_EQ(asked.status, 3);
    EXPECT_EQ(asked.err.find("Fullscreen?"), std::string::npos);
}

TEST(UsageErrors, EveryBadOptionExitsTwoBeforeAnythingIsWritten) {
    ScratchDir dir("usage");
    const std::string out = (dir / "out").string();
    const char* const cases[] = {
        "--bogus",                               // unknown
        "--fps 0",                               // out of range
        "--fps",                                 // value missing
        "--shot abc OUT.png",                    // not a time
        "--shot -5 OUT.png",                     // negative
        "--size 10x10 --shot 0 OUT.png",         // too small
        "--size big --bench",                    // not WxH
        "--windowed --fullscreen",               // exclusive
        "--shot 0 OUT.png --bench",              // two modes
        "--to 5000",                             // capture only
        "--json OUT.json",                       // bench only
        "--loop --shot 0 OUT.png",               // live only
        "--from 130000",                         // past the end
        "--step 20 --capture OUT.mp4",           // not for capture
        "--shot 0 /no/such/dir/OUT.png",         // folder missing
        "--capture /no/such/dir/OUT.mp4",        // folder missing
        "--capture /proc/version/frames",        // not a folder
        "--bench --json /no/such/dir/OUT.json",  // folder missing
    };
    for (const char* args : cases) {
        SCOPED_TRACE(args);
        std::string line = args;
        for (size_t at; (at = line.find("OUT")) != std::string::npos;) line.replace(at, 3, out);
        Outcome o = RunProgramLine("SDL_VIDEODRIVER=offscreen " + kProgram + " " + line);
        EXPECT_EQ(o.status, 2) << o.err;
        EXPECT_FALSE(o.err.empty());
        EXPECT_TRUE(fs::is_empty(dir)) << "something was written";
    }
    EXPECT_EQ(RunProgramLine(kProgram + " --help").status, 0);
}

TEST(UsageErrors, EachRefusalNamesTheOptionTheValueAndWhatIsAllowed) {
    ScratchDir dir("usage_words");
    const struct {
        const char* args;
        const char* said;
    } cases[] = {
        {"--from -5", "--from: '-5' is not allowed; give a demo time in ms from 0 up to the show's end, 124000 "
                      "(exclusive)\n"},
        {"--seed -1", "--seed: '-1' is not allowed; give a whole number from 0 to 4294967295\n"},
        {"--size 20000x100 --bench",
         "--size: '20000x100' is not allowed; give WxH with each side from 16 to 16384 pixels, e.g. 1024x768\n"},
        {"--shot 1000 x.jpg",
         "--shot: 'x.jpg' is not allowed; give a file name ending in .png (the picture is written as PNG)\n"},
        {"--shot 0 a.png --shot 5 b.png",
         "--shot: given 2 times; give it once (for several pictures: --shots T1,T2,... DIR)\n"},
        {"--fps 5000 --capture x.mp4", "--fps: '5000' is not allowed; give frames a second from 1 to 1000\n"},
    };
    for (const auto& c : cases) {
        Outcome o = RunProgramLine("SDL_VIDEODRIVER=offscreen " + kProgram + " " + c.args, dir.string());
        EXPECT_EQ(o.status, 2) << c.args;
        EXPECT_EQ(o.err, c.said) << c.args;
    }
    EXPECT_TRUE(fs::is_empty(dir)) << "something was written";
    // --help says which outputs are made and which need their folder.
    std::string help;
    FILE* p = popen((kProgram + " --help").c_str(), "r");
    ASSERT_NE(p, nullptr);
    char buffer[512];
    while (fgets(buffer, sizeof buffer, p)) help += buffer;
    EXPECT_EQ(pclose(p), 0);
    EXPECT_NE(help.find("Folder outputs (--shots DIR, --capture DIR) are created with their parents; file outputs\n"
                        "(--shot FILE.png, --capture FILE.mp4/.mkv/.webm, --json FILE) need a folder that exists."),
              std::string::npos)
        << help;
}

TEST(ShotPastTheEnd, SaysSoAndStillWritesTheWhiteFrame) {
    ScratchDir dir("pastend");
    fs::path png = dir / "end.png";
    Outcome o = RunProgramLine("SDL_VIDEODRIVER=offscreen " + kProgram + " --shot 130000 '" + png.string() +
                               "' --size 64x48 --step 5000 --seed 1");
    EXPECT_EQ(o.status, 0);
    EXPECT_NE(o.err.find("past the end of the show"), std::string::npos) << o.err;
    EXPECT_TRUE(IsWhitePng(png));
}

TEST(OfflineMemory, ALateShotHoldsNoMoreThanTheFirstFrame) {
    // Without a flush between offline frames the driver queues every frame's commands, and
    // memory grows with the demo time. The driver's rasteriser threads are off for these runs:
    // how far they lag behind under load would otherwise decide the peak. Measured at 160x120:
    // the first frame 104 MB; 40 s in 109 MB with the flush, 141 MB without it.
    ScratchDir dir("memory");
    long first = PeakKb({"--shot", "0", (dir / "a.png").string(), "--size", "160x120", "--seed", "1"});
    long late = PeakKb({"--shot", "40000", (dir / "b.png").string(), "--size", "160x120", "--seed", "1"});
    ASSERT_GT(first, 0);
    ASSERT_GT(late, 0);
    EXPECT_LE(late, first * 115 / 100) << "first frame " << first << " kB, 40 s in " << late << " kB";
}

TEST(PictureShape, AWidePictureShowsTheShowsOwnShapeBetweenBlackBars) {
    // Past the end the picture is all white, so any part the show does not cover shows up.
    ScratchDir dir("wide");
    fs::path png = dir / "wide.png";
    Outcome o = RunProgramLine("SDL_VIDEODRIVER=offscreen " + kProgram + " --shot 124100 '" + png.string() +
                               "' --size 320x180 --step 5000 --seed 1");
    ASSERT_EQ(o.status, 0) << o.err;
    int w = 0, h = 0, n = 0;
    unsigned char* px = stbi_load(png.string().c_str(), &w, &h, &n, 3);
    ASSERT_NE(px, nullptr);
    ASSERT_EQ(w, 320);
    // 180 rows at 4:3 are 240 columns wide: 40-column bars either side.
    for (int y = 0; y < h; y += 30) {
        for (int x : {0, 39, 280, 319}) EXPECT_EQ(px[(y * w + x) * 3], 0) << x << "," << y << " is not a bar";
        for (int x : {40, 160, 279}) EXPECT_EQ(px[(y * w + x) * 3], 255) << x << "," << y << " is not the picture";
    }
    stbi_image_free(px);
}
