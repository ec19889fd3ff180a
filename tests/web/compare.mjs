// Comparing what the browser edition produced with what the desktop runner
// wrote: trace lines key by key, pictures pixel by pixel.
import { PNG } from 'pngjs';

// The largest absolute difference between two JSON values: 0 when equal,
// Infinity when they differ in kind, shape or a non-numeric value.
export function valueDistance(a, b) {
  if (typeof a === 'number' && typeof b === 'number') return Math.abs(a - b);
  if (Array.isArray(a) && Array.isArray(b)) {
    if (a.length !== b.length) return Infinity;
    return a.reduce((m, v, i) => Math.max(m, valueDistance(v, b[i])), 0);
  }
  if (a && b && typeof a === 'object' && typeof b === 'object' && !Array.isArray(a) && !Array.isArray(b)) {
    const keys = new Set([...Object.keys(a), ...Object.keys(b)]);
    let m = 0;
    for (const k of keys) m = Math.max(m, k in a && k in b ? valueDistance(a[k], b[k]) : Infinity);
    return m;
  }
  return a === b ? 0 : Infinity;
}

// Compares two traces given as arrays of JSON lines. Returns the number of
// lines of each, how many lines differ, and per differing key the number of
// lines and the largest difference (see valueDistance); `first` is the first
// differing tick with both lines. A key present on one side only counts as an
// Infinity difference of that key.
export function compareTraces(expected, actual) {
  const result = { expected: expected.length, actual: actual.length, differing: 0, keys: {}, first: null };
  const n = Math.min(expected.length, actual.length);
  for (let i = 0; i < n; ++i) {
    if (expected[i] === actual[i]) continue;
    const e = JSON.parse(expected[i]);
    const a = JSON.parse(actual[i]);
    let differs = false;
    for (const k of new Set([...Object.keys(e), ...Object.keys(a)])) {
      const d = k in e && k in a ? valueDistance(e[k], a[k]) : Infinity;
      if (d === 0) continue;
      differs = true;
      const entry = (result.keys[k] ??= { lines: 0, max: 0 });
      entry.lines += 1;
      entry.max = Math.max(entry.max, d);
    }
    if (differs) {
      result.differing += 1;
      result.first ??= { line: i, expected: expected[i], actual: actual[i] };
    }
  }
  return result;
}

// The lines of a JSON Lines text, without the empty last one.
export function jsonLines(text) {
  return text.split('\n').filter((l) => l.length > 0);
}

// A PNG from a file's bytes or a `data:image/png;base64,` URL.
export function decodePng(source) {
  const bytes = typeof source === 'string' ? Buffer.from(source.slice(source.indexOf(',') + 1), 'base64') : source;
  return PNG.sync.read(bytes);
}

// How far two pictures of the same size are apart: the mean absolute
// difference of each of red, green and blue (0..255), and the share (0..1) of
// pixels with a channel off by more than `threshold`. Alpha is ignored (the
// show's picture is opaque).
export function comparePictures(a, b, threshold = 32) {
  if (a.width !== b.width || a.height !== b.height) {
    throw new Error(`pictures differ in size: ${a.width}x${a.height} and ${b.width}x${b.height}`);
  }
  const sums = [0, 0, 0];
  let off = 0;
  const pixels = a.width * a.height;
  for (let p = 0; p < pixels * 4; p += 4) {
    let worst = 0;
    for (let c = 0; c < 3; ++c) {
      const d = Math.abs(a.data[p + c] - b.data[p + c]);
      sums[c] += d;
      worst = Math.max(worst, d);
    }
    if (worst > threshold) off += 1;
  }
  return { mean: sums.map((s) => s / pixels), off: off / pixels };
}
