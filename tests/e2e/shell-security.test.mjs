// The display server refuses whoever lacks the run's token, names it by another host, asks for
// files outside the program and cache folders, or comes from another address than loopback.
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import http from 'node:http';
import net from 'node:net';
import { networkInterfaces } from 'node:os';
import { writeFileSync } from 'node:fs';
import { join } from 'node:path';
import { startVellumtrace } from './lib/shell-run.mjs';

let vt;
let auth;

function request(path, { host, headers = {}, method = 'GET', address = '127.0.0.1', body } = {}) {
  return new Promise((resolve, reject) => {
    const req = http.request({
      host: address, port: vt.port, path, method,
      headers: { Host: host || `127.0.0.1:${vt.port}`, ...headers },
    }, (res) => {
      let data = '';
      res.on('data', (d) => { data += d; });
      res.on('end', () => resolve({ status: res.statusCode, headers: res.headers, body: data }));
    });
    req.on('error', reject);
    if (body) req.write(body);
    req.end();
  });
}

before(async () => {
  vt = await startVellumtrace();
  auth = { 'X-Vellumtrace-Token': vt.token };
});

after(async () => {
  if (vt) {
    const { code } = await vt.stop();
    assert.equal(code, 0);
  }
});

test('the printed address opens the display and sets no cookie', async () => {
  const first = await request(`/?token=${vt.token}`);
  assert.equal(first.status, 200);
  assert.match(first.body, /<div id="desktop"/);
  assert.equal(first.headers['set-cookie'], undefined);
  assert.equal(first.headers['referrer-policy'], 'no-referrer');
  assert.equal((await request('/api/state', { headers: auth })).status, 200);
});

test('requests without the token or with a wrong one are refused', async () => {
  for (const path of ['/api/state', '/api/events', '/api/mirror/1', '/mirror/1', `/file?path=${vt.home}`]) {
    assert.equal((await request(path)).status, 401, path);
  }
  assert.equal((await request('/api/input', { method: 'POST', body: '{"type":"new-window"}' })).status, 401);
  assert.equal((await request('/api/state', { headers: { 'X-Vellumtrace-Token': '0'.repeat(32) } })).status, 401);
  // A cookie, whoever set it, opens nothing.
  assert.equal((await request('/api/state', { headers: { Cookie: `vt_token_${vt.port}=${vt.token}` } })).status, 401);
});

test('another Host header is refused even with the token', async () => {
  for (const host of ['attacker.example', `attacker.example:${vt.port}`, `127.0.0.1:${vt.port + 1}`]) {
    const res = await request('/api/state', { host, headers: auth });
    assert.equal(res.status, 421, host);
  }
  assert.equal((await request('/api/state', { host: `localhost:${vt.port}`, headers: auth })).status, 200);
});

test('files outside the program and cache folders are refused', async () => {
  const outside = join(vt.home, 'outside.txt');
  writeFileSync(outside, 'secret');
  const app = join(vt.home, 'data', 'vellumtrace', '_blank.gif');
  const ok = await request(`/file?path=${encodeURIComponent(app)}`, { headers: auth });
  assert.equal(ok.status, 200, 'the placeholder image of the program folder is served');
  assert.equal(ok.headers['content-type'], 'image/gif');
  for (const path of [outside, '/etc/passwd', join(vt.home, 'data', 'vellumtrace', '..', '..', 'outside.txt'),
    join(vt.home, 'data', 'vellumtrace')]) {
    const res = await request(`/file?path=${encodeURIComponent(path)}`, { headers: auth });
    assert.equal(res.status, 404, path);
    assert.doesNotMatch(res.body, /secret|root:/);
  }
  assert.notEqual((await request('/../../etc/passwd', { headers: auth })).status, 200);
});

test('the server cannot be reached on any address but loopback', async () => {
  const addresses = Object.values(networkInterfaces()).flat()
    .filter((a) => !a.internal && a.family === 'IPv4').map((a) => a.address);
  addresses.push('::1');
  for (const address of addresses) {
    const reached = await new Promise((resolve) => {
      const socket = net.connect({ host: address, port: vt.port });
      socket.on('connect', () => { socket.destroy(); resolve(true); });
      socket.on('error', () => resolve(false));
      socket.setTimeout(2000, () => { socket.destroy(); resolve(false); });
    });
    assert.equal(reached, false, `reachable on ${address}`);
  }
});
