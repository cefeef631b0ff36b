// Entry points beyond OpenGL 1.1 (pixel-buffer objects for frame read-back), looked up at run
// time from the current context. Depends on: the platform's GL context being current.
#pragma once
#include "platform/gl.h"
#include <GL/glext.h>

// ---- buffer objects (GL 1.5 / ARB_vertex_buffer_object, used with ARB_pixel_buffer_object) ----
extern PFNGLGENBUFFERSPROC glGenBuffersPtr;
extern PFNGLDELETEBUFFERSPROC glDeleteBuffersPtr;
extern PFNGLBINDBUFFERPROC glBindBufferPtr;
extern PFNGLBUFFERDATAPROC glBufferDataPtr;
extern PFNGLMAPBUFFERPROC glMapBufferPtr;
extern PFNGLUNMAPBUFFERPROC glUnmapBufferPtr;

// Address of a GL function of the current context, or nullptr.
void* PlatformGetProcAddress(const char* name);

// Looks up the buffer-object calls; true when the context has pixel-buffer objects and all of
// them were found. Needs a current context.
bool LoadPixelBufferFunctions();
