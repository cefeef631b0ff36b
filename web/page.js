// The page around the show: loading progress, the opening question (whose click also unlocks the
// sound), the end card, faults, the sound's notice, and the URL parameters turned into the
// program's options; and for a viewer holding a phone: the player's controls under a tap, the
// note that turning the phone gives a bigger picture, and a screen that stays on while it plays.
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
    hand.end();  // no controls over a fault, and the screen may sleep
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
      hand.end();
      show("end", true);
      $("again").focus();
      window.brimvale.ended = true;
    },
    shotsDone(text, status) {
      window.brimvale.shotsStatus = status;
    },
    // The player's state as its keys left it: 1 paused, 2 muted.
    player(text, flags) {
      hand.player((flags & 1) !== 0, (flags & 2) !== 0);
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
    // "/shots/T.png", or "/snapshot.png" after snapshot(): the frame the page shows now.
    file(name) {
      const bytes = Module.FS.readFile(name);
      let text = "";
      for (let i = 0; i < bytes.length; i += 0x8000) text += String.fromCharCode.apply(null, bytes.subarray(i, i + 0x8000));
      return btoa(text);
    },
    snapshot() { Module._WebSnapshotNextFrame(); },
    endSnapshot() { Module._WebEndSnapshot(); },
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
    // The screen wake lock's sentinel while one was taken (its `released` says whether it still
    // holds), and what the browser answered to the last request and to the landscape request.
    wakeLock: null,
    wakeLockAnswer: "",
    orientationAnswer: "",
  };

  // ---- a viewer's hand: touch controls, the turn-your-phone note, a screen that stays on ----
  const hand = (function () {
    const kStripShownMs = 4000;  // the controls hide themselves after this long untouched
    const kTurnNoteMs = 8000;    // the note over the show's first seconds
    let live = false, paused = false, muted = false;
    let stripTimer = 0, turnTimer = 0;
    let lockAsked = false;  // a wake lock request is under way

    // A control does exactly what its key does: the key goes through the same listeners as the
    // keyboard's (the program's and the page's own).
    function pressKey(key) {
      for (const type of ["keydown", "keyup"]) window.dispatchEvent(new KeyboardEvent(type, { key, bubbles: true, cancelable: true }));
    }
    function showStrip(on) {
      clearTimeout(stripTimer);
      show("controls", on && live);
      if (on && live) stripTimer = setTimeout(() => show("controls", false), kStripShownMs);
    }
    function label() {
      $("pause").textContent = paused ? "Play" : "Pause";
      $("mute").textContent = muted ? "Sound on" : "Mute";
    }

    // Held while the show plays in a visible tab; the browser lets go of it when the tab is hidden.
    function keepScreenOn() {
      const wanted = live && !paused && document.visibilityState === "visible";
      const lock = window.brimvale.wakeLock;
      if (!wanted) {
        if (lock && !lock.released) lock.release().catch(() => {});
        return;
      }
      if ((lock && !lock.released) || lockAsked) return;
      if (!navigator.wakeLock) {
        // Only secure contexts have one (127.0.0.1 is one; a phone reaching a laptop over http is not).
        window.brimvale.wakeLockAnswer = window.isSecureContext ? "none in this browser" : "none: not a secure context";
        return;
      }
      lockAsked = true;
      navigator.wakeLock.request("screen").then((sentinel) => {
        window.brimvale.wakeLock = sentinel;
        window.brimvale.wakeLockAnswer = "held";
      }, (e) => {
        window.brimvale.wakeLockAnswer = `refused (${e.name})`;
      }).finally(() => {
        lockAsked = false;
        keepScreenOn();  // the state may have changed while the browser answered
      });
    }

    // In full screen a phone shows the 4:3 picture best sideways; browsers that refuse the lock
    // (desktops, or no full screen) leave the show as it is.
    function askLandscape() {
      if (!screen.orientation || !screen.orientation.lock) {
        window.brimvale.orientationAnswer = "no orientation lock in this browser";
        return;
      }
      screen.orientation.lock("landscape").then(() => { window.brimvale.orientationAnswer = "landscape"; },
        (e) => { window.brimvale.orientationAnswer = `refused (${e.name})`; });
    }

    // A tap on the picture shows the controls, the next one hides them; a mouse does neither.
    canvas.addEventListener("pointerup", (e) => {
      if (e.pointerType === "touch") showStrip($("controls").hidden);
    });
    for (const button of $("controls").querySelectorAll("button"))
      button.addEventListener("click", () => {
        canvas.focus();  // a focused button keeps its keys from the show (Space and Enter press it)
        pressKey(button.dataset.key);
        showStrip(button.id !== "leave");
      });
    document.addEventListener("visibilitychange", keepScreenOn);
    // Browsers without dynamic viewport units: the window's inner height is the visible area.
    if (window.CSS && !CSS.supports("height", "100dvh")) {
      const fit = () => { if (!canvas.classList.contains("stills")) canvas.style.height = `${window.innerHeight}px`; };
      window.addEventListener("resize", fit);
      fit();
    }
    // Phones' browsers that give full screen only to videos: "Yes" plays at the window's size.
    if (!document.fullscreenEnabled)
      $("questionhelp").textContent = "This browser shows only videos full screen: both play in the page, at the window's full size, with the show's sound.";

    return {
      askLandscape,
      // The program's first frame of a show, and each change of its pause or mute.
      player(isPaused, isMuted) {
        if (!live) {
          live = true;
          show("turn", true);
          clearTimeout(turnTimer);
          turnTimer = setTimeout(() => show("turn", false), kTurnNoteMs);
        }
        paused = isPaused;
        muted = isMuted;
        label();
        keepScreenOn();
      },
      end() {
        live = false;
        showStrip(false);
        show("turn", false);
        keepScreenOn();
      },
    };
  })();

  function start(full) {
    sound.unlock();  // first: full screen may use up the click's permission to start sound
    show("question", false);
    const mode = full ? "--fullscreen" : "--windowed";
    if (full && document.fullscreenEnabled && document.documentElement.requestFullscreen)
      document.documentElement.requestFullscreen().then(hand.askLandscape, () => {});
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
  // The touch controls' Leave (an untrusted key) ends the show at once.
  window.addEventListener("keydown", (e) => {
    if (e.key !== "Escape" || !document.fullscreenElement || !e.isTrusted) return;
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
