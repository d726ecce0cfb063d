// Hostile clients on 127.0.0.1 against a fresh `vellumtrace run`: how long a valid request waits
// while idle, slow and header-flooding connections are open, and what the process holds in memory.
// Every loop is bounded and stops by itself; nothing leaves loopback.
//   VT_EXE=build-dev/bin/vellumtrace node bench/display/hostile_clients.mjs
import net from 'node:net';
import { readFileSync } from 'node:fs';
import { startVellumtrace } from '../../tests/e2e/lib/shell-run.mjs';
const vt = await startVellumtrace();
const rss = () => { const s = readFileSync(`/proc/${vt.child.pid}/status`, 'utf8'); return [s.match(/VmRSS:\s+(\d+)/)[1], s.match(/VmHWM:\s+(\d+)/)[1]].map((k) => `${(k / 1024).toFixed(0)} MB`).join(' / peak '); };
async function valid() {
  const t = Date.now();
  const r = await fetch(`${vt.origin}/api/state`, { headers: { 'X-Vellumtrace-Token': vt.token }, signal: AbortSignal.timeout(120000) }).catch((e) => ({ status: e.name }));
  return `${r.status} in ${Date.now() - t} ms`;
}
console.log('idle:', await valid(), 'rss', rss());
// 30 idle connections that never send a byte
let socks = [];
for (let i = 0; i < 30; i++) socks.push(net.connect(vt.port, '127.0.0.1'));
await new Promise((r) => setTimeout(r, 300));
console.log('30 idle connections:', await valid());
socks.forEach((s) => s.destroy()); socks = [];
// 150 idle connections: more than the server keeps at once
for (let i = 0; i < 150; i++) { const s = net.connect(vt.port, '127.0.0.1'); s.on('error', () => {}); socks.push(s); }
await new Promise((r) => setTimeout(r, 500));
console.log('150 idle connections:', await valid(), 'rss', rss());
socks.forEach((s) => s.destroy()); socks = [];
// 30 slow connections: one header byte every 2 s
for (let i = 0; i < 30; i++) {
  const s = net.connect(vt.port, '127.0.0.1'); socks.push(s);
  s.write('GET /api/state HTTP/1.1\r\nHost: 127.0.0.1\r\n');
  const timer = setInterval(() => { if (!s.destroyed) s.write('X'); }, 2000); s.on('close', () => clearInterval(timer)); s.on('error', () => {});
}
await new Promise((r) => setTimeout(r, 300));
console.log('30 slow connections:', await valid());
socks.forEach((s) => s.destroy()); socks = [];
// header flood without token: 4 connections x 50,000 lines of 1 KB (bounded, ~200 MB sent)
const line = `X-F: ${'a'.repeat(1000)}\r\n`;
const floods = [];
for (let i = 0; i < 4; i++) {
  floods.push(new Promise((resolve) => {
    const s = net.connect(vt.port, '127.0.0.1', async () => {
      s.write(`GET /api/state HTTP/1.1\r\nHost: 127.0.0.1:${vt.port}\r\n`);
      for (let k = 0; k < 50000 && !s.destroyed && !got; k++) if (!s.write(line)) await new Promise((r) => s.once('drain', r));
      s.end('\r\n');
    });
    let got = ''; s.on('data', (d) => { got += d; }); s.on('close', () => resolve(got.split('\r\n')[0]));
    // Node drops an answer that arrives while its write fails: a bare code means the server
    // closed the connection mid-head (tests/shell/bounded_server_test.cpp reads its 431).
    s.on('error', (e) => resolve(got ? `${got.split('\r\n')[0]} (then ${e.code})` : `closed mid-head (${e.code})`));
  }));
}
const answers = await Promise.all(floods);
console.log('4 x 50,000-line header floods answered:', answers.map((a) => a || '(closed, no answer)').join(' | '), 'rss', rss());
console.log('after floods:', await valid());
await vt.stop();
