// End to end through the development runtime: the real tallowmere.exe under Wine, its real browser
// runtime loader and web view host, the development client library, the Node driver, and the real page
// in Chromium. Builds nothing: expects a build folder (TALLOWMERE_BUILD_DIR, default build/) holding
// tallowmere.exe and devruntime/EBWebView/x64/EmbeddedBrowserWebView.dll.

'use strict';

const test = require('node:test');
const assert = require('node:assert/strict');
const { spawn } = require('node:child_process');
const fs = require('node:fs');
const path = require('node:path');
const readline = require('node:readline');

const ROOT = path.resolve(__dirname, '..', '..');
const BUILD = path.resolve(process.env.TALLOWMERE_BUILD_DIR || path.join(ROOT, 'build'));
const PROGRAM = path.join(BUILD, 'tallowmere.exe');
const RUNTIME = path.join(BUILD, 'devruntime');
const RUNTIME_LIBRARY = path.join(RUNTIME, 'EBWebView', 'x64', 'EmbeddedBrowserWebView.dll');
const WORK = path.join(BUILD, 'devruntime-e2e');
const FIXTURES = path.join(__dirname, 'fixtures');
const WAIT_MS = 60000;
const POLL_MS = 100;
// The end of the driver's and the program's output shown after a failure.
const DIAGNOSTIC_CHARS = 4000;

const PROFILE = path.join(WORK, 'profile');
const FIRST_NAME = 'field-notes.md';
// A dropped file's name with a space and non-ASCII letters: both must survive the drop and the message.
const SECOND_NAME = 'second harvest 第二.md';
const WELCOME_FILE_NAME = '未加载文档';
// A 2 × 2 picture.
const PIXEL_PNG_BASE64 = 'iVBORw0KGgoAAAANSUhEUgAAAAIAAAACCAIAAAD91JpzAAAAEElEQVR4nGOwbvoGRAwQCgAstgbNk8YhFAAAAABJRU5ErkJggg==';
// A 3 × 3 picture of the colour rgb(200, 30, 40): the map as a writer regenerates it.
const RED_PNG_BASE64 = 'iVBORw0KGgoAAAANSUhEUgAAAAMAAAADCAIAAADZSiLoAAAAEElEQVR4nGM4IacBQQxYWACUIAl/hTTPQAAAAABJRU5ErkJggg==';
// Longer than one partial answer of the program (8 MiB), so that playing and seeking need several.
const TONE_SECONDS = 700;

// Wine maps the Linux root to drive Z:.
function windowsPath(linuxPath) {
  return `Z:${linuxPath.replace(/\//g, '\\')}`;
}

// The statistics line the page writes for a document text.
function expectedStatistics(text) {
  const trimmed = text.trim();
  const words = trimmed === '' ? 0 : trimmed.split(/\s+/).length;
  const lines = text.split('\n').length;
  const kb = Buffer.byteLength(text, 'utf8') / 1024;
  const size = kb > 1024 ? `${(kb / 1024).toFixed(2)} MB` : `${kb.toFixed(1)} KB`;
  return `${text.length} 字符 · ${words} 词 · ${lines} 行 · ${size}`;
}

function sleep(ms) {
  return new Promise((resolve) => setTimeout(resolve, ms));
}

async function waitFor(what, check, timeoutMs = WAIT_MS) {
  const deadline = Date.now() + timeoutMs;
  let last;
  for (;;) {
    last = await check();
    if (last) return last;
    if (Date.now() > deadline) throw new Error(`timed out waiting for ${what}`);
    await sleep(POLL_MS);
  }
}

// Silence as 16-bit mono PCM at 8 kHz in a WAV file.
function silentWav(seconds) {
  const samples = seconds * 8000;
  const wav = Buffer.alloc(44 + samples * 2);
  wav.write('RIFF', 0);
  wav.writeUInt32LE(36 + samples * 2, 4);
  wav.write('WAVEfmt ', 8);
  wav.writeUInt32LE(16, 16);
  wav.writeUInt16LE(1, 20); // PCM
  wav.writeUInt16LE(1, 22); // mono
  wav.writeUInt32LE(8000, 24);
  wav.writeUInt32LE(16000, 28);
  wav.writeUInt16LE(2, 32);
  wav.writeUInt16LE(16, 34);
  wav.write('data', 36);
  wav.writeUInt32LE(samples * 2, 40);
  return wav;
}

// Every process below `pid`, from /proc.
function descendants(pid) {
  const children = new Map();
  for (const entry of fs.readdirSync('/proc')) {
    if (!/^\d+$/.test(entry)) continue;
    let stat;
    try {
      stat = fs.readFileSync(`/proc/${entry}/stat`, 'utf8');
    } catch {
      continue; // gone meanwhile
    }
    // The parent id is the second field after the parenthesised command name.
    const parent = Number(stat.slice(stat.lastIndexOf(')') + 2).split(' ')[1]);
    if (!children.has(parent)) children.set(parent, []);
    children.get(parent).push(Number(entry));
  }
  const found = [];
  const pending = [pid];
  while (pending.length > 0) {
    for (const child of children.get(pending.pop()) || []) {
      found.push(child);
      pending.push(child);
    }
  }
  return found;
}

function alive(pid) {
  try {
    process.kill(pid, 0);
    return true;
  } catch {
    return false;
  }
}

// The driver with its control channel: events from its standard output, commands to its standard input.
function startDriver() {
  const args = [path.join(__dirname, 'driver.js'), '--headless', '--control', '--profile', PROFILE];
  const child = spawn(process.execPath, args, {
    stdio: ['pipe', 'pipe', 'pipe'],
  });
  const events = [];
  const replies = new Map();
  let nextId = 1;
  let stderr = '';
  child.stderr.on('data', (chunk) => {
    stderr += chunk;
  });
  readline.createInterface({ input: child.stdout }).on('line', (line) => {
    const event = JSON.parse(line);
    events.push(event);
    if (event.event === 'reply' && replies.has(event.id)) {
      replies.get(event.id)(event);
      replies.delete(event.id);
    }
  });
  const exited = new Promise((resolve) => child.on('exit', (code) => resolve(code)));
  return {
    child,
    events,
    exited,
    stderr: () => stderr,
    records: (type) => events.filter((e) => e.event === 'record' && e.record.type === type).map((e) => e.record),
    event: (what, predicate) => waitFor(what, () => events.find(predicate)),
    async control(command) {
      const id = nextId++;
      const reply = new Promise((resolve) => replies.set(id, resolve));
      child.stdin.write(`${JSON.stringify({ id, ...command })}\n`);
      const answer = await reply;
      if (!answer.ok) throw new Error(`${command.op} failed: ${answer.error}`);
      return answer.value;
    },
  };
}

// A private X display for the program's window when the test runs without one (scripts/test has one).
async function startDisplay() {
  const child = spawn('Xvfb', ['-displayfd', '3', '-screen', '0', '1280x1024x24', '-nolisten', 'tcp'], {
    stdio: ['ignore', 'ignore', 'ignore', 'pipe'],
  });
  const number = await new Promise((resolve, reject) => {
    let text = '';
    child.stdio[3].on('data', (chunk) => {
      text += chunk;
      if (text.includes('\n')) resolve(text.trim());
    });
    child.on('exit', () => reject(new Error('Xvfb did not start')));
  });
  return { child, display: `:${number}` };
}

// The program under Wine; wine-run.sh execs wine, so the child is the program's own process.
function startProgram(port, documentPath, display) {
  const args = [path.join(ROOT, 'cmake', 'wine-run.sh'), PROGRAM];
  if (documentPath) args.push(windowsPath(documentPath));
  const child = spawn('sh', args, {
    env: {
      ...process.env,
      DISPLAY: display,
      TALLOWMERE_WINEPREFIX: process.env.TALLOWMERE_WINEPREFIX || path.join(BUILD, 'wineprefix'),
      TALLOWMERE_DEVRUNTIME_PORT: String(port),
      WEBVIEW2_BROWSER_EXECUTABLE_FOLDER: windowsPath(RUNTIME),
    },
    // Not inherited: a program left running after a failure must not hold the test's output open.
    stdio: ['ignore', 'pipe', 'pipe'],
  });
  let output = '';
  child.stdout.on('data', (chunk) => {
    output += chunk;
  });
  child.stderr.on('data', (chunk) => {
    output += chunk;
  });
  const exited = new Promise((resolve) => child.on('exit', (code) => resolve(code)));
  return { child, exited, output: () => output };
}

function running(child) {
  return Boolean(child) && child.exitCode === null && child.signalCode === null;
}

// Kills a child and everything below it at once.
function killTree(child) {
  for (const pid of [...descendants(child.pid), child.pid]) {
    try {
      process.kill(pid, 'SIGKILL');
    } catch {
      // already gone
    }
  }
}

// The driver (with the control channel and a profile kept in WORK) and, without a display, a private
// one; after a failure, whatever still runs is ended. `started` registers the program for that.
async function startSession(t) {
  const xvfb = process.env.DISPLAY ? null : await startDisplay();
  const driver = startDriver();
  let program = null;
  t.after(async () => {
    if (!t.passed) {
      // What the driver and the program said is the one clue to a failure on a machine nobody can watch.
      t.diagnostic(`driver said:\n${driver.stderr().slice(-DIAGNOSTIC_CHARS)}`);
      if (program) t.diagnostic(`program said:\n${program.output().slice(-DIAGNOSTIC_CHARS)}`);
    }
    // Only after a failure does anything still run here: the program goes at once, the driver is asked
    // to close Chromium first and killed with it if it does not.
    if (program && running(program.child)) killTree(program.child);
    if (running(driver.child)) {
      driver.child.kill('SIGTERM');
      await Promise.race([driver.exited, sleep(10000)]);
      if (running(driver.child)) killTree(driver.child);
    }
    if (xvfb) xvfb.child.kill();
    // A process the program started outside its own tree (Wine's services) may hold its output open:
    // letting go of the pipes keeps that from holding this file's process, and so the run, forever.
    for (const child of [driver.child, program && program.child]) {
      if (child) for (const stream of [child.stdin, child.stdout, child.stderr]) if (stream) stream.destroy();
    }
  });
  return {
    driver,
    display: xvfb ? xvfb.display : process.env.DISPLAY,
    started: (child) => {
      program = child;
      return child;
    },
  };
}

test('the real program shows, replaces and closes documents in Chromium, then leaves nothing behind', { timeout: 240000 }, async (t) => {
  for (const needed of [PROGRAM, RUNTIME_LIBRARY]) {
    assert.ok(fs.existsSync(needed), `${needed} is missing: build first (scripts/test builds it)`);
  }
  fs.rmSync(WORK, { recursive: true, force: true });
  // The documents in notes/, a picture beside them, a sound above them.
  const notes = path.join(WORK, 'notes');
  fs.mkdirSync(path.join(notes, 'img'), { recursive: true });
  fs.mkdirSync(path.join(WORK, 'sounds'), { recursive: true });
  fs.writeFileSync(path.join(notes, 'img', 'map.png'), Buffer.from(PIXEL_PNG_BASE64, 'base64'));
  fs.writeFileSync(path.join(WORK, 'sounds', 'tone.wav'), silentWav(TONE_SECONDS));
  const first = path.join(notes, FIRST_NAME);
  const second = path.join(notes, SECOND_NAME);
  const firstText = `${fs.readFileSync(path.join(FIXTURES, 'field-notes.md'), 'utf8')}
![map](img/map.png)

!audio[tone](../sounds/tone.wav)
`;
  const secondText = `${fs.readFileSync(path.join(FIXTURES, 'second-harvest.md'), 'utf8')}
\`\`\`mermaid
graph LR
  Drop[Dropped on the window] --> Deliver[Delivered to the page] --> Show[Shown]
\`\`\`

\`\`\`js
const harvest = 'second';
\`\`\`

[Back to the field notes](${FIRST_NAME})

!file[invoice.exe](${FIRST_NAME})
`;
  fs.writeFileSync(first, firstText);
  fs.writeFileSync(second, secondText);

  const { driver, display, started } = await startSession(t);
  const text = (selector) => driver.control({ op: 'text', selector });
  const showsText = (selector, expected) => async () => (await text(selector)) === expected;

  const { port } = await driver.event('the driver to listen', (e) => e.event === 'listening');
  const program = started(startProgram(port, first, display));

  // Start-up: the program's calls reached the runtime, the page said ready, the program answered with
  // the document given on its command line.
  await driver.event('the page to be ready', (e) => e.event === 'record' && e.record.type === 'delivered');
  const [ready] = driver.records('delivered');
  assert.equal(ready.json, '{"action":"ready"}');
  assert.equal(ready.result, 0);
  assert.equal(ready.uiThread, true, 'page messages must reach the program on its own thread');
  assert.deepEqual(driver.records('statusBar'), [{ type: 'statusBar', enabled: false }]);

  await waitFor('the first document', showsText('#filename', FIRST_NAME));
  assert.equal(await text('#content h1'), 'Field Notes');
  assert.equal(await text('#meta'), expectedStatistics(firstText));
  assert.match(await text('#tocList'), /Observations/);

  // The picture beside the document is shown; the sound above it plays and seeks to its end, in answers
  // of a bounded size.
  const evaluate = (expression) => driver.control({ op: 'evaluate', expression });
  await waitFor('the picture beside the document', async () =>
    (await evaluate("document.querySelector('#content img').naturalWidth")) === 2);
  // A player is made only once it nears the window, a frame or two after it comes into view.
  await evaluate("document.querySelector('#content :is(audio, audio-deferred)').scrollIntoView()");
  await waitFor('the sound to load', async () =>
    (await evaluate("Math.round(document.querySelector('#content audio')?.duration)")) === TONE_SECONDS);
  await evaluate(`(() => { const a = document.querySelector('#content audio'); a.currentTime = ${TONE_SECONDS - 1}; })()`);
  await waitFor('the sound to seek to its end', async () =>
    (await evaluate("(() => { const a = document.querySelector('#content audio'); return !a.seeking && a.readyState >= 2 && a.currentTime > 600; })()")));
  const partial = driver.records('resourceResponse').filter((r) => r.status === 206);
  assert.ok(partial.length >= 2, `several partial answers, got ${partial.length}`);
  assert.ok(partial.every((r) => /Content-Range: bytes \d+-\d+\/\d+/.test(r.headers)));
  const shot = await driver.control({ op: 'screenshot', path: path.join(WORK, 'field-notes.png') });
  t.diagnostic(`screenshot of the rendered document: ${shot}`);
  // The view covers the program's client area: the picture has the size of the bounds it was given.
  const png = fs.readFileSync(shot);
  const bounds = driver.records('bounds').at(-1);
  assert.deepEqual(
    [png.readUInt32BE(16), png.readUInt32BE(20)],
    [bounds.right - bounds.left, bounds.bottom - bounds.top],
  );
  const browserProcesses = descendants(driver.child.pid);
  assert.ok(browserProcesses.length > 0, 'Chromium runs below the driver');

  // Live reload: another program regenerates the picture and saves the shown file; the edit shows at the
  // reader's place, with the outline rebuilt and the picture as it is on disk now.
  const place = await driver.control({ op: 'scroll', y: 600 });
  assert.ok(place > 0, 'the document is long enough to scroll');
  const editedText = firstText.replace('# Field Notes', '# Field Notes, revised') + '\n## Added on disk\n\nWritten while the viewer was open.\n';
  const savedAt = Date.now();
  fs.writeFileSync(path.join(notes, 'img', 'map.png'), Buffer.from(RED_PNG_BASE64, 'base64'));
  fs.writeFileSync(first, editedText);
  await waitFor('the edit to show', showsText('#content h1', 'Field Notes, revised'), 10000);
  t.diagnostic(`the edit showed ${Date.now() - savedAt} ms after the save`);
  await waitFor('the regenerated picture', async () => (await evaluate(`(() => {
    const img = document.querySelector('#content img');
    if (!img.complete || img.naturalWidth !== 3) return null;
    const canvas = document.createElement('canvas');
    const context = canvas.getContext('2d');
    context.drawImage(img, 0, 0);
    return [...context.getImageData(1, 1, 1, 1).data].join();
  })()`)) === '200,30,40,255', 10000);
  assert.equal(await driver.control({ op: 'scroll' }), place);
  assert.match(await text('#tocList'), /Added on disk/);
  const reloaded = await driver.control({ op: 'screenshot', path: path.join(WORK, 'field-notes-reloaded.png') });
  t.diagnostic(`screenshot after the reload: ${reloaded}`);

  // Reloading the control shows the file again, as a live reload does; the page itself stays.
  await evaluate('setTimeout(() => location.reload(), 0)');
  await waitFor('the document shown again', () => driver.records('postJson').length === 3, 10000);
  assert.equal(await driver.control({ op: 'scroll' }), place);
  assert.deepEqual(driver.records('navigationResult').map((r) => r.cancel), [true]);

  // A real drop on the main window replaces the document at once.
  await driver.control({ op: 'drop', path: windowsPath(second) });
  await waitFor('the second document', showsText('#filename', SECOND_NAME));
  assert.equal(await text('#content h1'), 'Second Harvest');
  assert.equal(await text('#meta'), expectedStatistics(secondText));
  assert.doesNotMatch(await text('#content'), /Field Notes/);
  assert.deepEqual(
    driver.records('dropPosted').map((r) => [r.path, r.result]),
    [[windowsPath(second), 0]],
  );
  // Its diagram is drawn with the library the program serves from its own resources, loaded on first use.
  assert.equal(await evaluate("drawDiagram(document.querySelector('#content pre'))"), true);
  assert.equal(await evaluate("document.querySelectorAll('#content pre.diagram svg .node').length"), 3);
  // Its code is coloured by the highlighter, and the GitHub dialect converts it, both libraries the
  // program serves and the page loads only when it first needs them.
  await waitFor('the code to be coloured', async () => (await evaluate("!!document.querySelector('#content pre code .hljs-keyword')")) === true, 20000);
  await driver.control({ op: 'click', selector: '#btnGithub' });
  await waitFor('the GitHub dialect', async () =>
    (await evaluate("shownDialect() === 'github' && !document.querySelector('#content[aria-busy]')")) === true, 20000);
  assert.equal(await text('#content h1'), 'Second Harvest');
  await driver.control({ op: 'click', selector: '#btnClassic' });
  const scripts = driver.records('resourceResponse').filter((r) => /Content-Type: text\/javascript/.test(r.headers));
  assert.deepEqual(scripts.map((r) => r.status), [200, 200, 200], 'each library once: diagrams, highlighter, converter');
  const diagramShot = await driver.control({ op: 'screenshot', path: path.join(WORK, 'second-harvest-diagram.png') });
  t.diagnostic(`screenshot of the drawn diagram: ${diagramShot}`);

  // An attachment card starts Chromium's download, which the program cancels: it offers the file itself.
  await driver.control({ op: 'click', selector: '#content a.ac' });
  const download = await driver.event('the download', (e) => e.event === 'download');
  assert.equal(download.suggestedName, 'invoice.exe');
  assert.equal(download.cancelled, true);

  // A link to a document beside it opens that document in the viewer (the program hears the new-window
  // request and delivers the file as if dropped).
  await driver.control({ op: 'click', selector: '#content a' });
  await waitFor('the linked document', showsText('#filename', FIRST_NAME));
  assert.equal(await text('#content h1'), 'Field Notes, revised');
  // The answer travels after the delivery it caused, so it may arrive after the page shows the document.
  await driver.event('the new-window answer', (e) => e.event === 'record' && e.record.type === 'newWindowResult');
  assert.deepEqual(driver.records('newWindowResult').map((r) => r.handled), [true]);
  const opened = driver.records('postJson').map((r) => JSON.parse(r.json)).filter((m) => m.action === 'openFile');
  assert.deepEqual(
    opened.map((m) => [m.action, m.name, m.content, m.generation]),
    [
      ['openFile', FIRST_NAME, firstText, 1],
      ['openFile', FIRST_NAME, editedText, 1], // a live reload keeps the number
      ['openFile', FIRST_NAME, editedText, 1], // and so does a reload key
      ['openFile', SECOND_NAME, secondText, 2],
      ['openFile', FIRST_NAME, editedText, 3], // opened again: a new number
    ],
  );
  assert.equal(driver.events.filter((e) => e.event === 'popupOpened' || e.event === 'pageLeft').length, 0);

  // A theme chosen now is in force in the next run (the next test).
  await driver.control({ op: 'click', selector: '#btnLight' });

  // The page's close button: the page returns to its welcome screen and the program hears closeDoc.
  await driver.control({ op: 'click', selector: '#closeBtn' });
  await waitFor('the welcome screen', showsText('#filename', WELCOME_FILE_NAME));
  assert.equal(await driver.control({ op: 'visible', selector: '#dropzone' }), true);
  assert.equal(await driver.control({ op: 'visible', selector: '#closeBtn' }), false);
  const closeDoc = await driver.event(
    'closeDoc to reach the program',
    (e) => e.event === 'record' && e.record.type === 'delivered' && e.record.json.includes('closeDoc'),
  );
  assert.equal(closeDoc.record.json, '{"action":"closeDoc","generation":3}');
  assert.equal(closeDoc.record.result, 0);

  // Closing the program's window ends everything: the program with 0, the driver, Chromium.
  await driver.control({ op: 'closeProgram' });
  assert.equal(await program.exited, 0, program.output());
  assert.equal(await driver.exited, 0);
  assert.ok(driver.records('close').length === 1, 'the program let go of its view');
  await waitFor('Chromium to be gone', () => browserProcesses.every((pid) => !alive(pid)), 15000).catch(() => {
    const left = browserProcesses.filter(alive);
    assert.fail(`processes left behind: ${left.join(', ')}`);
  });
});

test('the theme chosen in the run before is in force from the start', { timeout: 120000 }, async (t) => {
  // The run before is the test above, which chose the light theme in the profile kept in WORK.
  assert.ok(fs.existsSync(PROFILE), 'the test before left its profile');
  const { driver, display, started } = await startSession(t);
  const { port } = await driver.event('the driver to listen', (e) => e.event === 'listening');
  const program = started(startProgram(port, null, display));
  await driver.event('the page to be ready', (e) => e.event === 'record' && e.record.type === 'delivered');
  const theme = await driver.control({ op: 'evaluate', expression: "document.body.getAttribute('data-theme')" });
  assert.equal(theme, 'light');
  assert.equal(await driver.control({ op: 'text', selector: '#filename' }), WELCOME_FILE_NAME);
  await driver.control({ op: 'closeProgram' });
  assert.equal(await program.exited, 0, program.output());
  assert.equal(await driver.exited, 0);
});

test('links lead from the first of three documents to the third, and Alt+← back to the first at its place', { timeout: 240000 }, async (t) => {
  const site = path.join(WORK, 'site');
  fs.rmSync(site, { recursive: true, force: true });
  fs.mkdirSync(path.join(site, 'docs'), { recursive: true });
  fs.mkdirSync(path.join(site, '.git'));
  const filler = (what, count) => Array.from({ length: count }, (_, i) => `${what} paragraph ${i}: the site reads like a book.`).join('\n\n');
  const first = path.join(site, 'README.md');
  fs.writeFileSync(first, `# Site\n\n${filler('Opening', 30)}\n\nRead how to [set up the proxy](docs/install.md#代理) next.\n\n${filler('Closing', 30)}\n`);
  fs.writeFileSync(path.join(site, 'docs', 'install.md'),
    `# Install\n\n${filler('Install', 25)}\n\n## 代理\n\nThen go on to the [configuration](../config.md).\n\n${filler('Proxy', 30)}\n`);
  fs.writeFileSync(path.join(site, 'config.md'), `# Config\n\n${filler('Config', 10)}\n`);
  fs.writeFileSync(path.join(site, 'docs', 'faq.md'), '# FAQ\n');

  const { driver, display, started } = await startSession(t);
  const text = (selector) => driver.control({ op: 'text', selector });
  const evaluate = (expression) => driver.control({ op: 'evaluate', expression });
  const shows = (name) => waitFor(`${name} to show`, async () => (await text('#filename')) === name &&
    (await evaluate("!document.querySelector('#content[aria-busy]')")));
  const shot = async (name) => t.diagnostic(`screenshot: ${await driver.control({ op: 'screenshot', path: path.join(WORK, name) })}`);
  const { port } = await driver.event('the driver to listen', (e) => e.event === 'listening');
  const program = started(startProgram(port, first, display));
  await shows('README.md');

  // The reader scrolls to the link, follows it, and lands at the heading it names in the second.
  const left = await evaluate(`(() => {
    const link = document.querySelector('#content a');
    window.scrollTo(0, window.scrollY + link.getBoundingClientRect().top - innerHeight / 2);
    return window.scrollY;
  })()`);
  assert.ok(left > 0, 'the first document is long enough to scroll');
  await driver.control({ op: 'click', selector: '#content a' });
  await shows('install.md');
  await waitFor('the landing at the heading', async () => evaluate(`(() => {
    const heading = [...document.querySelectorAll('#content h2')].find((h) => h.textContent === '代理');
    return Math.abs(heading.getBoundingClientRect().top - parseFloat(getComputedStyle(document.documentElement).scrollPaddingTop)) < 2;
  })()`));
  assert.equal(await evaluate("document.getElementById('backBtn').title"), '后退到 README.md（Alt+←）');

  // The panel on the second, its files tab opened down to it. (Clicked by the page's own means: the
  // driver's click would first scroll the sticky bar's button "into view", and the reader's place with it.)
  const press = (id) => evaluate(`document.getElementById('${id}').click()`);
  await press('tocBtn');
  await press('tabFiles');
  await waitFor('the files of the site', async () => (await text('#fileTree .ft-current')) === 'install.md');
  assert.equal(await evaluate("[...document.querySelectorAll('#fileTree .ft-label')].map((l) => l.textContent).join(' ')"),
    'docs faq.md install.md config.md README.md');
  await shot('history-second-with-files.png');
  await press('tabOutline');
  await shot('history-second-with-outline.png');
  await press('tocBtn');

  await driver.control({ op: 'click', selector: '#content a' });
  await shows('config.md');
  await shot('history-third.png');

  // Back twice with the keys: the second at its heading, then the first where the reader left it.
  const landedOnHeading = await evaluate('window.scrollY');
  await driver.control({ op: 'press', key: 'Alt+ArrowLeft' });
  await shows('install.md');
  await waitFor('the second at the heading', async () => (await evaluate('window.scrollY')) > 0);
  await driver.control({ op: 'press', key: 'Alt+ArrowLeft' });
  await shows('README.md');
  await waitFor('the first at its place', async () => Math.abs((await evaluate('window.scrollY')) - left) <= 1, 10000);
  // The history's state comes in a message of its own, right after the document.
  await waitFor('nowhere further back', async () => evaluate("document.getElementById('backBtn').disabled"));
  assert.equal(await evaluate("document.getElementById('forwardBtn').title"), '前进到 install.md（Alt+→）');
  await shot('history-back-to-first.png');
  t.diagnostic(`left the first at ${left}px, landed on the second's heading at ${landedOnHeading}px`);

  const generations = driver.records('postJson').map((r) => JSON.parse(r.json)).filter((m) => m.action === 'openFile')
    .map((m) => [m.name, m.generation, m.fragment ?? null, m.place !== undefined]);
  assert.deepEqual(generations, [
    ['README.md', 1, null, false],
    ['install.md', 2, '%E4%BB%A3%E7%90%86', false],
    ['config.md', 3, null, false],
    ['install.md', 4, null, true],
    ['README.md', 5, null, true],
  ]);
  await driver.control({ op: 'closeProgram' });
  assert.equal(await program.exited, 0, program.output());
  assert.equal(await driver.exited, 0);
});
