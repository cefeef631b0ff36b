// Entry points beyond OpenGL 1.1 (pixel-buffer objects for frame read-back), looked up at run
// time from the current context. Depends on: the platform's GL context being current.
#pragma once
#include "platform/gl.h"
#if defined(BRIMVALE_GLES2)
// ES 2 has buffer objects; pixel buffers and mapping come with ES 3, looked up like the rest.
#define GL_PIXEL_PACK_BUFFER 0x88EB
#define GL_STREAM_READ 0x88E1
#define GL_READ_ONLY 0x88B8
#define GL_MAP_READ_BIT 0x0001
typedef void*(GL_APIENTRYP PFNGLMAPBUFFERPROC)(GLenum target, GLenum access);
typedef void*(GL_APIENTRYP PFNGLMAPBUFFERRANGEPROC)(GLenum target, GLintptr offset, GLsizeiptr length,
                                                    GLbitfield access);
typedef GLboolean(GL_APIENTRYP PFNGLUNMAPBUFFERPROC)(GLenum target);
#else
#include <GL/glext.h>
#endif

// ---- buffer objects (GL 1.5 / ARB_vertex_buffer_object, used with ARB_pixel_buffer_object) ----
extern PFNGLGENBUFFERSPROC glGenBuffersPtr;
extern PFNGLDELETEBUFFERSPROC glDeleteBuffersPtr;
extern PFNGLBINDBUFFERPROC glBindBufferPtr;
extern PFNGLBUFFERDATAPROC glBufferDataPtr;
extern PFNGLMAPBUFFERPROC glMapBufferPtr;
extern PFNGLUNMAPBUFFERPROC glUnmapBufferPtr;

// Maps the bound pixel-pack buffer's first `bytes` for reading (glMapBuffer, or on ES
// glMapBufferRange); nullptr on failure.
const void* MapPixelBuffer(GLsizeiptr bytes);

// Address of a GL function of the current context, or nullptr.
void* PlatformGetProcAddress(const char* name);

// Looks up the buffer-object calls; true when the context has pixel-buffer objects and all of
// them were found. Needs a current context.
bool LoadPixelBufferFunctions();
// True when a GL_VERSION string names a context with pixel-buffer objects.
bool VersionHasPixelBuffers(const char* version);

// While on, the context takes every call and moves its state as before but draws as little as it
// can: every polygon culled and, where the context has it (desktop GL 3.0, the GLES build's
// layer, which draws nothing at all then), every primitive discarded before rasterising. Off puts
// back the culling it found.
void DiscardDrawing(bool on);
