// The demo's own 15-bit random generator (linear congruential, values 0..32767), so that
// sequences are the same on every platform and a seed reproduces a run exactly.
#pragma once
#include <cstdint>

constexpr int kDemoRandMax = 32767;

void DemoSrand(uint32_t seed);  // ignored while a fixed seed is set
int DemoRand();

// --seed N: every later DemoSrand uses N instead of its argument.
void FixRandomSeed(uint32_t seed);
