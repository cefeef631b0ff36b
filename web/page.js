// The page around the show: loading progress, the opening question (whose click also unlocks the
// sound), the end card, faults, the sound's notice, and the URL parameters turned into the
// program's options.
//   ?from=MS   start late (the show before it is replayed unseen, in pieces, with progress)
//   ?seed=N    fixed random seed for the particle field
//   ?loop      start again at the end
//   ?shots=T1,T2,...  render those demo times at 1024 x 768 into /shots/T.png (the browser check)
"use strict";
(function () {
  const $ = (id) => document.getElementById(id);
  const params = new URLSearchParams(location.search);
  const args = [];
  if (params.has("from")) args.push("--from", params.get("from"));
  if (params.has("seed")) args.push("--seed", params.get("seed"));
  if (params.has("loop") && params.get("loop") !== "0") args.push("--loop");
  const stills = params.has("shots");
  if (stills) args.push("--shots", params.get("shots"), "/shots");
  const canvas = $("canvas");
  let faulted = false;

  function show(id, on) { $(id).hidden = !on; }
  function fault(text) {
    if (faulted) return;
    faulted = true;
    ["loading", "question", "progress", "end"].forEach((id) => show(id, false));
    $("faulttext").textContent = text;
    show("fault", true);
    canvas.hidden = true;
    window.brimvale.fault = text;
  }

  // ---- sound ----
  // One audio context, made at load (browsers hold it suspended until the viewer clicks), and the
  // soundtrack decoded from the preloaded data once, before the question; the show's audio
  // (platform/audio_web.cpp) plays it. Every click that starts the show unlocks the sound in the
  // click itself, before anything asynchronous. Where the browser still refuses, the context is
  // suspended by someone else, or the track cannot be decoded, the show plays on silent and one
  // line says so; the next tap or key tries again.
  const kTrack = "/data/brimvale.mp3";  // inside brimvale.data
  const kRefusedGraceMs = 1500;          // a context may take this long to start running
  const kLatencyHintS = 0.1;  // about 0.4 s heard latency in Chromium: a pause is heard that late
  const AudioContextType = window.AudioContext || window.webkitAudioContext;
  const sound = {
    ctx: null,
    track: null,    // the decoded AudioBuffer
    failure: "",    // why the last decode failed
    decoding: false,
    tries: 0,       // decodes begun
    unlocks: 0,     // clicks and keys that unlocked
    wrongSince: -1, // page time since when the show plays without being heard
    decode() {
      if (!sound.ctx || sound.decoding) return Promise.resolve();
      sound.decoding = true;
      sound.tries++;
      return new Promise((done) => {
        const finish = (why, buffer) => {
          sound.decoding = false;
          sound.failure = why;
          if (buffer) sound.track = buffer;
          if (why) console.warn(`music: ${why}`);
          done();
        };
        let bytes;
        try {
          bytes = Module.FS.readFile(kTrack).slice().buffer;  // decoding takes the buffer over
        } catch (e) {
          finish(`${kTrack} is not in the data`);
          return;
        }
        const p = sound.ctx.decodeAudioData(bytes, (buffer) => finish("", buffer),
          (e) => finish(`the track could not be decoded (${(e && e.message) || e})`));
        if (p && p.catch) p.catch(() => {});  // told through the callback
      });
    },
    resume() {
      if (sound.ctx && sound.ctx.state !== "running") sound.ctx.resume().catch(() => {});
    },
    // Synchronously inside a click or key handler: the browser counts it as the viewer's wish.
    unlock() {
      if (navigator.audioSession) {
        try { navigator.audioSession.type = "playback"; } catch (e) { /* a phone's silent switch then mutes it */ }
      }
      if (!sound.ctx) return;
      sound.unlocks++;
      const tick = sound.ctx.createBufferSource();
      tick.buffer = sound.ctx.createBuffer(1, 1, sound.ctx.sampleRate);
      tick.connect(sound.ctx.destination);
      tick.start(0);
      sound.resume();
      if (!sound.track) sound.decode();
    },
    refused(why) {
      sound.failure = why;
      sound.wrongSince = -kRefusedGraceMs;
      watchSound();
    },
  };
  try {
    // Long buffers, which a busy machine does not run dry (the browser's own choice for
    // "playback" still did at load 9); the heard position allows for the latency they add.
    if (AudioContextType && !stills) sound.ctx = new AudioContextType({ latencyHint: kLatencyHintS });  // stills are silent
  } catch (e) {
    console.warn(`music: no audio context (${e.message})`);
  }

  // The notice is shown while the show plays unheard, and hidden as soon as it is heard.
  function watchSound() {
    const m = Module.music;
    const unheard = !!m && m.wantsSound() && (!sound.track || sound.ctx.state !== "running");
    if (!unheard) sound.wrongSince = -1;
    else if (sound.wrongSince === -1) sound.wrongSince = performance.now();
    show("soundnote", unheard && performance.now() - sound.wrongSince >= kRefusedGraceMs);
  }
  setInterval(watchSound, 250);
  const retrySound = () => { if (!$("soundnote").hidden) sound.unlock(); };
  for (const type of ["click", "touchend", "keydown"]) window.addEventListener(type, retrySound, true);

  // What the program tells the page (platform/page.h).
  window.addEventListener("unhandledrejection", (e) => window.brimvale.errors.push(`unhandled: ${e.reason}`));
  const consoleError = console.error.bind(console);
  console.error = (...a) => { window.brimvale.errors.push(a.join(" ")); consoleError(...a); };
  const page = {
    message(text) {
      const li = document.createElement("li");
      li.textContent = text;
      $("boxes").appendChild(li);
      setTimeout(() => li.remove(), 8000);
    },
    progress(text, share) {
      if (text !== "") window.brimvale.pieces++;
      show("progress", text !== "");
      $("progresstext").textContent = text;
      $("progressbar").value = share;
    },
    end() {
      if (document.fullscreenElement) document.exitFullscreen().catch(() => {});
      canvas.style.cursor = "";
      show("end", true);
      $("again").focus();
      window.brimvale.ended = true;
    },
    shotsDone(text, status) {
      window.brimvale.shotsStatus = status;
    },
    fault,
  };

  // The browser check reads the stills through this; each is the program's own PNG.
  window.brimvale = {
    ended: false,
    errors: [],  // the page's uncaught errors and console errors, for checks in any browser
    fault: "",
    shotsStatus: null,
    pieces: 0,  // animation frames that ran a piece of a replay or of the stills
    // "/shots/T.png", or "/held.png" after hold(): the frame the page shows now.
    file(name) {
      const bytes = Module.FS.readFile(name);
      let text = "";
      for (let i = 0; i < bytes.length; i += 0x8000) text += String.fromCharCode.apply(null, bytes.subarray(i, i + 0x8000));
      return btoa(text);
    },
    hold() { Module._WebHoldNextFrame(); },
    release() { Module._WebReleaseFrame(); },
    // The demo clock moved on by ms at the next frame, as a stall would (the check forces a
    // correction of the music with it).
    shiftClock(ms) { Module._WebShiftClock(ms); },
    // What the page knows of its sound; heardMs is the one heard position the show follows.
    sound() {
      const m = Module.music, c = sound.ctx;
      return { state: c ? c.state : "none", rate: c ? c.sampleRate : 0, decoded: !!sound.track, tries: sound.tries,
        unlocks: sound.unlocks, notice: !$("soundnote").hidden, failure: sound.failure,
        heardMs: m ? m.heardMs(-1) : -1, corrections: m ? m.corrections : 0, held: m ? m.held : false,
        outputLatencyMs: c ? ((c.baseLatency || 0) + (c.outputLatency || 0)) * 1000 : 0 };
    },
  };

  function start(full) {
    sound.unlock();  // first: full screen may use up the click's permission to start sound
    show("question", false);
    const mode = full ? "--fullscreen" : "--windowed";
    if (full && document.documentElement.requestFullscreen)
      document.documentElement.requestFullscreen().catch(() => {});
    canvas.focus();
    Module.callMain(stills ? args : args.concat([mode]));
  }

  window.Module = {
    canvas,
    page,
    sound,
    print: (text) => console.log(text),
    printErr: (text) => console.warn(text),
    setStatus(text) {
      const m = /\((\d+)\/(\d+)\)/.exec(text);
      if (m) {
        $("loadbar").max = Number(m[2]);
        $("loadbar").value = Number(m[1]);
        $("loadtext").textContent = `${(m[1] / 1048576).toFixed(1)} of ${(m[2] / 1048576).toFixed(1)} MB`;
      }
    },
    onAbort(what) { fault(`The program stopped: ${what}`); },
    onRuntimeInitialized() {
      if (stills) {
        show("loading", false);
        canvas.classList.add("stills");
        Module.callMain(args);
        return;
      }
      // The loading card stays up while the track decodes: the question promises sound.
      $("loadtext").textContent = "Decoding the music";
      sound.decode().then(() => {
        show("loading", false);
        show("question", true);
        $("yes").focus();
      });
    },
  };

  // A data file that does not arrive is thrown from the loader's own request handlers.
  window.addEventListener("error", (e) => {
    const text = String(e.message || "");
    window.brimvale.errors.push(text);
    if (/NetworkError|brimvale\.(data|wasm)/.test(text)) fault(`A data file failed to download (${text.replace(/^Uncaught Error: /, "")}).`);
  });
  // In full screen the first Escape leaves it (the browser's own, or ours where the browser lets
  // the key through) and the show plays on in the page; only the next one is the show's.
  // Registered before the program's own listener, so it runs first.
  window.addEventListener("keydown", (e) => {
    if (e.key !== "Escape" || !document.fullscreenElement) return;
    e.stopImmediatePropagation();
    document.exitFullscreen().catch(() => {});
  }, true);
  document.addEventListener("fullscreenchange", () => { if (!document.fullscreenElement) canvas.style.cursor = ""; });
  // The page keeps the keyboard: a click anywhere gives the focus back to the show.
  document.addEventListener("mousedown", () => { if (!$("question").hidden || !$("end").hidden) return; canvas.focus(); });
  $("yes").addEventListener("click", () => start(true));
  $("no").addEventListener("click", () => start(false));
  $("again").addEventListener("click", () => {
    sound.unlock();
    show("end", false);
    window.brimvale.ended = false;
    canvas.focus();
    Module._WebPlayAgain();
  });

  if (!document.createElement("canvas").getContext("webgl")) {
    fault("This browser gives the page no WebGL, which the show draws with. Turn on hardware acceleration (or WebGL) in the browser's settings, or try another browser.");
    return;
  }
  const script = document.createElement("script");
  script.src = "brimvale.js";
  script.onerror = () => fault("A file failed to download (brimvale.js).");
  document.body.appendChild(script);
})();
