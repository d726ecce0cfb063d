// Talking to the shell: the state snapshot, the stream of changes and the input channel.

export async function fetchState() {
  const response = await fetch('/api/state', { cache: 'no-store', credentials: 'same-origin' });
  if (!response.ok) throw new Error(`state: ${response.status}`);
  return response.json();
}

// Sends one input to the shell and answers its reply (a JSON object).
export async function send(input) {
  const response = await fetch('/api/input', {
    method: 'POST',
    credentials: 'same-origin',
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

// Server-sent events from `since` on. `onEvent(event, seq)` gets each change; `onState(up)` hears
// when the stream goes down or comes back.
export function openStream(since, onEvent, onState) {
  let lastSeq = since;
  let source = null;
  let closed = false;
  const connect = () => {
    source = new EventSource(`/api/events?since=${lastSeq}`, { withCredentials: true });
    source.onopen = () => onState(true);
    source.onmessage = (message) => {
      const seq = Number(message.lastEventId);
      if (seq && seq <= lastSeq) return;
      if (seq) lastSeq = seq;
      let event;
      try { event = JSON.parse(message.data); } catch { return; }
      onEvent(event, seq);
    };
    source.onerror = () => {
      onState(false);
      source.close();
      if (!closed) setTimeout(connect, 1000);
    };
  };
  connect();
  return {
    close() { closed = true; if (source) source.close(); },
    get seq() { return lastSeq; },
    set seq(value) { lastSeq = value; },
  };
}
