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

  // Web Audio: the program's sound in blocks of `frames` stereo frames (16-bit, interleaved, in
  // the program's memory at `buffer`, filled by TarnWebPullAudio). An AudioWorklet plays them
  // off the page's thread and asks for the next block while it still has one queued; a browser
  // without worklets gets a ScriptProcessorNode, which asks for each block as it plays it.
  // Browsers let sound start only after a click, a key or a touch: until then the context waits,
  // and the first one resumes it. Once the program has ended it only plays silence. On the page:
  // audio.blocks (blocks handed on), audio.peaks (the loudest sample of each side so far) and
  // audio.underruns (times the worklet ran dry after its first block).
  // The worklet's processor, as the source of a module.
  $tarnWebWorklet: function () {
    return [
      'class TarnOutput extends AudioWorkletProcessor {',
      '  constructor() {',
      '    super();',
      '    this.queue = []; this.offset = 0; this.queued = 0; this.asked = 0; this.started = false;',
      '    this.port.onmessage = (e) => {',
      '      this.queue.push(e.data); this.queued += e.data.length / 2; this.asked--; this.started = true;',
      '    };',
      '  }',
      '  process(inputs, outputs) {',
      '    const left = outputs[0][0], right = outputs[0][1];',
      '    let i = 0;',
      '    while (i < left.length && this.queue.length) {',
      '      const block = this.queue[0];',
      '      const n = Math.min(left.length - i, block.length / 2 - this.offset);',
      '      for (let k = 0; k < n; ++k) {',
      '        left[i + k] = block[2 * (this.offset + k)];',
      '        right[i + k] = block[2 * (this.offset + k) + 1];',
      '      }',
      '      i += n; this.offset += n; this.queued -= n;',
      '      if (this.offset * 2 >= block.length) { this.queue.shift(); this.offset = 0; }',
      '    }',
      '    if (i < left.length && this.started) this.port.postMessage(-1);',
      '    // Three blocks ahead: one playing, two waiting (the page answers between its frames).',
      '    while (this.asked + this.queue.length < 3) { this.asked++; this.port.postMessage(1); }',
      '    return true;',
      '  }',
      '}',
      'registerProcessor("tarn-output", TarnOutput);',
    ].join('\n');
  },
  WebPageOpenAudio__deps: ['$tarnWeb', '$tarnWebRunning', '$tarnWebWorklet'],
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
    const audio = {context: context, blocks: 0, peaks: [0, 0], underruns: 0};
    // The next block from the program into `left` and `right`, or into one interleaved array.
    const pull = function (left, right, interleaved) {
      const count = left ? left.length : interleaved.length / 2;
      if (!tarnWebRunning() || web.audio != audio) {
        if (left) { left.fill(0); right.fill(0); } else interleaved.fill(0);
        return;
      }
      Module['_TarnWebPullAudio'](count);
      const samples = new Int16Array(HEAPU8.buffer, buffer, count * 2);
      let peakLeft = audio.peaks[0], peakRight = audio.peaks[1];
      for (let i = 0; i < count; ++i) {
        const l = samples[2 * i], r = samples[2 * i + 1];
        if (left) {
          left[i] = l / 32768;
          right[i] = r / 32768;
        } else {
          interleaved[2 * i] = l / 32768;
          interleaved[2 * i + 1] = r / 32768;
        }
        peakLeft = Math.max(peakLeft, l < 0 ? -l : l);
        peakRight = Math.max(peakRight, r < 0 ? -r : r);
      }
      audio.blocks++;
      audio.peaks = [peakLeft, peakRight];
    };
    const useProcessor = function () {
      audio.node = context.createScriptProcessor(frames, 0, 2);
      audio.node.onaudioprocess = function (event) {
        pull(event.outputBuffer.getChannelData(0), event.outputBuffer.getChannelData(1), null);
      };
      audio.node.connect(context.destination);
    };
    if (context.audioWorklet && typeof AudioWorkletNode != 'undefined') {
      const url = URL.createObjectURL(new Blob([tarnWebWorklet()], {type: 'text/javascript'}));
      context.audioWorklet.addModule(url).then(function () {
        URL.revokeObjectURL(url);
        if (web.audio != audio) return; // closed meanwhile
        audio.node = new AudioWorkletNode(context, 'tarn-output', {numberOfInputs: 0, outputChannelCount: [2]});
        audio.node.port.onmessage = function (event) {
          if (event.data < 0) {
            audio.underruns++;
            return;
          }
          const block = new Float32Array(frames * 2);
          pull(null, null, block);
          audio.node.port.postMessage(block, [block.buffer]);
        };
        audio.node.connect(context.destination);
      }, function () {
        URL.revokeObjectURL(url);
        if (web.audio == audio) useProcessor();
      });
    } else {
      useProcessor();
    }
    // A resume the browser refuses (no gesture yet) is tried again at the next one.
    audio.resume = function () {
      if (context.state == 'suspended') context.resume().catch(function () {});
    };
    audio.gestures = ['keydown', 'mousedown', 'pointerdown', 'touchstart', 'touchend'];
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
    if (audio.node) {
      if (audio.node.port) audio.node.port.onmessage = null;
      audio.node.onaudioprocess = null;
      audio.node.disconnect();
    }
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
