// The driver's pieces that need no browser: framing and its command line.

'use strict';

const test = require('node:test');
const assert = require('node:assert/strict');
const { parseArgs, createFrameReader, encodeCommand } = require('./driver.js');

function frame(text) {
  const body = Buffer.from(text, 'utf8');
  const header = Buffer.alloc(4);
  header.writeUInt32BE(body.length, 0);
  return Buffer.concat([header, body]);
}

function readAll(chunks) {
  const frames = [];
  const errors = [];
  const read = createFrameReader(
    (body) => frames.push(body.toString('utf8')),
    (error) => errors.push(error.message),
  );
  for (const chunk of chunks) read(chunk);
  return { frames, errors };
}

test('frames come out whole however the stream is cut', () => {
  const stream = Buffer.concat([frame('{"type":"hello"}'), frame(''), frame('{"json":"文档 ✓"}')]);
  const expected = ['{"type":"hello"}', '', '{"json":"文档 ✓"}'];
  const cuts = [
    [stream],
    [...stream].map((byte) => Buffer.from([byte])), // one byte at a time, splitting headers and characters
    [stream.subarray(0, 3), stream.subarray(3, 25), stream.subarray(25)],
  ];
  for (const chunks of cuts) {
    assert.deepEqual(readAll(chunks), { frames: expected, errors: [] });
  }
});

test('a frame announcing more than the limit stops the reader', () => {
  const header = Buffer.alloc(4);
  header.writeUInt32BE(0xffffffff, 0);
  const { frames, errors } = readAll([Buffer.concat([frame('first'), header, Buffer.from('junk')])]);
  assert.deepEqual(frames, ['first']);
  assert.equal(errors.length, 1);
});

test('commands are a word, a line feed and the raw payload', () => {
  const encoded = encodeCommand('webMessage', '{"action":"ready","note":"a\\nb 中"}');
  const body = Buffer.from('webMessage\n{"action":"ready","note":"a\\nb 中"}', 'utf8');
  assert.equal(encoded.readUInt32BE(0), body.length);
  assert.deepEqual(encoded.subarray(4), body);
  assert.deepEqual(encodeCommand('closeWindow', '').subarray(4), Buffer.from('closeWindow\n'));
});

test('command line', () => {
  const cases = [
    [['--headless', '--control'], { headless: true, control: true, screenshotAfter: 'ready' }],
    [['--screenshot', 'shot.png', '--screenshot-after', 'openFile'], { screenshotAfter: 'openFile' }],
    [['--connect-timeout', '5'], { connectTimeoutS: 5 }],
  ];
  for (const [argv, expected] of cases) {
    const options = parseArgs(argv);
    for (const [key, value] of Object.entries(expected)) assert.equal(options[key], value, argv.join(' '));
  }
  assert.match(parseArgs(['--screenshot', 'a.png']).screenshot, /\/a\.png$/);
  for (const bad of [['--screenshot'], ['--screenshot-after', 'later'], ['--connect-timeout', '0'], ['--port', '1']]) {
    assert.throws(() => parseArgs(bad), undefined, bad.join(' '));
  }
});
