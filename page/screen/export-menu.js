// The export menu in the top bar and the host's own export requests: the HTML file offered for saving
// (to the host, which asks where, or as a download in the stand-alone page), the PDF the host prints,
// and the paper size the host reports before it prints.
//
// Uses: EXPORT_EXTENSION_RE, EXPORT_HTML_TYPE, EXPORT_LOOK_PRINT, EXPORT_LOOK_THEME,
//   EXPORT_WAIT_MOST_MS, PAGE_TITLE, chosenDialect, completeCodeBlocks, createElement,
//   exportDocumentHtml, hostView, pageBody, renderDoc, setDialectButtons, shownDocument,
//   whenDocumentConverted

// The exported file's name: the document's, with the new extension.
function exportFileName(extension) {
  const name = shownDocument && shownDocument.name ? shownDocument.name : PAGE_TITLE;
  return name.replace(EXPORT_EXTENSION_RE, '') + extension;
}

// Offers the HTML as a download (the stand-alone page, which has no host to ask where to save).
function downloadHtml(html) {
  const link = createElement('a');
  link.href = URL.createObjectURL(new Blob([html], { type: EXPORT_HTML_TYPE }));
  link.download = exportFileName('.html');
  pageBody.appendChild(link);
  link.click();
  link.remove();
  setTimeout(() => URL.revokeObjectURL(link.href), 0);
}

// The export menu's HTML entry: to the host, which asks where to save, or as a download.
async function exportHtml(look) {
  if (!shownDocument) return;
  const html = await exportDocumentHtml(look);
  if (hostView) hostView.postMessage({ action: 'exportHtml', name: exportFileName('.html'), html });
  else downloadHtml(html);
}

// The export menu's PDF entry (inside the program only): once every block is finished, the host
// prints the page to PDF in the print look.
async function exportPdf() {
  if (!shownDocument || !hostView) return;
  await whenDocumentConverted();
  await completeCodeBlocks(EXPORT_WAIT_MOST_MS);
  hostView.postMessage({ action: 'exportPdf', name: exportFileName('.pdf') });
}

// The paper of the system's locale, as the host reports it before it prints a PDF (and printing from
// then on uses it too).
const EXPORT_PAPER_SIZES = ['A4', 'letter'];
const paperRule = document.createElement('style');

function setPaperSize(size) {
  if (!EXPORT_PAPER_SIZES.includes(size)) return;
  paperRule.textContent = '@page { size: ' + size + '; }';
  if (!paperRule.isConnected) document.head.appendChild(paperRule);
}

// The host's own request (an export from the command line): the document just delivered (or about to
// be), in the dialect asked for, if any, which is not stored. The answer is the same message as the
// menu's.
let hostExportWaiting = null;

function exportForHost(format, dialect) {
  if (!shownDocument) {
    hostExportWaiting = { format, dialect };
    return;
  }
  hostExportWaiting = null;
  if ((dialect === 'classic' || dialect === 'github') && dialect !== chosenDialect) {
    chosenDialect = dialect;
    setDialectButtons(dialect);
    if (dialect === 'github') prepareGithubConversion();
    renderDoc(shownDocument.md, shownDocument.name);
  }
  if (format === 'pdf') exportPdf();
  else exportHtml(EXPORT_LOOK_PRINT);
}

// A document from the host has arrived: an export that waited for it goes on.
function continueHostExport() {
  if (hostExportWaiting) exportForHost(hostExportWaiting.format, hostExportWaiting.dialect);
}

// The export menu: the top bar's button opens it below itself; Enter, Space or Arrow Down on the
// button open it with the focus on its first entry, the arrows go round the entries, Escape closes
// it back onto the button, and Tab or a click elsewhere closes it. The stand-alone page offers HTML
// only (a download): a PDF needs the host's browser control.
function installExportMenu(button, list) {
  const entries = () => [...list.querySelectorAll('button')].filter((entry) => !entry.hidden);
  const themeEntry = list.querySelector('[data-export="theme"]');
  if (!hostView) list.querySelector('[data-export="pdf"]').hidden = true;
  const setOpen = (open, focusFirst = false) => {
    list.hidden = !open;
    button.setAttribute('aria-expanded', String(open));
    if (open && focusFirst) entries()[0].focus();
  };
  const close = (refocus) => {
    if (list.hidden) return;
    setOpen(false);
    if (refocus) button.focus();
  };
  button.addEventListener('click', () => setOpen(list.hidden, button.matches(':focus-visible')));
  button.addEventListener('keydown', (event) => {
    if (event.key !== 'ArrowDown') return;
    event.preventDefault();
    setOpen(true, true);
  });
  list.addEventListener('keydown', (event) => {
    const all = entries();
    const at = all.indexOf(document.activeElement);
    if (event.key === 'Escape') {
      event.stopPropagation();
      close(true);
    } else if (event.key === 'ArrowDown' || event.key === 'ArrowUp') {
      event.preventDefault();
      all[(at + (event.key === 'ArrowDown' ? 1 : all.length - 1)) % all.length].focus();
    } else if (event.key === 'Tab') {
      close(false);
    }
  });
  list.addEventListener('click', (event) => {
    const entry = event.target.closest('button');
    if (!entry) return;
    const kind = entry.getAttribute('data-export');
    if (kind === 'theme') {
      entry.setAttribute('aria-checked', String(entry.getAttribute('aria-checked') !== 'true'));
      return;
    }
    close(true);
    if (kind === 'pdf') exportPdf();
    else exportHtml(themeEntry.getAttribute('aria-checked') === 'true' ? EXPORT_LOOK_THEME : EXPORT_LOOK_PRINT);
  });
  document.addEventListener('click', (event) => {
    if (!button.contains(event.target) && !list.contains(event.target)) close(false);
  });
}
