#include "tests/gl_test_context.h"

#include "platform/gl.h"

#include <cstdlib>

#include "app/shell.h"
#include "app/startup.h"
#include "platform/platform.h"
#include "geometry/mesh.h"
#include "render/font.h"

// Every test process is headless and silent, whatever ctest's environment says.
static const int headlessDrivers = (PlatformUseHeadlessDrivers(), 0);

// What start-up made that cases replace for their own ends (the texture slots, the display lists,
// the lights), kept as the one start-up of this process left it.
static Texture* const kSlots[] = {&demoLogoTex, &demoLogoSubTex, &blinkyTex,    &pinkyTex,   &inkeyTex,
                                  &clydeTex,    &zubTex,         &pacmanTex,    &marCastleTex, &marTubeTex,
                                  &marShroomTex, &marStarTex,    &marMarioTex,  &groupLogoTex, &fontTex,
                                  &ringTex};
static Texture savedSlots[sizeof kSlots / sizeof kSlots[0]];
static unsigned* const kLists[] = {&meshListA,      &meshListB,    &figurePairList, &figureCoreList,
                                   &figureTopList,  &tunnelTubeList, &glyphListBase};
static unsigned savedLists[sizeof kLists / sizeof kLists[0]];
static bool sceneStarted = false;

// What a test may have left in the context that the program itself never changes mid-run: the
// render mode, scissor, view and projection, the lights, and what start-up made. Put back as the
// window was made and the scene started. The lights live on the attribute stack, pushed once.
static void RestoreTestGlState(int width, int height) {
    glPopAttrib();
    glPushAttrib(GL_LIGHTING_BIT);
    if (sceneStarted) {
        for (size_t i = 0; i < sizeof kSlots / sizeof kSlots[0]; ++i) *kSlots[i] = savedSlots[i];
        for (size_t i = 0; i < sizeof kLists / sizeof kLists[0]; ++i) *kLists[i] = savedLists[i];
    }
    // The window as made: no full-screen picture area, its own size.
    PlatformSetPictureAspect(0, 0);
    int w = 0, h = 0;
    PlatformDrawableSize(&w, &h);
    if (w != width || h != height) PlatformInjectEvent(PlatformEvent::Resize, width, height);
    PlatformPictureSize(&w, &h);  // the picture's origin back in the corner
#if !defined(BRIMVALE_GLES2)
    glRenderMode(GL_RENDER);  // feedback tests are desktop-only
#endif
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
    glPushAttrib(GL_LIGHTING_BIT);
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
    if (sceneStarted) return;
    glPopAttrib();  // the fresh context's lights, restored; start-up sets its own on them
    InitScene();
    glPushAttrib(GL_LIGHTING_BIT);
    for (size_t i = 0; i < sizeof kSlots / sizeof kSlots[0]; ++i) savedSlots[i] = *kSlots[i];
    for (size_t i = 0; i < sizeof kLists / sizeof kLists[0]; ++i) savedLists[i] = *kLists[i];
    sceneStarted = true;
}

void SceneGlTest::SetUp() {
    GlTest::SetUp();
    if (IsSkipped()) return;
    InitSceneOnce();
}
