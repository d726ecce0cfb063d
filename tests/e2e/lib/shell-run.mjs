// Starts `vellumtrace run --no-open` on a fresh temporary home for a display test and stops it
// with SIGTERM, as a user's Ctrl+C would.
import { spawn } from 'node:child_process';
import { mkdtempSync, mkdirSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { paths } from './chromium.mjs';

export async function startVellumtrace({ args = [], env = {} } = {}) {
  const home = mkdtempSync(join(tmpdir(), 'vt-e2e-home-'));
  for (const d of ['config', 'data', 'cache', 'xdgconfig']) mkdirSync(join(home, d));
  const port = 20000 + Math.floor(Math.random() * 20000);
  const child = spawn(paths.exe, ['run', '--no-open', '--port', String(port), ...args], {
    env: {
      ...process.env,
      HOME: home,
      VELLUMTRACE_HOME: join(home, 'config'),
      XDG_DATA_HOME: join(home, 'data'),
      XDG_CACHE_HOME: join(home, 'cache'),
      XDG_CONFIG_HOME: join(home, 'xdgconfig'),
      VT_TEST_HOOKS: '1',
      ...env,
    },
    stdio: ['ignore', 'pipe', 'pipe'],
  });
  let stdout = '';
  let stderr = '';
  child.stdout.on('data', (d) => { stdout += d; });
  child.stderr.on('data', (d) => { stderr += d; });
  const exited = new Promise((resolve) => child.on('exit', (code, signal) => resolve({ code, signal })));
  const address = await new Promise((resolve, reject) => {
    const timer = setTimeout(() => reject(new Error(`no address printed:\n${stdout}\n${stderr}`)), 60000);
    const check = () => {
      const m = stdout.match(/http:\/\/127\.0\.0\.1:(\d+)\/\?token=([0-9a-f]+)/);
      if (m) { clearTimeout(timer); resolve(m[0]); }
    };
    child.stdout.on('data', check);
    exited.then(({ code }) => reject(new Error(`vellumtrace ended (${code}):\n${stdout}\n${stderr}`)));
    check();
  });
  const url = new URL(address);
  return {
    child, home, address, port: Number(url.port), token: url.searchParams.get('token'),
    origin: url.origin,
    get stdout() { return stdout; },
    get stderr() { return stderr; },
    exited,
    async stop() {
      if (child.exitCode === null) child.kill('SIGTERM');
      return exited;
    },
  };
}
