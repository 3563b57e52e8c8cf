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

const FIRST_NAME = 'field-notes.md';
// A dropped file's name with a space and non-ASCII letters: both must survive the drop and the message.
const SECOND_NAME = 'second harvest 第二.md';
const WELCOME_FILE_NAME = '未加载文档';

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
  const child = spawn(process.execPath, [path.join(__dirname, 'driver.js'), '--headless', '--control'], {
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
  const child = spawn('sh', [path.join(ROOT, 'cmake', 'wine-run.sh'), PROGRAM, windowsPath(documentPath)], {
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

test('the real program shows, replaces and closes documents in Chromium, then leaves nothing behind', { timeout: 240000 }, async (t) => {
  for (const needed of [PROGRAM, RUNTIME_LIBRARY]) {
    assert.ok(fs.existsSync(needed), `${needed} is missing: build first (scripts/test builds it)`);
  }
  fs.rmSync(WORK, { recursive: true, force: true });
  fs.mkdirSync(WORK, { recursive: true });
  const first = path.join(WORK, FIRST_NAME);
  const second = path.join(WORK, SECOND_NAME);
  fs.copyFileSync(path.join(FIXTURES, 'field-notes.md'), first);
  fs.copyFileSync(path.join(FIXTURES, 'second-harvest.md'), second);
  const firstText = fs.readFileSync(first, 'utf8');
  const secondText = fs.readFileSync(second, 'utf8');

  const xvfb = process.env.DISPLAY ? null : await startDisplay();
  const driver = startDriver();
  let program = null;
  t.after(async () => {
    // Only after a failure does anything still run here: the program goes at once, the driver is asked
    // to close Chromium first and killed with it if it does not.
    if (program && running(program.child)) killTree(program.child);
    if (running(driver.child)) {
      driver.child.kill('SIGTERM');
      await Promise.race([driver.exited, sleep(10000)]);
      if (running(driver.child)) killTree(driver.child);
    }
    if (xvfb) xvfb.child.kill();
  });
  const text = (selector) => driver.control({ op: 'text', selector });
  const showsText = (selector, expected) => async () => (await text(selector)) === expected;

  const { port } = await driver.event('the driver to listen', (e) => e.event === 'listening');
  program = startProgram(port, first, xvfb ? xvfb.display : process.env.DISPLAY);

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

  // Live reload: another program saves the shown file; the edit shows at the reader's place, with the
  // outline rebuilt.
  const place = await driver.control({ op: 'scroll', y: 600 });
  assert.ok(place > 0, 'the document is long enough to scroll');
  const editedText = firstText.replace('# Field Notes', '# Field Notes, revised') + '\n## Added on disk\n\nWritten while the viewer was open.\n';
  const savedAt = Date.now();
  fs.writeFileSync(first, editedText);
  await waitFor('the edit to show', showsText('#content h1', 'Field Notes, revised'), 10000);
  t.diagnostic(`the edit showed ${Date.now() - savedAt} ms after the save`);
  assert.equal(await driver.control({ op: 'scroll' }), place);
  assert.match(await text('#tocList'), /Added on disk/);
  const reloaded = await driver.control({ op: 'screenshot', path: path.join(WORK, 'field-notes-reloaded.png') });
  t.diagnostic(`screenshot after the reload: ${reloaded}`);

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
  const opened = driver.records('postJson').map((r) => JSON.parse(r.json));
  assert.deepEqual(
    opened.map((m) => [m.action, m.name, m.content]),
    [
      ['openFile', FIRST_NAME, firstText],
      ['openFile', FIRST_NAME, editedText],
      ['openFile', SECOND_NAME, secondText],
    ],
  );

  // The page's close button: the page returns to its welcome screen and the program hears closeDoc.
  await driver.control({ op: 'click', selector: '#closeBtn' });
  await waitFor('the welcome screen', showsText('#filename', WELCOME_FILE_NAME));
  assert.equal(await driver.control({ op: 'visible', selector: '#dropzone' }), true);
  assert.equal(await driver.control({ op: 'visible', selector: '#closeBtn' }), false);
  const closeDoc = await driver.event(
    'closeDoc to reach the program',
    (e) => e.event === 'record' && e.record.type === 'delivered' && e.record.json.includes('closeDoc'),
  );
  assert.equal(closeDoc.record.json, '{"action":"closeDoc"}');
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
