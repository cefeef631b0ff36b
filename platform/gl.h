// The one way to include OpenGL 1.1 and GLU. On Windows the system GL headers pull in the whole
// Windows API unless the three calling-convention macros they need already exist, and that API's
// names (MB_*, WM_*, VK_*, GetTickCount, ...) would collide with the platform layer's own.
#pragma once
#if defined(_WIN32) && !defined(APIENTRY)
#define APIENTRY __stdcall
#define CALLBACK __stdcall
#define WINGDIAPI __declspec(dllimport)
#endif
#include <GL/gl.h>
#include <GL/glu.h>
