// The page's exports (JPEG, PNG, WebP movie), each in a worker of its own
// so that Cancel can simply end it; and the progress bar they share with
// Render (main.js).

let exporter = null;

function startProgress(text, cancel) {
  $('progress').value = 0;
  $('progress-box').hidden = false;
  $('cancel').onclick = cancel;
  setStatus(text);
}
function endProgress(text) {
  $('progress-box').hidden = true;
  setStatus(text);
}

function baseName() {
  return (source ? source.name.replace(/\.[^.]*$/, '') : 'lumirun') + '-lumirun';
}

function download(bytes, mime, name) {
  hooks.lastExport = new Uint8Array(bytes);
  const link = document.createElement('a');
  link.href = URL.createObjectURL(new Blob([bytes], { type: mime }));
  link.download = name;
  link.click();
  setTimeout(() => URL.revokeObjectURL(link.href), 60000);
}

function runExport(label, request, done) {
  if (!source)
    return showMessages('Open a picture first.');
  if (exporter)
    return showMessages('An export is running: wait for it or cancel it.');
  if (speedRefusal())
    return showMessages(speedRefusal(), 'render');
  const worker = new Worker(workerUrl);
  exporter = worker;
  const stop = (text) => {
    worker.terminate();
    exporter = null;
    endProgress(text);
  };
  startProgress(label + '…', () => stop(label + ' cancelled.'));
  const started = performance.now();
  worker.onmessage = (event) => {
    const message = event.data;
    if (message.type === 'progress') {
      $('progress').value = message.percent;
    } else if (message.type === 'failed') {
      showMessages(message.messages, 'render');
      stop(label + ' failed.');
    } else if (message.type === 'bytes' || message.type === 'picture') {
      hooks.lastExportSeconds = (performance.now() - started) / 1000;
      stop(label + ' done in ' + hooks.lastExportSeconds.toFixed(1) + ' s.');
      done(message);
    }
  };
  worker.onerror = (event) => {
    event.preventDefault();
    showMessages('Error: ' + (event.message || 'the export stopped') + '.');
    stop(label + ' failed.');
  };
  send(worker, source.request);
  request.settings = settings();
  send(worker, request);
}

$('save-jpeg').addEventListener('click', () => {
  runExport('Saving JPEG', { type: 'export-jpeg' },
            (message) => download(message.data, 'image/jpeg', baseName() + '.jpg'));
});
$('save-png').addEventListener('click', () => {
  runExport('Saving PNG', { type: 'export-png' },
            (message) => download(message.data, 'image/png', baseName() + '.png'));
});
$('save-movie').addEventListener('click', () => {
  const kind = $('movie-kind').value;
  const to = $('movie-to').value.trim();
  const movie = {
    frames: Math.trunc(Number($('movie-frames').value) || 0),
    fps: $('movie-fps').value.trim() || '24',
    speedTo: '', observerMoves: false, xTo: 0, yTo: 0,
    lossless: $('movie-lossless').checked,
  };
  if (kind === 'speed') {
    movie.speedTo = speedText(to);
  } else {
    const match = /^\s*(-?\d+)\s*,\s*(-?\d+)\s*$/.exec(to);
    if (!match)
      return showMessages('The observer\'s last position must be x,y in pixels, such as 600,240.');
    movie.observerMoves = true;
    movie.xTo = Number(match[1]);
    movie.yTo = Number(match[2]);
  }
  runExport('Saving movie', { type: 'export-movie', movie },
            (message) => download(message.data, 'image/webp', baseName() + '.webp'));
});
$('movie-kind').addEventListener('change', () => {
  $('movie-to').value = $('movie-kind').value === 'speed' ? '99'
    : (source ? source.width + ',' + Math.trunc(source.height / 2) : '600,240');
});
