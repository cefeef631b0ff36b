// What a sound device heard while a page played, judged against the soundtrack itself. The
// check's own PulseAudio (scripts/web-check) has one null sink; its monitor is recorded here with
// `parec`, and each stretch of the recording is found in the track decoded by ffmpeg: where in
// the track the sound came from, where it was silent although the track is loud, and where the
// heard place jumped (a correction).
import { spawn, execFileSync } from "node:child_process";

export const kRate = 48000;          // the null sink's rate; everything here is at it
const kBlock = 4096;                 // samples matched at a time (85 ms)
const kSearchMs = 400;               // the heard place is looked for this far either side of the demo time's
const kWindow = 240;                 // 5 ms: the grain of silences
const kLoudRms = 0.03;               // a track window this loud must be heard (-30 dBFS)
const kJumpMs = 10;  // a heard move past this is a correction (the page moves the track past 30 ms of drift; less is the device slipping)
const kMatched = 0.6;                // normalised correlation of a block taken as found

// The track as mono floats at the sink's rate.
export function decodeTrack(file) {
  const raw = execFileSync("ffmpeg", ["-v", "error", "-i", file, "-ac", "1", "-ar", String(kRate), "-f", "f32le", "-"],
    { maxBuffer: 1 << 30 });
  return new Float32Array(raw.buffer, raw.byteOffset, raw.length >> 2);
}

// Records the sink's monitor until stop(). The epoch of the first sample is estimated from the
// arrivals: a chunk can only arrive after its last sample was heard, so the earliest estimate
// over all chunks is the truest.
export function record(device) {
  const child = spawn("parec", [`--device=${device}`, `--rate=${kRate}`, "--channels=1", "--format=float32le",
    "--latency-msec=10"], { stdio: ["ignore", "pipe", "pipe"] });
  const chunks = [];
  let bytes = 0, firstEpoch = Infinity, err = "";
  child.stdout.on("data", (c) => {
    chunks.push(c);
    bytes += c.length;
    firstEpoch = Math.min(firstEpoch, Date.now() - (bytes / 4 / kRate) * 1000);
  });
  child.stderr.on("data", (c) => { err += c; });
  return {
    stop() {
      child.kill("SIGTERM");
      const all = Buffer.concat(chunks);
      const samples = new Float32Array(all.buffer.slice(all.byteOffset, all.byteOffset + (all.length & ~3)));
      return { samples, firstEpoch, error: err.trim() };
    },
  };
}

// ---- matching ----
function fft(re, im, inverse) {
  const n = re.length;
  for (let i = 1, j = 0; i < n; i++) {
    let bit = n >> 1;
    for (; j & bit; bit >>= 1) j ^= bit;
    j ^= bit;
    if (i < j) { [re[i], re[j]] = [re[j], re[i]]; [im[i], im[j]] = [im[j], im[i]]; }
  }
  for (let len = 2; len <= n; len <<= 1) {
    const a = ((inverse ? 2 : -2) * Math.PI) / len, wr = Math.cos(a), wi = Math.sin(a);
    for (let i = 0; i < n; i += len) {
      let cr = 1, ci = 0;
      for (let k = 0; k < len / 2; k++) {
        const p = i + k, q = p + len / 2;
        const tr = re[q] * cr - im[q] * ci, ti = re[q] * ci + im[q] * cr;
        re[q] = re[p] - tr; im[q] = im[p] - ti; re[p] += tr; im[p] += ti;
        [cr, ci] = [cr * wr - ci * wi, cr * wi + ci * wr];
      }
    }
  }
}

// The track place (sample) that recording block [at, at + kBlock) sounds like, searched around
// `guess`, with its normalised correlation.
function findBlock(rec, track, energy, at, guess) {
  const span = Math.round((kSearchMs / 1000) * kRate), from = Math.max(0, guess - span);
  const seg = Math.min(track.length, guess + span + kBlock) - from;
  if (seg < kBlock) return null;
  let n = 1;
  while (n < seg + kBlock) n <<= 1;
  const ar = new Float64Array(n), ai = new Float64Array(n), br = new Float64Array(n), bi = new Float64Array(n);
  let blockEnergy = 0;
  for (let i = 0; i < kBlock; i++) { br[i] = rec[at + i]; blockEnergy += rec[at + i] ** 2; }
  for (let i = 0; i < seg; i++) ar[i] = track[from + i];
  fft(ar, ai, false);
  fft(br, bi, false);
  for (let i = 0; i < n; i++) {  // track times the conjugate of the block: correlation at each lag
    const r = ar[i] * br[i] + ai[i] * bi[i], m = ai[i] * br[i] - ar[i] * bi[i];
    ar[i] = r; ai[i] = m;
  }
  fft(ar, ai, true);
  let best = -Infinity, bestLag = 0;
  for (let lag = 0; lag + kBlock <= seg; lag++) {
    const e = energy[from + lag + kBlock] - energy[from + lag];
    if (e <= 1e-9) continue;
    const c = ar[lag] / n / Math.sqrt(e * blockEnergy);
    if (c > best) { best = c; bestLag = lag; }
  }
  return { place: from + bestLag, score: best };
}

function rms(v, from, count) {
  let s = 0;
  for (let i = from; i < from + count; i++) s += v[i] * v[i];
  return Math.sqrt(s / count);
}

// Judges a recording. `demoAt(epochMs)` is the demo time the page showed then; the track starts
// at demo time `musicStartMs`. Only the stretch from `fromEpoch` to `toEpoch` is judged.
// `forcedEpoch` is when the page's clock was moved on (or undefined).
export function judge(recording, track, demoAt, musicStartMs, fromEpoch, toEpoch, forcedEpoch) {
  const { samples: rec, firstEpoch } = recording;
  const energy = new Float64Array(track.length + 1);
  for (let i = 0; i < track.length; i++) energy[i + 1] = energy[i] + track[i] * track[i];
  const epochOf = (i) => firstEpoch + (i / kRate) * 1000;
  const first = Math.max(0, Math.round(((fromEpoch - firstEpoch) / 1000) * kRate));
  const last = Math.min(rec.length - kBlock, Math.round(((toEpoch - firstEpoch) / 1000) * kRate));
  const blocks = [];  // { at, place, offsetMs }
  let unmatched = 0;
  for (let at = first; at <= last; at += kBlock) {
    const expected = Math.round(((demoAt(epochOf(at)) - musicStartMs) / 1000) * kRate);
    const found = findBlock(rec, track, energy, at, expected);
    if (!found || found.score < kMatched) {
      if (rms(track, Math.max(0, expected), kBlock) > kLoudRms) unmatched++;
      continue;
    }
    blocks.push({ at, place: found.place, offsetMs: ((found.place - expected) / kRate) * 1000 });
  }
  // Jumps of the heard place between consecutive matched blocks.
  const jumps = [];
  for (let k = 1; k < blocks.length; k++) {
    const moved = ((blocks[k].place - blocks[k - 1].place - (blocks[k].at - blocks[k - 1].at)) / kRate) * 1000;
    if (Math.abs(moved) > kJumpMs) jumps.push({ epoch: epochOf(blocks[k].at), ms: moved });
  }
  // A block astride a cross-fade matches somewhere between the two places: jumps a block or two
  // apart are one move, and one that comes back to where it was is none.
  for (let k = jumps.length - 2; k >= 0; k--) {
    if (jumps[k + 1].epoch - jumps[k].epoch >= (2.5 * kBlock * 1000) / kRate) continue;
    jumps[k].ms += jumps[k + 1].ms;
    jumps.splice(k + 1, 1);
    if (Math.abs(jumps[k].ms) <= kJumpMs) jumps.splice(k, 1);
  }
  // Silences: 5 ms windows nearly empty where the track, at the heard place, is loud.
  const silences = [];
  let run = 0, runStart = 0, b = 0;
  for (let at = first; at + kWindow <= last + kBlock; at += kWindow) {
    while (b + 1 < blocks.length && blocks[b + 1].at <= at) b++;
    const place = blocks.length ? at - blocks[b].at + blocks[b].place : -1;
    const loud = place >= 0 && place + kWindow <= track.length && rms(track, place, kWindow) > kLoudRms;
    const silent = loud && rms(rec, at, kWindow) < rms(track, place, kWindow) / 30;
    if (silent) {
      if (!run) runStart = at;
      run++;
    } else if (run) {
      silences.push({ epoch: epochOf(runStart), ms: (run * kWindow * 1000) / kRate });
      run = 0;
    }
  }
  if (run) silences.push({ epoch: epochOf(runStart), ms: (run * kWindow * 1000) / kRate });
  // The device running dry (a busy machine starves the browser's audio thread) is heard as a
  // silence after which the track goes on where it stopped: the heard place falls behind by the
  // silence's length. That is the machine's speed, not the page's: such silences, and the page's
  // correction that brings the place back, are told apart and reported, not judged.
  for (const x of silences) {
    const j = jumps.find((y) => !y.dry && y.ms < 0 && y.epoch > x.epoch - 200 && y.epoch < x.epoch + x.ms + 200 &&
      Math.abs(-y.ms - x.ms) < Math.max(15, 0.25 * x.ms));
    if (!j) continue;
    x.dry = j.dry = true;
    const back = jumps.find((y) => !y.dry && !y.restores && y.epoch > j.epoch && y.epoch < j.epoch + 3000 && y.ms > 0 &&
      Math.abs(y.ms + j.ms) < 25);
    if (back) back.restores = true;
  }
  // A silence with the place kept and no move near it is the engine dropping output it could not
  // make in time (WebKitGTK does at load 9): in steady play the page does nothing to its audio, so
  // it is reported with the runs dry. Gaps of the page's own come with its corrections.
  const quiet = (x) => !jumps.some((y) => y.epoch > x.epoch - 1000 && y.epoch < x.epoch + x.ms + 1000);
  for (const x of silences) if (!x.dry && quiet(x)) x.dry = x.dropped = true;
  const heardSilences = silences.filter((x) => !x.dry), dry = silences.filter((x) => x.dry);
  const steady = blocks.filter((x) => forcedEpoch === undefined || epochOf(x.at) < forcedEpoch);
  const offsets = steady.map((x) => x.offsetMs).sort((p, q) => p - q);
  const q = (p) => (offsets.length ? offsets[Math.min(offsets.length - 1, Math.floor(p * offsets.length))] : NaN);
  let forced = null;
  if (forcedEpoch !== undefined) {
    forced = jumps.filter((j) => !j.dry && Math.abs(j.epoch - forcedEpoch) < 1500).sort((x, y) => Math.abs(y.ms) - Math.abs(x.ms))[0] || null;
  }
  const others = jumps.filter((j) => j !== forced && !j.dry && !j.restores);
  const gapAt = (epoch) => Math.max(0, ...silences.filter((x) => Math.abs(x.epoch - epoch) < 500).map((x) => x.ms));
  return {
    judgedMs: ((last + kBlock - first) / kRate) * 1000,
    blocks: blocks.length,
    unmatched,
    silentMs: heardSilences.reduce((sum, x) => sum + x.ms, 0),
    gaps: heardSilences.length,
    longestMs: Math.max(0, ...heardSilences.map((x) => x.ms)),
    dryMs: dry.reduce((sum, x) => sum + x.ms, 0),
    dryRuns: dry.length,
    dropped: dry.filter((x) => x.dropped).length,
    restored: jumps.filter((j) => j.restores).length,
    jumps: others,
    silences: heardSilences,
    forced,
    forcedGapMs: forced ? gapAt(forced.epoch) : NaN,
    // The device ran dry beside the forced correction: its gap is the machine's as much as the page's.
    dryAtForced: !!forced && dry.some((x) => Math.abs(x.epoch - forced.epoch) < 1500),
    offsetMedianMs: q(0.5),
    offsetSpreadMs: q(0.98) - q(0.02),  // the heard place against the demo time's, over the stretch
  };
}
