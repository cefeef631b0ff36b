// Reference frames: loading and scaling pictures, the comparison and its difference picture, and
// the contact sheet the references are reviewed with.
#include "tests/frames/frames.h"

#include <stb/stb_image.h>
#include <stb/stb_image_write.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

bool LoadPicture(const std::string& path, Picture& picture) {
    int w = 0, h = 0, n = 0;
    unsigned char* px = stbi_load(path.c_str(), &w, &h, &n, 4);
    if (!px) return false;
    picture.width = w;
    picture.height = h;
    picture.rgba.assign(px, px + static_cast<size_t>(w) * h * 4);
    stbi_image_free(px);
    return true;
}

bool SavePicture(const std::string& path, const Picture& picture) {
    // RGB: the frames are opaque, and a quarter less to store.
    std::vector<uint8_t> rgb(static_cast<size_t>(picture.width) * picture.height * 3);
    for (size_t i = 0, j = 0; j < rgb.size(); i += 4, j += 3) std::copy_n(&picture.rgba[i], 3, &rgb[j]);
    return stbi_write_png(path.c_str(), picture.width, picture.height, 3, rgb.data(), picture.width * 3) != 0;
}

// Any size down: each output pixel the rounded mean of the source pixels whose corners fall in it.
static Picture BoxAverage(const Picture& from, int width, int height) {
    Picture to;
    to.width = width;
    to.height = height;
    to.rgba.assign(static_cast<size_t>(width) * height * 4, 0);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            int x0 = x * from.width / width, x1 = std::max(x0 + 1, (x + 1) * from.width / width);
            int y0 = y * from.height / height, y1 = std::max(y0 + 1, (y + 1) * from.height / height);
            int area = (x1 - x0) * (y1 - y0);
            for (int c = 0; c < 4; ++c) {
                int sum = 0;
                for (int v = y0; v < y1; ++v)
                    for (int u = x0; u < x1; ++u) sum += from.rgba[(static_cast<size_t>(v) * from.width + u) * 4 + c];
                to.rgba[(static_cast<size_t>(y) * width + x) * 4 + c] = static_cast<uint8_t>((sum + area / 2) / area);
            }
        }
    return to;
}

bool ScalePicture(const Picture& from, int width, int height, Picture& to) {
    if (width <= 0 || height <= 0 || from.width % width || from.height % height) return false;
    if (from.width / width != from.height / height) return false;
    to = BoxAverage(from, width, height);
    return true;
}

std::vector<ReferenceTime> LoadReferenceTimes(const std::string& path) {
    std::vector<ReferenceTime> times;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream words(line);
        ReferenceTime t = {-1, false, ""};
        std::string word;
        words >> t.ms;
        if (!words || t.ms < 0) continue;
        std::streampos rest = words.tellg();
        if (words >> word && word == "full")
            t.full = true;
        else
            words.seekg(rest);
        std::getline(words >> std::ws, t.note);
        times.push_back(t);
    }
    return times;
}

std::string JoinTimes(const std::vector<ReferenceTime>& times) {
    std::string list;
    for (const ReferenceTime& t : times) list += (list.empty() ? "" : ",") + std::to_string(t.ms);
    return list;
}

FrameComparison CompareWithReference(const Picture& reference, const Picture& frame, Picture* diff) {
    FrameComparison result;
    Picture scaled;
    if (!ScalePicture(frame, reference.width, reference.height, scaled)) return result;
    result.comparable = true;
    if (diff) {
        diff->width = reference.width;
        diff->height = reference.height;
        diff->rgba.assign(reference.rgba.size(), 255);
    }
    size_t pixels = static_cast<size_t>(reference.width) * reference.height;
    size_t differing = 0, drifting = 0;
    int tilesAcross = (reference.width + kTileSize - 1) / kTileSize;
    std::vector<int> tiles(static_cast<size_t>(tilesAcross) * ((reference.height + kTileSize - 1) / kTileSize), 0);
    for (size_t p = 0; p < pixels; ++p) {
        int delta = 0;
        for (int c = 0; c < 3; ++c)
            delta = std::max(delta, std::abs(reference.rgba[p * 4 + c] - scaled.rgba[p * 4 + c]));
        result.largestDelta = std::max(result.largestDelta, delta);
        if (delta > kPixelThreshold) {
            ++differing;
            int x = static_cast<int>(p % reference.width), y = static_cast<int>(p / reference.width);
            int& tile = tiles[static_cast<size_t>(y / kTileSize) * tilesAcross + x / kTileSize];
            result.densestTile = std::max(result.densestTile, ++tile);
        }
        if (delta > kDriftThreshold) ++drifting;
        if (!diff) continue;
        uint8_t* out = &diff->rgba[p * 4];
        if (delta > kPixelThreshold) {
            out[0] = 255, out[1] = 0, out[2] = 0;
        } else if (delta > kDriftThreshold) {
            out[0] = 255, out[1] = 200, out[2] = 0;
        } else {
            const uint8_t* r = &reference.rgba[p * 4];
            uint8_t pale = static_cast<uint8_t>(160 + (r[0] * 30 + r[1] * 59 + r[2] * 11) / 100 * 95 / 255);
            out[0] = out[1] = out[2] = pale;
        }
    }
    result.differingShare = static_cast<double>(differing) / static_cast<double>(pixels);
    result.driftShare = static_cast<double>(drifting) / static_cast<double>(pixels);
    return result;
}

FolderComparison CompareFolder(const std::string& framesDir, const std::string& referenceDir,
                               const std::string& failureDir) {
    FolderComparison folder;
    for (const ReferenceTime& t : LoadReferenceTimes(referenceDir + "/times.txt")) {
        std::string name = std::to_string(t.ms) + ".png";
        Picture reference, frame, diff;
        ++folder.frames;
        if (!LoadPicture(referenceDir + "/" + name, reference)) {
            folder.failures.push_back(name + ": no reference in " + referenceDir);
            continue;
        }
        if (!LoadPicture(framesDir + "/" + name, frame)) {
            folder.failures.push_back(name + ": no new frame in " + framesDir);
            continue;
        }
        FrameComparison c = CompareWithReference(reference, frame, &diff);
        if (c.driftShare > kDriftShare) ++folder.drifting;
        if (c.passed()) continue;
        std::error_code error;
        fs::create_directories(failureDir, error);
        std::string newPath = failureDir + "/" + name;
        std::string diffPath = failureDir + "/" + std::to_string(t.ms) + "-diff.png";
        fs::copy_file(framesDir + "/" + name, newPath, fs::copy_options::overwrite_existing, error);
        std::ostringstream message;
        message.precision(3);
        if (!c.comparable) {
            message << t.ms << " ms (" << t.note << "): frame is " << frame.width << "x" << frame.height
                    << ", not a whole multiple of the reference's " << reference.width << "x" << reference.height;
        } else {
            SavePicture(diffPath, diff);
            message << t.ms << " ms (" << t.note << "): " << c.differingShare * 100.0 << "% of pixels differ by more than "
                    << kPixelThreshold << " (allowed " << kMaxDifferingShare * 100.0 << "%), " << c.densestTile
                    << " in the worst 8 x 8 tile (allowed " << kMaxTileDiffering << "), largest difference "
                    << c.largestDelta << "; new " << newPath << ", difference " << diffPath;
        }
        folder.failures.push_back(message.str());
    }
    return folder;
}

// ---- contact sheet ----
namespace {

constexpr int kThumbWidth = 192;
constexpr int kThumbHeight = 144;
constexpr int kColumns = 8;
constexpr int kGap = 6;
constexpr int kLabelHeight = 16;
constexpr int kDigitScale = 2;

// 3 x 5 digits, one row of three bits per byte, top row first.
const uint8_t kDigits[10][5] = {
    {7, 5, 5, 5, 7}, {2, 6, 2, 2, 7}, {7, 1, 7, 4, 7}, {7, 1, 7, 1, 7}, {5, 5, 7, 1, 1},
    {7, 4, 7, 1, 7}, {7, 4, 7, 5, 7}, {7, 1, 1, 1, 1}, {7, 5, 7, 5, 7}, {7, 5, 7, 1, 7},
};

void DrawNumber(Picture& sheet, int x, int y, int64_t value) {
    std::string text = std::to_string(value);
    for (char ch : text) {
        const uint8_t* rows = kDigits[ch - '0'];
        for (int r = 0; r < 5; ++r)
            for (int c = 0; c < 3; ++c)
                if (rows[r] & (4 >> c))
                    for (int v = 0; v < kDigitScale; ++v)
                        for (int u = 0; u < kDigitScale; ++u) {
                            size_t at =
                                (static_cast<size_t>(y + r * kDigitScale + v) * sheet.width + x + c * kDigitScale + u) *
                                4;
                            sheet.rgba[at] = sheet.rgba[at + 1] = sheet.rgba[at + 2] = 0;
                        }
        x += 4 * kDigitScale;
    }
}

}  // namespace

static bool WriteContactSheet(const std::string& referenceDir, const std::vector<ReferenceTime>& times,
                              const std::string& sheetPath) {
    int rows = (static_cast<int>(times.size()) + kColumns - 1) / kColumns;
    Picture sheet;
    sheet.width = kColumns * (kThumbWidth + kGap) + kGap;
    sheet.height = rows * (kThumbHeight + kLabelHeight + kGap) + kGap;
    sheet.rgba.assign(static_cast<size_t>(sheet.width) * sheet.height * 4, 200);
    for (size_t i = 0; i < times.size(); ++i) {
        Picture reference;
        if (!LoadPicture(referenceDir + "/" + std::to_string(times[i].ms) + ".png", reference)) return false;
        Picture thumb = BoxAverage(reference, kThumbWidth, kThumbHeight);
        int x0 = kGap + static_cast<int>(i % kColumns) * (kThumbWidth + kGap);
        int y0 = kGap + static_cast<int>(i / kColumns) * (kThumbHeight + kLabelHeight + kGap);
        for (int y = 0; y < kThumbHeight; ++y)
            std::copy_n(&thumb.rgba[static_cast<size_t>(y) * kThumbWidth * 4], kThumbWidth * 4,
                        &sheet.rgba[(static_cast<size_t>(y0 + y) * sheet.width + x0) * 4]);
        DrawNumber(sheet, x0 + 2, y0 + kThumbHeight + 3, times[i].ms);
    }
    return SavePicture(sheetPath, sheet);
}

bool WriteReferences(const std::string& framesDir, const std::string& referenceDir, const std::string& sheetPath) {
    std::vector<ReferenceTime> times = LoadReferenceTimes(referenceDir + "/times.txt");
    if (times.empty()) return false;
    for (const ReferenceTime& t : times) {
        std::string name = std::to_string(t.ms) + ".png";
        Picture frame, kept;
        if (!LoadPicture(framesDir + "/" + name, frame)) {
            fprintf(stderr, "no frame %s/%s\n", framesDir.c_str(), name.c_str());
            return false;
        }
        int divisor = t.full ? 1 : 2;
        if (!ScalePicture(frame, frame.width / divisor, frame.height / divisor, kept) ||
            !SavePicture(referenceDir + "/" + name, kept)) {
            fprintf(stderr, "cannot write %s/%s\n", referenceDir.c_str(), name.c_str());
            return false;
        }
    }
    return WriteContactSheet(referenceDir, times, sheetPath);
}
