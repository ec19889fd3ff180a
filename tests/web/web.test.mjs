// The web edition in headless Chromium, against the desktop runner: the page
// starts on a click, its virtual-clock trace and pictures match the runner's,
// and keys pressed between ticks reach the show.
import assert from 'node:assert/strict';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { after, before, describe, test } from 'node:test';
import { comparePictures, compareTraces, decodePng, jsonLines } from './compare.mjs';
import { runCapture, startSession, waitFor } from './harness.mjs';

// The whole show runs at 100 ms a tick (about 2,700 ticks) to keep the run
// short; these are ticks in its first five scenes.
const WHOLE_SHOW_MS_PER_TICK = 100;
const PICTURE_TICKS = [200, 600, 1500, 2380];
// Pictures come from two rasterisers (Mesa llvmpipe, SwiftShader in
// Chromium): edges and texture filtering differ by a step here and there.
const PICTURE_MEAN_MAX = 2.0; // mean absolute difference per channel, 0..255
const PICTURE_OFF_SHARE_MAX = 0.005; // share of pixels with a channel off by more than...
const PICTURE_OFF_THRESHOLD = 48;
// The keys test runs at 250 ms a tick, where the finale starts at tick 1021
// (fewer ticks to play in the browser); F6 is held there for one tick.
const KEYS_MS_PER_TICK = 250;
const FINALE_TICK = 1030;

const minutes = (n) => n * 60 * 1000;

let session;
before(async () => {
  session = await startSession();
});
after(async () => {
  await session?.close();
});

// The page's trace once the run is done.
async function runToEnd(page, what) {
  await waitFor(page, what, (q) => q.done, minutes(20));
  return page.evaluate(() => window.quarvel.trace);
}

function explain(r) {
  const keys = Object.entries(r.keys).map(([k, v]) => `${k}: ${v.lines} lines, up to ${v.max}`);
  return `${r.differing} of ${r.expected} lines differ (${keys.join('; ')}); first at line ${r.first?.line}:\n` +
    `desktop: ${r.first?.expected.slice(0, 400)}\nweb:     ${r.first?.actual.slice(0, 400)}`;
}

test('the page starts on the start button and plays its first scene with no console error', { timeout: minutes(3) }, async () => {
  const page = await session.open();
  // The button is enabled once the page has loaded and decoded the show's files.
  await page.locator('#start:enabled').waitFor({ timeout: minutes(1) });
  assert.deepEqual(await page.evaluate(() => [window.quarvel.ready, window.quarvel.tick]), [false, 0],
    'nothing runs before the click');
  await page.click('#start');
  await waitFor(page, 'a second of the show', (q) => q.tick >= 60, minutes(2));
  // The first scene's picture is on the canvas: far from all black.
  const shot = decodePng(await page.locator('#screen').screenshot());
  let lit = 0;
  for (let p = 0; p < shot.data.length; p += 4) if (shot.data[p] + shot.data[p + 1] + shot.data[p + 2] > 48) lit += 1;
  assert.ok(lit > (shot.width * shot.height) / 10, `only ${lit} of ${shot.width * shot.height} pixels lit`);
  assert.deepEqual(page.errors, []);
  await page.close();
});

test('1300 ticks on the virtual clock trace exactly as the desktop runner', { timeout: minutes(10) }, async () => {
  const page = await session.open('ticks=1300&trace=1');
  const web = await runToEnd(page, '1300 ticks');
  const desktop = jsonLines(runCapture(['--ticks', '1300', '--trace', '-']));
  const r = compareTraces(desktop, web);
  assert.equal(web.length, desktop.length);
  assert.equal(r.differing, 0, explain(r));
  assert.deepEqual(page.errors, []);
  await page.close();
});

describe(`the whole show at ${WHOLE_SHOW_MS_PER_TICK} ms a tick`, { timeout: minutes(25) }, () => {
  const out = fs.mkdtempSync(path.join(os.tmpdir(), 'quarvel-web-'));
  let web;
  let desktop;
  before(async () => {
    const page = await session.open(`ms-per-tick=${WHOLE_SHOW_MS_PER_TICK}&trace=1&png-at=${PICTURE_TICKS.join(',')}`);
    const trace = await runToEnd(page, 'the whole show');
    web = { trace, pngs: await page.evaluate(() => window.quarvel.pngs), errors: page.errors };
    await page.close();
    desktop = jsonLines(runCapture(['--ms-per-tick', String(WHOLE_SHOW_MS_PER_TICK), '--trace', '-',
      '--png-at', PICTURE_TICKS.join(','), '--out', out]));
  });
  after(() => fs.rmSync(out, { recursive: true, force: true }));

  test('traces as the desktop runner, to its closing line', () => {
    const r = compareTraces(desktop, web.trace);
    assert.equal(web.trace.length, desktop.length);
    assert.equal(r.differing, 0, explain(r));
    assert.deepEqual(web.errors, []);
  });

  test(`pictures match the desktop runner's at ticks ${PICTURE_TICKS.join(', ')}`, (t) => {
    for (const tick of PICTURE_TICKS) {
      assert.ok(web.pngs[tick], `no picture of tick ${tick}`);
      const ours = decodePng(web.pngs[tick]);
      const theirs = decodePng(fs.readFileSync(path.join(out, `frame_${String(tick).padStart(6, '0')}.png`)));
      const d = comparePictures(theirs, ours, PICTURE_OFF_THRESHOLD);
      const said = `tick ${tick}: mean difference ${d.mean.map((m) => m.toFixed(2)).join('/')}, ` +
        `${(d.off * 100).toFixed(2)} % pixels off by more than ${PICTURE_OFF_THRESHOLD}`;
      t.diagnostic(said);
      assert.ok(Math.max(...d.mean) <= PICTURE_MEAN_MAX && d.off <= PICTURE_OFF_SHARE_MAX, said);
    }
  });
});

test('every look: the same trace and the desktop runner\'s picture', { timeout: minutes(15) }, async (t) => {
  // A short run: the smooth look costs seconds a tick on a software
  // rasterizer, and what the looks change shows from the first ticks on.
  const tick = 20;
  const args = ['--ms-per-tick', String(WHOLE_SHOW_MS_PER_TICK), '--ticks', String(tick + 1), '--trace', '-'];
  const sharp = jsonLines(runCapture(args));
  // The page draws the smooth look at the size its canvas has on screen:
  // a page as large as the desktop runner's picture (twice 640 x 480) draws
  // it at the same size.
  for (const look of ['original', 'smooth']) {
    const page = await session.open(`look=${look}&ms-per-tick=${WHOLE_SHOW_MS_PER_TICK}&ticks=${tick + 1}` +
      `&trace=1&png-at=${tick}`, { viewport: { width: 1300, height: 980 } });
    const trace = await runToEnd(page, `${tick + 1} ticks in the ${look} look`);
    const png = await page.evaluate((k) => window.quarvel.pngs[k], tick);
    assert.deepEqual(page.errors, [], look);
    await page.close();
    const r = compareTraces(sharp, trace);
    assert.equal(r.differing, 0, `${look}: ${explain(r)}`);
    const out = fs.mkdtempSync(path.join(os.tmpdir(), 'quarvel-look-'));
    runCapture([...args, '--look', look, '--png-at', String(tick), '--out', out]);
    const theirs = decodePng(fs.readFileSync(path.join(out, `frame_${String(tick).padStart(6, '0')}.png`)));
    fs.rmSync(out, { recursive: true, force: true });
    assert.ok(png, `${look}: no picture of tick ${tick}`);
    const ours = decodePng(png);
    assert.equal(ours.width, theirs.width, look);
    const d = comparePictures(theirs, ours, PICTURE_OFF_THRESHOLD);
    const said = `${look}, tick ${tick}: mean difference ${d.mean.map((m) => m.toFixed(2)).join('/')}, ` +
      `${(d.off * 100).toFixed(2)} % pixels off by more than ${PICTURE_OFF_THRESHOLD}`;
    t.diagnostic(said);
    assert.ok(Math.max(...d.mean) <= PICTURE_MEAN_MAX && d.off <= PICTURE_OFF_SHARE_MAX, said);
  }
});

test('keys pressed between ticks reach the show: F6 in the finale jumps back, Esc ends it', { timeout: minutes(15) }, async () => {
  const page = await session.open(`manual=1&ms-per-tick=${KEYS_MS_PER_TICK}&trace=1`);
  await waitFor(page, 'the page to be ready', (q) => q.ready);
  await page.evaluate((n) => window.quarvel.advance(n), FINALE_TICK);
  // F6 is read from the keys held during a tick: held for one tick.
  await page.keyboard.down('F6');
  await page.evaluate(() => window.quarvel.advance(1));
  await page.keyboard.up('F6');
  await page.evaluate(() => window.quarvel.advance(5));
  const web = await page.evaluate(() => window.quarvel.trace);

  const script = path.join(fs.mkdtempSync(path.join(os.tmpdir(), 'quarvel-keys-')), 'keys.txt');
  fs.writeFileSync(script, `${FINALE_TICK} down F6\n${FINALE_TICK + 1} up F6\n`);
  const desktop = jsonLines(runCapture(['--ms-per-tick', String(KEYS_MS_PER_TICK), '--from', String(FINALE_TICK - 1),
    '--ticks', String(FINALE_TICK + 6), '--input', script, '--trace', '-']));
  fs.rmSync(path.dirname(script), { recursive: true, force: true });
  const r = compareTraces(desktop, web);
  assert.equal(r.differing, 0, explain(r));
  assert.equal(web.length, FINALE_TICK + 6);
  // In the finale before the key, in the forest flight after it.
  assert.deepEqual(JSON.parse(web[FINALE_TICK - 1]).flags, [6]);
  assert.deepEqual(JSON.parse(web[FINALE_TICK]).built, ['Party_chargement_anim2']);

  await page.keyboard.press('Escape');
  await page.evaluate(() => void window.quarvel.advance(1));
  await waitFor(page, 'the show to end after Esc', (q) => q.done, minutes(1));
  assert.ok(await page.locator('#again').isVisible(), 'the ended screen shows its button');
  assert.deepEqual(page.errors, []);
  await page.close();
});
