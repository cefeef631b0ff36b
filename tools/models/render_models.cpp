// brimvale_render_models: draws every embedded mesh and every character pose offscreen under
// the show's light and writes one PNG each, for looking at the models.
//   SDL_VIDEODRIVER=offscreen brimvale_render_models <repo>/docs/models
#include "platform/gl.h"

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image_write.h>

#include "geometry/figure.h"
#include "geometry/mesh.h"
#include "platform/platform.h"

static const int imageSize = 512;

static bool Shoot(const std::string& path, const std::function<void()>& draw) {
    glClearColor(1.0f, 1.0f, 1.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    draw();
    glFinish();
    std::vector<unsigned char> pixels(imageSize * imageSize * 4), flipped(pixels.size());
    glReadPixels(0, 0, imageSize, imageSize, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    for (int y = 0; y < imageSize; ++y)
        std::copy(pixels.begin() + y * imageSize * 4, pixels.begin() + (y + 1) * imageSize * 4,
                  flipped.begin() + (imageSize - 1 - y) * imageSize * 4);
    return stbi_write_png(path.c_str(), imageSize, imageSize, 4, flipped.data(), imageSize * 4) != 0;
}

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output folder, normally docs/models>\n", argv[0]);
        return 2;
    }
    PlatformUseHeadlessDrivers();
    if (!PlatformCreateWindow("models", imageSize, imageSize, 32, false)) {
        std::fprintf(stderr, "no GL window\n");
        return 1;
    }
    glViewport(0, 0, imageSize, imageSize);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(45.0, 1.0, 0.05, 2000.0);

    // The show's light and state.
    const float ambient[4] = {1.0f, 1.0f, 1.0f, 1.0f}, diffuse[4] = {0.9f, 0.9f, 1.0f, 1.0f};
    glLightfv(GL_LIGHT1, GL_AMBIENT, ambient);
    glLightfv(GL_LIGHT1, GL_DIFFUSE, diffuse);
    glEnable(GL_LIGHT1);
    glEnable(GL_LIGHTING);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glShadeModel(GL_SMOOTH);

    meshListB = CompileMesh(meshDataB);
    BuildFigureLists();
    meshListA = CompileMesh(meshDataA);
    tunnelTubeList = CompileMesh(tunnelTubeMesh);

    const std::string dir = argv[1];
    bool ok = true;
    ok &= Shoot(dir + "/mesh_a.png", [] {
        glTranslatef(0.0f, 0.0f, -2.2f);
        glRotatef(20.0f, 1.0f, 0.0f, 0.0f);
        glRotatef(-35.0f, 0.0f, 1.0f, 0.0f);
        glRotatef(180.0f, 0.0f, 1.0f, 0.0f);  // then the listing scene's own turn: x up, screen to us
        glRotatef(90.0f, 1.0f, 0.0f, 0.0f);
        glRotatef(90.0f, 0.0f, 1.0f, 0.0f);
        glCallList(meshListA);
    });
    ok &= Shoot(dir + "/mesh_a_side.png", [] {
        glTranslatef(0.0f, 0.0f, -2.2f);
        glRotatef(90.0f, 0.0f, 0.0f, 1.0f);  // the plate face-on, as the shrinking-figure scene sees it
        glRotatef(180.0f, 1.0f, 0.0f, 0.0f);
        glCallList(meshListA);
    });
    ok &= Shoot(dir + "/mesh_b.png", [] {
        glTranslatef(0.0f, 0.0f, -2.0f);
        glRotatef(-90.0f, 1.0f, 0.0f, 0.0f);  // the pulsing scenes' placement, turned a little
        glRotatef(-65.0f, 0.0f, 0.0f, 1.0f);
        glCallList(meshListB);
    });
    auto part = [](unsigned list, float distance, float cx, float cy, float cz) {
        return [=] {
            glTranslatef(0.0f, 0.0f, -distance);
            glRotatef(20.0f, 1.0f, 0.0f, 0.0f);
            glRotatef(-30.0f, 0.0f, 1.0f, 0.0f);
            glRotatef(-90.0f, 1.0f, 0.0f, 0.0f);
            glTranslatef(-cx, -cy, -cz);
            glCallList(list);
        };
    };
    ok &= Shoot(dir + "/figure_pair.png", part(figurePairList, 0.45f, -0.2266f, -0.0235f, -0.1378f));
    ok &= Shoot(dir + "/figure_core.png", part(figureCoreList, 1.0f, 0.0f, -0.028f, -0.297f));
    ok &= Shoot(dir + "/figure_top.png", part(figureTopList, 1.3f, 0.0f, 0.0f, 0.232f));
    auto pose = [](const std::function<void()>& drawPose, float turn) {
        return [=] {
            glTranslatef(0.0f, 0.0f, -2.0f);
            glRotatef(15.0f, 1.0f, 0.0f, 0.0f);
            glRotatef(turn, 0.0f, 1.0f, 0.0f);
            drawPose();
        };
    };
    ok &= Shoot(dir + "/pose_still.png", pose([] { DrawFigureStill(); }, -25.0f));
    ok &= Shoot(dir + "/pose_nod.png", pose([] { DrawFigureNod(0.5f); }, -60.0f));
    ok &= Shoot(dir + "/pose_stride.png", pose([] { DrawFigureStride(0.0f); }, -60.0f));
    ok &= Shoot(dir + "/pose_shake.png", pose([] { DrawFigureShake(0.0f); }, -10.0f));
    ok &= Shoot(dir + "/tunnel_tube.png", [] {
        glDisable(GL_LIGHTING);
        glColor3f(0.34f, 0.37f, 0.52f);
        glRotatef(90.0f, 0.0f, 1.0f, 0.0f);
        glTranslatef(480.0f, 2.0f, 0.0f);
        glCallList(tunnelTubeList);
        glEnable(GL_LIGHTING);
    });
    std::printf(ok ? "pictures written to %s\n" : "could not write to %s\n", argv[1]);
    return ok ? 0 : 1;
}
