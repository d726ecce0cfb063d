// The page view: the mirror of a browser object's document in an iframe. No script of the page
// runs there (the server's policy forbids it); this module watches the mirror from outside and
// reports the user's mouse, clicks, selection and context-menu requests by the elements'
// sourceIndex (their data-vt-si attribute).
import { send, LatestWins, mirrorAddress } from './net.js';

const SI = 'data-vt-si';

export class PageView {
  // `host`: the element that holds the iframe; `browserId`: the browser object shown;
  // `hooks`: { status(text), contextMenu(x, y, answer), key(event), screenPoint(x, y) }.
  constructor(host, browserId, hooks) {
    this.host = host;
    this.browserId = browserId;
    this.hooks = hooks;
    this.rev = -1;
    this.index = new Map();
    this.frame = document.createElement('iframe');
    this.frame.className = 'page-frame';
    this.frame.title = 'Page';
    this.frame.setAttribute('data-control', 'page-frame');
    this.address = null;
    this.frame.addEventListener('load', () => this.#attach());
    host.appendChild(this.frame);
    this.moves = new LatestWins((input) => send(input));
    this.moveTimes = [];  // round trips of the latest mouse moves, in ms (the display tests read them)
    this.moves.onAnswer = (input, answer, ms) => {
      this.moveTimes.push(ms);
      if (this.moveTimes.length > 1000) this.moveTimes.shift();
      if (answer && typeof answer.status === 'string') this.hooks.status(answer.status);
    };
    this.selectionTimer = 0;
    this.lastSelection = '';
  }

  // Shows revision `rev` of the document (a new document or a changed tree).
  load(rev) {
    if (rev === this.rev) return;
    this.rev = rev;
    this.#show(`&rev=${rev}`);
  }

  reload() {
    this.#show(`&rev=${this.rev}&t=${Date.now()}`);
  }

  async #show(suffix) {
    // One request for the address; loads asked for meanwhile follow it in their order.
    if (!this.address) this.address = mirrorAddress(this.browserId);
    try {
      this.frame.src = (await this.address) + suffix;
    } catch (error) {
      this.address = null;
      console.warn('page view:', error.message);
    }
  }

  get document() {
    try { return this.frame.contentDocument; } catch { return null; }
  }

  // An attribute changed in the process's document (a style, a re-pointed image).
  applyAttribute(si, name, value) {
    const element = this.index.get(si);
    if (!element) return;
    if (value === null || value === undefined) element.removeAttribute(name);
    else element.setAttribute(name, value);
  }

  print() {
    try { this.frame.contentWindow.focus(); this.frame.contentWindow.print(); } catch (e) {
      console.warn('print failed', e);
    }
  }

  #attach() {
    const doc = this.document;
    if (!doc) return;
    const path = doc.location ? doc.location.pathname : '';
    if (path !== '' && !path.startsWith('/mirror/') && doc.location.href !== 'about:blank') {
      // The frame was sent somewhere else (a link followed by the keyboard): show the mirror again.
      this.reload();
      return;
    }
    this.index = new Map();
    for (const element of doc.querySelectorAll(`[${SI}]`)) {
      this.index.set(Number(element.getAttribute(SI)), element);
    }
    const tagged = (target) => {
      let node = target;
      if (node && node.nodeType !== 1) node = node.parentElement;
      return node && node.closest ? node.closest(`[${SI}]`) : null;
    };
    const pointer = (event, type) => {
      const element = tagged(event.target);
      if (!element) return null;
      const screen = this.hooks.screenPoint(event.clientX, event.clientY, this.frame);
      return {
        type, browser: this.browserId, si: Number(element.getAttribute(SI)),
        x: Math.round(event.clientX), y: Math.round(event.clientY),
        screenX: screen.x, screenY: screen.y, button: event.button,
        ctrl: event.ctrlKey, shift: event.shiftKey, alt: event.altKey,
        sent: performance.now(),
      };
    };
    doc.addEventListener('mousemove', (event) => {
      const input = pointer(event, 'page-mousemove');
      if (input) this.moves.push(input);
    }, { passive: true });
    doc.addEventListener('mouseover', (event) => {
      const link = event.target.closest ? event.target.closest('a[href], area[href]') : null;
      this.hooks.status(link ? link.href : '');
    });
    doc.addEventListener('click', async (event) => {
      event.preventDefault();
      const input = pointer(event, 'page-click');
      if (!input) return;
      try {
        // The page hears the mouse over the clicked element before the click, as in a browser,
        // even when the latest move is still on its way; and it knows the selection the press
        // left (a click collapses a text selection) rather than the one before it.
        await this.#flushSelection();
        await send({ ...input, type: 'page-mousemove' });
        const answer = await send(input);
        if (answer && typeof answer.status === 'string') this.hooks.status(answer.status);
      } catch (error) { console.warn(error); }
    });
    doc.addEventListener('auxclick', (event) => event.preventDefault());
    doc.addEventListener('submit', (event) => event.preventDefault());
    doc.addEventListener('contextmenu', async (event) => {
      event.preventDefault();
      const input = pointer(event, 'page-contextmenu');
      if (!input) return;
      try {
        // The menu's commands depend on what is selected and on the element under the mouse,
        // which the page hears of before the menu, as with a click.
        await this.#flushSelection();
        await send({ ...input, type: 'page-mousemove' });
        const answer = await send(input);
        this.hooks.contextMenu(input.screenX, input.screenY, answer || {});
      } catch (error) { console.warn(error); }
    });
    doc.addEventListener('selectionchange', () => {
      clearTimeout(this.selectionTimer);
      this.selectionTimer = setTimeout(() => {
        this.selectionTimer = 0;
        this.#reportSelection().catch((error) => console.warn(error));
      }, 60);
    });
    doc.addEventListener('keydown', (event) => this.hooks.key(event));
    doc.addEventListener('dragstart', (event) => event.preventDefault());
    // The page listens from here on: the display tests wait for this before they click.
    this.frame.dataset.attached = String(this.rev);
  }

  // Reports the selection now when it differs from the one last reported (a change may still be
  // waiting for its timer, or not yet announced).
  async #flushSelection() {
    clearTimeout(this.selectionTimer);
    this.selectionTimer = 0;
    try { await this.#reportSelection(); } catch (error) { console.warn(error); }
  }

  // Where a point of the selection lies: its element and the characters of that element's text
  // before it.
  #position(node, offset) {
    const doc = this.document;
    let element = node.nodeType === 1 ? node : node.parentElement;
    element = element ? element.closest(`[${SI}]`) : null;
    if (!element) return null;
    const range = doc.createRange();
    range.setStart(element, 0);
    range.setEnd(node, offset);
    return { si: Number(element.getAttribute(SI)), offset: [...range.toString()].length };
  }

  async #reportSelection() {
    const doc = this.document;
    if (!doc) return;
    const selection = doc.getSelection();
    let input;
    if (!selection || selection.rangeCount === 0 || selection.isCollapsed) {
      input = { type: 'page-selection', browser: this.browserId, none: true };
    } else {
      const anchor = this.#position(selection.anchorNode, selection.anchorOffset);
      const focus = this.#position(selection.focusNode, selection.focusOffset);
      if (!anchor || !focus) return;
      input = { type: 'page-selection', browser: this.browserId, anchor, focus };
    }
    const key = JSON.stringify(input);
    if (key === this.lastSelection) return;
    this.lastSelection = key;
    await send(input);
  }

  selectAll() {
    const doc = this.document;
    if (doc && doc.body) doc.getSelection().selectAllChildren(doc.body);
  }
}
