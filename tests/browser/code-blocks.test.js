'use strict';
// Code blocks as they near the window: syntax colours in every theme and in print, the copy
// button, formulas in the GitHub dialect (and their failures), blocks far away left alone until
// scrolled to, printing that waits for all of them, and the program's page, which loads its
// workers' libraries from the program's origin only when first needed.
const { describe, it, before, after } = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const path = require('node:path');
const { PAGE_PATH, startSuite, endSuite, openViewer, serveDiagramLibrary, documentShown, installWebViewStandIn } =
  require('./harness');

// One block for each language the page must colour, named as documents name them.
const SAMPLES = [
  ['bash', 'for f in *.md; do echo "$f"; done # loop'],
  ['sh', 'export PATH="$HOME/bin:$PATH"'],
  ['shell', '$ npm install --save-dev tallowmere'],
  ['console', '$ cargo build --release\n   Compiling tallowmere v0.1.0'],
  ['javascript', 'const greet = (name) => `Hello, ${name}!`; // arrow'],
  ['ts', 'interface Point { x: number; y: number }\nexport type P = Readonly<Point>;'],
  ['json', '{ "name": "tallowmere", "private": true, "version": 1 }'],
  ['html', '<!DOCTYPE html>\n<a href="x.html" class="link">link</a>'],
  ['xml', '<?xml version="1.0"?>\n<note id="1"><to>Tove</to></note>'],
  ['css', '#content pre > code.hljs:hover { color: #fff; margin: 0 4px; }'],
  ['python', '@dataclass\nclass A:\n    def f(self, x: int) -> str:\n        return f"{x}"  # comment'],
  ['rust', 'fn main() { let v: Vec<u8> = vec![1, 2]; println!("{:?}", v); }'],
  ['go', 'package main\nfunc main() { fmt.Println("hi", 42) }'],
  ['c', '#include <stdio.h>\nint main(void) { return printf("%d\\n", 1); }'],
  ['cpp', 'template <typename T> constexpr T twice(T v) { return v * 2; }'],
  ['csharp', 'public sealed class A { public string Name { get; init; } = "a"; }'],
  ['java', '@Override\npublic static void main(String[] args) { System.out.println(1L); }'],
  ['yaml', 'name: ci\non: [push]\njobs:\n  build: { runs-on: ubuntu-latest } # x'],
  ['toml', '[package]\nname = "tallowmere"\nversion = "0.1.0"'],
  ['ini', '; settings\n[window]\nwidth=1280'],
  ['diff', '--- a/x\n+++ b/x\n@@ -1 +1 @@\n-old\n+new'],
  ['sql', 'SELECT name, COUNT(*) FROM docs WHERE size > 10 GROUP BY name; -- c'],
  ['powershell', 'Get-ChildItem -Path $env:TEMP | Where-Object { $_.Length -gt 1KB }'],
  ['dockerfile', 'FROM debian:13\nRUN apt-get update && apt-get install -y chromium'],
  ['markdown', '# Title\n\n- *item* with `code` and [link](x.md)\n> quote'],
];
// Exactly what a copy must give back: tabs, trailing spaces, markup characters, CJK text.
const TRICKY_CODE = 'if (a < b && c > "d") {\n\treturn \'\u4e2d\u6587\';   \n}\n\n// end';

const sampleDocument = () => SAMPLES.map(([lang, code]) => '```' + lang + '\n' + code + '\n```').join('\n\n');

// Markup as the GitHub dialect writes it, here through the classic converter's raw HTML: an info
// string with GitHub's extras, inline and display formulas, one that does not typeset, a diagram.
const GITHUB_MARKUP = [
  '<pre><code class="language-rust,ignore">fn main() {}</code></pre>',
  '<pre><code class="language-bash [npm]">echo "$HOME"</code></pre>',
  '<p>Euler: <code class="language-math math-inline">e^{i\\pi} + 1 = 0</code>, ' +
    'broken: <code class="language-math math-inline">\\frac{1</code>.</p>',
  '<p><code class="language-math math-display">\\hat{y} = b</code>\n:eqlabel:</p>',
  '<pre><code class="language-math">\\sum_{k=1}^{n} k = \\frac{n(n+1)}{2}</code></pre>',
  '<pre><code class="language-mermaid">graph TD; A--&gt;B</code></pre>',
].join('\n\n');

const THEMES = { dark: '#btnDark', light: '#btnLight', hc: '#btnHC' };

let browser;
let server;
let context;

before(async () => {
  ({ browser, server, context } = await startSuite({
    context: { viewport: { width: 1000, height: 700 }, permissions: ['clipboard-read', 'clipboard-write'] },
  }));
});

after(() => endSuite(browser, server));

// Shows md in the dialect for this render only (nothing stored), once it is in place.
async function show(page, md, dialect = 'classic') {
  await page.evaluate(([text, d]) => {
    chosenDialect = d;
    renderDoc(text, 'doc.md');
  }, [md, dialect]);
  await documentShown(page);
  // The blocks near the window are found by an observer that reports after the next frames.
  await page.evaluate(() => new Promise((resolve) => requestAnimationFrame(() => requestAnimationFrame(resolve))));
}

// Until no block near the window waits for its worker or has yet to be dealt with.
function settled(page) {
  return page.waitForFunction(() => codeBlocks.pending.size === 0 && codeBlocks.near.length === 0 && codeBlocks.results.length === 0,
    null, { timeout: 20000 });
}

// Every highlighted token's colour against its block's background, as contrast ratios; with a
// selector, the colours of those elements against white paper instead.
function tokenContrasts(page, selector = null) {
  return page.evaluate((selector) => {
    const channels = (css) => css.match(/[\d.]+/g).slice(0, 3).map(Number);
    const luminance = (css) => {
      const [r, g, b] = channels(css).map((v) => {
        const c = v / 255;
        return c <= 0.03928 ? c / 12.92 : ((c + 0.055) / 1.055) ** 2.4;
      });
      return 0.2126 * r + 0.7152 * g + 0.0722 * b;
    };
    const ratio = (a, b) => {
      const [hi, lo] = [luminance(a), luminance(b)].sort((x, y) => y - x);
      return (hi + 0.05) / (lo + 0.05);
    };
    if (selector) {
      return [...document.querySelectorAll(selector)].map((el) => ratio(getComputedStyle(el).color, 'rgb(255, 255, 255)'));
    }
    const seen = new Map();
    for (const token of document.querySelectorAll('#content pre code [class^="hljs-"]')) {
      const color = getComputedStyle(token).color;
      const background = getComputedStyle(token.closest('pre')).backgroundColor;
      const key = token.className + ' ' + color;
      if (!seen.has(key)) seen.set(key, { token: token.className, color, background, ratio: ratio(color, background) });
    }
    return [...seen.values()];
  }, selector);
}

describe('code blocks', () => {
  for (const [theme, button] of Object.entries(THEMES)) {
    it(`every listed language is coloured, readable in the ${theme} theme and in print`, async () => {
      const page = await openViewer(context, server);
      await page.setViewportSize({ width: 1000, height: 4000 });
      await page.click(button);
      await show(page, sampleDocument());
      await settled(page);
      const plain = await page.$$eval('#content pre code', (codes) =>
        codes.filter((code) => !code.querySelector('[class^="hljs-"]')).map((code) => code.className));
      assert.deepEqual(plain, [], 'blocks left without colours');
      for (const media of ['screen', 'print']) {
        await page.emulateMedia({ media });
        const contrasts = await tokenContrasts(page);
        assert.ok(contrasts.length > 20, `${contrasts.length} token colours seen`);
        const unreadable = contrasts.filter((c) => c.ratio < 4.5);
        assert.deepEqual(unreadable, [], `${media}: token colours under 4.5:1`);
        if (media === 'print') {
          assert.ok(contrasts.every((c) => c.background === 'rgb(245, 245, 245)'), 'printed blocks are light');
          assert.equal(await page.$eval('#content .copy-code', (b) => getComputedStyle(b).display), 'none');
        }
      }
      await page.close();
    });

    it(`GitHub markup in the ${theme} theme: aliases, formulas, a failing formula, a diagram block`, async () => {
      const page = await openViewer(context, server);
      await page.click(button);
      await show(page, GITHUB_MARKUP, 'github');
      await settled(page);
      const shown = await page.evaluate(() => {
        const content = document.getElementById('content');
        return {
          aliases: [...content.querySelectorAll('pre code[class*="rust"], pre code[class*="bash"]')].map((c) => !!c.querySelector('.hljs-keyword, .hljs-built_in')),
          inline: content.querySelectorAll('p .math-inline > math').length,
          display: content.querySelectorAll('.math-display > math[display="block"]').length,
          displayInParagraph: content.querySelectorAll('p > span.math-display > math[display="block"]').length,
          failed: [...content.querySelectorAll('.math-error')].map((el) => [el.localName, el.textContent, el.title !== '']),
          formulaColour: getComputedStyle(content.querySelector('.math-display math')).color === getComputedStyle(document.body).color,
          diagramAsCode: content.querySelector('code.language-mermaid').textContent,
          scripts: content.querySelectorAll('script, [onload], [onerror]').length,
        };
      });
      assert.deepEqual(shown, {
        aliases: [true, true],
        inline: 1,
        display: 2,
        displayInParagraph: 1,
        failed: [['code', '\\frac{1', true]],
        formulaColour: true,
        diagramAsCode: 'graph TD; A-->B',
        scripts: 0,
      });
      // Printed, formulas (and the one that failed, in red) are dark on the white paper.
      await page.emulateMedia({ media: 'print' });
      const printed = await tokenContrasts(page, '#content math, #content math *, #content .math-error');
      assert.ok(printed.length > 10 && printed.every((r) => r >= 4.5), `formula ink on paper: ${printed}`);
      await page.close();
    });
  }

  it('the classic dialect leaves formulas as code and still colours the rest', async () => {
    const page = await openViewer(context, server);
    await show(page, GITHUB_MARKUP, 'classic');
    await settled(page);
    assert.deepEqual(await page.evaluate(() => ({
      math: document.querySelectorAll('#content math, #content .math-error').length,
      formulaCode: document.querySelectorAll('#content code.language-math').length,
      coloured: document.querySelectorAll('#content pre code .hljs-keyword').length > 0,
    })), { math: 0, formulaCode: 4, coloured: true });
    await page.close();
  });

  it('the copy button, reached with Tab and pressed with Enter, copies the code exactly', async () => {
    const page = await openViewer(context, server);
    await show(page, 'Intro with a [link](https://example.org).\n\n```js\n' + TRICKY_CODE + '\n```\n\n```\nno language\n```');
    await settled(page);
    assert.equal(await page.$$eval('#content pre > button.copy-code', (b) => b.length), 2, 'one button per block');
    const before = await page.$eval('#content pre code', (code) => code.textContent);
    assert.equal(before, TRICKY_CODE, 'the block\'s text is the code alone');
    let reached = false;
    for (let i = 0; i < 20 && !reached; i++) {
      await page.keyboard.press('Tab');
      reached = await page.evaluate(() => document.activeElement.classList.contains('copy-code'));
    }
    assert.ok(reached, 'Tab reaches the copy button');
    await page.keyboard.press('Enter');
    await page.waitForSelector('#content .copy-code.copied');
    assert.equal(await page.evaluate(() => navigator.clipboard.readText()), TRICKY_CODE);
    await page.click('#content pre:nth-of-type(2) .copy-code');
    await page.waitForFunction(() => document.querySelectorAll('#content .copy-code.copied').length === 2);
    assert.equal(await page.evaluate(() => navigator.clipboard.readText()), 'no language');
    await page.close();
  });

  it('blocks far from the window are left alone until scrolled to; printing finishes them all first', async () => {
    const page = await openViewer(context, server);
    // Large enough (about 200 KiB of HTML) to be grouped in parts that skip layout far away.
    const words = 'words of a paragraph that fill the document '.repeat(10);
    const blocks = Array.from({ length: 400 }, (_, i) => `## Part ${i}\n\n${words}${i}.\n\n\`\`\`python\nx_${i} = ${i}  # n\n\`\`\``);
    await show(page, blocks.join('\n\n'));
    await page.waitForFunction(() => document.getElementById('content').getAttribute('aria-busy') === null);
    assert.ok(await page.$eval('#content', (el) => el.classList.contains('large')));
    await settled(page);
    const count = () => page.evaluate(() => ({
      coloured: document.querySelectorAll('#content pre code:has(.hljs-comment)').length,
      buttons: document.querySelectorAll('#content .copy-code').length,
      last: !![...document.querySelectorAll('#content pre')].at(-1).querySelector('.hljs-comment'),
    }));
    const first = await count();
    assert.ok(first.coloured > 0 && first.coloured < 60, `${first.coloured} coloured near the top`);
    assert.equal(first.buttons, first.coloured);
    assert.equal(first.last, false);
    await page.evaluate(() => document.getElementById('heading-399').scrollIntoView());
    await page.waitForFunction(() => !!document.querySelector('#heading-399 ~ pre .hljs-comment'));
    assert.equal((await count()).coloured < 150, true, 'only the blocks near each place were done');
    // The print button prints once everything is finished (the dialog itself is not opened here).
    await page.evaluate(() => {
      window.print = () => {
        window.__printed = document.querySelectorAll('#content pre code:not(:has(.hljs-comment))').length;
      };
    });
    await page.click('[data-action="print"]');
    await page.waitForFunction(() => window.__printed !== undefined);
    assert.equal(await page.evaluate(() => window.__printed), 0, 'blocks still plain when printing began');
    await page.close();
  });

  it('Ctrl+P waits for the formulas and the diagrams too', async () => {
    const diagramContext = await browser.newContext({ viewport: { width: 1000, height: 700 } });
    await serveDiagramLibrary(diagramContext);
    const page = await openViewer(diagramContext, server);
    const formulas = Array.from({ length: 200 }, (_, i) => `<pre><code class="language-math">x_{${i}}^2</code></pre>`);
    const diagram = '<pre><code class="language-mermaid">graph TD; A--&gt;B</code></pre>';
    await show(page, [diagram, ...formulas, diagram].join('\n\n'), 'github');
    // The diagram near the window is drawn by the blocks' own scheduling, the far one is not.
    await page.waitForSelector('#content pre.diagram svg', { timeout: 30000 });
    assert.equal(await page.$$eval('#content pre.diagram', (pres) => pres.length), 1);
    await page.evaluate(() => {
      window.print = () => {
        window.__printed = [document.querySelectorAll('#content code.language-math').length,
          document.querySelectorAll('#content pre.diagram > .diagram-drawing svg').length,
          document.querySelectorAll('#content pre.diagram > .diagram-print svg').length];
      };
    });
    await page.keyboard.press('Control+p');
    await page.waitForFunction(() => window.__printed !== undefined, null, { timeout: 30000 });
    // Both diagrams, drawn in the dark theme, have their copies for paper.
    assert.deepEqual(await page.evaluate(() => window.__printed), [0, 2, 2]);
    assert.equal(await page.$$eval('#content .math-display math', (m) => m.length), 200);
    await diagramContext.close();
  });

  it("the program's page carries no libraries and loads each from the program's origin once, when first needed", async () => {
    // The program's page and the library texts as the build writes them for the program to serve.
    const built = path.dirname(PAGE_PATH);
    const answers = {
      'https://tallowmere.invalid/': fs.readFileSync(path.join(built, 'program-page.html')),
      'https://tallowmere.invalid/vendor/highlighter.js': fs.readFileSync(path.join(built, 'page-libraries', 'highlighter.js')),
      'https://tallowmere.invalid/vendor/formulas.js': fs.readFileSync(path.join(built, 'page-libraries', 'formulas.js')),
      'https://tallowmere.invalid/vendor/github-converter.js': fs.readFileSync(path.join(built, 'page-libraries', 'github-converter.js')),
    };
    const programContext = await browser.newContext({ viewport: { width: 1000, height: 700 } });
    const asked = [];
    await programContext.route('https://tallowmere.invalid/**', (route) => {
      const url = route.request().url();
      asked.push(url.replace('https://tallowmere.invalid/', ''));
      const body = answers[url];
      return route.fulfill(body ? { status: 200, contentType: url.endsWith('/') ? 'text/html' : 'text/javascript', body } : { status: 404, body: '' });
    });
    const page = await programContext.newPage();
    await page.addInitScript(installWebViewStandIn);
    await page.goto('https://tallowmere.invalid/');
    assert.equal(await page.evaluate(() => document.querySelectorAll('#libHighlight, #libFormulas, #githubConverter').length), 0);
    assert.deepEqual(asked, ['']);
    // A coloured block in the classic dialect needs the highlighter alone.
    await show(page, '```js\nconst a = 1;\n```');
    await settled(page);
    assert.ok(await page.$('#content pre code .hljs-keyword'));
    assert.deepEqual(asked, ['', 'vendor/highlighter.js']);
    // The GitHub dialect: its converter, then the typesetter for its formula; nothing twice.
    await page.click('#btnGithub');
    await show(page, 'Setext title\n===\n\n$e^{i\\pi}$ and\n\n```js\nlet b;\n```', 'github');
    await settled(page);
    assert.equal(await page.textContent('#content h1'), 'Setext title');
    assert.ok(await page.$('#content math'));
    assert.ok(await page.$('#content pre code .hljs-keyword'));
    assert.deepEqual(asked, ['', 'vendor/highlighter.js', 'vendor/github-converter.js', 'vendor/formulas.js']);
    await programContext.close();
  });
});
