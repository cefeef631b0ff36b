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

void* PlatformGetProcAddress(const char* name) { return SDL_GL_GetProcAddress(name); }

// Core name first, then the ARB one that older drivers export.
template <typename Fn>
static bool Lookup(Fn& fn, const char* coreName, const char* arbName) {
    fn = reinterpret_cast<Fn>(PlatformGetProcAddress(coreName));
    if (!fn) fn = reinterpret_cast<Fn>(PlatformGetProcAddress(arbName));
    return fn != nullptr;
}

static bool ContextHasPixelBuffers() {
    const char* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
    int major = 0, minor = 0;
    if (version && sscanf(version, "%d.%d", &major, &minor) == 2 && (major > 2 || (major == 2 && minor >= 1)))
        return true;
    return SDL_GL_ExtensionSupported("GL_ARB_pixel_buffer_object") == SDL_TRUE;
}

bool LoadPixelBufferFunctions() {
    if (!ContextHasPixelBuffers()) return false;
    bool found = Lookup(glGenBuffersPtr, "glGenBuffers", "glGenBuffersARB");
    found = Lookup(glDeleteBuffersPtr, "glDeleteBuffers", "glDeleteBuffersARB") && found;
    found = Lookup(glBindBufferPtr, "glBindBuffer", "glBindBufferARB") && found;
    found = Lookup(glBufferDataPtr, "glBufferData", "glBufferDataARB") && found;
    found = Lookup(glMapBufferPtr, "glMapBuffer", "glMapBufferARB") && found;
    found = Lookup(glUnmapBufferPtr, "glUnmapBuffer", "glUnmapBufferARB") && found;
    return found;
}
