// For teaching: the readouts (the core's numbers for the view and for the
// pixel under the pointer), the original beside the result (blink, split
// view, the observer's marker, a grid), speed presets, Play, and the
// full-screen presentation.

// ---- Readouts -------------------------------------------------------------

const fixed = (value, digits) => (Number.isFinite(value) ? value.toFixed(digits) : '–');
// A Doppler factor, with enough digits near 0 and near 1.
const factorText = (d) => (Number.isFinite(d) ? (d < 0.1 ? d.toPrecision(2) : d.toFixed(3)) : '–');

pageEvents.addEventListener('picture', (event) => {
  const view = event.detail.view;
  if (!view)
    return;
  // γ from β, the one piece of physics the page does itself.
  $('beta').textContent = fixed(view.beta, 6);
  $('gamma').textContent = fixed(1 / Math.sqrt(1 - view.beta * view.beta), 4);
  $('d-range').textContent = Number.isFinite(view.dMin)
    ? `${factorText(view.dMin)} to ${factorText(view.dMax)}` : 'no light';
  placeMarkers();
});

// One probe at a time; the latest pointer position waits for its answer.
let probing = false;
let probeWanted = null;
function probe(event) {
  if (!shown)
    return;
  const box = canvas.getBoundingClientRect();
  const x = (Math.floor((event.clientX - box.left) * canvas.width / box.width) + 0.5);
  const y = (Math.floor((event.clientY - box.top) * canvas.height / box.height) + 0.5);
  if (probing) {
    probeWanted = [x, y];
    return;
  }
  probing = true;
  send(live, { type: 'probe', x, y });
}
pageEvents.addEventListener('probe', (event) => {
  const p = event.detail;
  hooks.probe = p;
  $('probe').textContent = p.seen
    ? `D ${factorText(p.d)}; from (${p.x.toFixed(1)}, ${p.y.toFixed(1)}) in the photo` : 'No light from the picture.';
  $('probe-light').textContent = p.seen ? `${p.light.toFixed(1)} pixels of light-travel ago` : '–';
  probing = false;
  if (probeWanted) {
    const [x, y] = probeWanted;
    probeWanted = null;
    probing = true;
    send(live, { type: 'probe', x, y });
  }
});
canvas.addEventListener('pointermove', probe);
canvas.addEventListener('pointerdown', probe);

// ---- The original, blink and split view -----------------------------------

const original = $('original');
let originalShown = null;  // { width, height, scale }
let blinking = false;
let splitAt = 0.5;         // the divider, as a share of the stage's width

pageEvents.addEventListener('original', (event) => {
  const o = event.detail;
  original.width = o.width;
  original.height = o.height;
  original.getContext('2d').putImageData(new ImageData(new Uint8ClampedArray(o.rgba), o.width, o.height), 0, 0);
  originalShown = { width: o.width, height: o.height, scale: o.scale };
  hooks.originals = (hooks.originals || 0) + 1;
  layoutOriginal();
});

function layoutOriginal() {
  const on = Boolean(originalShown) && (blinking || $('split').checked);
  $('original-box').hidden = !on;
  $('divider').hidden = !$('split').checked || blinking;
  if (originalShown) {
    const fit = Math.min(stage.clientWidth / originalShown.width, stage.clientHeight / originalShown.height);
    original.style.width = Math.max(1, Math.floor(originalShown.width * fit)) + 'px';
    original.style.height = Math.max(1, Math.floor(originalShown.height * fit)) + 'px';
  }
  const cut = blinking || !$('split').checked ? 0 : (1 - splitAt) * 100;
  $('original-box').style.clipPath = `inset(0 ${cut}% 0 0)`;
  $('divider').style.left = splitAt * 100 + '%';
  $('divider').setAttribute('aria-valuenow', String(Math.round(splitAt * 100)));
  $('blink').setAttribute('aria-pressed', String(blinking));
  placeMarkers();
}

function setBlink(on) {
  blinking = on;
  layoutOriginal();
}
$('blink').addEventListener('click', () => setBlink(!blinking));
$('split').addEventListener('change', layoutOriginal);
pageEvents.addEventListener('fitted', layoutOriginal);

// The divider follows a drag, or the arrow keys (Shift for larger steps).
const divider = $('divider');
function dragDivider(event) {
  const box = stage.getBoundingClientRect();
  splitAt = Math.min(1, Math.max(0, (event.clientX - box.left) / box.width));
  layoutOriginal();
}
divider.addEventListener('pointerdown', (event) => {
  divider.setPointerCapture(event.pointerId);
  divider.onpointermove = dragDivider;
  dragDivider(event);
});
divider.addEventListener('pointerup', () => { divider.onpointermove = null; });
divider.addEventListener('keydown', (event) => {
  const step = { ArrowLeft: -1, ArrowRight: 1 }[event.key];
  if (!step)
    return;
  event.preventDefault();
  splitAt = Math.min(1, Math.max(0, splitAt + step * (event.shiftKey ? 0.1 : 0.02)));
  layoutOriginal();
});

// On the original a click or a drag puts the observer at that photo pixel.
let draggingOriginal = false;
function observerOnOriginal(event) {
  const box = original.getBoundingClientRect();
  $('observer-x').value = Math.trunc(Math.floor((event.clientX - box.left) * original.width / box.width) * originalShown.scale);
  $('observer-y').value = Math.trunc(Math.floor((event.clientY - box.top) * original.height / box.height) * originalShown.scale);
  requestPreview(true);
}
original.addEventListener('pointerdown', (event) => {
  draggingOriginal = true;
  original.setPointerCapture(event.pointerId);
  observerOnOriginal(event);
});
original.addEventListener('pointermove', (event) => { if (draggingOriginal) observerOnOriginal(event); });
original.addEventListener('pointerup', () => { draggingOriginal = false; });

// ---- The observer's marker, and the grid -----------------------------------

// The observer is a photo pixel; on the result it is where a click puts it
// (the shown picture's pixel times its scale, as the viewer takes a click).
function placeMarker(marker, target, picture) {
  if (!picture || target.offsetParent === null) {
    marker.hidden = true;
    return;
  }
  const stageBox = stage.getBoundingClientRect();
  const box = target.getBoundingClientRect();
  const x = (Number($('observer-x').value) / picture.scale + 0.5) * box.width / picture.width;
  const y = (Number($('observer-y').value) / picture.scale + 0.5) * box.height / picture.height;
  marker.style.left = box.left - stageBox.left + x + 'px';
  marker.style.top = box.top - stageBox.top + y + 'px';
  marker.hidden = false;
}
// Once a frame at most: each placing reads the layout, which a new picture
// or a resize has just changed.
let markersFrame = 0;
function placeMarkers() {
  if (markersFrame)
    return;
  markersFrame = requestAnimationFrame(() => {
    markersFrame = 0;
    placeMarker($('marker'), canvas, shown);
    placeMarker($('original-marker'), original, $('original-box').hidden ? null : originalShown);
  });
}
for (const id of ['observer-x', 'observer-y'])
  $(id).addEventListener('input', placeMarkers);
pageEvents.addEventListener('settings', placeMarkers);

$('grid-on').addEventListener('change', () => { $('grid').hidden = !$('grid-on').checked; });

// ---- Presets and Play -------------------------------------------------------

for (const button of document.querySelectorAll('.preset'))
  button.addEventListener('click', () => { stopPlay(); setSpeed(button.dataset.speed); });

// Play sweeps the slider from 0 up to 99.9 % and back, easing at both ends,
// in PLAY_SECONDS, until stopped; previews follow as fast as they come.
const PLAY_SECONDS = 8;
let playStart = 0;
let playFrame = 0;
function playStep(now) {
  const phase = ((now - playStart) / 1000 / PLAY_SECONDS) % 1;
  const top = percentToSlider(99.9);
  $('speed-slider').value = Math.round(top * (1 - Math.cos(2 * Math.PI * phase)) / 2);
  $('speed').value = sliderToPercent($('speed-slider').value);
  requestPreview(true);
  playFrame = requestAnimationFrame(playStep);
}
function stopPlay() {
  if (!playFrame)
    return;
  cancelAnimationFrame(playFrame);
  playFrame = 0;
  $('play').textContent = 'Play';
  $('play').setAttribute('aria-pressed', 'false');
}
$('play').addEventListener('click', () => {
  if (playFrame)
    return stopPlay();
  $('play').textContent = 'Stop';
  $('play').setAttribute('aria-pressed', 'true');
  playStart = performance.now();
  playFrame = requestAnimationFrame(playStep);
});
for (const id of ['speed', 'speed-slider'])
  $(id).addEventListener('input', (event) => { if (event.isTrusted) stopPlay(); });

// ---- Presentation: the picture alone, full screen ---------------------------

function setPresenting(on) {
  document.body.classList.toggle('presenting', on);
  if (on && document.documentElement.requestFullscreen && !document.fullscreenElement)
    document.documentElement.requestFullscreen().catch(() => {});
  else if (!on && document.fullscreenElement)
    document.exitFullscreen().catch(() => {});
  // The stage changed size: the picture fits it anew.
  fitCanvas();
  layoutOriginal();
  requestPreview();
}
$('present').addEventListener('click', () => setPresenting(!document.body.classList.contains('presenting')));
document.addEventListener('fullscreenchange', () => {
  if (!document.fullscreenElement && document.body.classList.contains('presenting'))
    setPresenting(false);
});

// Keys, away from text fields: B blinks, F presents, Escape ends either.
document.addEventListener('keydown', (event) => {
  const target = event.target;
  if (event.ctrlKey || event.metaKey || event.altKey
      || (target.matches && target.matches('input[type=text], input[type=number], select, textarea')))
    return;
  const key = event.key.toLowerCase();
  if (key === 'b') {
    setBlink(!blinking);
  } else if (key === 'f') {
    setPresenting(!document.body.classList.contains('presenting'));
  } else if (key === 'escape') {
    setBlink(false);
    if (document.body.classList.contains('presenting'))
      setPresenting(false);
  } else {
    return;
  }
  event.preventDefault();
});

$('teaching-open').addEventListener('click', () => $('teaching').showModal());
