// The browser's numbers for the demo's page, in headless chromium on this machine: what the page
// downloads (html, js, wasm and data, as served and as a server's gzip would send them), the
// time from navigation to its first frame, and the main thread's time per frame beside a
// minimal page that only puts a 640 x 480 frame into a canvas each animation frame (the ratio:
// ours / peer). Each figure is the median of several runs.
//   TARN_WEB_DIR=build-web node bench/web/measure.mjs
import fs from 'node:fs';
import path from 'node:path';
import zlib from 'node:zlib';
import { fileURLToPath } from 'node:url';
import { serve, launch, openPage, framesAtLeast, frames } from '../../tests/web/support.mjs';

const here = path.dirname(fileURLToPath(import.meta.url));
const WEB = path.resolve(process.env.TARN_WEB_DIR || path.join(here, '../../build-web'));
const RUNS = 5;
const median = (values) => values.slice().sort((a, b) => a - b)[Math.floor(values.length / 2)];

// The page served from a folder holding the pages and the peer.
fs.copyFileSync(path.join(here, 'minimal.html'), path.join(WEB, 'bench-minimal.html'));
const server = await serve(WEB);
const browser = await launch();

// Bytes of every response the page needed, as served (the server sends them unencoded).
async function download() {
  const { page, close } = await openPage(browser, server.url + 'myfirsttarn.html');
  await framesAtLeast(page, 1);
  const entries = await page.evaluate(() => [performance.getEntriesByType('navigation')[0],
    ...performance.getEntriesByType('resource')].map((e) => ({ name: e.name, bytes: e.encodedBodySize })));
  await close();
  const files = entries.filter((e) => /\.(html|js|wasm|data)$/.test(new URL(e.name).pathname));
  const bytes = files.reduce((sum, e) => sum + e.bytes, 0);
  const gzip = files.reduce((sum, e) => sum + zlib.gzipSync(fs.readFileSync(path.join(WEB, new URL(e.name).pathname))).length, 0);
  return { files: files.length, bytes, gzip };
}

// From the navigation's start to the first frame presented (the page's clock starts there).
async function firstFrame() {
  const context = await browser.newContext({ viewport: { width: 800, height: 600 } });
  const page = await context.newPage();
  await page.addInitScript(() => {
    window.Module = window.Module || {};
    Object.defineProperty(window, 'Module', { configurable: true, set(m) {
      m.onTarnFrame = (n) => { if (n === 1) window.tarnFirstFrame = performance.now(); };
      Object.defineProperty(window, 'Module', { value: m, writable: true, configurable: true });
    }, get() { return undefined; } });
  });
  await page.goto(server.url + 'myfirsttarn.html');
  await page.waitForFunction(() => window.tarnFirstFrame !== undefined, null, { timeout: 20000 });
  const ms = await page.evaluate(() => window.tarnFirstFrame);
  await context.close();
  return ms;
}

// The main thread's busy time per frame over a few seconds, from chromium's own counters, once
// the page has settled (the garbage its loading left has been collected).
async function frameCost(name) {
  const { page, context, close } = await openPage(browser, server.url + name);
  await framesAtLeast(page, 30);
  await page.waitForTimeout(2000);
  const cdp = await context.newCDPSession(page);
  await cdp.send('Performance.enable');
  const busy = async () => (await cdp.send('Performance.getMetrics')).metrics.find((m) => m.name === 'TaskDuration').value;
  const t0 = await busy(), f0 = await frames(page);
  await page.waitForTimeout(3000);
  const t1 = await busy(), f1 = await frames(page);
  await close();
  return { ms: ((t1 - t0) * 1000) / (f1 - f0), rate: (f1 - f0) / 3 };
}

const sizes = await download();
const starts = [], ours = [], peers = [], rates = [];
for (let i = 0; i < RUNS; ++i) {
  starts.push(await firstFrame());
  const o = await frameCost('myfirsttarn.html'), p = await frameCost('bench-minimal.html');
  ours.push(o.ms); peers.push(p.ms); rates.push(o.rate);
}
await browser.close();
await server.close();
fs.rmSync(path.join(WEB, 'bench-minimal.html'));

const ratio = median(ours.map((o, i) => o / peers[i]));
console.log('The demo\'s page in headless chromium (median of ' + RUNS + ' runs):');
console.log('| figure | target | measured |');
console.log('|---|---|---|');
console.log(`| download: html + js + wasm + data (${sizes.files} files) | <= 1.5 MB | ${(sizes.bytes / 1e6).toFixed(2)} MB as served, ${(sizes.gzip / 1e6).toFixed(2)} MB gzip-encoded |`);
console.log(`| navigation to the first frame | <= 1 s | ${(median(starts) / 1000).toFixed(2)} s |`);
console.log(`| main-thread time a frame, ours / a minimal page's putImageData | <= 1.5 | ${ratio.toFixed(2)} (${median(ours).toFixed(2)} ms / ${median(peers).toFixed(2)} ms, ${median(rates).toFixed(0)} frames a second) |`);
