// Contact sheet of the generated pictures, for looking at them all at once.
#pragma once
#include <string>
#include <vector>

#include "tools/images/raster.h"

struct NamedImage {
    std::string file;
    Image image;
};

// Writes a PNG: the opening frames as seen, font samples at screen size, every texture on a
// checkerboard. Returns false when a needed picture is missing or the file cannot be written.
bool WriteContactSheet(const std::string& path, const std::vector<NamedImage>& images);
