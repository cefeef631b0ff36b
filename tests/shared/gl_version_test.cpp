// Which GL the build runs on, and what frame read-back makes of its version string: desktop GL
// has pixel buffers from 2.1, OpenGL ES from 3.0, and ES names itself "OpenGL ES 3.2 ...".
#include "platform/glext.h"

#include <cstring>

#include "tests/gl_test_context.h"

TEST(GlVersion, PixelBuffersFollowTheVersionString) {
    EXPECT_TRUE(VersionHasPixelBuffers("OpenGL ES 3.2 Mesa 22.3.6"));
    EXPECT_TRUE(VersionHasPixelBuffers("OpenGL ES 3.0 (WebGL 2.0)"));
    EXPECT_FALSE(VersionHasPixelBuffers("OpenGL ES 2.0 Mesa 22.3.6"));
    EXPECT_TRUE(VersionHasPixelBuffers("2.1 Mesa 22.3.6"));
    EXPECT_TRUE(VersionHasPixelBuffers("4.5 (Compatibility Profile) Mesa 22.3.6"));
    EXPECT_FALSE(VersionHasPixelBuffers("1.4 Mesa"));
    EXPECT_FALSE(VersionHasPixelBuffers("OpenGL ES-CM 1.1"));
    EXPECT_FALSE(VersionHasPixelBuffers(nullptr));
}

TEST(GlVersion, TheContextIsTheOneTheBuildDrawsWith) {
    if (!OpenTestGlContext()) GTEST_SKIP() << "no offscreen GL context";
    const char* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
    ASSERT_NE(version, nullptr);
#if defined(BRIMVALE_GLES2)
    EXPECT_EQ(strncmp(version, "OpenGL ES ", 10), 0) << version;
#else
    EXPECT_NE(strncmp(version, "OpenGL ES", 9), 0) << version;
#endif
}
