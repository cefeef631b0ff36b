// The one way to include OpenGL 1.1 and GLU. The desktop build takes them from the system; the
// GLES build (BRIMVALE_GLES2) maps every GL 1.1 and GLU name the program calls onto the
// fixed-function layer in platform/ffp/, and the calls that OpenGL ES 2 has as GL 1.1 has them
// (glFlush, glFinish, glGetString, glGenTextures, glTexParameterf/i, glCopyTexSubImage2D,
// glPixelStorei, glReadPixels)
// go to the ES library directly. A GL 1.1 call outside the list does not compile in the GLES
// build, and one the layer lacks does not link, naming the entry point.
#pragma once
#if defined(BRIMVALE_GLES2)
#include "platform/ffp/ffp.h"
#define glBegin ffpBegin
#define glEnd ffpEnd
#define glVertex2f ffpVertex2f
#define glVertex2i ffpVertex2i
#define glVertex2d ffpVertex2d
#define glVertex3f ffpVertex3f
#define glVertex3fv ffpVertex3fv
#define glNormal3f ffpNormal3f
#define glNormal3fv ffpNormal3fv
#define glTexCoord2f ffpTexCoord2f
#define glTexCoord2fv ffpTexCoord2fv
#define glColor3f ffpColor3f
#define glColor4f ffpColor4f
#define glRectf ffpRectf
#define glMatrixMode ffpMatrixMode
#define glLoadIdentity ffpLoadIdentity
#define glLoadMatrixf ffpLoadMatrixf
#define glMultMatrixf ffpMultMatrixf
#define glPushMatrix ffpPushMatrix
#define glPopMatrix ffpPopMatrix
#define glTranslatef ffpTranslatef
#define glTranslated ffpTranslated
#define glRotatef ffpRotatef
#define glRotated ffpRotated
#define glScalef ffpScalef
#define glOrtho ffpOrtho
#define gluPerspective ffpPerspective
#define glMaterialf ffpMaterialf
#define glMaterialfv ffpMaterialfv
#define glLightf ffpLightf
#define glLightfv ffpLightfv
#define glLightModelfv ffpLightModelfv
#define glShadeModel ffpShadeModel
#define glGenLists ffpGenLists
#define glDeleteLists ffpDeleteLists
#define glNewList ffpNewList
#define glEndList ffpEndList
#define glCallList ffpCallList
#define glCallLists ffpCallLists
#define glListBase ffpListBase
#define glEnable ffpEnable
#define glDisable ffpDisable
#define glIsEnabled ffpIsEnabled
#define glBlendFunc ffpBlendFunc
#define glDepthFunc ffpDepthFunc
#define glDepthMask ffpDepthMask
#define glHint ffpHint
#define glLineWidth ffpLineWidth
#define glClear ffpClear
#define glClearColor ffpClearColor
#define glClearDepth ffpClearDepth
#define glViewport ffpViewport
#define glScissor ffpScissor
#define glPushAttrib ffpPushAttrib
#define glPopAttrib ffpPopAttrib
#define glGetIntegerv ffpGetIntegerv
#define glGetFloatv ffpGetFloatv
#define glGetError ffpGetError
#define glReadBuffer ffpReadBuffer
#define glBindTexture ffpBindTexture
#define glTexImage2D ffpTexImage2D
#define glTexEnvi ffpTexEnvi
#else
// On Windows the system GL headers pull in the whole Windows API unless the three
// calling-convention macros they need already exist, and that API's names (MB_*, WM_*, VK_*,
// GetTickCount, ...) would collide with the platform layer's own.
#if defined(_WIN32) && !defined(APIENTRY)
#define APIENTRY __stdcall
#define CALLBACK __stdcall
#define WINGDIAPI __declspec(dllimport)
#endif
#include <GL/gl.h>
#include <GL/glu.h>
#endif
