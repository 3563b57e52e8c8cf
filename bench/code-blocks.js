'use strict';
// Code-block benchmark: `node bench/code-blocks.js [--diagrams]` (after building the viewer_page
// target; the page is read from PAGEWRIGHT_HTML, default build/pagewright.html). With --diagrams,
// only the diagrams are measured.
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
//
// Then a GitHub-dialect document of diagrams of several kinds, drawn in the dark theme by the
// library the program serves, RUNS times in fresh browsers: the medians of the time until the
// diagrams near the window are drawn, of the longest main-thread task meanwhile (the library's
// start-up and first drawing; goal 50 ms), of the longest task after the first drawing, and of the
// longest task while their copies for paper are drawn when the page is idle.
const { launchBrowser, installWebViewStandIn, pageHtml, loadPage, serveDiagramLibrary } = require('../tests/browser/harness');

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

const DIAGRAM_KINDS = [
  'graph LR\n  A[Read the file] --> B{Changed?} -->|yes| C[Convert] --> D[Insert in slices] --> E[Show]\n  B -->|no| E',
  'sequenceDiagram\n  Program->>Page: openFile\n  Page-->>Program: ready\n  Program->>Page: reload',
  'classDiagram\n  class Page { +render() +print() }\n  class Viewer\n  Page <|-- Viewer',
  'stateDiagram-v2\n  [*] --> Idle\n  Idle --> Busy: open\n  Busy --> Idle: done',
  'pie title Blocks\n  "code" : 1498\n  "diagrams" : 127\n  "formulas" : 9',
  'gantt\n  dateFormat YYYY-MM-DD\n  section Page\n  Colours :a1, 2026-01-01, 5d\n  Diagrams :after a1, 3d',
];
const DIAGRAMS = 24;

function diagramDocument() {
  const parts = ['# Diagrams'];
  for (let i = 0; i < DIAGRAMS; i++) parts.push(`Diagram ${i}.`, '```mermaid\n' + DIAGRAM_KINDS[i % DIAGRAM_KINDS.length] + '\n```');
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

function measureDiagramsInPage(text) {
  return new Promise((resolve) => {
    const longTasks = [];
    new PerformanceObserver((list) => longTasks.push(...list.getEntries())).observe({ type: 'longtask' });
    chosenDialect = 'github';
    const t0 = performance.now();
    window.__host.send({ action: 'openFile', name: 'diagrams.md', content: text });
    let firstDrawn = null;
    let drawn = null;
    const poll = () => {
      const now = performance.now();
      const count = document.querySelectorAll('#content pre.diagram').length;
      if (firstDrawn === null && count > 0) firstDrawn = now;
      const busy = codeBlocks.pending.size > 0 || codeBlocks.near.length > 0 || screenDrawingsWaiting > 0;
      if (drawn === null && count > 0 && !busy) drawn = now;
      const copies = document.querySelectorAll('#content pre.diagram > .diagram-print').length;
      if (now - t0 < 30000 && (drawn === null || copies < count)) {
        setTimeout(poll, 20);
        return;
      }
      setTimeout(() => {
        const longest = (from, to) => Math.max(0, ...longTasks.filter((t) => t.startTime + t.duration > from && t.startTime < to).map((t) => t.duration));
        resolve({
          drawnAfter: drawn === null ? null : drawn - t0,
          longest: longest(t0, drawn),
          longestAfterFirst: longest(firstDrawn, drawn),
          longestCopies: longest(drawn, performance.now()),
          drawn: count,
          copies,
          blocks: document.querySelectorAll('#content pre').length,
        });
      }, 200);
    };
    poll();
  });
}

async function measureDiagrams(text) {
  const browser = await launchBrowser();
  try {
    const context = await browser.newContext({ viewport: VIEWPORT });
    await serveDiagramLibrary(context);
    const page = await context.newPage();
    await page.addInitScript(installWebViewStandIn);
    await loadPage(page, pageHtml());
    return await page.evaluate(measureDiagramsInPage, text);
  } finally {
    await browser.close();
  }
}

async function measure(text) {
  const browser = await launchBrowser();
  try {
    const page = await browser.newPage({ viewport: VIEWPORT });
    await page.addInitScript(installWebViewStandIn);
    await loadPage(page, pageHtml());
    return await page.evaluate(measureInPage, text);
  } finally {
    await browser.close();
  }
}

async function main() {
  if (!process.argv.includes('--diagrams')) await codeBlockFigures();
  await diagramFigures();
}

async function codeBlockFigures() {
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

async function diagramFigures() {

  const diagrams = [];
  for (let i = 0; i < RUNS; i++) diagrams.push(await measureDiagrams(diagramDocument()));
  const ms = (key) => median(diagrams.map((r) => r[key])).toFixed(0) + ' ms';
  const last = diagrams.at(-1);
  console.log(`${DIAGRAMS} diagrams of ${DIAGRAM_KINDS.length} kinds, GitHub dialect, dark theme; median of ${RUNS} fresh browsers`);
  console.log(`  ${last.drawn} of ${last.blocks} drawn (those near the window) after ${ms('drawnAfter')}; ` +
    `longest task meanwhile ${ms('longest')} (goal <= 50 ms), after the first drawing ${ms('longestAfterFirst')}; ` +
    `${last.copies} copies for paper, longest task while they were drawn ${ms('longestCopies')}`);
}

main().catch((error) => {
  console.error(error);
  process.exit(1);
});
