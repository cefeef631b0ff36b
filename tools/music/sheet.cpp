// The soundtrack's contact sheet: ten pixel columns per second of music, a waveform band (peak
// and RMS), a log-frequency spectrogram, the show's window bounds as marks labelled in demo
// seconds, the picture's fades, and the passage names underneath.
// Depends on sheet.h, score.h, mix.h and stb (image writer, easy font).
#include "sheet.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "mix.h"
#include "score.h"

#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STB_IMAGE_WRITE_STATIC
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#include <stb_easy_font.h>
#include <stb_image_write.h>
#pragma GCC diagnostic pop

// ---- constants
constexpr int columnsPerSec = 10;
constexpr int marginPx = 10;
constexpr int labelRowPx = 14;
constexpr int waveRowPx = 110;
constexpr int fadeRowPx = 6;
constexpr int spectrumRowPx = 180;
constexpr int fftFrames = 2048;
constexpr double spectrumLowHz = 40.0;
constexpr double spectrumHighHz = 16000.0;
constexpr double spectrumFloorDb = -96.0;
constexpr int spectrumLevels = 24;  // few colours keep the PNG small

// ---- types
struct Rgb {
    uint8_t r, g, b;
};

struct Canvas {
    int width = 0, height = 0;
    std::vector<uint8_t> pixels;
};

struct Passage {
    double startSec, endSec;
    const char* name;
};

// ---- globals
static const Passage passages[] = {
    {0, 4, "title"},   {4, 16, "heart"},     {16, 46, "groove"},  {46, 50, "break"}, {50, 66, "tension"},
    {66, 70, "shake"}, {70, 75, "tunnel"},   {75, 81, "chip"},    {81, 84, "out"},   {84, 88, "tumble"},
    {88, 92, "white"}, {92, 108, "credits"}, {108, 122, "outro"},
};

// ---- local helpers
static void Plot(Canvas& c, int x, int y, Rgb col) {
    if (x < 0 || y < 0 || x >= c.width || y >= c.height) return;
    uint8_t* p = &c.pixels[(size_t(y) * c.width + x) * 3];
    p[0] = col.r;
    p[1] = col.g;
    p[2] = col.b;
}

static void FillRect(Canvas& c, int x0, int y0, int x1, int y1, Rgb col) {
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) Plot(c, x, y, col);
}

static void DrawLabel(Canvas& c, int x, int y, const char* text, Rgb col) {
    static char vertices[16 * 4 * 400];
    char buffer[64];
    std::strncpy(buffer, text, sizeof buffer - 1);
    buffer[sizeof buffer - 1] = '\0';
    const int quads = stb_easy_font_print(float(x), float(y), buffer, nullptr, vertices, sizeof vertices);
    for (int q = 0; q < quads; ++q) {
        float corner0[3], corner2[3];
        std::memcpy(corner0, vertices + (q * 4 + 0) * 16, sizeof corner0);
        std::memcpy(corner2, vertices + (q * 4 + 2) * 16, sizeof corner2);
        FillRect(c, int(corner0[0]), int(corner0[1]), int(corner2[0]), int(corner2[1]), col);
    }
}

static int TextWidth(const char* text) {
    char buffer[64];
    std::strncpy(buffer, text, sizeof buffer - 1);
    buffer[sizeof buffer - 1] = '\0';
    return stb_easy_font_width(buffer);
}

static void Fft(std::vector<std::complex<double>>& a) {
    const size_t n = a.size();
    for (size_t i = 1, j = 0; i < n; ++i) {
        size_t bit = n >> 1;
        for (; j & bit; bit >>= 1) j ^= bit;
        j ^= bit;
        if (i < j) std::swap(a[i], a[j]);
    }
    for (size_t len = 2; len <= n; len <<= 1) {
        const double angle = -2.0 * 3.141592653589793 / double(len);
        const std::complex<double> step(std::cos(angle), std::sin(angle));
        for (size_t i = 0; i < n; i += len) {
            std::complex<double> w(1.0, 0.0);
            for (size_t k = 0; k < len / 2; ++k) {
                const std::complex<double> u = a[i + k], v = a[i + k + len / 2] * w;
                a[i + k] = u + v;
                a[i + k + len / 2] = u - v;
                w *= step;
            }
        }
    }
}

// Black through violet and orange to pale yellow.
static Rgb HeatColour(double x) {
    static const Rgb stops[5] = {{8, 8, 20}, {70, 20, 110}, {190, 50, 80}, {250, 150, 40}, {255, 250, 190}};
    x = std::clamp(x, 0.0, 1.0) * 4.0;
    const int i = std::min(3, int(x));
    const double f = x - i;
    return {uint8_t(stops[i].r + (stops[i + 1].r - stops[i].r) * f),
            uint8_t(stops[i].g + (stops[i + 1].g - stops[i].g) * f),
            uint8_t(stops[i].b + (stops[i + 1].b - stops[i].b) * f)};
}

static void DrawWaveColumn(Canvas& c, int x, int top, const StereoBus& mix, size_t first, size_t count) {
    float lo = 0.0f, hi = 0.0f;
    double power = 0.0;
    for (size_t i = first; i < first + count; ++i) {
        const float m = 0.5f * (mix.left[i] + mix.right[i]);
        lo = std::min(lo, m);
        hi = std::max(hi, m);
        power += double(m) * m;
    }
    const float rms = static_cast<float>(std::sqrt(power / double(count)));
    const int mid = top + waveRowPx / 2;
    const float half = waveRowPx / 2 - 2;
    FillRect(c, x, mid - int(hi * half), x + 1, mid - int(lo * half) + 1, {70, 110, 170});
    FillRect(c, x, mid - int(rms * half), x + 1, mid + int(rms * half) + 1, {150, 200, 255});
}

static void DrawSpectrumColumn(Canvas& c, int x, int top, const StereoBus& mix, size_t centre) {
    std::vector<std::complex<double>> bins(fftFrames);
    for (int i = 0; i < fftFrames; ++i) {
        const long at = long(centre) - fftFrames / 2 + i;
        double m = 0.0;
        if (at >= 0 && size_t(at) < mix.left.size()) m = 0.5 * (mix.left[at] + mix.right[at]);
        const double hann = 0.5 - 0.5 * std::cos(2.0 * 3.141592653589793 * i / (fftFrames - 1));
        bins[i] = m * hann;
    }
    Fft(bins);
    const double binHz = double(sampleRateHz) / fftFrames;
    const double fullScale = fftFrames / 4.0;  // a full-scale sine under the Hann window
    for (int row = 0; row < spectrumRowPx; ++row) {
        const double f0 = spectrumLowHz * std::pow(spectrumHighHz / spectrumLowHz, double(row) / spectrumRowPx);
        const double f1 = spectrumLowHz * std::pow(spectrumHighHz / spectrumLowHz, double(row + 1) / spectrumRowPx);
        const int b0 = std::max(1, int(f0 / binHz)), b1 = std::max(b0, int(f1 / binHz));
        double mag = 0.0;
        for (int b = b0; b <= b1 && b < fftFrames / 2; ++b) mag = std::max(mag, std::abs(bins[b]));
        const double db = 20.0 * std::log10(std::max(mag / fullScale, 1e-9));
        double level = 1.0 - db / spectrumFloorDb;
        level = std::floor(std::clamp(level, 0.0, 1.0) * spectrumLevels) / spectrumLevels;
        Plot(c, x, top + spectrumRowPx - 1 - row, HeatColour(level));
    }
}

// ---- module functions
bool WriteContactSheet(const char* path, const StereoBus& mix) {
    const size_t frames = mix.left.size();
    const int columns = int(frames * columnsPerSec / sampleRateHz);
    Canvas c;
    c.width = columns + 2 * marginPx;
    const int waveTop = labelRowPx + 2;
    const int fadeTop = waveTop + waveRowPx;
    const int spectrumTop = fadeTop + fadeRowPx + 2;
    const int passageTop = spectrumTop + spectrumRowPx + 3;
    c.height = passageTop + labelRowPx;
    c.pixels.assign(size_t(c.width) * c.height * 3, 0);
    FillRect(c, 0, 0, c.width, c.height, {16, 16, 24});

    const size_t columnFrames = sampleRateHz / columnsPerSec;
    for (int col = 0; col < columns; ++col) {
        const size_t first = size_t(col) * columnFrames;
        DrawWaveColumn(c, marginPx + col, waveTop, mix, first, std::min(columnFrames, frames - first));
        DrawSpectrumColumn(c, marginPx + col, spectrumTop, mix, first + columnFrames / 2);
        // red where the picture fades, brighter the darker it gets
        const double gain = MasterGainAt((col + 0.5) / columnsPerSec);
        const uint8_t shade = uint8_t(40 + 200 * (1.0 - gain));
        FillRect(c, marginPx + col, fadeTop + 1, marginPx + col + 1, fadeTop + fadeRowPx - 1,
                 {shade, uint8_t(shade / 5), uint8_t(shade / 5)});
    }
    // window bounds, labelled in demo seconds
    for (int w = -1; w < timelineWindowCount; ++w) {
        const double demoMs = w < 0 ? musicStartMs : timelineBoundsMs[w];
        if (w >= 0 && timelineBoundsMs[w] <= musicStartMs) continue;
        const int x = marginPx + int(std::lround((demoMs - musicStartMs) / 1000.0 * columnsPerSec));
        for (int y = waveTop; y < passageTop - 1; y += 2) Plot(c, std::min(x, c.width - 1), y, {240, 230, 90});
        char label[16];
        std::snprintf(label, sizeof label, "%d", int(demoMs / 1000.0));
        DrawLabel(c, std::min(x - TextWidth(label) / 2, c.width - TextWidth(label) - 1), 3, label, {240, 230, 90});
    }
    for (const Passage& p : passages) {
        const int x0 = marginPx + int(p.startSec * columnsPerSec);
        const int x1 = marginPx + int(p.endSec * columnsPerSec);
        DrawLabel(c, (x0 + x1 - TextWidth(p.name)) / 2, passageTop + 2, p.name, {200, 200, 210});
    }
    return stbi_write_png(path, c.width, c.height, 3, c.pixels.data(), c.width * 3) != 0;
}
