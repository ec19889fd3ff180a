// What the browser tests and the web measurements share: a static server for
// the web build on a free localhost port, headless Chromium from Debian with
// WebGL2 on SwiftShader, waiting on the page's `window.quarvel`, collecting
// console errors, and running the desktop runner to compare against.
import { spawnSync } from 'node:child_process';
import fs from 'node:fs';
import http from 'node:http';
import os from 'node:os';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import { chromium } from 'playwright-core';

const here = path.dirname(fileURLToPath(import.meta.url));
export const root = path.resolve(here, '..', '..');
// The web build and the desktop build; both can be moved with the environment.
export const webDir = path.resolve(process.env.QUARVEL_WEB_DIR || path.join(root, 'build-web'));
export const buildDir = path.resolve(process.env.QUARVEL_BUILD || path.join(root, 'build'));
export const captureBin = path.join(buildDir, 'bin', 'quarvel-capture');
export const showDir = path.join(buildDir, 'show');
export const chromiumBin = process.env.QUARVEL_CHROMIUM || '/usr/bin/chromium';

// Flags that give WebGL2 on a machine with no GPU and no network, and keep
// the browser from calling home. The rasterizer: ANGLE on SwiftShader, the
// browser's own (the tests' default), or on the system's OpenGL ES through
// EGL, which is Mesa's llvmpipe here, the desktop runner's rasterizer.
export const rasterizers = {
  swiftshader: ['--use-angle=swiftshader', '--enable-unsafe-swiftshader'],
  llvmpipe: ['--use-angle=gl-egl', '--ignore-gpu-blocklist'],
};
export const chromiumArgs = [
  '--headless=new',
  '--no-sandbox',
  '--disable-quic',
  '--no-first-run',
  '--disable-background-networking',
  '--disable-component-update',
  '--disable-sync',
  '--autoplay-policy=no-user-gesture-required',
];

const mimeTypes = {
  '.html': 'text/html; charset=utf-8',
  '.js': 'text/javascript; charset=utf-8',
  '.mjs': 'text/javascript; charset=utf-8',
  '.wasm': 'application/wasm',
  '.data': 'application/octet-stream',
  '.json': 'application/json',
  '.css': 'text/css',
  '.png': 'image/png',
  '.jpg': 'image/jpeg',
  '.mp3': 'audio/mpeg',
  '.ico': 'image/x-icon',
};

// Serves `dir` read-only on 127.0.0.1 at a port the system picks; resolves to
// { url, served, close() }, `served` the paths (from `dir`) of the files sent,
// in order. Paths outside `dir` are refused.
export async function serve(dir = webDir) {
  const served = [];
  const server = http.createServer((req, res) => {
    const rel = decodeURIComponent(new URL(req.url, 'http://localhost').pathname);
    const file = path.join(dir, rel.endsWith('/') ? rel + 'index.html' : rel);
    if (!file.startsWith(dir + path.sep)) {
      res.writeHead(403).end();
      return;
    }
    fs.readFile(file, (err, body) => {
      if (err) {
        // The browser asks for an icon by itself; the page does not need one.
        res.writeHead(rel === '/favicon.ico' ? 204 : 404).end();
        return;
      }
      res.writeHead(200, {
        'Content-Type': mimeTypes[path.extname(file)] || 'application/octet-stream',
        'Cache-Control': 'no-store',
      });
      served.push(path.relative(dir, file));
      res.end(body);
    });
  });
  await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
  const { port } = server.address();
  return {
    url: `http://127.0.0.1:${port}/`,
    served,
    close: () => new Promise((resolve) => server.close(resolve)),
  };
}

// Starts Chromium with a fresh profile folder and WebGL2 on `rasterizer`
// (a key of `rasterizers`); resolves to { context, close() }. The folder goes
// when it closes.
export async function launch(rasterizer = 'swiftshader') {
  if (!rasterizers[rasterizer]) throw new Error(`no rasterizer ${rasterizer} (${Object.keys(rasterizers).join(', ')})`);
  if (!fs.existsSync(chromiumBin)) throw new Error(`${chromiumBin}: no Chromium there (make web-test-deps installs it)`);
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'quarvel-chromium-'));
  const context = await chromium.launchPersistentContext(profile, {
    executablePath: chromiumBin,
    headless: true,
    ignoreDefaultArgs: ['--headless'],
    args: [...chromiumArgs, ...rasterizers[rasterizer]],
    viewport: { width: 800, height: 600 },
  });
  return {
    context,
    close: async () => {
      await context.close();
      fs.rmSync(profile, { recursive: true, force: true });
    },
  };
}

// A server and a browser (WebGL2 on `rasterizer`) for one test file or
// measurement: `open(query)` gives a new page on
// index.html with the query string (and the viewport asked for) and its console errors (and uncaught
// exceptions) gathered in `page.errors`.
export async function startSession(rasterizer = 'swiftshader') {
  const server = await serve();
  const browser = await launch(rasterizer);
  return {
    server,
    // `viewport` ({ width, height }) sizes the page before it loads, and
    // with it the canvas the show draws at (800 x 600 otherwise); `init`, a
    // function run in the page before its own scripts (measurements only).
    async open(query = '', { viewport, init } = {}) {
      const page = await browser.context.newPage();
      if (viewport) await page.setViewportSize(viewport);
      if (init) await page.addInitScript(init);
      page.errors = [];
      page.on('console', (msg) => {
        if (msg.type() !== 'error') return;
        const where = msg.location()?.url;
        page.errors.push(where ? `${msg.text()} (${where})` : msg.text());
      });
      page.on('pageerror', (err) => page.errors.push(String(err)));
      await page.goto(server.url + 'index.html' + (query ? '?' + query : ''));
      return page;
    },
    async close() {
      await browser.close();
      await server.close();
    },
  };
}

// Waits until `window.quarvel` exists and `cond(quarvel)` holds (a function
// run in the page), or the page reports an error. Rejects with the page's
// error line or a time-out naming what it waited for.
export async function waitFor(page, what, cond, timeoutMs = 60000) {
  const expr = `(() => {
    const q = window.quarvel;
    if (!q) return false;
    if (q.error) return { error: String(q.error) };
    return (${cond.toString()})(q) ? { ok: true } : false;
  })()`;
  const handle = await page.waitForFunction(expr, null, { timeout: timeoutMs, polling: 50 }).catch(async (e) => {
    // Say where the page stood, and what it said, when the wait ran out.
    const state = await page
      .evaluate(() => JSON.stringify(window.quarvel && { ready: window.quarvel.ready, tick: window.quarvel.tick, done: window.quarvel.done }))
      .catch(() => 'unknown');
    const said = page.errors?.length ? `; console errors: ${page.errors.join(' | ')}` : '';
    throw new Error(`waiting for ${what}: ${e.message.split('\n')[0]}; window.quarvel: ${state}${said}`);
  });
  const r = await handle.jsonValue();
  if (r.error) throw new Error(`page error while waiting for ${what}: ${r.error}`);
}

// Runs the desktop runner from the show folder with `args`; returns its
// standard output as text (throws with its standard error on failure).
export function runCapture(args) {
  if (!fs.existsSync(captureBin)) throw new Error(`${captureBin}: no desktop runner (make build)`);
  const r = spawnSync(captureBin, args, { cwd: showDir, encoding: 'utf8', maxBuffer: 1 << 30 });
  if (r.status !== 0) throw new Error(`quarvel-capture ${args.join(' ')}: status ${r.status}: ${r.stderr.trim()}`);
  return r.stdout;
}
