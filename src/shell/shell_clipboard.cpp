// The clipboard between the process and the user's desktop. Whatever the system puts on the
// process's clipboard (a copied page, the browser's copy command) goes to the display as one
// "clipboard" event, and the display writes it to the desktop clipboard as text/html and
// text/plain.
#include <cstdio>

#include "platform/clipboard/clipboard.h"
#include "platform/dom/document.h"
#include "shell/shell.h"

namespace vt::shell {

void Shell::PublishClipboard() {
  const clipboard::DisplayClipboard contents = clipboard::ForDisplay(clipboard::LastContents());
  Publish({{"type", "clipboard"},
           {"seq", contents.sequence},
           {"html", contents.html},
           {"text", contents.text}});
}

void Shell::CopySelection(browser::WebBrowser& b) {
  auto document = b.Document();
  if (!document || document->selection().type() != "Text") return;
  auto range = document->selection().createRange();
  if (!range) return;
  const std::string text = range->text();
  const std::string html = range->htmlText();
  if (!clipboard::OpenClipboard()) {
    // Another copy holds the clipboard open; the user can copy again.
    std::fprintf(stderr, "vellumtrace: the copy found the clipboard busy (error %u)\n",
                 static_cast<unsigned>(clipboard::GetClipboardError()));
    return;
  }
  clipboard::EmptyClipboard();
  if (!html.empty()) {
    clipboard::SetClipboardData(clipboard::RegisterClipboardFormat("HTML Format"),
                                clipboard::BuildClipboardHtml(html));
  }
  if (!text.empty()) clipboard::SetClipboardData(clipboard::CF_TEXT, text);
  clipboard::CloseClipboard();  // the observer publishes the new contents
}

}  // namespace vt::shell
