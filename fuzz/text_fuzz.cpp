// Fuzz target: the text printer and the typed text block on a real offscreen GL context, with
// arbitrary lines, glyph sets, positions and progress (NaN and infinities included). Beyond
// sanitizer faults it traps when the printer leaves GL state behind, draws a different number of
// glyphs than it was given characters (cut at the 1023-character buffer), or when the typed slice
// shows more than was typed, more than a line holds, or skips a line.
//
// Input: 4 bytes progress (float), 2 bytes x, 2 bytes y, 1 byte glyph set, 1 byte repeat count,
// then the lines, separated by '\n'.
#include "platform/gl.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "render/font.h"
#include "scenes/idioms.h"

static const int kTextLimit = 1023;  // the printer's buffer less its terminator
static const int kLineLimit = 49;    // the typed block's line buffer less its terminator
static const double kAdvance = 9.0;

static void Check(bool ok) {
    if (!ok) __builtin_trap();
}

// The printer's promised exit state, and the pen where n glyphs from (x, y) leave it.
static void CheckAfterPrint(double x, int y, long n) {
    Check(glGetError() == GL_NO_ERROR);
    Check(!glIsEnabled(GL_TEXTURE_2D) && !glIsEnabled(GL_BLEND));
    GLint mode = 0, depth = 0;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    glGetIntegerv(GL_PROJECTION_STACK_DEPTH, &depth);
    Check(mode == GL_MODELVIEW && depth == 1);
    GLdouble m[16];
    glGetDoublev(GL_MODELVIEW_MATRIX, m);
    const double expect = static_cast<double>(static_cast<float>(x)) + kAdvance * static_cast<double>(n);
    Check(std::fabs(m[12] - expect) <= 0.01 + 1e-6 * std::fabs(expect));  // one glyph is 9 units
    Check(m[13] == static_cast<double>(y));
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    // The printer's logic is the target, not the rasteriser: softpipe runs these many tiny draws
    // about ten times faster than llvmpipe.
    setenv("GALLIUM_DRIVER", "softpipe", 0);
    PlatformUseHeadlessDrivers();
    if (!PlatformCreateWindow("text fuzz", 64, 48, 32, false)) {
        std::abort();  // no GL context: nothing here could be tested
    }
    BuildGlyphLists();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 10) return 0;
    float r = 0.0f;
    std::memcpy(&r, data, sizeof r);
    const float x = static_cast<float>(static_cast<int16_t>(data[4] | data[5] << 8)) / 4.0f;
    const int y = static_cast<int16_t>(data[6] | data[7] << 8);
    const int set = static_cast<int8_t>(data[8]);
    const int repeat = 1 + data[9] % 64;  // long texts: past the printer's buffer
    std::string body(reinterpret_cast<const char*>(data + 10), size - 10);

    // The printer, on the whole body (as one text, NULs end it) and repeated past its buffer.
    const long bodyLength = static_cast<long>(std::strlen(body.c_str()));
    PrintText(x, y, set, "%s", body.c_str());
    CheckAfterPrint(x, y, bodyLength < kTextLimit ? bodyLength : kTextLimit);
    std::string longText;
    for (int i = 0; i < repeat; ++i) longText += body.c_str();
    const long longLength = static_cast<long>(longText.size());
    PrintText(x, y, set, "%s|%d", longText.c_str(), repeat);
    const long formatted = longLength + 1 + static_cast<long>(std::to_string(repeat).size());
    CheckAfterPrint(x, y, formatted < kTextLimit ? formatted : kTextLimit);

    // The typed block over the lines.
    std::vector<std::string> text;
    size_t start = 0;
    while (start <= body.size()) {
        size_t end = body.find('\n', start);
        if (end == std::string::npos) end = body.size();
        text.push_back(body.substr(start, end - start));
        start = end + 1;
    }
    std::vector<const char*> lines;
    for (const std::string& s : text) lines.push_back(data[9] & 0x80 && lines.size() % 7 == 3 ? nullptr : s.c_str());
    const int count = static_cast<int>(lines.size());
    std::vector<int> shown(static_cast<size_t>(count), -1);
    const int printed = TypedTextSlice(lines.data(), count, r, shown.data());

    long total = 0;
    for (const char* l : lines) total += l ? static_cast<long>(std::strlen(l)) : 0;
    const double typed = static_cast<double>(total) * static_cast<double>(r);
    Check(printed >= 0 && printed <= count);
    long sum = 0;
    for (int i = 0; i < count; ++i) {
        const long length = lines[i] ? static_cast<long>(std::strlen(lines[i])) : 0;
        Check(shown[i] >= 0 && shown[i] <= length && shown[i] <= kLineLimit);
        if (i >= printed) Check(shown[i] == 0);
        // Every line before the last printed one was typed whole (then cut to the buffer).
        if (i + 1 < printed) Check(shown[i] == (length < kLineLimit ? length : kLineLimit));
        sum += shown[i];
    }
    if (!(typed >= 1.0)) Check(printed == 0);
    if (typed >= 1.0) Check(sum <= static_cast<long>(std::min(typed, static_cast<double>(total))));
    if (r >= 1.0f && total > 0)
        Check(printed > 0 &&
              shown[printed - 1] ==
                  std::min<long>(kLineLimit,
                                 lines[printed - 1] ? static_cast<long>(std::strlen(lines[printed - 1])) : 0));

    TypedTextBlock(lines.data(), count, x, y, r);
    Check(glGetError() == GL_NO_ERROR);
    Check(!glIsEnabled(GL_TEXTURE_2D) && !glIsEnabled(GL_BLEND));
    GLint depth = 0;
    glGetIntegerv(GL_PROJECTION_STACK_DEPTH, &depth);
    Check(depth == 1);
    return 0;
}
