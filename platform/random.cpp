// The demo's own 15-bit random generator: the classic linear congruential recurrence, so a
// seed gives the same sequence on every platform. No dependencies.
#include "platform/random.h"

// ---- constants ----
constexpr uint32_t kRandMultiplier = 214013u;
constexpr uint32_t kRandIncrement = 2531011u;

// ---- globals ----
static uint32_t randState = 1;      // as if seeded with 1
static bool randSeedFixed = false;  // set by --seed
static uint32_t randFixedSeed = 0;  // used by every DemoSrand while randSeedFixed

// ---- module functions ----

void DemoSrand(uint32_t seed) { randState = randSeedFixed ? randFixedSeed : seed; }

int DemoRand() {
    randState = randState * kRandMultiplier + kRandIncrement;  // wraps mod 2^32
    return static_cast<int>((randState >> 16) & kDemoRandMax);
}

void FixRandomSeed(uint32_t seed) {
    randSeedFixed = true;
    randFixedSeed = seed;
}
