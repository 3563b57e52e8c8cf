'use strict';
// Hang guard: every pathological input (about 100 KB each) is converted in a
// worker thread that is stopped after a generous time limit, so a regular
// expression that backtracks catastrophically fails its test instead of
// hanging the run. Speed itself is measured by bench/converter.js.
const test = require('node:test');
const assert = require('node:assert');
const path = require('node:path');
const { Worker } = require('node:worker_threads');
const { PATHOLOGICAL_INPUTS, SIZE } = require('./pathological-inputs.js');

const TIME_LIMIT_MS = 10000;
const LARGE_TIME_LIMIT_MS = 60000;

const WORKER_SOURCE = `
const { parentPort, workerData } = require('node:worker_threads');
const { loadMarkdown } = require(workerData.loader);
parentPort.postMessage(loadMarkdown().parse(workerData.text));
`;

// Converts text with parse in a worker; rejects when it takes longer than
// limitMs or throws.
function convertInWorker(text, limitMs) {
  return new Promise((resolve, reject) => {
    const worker = new Worker(WORKER_SOURCE, {
      eval: true,
      workerData: { loader: path.join(__dirname, 'load-markdown.js'), text },
    });
    const timer = setTimeout(() => {
      worker.terminate();
      reject(new Error('conversion did not finish within ' + limitMs + ' ms'));
    }, limitMs);
    worker.once('message', (html) => {
      clearTimeout(timer);
      worker.terminate();
      resolve(html);
    });
    worker.once('error', (error) => {
      clearTimeout(timer);
      reject(error);
    });
  });
}

function count(html, needle) {
  return html.split(needle).length - 1;
}

// What some of the results must hold, beyond finishing in time.
const EXPECTATIONS = {
  'inline code spans': (html, text) => assert.strictEqual(count(html, '<code>'), count(text, '`') / 2),
  'thousands of fences': (html, text) => assert.strictEqual(count(html, '<pre><code class="language-js">'),
    count(text, '```js')),
  'four-backtick fences': (html, text) => assert.strictEqual(count(html, '<pre><code>q</code></pre>'),
    count(text, '````\nq')),
  'fence inside inline code': (html, text) =>
    assert.strictEqual(count(html, '<code>x <pre><code>y</code></pre> z</code>'), count(text, '`x')),
  'code spans followed by CB': (html, text) => assert.strictEqual(count(html, '<code>x</code>CB'), count(text, '`x`')),
  'code full of escapes': (html) => assert.ok(!/[<>]/.test(html.replace(/<\/?(code|pre|p)>/g, ''))),
  'headings': (html, text) => assert.strictEqual(count(html, '<h2>heading</h2>'), count(text, '##')),
  'bullet items': (html, text) => assert.strictEqual(count(html, '<li>item</li>'), count(text, '- item')),
  'numbered items': (html, text) => assert.strictEqual(count(html, '<li>item</li>'), count(text, '1. item')),
  'pipe lines': (html, text) => assert.strictEqual(count(html, '<tr>'), count(text, '\n') + 1),
  'link openers without close': (html, text) => assert.strictEqual(html, '<p>' + text + '</p>'),
  'brackets': (html, text) => assert.strictEqual(html, '<p>' + text + '</p>'),
  'U+0000 characters': (html, text) => {
    assert.strictEqual(count(html, '<pre>'), 1);
    assert.strictEqual(count(html, '\uFFFDCB0\uFFFD<code>x</code>'), count(text, '`x`'));
  },
  'deep list indentation': (html) => assert.strictEqual(count(html, '<ul>'), count(html, '</ul>')),
  'one very deep item': (html) => assert.strictEqual(count(html, '<ul>'), SIZE / 2 + 1),
};

test.describe('pathological inputs finish in time', () => {
  test('the inputs are about 100 KB each', () => {
    for (const [name, text] of Object.entries(PATHOLOGICAL_INPUTS)) {
      assert.ok(text.length > 90000 && text.length < 110000, name + ': ' + text.length);
    }
  });

  for (const [name, text] of Object.entries(PATHOLOGICAL_INPUTS)) {
    test(name, async () => {
      const html = await convertInWorker(text, TIME_LIMIT_MS);
      assert.strictEqual(typeof html, 'string');
      assert.ok(!html.includes('\u0000'), 'a marker reached the output');
      if (EXPECTATIONS[name]) EXPECTATIONS[name](html, text);
    });
  }
});

test.describe('inputs beyond the expression engine\'s limits', () => {
  // A repeated group such as (^- .+\n?)+ keeps one backtracking entry per
  // line and overflows the engine's stack at about two million lines.
  test('a list of 2 Mi items converts without failing', async () => {
    const html = await convertInWorker('- a\n'.repeat(2 * 1024 * 1024), LARGE_TIME_LIMIT_MS);
    assert.strictEqual(html.length, '<ul></ul>'.length + 2 * 1024 * 1024 * '<li>a</li>'.length);
  });
});
