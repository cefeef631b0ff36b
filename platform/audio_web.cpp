// Audio in a web browser: the same calls as audio.cpp, over one <audio> element that plays the
// preloaded MP3. The element's currentTime is the heard position; after a start, seek or resume
// it is not trusted until the element says it plays (or has sought) again, as the desktop side
// waits for the next mixed buffer. The player (app/player.cpp) keeps it on the demo clock with
// the desktop's rules.
#include "platform/audio.h"

#include <emscripten.h>

#include <cstdio>
#include <string>

#include "platform/platform.h"
#include "platform/platform_shared.h"

// ---- constants ----
static const uint32_t kAudioVersion = 0x02030000;  // version 2.3 in the high word
// The browser reports where the element plays within a few ms; a seek lands a little late. The
// bound is the player's: a drift past it moves the track.
const double kMusicPositionBoundMs = 30.0;

// ---- globals ----
int audioStreamsOpened = 0;  // successful stream creations
int audioPlayRequests = 0;   // play calls that reached a stream

static bool deviceOpen = false;    // the element exists
static bool streamMade = false;    // handle 1 refers to it
static bool silentStream = false;  // offscreen: accepted, plays nothing
static bool musicMuted = false;    // M key

// ---- the element (Module.music) ----
EM_JS(void, JsAudioInit, (), {
    var a = new Audio();
    a.preload = "auto";
    Module.music = {el : a, known : false, started : false};
    var m = Module.music;
    a.addEventListener("playing", function() { m.known = !a.seeking; });
    a.addEventListener("seeked", function() { m.known = true; });
    a.addEventListener("ended", function() { m.known = false; });
});
// The file is read from the preloaded data into a blob the element can play.
EM_JS(int, JsAudioLoad, (const char* path), {
    try {
        var bytes = FS.readFile(UTF8ToString(path));
        Module.music.el.src = URL.createObjectURL(new Blob([bytes], {type : "audio/mpeg"}));
        return 1;
    } catch (e) {
        return 0;
    }
});
EM_JS(void, JsAudioPlay, (int fromStart), {
    var m = Module.music;
    m.known = false;
    m.started = true;
    if (fromStart) m.el.currentTime = 0;
    var p = m.el.play();
    // Refused before the page's click: the show goes on silent, as without an output device.
    if (p) p.catch(function(e) { console.warn("music: " + e.message); });
});
EM_JS(void, JsAudioStop, (), {
    var m = Module.music;
    m.el.pause();
    m.el.currentTime = 0;
    m.known = false;
    m.started = false;
});
EM_JS(int, JsAudioPaused, (), { return Module.music.el.paused ? 1 : 0; });
EM_JS(void, JsAudioPause, (int paused), {
    var m = Module.music;
    if (!m.started || m.el.ended) return;  // nothing plays: nothing to hold or resume
    if (paused) {
        m.el.pause();
    } else {
        m.known = false;
        var p = m.el.play();
        if (p) p.catch(function(e) { console.warn("music: " + e.message); });
    }
});
EM_JS(double, JsAudioPosition, (), {
    var m = Module.music;
    if (!m.started || !m.known || m.el.ended || m.el.seeking) return -1;
    return m.el.currentTime * 1000;
});
EM_JS(void, JsAudioSeek, (double ms), {
    var m = Module.music;
    m.known = false;
    m.el.currentTime = ms / 1000;
});
EM_JS(void, JsAudioMute, (int muted), { Module.music.el.muted = !!muted; });

// ---- the four calls ----
uint32_t BASS_GetVersion() { return kAudioVersion; }

bool BASS_Init(int /*device*/, uint32_t /*frequency*/, uint32_t /*flags*/, void* /*window*/, void* /*reserved*/) {
    if (deviceOpen) return true;
    if (platformHeadless) return false;  // stills are silent, as the desktop's dummy driver
    JsAudioInit();
    deviceOpen = true;
    return true;
}

HSTREAM BASS_StreamCreateFile(bool fromMemory, const char* file, uint64_t offset, uint64_t length, uint32_t /*flags*/) {
    if (fromMemory || offset != 0 || length != 0 || streamMade || silentStream) return 0;
    std::string path = ResolveDataPath(file);
    if (path.empty() || !LooksLikeMp3(path.c_str())) return 0;
    if (!deviceOpen)
        silentStream = true;
    else if (JsAudioLoad(path.c_str()))
        streamMade = true;
    else
        return 0;
    ++audioStreamsOpened;
    return 1;
}

bool BASS_ChannelPlay(HSTREAM handle, bool restart) {
    if (handle != 1) return false;
    ++audioPlayRequests;
    if (!streamMade) return silentStream;
    JsAudioPlay(restart ? 1 : 0);
    return true;
}

// ---- player controls ----
void MusicStop() {
    if (streamMade) JsAudioStop();
}

void MusicPause(bool paused) {
    if (!streamMade || paused == (JsAudioPaused() != 0)) return;
    JsAudioPause(paused ? 1 : 0);
}

double MusicPositionMs() { return streamMade ? JsAudioPosition() : -1.0; }

bool MusicSeek(double trackMs) {
    if (!streamMade) return false;
    JsAudioSeek(trackMs);
    return true;
}

void MusicMute(bool muted) {
    musicMuted = muted;
    if (streamMade) JsAudioMute(muted ? 1 : 0);
}

bool MusicMuted() { return musicMuted; }

bool DecodeAudioFile(const char* /*path*/, std::vector<int16_t>& samples, int& channels, int& rate) {
    // Tests and tools decode on the desktop; the page has nothing to decode for.
    samples.clear();
    channels = rate = 0;
    return false;
}
