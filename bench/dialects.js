'use strict';
// Dialect benchmark: `node bench/dialects.js` (after building the viewer_page target: the GitHub
// dialect's converter is taken from the built page, PAGEWRIGHT_HTML or build/pagewright.html).
//
// 1. Examples the GitHub dialect renders as the reference gives them: the CommonMark 0.31.2 examples
//    of the CommonMark project's package (goal at least 649 of 652) and GitHub-flavoured Markdown's
//    examples in the shared corpora (goal at least 660 of 673). Each set is counted
//    twice: as GitHub's own conformance runner counts (every example with only the extensions it
//    names, so GitHub's extended autolinks only where an example is marked "autolink"; the goals
//    apply to this count) and as the dialect shows documents (extended autolinks everywhere, which
//    turns four CommonMark examples of addresses that are not autolinks into links, as GitHub does).
//    Every miss is listed with its reason; where cmark-gfm is installed, a miss that cmark-gfm with
//    GitHub's extensions renders the same way is marked as such.
// 2. Conversion speed, in processor time, of both dialects against markdown-it with its default
//    settings: on markdown-it's own benchmark samples (../shared/corpora/markdown-it-bench-samples/,
//    each repeated to 256 KiB) and on the realistic 1 MiB document; the median of repeated runs and
//    the ratios.
const fs = require('node:fs');
const path = require('node:path');
const { loadMarkdown } = require('../tests/page/load-markdown.js');
const { loadGithubDialect } = require('../tests/page/load-github-dialect.js');
const { commonmarkExamples, gfmExamples, normalizeHtml, exampleMisses, corporaDir, hasCmarkGfm, cmarkGfmHtml } = require('../tests/page/conformance-examples.js');
const { realisticDocument } = require('../tests/page/realistic-document.js');

const MIB = 1024 * 1024;
const SAMPLE_CHARS = 256 * 1024;
const GOALS = { CommonMark: 649, GFM: 660 };
// Why the dialect departs from the reference text where GitHub's own converter does not explain it.
const REASONS = {
  GFM: {
    625: "linkify-it ends a www. link at a ')' that GitHub keeps",
    626: "linkify-it keeps an '&hl;' entity-like ending that GitHub leaves out",
    629: 'linkify-it links mail addresses only under known top-level domains',
    630: 'linkify-it links mail addresses only under known top-level domains',
    631: 'linkify-it links mail addresses only under known top-level domains',
    645: 'HTML comments as CommonMark 0.31.2 reads them (this reference text is 0.29)',
    646: 'HTML comments as CommonMark 0.31.2 reads them (this reference text is 0.29)',
    653: "GitHub's tag filter: the page's own disarming of a document's HTML stands in for it",
  },
};

function cpuMs() {
  const usage = process.cpuUsage();
  return (usage.user + usage.system) / 1000;
}

function median(samples) {
  const sorted = [...samples].sort((a, b) => a - b);
  return sorted[sorted.length >> 1];
}

// Median milliseconds of each converter on text, the converters taking turns.
function timeAll(converters, text, minimumMs) {
  for (const convert of converters) convert(text);
  const times = converters.map(() => []);
  const started = cpuMs();
  do {
    converters.forEach((convert, i) => {
      const t0 = cpuMs();
      convert(text).charCodeAt(0);
      times[i].push(cpuMs() - t0);
    });
  } while (cpuMs() - started < minimumMs || times[0].length < 5);
  return times.map(median);
}

// The examples' misses, counted as GitHub's conformance runner counts (extended autolinks only where
// an example names them) and as documents are shown (always).
function reportSpec(name, examples, github, cmark) {
  const named = (example) => ({ autolinks: example.section === 'autolink' });
  const counts = [
    ['as the conformance runner counts', exampleMisses(examples, (markdown, example) => github.render(markdown, named(example)))],
    ['with extended autolinks everywhere, as documents show', exampleMisses(examples, (markdown) => github.render(markdown))],
  ];
  for (const [how, misses] of counts) {
    const passed = examples.length - misses.length;
    const goal = how === counts[0][0] ? ` (goal >= ${GOALS[name]})${passed < GOALS[name] ? '  BELOW GOAL' : ''}` : '';
    console.log(`\n${name}, ${how}: ${passed} of ${examples.length} examples${goal}`);
    for (const miss of misses) {
      let reason = (REASONS[name] || {})[miss.number];
      if (cmark) {
        const reference = cmarkGfmHtml(miss.markdown);
        if (normalizeHtml(reference) === normalizeHtml(miss.got)) reason = "GitHub's extended autolinks: cmark-gfm with GitHub's extensions gives the same";
      }
      console.log(`  ${String(miss.number).padStart(3)} ${(miss.section || '').padEnd(24)} ${JSON.stringify(miss.markdown).slice(0, 48).padEnd(50)} ${reason || 'unexplained'}`);
    }
  }
}

async function main() {
  const github = await loadGithubDialect();
  const { parse } = loadMarkdown();
  const markdownIt = require('markdown-it')();
  const cmark = hasCmarkGfm();
  const corpora = corporaDir();

  reportSpec('CommonMark', commonmarkExamples(), github, cmark);
  if (corpora) reportSpec('GFM', gfmExamples(), github, cmark);
  else console.log('\nGFM: no corpora found (set TALLOWMERE_CORPORA)');

  const converters = [(s) => parse(s), (s) => github.render(s), (s) => markdownIt.render(s)];
  const header = '  ' + 'document'.padEnd(28) + 'classic'.padStart(11) + 'GitHub'.padStart(11) + 'markdown-it'.padStart(12) +
    'classic/m-it'.padStart(14) + 'GitHub/m-it'.padStart(13);
  const row = (name, [classicMs, githubMs, markdownItMs]) => console.log('  ' + name.padEnd(28) +
    (classicMs.toFixed(1) + ' ms').padStart(11) + (githubMs.toFixed(1) + ' ms').padStart(11) +
    (markdownItMs.toFixed(1) + ' ms').padStart(12) + ((classicMs / markdownItMs).toFixed(2) + 'x').padStart(14) +
    ((githubMs / markdownItMs).toFixed(2) + 'x').padStart(13));

  console.log('\nConversion time (processor time, median; a ratio below 1 is faster than markdown-it):');
  console.log(header);
  const doc = realisticDocument(MIB);
  row('realistic 1 MiB document', timeAll(converters, doc, 3000));
  if (!corpora) return;
  const samplesDir = path.join(corpora, 'markdown-it-bench-samples');
  let logClassic = 0;
  let logGithub = 0;
  let count = 0;
  for (const file of fs.readdirSync(samplesDir).filter((f) => f.endsWith('.md')).sort()) {
    const sample = fs.readFileSync(path.join(samplesDir, file), 'utf8');
    const text = sample.repeat(Math.ceil(SAMPLE_CHARS / Math.max(1, sample.length))).slice(0, SAMPLE_CHARS);
    const times = timeAll(converters, text.slice(0, text.lastIndexOf('\n') + 1), 300);
    row(file.replace(/\.md$/, ''), times);
    logClassic += Math.log(times[0] / times[2]);
    logGithub += Math.log(times[1] / times[2]);
    count++;
  }
  console.log(`  geometric mean over ${count} samples: classic ${Math.exp(logClassic / count).toFixed(2)}x, ` +
    `GitHub ${Math.exp(logGithub / count).toFixed(2)}x markdown-it's time`);
}

main().catch((error) => {
  console.error(error);
  process.exit(1);
});
