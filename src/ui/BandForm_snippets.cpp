// The Snippets tab: the snippet filter, the snippet tree's events and keys, renaming in place,
// the tree's menu with its enabling rules, and the preview tool bar. What happens to the rows is
// the snippet store's business; these commands choose the snippet, set where the next one goes
// and look after the tree afterwards.
#include <cctype>
#include <utility>

#include "core/textutil.h"
#include "platform/ado/table.h"
#include "platform/dom/document.h"
#include "platform/dom/selection.h"
#include "platform/msgloop/message_loop.h"
#include "platform/widgets/cursor.h"
#include "publishing/ArticleCompiler.h"
#include "publishing/SnippetEditor.h"
#include "storage/SnippetProperties.h"
#include "storage/SnippetStore.h"
#include "storage/datamodule.h"
#include "storage/help_page.h"
#include "storage/urlRecords.h"
#include "ui/BandForm.h"

namespace vt {

namespace {

constexpr int kSnippetFilterThreshold = 1;  // runs on the second tick after the last request

enum SnippetFilterField { kFieldNone = 0, kFieldDomain = 1, kFieldName = 2, kFieldContent = 3 };

std::string Upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

}  // namespace

void TBandForm::BuildSnippetTab() {
  DBTL1.SetMultiSelect(true);
  DBTL1.SetShowHeader(false);
  DBTL1.SetColumns({{"Name", true, 0}, {"ID", false, 0}});
  DBTL1.SetKeyField("ID");
  DBTL1.SetParentField("Parent_ID");
  DBTL1.SetDisplayField("Name");
  DBTL1.SetLayoutKey(std::string(kGridLayoutKey));
  DBTL1.OnClick = [this](widgets::Control&) { SnippetTreeSelectionChanged(); };
  DBTL1.OnFocusedNodeChanged = [this](widgets::TreeList&, widgets::TreeNode, widgets::TreeNode) {
    SnippetTreeSelectionChanged();
  };
  DBTL1.OnDblClick = [this](widgets::Control&) {
    widgets::TreeNode node = DBTL1.FocusedNode();
    if (node && !node.HasChildren() && session_.Browser)
      session_.Browser->Navigate(SnippetViewUrl(&session_, DBTL1.FocusedKey()));
  };
  DBTL1.OnKeyDown = [this](widgets::Control&, widgets::KeyEvent& key) { SnippetTreeKeyDown(key); };
  // The tree's own editor never shows: its edit gesture opens the form's rename box instead.
  DBTL1.OnEditing = [this](widgets::TreeList&, widgets::TreeNode, bool& allow) {
    allow = false;
    StartSnippetRename();
  };
  DBTL1.OnContextPopup = [this](widgets::Control&, widgets::Point p) {
    Popup_TvSnippets.Popup(p.x, p.y);
  };

  Edit7.Hide();
  Edit7.OnKeyDown = [this](widgets::Control&, widgets::KeyEvent& key) {
    if (key.key == widgets::Key::Enter) {
      key.key = widgets::Key::None;
      FinishSnippetRename();
    } else if (key.key == widgets::Key::Escape) {
      key.key = widgets::Key::None;
      Edit7.SetText("");
      FinishSnippetRename();
      DBTL1.SetFocus();
    }
  };
  Edit7.OnExit = [this](widgets::Control&) { FinishSnippetRename(); };

  RegCombo1.OnKeyDown = [this](widgets::Control&, widgets::KeyEvent& key) {
    SnippetFilterBoxKeyDown(key);
  };
  RegCombo1.OnSelect = [this](widgets::Control&) { RequestSnippetFilter(); };
  Drop_SnippetFilterField.OnChange = [this](widgets::Control&) { SnippetFilterFieldChange(); };

  btnPreview.OnClick = [this](widgets::Control&) { PreviewSnippet(session_); };
  btnPrintSnippet.OnClick = [this](widgets::Control&) {
    widgets::HourGlass wait;
    wb3.Browser().ExecWB(browser::OLECMDID_PRINT, browser::OLECMDEXECOPT_DODEFAULT);
  };
  BuildSnippetMenu();
}

void TBandForm::BuildSnippetMenu() {
  auto& m = Popup_TvSnippets;
  auto on = [](widgets::MenuItem* item, std::function<void()> fn) {
    item->OnClick = [fn = std::move(fn)](widgets::Control&) { fn(); };
    return item;
  };
  widgets::MenuItem* view = m.Add("&View ...", 0, "SnView");
  on(view->Add("In new Window", 0, "SnViewNewWindow"), [this] {
    if (!DBTL1.FocusedNode()) return;
    SaveUIState();
    ViewSnippetInNewWindow(session_, DBTL1.FocusedKey());
  });
  on(view->Add("In this Window", 0, "SnViewThisWindow"), [this] {
    if (DBTL1.FocusedNode() && session_.Browser)
      session_.Browser->Navigate(SnippetViewUrl(&session_, DBTL1.FocusedKey()));
  });
  on(view->Add("Preview", 0, "SnPreview"), [this] { PreviewSnippet(session_); });
  widgets::MenuItem* edit = m.Add("&Edit ...", 0, "SnEdit");
  on(edit->Add("&Snippet", 0, "SnEditSnippet"),
     [this] { OpenSnippetEditor(session_, DBTL1.FocusedKey()); });
  on(edit->Add("&Name", 0, "SnName"), [this] { StartSnippetRename(); });
  on(edit->Add("&Copy", 0, "SnCopy"), [this] { CopyFocusedSnippet(); });
  on(edit->Add("&Delete", 0, "SnDelete"), [this] { DeleteSelectedSnippets(); });
  widgets::MenuItem* add = m.Add("&Add ...", 0, "SnAdd");
  on(add->Add("&This Page", 0, "SnThisPage"), [this] { SavePageAsSnippet(session_); });
  on(add->Add("Selected Item", 0, "SnSelectedItem"), [this] { SaveItemAsSnippet(session_); });
  on(add->Add("Selected Text", 0, "SnSelectedText"), [this] { SaveSelectionAsSnippet(session_); });
  on(add->Add("&Root Snippet", 0, "SnRootSnippet"), [this] { AddRootSnippet(); });
  on(add->Add("Empty &Snippet", 0, "SnEmptySnippet"), [this] { AddEmptySnippet(); });
  on(add->Add("Replace Snippet", 0, "SnReplace"), [this] {
    session_.ParentKey = -DBTL1.FocusedKey();
    AddSnippet(session_, session_.GetPageBodyHtml(), std::string());
  });
  m.Items().AddSeparator();
  on(m.Add("Move to Root", 0, "SnMoveToRoot"), [this] {
    if (DBTL1.FocusedNode()) MoveSnippetToRoot(session_, DBTL1.FocusedKey());
  });
  on(m.Add("Visit Source", 0, "SnVisitSource"), [this] {
    if (!DBTL1.FocusedNode() || !session_.SNIPPETS || !session_.SNIPPETS->Active()) return;
    ado::Variant url_id =
        session_.SNIPPETS->LookupValue("ID", {ado::Variant(DBTL1.FocusedKey())}, "URL_ID");
    if (url_id.IsNull()) return;
    const std::string url = GetUrlById(session_, url_id.AsInteger());
    if (!url.empty() && session_.Browser) session_.Browser->Navigate(url);
  });
  on(m.Add("&Compile to Article", 0, "SnCompile"), [this] {
    if (DBTL1.FocusedNode()) CompileSnippetsInNewWindow(session_, DBTL1.FocusedKey());
  });
  on(m.Add("&Send via E-mail", 0, "SnSendMail"), [this] { MailFocusedSnippet(); });
  m.Items().AddSeparator();
  on(m.Add("Expand All", 0, "SnExpandAll"), [this] { DBTL1.ExpandAll(); });
  on(m.Add("Collapse All", 0, "SnCollapseAll"), [this] { DBTL1.CollapseAll(); });
  m.Items().AddSeparator();
  on(m.Add("Properties", 0, "SnProperties"), [this] { ShowSnippetProperties(); });
  on(m.Add("Help", 0, "SnHelp"), [this] { ShowHelp(storage::kHelpSnippetTree); });
  m.OnPopup = [this](widgets::Control&) { SnippetMenuPopup(); };
}

void TBandForm::SnippetMenuPopup() {
  auto item = [this](const char* name) { return Popup_TvSnippets.Items().FindByName(name); };
  const bool focused = static_cast<bool>(DBTL1.FocusedNode());
  for (const char* name : {"SnView", "SnEdit", "SnMoveToRoot", "SnVisitSource", "SnCompile",
                           "SnSendMail", "SnExpandAll", "SnCollapseAll", "SnProperties"}) {
    if (auto* i = item(name)) i->SetEnabled(focused);
  }
  bool page_text = false;
  bool selected_text = false;
  if (const DocumentRef& doc = session_.WorkDocument) {
    page_text = doc->body() && (doc->tags("P").length() > 0 || doc->tags("BR").length() > 0);
    selected_text = Upper(doc->selection().type()) == "TEXT";
  }
  if (auto* i = item("SnThisPage")) i->SetEnabled(page_text);
  if (auto* i = item("SnSelectedText")) i->SetEnabled(selected_text);
  if (auto* i = item("SnSelectedItem"))
    i->SetEnabled(session_.FilterMode && session_.SelectedIndex >= 0);
  for (const char* name : {"SnAdd", "SnRootSnippet", "SnEmptySnippet", "SnReplace", "SnHelp"}) {
    if (auto* i = item(name)) i->SetEnabled(true);
  }
}

void TBandForm::ApplySnippetFilter() {
  led6.SetColor(widgets::LedColor::Red);
  bool box_enabled = true;
  msgloop::ProcessMessages();
  const std::string text = RegCombo1.Text();
  std::string expression;
  switch (Drop_SnippetFilterField.ItemIndex()) {
    case kFieldDomain: {
      const std::string host = HostOfUrl(LocationUrl());
      expression = "Domain = " + QuotedSql(host.empty() ? "***" : host) + " ";
      box_enabled = false;
      break;
    }
    case kFieldName:
      if (!text.empty()) expression = "Name like " + QuotedSql("%" + text + "%") + " ";
      break;
    case kFieldContent:
      if (!text.empty()) expression = "Snippet like " + QuotedSql("%" + text + "%") + " ";
      break;
    default:
      break;
  }
  RegCombo1.SetEnabled(box_enabled);
  if (session_.SNIPPETS && session_.SNIPPETS->Active() &&
      expression != session_.SNIPPETS->Filter()) {
    session_.SNIPPETS->SetFilter(expression);
    DBTL1.FullRefresh();
  }
  FocusSnippet(session_, registry_.ReadIntegerDefault(settings::SNIPPET_selected,
                                                      settings::kSNIPPET_selectedDefault));
  led6.SetColor(widgets::LedColor::Green);
}

void TBandForm::SnippetFilterFieldChange() {
  ApplySnippetFilter();
  DBTL1.SetFocus();
}

void TBandForm::RequestSnippetFilter() {
  snippet_filter_request_ = true;
  snippet_filter_counter_ = 0;
}

bool TBandForm::SnippetFilterTick() {
  if (!snippet_filter_request_ || ++snippet_filter_counter_ <= kSnippetFilterThreshold)
    return false;
  snippet_filter_request_ = false;
  snippet_filter_counter_ = 0;
  ApplySnippetFilter();
  return true;
}

void TBandForm::SnippetFilterBoxKeyDown(widgets::KeyEvent& key) {
  if (key.key != widgets::Key::Enter) return;
  const std::string text = RegCombo1.Text();
  RegCombo1.AddToHistory();
  if (RegCombo1.Text() != text) {
    RegCombo1.SetText(text);
    RegCombo1.SetSelStart(widgets::Utf8Length(text));
  }
  RequestSnippetFilter();
  key.key = widgets::Key::None;
}

void TBandForm::SnippetTreeSelectionChanged() {
  if (DBTL1.Dragging()) return;
  if (session_.SNIPPETS && session_.SNIPPETS->State() == ado::DataSetState::Insert) return;
  snippet_selection_counter_ = 0;
  session_.SnippetSelectionChanged = true;
}

void TBandForm::SnippetTreeKeyDown(widgets::KeyEvent& key) {
  switch (key.key) {
    case widgets::Key::Delete:
      if (!(DBTL1.IsEditing() && !DBTL1.EditText().empty())) DeleteSelectedSnippets();
      break;
    case widgets::Key::Insert:
      AddEmptySnippet();
      break;
    case widgets::Key::F2:
      StartSnippetRename();
      break;
    case widgets::Key::Enter:
      if (widgets::TreeNode node = DBTL1.FocusedNode()) {
        if (node.Expanded()) {
          node.Collapse();
        } else {
          node.Expand();
        }
      }
      break;
    default:
      break;
  }
}

void TBandForm::StartSnippetRename() {
  widgets::TreeNode node = DBTL1.FocusedNode();
  if (!node) return;
  rename_key_ = node.Value();
  Edit7.SetText(node.Text());
  Edit7.PlaceOver(DBTL1.Id(), node.Id());
  Edit7.Show();
  Edit7.SelectAll();
  Edit7.SetFocus();
}

void TBandForm::FinishSnippetRename() {
  if (!Edit7.Visible()) return;  // finished already (Enter, then leaving the box)
  Edit7.Hide();
  Edit7.PlaceOver(DBTL1.Id(), 0);
  const std::string text = Edit7.Text();
  // The rename ends on the node it began on: leaving the box by clicking another node moves the
  // focus there first, and that snippet must keep its name.
  const int id = std::exchange(rename_key_, 0);
  if (text.empty()) return;
  widgets::TreeNode node = DBTL1.FindNodeByKey(id);
  if (!node) return;
  node.SetText(text);
  if (id > 0) {
    RenameSnippet(session_, id, text);
    DBTL1.SetFocus();
  }
}

void TBandForm::DeleteSelectedSnippets() {
  if (widgets::MessageBox("Delete selected snippets and all snippets below it?", "Confirm",
                          widgets::MessageIcon::Warning,
                          widgets::MessageButtons::YesNo) != widgets::ModalResult::Yes)
    return;
  // The node before the first selected node in display order (the focused node without a
  // selection).
  widgets::TreeNode first;
  DBTL1.ForEachNode([&](const widgets::TreeNode& n) {
    if (n.Selected()) {
      first = n;
      return false;
    }
    return true;
  });
  if (!first) first = DBTL1.FocusedNode();
  const int before = first && first.Prev() ? first.Prev().Value() : 0;
  DBTL1.DeleteSelection();
  if (widgets::TreeNode n = before ? DBTL1.FindNodeByKey(before) : widgets::TreeNode()) {
    DBTL1.MakeVisible(n);
    DBTL1.SetFocusedNode(n);
    DBTL1.Select(n);
  }
  DBTL1.SetFocus();
}

void TBandForm::AddRootSnippet() {
  session_.ParentKey.reset();
  AddSnippet(session_, std::string(), std::string());
  widgets::TreeNode node = DBTL1.FindNodeByKey(DBTL1.FocusedKey());
  if (!node) return;
  DBTL1.ClearSelection();
  DBTL1.MakeVisible(node);
  DBTL1.SetFocusedNode(node);
  DBTL1.Select(node);
  StartSnippetRename();
}

void TBandForm::AddEmptySnippet() {
  if (DBTL1.FocusedNode()) {
    session_.ParentKey = DBTL1.FocusedKey();
  } else {
    session_.ParentKey.reset();
  }
  session_.BlankSnippet = true;
  AddSnippet(session_, std::string(), std::string());
  widgets::TreeNode node = DBTL1.FindNodeByKey(DBTL1.FocusedKey());
  if (!node) return;
  DBTL1.ClearSelection();
  DBTL1.MakeVisible(node);
  DBTL1.SetFocusedNode(node);
  DBTL1.Select(node);
  StartSnippetRename();
}

void TBandForm::ShowSnippetProperties() {
  if (session_.URL && session_.URL->Active()) session_.URL->Requery();
  TfrmSnipProperties dialog(session_, DBTL1.FocusedKey());
  dialog.ShowModal();
  DBTL1.SetFocus();
}

}  // namespace vt
