// Measures the web edition in headless Chromium on this machine and prints
// Markdown for BENCHMARKS.md: the download as a server would send it (each
// file the page asked for, gzip -9), the time from loading the page to its
// first frame, frames a second per scene from per-tick timing on the
// virtual clock, and the page against the desktop runner on the same
// rasterizer (Mesa's llvmpipe), with the browser's own SwiftShader beside;
// or (--only calls) the WebGL calls a tick per kind and per scene.
// Usage: node bench.mjs [--runs N] [--ms-per-tick MS] [--only compare|calls] [--ticks N]
import fs from 'node:fs';
import path from 'node:path';
import { parseArgs } from 'node:util';
import zlib from 'node:zlib';
import { spawnSync } from 'node:child_process';
import { captureBin, showDir, startSession, waitFor, webDir } from './harness.mjs';

const { values: opt } = parseArgs({
  options: {
    runs: { type: 'string', default: '3' },
    'ms-per-tick': { type: 'string', default: '100' },
    only: { type: 'string' },
    ticks: { type: 'string' },  // the comparison over the first N ticks only
  },
});
const runs = Number(opt.runs);
const msPerTick = Number(opt['ms-per-tick']);
const ticksArgs = opt.ticks ? { page: `&ticks=${opt.ticks}`, desktop: ['--ticks', opt.ticks] } : { page: '', desktop: [] };
if (!(runs >= 1) || !(msPerTick > 0)) {
  console.error('bench.mjs: --runs wants a whole number from 1 and --ms-per-tick a positive number');
  process.exit(2);
}
if (opt.only !== undefined && opt.only !== 'compare' && opt.only !== 'calls') {
  console.error(`bench.mjs: --only takes "compare" or "calls", not "${opt.only}"`);
  process.exit(2);
}

// The scene of a trace line, named as the desktop timedemo names it (the
// highest step flag set).
const sceneOf = (line) => {
  const flags = JSON.parse(line).flags;
  return flags.length ? `Party_${Math.max(...flags) + 1}` : 'loading';
};

// The whole show on the virtual clock in the page with WebGL2 on
// `rasterizer`: the wall time from opening the page to its end (load and
// decoding included) and, per scene, the milliseconds a tick. The page runs
// its ticks in batches and says when each batch ended: a batch's time, from
// the end of the one before, is shared evenly by its ticks (the first
// batch starts when the show has started).
async function pageRun(rasterizer) {
  const session = await startSession(rasterizer);
  try {
    const started = Date.now();
    const page = await session.open(`trace=1&ms-per-tick=${msPerTick}${ticksArgs.page}`);
    await waitFor(page, 'the show to end', (q) => q.done, 1800000);
    const wall = (Date.now() - started) / 1000;
    const renderer = await page.evaluate(() => {
      const gl = document.createElement('canvas').getContext('webgl2');
      const info = gl && gl.getExtension('WEBGL_debug_renderer_info');
      return gl ? gl.getParameter(info ? info.UNMASKED_RENDERER_WEBGL : gl.RENDERER) : 'no WebGL2';
    });
    const { trace, ends } = await page.evaluate(() => ({ trace: window.quarvel.trace, ends: window.quarvel.tickEnds }));
    const scenes = new Map();
    for (let b = 1; b < ends.length; ++b) {
      const [from, t0] = ends[b - 1], [to, t1] = ends[b];
      for (let tick = from; tick < Math.min(to, trace.length); ++tick) {
        const name = sceneOf(trace[tick]);
        const s = scenes.get(name) || { ticks: 0, ms: 0 };
        s.ticks += 1;
        s.ms += (t1 - t0) / (to - from);
        scenes.set(name, s);
      }
    }
    return { wall, renderer, ticks: trace.length, scenes };
  } finally {
    await session.close();
  }
}

// The same show in the desktop runner: its timedemo's milliseconds a tick
// per scene (the tick's steps, render and flip) and the process's wall time.
function desktopRun() {
  const started = Date.now();
  const r = spawnSync(captureBin, ['--ms-per-tick', String(msPerTick), ...ticksArgs.desktop, '--timedemo', '--json'],
    { cwd: showDir, encoding: 'utf8', maxBuffer: 1 << 26 });
  if (r.status !== 0) throw new Error(`quarvel-capture --timedemo: status ${r.status}: ${r.stderr.trim()}`);
  const wall = (Date.now() - started) / 1000;
  const report = JSON.parse(r.stdout);
  const scenes = new Map(report.scenes.map((s) => [s.scene, { ticks: s.frames, ms: s.frames * (1000 / s.mean_fps) }]));
  return { wall, ticks: report.frames, scenes };
}

// The page against the desktop, on llvmpipe and on SwiftShader.
async function compare() {
  const desktop = desktopRun();
  const pages = { llvmpipe: await pageRun('llvmpipe'), swiftshader: await pageRun('swiftshader') };
  console.log(`The whole show at ${msPerTick} ms a tick (${desktop.ticks} ticks), one run each; renderers: ` +
    `${pages.llvmpipe.renderer} | ${pages.swiftshader.renderer}\n`);
  const perTick = (s) => (s && s.ticks ? s.ms / s.ticks : NaN);
  const cell = (page, name) => {
    const p = perTick(page.scenes.get(name));
    return `${p.toFixed(2)} | ${(p / perTick(desktop.scenes.get(name))).toFixed(2)}`;
  };
  console.log('| scene | ticks | desktop ms a tick | page on llvmpipe | ratio | page on SwiftShader | ratio |');
  console.log('|---|---|---|---|---|---|---|');
  for (const [name, d] of desktop.scenes) {
    console.log(`| ${name} | ${d.ticks} | ${perTick(d).toFixed(2)} | ${cell(pages.llvmpipe, name)} | ${cell(pages.swiftshader, name)} |`);
  }
  const all = (run) => {
    let ticks = 0, ms = 0;
    for (const s of run.scenes.values()) { ticks += s.ticks; ms += s.ms; }
    return { ticks, ms };
  };
  const wd = perTick(all(desktop));
  const wl = perTick(all(pages.llvmpipe)), ws = perTick(all(pages.swiftshader));
  console.log(`| whole show, ticks | ${desktop.ticks} | ${wd.toFixed(2)} | ${wl.toFixed(2)} | ${(wl / wd).toFixed(2)} | ` +
    `${ws.toFixed(2)} | ${(ws / wd).toFixed(2)} |`);
  console.log(`| whole show, wall s (load included) | | ${desktop.wall.toFixed(1)} | ${pages.llvmpipe.wall.toFixed(1)} | ` +
    `${(pages.llvmpipe.wall / desktop.wall).toFixed(2)} | ${pages.swiftshader.wall.toFixed(1)} | ` +
    `${(pages.swiftshader.wall / desktop.wall).toFixed(2)} |\n`);
}

// Run in the page before its scripts: every WebGL2 call counted by name in
// window.quarvelGlCalls, and the bytes handed to the GPU process by the
// uploads (buffers and textures) under "bytes uploaded".
function countWebGlCalls() {
  const counts = {};
  window.quarvelGlCalls = counts;
  const proto = WebGL2RenderingContext.prototype;
  const texelBytes = (format) => (format === 0x1903 /* RED */ ? 1 : 4);
  const uploaded = (name, a) => {
    if (name === 'bufferData' && typeof a[1] === 'object' && a[1]) return a.length >= 5 ? a[4] : a[1].byteLength;
    if (name === 'bufferSubData') return a.length >= 5 ? a[4] : a[2].byteLength;
    if (name === 'texImage2D' && a.length >= 9) return a[3] * a[4] * texelBytes(a[6]);
    if (name === 'texSubImage2D' && a.length >= 9) return a[4] * a[5] * texelBytes(a[6]);
    return 0;
  };
  for (const name of Object.getOwnPropertyNames(proto)) {
    const d = Object.getOwnPropertyDescriptor(proto, name);
    if (!d || typeof d.value !== 'function' || name === 'constructor') continue;
    const f = d.value;
    proto[name] = function (...args) {
      counts[name] = (counts[name] || 0) + 1;
      const bytes = uploaded(name, args);
      if (bytes) counts['bytes uploaded'] = (counts['bytes uploaded'] || 0) + bytes;
      return f.apply(this, args);
    };
  }
}

// Calls that wait for the GPU process (a round trip each in Chromium).
const waitingCalls = /^(get(?!Extension|UniformLocation|AttribLocation)|readPixels|finish|checkFramebufferStatus|clientWaitSync|isContextLost)/;

// The WebGL calls a tick, per kind, per scene and over the ticks run, on
// llvmpipe, tick by tick in manual mode.
async function calls() {
  const session = await startSession('llvmpipe');
  try {
    const page = await session.open(`manual=1&trace=1&ms-per-tick=${msPerTick}${ticksArgs.page}`, { init: countWebGlCalls });
    await waitFor(page, 'the page to be ready', (q) => q.ready);
    const perTick = await page.evaluate(async () => {
      const q = window.quarvel;
      const out = [];
      while (!q.done) {
        for (const k of Object.keys(window.quarvelGlCalls)) delete window.quarvelGlCalls[k];
        await q.advance(1);
        out.push({ ...window.quarvelGlCalls });
      }
      return out;
    });
    const trace = await page.evaluate(() => window.quarvel.trace);
    const scenes = new Map();
    const add = (name, counts) => {
      const s = scenes.get(name) || { ticks: 0, counts: {} };
      s.ticks += 1;
      for (const [k, v] of Object.entries(counts)) s.counts[k] = (s.counts[k] || 0) + v;
      scenes.set(name, s);
    };
    trace.forEach((line, i) => {
      if (i < perTick.length) add(sceneOf(line), perTick[i]);
    });
    trace.forEach((line, i) => {
      if (i < perTick.length) add('whole show', perTick[i]);
    });
    const whole = scenes.get('whole show');
    const names = Object.keys(whole.counts).filter((k) => k !== 'bytes uploaded')
      .sort((a, b) => whole.counts[b] - whole.counts[a]);
    const cols = [...scenes.keys()];
    console.log(`WebGL calls a tick on llvmpipe, ${whole.ticks} ticks at ${msPerTick} ms a tick ` +
      `(${cols.map((c) => `${c} ${scenes.get(c).ticks}`).join(', ')} ticks)\n`);
    console.log(`| call | ${cols.join(' | ')} |\n|---|${cols.map(() => '---').join('|')}|`);
    const row = (label, f) => console.log(`| ${label} | ${cols.map((c) => f(scenes.get(c))).join(' | ')} |`);
    const per = (s, k) => ((s.counts[k] || 0) / s.ticks);
    const fmt = (x) => (x >= 10 ? x.toFixed(0) : x.toFixed(2));
    row('**all calls**', (s) => fmt(names.reduce((t, k) => t + per(s, k), 0)));
    for (const k of names) row(waitingCalls.test(k) ? `\`${k}\` (waits)` : `\`${k}\``, (s) => fmt(per(s, k)));
    row('kB uploaded', (s) => (per(s, 'bytes uploaded') / 1024).toFixed(1));
  } finally {
    await session.close();
  }
}

if (opt.only === 'compare') {
  await compare();
  process.exit(0);
}
if (opt.only === 'calls') {
  await calls();
  process.exit(0);
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
    const name = sceneOf(line);
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

await compare();
