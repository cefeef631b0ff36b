// A tick count driven by the test, so that the demo clock's arithmetic is exact.
#pragma once
#include <cstdint>

inline uint32_t fakeTicks = 0;  // current fake tick count
inline uint32_t tickStep = 0;   // added on every read
inline int tickReads = 0;       // two reads per rendered frame

inline uint32_t FakeTicks() {
    ++tickReads;
    uint32_t now = fakeTicks;
    fakeTicks += tickStep;
    return now;
}
