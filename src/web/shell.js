// The page's side of the web edition, run before the program (emscripten's
// pre-js). It loads the show's files (quarvel.data), has the browser decode
// the music (decodeAudioData) and the JPEG and PNG pictures (createImageBitmap),
// hands them to the program, then starts the show:
// - with no query: after a click on #start, in real time with Web Audio;
// - with ?ticks=N&ms-per-tick=M&trace=1&png-at=T1,T2&manual=1 (any of them):
//   at once, on the headless runner's virtual clock, without sound.
// window.quarvel tells a test what happens (ready, tick, done, trace, pngs,
// error, advance(n); on the virtual clock tickEnds: [tick, time] as each
// batch of ticks ended).

Module.canvas = document.getElementById('screen');

const quarvelQuery = new URLSearchParams(location.search);
const quarvelVirtual = ['ticks', 'ms-per-tick', 'trace', 'png-at', 'manual'].some((k) => quarvelQuery.has(k));

window.quarvel = {
  ready: false,
  tick: 0,
  done: false,
  trace: [],
  tickEnds: [],
  pngs: {},
  error: null,
  // Manual mode: n more ticks; resolved once they are drawn (or the show ended).
  advance(n) {
    n = Math.max(0, Math.floor(Number(n) || 0));
    quarvelWaiters.allowed += n;
    const target = quarvelWaiters.allowed;
    const p = new Promise((resolve) => quarvelWaiters.list.push({ target, resolve }));
    if (n > 0 && window.quarvel.ready) Module._quarvel_advance(n);
    else quarvelWaiters.early += n;
    quarvelWaiters.settle();
    return p;
  },
};
const quarvelWaiters = {
  allowed: 0,
  early: 0, // ticks asked for before the show started
  list: [],
  settle() {
    const q = window.quarvel;
    this.list = this.list.filter((w) => {
      if (q.done || q.tick >= w.target) {
        w.resolve(q.tick);
        return false;
      }
      return true;
    });
  },
};

Module.print = (line) => console.log(line);
Module.printErr = (line) => {
  console.error(line);
  if (window.quarvel.error === null) window.quarvel.error = line;
  quarvelStatus(line);
};

function quarvelStatus(text) {
  const s = document.getElementById('status');
  if (s) s.textContent = text;
}

function quarvelScreen(name) {
  for (const id of ['start-screen', 'ended-screen']) {
    const e = document.getElementById(id);
    if (e) e.hidden = id !== name;
  }
}

// The sound: the decoded music by file name, and a source node per file.
Module.quarvelAudio = {
  ctx: null,
  buffers: {},
  nodes: {},
  play(name, offset, loop) {
    this.stop(name);
    const buffer = this.buffers[name];
    if (!buffer || !this.ctx) return;
    const node = this.ctx.createBufferSource();
    node.buffer = buffer;
    node.loop = loop;
    node.connect(this.ctx.destination);
    node.start(0, Math.min(Math.max(offset, 0), buffer.duration));
    this.nodes[name] = node;
  },
  stop(name) {
    const node = this.nodes[name];
    if (node) {
      try {
        node.stop();
      } catch (e) {}
      node.disconnect();
      delete this.nodes[name];
    }
  },
};

// What the program tells the page.
Module.quarvelPage = {
  tickDone(tick, done) {
    window.quarvel.tick = tick;
    // When each batch of ticks ended on the page's clock, and its last
    // tick, for the web measurements.
    if (quarvelVirtual) window.quarvel.tickEnds.push([tick, performance.now()]);
    if (done) window.quarvel.done = true;
    quarvelWaiters.settle();
  },
  trace(line) {
    window.quarvel.trace.push(line);
  },
  picture(tick, path) {
    const bytes = FS.readFile(path);
    let text = '';
    for (let i = 0; i < bytes.length; i += 0x8000) text += String.fromCharCode.apply(null, bytes.subarray(i, i + 0x8000));
    window.quarvel.pngs[tick] = 'data:image/png;base64,' + btoa(text);
  },
  ended() {
    for (const name of Object.keys(Module.quarvelAudio.nodes)) Module.quarvelAudio.stop(name);
    if (document.fullscreenElement) document.exitFullscreen().catch(() => {});
    quarvelScreen('ended-screen');
  },
  // The save key's lines: a page has no folder to write to, so the file is
  // offered as a download.
  offerFile(path) {
    const bytes = FS.readFile(path);
    const a = document.createElement('a');
    a.href = URL.createObjectURL(new Blob([bytes], { type: 'application/octet-stream' }));
    a.download = path.split('/').pop();
    document.body.appendChild(a);
    a.click();
    a.remove();
    quarvelStatus('The light line was saved: your browser downloads ' + a.download + '.');
  },
};

// Every file below `dir` in the program's file system.
function quarvelFiles(dir) {
  const out = [];
  for (const name of FS.readdir(dir)) {
    if (name === '.' || name === '..') continue;
    const path = dir + '/' + name;
    if (FS.isDir(FS.stat(path).mode)) out.push(...quarvelFiles(path));
    else out.push(path);
  }
  return out;
}

// Copies bytes into the program's memory; the caller frees the pointer.
function quarvelCopyIn(bytes) {
  const p = Module._malloc(Math.max(bytes.length, 1));
  HEAPU8.set(bytes, p);
  return p;
}

function quarvelWithString(text, use) {
  const size = lengthBytesUTF8(text) + 1;
  const p = Module._malloc(size);
  stringToUTF8(text, p, size);
  try {
    return use(p);
  } finally {
    Module._free(p);
  }
}

// Decodes one MP3 file with the browser, at 44100 frames a second, and gives
// the program its 16-bit PCM.
async function quarvelDecodeMusic(path, name) {
  const bytes = FS.readFile(path);
  let buffer;
  try {
    const offline = new OfflineAudioContext(2, 1, 44100);
    buffer = await offline.decodeAudioData(bytes.slice().buffer);
  } catch (e) {
    quarvelWithString(name, (n) =>
      quarvelWithString('the browser cannot decode it (' + (e && e.message ? e.message : e) + ')', (r) =>
        Module._quarvel_track_failed(n, r)));
    return;
  }
  Module.quarvelAudio.buffers[name] = buffer;
  const channels = Math.min(buffer.numberOfChannels, 2);
  const frames = buffer.length;
  const data = [];
  for (let c = 0; c < channels; ++c) data.push(buffer.getChannelData(c));
  const pcm = Module._malloc(Math.max(frames * channels * 2, 2));
  const out = HEAP16.subarray(pcm >> 1, (pcm >> 1) + frames * channels);
  for (let f = 0, k = 0; f < frames; ++f) {
    for (let c = 0; c < channels; ++c, ++k) {
      const v = Math.round(data[c][f] * 32768);
      out[k] = v > 32767 ? 32767 : v < -32768 ? -32768 : v;
    }
  }
  quarvelWithString(name, (n) => Module._quarvel_add_track(n, buffer.sampleRate, channels, pcm, frames));
  Module._free(pcm);
}

// Decodes one JPEG or PNG file with the browser and gives the program its
// pixels, keyed by the file's bytes.
async function quarvelDecodePicture(path) {
  const bytes = FS.readFile(path);
  let bitmap;
  try {
    bitmap = await createImageBitmap(new Blob([bytes]), { premultiplyAlpha: 'none', colorSpaceConversion: 'none' });
  } catch (e) {
    return; // the program says the browser could not decode it when it is opened
  }
  const canvas = document.createElement('canvas');
  canvas.width = bitmap.width;
  canvas.height = bitmap.height;
  const g = canvas.getContext('2d');
  g.drawImage(bitmap, 0, 0);
  const rgba = g.getImageData(0, 0, bitmap.width, bitmap.height).data;
  const pb = quarvelCopyIn(bytes);
  const pr = quarvelCopyIn(rgba);
  Module._quarvel_add_picture(pb, bytes.length, bitmap.width, bitmap.height, pr);
  Module._free(pb);
  Module._free(pr);
}

async function quarvelDecodeAll() {
  const jobs = [];
  for (const path of quarvelFiles('/show')) {
    const name = path.slice('/show/'.length);
    if (/\.mp3$/i.test(name)) jobs.push(quarvelDecodeMusic(path, name));
    else if (/\.(jpe?g|png)$/i.test(name)) jobs.push(quarvelDecodePicture(path));
  }
  await Promise.all(jobs);
}

// The show's arguments from the page's address (the headless runner's own).
function quarvelArguments() {
  // The look (?look=sharp|original|smooth) in real time too.
  const args = quarvelQuery.has('look') ? ['--look', quarvelQuery.get('look')] : [];
  if (!quarvelVirtual) return args;
  args.push('--virtual');
  if (quarvelQuery.has('ticks')) args.push('--ticks', quarvelQuery.get('ticks'));
  if (quarvelQuery.has('ms-per-tick')) args.push('--ms-per-tick', quarvelQuery.get('ms-per-tick'));
  if (quarvelQuery.get('trace') === '1') args.push('--trace', '-');
  if (quarvelQuery.has('png-at')) args.push('--png-at', quarvelQuery.get('png-at'));
  if (quarvelQuery.get('manual') === '1') args.push('--manual');
  return args;
}

function quarvelBegin() {
  quarvelScreen(null);
  const status = callMain(quarvelArguments());
  if (status === 2) {
    window.quarvel.done = true;
    quarvelWaiters.settle();
    return;
  }
  window.quarvel.ready = true;
  if (quarvelWaiters.early > 0) Module._quarvel_advance(quarvelWaiters.early);
  quarvelWaiters.early = 0;
}

// The browser's key (KeyboardEvent) as the show's key number, 0 for none.
const quarvelCodes = {
  Numpad0: 96, NumpadMultiply: 42, NumpadAdd: 107, NumpadSubtract: 109, NumpadDivide: 111, NumpadDecimal: 110,
  NumpadEnter: 13, Enter: 13, ShiftLeft: 16, ShiftRight: 16, ControlLeft: 17, ControlRight: 17, AltLeft: 18,
  AltRight: 18, Pause: 19, CapsLock: 20, Backspace: 8, Tab: 9, Space: 32, Escape: 27, PageUp: 33, PageDown: 34,
  End: 35, Home: 36, ArrowLeft: 37, ArrowUp: 38, ArrowRight: 39, ArrowDown: 40, Insert: 45, Delete: 46,
  Period: 46, NumLock: 144, ScrollLock: 145, Semicolon: 186, Equal: 187, Comma: 188, Minus: 189, Slash: 191,
  Backquote: 192, BracketLeft: 219, Backslash: 220, BracketRight: 221, Quote: 222,
};
function quarvelKey(e) {
  // Letters and digits as the layout names them, the rest by place.
  if (e.key && e.key.length === 1 && /[a-z0-9]/i.test(e.key) && !e.code.startsWith('Numpad')) {
    return e.key.toUpperCase().charCodeAt(0);
  }
  let m = /^F(\d+)$/.exec(e.code);
  if (m && +m[1] >= 1 && +m[1] <= 24) return 111 + +m[1];
  m = /^Numpad([1-9])$/.exec(e.code);
  if (m) return 96 + +m[1];
  m = /^Key([A-Z])$/.exec(e.code);
  if (m) return m[1].charCodeAt(0);
  m = /^Digit([0-9])$/.exec(e.code);
  if (m) return m[1].charCodeAt(0);
  return quarvelCodes[e.code] || 0;
}

function quarvelToggleFullScreen() {
  if (document.fullscreenElement) document.exitFullscreen().catch(() => {});
  else document.documentElement.requestFullscreen().catch(() => {});
}

function quarvelListen() {
  const canvas = Module.canvas;
  window.addEventListener('keydown', (e) => {
    if (!window.quarvel.ready) return;
    const vk = quarvelKey(e);
    if (vk === 13 && e.altKey) quarvelToggleFullScreen();
    if (vk) {
      e.preventDefault();
      Module._quarvel_key(vk, 1, e.altKey ? 1 : 0);
    }
  });
  window.addEventListener('keyup', (e) => {
    if (!window.quarvel.ready) return;
    const vk = quarvelKey(e);
    if (vk) {
      e.preventDefault();
      Module._quarvel_key(vk, 0, 0);
    }
  });
  const button = (b) => (b === 0 ? 0 : b === 2 ? 1 : b === 1 ? 2 : -1);
  const place = (e) => {
    const r = canvas.getBoundingClientRect();
    return [Math.floor(e.clientX - r.left), Math.floor(e.clientY - r.top)];
  };
  canvas.addEventListener('mousedown', (e) => {
    if (!window.quarvel.ready || button(e.button) < 0) return;
    const [x, y] = place(e);
    Module._quarvel_mouse_button(button(e.button), 1, x, y);
  });
  window.addEventListener('mouseup', (e) => {
    if (!window.quarvel.ready || button(e.button) < 0) return;
    const [x, y] = place(e);
    Module._quarvel_mouse_button(button(e.button), 0, x, y);
  });
  window.addEventListener('mousemove', (e) => {
    if (window.quarvel.ready && (e.movementX || e.movementY)) Module._quarvel_mouse_move(e.movementX, e.movementY);
  });
  canvas.addEventListener('contextmenu', (e) => e.preventDefault());
  if (!quarvelVirtual) {
    window.addEventListener('blur', () => window.quarvel.ready && Module._quarvel_focus(0));
    window.addEventListener('focus', () => window.quarvel.ready && Module._quarvel_focus(1));
  }
  const full = document.getElementById('fullscreen');
  if (full) full.addEventListener('click', quarvelToggleFullScreen);
  const again = document.getElementById('again');
  if (again) {
    again.addEventListener('click', () => {
      quarvelScreen(null);
      window.quarvel.done = false;
      window.quarvel.tick = 0;
      if (Module.quarvelAudio.ctx) Module.quarvelAudio.ctx.resume();
      Module._quarvel_again();
    });
  }
}

Module.onRuntimeInitialized = () => {
  quarvelListen();
  quarvelStatus('Decoding the music and the pictures...');
  quarvelDecodeAll().then(() => {
    quarvelStatus('');
    if (quarvelVirtual) {
      quarvelBegin();
      return;
    }
    // Browsers start sound only after a gesture: the start button.
    const start = document.getElementById('start');
    start.disabled = false;
    start.focus();
    start.addEventListener('click', () => {
      Module.quarvelAudio.ctx = new AudioContext({ sampleRate: 44100 });
      Module.quarvelAudio.ctx.resume();
      quarvelBegin();
    }, { once: true });
  });
};
