'use strict';
// Converter benchmark: `node bench/converter.js`.
//
// 1. Generates a realistic 1 MiB document (headings, paragraphs in English and
//    Chinese, lists, tables, quotes, code, links, images, media cards) and
//    converts it with the page's parse, with markdown-it and with marked;
//    prints MB/s (UTF-8 megabytes) for each and parse's ratio to the others.
//    Goal: parse at least as fast as markdown-it.
// 2. Converts samples of the kinds markdown-it benchmarks itself on (one
//    construct each, repeated to about 256 KiB) with parse and markdown-it,
//    runs of the two taking turns so both see the same machine load; prints
//    the median times, the ratio for each sample and the geometric mean of
//    the ratios. Goal: on the fenced-code and code-span samples, parse at
//    least twice as fast as markdown-it.
// 3. Times parse on every pathological input (about 100 KB each) and prints
//    milliseconds. Goal: under 50 ms each.
// Every time is the median of repeated runs, in processor time (see cpuMs).
const { loadMarkdown } = require('../tests/page/load-markdown.js');
const { PATHOLOGICAL_INPUTS } = require('../tests/page/pathological-inputs.js');
const { realisticDocument } = require('../tests/page/realistic-document.js');
const { CODE_SAMPLES, OTHER_SAMPLES, sampleDocument } = require('../tests/page/sample-documents.js');

const MIB = 1024 * 1024;
const SAMPLE_CHARS = 256 * 1024;
const CODE_GOAL_RATIO = 2;
const PATHOLOGICAL_GOAL_MS = 50;

function median(samples) {
  const sorted = [...samples].sort((a, b) => a - b);
  return sorted[sorted.length >> 1];
}

// Processor time of this process in milliseconds. Times are measured in it
// rather than on the clock: the machine is shared, and a run that waits for a
// processor would count the other work.
function cpuMs() {
  const usage = process.cpuUsage();
  return (usage.user + usage.system) / 1000;
}

// Milliseconds that convert(text) takes, up to the first read of its
// result. A converter that builds its HTML by appending leaves the engine a
// chain of pieces, copied into one string only when it is first read (as the
// page does at once); parse makes that copy itself, so both are timed with it.
function runMs(convert, text) {
  const t0 = cpuMs();
  convert(text).charCodeAt(0);
  return cpuMs() - t0;
}

// Median time in milliseconds of convert(text), over runs of at least
// minimumMs in total after a warm-up.
function timeMs(convert, text, minimumMs) {
  for (let i = 0; i < 3; i++) convert(text);
  const samples = [];
  const started = cpuMs();
  do {
    samples.push(runMs(convert, text));
  } while (cpuMs() - started < minimumMs || samples.length < 5);
  return median(samples);
}

// Median times in milliseconds of first(text) and second(text), run in turns
// for at least minimumMs in total after a warm-up.
function timePairMs(first, second, text, minimumMs) {
  for (let i = 0; i < 2; i++) {
    first(text);
    second(text);
  }
  const times = [[], []];
  const started = cpuMs();
  do {
    times[0].push(runMs(first, text));
    times[1].push(runMs(second, text));
  } while (cpuMs() - started < minimumMs || times[0].length < 7);
  return times.map(median);
}

// Prints parse against markdown-it on every sample, the worst ratio among
// the code samples and the geometric mean of all ratios.
function compareOnSamples(parse, markdownIt) {
  console.log('\nSamples of the kinds markdown-it benchmarks, ' + SAMPLE_CHARS / 1024 + ' KiB each:');
  console.log('  ' + 'sample'.padEnd(28) + 'parse'.padStart(11) + 'markdown-it'.padStart(12) + 'ratio'.padStart(8));
  let logSum = 0;
  let count = 0;
  let worstCode = Infinity;
  const samples = [...Object.entries(CODE_SAMPLES), ...Object.entries(OTHER_SAMPLES)];
  for (const [name, make] of samples) {
    const isCode = Object.prototype.hasOwnProperty.call(CODE_SAMPLES, name);
    const text = sampleDocument(make, SAMPLE_CHARS);
    // The samples with a goal get longer, so steadier, measurements.
    const [parseMs, markdownItMs] = timePairMs((s) => parse(s), (s) => markdownIt.render(s), text, isCode ? 1000 : 300);
    const ratio = markdownItMs / parseMs;
    logSum += Math.log(ratio);
    count++;
    if (isCode) worstCode = Math.min(worstCode, ratio);
    let goal = '';
    if (isCode) goal = '  goal >= ' + CODE_GOAL_RATIO.toFixed(2) + (ratio < CODE_GOAL_RATIO ? '  BELOW GOAL' : '');
    console.log('  ' + name.padEnd(28) + (parseMs.toFixed(2) + ' ms').padStart(11) +
      (markdownItMs.toFixed(2) + ' ms').padStart(12) + (ratio.toFixed(2) + 'x').padStart(8) + goal);
  }
  console.log('  fenced code and code spans, worst: ' + worstCode.toFixed(2) + 'x (goal >= ' +
    CODE_GOAL_RATIO.toFixed(2) + ')');
  console.log('  geometric mean over all ' + count + ' samples: ' + Math.exp(logSum / count).toFixed(2) + 'x');
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

  compareOnSamples(parse, markdownIt);

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
