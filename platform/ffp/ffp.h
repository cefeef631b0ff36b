// The fixed-function layer's entry points: the OpenGL 1.1 and GLU subset the program calls, drawn
// with OpenGL ES 2.0 / WebGL 1 shaders (see layer.h for what it implements and what it refuses).
// platform/gl.h maps the GL 1.1 names onto these in the GLES build; nothing else includes this.
#pragma once
#include <GLES2/gl2.h>

// ---- GL 1.1 types and enums that ES 2 does not have (values as in GL 1.1) ----
typedef double GLdouble;
typedef double GLclampd;

#define GL_QUADS 0x0007
#define GL_QUAD_STRIP 0x0008
#define GL_POLYGON 0x0009
#define GL_COMPILE 0x1300
#define GL_COMPILE_AND_EXECUTE 0x1301
#define GL_MATRIX_MODE 0x0BA0
#define GL_MODELVIEW 0x1700
#define GL_PROJECTION 0x1701
#define GL_MODELVIEW_MATRIX 0x0BA6
#define GL_PROJECTION_MATRIX 0x0BA7
#define GL_CURRENT_COLOR 0x0B00
#define GL_CURRENT_NORMAL 0x0B02
#define GL_LIST_BASE 0x0B32
#define GL_LIGHTING 0x0B50
#define GL_LIGHT_MODEL_AMBIENT 0x0B53
#define GL_COLOR_MATERIAL 0x0B57
#define GL_FOG 0x0B60
#define GL_NORMALIZE 0x0BA1
#define GL_RESCALE_NORMAL 0x803A
#define GL_PERSPECTIVE_CORRECTION_HINT 0x0C50
#define GL_LIGHT0 0x4000
#define GL_LIGHT1 0x4001
#define GL_LIGHT2 0x4002
#define GL_LIGHT3 0x4003
#define GL_LIGHT4 0x4004
#define GL_LIGHT5 0x4005
#define GL_LIGHT6 0x4006
#define GL_LIGHT7 0x4007
#define GL_AMBIENT 0x1200
#define GL_DIFFUSE 0x1201
#define GL_SPECULAR 0x1202
#define GL_POSITION 0x1203
#define GL_CONSTANT_ATTENUATION 0x1207
#define GL_LINEAR_ATTENUATION 0x1208
#define GL_QUADRATIC_ATTENUATION 0x1209
#define GL_EMISSION 0x1600
#define GL_SHININESS 0x1601
#define GL_AMBIENT_AND_DIFFUSE 0x1602
#define GL_FLAT 0x1D00
#define GL_SMOOTH 0x1D01
#define GL_STACK_OVERFLOW 0x0503
#define GL_STACK_UNDERFLOW 0x0504
#define GL_TEXTURE_ENV 0x2300
#define GL_TEXTURE_ENV_MODE 0x2200
#define GL_MODULATE 0x2100
#define GL_BGRA 0x80E1
#define GL_RGB8 0x8051
#define GL_RGBA8 0x8058
#define GL_CURRENT_BIT 0x00000001
#define GL_LINE_BIT 0x00000004
#ifndef GL_RASTERIZER_DISCARD
#define GL_RASTERIZER_DISCARD 0x8C89  // GL 3.0 / ES 3.0; the layer honours it itself
#endif
#define GL_POLYGON_BIT 0x00000008
#define GL_LIGHTING_BIT 0x00000040
#define GL_FOG_BIT 0x00000080
#define GL_VIEWPORT_BIT 0x00000800
#define GL_TRANSFORM_BIT 0x00001000
#define GL_ENABLE_BIT 0x00002000
#define GL_HINT_BIT 0x00008000
#define GL_LIST_BIT 0x00020000
#define GL_TEXTURE_BIT 0x00040000
#define GL_SCISSOR_BIT 0x00080000
#define GL_ALL_ATTRIB_BITS 0xFFFFFFFF

// ---- immediate mode ----
void ffpBegin(GLenum mode);
void ffpEnd();
void ffpVertex2f(GLfloat x, GLfloat y);
void ffpVertex2i(GLint x, GLint y);
void ffpVertex2d(GLdouble x, GLdouble y);
void ffpVertex3f(GLfloat x, GLfloat y, GLfloat z);
void ffpVertex3fv(const GLfloat* v);
void ffpNormal3f(GLfloat x, GLfloat y, GLfloat z);
void ffpNormal3fv(const GLfloat* v);
void ffpTexCoord2f(GLfloat s, GLfloat t);
void ffpTexCoord2fv(const GLfloat* v);
void ffpColor3f(GLfloat r, GLfloat g, GLfloat b);
void ffpColor4f(GLfloat r, GLfloat g, GLfloat b, GLfloat a);
void ffpRectf(GLfloat x1, GLfloat y1, GLfloat x2, GLfloat y2);

// ---- matrices ----
void ffpMatrixMode(GLenum mode);
void ffpLoadIdentity();
void ffpLoadMatrixf(const GLfloat* m);
void ffpMultMatrixf(const GLfloat* m);
void ffpPushMatrix();
void ffpPopMatrix();
void ffpTranslatef(GLfloat x, GLfloat y, GLfloat z);
void ffpTranslated(GLdouble x, GLdouble y, GLdouble z);
void ffpRotatef(GLfloat angle, GLfloat x, GLfloat y, GLfloat z);
void ffpRotated(GLdouble angle, GLdouble x, GLdouble y, GLdouble z);
void ffpScalef(GLfloat x, GLfloat y, GLfloat z);
void ffpOrtho(GLdouble left, GLdouble right, GLdouble bottom, GLdouble top, GLdouble zNear, GLdouble zFar);
void ffpPerspective(GLdouble fovy, GLdouble aspect, GLdouble zNear, GLdouble zFar);  // gluPerspective

// ---- lighting ----
void ffpMaterialf(GLenum face, GLenum pname, GLfloat param);
void ffpMaterialfv(GLenum face, GLenum pname, const GLfloat* params);
void ffpLightf(GLenum light, GLenum pname, GLfloat param);
void ffpLightfv(GLenum light, GLenum pname, const GLfloat* params);
void ffpLightModelfv(GLenum pname, const GLfloat* params);
void ffpShadeModel(GLenum mode);

// ---- display lists ----
GLuint ffpGenLists(GLsizei range);
void ffpDeleteLists(GLuint list, GLsizei range);
void ffpNewList(GLuint list, GLenum mode);
void ffpEndList();
void ffpCallList(GLuint list);
void ffpCallLists(GLsizei n, GLenum type, const void* lists);
void ffpListBase(GLuint base);

// ---- state ----
void ffpEnable(GLenum cap);
void ffpDisable(GLenum cap);
GLboolean ffpIsEnabled(GLenum cap);
void ffpBlendFunc(GLenum sfactor, GLenum dfactor);
void ffpDepthFunc(GLenum func);
void ffpDepthMask(GLboolean flag);
void ffpHint(GLenum target, GLenum mode);
void ffpLineWidth(GLfloat width);
void ffpClear(GLbitfield mask);
void ffpClearColor(GLfloat r, GLfloat g, GLfloat b, GLfloat a);
void ffpClearDepth(GLclampd depth);
void ffpViewport(GLint x, GLint y, GLsizei width, GLsizei height);
void ffpScissor(GLint x, GLint y, GLsizei width, GLsizei height);
void ffpPushAttrib(GLbitfield mask);
void ffpPopAttrib();
void ffpGetIntegerv(GLenum pname, GLint* params);
void ffpGetFloatv(GLenum pname, GLfloat* params);
GLenum ffpGetError();
void ffpReadBuffer(GLenum mode);  // ES 2 reads the surface's back buffer: GL_BACK only

// ---- textures ----
void ffpBindTexture(GLenum target, GLuint texture);
void ffpTexEnvi(GLenum target, GLenum pname, GLint param);
void ffpTexImage2D(GLenum target, GLint level, GLint internalformat, GLsizei width, GLsizei height, GLint border,
                   GLenum format, GLenum type, const void* pixels);

// ---- beyond GL 1.1 ----
// The layer's side of platform/glext.h's DiscardDrawing (declared there for the program): while
// on, nothing is drawn or cleared and every call still moves the state.
void DiscardDrawing(bool on);

// ---- for tests ----
// Draws every line as screen-space quads, as where ES cannot draw the width (WebGL), instead of
// handing widths ES supports to ES.
void ffpDrawLinesAsQuads(bool on);
