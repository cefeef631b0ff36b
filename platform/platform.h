// Platform layer: the window-system, presentation, message-box, tick-count and file calls the
// program needs. This header is the contract of both sides: platform.cpp keeps it over SDL2 on
// the desktop, platform_web.cpp over the browser's page, call for call. Nothing outside
// platform/ includes SDL.
#pragma once
#include <cstdint>
#include <cstdio>

// ---- message boxes (no owner window) ----
enum : unsigned {
    MB_OK = 0x0,
    MB_YESNO = 0x4,
    MB_ICONERROR = 0x10,
    MB_ICONINFORMATION = 0x40,
};
enum { IDOK = 1, IDYES = 6, IDNO = 7 };

// Shows a modal box and returns the button pressed. Headless, or with no display, the box is
// one line "caption: text" on stderr and never blocks; a Yes/No question then answers IDYES.
int PlatformMessageBox(const char* text, const char* caption, unsigned type);

// Headless runs (offscreen rendering: shots, capture, benchmark, tests) never show a box.
extern bool platformHeadless;
// The one choice of a headless run: sets platformHeadless and picks the offscreen video driver
// and the silent audio driver, unless the environment already names others (a test may ask for
// the disk audio driver, say). Called before the window is made.
void PlatformUseHeadlessDrivers();

// ---- time ----
// Milliseconds as an unsigned 32-bit count that wraps every 2^32 ms.
uint32_t GetTickCount();
// Tests replace the tick source to drive the clock exactly; nullptr restores the real one.
void SetTickSource(uint32_t (*source)());

// ---- window and GL context ----
bool PlatformRegisterClass(const char* className);
bool PlatformUnregisterClass(const char* className);
// Full screen shows what a width x height mode would: a desktop-sized window whose picture is
// the largest centred area of that aspect, with black bars; no real mode switch happens.
void PlatformChangeDisplayMode(int width, int height, int bits);
void PlatformRestoreDisplayMode();
// Hides or shows the mouse cursor; asked before the window exists, it takes effect with it.
void PlatformShowCursor(bool show);
bool PlatformCursorShown();
// The picture keeps this aspect in any drawable, centred with black bars (letterbox); without
// it the picture is the whole drawable.
void PlatformSetPictureAspect(int width, int height);
// Live play: true once a real display answers. Never falls back to a headless driver unless
// SDL_VIDEODRIVER asks for one by name.
bool PlatformOpenDisplay();
// Refresh rate of the window's display in Hz, 0 when unknown.
int PlatformRefreshRate();
// True while the window has the keyboard focus.
bool PlatformHasFocus();
// Window with the given client size (windowed) at the top-left, with a double-buffered
// compatibility GL context of `bits` colour and 16 depth bits made current. False on failure.
bool PlatformCreateWindow(const char* title, int width, int height, int bits, bool fullscreen);
bool PlatformReleaseCurrent();  // make no context current
bool PlatformDeleteContext();
bool PlatformDestroyWindow();
void PlatformSwapBuffers();
// Offset of the picture area inside the drawable (non-zero only with letterbox bars).
void PlatformPictureOrigin(int* x, int* y);
// Size of the drawable in pixels.
void PlatformDrawableSize(int* width, int* height);
// Size of the picture area now: the whole drawable, or with bars its centred area.
void PlatformPictureSize(int* width, int* height);

// ---- window messages ----
enum : unsigned {
    WM_SIZE = 5,
    WM_ACTIVATE = 6,
    WM_CLOSE = 16,
    WM_QUIT = 18,
    WM_KEYDOWN = 256,
    WM_KEYUP = 257,
    WM_SYSCOMMAND = 274,
};
enum : unsigned { SC_SCREENSAVE = 0xF140, SC_MONITORPOWER = 0xF170 };
// Virtual-key codes: every key the program knows. Letters are their upper-case codes ('A'),
// digits their characters ('0').
enum : unsigned {
    VK_BACK = 8,
    VK_TAB = 9,
    VK_RETURN = 13,
    VK_SHIFT = 16,
    VK_CONTROL = 17,
    VK_ESCAPE = 27,
    VK_SPACE = 32,
    VK_PRIOR = 33,
    VK_NEXT = 34,
    VK_END = 35,
    VK_HOME = 36,
    VK_LEFT = 37,
    VK_UP = 38,
    VK_RIGHT = 39,
    VK_DOWN = 40,
    VK_INSERT = 45,
    VK_DELETE = 46,
    VK_F1 = 112,  // F1 to F12 in order
    VK_F12 = 123,
};
enum : unsigned { kKeyL = 'L', kKeyM = 'M' };

// The keys the program hears, one row a key: its virtual-key code, SDL's keycode (a bare token:
// only platform.cpp, which includes SDL, expands that column), the browser's KeyboardEvent.key,
// and whether the page stops the browser's own use of the key (scrolling, help). Letters, digits
// and F1 to F12 come by their ranges on both sides; F1 has a row for the page's blocking. Left and
// right Shift and Ctrl are one key.
// clang-format off
#define PLATFORM_KEYS(X)                                                                                         \
    X(VK_ESCAPE,  SDLK_ESCAPE,    "Escape",     false) /* ends the show (a full-screen page hears the second) */ \
    X(VK_PRIOR,   SDLK_PAGEUP,    "PageUp",     true)  /* camera pitch - */                                      \
    X(VK_NEXT,    SDLK_PAGEDOWN,  "PageDown",   true)  /* camera pitch + */                                      \
    X(VK_LEFT,    SDLK_LEFT,      "ArrowLeft",  true)  /* camera yaw - */                                        \
    X(VK_UP,      SDLK_UP,        "ArrowUp",    true)  /* camera forward */                                      \
    X(VK_RIGHT,   SDLK_RIGHT,     "ArrowRight", true)  /* camera yaw + */                                        \
    X(VK_DOWN,    SDLK_DOWN,      "ArrowDown",  true)  /* camera backward */                                     \
    X(VK_SPACE,   SDLK_SPACE,     " ",          true)  /* pause */                                               \
    X(VK_HOME,    SDLK_HOME,      "Home",       true)  /* camera reset */                                        \
    X(VK_F1,      SDLK_F1,        "F1",         true)  /* overlay (the browser's help otherwise) */              \
    X(VK_END,     SDLK_END,       "End",        true)  /* unused; the page would scroll */                       \
    X(VK_BACK,    SDLK_BACKSPACE, "Backspace",  false) /* unused */                                              \
    X(VK_TAB,     SDLK_TAB,       "Tab",        false) /* unused; the page's focus moves */                      \
    X(VK_RETURN,  SDLK_RETURN,    "Enter",      false) /* unused */                                              \
    X(VK_INSERT,  SDLK_INSERT,    "Insert",     false) /* unused */                                              \
    X(VK_DELETE,  SDLK_DELETE,    "Delete",     false) /* unused */                                              \
    X(VK_SHIFT,   SDLK_LSHIFT,    "Shift",      false) /* unused */                                              \
    X(VK_SHIFT,   SDLK_RSHIFT,    "Shift",      false) /* right Shift: the same key */                           \
    X(VK_CONTROL, SDLK_LCTRL,     "Control",    false) /* unused */                                              \
    X(VK_CONTROL, SDLK_RCTRL,     "Control",    false) /* right Ctrl: the same key */
// clang-format on

struct WindowMessage {
    unsigned message;
    uintptr_t wParam;
    intptr_t lParam;
};

inline unsigned LoWord(intptr_t v) { return static_cast<unsigned>(v) & 0xFFFFu; }
inline unsigned HiWord(uintptr_t v) { return (static_cast<unsigned>(v) >> 16) & 0xFFFFu; }
inline intptr_t MakeSizeParam(int w, int h) { return static_cast<intptr_t>((h & 0xFFFF) << 16 | (w & 0xFFFF)); }

// Takes one pending message (window events translated to the messages above, keys as
// virtual-key codes); false when the queue is empty.
bool PlatformPeekMessage(WindowMessage& msg);
// Blocks until a message is pending (used while minimised, so the loop does not spin).
void PlatformWaitMessage();
// Queues a message as if the window system had sent it (tests drive the pump with it). Safe from
// any thread: a posted message wakes PlatformWaitMessage.
void PlatformPostMessage(const WindowMessage& msg);
void PostQuitMessage(int code);
// Drops every pending message and queued window-system event (a fresh start hears nothing old).
void PlatformDiscardMessages();

// Window-system events put into the real event queue, to reach the loop through
// PlatformPeekMessage exactly as the user's would (tests drive minimising, resizing and keys
// with it). Resize and Maximise take the new client size in (a, b) and resize the real window;
// a zero width or height, which no window can have, is sent as the size event alone. KeyDown and
// KeyUp take a virtual-key code in a. False when the event could not be queued.
enum class PlatformEvent { Minimise, Restore, Maximise, Resize, Close, KeyDown, KeyUp };
bool PlatformInjectEvent(PlatformEvent event, int a = 0, int b = 0);

// ---- files ----
// Opens a data path written with backslashes ("data\\x.tga" opens data/x.tga). It is looked for
// under the current directory, then beside the executable, then in ../share/brimvale/ beside
// it (an installed tree); a file found nowhere is reported on stderr with the places tried.
FILE* OpenDataFile(const char* path, const char* mode);
// The path OpenDataFile would open, or an empty string if none exists.
const char* ResolveDataPath(const char* path);
// Remembers argv[0] so that the folder of the executable can be found.
void PlatformSetProgramPath(const char* argv0);
