// Diagrams: a code block of the language "mermaid" drawn as a diagram in the page's theme.
//
// The diagram library is large (megabytes of script), so it is not part of the page: the program
// serves it from its own origin at one fixed address, and the page adds a script element for that
// address the first time a diagram is drawn (the page's policy admits exactly that script URL).
// Outside the program (the page opened on its own) the address does not exist, the script fails to
// load, and every diagram stays as code.
//
// A diagram's source is as untrusted as the rest of the document. The library runs at its strictest
// security level (labels sanitised, no click handlers, no script URLs, and a diagram's own settings
// cannot lower that), and the picture it draws is then treated like any document HTML before it
// enters the page: parsed in the inert document, disarmed, and its links put under the document's
// link rules.
//
// A drawn block keeps its code element (hidden), so that its source stays at hand: a theme change
// draws it again in the new colours, and whatever fails leaves the block as code. The block itself
// stays in its place; only what it shows changes.
//
// Paper is white. A drawing made in a dark theme gets a copy for paper, drawn in the light theme's
// colours once the page is idle (and at once when the print button or Ctrl+P waits for every
// block); the printed page shows that copy. A print that could not wait shows a dark drawing
// without its copy as code. (Inverting a dark drawing with a filter does not survive printing:
// labels came out as black boxes.)
//
// The library's work runs on the page's thread, so each step of it gets a task of its own: the
// script is loaded by a script element (fetched and compiled off the thread), its settings are
// made in the next task, and each diagram is parsed in one task and drawn in the next, one
// diagram after the other. What the library does inside one drawing is its own single call.
//
// Uses: DEFAULT_THEME, contentEl, createElement, disarmFragment, inertHolder,
//   offerDiagramCloseView, pageBody, settleDocumentLinks

// Where the program serves the library. Kept in step with the program's address for it and with the
// page's Content-Security-Policy, which admits this one script URL.
const DIAGRAM_LIBRARY_URL = 'https://tallowmere.invalid/vendor/mermaid.min.js';
// A library that has neither loaded nor failed by then counts as failed: no block waits for ever.
const DIAGRAM_LIBRARY_TIMEOUT_MS = 20000;
// Diagram blocks, as the converters write a fenced block of that language.
const DIAGRAM_CODE = ':scope > code.language-mermaid';
const DIAGRAM_CLASS = 'diagram';
const DIAGRAM_DRAWING_CLASS = 'diagram-drawing';
// A block's drawing for paper, kept beside a drawing in a dark theme.
const DIAGRAM_PRINT_CLASS = 'diagram-print';
// The theme whose colours print: dark on white.
const PRINT_THEME = 'light';
// The theme a drawing was made in, on its block.
const DIAGRAM_THEME_ATTRIBUTE = 'data-diagram-theme';
// The ids of drawings; each drawing gets a fresh one that nothing in the page holds.
const DIAGRAM_ID_PREFIX = 'tallowmere-diagram-';
const SVG_NAMESPACE = 'http://www.w3.org/2000/svg';
// Drawings in an old theme are drawn again when they come within a window's height of the window.
const DIAGRAM_REDRAW_MARGIN = '100% 0px';
// Settings a diagram's own directives may not change, beyond the library's own list: style text
// that would reach the page outside the drawing.
const DIAGRAM_SECURE_SETTINGS = [
  'secure', 'securityLevel', 'startOnLoad', 'maxTextSize', 'suppressErrorRendering', 'maxEdges',
  'themeCSS', 'fontFamily', 'altFontFamily',
];

// The hidden element that has the light theme's colours, whatever the page's theme.
const printColoursEl = document.getElementById('diagramColours');

// The library once loaded (a promise of it, or of null when it cannot be had).
let diagramLibrary = null;
// Drawings run one at a time: the library keeps its settings (the theme) between calls.
let diagramQueue = Promise.resolve();
let diagramLibraryTheme = null;
let diagramCount = 0;
// Blocks being drawn, so that asking again while one is drawn waits for the same drawing; the
// same for copies for paper.
const diagramsInProgress = new WeakMap();
const printCopiesInProgress = new WeakMap();
// Drawings for the screen queued and not yet done: copies for paper wait until there are none.
let screenDrawingsWaiting = 0;
// Blocks whose copy for paper is to be drawn when the page is idle.
const printCopiesWanted = new Set();
let printCopyScheduled = false;
let staleDiagramObserver = null;

// Resolves in a later task, so that the page can paint and handle input in between. (A message
// task, not a timer: timers chained this way are slowed down.)
function nextTask() {
  return new Promise((resolve) => {
    const channel = new MessageChannel();
    channel.port1.onmessage = () => {
      channel.port1.close();
      resolve();
    };
    channel.port2.postMessage(null);
  });
}

function loadDiagramLibrary() {
  if (!diagramLibrary) {
    diagramLibrary = new Promise((resolve) => {
      const script = createElement('script');
      const done = (library) => {
        clearTimeout(timer);
        resolve(library);
      };
      const timer = setTimeout(() => done(null), DIAGRAM_LIBRARY_TIMEOUT_MS);
      // Only the library's own global counts, never an element a document named after it.
      script.addEventListener('load', () => {
        const library = Object.prototype.hasOwnProperty.call(window, 'mermaid') ? window.mermaid : null;
        done(library && typeof library.render === 'function' && typeof library.initialize === 'function' ? library : null);
      });
      script.addEventListener('error', () => done(null));
      script.src = DIAGRAM_LIBRARY_URL;
      document.head.appendChild(script);
    });
  }
  return diagramLibrary;
}

function pageTheme() {
  return pageBody.getAttribute('data-theme') || DEFAULT_THEME;
}

// The library's colours taken from the theme's variables: nodes in the page's background colour on
// the block's, framed in the accent colour, lines and text in the page's text colours, slices of
// charts in the theme's diagram palette. The page's theme is read from the page; the light theme,
// when the page shows another, from the element that always has its colours.
function diagramSettings(theme) {
  const style = getComputedStyle(theme === PRINT_THEME && pageTheme() !== PRINT_THEME ? printColoursEl : pageBody);
  const variable = (name) => style.getPropertyValue(name).trim();
  const fontFamily = style.fontFamily;
  const palette = variable('--diagram-palette').split(',').map((colour) => colour.trim());
  const slices = Object.fromEntries(palette.map((colour, i) => ['pie' + (i + 1), colour]));
  return {
    startOnLoad: false,
    securityLevel: 'strict',
    suppressErrorRendering: true,
    secure: DIAGRAM_SECURE_SETTINGS,
    theme: 'base',
    fontFamily,
    themeVariables: {
      darkMode: theme !== 'light',
      fontFamily,
      background: variable('--block-bg'),
      primaryColor: variable('--bg'),
      primaryTextColor: variable('--text'),
      primaryBorderColor: variable('--accent'),
      secondaryColor: variable('--block-bg2'),
      secondaryTextColor: variable('--text'),
      secondaryBorderColor: variable('--text-dim'),
      tertiaryColor: variable('--block-bg2'),
      tertiaryTextColor: variable('--text'),
      tertiaryBorderColor: variable('--text-dim'),
      lineColor: variable('--text-muted'),
      textColor: variable('--text'),
      edgeLabelBackground: variable('--block-bg'),
      clusterBkg: variable('--block-bg2'),
      clusterBorder: variable('--text-dim'),
      pieSectionTextColor: variable('--text'),
      pieStrokeColor: variable('--block-bg'),
      pieOuterStrokeColor: variable('--text-dim'),
      ...slices,
    },
  };
}

// An id that no element of the page has, nor the library's working elements for it.
function freshDiagramId() {
  let id;
  do {
    id = DIAGRAM_ID_PREFIX + ++diagramCount;
  } while (document.getElementById(id) || document.getElementById('d' + id) || document.getElementById('i' + id));
  return id;
}

// The library draws in working elements at the end of the body, and may leave them when it fails.
function removeDiagramWorkings(id) {
  for (const workingId of [id, 'd' + id, 'i' + id]) {
    const el = document.getElementById(workingId);
    if (el && !contentEl.contains(el)) el.remove();
  }
}

// The library's picture, disarmed in the inert document; null when it is not one SVG element.
function disarmedDrawing(svgText) {
  const holder = inertHolder.ownerDocument.createElement('div');
  holder.innerHTML = svgText;
  disarmFragment(holder);
  settleDocumentLinks(holder);
  const svg = holder.firstElementChild;
  if (!svg || svg.namespaceURI !== SVG_NAMESPACE || svg.localName !== 'svg' || holder.childElementCount !== 1) return null;
  return svg;
}

function drawingOf(pre, className) {
  return pre.querySelector(':scope > .' + className);
}

function newDrawing(className, svg) {
  const drawing = createElement('div');
  drawing.className = className;
  drawing.appendChild(svg);
  return drawing;
}

// Shows a drawing in the page's theme. A drawing in the light theme it replaces becomes the copy
// for paper; a new drawing in the light theme is that copy itself.
function showDrawing(pre, svg, theme) {
  const old = drawingOf(pre, DIAGRAM_DRAWING_CLASS);
  const printCopy = drawingOf(pre, DIAGRAM_PRINT_CLASS);
  if (old && pre.getAttribute(DIAGRAM_THEME_ATTRIBUTE) === PRINT_THEME && theme !== PRINT_THEME) {
    if (printCopy) printCopy.remove();
    old.className = DIAGRAM_PRINT_CLASS;
  } else if (old) {
    old.remove();
  }
  if (theme === PRINT_THEME && printCopy) printCopy.remove();
  pre.appendChild(newDrawing(DIAGRAM_DRAWING_CLASS, svg));
  pre.classList.add(DIAGRAM_CLASS);
  pre.setAttribute(DIAGRAM_THEME_ATTRIBUTE, theme);
  offerDiagramCloseView(pre);
  if (needsPrintCopy(pre)) wantPrintCopy(pre);
}

function showPrintCopy(pre, svg) {
  const printCopy = drawingOf(pre, DIAGRAM_PRINT_CLASS);
  if (printCopy) printCopy.remove();
  pre.appendChild(newDrawing(DIAGRAM_PRINT_CLASS, svg));
}

// A drawn block whose drawing would print light on dark and that has no copy for paper yet.
function needsPrintCopy(pre) {
  return pre.classList.contains(DIAGRAM_CLASS) && pre.getAttribute(DIAGRAM_THEME_ATTRIBUTE) !== PRINT_THEME &&
    !drawingOf(pre, DIAGRAM_PRINT_CLASS);
}

// Draws the block's diagram in the page's theme, or (forPrint) its copy for paper. Resolves to
// true when the block shows (or already showed) what was asked for.
async function drawWithLibrary(library, pre, source, forPrint) {
  if (!pre.isConnected) return false;
  if (forPrint ? !needsPrintCopy(pre) : pre.getAttribute(DIAGRAM_THEME_ATTRIBUTE) === pageTheme()) return true;
  // Whatever ran before (the library's evaluation, the drawing before) ends its task here.
  await nextTask();
  const theme = forPrint ? PRINT_THEME : pageTheme();
  if (diagramLibraryTheme !== theme) {
    library.initialize(diagramSettings(theme));
    diagramLibraryTheme = theme;
    await nextTask();
  }
  // The parse loads what the kind of diagram needs the first time; a source that does not parse
  // is not drawn.
  if (!(await library.parse(source, { suppressErrors: true }))) return false;
  await nextTask();
  if (!pre.isConnected) return false;
  const id = freshDiagramId();
  let svgText;
  try {
    svgText = (await library.render(id, source)).svg;
  } finally {
    removeDiagramWorkings(id);
  }
  if (!pre.isConnected || typeof svgText !== 'string') return false;
  const svg = disarmedDrawing(svgText);
  if (!svg) return false;
  if (forPrint) {
    showPrintCopy(pre, svg);
    return true;
  }
  showDrawing(pre, svg, theme);
  // The theme changed while the library drew: the drawing is drawn again in the new one.
  if (pageTheme() !== theme) redrawDiagramsForTheme();
  return true;
}

// Queues a drawing behind the others (the library draws one diagram at a time).
function queueDrawing(draw) {
  const drawn = diagramQueue.then(draw);
  diagramQueue = drawn.catch(() => false);
  return drawn;
}

// Draws the diagram of a block that holds mermaid code, in the page's current theme (again, when it
// was drawn in another). Resolves to true when the block shows the drawing, false when it stays
// as code; never rejects.
function drawDiagram(pre) {
  const inProgress = diagramsInProgress.get(pre);
  if (inProgress) return inProgress;
  const code = pre && pre.querySelector ? pre.querySelector(DIAGRAM_CODE) : null;
  if (!code) return Promise.resolve(false);
  const source = code.textContent;
  const drawing = loadDiagramLibrary()
    .then((library) => {
      if (!library) return false;
      screenDrawingsWaiting++;
      return queueDrawing(() => drawWithLibrary(library, pre, source, false)).finally(() => screenDrawingsWaiting--);
    })
    // A drawing that fails again leaves the one the block already shows.
    .catch(() => false)
    .then((drawn) => drawn || pre.classList.contains(DIAGRAM_CLASS))
    .finally(() => diagramsInProgress.delete(pre));
  diagramsInProgress.set(pre, drawing);
  return drawing;
}

// After a theme change: each drawing made in another theme is drawn again as it nears the window
// (until then, and if drawing it again fails, it shows the old colours).
function redrawDiagramsForTheme() {
  if (!contentEl) return;
  const theme = pageTheme();
  for (const pre of contentEl.querySelectorAll('pre.' + DIAGRAM_CLASS)) {
    if (pre.getAttribute(DIAGRAM_THEME_ATTRIBUTE) === theme) continue;
    if (!staleDiagramObserver) {
      staleDiagramObserver = new IntersectionObserver((entries) => {
        for (const entry of entries) {
          if (!entry.isIntersecting) continue;
          staleDiagramObserver.unobserve(entry.target);
          drawDiagram(entry.target);
        }
      }, { rootMargin: DIAGRAM_REDRAW_MARGIN });
    }
    staleDiagramObserver.observe(pre);
  }
}

// Draws the copy for paper of a block drawn in a dark theme. Resolves to true when the block has
// one (or needs none); never rejects.
function drawPrintCopy(pre) {
  if (!needsPrintCopy(pre)) return Promise.resolve(true);
  const inProgress = printCopiesInProgress.get(pre);
  if (inProgress) return inProgress;
  const source = pre.querySelector(DIAGRAM_CODE).textContent;
  const drawing = loadDiagramLibrary()
    .then((library) => library && queueDrawing(() => drawWithLibrary(library, pre, source, true)))
    .catch(() => false)
    .finally(() => printCopiesInProgress.delete(pre));
  printCopiesInProgress.set(pre, drawing);
  return drawing;
}

// Copies for paper are drawn one at a time when the page is idle and no drawing for the screen
// waits, so that a print started from the context menu finds them too.
function wantPrintCopy(pre) {
  printCopiesWanted.add(pre);
  schedulePrintCopy();
}

function schedulePrintCopy() {
  if (printCopyScheduled || printCopiesWanted.size === 0) return;
  printCopyScheduled = true;
  requestIdleCallback(drawWantedPrintCopy);
}

function drawWantedPrintCopy() {
  printCopyScheduled = false;
  if (screenDrawingsWaiting > 0) {
    diagramQueue.then(schedulePrintCopy);
    return;
  }
  const [pre] = printCopiesWanted;
  printCopiesWanted.delete(pre);
  const next = () => schedulePrintCopy();
  if (pre.isConnected) drawPrintCopy(pre).then(next);
  else next();
}

// For printing: the copies for paper of every drawn block, once the drawings for the screen are
// done. Resolves when all are drawn (or failed).
function drawPrintCopies() {
  printCopiesWanted.clear();
  if (!contentEl) return Promise.resolve();
  return Promise.all([...contentEl.querySelectorAll('pre.' + DIAGRAM_CLASS)].map(drawPrintCopy));
}
