// What the browser tests and the browser benchmark share: a static server for the pages on
// 127.0.0.1 (a free port), Debian's chromium started headless as this machine needs it, a
// page's canvas read back as pixels, and 24-bit BMP files read for comparison.
import { chromium } from 'playwright-core';
import fs from 'node:fs';
import http from 'node:http';
import path from 'node:path';

const TYPES = {
  '.html': 'text/html', '.js': 'text/javascript', '.wasm': 'application/wasm',
  '.data': 'application/octet-stream', '.png': 'image/png', '.bmp': 'image/bmp',
};

// Serves `root` until close(); resolves to {url, close}.
export function serve(root) {
  const server = http.createServer((request, response) => {
    const name = decodeURIComponent(new URL(request.url, 'http://x').pathname);
    const file = path.join(root, path.normalize(name).replace(/^(\.\.[/\\])+/, ''));
    fs.readFile(file, (error, body) => {
      if (error) { response.writeHead(404); response.end(); return; }
      response.writeHead(200, { 'Content-Type': TYPES[path.extname(file)] || 'application/octet-stream',
                                'Cache-Control': 'no-store' });
      response.end(body);
    });
  });
  return new Promise((resolve) => server.listen(0, '127.0.0.1', () => resolve({
    url: `http://127.0.0.1:${server.address().port}/`,
    close: () => new Promise((done) => server.close(done)),
  })));
}

// The flags Debian's chromium needs here: no sandbox as root, no GPU, nothing that reaches out
// to the network (which is closed); `extra` adds to them.
export function launch(extra = []) {
  return chromium.launch({
    executablePath: process.env.TARN_CHROMIUM || '/usr/bin/chromium',
    args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
           '--disable-background-networking', '--disable-component-update', '--disable-sync', ...extra],
  });
}

// A page of its own context (fresh storage unless one is given), with its console kept.
export async function openPage(browser, url, context) {
  const owned = !context;
  context = context || await browser.newContext({ viewport: { width: 800, height: 600 } });
  const page = await context.newPage();
  const log = [];
  page.on('console', (m) => log.push(m.text()));
  page.on('pageerror', (e) => log.push('pageerror: ' + e.message));
  await page.goto(url);
  return { page, context, log, close: () => (owned ? context.close() : page.close()) };
}

// Waits until the page has presented at least `count` frames.
export function framesAtLeast(page, count, timeout = 20000) {
  return page.waitForFunction((n) => window.Module && Module.tarnWeb && Module.tarnWeb.frames >= n,
                              count, { timeout });
}

export function frames(page) {
  return page.evaluate(() => (Module.tarnWeb ? Module.tarnWeb.frames : 0));
}

// Waits for the line the page shows when the program ends; returns it.
export async function ended(page, timeout = 60000) {
  await page.waitForFunction(() => /^ended/.test(document.getElementById('status').textContent),
                             null, { timeout });
  return page.textContent('#status');
}

// The canvas's pixels: {width, height, rgb} with 3 bytes a pixel, the top row first.
export async function canvasPixels(page) {
  const { width, height, base64 } = await page.evaluate(() => {
    const canvas = document.getElementById('canvas');
    const data = canvas.getContext('2d').getImageData(0, 0, canvas.width, canvas.height).data;
    let text = '';
    for (let i = 0; i < data.length; i += 4) text += String.fromCharCode(data[i], data[i + 1], data[i + 2]);
    return { width: canvas.width, height: canvas.height, base64: btoa(text) };
  });
  return { width, height, rgb: Buffer.from(base64, 'base64') };
}

// A 24-bit BMP file (as the headless host dumps and tarnimg writes) in the same form.
export function readBmp(file) {
  const b = fs.readFileSync(file);
  if (b.toString('latin1', 0, 2) !== 'BM' || b.readUInt16LE(28) !== 24) throw new Error(`${file}: not a 24-bit BMP`);
  const offset = b.readUInt32LE(10), width = b.readInt32LE(18), rawHeight = b.readInt32LE(22);
  const height = Math.abs(rawHeight), stride = (width * 3 + 3) & ~3;
  const rgb = Buffer.alloc(width * height * 3);
  for (let y = 0; y < height; ++y) {
    const row = offset + stride * (rawHeight > 0 ? height - 1 - y : y);
    for (let x = 0; x < width; ++x) {
      rgb[(y * width + x) * 3] = b[row + x * 3 + 2];
      rgb[(y * width + x) * 3 + 1] = b[row + x * 3 + 1];
      rgb[(y * width + x) * 3 + 2] = b[row + x * 3];
    }
  }
  return { width, height, rgb };
}

// How two pictures differ: the count of differing pixels and the box around them.
export function difference(a, b) {
  if (a.width !== b.width || a.height !== b.height) return { sizes: true, count: Infinity };
  let count = 0, left = a.width, top = a.height, right = -1, bottom = -1;
  for (let y = 0; y < a.height; ++y) {
    for (let x = 0; x < a.width; ++x) {
      const i = (y * a.width + x) * 3;
      if (a.rgb[i] !== b.rgb[i] || a.rgb[i + 1] !== b.rgb[i + 1] || a.rgb[i + 2] !== b.rgb[i + 2]) {
        ++count;
        left = Math.min(left, x); right = Math.max(right, x);
        top = Math.min(top, y); bottom = Math.max(bottom, y);
      }
    }
  }
  return { count, box: count ? { left, top, right, bottom } : null };
}

// Writes a picture as a 24-bit BMP (for a look at a failed comparison).
export function writeBmp(file, { width, height, rgb }) {
  const stride = (width * 3 + 3) & ~3, b = Buffer.alloc(54 + stride * height);
  b.write('BM', 0, 'latin1');
  b.writeUInt32LE(b.length, 2); b.writeUInt32LE(54, 10); b.writeUInt32LE(40, 14);
  b.writeInt32LE(width, 18); b.writeInt32LE(height, 22); b.writeUInt16LE(1, 26); b.writeUInt16LE(24, 28);
  for (let y = 0; y < height; ++y) {
    const row = 54 + stride * (height - 1 - y);
    for (let x = 0; x < width; ++x) {
      const i = (y * width + x) * 3;
      b[row + x * 3] = rgb[i + 2]; b[row + x * 3 + 1] = rgb[i + 1]; b[row + x * 3 + 2] = rgb[i];
    }
  }
  fs.writeFileSync(file, b);
}
