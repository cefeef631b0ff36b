// Platform layer in a web browser, over Emscripten's html5.h: the same calls as platform.cpp
// (the SDL side), function for function, so the two can be read side by side. The window is the
// page's canvas, the GL context a WebGL 1 context, window events come from the DOM, and message
// boxes are shown by the page (web/page.js) instead of blocking. Nothing here waits: the page's
// animation frames drive the program (PlatformRunFrames, page.h).
#include "platform/page.h"
#include "platform/platform.h"
#include "platform/platform_shared.h"

#include <emscripten.h>
#include <emscripten/html5.h>

#include <cstring>
#include <deque>
#include <string>
#include <vector>

#include "platform/gl.h"

// ---- constants ----
static const char* const kCanvas = "#canvas";

// ---- globals ----
static EMSCRIPTEN_WEBGL_CONTEXT_HANDLE context = 0;  // the canvas's WebGL context
static bool windowMade = false;                      // the canvas is the one window
static bool cursorShown = true;                      // over the canvas
static bool fixedSize = false;                       // offscreen runs keep the asked size, not the window's
static std::deque<WindowMessage> pendingMessages;    // DOM events and posted messages, in order
static bool keyDown[256] = {};                       // keys reported down, released when focus goes
static bool (*frameCallback)(double) = nullptr;      // PlatformRunFrames's caller
static double lastFrameStamp = -1.0;                 // previous animation frame's timestamp
static uint64_t animationFrames = 0;                 // animation frames so far
static uint64_t pressedInFrame[256] = {};            // the count when each key last went down
static std::vector<unsigned> lateReleases;           // taps released before any frame saw them
static std::vector<unsigned> releasesDue;            // those to let go at the next frame

// ---- the page's side (web/page.js defines Module.page) ----
EM_JS(void, JsPageCall, (const char* name, const char* text, double value), {
    if (Module.page && Module.page[UTF8ToString(name)]) Module.page[UTF8ToString(name)](UTF8ToString(text), value);
});
EM_JS(void, JsSetCursor, (int shown), { Module.canvas.style.cursor = shown ? "" : "none"; });
EM_JS(int, JsHasFocus, (), { return document.hasFocus() ? 1 : 0; });
// A button of the page's cards has the keyboard: its keys (Space and Enter press it) are its own.
EM_JS(int, JsButtonFocused, (), {
    var e = document.activeElement;
    return e && e.tagName == "BUTTON" ? 1 : 0;
});

// ---- key translation: DOM key names to the virtual-key codes the program uses (platform.h) ----
struct KeyMapping {
    const char* dom;  // KeyboardEvent.key
    unsigned vk;
    bool blocked;  // the browser's own use of the key (scrolling, help) is stopped
};
#define PLATFORM_KEY_ROW(vk, sdl, dom, blocked) {dom, vk, blocked},
static const KeyMapping keyTable[] = {PLATFORM_KEYS(PLATFORM_KEY_ROW)};
#undef PLATFORM_KEY_ROW

static const KeyMapping* MappingFor(const char* key) {
    for (const KeyMapping& m : keyTable)
        if (strcmp(m.dom, key) == 0) return &m;
    return nullptr;
}

static unsigned VirtualKeyFor(const char* key) {
    if (key[0] != '\0' && key[1] == '\0') {
        char c = key[0];
        if (c >= 'a' && c <= 'z') return 'A' + static_cast<unsigned>(c - 'a');
        if (c >= 'A' && c <= 'Z') return static_cast<unsigned>(c);
        if (c >= '0' && c <= '9') return static_cast<unsigned>(c);
    }
    if (key[0] == 'F' && key[1] >= '1' && key[1] <= '9') {
        unsigned vk = VK_F1 + static_cast<unsigned>(atoi(key + 1) - 1);  // "F1" is VK_F1
        if (vk <= VK_F12) return vk;
    }
    const KeyMapping* m = MappingFor(key);
    return m ? m->vk : 0;  // not a key the program knows: not reported
}

// ---- headless drivers ----
void PlatformUseHeadlessDrivers() {
    // The canvas keeps the asked size and nothing is heard: there is no other driver to pick.
    platformHeadless = true;
}

// ---- message boxes ----
int PlatformMessageBox(const char* text, const char* caption, unsigned type) {
    text = text ? text : "";
    caption = caption ? caption : "Error";
    bool question = (type & 0xF) == MB_YESNO;
    // A box cannot block a page: the page lists it, and the show goes on as after an OK. The one
    // question was asked by the page's own buttons before the program started.
    fprintf(stderr, "%s: %s\n", caption, text);
    JsPageCall("message", (std::string(caption) + ": " + text).c_str(), static_cast<double>(type));
    return question ? IDYES : IDOK;
}

// ---- window and GL context ----
void PlatformShowCursor(bool show) {
    cursorShown = show;
    if (windowMade) JsSetCursor(show ? 1 : 0);
}

bool PlatformCursorShown() { return cursorShown; }

bool PlatformOpenDisplay() { return true; }  // the page is the display

int PlatformRefreshRate() { return 0; }  // the browser paces the frames and does not say its rate

bool PlatformHasFocus() { return windowMade && JsHasFocus() != 0; }

// The canvas at the window's own pixel size (CSS size times the device pixel ratio), so the
// picture is drawn at the screen's resolution; offscreen runs keep the size they asked for.
static void FitCanvas() {
    if (fixedSize) return;
    double cssW = 0.0, cssH = 0.0;
    emscripten_get_element_css_size(kCanvas, &cssW, &cssH);
    double ratio = emscripten_get_device_pixel_ratio();
    int w = static_cast<int>(cssW * ratio + 0.5), h = static_cast<int>(cssH * ratio + 0.5);
    if (w > 0 && h > 0) emscripten_set_canvas_element_size(kCanvas, w, h);
}

static void Queue(unsigned message, uintptr_t wParam, intptr_t lParam) {
    pendingMessages.push_back({message, wParam, lParam});
}

static void QueueSize() {
    int dw = 0, dh = 0, aw = 0, ah = 0;
    PlatformDrawableSize(&dw, &dh);
    UpdatePictureArea(dw, dh, &aw, &ah);
    Queue(WM_SIZE, 0, MakeSizeParam(aw, ah));
}

static EM_BOOL OnKey(int eventType, const EmscriptenKeyboardEvent* e, void*) {
    unsigned vk = VirtualKeyFor(e->key);
    if (vk == 0 || vk >= 256 || JsButtonFocused()) return EM_FALSE;
    bool down = eventType == EMSCRIPTEN_EVENT_KEYDOWN;
    keyDown[vk] = down;
    if (down) {
        pressedInFrame[vk] = animationFrames;
        Queue(WM_KEYDOWN, vk, 0);
    } else if (pressedInFrame[vk] == animationFrames) {
        // Pressed and let go between two frames (a quick tap on a slow machine): the key stays
        // down for the next frame, or the show would never see it.
        lateReleases.push_back(vk);
    } else {
        Queue(WM_KEYUP, vk, 0);
    }
    const KeyMapping* m = MappingFor(e->key);
    return m && m->blocked ? EM_TRUE : EM_FALSE;  // true: the browser's default is prevented
}

// Keys held when the page loses the focus would never see their release: let them go now.
static EM_BOOL OnBlur(int, const EmscriptenFocusEvent*, void*) {
    for (unsigned vk = 0; vk < 256; ++vk)
        if (keyDown[vk]) {
            keyDown[vk] = false;
            Queue(WM_KEYUP, vk, 0);
        }
    return EM_FALSE;
}

static EM_BOOL OnVisibility(int, const EmscriptenVisibilityChangeEvent* e, void*) {
    Queue(WM_ACTIVATE, e->hidden ? 1u << 16 : 0u, 0);  // hidden as minimised
    lastFrameStamp = -1.0;                             // a hidden tab gets no frames: the gap is no frame's duration
    return EM_FALSE;
}

static EM_BOOL OnResize(int, const EmscriptenUiEvent*, void*) {
    if (fixedSize) return EM_FALSE;
    FitCanvas();
    QueueSize();
    return EM_FALSE;
}

static EM_BOOL OnContextLost(int, const void*, void*) {
    PageFault(
        "The WebGL context was lost (the graphics driver was reset or the tab ran out of graphics memory). "
        "Reload the page to play again.");
    Queue(WM_CLOSE, 0, 0);
    return EM_TRUE;
}

bool PlatformCreateWindow(const char* /*title*/, int width, int height, int bits, bool /*fullscreen*/) {
    fixedSize = platformHeadless;
    if (fixedSize)
        emscripten_set_canvas_element_size(kCanvas, width, height);
    else
        FitCanvas();
    EmscriptenWebGLContextAttributes attributes;
    emscripten_webgl_init_context_attributes(&attributes);
    // The show clears with alpha 0.5 and 0: an alpha channel would let the page show through.
    attributes.alpha = EM_FALSE;
    attributes.depth = EM_TRUE;
    attributes.stencil = EM_FALSE;
    attributes.antialias = EM_FALSE;  // the picture is GL 1.1's aliased one
    attributes.premultipliedAlpha = EM_FALSE;
    attributes.preserveDrawingBuffer = EM_FALSE;
    attributes.majorVersion = 1;
    attributes.minorVersion = 0;
    (void)bits;  // WebGL offers 8 bits a channel
    context = emscripten_webgl_create_context(kCanvas, &attributes);
    if (context <= 0) {
        fprintf(stderr, "GL context: WebGL is not available (%d)\n", static_cast<int>(context));
        context = 0;
        return false;
    }
    emscripten_webgl_make_context_current(context);
    emscripten_set_keydown_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, nullptr, EM_TRUE, OnKey);
    emscripten_set_keyup_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, nullptr, EM_TRUE, OnKey);
    emscripten_set_blur_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, nullptr, EM_TRUE, OnBlur);
    emscripten_set_visibilitychange_callback(nullptr, EM_TRUE, OnVisibility);
    emscripten_set_resize_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, nullptr, EM_TRUE, OnResize);
    emscripten_set_webglcontextlost_callback(kCanvas, nullptr, EM_TRUE, OnContextLost);
    windowMade = true;
    JsSetCursor(cursorShown ? 1 : 0);
    return true;
}

bool PlatformReleaseCurrent() {
    if (!windowMade) return false;
    return emscripten_webgl_make_context_current(0) == EMSCRIPTEN_RESULT_SUCCESS;
}

bool PlatformDeleteContext() {
    if (!context) return false;
    emscripten_webgl_destroy_context(context);
    context = 0;
    return true;
}

bool PlatformDestroyWindow() {
    if (!windowMade) return false;
    windowMade = false;
    JsSetCursor(1);
    return true;
}

void PlatformSwapBuffers() {
    // The browser presents the canvas when the animation frame returns. The bars need no
    // clearing: an unpreserved drawing buffer starts every frame cleared to opaque black.
}

void PlatformDrawableSize(int* width, int* height) {
    *width = *height = 0;
    if (windowMade) emscripten_get_canvas_element_size(kCanvas, width, height);
}

// ---- window messages ----
bool PlatformPeekMessage(WindowMessage& msg) {
    if (pendingMessages.empty()) return false;
    msg = pendingMessages.front();
    pendingMessages.pop_front();
    return true;
}

void PlatformWaitMessage() {}  // a page never waits: the next animation frame comes back

void PlatformPostMessage(const WindowMessage& msg) { pendingMessages.push_back(msg); }

void PlatformDiscardMessages() { pendingMessages.clear(); }

void PostQuitMessage(int code) { PlatformPostMessage({WM_QUIT, static_cast<uintptr_t>(code), 0}); }

bool PlatformInjectEvent(PlatformEvent event, int a, int b) {
    if (!windowMade) return false;
    switch (event) {
    case PlatformEvent::Minimise:
        Queue(WM_ACTIVATE, 1u << 16, 0);
        return true;
    case PlatformEvent::Restore:
        Queue(WM_ACTIVATE, 0, 0);
        return true;
    case PlatformEvent::Maximise:
    case PlatformEvent::Resize:
        if (a > 0 && b > 0) emscripten_set_canvas_element_size(kCanvas, a, b);
        QueueSize();
        return true;
    case PlatformEvent::Close:
        Queue(WM_CLOSE, 0, 0);
        return true;
    case PlatformEvent::KeyDown:
    case PlatformEvent::KeyUp:
        if (a <= 0 || a >= 256) return false;
        Queue(event == PlatformEvent::KeyDown ? WM_KEYDOWN : WM_KEYUP, static_cast<uintptr_t>(a), 0);
        return true;
    }
    return false;
}

// ---- files ----
void PlatformSetProgramPath(const char* /*argv0*/) {
    SetProgramDir("");  // the preloaded data sits under the current folder, /data
}

// ---- the page (page.h) ----
static EM_BOOL OnAnimationFrame(double stamp, void*) {
    ++animationFrames;
    for (unsigned vk : releasesDue) Queue(WM_KEYUP, vk, 0);
    releasesDue.swap(lateReleases);  // this frame sees those keys down; the next lets them go
    lateReleases.clear();
    double since = lastFrameStamp < 0.0 ? 0.0 : stamp - lastFrameStamp;
    lastFrameStamp = stamp;
    if (frameCallback && frameCallback(since)) return EM_TRUE;
    frameCallback = nullptr;
    lastFrameStamp = -1.0;
    return EM_FALSE;
}

double PlatformFrameStampMs() { return frameCallback ? lastFrameStamp : -1.0; }

void PlatformRunFrames(bool (*frame)(double sinceLastMs)) {
    bool running = frameCallback != nullptr;
    frameCallback = frame;
    if (!running) emscripten_request_animation_frame_loop(OnAnimationFrame, nullptr);
}

void PageProgress(const char* text, double share) { JsPageCall("progress", text ? text : "", share); }

// The first frame's is kept too: a check that polls may first see a later one.
EM_JS(void, JsPublish, (double demoMs, int held, double stamp), {
    Module.show = {demoMs : demoMs, held : !!held, stamp : stamp};
    if (!Module.firstShow) Module.firstShow = Module.show;
});
void PagePublish(double demoMs, bool held) { JsPublish(demoMs, held ? 1 : 0, lastFrameStamp); }

void PagePlayerState(bool paused, bool muted) { JsPageCall("player", "", (paused ? 1.0 : 0.0) + (muted ? 2.0 : 0.0)); }

void PageShowEnd() { JsPageCall("end", "", 0.0); }

void PageShotsDone(int status) { JsPageCall("shotsDone", "", static_cast<double>(status)); }

void PageFault(const char* text) { JsPageCall("fault", text ? text : "", 0.0); }
