// The page's worker: runs the core (createLumirunCore, inlined before this
// code) on its own thread, one message at a time, so the page never waits.
// Every request names the settings it is for; every answer says what came
// of it: a picture, the bytes of an export, or the lines of a failure.
'use strict';

let core = null;
const coreReady = createLumirunCore({
  onProgress: (percent) => postMessage({ type: 'progress', percent }),
  print: () => {},
  printErr: () => {},
}).then((module) => { core = module; });

// A C string on the core's heap, freed by the caller.
function cString(text) {
  const size = core.lengthBytesUTF8(text) + 1;
  const pointer = core._malloc(size);
  core.stringToUTF8(text, pointer, size);
  return pointer;
}

function withStrings(texts, call) {
  const pointers = texts.map(cString);
  try {
    return call(...pointers);
  } finally {
    pointers.forEach((pointer) => core._free(pointer));
  }
}

function messages() {
  return core.UTF8ToString(core._lr_messages());
}

function failure(request) {
  postMessage({ type: 'failed', request: request.type, seq: request.seq, messages: messages() });
}

function open(request) {
  let result;
  const bytes = new Uint8Array(request.bytes);
  const pointer = core._malloc(bytes.length);
  if (!pointer)
    return { ok: false, messages: 'Error: Not enough memory to open ' + request.name + '.' };
  core.HEAPU8.set(bytes, pointer);
  if (request.type === 'open')
    result = withStrings([request.name], (name) => core._lr_open(pointer, bytes.length, name));
  else if (request.type === 'open-undecoded')
    result = withStrings([request.name], (name) =>
      core._lr_refuse_undecoded(pointer, bytes.length, name, request.width, request.height));
  else
    result = core._lr_open_rgba(pointer, request.width, request.height);
  core._free(pointer);
  return { ok: result === 0, messages: messages() };
}

function applySettings(s) {
  return withStrings([s.speed, s.quality, s.exposure, s.effects], (speed, quality, exposure, effects) =>
    core._lr_set_settings(speed, s.direction, quality, s.observerX, s.observerY, s.doppler, exposure, effects,
                         s.dopplerMap)) === 0;
}

// start: when the work began (performance.now()), so that the page learns
// how long a picture of this many pixels takes.
function postPicture(request, full, start) {
  const pointer = core._lr_picture_rgba();
  if (!pointer) {
    postMessage({ type: 'failed', request: request.type, seq: request.seq,
                  messages: 'Error: Not enough memory to show the picture!' });
    return;
  }
  const width = core._lr_picture_width();
  const height = core._lr_picture_height();
  const rgba = core.HEAPU8.slice(pointer, pointer + width * height * 4);
  const view = readout(core._lr_view_readout());
  postMessage({ type: 'picture', seq: request.seq, full, width, height, scale: core._lr_picture_scale(),
                coarse: !full && core._lr_picture_coarse() === 1, ms: performance.now() - start,
                rgba: rgba.buffer, view: { beta: view[0], gamma: view[1], dMin: view[2], dMax: view[3] } },
              [rgba.buffer]);
}

// The five doubles of a readout (web/lumirun_api.h).
function readout(pointer) {
  return Array.from(core.HEAPF64.subarray(pointer / 8, pointer / 8 + 5));
}

function postProbe(request) {
  const r = readout(core._lr_pixel_readout(request.x, request.y));
  postMessage({ type: 'probe', seq: request.seq, seen: r[0] === 1, d: r[1], x: r[2], y: r[3], light: r[4] });
}

function postOriginal(request) {
  if (core._lr_original(request.viewWidth, request.viewHeight) !== 0)
    return failure(request);
  const width = core._lr_original_width();
  const height = core._lr_original_height();
  const pointer = core._lr_original_rgba();
  const rgba = core.HEAPU8.slice(pointer, pointer + width * height * 4);
  postMessage({ type: 'original', seq: request.seq, width, height, scale: core._lr_original_scale(),
                rgba: rgba.buffer }, [rgba.buffer]);
}

function postExport(request, mime) {
  const pointer = core._lr_export_data();
  const data = core.HEAPU8.slice(pointer, pointer + core._lr_export_size());
  postMessage({ type: 'bytes', seq: request.seq, mime, data: data.buffer }, [data.buffer]);
}

// ---- Videos and GIFs: the core's movie frames, framed by the core as the
// command line's --size, --fit and --fill frame them, and encoded by the
// browser (WebCodecs, muxed by Mediabunny) or by gifenc ----------------------

// A frame of width by height on a canvas of the video's size: the core's
// bytes as they are, and without a size a video's canvas to even sides,
// black in the column or row added.
function framedCanvas(video, rgba, width, height) {
  const pad = video.container === 'gif' ? 0 : 1;
  const framed = new OffscreenCanvas(width + (width % 2) * pad, height + (height % 2) * pad);
  const context = framed.getContext('2d');
  context.fillStyle = '#000';
  context.fillRect(0, 0, framed.width, framed.height);
  context.putImageData(new ImageData(new Uint8ClampedArray(rgba), width, height), 0, 0);
  return framed;
}

// The encoder of video.container: add(canvas, frame) for each frame, then
// finish() gives the file's bytes.
function gifEncoder(video) {
  const gif = gifenc.GIFEncoder();
  return {
    add(framed) {
      const pixels = framed.getContext('2d').getImageData(0, 0, framed.width, framed.height).data;
      const palette = gifenc.quantize(pixels, 256);
      gif.writeFrame(gifenc.applyPalette(pixels, palette), framed.width, framed.height,
                     { palette, delay: 1000 / Number(video.fps) });
    },
    async finish() {
      gif.finish();
      return gif.bytes();
    },
  };
}

function webCodecsEncoder(video) {
  const chunks = [];
  let failed = null;
  let encoder = null;
  const fps = Number(video.fps);
  const add = async (framed, frame) => {
    if (failed)
      throw failed;
    if (!encoder) {
      encoder = new VideoEncoder({ output: (chunk, meta) => chunks.push([chunk, meta]), error: (e) => { failed = e; } });
      encoder.configure({ codec: video.codec, width: framed.width, height: framed.height, framerate: fps,
                          bitrate: Math.max(1e6, framed.width * framed.height * fps * 0.15) });
    }
    const picture = new VideoFrame(framed, { timestamp: Math.round(frame * 1e6 / fps), duration: Math.round(1e6 / fps) });
    encoder.encode(picture, { keyFrame: frame % Math.max(1, Math.round(2 * fps)) === 0 });
    picture.close();
    // The next frame waits while the encoder has frames to spare, so that
    // frames never pile up in memory.
    while (encoder.state === 'configured' && encoder.encodeQueueSize > 2)
      await new Promise((resolve) => encoder.addEventListener('dequeue', resolve, { once: true }));
  };
  const finish = async () => {
    await encoder.flush();
    encoder.close();
    if (failed)
      throw failed;
    const mp4 = video.container === 'mp4';
    const output = new Mediabunny.Output({
      format: mp4 ? new Mediabunny.Mp4OutputFormat({ fastStart: 'in-memory' }) : new Mediabunny.WebMOutputFormat(),
      target: new Mediabunny.BufferTarget(),
    });
    const track = new Mediabunny.EncodedVideoPacketSource(video.codec.startsWith('avc') ? 'avc'
      : video.codec.startsWith('vp09') ? 'vp9' : 'vp8');
    output.addVideoTrack(track, { frameRate: fps });
    await output.start();
    for (const [chunk, meta] of chunks)
      await track.add(Mediabunny.EncodedPacket.fromEncodedChunk(chunk), meta);
    await output.finalize();
    return new Uint8Array(output.target.buffer);
  };
  return { add, finish };
}

async function exportVideo(request) {
  const m = request.movie;
  const video = request.video;
  const encoder = video.container === 'gif' ? gifEncoder(video) : webCodecsEncoder(video);
  if (withStrings([m.fps, m.speedTo], (fps, speedTo) =>
    core._lr_movie_start(m.frames, fps, speedTo, m.observerMoves ? 1 : 0, m.xTo, m.yTo, video.width, video.height,
                         video.framing === 'fill' ? 1 : 0)) !== 0)
    return failure(request);
  for (let frame = 0; frame < m.frames; ++frame) {
    if (core._lr_movie_frame(frame) !== 0)
      return failure(request);
    const layout = core._lr_movie_layout() / 4;
    const [width, height] = core.HEAP32.subarray(layout, layout + 2);
    const pixels = core._lr_movie_rgba();
    await encoder.add(framedCanvas(video, core.HEAPU8.subarray(pixels, pixels + width * height * 4), width, height), frame);
  }
  const data = new Uint8Array(await encoder.finish());
  postMessage({ type: 'bytes', seq: request.seq, data: data.buffer }, [data.buffer]);
}

function handle(request) {
  if (request.type === 'open' || request.type.startsWith('open-')) {
    const opened = open(request);
    postMessage({ type: 'opened', seq: request.seq, ok: opened.ok, messages: opened.messages,
                  width: core._lr_source_width(), height: core._lr_source_height() });
    return;
  }
  if (request.type === 'probe')
    return postProbe(request);
  if (request.type === 'original')
    return postOriginal(request);
  if (request.type === 'kernels') {  // the page's test alone
    const name = core.UTF8ToString(core._lr_kernels(request.portable));
    return postMessage({ type: 'kernels', seq: request.seq, name });
  }
  const start = performance.now();
  if (!applySettings(request.settings))
    return failure(request);
  switch (request.type) {
  case 'preview':
    if (core._lr_preview(request.viewWidth, request.viewHeight, request.pixelBudget || 0) !== 0)
      return failure(request);
    return postPicture(request, false, start);
  case 'render':
    if (core._lr_render() !== 0)
      return failure(request);
    return postPicture(request, true, start);
  case 'export-jpeg':
    if (core._lr_render() !== 0 || core._lr_export_jpeg() !== 0)
      return failure(request);
    return postExport(request, 'image/jpeg');
  case 'export-png':
    if (core._lr_render() !== 0 || core._lr_export_png() !== 0)
      return failure(request);
    return postExport(request, 'image/png');
  case 'export-movie': {
    const m = request.movie;
    const result = withStrings([m.fps, m.speedTo], (fps, speedTo) =>
      core._lr_export_movie(m.frames, fps, speedTo, m.observerMoves ? 1 : 0, m.xTo, m.yTo, m.lossless ? 1 : 0));
    if (result !== 0)
      return failure(request);
    return postExport(request, 'image/webp');
  }
  case 'export-video':
    return exportVideo(request);
  }
}

// Requests wait for the core, then run in the order they came.
let queue = coreReady;
onmessage = (event) => {
  queue = queue.then(() => handle(event.data)).catch((error) => {
    // The core cannot go on after a trap: the page starts another worker.
    postMessage({ type: 'failed', request: event.data.type, seq: event.data.seq, fatal: true,
                  messages: 'Error: ' + (error && error.message ? error.message : String(error)) });
  });
};
