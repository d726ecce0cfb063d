// Dialogs over the window: the system's modal forms and message boxes, and the display's own
// About box. A modal dialog takes the keyboard: Enter answers its default button, Escape cancels.
import { send } from './net.js';
import { captionNodes } from './menus.js';

const BUTTON_CAPTIONS = {
  ok: 'OK', cancel: 'Cancel', yes: '&Yes', no: '&No', abort: '&Abort', retry: '&Retry', ignore: '&Ignore',
};
const ICON_MARKS = { error: '✕', warning: '!', information: 'i', question: '?' };

export class Dialogs {
  constructor(app) {
    this.app = app;
    this.drawn = new Map();  // control id -> element
  }

  // Draws the modal forms and message boxes among the top-level controls; removes the others.
  draw() {
    const barForms = new Set([...this.app.windows.values()]
      .map((v) => v.state.bar && v.state.bar.form).filter((id) => id !== null && id !== undefined));
    const wanted = this.app.controls.topLevel().filter((d) =>
      d.modal === true && d.visible !== false && !barForms.has(d.id));
    const ids = new Set(wanted.map((d) => d.id));
    for (const [id, el] of this.drawn) {
      if (!ids.has(id)) { el.shade.remove(); el.remove(); this.drawn.delete(id); }
    }
    for (const d of wanted) this.#dialog(d);
  }

  #frame(title, onClose) {
    const shade = document.createElement('div');
    shade.className = 'modal-shade';
    const el = document.createElement('div');
    el.className = 'dialog';
    el.setAttribute('role', 'dialog');
    el.innerHTML = `<header class="bw-title"><span class="bw-caption"></span>
      <span class="bw-buttons"><button type="button" class="bw-btn bw-close" title="Close">✕</button></span></header>`;
    el.querySelector('.bw-caption').textContent = title;
    el.querySelector('.bw-close').addEventListener('click', onClose);
    el.shade = shade;
    this.app.desktop.append(shade, el);
    this.#drag(el);
    return el;
  }

  #place(el, width, height) {
    const desk = this.app.desktop.getBoundingClientRect();
    const active = this.app.activeWindow();
    const box = active ? active.el.getBoundingClientRect() : desk;
    const w = width || el.offsetWidth;
    const h = height || el.offsetHeight;
    el.style.left = `${Math.max(0, box.left - desk.left + (box.width - w) / 2)}px`;
    el.style.top = `${Math.max(0, box.top - desk.top + (box.height - h) / 3)}px`;
  }

  #drag(el) {
    const title = el.querySelector('.bw-title');
    title.addEventListener('mousedown', (event) => {
      if (event.target.closest('button')) return;
      const sx = event.clientX, sy = event.clientY;
      const left = el.offsetLeft, top = el.offsetTop;
      const move = (e) => { el.style.left = `${left + e.clientX - sx}px`; el.style.top = `${top + e.clientY - sy}px`; };
      const up = () => { document.removeEventListener('mousemove', move); document.removeEventListener('mouseup', up); };
      document.addEventListener('mousemove', move);
      document.addEventListener('mouseup', up);
    });
  }

  #dialog(d) {
    const input = (i) => send({ type: 'control', id: d.id, input: i }).catch((e) => console.warn(e));
    let el = this.drawn.get(d.id);
    const fresh = !el;
    if (!el) {
      el = this.#frame(d.caption || '', () => input({ type: 'close' }));
      el.setAttribute('data-control', d.name || 'dialog');
      this.drawn.set(d.id, el);
    }
    el.querySelector('.bw-caption').textContent = d.caption || '';
    el.querySelector(':scope > .msg-buttons')?.remove();  // a message box's own row only
    if (d.kind === 'messagebox') {
      el.querySelector(':scope > .dialog-body')?.remove();
      const body = document.createElement('div');
      body.className = 'dialog-body msg-body';
      if (d.icon && d.icon !== 'none') {
        const icon = document.createElement('span');
        icon.className = `msg-icon ${d.icon}`;
        icon.textContent = ICON_MARKS[d.icon] || '';
        body.append(icon);
      }
      const text = document.createElement('div');
      text.className = 'msg-text';
      text.textContent = d.text || '';
      body.append(text);
      const buttons = document.createElement('div');
      buttons.className = 'msg-buttons';
      for (const name of d.buttons || ['ok']) {
        const b = document.createElement('button');
        b.type = 'button';
        b.className = 'push';
        b.dataset.answer = name;
        b.setAttribute('data-control', `button-${name}`);
        b.append(captionNodes(BUTTON_CAPTIONS[name] || name)[0]);
        b.addEventListener('click', () => input({ type: 'answer', button: name }));
        buttons.append(b);
      }
      el.append(body, buttons);
      el.style.width = '';
      if (fresh) {
        this.#place(el);
        const def = buttons.querySelector(`[data-answer="${d.default}"]`) || buttons.firstChild;
        if (def) def.focus();
      }
    } else {
      // The form's body stays from one drawing to the next: moving a form's element would
      // reload the documents inside it (an editable document would lose its caret and undo).
      let body = el.querySelector(':scope > .dialog-body');
      if (!body) {
        body = document.createElement('div');
        body.className = 'dialog-body';
        el.append(body);
      }
      const b = d.bounds || {};
      // The form reports the size of this body back as its own: the body takes the form's size as
      // it is (the frame adds its border and title around it), or each report would shrink it.
      el.style.width = '';
      if (b.width) body.style.width = `${b.width}px`;
      if (b.height) {
        body.style.height = `${Math.max(40, b.height)}px`;
        body.style.flex = 'none';  // a flexible body would take its (empty) content's height
      }
      this.app.controls.mount(body, d.id, true);
      if (fresh) this.#place(el, b.width, b.height);
    }
    el.dialog = d;
  }

  // Enter and Escape in the topmost dialog; answers true when a dialog took the key.
  key(event) {
    const top = [...this.drawn.values()].pop();
    if (!top) return false;
    const d = top.dialog;
    if (event.key === 'Escape') {
      send({ type: 'control', id: d.id, input: { type: 'close' } }).catch(() => {});
      event.preventDefault();
      return true;
    }
    if (event.key === 'Enter' && d.kind === 'messagebox' && !(event.target && event.target.closest && event.target.closest('.push'))) {
      send({ type: 'control', id: d.id, input: { type: 'answer', button: d.default || (d.buttons || ['ok'])[0] } }).catch(() => {});
      event.preventDefault();
      return true;
    }
    if (event.key === 'Tab') {
      const focusable = [...top.querySelectorAll('button, input, select, textarea, [tabindex="0"]')];
      if (focusable.length) {
        const i = focusable.indexOf(document.activeElement);
        const next = focusable[(i + (event.shiftKey ? -1 : 1) + focusable.length) % focusable.length];
        next.focus();
        event.preventDefault();
      }
      return true;
    }
    return false;
  }

  about() {
    const el = this.#frame('About Vellumtrace', () => { el.shade.remove(); el.remove(); });
    el.setAttribute('data-control', 'about');
    const body = document.createElement('div');
    body.className = 'dialog-body msg-body';
    body.innerHTML = `<img src="img/icon.svg" alt="" width="32" height="32">
      <div><b>Vellumtrace</b><br>A research band for the web: it dissects the pages you browse,
      keeps snippets of them and finds every page you visited again.</div>`;
    const buttons = document.createElement('div');
    buttons.className = 'msg-buttons';
    const ok = document.createElement('button');
    ok.type = 'button';
    ok.className = 'push';
    ok.textContent = 'OK';
    ok.addEventListener('click', () => { el.shade.remove(); el.remove(); });
    buttons.append(ok);
    el.append(body, buttons);
    el.style.width = '380px';
    this.#place(el, 380);
    ok.focus();
  }
}
