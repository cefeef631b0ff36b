// Platform layer over SDL2: window and GL context, presentation, window messages and message
// boxes (the tick count, picture area and data lookup are in platform_shared.cpp). The rest of the
// program sees only platform.h; platform_web.cpp is the same layer for a browser.
#include "platform/platform.h"
#include "platform/platform_shared.h"
#include "platform/system.h"

#include <SDL.h>

#include <atomic>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <mutex>
#include <string>

#include "platform/gl.h"

// ---- constants ----
static const int kDepthBits = 16;

// ---- globals ----
static SDL_Window* window = nullptr;               // the one window
static SDL_GLContext context = nullptr;            // its GL context
static bool videoStarted = false;                  // SDL video subsystem initialised by us
static bool cursorShown = true;                    // wanted cursor state, applied once video runs
static std::deque<WindowMessage> pendingMessages;  // posted messages, handled before SDL events
static std::mutex pendingLock;                     // messages may be posted from any thread
static std::atomic<uint32_t> wakeEventType{0};     // SDL event that only wakes a waiting loop

// ---- key translation: SDL key codes to the virtual-key codes the program uses (platform.h) ----
struct KeyMapping {
    SDL_Keycode sdl;
    unsigned vk;
};
#define PLATFORM_KEY_ROW(vk, sdl, dom, blocked) {sdl, vk},
static const KeyMapping keyTable[] = {PLATFORM_KEYS(PLATFORM_KEY_ROW)};
#undef PLATFORM_KEY_ROW

static unsigned VirtualKeyFor(SDL_Keycode key) {
    if (key >= SDLK_a && key <= SDLK_z) return 'A' + static_cast<unsigned>(key - SDLK_a);
    if (key >= SDLK_0 && key <= SDLK_9) return '0' + static_cast<unsigned>(key - SDLK_0);
    if (key >= SDLK_F1 && key <= SDLK_F12) return VK_F1 + static_cast<unsigned>(key - SDLK_F1);
    for (const KeyMapping& m : keyTable)
        if (m.sdl == key) return m.vk;
    return 0;  // not a key the program knows: not reported
}

// ---- headless drivers ----
static bool IsHeadlessDriver(const char* name) {
    return name && (strcmp(name, "offscreen") == 0 || strcmp(name, "dummy") == 0);
}

// Where the system has no offscreen driver, the usual one draws into a hidden window instead.
void PlatformUseHeadlessDrivers() {
    platformHeadless = true;
    if (const char* video = SystemOffscreenVideoDriver()) SystemSetEnv("SDL_VIDEODRIVER", video, false);
    SystemSetEnv("SDL_AUDIODRIVER", "dummy", false);  // nothing is heard offscreen; the mixer still runs
}

// ---- message boxes ----
static bool CanShowBoxes() {
    if (platformHeadless || IsHeadlessDriver(getenv("SDL_VIDEODRIVER"))) return false;
    return SystemHasDisplay();
}

int PlatformMessageBox(const char* text, const char* caption, unsigned type) {
    text = text ? text : "";
    caption = caption ? caption : "Error";
    bool question = (type & 0xF) == MB_YESNO;
    if (!CanShowBoxes()) {
        fprintf(stderr, "%s: %s\n", caption, text);
        fflush(stderr);
        return question ? IDYES : IDOK;
    }
    Uint32 flags = SDL_MESSAGEBOX_INFORMATION;
    if (type & MB_ICONERROR) flags = SDL_MESSAGEBOX_ERROR;
    SDL_MessageBoxButtonData yesNo[2] = {
        {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT, IDYES, "Yes"},
        {SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, IDNO, "No"},
    };
    SDL_MessageBoxButtonData ok[1] = {
        {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT | SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, IDOK, "OK"},
    };
    SDL_MessageBoxData box = {};
    box.flags = flags;
    box.window = nullptr;  // no owner
    box.title = caption;
    box.message = text;
    box.numbuttons = question ? 2 : 1;
    box.buttons = question ? yesNo : ok;
    int pressed = 0;
    if (SDL_ShowMessageBox(&box, &pressed) != 0) {
        // The box could not be shown: say it on stderr so the message is not lost.
        fprintf(stderr, "%s: %s\n", caption, text);
        return 0;
    }
    return pressed;
}

// ---- window and GL context ----
void PlatformShowCursor(bool show) {
    // Asked before the video subsystem runs (full screen hides it before the window exists),
    // the wish is kept and applied when the window is made.
    cursorShown = show;
    if (videoStarted) SDL_ShowCursor(show ? SDL_ENABLE : SDL_DISABLE);
}

bool PlatformCursorShown() { return videoStarted ? SDL_ShowCursor(SDL_QUERY) == SDL_ENABLE : cursorShown; }

static bool StartVideo(bool quiet) {
    if (videoStarted) return true;
    if (SDL_InitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) {
        if (!quiet) fprintf(stderr, "video: %s\n", SDL_GetError());
        return false;
    }
    videoStarted = true;
    Uint32 wake = SDL_RegisterEvents(1);
    if (wake != static_cast<Uint32>(-1)) wakeEventType = wake;
    return true;
}

bool PlatformOpenDisplay() {
    // SDL would fall back to drawing into nothing when no display answers; a live run must not.
    // Only an explicit request for a headless driver is honoured.
    const char* requested = getenv("SDL_VIDEODRIVER");
    bool explicitHeadless = IsHeadlessDriver(requested);
    if (!requested) {
        if (!SystemHasDisplay()) return false;
        // Only the display servers the environment names are tried: a dead one is a quick, clear no.
        if (const char* drivers = SystemDisplayDrivers()) SDL_SetHint(SDL_HINT_VIDEODRIVER, drivers);
    }
    if (!StartVideo(true)) return false;
    if (IsHeadlessDriver(SDL_GetCurrentVideoDriver()) && !explicitHeadless) {
        SDL_QuitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS);
        videoStarted = false;
        return false;
    }
    return true;
}

int PlatformRefreshRate() {
    SDL_DisplayMode mode = {};
    int display = window ? SDL_GetWindowDisplayIndex(window) : 0;
    if (display < 0 || SDL_GetCurrentDisplayMode(display, &mode) != 0) return 0;
    return mode.refresh_rate;
}

static void ClearBars() {
    if (!PictureHasBars()) return;
    GLfloat saved[4];
    glGetFloatv(GL_COLOR_CLEAR_VALUE, saved);
    glDisable(GL_SCISSOR_TEST);
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glEnable(GL_SCISSOR_TEST);
    glClearColor(saved[0], saved[1], saved[2], saved[3]);
}

bool PlatformCreateWindow(const char* title, int width, int height, int bits, bool fullscreenFlag) {
    if (!StartVideo(false)) return false;
    int channel = bits >= 32 ? 8 : 5;
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, channel);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, channel);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, channel);
    SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, bits >= 32 ? 8 : 0);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, kDepthBits);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 0);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
#if defined(BRIMVALE_GLES2)
    // The fixed-function layer draws with OpenGL ES 2.0 (EGL offscreen, a window live).
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_ES);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 2);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 0);
#else
    // Fixed-function drawing needs a legacy context.
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 2);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 1);
#endif

    // High-DPI screens draw at the drawable's own pixel size; the picture area follows it.
    Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_ALLOW_HIGHDPI;
    if (fullscreenFlag)
        flags |= SDL_WINDOW_FULLSCREEN_DESKTOP;
    else
        flags |= SDL_WINDOW_RESIZABLE;
    if (!platformHeadless)
        flags |= SDL_WINDOW_SHOWN;
    else if (!SystemOffscreenVideoDriver())
        flags |= SDL_WINDOW_HIDDEN;
    window = SDL_CreateWindow(title, 0, 0, width, height, flags);
    if (!window) {
        fprintf(stderr, "window: %s\n", SDL_GetError());
        return false;
    }
    if (!fullscreenFlag && !platformHeadless) {
        // Put the outer frame, not the client area, at the screen's top-left.
        int top = 0, left = 0, bottom = 0, right = 0;
        if (SDL_GetWindowBordersSize(window, &top, &left, &bottom, &right) == 0)
            SDL_SetWindowPosition(window, left, top);
    }
    context = SDL_GL_CreateContext(window);
    if (!context) {
        fprintf(stderr, "GL context: %s\n", SDL_GetError());
        SDL_DestroyWindow(window);
        window = nullptr;
        return false;
    }
    SDL_GL_MakeCurrent(window, context);
    if (platformHeadless) {
        SDL_GL_SetSwapInterval(0);
    } else if (SDL_GL_SetSwapInterval(-1) != 0) {
        SDL_GL_SetSwapInterval(1);  // adaptive vsync unavailable: plain vsync
    }
    SDL_DisableScreenSaver();
    SDL_ShowCursor(cursorShown ? SDL_ENABLE : SDL_DISABLE);
    if (!platformHeadless) SDL_RaiseWindow(window);  // in front and with the keyboard focus
    return true;
}

bool PlatformHasFocus() { return window && SDL_GetKeyboardFocus() == window; }

bool PlatformReleaseCurrent() {
    if (!window) return false;
    return SDL_GL_MakeCurrent(window, nullptr) == 0;
}

bool PlatformDeleteContext() {
    if (!context) return false;
    SDL_GL_DeleteContext(context);
    context = nullptr;
    return true;
}

bool PlatformDestroyWindow() {
    if (!window) return false;
    SDL_DestroyWindow(window);
    window = nullptr;
    SDL_EnableScreenSaver();
    return true;
}

void PlatformSwapBuffers() {
    if (!window) return;
    SDL_GL_SwapWindow(window);
    ClearBars();
}

void PlatformDrawableSize(int* width, int* height) {
    *width = *height = 0;
    if (window) SDL_GL_GetDrawableSize(window, width, height);
}

// ---- window messages ----
static bool TranslateEvent(const SDL_Event& e, WindowMessage& msg) {
    switch (e.type) {
    case SDL_QUIT:
        msg = {WM_CLOSE, 0, 0};
        return true;
    case SDL_KEYDOWN:
    case SDL_KEYUP: {
        unsigned vk = VirtualKeyFor(e.key.keysym.sym);
        if (vk == 0) return false;
        msg = {e.type == SDL_KEYDOWN ? WM_KEYDOWN : WM_KEYUP, vk, 0};
        return true;
    }
    case SDL_WINDOWEVENT:
        switch (e.window.event) {
        case SDL_WINDOWEVENT_SIZE_CHANGED: {
            int dw = 0, dh = 0, aw = 0, ah = 0;
            PlatformDrawableSize(&dw, &dh);
            // A client area collapsed to nothing has no drawable to ask; the event says so itself.
            if (e.window.data1 <= 0 || e.window.data2 <= 0) {
                dw = e.window.data1 > 0 ? e.window.data1 : 0;
                dh = e.window.data2 > 0 ? e.window.data2 : 0;
            }
            UpdatePictureArea(dw, dh, &aw, &ah);
            msg = {WM_SIZE, 0, MakeSizeParam(aw, ah)};
            return true;
        }
        case SDL_WINDOWEVENT_MINIMIZED:
            msg = {WM_ACTIVATE, 1u << 16, 0};  // high word set: minimised
            return true;
        case SDL_WINDOWEVENT_RESTORED:
        case SDL_WINDOWEVENT_MAXIMIZED:
        case SDL_WINDOWEVENT_SHOWN:
            msg = {WM_ACTIVATE, 0, 0};
            return true;
        case SDL_WINDOWEVENT_CLOSE:
            msg = {WM_CLOSE, 0, 0};
            return true;
        default:
            return false;
        }
    default:
        return false;
    }
}

static bool TakePending(WindowMessage& msg) {
    std::lock_guard<std::mutex> hold(pendingLock);
    if (pendingMessages.empty()) return false;
    msg = pendingMessages.front();
    pendingMessages.pop_front();
    return true;
}

bool PlatformPeekMessage(WindowMessage& msg) {
    if (TakePending(msg)) return true;
    if (!videoStarted) return false;
    SDL_Event e;
    while (SDL_PollEvent(&e)) {
        if (TranslateEvent(e, msg)) return true;
    }
    return false;
}

void PlatformWaitMessage() {
    if (!videoStarted) return;
    {
        std::lock_guard<std::mutex> hold(pendingLock);
        if (!pendingMessages.empty()) return;
    }
    // A message posted after the check above also pushed a wake event, so this cannot sleep
    // through it.
    SDL_Event e;
    if (SDL_WaitEvent(&e)) {
        WindowMessage msg;
        if (TranslateEvent(e, msg)) {
            std::lock_guard<std::mutex> hold(pendingLock);
            pendingMessages.push_back(msg);
        }
    }
}

void PlatformPostMessage(const WindowMessage& msg) {
    {
        std::lock_guard<std::mutex> hold(pendingLock);
        pendingMessages.push_back(msg);
    }
    uint32_t wake = wakeEventType;
    if (wake != 0) {
        SDL_Event e = {};
        e.type = wake;
        SDL_PushEvent(&e);
    }
}

void PlatformDiscardMessages() {
    {
        std::lock_guard<std::mutex> hold(pendingLock);
        pendingMessages.clear();
    }
    if (videoStarted) {
        SDL_PumpEvents();
        SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    }
}

void PostQuitMessage(int code) { PlatformPostMessage({WM_QUIT, static_cast<uintptr_t>(code), 0}); }

static SDL_Keycode SdlKeyFor(unsigned vk) {
    if (vk >= 'A' && vk <= 'Z') return SDLK_a + static_cast<SDL_Keycode>(vk - 'A');
    if (vk >= '0' && vk <= '9') return SDLK_0 + static_cast<SDL_Keycode>(vk - '0');
    if (vk >= VK_F1 && vk <= VK_F12) return SDLK_F1 + static_cast<SDL_Keycode>(vk - VK_F1);
    for (const KeyMapping& m : keyTable)
        if (m.vk == vk) return m.sdl;
    return SDLK_UNKNOWN;
}

static bool PushWindowEvent(Uint8 event, int data1, int data2) {
    SDL_Event e = {};
    e.type = SDL_WINDOWEVENT;
    e.window.windowID = SDL_GetWindowID(window);
    e.window.event = event;
    e.window.data1 = data1;
    e.window.data2 = data2;
    return SDL_PushEvent(&e) == 1;
}

bool PlatformInjectEvent(PlatformEvent event, int a, int b) {
    if (!videoStarted || !window) return false;
    switch (event) {
    case PlatformEvent::Minimise:
        return PushWindowEvent(SDL_WINDOWEVENT_MINIMIZED, 0, 0);
    case PlatformEvent::Restore:
        return PushWindowEvent(SDL_WINDOWEVENT_RESTORED, 0, 0);
    case PlatformEvent::Maximise:
        if (!PushWindowEvent(SDL_WINDOWEVENT_MAXIMIZED, 0, 0)) return false;
        return PlatformInjectEvent(PlatformEvent::Resize, a, b);
    case PlatformEvent::Resize: {
        if (a <= 0 || b <= 0) return PushWindowEvent(SDL_WINDOWEVENT_SIZE_CHANGED, a, b);
        int w = 0, h = 0;
        SDL_GetWindowSize(window, &w, &h);
        if (w == a && h == b) return PushWindowEvent(SDL_WINDOWEVENT_SIZE_CHANGED, a, b);
        SDL_SetWindowSize(window, a, b);  // SDL queues the size event itself
        SDL_GetWindowSize(window, &w, &h);
        return w == a && h == b;
    }
    case PlatformEvent::Close:
        return PushWindowEvent(SDL_WINDOWEVENT_CLOSE, 0, 0);
    case PlatformEvent::KeyDown:
    case PlatformEvent::KeyUp: {
        SDL_Keycode key = a >= 0 ? SdlKeyFor(static_cast<unsigned>(a)) : SDLK_UNKNOWN;
        if (key == SDLK_UNKNOWN) return false;
        SDL_Event e = {};
        bool down = event == PlatformEvent::KeyDown;
        e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
        e.key.windowID = SDL_GetWindowID(window);
        e.key.state = down ? SDL_PRESSED : SDL_RELEASED;
        e.key.keysym.sym = key;
        e.key.keysym.scancode = SDL_GetScancodeFromKey(key);
        return SDL_PushEvent(&e) == 1;
    }
    }
    return false;
}

// ---- files ----
void PlatformSetProgramPath(const char* argv0) {
    // The executable's own folder, wherever it was started from (a launcher, another folder).
    char* base = SDL_GetBasePath();
    if (base) {
        SetProgramDir(base);
        SDL_free(base);
        return;
    }
    std::string path = argv0 ? argv0 : "";
    size_t slash = path.find_last_of('/');
    SetProgramDir(slash == std::string::npos ? std::string() : path.substr(0, slash + 1));
}
