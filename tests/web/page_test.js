// lumirun.html in Debian's headless Chromium, driven through its own
// controls: one scenario per behaviour, each checked against
// lumirun-render's bytes for the same settings.
//   node page_test.js LUMIRUN_HTML LUMIRUN_RENDER SAMPLE_JPEG OUT_DIR MAKE_PROFILE [--bench]
// MAKE_PROFILE is the native lumirun_make_profile (writes a Display P3
// profile). Prints the benchmark's figures with --bench; exits 1 when a
// scenario failed. LUMIRUN_WEB_ONLY=TEXT runs only the scenarios whose
// names hold TEXT (or one of the texts between '|').
'use strict';

const { execFileSync } = require('node:child_process');
const crypto = require('node:crypto');
const fs = require('node:fs');
const http = require('node:http');
const os = require('node:os');
const path = require('node:path');
const zlib = require('node:zlib');
const puppeteer = require('puppeteer-core');

const [pagePath, cliPath, samplePath, outDir, makeProfile] = process.argv.slice(2, 7).map((p) => path.resolve(p));
const bench = process.argv.includes('--bench');
const pageUrl = 'file://' + path.resolve(pagePath);
const work = fs.mkdtempSync(path.join(os.tmpdir(), 'lumirun-web-'));

function check(condition, what) {
  if (!condition)
    throw new Error(what);
}
const sha = (bytes) => crypto.createHash('sha256').update(bytes).digest('hex');

// lumirun-render's output for these options from input (a file in the
// work folder, or the sample).
function cliOn(input, output, ...options) {
  const file = path.join(work, output);
  execFileSync(cliPath, [input, file, '--quiet', ...options], { cwd: work });
  return fs.readFileSync(file);
}
const cli = (output, ...options) => cliOn(samplePath, output, ...options);

// What lumirun-render tells on standard error for input, without its
// "lumirun-render: " prefixes.
function cliMessages(input) {
  try {
    execFileSync(cliPath, [input, 'out.jpg', '--quiet'], { cwd: work, stdio: 'pipe' });
  } catch (error) {
    return error.stderr.toString().trim().replace(/^lumirun-render: /gm, '');
  }
  throw new Error(`lumirun-render read ${input}`);
}

// ---- Shared setup: the page, what it asks of the network, what it logs ----

let browser;
let page;
const requests = [];
const consoleErrors = [];

async function openPage(url) {
  const p = await browser.newPage();
  await p.setViewport({ width: 1280, height: 800 });
  p.on('request', (request) => {
    const u = request.url();
    if (u !== url && !u.startsWith('data:') && !u.startsWith('blob:'))
      requests.push(u);
  });
  p.on('console', (message) => {
    if (message.type() === 'error' || message.type() === 'warn')
      consoleErrors.push(message.text());
  });
  p.on('pageerror', (error) => consoleErrors.push(String(error)));
  await p.goto(url, { waitUntil: 'load' });
  return p;
}

const idle = () => page.waitForFunction(() => !window.lumirunTest.busy, { timeout: 120000 });

// Replaces a field's text by typing, as a user would.
async function type(selector, text) {
  await page.click(selector, { clickCount: 3 });
  await page.keyboard.press('Backspace');
  await page.keyboard.type(text);
  await idle();
}

async function openSample() {
  const before = await page.evaluate(() => window.lumirunTest.pictures);
  await page.click('#sample');
  await page.waitForFunction((n) => window.lumirunTest.pictures > n, {}, before);
  await idle();
}

async function uploadFile(name, bytes) {
  const file = path.join(work, name);
  fs.writeFileSync(file, bytes);
  const input = await page.$('#file');
  await input.uploadFile(file);
}

// The bytes the page hands to the browser's download for this button.
async function exported(button, timeout = 120000) {
  await page.evaluate(() => { window.lumirunTest.lastExport = null; });
  await page.click(button);
  await page.waitForFunction(() => window.lumirunTest.lastExport !== null, { timeout });
  const text = await page.evaluate(() => {
    const bytes = window.lumirunTest.lastExport;
    let binary = '';
    for (let i = 0; i < bytes.length; i += 0x8000)
      binary += String.fromCharCode.apply(null, bytes.subarray(i, i + 0x8000));
    return btoa(binary);
  });
  return Buffer.from(text, 'base64');
}

// A valid PNG file of width by height black pixels, made in a moment: the
// same independent deflate block for each 100 rows, then the end.
function blackPng(width, height) {
  const crcTable = Array.from({ length: 256 }, (_, n) => {
    for (let k = 0; k < 8; ++k)
      n = n & 1 ? 0xedb88320 ^ (n >>> 1) : n >>> 1;
    return n >>> 0;
  });
  const crc = (bytes) => (bytes.reduce((c, b) => crcTable[(c ^ b) & 0xff] ^ (c >>> 8), 0xffffffff) ^ 0xffffffff) >>> 0;
  const chunk = (type, data) => {
    const body = Buffer.concat([Buffer.from(type), data]);
    const ends = Buffer.alloc(8);
    ends.writeUInt32BE(data.length, 0);
    ends.writeUInt32BE(crc(body), 4);
    return Buffer.concat([ends.subarray(0, 4), body, ends.subarray(4)]);
  };
  const row = 1 + 3 * width;  // filter byte and samples, all 0
  const block = zlib.deflateRawSync(Buffer.alloc(row * 100), { finishFlush: zlib.constants.Z_FULL_FLUSH });
  const adler = Buffer.alloc(4);
  adler.writeUInt32BE((((row * height) % 65521) * 65536 + 1) >>> 0);
  const data = Buffer.concat([Buffer.from([0x78, 0x01]), ...Array(height / 100).fill(block),
                              zlib.deflateRawSync(Buffer.alloc(0)), adler]);
  const header = Buffer.alloc(13);
  header.writeUInt32BE(width, 0);
  header.writeUInt32BE(height, 4);
  header.set([8, 2, 0, 0, 0], 8);  // 8-bit RGB, not interlaced
  return Buffer.concat([Buffer.from([0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a]), chunk('IHDR', header),
                        chunk('IDAT', data), chunk('IEND', Buffer.alloc(0))]);
}

const canvasDigest = () => page.evaluate(() => document.getElementById('picture').toDataURL());
const messages = () => page.$eval('#messages', (box) => (box.hidden ? '' : box.textContent));
const field = (selector) => page.$eval(selector, (input) => input.value);

// ---- Scenarios ------------------------------------------------------------------

const scenarios = {
  async 'the controls give lumirun-render\'s picture in all three directions, and its Doppler colours'() {
    // Smooth and automatic exposure by default, as on the command line.
    check(await field('#quality') === 'smooth', 'the full render is not smooth by default');
    check(await field('#exposure-mode') === 'auto', 'the exposure is not automatic by default');
    await openSample();
    await type('#speed', '93.7');
    await type('#observer-x', '150');
    await type('#observer-y', '300');
    for (const quality of ['smooth', 'low']) {
      await page.select('#quality', quality);
      for (const direction of [0, 1, 2]) {
        await page.click(`input[name=direction][value="${direction}"]`);
        await idle();
        const bytes = await exported('#save-jpeg');
        const expected = cli(`direction-${direction}.jpg`, '--speed', '93.7', '--direction', String(direction),
                             '--observer', '150,300', '--quality', quality);
        check(sha(bytes) === sha(expected),
              `${quality}, direction ${direction}: the page's JPEG differs from lumirun-render's`);
      }
    }
    // The Doppler colours, with the exposure automatic and then in stops.
    await page.click('#doppler-brightness');
    const doppler = ['--speed', '93.7', '--direction', '2', '--observer', '150,300', '--quality', 'low', '--doppler'];
    let bytes = await exported('#save-jpeg');
    check(sha(bytes) === sha(cli('doppler.jpg', ...doppler)),
          'with Doppler colours the page\'s JPEG differs from lumirun-render\'s');
    await page.select('#exposure-mode', 'stops');
    await type('#exposure', '-1.5');
    bytes = await exported('#save-jpeg');
    check(sha(bytes) === sha(cli('exposure.jpg', ...doppler, '--exposure', '-1.5')),
          'with an exposure of -1.5 stops the page\'s JPEG differs from lumirun-render\'s');
    await page.select('#exposure-mode', 'auto');
    await page.click('#doppler-colour');
    await page.select('#quality', 'smooth');
  },

  async 'the effects\' switches give lumirun-render\'s --effects and --doppler, and never one it refuses'() {
    await openSample();
    await type('#speed', '80');
    await page.click('input[name=direction][value="0"]');
    let n = 0;
    const same = async (what, ...options) => {
      const bytes = await exported('#save-jpeg');
      check(sha(bytes) === sha(cli(`effects-${++n}.jpg`, '--speed', '80', '--observer', '0,240', ...options)),
            `${what}: the page's JPEG differs from lumirun-render's`);
    };
    const state = () => page.evaluate(() => ['effect-contraction', 'effect-light-time', 'doppler-colour',
      'doppler-brightness', 'doppler-map'].map((id) => document.getElementById(id)).map((box) => (box.disabled ? '-' : '')
      + (box.checked ? '1' : '0')).join(' ') + (document.getElementById('doppler-note').hidden ? '' : ' note'));
    // The searchlight brings the colour with it; the colour's switch off
    // takes the searchlight along.
    await page.click('#effect-contraction');
    await page.click('#doppler-brightness');
    check(await state() === '0 1 1 1 0', `light travel time and the searchlight: ${await state()}`);
    await same('light travel time with the searchlight', '--effects', 'light-time', '--doppler');
    await page.click('#doppler-brightness');
    await same('light travel time with the Doppler colour', '--effects', 'light-time', '--doppler=colour');
    check((await field('#link')).endsWith('&effects=light-time&doppler=colour'), `the link: ${await field('#link')}`);
    await page.click('#doppler-brightness');
    await page.click('#doppler-colour');
    check(await state() === '0 1 0 0 0', `the Doppler colour off: ${await state()}`);
    // Without light travel time no Doppler shift: its switches wait, with a note.
    await page.click('#doppler-colour');
    await page.click('#effect-light-time');
    check(await state() === '0 0 -0 -0 -0 note', `no light travel time: ${await state()}`);
    await same('no effects', '--effects', 'none');
    await page.click('#effect-contraction');
    await same('contraction alone', '--effects', 'contraction');
    check((await field('#link')).endsWith('&effects=contraction'), `the link: ${await field('#link')}`);
    await page.click('#effect-light-time');
    check(await state() === '1 1 0 0 0', `all effects again: ${await state()}`);
    // The D map in place of the colours, with its legend, and back.
    await page.click('#doppler-brightness');
    await page.click('#doppler-map');
    check(await state() === '1 1 0 0 1', `the D map: ${await state()}`);
    await same('the D map', '--doppler-map');
    check((await field('#link')).endsWith('&observer=0,240&doppler-map'), `the link: ${await field('#link')}`);
    await page.click('#doppler-colour');
    check(await state() === '1 1 1 0 0', `the colour after the D map: ${await state()}`);
    await page.click('#doppler-colour');
  },

  async 'a photo lying on its side with a Display P3 profile, and a PNG, open as lumirun-render reads them'() {
    // The sample with a Display P3 profile, stored landscape and shown portrait.
    const photo = path.join(work, 'photo.jpg');
    fs.copyFileSync(samplePath, photo);
    execFileSync(makeProfile, [path.join(work, 'p3.icc')]);
    execFileSync('exiftool', ['-q', '-n', '-overwrite_original', '-Orientation=6', `-ICC_Profile<=${path.join(work, 'p3.icc')}`, photo]);
    // A PNG turned the other way (eXIf), written by lumirun-render.
    cli('turned.png', '--speed', '20');
    execFileSync('exiftool', ['-q', '-n', '-overwrite_original', '-Orientation=8', path.join(work, 'turned.png')]);
    const png = fs.readFileSync(path.join(work, 'turned.png'));
    // A picture of odd width: its own columns, no alignment ones.
    execFileSync('convert', [samplePath, '-crop', '37x23+300+200', '+repage', path.join(work, 'odd.png')]);
    for (const [name, kind, button, width, height] of [['photo.jpg', 'jpg', '#save-jpeg', 480, 640],
      ['turned.png', 'png', '#save-png', png.readUInt32BE(20), png.readUInt32BE(16)],
      ['odd.png', 'png', '#save-png', 37, 23]]) {
      const before = await page.evaluate(() => window.lumirunTest.pictures);
      await page.$eval('#file', (input) => { input.value = ''; });
      await (await page.$('#file')).uploadFile(path.join(work, name));
      await page.waitForFunction((n) => window.lumirunTest.pictures > n, {}, before);
      await idle();
      const status = await page.$eval('#status', (p) => p.textContent);
      check(status === `${name}: ${width} × ${height} pixels.`, `${name} opened as "${status}", not upright`);
      await page.click('input[name=direction][value="0"]');
      await type('#speed', '70');
      const bytes = await exported(button);
      const expected = cliOn(name, `from-${name}.${kind}`, '--speed', '70', '--observer', `0,${Math.trunc(height / 2)}`);
      check(sha(bytes) === sha(expected), `the page's ${kind} of ${name} differs from lumirun-render's`);
    }
  },

  async 'the speed takes a decimal comma, and a wrong speed\'s message goes once it is corrected'() {
    await openSample();
    await page.click('input[name=direction][value="0"]');
    await type('#speed', '45,5');
    const bytes = await exported('#save-jpeg');
    check(sha(bytes) === sha(cli('comma.jpg', '--speed', '45.5', '--observer', '0,240')),
          'the page\'s JPEG at 45,5 % differs from lumirun-render\'s at 45.5 %');
    await type('#speed', '150');
    const wrong = await messages();
    check(/speed 150 is not a percentage below 100/.test(wrong), `a speed of 150: "${wrong}"`);
    // An export refused for it tells why; the message goes with the correction.
    await page.click('#save-jpeg');
    await page.waitForFunction(() => document.getElementById('status').textContent === 'Saving JPEG failed.');
    await type('#speed', '50');
    check(await messages() === '', `after the correction the page still says "${await messages()}"`);
  },

  async 'a click or a drag on the picture places the observer where --observer does'() {
    await openSample();
    await page.click('input[name=direction][value="0"]');
    await type('#speed', '80');
    // A drag moves the observer along.
    let box = await (await page.$('#picture')).boundingBox();
    await page.mouse.move(box.x + box.width * 0.2, box.y + box.height * 0.7);
    await page.mouse.down();
    await page.mouse.move(box.x + box.width * 0.4, box.y + box.height * 0.4, { steps: 5 });
    await page.mouse.up();
    await idle();
    check(await field('#observer-y') !== '240', 'a drag did not move the observer');
    // A click: the clicked pixel of the shown picture, in source pixels.
    box = await (await page.$('#picture')).boundingBox();
    // Whole CSS pixels: the pointer's events may round a fraction.
    const at = [Math.round(box.x + box.width * 0.35), Math.round(box.y + box.height * 0.45)];
    const expected = await page.evaluate((x, y) => {
      const canvas = document.getElementById('picture');
      const r = canvas.getBoundingClientRect();
      const scale = window.lumirunTest.scale;
      return [Math.floor((x - r.left) * canvas.width / r.width) * scale,
              Math.floor((y - r.top) * canvas.height / r.height) * scale];
    }, ...at);
    await page.mouse.click(...at);
    await idle();
    const x = await field('#observer-x');
    const y = await field('#observer-y');
    check(`${x},${y}` === expected.join(','), `the observer is at ${x},${y}, not ${expected}`);
    const bytes = await exported('#save-jpeg');
    check(sha(bytes) === sha(cli('observer.jpg', '--speed', '80', '--observer', `${x},${y}`)),
          'the JPEG after a click differs from lumirun-render\'s with --observer');
  },

  async 'a 3-frame lossless movie with Doppler colours has lumirun-render\'s bytes'() {
    await openSample();
    await type('#speed', '60');
    await page.click('#doppler-brightness');
    await page.select('#movie-kind', 'speed');
    await type('#movie-to', '95');
    await type('#movie-frames', '3');
    await page.click('#movie-lossless');
    const bytes = await exported('#save-movie');
    const expected = cli('movie.webp', '--frames', '3', '--speed', '60:95', '--lossless', '--observer', '0,240',
                         '--doppler');
    check(sha(bytes) === sha(expected), 'the page\'s movie differs from lumirun-render\'s');
    await page.click('#doppler-colour');
  },

  async 'videos in each container the browser encodes, and GIFs: frames, size, framing and pixels as the movie\'s'() {
    await openSample();
    await page.click('input[name=direction][value="0"]');
    await type('#speed', '30');
    await page.select('#movie-kind', 'speed');
    await type('#movie-to', '90');
    await type('#movie-fps', '12');
    await type('#movie-duration', '0.5');
    check(await field('#movie-frames') === '6', `0.5 s at 12 frames a second gave ${await field('#movie-frames')} frames`);
    const formats = await page.$$eval('#video-format option', (options) => options.map((o) => o.value));
    const note = await page.$eval('#video-codec', (p) => p.textContent);
    check(formats.length > 1 ? note.startsWith(`Video: ${formats[0].startsWith('mp4') ? 'MP4' : 'WebM'}`)
      : /encodes no video/.test(note), `formats ${formats}, and the page says "${note}"`);
    console.log(`  videos this browser encodes: ${formats.join(', ')}`);
    // A browser without WebCodecs' encoder is told so, and offers the GIF alone.
    const bare = await browser.newPage();
    try {
      await bare.evaluateOnNewDocument(() => { delete window.VideoEncoder; });
      await bare.goto(pageUrl, { waitUntil: 'load' });
      await bare.waitForFunction(() => document.getElementById('video-codec').textContent !== '');
      const offered = await bare.$$eval('#video-format option', (options) => options.map((o) => o.value).join());
      const told = await bare.$eval('#video-codec', (p) => p.textContent);
      check(offered === 'gif' && told.startsWith('This browser encodes no video here'),
            `without VideoEncoder the page offers ${offered} and says "${told}"`);
    } finally {
      await bare.close();
    }
    // ffprobe's codec, size and frame count of a file, and its first
    // frame's RGB bytes from ffmpeg, which must decode it all cleanly.
    const probe = (file) => {
      const [codec, width, height, frames] = execFileSync('ffprobe', ['-v', 'error', '-count_frames',
        '-select_streams', 'v:0', '-show_entries', 'stream=codec_name,width,height,nb_read_frames', '-of', 'csv=p=0',
        file]).toString().trim().split(',');
      const errors = execFileSync('ffmpeg', ['-v', 'error', '-i', file, '-f', 'null', '-'], { stdio: 'pipe' }).toString();
      const rgb = execFileSync('ffmpeg', ['-v', 'error', '-i', file, '-frames:v', '1', '-f', 'rawvideo', '-pix_fmt', 'rgb24', '-'],
                                 { maxBuffer: 1 << 28 });
      return { codec, size: `${width}x${height}`, frames: Number(frames), errors, rgb, width: Number(width) };
    };
    const rowGreen = (p, y) => {
      let sum = 0;
      for (let x = 0; x < p.width; ++x)
        sum += p.rgb[(y * p.width + x) * 3 + 1];
      return sum / p.width;
    };
    const codecs = { 'mp4:avc1.420028': 'h264', 'webm:vp09.00.40.08': 'vp9', 'webm:vp8': 'vp8', gif: 'gif' };
    const rows = {};
    // Each container once (its first codec offered), and the GIF fitted and filled.
    const containers = formats.filter((f, i) => formats.findIndex((g) => g.split(':')[0] === f.split(':')[0]) === i);
    for (const format of containers) {
      for (const framing of format === 'gif' ? ['fit', 'fill'] : ['fit']) {
        await page.select('#video-format', format);
        await page.select('#video-framing', framing);
        await type('#video-size', '240x240');
        const file = path.join(work, `video-${framing}.${format.split(':')[0]}`);
        fs.writeFileSync(file, await exported('#save-video'));
        const p = probe(file);
        check(p.codec === codecs[format] && p.size === '240x240' && p.frames === 6 && p.errors === '',
              `${format}, ${framing}: ${p.codec}, ${p.size}, ${p.frames} frames, "${p.errors}"`);
        rows[format + framing] = rowGreen(p, 10);
      }
    }
    // The sweep's wide canvas fits a square between black bars above and
    // below, and fills it to the top.
    check(rows.giffit < 2 && rows.giffill > 40, `the green of row 10: fit ${rows.giffit}, fill ${rows.giffill}`);
    // Framed by the core as lumirun-render's --size frames it: the GIF's
    // first frame is lumirun-render's through the same quantizer, exactly.
    const { quantize, applyPalette } = require('gifenc');
    for (const framing of ['fit', 'fill']) {
      execFileSync(cliPath, [samplePath, `${framing}%d.png`, '--quiet', '--frames', '6', '--speed', '30:90',
                             '--observer', '0,240', '--size', '240x240', `--${framing}`], { cwd: work });
      const own = probe(path.join(work, `video-${framing}.gif`));
      const cli = probe(path.join(work, `${framing}0.png`));
      const rgba = new Uint8Array(cli.rgb.length / 3 * 4).map((_, i) => (i % 4 === 3 ? 255 : cli.rgb[(i >> 2) * 3 + (i % 4)]));
      const palette = quantize(rgba, 256);
      const expected = Buffer.from(Array.from(applyPalette(rgba, palette), (k) => palette[k]).flat());
      check(cli.size === '240x240' && expected.equals(own.rgb), `the ${framing} GIF's first frame is not lumirun-render's`);
    }
    // Without a size, the movie's own frames: lumirun-render's first frame,
    // as near as a GIF's palette comes.
    await type('#video-size', '');
    const gif = path.join(work, 'own.gif');
    fs.writeFileSync(gif, await exported('#save-video'));
    execFileSync(cliPath, [samplePath, 'frame%d.png', '--quiet', '--frames', '6', '--speed', '30:90', '--observer', '0,240'],
                 { cwd: work });
    const own = probe(gif);
    const png = probe(path.join(work, 'frame0.png'));
    check(own.frames === 6 && own.size === png.size, `the GIF without a size: ${own.size}, ${own.frames} frames; lumirun-render's ${png.size}`);
    const difference = own.rgb.reduce((sum, value, i) => sum + Math.abs(value - png.rgb[i]), 0) / own.rgb.length;
    check(difference < 1.5, `the GIF's first frame is ${difference.toFixed(2)} a sample from lumirun-render's`);
    await type('#movie-duration', '');
    await type('#movie-fps', '24');
    await type('#video-size', '1920x1080');
  },

  async 'Cancel ends a long export and writes nothing'() {
    await openSample();
    await page.select('#quality', 'ultra');
    await type('#movie-frames', '48');
    await page.evaluate(() => { window.lumirunTest.lastExport = null; });
    await page.click('#save-movie');
    await page.waitForFunction(() => document.getElementById('progress').value > 0);
    await page.click('#cancel');
    const status = await page.$eval('#status', (p) => p.textContent);
    check(status === 'Saving movie cancelled.', `after Cancel the status says "${status}"`);
    check(await page.$eval('#progress-box', (box) => box.hidden), 'the progress bar stays after Cancel');
    check(await page.evaluate(() => window.lumirunTest.lastExport === null), 'a cancelled export was saved');
    await page.select('#quality', 'smooth');
  },

  async 'bad input gets lumirun-render\'s message and keeps the picture (too large ones with the page\'s limit), a truncated JPEG shows what it reads'() {
    await openSample();
    const before = await canvasDigest();
    await uploadFile('notes.jpg', 'this is not a picture\n');
    await page.waitForFunction(() => !document.getElementById('messages').hidden);
    const notPicture = await messages();
    check(notPicture === cliMessages('notes.jpg'), `not a picture: "${notPicture}"`);
    // A PNG cut short: libpng's error comes back through its recovery point.
    const png = cli('whole.png');
    await page.evaluate(() => { document.getElementById('messages').hidden = true; });
    await uploadFile('cut.png', png.subarray(0, Math.floor(png.length / 2)));
    await page.waitForFunction(() => !document.getElementById('messages').hidden);
    const cutPng = await messages();
    check(cutPng === cliMessages('cut.png'), `a PNG cut short: "${cutPng}"`);
    check(await canvasDigest() === before, 'a file that is not a picture replaced the picture');

    // A header that promises 60000 by 60000 pixels: 10 GB the page cannot have.
    const huge = Buffer.from(fs.readFileSync(samplePath));
    const sof = huge.indexOf(Buffer.from([0xff, 0xc0]));
    huge.writeUInt16BE(60000, sof + 5);
    huge.writeUInt16BE(60000, sof + 7);
    await page.evaluate(() => { document.getElementById('messages').hidden = true; });
    await uploadFile('huge.jpg', huge);
    await page.waitForFunction(() => !document.getElementById('messages').hidden);
    await idle();
    const limit = 'this page opens pictures of at most 357 million pixels.';
    const tooLarge = await messages();
    check(tooLarge.includes(`Image of size 60000 by 60000 is too large: ${limit}`), `too large: "${tooLarge}"`);
    check(await canvasDigest() === before, 'a picture too large replaced the picture');
    // A valid PNG file the browser will not decode: too large, with its size
    // from the file's header, not a file that is no picture.
    await page.evaluate(() => { document.getElementById('messages').hidden = true; });
    await uploadFile('huge.png', blackPng(30000, 30000));
    await page.waitForFunction(() => !document.getElementById('messages').hidden);
    await idle();
    const pngTooLarge = await messages();
    check(pngTooLarge.startsWith(`Image of size 30000 by 30000 is too large: ${limit}`), `PNG too large: "${pngTooLarge}"`);
    check(await canvasDigest() === before, 'a PNG picture too large replaced the picture');

    const sample = fs.readFileSync(samplePath);
    await uploadFile('cut.jpg', sample.subarray(0, Math.floor(sample.length * 0.6)));
    await page.waitForFunction(() => /Premature end/.test(document.getElementById('messages').textContent));
    await idle();
    check(await canvasDigest() !== before, 'the truncated JPEG is not shown');
  },

  async 'the exact render is shown (screenshot kept) and saved as lumirun-render\'s PNG'() {
    await openSample();
    await type('#speed', '90');
    await page.select('#quality', 'low');
    await page.click('#observer-x');
    await page.click('input[name=direction][value="0"]');
    await page.click('#render');
    await page.waitForFunction(() => document.getElementById('status').textContent === 'Rendered exactly.');
    await page.screenshot({ path: path.join(outDir, 'screenshot.png') });
    const png = await exported('#save-png');
    check(sha(png) === sha(cli('render.png', '--speed', '90', '--quality', 'low', '--observer', '0,240')),
          'the page\'s PNG differs from lumirun-render\'s');
    await page.select('#quality', 'smooth');
  },

  async 'the preview\'s reduction comes from the current view alone; speeds past 99.99 % are refused; a busy sign shows'() {
    await page.evaluate(() => { window.lumirunTest.viewSize = [640, 480]; });
    await openSample();
    await openScaledSample(2048, 1536);
    await page.click('input[name=direction][value="0"]');
    // Dragged (the slider moved every 4 ms), the previews come coarser; at
    // rest the last one is refined to the view's reduction.
    const coarse = await page.evaluate(() => new Promise((resolve) => {
      const slider = document.getElementById('speed-slider');
      const before = window.lumirunTest.coarse;
      const start = performance.now();
      const timer = setInterval(() => {
        const done = performance.now() - start > 800;
        slider.value = done ? 0 : Math.round(Math.random() * 40);
        slider.dispatchEvent(new Event('input'));
        if (done) {
          clearInterval(timer);
          resolve(window.lumirunTest.coarse - before);
        }
      }, 4);
    }));
    await idle();
    const dragged = await page.evaluate(() => [window.lumirunTest.scale, document.getElementById('picture').width]);
    check(coarse > 0 && dragged.join() === '4,512',
          `dragged: ${coarse} coarse previews, then at rest 1:${dragged[0]}, ${dragged[1]} pixels wide`);
    await type('#speed', '99.99');
    // Straight back to 0 %: the 2048 x 1536 photo within 640 x 480, every
    // 4th pixel.
    await page.click('.preset[data-speed="0"]');
    await idle();
    const atRest = await page.evaluate(() => [window.lumirunTest.scale, document.getElementById('picture').width]);
    check(atRest.join() === '4,512', `at 0 % after 99.99 % the preview is 1:${atRest[0]}, ${atRest[1]} pixels wide`);
    // A speed past the page's most: a message, no preview, the field marked.
    await type('#speed', '99.999');
    check(/speed 99.999 % is above this page's most, 99.99 %/.test(await messages()), `99.999: "${await messages()}"`);
    // (Typing it, lower speeds came on the way; more typing past it adds none.)
    const previews = await page.evaluate(() => window.lumirunTest.previews);
    await page.keyboard.type('9');
    await page.keyboard.press('Backspace');
    await idle();
    const beta = await page.$eval('#beta', (e) => e.textContent);
    check(await page.evaluate(() => window.lumirunTest.previews) === previews && beta !== '0.999990',
          `a speed past 99.99 % was previewed (beta ${beta})`);
    check(await page.$eval('#speed', (input) => input.getAttribute('aria-invalid')) === 'true', 'the field is not marked');
    await page.click('#save-jpeg');
    check(await page.evaluate(() => document.getElementById('status').textContent) !== 'Saving JPEG…', 'saved at 99.999 %');
    // A picture opened meanwhile is not previewed, and the page is not left busy.
    await page.evaluate(() => { window.lumirunTest.busySignMs = 0; });
    await page.click('#sample');
    await page.waitForFunction(() => document.getElementById('status').textContent.startsWith('sample.jpg'));
    await page.waitForFunction(() => !window.lumirunTest.busy, { timeout: 10000 });
    check(await page.$eval('#busy', (sign) => sign.hidden), 'the busy sign stays after an open at a refused speed');
    // The sign, shown at once for the test, goes with the picture.
    await page.evaluate(() => { window.lumirunTest.busySignMs = 0; window.lumirunTest.busySigns = 0; });
    await type('#speed', '30');
    check(await messages() === '', `at 30 % the page still says "${await messages()}"`);
    check(await page.evaluate(() => window.lumirunTest.busySigns) > 0, 'no busy sign');
    check(await page.$eval('#busy', (sign) => sign.hidden), 'the busy sign stays after the picture');
    await page.evaluate(() => { delete window.lumirunTest.viewSize; delete window.lumirunTest.busySignMs; });
    await openSample();
  },

  async 'the readouts give beta, gamma, D in view and, under the pointer, the light\'s D, source and travel'() {
    await page.evaluate(() => { window.lumirunTest.viewSize = [320, 240]; });
    await openSample();
    await page.click('input[name=direction][value="0"]');
    const text = (id) => page.$eval(id, (e) => e.textContent);
    const probeAt = async (fx, fy) => {
      const box = await (await page.$('#picture')).boundingBox();
      await page.evaluate(() => { window.lumirunTest.probe = null; });
      await page.mouse.move(box.x + box.width * fx, box.y + box.height * fy);
      await page.waitForFunction(() => window.lumirunTest.probe !== null, { timeout: 5000 });
      return page.evaluate(() => window.lumirunTest.probe);
    };
    await type('#speed', '0');
    check(await text('#gamma') === '1.0000' && await text('#d-range') === '1.000 to 1.000',
          `at rest: gamma ${await text('#gamma')}, D ${await text('#d-range')}`);
    // At rest a preview pixel (scale 2) shows the photo's pixel under it.
    let p = await probeAt(0.25, 0.5);
    check(p.seen && p.d === 1 && Math.abs(p.x - 161) <= 2 && Math.abs(p.y - 241) <= 2, `at rest: ${JSON.stringify(p)}`);
    await type('#speed', '90');
    check(await text('#beta') === '0.900000' && await text('#gamma') === '2.2942',
          `at 90 %: beta ${await text('#beta')}, gamma ${await text('#gamma')}`);
    const [dMin, dMax] = (await text('#d-range')).split(' to ').map(Number);
    // Between the factors of light straight behind and straight ahead.
    check(dMin >= 0.229 && dMin < 1 && dMax > 1 && dMax <= 4.359, `D in view at 90 %: ${dMin} to ${dMax}`);
    const preview = await probeAt(0.6, 0.3);
    check(preview.seen && preview.d >= dMin && preview.d <= dMax && preview.light > 0
          && preview.x >= 0 && preview.x <= 640 && preview.y >= 0 && preview.y <= 480, `at 90 %: ${JSON.stringify(preview)}`);
    check((await text('#probe')).startsWith(`D ${preview.d.toFixed(3)}; from (`), `the readout says "${await text('#probe')}"`);
    // The full render (1:1) says about the same of the same place: within
    // a few of the preview's pixels (2 source pixels each).
    await page.click('#render');
    await page.waitForFunction(() => document.getElementById('status').textContent === 'Rendered.');
    const full = await probeAt(0.6, 0.3);
    check(full.seen && Math.abs(full.x - preview.x) <= 6 && Math.abs(full.y - preview.y) <= 4
          && Math.abs(full.d / preview.d - 1) < 0.1, `full ${JSON.stringify(full)} and preview ${JSON.stringify(preview)} disagree`);
    await page.evaluate(() => { delete window.lumirunTest.viewSize; });
    await page.mouse.move(0, 0);
  },

  async 'the original blinks (B) and splits with the result; dragging on it moves the observer; presets, Play and F'() {
    await openSample();
    await page.waitForFunction(() => window.lumirunTest.originals > 0);
    await page.click('input[name=direction][value="0"]');
    await page.click('.preset[data-speed="90"]');
    await idle();
    check(await field('#speed') === '90', `the 90 % preset set ${await field('#speed')}`);
    const hidden = (id) => page.$eval(id, (e) => e.hidden);
    check(!await hidden('#marker'), 'no marker on the result');
    await page.focus('#picture');
    await page.keyboard.press('b');
    // The markers follow with the next frame.
    await page.evaluate(() => new Promise((resolve) => requestAnimationFrame(() => requestAnimationFrame(resolve))));
    check(!await hidden('#original-box') && !await hidden('#original-marker'), 'B did not show the original and its marker');
    // A drag on the original: the observer at the photo pixel let go on.
    const box = await (await page.$('#original')).boundingBox();
    await page.mouse.move(box.x + box.width * 0.2, box.y + box.height * 0.2);
    await page.mouse.down();
    await page.mouse.move(box.x + box.width * 0.5, box.y + box.height * 0.75, { steps: 4 });
    await page.mouse.up();
    await idle();
    const at = [await field('#observer-x'), await field('#observer-y')].map(Number);
    check(Math.abs(at[0] - 320) <= 2 && Math.abs(at[1] - 360) <= 2, `the drag on the original put the observer at ${at}`);
    await page.click('#blink');
    check(await hidden('#original-box'), 'the button did not blink back to the result');
    let bytes = await exported('#save-jpeg');
    check(sha(bytes) === sha(cli('preset.jpg', '--speed', '90', '--observer', at.join(','))),
          'after the preset and the drag the page\'s JPEG differs from lumirun-render\'s');
    // The split view: the divider moves with the keys and a drag.
    await page.click('#split');
    check(!await hidden('#original-box') && !await hidden('#divider'), 'no split view');
    await page.focus('#divider');
    await page.keyboard.press('ArrowLeft');
    check(await page.$eval('#divider', (d) => d.getAttribute('aria-valuenow')) === '48', 'the divider did not move left');
    const stage = await (await page.$('#stage')).boundingBox();
    const divider = await (await page.$('#divider')).boundingBox();
    await page.mouse.move(divider.x + divider.width / 2, stage.y + 20);
    await page.mouse.down();
    await page.mouse.move(stage.x + stage.width * 0.25, stage.y + 20, { steps: 3 });
    await page.mouse.up();
    check(await page.$eval('#divider', (d) => d.getAttribute('aria-valuenow')) === '25', 'the divider did not follow the drag');
    await page.click('#split');
    await page.click('#grid-on');
    check(!await hidden('#grid'), 'no grid');
    await page.click('#grid-on');
    // Play sweeps the speed until stopped.
    const previews = await page.evaluate(() => window.lumirunTest.previews);
    await page.click('#play');
    await page.waitForFunction((n) => window.lumirunTest.previews > n + 3 && Number(document.getElementById('speed').value) > 1,
                               {}, previews);
    await page.click('#play');
    check(await page.$eval('#play', (b) => b.getAttribute('aria-pressed')) === 'false', 'Play did not stop');
    await idle();
    const played = await field('#speed');
    bytes = await exported('#save-jpeg');
    check(sha(bytes) === sha(cli('played.jpg', '--speed', played, '--observer', at.join(','))),
          `after Play, at ${played} %, the page's JPEG differs from lumirun-render's`);
    await page.click('.preset[data-speed="99.9"]');
    check(await field('#speed') === '99.9', 'the 99.9 % preset');
    await page.click('.preset[data-speed="0"]');
    await idle();
    // F: the picture alone, as large as the window.
    await page.focus('#picture');
    await page.keyboard.press('f');
    const presenting = await page.evaluate(() => [document.body.classList.contains('presenting'),
      document.getElementById('stage').getBoundingClientRect().height, window.innerHeight]);
    check(presenting[0] && presenting[1] === presenting[2], `presentation: ${presenting}`);
    await page.keyboard.press('f');
    check(!await page.evaluate(() => document.body.classList.contains('presenting')), 'F did not end the presentation');
    await idle();
  },

  async 'a link restores the view (unknown and bad keys left out quietly), and Copy link gives it'() {
    const linked = await openPage(pageUrl + '#speed=90&direction=1&observer=320,200&doppler=colour&effects=all&bogus&quality=9');
    const saved = page;
    page = linked;
    try {
      await page.waitForFunction(() => window.lumirunTest.pictures > 0);
      await idle();
      const status = await page.$eval('#status', (p) => p.textContent);
      check(status === 'sample.jpg: 640 × 480 pixels. This link\'s bogus, quality=9 are not known here: left out.',
            `status: "${status}"`);
      check(await messages() === '', `the link gave a message: "${await messages()}"`);
      const options = ['--speed', '90', '--direction', '1', '--observer', '320,200', '--doppler=colour'];
      let bytes = await exported('#save-jpeg');
      check(sha(bytes) === sha(cli('linked.jpg', ...options)), 'the linked view\'s JPEG differs from lumirun-render\'s');
      await page.click('#copy-link');
      const link = await field('#link');
      check(link.endsWith('#speed=90&direction=1&observer=320,200&doppler=colour'), `Copy link gave ${link}`);
      // The link's observer also goes to the photo opened next.
      const photo = path.join(work, 'linked.png');
      cli('linked.png');
      await page.$eval('#file', (input) => { input.value = ''; });
      const before = await page.evaluate(() => window.lumirunTest.pictures);
      await (await page.$('#file')).uploadFile(photo);
      await page.waitForFunction((n) => window.lumirunTest.pictures > n, {}, before);
      await idle();
      check(await field('#observer-x') === '320' && await field('#observer-y') === '200', 'the photo lost the link\'s observer');
      // Another link in the same page: bad values change nothing and break nothing.
      await page.evaluate(() => { location.hash = 'speed=abc&direction=9&observer=1;2'; });
      await page.waitForFunction(() => /not known here/.test(document.getElementById('status').textContent)
                                 && document.getElementById('status').textContent.includes('speed=abc'));
      check(await field('#speed') === '90', 'a bad speed in a link changed the speed');
    } finally {
      await page.close();
      page = saved;
    }
    // Links with effects: the picture shown is lumirun-render's; a Doppler
    // shift with no light travelling is left out.
    // Each: the link, its --effects, the note it gets, the link the page then
    // gives, lumirun-render's other options.
    for (const [fragment, effects, note, ending, ...more] of [
      ['speed=80&effects=light-time', 'light-time', '', '&effects=light-time'],
      ['speed=80&effects=contraction&doppler&doppler-map', 'contraction',
       ' This link\'s doppler, doppler-map need light travel time: left out.', '&effects=contraction'],
      ['speed=80&effects=light-time&doppler-map', 'light-time', '', '&effects=light-time&doppler-map',
       '--doppler-map']]) {
      page = await openPage(pageUrl + '#' + fragment);
      try {
        await page.waitForFunction(() => window.lumirunTest.pictures > 0);
        await idle();
        const status = await page.$eval('#status', (p) => p.textContent);
        check(status === 'sample.jpg: 640 × 480 pixels.' + note, `${fragment}: status "${status}"`);
        // A view the picture fits whole: the preview at 1:1.
        const before = await page.evaluate(() => window.lumirunTest.pictures);
        await page.evaluate(() => { window.lumirunTest.viewSize = [1280, 960]; window.dispatchEvent(new Event('resize')); });
        await page.waitForFunction((n) => window.lumirunTest.pictures > n, {}, before);
        await idle();
        const shown = await page.evaluate(() => {
          const c = document.getElementById('picture');
          return [window.lumirunTest.scale, `${c.width} x ${c.height}`,
                  Array.from(c.getContext('2d').getImageData(0, 0, c.width, c.height).data).filter((_, i) => i % 4 !== 3)];
        });
        // lumirun-render's picture's size and its mean difference from the one shown.
        const compared = (...options) => {
          const file = path.join(work, 'effects-link.png');
          const png = cli('effects-link.png', '--speed', '80', '--observer', '0,240', ...options);
          const size = `${png.readUInt32BE(16)} x ${png.readUInt32BE(20)}`;
          if (size !== shown[1])
            return [size, Infinity];
          const rgb = execFileSync('convert', [file, '-depth', '8', 'rgb:-'], { maxBuffer: 1 << 24 });
          return [size, shown[2].reduce((sum, value, i) => sum + Math.abs(value - rgb[i]), 0) / rgb.length];
        };
        const [size, own] = compared('--effects', effects, ...more);
        const all = compared()[1];
        check(shown[0] === 1 && own === 0 && all > 5,
              `${fragment}: shown at 1:${shown[0]}, ${shown[1]}, lumirun-render's ${size}; a sample differs by`
              + ` ${own.toFixed(2)} from its --effects ${effects}, by ${all.toFixed(2)} from its --effects all`);
        check((await field('#link')).endsWith(ending), `${fragment}: the link ${await field('#link')}`);
      } finally {
        await page.close();
        page = saved;
      }
    }
  },

  async 'at 1366 x 768 status, progress with Cancel and the explanation show unscrolled; usable at 390 x 844, light and dark'() {
    // LUMIRUN_WEB_SCREENSHOTS=FOLDER: the README's screenshots (docs/),
    // in 64 colours to stay small; never compared.
    const shots = process.env.LUMIRUN_WEB_SCREENSHOTS;
    const shoot = async (name) => {
      if (!shots)
        return;
      const file = path.join(shots, name);
      await page.screenshot({ path: file });
      execFileSync('convert', [file, '+dither', '-colors', '64', 'PNG8:' + file]);
    };
    const visible = (selector) => page.$eval(selector, (e) => {
      const r = e.getBoundingClientRect();
      const hit = document.elementFromPoint(r.left + Math.min(r.width / 2, 20), r.top + Math.min(r.height / 2, 8));
      return r.width > 0 && r.bottom <= window.innerHeight && r.right <= window.innerWidth && e.contains(hit);
    });
    try {
      for (const scheme of ['light', 'dark']) {
        await page.emulateMediaFeatures([{ name: 'prefers-color-scheme', value: scheme }]);
        await page.setViewport({ width: 1366, height: 768 });
        await openSample();
        await type('#speed', '90');
        await page.click('#doppler-brightness');
        await page.click('#split');
        await idle();
        await page.mouse.move(...await page.$eval('#picture', (c) => {
          const r = c.getBoundingClientRect();
          return [r.left + r.width * 0.75, r.top + r.height * 0.3];
        }));
        await page.waitForFunction(() => document.getElementById('probe').textContent.startsWith('D '));
        // The settings panel from Direction down, its effects' switches whole.
        await page.$eval('input[name=direction]', (e) => {
          const panel = e.closest('.controls');
          panel.scrollTop += e.closest('fieldset').getBoundingClientRect().top - panel.getBoundingClientRect().top - 8;
        });
        await shoot(`page-1366-${scheme}.png`);
        await page.select('#quality', 'ultra');
        await type('#movie-frames', '48');
        await page.click('#save-movie');
        await page.waitForFunction(() => !document.getElementById('progress-box').hidden);
        for (const selector of ['#status', '#cancel', '#progress', '.explanation p', '#d-range'])
          check(await visible(selector), `${scheme}, 1366 x 768: ${selector} is not in view`);
        await page.click('#cancel');
        await page.select('#quality', 'smooth');
        await page.click('#doppler-colour');
        await page.click('#split');
        const background = await page.evaluate(() => getComputedStyle(document.documentElement).backgroundColor);
        check((scheme === 'dark') === (background === 'rgb(20, 21, 24)'), `${scheme}: background ${background}`);
        await page.setViewport({ width: 390, height: 844 });
        await idle();
        const overflow = await page.evaluate(() => document.documentElement.scrollWidth);
        check(overflow <= 390, `${scheme}, 390 x 844: the page is ${overflow} pixels wide`);
        await shoot(`page-390-${scheme}.png`);
        for (const selector of ['#picture', '#speed', '#sample', '#render']) {
          await page.$eval(selector, (e) => e.scrollIntoView({ block: 'center' }));
          check(await visible(selector), `${scheme}, 390 x 844: ${selector} cannot be reached`);
        }
        await page.evaluate(() => window.scrollTo(0, 0));
      }
    } finally {
      await page.emulateMediaFeatures([]);
      await page.setViewport({ width: 1280, height: 800 });
    }
  },

  async 'the page works from a static web server'() {
    const server = http.createServer((request, response) => {
      response.setHeader('Content-Type', 'text/html');
      response.end(fs.readFileSync(pagePath));
    });
    await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
    const url = `http://127.0.0.1:${server.address().port}/lumirun.html`;
    const saved = page;
    page = await openPage(url);
    try {
      await openSample();
      check(await page.evaluate(() => window.lumirunTest.previews) > 0, 'no preview from the server\'s page');
    } finally {
      await page.close();
      page = saved;
      server.close();
    }
  },
};

// ---- Benchmark: printed, never asserted -------------------------------------

// A 4:3 or 3:2 JPEG made from the sample by the browser, opened through the
// file chooser's change event.
async function openScaledSample(width, height) {
  const before = await page.evaluate(() => window.lumirunTest.pictures);
  await page.evaluate(async (w, h) => {
    const canvas = document.getElementById('picture');
    const scratch = new OffscreenCanvas(w, h);
    scratch.getContext('2d').drawImage(canvas, 0, 0, w, h);
    const blob = await scratch.convertToBlob({ type: 'image/jpeg', quality: 0.9 });
    const files = new DataTransfer();
    files.items.add(new File([blob], `sample-${w}x${h}.jpg`, { type: 'image/jpeg' }));
    const input = document.getElementById('file');
    input.files = files.files;
    input.dispatchEvent(new Event('change'));
  }, width, height);
  await page.waitForFunction((n) => window.lumirunTest.pictures > n, { timeout: 120000 }, before);
  await idle();
}

// Previews a second while the slider is dragged to and fro around percent,
// with the worker's time and the pixels of each preview
// (a dozen of its steps, the slider's end the farthest), moved every 4 ms:
// faster than a display's frames, so that the figure is the page's own.
async function previewRate(percent, seconds) {
  return page.evaluate((target, duration) => new Promise((resolve) => {
    const slider = document.getElementById('speed-slider');
    // The speed typed in puts the slider where the page has that speed.
    const speed = document.getElementById('speed');
    speed.value = String(target);
    speed.dispatchEvent(new Event('input'));
    const top = Number(slider.max);
    const centre = Number(slider.value);
    const low = Math.max(0, Math.min(centre - 6, top - 12));
    const high = low + 12;
    let position = low;
    let up = true;
    const hooks = window.lumirunTest;
    let first = -1;
    let start = 0;
    let ms = 0;
    let pixels = 0;
    const move = () => {
      // The count starts once the typed speed's preview is in.
      if (first < 0) {
        if (window.lumirunTest.busy)
          return;
        [first, ms, pixels] = [hooks.previews, hooks.previewMs, hooks.previewPixels];
        start = performance.now();
      }
      if (performance.now() - start >= duration * 1000) {
        clearInterval(timer);
        const n = hooks.previews - first;
        resolve(`${(n / ((performance.now() - start) / 1000)).toFixed(1)} at ${target} % `
                + `(${((hooks.previewMs - ms) / n).toFixed(1)} ms, ${Math.round((hooks.previewPixels - pixels) / n / 1000)}k px)`);
        return;
      }
      position += up ? 1 : -1;
      if (position >= high || position <= low)
        up = !up;
      slider.value = position;
      slider.dispatchEvent(new Event('input'));
    };
    const timer = setInterval(move, 4);
  }), percent, seconds);
}

async function benchmark() {
  const cpu = (fs.readFileSync('/proc/cpuinfo', 'utf8').match(/model name\s*:\s*(.*)/) || [])[1] || 'unknown CPU';
  console.log(`benchmark (${cpu}, load ${os.loadavg().map((l) => l.toFixed(2)).join(' ')}, one worker thread):`);
  await page.evaluate(() => { window.lumirunTest.viewSize = [1280, 720]; });
  await page.click('input[name=direction][value="0"]');
  for (const [name, size] of [['sample 640x480', null], ['4000x3000 picture', [4000, 3000]]]) {
    await openSample();
    if (size)
      await openScaledSample(...size);
    const rates = [];
    for (const percent of [50, 90, 99, 99.99])
      rates.push(await previewRate(percent, 2));
    console.log(`  previews a second while the speed is dragged, 1280x720 view, ${name} (the worker's time and `
                + `the pixels of each): ${rates.join(', ')}`);
    await idle();
  }
  console.log(`  lumirun.html: ${fs.statSync(pagePath).size} bytes`);
}

(async () => {
  let failed = 0;
  browser = await puppeteer.launch({
    executablePath: '/usr/bin/chromium-headless-shell',
    headless: 'shell',
    args: ['--no-sandbox', '--disable-gpu'],
  });
  try {
    page = await openPage(pageUrl);
    for (const [name, run] of Object.entries(scenarios)) {
      if (process.env.LUMIRUN_WEB_ONLY && !process.env.LUMIRUN_WEB_ONLY.split('|').some((part) => name.includes(part)))
        continue;
      try {
        await run();
        console.log(`ok: ${name}`);
      } catch (error) {
        failed++;
        console.log(`FAILED: ${name}: ${error.message}`);
      }
    }
    const offline = requests.filter((u) => !u.startsWith('http://127.0.0.1'));
    if (offline.length || consoleErrors.length) {
      failed++;
      console.log(`FAILED: the page loads from file:// with no request and no console error: ${offline.length} requests (${offline.slice(0, 3).join(', ')}), console: ${consoleErrors.slice(0, 3).join(' | ')}`);
    } else {
      console.log('ok: the page loads from file:// with no request and no console error');
    }
    if (bench && !failed)
      await benchmark();
  } finally {
    await browser.close();
    fs.rmSync(work, { recursive: true, force: true });
  }
  process.exit(failed ? 1 : 0);
})();
