// Filter views: one element of a page, or all images, tables or links of one of its documents,
// cut out as a page of its own.
#include <string>

#include "core/myDOM.h"
#include "core/privatehost.h"
#include "platform/dom/document.h"
#include "platform/dom/style.h"
#include "platform/msgloop/message_loop.h"
#include "platform/widgets/treelist.h"
#include "publishing/PageTemplate.h"

namespace vt {

namespace {

BandActiveSwitch g_band_active_switch = nullptr;

// The outer HTML of `element` as it would read with border width 0; the element keeps its style.
std::string OuterHtmlWithoutBorder(const dom::ElementPtr& element) {
  dom::Style style = element->style();
  const std::string width = style.borderWidth();
  style.setBorderWidth("0");
  std::string html = element->outerHTML();
  style.setBorderWidth(width);
  return html;
}

enum class ListKind { kImages, kLinks, kTables };

// The collections of the document last cut from. Collections are live and refresh themselves
// when the document changes, so keeping them only saves rebuilding them for every element of a
// list page.
struct Collections {
  std::weak_ptr<dom::Document> document;
  dom::ElementCollection tables, images, links;
};

Collections& CollectionsOf(const DocumentRef& document) {
  static Collections cached;
  if (cached.document.lock() != document) {
    cached.document = document;
    cached.tables = document->tags("TABLE");
    cached.images = document->images();
    cached.links = document->links();
  }
  return cached;
}

}  // namespace

std::string FilterAddress(int window, int id) {
  return "http://" + std::string(kPrivateHost) + "/filter?window=" + std::to_string(window) +
         "&id=" + std::to_string(id);
}

void SetBandActiveSwitch(BandActiveSwitch set_active) {
  g_band_active_switch = set_active;
}

std::string TmyDOM::GetObjectHTML(const DocumentRef& document, const Tnode* d) {
  if (!d || !document) return "";
  std::string result;
  try {
    Collections& c = CollectionsOf(document);
    const dom::ElementCollection& tables = c.tables;
    if (d->Table > 0 && tables.length() >= 1 && d->Row == 0 && tables.length() >= d->Table) {
      result = OuterHtmlWithoutBorder(tables.item(d->Table - 1));
    }
    if (d->Table > 0 && d->Row > 0 && d->Col == 0) {
      if (dom::ElementPtr table = tables.item(d->Table - 1)) {
        dom::ElementCollection rows = table->rows();
        if (rows.length() >= d->Row) result = rows.item(d->Row - 1)->innerHTML();
      }
    }
    if (d->Table > 0 && d->Row > 0 && d->Col > 0) {
      if (dom::ElementPtr table = tables.item(d->Table - 1)) {
        if (dom::ElementPtr row = table->rows().item(d->Row - 1)) {
          dom::ElementCollection cells = row->cells();
          if (cells.length() >= d->Col) result = cells.item(d->Col - 1)->innerHTML();
        }
      }
    }
    if (d->Image > 0) {
      const dom::ElementCollection& images = c.images;
      if (images.length() >= d->Image) result = OuterHtmlWithoutBorder(images.item(d->Image - 1));
    }
    if (d->Link > 0) {
      const dom::ElementCollection& links = c.links;
      if (links.length() >= d->Link) {
        dom::ElementPtr link = links.item(d->Link - 1);
        // Written back, the address stands absolute in the mark-up.
        const std::string href = link->href();
        if (link->getAttribute("href") != href) link->setHref(href);
        result = OuterHtmlWithoutBorder(link);
      }
    }
  } catch (const std::exception& e) {
    LogError(e, "GetObjectHTML");
    return "";
  }
  return result;
}

TmyDOM::ElementPage TmyDOM::BuildElementPage(const Tnode& d) {
  DocumentRef document =
      d.Frame < 1 ? Document : DocumentOfBrowser(GetFrameBrowser(Document, d.Frame - 1));
  const std::string title = Document ? Document->title() : std::string();
  if (d.Image == -1) return {"All Images at " + title, ListAllImages(document, d.Frame)};
  if (d.Table == -1) return {"All Tables at " + title, ListAllTables(document, d.Frame)};
  if (d.Link == -1) return {"All Links at " + title, ListAllLinks(document, d.Frame)};
  if (d.Frame >= 1 && d.Table == 0 && d.Row == 0 && d.Col == 0 && d.Image == 0 && d.Link == 0) {
    std::string html;
    if (document && document->body()) html = document->body()->innerHTML();
    return {d.Text, html};
  }
  return {d.Text, GetObjectHTML(document, &d)};
}

namespace {

struct ListRule {
  std::string TmyDOM::*cache;
  const char* progress;  // "Finding all images... ("
  const char* found;     // " images"
  const char* none;      // "No images found."
  const char* separator;
  bool (*member)(const Tnode&);
};

const ListRule& RuleOf(ListKind kind) {
  static const ListRule kImages{&TmyDOM::AllImagesPage,
                                "Finding all images... (",
                                " images",
                                "No images found.",
                                "&nbsp;&nbsp;&nbsp;",
                                [](const Tnode& e) { return e.Image > 0; }};
  static const ListRule kLinks{&TmyDOM::AllLinksPage,
                               "Finding all links... (",
                               " links",
                               "No links found.",
                               "<p><p>",
                               [](const Tnode& e) { return e.Link > 0; }};
  static const ListRule kTables{
      &TmyDOM::AllTablesPage,
      "Finding all tables... (",
      " tables",
      "No tables found.",
      "<p><p>",
      [](const Tnode& e) { return e.Table > 0 && e.Row == 0 && e.Col == 0; }};
  switch (kind) {
    case ListKind::kImages:
      return kImages;
    case ListKind::kLinks:
      return kLinks;
    default:
      return kTables;
  }
}

std::string ListAll(TmyDOM& s, ListKind kind, const DocumentRef& document, int frame_number) {
  const ListRule& rule = RuleOf(kind);
  std::string& cache = s.*rule.cache;
  if (!cache.empty()) return cache;
  std::string result;
  int count = 0;
  for (int p = 1; p <= s.EntryCount && p <= kMaxEntries; ++p) {
    const Tnode* entry = s.Entry(p);
    if (!entry || entry->Frame != frame_number || !rule.member(*entry)) continue;
    result += s.GetObjectHTML(document, entry);
    result += rule.separator;
    ++count;
    if (count % 10 == 0) {
      msgloop::ProcessMessages();
      if (s.CancelRequested) return "";
      s.SetStatusText(rule.progress + std::to_string(count) + ")");
    }
  }
  cache = result;
  s.SetStatusText(result.empty() ? std::string(rule.none)
                                 : "Found " + std::to_string(count) + rule.found);
  return result;
}

}  // namespace

std::string TmyDOM::ListAllImages(const DocumentRef& document, int frame_number) {
  return ListAll(*this, ListKind::kImages, document, frame_number);
}
std::string TmyDOM::ListAllLinks(const DocumentRef& document, int frame_number) {
  return ListAll(*this, ListKind::kLinks, document, frame_number);
}
std::string TmyDOM::ListAllTables(const DocumentRef& document, int frame_number) {
  return ListAll(*this, ListKind::kTables, document, frame_number);
}

void TmyDOM::FilterItemInNewWindow() {
  OpenInNewWindow(FilterAddress(WindowNumber, SelectedIndex + 1));
}

void TmyDOM::PreviewFilterNode(TreeListRef tree) {
  if (SuppressTreeEvents || !tree) return;
  if (Browser && Browser->LocationURL() == "about:blank") return;
  const widgets::TreeNode node = tree->FocusedNode();
  if (!node.Valid()) return;
  SelectedIndex = node.Value();
  const Tnode* entry = Entry(SelectedIndex + 1);
  if (!entry) return;
  DocumentRef document =
      entry->Frame == 0 ? Document : DocumentOfBrowser(GetFrameBrowser(Document, entry->Frame - 1));
  SelectElement(document, SelectedIndex);
  const std::string address = FilterAddress(WindowNumber, SelectedIndex + 1);
  msgloop::ProcessMessages();
  if (!FilterPreview) return;
  if (FilterPreview->Busy()) {
    SetStatusText("Filter preview is busy...");
    FilterPreview->Stop();
  } else {
    FilterPreview->Navigate(address);
  }
}

void TmyDOM::FilterSelectionInNewWindow(const std::string& html) {
  const std::string page = std::string(kErrorScript) + html;
  // The new window is to get no band and no helper; the others keep theirs, so the switch is
  // raised again once the window stands.
  if (g_band_active_switch) g_band_active_switch(false);
  BrowserRef window = NewBrowserWindow();
  if (window) {
    window->Navigate("about:blank");
    msgloop::PumpUntil([&] { return !window->Busy(); }, msgloop::Milliseconds(5000));
    DocumentRef document = window->Document();
    if (document) {
      WriteHtmlToDocument(document, page);
      FixImageLinks(document);
    }
  }
  if (g_band_active_switch) g_band_active_switch(true);
}

}  // namespace vt
