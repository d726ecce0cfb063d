// The explorer-bar buttons of a window's tool bar, as the registry lists them (the shell sends
// them with the state and again when they change). Each shows its icon and text, is down while
// its bar is open, and opens or closes the bar when clicked, as a browser's bar buttons do.
import { send } from './net.js';

export class ToolbarButtons {
  // `host`: the element the buttons go in; `view`: the window (id, state, setStatus).
  constructor(host, view) {
    this.host = host;
    this.view = view;
    this.buttons = [];
    this.host.hidden = true;
  }

  // A new list of buttons: drawn again only when it changed, so the icons are not reloaded.
  set(buttons) {
    const list = buttons || [];
    if (JSON.stringify(list) === JSON.stringify(this.buttons)) return this.pressed();
    this.buttons = list;
    this.host.replaceChildren(...list.map((b) => this.#button(b)));
    this.host.hidden = list.length === 0;
    this.pressed();
  }

  // The down state follows the window's bar.
  pressed() {
    const open = !!(this.view.state.bar && this.view.state.bar.open);
    for (const el of this.host.querySelectorAll('.bar-button')) {
      el.setAttribute('aria-pressed', String(el.dataset.hosted === 'true' && open));
    }
  }

  #button(b) {
    const el = document.createElement('button');
    el.type = 'button';
    el.className = 'tb-btn bar-button';
    el.dataset.button = b.id;
    el.dataset.hosted = String(!!b.hosted);
    el.title = b.text;
    if (b.icon) {
      const img = document.createElement('img');
      img.className = 'bar-button-icon';
      img.alt = '';
      img.src = b.icon;
      img.addEventListener('error', () => img.remove());  // an icon that cannot be shown: text only
      if (b.hotIcon && b.hotIcon !== b.icon) {
        el.addEventListener('mouseenter', () => { img.src = b.hotIcon; });
        el.addEventListener('mouseleave', () => { img.src = b.icon; });
      }
      el.append(img);
    }
    const label = document.createElement('span');
    label.className = 'bar-button-text';
    label.textContent = b.text;
    el.append(label);
    el.addEventListener('click', () => this.#press(b));
    return el;
  }

  async #press(b) {
    try {
      const answer = await send({ type: 'toolbar-button', window: this.view.id, button: b.id });
      if (answer.error) this.view.setStatus(answer.error);
    } catch (error) {
      this.view.setStatus(error.message);
    }
  }
}
