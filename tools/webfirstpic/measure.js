// Navigation to the page's first picture, and where the time goes: loads the built page N times
// from a local server in Debian's chromium and prints min / median / max of each step.
//   plain  python3 -m http.server, what ./web.sh serves (no compression)
//   gzip   a server that sends each file gzipped, compressed once as a web server's static
//          gzip does (nginx gzip_static, a CDN)
// cold:  the first page a browser with a fresh profile shows (its own start-up costs included)
// first: a fresh profile, the browser having shown another page first (fonts and processes up,
//        nothing of this page cached): a player opening the link in a browser already running
// warm:  the cold browser loading the page again
// Steps (ms after navigation start, from the Performance API and the page's own stamps):
//   doc      the page's HTML received   html         the document parsed (domInteractive)
//   js       index.js fetched           wasm, data   index.wasm / index.data fetched
//   compiled the wasm compiled          ready        the wasm instantiated
//   main     main() entered             picture      the first picture drawn (Module.firstPictureMs)
// The last column says how the wasm was compiled (compileStreaming, instantiateStreaming, or from
// the whole file after a streaming compile failed) and what the first picture took to fetch.
// Usage: node measure.js [-n RUNS] [-s plain|gzip|both] PAGE_DIR...
//   Several page folders (two builds to compare) take turns load by load, so each sees the
//   machine as busy as the others do.
//   (puppeteer-core from tests/web/node_modules: cd tests/web && npm ci)
const fs = require('fs');
const http = require('http');
const os = require('os');
const path = require('path');
const zlib = require('zlib');
const {spawn} = require('child_process');
const puppeteer = require(path.join(__dirname, '../../tests/web/node_modules/puppeteer-core'));

let runs = 10, which = 'both';
const pageDirs = [];
for (let i = 2; i < process.argv.length; i++) {
  if (process.argv[i] == '-n') runs = Number(process.argv[++i]);
  else if (process.argv[i] == '-s') which = process.argv[++i];
  else pageDirs.push(path.resolve(process.argv[i]));
}
if (!pageDirs.length) pageDirs.push(path.resolve('build-web'));
const TYPES = {'.html': 'text/html', '.js': 'text/javascript', '.wasm': 'application/wasm', '.ogg': 'audio/ogg',
               '.txt': 'text/plain'};
const sleep = ms => new Promise(r => setTimeout(r, ms));

function freePort() {
  return new Promise(resolve => {
    const s = http.createServer().listen(0, '127.0.0.1', () => { const p = s.address().port; s.close(() => resolve(p)); });
  });
}

async function plainServer(pageDir) {
  const port = await freePort();
  const child = spawn('python3', ['-m', 'http.server', '--bind', '127.0.0.1', '--directory', pageDir, String(port)],
                      {stdio: 'ignore'});
  for (let i = 0; i < 100; i++) {
    const up = await new Promise(r => http.get(`http://127.0.0.1:${port}/`, res => { res.resume(); r(true); })
                                      .on('error', () => r(false)));
    if (up) return {base: `http://127.0.0.1:${port}`, close: () => child.kill()};
    await sleep(100);
  }
  child.kill();
  throw new Error('python3 -m http.server did not answer');
}

async function gzipServer(pageDir) {
  const cache = {};
  const server = http.createServer((req, res) => {
    const url = decodeURIComponent(req.url.split('?')[0]);
    const file = path.join(pageDir, url === '/' ? 'index.html' : path.normalize(url));
    if (!file.startsWith(pageDir) || !fs.existsSync(file) || fs.statSync(file).isDirectory()) {
      res.writeHead(404);
      return res.end();
    }
    const headers = {'Content-Type': TYPES[path.extname(file)] || 'application/octet-stream'};
    let body;
    if (/gzip/.test(req.headers['accept-encoding'] || '') && path.extname(file) !== '.ogg') {
      const mtime = fs.statSync(file).mtimeMs;
      if (!cache[file] || cache[file].mtime !== mtime) cache[file] = {mtime, body: zlib.gzipSync(fs.readFileSync(file))};
      body = cache[file].body;
      headers['Content-Encoding'] = 'gzip';
    } else {
      body = fs.readFileSync(file);
    }
    headers['Last-Modified'] = fs.statSync(file).mtime.toUTCString();
    res.writeHead(200, headers);
    res.end(body);
  });
  await new Promise(r => server.listen(0, '127.0.0.1', r));
  return {base: `http://127.0.0.1:${server.address().port}`, close: () => server.close()};
}

// Stamps the wasm's compile and instantiation; everything else comes from the Performance API.
const HOOK = `(() => {
  const t = window.__firstpic = {};
  const wrap = (name, stamp) => {
    const f = WebAssembly[name];
    if (!f) return;
    WebAssembly[name] = function() {
      if (!t.via) t.via = name;
      return f.apply(WebAssembly, arguments).then(x => {
        t.compiled = t.compiled || performance.now();
        if (stamp) t.instantiated = performance.now();
        return x;
      });
    };
  };
  wrap('compileStreaming', 0);
  wrap('compile', 0);
  wrap('instantiateStreaming', 1);
  wrap('instantiate', 1);
})()`;

async function launch() {
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'quorvane-firstpic-'));
  const browser = await puppeteer.launch({
    executablePath: '/usr/bin/chromium', headless: true,
    args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run', '--disable-background-networking',
           '--disable-component-update', '--disable-sync', `--user-data-dir=${profile}`]});
  return {browser, close: async () => { await browser.close(); fs.rmSync(profile, {recursive: true, force: true}); }};
}

// Another page with words and a canvas, from no server: what a running browser has done before.
const OTHER_PAGE = 'data:text/html,<title>other</title><p style="font: 14px sans-serif">Some words</p><canvas></canvas>';

async function load(browser, base) {
  const page = await browser.newPage();
  await page.bringToFront();
  await page.evaluateOnNewDocument(HOOK);
  await page.goto(base + '/');
  await page.waitForFunction('window.Module && Module.firstPictureMs > 0', {polling: 20, timeout: 60000});
  const got = await page.evaluate(() => {
    const nav = performance.getEntriesByType('navigation')[0];
    const res = name => performance.getEntriesByType('resource').find(e => e.name.endsWith('/' + name)) || {};
    const t = window.__firstpic;
    return {doc: nav.responseEnd, html: nav.domInteractive, js: res('index.js').responseEnd, wasm: res('index.wasm').responseEnd,
            data: res('index.data').responseEnd, compiled: t.compiled, ready: t.instantiated, via: t.via, main: Module.mainMs,
            picture: Module.firstPictureMs,
            bytes: ['index.js', 'index.wasm', 'index.data'].reduce((n, k) => n + (res(k).encodedBodySize || 0),
                                                                   nav.encodedBodySize)};
  });
  await page.close();
  return got;
}

const STEPS = ['doc', 'html', 'js', 'wasm', 'data', 'compiled', 'ready', 'main', 'picture'];

function report(name, samples) {
  const stat = key => {
    const v = samples.map(s => s[key]).filter(x => typeof x === 'number').sort((a, b) => a - b);
    if (!v.length) return '       -';
    const med = v.length % 2 ? v[(v.length - 1) / 2] : (v[v.length / 2 - 1] + v[v.length / 2]) / 2;
    return `${v[0].toFixed(0)}/${med.toFixed(0)}/${v[v.length - 1].toFixed(0)}`.padStart(13);
  };
  const via = [...new Set(samples.map(s => s.via))].join(',');
  const kib = (samples[0].bytes / 1024).toFixed(0);
  console.log(`${name.padEnd(11)}${STEPS.map(stat).join('')}   ${kib} KiB, wasm ${via}`);
}

(async () => {
  const load_avg = () => os.loadavg().map(x => x.toFixed(2)).join(' ');
  console.log(`${runs} loads each, cold and warm; load average ${load_avg()}`);
  console.log(`ms after navigation, min/median/max`);
  console.log(`${''.padEnd(11)}${STEPS.map(s => s.padStart(13)).join('')}`);
  for (const kind of which == 'both' ? ['plain', 'gzip'] : [which]) {
    const servers = [];
    try {
      for (const dir of pageDirs) servers.push(kind == 'plain' ? await plainServer(dir) : await gzipServer(dir));
      const cold = servers.map(() => []), first = servers.map(() => []), warm = servers.map(() => []);
      for (let i = 0; i < runs; i++) {
        for (let k = 0; k < servers.length; k++) {
          let b = await launch();
          try {
            cold[k].push(await load(b.browser, servers[k].base));
            warm[k].push(await load(b.browser, servers[k].base));
          } finally {
            await b.close();
          }
          b = await launch();
          try {
            const other = await b.browser.newPage();
            await other.goto(OTHER_PAGE);
            await other.close();
            first[k].push(await load(b.browser, servers[k].base));
          } finally {
            await b.close();
          }
        }
      }
      for (let k = 0; k < servers.length; k++) {
        if (servers.length > 1) console.log(pageDirs[k]);
        report(`${kind} cold`, cold[k]);
        report(`${kind} first`, first[k]);
        report(`${kind} warm`, warm[k]);
      }
    } finally {
      servers.forEach(s => s.close());
    }
  }
  console.log(`load average ${load_avg()}`);
})().catch(e => { console.error(e); process.exit(1); });
