// The desktop's live loop under test: a tick count driven by the test, so that the demo clock's
// arithmetic is exact, and a fixture that starts every test from the loop's fresh state
// (ResetDemoState).
#pragma once
#include "platform/gl.h"

#include <algorithm>
#include <cstdint>
#include <iterator>

#include "app/player.h"
#include "app/shell.h"
#include "platform/platform.h"
#include "tests/gl_test_context.h"

inline uint32_t fakeTicks = 0;  // current fake tick count
inline uint32_t tickStep = 0;   // added on every read
inline int tickReads = 0;       // two reads per rendered frame

inline uint32_t FakeTicks() {
    ++tickReads;
    uint32_t now = fakeTicks;
    fakeTicks += tickStep;
    return now;
}

class LoopFixture : public GlTest {
protected:
    void SetUp() override {
        GlTest::SetUp();
        if (IsSkipped()) return;
        SetTickSource(FakeTicks);
        fakeTicks = 1000;
        tickStep = 10;
        tickReads = 0;
        // Frames on the fake ticks take no real time, so the loop would pace itself a display
        // period after each: a cap far above any display leaves every frame unpaced.
        paceFpsCap = 1.0e6;
    }
    void TearDown() override {
        SetTickSource(nullptr);
        paceFpsCap = 0.0;
    }
    static int FramesRendered() { return tickReads / 2; }
};
