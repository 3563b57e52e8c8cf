// The page's composition root: at start-up it takes the support image, applies the remembered
// theme, reading look and dialect, binds the top bar's, the panels' and the page's own events to the
// stages' functions, and then opens the document the "file" parameter names or shows the welcome
// screen and tells the host the page is ready for documents.
//
// The page is a pipeline, a folder per stage, joined in the order page/main-scripts.cmake lists:
// convert/ (Markdown to HTML, in a worker) -> insert/ (made safe, links and anchors settled, moved
// in slice by slice) -> enrich/ (pictures, diagrams, code blocks, formulas) -> screen/ (the reader's
// bars, panels and dialogs). show-document.js takes one document along that road and arrivals.js
// says how documents come (the host's messages, the file picker, a drop, the "file" parameter).
// What a script uses from the others, its "// Uses:" line says.
//
// Uses: DIALECT_BUTTONS, DIALECT_PARAMETER, THEME_BUTTONS, activateOnKeys, applyArrivedResults,
//   callbackClose, chosenDialect, closeTocOnOutsideClick, contentEl, finishDocumentInsertion,
//   followTopbarHeight, handleFiles, hideAbout, hostView, installCloseView, installEncodingList,
//   installExportMenu, installFilesPanel, installHistory, installReadingLook, installReadingPlace,
//   isPrintShortcut, keepFocusInAbout, loadFromQuery, onHostMessage, prepareConversion,
//   printWhenComplete, setDialect, setDialectButtons, setTheme, showAbout, showWelcome,
//   storedDialect, storedTheme, toggleTOC, ui

const TOTOP_THRESHOLD_PX = 300;

function installEventBindings() {
  ui.closeBtn.addEventListener('click', callbackClose);
  ui.logoBtn.addEventListener('click', showAbout);
  activateOnKeys(ui.logoBtn, showAbout);
  for (const [button, theme] of THEME_BUTTONS) button.addEventListener('click', () => setTheme(theme));
  for (const [button, dialect] of DIALECT_BUTTONS) button.addEventListener('click', () => setDialect(dialect));
  // The print button and Ctrl+P print once every code block, formula and diagram is finished. A
  // print started otherwise cannot be waited for: it still prints the whole document, with the
  // blocks finished so far.
  ui.printBtn.addEventListener('click', printWhenComplete);
  document.addEventListener('keydown', (event) => {
    if (!isPrintShortcut(event)) return;
    event.preventDefault();
    printWhenComplete();
  });
  window.addEventListener('beforeprint', () => {
    finishDocumentInsertion();
    applyArrivedResults();
  });
  installExportMenu(ui.exportBtn, ui.exportList);
  ui.tocBtn.addEventListener('click', toggleTOC);
  ui.totop.addEventListener('click', () => window.scrollTo({ top: 0, behavior: 'smooth' }));
  ui.aboutOverlay.addEventListener('click', hideAbout);
  ui.aboutClose.addEventListener('click', hideAbout);
  document.addEventListener('click', closeTocOnOutsideClick);
  window.addEventListener('scroll', () => {
    ui.totop.style.display = window.scrollY > TOTOP_THRESHOLD_PX ? 'flex' : 'none';
  });
  document.addEventListener('keydown', (event) => {
    if (event.key === 'Escape') hideAbout();
  });
  document.addEventListener('keydown', keepFocusInAbout);
  ui.filePicker.addEventListener('change', () => {
    handleFiles(ui.filePicker.files);
    ui.filePicker.value = '';
  });
  document.addEventListener('dragover', (event) => event.preventDefault());
  document.addEventListener('drop', (event) => {
    event.preventDefault();
    handleFiles(event.dataTransfer && event.dataTransfer.files);
  });
  // A form in a document never submits: it would navigate the page away.
  document.addEventListener('submit', (event) => event.preventDefault(), true);
}

function startPage() {
  contentEl = document.getElementById('content');
  const qrUri = ui.qrData ? ui.qrData.getAttribute('data-src') : '';
  if (qrUri) window._qrCodeUri = qrUri;
  setTheme(storedTheme());
  installReadingLook();
  installCloseView();
  installReadingPlace();
  const query = new URLSearchParams(location.search);
  const visitDialect = query.get(DIALECT_PARAMETER);
  chosenDialect = visitDialect === 'github' || visitDialect === 'classic' ? visitDialect : storedDialect();
  setDialectButtons(chosenDialect);
  if (chosenDialect === 'github') prepareConversion(chosenDialect);
  installEventBindings();
  installEncodingList();
  installHistory();
  installFilesPanel();
  followTopbarHeight();
  const file = query.get('file');
  if (file) {
    loadFromQuery(file);
    return;
  }
  showWelcome();
  if (hostView) {
    hostView.addEventListener('message', onHostMessage);
    hostView.postMessage({ action: 'ready' });
  }
}

startPage();
