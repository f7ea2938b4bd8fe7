// The page in Debian's chromium, served gzipped from 127.0.0.1 the way a web server would:
//   first picture: the page's first frame equals the desktop game's, pixel for pixel; its size and
//                  time; the audio device opened only after it; then the title music, rendered at
//                  build time, comes out of the mixer
//   focus: a tab that loses the player stops the frame clock, and runs on when they are back
//   match: a best-of-1 match played by keys against the computer ends in a result line, a
//          "play again" button and a recording that replays in quorvane-sim to the same line
//   replays: every recording in tests/replays gives in the page the line quorvane-sim gives, and
//            played as fast as it goes, leaves its last picture (the fade to black) on the page
//   online: quorvane-sim and the page meet on a quorvane-server, each way round (the sim makes
//           the room and the page joins by its code over WebSocket, then the page makes it), the
//           server bridges the two, and both end the match with the same line; the page that made
//           the room is left for another address mid-match and comes back by its link, and the
//           match goes on from where it stood
// Usage: node page.test.js PAGE_DIR TITLE.ppm QUORVANE_SIM REPLAY_DIR [QUORVANE_SERVER ASSETS_DIR]
const fs = require('fs');
const http = require('http');
const os = require('os');
const path = require('path');
const zlib = require('zlib');
const {execFileSync, spawn} = require('child_process');
const dgram = require('dgram');
const puppeteer = require('puppeteer-core');

const [pageDir, refPath, sim, replayDir, roomServer, assetsDir] = process.argv.slice(2);
const simPath = sim;
const TYPES = {'.html': 'text/html', '.js': 'text/javascript', '.wasm': 'application/wasm', '.ogg': 'audio/ogg',
               '.txt': 'text/plain'};
const sent = {}; // bytes sent per path, gzipped where the browser accepts it
const gzipped = {}; // file: its mtime and gzipped bytes

// Each file compressed once, as a web server's static gzip does, so the times printed are the page's.
function gzip(file) {
  const mtime = fs.statSync(file).mtimeMs;
  if (!gzipped[file] || gzipped[file].mtime !== mtime)
    gzipped[file] = {mtime, body: zlib.gzipSync(fs.readFileSync(file), {level: 9})};
  return gzipped[file].body;
}

function serve() {
  for (const name of ['index.html', 'index.js', 'index.wasm', 'index.data']) gzip(path.join(pageDir, name));
  const server = http.createServer((req, res) => {
    const url = decodeURIComponent(req.url.split('?')[0]);
    const file = url.startsWith('/replays/') ? path.join(replayDir, path.basename(url))
                                             : path.join(pageDir, url === '/' ? 'index.html' : path.normalize(url));
    if (!file.startsWith(pageDir) && !file.startsWith(replayDir) || !fs.existsSync(file) || fs.statSync(file).isDirectory()) {
      res.writeHead(404);
      return res.end();
    }
    let body = fs.readFileSync(file);
    const headers = {'Content-Type': TYPES[path.extname(file)] || 'application/octet-stream', 'Cache-Control': 'no-cache'};
    if (/gzip/.test(req.headers['accept-encoding'] || '') && path.extname(file) !== '.ogg') {
      body = gzip(file);
      headers['Content-Encoding'] = 'gzip';
    }
    sent[url] = (sent[url] || 0) + body.length;
    res.writeHead(200, headers);
    res.end(body);
  });
  return new Promise(resolve => server.listen(0, '127.0.0.1', () => resolve(server)));
}

let failures = 0;
function check(ok, what) {
  console.log((ok ? 'ok   ' : 'FAIL ') + what);
  if (!ok) failures++;
}

// When the page opened its audio device: opening it holds the page's thread, so it must wait
// until the first picture is shown.
const AUDIO_STAMP = `(() => {
  const Context = window.AudioContext;
  window.AudioContext = class extends Context {
    constructor(options) {
      if (!window.audioOpenedMs) window.audioOpenedMs = performance.now();
      super(options);
    }
  };
})()`;

async function open(browser, base, query) {
  const page = await browser.newPage();
  await page.bringToFront(); // the game's clock stands while its tab is in the background
  page.on('pageerror', e => console.log('page error: ' + e.message));
  await page.evaluateOnNewDocument('window.quorvaneTest = true');
  await page.evaluateOnNewDocument(AUDIO_STAMP);
  await page.goto(base + '/' + query);
  await page.waitForFunction('window.Module && Module.firstPictureMs > 0', {polling: 100, timeout: 60000});
  return page;
}

function simLine(file) {
  return execFileSync(sim, ['--replay', file], {encoding: 'utf8'}).trim().split('\n').pop();
}

// Polls fn in the page until it gives something true; bounded.
async function until(page, fn, seconds) {
  await page.waitForFunction(fn, {polling: 100, timeout: seconds * 1000});
}

const sleep = ms => new Promise(r => setTimeout(r, ms));

async function firstPicture(browser, base) {
  for (const k of Object.keys(sent)) delete sent[k];
  const page = await open(browser, base, '');
  const ms = await page.evaluate('Module.firstPictureMs');
  const bytes = ['/', '/index.js', '/index.wasm', '/index.data'].reduce((n, k) => n + (sent[k] || 0), 0);
  const ref = fs.readFileSync(refPath);
  const header = ref.toString('latin1', 0, 20).match(/^P6\n(\d+) (\d+)\n255\n/);
  const pixels = ref.subarray(header[0].length).toString('base64');
  const wrong = await page.evaluate(b64 => {
    const want = atob(b64), got = Module.firstImage.data;
    let wrong = 0;
    for (let i = 0, j = 0; i < got.length; i += 4, j += 3)
      if (got[i] != want.charCodeAt(j) || got[i + 1] != want.charCodeAt(j + 1) || got[i + 2] != want.charCodeAt(j + 2)) wrong++;
    return wrong;
  }, pixels);
  check(header[1] == 640 && header[2] == 480 && wrong == 0, `first picture equals the desktop game's (${wrong} of 307200 pixels differ)`);
  check(bytes > 0 && bytes <= 1 << 20, `first picture takes ${(bytes / 1024).toFixed(0)} KiB gzipped (at most 1024)`);
  console.log(`     first picture ${ms.toFixed(0)} ms after navigation (cold profile, local server)`);
  await until(page, 'Module.musicLoaded', 60);
  check(Object.keys(sent).some(k => k.endsWith('.ogg')), 'music pieces load after the first picture');
  // The title menu makes no sound of its own: what the mixer sends out now is its music.
  await page.evaluate('Module.audioPeak = 0');
  let heard = true;
  await until(page, 'Module.audioPeak > 0.01', 30).catch(() => { heard = false; });
  check(heard, `the title music plays through the game's mixer (peak ${(await page.evaluate('Module.audioPeak')).toFixed(3)})`);
  const opened = await page.evaluate('window.audioOpenedMs || 0');
  check(opened > ms, `the audio device opens after the first picture (${opened.toFixed(0)} ms, picture ${ms.toFixed(0)} ms)`);
  const warm = await browser.newPage();
  await warm.goto(base + '/');
  await warm.waitForFunction('window.Module && Module.firstPictureMs > 0', {polling: 50, timeout: 60000});
  console.log(`     first picture ${(await warm.evaluate('Module.firstPictureMs')).toFixed(0)} ms after navigation (warm cache)`);
  await warm.close();
  return page;
}

async function focusStopsTheClock(page) {
  const clock = () => page.evaluate('Module._web_clock_ms()');
  await page.evaluate(() => window.dispatchEvent(new FocusEvent('blur')));
  const away = await clock();
  await sleep(1500);
  const stillAway = await clock();
  await page.evaluate(() => window.dispatchEvent(new FocusEvent('focus')));
  await sleep(1000);
  const back = await clock();
  check(stillAway == away && back - stillAway >= 500,
        `the frame clock stands while the tab is away (${stillAway - away} ms in 1.5 s) and runs once back (${back - stillAway} ms in 1 s)`);
}

// Red text where "Press [SPACEBAR] to return to menu" runs past where any title menu entry ends.
const WIN_SCREEN = `(() => {
  const d = document.getElementById('screen').getContext('2d').getImageData(420, 355, 95, 17).data;
  let red = 0;
  for (let i = 0; i < d.length; i += 4) if (d[i] > 160 && d[i + 1] < 90 && d[i + 2] < 90) red++;
  return red > 40;
})()`;

async function matchByKeys(browser, base) {
  const page = await open(browser, base, '?computer=2&level=hard');
  const key = async (k, wait) => {
    await page.keyboard.press(k);
    await sleep(wait);
  };
  await sleep(500);
  await key('ArrowDown', 400);  // GAME OPTIONS
  await key('Enter', 1200);     // the options screen, cursor on "1 Round"
  await key('Enter', 1200);     // best of 1, back to the title menu
  await key('Enter', 1200);     // START GAME
  let won = false;
  for (let turn = 0; turn < 60 && !won; turn++) {
    await key('Enter', 1500);   // player 1 fires when it is their turn; the computer plays player 2
    won = await page.evaluate(WIN_SCREEN);
  }
  check(won, 'the match reaches the win screen');
  await key('Space', 800);      // back to the title menu
  await key('Escape', 100);     // quit: the fade, then the page's end
  await until(page, 'Module.finished', 30);
  const line = await page.evaluate('Module.resultLine');
  const m = line.match(/^result: player1 (\d) player2 (\d) frames \d+ shots \d+ hash [0-9a-f]{16}$/);
  check(m && Number(m[1]) + Number(m[2]) == 1, `result line of a best of 1: "${line}"`);
  check(await page.evaluate(() => getComputedStyle(document.getElementById('after')).display != 'none' &&
                                   document.getElementById('again').textContent == 'play again'),
        '"play again" shows after the quit');
  const bytes = await page.evaluate(async () => {
    const link = document.getElementById('download');
    const data = new Uint8Array(await (await fetch(link.href)).arrayBuffer());
    return link.style.display != 'none' ? Array.from(data) : [];
  });
  const file = path.join(os.tmpdir(), `quorvane-web-${process.pid}.qvr`);
  fs.writeFileSync(file, Buffer.from(bytes));
  let simmed = '';
  try { simmed = simLine(file); } catch (e) { simmed = String(e.stderr || e); }
  fs.unlinkSync(file);
  check(simmed == line, `the offered recording replays in quorvane-sim to the same line ("${simmed}")`);
  await page.close();
}

async function replays(browser, base) {
  const names = fs.readdirSync(replayDir).filter(n => n.endsWith('.qvr')).sort();
  for (const name of names) {
    const want = simLine(path.join(replayDir, name));
    const page = await open(browser, base, `?replay=/replays/${name}&speed=max`);
    await until(page, 'Module.finished', 240);
    const got = await page.evaluate('Module.resultLine');
    const shown = await page.evaluate(() => document.getElementById('result').textContent);
    // Every replay ends in the quit's fade: the page keeps that last picture, all but black.
    const lit = await page.evaluate(() => {
      const d = document.getElementById('screen').getContext('2d').getImageData(0, 0, 640, 480).data;
      let lit = 0;
      for (let i = 0; i < d.length; i += 4) if (Math.max(d[i], d[i + 1], d[i + 2]) >= 32) lit++;
      return lit;
    });
    check(got == want && shown == want && lit == 0, `replay ${name}: "${got}", faded out (${lit} pixels lit)`);
    await page.close();
  }
}

// A UDP port free now; the server takes the TCP port of the same number for WebSocket.
function freePort() {
  return new Promise(resolve => {
    const s = dgram.createSocket('udp4');
    s.bind(0, '127.0.0.1', () => { const p = s.address().port; s.close(() => resolve(p)); });
  });
}

// A child process's output as it comes, and its end.
function run(file, args, options) {
  const child = spawn(file, args, options);
  const got = {out: '', err: '', code: null, child};
  child.stdout.on('data', d => { got.out += d; });
  child.stderr.on('data', d => { got.err += d; });
  child.on('exit', code => { got.code = code; });
  return got;
}

async function waitFor(fn, seconds) {
  for (let i = 0; i < seconds * 10 && !fn(); i++) await sleep(100);
  return fn();
}

// One match between the page and quorvane-sim through a room server: the room made by the sim
// (the page joins by the code in its address) or by the page (the sim joins by the code it shows).
async function onlineMatch(browser, base, port, pageMakes) {
  const what = pageMakes ? 'the page makes the room' : 'quorvane-sim makes the room';
  const server = `ws://127.0.0.1:${port}`;
  let sim = null, page = null, code = null;
  try {
    if (pageMakes) {
      page = await open(browser, base, `?online=1&computer=1&level=hard&server=${server}`);
      await until(page, 'Module.roomCode || Module.finished', 30);
      code = await page.evaluate('Module.roomCode');
      const shown = await page.evaluate(() => document.getElementById('room').textContent);
      check(!!code && shown.includes(`?room=${code}&server=`), `${what}: its code and link show in the page ("${shown}")`);
      if (!code) return;
      sim = run(simPath, ['--online', code, '--server', `127.0.0.1:${port}`, '--computer', '2'], {cwd: assetsDir});
      // The room's maker chooses on the menus: START GAME (Return, which only the title menu
      // heeds once the match runs; before the link is up the menus wait), Space on the win screen.
      check(await waitFor(() => /online match begins/.test(sim.err), 30), `${what}: quorvane-sim joined`);
      for (let i = 0; i < 1200 && !(await page.evaluate('Module.finished')); i++) {
        if (i == 16) {
          // The player leaves the page mid-match and comes back by the room's link: a new game
          // in the maker's seat, brought up to the match's frame by the sim.
          await page.goto(shown.slice(shown.indexOf('http')) + '&computer=2&level=hard');
          await until(page, 'Module.firstPictureMs > 0', 60);
        }
        await page.keyboard.press(await page.evaluate(WIN_SCREEN) ? 'Space' : 'Enter');
        await sleep(500);
      }
    } else {
      sim = run(simPath, ['--online', '--server', `127.0.0.1:${port}`, '--computer', '1'], {cwd: assetsDir});
      await waitFor(() => /^room: /m.test(sim.out) || sim.code !== null, 20);
      code = (sim.out.match(/^room: ([0-9A-Z]+)$/m) || [])[1];
      check(!!code, `${what} (${code || sim.err.trim()})`);
      if (!code) return;
      page = await open(browser, base, `?room=${code}&computer=2&level=hard&server=${server}&speed=max`);
    }
    await until(page, 'Module.finished', 600);
    const line = await page.evaluate('Module.resultLine');
    await waitFor(() => sim.code !== null, 30);
    const simLine = sim.out.trim().split('\n').pop();
    check(/^result: player1 \d player2 \d frames \d+ shots \d+ hash [0-9a-f]{16}$/.test(line) && line == simLine,
          `${what}: the page and quorvane-sim end the match alike: "${line}" / "${simLine}"`);
    check(/^link: relayed$/m.test(sim.err), `${what}: the desktop side says its link is relayed`);
    if (pageMakes)
      check(/the other player is back in a new game/.test(sim.err), `${what}: the sim says the page came back`);
    if (line != simLine) console.log(`     quorvane-sim said: ${sim.err.trim().split('\n').slice(-3).join(' / ')}`);
  } finally {
    if (sim && sim.code === null) sim.child.kill('SIGKILL');
    if (page) await page.close();
  }
}

async function online(browser, base) {
  if (!roomServer || !fs.existsSync(roomServer)) return console.log('SKIPPED online: no quorvane-server built');
  const port = await freePort();
  const server = run(roomServer, ['--bind', '127.0.0.1', '--port', String(port)]);
  try {
    check(await waitFor(() => /WebSocket on TCP/.test(server.out), 10), `the room server listens on UDP and TCP ${port}`);
    for (const pageMakes of (process.env.WEB_TEST_ROOM == 'page' ? [true] : [false, true]))
      await onlineMatch(browser, base, port, pageMakes);
    if (failures) console.log(`     the room server said: ${server.out.trim().split('\n').slice(-8).join(' / ')}`);
  } finally {
    server.child.kill('SIGTERM');
    await waitFor(() => server.code !== null, 5);
  }
}

(async () => {
  const server = await serve();
  const base = `http://127.0.0.1:${server.address().port}`;
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'quorvane-chromium-'));
  const browser = await puppeteer.launch({
    executablePath: '/usr/bin/chromium', headless: true,
    args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run', '--disable-background-networking',
           '--disable-component-update', '--disable-sync', '--autoplay-policy=no-user-gesture-required',
           `--user-data-dir=${profile}`]});
  try {
    const only = process.env.WEB_TEST_ONLY || '';
    if (!only || only == 'first') await focusStopsTheClock(await firstPicture(browser, base));
    if (!only || only == 'match') await matchByKeys(browser, base);
    if (!only || only == 'replays') await replays(browser, base);
    if (!only || only == 'online') await online(browser, base);
  } catch (e) {
    check(false, String(e.stack || e));
  } finally {
    await browser.close();
    server.close();
    fs.rmSync(profile, {recursive: true, force: true});
  }
  console.log(failures ? `${failures} failed` : 'all passed');
  process.exit(failures ? 1 : 0);
})();
