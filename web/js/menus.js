// Menus as a desktop draws them: a menu bar with Alt accelerators, drop-down and popup menus with
// check marks, separators, sub-menus and the keyboard (arrows, Enter, Escape, the underlined letter).

// "&File" -> a fragment with the F underlined; answers [fragment, accelerator letter].
export function captionNodes(caption, accelerator) {
  const fragment = document.createDocumentFragment();
  let key = accelerator ? accelerator.toLowerCase() : '';
  let text = caption || '';
  let i = 0;
  let underlined = false;
  while (i < text.length) {
    const c = text[i];
    if (c === '&' && text[i + 1] === '&') { fragment.append('&'); i += 2; continue; }
    if (c === '&' && i + 1 < text.length && !underlined) {
      const u = document.createElement('u');
      u.textContent = text[i + 1];
      fragment.append(u);
      key = key || text[i + 1].toLowerCase();
      underlined = true;
      i += 2;
      continue;
    }
    if (!underlined && key && c.toLowerCase() === key && !text.includes('&')) {
      const u = document.createElement('u');
      u.textContent = c;
      fragment.append(u);
      underlined = true;
      i += 1;
      continue;
    }
    fragment.append(c);
    i += 1;
  }
  return [fragment, key];
}

let openMenu = null;

export function closeMenus() {
  while (openMenu) {
    const menu = openMenu;
    openMenu = menu.parentMenu;
    menu.element.remove();
    if (menu.onClose && !menu.parentMenu) menu.onClose();
  }
}

// Shows `items` at desktop point (x, y). Each item: { caption, accelerator, enabled, checked,
// radio, separator, items, shortcut, visible, name, pick() }. `onClose` runs when the menu goes
// away without a pick as well as after one.
export function showMenu(items, x, y, { onClose = null, parentMenu = null, name = '' } = {}) {
  if (!parentMenu) closeMenus();
  const element = document.createElement('div');
  element.className = 'menu';
  element.setAttribute('role', 'menu');
  if (name) element.setAttribute('data-control', name);
  const menu = { element, parentMenu, onClose, items: [], active: -1, child: null };
  for (const item of items) {
    if (item.visible === false) continue;
    if (item.separator) {
      const sep = document.createElement('div');
      sep.className = 'menu-separator';
      element.append(sep);
      continue;
    }
    const row = document.createElement('div');
    row.className = 'menu-item';
    row.setAttribute('role', item.radio ? 'menuitemradio' : 'menuitem');
    if (item.name) row.setAttribute('data-control', item.name);
    const check = document.createElement('span');
    check.className = 'menu-check';
    check.textContent = item.checked ? (item.radio ? '•' : '✓') : '';
    const label = document.createElement('span');
    label.className = 'menu-label';
    const [nodes, key] = captionNodes(item.caption, item.accelerator);
    label.append(nodes);
    const shortcut = document.createElement('span');
    shortcut.className = 'menu-shortcut';
    shortcut.textContent = item.items && item.items.length ? '▸' : (item.shortcut || '');
    row.append(check, label, shortcut);
    if (item.enabled === false) row.classList.add('disabled');
    row.setAttribute('aria-disabled', item.enabled === false ? 'true' : 'false');
    if (item.checked) row.setAttribute('aria-checked', 'true');
    const entry = { item, row, key };
    const index = menu.items.length;
    menu.items.push(entry);
    row.addEventListener('mouseenter', () => activate(menu, index, true));
    row.addEventListener('mousedown', (event) => event.preventDefault());
    row.addEventListener('click', (event) => {
      event.stopPropagation();
      choose(menu, index);
    });
    element.append(row);
  }
  document.body.append(element);
  const box = element.getBoundingClientRect();
  const left = Math.max(0, Math.min(x, window.innerWidth - box.width - 2));
  const top = Math.max(0, y + box.height > window.innerHeight ? y - box.height : y);
  element.style.left = `${left}px`;
  element.style.top = `${top}px`;
  if (parentMenu) parentMenu.child = menu;
  openMenu = menu;
  return menu;
}

function activate(menu, index, openSub) {
  if (menu.child) { closeFrom(menu.child); menu.child = null; }
  menu.items.forEach((e, i) => e.row.classList.toggle('active', i === index));
  menu.active = index;
  const entry = menu.items[index];
  if (openSub && entry && entry.item.items && entry.item.items.length && entry.item.enabled !== false) {
    const box = entry.row.getBoundingClientRect();
    showMenu(entry.item.items, box.right - 2, box.top - 3, { parentMenu: menu });
  }
}

function closeFrom(menu) {
  while (openMenu && openMenu !== menu.parentMenu) {
    const m = openMenu;
    openMenu = m.parentMenu;
    m.element.remove();
  }
}

function choose(menu, index) {
  const entry = menu.items[index];
  if (!entry || entry.item.enabled === false) return;
  if (entry.item.items && entry.item.items.length) { activate(menu, index, true); return; }
  closeMenus();
  if (entry.item.pick) entry.item.pick();
}

// Keys while a menu is open; answers true when the menu took the key.
export function menuKey(event) {
  const menu = openMenu;
  if (!menu) return false;
  const count = menu.items.length;
  const step = (delta) => {
    for (let n = 1; n <= count; n++) {
      const i = (menu.active + delta * n + count * 2) % count;
      if (menu.items[i].item.enabled !== false) { activate(menu, i, false); return; }
    }
  };
  switch (event.key) {
    case 'ArrowDown': step(1); break;
    case 'ArrowUp': step(-1); break;
    case 'ArrowRight': if (menu.active >= 0) activate(menu, menu.active, true); break;
    case 'ArrowLeft':
    case 'Escape':
      if (menu.parentMenu) { closeFrom(menu); menu.parentMenu.child = null; } else closeMenus();
      break;
    case 'Enter': if (menu.active >= 0) choose(menu, menu.active); break;
    default: {
      const i = menu.items.findIndex((e) => e.key && e.key === event.key.toLowerCase());
      if (i < 0) return false;
      choose(menu, i);
    }
  }
  event.preventDefault();
  return true;
}

export function anyMenuOpen() { return openMenu !== null; }

document.addEventListener('mousedown', (event) => {
  if (openMenu && !event.target.closest('.menu') && !event.target.closest('.menubar-item')) closeMenus();
});
window.addEventListener('blur', () => closeMenus());

// The menu bar of a window: `menus` = [{ caption: '&File', items: [...] }].
export class MenuBar {
  constructor(element, menus) {
    this.element = element;
    this.entries = [];
    for (const m of menus) {
      const button = document.createElement('button');
      button.type = 'button';
      button.className = 'menubar-item';
      button.tabIndex = -1;
      const [nodes, key] = captionNodes(m.caption);
      button.append(nodes);
      if (m.name) button.setAttribute('data-control', m.name);
      const entry = { m, button, key };
      button.addEventListener('mousedown', (event) => {
        event.preventDefault();
        if (this.open === entry) { closeMenus(); return; }
        this.show(entry);
      });
      button.addEventListener('mouseenter', () => { if (this.open && this.open !== entry) this.show(entry); });
      this.entries.push(entry);
      element.append(button);
    }
    this.open = null;
  }

  show(entry) {
    const box = entry.button.getBoundingClientRect();
    this.entries.forEach((e) => e.button.classList.toggle('open', e === entry));
    this.open = entry;
    const items = typeof entry.m.items === 'function' ? entry.m.items() : entry.m.items;
    showMenu(items, box.left, box.bottom, {
      onClose: () => {
        this.entries.forEach((e) => e.button.classList.remove('open'));
        this.open = null;
      },
    });
  }

  // Alt+letter opens the menu with that accelerator; answers true when one did.
  accelerator(letter) {
    const entry = this.entries.find((e) => e.key === letter.toLowerCase());
    if (!entry) return false;
    this.show(entry);
    return true;
  }
}
