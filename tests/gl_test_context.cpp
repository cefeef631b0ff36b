#include "tests/gl_test_context.h"

#include "platform/gl.h"

#include <cstdlib>

#include "app/shell.h"
#include "app/startup.h"
#include "platform/platform.h"

// Every test process is headless and silent, whatever ctest's environment says.
static const int headlessDrivers = (PlatformUseHeadlessDrivers(), 0);

bool OpenTestGlContext(int width, int height) {
    (void)headlessDrivers;
    static bool opened = false;
    if (opened) return true;
    PlatformUseHeadlessDrivers();
    platformHeadless = true;
    fullscreen = false;
    if (!PlatformCreateWindow("test", width, height, 32, false)) return false;
    ResizeViewport(width, height);
    opened = true;
    return true;
}

std::vector<uint8_t> ReadFramebuffer(int width, int height) {
    std::vector<uint8_t> rgba(static_cast<size_t>(width) * height * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    return rgba;
}

void SceneGlTest::SetUp() {
    GlTest::SetUp();
    if (IsSkipped()) return;
    static bool initialised = false;
    if (!initialised) InitScene();
    initialised = true;
}
