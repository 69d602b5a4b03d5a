// Tarn's pages in a real browser (Debian's chromium, headless, driven by playwright-core): the
// demo shows the landscape exactly as the desktop demo's frame, Escape ends it with exit code 0,
// hiding the page pauses it and showing it again brings the frame back; each example runs its
// screenshot script in its page and shows its picture in docs/images; a saved file is there
// again after a reload; the sound page's sound reaches Web Audio only after a click or a key;
// a browser's gamepad reaches the program as the XInput pad and as the joystick, and rumbles
// while the program runs its motors; a click locks the pointer, whose motion and the wheel
// reach the program. The page keeps its focus through clicks in its letterbox, the cursor the
// program reads is on the frame's pixels, a damaged page archive ends the page with the reason,
// a save changed just before a reload survives it, and a program that throws ends visibly. On a
// phone a windowed program keeps its frame, shown whole, and a tap reaches the tapped pixel.
//   TARN_WEB_DIR   the pages (build-web)       TARN_BUILD   the desktop build (myfirsttarn, tarnimg)
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import zlib from 'node:zlib';
import os from 'node:os';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import { serve, launch, openPage, framesAtLeast, frames, ended, canvasPixels, readBmp,
         difference, writeBmp } from './support.mjs';

const SOURCE = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '../..');
const WEB = path.resolve(process.env.TARN_WEB_DIR || path.join(SOURCE, 'build-web'));
const BUILD = path.resolve(process.env.TARN_BUILD || path.join(SOURCE, 'build'));
const work = fs.mkdtempSync(path.join(os.tmpdir(), 'tarn-web-'));
let server, browser;

before(async () => {
  server = await serve(WEB);
  browser = await launch();
});
after(async () => {
  await browser?.close();
  await server?.close();
});

// Both pictures left in the work folder for a look.
function keep(name, actual, expected) {
  writeBmp(path.join(work, name + '-page.bmp'), actual);
  writeBmp(path.join(work, name + '-expected.bmp'), expected);
}

// A picture that must match: on a mismatch both are kept.
function expectClose(name, actual, expected, allowed) {
  const d = difference(actual, expected);
  if (d.count > allowed) keep(name, actual, expected);
  assert.ok(d.count <= allowed, `${name}: ${d.count} pixels differ (at most ${allowed}), within ` +
            `${JSON.stringify(d.box)}; the pictures are in ${work}`);
  return d;
}

// The desktop demo's frame on the headless host: the reference for the page.
function desktopDemoFrame() {
  const file = path.join(work, 'demo.bmp');
  execFileSync(path.join(BUILD, 'bin/myfirsttarn'), [], {
    cwd: path.join(BUILD, 'assets'),
    env: { ...process.env, TARN_HOST: 'headless', TARN_HEADLESS_SCRIPT: `frames 3; dump ${file}; key ESCAPE` },
  });
  return readBmp(file);
}

test('the demo shows the landscape at 5-6-5 as the desktop demo does, and Escape ends it with 0', async () => {
  const expected = desktopDemoFrame();
  const { page, log, close } = await openPage(browser, server.url + 'myfirsttarn.html');
  await framesAtLeast(page, 3);
  expectClose('demo', await canvasPixels(page), expected, 0);
  await page.keyboard.press('Escape');
  assert.equal(await ended(page), 'ended with exit code 0');
  assert.ok(log.includes('ended with exit code 0'), 'the line is logged too');
  assert.ok(!log.some((l) => l.startsWith('pageerror')), log.join('\n'));
  await close();
});

test('hiding the page pauses the demo; showing it again restores the frame', async () => {
  const expected = desktopDemoFrame();
  const { page, context, close } = await openPage(browser, server.url + 'myfirsttarn.html');
  await framesAtLeast(page, 3);
  // Headless chromium has no window to cover: the page is told it is hidden as a browser tells
  // it (visibilityState, visibilitychange), and its window is minimised (no animation frames).
  const cdp = await context.newCDPSession(page);
  const { windowId } = await cdp.send('Browser.getWindowForTarget');
  const setHidden = (hidden) => page.evaluate((h) => {
    Object.defineProperty(document, 'visibilityState', { configurable: true, get: () => (h ? 'hidden' : 'visible') });
    Object.defineProperty(document, 'hidden', { configurable: true, get: () => h });
    document.dispatchEvent(new Event('visibilitychange'));
  }, hidden);
  await setHidden(true);
  await cdp.send('Browser.setWindowBounds', { windowId, bounds: { windowState: 'minimized' } });
  await page.waitForTimeout(300);
  const paused = await frames(page);
  await page.waitForTimeout(1000);
  assert.equal(await frames(page), paused, 'no frame is drawn while the page is hidden');
  // While hidden the frame on the canvas is wiped, so what comes back is drawn anew.
  await page.evaluate(() => document.getElementById('canvas').getContext('2d').clearRect(0, 0, 640, 480));
  await cdp.send('Browser.setWindowBounds', { windowId, bounds: { windowState: 'normal' } });
  await setHidden(false);
  await framesAtLeast(page, paused + 3);
  expectClose('demo-shown-again', await canvasPixels(page), expected, 0);
  await page.keyboard.press('Escape');
  assert.equal(await ended(page), 'ended with exit code 0');
  await close();
});

// Each example's screenshot script, run in its page; the picture in docs/images compared with the
// canvas. Outside its text the page must be exact. Inside the text the browser build's rasteriser
// (stb_truetype, which does not hint) and FreeType put an edge pixel of a glyph either side of
// the one-half coverage threshold now and then: there the pixels may differ, at most `allowed`
// of them, all within the bands of rows with text (`text`: top and bottom of each, inclusive).
const EXAMPLES = [
  { name: 'shapes', text: [[455, 479]], allowed: 300 },
  { name: 'sprites', text: [[455, 479]], allowed: 300 },
  { name: 'pixels', text: [[0, 40]], allowed: 800 },
  { name: 'viewer', text: [[440, 479]], allowed: 600 },
  { name: 'input', text: [[0, 479]], allowed: 3000 },
  // The labels of the two traces, and the status lines below them.
  { name: 'sound', text: [[42, 62], [192, 214], [334, 479]], allowed: 1500 },
  // TarnFont rasterises its glyphs itself, the same way on every platform: exact everywhere.
  { name: 'text', text: [], allowed: 0 },
];

// The rows where two pictures of one size differ, outside every band of `bands`.
function rowsOutside(a, b, bands) {
  const rows = [];
  for (let y = 0; y < a.height; ++y) {
    if (bands.some(([top, bottom]) => y >= top && y <= bottom)) continue;
    const start = y * a.width * 3;
    if (Buffer.compare(a.rgb.subarray(start, start + a.width * 3), b.rgb.subarray(start, start + a.width * 3)))
      rows.push(y);
  }
  return rows;
}

function scriptUrl(name) {
  const text = fs.readFileSync(path.join(SOURCE, 'examples', name, 'screenshot.script'), 'utf8');
  const args = (text.match(/^# args:(.*)$/m)?.[1] || '').trim().split(/\s+/).filter(Boolean)
    .map((a) => a.replaceAll('@ASSETS@', '/game'));
  const steps = text.split('\n').filter((l) => l.trim() && !l.trim().startsWith('#'))
    .map((l) => l.replaceAll('@OUT@', '/tmp/frame.bmp')).join(';');
  const query = new URLSearchParams();
  for (const a of args) query.append('arg', a);
  query.set('script', steps);
  return `${server.url}${name}.html?${query}`;
}

for (const { name, text, allowed } of EXAMPLES) {
  test(`the ${name} page runs its screenshot script and shows docs/images/${name}.png`, async () => {
    const reference = path.join(work, name + '.bmp');
    execFileSync(path.join(BUILD, 'bin/tarnimg'), ['convert', path.join(SOURCE, 'docs/images', name + '.png'), reference]);
    const { page, log, close } = await openPage(browser, scriptUrl(name));
    assert.equal(await ended(page), 'ended with exit code 0', log.join('\n'));
    const actual = await canvasPixels(page), expected = readBmp(reference);
    const d = expectClose(name, actual, expected, allowed);
    const outside = rowsOutside(actual, expected, text);
    if (outside.length) keep(name, actual, expected);
    assert.deepEqual(outside, [], `${name}: rows outside the text differ (the pictures are in ${work})`);
    console.log(`${name}: ${d.count} pixels of the text differ from the picture` +
                (d.box ? ` (within ${JSON.stringify(d.box)})` : ''));
    await close();
  });
}

test('a file the program saves is there again after a reload', async () => {
  const context = await browser.newContext({ viewport: { width: 800, height: 600 } });
  // F12 in the viewer saves the frame as viewer-001.png in its folder.
  const first = await openPage(browser, server.url + 'viewer.html', context);
  await framesAtLeast(first.page, 3);
  // Held for a while, as a hand does: the program reads the keyboard's state once a frame.
  await first.page.keyboard.down('F12');
  await first.page.waitForTimeout(100);
  await first.page.keyboard.up('F12');
  await first.page.waitForFunction(() => { try { return FS.stat('/game/viewer-001.png').size > 0; } catch (e) { return false; } });
  await first.page.keyboard.press('Escape');
  await ended(first.page);
  await first.page.waitForTimeout(300); // the store's write
  await first.close();
  const second = await openPage(browser, server.url + 'viewer.html', context);
  await framesAtLeast(second.page, 1);
  const size = await second.page.evaluate(() => FS.stat('/game/viewer-001.png').size);
  assert.ok(size > 1000, `the saved picture came back (${size} bytes)`);
  await second.close();
  await context.close();
});

// Browsers let a page's sound start only with a click or a key. Headless chromium lets any page
// play; the desktop browsers' own rule is asked for here. Playwright's evaluate counts as a
// gesture, so what the page had before is noted by the page itself and read from its log.
test('the sound page is silent until the first key or click, then its effects reach Web Audio', async () => {
  const strict = await launch(['--autoplay-policy=document-user-activation-required']);
  try {
    const gestures = [
      { what: 'a key', act: async (page) => {
        await page.keyboard.down('1'); // the blip, in the middle
        await page.waitForTimeout(100);
        await page.keyboard.up('1');
      } },
      { what: 'a click', act: async (page) => {
        // The pointer to the right edge (relative motion) pans the click's effect right.
        await page.mouse.move(400, 300);
        await page.mouse.move(715, 300, { steps: 6 });
        await page.mouse.down();
        await page.waitForTimeout(100);
        await page.mouse.up();
      } },
    ];
    for (const { what, act } of gestures) {
      const context = await strict.newContext({ viewport: { width: 800, height: 600 } });
      await context.addInitScript(() => {
        const watch = setInterval(() => {
          const web = window.Module && Module.tarnWeb;
          if (!web || web.frames < 10) return;
          clearInterval(watch);
          window.tarnAudio = web.audio;
          const a = web.audio;
          console.log('audio before the gesture: ' + JSON.stringify(a && { state: a.context.state, blocks: a.blocks }));
        }, 20);
      });
      const { page, log, close } = await openPage(strict, server.url + 'sound.html', context);
      const before = await page.waitForEvent('console', { predicate: (m) => m.text().startsWith('audio before'), timeout: 20000 });
      assert.equal(before.text(), 'audio before the gesture: {"state":"suspended","blocks":0}', what);
      await act(page);
      await page.waitForFunction(() => tarnAudio.context.state === 'running' && Math.max(...tarnAudio.peaks) > 4000,
                                 null, { timeout: 10000 });
      const peaks = await page.evaluate(() => tarnAudio.peaks);
      if (what === 'a click') assert.ok(peaks[1] > 20 * peaks[0], `panned right, the right side carries it: ${peaks}`);
      // Played off the page's thread, by an AudioWorklet. How often it ran dry is shown, not held
      // to zero: on a loaded machine the page's thread answers late now and then.
      const [worklet, underruns] = await page.evaluate(() => [tarnAudio.node instanceof AudioWorkletNode, tarnAudio.underruns]);
      assert.ok(worklet, `${what}: played by an AudioWorklet`);
      console.log(`${what}: the worklet ran dry ${underruns} times (128 frames each)`);
      await page.keyboard.press('Escape');
      assert.equal(await ended(page), 'ended with exit code 0');
      await page.waitForFunction(() => tarnAudio.context.state === 'closed', null, { timeout: 5000 });
      assert.ok(!log.some((l) => l.startsWith('pageerror')), log.join('\n'));
      await close();
      await context.close();
    }
  } finally {
    await strict.close();
  }
});

// Headless chromium has no gamepads: the page is given one in the browser's standard layout
// (A, left shoulder, d-pad up held, the right trigger half way, the left stick right and up, the
// right stick a little down), with motors that note what they are told when `motors` is set.
// Like a browser, the page announces it only once it is used: `announcePad` does.
async function fakePad(context, motors) {
  await context.addInitScript((motors) => {
    const button = (value) => ({ pressed: value > 0.5, touched: value > 0, value });
    const buttons = Array.from({ length: 17 }, () => button(0));
    for (const i of [0, 4, 12]) buttons[i] = button(1);
    buttons[7] = button(0.5);
    window.tarnPad = { id: 'Test pad (STANDARD GAMEPAD)', index: 0, connected: true, mapping: 'standard',
                       timestamp: 1, axes: [0.5, -1, 0, 0.25], buttons };
    if (motors) {
      window.tarnMotors = [];
      tarnPad.vibrationActuator = {
        playEffect: (type, p) => { tarnMotors.push([type, p.strongMagnitude, p.weakMagnitude]); return Promise.resolve('complete'); },
        reset: () => { tarnMotors.push(['reset']); return Promise.resolve('complete'); },
      };
    }
    navigator.getGamepads = () => [window.tarnPad, null, null, null];
  }, motors);
}
function announcePad(page) {
  return page.evaluate(() => {
    const event = new Event('gamepadconnected');
    Object.defineProperty(event, 'gamepad', { value: tarnPad });
    window.dispatchEvent(event);
  });
}

// R held in the input example runs the motors of every pad.
async function holdR(page, ms) {
  await page.keyboard.down('r');
  await page.waitForTimeout(ms);
  await page.keyboard.up('r');
}

test('a browser gamepad reaches the program as XInput pad 0 and as the joystick', async () => {
  const context = await browser.newContext({ viewport: { width: 800, height: 600 } });
  await fakePad(context, false);
  const { page, log, close } = await openPage(browser, server.url + 'input.html', context);
  await framesAtLeast(page, 3);
  await announcePad(page);
  const pad = () => page.waitForFunction(() => Module.tarnWeb.pads && Module.tarnWeb.pads[0], null, { timeout: 10000 })
    .then(() => page.evaluate(() => Module.tarnWeb.pads[0]));
  // A, left shoulder and up; y grows upwards on the pad, downwards in the browser.
  assert.deepEqual(await pad(), { buttons: 0x1000 | 0x0100 | 0x0001, leftTrigger: 0, rightTrigger: 128,
                                  leftX: 16383, leftY: 32767, rightX: 0, rightY: -8192 });
  await page.evaluate(() => { tarnPad.buttons[0] = { pressed: false, touched: false, value: 0 }; tarnPad.timestamp++; });
  await page.waitForFunction(() => Module.tarnWeb.pads[0].buttons === 0x0101, null, { timeout: 5000 });
  // F11 looks for a joystick again: the pad is one, its first two axes and its buttons.
  await page.keyboard.press('F11');
  await page.waitForFunction(() => Module.tarnWeb.joystick, null, { timeout: 10000 });
  assert.deepEqual(await page.evaluate(() => Module.tarnWeb.joystick), { x: 16383, y: -32768, buttons: (1 << 4) | (1 << 12) });
  await holdR(page, 200); // a pad without motors: nothing happens, nothing fails
  await page.keyboard.press('Escape');
  assert.equal(await ended(page), 'ended with exit code 0');
  assert.ok(!log.some((l) => l.startsWith('pageerror')), log.join('\n'));
  await close();
  await context.close();
});

// The browser plays an effect for a set time; the program's motors run until it stops them.
test('a browser gamepad rumbles for as long as the program runs its motors', async () => {
  const context = await browser.newContext({ viewport: { width: 800, height: 600 } });
  await fakePad(context, true);
  const { page, close } = await openPage(browser, server.url + 'input.html', context);
  await framesAtLeast(page, 3);
  await announcePad(page);
  await page.waitForFunction(() => Module.tarnWeb.pads && Module.tarnWeb.pads[0], null, { timeout: 10000 });
  await holdR(page, 2300);
  await page.waitForFunction(() => tarnMotors.some((m) => m[0] === 'reset'), null, { timeout: 5000 });
  const told = await page.evaluate(() => tarnMotors);
  const effects = told.filter((m) => m[0] === 'dual-rumble');
  assert.ok(effects.length >= 3, `the effect is renewed while held: ${JSON.stringify(told)}`);
  assert.deepEqual(effects[0], ['dual-rumble', 40000 / 65535, 20000 / 65535]);
  await page.waitForTimeout(1000);
  assert.deepEqual((await page.evaluate(() => tarnMotors)).slice(-1), [['reset']], 'nothing more once stopped');
  await page.keyboard.press('Escape');
  assert.equal(await ended(page), 'ended with exit code 0');
  await close();
  await context.close();
});

test('a click locks the pointer; its motion and the wheel reach the program', async () => {
  const { page, log, close } = await openPage(browser, server.url + 'input.html');
  await framesAtLeast(page, 3);
  await page.mouse.move(400, 300);
  await page.mouse.down();
  await page.mouse.up();
  await page.waitForFunction(() => document.pointerLockElement === document.getElementById('canvas'),
                             null, { timeout: 5000 });
  const read = () => page.evaluate(() => ({ ...(Module.tarnWeb.mouse || { dx: 0, dy: 0, wheel: 0 }) }));
  const before = await read();
  await page.mouse.move(430, 280, { steps: 3 });
  // Two notches towards the user (the browser's 100 pixels a notch): -120 each.
  await page.mouse.wheel(0, 200);
  await page.waitForFunction((b) => Module.tarnWeb.mouse && Module.tarnWeb.mouse.wheel - b.wheel === -240 &&
                                    Module.tarnWeb.mouse.dx - b.dx === 30 && Module.tarnWeb.mouse.dy - b.dy === -20,
                             before, { timeout: 5000 }).catch(() => {});
  const after = await read();
  assert.deepEqual({ dx: after.dx - before.dx, dy: after.dy - before.dy, wheel: after.wheel - before.wheel },
                   { dx: 30, dy: -20, wheel: -240 });
  await page.keyboard.press('Escape');
  assert.equal(await ended(page), 'ended with exit code 0');
  assert.ok(!log.some((l) => l.startsWith('pageerror')), log.join('\n'));
  await close();
});

// The guide's first program, made a page as the guide's web section says (scripts/test-web.sh
// builds it into TARN_GUIDE_WEB): the page is the four files the guide names, the ball moves
// with the arrow keys over the picture, and Escape ends it.
test('the guide\'s game, built as its web section says, runs in its page', { skip: !process.env.TARN_GUIDE_WEB }, async () => {
  const dir = process.env.TARN_GUIDE_WEB;
  assert.deepEqual(fs.readdirSync(dir).filter((f) => f.startsWith('game.')).sort(),
                   ['game.data', 'game.html', 'game.js', 'game.wasm']);
  const guide = await serve(dir);
  try {
    const { page, log, close } = await openPage(browser, guide.url + 'game.html');
    await framesAtLeast(page, 3);
    const ball = (p) => { // the ball's colour in the middle of its starting place
      const at = (240 * p.width + 320) * 3;
      return [...p.rgb.subarray(at, at + 3)];
    };
    const first = await canvasPixels(page);
    await page.keyboard.down('ArrowRight');
    await page.waitForTimeout(500);
    await page.keyboard.up('ArrowRight');
    assert.notDeepEqual(ball(await canvasPixels(page)), ball(first), 'the ball has moved on');
    await page.keyboard.press('Escape');
    assert.equal(await ended(page), 'ended with exit code 0');
    assert.ok(!log.some((l) => l.startsWith('pageerror')), log.join('\n'));
    await close();
  } finally {
    await guide.close();
  }
});

// Whether the program keeps drawing: its frame count moves on within half a second.
async function drawing(page) {
  const before = await frames(page);
  await page.waitForTimeout(500);
  return (await frames(page)) > before + 3;
}

// Only the page hidden or its window losing the focus is the focus lost (the demo then pauses);
// the canvas losing the focus to the page, or the pointer lock ending, is not, and a click on the
// canvas brings back a focus that went. The canvas lies at (80, 60) .. (720, 540) of the page.
test('the page keeps its focus through clicks in the letterbox and the pointer lock ending', async () => {
  const { page, log, close } = await openPage(browser, server.url + 'myfirsttarn.html');
  await framesAtLeast(page, 3);
  const cases = [
    { what: 'a click in the letterbox', act: () => page.mouse.click(10, 10), drawing: true },
    { what: 'the canvas blurred', act: () => page.evaluate(() => { const c = document.getElementById('canvas'); c.focus(); c.blur(); }),
      drawing: true },
    { what: 'the pointer lock ended, then a click in the letterbox', act: async () => {
      await page.mouse.click(400, 300);
      await page.waitForFunction(() => document.pointerLockElement, null, { timeout: 5000 });
      await page.evaluate(() => document.exitPointerLock());
      await page.mouse.click(10, 590);
    }, drawing: true },
    { what: 'the window blurred', act: () => page.evaluate(() => window.dispatchEvent(new FocusEvent('blur'))), drawing: false },
    { what: 'then a click on the canvas', act: () => page.mouse.click(400, 300), drawing: true },
    { what: 'the window blurred and focused again', act: async () => {
      await page.evaluate(() => window.dispatchEvent(new FocusEvent('blur')));
      await page.waitForTimeout(200);
      await page.evaluate(() => window.dispatchEvent(new FocusEvent('focus')));
    }, drawing: true },
  ];
  for (const c of cases) {
    await c.act();
    await page.waitForTimeout(100);
    assert.equal(await drawing(page), c.drawing, c.what);
  }
  await page.keyboard.press('Escape');
  assert.equal(await ended(page), 'ended with exit code 0');
  assert.ok(!log.some((l) => l.startsWith('pageerror')), log.join('\n'));
  await close();
});

// The cursor the program is told of (a message's point, noted by the page as tarnWeb.cursor) is
// in the frame's pixels, through the letterbox and the page's scaling; in the letterbox it is at
// the frame's nearest edge.
test('the cursor the program reads is where the pointer is on the frame', async () => {
  const cases = [
    { viewport: { width: 800, height: 600 }, at: [180, 110], cursor: { x: 100, y: 50 } },
    { viewport: { width: 800, height: 600 }, at: [719, 539], cursor: { x: 639, y: 479 } },
    // Scaled by 2: the canvas is 1280 x 960 at (60, 20).
    { viewport: { width: 1400, height: 1000 }, at: [261, 121], cursor: { x: 100, y: 50 } },
    { viewport: { width: 800, height: 600 }, at: [10, 590], cursor: { x: 0, y: 479 } },
  ];
  for (const { viewport, at, cursor } of cases) {
    const context = await browser.newContext({ viewport });
    const { page, close } = await openPage(browser, server.url + 'myfirsttarn.html', context);
    await framesAtLeast(page, 3);
    await page.mouse.move(at[0], at[1]);
    await page.keyboard.press('Shift'); // a message, which carries the cursor
    await page.waitForFunction((c) => Module.tarnWeb.cursor && Module.tarnWeb.cursor.x === c.x &&
                                      Module.tarnWeb.cursor.y === c.y, cursor, { timeout: 3000 }).catch(() => {});
    assert.deepEqual(await page.evaluate(() => Module.tarnWeb.cursor), cursor, `${JSON.stringify(viewport)} at ${at}`);
    await close();
    await context.close();
  }
});

// A tar file of `entries` ({name, body, size, type, checksum} with the header's fields as text
// where given), ended as tar ends one unless `end` is false, gzip'd.
function tarFile(entries, end = true) {
  const blocks = [];
  for (const e of entries) {
    const body = Buffer.from(e.body || '');
    const header = Buffer.alloc(512);
    header.write(e.name, 0, 'latin1');
    header.write('0000644\0', 100, 'latin1');
    header.write('0000000\0', 108, 'latin1');
    header.write('0000000\0', 116, 'latin1');
    header.write(e.size ?? body.length.toString(8).padStart(11, '0') + '\0', 124, 'latin1');
    header.write('00000000000\0', 136, 'latin1');
    header.write(e.type || '0', 156, 'latin1');
    header.write('ustar  \0', 257, 'latin1');
    header.fill(32, 148, 156);
    let sum = 0;
    for (const b of header) sum += b;
    header.write(e.checksum ?? sum.toString(8).padStart(6, '0') + '\0 ', 148, 'latin1');
    blocks.push(header, body, Buffer.alloc((512 - (body.length % 512)) % 512));
  }
  if (end) blocks.push(Buffer.alloc(1024));
  return zlib.gzipSync(Buffer.concat(blocks));
}

// The page's files come from a damaged or hostile archive: the page ends at once, saying why,
// and writes nothing outside the program's folders.
test('a damaged or hostile archive of files ends the page with the reason', async () => {
  const picture = fs.readFileSync(path.join(SOURCE, 'assets/landskap.bmp'));
  const cases = [
    { what: 'a negative size', data: tarFile([{ name: 'game/a', size: '-0001000000\0' }]), reason: /bad size/ },
    { what: 'a size that is not octal', data: tarFile([{ name: 'game/a', size: '0000000009x\0' }, { name: 'game/b' }]), reason: /bad size/ },
    { what: 'a body shorter than its size',
      data: zlib.gzipSync(zlib.gunzipSync(tarFile([{ name: 'game/a', body: 'x'.repeat(2000) }], false)).subarray(0, 1024)),
      reason: /cut short/ },
    { what: 'no end', data: tarFile([{ name: 'game/landskap.bmp', body: picture }], false), reason: /cut short/ },
    { what: 'a damaged header', data: tarFile([{ name: 'game/a', body: 'x', checksum: '0012345\0' }]), reason: /damaged/ },
    { what: 'a name climbing out', data: tarFile([{ name: 'game/../../tmp/evil', body: 'x' }]), reason: /leaves/ },
    { what: 'an absolute name', data: tarFile([{ name: '/tmp/evil', body: 'x' }]), reason: /leaves/ },
    { what: 'a name outside the folders', data: tarFile([{ name: 'tmp/evil', body: 'x' }]), reason: /outside/ },
    { what: 'a folder outside', data: tarFile([{ name: 'usr/', type: '5' }, { name: 'tmp/', type: '5' }]), reason: /outside/ },
    { what: 'a link', data: tarFile([{ name: 'game/link', type: '2' }]), reason: /not a file/ },
    { what: 'not gzip at all', data: Buffer.from('not a gzip stream'), reason: /./ },
  ];
  for (const { what, data, reason } of cases) {
    const context = await browser.newContext({ viewport: { width: 800, height: 600 } });
    await context.route('**/myfirsttarn.data', (route) => route.fulfill({ status: 200, body: data }));
    const { page, close } = await openPage(browser, server.url + 'myfirsttarn.html', context);
    const line = await ended(page, 10000);
    assert.match(line, /^ended: the program's files could not be loaded \(.+\)$/, what);
    assert.match(line, reason, what);
    assert.equal(await page.evaluate(() => { try { FS.stat('/tmp/evil'); return true; } catch (e) { return false; } }),
                 false, `${what}: nothing written outside`);
    await close();
    await context.close();
  }
  // The folders on the way to the font's are the program's too.
  const context = await browser.newContext({ viewport: { width: 800, height: 600 } });
  const good = tarFile([{ name: 'usr/', type: '5' }, { name: 'usr/share/', type: '5' }, { name: 'usr/share/fonts/', type: '5' },
                        { name: 'game/', type: '5' }, { name: 'game/landskap.bmp', body: picture }]);
  await context.route('**/myfirsttarn.data', (route) => route.fulfill({ status: 200, body: good }));
  const { page, close } = await openPage(browser, server.url + 'myfirsttarn.html', context);
  await framesAtLeast(page, 3);
  await close();
  await context.close();
});

// What the program does to its saves just before the page is reloaded is what comes back:
// written, truncated without a write, truncated by name, removed, renamed over another.
test('a save changed just before a reload comes back as it was left', async () => {
  const A = '/game/a.sav', B = '/game/b.sav';
  const cases = [
    { what: 'written', act: () => FS.writeFile('/game/a.sav', 'saved'), a: 'saved', b: 'other' },
    { what: 'opened for writing and closed', act: () => FS.close(FS.open('/game/a.sav', 'w')), a: '', b: 'other' },
    { what: 'truncated by name', act: () => FS.truncate('/game/a.sav', 2), a: 'ol', b: 'other' },
    { what: 'removed', act: () => FS.unlink('/game/a.sav'), a: null, b: 'other' },
    { what: 'renamed over another', act: () => FS.rename('/game/b.sav', '/game/a.sav'), a: 'other', b: null },
  ];
  const read = (page) => page.evaluate((files) => files.map((f) => {
    try { return new TextDecoder().decode(FS.readFile(f)); } catch (e) { return null; }
  }), [A, B]);
  for (const { what, act, a, b } of cases) {
    const context = await browser.newContext({ viewport: { width: 800, height: 600 } });
    const { page, close } = await openPage(browser, server.url + 'myfirsttarn.html', context);
    await framesAtLeast(page, 1);
    await page.evaluate(() => { FS.writeFile('/game/a.sav', 'old'); FS.writeFile('/game/b.sav', 'other'); });
    await page.waitForTimeout(500); // stored
    await page.evaluate(act);
    await page.reload();
    await framesAtLeast(page, 1);
    assert.deepEqual(await read(page), [a, b], what);
    await close();
    await context.close();
  }
});

// A JavaScript error or a C++ exception (a number, to JavaScript) escaping the program ends the
// page with a line saying so.
test('a program that throws ends with a line saying so', async () => {
  const cases = [
    { thrown: 'new Error("boom")', line: 'ended: the program stopped (an error escaped it: boom)' },
    { thrown: '5247312', line: 'ended: the program stopped (an exception escaped it)' },
  ];
  for (const { thrown, line } of cases) {
    const { page, close } = await openPage(browser, server.url + 'myfirsttarn.html');
    await framesAtLeast(page, 3);
    await page.evaluate((t) => { Module.onTarnFrame = new Function('throw ' + t); }, thrown);
    assert.equal(await ended(page, 10000), line, thrown);
    await close();
  }
});

// On a phone (touch, a high pixel ratio, upright and turned) a windowed program keeps the frame
// it asked for, shown whole with its aspect; a tap is the mouse at the tapped pixel, and the page
// does not scroll with it.
test('on a phone a windowed program keeps its frame, shown whole, and a tap reaches its pixel', async () => {
  for (const viewport of [{ width: 390, height: 844 }, { width: 844, height: 390 }]) {
    const context = await browser.newContext({ viewport, deviceScaleFactor: 3, isMobile: true, hasTouch: true });
    const { page, log, close } = await openPage(browser, server.url + 'input.html', context);
    await framesAtLeast(page, 3);
    const place = await page.evaluate(() => {
      const c = document.getElementById('canvas'), r = c.getBoundingClientRect();
      return { width: c.width, height: c.height, left: r.left, top: r.top, cssWidth: r.width, cssHeight: r.height };
    });
    const what = `${viewport.width} x ${viewport.height}`;
    assert.deepEqual([place.width, place.height], [640, 480], `${what}: the frame keeps its size`);
    assert.ok(place.left >= 0 && place.top >= 0 && place.left + place.cssWidth <= viewport.width + 0.5 &&
              place.top + place.cssHeight <= viewport.height + 0.5, `${what}: shown whole ${JSON.stringify(place)}`);
    assert.ok(Math.abs(place.cssWidth / place.cssHeight - 4 / 3) < 0.01, `${what}: the aspect kept`);
    for (const [x, y] of [[320, 240], [100, 50]]) {
      await page.touchscreen.tap(place.left + (x + 0.5) * place.cssWidth / 640, place.top + (y + 0.5) * place.cssHeight / 480);
      await page.keyboard.press('Shift'); // a message, which carries the cursor
      // A touch's place is in whole CSS pixels, here 1.6 of the frame's: the pixel or its neighbour.
      const near = (c) => Math.abs(c.x - x) <= 1 && Math.abs(c.y - y) <= 1;
      await page.waitForFunction((c) => Module.tarnWeb.cursor && Math.abs(Module.tarnWeb.cursor.x - c.x) <= 1 &&
                                        Math.abs(Module.tarnWeb.cursor.y - c.y) <= 1, { x, y }, { timeout: 3000 }).catch(() => {});
      const cursor = await page.evaluate(() => Module.tarnWeb.cursor);
      assert.ok(cursor && near(cursor), `${what}: tapped at ${x}, ${y}, the program has ${JSON.stringify(cursor)}`);
    }
    assert.equal(await page.evaluate(() => window.scrollX + window.scrollY), 0, `${what}: the page stays put`);
    assert.ok(!log.some((l) => l.startsWith('pageerror')), log.join('\n'));
    await close();
    await context.close();
  }
});
