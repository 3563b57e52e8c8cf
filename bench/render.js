'use strict';
// Page render benchmark: `node bench/render.js` (after building the viewer_page target; the page
// is read from PAGEWRIGHT_HTML, default build/pagewright.html).
//
// In headless Chromium, times a 1 MiB document from the moment its openFile message reaches the
// page to a finished render: conversion, disarming, content, statistics, title and outline, and
// the first frame that shows the finished page (style, layout and paint). The page inserts a
// large document in slices between frames, so its render is finished with the frame after the
// last slice; the first slice's script time is printed beside it. In the same page, times the
// same text converted by markdown-it and set as the content, up to the frame that shows it. Both
// end at a painted frame, because the page paints its frames while it inserts: timing the
// baseline only to its layout would leave out the paint that the page's figure includes. Prints
// the median of each and the ratio.
// Goal: page / markdown-it <= 1.00 (to the painted frame, with media extensions).
//
// First it times the page's start-up as the program serves it (PAGEWRIGHT_PROGRAM_HTML, default
// build/program-page.html: the page without the libraries its workers load from the program's
// origin), and the stand-alone page beside it, each in fresh tabs taking turns, median of
// START_UP_RUNS: from navigation to the page's ready message (its script has run, its welcome screen
// is up and it can take a document: the start-up the host waits for) and to the end of its
// DOMContentLoaded event. The libraries must stay out of both: `--against old.html` adds a page built
// before them (for instance `cmake -P cmake/AssemblePage.cmake` on an older commit) and prints the
// ratios to it; goal <= 1.05x. `--start-up` stops after that.
//
// The document uses the page's video, audio and attachment extensions, which markdown-it shows as
// plain links; the hundreds of media players they create are a large share of the page's time.
// A second round therefore times a 1 MiB document of the same kind with those three extensions
// taken out, where both produce comparable content.
const fs = require('node:fs');
const path = require('node:path');
const { PAGE_PATH, launchBrowser, installWebViewStandIn, pageHtml, loadPage, startServer } = require('../tests/browser/harness');
const { realisticDocument } = require('../tests/page/realistic-document.js');

const MIB = 1024 * 1024;
const RUNS = 9;
const START_UP_RUNS = 40;
// One media or attachment extension ("!video[…](…)", "!audio[…](…)", "!file[…](…)").
const MEDIA_EXTENSION_RE = /!(?:video|audio|file)\[[^\]]*\]\([^)]*\)/g;
const MARKDOWN_IT_BUNDLE = path.join(__dirname, '..', 'node_modules', 'markdown-it', 'dist', 'markdown-it.min.js');

function median(samples) {
  const sorted = [...samples].sort((a, b) => a - b);
  return sorted[sorted.length >> 1];
}

// Both measurements run inside the page and start from an empty content area at the top. Each
// gives two times: the script's work (for the page, its first slice) and the whole render up to the
// frame that shows it, which is the same kind of work for both and usually the larger part.
function measurePage(page, text) {
  return page.evaluate(
    (md) =>
      new Promise((resolve) => {
        const content = document.getElementById('content');
        content.textContent = '';
        window.scrollTo(0, 0);
        document.body.offsetHeight;
        const message = { action: 'openFile', name: 'bench.md', content: md };
        let script = 0;
        const t0 = performance.now();
        const finished = () => {
          observer.disconnect();
          window.__afterNextFrame(() => resolve({ script, painted: performance.now() - t0 }));
        };
        // The content stops being busy in the task that puts the last slice in.
        const observer = new MutationObserver(() => {
          if (!content.hasAttribute('aria-busy')) finished();
        });
        observer.observe(content, { attributes: true, attributeFilter: ['aria-busy'] });
        window.__host.send(message);
        script = performance.now() - t0;
        if (!content.hasAttribute('aria-busy')) finished();
      }),
    text,
  );
}

function measureMarkdownIt(page, text) {
  return page.evaluate((md) => {
    const content = document.getElementById('content');
    content.textContent = '';
    // Without the page's large-document rules, which its own render may have left on.
    content.className = '';
    window.scrollTo(0, 0);
    document.body.offsetHeight;
    return new Promise((resolve) => {
      const t0 = performance.now();
      content.innerHTML = window.__markdownIt.render(md);
      const script = performance.now() - t0;
      window.__afterNextFrame(() => resolve({ script, painted: performance.now() - t0 }));
    });
  }, text);
}

// Runs in a tab before the page's own scripts: a host channel that notes when the page posts ready.
function noteReady() {
  window.chrome = window.chrome || {};
  window.chrome.webview = Object.assign(new EventTarget(), {
    postMessage(message) {
      if (message && message.action === 'ready' && window.__readyAt === undefined) window.__readyAt = performance.now();
    },
  });
}

// The pages are served over HTTP from this machine, as the program serves its page from memory; each
// run opens every page once, in turns, so that all see the same load of the machine.
async function measureStartUp(browser) {
  const pages = [
    ['the program\'s page', process.env.PAGEWRIGHT_PROGRAM_HTML || path.join(path.dirname(PAGE_PATH), 'program-page.html')],
    ['the stand-alone page', PAGE_PATH],
  ];
  const against = process.argv.indexOf('--against');
  if (against !== -1) pages.unshift(['the page before', path.resolve(process.argv[against + 1])]);
  const files = {};
  pages.forEach(([, file], i) => (files[`/start-up-${i}.html`] = fs.readFileSync(file, 'utf8')));
  const server = await startServer(files);
  const times = pages.map(() => ({ ready: [], loaded: [] }));
  try {
    for (let run = 0; run <= START_UP_RUNS; run++) {
      for (let i = 0; i < pages.length; i++) {
        const tab = await browser.newPage({ viewport: { width: 1280, height: 800 } });
        await tab.addInitScript(noteReady);
        await tab.goto(`${server.origin}/start-up-${i}.html`);
        const timing = await tab.evaluate(() => {
          const entry = performance.getEntriesByType('navigation')[0];
          return { ready: window.__readyAt, loaded: entry.domContentLoadedEventEnd };
        });
        // The first run warms the browser up.
        if (run > 0) {
          times[i].ready.push(timing.ready);
          times[i].loaded.push(timing.loaded);
        }
        await tab.close();
      }
    }
  } finally {
    await server.close();
  }
  console.log(`Page start-up, median of ${START_UP_RUNS} (navigation -> ready posted, navigation -> DOMContentLoaded done):`);
  // Each ratio is the median of the ratios within a run (the tabs of one run saw the same load).
  const pairedRatio = (i, key) => median(times[i][key].map((t, run) => t / times[0][key][run]));
  pages.forEach(([name, file], i) => {
    const ready = median(times[i].ready);
    const loaded = median(times[i].loaded);
    const ratios = against === -1 || i === 0 ? '' :
      `   ${pairedRatio(i, 'ready').toFixed(2)}x, ${pairedRatio(i, 'loaded').toFixed(2)}x the page before (goal <= 1.05x)`;
    console.log(`  ${name.padEnd(22)}${String(fs.statSync(file).size).padStart(8)} bytes ${ready.toFixed(1).padStart(7)} ms ` +
      `${loaded.toFixed(1).padStart(7)} ms${ratios}`);
  });
}

// The whole lines of text that fit in 1 MiB of UTF-8.
function firstMebibyte(text) {
  const head = Buffer.from(text, 'utf8').subarray(0, MIB).toString('utf8');
  return head.slice(0, head.lastIndexOf('\n') + 1);
}

// Times the page and markdown-it on one text, alternating so both see the same machine load.
async function compare(page, label, text) {
  const size = await page.evaluate((md) => ({ bytes: new Blob([md]).size, units: md.length }), text);
  console.log(`${label}: ${size.bytes} bytes UTF-8, ${size.units} UTF-16 units`);
  await measurePage(page, text);
  await measureMarkdownIt(page, text);
  const pageTimes = [];
  const markdownItTimes = [];
  for (let i = 0; i < RUNS; i++) {
    pageTimes.push(await measurePage(page, text));
    markdownItTimes.push(await measureMarkdownIt(page, text));
  }
  const rendered = await page.evaluate(() => ({
    meta: document.getElementById('meta').textContent,
    outline: document.querySelectorAll('#tocList a').length,
  }));
  console.log(`  page shows: ${rendered.meta}; ${rendered.outline} outline entries`);
  console.log('                                    script       painted (page: first slice, then complete)');
  const row = (name, times) => {
    const script = median(times.map((t) => t.script));
    const painted = median(times.map((t) => t.painted));
    console.log(`  ${name.padEnd(32)}${script.toFixed(1).padStart(7)} ms ${painted.toFixed(1).padStart(9)} ms`);
    return { script, painted };
  };
  const ours = row('page render (openFile -> done)', pageTimes);
  const theirs = row('markdown-it render + content', markdownItTimes);
  console.log(`  page / markdown-it: ${(ours.script / theirs.script).toFixed(2)} script, ` +
    `${(ours.painted / theirs.painted).toFixed(2)} painted (goal <= 1.00)`);
}

async function main() {
  const text = realisticDocument(MIB);
  const browser = await launchBrowser();
  try {
    const page = await browser.newPage({ viewport: { width: 1280, height: 800 } });
    await page.addInitScript(installWebViewStandIn);
    // On an address that never resolves: relative image and media sources in the document load
    // nothing, so no network traffic runs beside the measurement.
    await loadPage(page, pageHtml());
    // Evaluated through the debugging protocol, which the page's script policy does not govern.
    await page.evaluate(fs.readFileSync(MARKDOWN_IT_BUNDLE, 'utf8'));
    await page.evaluate(() => {
      window.__markdownIt = window.markdownit();
      // Calls back once the next frame has been produced: after its animation frame, a task.
      window.__afterNextFrame = (callback) =>
        requestAnimationFrame(() => {
          const channel = new MessageChannel();
          channel.port1.onmessage = callback;
          channel.port2.postMessage(0);
        });
    });

    console.log(`Chromium ${browser.version()}, median of ${RUNS} runs each`);
    await measureStartUp(browser);
    if (process.argv.includes('--start-up')) return;
    await compare(page, 'Document with media extensions', text);
    const plain = realisticDocument(MIB * 1.3).replace(MEDIA_EXTENSION_RE, '');
    await compare(page, 'Same kind of document without them', firstMebibyte(plain));
  } finally {
    await browser.close();
  }
}

main().catch((error) => {
  console.error(error);
  process.exit(1);
});
