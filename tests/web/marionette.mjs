// A small client of Firefox's own remote protocol (Marionette): length-prefixed JSON over TCP,
// commands named as WebDriver's. Enough for the browser check's sound run: start Firefox with a
// fresh profile on an X display, load, run scripts, click, quit.
import { spawn } from "node:child_process";
import fs from "node:fs";
import net from "node:net";
import path from "node:path";

const sleep = (ms) => new Promise((r) => setTimeout(r, ms));
// The browser, not the page, failed: it did not start, died, or stopped answering.
const lost = (text) => Object.assign(new Error(text), { browserLost: true });

// `promise`, or the error `late()` makes once `ms` have passed; a promise left behind that fails
// later is nobody's concern.
export function within(promise, ms, late) {
  let timer;
  promise.catch(() => {});
  return Promise.race([promise, new Promise((ok, bad) => { timer = setTimeout(() => bad(late()), ms); })])
    .finally(() => clearTimeout(timer));
}

// Firefox ESR on `display`, its profile under `dir`; resolves to a session (see the end). Firefox
// keeps a 30-40 ms audio buffer whatever a page asks, which a busy two-core CI machine runs dry:
// PulseAudio's own setting gives it 100 ms (a viewer's machine is not this busy).
// Firefox picks its own port (marionette.port 0) and writes it into the profile, so nothing else
// listening, and no socket connected to itself, can be taken for Marionette. Every wait is bounded:
// a Firefox that dies, closes the socket or stops answering fails the command, never hangs the check.
export async function openFirefox(dir, display, width, height) {
  const profile = fs.mkdtempSync(path.join(dir, "firefox-"));
  const prefs = {
    "marionette.port": 0,
    "browser.shell.checkDefaultBrowser": false,
    "browser.startup.homepage_override.mstone": "ignore",
    "datareporting.policy.dataSubmissionEnabled": false,
    "toolkit.telemetry.reportingpolicy.firstRun": false,
    "app.update.disabledForTesting": true,
    "browser.aboutwelcome.enabled": false,
    "webgl.force-enabled": true,              // software GL on a virtual display is blocklisted
    "network.captive-portal-service.enabled": false,
    "network.connectivity-service.enabled": false,
  };
  fs.writeFileSync(path.join(profile, "user.js"),
    Object.entries(prefs).map(([k, v]) => `user_pref(${JSON.stringify(k)}, ${JSON.stringify(v)});\n`).join(""));
  const output = [];
  const child = spawn("firefox-esr", ["--marionette", "--no-remote", "--profile", profile, "-width", String(width),
    "-height", String(height), "about:blank"], { env: { ...process.env, DISPLAY: display, MOZ_CRASHREPORTER_DISABLE: "1", PULSE_LATENCY_MSEC: "100" },
    stdio: ["ignore", "pipe", "pipe"] });
  for (const s of [child.stdout, child.stderr]) s.on("data", (c) => output.push(String(c)));
  const kill = () => { if (child.exitCode === null) child.kill("SIGKILL"); };
  process.on("exit", kill);  // a check given up on leaves no browser behind
  const said = () => output.join("").trim().split("\n").slice(-4).join(" | ").slice(-500);  // Firefox's last words
  const portFile = path.join(profile, "MarionetteActivePort");
  let socket;
  try {
    for (let i = 0; ; i++) {
      const port = fs.existsSync(portFile) ? Number(fs.readFileSync(portFile, "utf8").trim()) : 0;
      if (port > 0) {
        try {
          socket = await new Promise((ok, bad) => {
            const s = net.connect(port, "127.0.0.1", () => ok(s));
            s.on("error", bad);
          });
          break;
        } catch { /* written before it listens: try again */ }
      }
      if (i > 600 || child.exitCode !== null) throw lost(`Firefox's Marionette did not answer: ${said()}`);
      await sleep(100);
    }
  } catch (e) {
    kill();
    throw e;
  }
  // Messages are "LENGTH:JSON"; the first is the server's greeting, then [1, id, error, result].
  let buffer = Buffer.alloc(0), nextId = 1, gone = null;
  const waiting = new Map();
  const endAll = (why) => {
    gone = gone || why;
    refused(lost(gone));
    for (const w of waiting.values()) w.bad(lost(`${w.name}: ${gone}`));
    waiting.clear();
  };
  let greeted, refused;
  const greeting = new Promise((ok, bad) => { greeted = ok; refused = bad; });
  socket.on("data", (c) => {
    buffer = Buffer.concat([buffer, c]);
    for (;;) {
      const colon = buffer.indexOf(":");
      if (colon < 0) return;
      const len = Number(buffer.subarray(0, colon).toString());
      if (buffer.length < colon + 1 + len) return;
      const msg = JSON.parse(buffer.subarray(colon + 1, colon + 1 + len).toString());
      buffer = buffer.subarray(colon + 1 + len);
      if (!Array.isArray(msg)) { greeted(msg); continue; }
      const w = waiting.get(msg[1]);
      waiting.delete(msg[1]);
      if (w) msg[2] ? w.bad(new Error(`${w.name}: ${msg[2].message || msg[2].error}`)) : w.ok(msg[3]);
    }
  });
  socket.on("error", (e) => endAll(`Firefox's connection failed (${e.message}): ${said()}`));
  socket.on("close", () => endAll(`Firefox closed its connection: ${said()}`));
  // Longer than any timeout the session itself is given (page loads 120 s, scripts 60 s).
  const send = (name, params = {}, limitMs = kCommandMs) => new Promise((ok, bad) => {
    if (gone) { bad(lost(`${name}: ${gone}`)); return; }
    const id = nextId++;
    const timer = setTimeout(() => {
      waiting.delete(id);
      bad(lost(`${name}: no answer from Firefox in ${limitMs / 1000} s`));
    }, limitMs);
    waiting.set(id, { ok: (v) => { clearTimeout(timer); ok(v); }, bad: (e) => { clearTimeout(timer); bad(e); }, name });
    const body = Buffer.from(JSON.stringify([0, id, name, params]));
    socket.write(`${body.length}:`);
    socket.write(body);
  });
  const close = async () => {
    await send("Marionette:Quit", {}, 10000).catch(() => {});
    socket.destroy();
    for (let i = 0; i < 50 && child.exitCode === null; i++) await sleep(100);
    kill();
  };
  try {
    await within(greeting, 60000, () => lost(`Firefox sent no greeting in 60 s: ${said()}`));
    await send("WebDriver:NewSession", { capabilities: { alwaysMatch: { pageLoadStrategy: "normal" } } });
    await send("WebDriver:SetTimeouts", { pageLoad: 120000, script: 60000 });
  } catch (e) {
    await close();
    throw e;
  }
  return {
    go: (url) => send("WebDriver:Navigate", { url }),
    run: async (script, ...args) => (await send("WebDriver:ExecuteScript", { script, args })).value,
    async click(css) {
      const el = (await send("WebDriver:FindElement", { using: "css selector", value: css })).value;
      await send("WebDriver:ElementClick", { id: Object.values(el)[0] });
    },
    close,
  };
}
const kCommandMs = 180000;
