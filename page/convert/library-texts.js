// The texts of the libraries that run only in the page's workers: the highlighter, the formula
// typesetter, the GitHub dialect's converter and the character set detector. None of them is ever compiled in the page itself.
//
// Where a text comes from depends on the page's form:
// - the stand-alone page carries each in a holder element (a script of type text/plain, or a
//   template for the converter, whose text holds closing script tags), so that it works on its own;
// - the program's page carries none, because the HTML parser would pass over their half a megabyte
//   at every start-up; the program serves each text from its own origin, and the page fetches it the
//   first time a block or a document needs it.
// The holders are looked up at start-up, before any document exists, and their ids are reserved
// (page/insert/disarming.js), so a document can never stand in for one.
//
// Uses: nothing

const LIBRARY_TEXTS = {
  highlighter: { holderId: 'libHighlight', url: 'https://tallowmere.invalid/vendor/highlighter.js' },
  formulas: { holderId: 'libFormulas', url: 'https://tallowmere.invalid/vendor/formulas.js' },
  githubConverter: { holderId: 'githubConverter', url: 'https://tallowmere.invalid/vendor/github-converter.js' },
  charsetDetector: { holderId: 'libCharsets', url: 'https://tallowmere.invalid/vendor/charset-detector.js' },
};
const LIBRARY_HOLDER_IDS = Object.values(LIBRARY_TEXTS).map((library) => library.holderId);

const libraryHolders = new Map(
  Object.entries(LIBRARY_TEXTS).map(([name, library]) => [name, document.getElementById(library.holderId)]),
);
// Each library's text once asked for: a promise of the text, or of null when it cannot be had.
const libraryTextRequests = new Map();

// The text a holder of this page carries, or null when the page carries none.
function embeddedLibraryText(name) {
  const holder = libraryHolders.get(name);
  if (!holder) return null;
  return holder.localName === 'template' ? holder.content.textContent : holder.textContent;
}

// A promise of the library's text: the page's own, or the program's answer at the library's address;
// null when neither can be had (outside the program a page without holders has no libraries).
function libraryText(name) {
  if (!libraryTextRequests.has(name)) {
    const embedded = embeddedLibraryText(name);
    libraryTextRequests.set(
      name,
      embedded !== null
        ? Promise.resolve(embedded)
        : fetch(LIBRARY_TEXTS[name].url).then((response) => (response.ok ? response.text() : null)).catch(() => null),
    );
  }
  return libraryTextRequests.get(name);
}
