'use strict';
// Converter benchmark: `node bench/converter.js`.
//
// 1. Generates a realistic 1 MiB document (headings, paragraphs in English and
//    Chinese, lists, tables, quotes, code, links, images, media cards) and
//    converts it with the page's parse, with markdown-it and with marked;
//    prints MB/s (UTF-8 megabytes) for each and parse's ratio to the others.
//    Goal: parse at least as fast as markdown-it.
// 2. Times parse on every pathological input (about 100 KB each) and prints
//    milliseconds. Goal: under 50 ms each.
const { loadMarkdown } = require('../tests/page/load-markdown.js');
const { PATHOLOGICAL_INPUTS } = require('../tests/page/pathological-inputs.js');
const { realisticDocument } = require('../tests/page/realistic-document.js');

const MIB = 1024 * 1024;
const PATHOLOGICAL_GOAL_MS = 50;

// Median time in milliseconds of convert(text), over runs of at least
// minimumMs in total after a warm-up.
function timeMs(convert, text, minimumMs) {
  for (let i = 0; i < 3; i++) convert(text);
  const samples = [];
  const started = process.hrtime.bigint();
  do {
    const t0 = process.hrtime.bigint();
    convert(text);
    samples.push(Number(process.hrtime.bigint() - t0) / 1e6);
  } while (Number(process.hrtime.bigint() - started) / 1e6 < minimumMs || samples.length < 5);
  samples.sort((a, b) => a - b);
  return samples[samples.length >> 1];
}

function main() {
  const { parse } = loadMarkdown();
  const markdownIt = require('markdown-it')();
  const { marked } = require('marked');

  const doc = realisticDocument(MIB);
  const bytes = Buffer.byteLength(doc, 'utf8');
  console.log('Realistic document: ' + bytes + ' bytes UTF-8, ' + doc.length + ' UTF-16 units, ' +
    doc.split('\n').length + ' lines');
  const converters = [
    ['parse', (s) => parse(s)],
    ['markdown-it', (s) => markdownIt.render(s)],
    ['marked', (s) => marked.parse(s)],
  ];
  const speed = {};
  for (const [name, convert] of converters) {
    const ms = timeMs(convert, doc, 2000);
    speed[name] = bytes / 1e6 / (ms / 1000);
    console.log('  ' + name.padEnd(12) + ms.toFixed(2).padStart(9) + ' ms  ' + speed[name].toFixed(1).padStart(7) +
      ' MB/s');
  }
  console.log('  parse / markdown-it: ' + (speed.parse / speed['markdown-it']).toFixed(2) + 'x (goal >= 1.00)');
  console.log('  parse / marked:      ' + (speed.parse / speed.marked).toFixed(2) + 'x');

  console.log('\nPathological inputs (goal < ' + PATHOLOGICAL_GOAL_MS + ' ms each):');
  let worst = 0;
  let over = 0;
  for (const [name, text] of Object.entries(PATHOLOGICAL_INPUTS)) {
    const ms = timeMs(parse, text, 200);
    worst = Math.max(worst, ms);
    if (ms >= PATHOLOGICAL_GOAL_MS) over++;
    const flag = ms >= PATHOLOGICAL_GOAL_MS ? '  OVER GOAL' : '';
    console.log('  ' + name.padEnd(36) + String(text.length).padStart(7) + ' chars ' + ms.toFixed(2).padStart(8) + ' ms' +
      flag);
  }
  console.log('  worst ' + worst.toFixed(2) + ' ms; ' + over + ' over goal');
}

main();
