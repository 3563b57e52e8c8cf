'use strict';
// Pictures of the page for people to look at (written next to the built page, in screenshots/):
// the welcome screen and one rich document at three window widths in each theme, the document as
// printed from each theme, code blocks and formulas (GitHub markup) on screen and printed in each
// theme, the outline panel and the about dialog with the support image in the default window. The checks here make sure each picture shows what its name says.
const { describe, it, before, after } = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const path = require('node:path');
const { SCREENSHOT_DIR, startSuite, endSuite, openViewer, openDocument, pageWithSupportImage } = require('./harness');

const CHART_SVG =
  "<svg xmlns='http://www.w3.org/2000/svg' width='480' height='120'>" +
  "<rect width='480' height='120' fill='%231e293b'/>" +
  "<rect x='20' y='70' width='60' height='30' fill='%233b82f6'/><rect x='100' y='40' width='60' height='60' fill='%2360a5fa'/>" +
  "<rect x='180' y='55' width='60' height='45' fill='%233b82f6'/><rect x='260' y='20' width='60' height='80' fill='%2393c5fd'/>" +
  "<text x='350' y='65' fill='%23e2e8f0' font-size='16' font-family='sans-serif'>2024 Q1-Q4</text></svg>";

const RICH_DOCUMENT = `# Tallowmere 使用指南

Tallowmere 是一个**轻量级**的 Markdown 查看器，支持 *斜体*、~~删除线~~、\`行内代码\` 和 [链接](https://tallowmere.example.org)。

> 提示：把 .md 文件拖到窗口里即可打开。
> 主题、大纲和打印都在顶栏。

## 功能一览

| 功能 | 说明 | 状态 |
|------|------|------|
| 主题 | 暗色、亮色、高对比 | 完成 |
| 大纲 | h1 到 h3 | 完成 |
| 打印 | 导出 PDF | 完成 |

完整的说明见 https://tallowmere.example.org/docs/user-guide/getting-started/installation-and-first-steps.html 。

### 列表

- 第一项
  - 嵌套的一项
- 第二项

1. 打开文件
2. 阅读文档

## 代码

\`\`\`js
function greet(name) {
  return 'Hello, ' + name + '!';
}
\`\`\`

![季度图表](data:image/svg+xml,${CHART_SVG})

!file[季度报告.pdf|2.3 MB](report.pdf) !file[data.xlsx](data.xlsx)

---

Last paragraph with **strong *nested* text**.`;

let browser;
let server;
let context;

before(async () => {
  fs.mkdirSync(SCREENSHOT_DIR, { recursive: true });
  ({ browser, server, context } = await startSuite({
    files: { '/pagewright.html': pageWithSupportImage() },
    context: { viewport: { width: 1280, height: 761 } },
  }));
});

after(() => endSuite(browser, server));

function shot(page, name, options = {}) {
  return page.screenshot({ path: path.join(SCREENSHOT_DIR, name), ...options });
}

const BACKGROUNDS = { dark: 'rgb(15, 17, 23)', light: 'rgb(248, 250, 252)', hc: 'rgb(0, 0, 0)' };
const THEME_BUTTONS = { dark: '#btnDark', light: '#btnLight', hc: '#btnHC' };
// A laptop's half screen and smaller, and the default window.
const WIDTHS = [480, 683, 1280];

async function openRichDocument(page, theme) {
  await page.click(THEME_BUTTONS[theme]);
  // Out of the way, so that no button shows its hover colours once the bar has filled up.
  await page.mouse.move(0, 400);
  await openDocument(page, RICH_DOCUMENT, '使用指南-第三版-2024年修订稿-内部发布.md');
  // Back leads somewhere, Forward nowhere: both looks of the history's buttons.
  await page.evaluate(() => window.__host.send({ action: 'history', back: 'README.md', forward: '' }));
  await page.waitForFunction(() => [...document.querySelectorAll('#content img')].every((img) => img.complete));
  await page.waitForSelector('#content pre code .hljs-keyword');
}

// Code, formulas and a formula that does not typeset, as the GitHub dialect marks them up.
const CODE_AND_FORMULAS = [
  '## Code',
  '```python\n@dataclass\nclass Note:\n    title: str = "draft"  # default\n    def words(self) -> int:\n        return len(self.title.split())\n```',
  '```diff\n- old line\n+ new line\n```',
  '## Formulas',
  '<p>Inline: <code class="language-math math-inline">e^{i\\pi} + 1 = 0</code>; broken: ' +
    '<code class="language-math math-inline">\\frac{1</code>.</p>',
  '<pre><code class="language-math">\\int_0^1 x^2\\,dx = \\frac{1}{3}, \\quad \\sum_{k=1}^{n} k = \\frac{n(n+1)}{2}</code></pre>',
].join('\n\n');

describe('screenshots', () => {
  for (const width of WIDTHS) {
    it(`welcome screen, ${width} px`, async () => {
      const page = await openViewer(context, server);
      await page.setViewportSize({ width, height: 761 });
      assert.notEqual(await page.$('#dropzone'), null);
      await shot(page, `welcome-dark-${width}.png`);
      await page.close();
    });
  }

  for (const theme of ['dark', 'light', 'hc']) {
    for (const width of WIDTHS) {
      it(`rich document, ${theme} theme, ${width} px`, async () => {
        const page = await openViewer(context, server);
        await page.setViewportSize({ width, height: 761 });
        await openRichDocument(page, theme);
        assert.equal(await page.evaluate(() => getComputedStyle(document.body).backgroundColor), BACKGROUNDS[theme]);
        assert.equal(await page.$eval('#content img', (img) => img.naturalWidth), 480);
        assert.equal(await page.evaluate(() => document.documentElement.scrollWidth), width, 'nothing wider than the window');
        await shot(page, `document-${theme}-${width}.png`, { fullPage: true });
        await page.close();
      });
    }

    it(`rich document printed from the ${theme} theme`, async () => {
      const page = await openViewer(context, server);
      await openRichDocument(page, theme);
      await page.click('#tocBtn');
      await page.emulateMedia({ media: 'print' });
      assert.equal(await page.evaluate(() => getComputedStyle(document.body).backgroundColor), 'rgb(255, 255, 255)');
      await shot(page, `print-${theme}.png`, { fullPage: true });
      await page.close();
    });
  }

  for (const theme of ['dark', 'light', 'hc']) {
    it(`code and formulas, ${theme} theme, on screen and printed`, async () => {
      const page = await openViewer(context, server);
      await page.click(THEME_BUTTONS[theme]);
      await page.mouse.move(0, 400);
      await page.evaluate((md) => {
        chosenDialect = 'github';
        renderDoc(md, 'code.md');
      }, CODE_AND_FORMULAS);
      await page.waitForSelector('#content .math-display math');
      await page.waitForSelector('#content .math-error');
      await page.waitForSelector('#content pre code .hljs-keyword');
      await shot(page, `code-${theme}.png`);
      await page.emulateMedia({ media: 'print' });
      await shot(page, `code-print-${theme}.png`, { fullPage: true });
      await page.close();
    });
  }

  it('outline panel and about dialog', async () => {
    const page = await openViewer(context, server);
    await page.click('#btnDark');
    await openDocument(page, RICH_DOCUMENT, 'guide.md');
    await page.click('#tocBtn');
    await shot(page, 'outline-dark.png');
    await page.click('#logoBtn');
    await page.waitForFunction(() => document.getElementById('qrCodeImg').complete);
    assert.equal(await page.$eval('#qrCodeImg', (img) => img.naturalHeight), 393);
    await shot(page, 'about-dark.png');
    await page.close();
  });
});
