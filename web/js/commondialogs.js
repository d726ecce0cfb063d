// The common dialogs drawn inside their modal frame: the font dialog (family, size, colour, a
// sample) and the folder picker, which browses the folders the shell lists for it. Both close
// with input "close {result, ...values}"; the folder picker follows a folder with "browse".

const FAMILIES = ['Arial', 'Courier New', 'Georgia', 'Helvetica', 'Tahoma', 'Times New Roman',
  'Trebuchet MS', 'Verdana', 'serif', 'sans-serif', 'monospace'];

function element(tag, props = {}, ...children) {
  const el = document.createElement(tag);
  for (const [k, v] of Object.entries(props)) {
    if (k === 'control') el.setAttribute('data-control', v);
    else if (k === 'className') el.className = v;
    else el[k] = v;
  }
  el.append(...children);
  return el;
}

function buttons(onOk, onCancel) {
  const ok = element('button', { type: 'button', className: 'push', control: 'button-ok', textContent: 'OK' });
  const cancel = element('button', { type: 'button', className: 'push', control: 'button-cancel', textContent: 'Cancel' });
  ok.addEventListener('click', onOk);
  cancel.addEventListener('click', onCancel);
  return element('div', { className: 'msg-buttons common-buttons' }, ok, cancel);
}

// `input` sends one input to the dialog's control.
export function drawFontDialog(el, d, input) {
  const family = element('input', { control: 'font-family', value: d.family || 'Arial' });
  family.setAttribute('list', `font-families-${d.id}`);
  const list = element('datalist', { id: `font-families-${d.id}` },
    ...FAMILIES.map((f) => element('option', { value: f })));
  const size = element('input', { control: 'font-size', type: 'number', min: '1', max: '1638', value: String(d.size || 12) });
  const color = element('input', { control: 'font-color', type: 'color', value: (d.color || '#000000').toLowerCase() });
  const sample = element('div', { className: 'font-sample', control: 'font-sample', textContent: 'AaBbYyZz' });
  const update = () => {
    sample.style.fontFamily = family.value;
    sample.style.fontSize = `${size.value}pt`;
    sample.style.color = color.value;
  };
  for (const i of [family, size, color]) i.addEventListener('input', update);
  update();
  const row = (label, control) => element('label', { className: 'common-row' }, element('span', { textContent: label }), control);
  el.append(element('div', { className: 'common-dialog' },
    row('Font:', family), list, row('Size:', size), row('Colour:', color), sample,
    buttons(() => input({ type: 'close', result: 'ok', family: family.value, size: Number(size.value), color: color.value.toUpperCase() }),
      () => input({ type: 'close', result: 'cancel' }))));
  return document.createElement('div');
}

export function drawFolderDialog(el, d, input) {
  const folder = d.folder || '/';
  const join = (name) => `${folder.replace(/\/+$/, '')}/${name}`;
  const path = element('div', { className: 'folder-path', control: 'folder-path', textContent: folder });
  const list = element('ul', { className: 'folder-list', control: 'folder-list', tabIndex: 0 });
  if (d.parentFolder) {
    const up = element('li', { className: 'folder-up', textContent: '..' });
    up.dataset.folder = d.parentFolder;
    list.append(up);
  }
  for (const name of d.subfolders || []) {
    const li = element('li', { textContent: name });
    li.dataset.folder = join(name);
    list.append(li);
  }
  list.addEventListener('click', (event) => {
    const li = event.target.closest('li');
    if (li) input({ type: 'browse', folder: li.dataset.folder });
  });
  el.append(element('div', { className: 'common-dialog' }, path, list,
    buttons(() => input({ type: 'close', result: 'ok', folder }), () => input({ type: 'close', result: 'cancel' }))));
  return document.createElement('div');
}
