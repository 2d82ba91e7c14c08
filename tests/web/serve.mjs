// Serves the built page on 127.0.0.1 (a secure context, so the browser offers WebHID).
// With a fake folder it also serves the fake navigator.hid and loads it into the page and the
// worker ahead of their own scripts; the page's files themselves are served unchanged. The
// page may be a release's, whose file names carry their content's hash, and it may be served
// from a sub-folder (`base`, such as /tools/updater/), as a static host would.
//
//   node tests/web/serve.mjs --site build/web/site [--port 8080]
//   node tests/web/serve.mjs --site build/web/site --fake build/web/fake --demo
//     (--demo: a simulated ready unit, granted before, is plugged in when the page starts)
// A port that is taken ends it with a sentence naming the port and --port.
import fs from 'node:fs';
import http from 'node:http';
import path from 'node:path';
import {fileURLToPath} from 'node:url';

const TYPES = {
  '.html': 'text/html; charset=utf-8',
  '.js': 'text/javascript; charset=utf-8',
  '.css': 'text/css; charset=utf-8',
  '.wasm': 'application/wasm',
  '.png': 'image/png',
};

function send(response, status, type, body) {
  response.writeHead(status, {'content-type': type, 'cache-control': 'no-store'});
  response.end(body);
}

// Starts a server; resolves to { url, close() }, or rejects with the listening error (a taken
// port: EADDRINUSE). `units` are plugged into the fake bus when the worker starts (FakeHid.plug
// options each), before the page's start-up scan. `workerPrelude` (tests only) is run in the
// worker before its own script.
export function serve(
    {site, fake = null, demo = false, units = [], port = 0, base = '/', workerPrelude = ''}) {
  const atStart = demo ? [{}] : units;
  const server = http.createServer((request, response) => {
    let name;
    try {
      name = decodeURIComponent(new URL(request.url, 'http://127.0.0.1').pathname);
    } catch (error) {
      // A malformed address (a stray %) is the client's mistake; it must not end the server.
      send(response, 400, 'text/plain', 'bad request');
      return;
    }
    if (!name.startsWith(base)) {
      send(response, 404, 'text/plain', 'not found');
      return;
    }
    name = name.slice(base.length - 1);
    if (name === '/') {
      name = '/index.html';
    }
    const root = fake && name.startsWith('/fake/') ? fake : site;
    const relative = fake && name.startsWith('/fake/') ? name.slice('/fake'.length) : name;
    const file = path.join(root, path.normalize(relative));
    if (!file.startsWith(root) || !fs.existsSync(file) || !fs.statSync(file).isFile()) {
      send(response, 404, 'text/plain', 'not found');
      return;
    }
    let body = fs.readFileSync(file);
    if (fake && name === '/index.html') {
      body = body.toString().replace(
          /<script src="page(\.[0-9a-f]{16})?\.js"/,
          '<script src="fake/fake_hid_page.js"></script>\n$&');
    } else if (fake && /^\/updater-worker(\.[0-9a-f]{16})?\.js$/.test(name)) {
      const plug =
          atStart.map((unit) => `FakeHid.plug(${JSON.stringify({...unit, announce: false})});\n`)
              .join('');
      body = `importScripts('fake/sim-unit.js', 'fake/fake_hid_worker.js');\n${plug}${body}`;
    }
    if (workerPrelude && name === '/updater-worker.js') {
      body = `${workerPrelude}\n${body}`;
    }
    send(response, 200, TYPES[path.extname(file)] || 'application/octet-stream', body);
  });
  return new Promise((resolve, reject) => {
    server.once('error', reject);
    server.listen(port, '127.0.0.1', () => {
      resolve({
        url: `http://127.0.0.1:${server.address().port}${base}`,
        close: () => new Promise((done) => {
          server.closeAllConnections();
          server.close(done);
        }),
      });
    });
  });
}

if (process.argv[1] === fileURLToPath(import.meta.url)) {
  const option = (name) => {
    const at = process.argv.indexOf(name);
    return at < 0 ? null : process.argv[at + 1];
  };
  const site = path.resolve(option('--site') || 'build/web/site');
  const fake = option('--fake') ? path.resolve(option('--fake')) : null;
  const port = Number(option('--port') || 8080);
  try {
    const {url} = await serve({site, fake, demo: process.argv.includes('--demo'), port});
    console.log(`Serving ${site} at ${url} (Ctrl-C to stop)`);
  } catch (error) {
    if (error.code !== 'EADDRINUSE') {
      throw error;
    }
    console.error(
        `Port ${port} on 127.0.0.1 is taken (another server is running there?). ` +
        'Choose another one with --port N.');
    process.exitCode = 1;
  }
}
