// The comparison helpers, on small hand-made traces and pictures.
import assert from 'node:assert/strict';
import { test } from 'node:test';
import { PNG } from 'pngjs';
import { comparePictures, compareTraces, decodePng, valueDistance } from './compare.mjs';

test('valueDistance: numbers by their difference, anything else equal or Infinity', () => {
  const cases = [
    [1, 1.5, 0.5],
    [[1, 2, 3], [1, 2, 5], 2],
    [[1, 2], [1, 2, 3], Infinity],
    [{ r: [1, 2] }, { r: [1, 4] }, 2],
    [{ r: [1] }, { g: [1] }, Infinity],
    ['Party_2', 'Party_2', 0],
    ['Party_2', 'Party_3', Infinity],
    [null, 0, Infinity],
    [true, true, 0],
  ];
  for (const [a, b, d] of cases) assert.equal(valueDistance(a, b), d, `${JSON.stringify(a)} vs ${JSON.stringify(b)}`);
});

test('compareTraces counts differing lines and, per key, lines and largest difference', () => {
  const expected = ['{"tick":0,"pos":10,"flags":[]}', '{"tick":1,"pos":20,"flags":[1]}', '{"tick":2,"pos":30,"flags":[1]}'];
  const actual = ['{"tick":0,"pos":10,"flags":[]}', '{"tick":1,"pos":24,"flags":[1]}', '{"tick":2,"pos":31,"flags":[2],"close":true}'];
  const r = compareTraces(expected, actual);
  assert.equal(r.differing, 2);
  assert.deepEqual(r.keys, {
    pos: { lines: 2, max: 4 },
    flags: { lines: 1, max: 1 },
    close: { lines: 1, max: Infinity },
  });
  assert.equal(r.first.line, 1);
  // Equal text and equal values in another spelling are no difference.
  assert.equal(compareTraces(['{"a":1.0}'], ['{"a":1}']).differing, 0);
  assert.deepEqual([r.expected, compareTraces(expected, actual.slice(1)).actual], [3, 2]);
});

function picture(pixels) {
  const png = new PNG({ width: pixels.length, height: 1 });
  pixels.forEach((rgb, i) => png.data.set([...rgb, 255], i * 4));
  return png;
}

test('comparePictures: mean difference per channel and share of pixels off by more than the threshold', () => {
  const a = picture([[0, 0, 0], [100, 100, 100], [255, 0, 0], [10, 20, 30]]);
  const b = picture([[0, 0, 8], [100, 140, 100], [255, 0, 0], [10, 20, 30]]);
  assert.deepEqual(comparePictures(a, b, 32), { mean: [0, 10, 2], off: 0.25 });
  assert.deepEqual(comparePictures(a, b, 40).off, 0);
  assert.throws(() => comparePictures(a, picture([[0, 0, 0]])), /differ in size: 4x1 and 1x1/);
  // A data URL decodes to the same picture as the file's bytes.
  const bytes = PNG.sync.write(a);
  assert.deepEqual(decodePng(`data:image/png;base64,${bytes.toString('base64')}`).data, decodePng(bytes).data);
});
