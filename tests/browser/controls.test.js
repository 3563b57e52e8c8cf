'use strict';
// The page's controls: themes and their persistence, their colours, the keyboard, the about dialog,
// the file picker and drops.
const { describe, it, before, after } = require('node:test');
const assert = require('node:assert/strict');
const { startServer, startSuite, endSuite, openViewer, openDocument, documentShown, postedMessages, isShown, pageWithSupportImage, serveDiagramLibrary } =
  require('./harness');

let browser;
let server;

before(async () => {
  ({ browser, server } = await startSuite());
});

after(() => endSuite(browser, server));

function themeState(page) {
  return page.evaluate(() => ({
    attribute: document.body.getAttribute('data-theme'),
    active: [...document.querySelectorAll('#topbar button.active')].map((b) => b.id),
    stored: localStorage.getItem('md-theme'),
    // The root (and with it the window's scroll bar) takes the theme's colours too.
    background: ((rootBg, bodyBg) => (rootBg === bodyBg ? getComputedStyle(document.body).backgroundColor : `root ${rootBg}, body ${bodyBg}`))(
      getComputedStyle(document.documentElement).getPropertyValue('--bg'),
      getComputedStyle(document.body).getPropertyValue('--bg'),
    ),
  }));
}

describe('page furniture', () => {
  it('carries the labels, tooltips and attributes the page is known by', async () => {
    const context = await browser.newContext();
    const page = await openViewer(context, server);
    const furniture = await page.evaluate(() => ({
      lang: document.documentElement.lang,
      title: document.title,
      viewport: document.querySelector('meta[name="viewport"]').content,
      topbar: [...document.querySelectorAll('#topbar > *')].map((el) => [el.id, el.textContent, el.title]),
      totop: document.getElementById('totop').textContent,
      picker: [document.getElementById('filePicker').type, document.getElementById('filePicker').accept],
      tocHeading: document.querySelector('#toc .toc-title').textContent,
      qrData: [document.getElementById('qrData').type, document.getElementById('qrData').getAttribute('data-src')],
    }));
    assert.deepEqual(furniture, {
      lang: 'zh-CN',
      title: 'Pagewright',
      viewport: 'width=device-width, initial-scale=1.0',
      topbar: [
        ['historyNav', '‹›', ''],
        ['closeBtn', '← 关闭', '关闭文档，返回欢迎页'],
        ['logoBtn', '📖 Quillpane', '关于 Quillpane'],
        ['filename', '未加载文档', '未加载文档'],
        ['meta', '', ''],
        ['encodingBtn', '', '文字编码：点击选择另一种'],
        ['btnDark', '🌙 暗', '暗色主题'],
        ['btnLight', '☀️ 亮', '亮色主题'],
        ['btnHC', '⚡ 高对比', '高对比主题'],
        ['dialectSwitch', '经典GitHub', ''],
        ['lookBtn', 'Aa', '文字大小与阅读宽度（Ctrl+= / Ctrl+- / Ctrl+0）'],
        ['', '🖨️ 打印', '打印/导出PDF'],
        ['exportMenu', '导出HTMLPDF当前主题', ''],
        ['tocBtn', '📑 大纲', '大纲'],
      ],
      totop: '↑',
      picker: ['file', '.md,.markdown,.txt'],
      tocHeading: '目录',
      qrData: ['text/plain', ''],
    });
    await context.close();
  });

  it('the print button prints', async () => {
    const context = await browser.newContext();
    const page = await openViewer(context, server);
    await page.evaluate(() => {
      window.__printed = 0;
      window.print = () => window.__printed++;
    });
    await page.click('#topbar [title="打印/导出PDF"]');
    assert.equal(await page.evaluate(() => window.__printed), 1);
    await context.close();
  });
});

describe('themes', () => {
  it('switch by their buttons, mark only their button and last across reloads', async () => {
    const context = await browser.newContext();
    const page = await openViewer(context, server);
    assert.deepEqual(await themeState(page), {
      attribute: null,
      active: ['btnDark'],
      stored: 'dark',
      background: 'rgb(15, 17, 23)',
    });

    await page.click('#btnLight');
    assert.deepEqual(await themeState(page), {
      attribute: 'light',
      active: ['btnLight'],
      stored: 'light',
      background: 'rgb(248, 250, 252)',
    });
    await page.reload();
    assert.deepEqual((await themeState(page)).active, ['btnLight'], 'light survives a reload');

    await page.click('#btnHC');
    const hc = await themeState(page);
    assert.deepEqual(hc, { attribute: 'hc', active: ['btnHC'], stored: 'hc', background: 'rgb(0, 0, 0)' });
    await page.reload();
    assert.equal((await themeState(page)).attribute, 'hc');

    await page.click('#btnDark');
    await page.reload();
    assert.deepEqual(await themeState(page), {
      attribute: null,
      active: ['btnDark'],
      stored: 'dark',
      background: 'rgb(15, 17, 23)',
    });
    await context.close();
  });

  it('apply a stored light theme before the welcome screen is first shown', async () => {
    const context = await browser.newContext();
    const page = await context.newPage();
    await page.addInitScript(() => {
      localStorage.setItem('md-theme', 'light');
      // Records the theme at the moment the welcome screen first appears.
      new MutationObserver((changes, observer) => {
        if (document.getElementById('dropzone')) {
          window.__themeAtWelcome = document.body.getAttribute('data-theme');
          observer.disconnect();
        }
      }).observe(document, { childList: true, subtree: true });
    });
    await page.goto(server.pageUrl);
    assert.equal(await page.evaluate(() => window.__themeAtWelcome), 'light');
    await context.close();
  });

  it('an unknown stored theme shows the dark colours with no button active', async () => {
    const context = await browser.newContext();
    const page = await context.newPage();
    await page.addInitScript(() => localStorage.setItem('md-theme', 'sepia'));
    await page.goto(server.pageUrl);
    assert.deepEqual(await themeState(page), {
      attribute: 'sepia',
      active: [],
      stored: 'sepia',
      background: 'rgb(15, 17, 23)',
    });
    await context.close();
  });
});

// Computed colours of the top bar and the floating button: [what, selector, state, property,
// expected in every theme or { dark, light, hc }]. The state "hover" puts the mouse on the element.
const DARK_BLUE = 'rgb(59, 130, 246)';
const ACCENT = { dark: DARK_BLUE, light: 'rgb(37, 99, 235)', hc: 'rgb(255, 255, 0)' };
const WHITE = 'rgb(255, 255, 255)';
const BLACK = 'rgb(0, 0, 0)';
const TEXT_ON_ACCENT = { dark: WHITE, light: WHITE, hc: BLACK };
const COLOUR_CASES = [
  ['bar', '#topbar', 'rest', 'backgroundColor',
    { dark: 'rgba(26, 29, 46, 0.933)', light: 'rgba(255, 255, 255, 0.933)', hc: 'rgba(17, 17, 17, 0.933)' }],
  ['bar border', '#topbar', 'rest', 'borderBottomColor', { dark: 'rgb(45, 49, 72)', light: 'rgb(226, 232, 240)', hc: 'rgb(68, 68, 68)' }],
  ['logo', '#logoBtn', 'rest', 'color', ACCENT],
  ['file name', '#filename', 'rest', 'color', { dark: 'rgb(148, 163, 184)', light: 'rgb(71, 85, 105)', hc: 'rgb(238, 238, 238)' }],
  ['statistics', '#meta', 'rest', 'color', { dark: 'rgb(71, 85, 105)', light: 'rgb(148, 163, 184)', hc: 'rgb(153, 153, 153)' }],
  ['close button', '#closeBtn', 'rest', 'backgroundColor', 'rgb(55, 65, 81)'],
  ['close button border', '#closeBtn', 'rest', 'borderColor', 'rgb(75, 85, 99)'],
  ['close button text', '#closeBtn', 'rest', 'color', 'rgb(226, 232, 240)'],
  ['close button margin', '#closeBtn', 'rest', 'marginRight', '6px'],
  ['close button text on hover', '#closeBtn', 'hover', 'color', 'rgb(226, 232, 240)'],
  ['close button on hover', '#closeBtn', 'hover', 'borderColor', ACCENT],
  ['button', '#tocBtn', 'rest', 'color', { dark: 'rgb(148, 163, 184)', light: 'rgb(71, 85, 105)', hc: WHITE }],
  ['button border', '#tocBtn', 'rest', 'borderColor', { dark: 'rgb(61, 68, 104)', light: 'rgb(203, 213, 225)', hc: 'rgb(136, 136, 136)' }],
  ['button background', '#tocBtn', 'rest', 'backgroundColor', 'rgba(0, 0, 0, 0)'],
  ['button on hover', '#tocBtn', 'hover', 'backgroundColor', { dark: 'rgb(45, 49, 72)', light: 'rgb(241, 245, 249)', hc: 'rgb(34, 34, 34)' }],
  ['button text on hover', '#tocBtn', 'hover', 'color', { dark: 'rgb(226, 232, 240)', light: 'rgb(30, 41, 59)', hc: WHITE }],
  ['button border on hover', '#tocBtn', 'hover', 'borderColor', ACCENT],
  ['active theme button', '#topbar button.active', 'rest', 'backgroundColor', ACCENT],
  ['active theme button text', '#topbar button.active', 'rest', 'color', TEXT_ON_ACCENT],
  ['back to top', '#totop', 'rest', 'color', { dark: 'rgb(148, 163, 184)', light: 'rgb(71, 85, 105)', hc: WHITE }],
  ['back to top on hover', '#totop', 'hover', 'backgroundColor', ACCENT],
  ['back to top text on hover', '#totop', 'hover', 'color', TEXT_ON_ACCENT],
  ['outline panel, fixed in every theme', '#toc', 'rest', 'backgroundColor', 'rgba(26, 29, 46, 0.933)'],
  ['about dialog, fixed in every theme', '#aboutDialog', 'rest', 'backgroundColor', 'rgb(26, 29, 46)'],
];

describe('dialects', () => {
  const dialectState = (page) => page.evaluate(() => ({
    pressed: [...document.querySelectorAll('#dialectSwitch button')].filter((b) => b.getAttribute('aria-pressed') === 'true').map((b) => b.id),
    stored: localStorage.getItem('md-dialect'),
    shown: shownDialect(),
  }));
  // Sections that read alike in both dialects, and one construct that does not: "* item" is a list
  // in the GitHub dialect only.
  const doc = '* item\n\n' + Array.from({ length: 120 }, (_, i) => `## Section ${i}\n\nText of section ${i}.`).join('\n\n');
  const topHeading = (page) => page.evaluate(() => {
    const line = document.getElementById('topbar').getBoundingClientRect().bottom;
    return [...document.querySelectorAll('#content h2')].find((h) => h.getBoundingClientRect().bottom > line).textContent;
  });

  it('switch by their buttons or keys, re-render the document at the reader\'s place and last across reloads', async () => {
    const context = await browser.newContext();
    const page = await openViewer(context, server);
    assert.deepEqual(await dialectState(page), { pressed: ['btnClassic'], stored: null, shown: 'classic' });
    await openDocument(page, doc, 'sections.md');
    await page.$eval('#content h2:nth-of-type(80)', (h) => h.scrollIntoView());
    const before = await topHeading(page);
    assert.equal(await page.$('#content ul'), null);

    // Focused as a Tab would (the test's own focus call would scroll the sticky bar into view).
    await page.$eval('#btnGithub', (button) => button.focus({ preventScroll: true }));
    await page.keyboard.press('Enter');
    await documentShown(page);
    assert.deepEqual(await dialectState(page), { pressed: ['btnGithub'], stored: 'github', shown: 'github' });
    assert.notEqual(await page.$('#content ul'), null, 'shown again in the GitHub dialect');
    assert.equal(await topHeading(page), before, 'the reader stays where they were');
    assert.equal(await page.textContent('#filename'), 'sections.md');

    await page.reload();
    assert.deepEqual((await dialectState(page)).pressed, ['btnGithub'], 'the choice survives a reload');
    await page.click('#btnClassic');
    assert.deepEqual(await dialectState(page), { pressed: ['btnClassic'], stored: 'classic', shown: 'classic' });
    await context.close();
  });

  it('the query chooses for one visit without storing', async () => {
    const context = await browser.newContext();
    const page = await openViewer(context, server, { query: '?dialect=github' });
    await openDocument(page, '* item');
    assert.deepEqual(await dialectState(page), { pressed: ['btnGithub'], stored: null, shown: 'github' });
    await context.close();
  });
});

describe('text size and reading width', () => {
  const look = (page) => page.evaluate(() => {
    const content = document.getElementById('content');
    const pressed = (attribute) => document.querySelector(`#lookPanel [${attribute}][aria-pressed="true"]`).getAttribute(attribute);
    // The size of the text at the window's top line: a large document's part carries its own.
    const line = document.getElementById('topbar').getBoundingClientRect().bottom;
    const part = document.elementFromPoint(640, line + 1)?.closest('#content > .part');
    return {
      fontSize: getComputedStyle(part ?? content).fontSize,
      maxWidth: getComputedStyle(content).maxWidth,
      pressed: [pressed('data-text-size'), pressed('data-reading-width')],
      stored: [localStorage.getItem('md-text-size'), localStorage.getItem('md-reading-width')],
    };
  });
  // Large enough to be grouped in parts, which take a new size a few at a time.
  const doc = Array.from({ length: 400 }, (_, i) => `## Section ${i}\n\n${'Words of the section to wrap. '.repeat(12)}`).join('\n\n');
  // The block at the window's top line and the share of it above the line.
  const atLine = (page) => page.evaluate(() => {
    const line = document.getElementById('topbar').getBoundingClientRect().bottom;
    const block = document.elementFromPoint(640, line + 1).closest('#content > :not(.part), #content > .part > *');
    const box = block.getBoundingClientRect();
    return { block: [...document.querySelectorAll('#content > :not(.part), #content > .part > *')].indexOf(block), share: (line - box.top) / box.height };
  });
  const samePlace = (seen, expected, what) => {
    assert.equal(seen.block, expected.block, what);
    assert.ok(Math.abs(seen.share - expected.share) < 0.1, `${what}: ${seen.share} against ${expected.share}`);
  };
  const frames = (page) => page.evaluate(() => new Promise((resolve) => requestAnimationFrame(() => requestAnimationFrame(resolve))));

  it('change by the panel and the keys, keep the reader\'s place, last across reloads and never reach paper', async () => {
    const context = await browser.newContext({ viewport: { width: 1280, height: 800 } });
    const page = await openViewer(context, server);
    assert.deepEqual(await look(page), { fontSize: '16px', maxWidth: '860px', pressed: ['normal', 'normal'], stored: [null, null] });
    assert.equal(await page.evaluate(() => document.getElementById('content').hasAttribute('data-text-size')), false,
      'the default look sets nothing');
    await openDocument(page, doc, 'sections.md');
    assert.equal(await page.$eval('#content', (content) => content.classList.contains('large')), true, 'the document is in parts');
    await page.evaluate(() => document.querySelectorAll('#content h2')[200].scrollIntoView());
    await page.evaluate(() => window.scrollBy(0, 90));
    await frames(page);
    // Opened as a click would, without the test's scrolling of the sticky bar into view.
    await page.$eval('#lookBtn', (button) => button.click());
    const place = await atLine(page);
    assert.equal(await page.getAttribute('#lookBtn', 'aria-expanded'), 'true');
    await page.click('#lookPanel [data-reading-width="narrow"]');
    await page.click('#lookPanel [data-text-size="largest"]');
    await frames(page);
    samePlace(await atLine(page), place, 'the panel keeps the place');
    // Keys, from the top bar and from the document: one step smaller, past the smallest, then back.
    const steps = [
      ['Control+-', '20px'], ['Control+-', '18px'], ['Control+-', '16px'], ['Control+-', '14px'], ['Control+-', '14px'],
      ['Control+=', '16px'], ['Control+Shift+=', '18px'], ['Control+0', '16px'], ['Control+=', '18px'],
    ];
    for (const [key, fontSize] of steps) {
      await page.keyboard.press(key);
      await frames(page);
      assert.equal((await look(page)).fontSize, fontSize, key);
      samePlace(await atLine(page), place, `${key} keeps the place`);
    }
    await page.waitForFunction(() => [...document.querySelectorAll('#content > .part')].every((part) => getComputedStyle(part).fontSize === '18px'),
      null, { timeout: 5000 });
    await page.keyboard.press('Escape');
    assert.equal(await isShown(page, '#lookPanel'), false, 'Escape closes the panel');
    assert.equal(await page.evaluate(() => document.activeElement.id), 'lookBtn');
    const chosen = { fontSize: '18px', maxWidth: '680px', pressed: ['large', 'narrow'], stored: ['large', 'narrow'] };
    assert.deepEqual(await look(page), chosen);
    assert.equal(await page.$eval('#topbar', (bar) => getComputedStyle(bar).fontSize), '13px', 'the bar keeps its size');

    await page.reload();
    assert.deepEqual(await look(page), chosen, 'kept across a reload');
    await page.emulateMedia({ media: 'print' });
    assert.deepEqual((await look(page)).fontSize, '16px', 'paper has the print look');
    await page.emulateMedia({ media: 'screen' });
    await page.click('#lookBtn');
    await page.click('#lookPanel [data-reading-width="full"]');
    await page.click('#content');
    assert.equal(await isShown(page, '#lookPanel'), false, 'a click outside closes the panel');
    assert.equal((await look(page)).maxWidth, 'none');
    await context.close();
  });
});

describe('pictures and diagrams up close', () => {
  // What the view shows: whether it is open, its count, the shown element's kind and size, and
  // what has the focus.
  const view = (page) => page.evaluate(() => {
    const shown = document.querySelector('#closeViewStage > .cv-shown');
    const box = shown && shown.getBoundingClientRect();
    return {
      open: !document.getElementById('closeView').hidden,
      count: document.getElementById('closeViewCount').textContent,
      shown: shown ? [shown.localName, Math.round(box.width), Math.round(box.height)] : null,
      focus: document.activeElement.id || document.activeElement.localName,
    };
  });

  it('open by mouse and keyboard, zoom, step, close, and leave pictures in links to their links', async () => {
    const maker = await browser.newPage({ viewport: { width: 1600, height: 1000 } });
    await maker.setContent('<body style="margin:0;height:1000px;background:linear-gradient(90deg,red,blue)">');
    const png = await maker.screenshot();
    await maker.close();
    const pictures = await startServer({ '/big.png': png, '/small.png': png });
    const context = await browser.newContext({ viewport: { width: 1000, height: 700 } });
    await serveDiagramLibrary(context);
    const page = await openViewer(context, server);
    await openDocument(page, `![big](${pictures.origin}/big.png)\n\n[![linked](${pictures.origin}/small.png)](https://example.org)\n\n` +
      `<img src="${pictures.origin}/big.png?2" width="40" alt="second">\n\n\`\`\`mermaid\ngraph LR\n  A --> B\n\`\`\`\n`, 'up-close.md');
    await page.waitForFunction(() => [...document.querySelectorAll('#content img')].every((img) => img.complete));
    assert.deepEqual(await page.$$eval('#content img', (imgs) => imgs.map((img) => img.getAttribute('tabindex'))), ['0', null, '0'],
      'only pictures outside links take the focus');

    // Mouse: fitted to the window (1600 x 1000 in 952 x 620 of room), wheel zoom, click beside it closes.
    await page.click('#content img[alt="big"]');
    assert.deepEqual(await view(page), { open: true, count: '1 / 2', shown: ['img', 952, 595], focus: 'closeViewClose' });
    await page.mouse.move(500, 300);
    await page.mouse.wheel(0, -100);
    assert.equal((await view(page)).shown[1], 1190, 'the wheel zooms in');
    await page.keyboard.press('0');
    await page.mouse.move(300, 320);
    await page.mouse.down();
    await page.mouse.move(360, 340, { steps: 4 });
    await page.mouse.up();
    assert.equal((await view(page)).open, true, 'a drag pans and does not close');
    await page.mouse.click(995, 300);
    assert.equal((await view(page)).open, false, 'a click beside the picture closes');

    // Keyboard: Enter on the focused picture, arrows step, Escape closes and gives the focus back.
    await page.$eval('#content img[alt="big"]', (img) => img.focus({ preventScroll: true }));
    await page.keyboard.press('Enter');
    await page.keyboard.press('ArrowRight');
    assert.deepEqual(await view(page), { open: true, count: '2 / 2', shown: ['img', 952, 595], focus: 'closeViewClose' });
    await page.keyboard.press('Control+=');
    assert.equal(await page.evaluate(() => localStorage.getItem('md-text-size')), null, 'keys in the view stay in the view');
    await page.keyboard.press('Escape');
    assert.deepEqual(await view(page), { open: false, count: '2 / 2', shown: null, focus: 'img' });

    // A diagram opens from its corner button, as its SVG at its natural size.
    assert.equal(await page.evaluate(() => drawDiagram(document.querySelector('#content pre'))), true, 'the diagram is drawn');
    await page.$eval('#content .diagram-close-view', (button) => button.focus({ preventScroll: true }));
    await page.keyboard.press('Enter');
    const diagram = await view(page);
    assert.equal(diagram.shown[0], 'div');
    assert.equal(await page.$$eval('#closeViewStage svg', (svgs) => svgs.length), 1);
    await page.click('#closeViewIn');
    assert.ok((await view(page)).shown[1] > diagram.shown[1] * 1.4, 'the button zooms in');
    await page.click('#closeViewClose');
    assert.equal((await view(page)).open, false);

    // Open when another document arrives: what it showed went with the old one.
    await page.click('#content .diagram-close-view');
    await openDocument(page, '# Next', 'next.md');
    assert.equal((await view(page)).open, false, 'a new document closes the view');
    await context.close();
    await pictures.close();
  });
});

describe('colours', () => {
  for (const theme of ['dark', 'light', 'hc']) {
    it(`top bar and floating button, ${theme} theme`, async () => {
      const context = await browser.newContext({ viewport: { width: 1280, height: 800 } });
      const page = await openViewer(context, server);
      await page.addStyleTag({ content: '* { transition: none !important; }' });
      await page.click(`#topbar button[title="${{ dark: '暗色主题', light: '亮色主题', hc: '高对比主题' }[theme]}"]`);
      await openDocument(page, '# Colours', 'colours.md');
      await page.evaluate(() => {
        document.getElementById('totop').style.display = 'flex';
      });
      const seen = [];
      const expected = [];
      for (const [what, selector, state, property, colours] of COLOUR_CASES) {
        if (state === 'hover') await page.hover(selector);
        else await page.mouse.move(640, 500);
        seen.push([what, await page.$eval(selector, (el, p) => getComputedStyle(el)[p], property)]);
        expected.push([what, typeof colours === 'string' ? colours : colours[theme]]);
      }
      assert.deepEqual(seen, expected);
      await context.close();
    });
  }
});

describe('alerts of the GitHub dialect', () => {
  const ALERTS = ['NOTE', 'TIP', 'IMPORTANT', 'WARNING', 'CAUTION'].map((type) => `> [!${type}]\n> Text of the ${type.toLowerCase()}.`).join('\n\n');
  for (const theme of ['dark', 'light', 'hc']) {
    it(`titles readable and in their own colour, ${theme} theme`, async () => {
      const context = await browser.newContext();
      const page = await openViewer(context, server, { query: '?dialect=github' });
      await page.evaluate((t) => setTheme(t), theme);
      await openDocument(page, ALERTS, 'alerts.md');
      const seen = await page.evaluate(() => {
        const luminance = (colour) => {
          const [r, g, b] = colour.match(/\d+/g).slice(0, 3).map((v) => {
            const c = Number(v) / 255;
            return c <= 0.03928 ? c / 12.92 : ((c + 0.055) / 1.055) ** 2.4;
          });
          return 0.2126 * r + 0.7152 * g + 0.0722 * b;
        };
        const contrast = (a, b) => (Math.max(luminance(a), luminance(b)) + 0.05) / (Math.min(luminance(a), luminance(b)) + 0.05);
        const page = getComputedStyle(document.body).backgroundColor;
        return [...document.querySelectorAll('#content .markdown-alert')].map((alert) => {
          const title = getComputedStyle(alert.querySelector('.markdown-alert-title')).color;
          const text = getComputedStyle(alert.querySelector('p:not(.markdown-alert-title)')).color;
          return {
            title: alert.querySelector('.markdown-alert-title').textContent,
            readable: contrast(title, page) >= 4.5 && contrast(text, page) >= 4.5,
            ruleInTitleColour: getComputedStyle(alert).borderLeftColor === title,
          };
        });
      });
      assert.deepEqual(seen, ['Note', 'Tip', 'Important', 'Warning', 'Caution'].map((title) => ({ title, readable: true, ruleInTitleColour: true })));
      const colours = new Set(await page.$$eval('#content .markdown-alert-title', (titles) => titles.map((t) => getComputedStyle(t).color)));
      assert.equal(colours.size, 5, 'each kind has its own colour');
      await context.close();
    });
  }
});

describe('keyboard', () => {
  let context;
  let page;
  before(async () => {
    context = await browser.newContext({ viewport: { width: 1280, height: 800 } });
    page = await openViewer(context, server);
  });
  after(() => context.close());

  const focused = () => page.evaluate(() => document.activeElement.id || document.activeElement.className || document.activeElement.localName);

  async function tabTo(id, limit = 20) {
    for (let i = 0; i < limit; i++) {
      await page.keyboard.press('Tab');
      if ((await focused()) === id) return;
    }
    assert.fail(`Tab never reached ${id}`);
  }

  it('reaches the logo; the about dialog takes the focus, keeps it and gives it back', async () => {
    await page.evaluate(() => document.activeElement.blur());
    await tabTo('logoBtn');
    await page.keyboard.press('Enter');
    assert.equal(await isShown(page, '#aboutDialog'), true);
    assert.equal(await focused(), 'about-close');
    const round = [];
    for (let i = 0; i < 4; i++) {
      await page.keyboard.press('Tab');
      round.push(await page.evaluate(() => document.activeElement.textContent));
    }
    assert.deepEqual(round, ['tallowmere@example.org', 'tallowmere.example.org', '关闭', 'tallowmere@example.org']);
    await page.keyboard.press('Shift+Tab');
    assert.equal(await focused(), 'about-close', 'Shift+Tab goes round backwards');
    await page.keyboard.press('Escape');
    assert.equal(await isShown(page, '#aboutDialog'), false);
    assert.equal(await focused(), 'logoBtn');

    await page.keyboard.press(' ');
    assert.equal(await isShown(page, '#aboutDialog'), true, 'Space opens it too');
    await page.keyboard.press('Enter');
    assert.equal(await isShown(page, '#aboutDialog'), false, 'Enter on its close button closes it');
    assert.equal(await focused(), 'logoBtn');
    assert.deepEqual(
      await page.$eval('#aboutDialog', (el) => [el.getAttribute('role'), el.getAttribute('aria-modal'), el.getAttribute('aria-label')]),
      ['dialog', 'true', '关于 Quillpane'],
    );
  });

  it('theme buttons report which one is pressed, the outline button whether its panel is open', async () => {
    await openDocument(page, '# One\n\n## Two');
    const pressed = () => page.$$eval('#btnDark, #btnLight, #btnHC', (bs) => bs.map((b) => b.getAttribute('aria-pressed')));
    const expanded = () => page.getAttribute('#tocBtn', 'aria-expanded');
    await tabTo('btnHC');
    await page.keyboard.press('Enter');
    assert.deepEqual(await pressed(), ['false', 'false', 'true']);
    await page.keyboard.press('Shift+Tab');
    await page.keyboard.press('Shift+Tab');
    await page.keyboard.press('Space');
    assert.deepEqual(await pressed(), ['true', 'false', 'false']);

    assert.equal(await expanded(), 'false');
    await tabTo('tocBtn');
    await page.keyboard.press('Enter');
    assert.equal(await expanded(), 'true');
    // The panel's two tabs, then its entries, follow the button.
    for (const tab of ['tabOutline', 'tabFiles']) {
      await page.keyboard.press('Tab');
      assert.equal(await focused(), tab);
    }
    await page.keyboard.press('Tab');
    assert.equal(await page.evaluate(() => document.activeElement.getAttribute('href')), '#heading-0', 'the entries follow the tabs');
    await page.mouse.click(640, 600);
    assert.equal(await isShown(page, '#toc'), false);
    assert.equal(await expanded(), 'false', 'closing by an outside click says so');
  });

  it('leaves the control its own keys and menu: find, reload and the context menu are never held back', async () => {
    // Dispatched where the focus is, so that every page handler on the way sees them as a real key would.
    const heldBack = () => page.evaluate(() => {
      const keys = [
        { key: 'f', ctrlKey: true }, { key: 'F3' }, { key: 'F5' }, { key: 'r', ctrlKey: true }, { key: 'a', ctrlKey: true },
      ];
      const target = document.activeElement || document.body;
      const held = keys.filter((k) => !target.dispatchEvent(new KeyboardEvent('keydown', { ...k, bubbles: true, cancelable: true })))
        .map((k) => k.key);
      if (!target.dispatchEvent(new MouseEvent('contextmenu', { bubbles: true, cancelable: true }))) held.push('contextmenu');
      return held;
    });
    await openDocument(page, '# Find me\n\nText to find.');
    await page.evaluate(() => document.activeElement.blur());
    assert.deepEqual(await heldBack(), [], 'with a document');
    await page.click('#logoBtn');
    assert.deepEqual(await heldBack(), [], 'in the about dialog');
    await page.keyboard.press('Escape');
    await page.click('#closeBtn');
    await page.focus('#dropzone');
    assert.deepEqual(await heldBack(), [], 'on the welcome screen');
  });

  it('the close button hands the focus to the drop zone, which opens the picker from the keyboard', async () => {
    await openDocument(page, '# Doc');
    await page.focus('#closeBtn');
    await page.keyboard.press('Enter');
    assert.equal(await focused(), 'dropzone');
    assert.equal(await page.getAttribute('#dropzone', 'role'), 'button');
    const chooser = page.waitForEvent('filechooser');
    // One round trip, so that the chooser is intercepted before the key opens it.
    await page.evaluate(() => 0);
    await page.keyboard.press('Enter');
    assert.equal((await chooser).isMultiple(), false);
    await page.evaluate(() => document.activeElement.blur());
    await tabTo('dropzone');
  });
});

describe('about dialog', () => {
  let context;
  let imageServer;
  before(async () => {
    context = await browser.newContext({ viewport: { width: 1000, height: 800 } });
    imageServer = await startServer({ '/pagewright.html': pageWithSupportImage() });
  });
  after(async () => {
    await context.close();
    await imageServer.close();
  });

  it('opens from the logo and closes by Escape, the overlay and its button, not by a click inside', async () => {
    const page = await openViewer(context, server);
    const open = async () => {
      await page.click('#logoBtn');
      assert.equal(await isShown(page, '#aboutDialog'), true);
      assert.equal(await isShown(page, '#aboutOverlay'), true);
    };
    const closed = async (how) => {
      assert.equal(await isShown(page, '#aboutDialog'), false, how);
      assert.equal(await isShown(page, '#aboutOverlay'), false, how);
    };

    await open();
    await page.click('#aboutDialog .about-name');
    assert.equal(await isShown(page, '#aboutDialog'), true, 'a click inside keeps it open');
    await page.keyboard.press('Escape');
    await closed('Escape');

    await open();
    await page.mouse.click(10, 400);
    await closed('overlay click');

    await open();
    await page.click('#aboutDialog .about-close');
    await closed('close button');

    const rows = await page.$$eval('#aboutDialog .about-row', (rs) => rs.map((r) => r.textContent));
    assert.deepEqual(rows, ['作者Tallowmere 开发组', '邮箱tallowmere@example.org', '网站tallowmere.example.org']);
    assert.equal(await page.getAttribute('#aboutDialog a[href^="https:"]', 'target'), '_blank');
    await page.close();
  });

  it('fits the default window and a small one whole, close button included', async () => {
    for (const viewport of [{ width: 1264, height: 761 }, { width: 480, height: 600 }]) {
      const small = await browser.newContext({ viewport });
      const page = await openViewer(small, imageServer);
      await page.click('#logoBtn');
      await page.waitForFunction(() => document.getElementById('qrCodeImg').complete);
      const fit = await page.evaluate(() => {
        const dialog = document.getElementById('aboutDialog');
        const box = dialog.getBoundingClientRect();
        const close = dialog.querySelector('.about-close').getBoundingClientRect();
        const image = document.getElementById('qrCodeImg').getBoundingClientRect();
        return {
          inside: box.top >= 0 && box.left >= 0 && box.bottom <= innerHeight && box.right <= innerWidth,
          closeShown: close.bottom <= box.bottom && close.top >= box.top,
          scrolls: dialog.scrollHeight > dialog.clientHeight,
          imageHeight: Math.round(image.height),
        };
      });
      assert.deepEqual({ ...fit, imageHeight: fit.imageHeight >= 160 }, { inside: true, closeShown: true, scrolls: false, imageHeight: true }, JSON.stringify(viewport));
      await small.close();
    }
  });

  it('shows the placeholder when the page carries no support image', async () => {
    const page = await openViewer(context, server);
    await page.click('#logoBtn');
    assert.equal(await isShown(page, '#qrCodePlaceholder'), true);
    assert.equal(await isShown(page, '#qrCodeImg'), false);
    assert.equal(await page.textContent('#qrCodePlaceholder'), '暂无二维码');
    assert.equal(await page.evaluate(() => '_qrCodeUri' in window), false);
    await page.close();
  });

  it('shows the support image that the host wrote into the page', async () => {
    const page = await openViewer(context, imageServer);
    await page.click('#logoBtn');
    assert.equal(await isShown(page, '#qrCodePlaceholder'), false);
    await page.waitForFunction(() => document.getElementById('qrCodeImg').complete);
    const image = await page.$eval('#qrCodeImg', (img) => ({
      src: img.src.slice(0, 23),
      width: img.naturalWidth,
      height: img.naturalHeight,
      alt: img.alt,
    }));
    assert.deepEqual(image, { src: 'data:image/jpeg;base64,', width: 265, height: 393, alt: '捐助二维码' });
    await page.close();
  });
});

// Drops a DataTransfer on the element matched by selector (the document when null) and reports
// whether the page took the default action away.
function drop(page, selector, files, text) {
  return page.evaluate(
    ([sel, fileList, plain]) => {
      const transfer = new DataTransfer();
      for (const [name, body] of fileList) transfer.items.add(new File([body], name));
      if (plain) transfer.setData('text/plain', plain);
      const target = sel ? document.querySelector(sel) : document.body;
      const event = new DragEvent('drop', { dataTransfer: transfer, bubbles: true, cancelable: true });
      target.dispatchEvent(event);
      return event.defaultPrevented;
    },
    [selector, files, text],
  );
}

describe('file picker and drops', () => {
  let context;
  let page;
  before(async () => {
    context = await browser.newContext();
    page = await openViewer(context, server);
    // Counts renders, so that a drop that would open its file twice shows up.
    await page.evaluate(() => {
      window.__renders = [];
      const real = window.renderDoc;
      window.renderDoc = (md, name) => {
        window.__renders.push(name);
        real(md, name);
      };
    });
  });
  after(() => context.close());

  async function renders() {
    return page.evaluate(() => window.__renders.splice(0));
  }

  it('the drop zone opens the picker, and the same file chosen twice renders twice', async () => {
    const file = { name: 'picked.md', mimeType: 'text/markdown', buffer: Buffer.from('# Picked\n\nfrom the picker') };
    for (let round = 0; round < 2; round++) {
      await page.evaluate(() => window.__host.send({ action: 'closeDoc' }));
      const [chooser] = await Promise.all([page.waitForEvent('filechooser'), page.click('#dropzone')]);
      await chooser.setFiles(file);
      await page.waitForFunction(() => window.__renders.length > 0);
      assert.deepEqual(await renders(), ['picked.md']);
      assert.equal(await page.textContent('#content h1'), 'Picked');
      assert.equal(await page.$eval('#filePicker', (input) => input.value), '', 'the picker is reset');
    }
  });

  it('a file dropped anywhere renders once, the first of several files, and the host stops following its own', async () => {
    await openDocument(page, 'before');
    await renders();
    const ownDocuments = async () => (await postedMessages(page)).filter((m) => m.action === 'ownDocument').length;
    const ownBefore = await ownDocuments();
    const prevented = await drop(page, '#content', [['first.md', '# First drop'], ['second.md', '# Second']]);
    assert.equal(prevented, true);
    await page.waitForFunction(() => window.__renders.length > 0);
    assert.deepEqual(await renders(), ['first.md']);
    assert.equal(await page.textContent('#content h1'), 'First drop');
    assert.equal(await ownDocuments(), ownBefore + 1);
  });

  it('a file dropped on the drop zone renders once and clears the highlight', async () => {
    await page.evaluate(() => window.__host.send({ action: 'closeDoc' }));
    const zone = await page.evaluate(() => {
      const dropzone = document.getElementById('dropzone');
      const transfer = new DataTransfer();
      transfer.items.add(new File(['# Zone'], 'zone.md'));
      const over = new DragEvent('dragover', { dataTransfer: transfer, bubbles: true, cancelable: true });
      dropzone.dispatchEvent(over);
      const highlighted = dropzone.classList.contains('over') && over.defaultPrevented;
      dropzone.dispatchEvent(new DragEvent('drop', { dataTransfer: transfer, bubbles: true, cancelable: true }));
      return { highlighted, clearedByDrop: !dropzone.classList.contains('over') };
    });
    assert.deepEqual(zone, { highlighted: true, clearedByDrop: true });
    await page.waitForFunction(() => window.__renders.length > 0);
    await page.waitForTimeout(100);
    assert.deepEqual(await renders(), ['zone.md']);
  });

  it('dragleave takes the highlight away', async () => {
    await page.evaluate(() => window.__host.send({ action: 'closeDoc' }));
    const classes = await page.evaluate(() => {
      const dropzone = document.getElementById('dropzone');
      dropzone.dispatchEvent(new DragEvent('dragover', { bubbles: true, cancelable: true }));
      const during = dropzone.className;
      dropzone.dispatchEvent(new DragEvent('dragleave', { bubbles: true }));
      return [during, dropzone.className];
    });
    assert.deepEqual(classes, ['over', '']);
  });

  it('a drop without files changes nothing', async () => {
    await openDocument(page, '# Stays');
    await renders();
    const before = await page.$eval('#content', (el) => el.innerHTML);
    assert.equal(await drop(page, null, [], 'just some text'), true);
    await page.waitForTimeout(100);
    assert.deepEqual(await renders(), []);
    assert.equal(await page.$eval('#content', (el) => el.innerHTML), before);
  });

  it('dragover anywhere is accepted, so that a drop can land', async () => {
    const prevented = await page.evaluate(() => {
      const event = new DragEvent('dragover', { bubbles: true, cancelable: true });
      document.getElementById('content').dispatchEvent(event);
      return event.defaultPrevented;
    });
    assert.equal(prevented, true);
  });
});
