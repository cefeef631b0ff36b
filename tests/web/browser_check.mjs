// The show in a real browser, driven over WebDriver (chromedriver's HTTP protocol, Node's own
// fetch; no package). Called by scripts/web-check, which builds, serves and judges the stills.
//   node browser_check.mjs DRIVER_URL PAGE_URL BARE_PAGE_URL TIMES FRAMES_DIR OUT_DIR
// PAGE_URL serves the build, BARE_PAGE_URL the same without its data file. Prints one PASS or
// FAIL line per check; the exit status is the number of failures (capped). The sound runs need
// what web-check sets up: BRIMVALE_SINK (the null sink to record), BRIMVALE_XDISPLAY (Firefox's
// and WebKit's X server) and BRIMVALE_WEBKIT_DRIVER (WebKitWebDriver's address).
import fs from "node:fs";
import path from "node:path";
import zlib from "node:zlib";
import { decodeTrack, judge, record } from "./hearing.mjs";
import { openFirefox, within } from "./marionette.mjs";

const [driver, pageUrl, barePageUrl, times, framesDir, outDir] = process.argv.slice(2);
// Software WebGL either way: Mesa's llvmpipe under Chromium's ANGLE (the rasteriser the reference
// frames were made with) or Chromium's own SwiftShader.
const kRenderers = {
  llvmpipe: ["--use-angle=gl-egl", "--ignore-gpu-blocklist"],
  swiftshader: ["--use-angle=swiftshader", "--enable-unsafe-swiftshader"],
};
// The stills are judged on the references' rasteriser; live play runs on the browser's own.
const rendererFor = (group) => process.env.BRIMVALE_WEB_RENDERER || (group === "stills" || group === "cost" ? "llvmpipe" : "swiftshader");
let failures = 0;
let liveMs = 0;  // seconds of live page, from the click that started the show to the session's end
const pass = (text) => console.log(`PASS ${text}`);
const fail = (text) => { failures++; console.log(`FAIL ${text}`); };
const sleep = (ms) => new Promise((r) => setTimeout(r, ms));

// ---- WebDriver ----
const wd = (method, route, body) => wdAt(driver, method, route, body);
async function wdAt(base, method, route, body) {
  const res = await fetch(base + route, {
    method,
    headers: { "content-type": "application/json" },
    body: body === undefined ? undefined : JSON.stringify(body),
    signal: AbortSignal.timeout(120000),
  });
  const json = await res.json();
  if (!res.ok) throw new Error(`${method} ${route}: ${json.value && json.value.message}`);
  return json.value;
}

async function openBrowser(group, extraArgs = [], size = "1280,1024", moreOptions = {}) {
  const profile = fs.mkdtempSync(path.join(outDir, "profile-"));
  const session = await wd("POST", "/session", {
    capabilities: {
      alwaysMatch: {
        browserName: "chrome",
        "goog:loggingPrefs": { browser: "ALL", ...(moreOptions.perfLoggingPrefs ? { performance: "ALL" } : {}) },
        "goog:chromeOptions": {
          binary: "/usr/bin/chromium",
          args: [
            "--headless=new", "--no-sandbox", ...kRenderers[rendererFor(group)],
            // Nothing but the page: this machine reaches no network.
            "--disable-background-networking", "--disable-component-update", "--disable-sync",
            "--no-first-run", "--disable-quic", "--disable-features=MediaRouter,OptimizationHints",
            `--window-size=${size}`, "--force-device-scale-factor=1", `--user-data-dir=${profile}`,
            ...extraArgs,
          ],
          ...moreOptions,
        },
      },
    },
  });
  const id = session.sessionId;
  await wd("POST", `/session/${id}/timeouts`, { pageLoad: 60000, script: 60000 });
  const b = {
    id,
    go: (url) => wd("POST", `/session/${id}/url`, { url }),
    run: (script, ...args) => wd("POST", `/session/${id}/execute/sync`, { script, args }),
    async click(css) {
      const el = await wd("POST", `/session/${id}/element`, { using: "css selector", value: css });
      const asked = Date.now();
      await wd("POST", `/session/${id}/element/${Object.values(el)[0]}/click`, {});
      b.slowestAnswerMs = Math.max(b.slowestAnswerMs, Date.now() - asked);  // a click waits for a busy page
      if ((css === "#yes" || css === "#no") && !b.liveSince) b.liveSince = Date.now();
    },
    // Held for a while, as a person holds a key: a release queued before the next frame would
    // hide the press from the show.
    key: (value, holdMs = 150) =>
      wd("POST", `/session/${id}/actions`, {
        actions: [{ type: "key", id: "keyboard", actions: [
          { type: "keyDown", value }, { type: "pause", duration: holdMs }, { type: "keyUp", value }] }],
      }),
    cdp: (cmd, params = {}) => wd("POST", `/session/${id}/goog/cdp/execute`, { cmd, params }),
    // Fingers on the screen (WebDriver's touch pointers): taps at a point, each 60 ms down.
    async touch(x, y, taps = 1) {
      const acts = [{ type: "pointerMove", duration: 0, x: Math.round(x), y: Math.round(y) }];
      for (let i = 0; i < taps; i++)
        acts.push({ type: "pointerDown", button: 0 }, { type: "pause", duration: 60 }, { type: "pointerUp", button: 0 }, { type: "pause", duration: 80 });
      await wd("POST", `/session/${id}/actions`, { actions: [{ type: "pointer", id: "finger", parameters: { pointerType: "touch" }, actions: acts }] });
      await wd("DELETE", `/session/${id}/actions`);
    },
    // A tap on the middle of an element.
    async tap(css) {
      const r = await b.run(`const r = document.querySelector(arguments[0]).getBoundingClientRect(); return [r.x + r.width / 2, r.y + r.height / 2];`, css);
      await b.touch(r[0], r[1]);
      if ((css === "#yes" || css === "#no") && !b.liveSince) b.liveSince = Date.now();
    },
    // Two fingers spread apart from a point, as a viewer zooms in.
    async pinch(x, y) {
      const finger = (name, dx) => ({ type: "pointer", id: name, parameters: { pointerType: "touch" }, actions: [
        { type: "pointerMove", duration: 0, x: x + dx, y }, { type: "pointerDown", button: 0 },
        { type: "pointerMove", duration: 300, x: x + dx * 4, y }, { type: "pointerUp", button: 0 }] });
      await wd("POST", `/session/${id}/actions`, { actions: [finger("one", -20), finger("two", 20)] });
      await wd("DELETE", `/session/${id}/actions`);
    },
    screenshot: async () => Buffer.from(await wd("GET", `/session/${id}/screenshot`), "base64"),
    log: (type = "browser") => wd("POST", `/session/${id}/se/log`, { type }),
    close() {
      if (b.liveSince) liveMs += Date.now() - b.liveSince;
      b.liveSince = 0;
      return wd("DELETE", `/session/${id}`).catch(() => {});
    },
    liveSince: 0,  // when the show was started by a click, for the seconds of live page
    slowestAnswerMs: 0,  // the longest the page took to answer a poll: a frozen tab shows here
    async waitFor(script, limitMs, what) {
      const until = Date.now() + limitMs;
      for (;;) {
        const asked = Date.now();
        const v = await b.run(script);
        b.slowestAnswerMs = Math.max(b.slowestAnswerMs, Date.now() - asked);
        if (v) return v;
        if (Date.now() > until) throw new Error(`timed out after ${limitMs / 1000} s waiting for ${what}`);
        await sleep(250);
      }
    },
  };
  return b;
}

// ---- PNG (8-bit RGB or RGBA, as Chromium and the program write them) ----
function decodePng(buf) {
  let at = 8, w = 0, h = 0, channels = 0;
  const idat = [];
  while (at < buf.length) {
    const len = buf.readUInt32BE(at), type = buf.toString("ascii", at + 4, at + 8);
    const data = buf.subarray(at + 8, at + 8 + len);
    if (type === "IHDR") {
      w = data.readUInt32BE(0);
      h = data.readUInt32BE(4);
      if (data[8] !== 8 || (data[9] !== 2 && data[9] !== 6) || data[12] !== 0) throw new Error("unexpected PNG format");
      channels = data[9] === 6 ? 4 : 3;
    } else if (type === "IDAT") idat.push(data);
    at += 12 + len;
  }
  const raw = zlib.inflateSync(Buffer.concat(idat));
  const stride = w * channels, px = Buffer.alloc(w * h * 4, 255);
  let prev = Buffer.alloc(stride), row = Buffer.alloc(stride);
  for (let y = 0; y < h; y++) {
    const f = raw[y * (stride + 1)], src = raw.subarray(y * (stride + 1) + 1, (y + 1) * (stride + 1));
    for (let i = 0; i < stride; i++) {
      const a = i >= channels ? row[i - channels] : 0, b = prev[i], c = i >= channels ? prev[i - channels] : 0;
      let p = src[i];
      if (f === 1) p += a;
      else if (f === 2) p += b;
      else if (f === 3) p += (a + b) >> 1;
      else if (f === 4) { const q = a + b - c, pa = Math.abs(q - a), pb = Math.abs(q - b), pc = Math.abs(q - c); p += pa <= pb && pa <= pc ? a : pb <= pc ? b : c; }
      row[i] = p & 255;
    }
    for (let x = 0; x < w; x++) for (let k = 0; k < 3; k++) px[(y * w + x) * 4 + k] = row[x * channels + k];
    [prev, row] = [row, prev];
  }
  return { w, h, px };
}

// The WebGL renderer the browser gives the page.
const rendererName = (b) => b.run(`const gl = document.createElement("canvas").getContext("webgl"),
  e = gl && gl.getExtension("WEBGL_debug_renderer_info"); return e ? gl.getParameter(e.UNMASKED_RENDERER_WEBGL) : "?";`);

async function severeLogs(b) {
  return (await b.log()).filter((e) => e.level === "SEVERE").map((e) => e.message);
}

// ---- the stills: the reference times at exactly 1024 x 768 ----
// Chromium's software GPU process has once reset the context seconds into a fresh machine's first
// run, never again in that machine's later runs: a lost context gets one more browser, said aloud.
async function stills() {
  if (await stillsRun(true) === "lost") await stillsRun(false);
}
async function stillsRun(again) {
  const b = await openBrowser("stills");
  try {
    const t0 = Date.now();
    await b.go(`${pageUrl}?seed=1&shots=${times}`);
    const status = await b.waitFor("return window.brimvale && window.brimvale.shotsStatus !== null && " +
      "(window.brimvale.shotsStatus + 1) || window.brimvale.fault && -1", 900000, "the stills");
    const took = (Date.now() - t0) / 1000;
    if (status !== 1) {
      const fault = await b.run("return window.brimvale.fault");
      if (again && /context was lost/.test(fault)) {
        console.log(`stills: the WebGL context was lost ${took.toFixed(0)} s into the run; once more in a new browser`);
        return "lost";
      }
      fail(`stills: the page ended the run with status ${status - 1} (${fault})`);
      return;
    }
    const size = await b.run("return [Module.canvas.width, Module.canvas.height]");
    const gpu = await rendererName(b);
    fs.mkdirSync(framesDir, { recursive: true });
    const list = times.split(",");
    for (const t of list)
      fs.writeFileSync(path.join(framesDir, `${t}.png`), Buffer.from(await b.run(`return brimvale.file("/shots/${t}.png")`), "base64"));
    const errors = await severeLogs(b);
    if (size[0] === 1024 && size[1] === 768 && errors.length === 0)
      pass(`stills: ${list.length} frames rendered in the page at 1024 x 768 in ${took.toFixed(0)} s on ${gpu}, written by the program's own PNG writer`);
    else fail(`stills: canvas ${size.join(" x ")}, console errors: ${errors.join(" | ")}`);
    // The tab answers because the run is cut into pieces, one an animation frame: counted, not timed.
    const pieces = await b.run("return brimvale.pieces");
    if (pieces >= kManyPieces && b.slowestAnswerMs < kHangMs)
      pass(`stills: the run spread over ${pieces} animation frames and the tab answered every poll (slowest ${b.slowestAnswerMs} ms)`);
    else fail(`stills: the run took ${pieces} animation frames (at least ${kManyPieces} expected), slowest answer ${b.slowestAnswerMs} ms`);
  } finally {
    await b.close();
  }
}

// ---- a late start: replayed in pieces, with a progress line ----
async function lateStart() {
  const b = await openBrowser("live");
  try {
    await b.go(`${pageUrl}?seed=1&from=100000`);
    await b.waitFor("return !document.getElementById('question').hidden", 60000, "the question");
    await b.click("#no");
    const progress = await b.waitFor("return !document.getElementById('progress').hidden && " +
      "document.getElementById('progresstext').textContent", 30000, "the progress line").catch(() => "");
    // Polled, so the frame seen may be well after the first one on a loaded machine: the page
    // keeps the first.
    await b.waitFor("return window.Module.show", 120000, "the first live frame");
    const first = await b.run("return window.Module.firstShow");
    // Chromium's device starts some way into live play (its clock stands at 0.1 s for about a
    // second after the replay), and until then nothing is heard: the place is judged once it is.
    const asked = Date.now();
    await b.waitFor("return brimvale.sound().heardMs >= 0", 5000, "the music heard").catch(() => {});
    const heardAfterMs = Date.now() - asked;
    await sleep(500);
    const later = await b.run(kSample);
    const pieces = await b.run("return brimvale.pieces");
    if (/Starting at 100/.test(progress) && first.demoMs >= 100000 && first.demoMs < 101000 && later.demo > first.demoMs + 500 &&
        pieces >= kSomePieces && b.slowestAnswerMs < kHangMs && Math.abs(later.audio - (later.demo - kMusicStartMs)) < 150)
      pass(`late start: "${progress}" while it replays over ${pieces} animation frames (slowest answer ${b.slowestAnswerMs} ms), then live from ${first.demoMs.toFixed(0)} ms, ` +
        `the music heard ${heardAfterMs} ms after that frame was seen and at the demo time`);
    else fail(`late start: progress "${progress}" over ${pieces} animation frames, first frame ${JSON.stringify(first)}, ` +
      `${heardAfterMs} ms then 500 ms later ${JSON.stringify(later)}, slowest answer ${b.slowestAnswerMs} ms`);
  } finally {
    await b.close();
  }
}

// ---- full screen: the first Escape leaves it, the next ends the show ----
async function fullScreen() {
  const b = await openBrowser("live");
  try {
    await b.go(`${pageUrl}?seed=1`);
    await b.waitFor("return !document.getElementById('question').hidden", 60000, "the question");
    await b.click("#yes");
    await b.waitFor("return window.Module.show && !!document.fullscreenElement", 30000, "full screen");
    const state = "return [!!document.fullscreenElement, brimvale.ended, Module.show.demoMs, Module.canvas.style.cursor]";
    await b.click("#canvas");  // a mouse's click: the touch controls stay away
    const mouseStrip = await b.run("return !document.getElementById('controls').hidden");
    const f1 = await b.run(state);
    await b.key("\uE00C", 300);
    await sleep(1000);
    const f2 = await b.run(state);
    await b.key("\uE00C", 300);
    await b.waitFor("return brimvale.ended", 5000, "the end card").catch(() => {});
    const f3 = await b.run(state);
    if (f1[0] && f1[3] === "none" && !f2[0] && !f2[1] && f2[2] > f1[2] + 500 && f2[3] === "" && f3[1] && !mouseStrip)
      pass("full screen: the cursor hidden; a mouse click shows no touch controls; the first Escape leaves full screen and the show plays on; the next ends it");
    else fail(`full screen: ${JSON.stringify([f1, f2, f3])} ([full screen, ended, demo ms, cursor]), touch controls after a click ${mouseStrip}`);
  } finally {
    await b.close();
  }
}

// ---- live play ----
// Demo time now, from the last drawn frame's demo time and its animation frame's timestamp.
// The music's place is the page's one heard position (brimvale.sound().heardMs).
const kSample = `const s = Module.show, a = brimvale.sound();
  return s && { demo: s.held ? s.demoMs : s.demoMs + performance.now() - s.stamp, held: s.held,
    audio: a.heardMs, audioPaused: a.held || a.state !== "running" || a.heardMs < 0, ended: brimvale.ended };`;
const kMusicStartMs = 2000;  // the title window, where the soundtrack starts
// A replay cut into pieces takes many animation frames (about 25 ms of work each); one that froze the
// tab takes one or two. Time only bounds a hang: a loaded machine answers slowly, a hung page never.
const kManyPieces = 20;      // the stills: 114 drawn frames and the replay between them
const kSomePieces = 3;       // a late start's replay to 100 s, which a fast machine ends in under a second
const kHangMs = 30000;

function median(v) {
  const s = [...v].sort((a, b) => a - b);
  return s.length ? s[s.length >> 1] : NaN;
}

async function live() {
  const b = await openBrowser("live");
  try {
    await b.go(`${pageUrl}?seed=1`);
    await b.waitFor("return !document.getElementById('question').hidden", 60000, "the question");
    const t0 = Date.now();
    await b.click("#no");
    const first = await b.waitFor("return window.Module.show", 30000, "the first frame");
    const firstFrameMs = Date.now() - t0;

    // The clock follows the page's frames in real time.
    const a = await b.run(kSample), wa = Date.now();
    await sleep(2000);
    const z = await b.run(kSample), wz = Date.now();
    const rate = (z.demo - a.demo) / (wz - wa);
    if (rate > 0.9 && rate < 1.1) pass(`live: demo time advances with the page's frames (${rate.toFixed(3)} ms a ms; first frame ${firstFrameMs} ms after the click; ${await rendererName(b)})`);
    else fail(`live: demo time moved ${(z.demo - a.demo).toFixed(0)} ms in ${wz - wa} ms of page time`);

    // Twenty seconds of the music against the demo clock.
    await b.waitFor(`const s = Module.show; return s && s.demoMs > ${kMusicStartMs + 500}`, 30000, "the music's start");
    const gaps = [];
    const until = Date.now() + 20000;
    while (Date.now() < until) {
      const s = await b.run(kSample);
      if (s.audio >= 0 && !s.audioPaused) gaps.push(Math.abs(s.audio - (s.demo - kMusicStartMs)));
      await sleep(100);
    }
    const worst = Math.max(...gaps), mid = median(gaps);
    const repositions = await b.run("return brimvale.sound().corrections");
    if (gaps.length > 100 && mid < 50 && worst <= 150)
      pass(`live: over 20 s the music follows the demo clock: ${gaps.length} samples, median gap ${mid.toFixed(1)} ms, largest ${worst.toFixed(1)} ms (${repositions} corrections)`);
    else fail(`live: the music strays from the demo clock: ${gaps.length} samples, median ${mid.toFixed(1)} ms, largest ${worst.toFixed(1)} ms`);

    // Space holds picture, clock and music; Space again lets them go.
    await b.key("\uE00D");
    await b.waitFor("return Module.show.held", 5000, "the pause");
    const h1 = await b.run(kSample);
    await sleep(1000);
    const h2 = await b.run(kSample);
    const corrections = await b.run("return brimvale.sound().corrections");
    await b.key("\uE00D");
    await b.waitFor("return !Module.show.held", 5000, "the resume");
    await sleep(1000);
    const h3 = await b.run(kSample);
    // After a resume the music is moved onto the picture once. A hold shorter than the window of
    // readings the heard place is taken from once placed it back by the hold's length, then again.
    const h3gap = Math.abs(h3.audio - (h3.demo - kMusicStartMs));
    const corrected = (await b.run("return brimvale.sound().corrections")) - corrections;
    if (h1.audioPaused && h2.audioPaused && h1.demo === h2.demo && Math.abs(h2.audio - h1.audio) < 1 &&
        h3.demo > h2.demo + 500 && !h3.audioPaused && h3gap <= 150 && corrected <= 1)
      pass(`live: Space holds the clock (${h1.demo.toFixed(0)} ms) and the music (${h1.audio.toFixed(0)} ms) for a second; Space again plays both on, ` +
        `the music ${h3gap.toFixed(0)} ms from the demo time's place a second later after ${corrected} correction`);
    else fail(`live: Space: held ${JSON.stringify(h1)} then ${JSON.stringify(h2)}, resumed ${JSON.stringify(h3)}, ${corrected} corrections after`);

    // The show's keys are the page's: the browser's own use of them (scrolling, help) is stopped.
    await b.run(`window.keysSeen = []; window.addEventListener("keydown", (e) => keysSeen.push([e.key, e.defaultPrevented]));`);
    for (const key of ["\uE015", "\uE00E", "\uE011", "\uE031", "\uE031"]) await b.key(key, 50);  // Down, PageUp, Home, F1 twice
    const seen = await b.run("return keysSeen");
    if (seen.length === 5 && seen.every(([, prevented]) => prevented))
      pass(`keys: ${seen.map(([k]) => k).join(", ")} reach the show and not the browser`);
    else fail(`keys: the browser's own use was not stopped: ${JSON.stringify(seen)}`);

    // A hidden tab holds picture, clock and music, as a minimised window does.
    const setHidden = (hidden) => b.run(`Object.defineProperty(document, "hidden", { value: ${hidden}, configurable: true });
      Object.defineProperty(document, "visibilityState", { value: "${hidden ? "hidden" : "visible"}", configurable: true });
      document.dispatchEvent(new Event("visibilitychange"));`);
    await setHidden(true);
    await b.waitFor("return Module.show.held", 5000, "the hold of a hidden tab").catch(() => {});
    const v1 = await b.run(kSample);
    await sleep(700);
    const v2 = await b.run(kSample);
    await setHidden(false);
    await b.waitFor("return !Module.show.held", 5000, "the tab shown again").catch(() => {});
    await sleep(700);
    const v3 = await b.run(kSample);
    if (v1.held && v2.demo === v1.demo && v2.audioPaused && !v3.held && !v3.audioPaused && v3.demo > v2.demo + 300)
      pass("live: a hidden tab holds the clock and the music; shown again, both go on");
    else fail(`live: hidden tab: ${JSON.stringify([v1, v2, v3])}`);

    // The page shows what the program drew: an opaque canvas, nothing of the page through it
    // (a page of another colour than the bars' black, so that a translucent canvas would show).
    await b.run("document.documentElement.style.background = document.body.style.background = '#30c030'; brimvale.snapshot()");
    await b.waitFor("return Module.show.held", 5000, "the snapshot");
    await sleep(300);
    const shot = decodePng(await b.screenshot());
    const snap = decodePng(Buffer.from(await b.run('return brimvale.file("/snapshot.png")'), "base64"));
    fs.writeFileSync(path.join(outDir, "screenshot.png"), await b.screenshot());
    let differing = 0, largest = 0;
    for (let y = 0; y < snap.h; y++)
      for (let x = 0; x < snap.w; x++)
        for (let k = 0; k < 3; k++) {
          const d = Math.abs(shot.px[(y * shot.w + x) * 4 + k] - snap.px[(y * snap.w + x) * 4 + k]);
          if (d > largest) largest = d;
          if (d > 16) { differing++; break; }
        }
    const share = differing / (snap.w * snap.h);
    if (shot.w >= snap.w && shot.h >= snap.h && share <= 0.001)
      pass(`screenshot: the page shows the ${snap.w} x ${snap.h} frame the program drew (largest channel difference ${largest})`);
    else fail(`screenshot: ${(share * 100).toFixed(2)} % of the picture differs from the drawn frame (largest ${largest}; screenshot ${shot.w} x ${shot.h}, frame ${snap.w} x ${snap.h})`);
    await b.run("brimvale.endSnapshot()");

    // Escape ends on the end card, even tapped quicker than a frame; Play again starts afresh.
    await b.key("\uE00C", 10);
    await b.waitFor("return brimvale.ended", 5000, "the end card");
    const e1 = await b.run(kSample);
    const cardShown = await b.run("return !document.getElementById('end').hidden");
    await b.click("#again");
    await sleep(1500);
    const e2 = await b.run(kSample);
    if (cardShown && e1.audioPaused && e2.demo < 3000 && e2.demo > 500 && !e2.ended)
      pass(`live: Escape ends on the end card with the music stopped; Play again starts from the beginning (${e2.demo.toFixed(0)} ms after 1.5 s)`);
    else fail(`live: Escape and Play again: card ${cardShown}, at the end ${JSON.stringify(e1)}, after ${JSON.stringify(e2)}`);

    // A lost context says so in the page.
    await b.run("document.getElementById('canvas').getContext('webgl').getExtension('WEBGL_lose_context').loseContext()");
    const lost = await b.waitFor("return brimvale.fault", 5000, "the lost context's fault").catch(() => "");
    const errors = (await severeLogs(b)).filter((m) => !/context lost/i.test(m));
    if (/context was lost/.test(lost)) pass("faults: a lost WebGL context is shown in the page");
    else fail(`faults: a lost WebGL context: the page says "${lost}"`);
    if (errors.length === 0) pass("console: no errors in a whole live session");
    else fail(`console: ${errors.join(" | ")}`);
  } finally {
    await b.close();
  }
}

// ---- sound, judged by ear ----
// The check's PulseAudio (scripts/web-check) has one null sink, its monitor recorded while the
// page plays: 20 s of steady music from a second after it starts, then the demo clock moved on by
// kForcedMs, which the music must follow without a gap. The margins hold on a loaded machine: a
// place off by kPlaceMs, kSilentMs of silence in all, two corrections besides the forced one.
const kSink = process.env.BRIMVALE_SINK || "";
const kSteadyMs = 20000;
const kForcedMs = 200;
const kAfterForcedMs = 3000;
const kPlaceMs = 150;
const kSilentMs = 100;
const kForcedGapMs = 20;
const kOtherCorrections = 2;
const kFastFps = 30;  // below this the small window's run misses the frame rates that chopped the music
let track = null;
const summaries = [];  // one line per live run, for web-check's summary

// The demo time the page showed at an epoch, from samples of its frames.
function demoClock(samples) {
  return (epoch) => {
    let s = samples[0];
    for (const x of samples) if (x.epoch <= epoch) s = x;
    return s.held ? s.demo : s.demo + (epoch - s.epoch);
  };
}

const kFrameSample = `const s = Module.show;
  return s ? { demo: s.demoMs, epoch: performance.timeOrigin + s.stamp, held: s.held, frames: window.frameCount || 0,
    now: performance.timeOrigin + performance.now() } : null;`;

// Plays the page in browser b (any of the three drivers) with the sound recorded; `engine` names
// it in the lines printed.
async function soundRun(b, engine, button = "#no") {
  if (!kSink) { fail(`sound ${engine}: no sound device to record (web-check starts one)`); return; }
  if (!track) track = decodeTrack(new URL("../../data/brimvale.mp3", import.meta.url).pathname);
  const t0 = Date.now();
  await b.go(`${pageUrl}?seed=1`);
  await b.waitFor("return !document.getElementById('question').hidden", 120000, "the question");
  const questionMs = Date.now() - t0;
  const before = await b.run("return brimvale.sound()");
  await b.run("window.frameCount = 0; const f = () => { window.frameCount++; requestAnimationFrame(f); }; requestAnimationFrame(f);");
  const rec = record(`${kSink}.monitor`);
  const samples = [];
  let clicked = 0, firstFrameMs = 0, from = 0, forcedEpoch = 0, result;
  try {
    clicked = Date.now();
    await b.click(button);
    await b.waitFor("return window.Module.show", 60000, "the first frame");
    firstFrameMs = Date.now() - clicked;
    await b.waitFor(`const s = Module.show; return s && s.demoMs > ${kMusicStartMs + 1000}`, 60000, "the music's start");
    from = Date.now();
    const poll = async (untilMs) => {
      while (Date.now() < untilMs) {
        samples.push(await b.run(kFrameSample));
        await sleep(100);
      }
    };
    await poll(from + kSteadyMs);
    forcedEpoch = Date.now();
    await b.run(`brimvale.shiftClock(${kForcedMs})`);
    await poll(forcedEpoch + kAfterForcedMs);
  } finally {
    result = rec.stop();
  }
  const to = Date.now() - 300;
  if (!("liveSince" in b)) liveMs += Date.now() - clicked;  // Chromium's sessions count their own
  const after = await b.run("return brimvale.sound()");
  const first = samples[0], last = samples[samples.length - 1];
  const fps = ((last.frames - first.frames) * 1000) / (last.now - first.now);
  const liveS = (last.now - clicked) / 1000;
  if (!result.samples.length) { fail(`sound ${engine}: nothing recorded (${result.error})`); return; }
  const h = judge(result, track, demoClock(samples), kMusicStartMs, from, to, forcedEpoch);
  if (process.env.BRIMVALE_KEEP_SOUND) {  // for a look at what was heard: raw mono floats at 48 kHz
    const base = path.join(process.env.BRIMVALE_KEEP_SOUND, engine.replace(/\W+/g, "-"));
    fs.writeFileSync(`${base}.f32`, Buffer.from(result.samples.buffer));
    fs.writeFileSync(`${base}.json`, JSON.stringify({ firstEpoch: result.firstEpoch, from, to, forcedEpoch, samples, h }));
  }
  const forced = h.forced ? `${h.forced.ms >= 0 ? "+" : ""}${h.forced.ms.toFixed(0)} ms` : "not heard";
  const figures = `${h.blocks} stretches matched over ${(h.judgedMs / 1000).toFixed(1)} s; heard ${h.offsetMedianMs.toFixed(0)} ms from the demo time's place ` +
    `(spread ${h.offsetSpreadMs.toFixed(0)} ms); silent ${h.silentMs.toFixed(0)} ms in ${h.gaps} (longest ${h.longestMs.toFixed(0)} ms); ` +
    `forced correction ${forced} with a gap of ${h.forcedGapMs.toFixed(0)} ms${h.dryAtForced ? " (the device ran dry beside it: not judged)" : ""}; ` +
    `other corrections heard ${h.jumps.length}` +
    `${h.dryRuns ? ` (and the device ran dry ${h.dryRuns} times for ${h.dryMs.toFixed(0)} ms, ${h.dropped} of them with the place kept, ${h.restored} places restored after)` : ""}` +
    `${h.jumps.length ? ` (${h.jumps.map((j) => j.ms.toFixed(0)).join(", ")} ms)` : ""}; the page counted ${after.corrections}; ` +
    `${fps.toFixed(0)} frames a second; context ${after.rate} Hz, latency ${after.outputLatencyMs.toFixed(0)} ms, ${before.state} before the click`;
  console.log(`sound ${engine}: question ${questionMs} ms after navigation, first frame ${firstFrameMs} ms after the click`);
  const heardTotal = h.jumps.length + h.restored + (h.forced ? 1 : 0);
  const problems = [];
  if (h.blocks < 0.8 * (h.judgedMs / 1000) * (kRateBlocks)) problems.push("too little of the recording sounds like the track");
  if (!(Math.abs(h.offsetMedianMs) <= kPlaceMs)) problems.push("heard away from the demo time's place");
  if (!(h.silentMs < kSilentMs)) problems.push("silent where the track is loud");
  if (!h.forced || Math.abs(h.forced.ms - kForcedMs) > 50) problems.push("the forced correction was not heard as such");
  else if (h.forcedGapMs > kForcedGapMs && !h.dryAtForced) problems.push("the forced correction left a gap");
  if (h.jumps.length > kOtherCorrections) problems.push("corrected too often");
  // Every move heard is one of the page's; the device running dry may cost a correction or two
  // that are heard as the place restored, or not at all.
  if (after.corrections < Math.max(1, heardTotal - 1) || after.corrections > heardTotal + 2 * h.dryRuns + 1)
    problems.push("the page's count of corrections is not what was heard");
  if (problems.length) fail(`sound ${engine}: ${problems.join("; ")}: ${figures}`);
  else pass(`sound ${engine}: ${figures}`);
  const slow = fps < kFastFps && /480/.test(engine) ? `; under ${kFastFps} frames a second: the rates where the music was chopped were not reached` : "";
  summaries.push(`${engine}: ${liveS.toFixed(0)} s of live page, ${fps.toFixed(0)} frames a second, silences ${h.silentMs.toFixed(0)} ms in ${h.gaps}, ` +
    `corrections heard ${heardTotal} (1 forced)${h.dryRuns ? `, the device ran dry ${h.dryRuns} times` : ""}${slow}`);
  return before;
}
const kRateBlocks = 48000 / 4096;  // matched stretches a second

async function soundChromium(size) {
  const b = await openBrowser("live", [], size);
  try {
    await soundRun(b, `Chromium ${size.replace(",", " x ")}`);
    const errors = await severeLogs(b);
    if (errors.length) fail(`sound Chromium ${size}: console errors: ${errors.join(" | ")}`);
  } finally {
    await b.close();
  }
}

// Polls a script in browser b until it returns something true.
const waitWith = (b) => async (script, limitMs, what) => {
  const until = Date.now() + limitMs;
  for (;;) {
    const v = await b.run(script);
    if (v) return v;
    if (Date.now() > until) throw new Error(`timed out after ${limitMs / 1000} s waiting for ${what}`);
    await sleep(250);
  }
};

// Firefox ESR under the check's X server (headless Firefox gives the page no WebGL here).
async function soundFirefox() {
  const display = process.env.BRIMVALE_XDISPLAY;
  if (!display) { fail("sound Firefox: no X display to run it on (web-check starts one)"); return; }
  try {
    await soundFirefoxRun(display);
  } catch (e) {
    // A browser that dies or stops answering once gets one more, said aloud; twice fails.
    if (!e.browserLost) throw e;
    console.log(`Firefox was lost (${e.message}); once more in a new Firefox`);
    await soundFirefoxRun(display);
  }
}
async function soundFirefoxRun(display) {
  const b = await openFirefox(outDir, display, 1280, 1024);
  b.waitFor = waitWith(b);
  try {
    await soundRun(b, "Firefox ESR 1280 x 1024");
    const errors = await b.run("return brimvale.errors");
    await oneStill(b, "firefox");
    errors.push(...(await b.run("return brimvale.errors")));
    if (errors.length) fail(`sound Firefox: console errors: ${errors.join(" | ")}`);
    else pass("Firefox: no errors on the page's console while it played and rendered a still");
  } finally {
    await b.close();
  }
}

// WebKitGTK's MiniBrowser, its default window, under the check's X server through
// WebKitWebDriver (web-check starts it on that display).
async function soundWebKit() {
  const base = process.env.BRIMVALE_WEBKIT_DRIVER;
  if (!base) { fail("sound WebKit: no WebKitWebDriver (web-check starts one)"); return; }
  const session = await wdAt(base, "POST", "/session", { capabilities: { alwaysMatch: { browserName: "MiniBrowser",
    "webkitgtk:browserOptions": { binary: "/usr/lib/x86_64-linux-gnu/webkit2gtk-4.1/MiniBrowser", args: ["--automation"] } } } });
  const id = session.sessionId, at = (method, route, body) => wdAt(base, method, `/session/${id}${route}`, body);
  await at("POST", "/timeouts", { pageLoad: 120000, script: 60000 });
  const b = {
    go: (url) => at("POST", "/url", { url }),
    run: (script, ...args) => at("POST", "/execute/sync", { script, args }),
    async click(css) {
      const el = await at("POST", "/element", { using: "css selector", value: css });
      await at("POST", `/element/${Object.values(el)[0]}/click`, {});
    },
  };
  b.waitFor = waitWith(b);
  try {
    // "Yes": full screen may use up the click's permission; the sound must still start.
    const before = await soundRun(b, "WebKitGTK MiniBrowser", "#yes");
    if (before && before.state === "suspended") pass("WebKit: the audio context stays suspended until the viewer's click");
    else fail(`WebKit: before the click the audio context was ${before && before.state}, so the click's unlock was not tested`);
    const errors = await b.run("return brimvale.errors");
    await oneStill(b, "webkit");
    errors.push(...(await b.run("return brimvale.errors")));
    if (errors.length) fail(`WebKit: console errors: ${errors.join(" | ")}`);
    else pass("WebKit: no errors on the page's console while it played and rendered a still");
  } finally {
    await at("DELETE", "", undefined).catch(() => {});
  }
}

// One reference time rendered by the engine at 1024 x 768, for web-check to judge as the others.
async function oneStill(b, engine) {
  const t = times.split(",")[Math.floor(times.split(",").length / 2)];
  await b.go(`${pageUrl}?seed=1&shots=${t}`);
  const status = await b.waitFor("return window.brimvale && (window.brimvale.shotsStatus !== null && " +
    "window.brimvale.shotsStatus + 1 || window.brimvale.fault && -1)", 300000, "the still");
  if (status !== 1) { fail(`still ${engine}: the page ended with status ${status - 1}`); return; }
  const dir = `${framesDir}-${engine}`;
  fs.mkdirSync(dir, { recursive: true });
  const png = Buffer.from(await b.run(`return brimvale.file("/shots/${t}.png")`), "base64");
  fs.writeFileSync(path.join(dir, `${t}.png`), png);
  // Judged as the screenshot is: a channel off by more than 16 marks a pixel.
  const got = decodePng(png), want = decodePng(fs.readFileSync(new URL(`../reference/${t}.png`, import.meta.url)));
  let differing = 0;
  for (let i = 0; i < want.w * want.h * 4; i += 4)
    if (Math.max(...[0, 1, 2].map((k) => Math.abs(got.px[i + k] - want.px[i + k]))) > 16) differing++;
  const share = (differing / (want.w * want.h)) * 100;
  if (got.w === want.w && got.h === want.h && share <= kStillShare)
    pass(`still ${engine}: ${t} ms against its reference, ${share.toFixed(3)} % of the pixels differ (in ${dir})`);
  else fail(`still ${engine}: ${t} ms: ${got.w} x ${got.h}, ${share.toFixed(3)} % of the pixels differ from the reference (in ${dir})`);
}
const kStillShare = 0.5;  // per cent

// ---- the sound's start in fresh profiles ----
// Under the autoplay rule of phones' web views "Yes" (whose full-screen request can use up the
// click's permission) still plays; a track the browser cannot decode shows the notice and the
// next click tries again; Space and Enter on "Play again" both play again.
// The heard place is taken at the last frame's own moment, which a slow page drew a while ago.
const kHeard = `const s = brimvale.sound(), d = Module.show, atFrame = d && !d.held ? Module.music.heardMs(d.stamp) : -1;
  return { ...s, demo: d ? d.demoMs : -1, near: atFrame >= 0 ? Math.abs(atFrame - (d.demoMs - ${kMusicStartMs})) : -1 };`;

async function freshSound() {
  let b = await openBrowser("live", ["--autoplay-policy=user-gesture-required"]);
  try {
    await b.go(`${pageUrl}?seed=1`);
    await b.waitFor("return !document.getElementById('question').hidden", 60000, "the question");
    await b.click("#yes");
    await b.waitFor(`return Module.show && Module.show.demoMs > ${kMusicStartMs + 1500}`, 60000, "the music's start");
    const h = await b.run(kHeard);
    if (h.state === "running" && h.heardMs >= 0 && !h.notice) pass(`sound: under the phones' autoplay rule "Yes" plays the music (heard at ${h.heardMs.toFixed(0)} ms at demo time ${h.demo.toFixed(0)} ms)`);
    else fail(`sound: under the phones' autoplay rule "Yes": ${JSON.stringify(h)}`);
  } finally {
    await b.close();
  }

  b = await openBrowser("live");
  try {
    // The decodes at load and at the click that starts the show are handed broken bytes, as a
    // browser that cannot decode the track sees them; the third is the retry.
    await wd("POST", `/session/${b.id}/goog/cdp/execute`, { cmd: "Page.addScriptToEvaluateOnNewDocument", params: { source: `
      const real = AudioContext.prototype.decodeAudioData; let broken = 2;
      AudioContext.prototype.decodeAudioData = function (data, ok, bad) {
        if (broken > 0) { broken--; data = new Uint8Array(64).fill(7).buffer; }
        return real.call(this, data, ok, bad);
      };` } });
    await b.go(`${pageUrl}?seed=1`);
    await b.waitFor("return !document.getElementById('question').hidden", 60000, "the question");
    await b.click("#no");
    await b.waitFor("return brimvale.sound().notice", 10000, "the notice").catch(() => {});
    const n1 = await b.run(kHeard);
    const line = await b.run("return document.getElementById('soundnote').textContent");
    await b.click("#canvas");
    await b.waitFor("return brimvale.sound().heardMs >= 0", 10000, "the music after the retry").catch(() => {});
    await sleep(500);
    const n2 = await b.run(kHeard);
    if (n1.notice && !n1.decoded && n1.demo > kMusicStartMs && n2.decoded && !n2.notice && n2.tries === 3 && n2.near >= 0 && n2.near < 150)
      pass(`sound: a track the browser cannot decode shows "${line}"; the next click decodes it again and the music plays at the demo time (${n2.near.toFixed(0)} ms off)`);
    else fail(`sound: a broken track: before the click ${JSON.stringify(n1)}, after ${JSON.stringify(n2)}`);
  } finally {
    await b.close();
  }

  for (const [key, name] of [["\uE00D", "Space"], ["\uE007", "Enter"]]) {
    b = await openBrowser("live");
    try {
      await b.go(`${pageUrl}?seed=1`);
      await b.waitFor("return !document.getElementById('question').hidden", 60000, "the question");
      await b.click("#no");
      await b.waitFor("return Module.show && Module.show.demoMs > 1000", 60000, "the show");
      await b.key("\uE00C", 50);
      await b.waitFor("return brimvale.ended", 10000, "the end card");
      const focused = await b.run("return document.activeElement.id");
      await b.key(key, 50);
      await b.waitFor("return !brimvale.ended", 5000, "Play again").catch(() => {});
      await sleep(800);
      const after = await b.run("return { ended: brimvale.ended, demo: Module.show.demoMs, held: Module.show.held }");
      if (focused === "again" && !after.ended && !after.held && after.demo < 3000)
        pass(`end card: ${name} on the focused "Play again" plays again (${after.demo.toFixed(0)} ms in)`);
      else fail(`end card: ${name} on "${focused}": ${JSON.stringify(after)}`);
    } finally {
      await b.close();
    }
  }
}

// ---- faults the viewer must be told of ----
async function faults() {
  let b = await openBrowser("live");
  try {
    await b.go(barePageUrl);
    const text = await b.waitFor("return window.brimvale && brimvale.fault", 30000, "the data fault").catch((e) => e.message);
    if (/failed to download/.test(text)) pass(`faults: a data file that does not arrive is shown in the page ("${text}")`);
    else fail(`faults: a missing data file: ${text}`);
  } finally {
    await b.close();
  }
  b = await openBrowser("faults", ["--disable-webgl", "--disable-3d-apis"]);
  try {
    await b.go(pageUrl);
    const text = await b.waitFor("return window.brimvale && brimvale.fault", 30000, "the WebGL fault").catch((e) => e.message);
    if (/no WebGL/.test(text)) pass("faults: a browser without WebGL is told so in the page");
    else fail(`faults: without WebGL: ${text}`);
  } finally {
    await b.close();
  }
}

// ---- a phone in the hand: Chromium's phone emulation with touch input ----
const kMuted = "!!(Module.music && Module.music.out.gain.value === 0)";  // the music silenced by M (its output gain)
const kPhone = { width: 390, height: 844, pixelRatio: 3 };
const setPhoneSize = (b, w, h) => b.cdp("Emulation.setDeviceMetricsOverride", { width: w, height: h, deviceScaleFactor: kPhone.pixelRatio,
  mobile: true, screenOrientation: w > h ? { type: "landscapePrimary", angle: 90 } : { type: "portraitPrimary", angle: 0 } });

async function phone() {
  const started = Date.now();
  let passed = 0, checks = 0;
  const check = (ok, text, detail) => { checks++; if (ok) { passed++; pass(`phone: ${text}`); } else fail(`phone: ${text}: ${detail}`); };
  const b = await openBrowser("live", [], undefined, { mobileEmulation: { deviceMetrics: { ...kPhone, touch: true, mobile: true } } });
  try {
    // A plain page zooms under two spread fingers here, so the picture's refusal below means something.
    // (A double tap zooms no page in this emulation, so it is tried on the picture but cannot be judged.)
    await b.go("data:text/html,<meta name=viewport content='width=device-width'><p>" + "Plain text. ".repeat(300));
    await b.pinch(190, 400);
    await sleep(500);
    const plainScale = await b.run("return visualViewport.scale");

    await b.go(`${pageUrl}?seed=1`);
    await b.waitFor("return !document.getElementById('question').hidden", 60000, "the question");
    const asks = await b.run("return getComputedStyle(document.querySelector('#question .turn')).display !== 'none'");
    await b.tap("#yes");
    await b.waitFor("return window.Module.show && Module.show.demoMs > 0", 30000, "the first frame");
    const portrait = await b.run(`return [getComputedStyle(document.getElementById('turn')).display !== "none", Module.canvas.width, Module.canvas.height,
      Math.abs(Module.canvas.getBoundingClientRect().height - innerHeight) < 1, !!document.fullscreenElement]`);
    await setPhoneSize(b, kPhone.height, kPhone.width);
    await b.waitFor("return innerWidth > innerHeight && Module.canvas.width > Module.canvas.height", 10000, "the turned canvas").catch(() => {});
    const landscape = await b.run(`return [getComputedStyle(document.getElementById('turn')).display !== "none", Module.canvas.width, Module.canvas.height,
      Math.abs(Module.canvas.getBoundingClientRect().height - innerHeight) < 1]`);
    check(asks && portrait[0] && !landscape[0], "the question and the note over the first seconds say to turn the phone in portrait, not in landscape",
      `question ${asks}, note in portrait ${portrait[0]}, in landscape ${landscape[0]}`);
    check(portrait[1] === 1170 && portrait[2] === 2532 && landscape[1] === 2532 && landscape[2] === 1170 && portrait[3] && landscape[3],
      "the canvas fills the visible area in both orientations (1170 x 2532, turned 2532 x 1170)", JSON.stringify([portrait, landscape]));

    const answer = await b.waitFor("return brimvale.orientationAnswer", 5000, "the landscape request's answer").catch(() => "");
    const t1 = await b.run(kSample);
    await sleep(700);
    const t2 = await b.run(kSample);
    check(portrait[4] && /^refused|^landscape/.test(answer) && t2.demo > t1.demo + 300,
      `"Yes" in full screen asks for landscape (${answer}) and the show plays on`, JSON.stringify([portrait[4], answer, t1, t2]));
    const lock1 = await b.run("return brimvale.wakeLock && !brimvale.wakeLock.released");

    // A tap shows the controls; each does what its key does.
    await b.run("document.getElementById('controls').hidden = true");
    await b.touch(420, 195);
    const strip = await b.run("return !document.getElementById('controls').hidden");
    const showStrip = async () => { if (await b.run("return document.getElementById('controls').hidden")) await b.touch(420, 195); };
    await b.tap("#pause");
    await b.waitFor("return Module.show.held", 5000, "the pause").catch(() => {});
    await sleep(300);  // the music's clock stops a moment after the picture
    const p1 = await b.run(kSample);
    const lockPaused = await b.run("return brimvale.wakeLock && brimvale.wakeLock.released");
    await sleep(1000);
    const p2 = await b.run(kSample);
    await showStrip();
    await b.tap("#pause");
    await b.waitFor("return !Module.show.held", 5000, "the resume").catch(() => {});
    await sleep(700);
    // The device starts again before the music is heard: how long is the browser's, bounded.
    await b.waitFor("return brimvale.sound().heardMs >= 0", 3000, "the music again").catch(() => {});
    const p3 = await b.run(kSample);
    const lock2 = await b.waitFor("return brimvale.wakeLock && !brimvale.wakeLock.released", 3000, "the wake lock again").catch(() => false);
    // A hidden tab lets it go and a shown one takes it again (the browser's own release, played).
    const setHidden = (hidden) => b.run(`Object.defineProperty(document, "visibilityState", { value: "${hidden ? "hidden" : "visible"}", configurable: true });
      document.dispatchEvent(new Event("visibilitychange"));`);
    await setHidden(true);
    const lockHidden = await b.waitFor("return brimvale.wakeLock && brimvale.wakeLock.released", 3000, "the wake lock let go").catch(() => false);
    await setHidden(false);
    const lock3 = await b.waitFor("return brimvale.wakeLock && !brimvale.wakeLock.released", 3000, "the wake lock taken again").catch(() => false);
    check(strip && p1.held && p1.audioPaused && p2.demo === p1.demo && Math.abs(p2.audio - p1.audio) < 1 && !p3.held && !p3.audioPaused && p3.demo > p2.demo + 300,
      `a tap shows the controls; Pause holds the clock (${p1.demo.toFixed(0)} ms) and the music, Play lets both go`, JSON.stringify([strip, p1, p2, p3]));
    check(lock1 && lockPaused && lock2 && lockHidden && lock3,
      "the screen wake lock is held while playing, released on pause and in a hidden tab, taken again on play and when shown",
      JSON.stringify([lock1, lockPaused, lock2, lockHidden, lock3, await b.run("return brimvale.wakeLockAnswer")]));
    await showStrip();
    await b.tap("#mute");
    const muted = await b.waitFor(`return ${kMuted}`, 3000, "the mute").catch(() => false);
    await showStrip();
    await b.tap("#mute");
    const unmuted = await b.waitFor(`return !${kMuted}`, 3000, "the sound back").catch(() => false);
    check(muted && unmuted, "Mute silences the music and the same control brings it back", JSON.stringify([muted, unmuted]));

    // Leave ends on the end card even in full screen; Play again by touch starts afresh.
    await showStrip();
    await b.tap("#leave");
    const ended = await b.waitFor("return brimvale.ended && !document.getElementById('end').hidden", 5000, "the end card").catch(() => false);
    const kAfterEnd = "return [!!document.fullscreenElement, brimvale.wakeLock && brimvale.wakeLock.released, document.getElementById('controls').hidden]";
    await b.waitFor(`const a = (function () { ${kAfterEnd} })(); return !a[0] && a[1] && a[2]`, 5000, "full screen left").catch(() => {});
    const afterEnd = await b.run(kAfterEnd);
    await b.tap("#again");
    await sleep(1500);
    const again = await b.run(kSample);
    check(ended && !afterEnd[0] && afterEnd[1] && afterEnd[2] && again.demo > 500 && again.demo < 3000 && !again.ended,
      "Leave shows the end card (full screen left, wake lock released); Play again by touch plays from the start",
      JSON.stringify([ended, afterEnd, again]));
    // The browser's gestures stay off the picture: two spread fingers and a double tap. Tried in
    // the page, not in full screen, where the browser zooms nothing anyway.
    await b.pinch(420, 195);
    await b.touch(420, 195, 2);
    await sleep(500);
    const pictureScale = await b.run("return visualViewport.scale");
    check(plainScale > 1.05 && pictureScale === 1, `spread fingers zoom a plain page (to ${plainScale.toFixed(2)}) but not the picture`,
      `plain page ${plainScale}, picture ${pictureScale}`);

    // A browser that gives full screen only to videos (phones' browsers): "Yes" plays in the page.
    await b.cdp("Page.addScriptToEvaluateOnNewDocument", { source:
      "Object.defineProperty(Document.prototype, 'fullscreenEnabled', { get: () => false, configurable: true });" });
    await b.go(`${pageUrl}?seed=1`);
    await b.waitFor("return !document.getElementById('question').hidden", 60000, "the question without full screen");
    const help = await b.run("return document.getElementById('questionhelp').textContent");
    await b.tap("#yes");
    await b.waitFor("return window.Module.show && Module.show.demoMs > 0", 30000, "the first frame without full screen");
    const inPage = await b.run(`return [!!document.fullscreenElement, Module.canvas.width === Math.round(innerWidth * devicePixelRatio),
      Module.canvas.height === Math.round(innerHeight * devicePixelRatio), brimvale.orientationAnswer]`);
    check(!/Yes: full screen/.test(help) && /only videos/.test(help) && !inPage[0] && inPage[1] && inPage[2] && inPage[3] === "",
      "without full screen for a page the question does not offer it and \"Yes\" plays in the page at the window's full size",
      JSON.stringify([help, inPage]));
    const errors = await severeLogs(b);
    check(errors.length === 0, "no console errors", errors.join(" | "));
  } finally {
    await b.close();
    console.log(`SUMMARY phone: ${passed} of ${checks} checks passed in ${((Date.now() - started) / 1000).toFixed(0)} s, one emulated phone ` +
      `(390 x 844 CSS px at 3x, touch, turned to 844 x 390): the turn note, the canvas in both orientations, full screen's landscape request, ` +
      `gestures kept off the picture, the touch controls (pause, play, mute, leave), the wake lock, Play again, a browser without full screen`);
  }
}

// ---- per-window frame times of the whole show, live (not a check: BENCHMARKS.md) ----
async function bench() {
  const source = fs.readFileSync(new URL("../../scenes/timeline.cpp", import.meta.url), "utf8");
  const bounds = source.match(/timelineBounds\[kTimelineWindows\] = \{([^}]*)\}/)[1].split(",").map(Number).filter((n) => n > 0);
  const b = await openBrowser("live");
  try {
    const t0 = Date.now();
    await b.go(`${pageUrl}?seed=1`);
    await b.waitFor("return !document.getElementById('question').hidden", 60000, "the question");
    const loadMs = Date.now() - t0;
    const clicked = Date.now();
    await b.click("#no");
    await b.run(`window.benchFrames = []; let last = -1;
      const f = (t) => { const s = Module.show; if (s && !s.held && last >= 0) benchFrames.push([s.demoMs, t - last]);
        last = t; if (!brimvale.ended) requestAnimationFrame(f); };
      requestAnimationFrame(f);`);
    await b.waitFor("return window.Module.show", 30000, "the first frame");
    const firstMs = Date.now() - clicked;
    await b.waitFor("return brimvale.ended", 200000, "the end of the show");
    const frames = await b.run("return benchFrames");
    console.log(`bench: page ready (question shown) ${loadMs} ms after navigation; first frame ${firstMs} ms after the click; ${frames.length} frames`);
    console.log("bench: window  frames  median_ms  p95_ms  max_ms   (time between animation frames)");
    for (let w = 0; w < bounds.length; w++) {
      const lo = w ? bounds[w - 1] : 0;
      const v = frames.filter(([t]) => t >= lo && t < bounds[w]).map(([, d]) => d).sort((a, c) => a - c);
      if (!v.length) continue;
      const q = (p) => v[Math.min(v.length - 1, Math.floor(p * v.length))];
      console.log(`bench: ${String(w + 1).padStart(6)}  ${String(v.length).padStart(6)}  ${q(0.5).toFixed(1).padStart(9)}  ${q(0.95).toFixed(1).padStart(6)}  ${v[v.length - 1].toFixed(1).padStart(6)}`);
    }
  } finally {
    await b.close();
  }
}

// ---- what a frame costs the page, per timeline window (not a check: BENCHMARKS.md) ----
// The whole show at 1024 x 768 on llvmpipe, traced: each animation-frame callback's wall time and
// its thread's CPU time (the program's work and the WebGL calls it hands on, not the rasterising,
// which the GPU process does; on two shared cores the wall time also holds the waits for a core).
async function cost() {
  const source = fs.readFileSync(new URL("../../scenes/timeline.cpp", import.meta.url), "utf8");
  const bounds = source.match(/timelineBounds\[kTimelineWindows\] = \{([^}]*)\}/)[1].split(",").map(Number).filter((n) => n > 0);
  const b = await openBrowser("cost", [], undefined, { perfLoggingPrefs: { enableNetwork: false, enablePage: false, traceCategories: "devtools.timeline" } });
  const frames = [], stamps = [];
  const drain = async () => {
    for (const e of await b.log("performance")) {
      const m = JSON.parse(e.message).message;
      if (m.method !== "Tracing.dataCollected") continue;
      const t = m.params;
      if (t.name === "FireAnimationFrame" && t.ph === "X") frames.push([t.ts, t.dur, t.tdur]);
      else if (t.name === "TimeStamp" && /^demo /.test(t.args.data.message)) stamps.push([t.ts, Number(t.args.data.message.slice(5))]);
    }
  };
  try {
    const [cw, ch] = (process.env.BRIMVALE_WEB_COST_SIZE || "1024x768").split("x").map(Number);
    await b.cdp("Emulation.setDeviceMetricsOverride", { width: cw, height: ch, deviceScaleFactor: 1, mobile: false });
    const from = process.env.BRIMVALE_WEB_COST_FROM;  // a late start, for a quicker look
    await b.go(`${pageUrl}?seed=1${from ? `&from=${from}` : ""}`);
    await b.waitFor("return !document.getElementById('question').hidden", 60000, "the question");
    // Each of the program's callbacks marks its frame's demo time in the trace, from inside it.
    await b.run(`const raf = window.requestAnimationFrame.bind(window);
      window.requestAnimationFrame = (cb) => raf((t) => { cb(t); const s = Module.show; if (s && !s.held) console.timeStamp("demo " + s.demoMs); });`);
    await b.click("#no");
    while (!(await b.run("return brimvale.ended"))) {
      await sleep(4000);
      await drain();
    }
    await drain();
  } finally {
    await b.close();
  }
  // A frame's demo time is the stamp inside its callback.
  stamps.sort((x, y) => x[0] - y[0]);
  const timed = [];
  let j = 0;
  for (const [ts, dur, tdur] of frames.sort((x, y) => x[0] - y[0])) {
    while (j < stamps.length && stamps[j][0] < ts) j++;
    if (j < stamps.length && stamps[j][0] <= ts + dur) timed.push([stamps[j][1], dur / 1000, (tdur || 0) / 1000]);
  }
  const q = (v, p) => v[Math.min(v.length - 1, Math.floor(p * v.length))];
  const row = (v) => [q(v, 0.5), q(v, 0.95), v[v.length - 1]].map((x) => x.toFixed(2).padStart(6)).join(" ");
  console.log(`cost: ${timed.length} of ${frames.length} traced callbacks placed in the show; ms inside each callback`);
  console.log("cost: window  frames  wall median p95 max   CPU median p95 max   CPU > 8 ms after 1 s");
  const firstMs = timed.length ? timed[0][0] : 0;
  for (let w = 0; w < bounds.length; w++) {
    const lo = w ? bounds[w - 1] : 0;
    const inWindow = timed.filter(([t]) => t >= lo && t < bounds[w]);
    if (!inWindow.length) continue;
    const wall = inWindow.map(([, d]) => d).sort((x, y) => x - y), cpu = inWindow.map(([, , c]) => c).sort((x, y) => x - y);
    const over = inWindow.filter(([t, , c]) => t > firstMs + 1000 && c > 8).length;
    console.log(`cost: ${String(w + 1).padStart(6)}  ${String(inWindow.length).padStart(6)}  ${row(wall)}  ${row(cpu)}  ${over}`);
  }
}

const which = process.env.BRIMVALE_WEB_CHECKS || "stills,live,late,fullscreen,faults,sound,soundsmall,fresh,firefox,webkit,phone";
for (const [name, fn] of [["stills", stills], ["live", live], ["late", lateStart], ["fullscreen", fullScreen],
  ["faults", faults], ["sound", () => soundChromium("1280,1024")], ["soundsmall", () => soundChromium("480,380")], ["firefox", soundFirefox],
  ["webkit", soundWebKit], ["fresh", freshSound], ["phone", phone], ["bench", bench], ["cost", cost]]) {
  if (!which.split(",").includes(name)) continue;
  // A browser that stops answering fails its group, and the check goes on to the next.
  const limitMs = (name === "bench" || name === "cost" ? 40 : 12) * 60000;
  try {
    await within(fn(), limitMs, () => new Error(`not finished after ${limitMs / 60000} min: given up`));
  } catch (e) {
    fail(`${name}: ${e.message}`);
  }
}
if (summaries.length) fs.writeFileSync(path.join(outDir, "summary.txt"), summaries.join("\n") + "\n");
console.log(`live page: ${(liveMs / 1000).toFixed(0)} s`);
process.exit(Math.min(failures, 100));
