// Tool tips from hints: any element with data-hint (or a title the display set) shows its hint
// after the pointer rests on it, as a desktop does.
export class Tooltips {
  constructor(element) {
    this.element = element;
    this.timer = 0;
    this.target = null;
    document.addEventListener('mouseover', (event) => this.#over(event));
    document.addEventListener('mousedown', () => this.hide());
    document.addEventListener('keydown', () => this.hide());
  }

  #over(event) {
    const target = event.target.closest ? event.target.closest('[data-hint]') : null;
    if (target === this.target) return;
    this.hide();
    this.target = target;
    if (!target) return;
    const x = event.clientX, y = event.clientY;
    this.timer = setTimeout(() => this.show(target.dataset.hint, x, y + 20), 500);
  }

  show(text, x, y) {
    if (!text) return;
    this.element.textContent = text;
    this.element.hidden = false;
    const box = this.element.getBoundingClientRect();
    this.element.style.left = `${Math.min(x, window.innerWidth - box.width - 4)}px`;
    this.element.style.top = `${Math.min(y, window.innerHeight - box.height - 4)}px`;
  }

  hide() {
    clearTimeout(this.timer);
    this.element.hidden = true;
  }
}
