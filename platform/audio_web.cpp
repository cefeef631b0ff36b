// Audio output in a web browser, over the Web Audio API; the rules over it are audio.cpp's. The
// page (web/page.js) makes the audio context, decodes the MP3 once before its question and unlocks
// the sound in the viewer's click; here the decoded track is played by one buffer source at a time.
// The heard position comes from the context's own clock, so it holds at any frame rate; the
// player (app/player.cpp) keeps it on the demo clock with the desktop's rules, and a correction
// is a new source at the new offset, cross-faded, never a gap.
#include "platform/audio_output.h"

#include <emscripten.h>

#include "platform/page.h"
#include "platform/platform.h"

// ---- constants ----
// Told to the player when the track can play but no source does (the decode came late, after a
// retry): far past any demo time (a negative place would read as silence), so the player moves
// the track to the picture at once.
static const double kNotPlacedMs = 1.0e9;

// ---- the voice (Module.music over the page's Module.sound) ----
// A voice is one buffer source through its own gain; `anchor` is the context time at which track
// position 0 is (or would have been) rendered. The context runs while the show plays and is
// suspended while it is held, so the track stands still with the picture.
EM_JS(int, JsAudioInit, (), {
    var s = Module.sound;
    if (!s || !s.ctx) return 0;
    var ctx = s.ctx, out = ctx.createGain();
    out.connect(ctx.destination);
    var m = {
        ctx : ctx, out : out, voice : null, started : false, held : false, corrections : 0,
        base : 0,  // page time (ms) at which context time 0 is heard, as best seen
        seenState : "", unsureSince : -1,
        kFadeS : 0.012, kLeadS : 0.15, kWindowMs : 2000, kUnsureMs : 3000
    };
    // Page time (ms) at which context time 0 is heard, from the last kWindowMs of readings. Where
    // the browser tells when its output is heard (getOutputTimestamp, on the page's clock and at
    // its rate) the median of those; elsewhere (WebKitGTK's runs on another base at twice real
    // time) from currentTime and the latency reported: currentTime moves in steps, one per block
    // the device asks for, and each reading comes some time after its step, so the smallest of
    // those offsets is the truest.
    m.latencyMs = function() { return ((ctx.baseLatency || 0) + (ctx.outputLatency || 0)) * 1000; };
    m.seen = [];
    m.stampsWrong = !ctx.getOutputTimestamp;
    m.heardBase = function() {
        var now = performance.now(), o = m.stampsWrong ? null : ctx.getOutputTimestamp(), heard = null;
        if (o && o.performanceTime > 0 && o.contextTime > 0) {
            if (Math.abs(o.performanceTime - now) > 1000) m.stampsWrong = true;
            heard = o.performanceTime - o.contextTime * 1000;
        }
        if (ctx.state !== m.seenState) {
            m.seenState = ctx.state;
            m.seen = [];
        }
        var fromTime = m.stampsWrong || heard === null;
        // A browser that tells when output is heard cannot for a moment after its device starts
        // (the show's start, a resume), and currentTime with the latency it reports is then some
        // hundred ms off: the heard place is unknown for that moment rather than corrected twice.
        // One whose stamps never come is taken at its currentTime after kUnsureMs.
        if (!fromTime || m.stampsWrong) m.unsureSince = -1;
        else if (m.unsureSince < 0) m.unsureSince = now;
        var x = fromTime ? now - ctx.currentTime * 1000 + m.latencyMs() : heard;
        m.seen.push([ now, x, fromTime ]);
        while (m.seen[0][0] < now - m.kWindowMs || m.seen[0][2] != fromTime) m.seen.shift();
        var v = m.seen.map(function(e) { return e[1]; }).sort(function(p, q) { return p - q; });
        m.base = fromTime ? v[0] : v[v.length >> 1];
        return now;
    };
    // The one heard position: the track's place (ms) heard at page time `at` (now when at < 0),
    // or -1 when nothing is heard (not started, ended, the context not running unless held) or
    // where is not known yet.
    m.heardMs = function(at) {
        if (!m.started || !m.voice) return -1;
        var p;
        if (ctx.state === "running") {
            var now = m.heardBase();
            if (m.unsureSince >= 0 && now - m.unsureSince <= m.kUnsureMs) return -1;
            p = (at >= 0 ? at : now) - m.base - m.voice.anchor * 1000;
        } else if (m.held) {
            p = (ctx.currentTime - m.voice.anchor) * 1000 - m.latencyMs();  // where it stands
        } else {
            return -1;
        }
        return p < 0 || p >= s.track.duration * 1000 ? -1 : p;
    };
    m.ended = function() { return !!m.voice && ctx.currentTime > m.voice.anchor + s.track.duration; };
    // The show plays and so should the track: the page tells the viewer when it cannot.
    m.wantsSound = function() { return m.started && !m.held && !m.ended(); };
    // A new voice heard at track place `ms` at page time `at`, faded in over the old one's fade-out.
    // The lead keeps `begin` ahead of what the graph has rendered (Firefox renders ahead of its
    // currentTime; a start in the past would play late).
    m.place = function(ms, at) {
        m.heardBase();
        var begin = ctx.currentTime + m.kLeadS;
        // Context time `begin` is heard at page time begin*1000 + base.
        var offset = (ms + (begin * 1000 + m.base - at)) / 1000, old = m.voice;
        var sounding = old && old.begin <= ctx.currentTime && ctx.state === "running";
        if (old) {
            if (sounding) {
                old.gain.gain.setValueAtTime(1, begin);
                old.gain.gain.linearRampToValueAtTime(0, begin + m.kFadeS);
                old.src.stop(begin + m.kFadeS);
            } else old.src.stop();
        }
        m.voice = null;
        if (offset >= s.track.duration) return;
        var v = {src : ctx.createBufferSource(), gain : ctx.createGain(), begin : begin};
        v.src.buffer = s.track;
        v.src.connect(v.gain);
        v.gain.connect(m.out);
        if (sounding) {
            v.gain.gain.setValueAtTime(0, begin);
            v.gain.gain.linearRampToValueAtTime(1, begin + m.kFadeS);
        }
        if (offset < 0) {
            v.begin = begin - offset;
            offset = 0;
        }
        v.src.start(v.begin, offset);
        v.anchor = v.begin - offset;
        m.voice = v;
        if (sounding) ++m.corrections;
    };
    Module.music = m;
    return 1;
});
EM_JS(void, JsAudioPlay, (double stamp), {
    var m = Module.music;
    m.started = true;
    m.held = false;
    if (Module.sound.track) m.place(0, stamp >= 0 ? stamp : performance.now());
    else Module.sound.refused("the track could not be decoded");
});
EM_JS(void, JsAudioStop, (), {
    var m = Module.music;
    if (m.voice) m.voice.src.stop();
    m.voice = null;
    m.started = false;
});
EM_JS(int, JsAudioHeld, (), { return Module.music.held ? 1 : 0; });
EM_JS(void, JsAudioHold, (int held), {
    var m = Module.music;
    // The context's clock stands still while suspended, so readings from before say nothing of
    // where it is heard after; none are taken meanwhile, so its state is never seen to change.
    if (m.held !== !!held) {
        m.seen = [];
        m.unsureSince = -1;
    }
    m.held = !!held;
    if (held) Module.sound.ctx.suspend().catch(function() {});
    else Module.sound.resume();
});
// Nothing to hold or resume before the start or after the end.
EM_JS(int, JsAudioPlaying, (), { return Module.music.started && !Module.music.ended() ? 1 : 0; });
// Positions are taken as of the animation frame's timestamp (the moment the show's clock stands
// for), not of the moment the call runs: a frame delayed inside the browser moves nothing.
EM_JS(double, JsAudioPosition, (double stamp, double notPlaced), {
    var m = Module.music;
    if (m.started && !m.voice && Module.sound.track && m.ctx.state === "running") return notPlaced;
    return m.heardMs(stamp);
});
EM_JS(void, JsAudioSeek, (double ms, double stamp), {
    var m = Module.music;
    if (m.started && Module.sound.track) m.place(ms, stamp >= 0 ? stamp : performance.now());
});
EM_JS(void, JsAudioMute, (int muted), { Module.music.out.gain.value = muted ? 0 : 1; });

// ---- the output ----
bool OutputOpen(uint32_t /*frequency*/) {
    if (platformHeadless) return false;  // stills are silent, as the desktop's dummy driver
    return JsAudioInit() != 0;           // no Web Audio: silent, as without an output device
}

// The page decodes data/brimvale.mp3 itself before it asks its question; the file was looked up
// and checked by the front, so a missing or broken one is told as on the desktop.
std::string OutputLoad(const char* /*path*/) { return std::string(); }

bool OutputPlay(bool /*restart*/) {
    JsAudioPlay(PlatformFrameStampMs());  // every play in the show starts the track afresh
    return true;
}

void OutputStop() { JsAudioStop(); }

bool OutputPaused() { return JsAudioHeld() != 0; }

void OutputPause(bool paused) {
    if (JsAudioPlaying()) JsAudioHold(paused ? 1 : 0);
}

double OutputPositionMs() { return JsAudioPosition(PlatformFrameStampMs(), kNotPlacedMs); }

bool OutputSeek(double trackMs) {
    JsAudioSeek(trackMs, PlatformFrameStampMs());
    return true;
}

void OutputMute(bool muted) { JsAudioMute(muted ? 1 : 0); }

bool OutputDecode(const char* /*path*/, std::vector<int16_t>& /*samples*/, int& channels, int& rate) {
    // Tests and tools decode on the desktop; the page has nothing to decode for.
    channels = rate = 0;
    return false;
}
