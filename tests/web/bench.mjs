// Measures the web edition in headless Chromium on this machine and prints
// Markdown for BENCHMARKS.md: the download as a server would send it (each
// file the page asked for, gzip -9), the time from loading the page to its
// first frame, and frames a second per scene from per-tick timing on the
// virtual clock.  Usage: node bench.mjs [--runs N] [--ms-per-tick MS]
import fs from 'node:fs';
import path from 'node:path';
import { parseArgs } from 'node:util';
import zlib from 'node:zlib';
import { startSession, waitFor, webDir } from './harness.mjs';

const { values: opt } = parseArgs({
  options: { runs: { type: 'string', default: '3' }, 'ms-per-tick': { type: 'string', default: '100' } },
});
const runs = Number(opt.runs);
const msPerTick = Number(opt['ms-per-tick']);
if (!(runs >= 1) || !(msPerTick > 0)) {
  console.error('bench.mjs: --runs wants a whole number from 1 and --ms-per-tick a positive number');
  process.exit(2);
}

const session = await startSession();
const median = (xs) => [...xs].sort((a, b) => a - b)[Math.floor(xs.length / 2)];
const quantile = (xs, q) => [...xs].sort((a, b) => a - b)[Math.min(xs.length - 1, Math.floor(q * xs.length))];
const mb = (n) => (n / 1e6).toFixed(2);
const isMusic = (f) => /\.(mp3|ogg|opus|wav|m4a)$/i.test(f);

try {
  // What a visitor downloads: every file the page asks for up to a second of
  // the show after the start click, each compressed as a server would (gzip -9).
  let page = await session.open();
  await page.click('#start', { timeout: 60000 });
  await waitFor(page, 'a second of the show', (q) => q.tick >= 60, 120000);
  await page.close();
  const gz = (body) => zlib.gzipSync(body, { level: 9 }).length;
  const served = [...new Set(session.server.served)];
  const bodies = new Map(served.map((f) => [f, fs.readFileSync(path.join(webDir, f))]));
  // Files packed into a data package are listed, with their byte ranges, in
  // the loader script: the music's range is cut out for the size without it.
  const packed = [];
  for (const [f, body] of bodies) {
    if (!f.endsWith('.js')) continue;
    const re = /"filename":\s*"([^"]+)",\s*"start":\s*(\d+),\s*"end":\s*(\d+)/g;
    for (const m of body.toString('utf8').matchAll(re)) packed.push({ name: m[1], start: Number(m[2]), end: Number(m[3]) });
  }
  const packedMusic = packed.filter((p) => isMusic(p.name));
  const files = served.map((f) => {
    const body = bodies.get(f);
    let rest = isMusic(f) ? Buffer.alloc(0) : body;
    if (f.endsWith('.data') && packedMusic.length) {
      const keep = [];
      let at = 0;
      for (const p of [...packedMusic].sort((a, b) => a.start - b.start)) {
        keep.push(body.subarray(at, p.start));
        at = p.end;
      }
      keep.push(body.subarray(at));
      rest = Buffer.concat(keep);
    }
    return { f, raw: body.length, gz: gz(body), restRaw: rest.length, restGz: rest.length ? gz(rest) : 0 };
  });
  const sum = (k) => files.reduce((s, x) => s + x[k], 0);
  console.log('| file | bytes | gzip -9 | without the music: bytes | gzip -9 |\n|---|---|---|---|---|');
  for (const x of files) console.log(`| \`${x.f}\` | ${x.raw} | ${x.gz} | ${x.restRaw} | ${x.restGz} |`);
  console.log(`| all | ${sum('raw')} | ${sum('gz')} (${mb(sum('gz'))} MB) | ${sum('restRaw')} | ${sum('restGz')} (${mb(sum('restGz'))} MB) |`);
  if (packedMusic.length) console.log(`\nThe music in the data package: ${packedMusic.map((p) => `\`${p.name}\` (${p.end - p.start} bytes)`).join(', ')}.`);
  console.log('');

  // From navigation to the first frame: on the virtual clock (no click) the
  // first tick drawn; in normal mode the page ready for its click, and from
  // the click to the first tick drawn. Milliseconds of the page's own clock.
  const first = { virtual: [], ready: [], click: [] };
  for (let i = 0; i < runs; ++i) {
    page = await session.open('ticks=1');
    first.virtual.push(await (await page.waitForFunction(() => window.quarvel?.tick >= 1 && performance.now(),
      null, { polling: 'raf', timeout: 60000 })).jsonValue());
    await page.close();
    page = await session.open();
    first.ready.push(await (await page.waitForFunction(() => !document.getElementById('start')?.disabled && performance.now(),
      null, { polling: 'raf', timeout: 60000 })).jsonValue());
    const clicked = await page.evaluate(() => performance.now());
    await page.click('#start');
    const drawn = await (await page.waitForFunction(() => window.quarvel?.tick >= 1 && performance.now(),
      null, { polling: 'raf', timeout: 60000 })).jsonValue();
    first.click.push(drawn - clicked);
    await page.close();
  }
  const ms = (xs) => `${median(xs).toFixed(0)} ms (${xs.map((x) => x.toFixed(0)).join(', ')})`;
  console.log(`| first frame, median of ${runs} | |\n|---|---|`);
  console.log(`| page load to the first tick drawn, \`?ticks=1\` | ${ms(first.virtual)} |`);
  console.log(`| page load to the start button enabled, normal mode | ${ms(first.ready)} |`);
  console.log(`| click to the first tick drawn, normal mode | ${ms(first.click)} |\n`);

  // Frames a second per scene: the whole show tick by tick in manual mode,
  // each advance(1) timed in the page; scenes named as the desktop
  // timedemo names them (the highest step flag set).
  page = await session.open(`manual=1&trace=1&ms-per-tick=${msPerTick}`);
  await waitFor(page, 'the page to be ready', (q) => q.ready);
  const started = Date.now();
  const times = await page.evaluate(async () => {
    const q = window.quarvel;
    const out = [];
    while (!q.done) {
      const t0 = performance.now();
      await q.advance(1);
      out.push(performance.now() - t0);
    }
    return out;
  });
  const trace = await page.evaluate(() => window.quarvel.trace);
  const wall = (Date.now() - started) / 1000;
  await page.close();
  const scenes = new Map();
  trace.forEach((line, i) => {
    if (i >= times.length) return;
    const flags = JSON.parse(line).flags;
    const name = flags.length ? `Party_${Math.max(...flags) + 1}` : 'loading';
    if (!scenes.has(name)) scenes.set(name, []);
    scenes.get(name).push(times[i]);
  });
  scenes.set('whole show', times);
  console.log(`${times.length} ticks at ${msPerTick} ms a tick in ${wall.toFixed(1)} s\n`);
  console.log('| scene | ticks | frames a second | median ms | 95 % ms | worst ms |\n|---|---|---|---|---|---|');
  for (const [name, t] of scenes) {
    const fps = t.length / (t.reduce((s, x) => s + x, 0) / 1000);
    console.log(`| ${name} | ${t.length} | ${fps.toFixed(1)} | ${median(t).toFixed(1)} | ` +
      `${quantile(t, 0.95).toFixed(1)} | ${Math.max(...t).toFixed(1)} |`);
  }
} finally {
  await session.close();
}
