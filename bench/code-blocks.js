'use strict';
// Code-block benchmark: `node bench/code-blocks.js` (after building the viewer_page target; the
// page is read from PAGEWRIGHT_HTML, default build/pagewright.html).
//
// Opens a document of 2,000 fenced code blocks in several languages (with a paragraph between
// them) in headless Chromium through the page's openFile message, and the same document with the
// languages taken out of its fences, so that no block is coloured. Each in a fresh browser,
// RUNS times alternately. Prints the medians of:
// - first screen: from the message to the end of the first frame; goal: with colours within 1.1x
//   of without;
// - the time until the blocks near the window are coloured (the workers started and answered);
// - the longest main-thread task from the message until five seconds later (goal: none over 50 ms
//   after the first screen, as the block work's tasks are budgeted);
// - how many blocks were coloured, and how many have copy buttons (only those near the window).
const { launchBrowser, installWebViewStandIn, pageHtml } = require('../tests/browser/harness');

const BLOCKS = 2000;
const RUNS = 5;
const VIEWPORT = { width: 1280, height: 800 };
const LANGUAGES = ['js', 'python', 'bash', 'rust', 'json', 'go', 'yaml', 'cpp'];
const SAMPLE = {
  js: 'export function add(a, b) {\n  // sum\n  return a + b + "x".length;\n}',
  python: 'def add(a: int, b: int) -> int:\n    """Sum."""\n    return a + b  # plus',
  bash: 'for f in *.md; do\n  echo "$f" | wc -l\ndone',
  rust: 'fn add(a: u32, b: u32) -> u32 {\n    a + b // sum\n}',
  json: '{\n  "name": "x",\n  "list": [1, 2, true, null]\n}',
  go: 'func add(a, b int) int {\n\treturn a + b // sum\n}',
  yaml: 'name: ci\non: [push]\njobs:\n  build: { runs-on: linux }',
  cpp: 'template <class T> T add(T a, T b) {\n  return a + b; // sum\n}',
};
// The language name after an opening fence.
const FENCE_LANGUAGE_RE = /^```\w+$/gm;

function codeDocument() {
  const parts = ['# 2,000 code blocks'];
  for (let i = 0; i < BLOCKS; i++) {
    const language = LANGUAGES[i % LANGUAGES.length];
    parts.push(`Block ${i}: a short paragraph before the code, as documentation has it.`);
    parts.push('```' + language + '\n' + SAMPLE[language] + '\n```');
  }
  return parts.join('\n\n') + '\n';
}

function median(samples) {
  const sorted = [...samples].sort((a, b) => a - b);
  return sorted[sorted.length >> 1];
}

function measureInPage(text) {
  return new Promise((resolve) => {
    const longTasks = [];
    new PerformanceObserver((list) => longTasks.push(...list.getEntries())).observe({ type: 'longtask' });
    const t0 = performance.now();
    window.__host.send({ action: 'openFile', name: 'code.md', content: text });
    requestAnimationFrame(() => {
      const channel = new MessageChannel();
      channel.port1.onmessage = () => {
        const firstScreen = performance.now() - t0;
        let coloured = null;
        const poll = () => {
          if (coloured === null && document.querySelector('#content pre code [class^="hljs-"]')) coloured = performance.now() - t0;
          if (performance.now() - t0 < 5000) {
            setTimeout(poll, 10);
            return;
          }
          const afterFirst = longTasks.filter((t) => t.startTime + t.duration > t0 + firstScreen);
          resolve({
            firstScreen,
            coloured,
            longestAfterFirst: Math.max(0, ...afterFirst.map((t) => t.duration)),
            blocks: document.querySelectorAll('#content pre').length,
            colouredBlocks: document.querySelectorAll('#content pre code:has([class^="hljs-"])').length,
            buttons: document.querySelectorAll('#content .copy-code').length,
          });
        };
        poll();
      };
      channel.port2.postMessage(0);
    });
  });
}

async function measure(text) {
  const browser = await launchBrowser();
  try {
    const page = await browser.newPage({ viewport: VIEWPORT });
    await page.addInitScript(installWebViewStandIn);
    await page.goto('data:text/html;charset=utf-8;base64,' + Buffer.from(pageHtml()).toString('base64'));
    return await page.evaluate(measureInPage, text);
  } finally {
    await browser.close();
  }
}

async function main() {
  const coloured = codeDocument();
  const plain = coloured.replace(FENCE_LANGUAGE_RE, '```');
  console.log(`${BLOCKS} code blocks, ${Buffer.byteLength(coloured)} bytes; viewport ${VIEWPORT.width} x ${VIEWPORT.height}; ` +
    `median of ${RUNS} fresh browsers each`);
  const withColours = [];
  const without = [];
  for (let i = 0; i < RUNS; i++) {
    without.push(await measure(plain));
    withColours.push(await measure(coloured));
  }
  const row = (label, runs) => {
    const first = median(runs.map((r) => r.firstScreen));
    const colouredAt = runs.every((r) => r.coloured !== null) ? median(runs.map((r) => r.coloured)).toFixed(0) + ' ms' : 'never';
    const last = runs.at(-1);
    console.log(`  ${label.padEnd(22)} first screen ${first.toFixed(1).padStart(6)} ms; first colours ${colouredAt.padStart(7)}; ` +
      `longest task after the first screen ${median(runs.map((r) => r.longestAfterFirst)).toFixed(0)} ms; ` +
      `${last.colouredBlocks} of ${last.blocks} blocks coloured, ${last.buttons} copy buttons`);
    return first;
  };
  const base = row('languages taken out', without);
  const ours = row('with languages', withColours);
  console.log(`  first screen, with / without colours: ${(ours / base).toFixed(2)}x (goal <= 1.10x)`);
}

main().catch((error) => {
  console.error(error);
  process.exit(1);
});
