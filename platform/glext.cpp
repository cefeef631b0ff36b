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

// Desktop GL has pixel buffers from 2.1 (or by extension), ES from 3.0 ("OpenGL ES 3.2 Mesa ...").
bool VersionHasPixelBuffers(const char* version) {
    if (!version) return false;
    const char* es = "OpenGL ES ";
    const bool isEs = strncmp(version, es, strlen(es)) == 0;
    int major = 0, minor = 0;
    if (sscanf(isEs ? version + strlen(es) : version, "%d.%d", &major, &minor) != 2) return false;
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
