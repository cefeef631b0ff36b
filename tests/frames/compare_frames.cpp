// brimvale_compare_frames: judges a folder of frames made by any build against the references,
// or makes the references from such a folder.
//
//   brimvale_compare_frames FRAMES [FAILURES]      compare; exit 0 when every frame passes
//   brimvale_compare_frames --update FRAMES        rewrite tests/reference/*.png and docs/reference.png
//
// FRAMES holds <ms>.png for every time in tests/reference/times.txt, as written by
// `brimvale --shots LIST FRAMES --seed 1` at 1024 x 768 and the default step.
#include <cstdio>
#include <cstring>
#include <string>

#include "tests/frames/frames.h"

int main(int argc, char** argv) {
    const std::string referenceDir = std::string(BRIMVALE_SOURCE_DIR) + "/tests/reference";
    if (argc == 3 && strcmp(argv[1], "--update") == 0) {
        std::string sheet = std::string(BRIMVALE_SOURCE_DIR) + "/docs/reference.png";
        if (!WriteReferences(argv[2], referenceDir, sheet)) return 1;
        printf("wrote %s/*.png and %s\n", referenceDir.c_str(), sheet.c_str());
        return 0;
    }
    if (argc < 2 || argc > 3 || argv[1][0] == '-') {
        fprintf(stderr, "usage: %s FRAMES [FAILURES] | --update FRAMES\n", argv[0]);
        return 2;
    }
    std::string failures = argc == 3 ? argv[2] : std::string(argv[1]) + "/failures";
    FolderComparison result = CompareFolder(argv[1], referenceDir, failures);
    for (const std::string& f : result.failures) printf("FAIL %s\n", f.c_str());
    if (result.wholesaleDrift())
        printf(
            "FAIL %d of %d frames differ slightly over more than %.0f%% of their pixels: this driver draws "
            "differently from the one the references were made with, and the tolerance would hide real "
            "changes\n",
            result.drifting, result.frames, kDriftShare * 100.0);
    printf("%d frames, %zu failed, %d drifting\n", result.frames, result.failures.size(), result.drifting);
    return result.failures.empty() && !result.wholesaleDrift() ? 0 : 1;
}
