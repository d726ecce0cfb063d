// The element tree and the page: locating elements from descriptors, the selection mark and the
// small element operations of the band's commands.
#include <string>

#include "core/myDOM.h"
#include "platform/dom/document.h"
#include "platform/dom/style.h"

namespace vt {

std::int32_t TmyDOM::MarkObject(const DocumentRef& document, const std::string& border,
                                const Tnode* d) {
  if (!d || !document) return 0;
  std::int32_t result = 0;
  auto locate = [&](const dom::ElementPtr& element, bool draw) {
    CurrentElement = element;
    result = element->sourceIndex();
    if (draw && FilterMode) element->style().setBorder(border);
  };
  try {
    dom::ElementCollection tables = document->tags("TABLE");
    if (d->Table > 0 && d->Row == 0 && tables.length() >= d->Table) {
      locate(tables.item(d->Table - 1), true);
    }
    if (d->Table > 0 && d->Row > 0 && d->Col == 0) {
      if (dom::ElementPtr table = tables.item(d->Table - 1)) {
        if (dom::ElementPtr row = table->rows().item(d->Row - 1)) locate(row, false);
      }
    }
    if (d->Table > 0 && d->Row > 0 && d->Col > 0) {
      if (dom::ElementPtr table = tables.item(d->Table - 1)) {
        if (dom::ElementPtr row = table->rows().item(d->Row - 1)) {
          dom::ElementCollection cells = row->cells();
          if (cells.length() >= d->Col) locate(cells.item(d->Col - 1), true);
        }
      }
    }
    if (d->Image > 0) {
      dom::ElementCollection images = document->images();
      if (images.length() >= d->Image) locate(images.item(d->Image - 1), true);
    }
    if (d->Link > 0) {
      dom::ElementCollection links = document->links();
      if (links.length() >= d->Link) locate(links.item(d->Link - 1), true);
    }
  } catch (const std::exception& e) {
    LogError(e, "Mark object");
  }
  return result;
}

ElementRef TmyDOM::MarkSelected(const DocumentRef& document, const Tnode* descriptor) {
  SelectedSourceIndex = MarkObject(document, SelectedBorder, descriptor);
  return SelectedSourceIndex > 0 ? CurrentElement : nullptr;
}

ElementRef TmyDOM::SelectElement(const DocumentRef& document, int index) {
  if (LastSelectedElement && FilterMode) {
    dom::Style style = LastSelectedElement->style();
    style.setBorderWidth(NeutralBorderWidth);
    style.setBorderColor(NeutralBorderColor);
    style.setBorderStyle(NeutralBorderStyle);
  }
  if (index < 0) return nullptr;
  Tnode* entry = Entry(index + 1);
  LastSelectedElement = MarkSelected(document, entry);
  LastSelectedEntry = entry;
  return LastSelectedElement;
}

void TmyDOM::SelectElementFromPage(const DocumentRef& document, TreeListRef tree,
                                   const ElementRef& element) {
  if (!FilterMode) return;
  SelectedIndex = -1;
  if (!element) {
    SelectElement(document, -1);
    return;
  }
  const int source_index = element->sourceIndex();
  int index = -1;
  for (int p = 1; p <= kMaxEntries; ++p) {
    const Tnode& entry = *Entries[p];
    if (entry.NamesElement() && entry.SourceIndex == source_index && entry.Frame == EventFrame) {
      index = p - 1;
      break;
    }
  }
  if (index >= 0) {
    Tnode& entry = *Entries[index + 1];
    if (tree && EntryCount >= 1 && index <= EntryCount) {
      SuppressTreeEvents = true;
      tree->CollapseAll();
      SuppressTreeEvents = false;
      if (tree->RootCount() >= 1 && entry.Node) tree->SetFocusedNode(entry.Node);
    }
    DocumentRef owner = document;
    if (entry.Frame != 0) owner = DocumentOfBrowser(GetFrameBrowser(document, entry.Frame - 1));
    SelectElement(owner, index);
  }
  SelectedIndex = index;
}

void TmyDOM::UnmarkBySourceIndex(const DocumentRef& document, std::int32_t source_index) {
  int found = 0;
  for (int p = 1; p <= EntryCount && p <= kMaxEntries; ++p) {
    if (Entries[p]->SourceIndex == source_index) found = p;
  }
  MarkObject(document, std::string(), Entries[found].get());
  if (CurrentElement) CurrentElement->style().setBorderWidth("0");
}

void TmyDOM::ClearMarks(const DocumentRef& document) {
  UnmarkBySourceIndex(document, SelectedSourceIndex);
  UnmarkBySourceIndex(document, HoverSourceIndex);
  SelectedIndex = -1;
}

std::string TmyDOM::GetPageBodyHtml() {
  DocumentRef document = WorkDocument ? WorkDocument : Document;
  if (!document) return {};
  if (SelectedIndex > 0) MarkObject(document, std::string(), Entry(SelectedIndex + 1));
  dom::ElementPtr body = document->body();
  std::string html = body ? body->innerHTML() : std::string();
  if (SelectedIndex > 0) MarkObject(document, SelectedBorder, Entry(SelectedIndex + 1));
  return html;
}

std::string TmyDOM::GetLinkHref(const ElementRef& element) {
  dom::ElementPtr at = element;
  for (int level = 0; at && level < 6; ++level) {
    if (at->Is("a") || at->Is("area")) return at->href();
    at = at->parentElement();
  }
  return {};
}

}  // namespace vt
