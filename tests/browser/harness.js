'use strict';
// Shared pieces of the browser tests: the built page, a headless Chromium, a small static server
// on 127.0.0.1, and a stand-in for the web view's host channel.
const fs = require('node:fs');
const http = require('node:http');
const path = require('node:path');
const { chromium } = require('playwright-core');

const ROOT = path.join(__dirname, '..', '..');
const PAGE_PATH = process.env.PAGEWRIGHT_HTML
  ? path.resolve(process.env.PAGEWRIGHT_HTML)
  : path.join(ROOT, 'build', 'pagewright.html');
const SCREENSHOT_DIR = process.env.PAGEWRIGHT_SCREENSHOTS || path.join(path.dirname(PAGE_PATH), 'screenshots');
const CHROMIUM_PATH = process.env.CHROMIUM_PATH || '/usr/bin/chromium';
const CHROMIUM_ARGS = [
  '--headless',
  '--no-sandbox',
  '--disable-gpu',
  '--disable-background-networking',
  '--disable-component-update',
  '--no-first-run',
];

function pageHtml() {
  if (!fs.existsSync(PAGE_PATH)) {
    throw new Error(`${PAGE_PATH} is missing: build the viewer_page target first (or set PAGEWRIGHT_HTML)`);
  }
  return fs.readFileSync(PAGE_PATH, 'utf8');
}

// The page as the host hands it to the web view: the support image written into the first empty
// data-src attribute.
function pageWithSupportImage() {
  const jpeg = fs.readFileSync(path.join(ROOT, 'resources', 'support.jpg'));
  const uri = 'data:image/jpeg;base64,' + jpeg.toString('base64');
  return pageHtml().replace('data-src=""', `data-src="${uri}"`);
}

function launchBrowser() {
  return chromium.launch({ executablePath: CHROMIUM_PATH, args: CHROMIUM_ARGS });
}

const CONTENT_TYPES = {
  '.html': 'text/html; charset=utf-8',
  '.md': 'text/markdown; charset=utf-8',
  '.js': 'text/javascript; charset=utf-8',
  '.png': 'image/png',
  '.svg': 'image/svg+xml',
};

// Serves the page at /pagewright.html and the given files ({ '/docs/readme.md': text, ... });
// every request is recorded in `requests` (path and query), so a test can see beacons that a
// script would send.
async function startServer(files = {}) {
  const requests = [];
  const served = { '/pagewright.html': pageHtml(), ...files };
  const server = http.createServer((request, response) => {
    const url = new URL(request.url, 'http://127.0.0.1');
    requests.push(url.pathname + url.search);
    const body = served[url.pathname];
    if (body === undefined) {
      response.writeHead(404, 'Not Found', { 'content-type': 'text/plain' });
      response.end('not found');
      return;
    }
    response.writeHead(200, { 'content-type': CONTENT_TYPES[path.extname(url.pathname)] || 'text/plain' });
    response.end(body);
  });
  await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
  const origin = `http://127.0.0.1:${server.address().port}`;
  return {
    origin,
    pageUrl: `${origin}/pagewright.html`,
    requests,
    close: () => new Promise((resolve) => server.close(resolve)),
  };
}

// What a suite's tests share: a browser, a server of the page and `files` (see startServer), and, when
// `context` gives its options ({} for the defaults), one browser context. Ended by endSuite.
async function startSuite({ files, context: contextOptions } = {}) {
  const browser = await launchBrowser();
  const server = await startServer(files);
  const context = contextOptions ? await browser.newContext(contextOptions) : undefined;
  return { browser, server, context };
}

async function endSuite(browser, server) {
  await browser.close();
  await server.close();
}

// The diagram library as the program answers it, at its fixed address on the program's origin: the
// published file with the compile hint the program's build puts before it (resources/resources.cmake).
const DIAGRAM_LIBRARY_URL = 'https://tallowmere.invalid/vendor/mermaid.min.js';
const DIAGRAM_LIBRARY_PATH = path.join(ROOT, 'page', 'vendor', 'mermaid', 'mermaid.min.js');
const DIAGRAM_LIBRARY_FIRST_LINE = '//# allFunctionsCalledOnLoad\n';

// Lets a browser context reach the program's origin for the diagram library (the one address the page
// loads from there itself); without it the library cannot be had, as in a browser outside the program.
async function serveDiagramLibrary(context) {
  const library = DIAGRAM_LIBRARY_FIRST_LINE + fs.readFileSync(DIAGRAM_LIBRARY_PATH, 'utf8');
  await context.route(DIAGRAM_LIBRARY_URL, (route) =>
    route.fulfill({
      status: 200,
      headers: { 'content-type': 'text/javascript; charset=utf-8', 'x-content-type-options': 'nosniff' },
      body: library,
    }));
}

// Runs in the page before its own scripts: a host channel like the web view's. It records what
// the page posts (with the number of message listeners at that moment) and lets the test deliver
// messages as the host would.
function installWebViewStandIn() {
  const channel = new EventTarget();
  const addListener = channel.addEventListener.bind(channel);
  let messageListeners = 0;
  const posted = [];
  channel.addEventListener = (type, listener, options) => {
    if (type === 'message') messageListeners++;
    addListener(type, listener, options);
  };
  channel.postMessage = (message) => {
    posted.push({ json: JSON.stringify(message), listeners: messageListeners });
  };
  window.chrome = window.chrome || {};
  window.chrome.webview = channel;
  window.__host = {
    posted,
    // The host posts JSON text; the web view hands the page the parsed object.
    sendJson: (json) => channel.dispatchEvent(new MessageEvent('message', { data: JSON.parse(json) })),
    send: (data) => channel.dispatchEvent(new MessageEvent('message', { data })),
  };
}

// A new page showing the viewer from the server, with the host channel stand-in unless
// { webView: false }.
// Loads `html` (the stand-alone page by default) in `page` from an address the browser answers itself:
// the stand-alone page is too long for a data: address, which Chromium caps at 2 MiB. Every other
// request to that origin (a document's pictures) fails at once, as under a data: address.
const LOADED_PAGE_ORIGIN = 'https://viewer.invalid';
const LOADED_PAGE_URL = LOADED_PAGE_ORIGIN + '/pagewright.html';
async function loadPage(page, html = pageHtml(), options = {}) {
  await page.route(LOADED_PAGE_ORIGIN + '/**', (route) => (route.request().url() === LOADED_PAGE_URL
    ? route.fulfill({ contentType: 'text/html; charset=utf-8', body: html })
    : route.abort()));
  await page.goto(LOADED_PAGE_URL, options);
}

async function openViewer(context, server, { webView = true, query = '' } = {}) {
  const page = await context.newPage();
  if (webView) await page.addInitScript(installWebViewStandIn);
  await page.goto(server.pageUrl + query);
  return page;
}

// The dialects a document can be shown in, and the query that chooses each for a visit.
const DIALECTS = ['classic', 'github'];
const DIALECT_QUERY = { classic: '', github: '?dialect=github' };

// The host numbers its deliveries: every document it opens gets a new number, and only a live reload
// delivers one again under the number it had.
let lastGeneration = 0;

// Delivers a document as the host's openFile message, in its wire form, under `generation` (by
// default a new one, as for a document just opened); resolves to that number. A document converted in
// a worker shows once the worker has converted it: this waits until it is in place.
async function openDocument(page, content, name = 'doc.md', generation = ++lastGeneration) {
  const json = '{"action":"openFile","name":' + JSON.stringify(name) + ',"content":' + JSON.stringify(content) +
    ',"generation":' + generation + '}';
  await page.evaluate((text) => window.__host.sendJson(text), json);
  await documentShown(page);
  return generation;
}

// Waits until a document converted in a worker is in place (a small one in the classic dialect is at
// once; a large one has come from its worker whole).
function documentShown(page) {
  return page.waitForFunction(() => (chosenDialect === 'classic' && conversionRequest === null) || !document.querySelector('#content[aria-busy]'));
}

function postedMessages(page) {
  return page.evaluate(() => window.__host.posted.map((entry) => ({ ...JSON.parse(entry.json), listeners: entry.listeners })));
}

function isShown(page, selector) {
  return page.$eval(selector, (el) => getComputedStyle(el).display !== 'none');
}

module.exports = {
  ROOT,
  PAGE_PATH,
  SCREENSHOT_DIR,
  pageHtml,
  pageWithSupportImage,
  launchBrowser,
  startServer,
  startSuite,
  endSuite,
  serveDiagramLibrary,
  installWebViewStandIn,
  loadPage,
  openViewer,
  openDocument,
  documentShown,
  DIALECTS,
  DIALECT_QUERY,
  postedMessages,
  isShown,
};
