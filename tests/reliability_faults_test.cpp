// Fault matrix: the real program run headless to the end of the show over broken images, broken
// soundtracks, missing or failing audio devices and a data folder found only beside the program.
// Each run must exit 0, report exactly the expected boxes and nothing unknown on stderr, and end
// on the white frame past the show's end.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/audio.h"
#include "tests/program_run.h"

namespace fs = std::filesystem;

namespace {

// Load order of the start-up; the ring comes last with its own message.
const char* const kImages[] = {
    "demologo.tga",  "demologo_sub.tga", "blinky.tga",     "pinky.tga",    "inkey.tga",      "clyde.tga",
    "zub.tga",       "pacman.tga",       "mar_castle.tga", "mar_tube.tga", "mar_shroom.tga", "mar_star.tga",
    "mar_mario.tga", "vok.tga",          "font.tga",       "ring.tga",
};
const int kImageCount = 16;
const char* const kImageBox = ": ";
const char* const kRingBox = ": SHIT!";
const char* const kMusicBox = ": ";

enum class ImageFault { Truncated, WrongHeader, SixteenBit, HugeDimensions };
const ImageFault kImageFaults[] = {ImageFault::Truncated, ImageFault::WrongHeader, ImageFault::SixteenBit,
                                   ImageFault::HugeDimensions};

const char* FaultName(ImageFault f) {
    switch (f) {
    case ImageFault::Truncated:
        return "truncated";
    case ImageFault::WrongHeader:
        return "wrong header";
    case ImageFault::SixteenBit:
        return "16-bit";
    case ImageFault::HugeDimensions:
        return "65535 x 65535";
    }
    return "";
}

std::vector<char> ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<char>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void WriteAll(const fs::path& path, const std::vector<char>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// Breaks the image (the shipped ones hold exactly their pixel block) and returns what the
// start-up must say about it, after "data: data/NAME ".
std::string BreakImage(const fs::path& path, ImageFault fault) {
    std::vector<char> bytes = ReadAll(path);
    EXPECT_GT(bytes.size(), 18u);
    std::string what;
    switch (fault) {
    case ImageFault::Truncated:  // header intact, half the pixel block missing
        what = "is truncated: " + std::to_string(18 + (bytes.size() - 18) / 2) + " of " +
               std::to_string(bytes.size()) + " bytes";
        bytes.resize(18 + (bytes.size() - 18) / 2);
        break;
    case ImageFault::WrongHeader:  // colour-mapped
        bytes[1] = 1;
        bytes[2] = 1;
        what = "is not a 24/32-bit uncompressed TGA";
        break;
    case ImageFault::SixteenBit:  // the pixel block is more than long enough; the depth is refused
        bytes[16] = 16;
        what = "is not a 24/32-bit uncompressed TGA (16-bit)";
        break;
    case ImageFault::HugeDimensions:  // 65535 x 65535 x 32 bits declared, nothing behind it
        bytes.resize(18);
        bytes[12] = bytes[13] = bytes[14] = bytes[15] = static_cast<char>(0xFF);
        bytes[16] = 32;
        what = "is truncated: 18 of 17179344918 bytes";
        break;
    }
    WriteAll(path, bytes);
    return what;
}

// The data line naming each broken image and what is wrong, each just before its box.
std::vector<std::string> ImageReports(const std::vector<std::string>& faults) {
    std::vector<std::string> said;
    for (int i = 0; i < kImageCount; ++i) {
        if (faults[i].empty()) continue;
        said.push_back(std::string("data: data/") + kImages[i] + " " + faults[i]);
        said.push_back(i == kImageCount - 1 ? kRingBox : kImageBox);
    }
    return said;
}

std::vector<std::string> ImageBoxes(const std::vector<bool>& broken) {
    std::vector<std::string> boxes;
    for (int i = 0; i < kImageCount; ++i)
        if (broken[i]) boxes.push_back(i == kImageCount - 1 ? kRingBox : kImageBox);
    return boxes;
}

// Bytes that no MP3 decoder can sync on: no 0xFF, no ID3 tag.
std::vector<char> Noise(size_t n) {
    std::vector<char> bytes(n);
    uint32_t state = 12345;
    for (char& b : bytes) {
        state = state * 1664525u + 1013904223u;
        b = static_cast<char>((state >> 24) % 0xFF);
    }
    return bytes;
}

}  // namespace

TEST(ReliabilityImages, EveryImageWithEachFaultIsRefusedWithItsBoxAndTheShowEnds) {
    for (ImageFault fault : kImageFaults) {
        SCOPED_TRACE(FaultName(fault));
        ScratchDir dir("images_all", ScratchDir::WithData);
        std::vector<std::string> faults;
        for (const char* image : kImages) faults.push_back(BreakImage(dir / "data" / image, fault));
        ShowResult run = RunShow(dir);
        ExpectCompleted(run);
        EXPECT_EQ(run.reports, ImageReports(faults));
    }
}

TEST(ReliabilityImages, OnlyTheBrokenImagesAreReportedInLoadOrder) {
    // Two patterns between them break every image once and leave it intact once, with the
    // four faults in rotation.
    for (int parity : {0, 1}) {
        SCOPED_TRACE(parity ? "odd images broken" : "even images broken");
        ScratchDir dir("images_some", ScratchDir::WithData);
        std::vector<std::string> faults(kImageCount);
        for (int i = parity; i < kImageCount; i += 2)
            faults[i] = BreakImage(dir / "data" / kImages[i], kImageFaults[(i / 2) % 4]);
        ShowResult run = RunShow(dir);
        ExpectCompleted(run);
        EXPECT_EQ(run.reports, ImageReports(faults));
    }
}

// A truncated soundtrack still opens and plays what it has; an empty or undecodable one gives
// the music's box, after a line naming the file. The answer is the same with an output device
// and without one.
TEST(ReliabilitySoundtrack, TruncatedPlaysWithoutABoxEmptyAndNoiseGiveTheMusicBox) {
    const fs::path source = fs::path(BRIMVALE_SOURCE_DIR) / "data" / "brimvale.mp3";
    const std::vector<char> full = ReadAll(source);
    ASSERT_GT(full.size(), 100000u);
    struct Case {
        const char* name;
        std::vector<char> bytes;
        bool box;
    };
    const Case cases[] = {
        {"truncated to a tenth", std::vector<char>(full.begin(), full.begin() + full.size() / 10), false},
        {"empty", {}, true},
        {"noise", Noise(full.size() / 10), true},
    };
    for (const char* driver : {"dummy", "nosuchdriver"}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.name) + ", audio driver " + driver);
            ScratchDir dir("mp3", ScratchDir::WithData);
            WriteAll(dir / "data" / "brimvale.mp3", c.bytes);
            ShowResult run = RunShow(dir, std::string("SDL_AUDIODRIVER=") + driver);
            ExpectCompleted(run);
            EXPECT_EQ(run.boxes, c.box ? std::vector<std::string>{kMusicBox} : std::vector<std::string>{});
            if (c.box) {
                ASSERT_EQ(run.reports.size(), 2u);
                EXPECT_EQ(run.reports[0].rfind("data: data/brimvale.mp3 is an MP3 the decoder refuses (", 0), 0u)
                    << run.reports[0];
            }
        }
    }
}

TEST(ReliabilitySoundtrack, TruncatedFileDecodesToTheSoundItHolds) {
    const fs::path source = fs::path(BRIMVALE_SOURCE_DIR) / "data" / "brimvale.mp3";
    const std::vector<char> full = ReadAll(source);
    ScratchDir dir("mp3_decode");
    fs::path cut = dir / "cut.mp3";
    WriteAll(cut, std::vector<char>(full.begin(), full.begin() + full.size() / 10));
    std::vector<int16_t> samples;
    int channels = 0, rate = 0;
    ASSERT_TRUE(DecodeAudioFile(cut.string().c_str(), samples, channels, rate));
    ASSERT_GT(channels * rate, 0);
    // A tenth of the 124-second track, give or take the frame being cut and the encoder's delay.
    double seconds = static_cast<double>(samples.size()) / channels / rate;
    EXPECT_GT(seconds, 124.0 / 10 * 0.8);
    EXPECT_LT(seconds, 124.0 / 10 * 1.2);
    long loud = 0;
    for (int16_t s : samples) loud += std::abs(s) > 64;
    EXPECT_GT(loud, static_cast<long>(samples.size() / 10));
}

TEST(ReliabilityAudioDevice, NoDeviceOrAFailingOneRunsSilentWithoutABox) {
    ScratchDir dir("device", ScratchDir::WithData);
    const std::string cases[] = {
        "SDL_AUDIODRIVER=nosuchdriver",                                   // no such driver
        "SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=/nonexistent/dir/audio",  // a device that fails to open
        "SDL_AUDIODRIVER=dummy",                                          // a device that plays into nothing
    };
    for (const std::string& env : cases) {
        SCOPED_TRACE(env);
        ShowResult run = RunShow(dir, env);
        ExpectCompleted(run);
        EXPECT_TRUE(run.boxes.empty()) << run.boxes.front();
    }
}

TEST(ReliabilityDataFolder, FoundFromAnyFolderBesideTheProgramOrInstalledAndNamedWhenMissing) {
    ScratchDir root("beside");
    fs::path app = root / "app";
    fs::path elsewhere = root / "elsewhere";
    fs::create_directories(app);
    fs::create_directories(elsewhere);
    fs::copy_file(BRIMVALE_BINARY, app / "brimvale");
    fs::copy(fs::path(BRIMVALE_SOURCE_DIR) / "data", app / "data");
    const std::string binary = (app / "brimvale").string();

    // The build tree's own program, started from its folder and from elsewhere.
    for (const fs::path& cwd : {fs::path(BRIMVALE_BINARY).parent_path(), elsewhere}) {
        ShowResult build = RunShow(cwd, "", BRIMVALE_BINARY);
        ExpectCompleted(build);
        EXPECT_TRUE(build.reports.empty()) << cwd;
    }

    ShowResult beside = RunShow(elsewhere, "", binary);
    ExpectCompleted(beside);
    EXPECT_TRUE(beside.boxes.empty()) << beside.boxes.front();

    // An installed tree: bin/brimvale with its data in share/brimvale/data.
    fs::path prefix = root / "prefix";
    fs::create_directories(prefix / "bin");
    fs::create_directories(prefix / "share" / "brimvale");
    fs::copy_file(BRIMVALE_BINARY, prefix / "bin" / "brimvale");
    fs::copy(fs::path(BRIMVALE_SOURCE_DIR) / "data", prefix / "share" / "brimvale" / "data");
    ShowResult installed = RunShow(elsewhere, "", (prefix / "bin" / "brimvale").string());
    ExpectCompleted(installed);
    EXPECT_TRUE(installed.reports.empty());

    // A data folder in the current directory comes first, file by file: here its font is broken
    // and the one beside the program is not looked at for it.
    fs::create_directories(elsewhere / "data");
    fs::copy_file(app / "data" / "font.tga", elsewhere / "data" / "font.tga");
    std::string fault = BreakImage(elsewhere / "data" / "font.tga", ImageFault::Truncated);
    ShowResult local = RunShow(elsewhere, "", binary);
    ExpectCompleted(local);
    EXPECT_EQ(local.reports, (std::vector<std::string>{"data: data/font.tga " + fault, kImageBox}));

    // Neither place has it: every file is reported, with the places looked in, and the show
    // still ends.
    fs::remove_all(app / "data");
    fs::remove_all(elsewhere / "data");
    ShowResult none = RunShow(elsewhere, "", binary);
    ExpectCompleted(none);
    std::vector<std::string> all = ImageBoxes(std::vector<bool>(kImageCount, true));
    all.push_back(kMusicBox);
    EXPECT_EQ(none.boxes, all);
    ASSERT_EQ(none.dataNotes.size(), all.size());
    EXPECT_EQ(none.dataNotes.back(), "data: data/brimvale.mp3 not found (looked in data/brimvale.mp3, " +
                                        (app / "data" / "brimvale.mp3").string() + ", " +
                                        (root / "share" / "brimvale" / "data" / "brimvale.mp3").string() + ")");
}
