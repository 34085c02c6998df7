// The page's exports (JPEG, PNG, WebP movie, video, GIF), each in a worker of its own
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
// The movie's settings from the Save panel; null (with the message shown)
// when they cannot be taken.
function movieSettings() {
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
    if (!match) {
      showMessages('The observer\'s last position must be x,y in pixels, such as 600,240.');
      return null;
    }
    movie.observerMoves = true;
    movie.xTo = Number(match[1]);
    movie.yTo = Number(match[2]);
  }
  return movie;
}

$('save-movie').addEventListener('click', () => {
  const movie = movieSettings();
  if (movie)
      runExport('Saving movie', { type: 'export-movie', movie },
              (message) => download(message.data, 'image/webp', baseName() + '.webp'));
});

// A duration in seconds sets the frames at the frame rate, as
// lumirun-render's --duration does.
function takeDuration() {
  const seconds = Number(speedText($('movie-duration').value));
  const fps = Number($('movie-fps').value);
  if ($('movie-duration').value.trim() !== '' && seconds > 0 && fps > 0)
    $('movie-frames').value = Math.max(1, Math.round(seconds * fps));
}
$('movie-duration').addEventListener('input', takeDuration);
$('movie-fps').addEventListener('input', takeDuration);

// ---- Videos: the WebP movie's frames in a video the browser encodes ------

// The video encoders tried, best first: what this browser's WebCodecs can
// encode at a slide's size decides which the page offers.
const VIDEO_CODECS = [
  { value: 'mp4:avc1.420028', label: 'MP4 (H.264)', words: 'MP4 with H.264' },
  { value: 'webm:vp09.00.40.08', label: 'WebM (VP9)', words: 'WebM with VP9' },
  { value: 'webm:vp8', label: 'WebM (VP8)', words: 'WebM with VP8' },
];
async function offerVideoFormats() {
  const select = $('video-format');
  const supported = [];
  for (const codec of VIDEO_CODECS) {
    let ok = false;
    try {
      ok = typeof VideoEncoder !== 'undefined' && (await VideoEncoder.isConfigSupported({
        codec: codec.value.split(':')[1], width: 1920, height: 1080, framerate: 24, bitrate: 4e6 })).supported;
    } catch (error) {
      ok = false;
    }
    if (ok)
      supported.push(codec);
  }
  for (const codec of [...supported, { value: 'gif', label: 'GIF' }])
    select.add(new Option(codec.label, codec.value));
  $('video-codec').textContent = supported.length
    ? `Video: ${supported[0].words}, the first of H.264, VP9 and VP8 this browser encodes`
      + (supported.length > 1 ? `; ${supported.slice(1).map((c) => c.words).join(' and ')} can be chosen too.` : '.')
    : 'This browser encodes no video here (WebCodecs, with an H.264, VP9 or VP8 encoder, in a page opened from a file or'
      + ' over https): GIF and the WebP movie remain.';
}
offerVideoFormats();

$('save-video').addEventListener('click', () => {
  const movie = movieSettings();
  if (!movie)
    return;
  const [container, codec] = $('video-format').value.split(':');
  const video = { container, codec: codec || '', fps: movie.fps, width: 0, height: 0, framing: $('video-framing').value };
  const size = $('video-size').value.trim();
  if (size !== '') {
    const match = /^(\d+)\s*[x×]\s*(\d+)$/i.exec(size);
    const [w, h] = match ? [Number(match[1]), Number(match[2])] : [0, 0];
    if (!(w >= 2 && h >= 2 && w <= 7680 && h <= 4320) || (container !== 'gif' && (w % 2 || h % 2)))
      return showMessages(`The video's size ${size} is not WIDTHxHEIGHT in pixels, such as 1920x1080`
                          + ' (up to 7680x4320; even numbers for a video).');
    [video.width, video.height] = [w, h];
  }
  const mime = { mp4: 'video/mp4', webm: 'video/webm', gif: 'image/gif' }[container];
  runExport('Saving video', { type: 'export-video', movie, video },
            (message) => download(message.data, mime, baseName() + '.' + container));
});
$('movie-kind').addEventListener('change', () => {
  $('movie-to').value = $('movie-kind').value === 'speed' ? '99'
    : (source ? source.width + ',' + Math.trunc(source.height / 2) : '600,240');
});
