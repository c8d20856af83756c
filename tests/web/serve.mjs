// A static server of one folder on 127.0.0.1, for the page's tests and its
// benchmark: GET and HEAD of the folder's own files, nothing else.
//   const server = await serve(folder); server.url; await server.close();
import { createServer } from 'node:http';
import { readFile } from 'node:fs/promises';
import path from 'node:path';
import { pathToFileURL } from 'node:url';

const TYPES = {
  '.html': 'text/html; charset=utf-8',
  '.css': 'text/css; charset=utf-8',
  '.js': 'text/javascript; charset=utf-8',
  '.wasm': 'application/wasm',
  '.webmanifest': 'application/manifest+json',
  '.png': 'image/png',
};

export function serve(folder, port = 0) {
  const root = path.resolve(folder);
  const server = createServer(async (request, response) => {
    const name = decodeURIComponent(new URL(request.url, 'http://127.0.0.1').pathname);
    const file = path.join(root, name.endsWith('/') ? name + 'index.html' : name);
    const type = TYPES[path.extname(file)];
    if (!['GET', 'HEAD'].includes(request.method) || !file.startsWith(root + path.sep) || !type) {
      response.writeHead(404).end();
      return;
    }
    try {
      const body = await readFile(file);
      response.writeHead(200, { 'Content-Type': type, 'Content-Length': body.length });
      response.end(request.method === 'HEAD' ? undefined : body);
    } catch {
      response.writeHead(404).end();
    }
  });
  return new Promise((resolve, reject) => {
    server.on('error', reject);
    server.listen(port, '127.0.0.1', () => {
      const url = `http://127.0.0.1:${server.address().port}/`;
      resolve({
        url,
        close: () => new Promise((done) => {
          server.closeAllConnections();
          server.close(() => done());
        }),
      });
    });
  });
}

// As a program: serves the folder until stopped (scripts/run.sh --web).
//   node serve.mjs FOLDER [PORT]
if (process.argv[1] && import.meta.url === pathToFileURL(process.argv[1]).href) {
  const [folder, port] = process.argv.slice(2);
  const server = await serve(folder, Number(port || 0));
  console.log(`Veltrane is served at ${server.url}  (Ctrl+C stops it)`);
  const stop = async () => {
    await server.close();
    process.exit(0);
  };
  process.on('SIGINT', stop);
  process.on('SIGTERM', stop);
}
