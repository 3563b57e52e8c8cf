// The top bar's own behaviour: the shown file's name, its height as the page's layout follows it, and
// keys for the elements in it that act as buttons without being one.
//
// Uses: ui

// The file name in the top bar; its tooltip shows the name whole when the bar has to cut it.
function showFileName(text) {
  ui.filename.textContent = text;
  ui.filename.title = text;
}

// Lets Enter and Space work an element that acts as a button without being one.
function activateOnKeys(element, action) {
  element.addEventListener('keydown', (event) => {
    if (event.key !== 'Enter' && event.key !== ' ') return;
    event.preventDefault();
    action();
  });
}

// Keeps --topbar-height at the bar's height, which grows when a narrow window wraps the bar: the
// outline panel opens just below it and anchor jumps stop short of it.
function followTopbarHeight() {
  const root = document.documentElement;
  new ResizeObserver(() => root.style.setProperty('--topbar-height', ui.topbar.offsetHeight + 'px')).observe(ui.topbar);
}
