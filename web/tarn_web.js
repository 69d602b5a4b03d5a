// The web host's side in the page (linked with --js-library): the canvas sized and filled, the
// waits that give the browser its turn, Web Audio, the pads' motors, and the notes the page keeps
// of what the program read. Everything the host keeps on the page is in Module.tarnWeb:
//   frames          frames shown so far (Module.onTarnFrame(frames) is called after each)
//   audio           {context, blocks, peaks}: blocks handed to Web Audio, the loudest sample of
//                   each side so far
//   pads[slot], joystick, mouse {dx, dy, wheel}, cursor {x, y}: what the program last read
//   ended           set by the page when the program has ended (it only plays silence then)
// The C++ side's declarations are in platform/host/WebPage.h.
mergeInto(LibraryManager.library, {
  $tarnWeb: function () {
    return Module['tarnWeb'] || (Module['tarnWeb'] = {frames: 0});
  },
  // Whether the program can still be called: not after it ended, aborted or threw.
  $tarnWebRunning: function () {
    return !ABORT && !(typeof runtimeExited != 'undefined' && runtimeExited) &&
           !(Module['tarnWeb'] && Module['tarnWeb'].ended);
  },

  // The frame (R, G, B, A bytes at `rgba` in the program's memory) into the canvas, which takes
  // its size; the page is asked to fit it again when that changes.
  WebPageShowFrame__deps: ['$tarnWeb'],
  WebPageShowFrame: function (rgba, width, height) {
    const canvas = Module['canvas'];
    if (!canvas) return;
    const web = tarnWeb();
    if (canvas.width != width || canvas.height != height || !web.context) {
      canvas.width = width;
      canvas.height = height;
      web.context = canvas.getContext('2d', {alpha: false});
      web.image = null;
      if (Module['tarnFit']) Module['tarnFit']();
    }
    // The image's pixels are a view of the program's memory; made anew only when the frame's
    // place or size changes, or the memory grows (which replaces its buffer).
    if (!web.image || web.imagePtr != rgba || web.image.width != width ||
        web.image.height != height || web.image.data.buffer != HEAPU8.buffer) {
      web.image = new ImageData(new Uint8ClampedArray(HEAPU8.buffer, rgba, width * height * 4), width, height);
      web.imagePtr = rgba;
    }
    web.context.putImageData(web.image, 0, 0);
    web.frames++;
    if (Module['onTarnFrame']) Module['onTarnFrame'](web.frames);
  },

  // The two waits hand the browser its turn: Asyncify unwinds the program and winds it back when
  // the callback wakes it (both are named in the link's ASYNCIFY_IMPORTS). They create no
  // promise, so a frame leaves no garbage behind.
  WebPageNextFrame: function () {
    Asyncify.handleSleep(function (wakeUp) { requestAnimationFrame(function () { wakeUp(); }); });
  },
  // Ends when WebPageWake is called (an event arrived) or after `ms` milliseconds.
  WebPageSleep__deps: ['$tarnWeb'],
  WebPageSleep: function (ms) {
    Asyncify.handleSleep(function (wakeUp) {
      const web = tarnWeb();
      const timer = setTimeout(function () {
        web.wake = null;
        wakeUp();
      }, ms);
      // Called from an event handler that the program itself is running: the program is woken
      // once that handler has returned.
      web.wake = function () {
        clearTimeout(timer);
        web.wake = null;
        queueMicrotask(wakeUp);
      };
    });
  },
  WebPageWake: function () {
    const web = Module['tarnWeb'];
    if (web && web.wake) web.wake();
  },

  WebPageSetTitle: function (title) { document.title = UTF8ToString(title); },
  WebPageWidth: function () { return window.innerWidth | 0; },
  WebPageHeight: function () { return window.innerHeight | 0; },
  WebPageVisible: function () { return document.visibilityState == 'hidden' ? 0 : 1; },
  WebPageShowCursor: function (show) {
    if (Module['canvas']) Module['canvas'].style.cursor = show ? 'default' : 'none';
  },
  // The canvas's place on the page in CSS pixels: left, top, width, height as four doubles (the
  // letterbox is what lies around it).
  WebPageCanvasPlace: function (place) {
    const canvas = Module['canvas'];
    const r = canvas ? canvas.getBoundingClientRect() : {left: 0, top: 0, width: 0, height: 0};
    HEAPF64[place >> 3] = r.left;
    HEAPF64[(place >> 3) + 1] = r.top;
    HEAPF64[(place >> 3) + 2] = r.width;
    HEAPF64[(place >> 3) + 3] = r.height;
  },
  // A click on the canvas gives it the keyboard's focus (its mousedown prevents the default,
  // which would otherwise do that).
  WebPageFocusCanvas: function () {
    const canvas = Module['canvas'];
    if (canvas && document.activeElement != canvas) canvas.focus();
  },

  // Web Audio: a stereo processor node that asks the program for each block of frames (16-bit,
  // interleaved, in the program's memory at `buffer`, filled by TarnWebPullAudio). Browsers let
  // sound start only after a click or a key: until then the context waits, and the first one
  // resumes it. Once the program has ended it only plays silence.
  WebPageOpenAudio__deps: ['$tarnWeb', '$tarnWebRunning'],
  WebPageOpenAudio: function (rate, buffer, frames) {
    const AudioContextType = window.AudioContext || window.webkitAudioContext;
    if (!AudioContextType) return 0;
    let context;
    try {
      context = new AudioContextType({sampleRate: rate});
    } catch (e) {
      return 0;
    }
    const web = tarnWeb();
    const audio = {context: context, blocks: 0, peaks: [0, 0]};
    audio.node = context.createScriptProcessor(frames, 0, 2);
    audio.node.onaudioprocess = function (event) {
      const left = event.outputBuffer.getChannelData(0);
      const right = event.outputBuffer.getChannelData(1);
      if (!tarnWebRunning() || web.audio != audio) {
        left.fill(0);
        right.fill(0);
        return;
      }
      Module['_TarnWebPullAudio'](left.length);
      const samples = new Int16Array(HEAPU8.buffer, buffer, left.length * 2);
      let peakLeft = audio.peaks[0], peakRight = audio.peaks[1];
      for (let i = 0; i < left.length; ++i) {
        const l = samples[2 * i], r = samples[2 * i + 1];
        left[i] = l / 32768;
        right[i] = r / 32768;
        peakLeft = Math.max(peakLeft, l < 0 ? -l : l);
        peakRight = Math.max(peakRight, r < 0 ? -r : r);
      }
      audio.blocks++;
      audio.peaks = [peakLeft, peakRight];
    };
    audio.node.connect(context.destination);
    // A resume the browser refuses (no gesture yet) is tried again at the next one.
    audio.resume = function () {
      if (context.state == 'suspended') context.resume().catch(function () {});
    };
    audio.gestures = ['keydown', 'mousedown', 'pointerdown', 'touchstart'];
    for (const name of audio.gestures) window.addEventListener(name, audio.resume, true);
    web.audio = audio;
    audio.resume();
    return 1;
  },
  WebPageCloseAudio: function () {
    const web = Module['tarnWeb'];
    if (!web || !web.audio) return;
    const audio = web.audio;
    web.audio = null;
    audio.node.onaudioprocess = null;
    audio.node.disconnect();
    audio.context.close().catch(function () {});
    for (const name of audio.gestures) window.removeEventListener(name, audio.resume, true);
  },

  // The pad's two motors (0 .. 1), where the browser can drive them. A browser plays an effect
  // for a set time, while XInput's motors run until told otherwise: the effect is played again
  // every 0.9 s until the program stops the motors or ends. A pad without motors, or a browser
  // that refuses, is left alone.
  WebPageRumble__deps: ['$tarnWeb', '$tarnWebRunning'],
  WebPageRumble: function (index, strong, weak) {
    const web = tarnWeb();
    web.rumble = web.rumble || [];
    clearInterval(web.rumble[index]);
    web.rumble[index] = 0;
    const actuator = function () {
      const pads = navigator.getGamepads ? navigator.getGamepads() : [];
      const pad = pads && pads[index];
      return pad && pad.vibrationActuator;
    };
    const quietly = function (result) {
      if (result && result.catch) result.catch(function () {});
    };
    try {
      const a = actuator();
      if (strong <= 0 && weak <= 0) {
        if (a && a.reset) quietly(a.reset());
        return;
      }
      if (!a || !a.playEffect) return;
    } catch (e) {
      return;
    }
    const play = function () {
      try {
        if (!tarnWebRunning()) {
          clearInterval(web.rumble[index]);
          return;
        }
        const a = actuator();
        if (a && a.playEffect)
          quietly(a.playEffect('dual-rumble', {duration: 1000, strongMagnitude: strong, weakMagnitude: weak}));
      } catch (e) {
      }
    };
    play();
    web.rumble[index] = setInterval(play, 900);
  },

  // What the program last read, kept on the page for the page or a test to see. Called only when
  // there is something to note.
  WebPageNotePad__deps: ['$tarnWeb'],
  WebPageNotePad: function (slot, buttons, lt, rt, lx, ly, rx, ry) {
    const web = tarnWeb();
    const pads = web.pads || (web.pads = []);
    const pad = pads[slot] || (pads[slot] = {});
    pad.buttons = buttons;
    pad.leftTrigger = lt;
    pad.rightTrigger = rt;
    pad.leftX = lx;
    pad.leftY = ly;
    pad.rightX = rx;
    pad.rightY = ry;
  },
  // The page's note called `name`, made on first use.
  $tarnWebNote__deps: ['$tarnWeb'],
  $tarnWebNote: function (name) {
    const web = tarnWeb();
    return web[name] || (web[name] = {});
  },
  WebPageNoteJoystick__deps: ['$tarnWebNote'],
  WebPageNoteJoystick: function (x, y, buttons) {
    Object.assign(tarnWebNote('joystick'), {x: x, y: y, buttons: buttons});
  },
  WebPageNoteMouse__deps: ['$tarnWebNote'],
  WebPageNoteMouse: function (dx, dy, wheel) {
    const mouse = tarnWebNote('mouse');
    mouse.dx = (mouse.dx || 0) + dx;
    mouse.dy = (mouse.dy || 0) + dy;
    mouse.wheel = (mouse.wheel || 0) + wheel;
  },
  WebPageNoteCursor__deps: ['$tarnWebNote'],
  WebPageNoteCursor: function (x, y) {
    Object.assign(tarnWebNote('cursor'), {x: x, y: y});
  },
});
