// The data grid: a header that sorts on click (a second click on the same column reverses), one
// row per record with its shown cells and, when the grid has a preview field, a grey line with the
// preview text beneath. Typing while the grid has the keyboard finds the first row whose text
// begins with what was typed (the system does the finding, ignoring case); a pause of a second
// starts a new text. Arrow keys move the focused row, Enter opens it as a double click does.

const typed = new Map();      // grid id -> { text, at }
const keyboard = new Set();   // ids of grids that hold the keyboard across redraws
const TYPE_PAUSE_MS = 1000;

export function drawGrid(el, d) {
  const columns = d.columns || [];
  const shownColumns = columns.map((c, i) => ({ ...c, index: i })).filter((c) => c.visible !== false);
  const table = document.createElement('table');
  table.className = 'grid';
  table.tabIndex = 0;
  const head = document.createElement('tr');
  for (const c of shownColumns) {
    const th = document.createElement('th');
    th.textContent = c.caption || '';
    th.dataset.column = String(c.index);
    if (c.index === d.sortColumn) {
      th.classList.add(d.sortDescending ? 'sorted-desc' : 'sorted-asc');
      th.setAttribute('aria-sort', d.sortDescending ? 'descending' : 'ascending');
    }
    th.addEventListener('click', () => this.input(d, { type: 'sort', column: c.index }));
    if (c.width) th.style.width = `${c.width}px`;
    head.append(th);
  }
  const thead = document.createElement('thead');
  thead.append(head);
  table.append(thead);
  const rows = d.rows || [];
  rows.forEach((row, r) => {
    const group = document.createElement('tbody');
    group.className = 'grid-row';
    group.dataset.row = String(r);
    if (r === d.focusedRow) group.classList.add('selected');
    const tr = document.createElement('tr');
    const cells = row.cells || row;
    for (const c of shownColumns) {
      const td = document.createElement('td');
      const cell = cells[c.index];
      td.textContent = cell === null || cell === undefined ? '' : String(cell);
      tr.append(td);
    }
    group.append(tr);
    if (row.preview !== undefined) {
      const line = document.createElement('tr');
      line.className = 'grid-preview';
      const td = document.createElement('td');
      td.colSpan = Math.max(1, shownColumns.length);
      td.textContent = row.preview;
      line.append(td);
      group.append(line);
    }
    group.addEventListener('click', () => this.input(d, { type: 'select', row: r }));
    group.addEventListener('dblclick', () => this.input(d, { type: 'dblclick', row: r }));
    table.append(group);
  });
  table.addEventListener('focus', () => keyboard.add(d.id));
  table.addEventListener('blur', (event) => {
    if (event.relatedTarget || document.hasFocus()) keyboard.delete(d.id);
  });
  table.addEventListener('keydown', (event) => onKey.call(this, d, rows.length, event));
  el.append(table);
  if (keyboard.has(d.id)) {
    requestAnimationFrame(() => { if (table.isConnected) table.focus({ preventScroll: true }); });
  }
  const focused = table.querySelector('.grid-row.selected');
  if (focused) requestAnimationFrame(() => focused.scrollIntoView({ block: 'nearest' }));
  return document.createElement('div');
}

function onKey(d, count, event) {
  keyboard.add(d.id);
  const current = d.focusedRow === undefined ? -1 : d.focusedRow;
  if (event.key === 'ArrowDown' || event.key === 'ArrowUp') {
    const next = Math.max(0, Math.min(count - 1, current + (event.key === 'ArrowDown' ? 1 : -1)));
    if (count) this.input(d, { type: 'select', row: next });
    event.preventDefault();
    return;
  }
  if (event.key === 'Enter' && current >= 0) {
    this.input(d, { type: 'dblclick', row: current });
    event.preventDefault();
    return;
  }
  if (event.ctrlKey || event.altKey || event.metaKey) return;
  const now = Date.now();
  const last = typed.get(d.id);
  let text = last && now - last.at < TYPE_PAUSE_MS ? last.text : '';
  if (event.key === 'Backspace') {
    text = [...text].slice(0, -1).join('');
  } else if ([...event.key].length === 1) {
    text += event.key;
  } else {
    return;
  }
  event.preventDefault();
  typed.set(d.id, { text, at: now });
  if (text) this.input(d, { type: 'search', text });
}
