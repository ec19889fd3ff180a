// The web edition in headless Chromium, against the desktop runner: the page
// starts on a click, its control bar works the player and keeps its choices,
// its virtual-clock trace and pictures match the runner's, and keys and the
// finale's locked mouse between ticks reach the show.
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
// (fewer ticks to play in the browser); the mouse flies there for a tick,
// then F6 is held for one.
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

// Resolves after a few animation frames of the page.
const frames = (page, n) =>
  page.evaluate((k) => new Promise((resolve) => {
    const next = () => (k-- > 0 ? requestAnimationFrame(next) : resolve());
    next();
  }), n);

test('the control bar works the player: pause, volume, mute, look, scenes, help, full screen; kept, the address winning', { timeout: minutes(8) }, async () => {
  let page = await session.open();
  await page.evaluate(() => localStorage.clear());
  await page.locator('#start:enabled').waitFor({ timeout: minutes(1) });
  await page.click('#start');
  const player = () => page.evaluate(() => window.quarvel.player);
  const gain = () => page.evaluate(() => Object.values(Module.quarvelAudio.gains).map((g) => g.gain.value));
  await waitFor(page, 'the music', (q) => q.tick >= 10 && Object.keys(Module.quarvelAudio.nodes).length === 1, minutes(2));
  assert.deepEqual(await player(), { paused: false, volume: 100, muted: false, look: 'sharp', chapter: 1, seeking: false, flight: false });

  // Input shows the bar; the time without input takes it away while playing, not while paused.
  const bar = page.locator('#bar');
  await page.mouse.move(100, 100);
  assert.equal(await bar.getAttribute('class'), '');
  assert.equal(await page.evaluate(() => window.quarvel.idleBar()), true);
  assert.equal(await bar.getAttribute('class'), 'away');
  await page.keyboard.press('Control');
  assert.equal(await bar.getAttribute('class'), '');
  await page.click('#pause');
  await waitFor(page, 'the pause', (q) => q.player.paused);
  const held = await page.evaluate(() => window.quarvel.tick);
  await frames(page, 5);
  assert.equal(await page.evaluate(() => window.quarvel.tick), held, 'no tick while paused');
  assert.deepEqual(await gain(), [], 'the music holds');
  assert.equal(await page.evaluate(() => window.quarvel.idleBar()), false, 'the bar stays while paused');
  assert.equal(await page.getAttribute('#pause', 'aria-pressed'), 'true');
  await page.keyboard.press('Pause');
  await waitFor(page, 'playing on', (q) => !q.player.paused);
  await page.waitForFunction((h) => window.quarvel.tick > h, held);

  // Volume and mute reach the music's gain; the player's keys do as the bar.
  await page.locator('#volume').fill('40');
  await waitFor(page, 'the volume', (q) => q.player.volume === 40);
  assert.ok(Math.abs((await gain())[0] - 0.4) < 1e-6);
  await page.keyboard.press('Control+Equal');
  await waitFor(page, 'the louder volume', (q) => q.player.volume === 50);
  await page.click('#mute');
  await waitFor(page, 'the mute', (q) => q.player.muted);
  assert.deepEqual(await gain(), [0]);
  await page.selectOption('#look', 'original');
  await waitFor(page, 'the original look', (q) => q.player.look === 'original');
  assert.deepEqual(await page.evaluate(() => ['volume', 'muted', 'look'].map((k) => localStorage.getItem('quarvel.' + k))),
    ['50', '1', 'original']);

  // Scenes: the bar's list goes onwards, Ctrl+[ back to the opening.
  await page.selectOption('#chapter', '2');
  await waitFor(page, 'the forest', (q) => q.player.chapter === 2 && !q.player.seeking, minutes(2));
  await page.keyboard.press('Control+BracketLeft');
  await waitFor(page, 'the opening again', (q) => q.player.chapter === 1 && !q.player.seeking, minutes(2));

  await page.keyboard.press('F1');
  assert.ok(await page.locator('#help-panel').isVisible());
  await page.click('#help');
  assert.ok(await page.locator('#help-panel').isHidden());
  await page.click('#fullscreen');
  await page.waitForFunction(() => document.fullscreenElement?.id === 'stage');
  assert.deepEqual(page.errors, []);
  await page.close();

  // Stored choices come back; the address's win over them; the address's
  // scene is where it starts.
  page = await session.open('volume=70&look=sharp&scene=forest');
  await page.locator('#start:enabled').waitFor({ timeout: minutes(1) });
  await page.click('#start');
  await waitFor(page, 'the forest', (q) => q.player && q.player.chapter === 2 && !q.player.seeking, minutes(2));
  const again = await player();
  assert.deepEqual([again.volume, again.muted, again.look], [70, true, 'sharp']);
  assert.equal(await page.evaluate(() => localStorage.getItem('quarvel.volume')), '50', 'the address is not kept');
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

test('keys and the mouse between ticks reach the show: the finale locks the pointer to fly, F6 jumps back, Esc ends it', { timeout: minutes(15) }, async () => {
  const page = await session.open(`manual=1&ms-per-tick=${KEYS_MS_PER_TICK}&trace=1`);
  await waitFor(page, 'the page to be ready', (q) => q.ready);
  await page.evaluate((n) => window.quarvel.advance(n), FINALE_TICK);
  // The free flight takes the mouse: the left button locks the pointer to
  // the picture (pressed on the black bars, it picks nothing), the movement
  // reaches the show for a tick, the release lets the pointer go.
  assert.equal(await page.evaluate(() => window.quarvel.player.flight), true);
  await page.evaluate(() => {
    window.moved = [0, 0];
    addEventListener('mousemove', (e) => (window.moved = [window.moved[0] + e.movementX, window.moved[1] + e.movementY]));
  });
  await page.mouse.down();
  await page.waitForFunction(() => document.pointerLockElement?.id === 'screen');
  await page.mouse.move(30, 20);
  await page.evaluate(() => window.quarvel.advance(1));
  await page.mouse.up();
  await page.waitForFunction(() => document.pointerLockElement === null);
  const [dx, dy] = await page.evaluate(() => window.moved);
  assert.ok(dx !== 0 || dy !== 0, 'the locked pointer moved');
  await page.evaluate(() => window.quarvel.advance(1));
  // F6 is read from the keys held during a tick: held for one tick.
  const f6 = FINALE_TICK + 2;
  await page.keyboard.down('F6');
  await page.evaluate(() => window.quarvel.advance(1));
  await page.keyboard.up('F6');
  await page.evaluate(() => window.quarvel.advance(5));
  const web = await page.evaluate(() => window.quarvel.trace);
  assert.equal(await page.evaluate(() => window.quarvel.player.flight), false, 'no flight out of the finale');

  const script = path.join(fs.mkdtempSync(path.join(os.tmpdir(), 'quarvel-keys-')), 'keys.txt');
  fs.writeFileSync(script, `${FINALE_TICK} button left down\n${FINALE_TICK} mouse ${dx} ${dy}\n` +
    `${FINALE_TICK + 1} button left up\n${f6} down F6\n${f6 + 1} up F6\n`);
  const desktop = jsonLines(runCapture(['--ms-per-tick', String(KEYS_MS_PER_TICK), '--from', String(FINALE_TICK - 1),
    '--ticks', String(f6 + 6), '--input', script, '--trace', '-']));
  fs.rmSync(path.dirname(script), { recursive: true, force: true });
  const r = compareTraces(desktop, web);
  assert.equal(r.differing, 0, explain(r));
  assert.equal(web.length, f6 + 6);
  // In the finale before the key, the camera elsewhere than without the
  // mouse, in the forest flight after the key.
  assert.deepEqual(JSON.parse(web[FINALE_TICK - 1]).flags, [6]);
  const still = jsonLines(runCapture(['--ms-per-tick', String(KEYS_MS_PER_TICK), '--from', String(FINALE_TICK - 1),
    '--ticks', String(FINALE_TICK + 1), '--trace', '-']));
  assert.notDeepEqual(JSON.parse(web[FINALE_TICK]).cam, JSON.parse(still[FINALE_TICK]).cam);
  assert.deepEqual(JSON.parse(web[f6]).built, ['Party_chargement_anim2']);

  await page.keyboard.press('Escape');
  await page.evaluate(() => void window.quarvel.advance(1));
  await waitFor(page, 'the show to end after Esc', (q) => q.done, minutes(1));
  assert.ok(await page.locator('#again').isVisible(), 'the ended screen shows its button');
  assert.deepEqual(page.errors, []);
  await page.close();
});
