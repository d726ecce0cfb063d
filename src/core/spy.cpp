// The page's clicks and mouse moves: the event sinks on the page's documents, spy texts, the
// outline of the element under the mouse, selecting an element from the page, and the page's own
// context menu in filter mode.
#include <string>

#include "core/BrowserEvents.h"
#include "core/myDOM.h"
#include "platform/dom/document.h"
#include "platform/dom/style.h"
#include "platform/text/utf8.h"
#include "platform/widgets/menu.h"

namespace vt {

namespace {

bool HasFrameset(const DocumentRef& document) {
  return document->tags("FRAMESET").length() > 0;
}

long FrameCount(const DocumentRef& document) {
  const auto& window = document->parentWindow();
  return window ? window->framesLength() : 0;
}

// The first `count` characters of UTF-8 `text`.
std::string FirstCharacters(const std::string& text, std::size_t count) {
  std::size_t i = 0;
  for (std::size_t n = 0; n < count && i < text.size(); ++n) {
    if (!text::DecodeUtf8(text, i)) ++i;  // an invalid byte counts as one character
  }
  return text.substr(0, i);
}

bool IsHoverTarget(const dom::ElementPtr& element) {
  return element->Is("form") || element->Is("td") || element->Is("img") || element->Is("table");
}

void SetIfDifferent(dom::Style& style, std::string (dom::Style::*get)() const,
                    void (dom::Style::*set)(std::string_view), const std::string& value) {
  if ((style.*get)() != value) (style.*set)(value);
}

}  // namespace

std::int32_t& LastHoverSourceIndex() {
  static std::int32_t last = 0;
  return last;
}

void TmyDOM::CreateDocumentSinks() {
  if (!ClickSink) {
    ClickSink = DispatchRef(
        com::MakeCom<TBrowserClick>([this](com::IDispatch*) { OnDocumentClick(); }).get());
  }
  if (!MouseMoveSink) {
    MouseMoveSink = DispatchRef(
        com::MakeCom<TBrowserMouseMove>([this](com::IDispatch*) { OnDocumentMouseMove(); }).get());
  }
}

void TmyDOM::AttachDocumentSinks(const DocumentRef& document, const std::string& mode) {
  if (!document) return;
  auto apply = [&](const DocumentRef& d) {
    if (!d) return;
    if (mode == "A") {
      if (ClickSink) d->attachEvent("onclick", ClickSink.get());
      if (MouseMoveSink) d->attachEvent("onmousemove", MouseMoveSink.get());
    } else {
      if (ClickSink) d->detachEvent("onclick", ClickSink.get());
      if (MouseMoveSink) d->detachEvent("onmousemove", MouseMoveSink.get());
    }
  };
  const long frames = FrameCount(document);
  if (HasFrameset(document)) {
    for (long n = 1; n <= frames; ++n) {
      apply(DocumentOfBrowser(GetFrameBrowser(document, static_cast<int>(n - 1))));
    }
  } else {
    apply(document);
  }
}

void TmyDOM::OnDocumentMouseMove() {
  if (!Document) return;
  try {
    auto handle = [&](const DocumentRef& d) {
      const auto& window = d ? d->parentWindow() : nullptr;
      const std::shared_ptr<dom::EventObject> event = window ? window->event() : nullptr;
      if (!event) return false;
      const dom::ElementPtr el = event->srcElement;
      MouseElement = el;
      if (!el) return true;
      if (SpyMode) {
        SetStatusText(el->tagName() + "  (" + FirstCharacters(el->innerHTML(), 60) + ")");
      }
      if (!FilterMode) return true;
      if (el->Is("body")) {
        HoverElement = nullptr;
        return true;
      }
      dom::ElementPtr h = el;
      while (h && !IsHoverTarget(h)) h = h->parentElement();
      if (!h) return true;
      HoverElement = h;
      const int si = h->sourceIndex();
      if (MouseBorders && si != SelectedSourceIndex) {
        dom::Style style = h->style();
        SetIfDifferent(style, &dom::Style::borderWidth, &dom::Style::setBorderWidth,
                       MouseBorderWidth);
        SetIfDifferent(style, &dom::Style::borderColor, &dom::Style::setBorderColor,
                       MouseBorderColor);
        SetIfDifferent(style, &dom::Style::borderStyle, &dom::Style::setBorderStyle,
                       MouseBorderStyle);
      }
      std::int32_t& last = LastHoverSourceIndex();
      if (si != last && OutlinedElement && last != 0 && last != SelectedSourceIndex &&
          MouseBorders) {
        OutlinedElement->style().setBorderWidth("0");
      }
      OutlinedElement = h;
      last = si;
      HoverSourceIndex = si;
      return true;
    };
    EventFrame = 0;
    const long frames = FrameCount(Document);
    if (HasFrameset(Document)) {
      for (long i = 0; i < frames; ++i) {
        DocumentRef d = DocumentOfBrowser(GetFrameBrowser(Document, static_cast<int>(i)));
        const auto& window = d ? d->parentWindow() : nullptr;
        if (window && window->event()) {
          EventFrame = static_cast<std::int32_t>(i + 1);
          handle(d);
        }
      }
    } else {
      handle(Document);
    }
  } catch (const std::exception& e) {
    LogError(e, "WBMove");
  }
}

void TmyDOM::OnDocumentClick() {
  RefreshDocuments();
  bool selected = false;
  if (WorkDocument) {
    dom::Selection& selection = WorkDocument->selection();
    if (selection.type() != "None") {
      if (auto range = selection.createRange()) selected = !range->htmlText().empty();
    }
  }
  if (FilterMode && GetLinkHref(MouseElement).empty() && !selected && Document) {
    SelectElementFromPage(Document, FilterTree, HoverElement);
    SuppressTreeEvents = false;
  }
}

widgets::MenuItem* TmyDOM::FindMenuItemByTag(int tag) {
  if (!PopupMenu) return nullptr;
  widgets::MenuItem& root = PopupMenu->Items();
  for (std::size_t i = 0; i < root.Count(); ++i) {
    widgets::MenuItem* top = root.Item(i);
    for (std::size_t j = 0; j < top->Count(); ++j) {
      if (top->Item(j)->Tag() == tag) return top->Item(j);
    }
    if (top->Tag() == tag) return top;
  }
  return nullptr;
}

void TmyDOM::ShowPageContextMenu(int x, int y) {
  WorkDocument = EventFrame > 0 && Document
                     ? DocumentOfBrowser(GetFrameBrowser(Document, EventFrame - 1))
                     : Document;
  if (!PopupMenu) return;
  if (FilterMode) {
    auto set = [&](std::initializer_list<int> tags, void (widgets::MenuItem::*fn)(bool),
                   bool value) {
      for (int tag : tags) {
        if (widgets::MenuItem* item = FindMenuItemByTag(tag)) (item->*fn)(value);
      }
    };
    set({6, 7, 8, 10, 11, 12, 13, 14, 20}, &widgets::MenuItem::SetVisible, true);
    set({1, 4, 6, 7, 8, 10, 11, 12, 13, 14, 21, 22}, &widgets::MenuItem::SetEnabled, false);
    std::string selection_type = "NONE";
    if (WorkDocument) {
      selection_type = WorkDocument->selection().type();
      for (char& c : selection_type)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    const dom::ElementPtr body = WorkDocument ? WorkDocument->body() : nullptr;
    const Tnode* selected_entry = Entry(SelectedIndex + 1);
    set({1}, &widgets::MenuItem::SetEnabled, !GetLinkHref(MouseElement).empty());
    set({7}, &widgets::MenuItem::SetEnabled, body && !body->innerHTML().empty());
    set({13, 10, 6, 12}, &widgets::MenuItem::SetEnabled, FilterMode && SelectedIndex >= 0);
    set({8, 14, 22}, &widgets::MenuItem::SetEnabled, selection_type == "TEXT");
    set({4, 11}, &widgets::MenuItem::SetEnabled, selection_type != "NONE");
    set({21}, &widgets::MenuItem::SetEnabled,
        SelectedIndex >= 0 && selected_entry && selected_entry->Table > 0);
  }
  PopupMenu->Popup(x, y);
}

}  // namespace vt
