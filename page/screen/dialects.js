// The switch between the two Markdown dialects: the reader's choice, remembered (a visit may choose
// with the "dialect" query parameter), and the document on screen shown again in it.
//
// Uses: endLanding, prepareConversion, readersPlace, renderDoc, returnToPlace, shownDocument, ui

// The Markdown dialect: 'classic' (the page's own converter) or 'github' (CommonMark with GitHub's
// extensions), remembered like the theme; the "dialect" query parameter chooses for one visit.
const DIALECT_STORAGE_KEY = 'md-dialect';
const DEFAULT_DIALECT = 'classic';
const DIALECT_PARAMETER = 'dialect';
const DIALECT_BUTTONS = [
  [ui.btnClassic, 'classic'],
  [ui.btnGithub, 'github'],
];
// The dialect new renders use, and the one the document on screen was converted in.
let chosenDialect = DEFAULT_DIALECT;
let documentDialect = DEFAULT_DIALECT;

function setDialectButtons(dialect) {
  for (const [button, value] of DIALECT_BUTTONS) button.setAttribute('aria-pressed', String(value === dialect));
}

function storedDialect() {
  try {
    return localStorage.getItem(DIALECT_STORAGE_KEY) === 'github' ? 'github' : DEFAULT_DIALECT;
  } catch (e) {
    return DEFAULT_DIALECT;
  }
}

// The reader's choice: remembered, and the document on screen shown again in it at the reader's
// place, as a live reload does.
function setDialect(dialect) {
  try {
    localStorage.setItem(DIALECT_STORAGE_KEY, dialect);
  } catch (e) {
    // No storage: the choice lasts for this run only.
  }
  setDialectButtons(dialect);
  if (dialect === chosenDialect) return;
  chosenDialect = dialect;
  // The classic dialect's worker starts with the first large document: start-up stays as light.
  if (dialect === 'github') prepareConversion(dialect);
  if (!shownDocument) return;
  endLanding();
  const place = readersPlace();
  renderDoc(shownDocument.md, shownDocument.name, place.index + 1, () => returnToPlace(place));
}

// The dialect of the document on screen: 'classic' or 'github'.
function shownDialect() {
  return documentDialect;
}
