// The page's part of the soak (bench/soak.sh): the whole show on the virtual
// clock, then "Play again", as many times as asked, in one page. After each
// show it prints a line of figures, tab-separated: the show's number, the
// page's renderer process (resident memory in kB, open files, threads), the
// GPU process's resident memory in kB (WebGL2 on SwiftShader draws there),
// the page's WebAssembly memory and its JavaScript heap in bytes (after a
// garbage collection). Lines starting with # say what was run.
//   node soak.mjs [--shows N] [--ms-per-tick MS]
import fs from 'node:fs';
import { parseArgs } from 'node:util';
import { chromiumArgs, startSession, waitFor } from './harness.mjs';

const { values: opt } = parseArgs({
  options: { shows: { type: 'string', default: '10' }, 'ms-per-tick': { type: 'string', default: '100' } },
});
const shows = Number(opt.shows);
const msPerTick = Number(opt['ms-per-tick']);
if (!Number.isInteger(shows) || shows < 1 || !(msPerTick > 0)) {
  console.error('soak.mjs: --shows wants a whole number from 1 and --ms-per-tick a positive number');
  process.exit(2);
}

// A whole show may take long on a loaded machine.
const showTimeoutMs = 60 * 60 * 1000;

// The processes below this one (the browser Chromium started for us and its
// children), with their command lines.
function descendants(root) {
  const parents = new Map();
  for (const pid of fs.readdirSync('/proc').filter((d) => /^\d+$/.test(d))) {
    try {
      const stat = fs.readFileSync(`/proc/${pid}/stat`, 'utf8');
      const ppid = Number(stat.slice(stat.lastIndexOf(')') + 2).split(' ')[1]);
      parents.set(Number(pid), ppid);
    } catch {
      // gone meanwhile
    }
  }
  const found = [];
  const walk = (p) => {
    for (const [child, parent] of parents) {
      if (parent !== p) continue;
      let cmd = '';
      try {
        cmd = fs.readFileSync(`/proc/${child}/cmdline`, 'utf8').replaceAll('\0', ' ');
      } catch {
        continue;
      }
      found.push({ pid: child, cmd });
      walk(child);
    }
  };
  walk(root);
  return found;
}

function rssKb(pid) {
  const m = fs.readFileSync(`/proc/${pid}/status`, 'utf8').match(/^VmRSS:\s+(\d+)/m);
  return m ? Number(m[1]) : 0;
}
const count = (dir) => fs.readdirSync(dir).length;

// The page's renderer: the largest renderer process (Chromium may keep a
// spare one, nearly empty); the GPU process.
function processFigures() {
  const all = descendants(process.pid);
  const renderers = all.filter((p) => p.cmd.includes('--type=renderer') && !p.cmd.includes('--extension-process'));
  const gpu = all.find((p) => p.cmd.includes('--type=gpu-process'));
  const renderer = renderers.map((p) => ({ ...p, rss: rssKb(p.pid) })).sort((a, b) => b.rss - a.rss)[0];
  if (!renderer) throw new Error('soak.mjs: no renderer process found');
  return {
    rss: renderer.rss,
    fds: count(`/proc/${renderer.pid}/fd`),
    threads: count(`/proc/${renderer.pid}/task`),
    gpuRss: gpu ? rssKb(gpu.pid) : 0,
  };
}

chromiumArgs.push('--js-flags=--expose-gc');
const session = await startSession();
const started = Date.now();
try {
  console.log(`# ${shows} shows on the virtual clock, ${msPerTick} ms a tick, "Play again" between them`);
  console.log('show\trss_kb\tfds\tthreads\tgpu_rss_kb\twasm_bytes\tjs_heap_bytes\tticks\tseconds');
  const page = await session.open(`ms-per-tick=${msPerTick}`);
  for (let show = 1; show <= shows; ++show) {
    const t0 = Date.now();
    if (show > 1) await page.click('#again', { timeout: 60000 });
    await waitFor(page, `the end of show ${show}`, (q) => q.done, showTimeoutMs);
    const inPage = await page.evaluate(() => {
      if (window.gc) window.gc();
      const wasm = typeof Module !== 'undefined' && Module.HEAP8 ? Module.HEAP8.buffer.byteLength : 0;
      return { wasm, heap: performance.memory ? performance.memory.usedJSHeapSize : 0, tick: window.quarvel.tick };
    });
    const p = processFigures();
    console.log([show, p.rss, p.fds, p.threads, p.gpuRss, inPage.wasm, inPage.heap, inPage.tick,
      ((Date.now() - t0) / 1000).toFixed(0)].join('\t'));
  }
  if (page.errors.length) {
    console.error(`soak.mjs: the page said: ${page.errors.join(' | ')}`);
    process.exitCode = 1;
  }
  console.log(`# ${((Date.now() - started) / 1000).toFixed(0)} s in all`);
} finally {
  await session.close();
}
