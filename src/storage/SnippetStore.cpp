#include "storage/SnippetStore.h"

#include <optional>
#include <stdexcept>

#include "core/myDOM.h"
#include "core/textutil.h"
#include "platform/ado/table.h"
#include "platform/dom/document.h"
#include "platform/dom/selection.h"
#include "platform/widgets/dbtreelist.h"
#include "publishing/ArticleCompiler.h"
#include "publishing/PageTemplate.h"
#include "storage/datamodule.h"
#include "storage/urlRecords.h"

namespace vt {
namespace {

ado::Table& Snippets(TmyDOM& s) {
  if (!s.SNIPPETS || !s.SNIPPETS->Active())
    throw std::runtime_error("The snippet table is not open.");
  return *s.SNIPPETS;
}

bool IsWriting(const ado::Table& t) {
  return t.State() == ado::DataSetState::Insert || t.State() == ado::DataSetState::Edit;
}

std::string LocationUrl(TmyDOM& s) {
  return s.Browser ? s.Browser->LocationURL() : std::string();
}

// Sets the parent key from the focused node before a save. A negative key left behind by a
// replace is not reused without a focused node: it would overwrite a snippet nobody chose.
void ParentFromFocus(TmyDOM& s) {
  widgets::DBTreeList* tree = SnippetTreeOf(s);
  if (tree && tree->FocusedNode()) {
    s.ParentKey = tree->FocusedKey();
  } else if (s.ParentKey && *s.ParentKey < 0) {
    s.ParentKey.reset();
  }
}

void RefocusAfterSave(TmyDOM& s) {
  if (s.ParentKey) RefocusSnippetTree(s, *s.ParentKey);
}

// The document of the selected element's frame, else the top document.
DocumentRef SelectedDocument(TmyDOM& s) {
  const Tnode* entry = s.Entry(s.SelectedIndex + 1);
  if (entry && entry->Frame > 0) {
    BrowserRef frame = TmyDOM::GetFrameBrowser(s.Document, entry->Frame - 1);
    if (DocumentRef d = TmyDOM::DocumentOfBrowser(frame)) return d;
  }
  return s.Document;
}

std::optional<Tnode> SelectedEntry(TmyDOM& s) {
  const Tnode* entry = s.SelectedIndex >= 0 ? s.Entry(s.SelectedIndex + 1) : nullptr;
  if (!entry) return std::nullopt;
  return *entry;
}

}  // namespace

widgets::DBTreeList* SnippetTreeOf(TmyDOM& s) {
  return dynamic_cast<widgets::DBTreeList*>(s.SnippetTree);
}

bool RefocusSnippetTree(TmyDOM& s, std::int32_t key) {
  widgets::DBTreeList* tree = SnippetTreeOf(s);
  if (!tree) return false;
  widgets::TreeNode node = tree->FindNodeByKey(key);
  if (!node) return false;
  tree->ClearSelection();
  tree->MakeVisible(node);
  tree->SetFocusedNode(node);
  tree->Select(node);
  return true;
}

void AddSnippet(TmyDOM& s, const std::string& html, const std::string& name) {
  ado::Table& table = Snippets(s);
  const std::string location = LocationUrl(s);
  const std::int32_t url_id = RecordUrl(s, location);
  const bool replace = s.ParentKey && *s.ParentKey < 0;
  const bool child = s.ParentKey && *s.ParentKey > 0;

  if (replace) {
    // The row to overwrite is the snippet the key names, wherever the cursor stands.
    const std::int32_t target = -*s.ParentKey;
    bool on_row = !table.Eof() && table.FieldByName("ID").AsInteger() == target;
    if (!on_row && !table.Locate("ID", ado::Variant(target)))
      throw std::runtime_error("The snippet to replace (ID " + std::to_string(target) +
                               ") no longer exists.");
    table.Edit();
  } else {
    table.Insert();
  }
  std::string title;
  try {
    table.FieldByName("DateCreated").SetValue(ado::Variant(ado::DateTime::Now()));
    if (child && s.BlankSnippet) {
      table.FieldByName("Parent_ID").SetValue(ado::Variant(*s.ParentKey));
    } else if (child || replace) {
      if (!name.empty()) {
        title = name;
      } else if (s.Document) {
        title = s.Document->title();
      }
      table.FieldByName("URL_ID").SetValue(ado::Variant(url_id));
      table.FieldByName("Domain").SetValue(ado::Variant(HostOfUrl(location)));
      table.FieldByName("Title").SetValue(ado::Variant(title));
      if (child) table.FieldByName("Parent_ID").SetValue(ado::Variant(*s.ParentKey));
    }
    s.BlankSnippet = false;
    table.FieldByName("Name").SetValue(ado::Variant(title.empty() ? kNewSnippetName : title));
    table.Post();
  } catch (...) {
    if (IsWriting(table)) table.Cancel();
    throw;
  }
  s.LastSnippetID = table.FieldByName("ID").AsInteger();

  const std::string base_url = s.WorkDocument ? s.WorkDocument->URL() : location;
  std::string page = WrapInPageTemplate(&s, html, title, base_url);

  // The cursor is still on the posted row; a filter that hides the new row must not cost it its
  // content, so the row is only looked up when the cursor moved.
  bool found = !table.Eof() && table.FieldByName("ID").AsInteger() == s.LastSnippetID;
  if (!found) found = table.Locate("ID", ado::Variant(s.LastSnippetID));
  if (!found) return;

  // The page goes through an invisible document once, as a browser would read it back, and its
  // pictures are pointed at local copies (or the placeholder) so the snippet outlives the web.
  DocumentRef scratch = dom::Document::Create("about:blank");
  if (dom::ElementPtr body = scratch->body()) {
    body->setInnerHTML(page);
    s.FixImageLinks(scratch);
    page = WrapInPageTemplate(&s, body->innerHTML(), title, base_url);
  }
  table.Edit();
  try {
    table.FieldByName("Snippet").SetValue(ado::Variant(page));
    table.Post();
  } catch (...) {
    if (IsWriting(table)) table.Cancel();
    throw;
  }
  s.SetStatusText("Snippet saved as \"" + table.FieldByName("Name").AsString() + "\"");
}

void SavePageAsSnippet(TmyDOM& s) {
  const std::string html = s.GetPageBodyHtml();
  ParentFromFocus(s);
  AddSnippet(s, html, std::string());
  RefocusAfterSave(s);
}

void SaveSelectionAsSnippet(TmyDOM& s) {
  DocumentRef document = SelectedDocument(s);
  if (!document) throw std::runtime_error("There is no page to take the selection from.");
  auto range = document->selection().createRange();
  std::string text = range ? range->text() : std::string();
  const std::string name = CleanText(ado::CutToChars(text, 50));
  const std::string html = range ? range->htmlText() : std::string();
  ParentFromFocus(s);
  AddSnippet(s, html, name);
  RefocusAfterSave(s);
}

void SaveItemAsSnippet(TmyDOM& s) {
  // A copy: building a group's page lets messages run, and a new parse may replace the entries.
  const std::optional<Tnode> entry = SelectedEntry(s);
  if (!entry) return;
  std::string html;
  if (!entry->NamesElement()) {
    // A frame or an all-images/tables/links entry names no single element; its filter page is
    // what the user sees of it.
    html = s.BuildElementPage(*entry).html;
  } else {
    html = s.GetObjectHTML(SelectedDocument(s), &*entry);
  }
  ParentFromFocus(s);
  AddSnippet(s, html, entry->Text);
  RefocusAfterSave(s);
}

void SaveFilterEntryAsSnippet(TmyDOM& s) {
  const std::optional<Tnode> entry = SelectedEntry(s);
  if (!entry) return;
  const TmyDOM::ElementPage element = s.BuildElementPage(*entry);
  ParentFromFocus(s);
  AddSnippet(s, element.html, element.title);
  RefocusAfterSave(s);
}

void PreviewSnippet(TmyDOM& s) {
  widgets::DBTreeList* tree = SnippetTreeOf(s);
  if (!tree || tree->Dragging() || !tree->FocusedNode()) return;
  const std::int32_t id = tree->FocusedKey();
  if (!s.SNIPPETS || !s.SNIPPETS->Active() ||
      s.SNIPPETS->LookupValue("ID", {ado::Variant(id)}, "ID").IsNull())
    return;
  if (!s.SnippetPreview) return;
  if (s.SnippetPreview->Busy()) {
    s.SetStatusText("Snippet preview is busy...");
    s.SnippetPreview->Stop();
  } else {
    s.SnippetPreview->Navigate(SnippetViewUrl(&s, id));
  }
}

void FocusSnippet(TmyDOM& s, std::int32_t id) {
  if (id <= 0) return;
  widgets::DBTreeList* tree = SnippetTreeOf(s);
  if (!tree) return;
  widgets::TreeNode node = tree->FindNodeByKey(id);
  if (!node) return;
  tree->MakeVisible(node);
  tree->Select(node);
  tree->SetFocusedNode(node);
}

bool RenameSnippet(TmyDOM& s, std::int32_t id, const std::string& name) {
  if (name.empty() || id <= 0) return false;
  ExecuteSQL(s,
             "Update SNIPPETS Set Name = " + QuotedSql(name) + " WHERE ID = " + std::to_string(id));
  if (s.SNIPPETS && s.SNIPPETS->Active()) s.SNIPPETS->Requery();
  return true;
}

bool MoveSnippetToRoot(TmyDOM& s, std::int32_t id) {
  ado::Table& table = Snippets(s);
  if (!table.Locate("ID", ado::Variant(id))) return false;
  table.Edit();
  try {
    table.FieldByName("Parent_ID").SetValue(ado::Variant(0));
    table.Post();
  } catch (...) {
    if (IsWriting(table)) table.Cancel();
    throw;
  }
  RefocusSnippetTree(s, id);
  return true;
}

}  // namespace vt
