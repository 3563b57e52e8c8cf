'use strict';
// Large-document benchmark: `node bench/large-document.js [--sizes 1,10] [--huge]` (after building
// the viewer_page target; the page is read from PAGEWRIGHT_HTML, default build/pagewright.html).
// While investigating: `--dialects github` measures only the dialects named, `--no-baseline` skips
// the baseline (no ratios then), `--no-plain` skips the documents without media lines, and
// `--trace` records a Chromium trace of each dialect's measurement and lists what ran in every
// main-thread task over 100 ms after the first screen, and in the live reload and the switch.
//
// Opens realistic documents of 1 and 10 MiB, with and without the media lines, in headless
// Chromium, through the page's openFile message in each dialect (classic, GitHub) and once as a
// baseline: the same text converted by markdown-it and set as the inner HTML of the same page's
// content element (same style sheet, same browser, same run). Each measurement gets a fresh browser, so the renderer's
// memory is its own. For each it prints, as absolute figures and as ratios to the baseline, with
// the goal beside each ratio:
// - first screen: from the message to the end of the first frame that shows the document's first
//   screen (for the baseline that frame is its full render; the GitHub dialect's document arrives
//   from its worker some frames later); goal 0.3x the baseline's full render
//   at 1 MiB, 0.1x at 10 MiB;
// - complete: until statistics, outline and title are all in place;
// - longest main-thread task from the delivery on (long-task entries), before the first screen and
//   after it, separately; goal 100 ms;
// - the time from the delivery until the page first answers a key (a key pressed just after the
//   delivery, handled once the main thread is free);
// - then, with the reader three quarters down the document, a live reload (the same delivery again)
//   and a switch of dialect: the longest task from each until its document is complete; goal 100 ms;
// - media elements that started loading (player work) and how many lie far from the viewport;
//   goal: none far away;
// - the renderer's peak and settled resident memory; goal 1.2x the baseline's (at 50 MiB).
// --huge adds the 50 MiB document with media lines (slow: run it a few times only).
const fs = require('node:fs');
const path = require('node:path');
const { launchBrowser, installWebViewStandIn, pageHtml, loadPage } = require('../tests/browser/harness');
const { realisticDocument } = require('../tests/page/realistic-document.js');

const MIB = 1024 * 1024;
// One media or attachment extension ("!video[…](…)", "!audio[…](…)", "!file[…](…)").
const MEDIA_EXTENSION_RE = /!(?:video|audio|file)\[[^\]]*\]\([^)]*\)/g;
const MARKDOWN_IT_BUNDLE = path.join(__dirname, '..', 'node_modules', 'markdown-it', 'dist', 'markdown-it.min.js');
const VIEWPORT = { width: 1280, height: 800 };
const FIRST_SCREEN_GOAL = { 1: 0.3, 10: 0.05, 50: 0.02 };
const LONGEST_TASK_GOAL_MS = 100;
// How long after sending the delivery the key is pressed, and the key (one that changes nothing).
const KEY_AFTER_DELIVERY_MS = 20;
const PROBE_KEY = 'Shift';
// Where the reader is when the document is delivered again or switched: this share of it down.
const READER_DOWN = 0.75;
const MEMORY_GOAL = 1.2;
// Media this far below the viewport (in viewport heights) count as far away.
const FAR_VIEWPORTS = 3;
// With --trace: the tasks listed, and the events within them that are shown.
const TRACED_TASK_MS = Number(option('--trace-over', 100));
const TRACED_EVENT_MS = 10;
const TRACE_CATEGORIES = ['devtools.timeline', 'disabled-by-default-devtools.timeline', 'v8', 'blink.user_timing'];
// Room for a whole run's trace (the browser keeps it until the end), in KiB.
const TRACE_BUFFER_KB = 2 * 1024 * 1024;
// Trace events that only frame others.
const TRACE_WRAPPERS = new Set(['RunTask', 'ThreadControllerImpl::RunTask', 'RunMicrotasks', 'v8.run', 'v8.callFunction']);

function option(name, fallback) {
  const at = process.argv.indexOf(name);
  return at === -1 ? fallback : process.argv[at + 1];
}

// The whole lines of text that fit in the given number of UTF-8 bytes.
function firstBytes(text, bytes) {
  const head = Buffer.from(text, 'utf8').subarray(0, bytes).toString('utf8');
  return head.slice(0, head.lastIndexOf('\n') + 1);
}

function documentOf(mib, media) {
  if (media) return realisticDocument(mib * MIB);
  return firstBytes(realisticDocument(mib * MIB * 1.3).replace(MEDIA_EXTENSION_RE, ''), mib * MIB);
}

// Runs in the page: shows the text either through the page's own path or through markdown-it,
// and resolves with the timings. The first frame after the message is the first screen; the
// document is complete when the content is no longer marked busy.
function measureInPage({ text, baseline, dialect, farViewports }) {
  return new Promise((resolve) => {
    const content = document.getElementById('content');
    const longTasks = [];
    new PerformanceObserver((list) => longTasks.push(...list.getEntries())).observe({ type: 'longtask' });
    let keyAnswered = null;
    addEventListener('keydown', () => {
      if (keyAnswered === null) keyAnswered = performance.now();
    }, { capture: true });
    const afterNextFrame = (callback) => requestAnimationFrame(() => {
      const channel = new MessageChannel();
      channel.port1.onmessage = () => callback(performance.now());
      channel.port2.postMessage(0);
    });
    if (!baseline) setDialect(dialect);
    window.__delivering();
    const t0 = performance.now();
    if (baseline) content.innerHTML = window.__markdownIt.render(text);
    else window.__host.send({ action: 'openFile', name: 'large.md', content: text, generation: 1 });
    const dispatched = performance.now() - t0;
    // The first frame that shows the document (not the welcome screen) filling the window, or whole.
    const shows = () => !content.querySelector('#status') &&
      (content.getBoundingClientRect().bottom >= innerHeight || content.getAttribute('aria-busy') !== 'true');
    const afterShowingFrame = (callback) => afterNextFrame((frame) => (shows() ? callback(frame) : afterShowingFrame(callback)));
    afterShowingFrame((firstFrame) => {
      performance.mark('first-screen');
      const filled = shows();
      const waitForComplete = () => {
        if (content.getAttribute('aria-busy') === 'true') {
          setTimeout(waitForComplete, 20);
          return;
        }
        const complete = performance.now();
        // Idle: an idle period of nearly the full 50 ms, with nothing else waiting.
        const waitForIdle = () => requestIdleCallback((deadline) => {
          if (deadline.timeRemaining() < 45) {
            waitForIdle();
            return;
          }
          const idle = performance.now();
          setTimeout(() => {
            const media = [...content.querySelectorAll('video, audio')];
            const far = innerHeight * farViewports;
            const loading = media.filter((m) => m.networkState !== HTMLMediaElement.NETWORK_EMPTY);
            const afterFirst = longTasks.filter((t) => t.startTime + t.duration > firstFrame);
            const beforeFirst = longTasks.filter((t) => t.startTime < firstFrame);
            resolve({
              longestBeforeFirst: Math.max(0, ...beforeFirst.map((t) => Math.min(firstFrame, t.startTime + t.duration) - Math.max(t0, t.startTime))),
              keyAnswered: keyAnswered === null ? null : keyAnswered - t0,
              dispatched,
              firstScreen: firstFrame - t0,
              filled,
              complete: complete - t0,
              idle: idle - t0,
              longestAfterFirst: Math.max(0, ...afterFirst.map((t) => t.startTime + t.duration - Math.max(t.startTime, firstFrame))),
              longTasksAfterFirst: afterFirst.filter((t) => t.duration > 100).length,
              longTaskTimes: longTasks.filter((t) => t.startTime >= t0).map((t) => [t.startTime, t.duration]),
              media: media.length,
              mediaLoading: loading.length,
              mediaLoadingFar: loading.filter((m) => m.getBoundingClientRect().top > far).length,
              meta: document.getElementById('meta').textContent,
              outline: document.querySelectorAll('#tocList a').length,
              title: document.title,
            });
          }, 0);
        });
        waitForIdle();
      };
      waitForComplete();
    });
  });
}

// Runs in the page, on a document shown whole: puts the reader READER_DOWN of the way down, then
// delivers the document again (reload) or switches the dialect (switch) and resolves, once the
// document is complete again, with the time that took and the longest main-thread task from the
// action on.
function measureAgainInPage({ action, text, down }) {
  return new Promise((resolve) => {
    const content = document.getElementById('content');
    window.scrollTo(0, document.documentElement.scrollHeight * down);
    const longTasks = [];
    // A frame and a pause first: the scroll's own layout is not the action's.
    requestAnimationFrame(() => setTimeout(() => {
      new PerformanceObserver((list) => longTasks.push(...list.getEntries())).observe({ type: 'longtask' });
      const t0 = performance.now();
      if (action === 'reload') window.__host.send({ action: 'openFile', name: 'large.md', content: text, generation: 1 });
      else setDialect(chosenDialect === 'github' ? 'classic' : 'github');
      const waitForComplete = () => {
        if (content.getAttribute('aria-busy') === 'true') {
          setTimeout(waitForComplete, 20);
          return;
        }
        const complete = performance.now() - t0;
        const after = longTasks.filter((t) => t.startTime + t.duration > t0);
        requestIdleCallback(() => setTimeout(() => resolve({
          complete,
          longest: Math.max(0, ...after.map((t) => t.startTime + t.duration - Math.max(t0, t.startTime))),
          longTaskTimes: after.map((t) => [t.startTime, t.duration]),
        }), 0));
      };
      setTimeout(waitForComplete, 20);
    }, 100));
  });
}

async function rendererMemory(browser) {
  const session = await browser.newBrowserCDPSession();
  const { processInfo } = await session.send('SystemInfo.getProcessInfo');
  await session.detach();
  let peak = 0;
  let resident = 0;
  for (const info of processInfo.filter((p) => p.type === 'renderer')) {
    const status = fs.readFileSync(`/proc/${info.id}/status`, 'utf8');
    peak = Math.max(peak, Number(/VmHWM:\s+(\d+)/.exec(status)[1]) * 1024);
    resident = Math.max(resident, Number(/VmRSS:\s+(\d+)/.exec(status)[1]) * 1024);
  }
  return { peak, resident };
}

// What ran in each long task that took over TRACED_TASK_MS (times as the page's long-task entries
// give them, each with what it belongs to: the opening, the live reload or the switch): the main thread's trace events of TRACED_EVENT_MS or more
// within it, outermost first, nested ones indented. The first-screen mark gives the page's time
// in the trace's clock.
function longTasksInTrace(events, longTaskTimes) {
  const mark = events.find((e) => e.name === 'first-screen');
  if (!mark) return [];
  const toTrace = (ms) => mark.ts + (ms - mark.args.data.startTime) * 1000;
  const main = events.filter((e) => e.pid === mark.pid && e.tid === mark.tid && e.ph === 'X' && !TRACE_WRAPPERS.has(e.name));
  return longTaskTimes.filter(([, duration]) => duration > TRACED_TASK_MS).map(([start, duration, during]) => {
    const from = toTrace(start);
    const to = toTrace(start + duration);
    const inside = main.filter((e) => e.ts < to && e.ts + e.dur > from).sort((a, b) => a.ts - b.ts || b.dur - a.dur);
    const open = [];
    const lines = inside.map((e) => {
      while (open.length && open.at(-1).ts + open.at(-1).dur <= e.ts) open.pop();
      const depth = open.length;
      open.push(e);
      const data = (e.args && (e.args.data || e.args.beginData)) || {};
      const where = data.functionName !== undefined || data.lineNumber !== undefined
        ? ` ${data.functionName || '(anonymous)'}:${data.lineNumber}` : '';
      const thread = e.tdur === undefined ? '' : ` (thread ${(e.tdur / 1000).toFixed(0)} ms)`;
      return `${'  '.repeat(depth)}${e.name}${where} ${(e.dur / 1000).toFixed(0)} ms${thread}`;
    });
    // The task itself, by the main thread's time: steadier than the wall time on a loaded machine.
    const task = events.filter((e) => e.pid === mark.pid && e.tid === mark.tid && e.ph === 'X' && (e.name === 'RunTask' || e.name === 'ThreadControllerImpl::RunTask') &&
      e.ts < to && e.ts + e.dur > from).sort((a, b) => b.dur - a.dur)[0];
    const threadMs = task && task.tdur !== undefined ? task.tdur / 1000 : null;
    return { at: (from - mark.ts) / 1000, duration, threadMs, during, lines };
  });
}

// Starts tracing the browser; stop() resolves with the events that can matter to longTasksInTrace
// (a whole run's trace is too large to hold as one text).
async function startTrace(browser) {
  const session = await browser.newBrowserCDPSession();
  const kept = [];
  session.on('Tracing.dataCollected', ({ value }) => {
    for (const e of value) {
      if (e.name === 'first-screen' || (e.ph === 'X' && e.dur >= TRACED_EVENT_MS * 1000)) kept.push(e);
    }
  });
  await session.send('Tracing.start', {
    transferMode: 'ReportEvents',
    traceConfig: { recordMode: 'recordAsMuchAsPossible', traceBufferSizeInKb: TRACE_BUFFER_KB, includedCategories: TRACE_CATEGORIES },
  });
  return {
    stop: async () => {
      const complete = new Promise((resolve) => session.once('Tracing.tracingComplete', resolve));
      await session.send('Tracing.end');
      await complete;
      await session.detach();
      return kept;
    },
  };
}

async function measure(text, baseline, dialect = 'classic', trace = false) {
  const browser = await launchBrowser();
  try {
    const page = await browser.newPage({ viewport: VIEWPORT });
    await page.addInitScript(installWebViewStandIn);
    // A data: URL: relative media sources resolve to nothing, so no network traffic runs beside
    // the measurement (a media element that starts loading still does its player work).
    await loadPage(page, pageHtml());
    if (baseline) {
      // Evaluated through the debugging protocol, which the page's script policy does not govern.
      await page.evaluate(fs.readFileSync(MARKDOWN_IT_BUNDLE, 'utf8'));
      await page.evaluate(() => {
        window.__markdownIt = window.markdownit();
      });
    }
    const tracing = trace ? await startTrace(browser) : null;
    // A key pressed just after the delivery (the page calls out as it delivers): the page answers it
    // once its main thread is free.
    let pressed = null;
    await page.exposeBinding('__delivering', () => {
      pressed = new Promise((resolve) => setTimeout(resolve, KEY_AFTER_DELIVERY_MS)).then(() => page.keyboard.press(PROBE_KEY));
    });
    const result = await page.evaluate(measureInPage, { text, baseline, dialect, farViewports: FAR_VIEWPORTS });
    await pressed;
    const memory = await rendererMemory(browser);
    if (!baseline) {
      result.reload = await page.evaluate(measureAgainInPage, { action: 'reload', text, down: READER_DOWN });
      result.switch = await page.evaluate(measureAgainInPage, { action: 'switch', text, down: READER_DOWN });
    }
    const taskTimes = (during, times) => (times || []).map(([start, duration]) => [start, duration, during]);
    const tracedTasks = tracing ? longTasksInTrace(await tracing.stop(), [
      ...taskTimes('opening', result.longTaskTimes),
      ...taskTimes('live reload', result.reload && result.reload.longTaskTimes),
      ...taskTimes('dialect switch', result.switch && result.switch.longTaskTimes),
    ]) : null;
    return { ...result, ...memory, tracedTasks };
  } finally {
    await browser.close();
  }
}

const seconds = (ms) => (ms / 1000).toFixed(2).padStart(7) + ' s';
const megabytes = (bytes) => (bytes / MIB).toFixed(0).padStart(6) + ' MB';
const ratioOf = (a, b) => (a / b).toFixed(2) + 'x';

async function compare(mib, media, goals, run) {
  const text = documentOf(mib, media);
  const label = `${mib} MiB ${media ? 'with' : 'without'} media lines`;
  console.log(`\n${label}: ${Buffer.byteLength(text, 'utf8')} bytes UTF-8`);
  const base = run.baseline ? await measure(text, true) : null;
  if (base) {
    console.log(`  baseline (markdown-it + innerHTML): full render ${seconds(base.firstScreen)}, busy until ${seconds(base.idle)}, ` +
      `${base.mediaLoading} of ${base.media} media loading, memory peak ${megabytes(base.peak)}, settled ${megabytes(base.resident)}`);
  }
  for (const dialect of run.dialects) report(dialect, base, await measure(text, false, dialect, run.trace), goals);
}

function report(dialect, base, ours, goals) {
  const ratio = base ? ratioOf : () => '-';
  base = base || {};
  console.log(`  ${dialect} dialect:`);
  console.log(`    first screen ${seconds(ours.firstScreen)}${ours.filled ? '' : ' (NOT FILLED)'}, complete ${seconds(ours.complete)}, ` +
    `busy until ${seconds(ours.idle)}; shows ${ours.meta}; ${ours.outline} outline entries; title "${ours.title}"`);
  const firstGoal = goals.firstScreen;
  console.log(`    first screen / baseline full render: ${ratio(ours.firstScreen, base.firstScreen)}` +
    (firstGoal ? ` (goal <= ${firstGoal}x)` : ''));
  console.log(`    complete / baseline full render: ${ratio(ours.complete, base.firstScreen)}; busy / baseline busy: ${ratio(ours.idle, base.idle)}`);
  console.log(`    longest task from the delivery to the first screen: ${ours.longestBeforeFirst.toFixed(0)} ms, after it: ` +
    `${ours.longestAfterFirst.toFixed(0)} ms, ${ours.longTasksAfterFirst} over ${LONGEST_TASK_GOAL_MS} ms (goal <= ${LONGEST_TASK_GOAL_MS} ms)`);
  console.log(`    the page first answers a key ${ours.keyAnswered === null ? 'never' : seconds(ours.keyAnswered).trim()} after the delivery`);
  for (const [what, again] of [['live reload', ours.reload], ['dialect switch', ours.switch]]) {
    console.log(`    ${what} ${READER_DOWN * 100}% down: complete ${seconds(again.complete).trim()}, longest task ` +
      `${again.longest.toFixed(0)} ms (goal <= ${LONGEST_TASK_GOAL_MS} ms)`);
  }
  console.log(`    media loading: ${ours.mediaLoading} of ${ours.media}, ${ours.mediaLoadingFar} more than ${FAR_VIEWPORTS} screens ` +
    'below the viewport (goal 0)');
  console.log(`    memory: peak ${megabytes(ours.peak)}, settled ${megabytes(ours.resident)}; peak / baseline ${ratio(ours.peak, base.peak)}, ` +
    `settled / baseline ${ratio(ours.resident, base.resident)}` + (goals.memory ? ` (goal <= ${goals.memory}x)` : ''));
  for (const task of ours.tracedTasks || []) {
    const thread = task.threadMs === null ? '' : `, thread ${task.threadMs.toFixed(0)} ms`;
    console.log(`    traced task of ${task.duration.toFixed(0)} ms${thread} (${task.during}), ${seconds(task.at).trim()} after the first screen:`);
    for (const line of task.lines) console.log(`      ${line}`);
  }
}

async function main() {
  const sizes = option('--sizes', '1,10').split(',').map(Number).filter((mib) => mib > 0);
  const run = {
    dialects: option('--dialects', 'classic,github').split(','),
    baseline: !process.argv.includes('--no-baseline'),
    trace: process.argv.includes('--trace'),
  };
  const kinds = process.argv.includes('--no-plain') ? [true] : [true, false];
  console.log(`Chromium, viewport ${VIEWPORT.width} x ${VIEWPORT.height}, one fresh browser per measurement`);
  for (const mib of sizes) {
    for (const media of kinds) await compare(mib, media, { firstScreen: FIRST_SCREEN_GOAL[mib] }, run);
  }
  if (process.argv.includes('--huge')) await compare(50, true, { firstScreen: FIRST_SCREEN_GOAL[50], memory: MEMORY_GOAL }, run);
}

main().catch((error) => {
  console.error(error);
  process.exit(1);
});
