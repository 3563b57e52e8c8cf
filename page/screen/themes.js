// The page's themes (dark, light, high contrast): the reader's choice, remembered, and a document's
// pictures that follow the theme's colour scheme rather than the system's.
//
// Uses: contentEl, elementGetAttribute, elementSetAttribute, pageBody, pageRoot, pageTheme,
//   redrawDiagramsForTheme, ui

const THEME_STORAGE_KEY = 'md-theme';
const DEFAULT_THEME = 'dark';
// The one theme with a light background; in every other (an unknown one shows the dark colours),
// pictures show their sources for a dark colour scheme.
const LIGHT_THEME = 'light';
// Media conditions that always hold and that never do, standing in for the colour scheme's.
const MEDIA_ALWAYS = '(min-width: 0px)';
const MEDIA_NEVER = '(not (min-width: 0px))';
const THEMED_SOURCES = 'picture > source[media]';
// A picture source's condition on the system's colour scheme, "(prefers-color-scheme: dark)".
const COLOR_SCHEME_FEATURE_RE = /\(\s*prefers-color-scheme\s*:\s*(light|dark)\s*\)/gi;

const THEME_BUTTONS = [
  [ui.btnDark, 'dark'],
  [ui.btnLight, 'light'],
  [ui.btnHC, 'hc'],
];
// The media conditions that a document wrote on its picture sources for a colour scheme.
const writtenSourceMedia = new WeakMap();

// A document's picture chooses between sources for a light and a dark colour scheme by the page's
// theme, not by the system's: each such condition is replaced by one that holds exactly when the
// theme's colour scheme is the one it names, and put in again when the theme changes.
function followThemeInPictures(root) {
  const dark = pageTheme() !== LIGHT_THEME;
  const holds = (match, scheme) => ((scheme.toLowerCase() === 'dark') === dark ? MEDIA_ALWAYS : MEDIA_NEVER);
  for (const source of root.querySelectorAll(THEMED_SOURCES)) {
    const written = writtenSourceMedia.get(source) ?? elementGetAttribute(source, 'media');
    const themed = written.replace(COLOR_SCHEME_FEATURE_RE, holds);
    if (themed === written) continue;
    writtenSourceMedia.set(source, written);
    elementSetAttribute(source, 'media', themed);
  }
}

function setTheme(t) {
  for (const el of [pageRoot, pageBody]) {
    if (t === DEFAULT_THEME) el.removeAttribute('data-theme');
    else el.setAttribute('data-theme', t);
  }
  followThemeInPictures(contentEl);
  for (const [button, theme] of THEME_BUTTONS) {
    button.classList.toggle('active', theme === t);
    button.setAttribute('aria-pressed', String(theme === t));
  }
  try {
    localStorage.setItem(THEME_STORAGE_KEY, t);
  } catch (e) {
    // No storage (opaque origin, disabled storage): the theme lasts for this run only.
  }
  redrawDiagramsForTheme();
}

function storedTheme() {
  try {
    return localStorage.getItem(THEME_STORAGE_KEY) || DEFAULT_THEME;
  } catch (e) {
    return DEFAULT_THEME;
  }
}
