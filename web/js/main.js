// The display of Vellumtrace: draws the shell's windows and controls and sends the user's input
// back. One page is the whole screen; every browser window of the shell is a window on it.
import { fetchState, openStream, send, hasToken } from './net.js';
import { BrowserWindowView } from './windows.js';
import { Controls } from './widgets.js';
import { PageView } from './page.js';
import { menuKey, anyMenuOpen, closeMenus } from './menus.js';
import { Dialogs } from './dialogs.js';
import { Tooltips } from './tooltip.js';
import { DesktopClipboard } from './clipboard.js';
import './htmledit.js';

class App {
  constructor() {
    this.desktop = document.getElementById('desktop');
    this.connection = document.getElementById('connection');
    this.windows = new Map();
    this.embedded = new Map();
    this.controls = new Controls(this);
    this.dialogs = new Dialogs(this);
    this.tooltips = new Tooltips(document.getElementById('tooltip'));
    this.clipboard = new DesktopClipboard(this.desktop);
    this.stream = null;
    this.toolbarButtons = [];
  }

  async start() {
    this.connection.hidden = false;
    if (!hasToken()) throw new Error("open the address that 'vellumtrace run' printed.");
    const state = await fetchState();
    this.testHooks = !!state.testHooks;
    this.applyState(state);
    this.stream = openStream(state.seq, (event) => this.handle(event), (up) => {
      this.connection.hidden = up;
      this.connection.textContent = up ? '' : 'Vellumtrace is not answering. Reconnecting…';
    });
    this.connection.hidden = true;
    this.reportScreen();
    new ResizeObserver(() => this.reportScreen()).observe(this.desktop);
    document.addEventListener('keydown', (event) => this.key(event, this.activeWindow()));
    window.vellumtrace = this;  // for the display tests
  }

  reportScreen() {
    clearTimeout(this.screenTimer);
    this.screenTimer = setTimeout(() => {
      send({ type: 'screen', width: this.desktop.clientWidth, height: this.desktop.clientHeight })
        .catch(() => {});
    }, 50);
  }

  applyState(state) {
    this.controls.store.clear();
    this.controls.loadTrees(state.controls || []);
    this.#toolbarButtons(state.toolbarButtons);
    const seen = new Set();
    for (const w of state.windows || []) {
      seen.add(w.id);
      this.#window(w);
    }
    for (const id of [...this.windows.keys()]) if (!seen.has(id)) this.#closed(id);
    this.drawTopLevel();
    this.#emptyDesktop();
  }

  handle(event) {
    switch (event.type) {
      case 'window': this.#window(event.window); break;
      case 'window-closed': this.#closed(event.id); break;
      case 'page': this.#page(event.browser, (v) => v.load(event.rev)); break;
      case 'page-attr': this.#page(event.browser, (v) => v.applyAttribute(event.si, event.name, event.value)); break;
      case 'controls': this.controls.apply(event.changed, event.removed); break;
      case 'toolbar-buttons': this.#toolbarButtons(event.buttons); break;
      case 'print': this.#page(event.browser, (v) => v.print()); break;
      case 'select-all': this.#page(event.browser, (v) => v.selectAll()); break;
      case 'clipboard': this.#clipboard(event); break;
      case 'resync': fetchState().then((s) => { this.stream.seq = s.seq; this.applyState(s); }); break;
      case 'quit': this.#quit(); break;
      default: break;
    }
  }

  #window(state) {
    let view = this.windows.get(state.id);
    if (!view) {
      view = new BrowserWindowView(this, state);
      this.windows.set(state.id, view);
      if (state.visible !== false) view.activate();
    } else {
      const wasHidden = view.state.visible === false;
      view.update(state);
      if (wasHidden && state.visible !== false) view.activate();
    }
    this.#emptyDesktop();
  }

  #toolbarButtons(buttons) {
    this.toolbarButtons = buttons || [];
    for (const view of this.windows.values()) view.barButtons.set(this.toolbarButtons);
  }

  #closed(id) {
    const view = this.windows.get(id);
    if (view) view.destroy();
    this.windows.delete(id);
    this.#emptyDesktop();
  }

  #emptyDesktop() {
    let empty = this.desktop.querySelector('.empty-desktop');
    const none = [...this.windows.values()].every((v) => v.state.visible === false);
    if (none && !empty) {
      empty = document.createElement('div');
      empty.className = 'empty-desktop';
      empty.innerHTML = '<div>No window is open.</div><button type="button" class="push">New Window</button>';
      empty.querySelector('button').addEventListener('click', () => send({ type: 'new-window' }));
      this.desktop.append(empty);
    } else if (!none && empty) {
      empty.remove();
    }
  }

  // Every view of browser `id`: a window's page view or a preview browser inside a form.
  #page(id, fn) {
    for (const view of this.windows.values()) if (view.page.browserId === id) fn(view.page);
    const embedded = this.embedded.get(id);
    if (embedded && embedded.host.isConnected) fn(embedded);
  }

  // A browser control inside a form (a preview): its own page view.
  embedPage(host, browserId) {
    let view = this.embedded.get(browserId);
    if (!view || !view.host.isConnected) {
      view = new PageView(host, browserId, {
        status: () => {},
        contextMenu: () => {},
        key: (event) => this.key(event, this.activeWindow()),
        screenPoint: (x, y, frame) => this.screenPoint(x, y, frame),
      });
      this.embedded.set(browserId, view);
      view.load(0);
    } else if (view.host !== host) {
      // The control was drawn again while its old drawing was still on the page: the page moves
      // into the new drawing (and loads the document as it is now).
      view.host = host;
      host.appendChild(view.frame);
      view.reload();
    }
  }

  activeWindow() {
    return [...this.windows.values()].find((v) => v.el.classList.contains('active')) || null;
  }

  async closeWindow(id) {
    await send({ type: 'window-close', window: id }).catch(() => {});
  }

  // A point of an element of the display (or of a page frame) on the shell's screen.
  screenPoint(x, y, frame) {
    const desk = this.desktop.getBoundingClientRect();
    const box = frame ? frame.getBoundingClientRect() : { left: 0, top: 0 };
    return { x: Math.round(box.left + x - desk.left), y: Math.round(box.top + y - desk.top) };
  }
  desktopPoint(x, y) { return this.screenPoint(x, y, null); }
  screenToClient(x, y) {
    const desk = this.desktop.getBoundingClientRect();
    return { x: x + desk.left, y: y + desk.top };
  }

  drawTopLevel() { this.dialogs.draw(); }

  key(event, view) {
    if (anyMenuOpen() && menuKey(event)) return;
    if (this.dialogs.key(event)) return;
    if (!view) return;
    const inBar = event.target && event.target.closest && event.target.closest('.band-site');
    if (inBar && (event.key === 'Tab' || event.key === 'Enter' || event.key === 'Delete' ||
                  event.key === 'Escape' || event.ctrlKey)) {
      send({ type: 'key', window: view.id, key: event.key, ctrl: event.ctrlKey, shift: event.shiftKey, alt: event.altKey })
        .catch(() => {});
    }
    if (event.altKey && event.key.length === 1 && view.menubar.accelerator(event.key)) {
      event.preventDefault();
      return;
    }
    if (event.key === 'F5') { event.preventDefault(); send({ type: 'refresh', window: view.id }); return; }
    if (event.key === 'Escape' && !inBar && view.state.busy) { send({ type: 'stop', window: view.id }); return; }
    if (event.ctrlKey && !event.altKey) {
      const k = event.key.toLowerCase();
      const inField = event.target && (event.target.tagName === 'INPUT' || event.target.tagName === 'TEXTAREA');
      if (k === 'p') { event.preventDefault(); send({ type: 'exec', window: view.id, command: 'print' }); }
      else if (k === 'c' && !inField && !inBar) { event.preventDefault(); send({ type: 'exec', window: view.id, command: 'copy' }); }
      else if (k === 'n') { event.preventDefault(); send({ type: 'new-window', window: view.id }); }
      else if (k === 'l') { event.preventDefault(); view.address.focus(); view.address.select(); }
    }
    if (event.key === 'Escape') closeMenus();
  }

  #clipboard(event) {
    this.clipboard.put({ html: event.html || '', text: event.text || '' });
  }

  about() {
    this.dialogs.about();
  }

  #quit() {
    for (const id of [...this.windows.keys()]) this.#closed(id);
    this.stream.close();
    this.desktop.querySelector('.empty-desktop')?.remove();
    const bye = document.createElement('div');
    bye.className = 'empty-desktop';
    bye.textContent = 'Vellumtrace has ended. You can close this page.';
    this.desktop.append(bye);
  }
}

const app = new App();
app.start().catch((error) => {
  const box = document.getElementById('connection');
  box.hidden = false;
  box.textContent = `Vellumtrace could not start the display: ${error.message}`;
});
