// A small client of Firefox's own remote protocol (Marionette): length-prefixed JSON over TCP,
// commands named as WebDriver's. Enough for the browser check's sound run: start Firefox with a
// fresh profile on an X display, load, run scripts, click, quit.
import { spawn } from "node:child_process";
import fs from "node:fs";
import net from "node:net";
import path from "node:path";

const sleep = (ms) => new Promise((r) => setTimeout(r, ms));

// Firefox ESR on `display`, its profile under `dir`; resolves to a session (see the end). Firefox
// keeps a 30-40 ms audio buffer whatever a page asks, which a busy two-core CI machine runs dry:
// PulseAudio's own setting gives it 100 ms (a viewer's machine is not this busy).
export async function openFirefox(dir, display, port, width, height) {
  const profile = fs.mkdtempSync(path.join(dir, "firefox-"));
  const prefs = {
    "marionette.port": port,
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
  let socket;
  for (let i = 0; ; i++) {
    try {
      socket = await new Promise((ok, bad) => {
        const s = net.connect(port, "127.0.0.1", () => ok(s));
        s.on("error", bad);
      });
      break;
    } catch (e) {
      if (i > 300 || child.exitCode !== null) throw new Error(`Firefox's Marionette did not answer: ${output.join("").slice(-500)}`);
      await sleep(100);
    }
  }
  // Messages are "LENGTH:JSON"; the first is the server's greeting, then [1, id, error, result].
  let buffer = Buffer.alloc(0), nextId = 1;
  const waiting = new Map();
  let greeted;
  const greeting = new Promise((r) => { greeted = r; });
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
  await greeting;
  const send = (name, params = {}) => new Promise((ok, bad) => {
    const id = nextId++;
    waiting.set(id, { ok, bad, name });
    const body = Buffer.from(JSON.stringify([0, id, name, params]));
    socket.write(`${body.length}:`);
    socket.write(body);
  });
  await send("WebDriver:NewSession", { capabilities: { alwaysMatch: { pageLoadStrategy: "normal" } } });
  await send("WebDriver:SetTimeouts", { pageLoad: 120000, script: 60000 });
  const b = {
    go: (url) => send("WebDriver:Navigate", { url }),
    run: async (script, ...args) => (await send("WebDriver:ExecuteScript", { script, args })).value,
    async click(css) {
      const el = (await send("WebDriver:FindElement", { using: "css selector", value: css })).value;
      await send("WebDriver:ElementClick", { id: Object.values(el)[0] });
    },
    async close() {
      await send("Marionette:Quit").catch(() => {});
      socket.destroy();
      for (let i = 0; i < 50 && child.exitCode === null; i++) await sleep(100);
      if (child.exitCode === null) child.kill("SIGKILL");
    },
  };
  return b;
}
