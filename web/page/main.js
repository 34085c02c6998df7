// The page: controls, the picture on a canvas, and workers that run the
// core. One worker follows the controls (previews and exact renders); each
// export gets a worker of its own, so that Cancel can simply end it.
// export.js, link.js and teach.js follow this file in the page's one
// script (make_page.mjs) and listen to pageEvents.
'use strict';

const $ = (id) => document.getElementById(id);
const canvas = $('picture');
const stage = $('stage');
const workerUrl = URL.createObjectURL(new Blob([$('worker-code').textContent], { type: 'text/javascript' }));

// What the tests read: the last export's bytes, how many previews came,
// and the worker's time and the pixels they took.
const hooks = { lastExport: null, previews: 0, pictures: 0, busy: false, previewMs: 0, previewPixels: 0,
                coarse: 0 };
window.lumirunTest = hooks;

// ---- Settings: the controls' values as the core takes them --------------

// The slider: its first half goes linearly to 90 %, its second half closes
// in on c logarithmically, to 99.99 % at the end.
const SLIDER_MAX = 1000;
function sliderToPercent(position) {
  const p = Number(position);
  if (p <= SLIDER_MAX / 2)
    return Math.round(p * 90 / (SLIDER_MAX / 2) * 100) / 100;
  const gap = 10 * Math.pow(10, -3 * (p - SLIDER_MAX / 2) / (SLIDER_MAX / 2));
  return Math.round((100 - gap) * 100) / 100;
}
function percentToSlider(percent) {
  if (percent <= 90)
    return Math.round(percent / 90 * (SLIDER_MAX / 2));
  const gap = Math.max(100 - percent, 0.01);
  return Math.round(SLIDER_MAX / 2 + (SLIDER_MAX / 2) * -Math.log10(gap / 10) / 3);
}

// A speed as the core takes it: a decimal comma is a point, as in the
// viewer's Settings ("45,5").
const speedText = (text) => text.trim().replace(',', '.');

// The page's fastest speed, the slider's end: past it a preview of a large
// photo would take half a minute. (100 % and more get the core's message.)
const SPEED_MAX = 99.99;
function speedRefusal() {
  const text = speedText($('speed').value);
  const refused = text !== '' && Number(text) > SPEED_MAX && Number(text) < 100;
  $('speed').setAttribute('aria-invalid', refused ? 'true' : 'false');
  return refused ? `The speed ${text} % is above this page's most, ${SPEED_MAX} % of c.` : '';
}

function settings() {
  return {
    speed: speedText($('speed').value) || '0',
    direction: Number(document.querySelector('input[name=direction]:checked').value),
    quality: $('quality').value,
    observerX: Math.trunc(Number($('observer-x').value) || 0),
    observerY: Math.trunc(Number($('observer-y').value) || 0),
    effects: effectsValue(),
    doppler: dopplerValue(),
    dopplerMap: $('doppler-map').checked ? 1 : 0,
    exposure: $('exposure-mode').value === 'auto' ? 'auto' : ($('exposure').value.trim() || '0'),
  };
}

// The effects' switches as lumirun-render's --effects and the Doppler
// choice (0 off, 1 colour only, 2 colour and brightness).
function effectsValue() {
  const contraction = $('effect-contraction').checked;
  const lightTime = $('effect-light-time').checked;
  return contraction && lightTime ? 'all' : contraction ? 'contraction' : lightTime ? 'light-time' : 'none';
}
function dopplerValue() {
  return $('doppler-brightness').checked ? 2 : $('doppler-colour').checked ? 1 : 0;
}

// Sets the switches; false for effects lumirun-render does not know.
function setEffects(effects) {
  const switches = { all: [true, true], contraction: [true, false], 'light-time': [false, true], none: [false, false] };
  if (!Object.prototype.hasOwnProperty.call(switches, effects))
    return false;
  [$('effect-contraction').checked, $('effect-light-time').checked] = switches[effects];
  followLightTime();
  return true;
}
function setDoppler(mode, map) {
  $('doppler-colour').checked = mode >= 1;
  $('doppler-brightness').checked = mode === 2;
  $('doppler-map').checked = map && mode === 0;
  followLightTime();
}

// The Doppler shift is the travelling light's, so without light travel
// time it is off and its switches wait, with a note saying why.
function followLightTime() {
  const lightTime = $('effect-light-time').checked;
  for (const id of ['doppler-colour', 'doppler-brightness', 'doppler-map']) {
    $(id).disabled = !lightTime;
    if (!lightTime)
      $(id).checked = false;
  }
  $('doppler-note').hidden = lightTime;
}

// What Render does at the panel's quality.
const renderWords = () => ($('quality').value === 'smooth' ? ['Rendering…', 'Rendered.']
  : ['Rendering exactly…', 'Rendered exactly.']);

// ---- Messages -------------------------------------------------------------

// kind 'render': a failure of a render or an export (a wrong setting, say),
// gone with the next picture; other messages (an open's warnings) stay
// until the next open.
let messageKind = '';
function showMessages(text, kind = '') {
  const box = $('messages');
  box.textContent = text || '';
  box.hidden = !text;
  messageKind = kind;
}
function setStatus(text) { $('status').textContent = text; }

// ---- The source: kept as the request that opens it, for every worker ---

let source = null;        // { request, width, height, name }
let pendingSource = null; // a source being opened

// ---- The live worker ------------------------------------------------------

let live = null;
let seq = 0;
let shownSeq = 0;
let liveBusy = false;
let previewWanted = false;
let renderRunning = false;
let shown = null;         // { width, height, scale, full }
let renderDone = '';      // the status after the running render

function startLive() {
  live = new Worker(workerUrl);
  live.onmessage = (event) => onLiveMessage(event.data);
  live.onerror = (event) => {
    event.preventDefault();
    showMessages('The page\'s worker stopped: ' + (event.message || 'unknown error') + '.');
  };
  liveBusy = false;
  if (source)
    send(live, source.request);
}

// Posts a copy of request: a source's bytes are copied so that the kept
// request can open the picture in the next worker too.
function send(worker, request) {
  const message = Object.assign({}, request, { seq: ++seq });
  const transfer = [];
  if (message.bytes) {
    message.bytes = message.bytes.slice(0);
    transfer.push(message.bytes);
  }
  worker.postMessage(message, transfer);
  return message.seq;
}

function viewSize() {
  const ratio = window.devicePixelRatio || 1;
  if (hooks.viewSize)
    return hooks.viewSize;
  return [Math.max(1, Math.round(stage.clientWidth * ratio)), Math.max(1, Math.round(stage.clientHeight * ratio))];
}

// While a control is dragged, each preview gets about a display frame's
// time: its pixels are budgeted from how long the last one took per pixel,
// and the core reduces it further when needed (coarse). Once the dragging
// stops, a preview without a budget refines the picture, so that the
// picture left at rest is the view's, whatever came before.
const DRAG_MS = 250;          // changes closer together than this (or one while the
                              // last preview was made) are a drag
const PREVIEW_MS = 10;        // a dragged preview's time in the worker
const LEAST_PIXELS = 1500;    // never coarser than this
const REFINE_MS = 120;        // the pause after a coarse picture that refines it
let lastAskedAt = -Infinity;  // the last change's time
let msPerPixel = 0;
let refineTimer = 0;
let refineNext = false;
let wantedMoving = false;     // the preview waiting for the worker was asked by a moving control

function refinePreview() {
  refineTimer = 0;
  refineNext = true;
  requestPreview();
  if (!liveBusy)
    endBusy();
}

// A render or a new picture takes the refinement's place.
function cancelRefine() {
  clearTimeout(refineTimer);
  refineTimer = 0;
}

// moving: asked by a control being moved (the speed, the observer, the
// exposure); only those make a drag. A new picture, a message or a resize
// asks for the view's own preview.
function requestPreview(moving = false) {
  cancelRefine();
  const now = performance.now();
  const dragged = moving && !refineNext && msPerPixel > 0 && (previewWanted || now - lastAskedAt < DRAG_MS);
  if (moving)
    lastAskedAt = now;
  const refusal = speedRefusal();
  if (refusal)
    return showMessages(refusal, 'render');
  if (messageKind === 'render' && /this page's most/.test($('messages').textContent))
    showMessages('');
  if (!source)
    return;
  if (liveBusy) {
    previewWanted = true;
    wantedMoving = wantedMoving || moving;
    return;
  }
  previewWanted = false;
  wantedMoving = false;
  startBusy();
  const [viewWidth, viewHeight] = viewSize();
  const pixelBudget = dragged ? Math.max(LEAST_PIXELS, Math.round(PREVIEW_MS / msPerPixel)) : 0;
  refineNext = false;
  send(live, { type: 'preview', settings: settings(), viewWidth, viewHeight, pixelBudget });
  pageEvents.dispatchEvent(new Event('settings'));
}

// The live worker at work; a sign shows once it has taken 200 ms.
const BUSY_SIGN_MS = 200;
let busyTimer = 0;
function startBusy() {
  liveBusy = true;
  hooks.busy = true;
  if (!busyTimer)
    busyTimer = setTimeout(() => {
      $('busy').hidden = false;
      hooks.busySigns = (hooks.busySigns || 0) + 1;
    }, hooks.busySignMs ?? BUSY_SIGN_MS);
}
function endBusy() {
  clearTimeout(busyTimer);
  busyTimer = 0;
  $('busy').hidden = true;
  // A refinement to come: the picture is not final yet.
  hooks.busy = refineTimer !== 0;
}

// What the other parts of the page listen to: 'picture' (shown),
// 'original' (the source reduced), 'opened', 'probe' and 'settings'.
const pageEvents = new EventTarget();

function onLiveMessage(message) {
  switch (message.type) {
  case 'opened':
    // A new worker's reopening of the current source says nothing new; with
    // a new picture's open queued behind it, the page waits for that.
    if (pendingSource && message.seq !== pendingSource.seq)
      break;
    if (pendingSource && message.ok) {
      source = pendingSource;
      source.width = message.width;
      source.height = message.height;
      pendingSource = null;
      // The viewer's observer after an open: left edge, half-way down.
      $('observer-x').value = 0;
      $('observer-y').value = Math.trunc(message.height / 2);
      showMessages(message.messages);
      setStatus(source.name + ': ' + message.width + ' × ' + message.height + ' pixels.');
      pageEvents.dispatchEvent(new CustomEvent('opened', { detail: source }));
      const [viewWidth, viewHeight] = viewSize();
      send(live, { type: 'original', viewWidth, viewHeight });
    } else if (pendingSource) {
      pendingSource = null;
      showMessages(message.messages);
    }
    // No preview (no picture, or a speed refused): the worker is idle.
    liveBusy = false;
    requestPreview();
    if (!liveBusy)
      endBusy();
    break;
  case 'progress':
    if (renderRunning)
      $('progress').value = message.percent;
    break;
  case 'picture':
    hooks.pictures++;
    if (!message.full)
      hooks.previews++;
    if (!message.full && message.ms > 0) {
      msPerPixel = message.ms / (message.width * message.height);
      hooks.previewMs += message.ms;
      hooks.previewPixels += message.width * message.height;
    }
    if (message.seq > shownSeq) {
      shownSeq = message.seq;
      draw(message);
      // A speed refused since this picture was asked for stays refused.
      if (messageKind === 'render')
        showMessages(speedRefusal(), 'render');
    }
    if (message.coarse)
      hooks.coarse++;
    finishLive(message.coarse);
    break;
  case 'original':
  case 'probe':
    pageEvents.dispatchEvent(new CustomEvent(message.type, { detail: message }));
    break;
  case 'failed':
    if (message.request === 'original' || message.request === 'probe')
      break;
    if (message.messages)
      showMessages(message.messages, 'render');
    if (message.fatal) {
      // The core stopped (out of memory, say): a new worker takes over.
      live.terminate();
      startLive();
    }
    finishLive();
    break;
  }
}

function finishLive(coarse = false) {
  liveBusy = false;
  if (renderRunning) {
    renderRunning = false;
    endProgress(renderDone);
  }
  if (previewWanted)
    requestPreview(wantedMoving);
  else if (coarse)
    refineTimer = setTimeout(refinePreview, REFINE_MS);
  if (!liveBusy)
    endBusy();
}

// ---- The picture on the canvas --------------------------------------------

function draw(picture) {
  // Setting the size, even the same, clears the canvas and makes it anew.
  if (canvas.width !== picture.width || canvas.height !== picture.height) {
    canvas.width = picture.width;
    canvas.height = picture.height;
  }
  const image = new ImageData(new Uint8ClampedArray(picture.rgba), picture.width, picture.height);
  canvas.getContext('2d').putImageData(image, 0, 0);
  shown = { width: picture.width, height: picture.height, scale: picture.scale, full: picture.full,
            view: picture.view };
  hooks.scale = picture.scale;
  $('empty').hidden = true;
  fitCanvas();
  pageEvents.dispatchEvent(new CustomEvent('picture', { detail: shown }));
}

function fitCanvas() {
  if (!shown)
    return;
  const fit = Math.min(stage.clientWidth / shown.width, stage.clientHeight / shown.height);
  canvas.style.width = Math.max(1, Math.floor(shown.width * fit)) + 'px';
  canvas.style.height = Math.max(1, Math.floor(shown.height * fit)) + 'px';
  pageEvents.dispatchEvent(new Event('fitted'));
}
window.addEventListener('resize', () => { fitCanvas(); requestPreview(); });

// The observer goes where the pointer is, in the shown picture's pixels
// taken as source pixels (as the viewer takes a click), times the preview's
// reduction.
function observerAt(event) {
  const box = canvas.getBoundingClientRect();
  const x = Math.floor((event.clientX - box.left) * canvas.width / box.width) * shown.scale;
  const y = Math.floor((event.clientY - box.top) * canvas.height / box.height) * shown.scale;
  $('observer-x').value = Math.trunc(x);
  $('observer-y').value = Math.trunc(y);
  requestPreview(true);
}
let dragging = false;
canvas.addEventListener('pointerdown', (event) => {
  if (!shown)
    return;
  dragging = true;
  canvas.setPointerCapture(event.pointerId);
  observerAt(event);
});
canvas.addEventListener('pointermove', (event) => { if (dragging) observerAt(event); });
canvas.addEventListener('pointerup', () => { dragging = false; });
canvas.addEventListener('keydown', (event) => {
  const steps = { ArrowLeft: [-1, 0], ArrowRight: [1, 0], ArrowUp: [0, -1], ArrowDown: [0, 1] };
  const step = steps[event.key];
  if (!step || !source)
    return;
  event.preventDefault();
  const size = event.shiftKey ? 10 : 1;
  $('observer-x').value = Number($('observer-x').value) + step[0] * size;
  $('observer-y').value = Number($('observer-y').value) + step[1] * size;
  requestPreview(true);
});

// ---- Controls ---------------------------------------------------------------

$('speed-slider').addEventListener('input', () => {
  $('speed').value = sliderToPercent($('speed-slider').value);
  requestPreview(true);
});
// Every change asks for a preview: a wrong speed gets the core's message,
// and the next right one takes it away.
$('speed').addEventListener('input', () => {
  const text = speedText($('speed').value);
  const percent = Number(text);
  if (text !== '' && percent >= 0 && percent < 100)
    $('speed-slider').value = percentToSlider(percent);
  requestPreview(true);
});
$('exposure-mode').addEventListener('change', () => {
  $('exposure').disabled = $('exposure-mode').value === 'auto';
  requestPreview();
});
for (const id of ['observer-x', 'observer-y', 'exposure'])
  $(id).addEventListener('input', () => requestPreview(true));
for (const id of ['effect-contraction', 'effect-light-time'])
  $(id).addEventListener('change', () => { followLightTime(); requestPreview(); });
// The searchlight brightens what the Doppler colour shifts: there is no
// brightness without the colour, so each switch brings the other along.
// The D map shows D in place of the colours: it and they take turns.
$('doppler-colour').addEventListener('change', () => {
  if (!$('doppler-colour').checked)
    $('doppler-brightness').checked = false;
  else
    $('doppler-map').checked = false;
  requestPreview();
});
$('doppler-brightness').addEventListener('change', () => {
  if ($('doppler-brightness').checked) {
    $('doppler-colour').checked = true;
    $('doppler-map').checked = false;
  }
  requestPreview();
});
$('doppler-map').addEventListener('change', () => {
  if ($('doppler-map').checked)
    $('doppler-colour').checked = $('doppler-brightness').checked = false;
  requestPreview();
});
for (const radio of document.querySelectorAll('input[name=direction]'))
  radio.addEventListener('change', () => requestPreview());

$('render').addEventListener('click', () => {
  if (!source)
    return showMessages('Open a picture first.');
  if (speedRefusal())
    return showMessages(speedRefusal(), 'render');
  const [running, done] = renderWords();
  renderDone = done;
  startProgress(running, () => {
    // Ending the worker is the one way to stop a render at once.
    live.terminate();
    renderRunning = false;
    startLive();
    endBusy();
    endProgress('Render cancelled.');
  });
  renderRunning = true;
  cancelRefine();
  startBusy();
  send(live, { type: 'render', settings: settings() });
});

// ---- Opening pictures ----------------------------------------------------

// JPEG and PNG files by their first bytes.
function isJpegOrPng(bytes) {
  const b = new Uint8Array(bytes, 0, Math.min(4, bytes.byteLength));
  return (b.length >= 3 && b[0] === 0xff && b[1] === 0xd8 && b[2] === 0xff)
    || (b.length === 4 && b[0] === 0x89 && b[1] === 0x50 && b[2] === 0x4e && b[3] === 0x47);
}

// The browser's pixels of a picture in another format (WebP, GIF…), or
// null when it cannot decode it.
async function browserPixels(name, blob) {
  let bitmap;
  try {
    bitmap = await createImageBitmap(blob);
  } catch (error) {
    return null;
  }
  try {
    const scratch = new OffscreenCanvas(bitmap.width, bitmap.height);
    const context = scratch.getContext('2d');
    context.drawImage(bitmap, 0, 0);
    const pixels = context.getImageData(0, 0, bitmap.width, bitmap.height);
    return { type: 'open-rgba', name, bytes: pixels.data.buffer, width: bitmap.width, height: bitmap.height };
  } catch (error) {
    // Decoded but too large to hand over: the core words it, with the
    // page's limit.
    return { type: 'open-undecoded', name, bytes, width: bitmap.width, height: bitmap.height };
  }
}

// JPEG and PNG files go to the core's reader, lumirun-render's: its Exif
// orientation and colour profile applied. Other pictures the browser can
// decode come as pixels; whatever it cannot goes to the core, which says it
// is too large when its header declares a size past the page's limit, and
// otherwise passes it to the reader, whose message says what it is not.
async function openFile(name, blob) {
  const bytes = await blob.arrayBuffer();
  let request = isJpegOrPng(bytes) ? { type: 'open', name, bytes } : await browserPixels(name, blob);
  if (!request)
    request = { type: 'open-undecoded', name, bytes, width: 0, height: 0 };
  pendingSource = { request, name };
  cancelRefine();
  showMessages('');
  if (liveBusy) {
    // A render in the way would keep the new picture waiting.
    live.terminate();
    startLive();
  }
  startBusy();
  pendingSource.seq = send(live, request);
}

$('file').addEventListener('change', () => {
  const file = $('file').files[0];
  if (file)
    openFile(file.name, file);
  $('file').value = '';
});
$('sample').addEventListener('click', () => {
  const text = atob($('sample-chart').textContent.trim());
  const bytes = new Uint8Array(text.length);
  for (let i = 0; i < text.length; ++i)
    bytes[i] = text.charCodeAt(i);
  openFile('sample.jpg', new Blob([bytes], { type: 'image/jpeg' }));
});
stage.addEventListener('dragover', (event) => { event.preventDefault(); stage.classList.add('dragging'); });
stage.addEventListener('dragleave', () => stage.classList.remove('dragging'));
stage.addEventListener('drop', (event) => {
  event.preventDefault();
  stage.classList.remove('dragging');
  const file = event.dataTransfer.files[0];
  if (file)
    openFile(file.name, file);
});

// The speed field and slider at a percentage, then its preview.
function setSpeed(percent) {
  $('speed').value = String(percent);
  $('speed-slider').value = percentToSlider(Number(percent));
  requestPreview();
}

startLive();
