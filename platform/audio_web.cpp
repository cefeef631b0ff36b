// Audio in a web browser: the same calls as audio.cpp, over one <audio> element that plays the
// preloaded MP3. The element's currentTime is the heard position (the browser carries it on
// between audio buffers). The player (app/player.cpp) keeps it on the demo clock with the
// desktop's rules.
#include "platform/audio.h"

#include <emscripten.h>

#include <cstdio>
#include <string>

#include "platform/page.h"
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
static std::string streamRefusal;  // what was wrong with the last soundtrack refused

// ---- the element (Module.music) ----
// After a start, seek or resume the element's position stands still until playback really goes
// on: it is not reported until it moves (the desktop side waits for the next mixed buffer the
// same way). A seek lands late by the time the element takes to go on playing; that time is
// measured at each seek and the next seek aims ahead by it, as the desktop aims a buffer ahead.
EM_JS(void, JsAudioInit, (), {
    Module.music = {el : new Audio(), started : false, settle : null, leadMs : 0};
    Module.music.el.preload = "auto";
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
EM_JS(void, JsAudioGo, (), {
    var m = Module.music;
    m.settle = {from : m.el.currentTime * 1000};
    var p = m.el.play();
    // Refused before the page's click: the show goes on silent, as without an output device.
    if (p) p.catch(function(e) { console.warn("music: " + e.message); });
});
EM_JS(void, JsAudioPlay, (int fromStart), {
    var m = Module.music;
    m.started = true;
    if (fromStart) m.el.currentTime = 0;
});
EM_JS(void, JsAudioStop, (), {
    var m = Module.music;
    m.el.pause();
    m.el.currentTime = 0;
    m.started = false;
    m.settle = null;
});
EM_JS(int, JsAudioPaused, (), { return Module.music.el.paused ? 1 : 0; });
// Nothing to hold or resume before the start or after the end.
EM_JS(int, JsAudioPlaying, (), { return Module.music.started && !Module.music.el.ended ? 1 : 0; });
// Positions are taken as of the animation frame's timestamp (the moment the show's clock stands
// for), not of the moment the call runs: a frame delayed inside the browser moves nothing.
EM_JS(double, JsAudioPosition, (double stamp), {
    var m = Module.music, a = m.el;
    if (!m.started || a.ended || a.seeking) return -1;
    var now = a.currentTime * 1000;
    if (a.paused) return now;  // where the track stands
    var s = m.settle;
    if (s) {
        if (now == s.from) return -1;  // not playing yet
        if (s.seekAt !== undefined) {
            // Where it would be had it gone on at once, less where it is: the seek's delay.
            var late = s.from + (performance.now() - s.seekAt) - now;
            m.leadMs = Math.min(Math.max(late, 0), 250);
        }
        m.settle = null;
    }
    return stamp >= 0 ? now - (performance.now() - stamp) : now;
});
EM_JS(void, JsAudioSeek, (double ms, double stamp), {
    var m = Module.music, target = ms + m.leadMs + (stamp >= 0 ? performance.now() - stamp : 0);
    m.el.currentTime = target / 1000;
    m.settle = {from : target, seekAt : performance.now()};
});
EM_JS(void, JsAudioHold, (), { Module.music.el.pause(); });
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
    streamRefusal.clear();
    std::string path = ResolveDataPath(file);
    if (path.empty()) return 0;
    if (!LooksLikeMp3(path.c_str())) {
        streamRefusal = path + " is an MP3 the decoder refuses (no MP3 header at its start)";
        return 0;
    }
    if (!deviceOpen) {
        silentStream = true;
    } else if (JsAudioLoad(path.c_str())) {
        streamMade = true;
    } else {
        streamRefusal = path + " could not be handed to the page's audio element";
        return 0;
    }
    ++audioStreamsOpened;
    return 1;
}

bool BASS_ChannelPlay(HSTREAM handle, bool restart) {
    if (handle != 1) return false;
    ++audioPlayRequests;
    if (!streamMade) return silentStream;
    JsAudioPlay(restart ? 1 : 0);
    JsAudioGo();
    return true;
}

const char* StreamRefusal() { return streamRefusal.c_str(); }

// ---- player controls ----
void MusicStop() {
    if (streamMade) JsAudioStop();
}

void MusicPause(bool paused) {
    if (!streamMade || !JsAudioPlaying() || paused == (JsAudioPaused() != 0)) return;
    if (paused)
        JsAudioHold();
    else
        JsAudioGo();
}

double MusicPositionMs() { return streamMade ? JsAudioPosition(PlatformFrameStampMs()) : -1.0; }

bool MusicSeek(double trackMs) {
    if (!streamMade) return false;
    JsAudioSeek(trackMs, PlatformFrameStampMs());
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
