// The page's side of the web edition, run before the program (emscripten's
// pre-js). It loads the show's files (quarvel.data), has the browser decode
// the music (decodeAudioData) and the JPEG and PNG pictures (createImageBitmap),
// hands them to the program, then starts the show:
// - with no query: after a click on #start, in real time with Web Audio,
//   with the control bar (pause, scenes, volume and mute, look, full screen,
//   help), ?scene=, ?volume=, ?mute=, ?look=, and the volume, mute and look
//   kept in the browser's local storage;
// - with ?ticks=N&ms-per-tick=M&trace=1&png-at=T1,T2&manual=1 (any of them):
//   at once, on the headless runner's virtual clock, without sound, bar or
//   stored choices.
// window.quarvel tells a test what happens (ready, tick, done, trace, pngs,
// error, advance(n); on the virtual clock tickEnds: [tick, time] as each
// batch of ticks ended; player: the player's state; idleBar(): what the
// bar's timer does when it runs out).

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
  player: null,
  idleBar: () => quarvelBar.idle(),
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

// The sound: the decoded music by file name, a source node per file and
// its gain node (the player's volume, 0..1).
Module.quarvelAudio = {
  ctx: null,
  buffers: {},
  nodes: {},
  gains: {},
  volumes: {},
  play(name, offset, loop) {
    this.stop(name);
    const buffer = this.buffers[name];
    if (!buffer || !this.ctx) return;
    const node = this.ctx.createBufferSource();
    node.buffer = buffer;
    node.loop = loop;
    const gain = this.ctx.createGain();
    gain.gain.value = name in this.volumes ? this.volumes[name] : 1;
    node.connect(gain);
    gain.connect(this.ctx.destination);
    node.start(0, Math.min(Math.max(offset, 0), buffer.duration));
    this.nodes[name] = node;
    this.gains[name] = gain;
  },
  stop(name) {
    const node = this.nodes[name];
    if (node) {
      try {
        node.stop();
      } catch (e) {}
      node.disconnect();
      this.gains[name].disconnect();
      delete this.nodes[name];
      delete this.gains[name];
    }
  },
  setVolume(name, volume) {
    this.volumes[name] = volume;
    if (this.gains[name]) this.gains[name].gain.value = volume;
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
    if (document.pointerLockElement) document.exitPointerLock();
    quarvelBar.stop();
    quarvelScreen('ended-screen');
  },
  // The player's state after each animation frame: { paused, volume, muted,
  // look, chapter, seeking, flight }.
  playerState(state) {
    window.quarvel.player = state;
    // The free flight let go of the mouse (the scene changed, the show
    // paused): so does the page.
    if (!state.flight && document.pointerLockElement === Module.canvas) document.exitPointerLock();
    if (!quarvelVirtual) {
      quarvelBar.update(state);
      quarvelKeep(state);
    }
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

// The operator's choices kept in the browser's local storage (real time
// only): written when the operator changes them, read at the start, where
// the address's own win.
const quarvelStored = { volume: 'quarvel.volume', muted: 'quarvel.muted', look: 'quarvel.look' };
let quarvelKept = null; // the choices as last seen

function quarvelStorage(key, value) {
  try {
    if (value === undefined) return localStorage.getItem(key);
    localStorage.setItem(key, value);
  } catch (e) {} // storage refused (a private window, a full disk): nothing kept
  return null;
}

function quarvelKeep(state) {
  const now = { volume: String(state.volume), muted: state.muted ? '1' : '0', look: state.look };
  // The first state is the start's: the address's choices are not kept.
  if (quarvelKept) {
    for (const k of Object.keys(now)) if (now[k] !== quarvelKept[k]) quarvelStorage(quarvelStored[k], now[k]);
  }
  quarvelKept = now;
}

// The show's arguments from the page's address (the headless runner's own,
// and the window program's --scene, --volume, --mute in real time) and,
// in real time, the stored choices the address does not make.
function quarvelArguments() {
  const args = [];
  if (quarvelQuery.has('look')) {
    args.push('--look', quarvelQuery.get('look'));
  } else if (!quarvelVirtual) {
    const look = quarvelStorage(quarvelStored.look);
    if (look === 'sharp' || look === 'original' || look === 'smooth') args.push('--look', look);
  }
  if (!quarvelVirtual) {
    if (quarvelQuery.has('scene')) args.push('--scene', quarvelQuery.get('scene'));
    const volume = quarvelQuery.has('volume') ? quarvelQuery.get('volume') : quarvelStorage(quarvelStored.volume);
    if (quarvelQuery.has('volume') || /^(100|[1-9]?[0-9])$/.test(volume || '')) args.push('--volume', volume);
    const mute = quarvelQuery.has('mute') ? quarvelQuery.get('mute') : quarvelStorage(quarvelStored.muted);
    if (mute === '1') args.push('--mute');
    return args;
  }
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
  if (!quarvelVirtual) quarvelBar.start();
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
  else document.getElementById('stage').requestFullscreen().catch(() => {});
}

// The control bar over the picture (real time): shown on a mouse move or a
// key, away after a while without either while the show plays, always there
// while it pauses, while the pointer is over it, one of its controls has
// the keyboard or the help is open. Each control acts through the program's
// player, as the player's keys do; the bar shows the state it reports.
const QUARVEL_BAR_MS = 2500;
const quarvelBar = {
  on: false,
  timer: 0,
  state: null,
  el: (id) => document.getElementById(id),
  start() {
    this.on = true;
    this.el('bar').hidden = false;
    this.show();
  },
  stop() {
    this.on = false;
    clearTimeout(this.timer);
    this.el('bar').hidden = true;
    this.el('help-panel').hidden = true;
    this.el('stage').classList.remove('idle');
  },
  // Input came: the bar shows, and goes again after a while without more.
  show() {
    if (!this.on) return;
    this.el('bar').classList.remove('away');
    this.el('stage').classList.remove('idle');
    clearTimeout(this.timer);
    this.timer = setTimeout(() => this.idle(), QUARVEL_BAR_MS);
  },
  // The time without input ran out: true when the bar went away.
  idle() {
    const bar = this.el('bar');
    const held = (this.state && this.state.paused) || bar.matches(':hover') ||
      bar.contains(document.activeElement) || !this.el('help-panel').hidden;
    if (!this.on || held) return false;
    bar.classList.add('away');
    this.el('stage').classList.add('idle');
    return true;
  },
  update(state) {
    const was = this.state;
    this.state = state;
    if (!this.on) return;
    const pause = this.el('pause');
    if (!was || was.paused !== state.paused) {
      pause.textContent = state.paused ? 'Play' : 'Pause';
      pause.setAttribute('aria-pressed', String(state.paused));
      // Always there while paused; the timer again once it plays.
      this.show();
    }
    const mute = this.el('mute');
    mute.textContent = state.muted ? 'Sound on' : 'Mute';
    mute.setAttribute('aria-pressed', String(state.muted));
    const volume = this.el('volume');
    if (document.activeElement !== volume) volume.value = String(state.volume);
    const look = this.el('look');
    if (document.activeElement !== look) look.value = state.look;
    const chapter = this.el('chapter');
    if (document.activeElement !== chapter && state.chapter > 0) chapter.value = String(state.chapter);
    this.el('bar').classList.toggle('seeking', state.seeking);
    if (!was || was.seeking !== state.seeking) quarvelStatus(state.seeking ? 'Going to the scene...' : '');
  },
  // The bar's controls, with the scenes' names from the program.
  listen() {
    const canvas = Module.canvas;
    const chapter = this.el('chapter');
    for (let k = 1; k <= 6; ++k) {
      const name = UTF8ToString(Module._quarvel_chapter_name(k));
      chapter.add(new Option(k + ' ' + name[0].toUpperCase() + name.slice(1), String(k)));
    }
    chapter.addEventListener('change', () => Module._quarvel_chapter(Number(chapter.value)));
    this.el('pause').addEventListener('click', () => Module._quarvel_pause(this.state && this.state.paused ? 0 : 1));
    this.el('mute').addEventListener('click', () =>
      this.state && Module._quarvel_volume(this.state.volume, this.state.muted ? 0 : 1));
    this.el('volume').addEventListener('input', (e) =>
      this.state && Module._quarvel_volume(Number(e.target.value), this.state.muted ? 1 : 0));
    this.el('look').addEventListener('change', (e) => quarvelWithString(e.target.value, (n) => Module._quarvel_look(n)));
    this.el('fullscreen').addEventListener('click', quarvelToggleFullScreen);
    this.el('help').addEventListener('click', () => this.toggleHelp());
    // A control worked with the mouse hands the keyboard back to the show
    // (its keys would otherwise work the control); from the keyboard it keeps it.
    const bar = this.el('bar');
    let pointer = false;
    bar.addEventListener('pointerdown', (e) => {
      pointer = true;
      if (e.target instanceof HTMLButtonElement) e.preventDefault(); // a button click takes no focus
    });
    bar.addEventListener('keydown', () => (pointer = false));
    bar.addEventListener('change', () => pointer && canvas.focus());
  },
  toggleHelp() {
    const panel = this.el('help-panel');
    panel.hidden = !panel.hidden;
    this.el('help').setAttribute('aria-expanded', String(!panel.hidden));
    this.show();
  },
};

// Whether a key belongs to one of the page's controls (the bar, the help)
// rather than to the show.
function quarvelOnControl(e) {
  return e.target instanceof Element && e.target.closest('#bar, #help-panel') !== null;
}

function quarvelListen() {
  const canvas = Module.canvas;
  window.addEventListener('keydown', (e) => {
    if (!window.quarvel.ready) return;
    quarvelBar.show();
    if (!quarvelVirtual && quarvelOnControl(e)) {
      // Esc leaves the controls for the picture; other keys work them.
      if (e.key === 'Escape') {
        quarvelBar.el('help-panel').hidden = true;
        canvas.focus();
        e.preventDefault();
      }
      return;
    }
    const vk = quarvelKey(e);
    if (vk === 13 && e.altKey) quarvelToggleFullScreen();
    if (vk === 27 && document.pointerLockElement) document.exitPointerLock();
    if (vk === 112 && !quarvelVirtual) {
      // F1: the page's own help, with its controls and keys.
      e.preventDefault();
      if (!e.repeat) quarvelBar.toggleHelp();
      return;
    }
    if (vk) {
      e.preventDefault();
      Module._quarvel_key(vk, 1, e.altKey ? 1 : 0, e.ctrlKey ? 1 : 0);
    }
  });
  window.addEventListener('keyup', (e) => {
    if (!window.quarvel.ready || (!quarvelVirtual && quarvelOnControl(e))) return;
    const vk = quarvelKey(e);
    if (vk) {
      e.preventDefault();
      Module._quarvel_key(vk, 0, 0, 0);
    }
  });
  const button = (b) => (b === 0 ? 0 : b === 2 ? 1 : b === 1 ? 2 : -1);
  const place = (e) => {
    const r = canvas.getBoundingClientRect();
    return [Math.floor(e.clientX - r.left), Math.floor(e.clientY - r.top)];
  };
  canvas.addEventListener('mousedown', (e) => {
    if (!window.quarvel.ready || button(e.button) < 0) return;
    // The finale's free flight takes the mouse while its left button is
    // held: the pointer is locked to the picture, so that the mouse moves
    // on past the page's edges (its movement reaches the show as before).
    const player = window.quarvel.player;
    if (e.button === 0 && player && player.flight && canvas.requestPointerLock) {
      const asked = canvas.requestPointerLock();
      if (asked && asked.catch) asked.catch(() => {});
    }
    const [x, y] = place(e);
    Module._quarvel_mouse_button(button(e.button), 1, x, y);
  });
  window.addEventListener('mouseup', (e) => {
    if (!window.quarvel.ready || button(e.button) < 0) return;
    if (e.button === 0 && document.pointerLockElement === canvas) document.exitPointerLock();
    const [x, y] = place(e);
    Module._quarvel_mouse_button(button(e.button), 0, x, y);
  });
  window.addEventListener('mousemove', (e) => {
    if (!window.quarvel.ready) return;
    if (!document.pointerLockElement) quarvelBar.show();
    if (e.movementX || e.movementY) Module._quarvel_mouse_move(e.movementX, e.movementY);
  });
  canvas.addEventListener('contextmenu', (e) => e.preventDefault());
  if (!quarvelVirtual) {
    window.addEventListener('blur', () => window.quarvel.ready && Module._quarvel_focus(0));
    window.addEventListener('focus', () => window.quarvel.ready && Module._quarvel_focus(1));
  }
  if (!quarvelVirtual) quarvelBar.listen();
  const again = document.getElementById('again');
  if (again) {
    again.addEventListener('click', () => {
      quarvelScreen(null);
      window.quarvel.done = false;
      window.quarvel.tick = 0;
      if (Module.quarvelAudio.ctx) Module.quarvelAudio.ctx.resume();
      Module._quarvel_again();
      if (!quarvelVirtual) quarvelBar.start();
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
