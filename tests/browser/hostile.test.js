'use strict';
// Hostile documents: raw HTML still renders, but nothing in a document runs, navigates or
// re-targets the page, or stands in for the page's own globals and elements. Every payload tries
// to leave a trace: a push to top.__pwned, a message to the page, a request to /beacon/… on the
// test server, a dialog, or a navigation. Each payload is checked for no trace at all, for a
// disarmed content area and for an intact page; one payload per test.
const { describe, it, before, after } = require('node:test');
const assert = require('node:assert/strict');
const path = require('node:path');
const { pathToFileURL } = require('node:url');
const fs = require('node:fs');
const { ROOT, PAGE_PATH, SCREENSHOT_DIR, launchBrowser, startServer, serveDiagramLibrary, openViewer, openDocument, pageHtml, isShown, DIALECTS, DIALECT_QUERY } = require('./harness');

const PIXEL_PNG_BASE64 = 'iVBORw0KGgoAAAANSUhEUgAAAAIAAAACCAIAAAD91JpzAAAAEElEQVR4nGOwbvoGRAwQCgAstgbNk8YhFAAAAABJRU5ErkJggg==';

// The page's second script exactly as the build wrote it: its hash is in the page's policy, so a
// document that copies it into a frame tries to reuse the page's own permission.
function consoleScriptText() {
  const scripts = [...pageHtml().matchAll(/<script>([\s\S]*?)<\/script>/g)];
  return scripts[scripts.length - 1][1];
}

function attributeText(text) {
  return text.replace(/&/g, '&amp;').replace(/"/g, '&quot;').replace(/</g, '&lt;');
}

// Stands for the test server's origin in the payloads.
const ORIGIN = '%ORIGIN%';

// Payloads: [name, markdown, { click: selector to click for real, hover: selector, keeps: selector
// that must still be rendered, draw: its diagrams must be drawn (and then checked), refused: the GitHub
// dialect's converter leaves it as text (a Markdown link to a refused scheme, a tag that CommonMark does
// not read as HTML), so there is nothing to keep or click there, styled: [selector, property, value]
// the document's own style sheet gives its element, clickBar: a click where the top bar's empty left
// end is, shot: a screenshot is saved for a person to look at }]. js(id) leaves every trace it can; go(id) navigates and suits
// places where the converter's syntax forbids parentheses.
function payloads() {
  const origin = ORIGIN;
  const js = (id) => `fetch('${origin}/beacon/${id}');parent.postMessage('pwned:${id}','*');top.__pwned.push('${id}');alert('${id}')`;
  const go = (id) => `location='${origin}/beacon/${id}'`;
  return [
    ['img onerror', `<img src="/missing.png" onerror="${js('img')}">`, { keeps: 'img[src="/missing.png"]' }],
    ['unquoted handler', `<img src=x onerror=${js('unquoted')}>`, { keeps: 'img', refused: true }],
    ['svg onload', `<svg onload="${js('svg-onload')}"></svg>`, { keeps: 'svg' }],
    ['body onload', `<body onload="${js('body-onload')}">text`, {}],
    ['script element', `<script>${js('script')}</script>`, {}],
    ['script with a data: source', `<script src="data:text/javascript,${js('script-src')}"></script>`, {}],
    ['script inside svg', `<svg><script>${js('svg-script')}</script></svg>`, { keeps: 'svg' }],
    ['iframe srcdoc script', `<iframe srcdoc="<script>${js('srcdoc')}</script>"></iframe>`, { keeps: 'iframe[srcdoc]' }],
    ['iframe srcdoc handler', `<iframe srcdoc="<img src=x onerror=${js('srcdoc-img')}>"></iframe>`, { keeps: 'iframe' }],
    ['iframe srcdoc reusing the page script', `<iframe srcdoc="<script>${attributeText(consoleScriptText())}</script>"></iframe>`, {}],
    ['iframe with its own sandbox allowing scripts', `<iframe sandbox="allow-scripts allow-same-origin" srcdoc="<script>${js('sandbox')}</script>"></iframe>`, {}],
    ['iframe javascript: source', `<iframe src="javascript:${js('iframe-js')}"></iframe>`, {}],
    ['iframe data: source', `<iframe src="data:text/html,<script>${js('iframe-data')}</script>"></iframe>`, {}],
    ['iframe with a scripted remote page', `<iframe src="${origin}/evil.html"></iframe>`, { keeps: 'iframe' }],
    ['Markdown link to javascript:', `[click me](javascript:${go('md-link')})`, { click: 'a', keeps: 'a', refused: true }],
    ['Markdown link with an entity-encoded scheme', `[click](&#106;avascript:${go('md-entity')})`, { click: 'a', refused: true }],
    ['Markdown image from javascript:', `![x](javascript:${go('md-img')})`, { keeps: 'img[alt="x"]', refused: true }],
    ['Markdown attachment to javascript:', `!file[a.pdf|1 KB](javascript:${go('md-file')})`, { click: '.ac', keeps: '.ac' }],
    ['raw link to javascript:', `<a id="p-link" href="javascript:${js('a-js')}">x</a>`, { click: '#p-link' }],
    ['raw link, scheme hidden by white space, case and entities', `<a id="p-obf" href="&#x20;JaV&#x09;aScRiPt&colon;${js('a-obf')}">x</a>`, { click: '#p-obf' }],
    ['raw link to javascript: in a new window', `<a id="p-blank" target="_blank" href="javascript:${js('a-blank')}">x</a>`, { click: '#p-blank' }],
    ['raw link to a data: page', `<a id="p-data" href="data:text/html,<script>${js('a-data')}</script>">d</a>`, { click: '#p-data' }],
    ['video source attribute injection', `!video[t](x.mp4" onerror="${go('md-video')})`, { keeps: 'video source' }],
    ['audio source attribute injection', `!audio[t](y.mp3" onerror="${go('md-audio')})`, { keeps: 'audio' }],
    ['image alt attribute injection', `![a" onerror="${go('md-alt')}](missing.png)`, { keeps: 'img' }],
    ['details ontoggle', `<details open ontoggle="${js('details')}"><summary>s</summary>x</details>`, { keeps: 'details[open]' }],
    ['autofocus onfocus', `<input autofocus onfocus="${js('focus')}">`, { keeps: 'input' }],
    ['video source onerror', `<video><source src="x" onerror="${js('source')}"></video>`, { keeps: 'video' }],
    ['audio onerror', `<audio src="x" onerror="${js('audio')}"></audio>`, {}],
    ['animation start', `<div style="animation:spin 1s" onanimationstart="${js('anim')}">x</div>`, { keeps: 'div[style]' }],
    ['svg animate onbegin', `<svg><animate onbegin="${js('onbegin')}" attributeName="x" dur="1s"/></svg>`, {}],
    ['svg link to javascript:', `<svg width="60" height="60"><a xlink:href="javascript:${js('svg-a')}"><rect width="60" height="60"/></a></svg>`, { click: 'svg' }],
    ['svg set of a javascript: href', `<svg width="60" height="60"><a><set attributeName="href" to="javascript:${js('svg-set')}"/><rect width="60" height="60"/></a></svg>`, { click: 'svg' }],
    ['svg animate values with javascript:', `<svg width="60" height="60"><a><animate attributeName="href" values="#;javascript:${js('svg-values')}"/><rect width="60" height="60"/></a></svg>`, { click: 'svg' }],
    // Animations that give a settled link another address or target.
    ['svg set of a web address on a link without one', `<svg width="60" height="60"><a><set attributeName="href" to="${origin}/beacon/svg-set"/><rect width="60" height="60"/></a></svg>`, { click: 'svg', keeps: 'svg a rect' }],
    ['svg animate of xlink:href', `<svg width="60" height="60" xmlns:xlink="http://www.w3.org/1999/xlink"><a><animate attributeName="xlink:href" values="${origin}/beacon/svg-xlink" dur="9s"/><rect width="60" height="60"/></a></svg>`, { click: 'svg' }],
    ['svg set of a web link target', `<svg width="60" height="60"><a id="p-svg-target" href="${origin}/beacon/svg-target"><set attributeName="target" to="_self"/><rect width="60" height="60"/></a></svg>`, {}],
    ['svg animation aimed at a link from outside it', `<svg width="60" height="60"><a id="p-aimed"><rect width="60" height="60"/></a><set href="#p-aimed" attributeName="href" to="${origin}/beacon/svg-aimed"/></svg>`, { click: 'svg' }],
    ['svg use of other documents', `<svg><use href="${origin}/beacon/use.svg#a"/><use xlink:href="${origin}/beacon/use-x.svg#a"/><use href="#own"/></svg>`, { keeps: 'use[href="#own"]' }],
    ['svg foreignObject handler', `<svg><foreignObject width="50" height="50"><img src=x onerror="${js('foreign')}"></foreignObject></svg>`, {}],
    ['object with a data: page', `<object data="data:text/html,<script>${js('object')}</script>"></object>`, {}],
    ['embed with a data: page', `<embed src="data:text/html,<script>${js('embed')}</script>">`, {}],
    ['meta refresh', `<meta http-equiv="refresh" content="0;url=${origin}/beacon/meta">`, {}],
    ['base href', `<base href="${origin}/beacon/base/">\n\n<img src="relative.png">`, {}],
    ['base target', `<base target="_top">\n\n[in page](#x)`, {}],
    ['form submission', `<form action="${origin}/beacon/form"><button id="p-form">go</button></form>`, { click: '#p-form', keeps: 'form button' }],
    ['form submitting to the page itself', `<form method="get"><input name="file" value="evil.md"><button id="p-self">go</button></form>`, { click: '#p-self' }],
    ['button formaction javascript:', `<form><button id="p-formaction" formaction="javascript:${js('formaction')}">go</button></form>`, { click: '#p-formaction' }],
    ['form whose controls shadow its own attributes', `<form id="p-clob" onclick="${js('form-clobber')}"><input name="attributes"><input name="removeAttributeNode"><input name="localName"></form>`, { click: '#p-clob' }],
    // A media tag that makes no element sends the insertion through the renaming repair, which
    // once read the form's attributes and failed, leaving the undisarmed slice for the next document.
    ['form shadowing what the media repair reads', `<form id="p-repair"><input name="attributes"><input name="nodeType"><img name="localName" src=x onerror="${js('repair')}"></form>\n\n<!-- <video> -->\n\n<style>p { color: rgb(255, 0, 0) }</style>`, { keeps: '#p-repair img' }],
    // A large document whose first block is such a form (the code block keeps it out of a paragraph).
    ['form shadowing what the parts read', '<form><img name="checkVisibility"><img name="getBoundingClientRect"></form>```\nx\n```\n\n' +
      'filler\n\n'.repeat(15000) + '<p title="end">end</p>', { keeps: 'p[title="end"]' }],
    ['noscript mutation', `<noscript><p title="</noscript><img src=x onerror=${js('noscript')}>"></noscript>`, {}],
    ['math and style mutation', `<math><mtext><table><mglyph><style><img src=x onerror=${js('mglyph')}></style></mglyph></table></mtext></math>`, {}],
    ['marquee onstart', `<marquee onstart="${js('marquee')}">m</marquee>`, {}],
    ['handler on an unknown element', `<x-widget onclick="${js('custom')}">w</x-widget>`, { keeps: 'x-widget' }],
    ['handler in a heading, on hover', `# <span id="p-hover" onmouseover="${js('hover')}">Title</span>`, { hover: '#p-hover' }],
    ['handler in a table cell', `|<img src=x onerror="${js('cell')}">|b|\n|-|-|\n|c|d|`, { keeps: 'table img' }],
    ['handler in a quote', `> <img src=x onerror="${js('quote')}">`, { keeps: 'blockquote img' }],
    ['remote style sheet', `<link rel="stylesheet" href="${origin}/beacon/style.css">`, {}],
    ['import from javascript:', `<style>@import 'javascript:${js('import')}';</style>`, {}],
    ['clobbering document methods', `<img name="getElementById"><form name="querySelector"></form><img name="createElement"><embed name="createDocumentFragment">`, {}],
    ['clobbering body, title and page globals', `<img name="body"><img name="title" src=x><form id="_qrCodeUri"></form><a id="chrome"></a><img name="cookie">`, {}],
    ['ids of the page own elements', `<div id="tocList">fake</div><div id="content">x</div><div id="totop">y</div><div id="heading-0">z</div>`, {}],
    // Links that would open a window on a data: page or hand an address to a protocol handler.
    ['Markdown link to a data: page', `[x](data:text/html;base64,PHNjcmlwdD5hbGVydCgxKTwvc2NyaXB0Pg==)`, { click: 'a', keeps: 'a', refused: true }],
    ['Markdown link to a custom scheme', `[x](mocha:${go('mocha')})`, { click: 'a', keeps: 'a' }],
    ['raw link to livescript: in a new window', `<a id="p-live" target="_blank" href="livescript:${js('live')}">x</a>`, { click: '#p-live' }],
    ['raw link, data: scheme spelt with an entity', `<a id="p-colon" target="_blank" href="data&colon;text/html,<script>${js('colon')}</script>">x</a>`, { click: '#p-colon' }],
    ['raw link to a protocol handler', `<a id="p-proto" target="_blank" href="ms-settings:privacy">x</a>`, { click: '#p-proto' }],
    ['raw link to a local file', `<a id="p-file" target="_blank" href="file:///C:/Windows/System32/calc.exe">x</a>`, { click: '#p-file' }],
    ['svg link to a data: page in a new window', `<svg width="60" height="60"><a target="_blank" href="data:text/html,<script>${js('svg-data')}</script>"><rect width="60" height="60"/></a></svg>`, { click: 'svg' }],
    // Diagram sources: the library's output is disarmed too, and its own settings stay strict.
    ['diagram label with a handler', '```mermaid\ngraph TD\n  A["<img src=x onerror=' + go('mermaid-img') + '>"] --> B\n```', { draw: true, keeps: 'svg .node' }],
    ['diagram click calling a function', '```mermaid\ngraph TD\n  A --> B\n  click A call evil()\n```', { draw: true, click: 'svg .node' }],
    ['diagram link to javascript:', '```mermaid\ngraph TD\n  A --> B\n  click A "javascript:' + go('mermaid-link') + '"\n```', { draw: true, click: 'svg .node' }],
    ['diagram directive lowering the security level', '```mermaid\n%%{init: {"securityLevel": "loose", "startOnLoad": true}}%%\ngraph TD\n  A["<img src=x onerror=' + go('mermaid-loose') + '>"] --> B\n  click B call evil()\n```', { draw: true, click: 'svg .node:last-of-type' }],
    // A document's styles and boxes stay inside the content area; its labels work its own controls only.
    ['style sheet restyling the page', '<style>#qrCodeImg{display:block!important;content:url("data:image/svg+xml,%3Csvg xmlns=%27http://www.w3.org/2000/svg%27/%3E")}' +
      '#qrCodePlaceholder{display:none!important}#filename{font-size:0}#filename::after{content:"trusted-readme.md";font-size:14px}' +
      '@font-face{font-family:"Segoe UI";src:local("Courier New")}@property --bar-bg{syntax:"<color>";inherits:false;initial-value:red}' +
      'p{text-transform:uppercase}</style>\n\nStyled text.', { styled: ['p', 'textTransform', 'uppercase'], shot: true }],
    ['fixed box over the top bar', `<style>:scope{position:relative;z-index:99;margin-top:-60px}</style>\n\n` +
      `<div style="position:fixed;top:0;left:0;right:0;height:60px;z-index:2147483647;background:#c00">` +
      `Official notice <a href="${origin}/beacon/overlay">close</a></div>\n\nText.`, { clickBar: true, keeps: 'div[style]', shot: true }],
    ['popover and modal dialog in the top layer', `<button id="p-pop" popovertarget="pop">more</button><div id="pop" popover style="inset:0;width:100vw;height:100vh">` +
      `<a href="${origin}/beacon/popover">close</a></div><button id="p-modal" commandfor="dlg" command="show-modal">open</button><dialog id="dlg">x</dialog>`,
    { click: '#p-pop', keeps: '#pop', shot: true }],
    ['label for the close button', `<label for="closeBtn" style="display:block;padding:20px;background:#345">Click to read more</label>` +
      `<label for="filePicker">file</label><label for="btnLight">light</label><input id="own"><label for="own">own</label>`,
    { click: 'label[style]', keeps: 'label[for="own"]', shot: true }],
    ['image map area to a custom scheme', `<img src="/pixel.png" usemap="#m" width="60" height="60"><map name="m"><area id="p-area" shape="rect" coords="0,0,60,60" target="_blank" href="mocha:x"></map>`, {}],
  ];
}

const SYNTHETIC_EVENTS = ['click', 'mouseover', 'focus', 'error', 'load', 'toggle', 'animationstart', 'begin', 'start', 'submit'];

let browser;
let server;
let page;
const dialogs = [];
const navigations = [];
const popups = [];

before(async () => {
  browser = await launchBrowser();
  server = await startServer({
    '/evil.html': '<!DOCTYPE html><script>fetch("/beacon/evil-frame");parent.postMessage("pwned:evil-frame","*");</script>',
    '/pixel.png': Buffer.from(PIXEL_PNG_BASE64, 'base64'),
  });
  const context = await browser.newContext();
  await serveDiagramLibrary(context);
  await context.addInitScript(() => {
    if (window !== top) return;
    window.__pwned = [];
    // What a diagram's click would call.
    window.evil = () => window.__pwned.push('evil');
    // Messages from the document's frames; the page's own records come from the page itself.
    window.addEventListener('message', (event) => {
      if (typeof event.data === 'string' && event.data.startsWith('pwned')) window.__pwned.push(event.data);
      else if (event.source !== window) window.__pwned.push('frame record ' + JSON.stringify(event.data));
    });
  });
  page = await openViewer(context, server);
  page.on('dialog', (dialog) => {
    dialogs.push(dialog.message());
    dialog.dismiss().catch(() => {});
  });
  page.on('popup', (popup) => {
    popups.push(popup.url());
    popup.close().catch(() => {});
  });
  page.on('framenavigated', (frame) => {
    if (frame === page.mainFrame()) navigations.push(frame.url());
  });
});

after(async () => {
  await browser.close();
  await server.close();
});

// The pointer rests where it hovers none of the page's own controls, as it did when their clean look was
// taken: where an earlier test left it, a button would look hovered.
async function restPointer() {
  const { height } = page.viewportSize() ?? { height: 600 };
  await page.mouse.move(2, height - 2);
}

// What a hostile document could have done to the page, as seen from inside it.
async function pageState() {
  return { ...(await documentState()), pageLook: await page.evaluate(pageLook) };
}

function documentState() {
  return page.evaluate(() => {
    const content = document.querySelector('#content');
    const elements = [...content.querySelectorAll('*')];
    // Read through the prototype: a document's form controls may shadow the form's own properties.
    const attributesOf = (el) => [...Object.getOwnPropertyDescriptor(Element.prototype, 'attributes').get.call(el)];
    const scriptUrl = (value) => /^(?:javascript|vbscript):/.test(value.replace(/[\u0000-\u0020\u007f]+/g, '').toLowerCase());
    // A link may lead to the web, to mail or within the page; any other scheme is dropped.
    const linkTarget = (el) => el.getAttribute('href') ?? el.getAttribute('xlink:href');
    const unsafeLink = (value) => /^[a-z][a-z0-9+.\-]*:/i.test(value.replace(/[\u0000-\u0020\u007f]+/g, '')) &&
      !/^(?:https?|mailto):/i.test(value.replace(/[\u0000-\u0020\u007f]+/g, ''));
    return {
      pwned: window.__pwned.slice(),
      url: location.href,
      baseURI: document.baseURI,
      getElementById: typeof document.getElementById,
      body: Object.getOwnPropertyDescriptor(Document.prototype, 'body').get.call(document) === document.body,
      title: typeof document.title,
      qrCodeUri: '_qrCodeUri' in window,
      handlers: elements.flatMap((el) => attributesOf(el).filter((a) => a.name.startsWith('on') && a.name !== 'open').map((a) => a.name)),
      scriptUrls: elements.flatMap((el) => attributesOf(el).filter((a) => scriptUrl(a.value)).map((a) => a.name)),
      banned: content.querySelectorAll('script, meta, base, object, embed, template, noscript').length,
      unsafeLinks: [...content.querySelectorAll('a, area')].map(linkTarget).filter((v) => v !== null && unsafeLink(v)),
      unsandboxedFrames: content.querySelectorAll('iframe:not([sandbox=""])').length,
      // SVG links whose address or target an animation changed.
      animatedLinks: elements.filter((el) => el instanceof SVGAElement &&
        (el.href.animVal !== el.href.baseVal || el.target.animVal !== el.target.baseVal)).length,
      duplicatePageIds: ['tocList', 'content', 'totop', '_qrCodeUri', 'chrome', 'qrData'].filter(
        (id) => document.querySelectorAll('#' + id).length > 1,
      ),
      // The document is still shown, and nothing of it is in the top layer.
      documentShown: content.querySelector('#dropzone') === null,
      topLayer: document.querySelectorAll(':popover-open, :modal').length,
      // What the document's attributes name by id lies in the document.
      foreignReferences: elements.flatMap((el) => ['for', 'form', 'list', 'popovertarget', 'commandfor', 'aria-controls', 'aria-labelledby']
        .flatMap((name) => (el.getAttribute(name) || '').split(/\s+/))
        .filter((id) => id && document.getElementById(id) && !content.contains(document.getElementById(id)))),
      // The top bar's empty left end is the top bar's, and the page's own elements look as they did.
      barOnTop: document.elementFromPoint(4, 4)?.closest('#topbar') !== null,
      // No font face of the document's stands in for one the page's texts use.
      pageFonts: [...document.fonts].map((face) => face.family.replace(/"/g, '')).filter((family) => ['Segoe UI', 'Consolas'].includes(family)),
    };
  });
}

// The computed look of the page's own elements that a document's styles could change (in the page),
// once the transitions of hover and focus have settled: a look caught halfway is neither state.
async function pageLook() {
  await Promise.all(document.getAnimations().filter((a) => a instanceof CSSTransition).map((a) => a.finished.catch(() => {})));
  const look = (selector, pseudo) => {
    const style = getComputedStyle(document.querySelector(selector), pseudo);
    return [style.display, style.fontSize, style.fontFamily, style.color, style.backgroundColor, style.position, style.content].join(' ');
  };
  return ['#topbar', '#filename', '#meta', '#btnDark', '#qrCodeImg', '#qrCodePlaceholder', '#aboutDialog', '#toc', '#contentArea']
    .map((selector) => look(selector) + ' / ' + look(selector, '::after'));
}

const CLEAN_STATE = {
  documentShown: true,
  topLayer: 0,
  foreignReferences: [],
  barOnTop: true,
  pageFonts: [],
  pwned: [],
  getElementById: 'function',
  body: true,
  title: 'string',
  qrCodeUri: false,
  handlers: [],
  scriptUrls: [],
  banned: 0,
  unsafeLinks: [],
  unsandboxedFrames: 0,
  animatedLinks: 0,
  duplicatePageIds: [],
};

for (const dialect of DIALECTS) {
  describe(`hostile documents, ${dialect} dialect`, () => {
    let pageUrl;
    // The next document's content and its colour, as they are when nothing came before it.
    const nextDocument = async () => {
      await openDocument(page, 'next', 'next.md');
      return page.$eval('#content', (el) => [el.innerHTML, getComputedStyle(el.firstChild).color]);
    };
    let cleanNext;
    let cleanLook;
    before(async () => {
      await page.goto(server.pageUrl + DIALECT_QUERY[dialect]);
      pageUrl = page.url();
      cleanNext = await nextDocument();
      await restPointer();
      cleanLook = await page.evaluate(pageLook);
    });

    // Each payload starts from a clean slate, so that a trace is laid at the payload that left it.
    async function resetTraces() {
      if (page.url() !== pageUrl) await page.goto(pageUrl);
      navigations.length = 0;
      dialogs.length = 0;
      popups.length = 0;
      server.requests.length = 0;
      await page.evaluate(() => {
        window.__pwned.length = 0;
      });
      await restPointer();
    }

    for (const [name, markdown, options] of payloads()) {
      it(name, async () => {
        await resetTraces();
        await openDocument(page, markdown.replaceAll(ORIGIN, server.origin), 'hostile.md');
        await page.waitForFunction(() => !document.querySelector('#content[aria-busy]'), null, { timeout: 10000 });
        if (options.draw) {
          const drawn = await page.evaluate(() => Promise.all([...document.querySelectorAll('#content pre')].map((pre) => drawDiagram(pre))));
          assert.deepEqual(drawn, [true], 'the diagram is drawn');
        }
        const shown = dialect === 'classic' || !options.refused;
        if (options.keeps && shown) assert.notEqual(await page.$(`#content ${options.keeps}`), null, 'the HTML still renders');
        if (options.styled) {
          const [selector, property, value] = options.styled;
          assert.equal(await page.$eval(`#content ${selector}`, (el, p) => getComputedStyle(el)[p], property), value, 'its own styles still apply');
        }
        await page.evaluate((types) => {
          // The page's own corner buttons on diagrams are left alone: they open the page's own view.
          for (const el of document.querySelectorAll('#content *:not(.diagram-close-view)')) {
            for (const type of types) el.dispatchEvent(new Event(type, { bubbles: false }));
          }
        }, SYNTHETIC_EVENTS);
        if (options.click && shown) await page.click(`#content ${options.click}`, { timeout: 2000 });
        if (options.clickBar) await page.mouse.click(4, 4);
        if (options.shot) {
          fs.mkdirSync(SCREENSHOT_DIR, { recursive: true });
          await page.screenshot({ path: `${SCREENSHOT_DIR}/hostile-${name.replace(/\W+/g, '-')}-${dialect}.png` });
        }
        if (options.hover) await page.hover(`#content ${options.hover}`, { timeout: 2000 });
        await page.waitForTimeout(150);

        const { url, baseURI, pageLook: look, ...state } = await pageState();
        assert.deepEqual(state, CLEAN_STATE);
        assert.deepEqual(look, cleanLook, "the page's own elements look as before");
        assert.equal(url, pageUrl, 'the page did not navigate');
        assert.equal(baseURI, pageUrl, 'the base URL is the page');
        assert.deepEqual(navigations, []);
        assert.deepEqual(popups, [], 'no window opened');
        assert.deepEqual(dialogs, []);
        assert.deepEqual(server.requests.filter((r) => r.startsWith('/beacon')), []);

        assert.deepEqual(await nextDocument(), cleanNext, 'nothing of it reaches the next document');
      });
    }

    it('leaves the page fully working', async () => {
      await page.waitForTimeout(300);
      assert.equal(page.url(), pageUrl);
      assert.deepEqual(server.requests.filter((r) => r.startsWith('/beacon')), []);
      assert.deepEqual(navigations, []);
      await openDocument(page, '# Safe\n\n## Again', 'safe.md');
      assert.equal(await page.title(), 'Safe - Quillpane');
      assert.deepEqual(await page.$$eval('#tocList a', (as) => as.map((a) => a.getAttribute('href'))), ['#heading-0', '#heading-1']);
      await page.click('#tocBtn');
      assert.equal(await isShown(page, '#toc'), true);
      await page.click('#logoBtn');
      assert.equal(await isShown(page, '#aboutDialog'), true);
      assert.equal(await isShown(page, '#qrCodePlaceholder'), true);
      await page.keyboard.press('Escape');
      await page.click('#btnLight');
      assert.equal(await page.getAttribute('body', 'data-theme'), 'light');
      await page.click('#closeBtn');
      assert.notEqual(await page.$('#dropzone'), null);
    });
  });
}

describe('what a document may still load', () => {
  it('images and media from http, data: and blob: URLs', async () => {
    const blobUrl = await page.evaluate((base64) => {
      const bytes = Uint8Array.from(atob(base64), (c) => c.charCodeAt(0));
      return URL.createObjectURL(new Blob([bytes], { type: 'image/png' }));
    }, PIXEL_PNG_BASE64);
    const doc = [
      `![web](${server.origin}/pixel.png)`,
      `![data](data:image/png;base64,${PIXEL_PNG_BASE64})`,
      `<img alt="blob" src="${blobUrl}">`,
      `<img alt="svg" src="data:image/svg+xml,%3Csvg xmlns='http://www.w3.org/2000/svg' width='3' height='3'/%3E">`,
    ].join('\n\n');
    await openDocument(page, doc, 'media.md');
    await page.waitForFunction(() => [...document.querySelectorAll('#content img')].every((img) => img.complete));
    const sizes = await page.$$eval('#content img', (imgs) => imgs.map((img) => [img.alt, img.naturalWidth]));
    assert.deepEqual(sizes, [['web', 2], ['data', 2], ['blob', 2], ['svg', 3]]);
  });

  for (const dialect of DIALECTS) {
    it(`images from file URLs when the page itself is a file, ${dialect} dialect`, async () => {
      const filePage = await browser.newPage();
      await filePage.goto(pathToFileURL(PAGE_PATH).href + DIALECT_QUERY[dialect]);
      const image = pathToFileURL(path.join(ROOT, 'resources', 'support.jpg')).href;
      await filePage.evaluate((src) => {
        // The file picker's way in: a dropped file whose text refers to a local image.
        const transfer = new DataTransfer();
        transfer.items.add(new File([`![local](${src})`], 'local.md'));
        document.dispatchEvent(new DragEvent('drop', { dataTransfer: transfer, bubbles: true, cancelable: true }));
      }, image);
      await filePage.waitForSelector('#content img');
      await filePage.waitForFunction(() => document.querySelector('#content img').complete);
      assert.equal(await filePage.$eval('#content img', (img) => img.naturalWidth), 265);
      await filePage.close();
    });
  }
});
