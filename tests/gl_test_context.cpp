#include "tests/gl_test_context.h"

#include "platform/gl.h"

#include <cstdlib>

#include "app/shell.h"
#include "app/startup.h"
#include "platform/platform.h"

// Every test process is headless and silent, whatever ctest's environment says.
static const int headlessDrivers = (PlatformUseHeadlessDrivers(), 0);

// What a test may have left in the context that the program itself never changes mid-run: the
// render mode, scissor, view and projection. Put back as the window was made.
static void RestoreTestGlState(int width, int height) {
    glRenderMode(GL_RENDER);
    glDisable(GL_SCISSOR_TEST);
    glDisable(GL_BLEND);
    glDisable(GL_TEXTURE_2D);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    ResizeViewport(width, height);
}

bool OpenTestGlContext(int width, int height) {
    (void)headlessDrivers;
    static bool opened = false;
    if (opened) {
        RestoreTestGlState(width, height);
        return true;
    }
    PlatformUseHeadlessDrivers();
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

void InitSceneOnce() {
    static bool initialised = false;
    if (!initialised) InitScene();
    initialised = true;
}

void SceneGlTest::SetUp() {
    GlTest::SetUp();
    if (IsSkipped()) return;
    InitSceneOnce();
}
