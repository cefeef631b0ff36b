// The page around the show: loading progress, the opening question (whose click also lets the
// sound start), the end card, faults, and the URL parameters turned into the program's options;
// and for a viewer holding a phone: the player's controls under a tap, the note that turning the
// phone gives a bigger picture, and a screen that stays on while the show plays.
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

  // What the program tells the page (platform/page.h).
  const page = {
    message(text) {
      const li = document.createElement("li");
      li.textContent = text;
      $("boxes").appendChild(li);
      setTimeout(() => li.remove(), 8000);
    },
    progress(text, share) {
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
    fault: "",
    shotsStatus: null,
    // "/shots/T.png", or "/held.png" after hold(): the frame the page shows now.
    file(name) {
      const bytes = Module.FS.readFile(name);
      let text = "";
      for (let i = 0; i < bytes.length; i += 0x8000) text += String.fromCharCode.apply(null, bytes.subarray(i, i + 0x8000));
      return btoa(text);
    },
    hold() { Module._WebHoldNextFrame(); },
    release() { Module._WebReleaseFrame(); },
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
      show("loading", false);
      if (stills) {
        canvas.classList.add("stills");
        Module.callMain(args);
      } else {
        show("question", true);
        $("yes").focus();
      }
    },
  };

  // A data file that does not arrive is thrown from the loader's own request handlers.
  window.addEventListener("error", (e) => {
    const text = String(e.message || "");
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
