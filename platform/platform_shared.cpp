// The platform calls that do not depend on the window system: the tick count, the window class
// stand-in, the letterboxed picture area and the data-file lookup. Both sides of the layer (SDL
// on the desktop, html5.h in the browser) link this file.
#include "platform/platform.h"
#include "platform/platform_shared.h"

#include <time.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <vector>

// ---- globals ----
bool platformHeadless = false;  // offscreen runs: boxes go to stderr, nothing waits on the user

static uint32_t (*tickSource)() = nullptr;  // test override of the tick count
static bool classRegistered = false;        // stands in for the window class
static int pictureWidth = 0;                // picture aspect (0: the whole drawable)
static int pictureHeight = 0;
static int pictureX = 0;  // picture origin inside the drawable
static int pictureY = 0;
static std::string programDir;  // folder of the executable, with trailing '/'

// ---- time ----
static uint32_t MonotonicTicks() {
    timespec ts = {};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    uint64_t ms = static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1000000u;
    return static_cast<uint32_t>(ms);  // wraps like the 32-bit count it stands for
}

uint32_t GetTickCount() { return tickSource ? tickSource() : MonotonicTicks(); }

void SetTickSource(uint32_t (*source)()) { tickSource = source; }

// ---- window class ----
bool PlatformRegisterClass(const char* className) {
    if (!className || !*className || classRegistered) return false;
    classRegistered = true;
    return true;
}

bool PlatformUnregisterClass(const char* className) {
    if (!className || !classRegistered) return false;
    classRegistered = false;
    return true;
}

// ---- picture area ----
void PlatformSetPictureAspect(int width, int height) {
    pictureWidth = width;
    pictureHeight = height;
}

void PlatformChangeDisplayMode(int width, int height, int /*bits*/) {
    // No real mode switch: the full-screen window keeps the desktop mode and shows the picture
    // in the centred area of this aspect, so nothing is left to restore after a crash.
    PlatformSetPictureAspect(width, height);
}

void PlatformRestoreDisplayMode() {}

void UpdatePictureArea(int drawableW, int drawableH, int* areaW, int* areaH) {
    if (pictureWidth <= 0 || pictureHeight <= 0 || drawableW <= 0 || drawableH <= 0) {
        pictureX = pictureY = 0;
        *areaW = drawableW;
        *areaH = drawableH;
        return;
    }
    long long w = drawableW;
    long long h = drawableW * static_cast<long long>(pictureHeight) / pictureWidth;
    if (h > drawableH) {
        h = drawableH;
        w = drawableH * static_cast<long long>(pictureWidth) / pictureHeight;
    }
    pictureX = static_cast<int>((drawableW - w) / 2);
    pictureY = static_cast<int>((drawableH - h) / 2);
    *areaW = static_cast<int>(w);
    *areaH = static_cast<int>(h);
}

bool PictureHasBars() { return pictureX != 0 || pictureY != 0; }

void PlatformPictureOrigin(int* x, int* y) {
    *x = pictureX;
    *y = pictureY;
}

void PlatformPictureSize(int* width, int* height) {
    int dw = 0, dh = 0;
    PlatformDrawableSize(&dw, &dh);
    UpdatePictureArea(dw, dh, width, height);
}

// ---- files ----
void SetProgramDir(const std::string& dir) { programDir = dir; }

// Where a data path is looked for, in order: under the current directory (the program's own
// habit), beside the executable (the build tree), and the installed share folder next to it.
static std::vector<std::string> DataCandidates(const std::string& local) {
    std::vector<std::string> places = {local};
    if (!programDir.empty() && !local.empty() && local[0] != '/') {
        places.push_back(programDir + local);
        places.push_back(programDir + "../share/brimvale/" + local);
    }
    return places;
}

const char* ResolveDataPath(const char* path) {
    static std::string resolved;
    resolved.clear();
    if (!path) return "";
    std::string local(path);
    for (char& c : local)
        if (c == '\\') c = '/';
    std::vector<std::string> places = DataCandidates(local);
    for (const std::string& place : places) {
        if (access(place.c_str(), F_OK) == 0) {
            resolved = place;
            return resolved.c_str();
        }
    }
    std::string list;
    for (const std::string& place : places)
        list += (list.empty() ? "" : ", ") + std::filesystem::path(place).lexically_normal().string();
    fprintf(stderr, "data: %s not found (looked in %s)\n", local.c_str(), list.c_str());
    return resolved.c_str();
}

FILE* OpenDataFile(const char* path, const char* mode) {
    const char* resolved = ResolveDataPath(path);
    if (!*resolved) return nullptr;
    return fopen(resolved, mode);
}

bool LooksLikeMp3(const char* path) {
    FILE* f = fopen(path, "rb");
    if (!f) return false;
    unsigned char head[4] = {0, 0, 0, 0};
    size_t n = fread(head, 1, sizeof head, f);
    fclose(f);
    if (n < 3) return false;
    if (memcmp(head, "ID3", 3) == 0) return true;
    return n == 4 && head[0] == 0xFF && (head[1] & 0xE0) == 0xE0;
}
