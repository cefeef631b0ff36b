// Reference frames: the list of times, the comparison with its stated tolerance, the difference
// picture and the contact sheet. Shared by the test suite and brimvale_compare_frames, so that
// frames made by any build (another platform, another driver) are judged the same way.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct Picture {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgba;  // top row first
};

bool LoadPicture(const std::string& path, Picture& picture);
bool SavePicture(const std::string& path, const Picture& picture);
// Box average down by whole factors; the picture unchanged when the size is already right.
// False when the target size does not divide the picture's size.
bool ScalePicture(const Picture& from, int width, int height, Picture& to);

struct ReferenceTime {
    int64_t ms;
    bool full;  // kept at the rendered size because text must be read; the rest are halved
    std::string note;
};
// tests/reference/times.txt: "ms [full] note" per line, '#' comments.
std::vector<ReferenceTime> LoadReferenceTimes(const std::string& path);
std::string JoinTimes(const std::vector<ReferenceTime>& times);  // "0,1000,..." for --shots

// ---- tolerance ----
// A pixel of the scaled frame differs when one of its channels is more than kPixelThreshold off
// the reference; a frame fails when more than kMaxDifferingShare of its pixels differ. That
// forgives a driver's rounding and single edge pixels, but not a part moved, lost or recoloured.
// A small part drawn wrong (a sprite with another texture) is too few pixels for the share but
// lies in one place, where a driver's rounding scatters: a frame also fails when any 8 x 8 tile
// holds more than kMaxTileDiffering differing pixels.
constexpr int kPixelThreshold = 16;
constexpr double kMaxDifferingShare = 0.001;
constexpr int kTileSize = 8;
constexpr int kMaxTileDiffering = 24;
// A frame drifts when more than kDriftShare of its pixels are more than kDriftThreshold off.
// Drift in more than kMaxDriftingShare of the frames means this driver draws differently
// throughout, and the tolerance above would then hide real changes: the suite fails for that.
constexpr int kDriftThreshold = 3;
constexpr double kDriftShare = 0.02;
constexpr double kMaxDriftingShare = 0.25;

struct FrameComparison {
    bool comparable = false;  // sizes fit
    double differingShare = 0.0;
    double driftShare = 0.0;
    int largestDelta = 0;
    int densestTile = 0;  // differing pixels in the worst 8 x 8 tile
    bool passed() const {
        return comparable && differingShare <= kMaxDifferingShare && densestTile <= kMaxTileDiffering;
    }
};
// Scales the frame to the reference's size and compares; diff (if given) gets a picture of it:
// the reference pale, drifting pixels yellow, differing pixels red.
FrameComparison CompareWithReference(const Picture& reference, const Picture& frame, Picture* diff);

struct FolderComparison {
    int frames = 0;
    int drifting = 0;
    std::vector<std::string> failures;  // one message per failed frame, naming its files
    bool wholesaleDrift() const { return frames > 0 && drifting > kMaxDriftingShare * frames; }
};
// Compares framesDir/<ms>.png with referenceDir/<ms>.png for every listed time; a failed frame's
// new picture and difference image are written to failureDir as <ms>.png and <ms>-diff.png.
FolderComparison CompareFolder(const std::string& framesDir, const std::string& referenceDir,
                               const std::string& failureDir);

// Makes referenceDir/<ms>.png from full-size frames and writes the contact sheet of them.
bool WriteReferences(const std::string& framesDir, const std::string& referenceDir, const std::string& sheetPath);
