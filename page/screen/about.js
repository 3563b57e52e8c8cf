// The about dialog, opened from the logo: modal while open (Tab goes round its own controls), and the
// focus goes back to the top bar when it closes.
//
// Uses: ui

// The about dialog's controls, in Tab order.
const aboutControls = [...ui.aboutDialog.querySelectorAll('a[href], button')];

// What had the focus before the about dialog took it.
let focusBeforeAbout = null;

function isAboutOpen() {
  return ui.aboutDialog.style.display !== 'none';
}

function showAbout() {
  const opening = !isAboutOpen();
  ui.aboutOverlay.style.display = 'block';
  ui.aboutDialog.style.display = 'flex';
  if (typeof window._qrCodeUri === 'string') {
    ui.qrCodeImg.src = window._qrCodeUri;
    ui.qrCodeImg.style.display = 'block';
    ui.qrCodePlaceholder.style.display = 'none';
  }
  if (opening) {
    focusBeforeAbout = document.activeElement;
    ui.aboutClose.focus();
  }
}

function hideAbout() {
  const closing = isAboutOpen();
  ui.aboutOverlay.style.display = 'none';
  ui.aboutDialog.style.display = 'none';
  if (closing) returnFocusFromAbout();
}

// Back to the top-bar control that opened the dialog, else to the logo (never into the document,
// whose elements' methods the document may have replaced).
function returnFocusFromAbout() {
  const previous = focusBeforeAbout;
  focusBeforeAbout = null;
  (previous && ui.topbar.contains(previous) ? previous : ui.logoBtn).focus();
}

// While the about dialog is open, Tab and Shift+Tab go round its own controls only.
function keepFocusInAbout(event) {
  if (event.key !== 'Tab' || !isAboutOpen()) return;
  const first = aboutControls[0];
  const last = aboutControls[aboutControls.length - 1];
  const active = document.activeElement;
  let next = null;
  if (!ui.aboutDialog.contains(active)) next = event.shiftKey ? last : first;
  else if (event.shiftKey && active === first) next = last;
  else if (!event.shiftKey && active === last) next = first;
  if (next) {
    event.preventDefault();
    next.focus();
  }
}
