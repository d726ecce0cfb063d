// The controls of the system drawn from their state. The shell sends each control's description
// (Describe: id, kind, name, visible, enabled, focused, align, bounds, caption, hint, children
// ids and the kind's own fields); this module keeps them by id and draws them, each element
// marked with data-control=<name>. The user's input goes back to the control it belongs to.
import { send } from './net.js';
import { showMenu, captionNodes, closeMenus, MenuBar } from './menus.js';
import { drawFontDialog, drawFolderDialog } from './commondialogs.js';
import { drawGrid } from './grid.js';

const FLOW_KINDS = new Set(['toolbar', 'statusbar', 'row']);

export class Controls {
  constructor(app) {
    this.app = app;
    this.store = new Map();     // id -> description
    this.elements = new Map();  // id -> element
    this.mounts = new Map();    // host element -> root id
    this.openPopups = new Map(); // popup id -> menu
    this.observer = new ResizeObserver((entries) => {
      for (const entry of entries) this.#layoutChildren(entry.target);
    });
  }

  // Descriptions of whole trees (DescribeTree: children nested under "controls").
  loadTrees(trees) {
    const walk = (d) => {
      const copy = { ...d };
      delete copy.controls;
      this.store.set(d.id, copy);
      for (const c of d.controls || []) walk(c);
    };
    for (const t of trees) walk(t);
  }

  // A batch of changes: descriptions (flat or trees) and removed ids.
  apply(changed, removed) {
    this.loadTrees(changed || []);
    for (const id of removed || []) {
      this.store.delete(id);
      const el = this.elements.get(id);
      if (el) el.remove();
      this.elements.delete(id);
      this.#closePopup(id);
    }
    const redraw = new Set();
    for (const d of changed || []) redraw.add(d.id);
    for (const id of redraw) {
      const d = this.store.get(id);
      if (!d) continue;
      // A tree is not redrawn under a drag that started in it: the drag would lose its source.
      if (this.dragSource === id) { this.dragDeferred = true; continue; }
      if (this.elements.has(id)) this.#render(id);
      if (d.kind === 'popupmenu') this.#popup(d);
    }
    for (const [host, id] of this.mounts) this.mount(host, id, true);
    this.app.drawTopLevel();
  }

  get(id) { return this.store.get(id); }

  // Draws a control again from its stored description (after a drag held its redraw back).
  redrawLater(id) {
    requestAnimationFrame(() => { if (this.elements.has(id)) this.#render(id); });
  }
  topLevel() { return [...this.store.values()].filter((d) => d.parent === null || d.parent === undefined); }

  // Draws the tree of control `id` inside `host` (or empties it for null).
  mount(host, id, force = false) {
    if (id === null || id === undefined || !this.store.has(id)) {
      if (this.mounts.has(host)) { host.replaceChildren(); this.mounts.delete(host); }
      return;
    }
    if (!force && this.mounts.get(host) === id && host.firstChild) return;
    this.mounts.set(host, id);
    const el = this.element(id);
    if (el.parentNode !== host) host.replaceChildren(el);
    el.classList.add('mounted-root');
    this.#layoutChildren(el);
  }

  element(id) {
    if (!this.elements.has(id)) this.#render(id);
    return this.elements.get(id);
  }

  // Sends the user's input to control d. Text typed just before and still on its way goes first:
  // a click on a dialog's OK button must find that text. The wait is short and only for text, so
  // a key whose answer waits for a modal form never holds the form's own buttons back.
  input(d, input) {
    const post = () => send({ type: 'control', id: d.id, input }).catch((e) => console.warn(e));
    if (!this.typing || this.typing.size === 0) return post();
    const settled = Promise.allSettled([...this.typing]);
    return Promise.race([settled, new Promise((r) => setTimeout(r, 1000))]).then(post);
  }

  // Like input, but after every earlier inputInOrder of the same control has been answered.
  inputInOrder(d, input) {
    this.chains = this.chains || new Map();
    this.typing = this.typing || new Set();
    const send1 = () => send({ type: 'control', id: d.id, input }).catch((e) => console.warn(e));
    const next = (this.chains.get(d.id) || Promise.resolve()).then(send1);
    this.chains.set(d.id, next);
    if (input.type === 'text') {
      this.typing.add(next);
      next.finally(() => this.typing.delete(next));
    }
    return next;
  }

  #render(id) {
    const d = this.store.get(id);
    if (!d) return null;
    const old = this.elements.get(id);
    const own = KINDS[d.kind];
    // Kinds that keep live content (an editable document) update their element in place.
    if (old && own && own.update) {
      old.hidden = d.visible === false;
      old.classList.toggle('disabled', d.enabled === false);
      own.update.call(this, old, d);
      return old;
    }
    const el = document.createElement(d.kind === 'edit' ? 'div' : 'div');
    el.className = `ctl ctl-${d.kind}`;
    el.dataset.id = String(d.id);
    if (d.name) el.setAttribute('data-control', d.name);
    // The layout below names the aligns as the controls' enumeration does: Top, Client ...
    const align = d.align || 'none';
    el.dataset.align = align.charAt(0).toUpperCase() + align.slice(1);
    if (d.hint) el.dataset.hint = d.hint;
    if (d.visible === false) el.hidden = true;
    if (d.enabled === false) el.classList.add('disabled');
    if (d.focused) el.classList.add('focused');
    const draw = KINDS[d.kind] || KINDS.panel;
    const childHost = draw.call(this, el, d) || el;
    for (const childId of d.children || []) {
      const c = this.store.get(childId);
      if (!c || c.kind === 'popupmenu' || (c.kind === 'mainmenu' && d.kind !== 'form')) continue;
      const childEl = this.element(childId);
      if (childEl) childHost.append(childEl);
    }
    if (!FLOW_KINDS.has(d.kind) && childHost === el) {
      el.classList.add('align-host');
      this.observer.observe(el);
    }
    el.addEventListener('contextmenu', (event) => {
      if (event.target.closest('.ctl') !== el) return;
      event.preventDefault();
      event.stopPropagation();
      const p = this.app.desktopPoint(event.clientX, event.clientY);
      // The item under the pointer: a tree node, a list item or a grid row.
      const at = {};
      for (const [attr, key] of [['node', 'node'], ['index', 'index'], ['row', 'row']]) {
        const hit = event.target.closest(`[data-${attr}]`);
        if (hit && el.contains(hit)) at[key] = Number(hit.dataset[attr]);
      }
      if (d.kind === 'listbox' && at.index === undefined) at.index = -1;
      this.input(d, { type: 'contextmenu', x: p.x, y: p.y, ...at });
    });
    if (old && old.parentNode) {
      const focused = document.activeElement;
      const hadFocus = focused && focused !== document.body && old.contains(focused);
      old.replaceWith(el);
      if (old.classList.contains('mounted-root')) el.classList.add('mounted-root');
      // The keyboard stays with the control across a redraw: keys typed right after it must not
      // fall on the page.
      if (hadFocus) refocus(old, el, focused);
    }
    this.elements.set(id, el);
    requestAnimationFrame(() => {
      this.#layoutChildren(el);
      // A redrawn child may have a new size or align: its host places it again.
      const host = el.parentElement;
      if (host && host.classList.contains('align-host')) this.#layoutChildren(host);
    });
    return el;
  }

  // Lays the children of an align host out as a desktop form does: top, bottom, left and right
  // bands in order, the client child in the rest, unaligned children at their bounds.
  #layoutChildren(el) {
    if (!el.classList.contains('align-host')) return;
    this.#reportSize(el);
    let top = 0, left = 0, right = el.clientWidth, bottom = el.clientHeight;
    const kids = [...el.children].filter((c) => c.classList.contains('ctl') && !c.hidden);
    const order = ['Top', 'Bottom', 'Left', 'Right', 'Client'];
    for (const align of order) {
      for (const c of kids) {
        if (c.dataset.align !== align) continue;
        const d = this.store.get(Number(c.dataset.id)) || { bounds: {} };
        const b = d.bounds || {};
        c.style.position = 'absolute';
        if (align === 'Top' || align === 'Bottom') {
          c.style.left = `${left}px`; c.style.width = `${Math.max(0, right - left)}px`;
          c.style.height = b.height ? `${b.height}px` : d.thickness ? `${d.thickness}px` : '';
          const h = b.height || d.thickness || c.offsetHeight;
          if (align === 'Top') { c.style.top = `${top}px`; top += h; } else { bottom -= h; c.style.top = `${bottom}px`; }
        } else if (align === 'Left' || align === 'Right') {
          c.style.top = `${top}px`; c.style.height = `${Math.max(0, bottom - top)}px`;
          c.style.width = b.width ? `${b.width}px` : d.thickness ? `${d.thickness}px` : '';
          const w = b.width || d.thickness || c.offsetWidth;
          if (align === 'Left') { c.style.left = `${left}px`; left += w; } else { right -= w; c.style.left = `${right}px`; }
        } else {
          Object.assign(c.style, { left: `${left}px`, top: `${top}px`, width: `${Math.max(0, right - left)}px`, height: `${Math.max(0, bottom - top)}px` });
        }
      }
    }
    for (const c of kids) {
      if (order.includes(c.dataset.align)) continue;
      const d = this.store.get(Number(c.dataset.id)) || {};
      const b = d.bounds || {};
      if (b.width || b.height) {
        Object.assign(c.style, { position: 'absolute', left: `${b.left}px`, top: `${b.top}px`, width: `${b.width}px`, height: `${b.height}px` });
      } else {
        c.style.position = 'relative';
      }
    }
  }

  // Forms and tab pages lay their own children out from their size, so they hear of the size the
  // display gave them, once it has settled: a redrawn host is placed by its own host a frame
  // later, and the sizes measured in between are not the ones the user sees.
  #reportSize(el) {
    const d = this.store.get(Number(el.dataset.id));
    if (!d || (d.kind !== 'form' && d.kind !== 'tabsheet')) return;
    clearTimeout(el.reportTimer);
    el.reportTimer = setTimeout(() => {
      if (!el.isConnected || el.hidden) return;
      const now = this.store.get(Number(el.dataset.id));
      if (!now) return;
      const width = el.clientWidth, height = el.clientHeight;
      if (!width || !height) return;
      const b = now.bounds || {};
      if (b.width === width && b.height === height) return;
      now.bounds = { ...b, width, height };
      this.input(now, { type: 'resize', width, height });
    }, 120);
  }

  #popup(d) {
    if (!d.open) { this.#closePopup(d.id); return; }
    const toItems = (items) => (items || []).map((i) => ({
      ...i,
      radio: !!i.group,
      items: i.items && i.items.length ? toItems(i.items) : null,
      pick: () => this.input(d, { type: 'choose', item: i.id }),
    }));
    const p = this.app.screenToClient(d.x, d.y);
    let picked = false;
    const items = toItems(d.items).map((i) => ({ ...i, pick: () => { picked = true; i.pick(); } }));
    const menu = showMenu(items, p.x, p.y, {
      name: d.name,
      onClose: () => {
        this.openPopups.delete(d.id);
        if (!picked) this.input(d, { type: 'dismiss' });
      },
    });
    this.openPopups.set(d.id, menu);
  }

  #closePopup(id) {
    if (this.openPopups.has(id)) { this.openPopups.delete(id); closeMenus(); }
  }
}

// Gives the keyboard to the redrawn control's counterpart of `focused` (the element of the same
// tag and class at the same place among its kind), keeping a text box's caret.
function refocus(old, el, focused) {
  if (document.activeElement !== document.body && document.activeElement !== null) return;
  if (el.contains(focused)) { focused.focus({ preventScroll: true }); return; }  // a kept child
  const selector = focused.tagName.toLowerCase()
    + [...focused.classList].map((c) => `.${CSS.escape(c)}`).join('');
  const before = old.matches(selector) ? 0 : [...old.querySelectorAll(selector)].indexOf(focused);
  const candidates = el.matches(selector) ? [el] : [...el.querySelectorAll(selector)];
  const next = candidates[Math.max(0, before)] || candidates[0];
  if (!next || typeof next.focus !== 'function') return;
  next.focus({ preventScroll: true });
  if ('selectionStart' in focused && next.value === focused.value) {
    try { next.setSelectionRange(focused.selectionStart, focused.selectionEnd); } catch { /* not a text box */ }
  }
}

function caption(el, text, accelerator) {
  const [nodes] = captionNodes(text || '', accelerator);
  el.append(nodes);
}

// Drawing per kind: each fills `el` and answers the element that takes the children (or nothing).
const KINDS = {
  panel(el, d) {
    if (d.caption && d.kind === 'label') caption(el, d.caption);
  },
  label(el, d) { caption(el, d.caption); },
  form(el, d) {
    el.classList.add('ctl-form');
  },
  statusbar(el, d) {
    for (const [i, p] of (d.panels || [{ text: d.caption || '' }]).entries()) {
      const panel = document.createElement('span');
      panel.className = 'status-panel';
      panel.dataset.panel = String(i);
      panel.textContent = typeof p === 'string' ? p : (p.text || '');
      if (p.width) panel.style.width = `${p.width}px`;
      el.append(panel);
    }
  },
  led(el, d) {
    el.classList.add(`led-${d.color || 'green'}`);
    el.classList.toggle('lit', !!d.lit);
    el.dataset.color = d.color || '';
    el.dataset.lit = d.lit ? 'true' : 'false';
    el.setAttribute('role', 'img');
    el.setAttribute('aria-label', d.hint || d.name);
  },
  toolbar(el, d) { el.setAttribute('role', 'toolbar'); el.classList.toggle('show-captions', d.showCaptions !== false); },
  memo(el, d) { return KINDS.edit.call(this, el, d); },
  fontdialog(el, d) { return drawFontDialog(el, d, (i) => this.input(d, i)); },
  colordialog(el, d) {},
  folderdialog(el, d) { return drawFolderDialog(el, d, (i) => this.input(d, i)); },
  button(el, d) { return drawButton.call(this, el, d); },
  toolbutton(el, d) { return drawButton.call(this, el, d); },
  checkbutton(el, d) { return drawButton.call(this, el, d); },
  treelist(el, d) { drawTree.call(this, el, d); return treeOverlay(el); },
  dbtreelist(el, d) { drawTree.call(this, el, d); return treeOverlay(el); },
  listbox(el, d) {
    const list = document.createElement('ul');
    list.className = 'listbox';
    list.tabIndex = 0;
    (d.items || []).forEach((text, i) => {
      const li = document.createElement('li');
      li.textContent = typeof text === 'string' ? text : (text.text || '');
      li.dataset.index = String(i);
      if (i === d.itemIndex || i === d.selected) li.classList.add('selected');
      li.addEventListener('click', () => this.input(d, { type: 'select', index: i }));
      li.addEventListener('dblclick', () => this.input(d, { type: 'dblclick', index: i }));
      list.append(li);
    });
    list.addEventListener('keydown', (event) => {
      // The arrow keys move the selection, as a click does; the list keeps the keyboard while
      // it is redrawn with the new selection.
      if (event.key === 'ArrowDown' || event.key === 'ArrowUp') {
        event.preventDefault();
        const count = (d.items || []).length;
        const from = d.itemIndex === undefined ? -1 : d.itemIndex;
        const to = Math.max(0, Math.min(count - 1, from + (event.key === 'ArrowDown' ? 1 : -1)));
        if (count && to !== from) {
          this.keyboardLists = this.keyboardLists || new Set();
          this.keyboardLists.add(d.id);
          this.input(d, { type: 'select', index: to });
        }
        return;
      }
      keyInput.call(this, d, event);
    });
    list.addEventListener('blur', () => { if (this.keyboardLists) this.keyboardLists.delete(d.id); });
    if (this.keyboardLists && this.keyboardLists.has(d.id)) {
      requestAnimationFrame(() => { if (list.isConnected) list.focus({ preventScroll: true }); });
    }
    const selected = list.querySelector('li.selected');
    if (selected) requestAnimationFrame(() => selected.scrollIntoView({ block: 'nearest' }));
    el.append(list);
    return document.createElement('div');
  },
  combobox(el, d) {
    if (d.style === 'dropdownlist' || d.editable === false) {
      const select = document.createElement('select');
      (d.items || []).forEach((text, i) => {
        const o = document.createElement('option');
        o.value = String(i);
        o.textContent = typeof text === 'string' ? text : (text.text || '');
        if (i === d.itemIndex) o.selected = true;
        select.append(o);
      });
      select.disabled = d.enabled === false;
      select.addEventListener('change', () => this.input(d, { type: 'select', index: Number(select.value) }));
      el.append(select);
    } else {
      const input = document.createElement('input');
      const listId = `dl-${d.id}`;
      input.value = d.text || '';
      // A redraw while the user types keeps what is typed (the system hears of it by its own
      // input events) and the caret.
      const old = this.elements.get(d.id);
      const typing = old && old.querySelector('input');
      if (typing && document.activeElement === typing) {
        input.value = typing.value;
        const [start, end] = [typing.selectionStart, typing.selectionEnd];
        requestAnimationFrame(() => {
          if (!input.isConnected) return;
          input.focus({ preventScroll: true });
          input.setSelectionRange(start, end);
        });
      }
      input.setAttribute('list', listId);
      const datalist = document.createElement('datalist');
      datalist.id = listId;
      for (const text of d.items || []) {
        const o = document.createElement('option');
        o.value = typeof text === 'string' ? text : (text.text || '');
        datalist.append(o);
      }
      input.disabled = d.enabled === false;
      input.addEventListener('input', (event) => {
        // An entry picked from the list is a choice of that entry, not typing.
        const items = (d.items || []).map((t) => (typeof t === 'string' ? t : (t.text || '')));
        const index = event.inputType === 'insertReplacementText' ? items.indexOf(input.value) : -1;
        this.input(d, index >= 0 ? { type: 'select', index } : { type: 'text', text: input.value });
      });
      input.addEventListener('focus', () => this.input(d, { type: 'dropdown', open: true }));
      input.addEventListener('keydown', (event) => {
        // Enter confirms the text as shown: the text goes first, so the key never overtakes it.
        if (event.key === 'Enter') {
          event.preventDefault();
          const key = { type: 'key', key: 'Enter', ctrl: event.ctrlKey, shift: event.shiftKey, alt: event.altKey };
          this.input(d, { type: 'text', text: input.value }).then(() => this.input(d, key));
          return;
        }
        // Other keys edit the text as in any text box; the system hears of them as well.
        if (['Escape', 'Delete', 'Insert', 'F1', 'F2'].includes(event.key) || (event.ctrlKey && event.key.length === 1)) {
          this.input(d, { type: 'key', key: event.key, ctrl: event.ctrlKey, shift: event.shiftKey, alt: event.altKey });
        }
      });
      el.append(input, datalist);
    }
    return document.createElement('div');
  },
  edit(el, d) {
    const multi = !!d.multiline || d.kind === 'memo';
    const input = document.createElement(multi ? 'textarea' : 'input');
    input.value = d.text || '';
    input.readOnly = !!d.readOnly;
    input.disabled = d.enabled === false;
    // The box's inputs reach the control in the order they were made: the text typed, then the
    // key that ends the edit, then leaving the box.
    const inOrder = (i) => this.inputInOrder(d, i);
    input.addEventListener('input', () => inOrder({ type: 'text', text: input.value, selStart: input.selectionStart }));
    input.addEventListener('keydown', (event) => {
      const keys = ['Enter', 'Escape', 'Delete', 'Insert', 'Tab', 'F2', 'F1'];
      if (!keys.includes(event.key) && !(event.ctrlKey && event.key.length === 1)) return;
      if (d.over) event.stopPropagation();
      inOrder({ type: 'key', key: event.key, ctrl: event.ctrlKey, shift: event.shiftKey, alt: event.altKey });
      if (event.key !== 'Tab') event.preventDefault();
    });
    input.addEventListener('focus', () => inOrder({ type: 'focus' }));
    // A box over a tree node moves with the tree's drawing; that move is not the user leaving it.
    input.addEventListener('blur', () => { if (d.over && input.isConnected) inOrder({ type: 'blur' }); });
    el.append(input);
    if (d.over) requestAnimationFrame(() => placeOverNode.call(this, el, input, d));
    return document.createElement('div');
  },
  pagecontrol(el, d) {
    const tabs = document.createElement('div');
    tabs.className = 'tabs';
    tabs.setAttribute('role', 'tablist');
    const pages = document.createElement('div');
    pages.className = 'tab-pages align-host';
    const sheets = (d.children || []).map((id) => this.store.get(id)).filter(Boolean);
    const active = d.activePageIndex !== undefined ? d.activePageIndex : 0;
    sheets.forEach((s, i) => {
      if (s.tabVisible === false || (d.tabs && d.tabs[i] && d.tabs[i].visible === false)) return;
      const tab = document.createElement('button');
      tab.type = 'button';
      tab.className = 'tab';
      tab.setAttribute('role', 'tab');
      tab.setAttribute('data-control', `${s.name}-tab`);
      caption(tab, s.caption || s.name);
      tab.classList.toggle('active', i === active);
      tab.setAttribute('aria-selected', i === active ? 'true' : 'false');
      tab.addEventListener('click', () => this.input(d, { type: 'select-tab', index: i }));
      tabs.append(tab);
    });
    el.append(tabs, pages);
    el.classList.add('flow-column');
    requestAnimationFrame(() => {
      for (const [i, s] of sheets.entries()) {
        const sheetEl = this.elements.get(s.id);
        if (sheetEl) sheetEl.hidden = i !== active || s.visible === false;
      }
    });
    this.observer.observe(pages);
    return pages;
  },
  tabsheet(el, d) {},
  splitter(el, d) {
    el.setAttribute('role', 'separator');
    const vertical = d.orientation === 'vertical' || /^(left|right)$/i.test(d.align || '');
    if (d.thickness) el.style[vertical ? 'width' : 'height'] = `${d.thickness}px`;
    // The pointer is captured while it drags, so the drag ends where it ends even over a page
    // view's frame.
    el.addEventListener('pointerdown', (event) => {
      if (event.button !== 0) return;
      event.preventDefault();
      el.setPointerCapture(event.pointerId);
      const start = vertical ? event.clientX : event.clientY;
      // The pane's size as the system last described it (this splitter's own description may be
      // older; the pane's element may be in the middle of a redraw).
      const pane = this.elements.get(d.pane);
      const bounds = (this.store.get(d.pane) || {}).bounds || {};
      const from = (vertical ? bounds.width : bounds.height) ||
        (pane ? (vertical ? pane.offsetWidth : pane.offsetHeight) : d.paneSize || 0);
      const before = pane ? (vertical ? pane.offsetLeft < el.offsetLeft : pane.offsetTop < el.offsetTop) : true;
      const onUp = (e) => {
        el.removeEventListener('pointerup', onUp);
        el.removeEventListener('pointercancel', onUp);
        const delta = (vertical ? e.clientX : e.clientY) - start;
        if (delta && e.type === 'pointerup') this.input(d, { type: 'move', size: Math.max(0, Math.round(from + (before ? delta : -delta))) });
      };
      el.addEventListener('pointerup', onUp);
      el.addEventListener('pointercancel', onUp);
    });
  },
  checkbox(el, d) {
    const label = document.createElement('label');
    const box = document.createElement('input');
    box.type = 'checkbox';
    box.checked = !!d.checked;
    box.disabled = d.enabled === false;
    box.addEventListener('click', (event) => { event.preventDefault(); this.input(d, { type: 'click' }); });
    label.append(box, ' ');
    caption(label, d.caption);
    el.append(label);
    return document.createElement('div');
  },
  grid(el, d) { return drawGrid.call(this, el, d); },
  browser(el, d) {
    const host = document.createElement('div');
    host.className = 'embedded-page';
    el.append(host);
    const id = d.browserId !== undefined ? d.browserId : d.browser;
    if (id !== undefined && id !== null) this.app.embedPage(host, id);
    return document.createElement('div');
  },
  messagebox(el, d) {},
  popupmenu() { return document.createElement('div'); },
  mainmenu(el, d) {
    // A form's menu bar: its top-level items open their menus below them.
    el.classList.add('bw-menubar');
    const toItems = (items) => (items || []).map((i) => ({
      ...i,
      radio: !!i.group,
      items: i.items && i.items.length ? toItems(i.items) : null,
      pick: () => this.input(d, { type: 'choose', item: i.id }),
    }));
    new MenuBar(el, (d.items || []).filter((i) => i.visible !== false)
      .map((i) => ({ caption: i.caption, name: i.name, items: toItems(i.items) })));
    return document.createElement('div');
  },
};

// Other modules draw their own kinds: `draw(el, d)` as above, and an optional `draw.update(el, d)`
// that refreshes an element in place instead of drawing it anew.
export function registerKind(kind, draw) {
  KINDS[kind] = draw;
}

function drawButton(el, d) {
  if (d.style === 'separator') { el.classList.add('tb-separator'); return document.createElement('div'); }
  const b = document.createElement('button');
  b.type = 'button';
  b.className = 'ctl-button-face';
  if (d.caption) caption(b, d.caption);
  b.disabled = d.enabled === false;
  const checkable = d.style === 'check' || d.kind === 'checkbox';
  if (checkable) {
    b.setAttribute('aria-pressed', d.checked || d.down ? 'true' : 'false');
    if (d.checked || d.down) b.classList.add('down');
  }
  if (d.dropdown || d.style === 'dropdown') b.classList.add('dropdown');
  b.addEventListener('click', (event) => {
    const box = b.getBoundingClientRect();
    const p = this.app.desktopPoint(box.left, box.bottom);
    this.input(d, { type: 'click', x: p.x, y: p.y });
    event.stopPropagation();
  });
  b.addEventListener('keydown', (event) => keyInput.call(this, d, event));
  el.append(b);
  return document.createElement('div');
}

function keyInput(d, event) {
  const keys = ['Enter', 'Escape', 'Delete', 'Insert', 'Tab', 'F2', 'F1'];
  if (!keys.includes(event.key) && !(event.ctrlKey && event.key.length === 1)) return;
  this.input(d, { type: 'key', key: event.key, ctrl: event.ctrlKey, shift: event.shiftKey, alt: event.altKey });
  if (event.key !== 'Tab') event.preventDefault();
}

function selectedIds(nodes, out = []) {
  for (const n of nodes || []) {
    if (n.selected) out.push(n.id);
    selectedIds(n.children, out);
  }
  return out;
}

// Controls placed inside a tree (a rename box over a node) live in a layer over it.
function treeOverlay(el) {
  const layer = document.createElement('div');
  layer.className = 'tree-overlay';
  el.append(layer);
  return layer;
}

// Puts an edit box over the text cell of a tree node (its "over" field), selected and focused.
function placeOverNode(el, input, d) {
  const treeEl = this.elements.get(d.over.control);
  const cell = treeEl && treeEl.querySelector(`.tree-node[data-node="${d.over.node}"] .tree-text`);
  if (!cell || !el.isConnected) return;
  const base = treeEl.getBoundingClientRect();
  const r = cell.getBoundingClientRect();
  Object.assign(el.style, {
    position: 'absolute', zIndex: 5,
    left: `${r.left - base.left - 2}px`, top: `${r.top - base.top - 2}px`,
    width: `${Math.max(80, base.right - r.left - 6)}px`, height: `${r.height + 4}px`,
  });
  if (d.focused && document.activeElement !== input) {
    input.focus();
    input.select();
  }
}

function drawTree(el, d) {
  const tree = document.createElement('div');
  tree.className = 'tree';
  tree.setAttribute('role', 'tree');
  tree.tabIndex = 0;
  if ((d.columns || []).length > 1 || d.showHeader) {
    const header = document.createElement('div');
    header.className = 'tree-header';
    header.hidden = !d.showHeader;
    for (const c of d.columns || []) {
      if (c.visible === false) continue;
      const h = document.createElement('span');
      h.textContent = c.caption || '';
      if (c.width) h.style.width = `${c.width}px`;
      header.append(h);
    }
    tree.append(header);
  }
  const visibleFlat = [];
  const add = (nodes, parent, depth) => {
    for (const n of nodes || []) {
      const row = document.createElement('div');
      row.className = 'tree-node';
      row.setAttribute('role', 'treeitem');
      row.dataset.node = String(n.id);
      row.style.paddingLeft = `${4 + depth * 16}px`;
      if (n.selected) row.classList.add('selected');
      if (n.id === d.focusedNode) row.classList.add('focused-node');
      const twisty = document.createElement('span');
      twisty.className = 'twisty';
      const hasKids = (n.children && n.children.length) || n.childCount;
      twisty.textContent = hasKids ? (n.expanded ? '▾' : '▸') : '';
      twisty.addEventListener('click', (event) => {
        event.stopPropagation();
        this.input(d, { type: n.expanded ? 'collapse' : 'expand', node: n.id });
      });
      const text = document.createElement('span');
      text.className = 'tree-text';
      const cells = n.cells || [n.text];
      text.textContent = cells[0] || '';
      row.append(twisty, text);
      for (const extra of cells.slice(1)) {
        const c = document.createElement('span');
        c.className = 'tree-cell';
        c.textContent = extra;
        row.append(c);
      }
      if (d.editing && d.editing.node === n.id) {
        const editor = document.createElement('input');
        editor.className = 'tree-editor';
        editor.value = d.editing.text || '';
        editor.addEventListener('keydown', (event) => {
          event.stopPropagation();
          if (event.key === 'Enter') this.input(d, { type: 'edit-end', text: editor.value, accept: true });
          if (event.key === 'Escape') this.input(d, { type: 'edit-end', accept: false });
        });
        editor.addEventListener('blur', () => this.input(d, { type: 'edit-end', text: editor.value, accept: true }));
        text.replaceWith(editor);
        requestAnimationFrame(() => editor.focus());
      }
      row.addEventListener('click', (event) => this.input(d, {
        type: 'click', node: n.id, ctrl: event.ctrlKey || event.metaKey, shift: event.shiftKey,
      }));
      row.addEventListener('dblclick', () => this.input(d, { type: 'dblclick', node: n.id }));
      row.draggable = true;
      row.addEventListener('dragstart', (event) => {
        // A selected node takes the whole selection along.
        const nodes = n.selected ? selectedIds(d.nodes) : [n.id];
        event.dataTransfer.setData('text/x-vt-nodes', JSON.stringify({ control: d.id, nodes }));
        this.dragSource = d.id;
        this.input(d, { type: 'dragstart', node: n.id });
      });
      row.addEventListener('dragend', () => {
        this.dragSource = null;
        this.input(d, { type: 'dragend' });
        if (this.dragDeferred) { this.dragDeferred = false; this.redrawLater(d.id); }
      });
      row.addEventListener('dragover', (event) => event.preventDefault());
      row.addEventListener('drop', (event) => {
        event.preventDefault();
        let data = {};
        try { data = JSON.parse(event.dataTransfer.getData('text/x-vt-nodes')); } catch { return; }
        if (data.control === d.id) this.input(d, { type: 'drop', nodes: data.nodes, target: n.id });
      });
      tree.append(row);
      visibleFlat.push(n);
      if (hasKids && n.expanded) add(n.children, n, depth + 1);
    }
  };
  add(d.nodes, null, 0);
  tree.addEventListener('keydown', (event) => {
    const i = visibleFlat.findIndex((n) => n.id === d.focusedNode);
    const move = (j) => {
      const n = visibleFlat[Math.max(0, Math.min(visibleFlat.length - 1, j))];
      if (n) this.input(d, { type: 'select', node: n.id });
    };
    if (event.key === 'ArrowDown') { move(i + 1); event.preventDefault(); return; }
    if (event.key === 'ArrowUp') { move(i - 1); event.preventDefault(); return; }
    if (event.key === 'ArrowRight' && i >= 0) { this.input(d, { type: 'expand', node: visibleFlat[i].id }); return; }
    if (event.key === 'ArrowLeft' && i >= 0) { this.input(d, { type: 'collapse', node: visibleFlat[i].id }); return; }
    keyInput.call(this, d, event);
  });
  el.append(tree);
  // The system gave the tree the focus (after a rename or a delete, say): the keyboard follows,
  // unless the user is typing in a text box elsewhere.
  const old = this.elements.get(d.id);
  if (d.focused && !(old && old.classList.contains('focused'))) {
    requestAnimationFrame(() => {
      const active = document.activeElement;
      const typing = active && active !== document.body && !el.contains(active) &&
        (active.matches('input, textarea, select') || active.isContentEditable);
      if (tree.isConnected && !typing) tree.focus({ preventScroll: true });
    });
  }
}
