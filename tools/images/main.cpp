// brimvale_make_images: makes the sixteen TGA pictures of the demo from code and fonts alone,
// checks each one as the demo's loader will read it, and writes them with a contact sheet.
//
//   brimvale_make_images <data dir> [contact sheet .png]
//
// Without a sheet path the sheet goes to <data dir>/../docs/images.png when that folder exists.
#include <cstdio>
#include <filesystem>

#include "tools/images/contact_sheet.h"
#include "tools/images/pictures.h"
#include "tools/images/text.h"

namespace {

constexpr TgaRules opaque = {24, false};
constexpr TgaRules blended = {32, true};

}  // namespace

const std::vector<Picture>& AllPictures() {
    static const std::vector<Picture> pictures = {
        {"vok.tga", MakeGroupLogo, opaque},
        {"demologo.tga", MakeTitleLogo, blended},
        {"demologo_sub.tga", MakeSubtitle, blended},
        {"ring.tga", MakeRing, blended},
        {"font.tga", MakeFontSheet, blended},
        {"pacman.tga", MakeChomper, blended},
        {"blinky.tga", MakeRedGhost, blended},
        {"pinky.tga", MakePinkGhost, blended},
        {"inkey.tga", MakeCyanGhost, blended},
        {"clyde.tga", MakeOrangeGhost, blended},
        {"zub.tga", MakeZub, blended},
        {"mar_castle.tga", MakeCastle, blended},
        {"mar_tube.tga", MakeTube, blended},
        {"mar_shroom.tga", MakeShroom, blended},
        {"mar_star.tga", MakeStar, blended},
        {"mar_mario.tga", MakePlumber, blended},
    };
    return pictures;
}

int main(int argc, char** argv) {
    namespace fs = std::filesystem;
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: %s <data dir> [contact sheet .png]\n", argv[0]);
        return 2;
    }
    fs::path dataDir = argv[1];
    std::error_code error;
    fs::create_directories(dataDir, error);
    fs::path sheetPath;
    if (argc == 3)
        sheetPath = argv[2];
    else if (fs::is_directory(fs::absolute(dataDir).parent_path() / "docs"))
        sheetPath = fs::absolute(dataDir).parent_path() / "docs" / "images.png";

    // Make and check everything before writing anything, so a failure leaves data/ as it was.
    std::vector<NamedImage> made;
    std::vector<std::vector<uint8_t>> files;
    for (const Picture& picture : AllPictures()) {
        NamedImage named{picture.file, {}};
        if (!picture.make(named.image)) {
            std::fprintf(stderr, "%s: could not be made\n", picture.file);
            return 1;
        }
        std::vector<uint8_t> bytes = EncodeTga(named.image, picture.rules.bitsPerPixel);
        std::string problem = CheckTga(bytes, picture.rules);
        if (!problem.empty()) {
            std::fprintf(stderr, "%s: %s\n", picture.file, problem.c_str());
            return 1;
        }
        files.push_back(std::move(bytes));
        made.push_back(std::move(named));
    }
    size_t total = 0;
    for (size_t i = 0; i < made.size(); ++i) {
        fs::path path = dataDir / made[i].file;
        if (!WriteBytes(path.string(), files[i])) {
            std::fprintf(stderr, "%s: cannot write\n", path.c_str());
            return 1;
        }
        total += files[i].size();
    }
    std::printf("%zu pictures, %zu bytes in %s\n", made.size(), total, dataDir.c_str());
    if (!sheetPath.empty()) {
        if (!WriteContactSheet(sheetPath.string(), made)) {
            std::fprintf(stderr, "%s: cannot write the contact sheet\n", sheetPath.c_str());
            return 1;
        }
        std::printf("contact sheet %s\n", sheetPath.c_str());
    }
    return 0;
}
