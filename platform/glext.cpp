// Run-time lookup of the GL entry points past 1.1 that frame read-back uses.
#include "platform/glext.h"

#include <SDL.h>

#include <cstdio>
#include <cstring>

// ---- buffer objects ----
PFNGLGENBUFFERSPROC glGenBuffersPtr = nullptr;
PFNGLDELETEBUFFERSPROC glDeleteBuffersPtr = nullptr;
PFNGLBINDBUFFERPROC glBindBufferPtr = nullptr;
PFNGLBUFFERDATAPROC glBufferDataPtr = nullptr;
PFNGLMAPBUFFERPROC glMapBufferPtr = nullptr;
PFNGLUNMAPBUFFERPROC glUnmapBufferPtr = nullptr;
#if defined(BRIMVALE_GLES2)
static PFNGLMAPBUFFERRANGEPROC glMapBufferRangePtr = nullptr;  // ES 3 maps ranges only
#endif

void* PlatformGetProcAddress(const char* name) { return SDL_GL_GetProcAddress(name); }

// Core name first, then the ARB one that older drivers export.
template <typename Fn>
static bool Lookup(Fn& fn, const char* coreName, const char* arbName) {
    fn = reinterpret_cast<Fn>(PlatformGetProcAddress(coreName));
    if (!fn) fn = reinterpret_cast<Fn>(PlatformGetProcAddress(arbName));
    return fn != nullptr;
}

// "4.5 (Compatibility Profile) Mesa ..." or "OpenGL ES 3.2 Mesa ...".
static bool ParseVersion(const char* version, bool* isEs, int* major, int* minor) {
    if (!version) return false;
    const char* es = "OpenGL ES ";
    *isEs = strncmp(version, es, strlen(es)) == 0;
    return sscanf(*isEs ? version + strlen(es) : version, "%d.%d", major, minor) == 2;
}

// Desktop GL has pixel buffers from 2.1 (or by extension), ES from 3.0.
bool VersionHasPixelBuffers(const char* version) {
    bool isEs = false;
    int major = 0, minor = 0;
    if (!ParseVersion(version, &isEs, &major, &minor)) return false;
    return isEs ? major >= 3 : major > 2 || (major == 2 && minor >= 1);
}

static bool ContextHasPixelBuffers() {
    if (VersionHasPixelBuffers(reinterpret_cast<const char*>(glGetString(GL_VERSION)))) return true;
#if defined(BRIMVALE_GLES2)
    return false;
#else
    return SDL_GL_ExtensionSupported("GL_ARB_pixel_buffer_object") == SDL_TRUE;
#endif
}

bool LoadPixelBufferFunctions() {
    if (!ContextHasPixelBuffers()) return false;
    bool found = Lookup(glGenBuffersPtr, "glGenBuffers", "glGenBuffersARB");
    found = Lookup(glDeleteBuffersPtr, "glDeleteBuffers", "glDeleteBuffersARB") && found;
    found = Lookup(glBindBufferPtr, "glBindBuffer", "glBindBufferARB") && found;
    found = Lookup(glBufferDataPtr, "glBufferData", "glBufferDataARB") && found;
#if defined(BRIMVALE_GLES2)
    found = Lookup(glMapBufferRangePtr, "glMapBufferRange", "glMapBufferRangeEXT") && found;
#else
    found = Lookup(glMapBufferPtr, "glMapBuffer", "glMapBufferARB") && found;
#endif
    found = Lookup(glUnmapBufferPtr, "glUnmapBuffer", "glUnmapBufferARB") && found;
    return found;
}

const void* MapPixelBuffer(GLsizeiptr bytes) {
#if defined(BRIMVALE_GLES2)
    return glMapBufferRangePtr(GL_PIXEL_PACK_BUFFER, 0, bytes, GL_MAP_READ_BIT);
#else
    (void)bytes;
    return glMapBufferPtr(GL_PIXEL_PACK_BUFFER, GL_READ_ONLY);
#endif
}

#if !defined(BRIMVALE_GLES2)  // the layer discards by itself (platform/ffp/)
void DiscardDrawing(bool on) {
    static GLboolean culling = GL_FALSE;
    static GLint cullMode = GL_BACK;
    static bool discarding = false;
    if (on) {
        culling = glIsEnabled(GL_CULL_FACE);
        glGetIntegerv(GL_CULL_FACE_MODE, &cullMode);
        // Culled polygons leave the driver's pipeline before clipping and setup; discarding ends
        // lines and whatever else early too.
        glEnable(GL_CULL_FACE);
        glCullFace(GL_FRONT_AND_BACK);
        bool isEs = false;
        int major = 0, minor = 0;
        discarding = ParseVersion(reinterpret_cast<const char*>(glGetString(GL_VERSION)), &isEs, &major, &minor) &&
                     major >= 3;
        if (discarding) glEnable(GL_RASTERIZER_DISCARD);
    } else {
        if (discarding) glDisable(GL_RASTERIZER_DISCARD);
        discarding = false;
        glCullFace(static_cast<GLenum>(cullMode));
        if (!culling) glDisable(GL_CULL_FACE);
    }
}
#endif
