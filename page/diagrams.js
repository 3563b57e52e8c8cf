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
// This script comes between page/document-insertion.js and page/viewer.js in the same script
// element; it uses settleDocumentLinks (page/links.js) and what viewer.js sets up at start-up
// (contentEl, pageBody, createElement, inertHolder, disarmFragment), and is called only after that.

// Where the program serves the library. Kept in step with the program's address for it and with the
// page's Content-Security-Policy, which admits this one script URL.
const DIAGRAM_LIBRARY_URL = 'https://tallowmere.invalid/vendor/mermaid.min.js';
// Globals the library defines; a document's ids and names may not take them (see viewer.js).
const DIAGRAM_LIBRARY_GLOBALS = ['mermaid', '__esbuild_esm_mermaid_nm'];
// A library that has neither loaded nor failed by then counts as failed: no block waits for ever.
const DIAGRAM_LIBRARY_TIMEOUT_MS = 20000;
// Diagram blocks, as the converters write a fenced block of that language.
const DIAGRAM_CODE = ':scope > code.language-mermaid';
const DIAGRAM_CLASS = 'diagram';
const DIAGRAM_DRAWING_CLASS = 'diagram-drawing';
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

// The library once loaded (a promise of it, or of null when it cannot be had).
let diagramLibrary = null;
// Drawings run one at a time: the library keeps its settings (the theme) between calls.
let diagramQueue = Promise.resolve();
let diagramLibraryTheme = null;
let diagramCount = 0;
// Blocks being drawn, so that asking again while one is drawn waits for the same drawing.
const diagramsInProgress = new WeakMap();
let staleDiagramObserver = null;

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

// The library's colours taken from the page's theme variables: nodes in the page's background
// colour on the block's, framed in the accent colour, lines and text in the page's text colours,
// slices of charts in the theme's diagram palette.
function diagramSettings(theme) {
  const style = getComputedStyle(pageBody);
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

function showDrawing(pre, svg, theme) {
  let drawing = pre.querySelector(':scope > .' + DIAGRAM_DRAWING_CLASS);
  if (!drawing) {
    drawing = createElement('div');
    drawing.className = DIAGRAM_DRAWING_CLASS;
    pre.appendChild(drawing);
  }
  drawing.replaceChildren(svg);
  pre.classList.add(DIAGRAM_CLASS);
  pre.setAttribute(DIAGRAM_THEME_ATTRIBUTE, theme);
}

async function drawWithLibrary(library, pre, source) {
  if (!pre.isConnected) return false;
  const theme = pageTheme();
  if (pre.getAttribute(DIAGRAM_THEME_ATTRIBUTE) === theme) return true;
  if (diagramLibraryTheme !== theme) {
    library.initialize(diagramSettings(theme));
    diagramLibraryTheme = theme;
  }
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
  showDrawing(pre, svg, theme);
  // The theme changed while the library drew: the drawing is drawn again in the new one.
  if (pageTheme() !== theme) redrawDiagramsForTheme();
  return true;
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
      const drawn = diagramQueue.then(() => drawWithLibrary(library, pre, source));
      diagramQueue = drawn.catch(() => false);
      return drawn;
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
