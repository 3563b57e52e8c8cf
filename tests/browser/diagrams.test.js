'use strict';
// Diagrams: mermaid blocks drawn in place in the page's theme by the library the program serves, and
// left as code when the library cannot be had or the diagram cannot be drawn. (Hostile diagram
// sources are among the payloads of hostile.test.js.) Pictures of each theme and of print are written
// beside the built page, in screenshots/.
const { describe, it, before, after } = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const path = require('node:path');
const { SCREENSHOT_DIR, startSuite, endSuite, openViewer, openDocument, serveDiagramLibrary } = require('./harness');

// Wide enough to be shrunk to the content width, a sequence, a syntax error, and code of another language.
const DOCUMENT = `# Diagrams

\`\`\`mermaid
graph LR
  A[Read the file] --> B{Changed?} -->|yes| C[Convert] --> D[Insert in slices] --> E[Draw diagrams] --> F[Show]
  B -->|no| F
\`\`\`

\`\`\`mermaid
sequenceDiagram
  Program->>Page: openFile
  Page-->>Program: ready
\`\`\`

\`\`\`mermaid
graph TD
  A -- B -->
\`\`\`

\`\`\`js
const notADiagram = true;
\`\`\`
`;
const EXPECTED = [true, true, false, false];

const THEME_BUTTONS = { dark: '#btnDark', light: '#btnLight', hc: '#btnHC' };

function drawAll(page) {
  return page.evaluate(() => Promise.all([...document.querySelectorAll('#content pre')].map((pre) => drawDiagram(pre))));
}

// What each block shows: its drawing's theme and size against the block, its code's visibility, the
// fill of a flowchart node or sequence actor (against the theme's background colour on screen), and
// the contrast of that fill and of a label's ink against white paper.
function blocks(page) {
  return page.evaluate(() => [...document.querySelectorAll('#content pre')].map((pre) => {
    const luminance = (css) => {
      const [r, g, b] = css.match(/[\d.]+/g).slice(0, 3).map((v) => {
        const c = Number(v) / 255;
        return c <= 0.03928 ? c / 12.92 : ((c + 0.055) / 1.055) ** 2.4;
      });
      return 0.2126 * r + 0.7152 * g + 0.0722 * b;
    };
    const onWhite = (css) => Math.round((1.05 / (luminance(css) + 0.05)) * 10) / 10;
    const svg = [...pre.querySelectorAll('svg')].find((el) => el.getBoundingClientRect().width > 0);
    const shape = svg && svg.querySelector('.node rect, rect.actor');
    const label = svg && svg.querySelector('.nodeLabel, text.actor > tspan');
    return {
      theme: pre.getAttribute('data-diagram-theme'),
      codeShown: getComputedStyle(pre.querySelector('code')).display !== 'none',
      fits: svg ? svg.getBoundingClientRect().width <= pre.clientWidth : null,
      filled: shape ? getComputedStyle(shape).fill === getComputedStyle(document.body).backgroundColor : null,
      fillOnWhite: shape ? onWhite(getComputedStyle(shape).fill) : null,
      inkOnWhite: label ? onWhite(getComputedStyle(label)[label.localName === 'tspan' ? 'fill' : 'color']) : null,
      filter: svg ? getComputedStyle(svg).filter : null,
    };
  }));
}

let browser;
let server;

before(async () => {
  ({ browser, server } = await startSuite());
  fs.mkdirSync(SCREENSHOT_DIR, { recursive: true });
});

after(() => endSuite(browser, server));

describe('diagrams', () => {
  it('are drawn in place in each theme, fit the content width, and are drawn again for a new theme', async () => {
    const context = await browser.newContext({ viewport: { width: 900, height: 900 } });
    await serveDiagramLibrary(context);
    const page = await openViewer(context, server);
    const errors = [];
    page.on('pageerror', (error) => errors.push(error.message));
    await page.click(THEME_BUTTONS.dark);
    await openDocument(page, DOCUMENT, 'diagrams.md');
    const blocksBefore = await page.$$('#content pre');
    assert.equal(await page.$('script[src]'), null, 'the library is loaded only when a diagram is drawn');
    assert.deepEqual(await drawAll(page), EXPECTED);

    // Dark: the copies for paper are drawn when the page is idle. Light: the drawings print as they
    // are. High contrast: the light drawings, replaced, are kept as the copies.
    for (const theme of ['dark', 'light', 'hc']) {
      if (theme !== 'dark') {
        // The theme switch alone draws the diagrams again (they are all near the window).
        await page.click(THEME_BUTTONS[theme]);
        await page.waitForFunction((t) => [...document.querySelectorAll('#content pre.diagram')]
          .every((pre) => pre.getAttribute('data-diagram-theme') === t), theme);
        assert.deepEqual(await drawAll(page), EXPECTED);
      }
      const shown = (await blocks(page)).map(({ fillOnWhite, inkOnWhite, ...block }) => block);
      const drawn = { theme, codeShown: false, fits: true, filled: true, filter: 'none' };
      const code = { theme: null, codeShown: true, fits: null, filled: null, filter: null };
      assert.deepEqual(shown, [drawn, drawn, code, code], theme);
      await page.screenshot({ path: path.join(SCREENSHOT_DIR, `diagrams-${theme}.png`), fullPage: true });
      await page.waitForFunction(() => [...document.querySelectorAll('#content pre.diagram')]
        .every((pre) => pre.getAttribute('data-diagram-theme') === 'light' || pre.querySelector('.diagram-print svg')));
      await page.emulateMedia({ media: 'print' });
      // Printed: pale shapes and dark labels, no filter, in every theme.
      for (const block of (await blocks(page)).slice(0, 2)) {
        assert.equal(block.codeShown, false, theme);
        assert.equal(block.filter, 'none', theme);
        assert.ok(block.fillOnWhite < 1.1 && block.inkOnWhite >= 7, `${theme}: ${JSON.stringify(block)}`);
      }
      await page.screenshot({ path: path.join(SCREENSHOT_DIR, `diagrams-${theme}-print.png`), fullPage: true });
      await page.emulateMedia({ media: 'screen' });
    }

    // The blocks stayed the same elements; the library left nothing of its work in the page.
    const blocksAfter = await page.$$('#content pre');
    for (let i = 0; i < blocksBefore.length; i++) {
      assert.equal(await blocksBefore[i].evaluate((a, b) => a === b, blocksAfter[i]), true);
    }
    assert.equal(await page.evaluate(() => document.querySelectorAll('body > :not(#topbar, #toc, #encodingList, #lookPanel, #contentArea, #totop, #resumeBar, #closeView, #filePicker, #diagramColours, #aboutOverlay, #aboutDialog, script, template)').length), 0);
    assert.deepEqual(errors, []);
    await context.close();
  });

  it('stay as code when the library cannot be loaded, as outside the program', async () => {
    const context = await browser.newContext();
    const page = await openViewer(context, server);
    await openDocument(page, DOCUMENT, 'diagrams.md');
    assert.deepEqual(await drawAll(page), [false, false, false, false]);
    assert.deepEqual(await drawAll(page), [false, false, false, false], 'asked again, still code');
    assert.deepEqual((await blocks(page)).map((block) => block.codeShown), [true, true, true, true]);
    assert.equal(await page.$$eval('#content svg', (svgs) => svgs.length), 0);
    await context.close();
  });
});
