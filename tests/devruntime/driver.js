#!/usr/bin/env node
// The browser driver of the development runtime: the other end of the client library built from
// tests/devruntime/dll. The program (under Wine) talks to the client library as to a browser runtime; the
// library forwards over one loopback TCP connection and this driver plays the web view in Chromium.
//
//   node driver.js [--headless] [--profile DIR] [--screenshot FILE.png] [--screenshot-after ready|openFile]
//                  [--dialect classic|github] [--control] [--connect-timeout SECONDS]
//
// --dialect stores the page's Markdown dialect in the profile before the page first loads, as the
// reader's own choice on the switch would (the page keeps it in local storage, "md-dialect").
//
// Wire format (both directions): a 4-byte big-endian length, then that many bytes of UTF-8.
// - library -> driver: one JSON object with a "type": hello, controller, bounds, statusBar, navigate,
//   subscribed, postJson, delivered, dropPosted, visible, close, resourceResponse, navigationResult,
//   newWindowResult, downloadResult (see handleRecord);
// - driver -> library: a command word, a line feed, the payload as raw text: "webMessage\n<json>",
//   "drop\n<windows path>", "closeWindow\n", and the page's requests that the program answers through
//   the runtime's events: "resourceRequest\n<id>\n<method>\n<range>\n<uri>",
//   "navigationStarting\n<id>\n<user-initiated 0|1>\n<uri>", "newWindowRequested\n<id>\n<0|1>\n<uri>",
//   "reloadStarting\n<id>\n<uri>", "downloadStarting\n<id>\n<suggested file name>\n<uri>".
//
// Like the real runtime, the driver serves nothing itself: every request under the program's origin is
// answered by the program's own handler (or fails, as a name that never resolves would); every
// navigation of the page and every link that asks for a window reaches the program first and obeys its
// answer. The bridge script reports link activations so that they never leave the page on their own.
//
// Standard output carries one JSON event per line for the scripts and tests that start the driver
// ({"event":"listening","port":N} first); standard error carries messages for people. With --control,
// standard input takes one JSON command per line (text, evaluate, visible, click, press, scroll, drop,
// closeProgram, screenshot)
// and each is answered with a "reply" event.
//
// Lifetime: the driver listens on 127.0.0.1 only, accepts exactly one connection and stops listening.
// When the program lets go of its view (a "close" record) or the connection ends, Chromium is closed and
// the driver exits. When the user closes Chromium, the program is left running: it just has no page.

'use strict';

const fs = require('node:fs');
const net = require('node:net');
const os = require('node:os');
const path = require('node:path');
const readline = require('node:readline');

const CHROMIUM_PATH = process.env.TALLOWMERE_CHROMIUM || '/usr/bin/chromium';
const BRIDGE_SCRIPT = path.join(__dirname, 'webview_bridge.js');
const HOST_POST_BINDING = '__tallowmereDevRuntimePost';
const LINK_BINDING = '__tallowmereDevRuntimeLink';
const DELIVER_FUNCTION = '__tallowmereDevRuntimeDeliver';
// The program's own origin: a name that never resolves, answered by the program alone.
const PAGE_ORIGIN = 'https://tallowmere.invalid';
const FRAME_HEADER_BYTES = 4;
// The same cap as the client library's: one document is one frame.
const MAX_FRAME_BYTES = 512 * 1024 * 1024;
const DEFAULT_VIEW = { width: 1264, height: 761 };
const DEFAULT_CONNECT_TIMEOUT_S = 300;
// How long --screenshot waits for the page to show what it expects before taking the picture anyway.
const SCREENSHOT_FALLBACK_MS = 30000;
const BROWSER_CLOSE_TIMEOUT_MS = 10000;
// How long a screenshot waits for the document's pictures to arrive, and again for its code blocks.
const IMAGE_WAIT_MS = 5000;
const CHROMIUM_ARGS = [
  '--no-sandbox',
  '--disable-gpu',
  '--disable-background-networking',
  '--disable-component-update',
  '--no-first-run',
];

function log(message) {
  process.stderr.write(`devruntime: ${message}\n`);
}

function emit(event) {
  process.stdout.write(`${JSON.stringify(event)}\n`);
}

function parseArgs(argv) {
  const options = {
    headless: !process.env.DISPLAY,
    profile: null,
    screenshot: null,
    screenshotAfter: 'ready',
    dialect: null,
    control: false,
    connectTimeoutS: DEFAULT_CONNECT_TIMEOUT_S,
  };
  for (let i = 0; i < argv.length; i += 1) {
    const arg = argv[i];
    const value = () => {
      if (i + 1 >= argv.length) throw new Error(`${arg} needs a value`);
      i += 1;
      return argv[i];
    };
    if (arg === '--headless') options.headless = true;
    else if (arg === '--profile') options.profile = path.resolve(value());
    else if (arg === '--screenshot') options.screenshot = path.resolve(value());
    else if (arg === '--screenshot-after') options.screenshotAfter = value();
    else if (arg === '--dialect') options.dialect = value();
    else if (arg === '--control') options.control = true;
    else if (arg === '--connect-timeout') options.connectTimeoutS = Number(value());
    else throw new Error(`unknown argument ${arg}`);
  }
  if (options.dialect !== null && !['classic', 'github'].includes(options.dialect)) {
    throw new Error('--dialect takes "classic" or "github"');
  }
  if (!['ready', 'openFile'].includes(options.screenshotAfter)) {
    throw new Error('--screenshot-after takes "ready" or "openFile"');
  }
  if (!(options.connectTimeoutS > 0)) throw new Error('--connect-timeout takes a positive number');
  return options;
}

// Splits a byte stream into frames; calls onFrame with each body as a Buffer.
function createFrameReader(onFrame, onError) {
  let pending = Buffer.alloc(0);
  return (chunk) => {
    pending = pending.length === 0 ? chunk : Buffer.concat([pending, chunk]);
    while (pending.length >= FRAME_HEADER_BYTES) {
      const length = pending.readUInt32BE(0);
      if (length > MAX_FRAME_BYTES) {
        onError(new Error(`frame of ${length} bytes is over the limit`));
        return;
      }
      if (pending.length < FRAME_HEADER_BYTES + length) return;
      const body = pending.subarray(FRAME_HEADER_BYTES, FRAME_HEADER_BYTES + length);
      pending = pending.subarray(FRAME_HEADER_BYTES + length);
      onFrame(body);
    }
  };
}

// Where a Windows path of the program lies for Chromium: Wine's Z: drive is the root, C: is the prefix's
// drive_c.
function unixPath(windowsPath) {
  const path = windowsPath.replace(/^\\\\\?\\/, '');
  const drive = /^([A-Za-z]):\\/.exec(path);
  if (!drive) throw new Error(`not a drive path: ${windowsPath}`);
  const rest = path.slice(3).replace(/\\/g, '/');
  if (drive[1].toUpperCase() === 'Z') return '/' + rest;
  const prefix = process.env.WINEPREFIX || require('node:path').join(require('node:os').homedir(), '.wine');
  return `${prefix}/drive_${drive[1].toLowerCase()}/${rest}`;
}

function encodeCommand(verb, payload) {
  const body = Buffer.from(`${verb}\n${payload}`, 'utf8');
  const header = Buffer.alloc(FRAME_HEADER_BYTES);
  header.writeUInt32BE(body.length, 0);
  return Buffer.concat([header, body]);
}

function withTimeout(promise, ms, what) {
  let timer;
  const timeout = new Promise((_, reject) => {
    timer = setTimeout(() => reject(new Error(`${what} took longer than ${ms} ms`)), ms);
  });
  return Promise.race([promise, timeout]).finally(() => clearTimeout(timer));
}

// A new profile starts with translation switched off: the page is Chinese, and Chromium would otherwise
// offer to translate it in a bubble over the page, which the program's own browser control never does.
function prepareProfile(profile) {
  const preferences = path.join(profile, 'Default', 'Preferences');
  if (fs.existsSync(preferences)) return;
  fs.mkdirSync(path.dirname(preferences), { recursive: true });
  fs.writeFileSync(preferences, JSON.stringify({ translate: { enabled: false } }));
}

// Chromium locks a profile with a link "SingletonLock" -> "<host>-<pid>"; a second Chromium on the same
// profile would hand its window to the first and leave this driver without a page.
function profileInUse(profile) {
  let target;
  try {
    target = fs.readlinkSync(path.join(profile, 'SingletonLock'));
  } catch {
    return false;
  }
  const pid = Number(target.slice(target.lastIndexOf('-') + 1));
  if (!Number.isInteger(pid) || pid <= 0) return false;
  try {
    process.kill(pid, 0);
    return true;
  } catch (error) {
    return error.code === 'EPERM';
  }
}

// One program connection, one Chromium view.
function createDriver(options) {
  const state = {
    socket: null,
    context: null,
    page: null,
    launching: null,
    browserClosedByUser: false,
    // The page's requests waiting for the program's answer, by id.
    pending: new Map(),
    nextRequestId: 1,
    // Navigations the program has already let start (its own, and links it allowed).
    approved: new Set(),
    view: { ...DEFAULT_VIEW },
    screenPosition: null,
    hostSawReady: false,
    screenshotTaken: false,
    shuttingDown: false,
    work: Promise.resolve(),
    temporaryProfile: null,
  };

  // Page work runs strictly in arrival order: navigation before the messages that follow it.
  function enqueue(what, task) {
    const run = state.work.then(task);
    state.work = run.catch((error) => {
      if (!state.shuttingDown) log(`${what} failed: ${error.message}`);
    });
    return run;
  }

  function sendCommand(verb, payload) {
    if (state.socket && !state.socket.destroyed) state.socket.write(encodeCommand(verb, payload));
  }

  // Asks the program through one of the runtime's events; resolves with its answer record, or with
  // null once the program is gone.
  function askProgram(verb, fields) {
    if (!state.socket || state.socket.destroyed) return Promise.resolve(null);
    const id = state.nextRequestId++;
    return new Promise((resolve) => {
      state.pending.set(id, resolve);
      sendCommand(verb, [id, ...fields].join('\n'));
    });
  }

  function answer(record) {
    const resolve = state.pending.get(record.id);
    if (!resolve) return;
    state.pending.delete(record.id);
    resolve(record);
  }

  // "Name: value" lines, as the program writes a response's headers.
  function parseHeaders(text) {
    const headers = {};
    for (const line of text.split(/\r?\n/)) {
      const colon = line.indexOf(':');
      if (colon > 0) headers[line.slice(0, colon).trim().toLowerCase()] = line.slice(colon + 1).trim();
    }
    return headers;
  }

  // Every request Chromium makes: navigations of the page first go through NavigationStarting; requests
  // under the program's origin are answered by the program; everything else goes its own way.
  async function routeRequest(route) {
    const request = route.request();
    const url = request.url();
    if (request.isNavigationRequest() && state.page && request.frame() === state.page.mainFrame()) {
      if (!state.approved.delete(url)) {
        // The bridge reports every link before it is followed, so a navigation nobody approved to the
        // address already shown is a reload (F5, Ctrl+R, the menu's Reload, location.reload()).
        const shown = state.page.url().split('#')[0];
        const verdict = url.split('#')[0] === shown
          ? await askProgram('reloadStarting', [url])
          : await askProgram('navigationStarting', ['1', url]);
        if (!verdict || verdict.cancel) return route.abort('aborted');
      }
    }
    if (!url.startsWith(`${PAGE_ORIGIN}/`)) return route.continue();
    const headers = await request.allHeaders();
    const reply = await askProgram('resourceRequest', [request.method(), headers.range || '', url]);
    if (!reply || !reply.answered) return route.abort('namenotresolved');
    return route.fulfill({
      status: reply.status,
      headers: parseHeaders(reply.headers),
      body: Buffer.from(reply.body, 'base64'),
    });
  }

  // A download Chromium starts (an attachment card, a link with a download attribute): the program hears
  // of it first, and a download it cancels is never saved.
  async function startDownload(download) {
    const verdict = await askProgram('downloadStarting', [download.suggestedFilename(), download.url()]);
    const cancelled = !verdict || verdict.cancel;
    emit({ event: 'download', uri: download.url(), suggestedName: download.suggestedFilename(), cancelled });
    if (cancelled) await download.cancel();
  }

  // A link the page activated (reported by the bridge instead of being followed): a new window or a
  // navigation, each only as far as the program lets it.
  async function followLink({ uri, newWindow, userInitiated }) {
    const flag = userInitiated ? '1' : '0';
    if (newWindow) {
      const verdict = await askProgram('newWindowRequested', [flag, uri]);
      if (verdict && !verdict.handled) {
        // Unhandled, the runtime opens the address in a window of its own.
        emit({ event: 'popupOpened', uri });
        const popup = await state.context.newPage();
        await popup.goto(uri).catch(() => {});
      }
      return;
    }
    const verdict = await askProgram('navigationStarting', [flag, uri]);
    if (!verdict || verdict.cancel) return;
    emit({ event: 'pageLeft', uri });
    state.approved.add(uri);
    await state.page.goto(uri).catch(() => {});
  }

  async function launchBrowser() {
    const { chromium } = require('playwright-core');
    let profile = options.profile;
    if (profile && profileInUse(profile)) {
      log(`${profile} is in use by another Chromium; this run uses a fresh profile`);
      profile = null;
    }
    if (!profile) {
      profile = fs.mkdtempSync(path.join(os.tmpdir(), 'tallowmere-devruntime-'));
      state.temporaryProfile = profile;
    }
    prepareProfile(profile);
    const args = [...CHROMIUM_ARGS];
    if (!options.headless) {
      // An app-style window (no tabs, no address bar) the size of the program's client area, over it;
      // --test-type keeps Chromium from warning about --no-sandbox in a bar above the page.
      args.push(`--window-size=${state.view.width},${state.view.height}`, '--app=data:,', '--test-type');
      if (state.screenPosition) args.push(`--window-position=${state.screenPosition.x},${state.screenPosition.y}`);
    }
    const context = await chromium.launchPersistentContext(profile, {
      executablePath: CHROMIUM_PATH,
      headless: options.headless,
      args,
      viewport: options.headless ? { ...state.view } : null,
    });
    state.context = context;
    await context.addInitScript({ path: BRIDGE_SCRIPT });
    if (options.dialect) {
      // Once per window, before the page's own script reads it; later choices on the switch stand.
      await context.addInitScript(
        ([origin, dialect]) => {
          if (location.origin !== origin || sessionStorage.getItem('tallowmere-dialect-set')) return;
          localStorage.setItem('md-dialect', dialect);
          sessionStorage.setItem('tallowmere-dialect-set', '1');
        },
        [PAGE_ORIGIN, options.dialect],
      );
    }
    await context.exposeBinding(HOST_POST_BINDING, (_source, json) => {
      emit({ event: 'pageMessage', json });
      sendCommand('webMessage', String(json));
    });
    await context.exposeBinding(LINK_BINDING, (_source, json) => {
      const link = JSON.parse(String(json));
      emit({ event: 'link', ...link });
      followLink(link).catch((error) => log(`following a link failed: ${error.message}`));
    });
    await context.route('**/*', (route) =>
      routeRequest(route).catch((error) => {
        if (!state.shuttingDown) log(`answering ${route.request().url()} failed: ${error.message}`);
        return route.abort('failed').catch(() => {});
      }),
    );
    const pages = context.pages();
    const page = pages.length > 0 ? pages[0] : await context.newPage();
    for (const extra of pages.slice(1)) await extra.close();
    state.page = page;
    page.on('close', () => {
      if (!state.shuttingDown) {
        state.browserClosedByUser = true;
        log('the Chromium window was closed; the program keeps running without a page');
        emit({ event: 'browserClosed' });
      }
    });
    page.on('pageerror', (error) => log(`page error: ${error.message}`));
    page.on('download', (download) =>
      startDownload(download).catch((error) => log(`a download failed: ${error.message}`)));
    emit({ event: 'browser', headless: options.headless, profile });
    log(`Chromium started (${options.headless ? 'headless' : 'in its own window'})`);
    return page;
  }

  // The view, launched on first use; null once the user has closed it.
  async function view() {
    if (state.browserClosedByUser || state.shuttingDown) return null;
    if (!state.launching) state.launching = launchBrowser();
    return state.launching;
  }

  async function applyBounds() {
    const page = await view();
    if (!page) return;
    if (options.headless) {
      await page.setViewportSize({ ...state.view });
      return;
    }
    const session = await state.context.newCDPSession(page);
    try {
      const { windowId } = await session.send('Browser.getWindowForTarget');
      await session.send('Browser.setWindowBounds', { windowId, bounds: { ...state.view } });
    } finally {
      await session.detach().catch(() => {});
    }
  }

  async function takeScreenshot(file) {
    const page = await view();
    if (!page) throw new Error('there is no page to take a picture of');
    // A document still arriving (converted in a worker, or inserted in slices) is waited for; pictures
    // beside the document arrive through the program a moment after the document itself.
    await page.evaluate(
      (waitMs) =>
        Promise.race([
          new Promise((resolve) => {
            const settled = () => (document.querySelector('#content[aria-busy]') ? requestAnimationFrame(settled) : resolve());
            settled();
          }),
          new Promise((resolve) => setTimeout(resolve, waitMs)),
        ]).then(() => Promise.race([
          Promise.all(
            [...document.images].map((img) =>
              img.complete
                ? null
                : new Promise((resolve) => {
                    img.addEventListener('load', resolve, { once: true });
                    img.addEventListener('error', resolve, { once: true });
                  }),
            ),
          ),
          new Promise((resolve) => setTimeout(resolve, waitMs)),
        ]))
          .then(() => document.fonts.ready)
          .then(() => new Promise((resolve) => requestAnimationFrame(() => requestAnimationFrame(resolve))))
          // Code blocks near the window are coloured (and formulas typeset) by workers a moment later.
          .then(() => new Promise((resolve) => {
            const started = performance.now();
            const settled = () => typeof codeBlocks !== 'object' ||
              (codeBlocks.pending.size === 0 && codeBlocks.near.length === 0 && codeBlocks.results.length === 0);
            const poll = () => (settled() || performance.now() - started > waitMs ? resolve() : setTimeout(poll, 20));
            poll();
          }))
          .then(() => new Promise((resolve) => requestAnimationFrame(() => requestAnimationFrame(resolve)))),
      IMAGE_WAIT_MS,
    );
    fs.mkdirSync(path.dirname(file), { recursive: true });
    await page.screenshot({ path: file });
    emit({ event: 'screenshot', file });
    return file;
  }

  // --screenshot: once the page shows what it should, take the picture and close the program.
  function screenshotMoment(reason) {
    if (!options.screenshot || state.screenshotTaken) return;
    state.screenshotTaken = true;
    enqueue('screenshot', async () => {
      await takeScreenshot(options.screenshot);
      log(`saved ${options.screenshot} (${reason})`);
      sendCommand('closeWindow', '');
    }).catch(() => sendCommand('closeWindow', ''));
  }

  function handleRecord(record) {
    // Response bodies are left out of the event stream: a video would flood it.
    emit({ event: 'record', record: record.type === 'resourceResponse' ? { ...record, body: undefined } : record });
    switch (record.type) {
      case 'hello':
        log(`program connected (Windows process ${record.processId})`);
        break;
      case 'bounds': {
        const width = Math.max(1, record.right - record.left);
        const height = Math.max(1, record.bottom - record.top);
        state.view = { width, height };
        state.screenPosition = { x: record.screenX, y: record.screenY };
        // The first bounds size (and place) the new window; later ones resize it.
        enqueue('resizing the view', () => (state.launching ? applyBounds() : view()));
        break;
      }
      case 'navigate':
        enqueue('navigation', async () => {
          const page = await view();
          if (!page) return;
          if (record.html !== undefined) {
            // A page given as text has no address and no origin of its own, as in the real control.
            await page.goto('about:blank');
            await page.setContent(record.html, { waitUntil: 'domcontentloaded' });
          } else {
            // The program's own navigation: NavigationStarting has already let it through.
            state.approved.add(record.uri);
            await page.goto(record.uri, { waitUntil: 'domcontentloaded' });
          }
          if (options.screenshot) {
            setTimeout(() => screenshotMoment('waited long enough'), SCREENSHOT_FALLBACK_MS).unref();
          }
        });
        break;
      case 'postJson':
        enqueue('delivering a host message', async () => {
          const page = await view();
          if (!page) return;
          await page.evaluate(([name, json]) => window[name](json), [DELIVER_FUNCTION, record.json]);
          if (options.screenshotAfter === 'openFile' && record.json.includes('"action":"openFile"')) {
            screenshotMoment('the document is shown');
          }
        });
        break;
      case 'delivered':
        if (!state.hostSawReady && record.json.includes('"ready"')) {
          state.hostSawReady = true;
          if (options.screenshotAfter === 'ready') screenshotMoment('the page is ready');
        }
        break;
      case 'printToPdf':
        // Headless Chromium prints the page as it stands, at the size of its @page rule.
        enqueue('printing to PDF', async () => {
          let written = false;
          try {
            const page = await view();
            if (page) {
              await page.pdf({ path: unixPath(record.path), preferCSSPageSize: true, printBackground: true });
              written = true;
            }
          } catch (e) {
            log(`printing to PDF failed: ${e.message}`);
          }
          sendCommand('printedToPdf', `${record.id}\n${written ? 1 : 0}`);
        });
        break;
      case 'resourceResponse':
      case 'navigationResult':
      case 'newWindowResult':
      case 'downloadResult':
        answer(record);
        break;
      case 'close':
        log('the program closed its view');
        shutdown(0);
        break;
      default:
        break;
    }
  }

  async function runControl(command) {
    const page = () =>
      view().then((p) => {
        if (!p) throw new Error('the page is gone');
        return p;
      });
    switch (command.op) {
      case 'text':
        return enqueue('text', async () => (await page()).evaluate((s) => {
          const element = document.querySelector(s);
          return element ? element.textContent : null;
        }, command.selector));
      case 'evaluate':
        return enqueue('evaluate', async () => (await page()).evaluate(command.expression));
      case 'visible':
        return enqueue('visible', async () => (await page()).locator(command.selector).first().isVisible());
      case 'click':
        return enqueue('click', async () => {
          await (await page()).locator(command.selector).first().click();
          return true;
        });
      case 'press':
        // A key as the reader presses it ("Alt+ArrowLeft"), where the focus is.
        return enqueue('press', async () => {
          await (await page()).keyboard.press(command.key);
          return true;
        });
      case 'scroll':
        // Scrolls the page to `y` when given; answers the page's vertical scroll offset either way.
        return enqueue('scroll', async () => (await page()).evaluate((y) => {
          if (typeof y === 'number') window.scrollTo(0, y);
          return window.scrollY;
        }, command.y));
      case 'screenshot':
        return enqueue('screenshot', () => takeScreenshot(path.resolve(command.path)));
      case 'drop':
        sendCommand('drop', command.path);
        return true;
      case 'closeProgram':
        sendCommand('closeWindow', '');
        return true;
      default:
        throw new Error(`unknown op ${command.op}`);
    }
  }

  function listenForControl() {
    const lines = readline.createInterface({ input: process.stdin });
    lines.on('line', (line) => {
      if (!line.trim()) return;
      let command;
      try {
        command = JSON.parse(line);
      } catch (error) {
        emit({ event: 'reply', id: null, ok: false, error: `not JSON: ${error.message}` });
        return;
      }
      Promise.resolve()
        .then(() => runControl(command))
        .then(
          (value) => emit({ event: 'reply', id: command.id, ok: true, value }),
          (error) => emit({ event: 'reply', id: command.id, ok: false, error: error.message }),
        );
    });
  }

  async function closeBrowser() {
    const launching = state.launching;
    if (!launching) return;
    try {
      await launching;
    } catch {
      return; // never started
    }
    if (state.context) {
      await withTimeout(state.context.close(), BROWSER_CLOSE_TIMEOUT_MS, 'closing Chromium').catch((error) =>
        log(error.message),
      );
    }
  }

  async function shutdown(code) {
    if (state.shuttingDown) return;
    state.shuttingDown = true;
    await closeBrowser();
    if (state.socket) state.socket.destroy();
    for (const resolve of state.pending.values()) resolve(null);
    state.pending.clear();
    if (state.temporaryProfile) fs.rmSync(state.temporaryProfile, { recursive: true, force: true });
    emit({ event: 'exit', code });
    process.exitCode = code;
    // Leave nothing pending behind: stdin (control), timers.
    process.stdin.destroy();
    setImmediate(() => process.exit(code));
  }

  function start() {
    const server = net.createServer({ noDelay: true });
    const connectTimer = setTimeout(() => {
      log(`no program connected within ${options.connectTimeoutS} s`);
      server.close();
      shutdown(1);
    }, options.connectTimeoutS * 1000);

    server.on('connection', (socket) => {
      if (state.socket) {
        socket.destroy(); // one program, one view
        return;
      }
      clearTimeout(connectTimer);
      server.close(); // nothing else may connect
      state.socket = socket;
      socket.setNoDelay(true);
      const read = createFrameReader(
        (body) => {
          let record;
          try {
            record = JSON.parse(body.toString('utf8'));
          } catch (error) {
            log(`unreadable record: ${error.message}`);
            return;
          }
          handleRecord(record);
        },
        (error) => {
          log(error.message);
          socket.destroy();
        },
      );
      socket.on('data', read);
      socket.on('error', (error) => log(`connection: ${error.message}`));
      socket.on('close', () => {
        if (!state.shuttingDown) log('the program is gone');
        shutdown(0);
      });
    });
    server.on('error', (error) => {
      log(`cannot listen: ${error.message}`);
      shutdown(1);
    });
    server.listen({ host: '127.0.0.1', port: 0 }, () => {
      const { port } = server.address();
      emit({ event: 'listening', port });
      log(`listening on 127.0.0.1:${port}`);
    });

    for (const [signal, number] of [['SIGINT', 2], ['SIGTERM', 15], ['SIGHUP', 1]]) {
      process.on(signal, () => shutdown(128 + number));
    }
    if (options.control) listenForControl();
  }

  return { start };
}

if (require.main === module) {
  let options;
  try {
    options = parseArgs(process.argv.slice(2));
  } catch (error) {
    log(error.message);
    process.exit(2);
  }
  createDriver(options).start();
}

module.exports = { parseArgs, createFrameReader, encodeCommand };
