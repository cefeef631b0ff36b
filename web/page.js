// The page around the show: loading progress, the opening question (whose click also lets the
// sound start), the end card, faults, and the URL parameters turned into the program's options.
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
  };

  function start(full) {
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
