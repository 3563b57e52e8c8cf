'use strict';
// Export to one HTML file: made in the page from the shown document, then opened as a file of its
// own in a fresh tab, in both dialects: picture embedded, formula as MathML and diagram as SVG in the
// light colours (the GitHub dialect's), heading link working, print look, no script, nothing fetched
// but the picture that stayed a link.
const { describe, it, before, after } = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const path = require('node:path');
const { ROOT, SCREENSHOT_DIR, startSuite, endSuite, openViewer, openDocument, documentShown, serveDiagramLibrary, DIALECTS,
  DIALECT_QUERY } = require('./harness');

const PICTURE = fs.readFileSync(path.join(ROOT, 'docs', 'screenshot.png'));
// Enough text between the link and its heading that the export takes the content in several runs.
const FILLER = Array.from({ length: 800 }, (_, i) => `Paragraph ${i} of the filler, with *emphasis* & an ampersand. ${'Words. '.repeat(50)}`)
  .join('\n\n');
const DOCUMENT = `# Exported

![shot](img/shot.png) ![far](https://pictures.example/far.png)

Inline $x^2$ maths and [a link to the second part](#second-part).

\`\`\`mermaid
graph LR
  A[Read] --> B[Show]
\`\`\`

\`\`\`js
const answer = 42;
\`\`\`

${FILLER}

## Second part

The end.
`;

// What the exported file holds, read in the tab that opened it.
function inspectFile(page) {
  return page.evaluate(() => {
    const link = [...document.querySelectorAll('#content a')].find((a) => a.textContent.startsWith('a link'));
    const target = document.getElementById(decodeURIComponent(link.getAttribute('href').slice(1)));
    const pictures = [...document.querySelectorAll('#content img')].map((img) => img.getAttribute('src').slice(0, 22));
    const policy = document.querySelector('meta[http-equiv="Content-Security-Policy"]').content;
    return {
      title: document.title,
      scripts: document.querySelectorAll('script').length,
      handlers: [...document.querySelectorAll('*')].some((el) => [...el.attributes].some((a) => a.name.startsWith('on'))),
      policy,
      pictures,
      shotShown: document.querySelector('#content img').naturalWidth > 0,
      linkTarget: target ? target.textContent : null,
      outlineIds: [...document.querySelectorAll('#content h1, #content h2')].map((h) => h.id),
      diagramSvgs: document.querySelectorAll('#content pre.diagram svg').length,
      diagramCodeShown: [...document.querySelectorAll('#content pre.diagram > code')].some((c) => c.getClientRects().length > 0),
      highlighted: document.querySelectorAll('#content pre code [class^="hljs-"]').length > 0,
      copyButtons: document.querySelectorAll('.copy-code').length,
      paragraphs: [...document.querySelectorAll('#content p')].filter((p) => !p.closest('pre')).map((p) => p.textContent).join('\n'),
      background: getComputedStyle(document.body).backgroundColor,
      h1: getComputedStyle(document.querySelector('#content h1')).color,
      theme: document.body.getAttribute('data-theme'),
    };
  });
}

let browser;
let server;

before(async () => {
  ({ browser, server } = await startSuite());
});

after(() => endSuite(browser, server));

describe('export to HTML', () => {
  for (const dialect of DIALECTS) {
    it(`the ${dialect} dialect: one file that shows the document alone, as printed`, async () => {
      const context = await browser.newContext({ viewport: { width: 900, height: 700 } });
      await serveDiagramLibrary(context);
      await context.route('**/doc/**/img/shot.png', (route) =>
        route.fulfill({ status: 200, headers: { 'content-type': 'image/png' }, body: PICTURE }));
      const viewer = await openViewer(context, server, { query: DIALECT_QUERY[dialect] });
      await openDocument(viewer, DOCUMENT, 'notes.md');
      await viewer.evaluate(() => setTheme('dark'));
      // The diagram library is large: on a busy machine it takes its time to load and draw.
      if (dialect === 'github') await viewer.waitForSelector('#content pre.diagram svg', { timeout: 120000 });
      await viewer.click('#exportBtn');
      await viewer.click('#exportList [data-export="html"]');
      await viewer.waitForFunction(() => window.__host.posted.some((m) => JSON.parse(m.json).action === 'exportHtml'));
      const shownParagraphs = await viewer.evaluate(() =>
        [...document.querySelectorAll('#content p')].filter((p) => !p.closest('pre')).map((p) => p.textContent).join('\n'));
      const message = await viewer.evaluate(() =>
        JSON.parse(window.__host.posted.find((m) => JSON.parse(m.json).action === 'exportHtml').json));
      assert.equal(message.name, 'notes.html');

      // Opened as a file of its own, from an address of no server: every request is recorded.
      const requests = [];
      const reader = await browser.newContext({ viewport: { width: 900, height: 700 } });
      reader.on('request', (request) => requests.push(request.url()));
      await reader.route('http://export.invalid/**', (route) =>
        route.request().url().endsWith('/notes.html')
          ? route.fulfill({ status: 200, headers: { 'content-type': 'text/html' }, body: message.html })
          : route.fulfill({ status: 404, body: '' }));
      await reader.route('https://pictures.example/**', (route) => route.fulfill({ status: 404, body: '' }));
      const page = await reader.newPage();
      await page.goto('http://export.invalid/notes.html');
      await page.waitForLoadState('load');
      const file = await inspectFile(page);
      fs.mkdirSync(SCREENSHOT_DIR, { recursive: true });
      await page.screenshot({ path: path.join(SCREENSHOT_DIR, `export-${dialect}.png`) });

      assert.equal(file.title, 'Exported - Quillpane');
      assert.equal(file.scripts, 0);
      assert.equal(file.handlers, false);
      assert.match(file.policy, /default-src 'none'; script-src 'none'/);
      assert.deepEqual(file.pictures, ['data:image/png;base64,', 'https://pictures.examp']);
      assert.ok(file.shotShown);
      assert.equal(file.linkTarget, 'Second part');
      assert.deepEqual(file.outlineIds, ['heading-0', 'heading-1']);
      // The classic dialect shows diagrams and formulas as code, and so does its file.
      const github = dialect === 'github';
      assert.equal(file.diagramSvgs, github ? 1 : 0, 'a drawn diagram is one drawing, the one for paper');
      assert.equal(file.diagramCodeShown, false);
      assert.ok(file.highlighted);
      assert.equal(file.copyButtons, 0);
      assert.ok(file.paragraphs === shownParagraphs, 'every paragraph, once, in order');
      assert.equal(file.background, 'rgb(255, 255, 255)');
      assert.equal(file.h1, 'rgb(17, 17, 17)');
      assert.deepEqual(requests, ['http://export.invalid/notes.html', 'https://pictures.example/far.png']);
      assert.equal(await page.evaluate(() => document.querySelectorAll('#content math').length), github ? 1 : 0);
      // The link jumps inside the file.
      await page.click('text=a link to the second part');
      assert.equal(new URL(page.url()).hash, '#' + file.outlineIds[1]);
      await reader.close();
      await context.close();
    });
  }

  it('keeps the current theme when asked, and the stand-alone page offers the file as a download', async () => {
    const context = await browser.newContext({ acceptDownloads: true });
    const viewer = await openViewer(context, server, { webView: false });
    await viewer.evaluate((md) => renderOwnDoc(md, 'notes.md'), DOCUMENT);
    // The document is long enough to be converted in the worker: the button comes with its first part.
    await documentShown(viewer);
    await viewer.evaluate(() => setTheme('hc'));
    // Keyboard: the menu opens onto its first entry, the arrows go round, Escape closes it.
    await viewer.focus('#exportBtn');
    await viewer.keyboard.press('Enter');
    const entries = await viewer.evaluate(() => [...document.querySelectorAll('#exportList button')]
      .filter((b) => !b.hidden).map((b) => b.textContent));
    assert.deepEqual(entries, ['HTML', '\u5f53\u524d\u4e3b\u9898'], 'no PDF outside the program');
    assert.equal(await viewer.evaluate(() => document.activeElement.textContent), 'HTML');
    await viewer.keyboard.press('ArrowDown');
    await viewer.keyboard.press('Enter');
    await viewer.keyboard.press('ArrowUp');
    const [download] = await Promise.all([viewer.waitForEvent('download'), viewer.keyboard.press('Enter')]);
    assert.equal(download.suggestedFilename(), 'notes.html');
    const html = fs.readFileSync(await download.path(), 'utf8');
    assert.match(html, /<body data-theme="hc">/);
    await viewer.focus('#exportBtn');
    await viewer.keyboard.press('ArrowDown');
    await viewer.keyboard.press('Escape');
    assert.deepEqual(await viewer.evaluate(() => [document.getElementById('exportList').hidden, document.activeElement.id]),
      [true, 'exportBtn']);
    await context.close();
  });
});
