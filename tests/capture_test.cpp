// Capture and benchmark, run as the real program: videos are checked with ffprobe and by decoding
// their sound, PNG frames against --shot pictures, the benchmark through its JSON. The program runs
// in a scratch folder whose data/ holds the real images and a stand-in soundtrack with known
// onsets, so that audio offsets can be measured to the millisecond.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <stb/stb_image.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/capture_plan.h"
#include "scenes/timeline.h"

namespace fs = std::filesystem;

namespace {

const int kDecodeRate = 48000;         // Hz, sound decoded for onset checks
const int kOnsetLevel = 8000;          // of 32767; the stand-in tone peaks at half scale
const double kOnsetToleranceMs = 8.0;  // a quarter of a frame at 30 fps
// Mean difference per channel (of 255) between a decoded frame and its shot: H.264 gives about 4,
// a flipped picture or swapped channels over 20.
const double kVideoLossLevel = 8.0;
const double kToneGapStartMs = 500.0;  // stand-in track: tone, silence, tone
const double kToneGapEndMs = 1500.0;

std::string Quote(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

// Runs a shell command in `dir`; returns its exit status, stdout in *out, stderr in *err.
int Shell(const std::string& command, const fs::path& dir, std::string* out = nullptr, std::string* err = nullptr) {
    fs::path errFile = dir / "stderr.txt";
    std::string full = "cd " + Quote(dir.string()) + " && " + command + " 2>" + Quote(errFile.string());
    FILE* p = popen(full.c_str(), "r");
    if (!p) return -1;
    std::string text;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, p)) > 0) text.append(buffer, n);
    int status = pclose(p);
    if (out) *out = text;
    if (err) {
        std::ifstream f(errFile);
        std::stringstream s;
        s << f.rdbuf();
        *err = s.str();
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string Program() { return Quote(BRIMVALE_BINARY); }

std::string StepFor(double fps) {
    char text[64];
    snprintf(text, sizeof text, "%.17g", 1000.0 / fps);
    return text;
}

// A scratch working folder: data/ links the real images, brimvale.mp3 is a tone that stops at
// kToneGapStartMs and starts again at kToneGapEndMs.
class CaptureTest : public ::testing::Test {
protected:
    fs::path dir;

    void SetUp() override {
        char pattern[] = "/tmp/brimvale-capture-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
        fs::create_directory(dir / "data");
        fs::path real = fs::path(BRIMVALE_SOURCE_DIR) / "data";
        if (fs::is_directory(real))
            for (const auto& e : fs::directory_iterator(real))
                if (e.path().extension() != ".mp3") fs::create_symlink(e.path(), dir / "data" / e.path().filename());
        char filter[256];
        snprintf(filter, sizeof filter, "aevalsrc=if(lt(t\\,%g)+gte(t\\,%g)\\,0.5*sin(2*PI*440*t)\\,0):s=44100:d=8",
                 kToneGapStartMs / 1000.0, kToneGapEndMs / 1000.0);
        ASSERT_EQ(
            Shell("ffmpeg -v error -y -f lavfi -i " + Quote(filter) + " -c:a libmp3lame -b:a 128k data/brimvale.mp3",
                  dir),
            0);
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(dir, ignored);
    }

    // ffprobe's view of one stream: key=value lines.
    std::string Probe(const std::string& file, const char* stream, const char* entries) {
        std::string out;
        EXPECT_EQ(Shell(std::string("ffprobe -v error -count_frames -select_streams ") + stream +
                            " -show_entries stream=" + entries + " -of default=nw=1 " + Quote(file),
                        dir, &out),
                  0);
        return out;
    }

    std::vector<int16_t> DecodeSound(const std::string& file) {
        std::string raw;
        EXPECT_EQ(Shell("ffmpeg -v error -i " + Quote(file) + " -map 0:a:0 -ac 1 -ar " + std::to_string(kDecodeRate) +
                            " -f s16le -",
                        dir, &raw),
                  0);
        std::vector<int16_t> samples(raw.size() / 2);
        memcpy(samples.data(), raw.data(), samples.size() * 2);
        return samples;
    }
};

std::string Field(const std::string& probe, const std::string& key) {
    std::smatch m;
    if (std::regex_search(probe, m, std::regex("(^|\\n)" + key + "=([^\\n]*)"))) return m[2];
    return "";
}

// First time (ms) at or after fromMs where the sound is loud; -1 if never.
double OnsetMs(const std::vector<int16_t>& s, double fromMs = 0.0) {
    for (size_t i = static_cast<size_t>(fromMs * kDecodeRate / 1000.0); i < s.size(); ++i)
        if (std::abs(s[i]) >= kOnsetLevel) return static_cast<double>(i) * 1000.0 / kDecodeRate;
    return -1.0;
}

double MeanAbsDifference(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
    if (a.size() != b.size() || a.empty()) return 1e9;
    double sum = 0.0;
    for (size_t i = 0; i < a.size(); ++i)
        if (i % 4 != 3) sum += std::abs(static_cast<int>(a[i]) - static_cast<int>(b[i]));
    return sum / (static_cast<double>(a.size()) * 0.75);
}

std::vector<uint8_t> LoadPng(const fs::path& path, int& w, int& h) {
    int channels = 0;
    unsigned char* data = stbi_load(path.c_str(), &w, &h, &channels, 4);
    if (!data) return {};
    std::vector<uint8_t> pixels(data, data + static_cast<size_t>(w) * h * 4);
    stbi_image_free(data);
    return pixels;
}

}  // namespace

// ---- which frames a capture takes ----
TEST(CapturePlan, RangesCountFramesFromTheirIndex) {
    // Half-open range: 1000 to 5000 ms at 30 fps is exactly 120 frames.
    CapturePlan p = PlanCapture(30.0, 1000.0, 5000.0);
    EXPECT_EQ(p.firstWritten, 30);
    EXPECT_EQ(p.lastRendered - p.firstWritten + 1, 120);
    // Bounds between frame times round up to the next frame.
    p = PlanCapture(30.0, 1010.0, 1100.0);
    EXPECT_EQ(p.firstWritten, 31);
    EXPECT_EQ(p.lastRendered, 32);
    // A range past the end stops with the show.
    EXPECT_EQ(PlanCapture(60.0, 0.0, 500000.0).lastRendered, PlanCapture(60.0, 0.0, -1.0).lastRendered);
}

TEST(CapturePlan, WholeShowEndsWithTheFirstFramePastTheEnd) {
    for (double fps : {60.0, 30.0, 25.0, 24.0, 7.0}) {
        CapturePlan p = PlanCapture(fps, 0.0, -1.0);
        EXPECT_GT(CaptureFrameMs(p, p.lastRendered), kDemoEndMs) << fps;
        EXPECT_LE(CaptureFrameMs(p, p.lastRendered - 1), kDemoEndMs) << fps;
    }
    EXPECT_EQ(PlanCapture(60.0, 0.0, -1.0).lastRendered, 7441);  // 124000 ms itself is frame 7440
}

TEST(CapturePlan, MusicStartsInTheFirstFrameOfWindowTwo) {
    EXPECT_EQ(PlanCapture(60.0, 0.0, -1.0).musicFrame, 120);
    EXPECT_EQ(PlanCapture(7.0, 0.0, -1.0).musicFrame, 14);  // 2000 ms exactly
    EXPECT_EQ(PlanCapture(3.0, 0.0, -1.0).musicFrame, 6);
    EXPECT_EQ(PlanCapture(30.0, 3000.0, 4000.0).musicFrame, 60);  // before the range: trimmed
    EXPECT_EQ(PlanCapture(30.0, 0.0, 1500.0).musicFrame, -1);     // range ends before it
    // 10 s steps skip window 2: the music starts with the first frame past its start, as the
    // loop starts it.
    EXPECT_EQ(PlanCapture(0.1, 0.0, -1.0).musicFrame, 1);
    EXPECT_EQ(PlanCapture(0.1, 0.0, -1.0).audioOffsetMs, 10000.0);
    EXPECT_EQ(PlanCapture(30.0, 3000.0, 4000.0).audioOffsetMs, -1000.0);  // entered 1 s into the track
}

// ---- videos ----
TEST_F(CaptureTest, Mp4RangeHasExactFramesAndTheMusicWhereTheLiveRunStartsIt) {
    std::string err;
    ASSERT_EQ(Shell(Program() + " --capture clip.mp4 --from 1000 --to 3000 --fps 30 --size 320x240 --seed 7", dir,
                    nullptr, &err),
              0)
        << err;
    std::string video = Probe("clip.mp4", "v:0", "codec_name,pix_fmt,width,height,r_frame_rate,nb_read_frames");
    EXPECT_EQ(Field(video, "codec_name"), "h264");
    EXPECT_EQ(Field(video, "pix_fmt"), "yuv420p");
    EXPECT_EQ(Field(video, "width"), "320");
    EXPECT_EQ(Field(video, "height"), "240");
    EXPECT_EQ(Field(video, "r_frame_rate"), "30/1");
    EXPECT_EQ(Field(video, "nb_read_frames"), "60");
    // The first and last frames show what --shot renders at 1000 and 2966.67 ms: upright, in
    // the right colours, at the right time (within the loss of the encoding).
    for (int n : {0, 59}) {
        SCOPED_TRACE(n);
        char shotMs[64];
        snprintf(shotMs, sizeof shotMs, "%.17g", (30 + n) * (1000.0 / 30.0));
        std::string frame = "frame" + std::to_string(n) + ".png", shot = "shot" + std::to_string(n) + ".png";
        ASSERT_EQ(Shell("ffmpeg -v error -y -i clip.mp4 -vf " + Quote("select=eq(n\\," + std::to_string(n) + ")") +
                            " -frames:v 1 " + frame,
                        dir),
                  0);
        ASSERT_EQ(Shell(Program() + " --shot " + shotMs + " " + shot + " --step " + StepFor(30.0) +
                            " --size 320x240 --seed 7",
                        dir),
                  0);
        int w = 0, h = 0, sw = 0, sh = 0;
        std::vector<uint8_t> decoded = LoadPng(dir / frame, w, h), still = LoadPng(dir / shot, sw, sh);
        ASSERT_EQ(w * h, sw * sh);
        EXPECT_LT(MeanAbsDifference(decoded, still), kVideoLossLevel);
    }
    std::string audio = Probe("clip.mp4", "a:0", "codec_name,duration");
    EXPECT_EQ(Field(audio, "codec_name"), "aac");
    EXPECT_NEAR(std::stod(Field(audio, "duration")), 2.0, 0.1);

    // Music starts at 2000 ms of demo time, 1000 ms after the first frame.
    std::vector<int16_t> track = DecodeSound("data/brimvale.mp3");
    std::vector<int16_t> clip = DecodeSound("clip.mp4");
    double trackOnset = OnsetMs(track);
    ASSERT_GE(trackOnset, 0.0);
    EXPECT_NEAR(OnsetMs(clip), 1000.0 + trackOnset, kOnsetToleranceMs);
}

// The documented whole-show capture, small and at 10 fps to stay quick: every frame from 0 to
// the white one that starts past 124000 ms (the live loop's last), the music from 2000 ms.
TEST_F(CaptureTest, WholeShowRunsToTheWhiteFrameWithTheMusicFromTwoSeconds) {
    std::string err;
    ASSERT_EQ(Shell(Program() + " --capture show.mp4 --fps 10 --size 160x120 --seed 7", dir, nullptr, &err), 0) << err;
    std::string video = Probe("show.mp4", "v:0", "nb_read_frames");
    EXPECT_EQ(Field(video, "nb_read_frames"), "1242");  // 0, 100, ..., 124000, 124100
    ASSERT_EQ(
        Shell("ffmpeg -v error -y -i show.mp4 -vf " + Quote("select=eq(n\\,1241)") + " -frames:v 1 last.png", dir), 0);
    int w = 0, h = 0;
    std::vector<uint8_t> last = LoadPng(dir / "last.png", w, h);
    ASSERT_FALSE(last.empty());
    EXPECT_LT(MeanAbsDifference(last, std::vector<uint8_t>(last.size(), 255)), 2.0);
    std::vector<int16_t> track = DecodeSound("data/brimvale.mp3");
    std::vector<int16_t> show = DecodeSound("show.mp4");
    double trackOnset = OnsetMs(track);
    ASSERT_GE(trackOnset, 0.0);
    EXPECT_NEAR(OnsetMs(show), 2000.0 + trackOnset, kOnsetToleranceMs);
}

TEST_F(CaptureTest, WebmStartingAfterTheMusicEntersTheTrackPartWay) {
    std::string err;
    ASSERT_EQ(
        Shell(Program() + " --capture late.webm --from 3000 --to 4000 --fps 30 --size 160x120", dir, nullptr, &err), 0)
        << err;
    std::string video = Probe("late.webm", "v:0", "codec_name,nb_read_frames");
    EXPECT_EQ(Field(video, "codec_name"), "vp9");
    EXPECT_EQ(Field(video, "nb_read_frames"), "30");
    EXPECT_EQ(Field(Probe("late.webm", "a:0", "codec_name"), "codec_name"), "opus");
    // The clip opens 1000 ms into the track, inside its gap; the tone returns at the gap's end.
    std::vector<int16_t> track = DecodeSound("data/brimvale.mp3");
    std::vector<int16_t> clip = DecodeSound("late.webm");
    double gapEnd = OnsetMs(track, kToneGapStartMs + 100.0);
    ASSERT_GT(gapEnd, 1000.0);
    EXPECT_NEAR(OnsetMs(clip), gapEnd - 1000.0, kOnsetToleranceMs);
}

TEST_F(CaptureTest, CtrlCStopsAfterTheFrameAndLeavesAPlayableVideo) {
    std::string errPath = (dir / "run.err").string();
    std::string program = BRIMVALE_BINARY;
    const char* argv[] = {program.c_str(), "--capture", "stopped.mp4", "--size", "160x120", nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addchdir_np(&actions, dir.c_str());
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = -1;
    extern char** environ;
    ASSERT_EQ(posix_spawn(&pid, program.c_str(), &actions, nullptr, const_cast<char**>(argv), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    // Interrupt once frames are flowing, well before the show's end.
    for (int i = 0; i < 200; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        std::ifstream f(errPath);
        std::string text((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
        if (text.find("frames") != std::string::npos && i > 20) break;
    }
    kill(pid, SIGINT);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 130);
    std::ifstream f(errPath);
    std::string err((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    std::smatch m;
    ASSERT_TRUE(std::regex_search(err, m, std::regex("wrote (\\d+) frames"))) << err;
    long written = std::stol(m[1]);
    EXPECT_GT(written, 0);
    EXPECT_LT(written, 7442);
    EXPECT_EQ(Field(Probe("stopped.mp4", "v:0", "nb_read_frames"), "nb_read_frames"), std::to_string(written));
}

TEST_F(CaptureTest, MissingFfmpegIsAClearErrorBeforeAnyWork) {
    fs::create_directory(dir / "emptybin");
    std::string err;
    int code = Shell("PATH=" + Quote((dir / "emptybin").string()) + " " + Program() + " --capture x.mp4 --size 64x48",
                     dir, nullptr, &err);
    EXPECT_NE(code, 0);
    EXPECT_NE(err.find("ffmpeg"), std::string::npos) << err;
    EXPECT_NE(err.find("apt-get install ffmpeg"), std::string::npos) << err;
    EXPECT_EQ(err.find("ffmpeg.exe"), std::string::npos) << "a Windows hint on Linux: " << err;
    EXPECT_FALSE(fs::exists(dir / "x.mp4"));
}

// ---- PNG folders ----
TEST_F(CaptureTest, FolderFramesEqualShotsAtTheSameDemoTimes) {
    const double fps = 30.0;
    std::string err;
    ASSERT_EQ(Shell(Program() + " --capture frames --from 2500 --to 2600 --fps 30 --size 160x120 --seed 7", dir,
                    nullptr, &err),
              0)
        << err;
    // 2500, 2533.3 and 2566.7 ms: frames 75 to 77.
    std::vector<fs::path> files;
    for (const auto& e : fs::directory_iterator(dir / "frames"))
        if (e.path().extension() == ".png") files.push_back(e.path().filename());
    ASSERT_EQ(files.size(), 3u);
    std::ifstream info(dir / "frames" / "audio.txt");
    std::string text((std::istreambuf_iterator<char>(info)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("offset_ms -500\n"), std::string::npos) << text;
    EXPECT_NE(text.find("soundtrack " + fs::canonical(dir / "data/brimvale.mp3").string() + "\n"), std::string::npos)
        << text;

    std::vector<uint8_t> previous;
    for (int j = 0; j < 3; ++j) {
        char name[32];
        snprintf(name, sizeof name, "frame_%06d.png", j);
        char shotMs[64];
        snprintf(shotMs, sizeof shotMs, "%.17g", (75 + j) * (1000.0 / fps));
        std::string shot = "shot" + std::to_string(j) + ".png";
        ASSERT_EQ(
            Shell(Program() + " --shot " + shotMs + " " + shot + " --step " + StepFor(fps) + " --size 160x120 --seed 7",
                  dir),
            0);
        int w = 0, h = 0, sw = 0, sh = 0;
        std::vector<uint8_t> frame = LoadPng(dir / "frames" / name, w, h);
        std::vector<uint8_t> still = LoadPng(dir / shot, sw, sh);
        ASSERT_EQ(w, 160);
        ASSERT_EQ(h, 120);
        ASSERT_EQ(sw, w);
        ASSERT_EQ(sh, h);
        EXPECT_TRUE(frame == still) << name << " differs from the shot at " << shotMs << " ms";
        EXPECT_NE(frame, previous) << "the picture did not move";
        previous = frame;
    }
}

TEST_F(CaptureTest, ALateCaptureReplaysToTheSameFramesAsOneFromTheStart) {
    // 30 fps is not the stills' step; by 8 s the pulsing mesh has spun and its particles have
    // stepped and re-seeded for hundreds of frames. The late capture replays them unseen.
    const std::string common = " --fps 30 --to 8300 --size 64x48 --seed 7";
    std::string err;
    ASSERT_EQ(Shell(Program() + " --capture whole" + common, dir, nullptr, &err), 0) << err;
    ASSERT_EQ(Shell(Program() + " --capture late --from 8000" + common, dir, nullptr, &err), 0) << err;
    // 8000 ms is frame 240 of the whole; 240 .. 248 come before 8300 ms.
    for (int j = 0; j < 9; ++j) {
        char late[32], whole[32];
        snprintf(late, sizeof late, "frame_%06d.png", j);
        snprintf(whole, sizeof whole, "frame_%06d.png", 240 + j);
        std::ifstream a(dir / "late" / late, std::ios::binary), b(dir / "whole" / whole, std::ios::binary);
        std::string bytesA((std::istreambuf_iterator<char>(a)), std::istreambuf_iterator<char>());
        std::string bytesB((std::istreambuf_iterator<char>(b)), std::istreambuf_iterator<char>());
        ASSERT_FALSE(bytesA.empty()) << late;
        EXPECT_TRUE(bytesA == bytesB) << late << " differs from " << whole;
    }
    EXPECT_FALSE(fs::exists(dir / "late" / "frame_000009.png"));
}

// ---- writes that fail ----
namespace {

// Runs the program in dir with every file it (or its encoder) writes limited to limitBytes;
// SIGXFSZ is ignored, so the write itself fails with "File too large". Returns the exit status
// and what it said on stderr.
int RunWithFileLimit(const fs::path& dir, const std::vector<std::string>& args, rlim_t limitBytes, std::string& err) {
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0) return -1;
    pid_t pid = fork();
    if (pid == 0) {
        std::vector<std::string> all = {BRIMVALE_BINARY};
        all.insert(all.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (std::string& a : all) argv.push_back(a.data());
        argv.push_back(nullptr);
        dup2(pipeEnds[1], 2);  // a pipe, which the limit does not touch
        int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        close(pipeEnds[0]);
        if (chdir(dir.c_str()) != 0) _exit(126);
        signal(SIGXFSZ, SIG_IGN);
        struct rlimit limit = {limitBytes, limitBytes};
        setrlimit(RLIMIT_FSIZE, &limit);
        setenv("SDL_VIDEODRIVER", "offscreen", 1);
        execv(all[0].c_str(), argv.data());
        _exit(127);
    }
    close(pipeEnds[1]);
    err.clear();
    char buffer[4096];
    ssize_t n;
    while ((n = read(pipeEnds[0], buffer, sizeof buffer)) > 0) err.append(buffer, static_cast<size_t>(n));
    close(pipeEnds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// Every file under dir, as paths relative to it.
std::vector<std::string> FilesUnder(const fs::path& dir) {
    std::vector<std::string> files;
    for (const auto& e : fs::recursive_directory_iterator(dir))
        if (e.is_regular_file()) files.push_back(e.path().lexically_relative(dir).string());
    std::sort(files.begin(), files.end());
    return files;
}

}  // namespace

// A full disk or a size limit part-way through any output: exit 1, one line naming the file and
// the system's reason, and no partial file left as if it were whole. An output that cannot be
// made at all is refused before any work.
TEST_F(CaptureTest, AWriteThatFailsLeavesNoPartialFileAndSaysWhy) {
    const rlim_t kLimit = 1024;  // bytes: less than any picture, JSON or video of these runs
    const std::vector<std::string> small = {"--size", "256x192", "--seed", "1"};
    const struct {
        std::vector<std::string> args;
        const char* said;  // the one line
    } cases[] = {
        {{"--shot", "8000", "shot.png"}, "cannot write shot.png: File too large\n"},
        {{"--shots", "100,8000", "out"}, "cannot write out/100.png: File too large\n"},
        {{"--capture", "frames", "--from", "2000", "--to", "2100"},
         "cannot write frames/frame_000000.png: File too large\n"},
        {{"--capture", "clip.mp4", "--from", "2000", "--to", "2500"},
         "cannot write clip.mp4: ffmpeg failed with exit status 1 (its reason is above)\n"},
        {{"--bench", "--step", "5000", "--json", "bench.json"}, "cannot write bench.json: File too large\n"},
    };
    const std::vector<std::string> before = FilesUnder(dir);
    for (const auto& c : cases) {
        std::vector<std::string> args = c.args;
        args.insert(args.end(), small.begin(), small.end());
        SCOPED_TRACE(args[0] + " " + args[1]);
        std::string err;
        EXPECT_EQ(RunWithFileLimit(dir, args, kLimit, err), 1) << err;
        EXPECT_NE(err.find(c.said), std::string::npos) << err;
        EXPECT_EQ(err.find("cannot write", err.find("cannot write") + 1), std::string::npos)
            << "more than one line: " << err;
        // Nothing is left but what was there, and the frame folder's whole audio.txt.
        std::vector<std::string> after = FilesUnder(dir), expected = before;
        if (args[1] == "frames") expected.push_back("frames/audio.txt");
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(after, expected);
        fs::remove_all(dir / "frames");
        fs::remove_all(dir / "out");
    }
    // Outputs that cannot be created at all (under /proc: the tests run as root, for whom a
    // read-only folder is still writable): refused as usage, before anything is rendered.
    for (const char* args : {"--shot 0 /proc/x.png", "--shots 0 /proc/shots", "--capture /proc/frames",
                             "--capture /proc/clip.mp4", "--bench --json /proc/b.json"}) {
        std::string err;
        EXPECT_EQ(Shell(Program() + " " + args, dir, nullptr, &err), 2) << args;
        EXPECT_NE(err.find("/proc/"), std::string::npos) << err;
        EXPECT_NE(err.find(": No such file or directory"), std::string::npos) << err;
    }
}

// ---- benchmark ----
TEST_F(CaptureTest, BenchJsonHasFiguresForEveryWindowAndTheFloor) {
    std::string out, err;
    ASSERT_EQ(Shell(Program() + " --bench --step 1000 --size 128x96 --json bench.json", dir, &out, &err), 0) << err;
    std::ifstream f(dir / "bench.json");
    nlohmann::json j = nlohmann::json::parse(f);
    const auto& windows = j.at("windows");
    ASSERT_EQ(windows.size(), static_cast<size_t>(kTimelineWindows));
    for (int k = 1; k <= kTimelineWindows; ++k) {
        const auto& w = windows[k - 1];
        SCOPED_TRACE(k);
        EXPECT_EQ(w.at("window").get<int>(), k);
        // One frame per whole second of the window at a 1000 ms step.
        EXPECT_EQ(w.at("frames").get<int>(), static_cast<int>((timelineBounds[k - 1] - WindowStart(k)) / 1000.0));
        double median = w.at("median_ms"), p95 = w.at("p95_ms"), max = w.at("max_ms");
        EXPECT_GT(median, 0.0);
        EXPECT_LE(median, p95);
        EXPECT_LE(p95, max);
        double ratio = median / j.at("floor").at("median_ms").get<double>();
        EXPECT_NEAR(w.at("ratio_to_floor").get<double>(), ratio, 1e-3 * std::max(1.0, ratio));
    }
    EXPECT_EQ(j.at("floor").at("frames").get<int>(), 60);
    EXPECT_GT(j.at("startup_ms").get<double>(), 0.0);
    EXPECT_GT(j.at("peak_rss_mb").get<double>(), 1.0);
    EXPECT_GT(j.at("fps").get<double>(), 0.0);
    // The printed table carries the same rows.
    EXPECT_NE(out.find("floor"), std::string::npos);
    EXPECT_NE(out.find("110000-124000"), std::string::npos);
}
