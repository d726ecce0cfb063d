// The HTML edit control: the document is an editable frame in which no script runs (a sandbox
// without scripts), carried out by the browser's own editing engine. The control's requests come
// with its state; each is carried out once and answered. Changes of the document and the
// formatting at the caret go back to the control.
import { registerKind } from './widgets.js';
import { send } from './net.js';

const BLOCK_FORMATS = [
  ['Normal', 'div'], ['Paragraph', 'p'], ['Heading 1', 'h1'], ['Heading 2', 'h2'],
  ['Heading 3', 'h3'], ['Heading 4', 'h4'], ['Heading 5', 'h5'], ['Heading 6', 'h6'],
  ['Address', 'address'], ['Formatted', 'pre'],
];
// Numbered document commands and the engine's names for them.
const DOCUMENT_COMMANDS = {
  29: 'redo', 43: 'undo', 2150: 'insertHorizontalRule', 2168: 'insertImage',
  2184: 'insertOrderedList', 2185: 'insertUnorderedList', 2186: 'indent', 2187: 'outdent',
  2234: 'formatBlock',
};
const EDITOR_COMMANDS = { 5002: 'copy', 5003: 'cut', 5032: 'paste' };
const SUPPORTED = 1, ENABLED = 2, LATCHED = 4;
const MARK = 'data-vt-editor';
const STATES = new Map();  // control id -> { frame, generation, html, handled, timer }

function input(d, value) {
  return send({ type: 'control', id: d.id, input: value }).catch((e) => console.warn(e));
}

function doc(state) {
  return state.frame && state.frame.contentDocument;
}

// Addresses a page may carry. A relative one, in a page without a base of its own, would resolve
// against the display's own server: while the page is edited it is parked in a marked attribute
// (nothing is fetched for it) and put back when the document is handed to the control.
const URL_ATTRIBUTES = ['src', 'href', 'srcset', 'background', 'poster', 'data', 'style'];
const PARKED = 'data-vt-parked-';

function isRelative(name, value) {
  if (name === 'style') return /url\(\s*['"]?(?![a-z][a-z0-9+.-]*:)/i.test(value);
  if (name === 'srcset') return value.split(',').some((part) => part.trim() && !/^[a-z][a-z0-9+.-]*:/i.test(part.trim()));
  return !/^\s*([a-z][a-z0-9+.-]*:|#)/i.test(value);
}

function parkRelativeAddresses(html) {
  const parsed = new DOMParser().parseFromString(html, 'text/html');  // inert: fetches nothing
  if (parsed.querySelector('base[href]')) return html;
  let parked = false;
  for (const element of parsed.querySelectorAll('*')) {
    for (const name of URL_ATTRIBUTES) {
      const value = element.getAttribute(name);
      if (value === null || !isRelative(name, value)) continue;
      element.setAttribute(PARKED + name, value);
      element.removeAttribute(name);
      parked = true;
    }
  }
  if (!parked) return html;
  const doctype = parsed.doctype ? `<!DOCTYPE ${parsed.doctype.name}>` : '';
  return doctype + parsed.documentElement.outerHTML;
}

function restoreParked(root) {
  for (const element of root.querySelectorAll('*')) {
    for (const name of URL_ATTRIBUTES) {
      const value = element.getAttribute(PARKED + name);
      if (value === null) continue;
      element.setAttribute(name, value);
      element.removeAttribute(PARKED + name);
    }
  }
}

// The document as the user made it, without what the display added for editing.
function documentHtml(state) {
  const document = doc(state);
  if (!document || !document.documentElement) return state.html;
  const copy = document.documentElement.cloneNode(true);
  for (const added of copy.querySelectorAll(`[${MARK}]`)) added.remove();
  restoreParked(copy);
  return copy.outerHTML;
}

function colourText(value) {
  // 0x00BBGGRR: red in the low byte.
  const n = Number(value) >>> 0;
  const hex = (v) => v.toString(16).padStart(2, '0');
  return `#${hex(n & 255)}${hex((n >> 8) & 255)}${hex((n >> 16) & 255)}`;
}

function blockName(document) {
  const tag = String(document.queryCommandValue('formatBlock') || '').toLowerCase();
  const found = BLOCK_FORMATS.find(([, t]) => t === tag);
  return found ? found[0] : (tag ? null : 'Normal');
}

function fontSize(document) {
  const v = document.queryCommandValue('fontSize');
  return v === '' || v === null ? null : Number(v);
}

function fontName(document) {
  const v = document.queryCommandValue('fontName');
  if (!v) return null;
  const first = String(v).split(',')[0].trim();
  return first.replace(/^["']|["']$/g, '');
}

function commandStatus(document, name) {
  if (!name) return 0;
  let status = SUPPORTED;
  try {
    if (name === 'paste') status |= navigator.clipboard ? ENABLED : 0;
    else if (name === 'undo' || name === 'redo' || document.queryCommandEnabled(name)) status |= ENABLED;
    if ((name === 'insertOrderedList' || name === 'insertUnorderedList') && document.queryCommandState(name)) status |= LATCHED;
  } catch { return 0; }
  return status;
}

// The formatting at the caret: what the control's tool bar asks for.
function caret(state) {
  const document = doc(state);
  if (!document) return null;
  const c = {};
  for (const name of ['Bold', 'Italic', 'Underline', 'JustifyLeft', 'JustifyCenter', 'JustifyRight']) {
    c[name] = document.queryCommandState(name.toLowerCase());
  }
  c.FontName = fontName(document);
  c.FontSize = fontSize(document);
  for (const [n, name] of Object.entries(DOCUMENT_COMMANDS)) c[`status:${n}`] = commandStatus(document, name);
  for (const [n, name] of Object.entries(EDITOR_COMMANDS)) c[`editorStatus:${n}`] = commandStatus(document, name);
  c.blockFormat = blockName(document);
  return c;
}

function reportDocument(d, state) {
  clearTimeout(state.timer);
  state.timer = null;
  const html = documentHtml(state);
  if (html === state.html) return;
  state.html = html;
  input(d, { type: 'document', generation: state.generation, html, caret: caret(state) });
}

function rangeValue(document, name) {
  const lower = name.toLowerCase();
  if (['bold', 'italic', 'underline', 'justifyleft', 'justifycenter', 'justifyright'].includes(lower)) {
    return document.queryCommandState(lower);
  }
  if (lower === 'fontsize') return fontSize(document);
  if (lower === 'fontname') return fontName(document);
  const v = document.queryCommandValue(lower);
  return v === '' ? null : v;
}

async function carryOut(d, state, request) {
  const document = doc(state);
  const { op, args } = request;
  if (!document) return null;
  const done = (value) => ({ value, caret: caret(state), html: documentHtml(state) });
  switch (op) {
    case 'rangeValue': return rangeValue(document, args.name);
    case 'status': return commandStatus(document, DOCUMENT_COMMANDS[args.command]);
    case 'editorStatus': return commandStatus(document, EDITOR_COMMANDS[args.command]);
    case 'rangeExec': {
      let value = args.value;
      const name = String(args.name).toLowerCase();
      if (name === 'forecolor') value = colourText(value);
      if (typeof value === 'boolean') value = null;
      const ok = document.execCommand(name, false, value === null ? undefined : String(value));
      return done(ok);
    }
    case 'exec': {
      const n = args.command;
      if (n === 2233) return BLOCK_FORMATS.map(([name]) => name);
      const name = DOCUMENT_COMMANDS[n];
      if (!name) return done(null);
      let value;
      if (n === 2234) {
        const found = BLOCK_FORMATS.find(([label]) => label === args.input);
        if (!found) return done(false);
        value = `<${found[1]}>`;
      }
      if (n === 2168) {
        if (!args.prompt) return done(false);
        value = window.prompt('Picture address:', 'https://');
        if (!value) return done(false);
      }
      state.frame.contentWindow.focus();
      return done(document.execCommand(name, false, value));
    }
    case 'editorExec': {
      const n = args.command;
      if (n === 5011) return blockName(document);
      const name = EDITOR_COMMANDS[n];
      if (name === 'paste') {
        try {
          const items = await navigator.clipboard.read();
          for (const item of items) {
            if (item.types.includes('text/html')) {
              const html = await (await item.getType('text/html')).text();
              return done(document.execCommand('insertHTML', false, html));
            }
          }
          const text = await navigator.clipboard.readText();
          return done(document.execCommand('insertText', false, text));
        } catch (e) {
          return done(false);
        }
      }
      return done(name ? document.execCommand(name) : null);
    }
    default: return null;
  }
}

function serve(d, state) {
  for (const request of d.requests || []) {
    if (state.handled.has(request.id)) continue;
    state.handled.add(request.id);
    Promise.resolve(carryOut(d, state, request))
      .catch((e) => { console.warn(e); return null; })
      .then((value) => input(d, { type: 'answer', request: request.id, value }));
  }
}

function applyBorders(state, on) {
  const document = doc(state);
  if (!document || !document.head) return;
  let style = document.querySelector(`style[${MARK}]`);
  if (on && !style) {
    style = document.createElement('style');
    style.setAttribute(MARK, '');
    style.textContent = 'table, td, th { border: 1px dotted #9aa4b1; }';
    document.head.append(style);
  } else if (!on && style) {
    style.remove();
  }
}

function load(el, d, state, html) {
  if (state.frame) state.frame.remove();
  const frame = document.createElement('iframe');
  frame.className = 'htmledit-frame';
  // No allow-scripts: nothing of the page runs. Same origin, so the display can edit it.
  frame.setAttribute('sandbox', 'allow-same-origin');
  frame.setAttribute('data-control', `${d.name}-document`);
  frame.srcdoc = parkRelativeAddresses(html);
  state.frame = frame;
  frame.addEventListener('load', () => {
    const document = frame.contentDocument;
    if (!document) return;
    document.designMode = 'on';
    applyBorders(state, state.showBorders);
    state.html = documentHtml(state);
    const changed = () => {
      if (!state.timer) state.timer = setTimeout(() => reportDocument(d, state), 150);
    };
    new MutationObserver(changed).observe(document, { subtree: true, childList: true, characterData: true, attributes: true });
    const selection = () => input(d, { type: 'selectionchange', caret: caret(state) });
    document.addEventListener('mouseup', selection);
    document.addEventListener('keyup', (event) => {
      if (event.key === 'Escape') return;
      reportDocument(d, state);
      selection();
    });
    document.addEventListener('keydown', (event) => {
      if (event.key === 'Escape') {
        event.preventDefault();
        input(d, { type: 'key', key: 'Escape' });
      }
    });
    document.addEventListener('contextmenu', (event) => event.preventDefault());
    input(d, { type: 'loaded', generation: state.generation, caret: caret(state) });
    serve(d, state);
  });
  el.append(frame);
}

function draw(el, d) {
  let state = STATES.get(d.id);
  const fresh = !state || state.generation !== d.generation;
  if (!state) {
    state = { frame: null, generation: d.generation, html: d.html, handled: new Set(), timer: null };
    STATES.set(d.id, state);
  }
  state.showBorders = !!d.showBorders;
  // A new document, or this control drawn anew (the frame was moved and lost its content):
  // load what the control holds.
  state.generation = d.generation;
  load(el, d, state, fresh ? d.html : state.html);
  return document.createElement('div');
}

draw.update = function update(el, d) {
  const state = STATES.get(d.id);
  if (!state || !state.frame || state.generation !== d.generation || !el.contains(state.frame)) {
    el.replaceChildren();
    draw.call(this, el, d);
    return;
  }
  state.showBorders = !!d.showBorders;
  applyBorders(state, state.showBorders);
  if (doc(state) && doc(state).designMode === 'on') serve(d, state);
};

registerKind('htmledit', draw);
