// Runs the real program headless over the whole show and sorts what it says on stderr.
#pragma once
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include <stb/stb_image.h>

struct ShowResult {
    int status = -1;
    std::vector<std::string> boxes;      // "caption: text" lines of the program's own messages
    std::vector<std::string> dataNotes;  // "data: ..." lines: a file not found, or found and refused
    std::vector<std::string> reports;    // boxes and data notes, in the order they were said
    std::vector<std::string> unknown;   // anything else that is not a known library note
    bool white = false;                 // the last frame, past the end of the show
};

inline bool IsWhitePng(const std::filesystem::path& png) {
    int w = 0, h = 0, n = 0;
    unsigned char* px = stbi_load(png.string().c_str(), &w, &h, &n, 4);
    if (!px) return false;
    bool white = w > 0 && h > 0;
    for (long i = 0; i < static_cast<long>(w) * h * 4; ++i) white = white && px[i] == 255;
    stbi_image_free(px);
    return white;
}

inline bool IsBox(const std::string& line) {
    return line == ": " || line == ": SHIT!" || line.rfind("Shit!: ", 0) == 0 || line.rfind("Error: ", 0) == 0;
}

// Notes that are not boxes: our own notes on a missing audio device and on the shot past the
// show's end that RunShow asks for, and the MP3 decoder's
// notes and complaints about a broken stream.
inline bool IsKnownNote(const std::string& line) {
    return line.rfind("audio: ", 0) == 0 || line.rfind("--shot: 124100 ms is past the end", 0) == 0 ||
           line.rfind("[src/libmpg123/", 0) == 0 || line.rfind("Warning: Xing stream size", 0) == 0 ||
           line.rfind("Note: ", 0) == 0;
}

// A scratch folder the test owns: made fresh (with a copy of the shipped data folder when asked)
// and removed when it goes out of scope, whether the test passed or stopped part-way.
class ScratchDir {
public:
    enum Contents { Empty, WithData };
    explicit ScratchDir(const std::string& name, Contents contents = Empty) {
        namespace fs = std::filesystem;
        // The process id keeps runs of the suite side by side (other checkouts, ctest -j) apart.
        path_ = fs::path(testing::TempDir()) / ("brimvale_" + name + "_" + std::to_string(getpid()));
        fs::remove_all(path_);
        fs::create_directories(path_);
        if (contents == WithData) fs::copy(fs::path(BRIMVALE_SOURCE_DIR) / "data", path_ / "data");
    }
    ~ScratchDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    operator const std::filesystem::path&() const { return path_; }
    std::filesystem::path operator/(const std::filesystem::path& p) const { return path_ / p; }
    std::string string() const { return path_.string(); }

private:
    std::filesystem::path path_;
};

// A copy of the program in a scratch folder with no data beside it or installed near it, so
// that the build tree's own data cannot hide a missing or broken file.
inline std::string ScratchBinary() {
    namespace fs = std::filesystem;
    static ScratchDir dir("scratch");  // removed as the test process ends
    static std::string copy;
    if (!copy.empty()) return copy;
    fs::create_directories(dir / "bin");
    fs::copy_file(BRIMVALE_BINARY, dir / "bin" / "brimvale", fs::copy_options::overwrite_existing);
    copy = (dir / "bin" / "brimvale").string();
    return copy;
}

// Runs `binary` headless from `cwd` over the whole show with `env` ("NAME=value ...") prepended.
// A tiny picture and a coarse step keep it quick; every window is still visited: the last frame
// before the end is drawn, so each frame up to it is replayed, and then the white one past it (a
// still past the end alone would skip the whole show).
inline ShowResult RunShow(const std::filesystem::path& cwd, const std::string& env = "",
                          const std::string& binary = ScratchBinary()) {
    namespace fs = std::filesystem;
    fs::path dir = fs::path(testing::TempDir()) / ("brimvale_show_end_" + std::to_string(getpid()));
    fs::path shot = dir / "125400.png";  // the first frame past the end at this step
    fs::remove_all(dir);
    std::string cmd = "cd '" + cwd.string() + "' && env " + env + " '" + binary + "' --shots 123500,125400 '" +
                      dir.string() + "' --size 96x72 --step 1900 --seed 5 2>&1 1>/dev/null";
    ShowResult run;
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) return run;
    char buffer[1024];
    while (fgets(buffer, sizeof buffer, p)) {
        std::string line(buffer);
        if (!line.empty() && line.back() == '\n') line.pop_back();
        if (IsBox(line) || line.rfind("data: ", 0) == 0)
            run.reports.push_back(line);
        if (IsBox(line))
            run.boxes.push_back(line);
        else if (line.rfind("data: ", 0) == 0)
            run.dataNotes.push_back(line);
        else if (!IsKnownNote(line))
            run.unknown.push_back(line);
    }
    int status = pclose(p);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    run.white = IsWhitePng(shot) && fs::exists(dir / "123500.png");
    fs::remove_all(dir);
    return run;
}

// The disk audio driver records in real time, but a loaded machine delays it: waits (up to ten
// seconds) until the recording holds at least `bytes`, and returns its size then.
inline uintmax_t WaitForRecording(const std::filesystem::path& raw, uintmax_t bytes) {
    namespace fs = std::filesystem;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    std::error_code error;
    uintmax_t size = 0;
    while ((size = fs::exists(raw, error) ? fs::file_size(raw, error) : 0) < bytes &&
           std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return size;
}

inline void ExpectCompleted(const ShowResult& run) {
    EXPECT_EQ(run.status, 0);
    EXPECT_TRUE(run.white) << "the show did not reach its white end";
    EXPECT_TRUE(run.unknown.empty()) << "unexpected on stderr: " << run.unknown.front();
}
