'use strict';
// The GitHub dialect's converter exactly as the built page carries it: the worker module's text,
// taken out of the page's template element and imported as a module. Needs the built page
// (PAGEWRIGHT_HTML, else build/pagewright.html).
const fs = require('node:fs');
const path = require('node:path');

const PAGE_PATH = process.env.PAGEWRIGHT_HTML
  ? path.resolve(process.env.PAGEWRIGHT_HTML)
  : path.join(__dirname, '..', '..', 'build', 'pagewright.html');
const HOLDER_RE = /<template id="githubConverter">([\s\S]*?)<\/template>/;

function githubWorkerText() {
  const held = HOLDER_RE.exec(fs.readFileSync(PAGE_PATH, 'utf8'));
  if (!held) throw new Error(`${PAGE_PATH} holds no GitHub converter: build the viewer_page target first`);
  return held[1].replace(/&lt;/g, '<').replace(/&amp;/g, '&');
}

// Resolves to the converter: { render(text), renderOpening(opening, rest) }.
async function loadGithubDialect() {
  const text = githubWorkerText();
  try {
    const module = await import('data:text/javascript;base64,' + Buffer.from(text).toString('base64'));
    return module.githubDialect;
  } catch (e) {
    // The module's address is the whole module: say what failed without it.
    throw new Error(`the GitHub converter failed to load: ${e.name}: ${e.message}`.slice(0, 400));
  }
}

module.exports = { loadGithubDialect, githubWorkerText };
