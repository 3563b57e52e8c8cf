// What a document's code blocks become once they near the window: a copy button on every block,
// syntax colours for a block whose language is known, typeset formulas and drawn diagrams (the
// last two in the GitHub dialect only).
//
// None of it may slow the first screen or the page's start-up:
// - blocks are watched with an IntersectionObserver and dealt with only when they come within a
//   window's height of the viewport; a block far away stays exactly as inserted until then;
// - the page's own work (buttons, putting results in) runs in tasks of at most BLOCK_BUDGET_MS;
// - the highlighter and the formula typesetter are kept as text that never runs in the page (see
//   page/convert/library-texts.js): the first block that needs one starts a worker made from that text,
//   which compiles it and does the work off the page's thread. The libraries'
//   output is HTML (MathML), so it is parsed in an inert document and disarmed like the
//   document's own HTML before it enters the page.
//
// Printing needs every block finished: the print button and Ctrl+P wait for the workers and the
// diagrams (and the diagrams' copies for paper) first (completeCodeBlocks); a print started otherwise (the context menu) gets every
// result that has arrived by then, and the rest print as plain code.
//
// Uses: createElement, disarmFragment, drawDiagram, drawPrintCopies, finishDocumentInsertion,
//   libraryText, watchThroughPart

// Blocks within one window height above or below the viewport are dealt with.
const NEAR_WINDOW_MARGIN = '100% 0px';
// Milliseconds of the page's own block work per task.
const BLOCK_BUDGET_MS = 40;
// Larger blocks stay plain: the highlighter's markup for them would take too long to put in.
const HIGHLIGHT_MOST_UNITS = 100 * 1024;
const LANGUAGE_CLASS_PREFIX = 'language-';
// Where the language of a GitHub info string ends: "rust,ignore", "bash [npm]", "js{1,3}".
const LANGUAGE_END_RE = /[,[{\s]/;
const MATH_LANGUAGE = 'math';
const DIAGRAM_LANGUAGE = 'mermaid';
const GITHUB_DIALECT = 'github';
// A document's code blocks and, in the GitHub dialect, the formulas inside its paragraphs (inline,
// and display ones that GitHub shows inside a paragraph).
const CODE_BLOCKS = 'pre';
const INLINE_FORMULAS = 'code.language-math.math-inline, code.language-math.math-display';
const DISPLAY_FORMULA_CLASS = 'math-display';
const COPY_BUTTON_CLASS = 'copy-code';
// How long a copy button shows its outcome.
const COPY_FEEDBACK_MS = 1500;
const TEXT_COPY_CODE = '\u590d\u5236\u4ee3\u7801'; // "复制代码"
// The key that, with Ctrl (or Command), prints.
const PRINT_KEY_RE = /^p$/i;
// Printing waits at most this long for the workers and diagrams, then prints what is there.
const PRINT_WAIT_MOST_MS = 10000;

const selectNodeContents = Range.prototype.selectNodeContents;
const execCommand = document.execCommand.bind(document);
// Where the libraries' HTML is disarmed: a document without a window.
const resultHolder = document.implementation.createHTMLDocument('').createElement('div');

const codeBlocks = {
  dialect: 'classic',
  observer: null,
  // Elements watched and not yet dealt with, in document order of arrival.
  waiting: new Set(),
  // What the observer watches for them, and their elements: in a large document the part that holds
  // them (the browser computes every watched element's place in each frame, and parts are far fewer
  // than a large document's blocks), elsewhere each element itself.
  watchedFor: new Map(),
  // Elements that came near, to be dealt with in the next task.
  near: [],
  // Results of the workers and diagrams, put into the page in the next task.
  results: [],
  // Work whose result has not yet arrived (printing waits for it).
  pending: new Set(),
  channel: null,
  scheduled: false,
};
const workers = { highlight: null, formulas: null };

// Runs in the highlighting worker, after the library's text.
function highlightWorkerMain() {
  self.onmessage = (event) => {
    const { id, language, text } = event.data;
    let html = null;
    try {
      if (hljs.getLanguage(language)) html = hljs.highlight(text, { language, ignoreIllegals: true }).value;
    } catch (e) {
      html = null;
    }
    self.postMessage({ id, html });
  };
}

// Runs in the formula worker, after the library's text.
function formulaWorkerMain() {
  self.onmessage = (event) => {
    const { id, tex, display } = event.data;
    try {
      self.postMessage({ id, html: temml.renderToString(tex, { displayMode: display, throwOnError: true }) });
    } catch (e) {
      self.postMessage({ id, error: String(e && e.message ? e.message : e) });
    }
  };
}

// A worker made from a library's text (page/convert/library-texts.js) and its glue, started on first use.
// Its run(message) resolves with the worker's answer, or null when the worker cannot start or fails.
function libraryWorker(library, main) {
  const calls = new Map();
  let nextId = 0;
  let worker = null;
  let started = null;
  let broken = false;
  const failAll = () => {
    broken = true;
    for (const resolve of calls.values()) resolve(null);
    calls.clear();
  };
  const start = (text) => {
    if (text === null) {
      failAll();
      return;
    }
    const url = URL.createObjectURL(new Blob([text, '\n;(', String(main), ')();\n'], { type: 'text/javascript' }));
    try {
      worker = new Worker(url);
    } catch (e) {
      worker = null;
    }
    URL.revokeObjectURL(url);
    if (!worker) {
      failAll();
      return;
    }
    worker.onmessage = (event) => {
      const resolve = calls.get(event.data.id);
      calls.delete(event.data.id);
      if (resolve) resolve(event.data);
    };
    worker.onerror = failAll;
  };
  return {
    run(message) {
      if (!started) started = libraryText(library).then(start);
      return started.then(() => {
        if (broken || !worker) return null;
        const id = nextId++;
        return new Promise((resolve) => {
          calls.set(id, resolve);
          worker.postMessage({ ...message, id });
        });
      });
    },
  };
}

function highlightWorker() {
  if (!workers.highlight) workers.highlight = libraryWorker('highlighter', highlightWorkerMain);
  return workers.highlight;
}

function formulaWorker() {
  if (!workers.formulas) workers.formulas = libraryWorker('formulas', formulaWorkerMain);
  return workers.formulas;
}

// Forgets the blocks of the document shown before (results still on their way are dropped when
// they arrive: their elements have left the page). dialect is the dialect of the next document.
function resetCodeBlocks(dialect = 'classic') {
  codeBlocks.dialect = dialect;
  if (codeBlocks.observer) codeBlocks.observer.disconnect();
  codeBlocks.waiting.clear();
  codeBlocks.watchedFor.clear();
  codeBlocks.near = [];
  codeBlocks.results = [];
}

// Called with each slice of a document before it enters the page: its blocks are watched once
// they are in (the slice's nodes go into the page in the same task).
function watchCodeBlocks(slice) {
  const found = [...slice.querySelectorAll(CODE_BLOCKS)].filter((pre) => codeOf(pre));
  if (codeBlocks.dialect === GITHUB_DIALECT) {
    for (const code of slice.querySelectorAll(INLINE_FORMULAS)) if (!code.closest('pre')) found.push(code);
  }
  if (found.length === 0) return;
  queueMicrotask(() => {
    if (!codeBlocks.observer) codeBlocks.observer = new IntersectionObserver(blocksNearWindow, { rootMargin: NEAR_WINDOW_MARGIN });
    for (const el of found) {
      if (!el.isConnected) continue;
      codeBlocks.waiting.add(el);
      watchThroughPart(codeBlocks.observer, codeBlocks.watchedFor, el);
    }
  });
}

// The code element a block shows (a converter's block is a pre holding one code element).
function codeOf(pre) {
  const code = pre.firstElementChild;
  return code && code.localName === 'code' && code === pre.lastElementChild ? code : null;
}

// The language a code element's class names, in lower case: its first "language-" class, cut at
// the end of a GitHub info string's first word; '' when it names none.
function languageOf(code) {
  for (const name of code.classList) {
    if (name.startsWith(LANGUAGE_CLASS_PREFIX)) return name.slice(LANGUAGE_CLASS_PREFIX.length).split(LANGUAGE_END_RE)[0].toLowerCase();
  }
  return '';
}

function blocksNearWindow(entries) {
  for (const entry of entries) {
    if (!entry.isIntersecting) continue;
    codeBlocks.observer.unobserve(entry.target);
    for (const el of codeBlocks.watchedFor.get(entry.target) ?? []) {
      if (codeBlocks.waiting.delete(el)) codeBlocks.near.push(el);
    }
    codeBlocks.watchedFor.delete(entry.target);
  }
  scheduleBlockWork();
}

// A message task, not a timer (timers chained this way are slowed down).
function scheduleBlockWork() {
  if (codeBlocks.scheduled) return;
  if (!codeBlocks.channel) {
    codeBlocks.channel = new MessageChannel();
    codeBlocks.channel.port1.onmessage = doBlockWork;
  }
  codeBlocks.scheduled = true;
  codeBlocks.channel.port2.postMessage(null);
}

// One task's worth: results first (they are what the reader waits to see), then new blocks.
function doBlockWork() {
  codeBlocks.scheduled = false;
  const started = performance.now();
  const inBudget = () => performance.now() - started < BLOCK_BUDGET_MS;
  while (codeBlocks.results.length > 0 && inBudget()) codeBlocks.results.shift()();
  while (codeBlocks.near.length > 0 && inBudget()) startBlock(codeBlocks.near.shift());
  if (codeBlocks.results.length > 0 || codeBlocks.near.length > 0) scheduleBlockWork();
}

// Keeps track of a piece of work that ends by putting something into the page.
function track(promise, apply) {
  const work = promise.then((result) => {
    codeBlocks.results.push(() => apply(result));
    scheduleBlockWork();
  });
  codeBlocks.pending.add(work);
  work.then(() => codeBlocks.pending.delete(work));
}

function startBlock(el) {
  if (!el.isConnected) return;
  if (el.localName === 'code') {
    typesetFormula(el, el.classList.contains(DISPLAY_FORMULA_CLASS), el);
    return;
  }
  const code = codeOf(el);
  if (!code) return;
  const language = languageOf(code);
  const github = codeBlocks.dialect === GITHUB_DIALECT;
  if (github && language === MATH_LANGUAGE) {
    typesetFormula(code, true, el);
    return;
  }
  addCopyButton(el, code);
  if (github && language === DIAGRAM_LANGUAGE) {
    // A block left as code keeps (or gets back) its copy button.
    track(drawDiagram(el).catch(() => false), (drawn) => {
      const shownCode = el.querySelector(':scope > code');
      if (!drawn && shownCode && !el.querySelector(':scope > .' + COPY_BUTTON_CLASS)) addCopyButton(el, shownCode);
    });
    return;
  }
  if (language === '' || language === MATH_LANGUAGE || language === DIAGRAM_LANGUAGE) return;
  const text = code.textContent;
  if (text.length > HIGHLIGHT_MOST_UNITS) return;
  track(highlightWorker().run({ language, text }), (result) => {
    if (!result || result.html === null || !code.isConnected || code.textContent !== text) return;
    code.replaceChildren(...disarmedNodes(result.html));
  });
}

// The nodes of a library's HTML, parsed and disarmed in the inert document.
function disarmedNodes(html) {
  resultHolder.innerHTML = html;
  disarmFragment(resultHolder);
  const nodes = [...resultHolder.childNodes];
  resultHolder.textContent = '';
  return nodes;
}

// Replaces what shows a formula (its code, or the block that holds it) by its MathML; a formula
// that does not typeset keeps its source, marked, with the typesetter's message as its tooltip.
function typesetFormula(code, display, shown) {
  const tex = code.textContent;
  const block = shown !== code;
  track(formulaWorker().run({ tex, display }), (result) => {
    if (!shown.isConnected || code.textContent !== tex) return;
    if (!result || !result.html) {
      shown.classList.add('math-error');
      if (result && result.error) shown.title = result.error;
      if (block) addCopyButton(shown, code);
      return;
    }
    // Inside a paragraph a display formula is a span that shows as a block.
    const box = createElement(block ? 'div' : 'span');
    box.className = display ? DISPLAY_FORMULA_CLASS : 'math-inline';
    box.append(...disarmedNodes(result.html));
    shown.replaceWith(box);
  });
}

function addCopyButton(pre, code) {
  const button = createElement('button');
  button.type = 'button';
  button.className = COPY_BUTTON_CLASS;
  button.title = TEXT_COPY_CODE;
  button.setAttribute('aria-label', TEXT_COPY_CODE);
  button.addEventListener('click', () => copyCode(button, code));
  pre.prepend(button);
}

// Copies the code's text exactly; where the clipboard interface is missing or refuses (no secure
// context, no focus), through a selection of the code and the copy command.
function copyCode(button, code) {
  const text = code.textContent;
  const shown = (outcome) => {
    button.classList.remove('copied', 'failed');
    button.classList.add(outcome);
    setTimeout(() => button.classList.remove(outcome), COPY_FEEDBACK_MS);
  };
  const viaSelection = () => (copyBySelection(code) ? 'copied' : 'failed');
  const clipboard = navigator.clipboard;
  if (!clipboard || typeof clipboard.writeText !== 'function') {
    shown(viaSelection());
    return;
  }
  clipboard.writeText(text).then(() => shown('copied'), () => shown(viaSelection()));
}

function copyBySelection(code) {
  const selection = getSelection();
  const kept = [];
  for (let i = 0; i < selection.rangeCount; i++) kept.push(selection.getRangeAt(i));
  const range = document.createRange();
  selectNodeContents.call(range, code);
  selection.removeAllRanges();
  selection.addRange(range);
  let copied = false;
  try {
    copied = execCommand('copy');
  } catch (e) {
    copied = false;
  }
  selection.removeAllRanges();
  for (const r of kept) selection.addRange(r);
  return copied;
}

// Deals with every block of the shown document at once and waits for all the results: for
// printing and export. Resolves when everything is in the page, or after mostMs with what is.
async function completeCodeBlocks(mostMs = PRINT_WAIT_MOST_MS) {
  finishDocumentInsertion();
  if (codeBlocks.observer) codeBlocks.observer.disconnect();
  codeBlocks.watchedFor.clear();
  for (const el of codeBlocks.waiting) codeBlocks.near.push(el);
  codeBlocks.waiting.clear();
  while (codeBlocks.near.length > 0) startBlock(codeBlocks.near.shift());
  let inTime = true;
  const deadline = new Promise((resolve) => setTimeout(() => resolve(false), mostMs));
  while (inTime && codeBlocks.pending.size > 0) {
    inTime = await Promise.race([Promise.all([...codeBlocks.pending]).then(() => true), deadline]);
  }
  // Diagrams drawn in a dark theme print from their copies for paper.
  if (inTime) await Promise.race([drawPrintCopies(), deadline]);
  applyArrivedResults();
}

// Puts every result that has arrived into the page now (a print that cannot wait takes these).
function applyArrivedResults() {
  while (codeBlocks.results.length > 0) codeBlocks.results.shift()();
}

// The print button and Ctrl+P print once every block is finished.
function printWhenComplete() {
  completeCodeBlocks().then(() => window.print());
}

function isPrintShortcut(event) {
  return (event.ctrlKey || event.metaKey) && !event.altKey && !event.shiftKey && PRINT_KEY_RE.test(event.key);
}
