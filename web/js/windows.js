// A browser window of the shell as the display draws it: title bar, menu bar, address bar, the
// band site to the left of the page view, the page view and the status bar.
import { send } from './net.js';
import { MenuBar, showMenu } from './menus.js';
import { PageView } from './page.js';
import { ToolbarButtons } from './toolbarbuttons.js';

let topZ = 10;

export class BrowserWindowView {
  // `app`: { desktop, controls (the widget renderer), closeWindow(id) }.
  constructor(app, state) {
    this.app = app;
    this.id = state.id;
    this.state = {};
    const el = document.createElement('section');
    el.className = 'bw';
    el.setAttribute('data-control', 'window');
    el.dataset.window = String(state.id);
    el.innerHTML = `
      <header class="bw-title">
        <img class="bw-icon" src="img/icon.svg" alt="">
        <span class="bw-caption"></span>
        <span class="bw-buttons">
          <button type="button" class="bw-btn" data-action="maximize" title="Maximize">▢</button>
          <button type="button" class="bw-btn bw-close" data-action="close" title="Close">✕</button>
        </span>
      </header>
      <nav class="bw-menubar" data-control="menubar"></nav>
      <div class="bw-toolbar" data-control="navbar">
        <button type="button" class="tb-btn" data-action="stop" title="Stop (Esc)">✕</button>
        <button type="button" class="tb-btn" data-action="refresh" title="Refresh (F5)">⟳</button>
        <span class="bar-buttons" data-control="barbuttons"></span>
        <label class="address-label">Address</label>
        <input class="address" data-control="address" spellcheck="false" autocomplete="off"
               aria-label="Address">
        <button type="button" class="tb-btn go" data-action="go" title="Go to the address">Go</button>
      </div>
      <div class="bw-body">
        <aside class="band-site" data-control="bandsite" hidden>
          <div class="band-caption"><span>Vellumtrace</span>
            <button type="button" class="bw-btn" data-action="close-bar" title="Close the bar">✕</button>
          </div>
          <div class="band-client"></div>
        </aside>
        <div class="band-splitter" hidden></div>
        <div class="page" data-control="page"><div class="page-busy" hidden></div></div>
      </div>
      <footer class="bw-status" data-control="statusbar">
        <span class="status-text"></span><span class="status-zone">Vellumtrace</span>
      </footer>
      <div class="bw-grip"></div>`;
    this.el = el;
    this.caption = el.querySelector('.bw-caption');
    this.address = el.querySelector('.address');
    this.statusText = el.querySelector('.status-text');
    this.bandSite = el.querySelector('.band-site');
    this.bandClient = el.querySelector('.band-client');
    this.splitter = el.querySelector('.band-splitter');
    this.pageHost = el.querySelector('.page');
    this.page = new PageView(this.pageHost, state.browser, {
      status: (text) => this.setStatus(text, true),
      contextMenu: (x, y, answer) => this.#pageMenu(x, y, answer),
      key: (event) => this.app.key(event, this),
      screenPoint: (x, y, frame) => this.app.screenPoint(x, y, frame),
    });
    this.menubar = new MenuBar(el.querySelector('.bw-menubar'), this.#menus());
    this.barButtons = new ToolbarButtons(el.querySelector('.bar-buttons'), this);
    this.barButtons.set(app.toolbarButtons);
    this.#wire();
    app.desktop.append(el);
    this.update(state);
  }

  #menus() {
    const exec = (command) => () => send({ type: 'exec', window: this.id, command });
    return [
      { caption: '&File', name: 'menu-file', items: () => [
        { caption: '&New Window', shortcut: 'Ctrl+N', pick: () => send({ type: 'new-window', window: this.id }) },
        { caption: '&Open…', shortcut: 'Ctrl+O', pick: () => { this.address.focus(); this.address.select(); } },
        { separator: true },
        { caption: '&Print…', shortcut: 'Ctrl+P', pick: exec('print') },
        { separator: true },
        { caption: '&Close', pick: () => this.app.closeWindow(this.id) },
      ] },
      { caption: '&Edit', name: 'menu-edit', items: () => [
        { caption: '&Copy', shortcut: 'Ctrl+C', pick: exec('copy') },
        { caption: 'Select &All', shortcut: 'Ctrl+A', pick: () => this.page.selectAll() },
      ] },
      { caption: '&View', name: 'menu-view', items: () => [
        { caption: '&Explorer Bar', items: [
          { caption: '&Vellumtrace', name: 'menu-bar-vellumtrace', checked: !!(this.state.bar && this.state.bar.open),
            pick: () => this.toggleBar() },
        ] },
        { separator: true },
        { caption: '&Stop', shortcut: 'Esc', pick: () => send({ type: 'stop', window: this.id }) },
        { caption: '&Refresh', shortcut: 'F5', pick: () => send({ type: 'refresh', window: this.id }) },
      ] },
      { caption: '&Help', name: 'menu-help', items: () => [
        { caption: '&About Vellumtrace', pick: () => this.app.about() },
      ] },
    ];
  }

  toggleBar() {
    const open = !(this.state.bar && this.state.bar.open);
    send({ type: 'bar', window: this.id, open });
  }

  #wire() {
    const el = this.el;
    el.addEventListener('mousedown', () => this.activate(), true);
    el.querySelector('.bw-title').addEventListener('dblclick', () => this.#toggleMaximized());
    el.addEventListener('click', (event) => {
      const button = event.target.closest('[data-action]');
      if (!button) return;
      const action = button.dataset.action;
      if (action === 'close') this.app.closeWindow(this.id);
      else if (action === 'maximize') this.#toggleMaximized();
      else if (action === 'go') this.navigate();
      else if (action === 'stop') send({ type: 'stop', window: this.id });
      else if (action === 'refresh') send({ type: 'refresh', window: this.id });
      else if (action === 'close-bar') send({ type: 'bar', window: this.id, open: false });
    });
    this.address.addEventListener('keydown', (event) => {
      if (event.key === 'Enter') { event.preventDefault(); this.navigate(); }
      if (event.key === 'Escape') { this.address.value = this.state.url || ''; this.address.select(); }
    });
    this.#dragging(el.querySelector('.bw-title'), (dx, dy, start) => {
      if (this.maximized) return;
      this.el.style.left = `${start.left + dx}px`;
      this.el.style.top = `${Math.max(0, start.top + dy)}px`;
    });
    this.#dragging(el.querySelector('.bw-grip'), (dx, dy, start) => {
      if (this.maximized) return;
      this.el.style.width = `${Math.max(240, start.width + dx)}px`;
      this.el.style.height = `${Math.max(160, start.height + dy)}px`;
    });
    this.#dragging(this.splitter, (dx, dy, start) => {
      const width = Math.max(60, Math.min(start.bandWidth + dx, this.el.clientWidth - 80));
      this.bandSite.style.width = `${width}px`;
    }, () => {
      send({ type: 'bar-width', window: this.id, width: Math.round(this.bandSite.getBoundingClientRect().width) });
    });
  }

  #dragging(handle, move, done = null) {
    handle.addEventListener('mousedown', (event) => {
      if (event.button !== 0 || event.target.closest('button')) return;
      event.preventDefault();
      const box = this.el.getBoundingClientRect();
      const desk = this.app.desktop.getBoundingClientRect();
      const start = {
        x: event.clientX, y: event.clientY, left: box.left - desk.left, top: box.top - desk.top,
        width: box.width, height: box.height, bandWidth: this.bandSite.getBoundingClientRect().width,
      };
      this.el.classList.add('dragging');
      const onMove = (e) => move(e.clientX - start.x, e.clientY - start.y, start);
      const onUp = () => {
        document.removeEventListener('mousemove', onMove);
        document.removeEventListener('mouseup', onUp);
        this.el.classList.remove('dragging');
        if (done) done(); else this.#reportBounds();
      };
      document.addEventListener('mousemove', onMove);
      document.addEventListener('mouseup', onUp);
    });
  }

  #reportBounds() {
    const box = this.el.getBoundingClientRect();
    const desk = this.app.desktop.getBoundingClientRect();
    send({
      type: 'window-bounds', window: this.id, left: Math.round(box.left - desk.left),
      top: Math.round(box.top - desk.top), width: Math.round(box.width), height: Math.round(box.height),
    });
  }

  #toggleMaximized() {
    this.maximized = !this.maximized;
    this.el.classList.toggle('maximized', this.maximized);
    send({ type: 'window-maximize', window: this.id, maximized: this.maximized });
  }

  navigate() {
    const url = this.address.value.trim();
    if (url) send({ type: 'navigate', window: this.id, url }).catch((e) => this.setStatus(e.message));
    this.page.frame.focus();
  }

  activate() {
    if (this.el.style.zIndex !== String(topZ)) this.el.style.zIndex = String(++topZ);
    for (const other of this.app.desktop.querySelectorAll('.bw.active')) other.classList.remove('active');
    this.el.classList.add('active');
  }

  setStatus(text, transient = false) {
    if (transient) {
      this.statusText.textContent = text || this.state.status || '';
    } else {
      this.statusText.textContent = text || '';
    }
  }

  #pageMenu(x, y, answer) {
    if (answer.handled) return;
    const exec = (command) => () => send({ type: 'exec', window: this.id, command });
    showMenu([
      { caption: '&Copy', pick: exec('copy') },
      { caption: 'Select &All', pick: () => this.page.selectAll() },
      { separator: true },
      { caption: '&Refresh', pick: () => send({ type: 'refresh', window: this.id }) },
      { caption: '&Print…', pick: exec('print') },
    ], x, y, { name: 'page-menu' });
  }

  // A new state of the window from the shell.
  update(state) {
    const s = { ...this.state, ...state };
    this.state = s;
    const title = s.title || s.url || 'about:blank';
    this.caption.textContent = `${title} - Vellumtrace`;
    if (document.activeElement !== this.address) this.address.value = s.url || '';
    this.el.querySelector('.bw-menubar').hidden = s.menuBar === false;
    this.el.querySelector('.bw-toolbar').hidden = s.addressBar === false;
    this.el.querySelector('.page-busy').hidden = !s.busy;
    this.setStatus(s.status || '');
    this.el.hidden = s.visible === false;
    if (s.maximized !== undefined && this.maximized === undefined) this.maximized = s.maximized;
    this.el.classList.toggle('maximized', !!this.maximized);
    if (!this.maximized) {
      this.el.style.left = `${s.left || 0}px`;
      this.el.style.top = `${s.top || 0}px`;
      if (s.width) this.el.style.width = `${s.width}px`;
      if (s.height) this.el.style.height = `${s.height}px`;
    }
    const bar = s.bar || { open: false };
    this.bandSite.hidden = !bar.open;
    this.splitter.hidden = !bar.open;
    if (bar.width) this.bandSite.style.width = `${bar.width}px`;
    this.app.controls.mount(this.bandClient, bar.open ? bar.form : null);
    if (this.barButtons) this.barButtons.pressed();
    if (s.rev !== undefined) this.page.load(s.rev);
  }

  destroy() {
    this.el.remove();
  }
}
