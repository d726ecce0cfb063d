// The desktop clipboard. What Vellumtrace puts on its clipboard arrives here as { html, text } and
// is written as text/html and text/plain. The write follows the user's menu click; when the browser
// still refuses it, a notice keeps the copy and tells the user how to finish it, so that a copy is
// never lost without a word.

// Writes both formats; throws when the browser refuses.
async function writeBoth({ html, text }) {
  if (!navigator.clipboard) throw new Error('this page has no clipboard access');
  if (html && window.ClipboardItem) {
    await navigator.clipboard.write([new ClipboardItem({
      'text/plain': new Blob([text || ''], { type: 'text/plain' }),
      'text/html': new Blob([html], { type: 'text/html' }),
    })]);
  } else {
    await navigator.clipboard.writeText(text || '');
  }
}

// The older copy command, which a browser allows while the user's gesture lasts. Answers whether
// the browser carried it out.
function copyByCommand({ html, text }) {
  let done = false;
  const fill = (event) => {
    event.clipboardData.setData('text/plain', text || '');
    if (html) event.clipboardData.setData('text/html', html);
    event.preventDefault();
    done = true;
  };
  document.addEventListener('copy', fill, true);
  try {
    return document.execCommand('copy') && done;
  } catch {
    return false;
  } finally {
    document.removeEventListener('copy', fill, true);
  }
}

export class DesktopClipboard {
  constructor(desktop) {
    this.desktop = desktop;
    this.notice = null;
    this.last = null;  // the latest copy, as the display tests read it
  }

  async put(copy) {
    this.last = copy;
    try {
      await writeBoth(copy);
    } catch (error) {
      if (!copyByCommand(copy)) {
        this.#refused(copy, error);
        return false;
      }
    }
    if (this.last === copy) this.#closeNotice();
    return true;
  }

  // Shows what happened and keeps the copy until the user finishes it or lets it go.
  #refused(copy, error) {
    this.#closeNotice();
    const box = document.createElement('div');
    box.className = 'clipboard-notice';
    box.setAttribute('role', 'alert');
    box.setAttribute('data-control', 'clipboard-notice');
    const reason = error && error.message ? ` (${error.message})` : '';
    const message = document.createElement('p');
    message.textContent = 'Your browser did not let Vellumtrace put the copy on the clipboard'
      + `${reason}. Press "Copy now" to put it there, or allow clipboard access for this page`
      + ' in the browser\'s site settings and copy again.';
    const buttons = document.createElement('div');
    buttons.className = 'clipboard-notice-buttons';
    const retry = document.createElement('button');
    retry.type = 'button';
    retry.className = 'push';
    retry.textContent = 'Copy now';
    retry.setAttribute('data-control', 'clipboard-copy-now');
    const dismiss = document.createElement('button');
    dismiss.type = 'button';
    dismiss.className = 'push';
    dismiss.textContent = 'Close';
    dismiss.setAttribute('data-control', 'clipboard-close');
    buttons.append(retry, dismiss);
    box.append(message, buttons);
    retry.addEventListener('click', async () => {
      // This click is a fresh gesture: the command way first, as it needs the gesture unspent.
      if (copyByCommand(copy)) { this.#closeNotice(); return; }
      try {
        await writeBoth(copy);
        this.#closeNotice();
      } catch (again) {
        this.#showText(box, copy, again);
      }
    });
    dismiss.addEventListener('click', () => this.#closeNotice());
    this.desktop.append(box);
    this.notice = box;
    retry.focus();
  }

  // The last way left: the text, selected, for the user to copy with the keyboard.
  #showText(box, copy, error) {
    box.querySelector('p').textContent = `The browser refused again (${error.message}). `
      + 'The copy is selected below: press Ctrl+C to put it on the clipboard as text.';
    let field = box.querySelector('textarea');
    if (!field) {
      field = document.createElement('textarea');
      field.readOnly = true;
      field.rows = 6;
      box.insertBefore(field, box.querySelector('.clipboard-notice-buttons'));
    }
    field.value = copy.text || copy.html || '';
    field.focus();
    field.select();
  }

  #closeNotice() {
    if (this.notice) this.notice.remove();
    this.notice = null;
  }
}
