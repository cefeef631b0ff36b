// Offscreen runs at a fixed frame step: shots, capture and the benchmark share one frame driver.
#pragma once
#include <cstdint>
#include <vector>

#include "app/options.h"

// Renders frames at demo times 0, step, 2 step, ... and lastly exactly at endMs, with frameMs
// set to the previous frame's duration, so that all carried state evolves as in a live run.
// After each frame onFrame(index, time, user) is called with the frame still in the back
// buffer; returning false stops the run.
void RunOfflineFrames(double stepMs, double endMs, bool (*onFrame)(int index, double timeMs, void* user),
                      void* user);

// Reads the picture area of the back buffer as RGBA rows, top row first.
void ReadPicture(std::vector<uint8_t>& rgba, int width, int height);
bool WritePng(const char* path, const std::vector<uint8_t>& rgba, int width, int height);

int RunShot(const DemoOptions& options);
int RunCapture(const DemoOptions& options);
int RunBench(const DemoOptions& options);
