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
// First it times the page's own start-up, from navigation to the end of its DOMContentLoaded event
// (parsing the page with its embedded libraries, compiling and running its script), median of
// START_UP_RUNS fresh tabs: the libraries must stay text until a block needs them. Compare two
// builds by running it with PAGEWRIGHT_HTML set to each; `--start-up` stops after that.
//
// The document uses the page's video, audio and attachment extensions, which markdown-it shows as
// plain links; the hundreds of media players they create are a large share of the page's time.
// A second round therefore times a 1 MiB document of the same kind with those three extensions
// taken out, where both produce comparable content.
const fs = require('node:fs');
const path = require('node:path');
const { launchBrowser, installWebViewStandIn, pageHtml, startServer } = require('../tests/browser/harness');
const { realisticDocument } = require('../tests/page/realistic-document.js');

const MIB = 1024 * 1024;
const RUNS = 9;
const START_UP_RUNS = 15;
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

// The page is served over HTTP from this machine, as the program serves it from memory.
async function measureStartUp(browser) {
  const server = await startServer();
  const total = [];
  const parsed = [];
  try {
    for (let i = 0; i <= START_UP_RUNS; i++) {
      const page = await browser.newPage({ viewport: { width: 1280, height: 800 } });
      await page.goto(server.pageUrl);
      const timing = await page.evaluate(() => {
        const entry = performance.getEntriesByType('navigation')[0];
        return { total: entry.domContentLoadedEventEnd, parsed: entry.domContentLoadedEventEnd - entry.responseStart };
      });
      // The first run warms the browser up.
      if (i > 0) {
        total.push(timing.total);
        parsed.push(timing.parsed);
      }
      await page.close();
    }
  } finally {
    await server.close();
  }
  console.log(`Page start-up (${Buffer.byteLength(pageHtml())} bytes), median of ${START_UP_RUNS}: navigation -> DOMContentLoaded ` +
    `done ${median(total).toFixed(1)} ms, of which first byte -> done (parse, compile, run) ${median(parsed).toFixed(1)} ms`);
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
    // A data: URL: relative image and media sources in the document resolve to nothing, so no
    // network traffic runs beside the measurement.
    await page.goto('data:text/html;charset=utf-8;base64,' + Buffer.from(pageHtml()).toString('base64'));
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
