// Talking to the shell: the state snapshot, the stream of changes and the input channel.
//
// The run's token comes in the printed address (?token=...). It is kept in this page (and in the
// tab's session storage, which no other origin reads, so a reload keeps working), taken out of
// the address bar at once, and sent in a header with every request of the display to its own
// server; it is never a cookie, which every other server on 127.0.0.1 would receive.

const TOKEN_HEADER = 'X-Vellumtrace-Token';
const TOKEN_KEY = 'vellumtrace.token';

function takeToken() {
  const params = new URLSearchParams(location.search);
  const given = params.get('token');
  if (given) {
    try { sessionStorage.setItem(TOKEN_KEY, given); } catch { /* storage off: this page only */ }
    params.delete('token');
    const query = params.toString();
    history.replaceState(history.state, '', location.pathname + (query ? `?${query}` : '') + location.hash);
    return given;
  }
  try { return sessionStorage.getItem(TOKEN_KEY) || ''; } catch { return ''; }
}

const token = takeToken();

export function hasToken() { return token !== ''; }

// Every request of this page to its own server carries the token, whoever makes it (the display's
// modules and the display tests alike); requests elsewhere never do.
const pageFetch = window.fetch.bind(window);
window.fetch = (input, init = {}) => {
  const url = new URL(input instanceof Request ? input.url : String(input), location.href);
  if (url.origin !== location.origin || !token) return pageFetch(input, init);
  const headers = new Headers(init.headers || (input instanceof Request ? input.headers : undefined));
  headers.set(TOKEN_HEADER, token);
  return pageFetch(input, { ...init, headers, credentials: 'omit', referrerPolicy: 'no-referrer' });
};

export async function fetchState() {
  const response = await fetch('/api/state', { cache: 'no-store' });
  if (!response.ok) throw new Error(`state: ${response.status}`);
  return response.json();
}

// Sends one input to the shell and answers its reply (a JSON object).
export async function send(input) {
  const response = await fetch('/api/input', {
    method: 'POST',
    headers: { 'Content-Type': 'application/json' },
    body: JSON.stringify(input),
  });
  let answer = {};
  try { answer = await response.json(); } catch { /* empty answer */ }
  if (!response.ok) throw new Error(answer.error || `input: ${response.status}`);
  return answer;
}

// A channel where only the newest value matters (mouse moves): at most one request is in flight,
// and while it is, newer values replace each other; the last one is sent when the channel is free.
export class LatestWins {
  constructor(sendFn) {
    this.sendFn = sendFn;
    this.pending = null;
    this.busy = false;
    this.onAnswer = null;
  }

  push(value) {
    this.pending = value;
    if (!this.busy) this.#pump();
  }

  async #pump() {
    this.busy = true;
    while (this.pending !== null) {
      const value = this.pending;
      this.pending = null;
      const started = performance.now();
      try {
        const answer = await this.sendFn(value);
        if (this.onAnswer) this.onAnswer(value, answer, performance.now() - started);
      } catch (error) {
        console.warn('input lost:', error.message);
      }
    }
    this.busy = false;
  }
}

// The address of the mirror of browser object `browserId` (it carries its own grant).
export async function mirrorAddress(browserId) {
  const response = await fetch(`/api/mirror/${browserId}`, { cache: 'no-store' });
  if (!response.ok) throw new Error(`mirror: ${response.status}`);
  return (await response.json()).address;
}

// Server-sent events from `since` on, read from a fetch (an EventSource cannot send the token).
// `onEvent(event, seq)` gets each change; `onState(up)` hears when the stream goes down or comes
// back.
export function openStream(since, onEvent, onState) {
  let lastSeq = since;
  let closed = false;
  let controller = null;
  const deliver = (block) => {
    let seq = 0;
    const data = [];
    for (const line of block.split('\n')) {
      if (line.startsWith('id:')) seq = Number(line.slice(3).trim());
      else if (line.startsWith('data:')) data.push(line.slice(5).replace(/^ /, ''));
    }
    if (!data.length || (seq && seq <= lastSeq)) return;
    if (seq) lastSeq = seq;
    let event;
    try { event = JSON.parse(data.join('\n')); } catch { return; }
    onEvent(event, seq);
  };
  const connect = async () => {
    controller = new AbortController();
    try {
      const response = await fetch(`/api/events?since=${lastSeq}`,
        { cache: 'no-store', signal: controller.signal });
      if (!response.ok) throw new Error(`events: ${response.status}`);
      onState(true);
      const reader = response.body.pipeThrough(new TextDecoderStream()).getReader();
      let buffer = '';
      for (;;) {
        const { value, done } = await reader.read();
        if (done) break;
        buffer += value;
        for (let end = buffer.indexOf('\n\n'); end >= 0; end = buffer.indexOf('\n\n')) {
          deliver(buffer.slice(0, end));
          buffer = buffer.slice(end + 2);
        }
      }
    } catch { /* reconnects below */ }
    if (closed) return;
    onState(false);
    setTimeout(connect, 1000);
  };
  connect();
  return {
    close() { closed = true; if (controller) controller.abort(); },
    get seq() { return lastSeq; },
    set seq(value) { lastSeq = value; },
  };
}
