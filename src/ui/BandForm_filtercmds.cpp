// The Filter tab's commands: the filter tree's menu, the page menu of filter mode, and the small
// commands built from browser and document calls (follow, select, copy, search, rename).
#include "core/textutil.h"
#include "platform/browser/web_browser.h"
#include "platform/widgets/cursor.h"
#include "publishing/MailClipboard.h"
#include "publishing/PageTemplate.h"
#include "storage/SnippetStore.h"
#include "storage/datamodule.h"
#include "ui/BandForm.h"

namespace vt {

namespace {

// The web search the page menu's search command opens: path "/search", query key "q".
constexpr const char* kWebSearchAddress = "https://www.bing.com/search?q=";

// The first `count` Unicode characters of UTF-8 text.
std::string FirstChars(const std::string& text, size_t count) {
  size_t i = 0;
  for (size_t chars = 0; i < text.size() && chars < count; ++chars) {
    const auto lead = static_cast<unsigned char>(text[i]);
    i += lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
  }
  return text.substr(0, std::min(i, text.size()));
}

std::string SelectionText(const DocumentRef& document) {
  if (!document) return {};
  return document->selection().createRange()->text();
}

}  // namespace

std::string WebSearchAddress(const std::string& selection) {
  std::string words = FirstChars(selection, 50);
  const auto first = words.find_first_not_of(' ');
  if (first == std::string::npos) return {};
  words = words.substr(first, words.find_last_not_of(' ') - first + 1);
  for (char& c : words) {
    if (c == ' ') c = '+';
  }
  return kWebSearchAddress + words;
}

void TBandForm::BuildFilterCommands() {
  // The filter tree's menu.
  tvf_filter_ = Popup_TvFilter.Add("&Filter in New Window", 0, "FilterInNewWindow");
  tvf_filter_->OnClick = [this](widgets::Control&) {
    SaveUIState();
    session_.FilterItemInNewWindow();
  };
  tvf_save_ = Popup_TvFilter.Add("&Save to Snippets", 0, "SaveToSnippets");
  tvf_save_->OnClick = [this](widgets::Control&) { SaveFilterEntryAsSnippet(session_); };
  tvf_mail_ = Popup_TvFilter.Add("Send via E-mail", 0, "SendViaEmail");
  tvf_mail_->OnClick = [this](widgets::Control&) { MailSelectedItem(session_); };
  tvf_copy_ = Popup_TvFilter.Add("&Copy to Clipboard", 0, "CopyToClipboard");
  tvf_copy_->OnClick = [this](widgets::Control&) { CopyItemToClipboard(session_); };
  Popup_TvFilter.Items().AddSeparator();
  Popup_TvFilter.Add("&Re-scan Page", 0, "RescanPage")->OnClick = [this](widgets::Control&) {
    session_.DocumentCompleted = true;
  };
  tvf_follow_ = Popup_TvFilter.Add("Follow Hyperlink", 0, "FollowHyperlink");
  tvf_follow_->OnClick = [this](widgets::Control&) { FollowHyperlink(); };
  Popup_TvFilter.Items().AddSeparator();
  tvf_expand_ = Popup_TvFilter.Add("&Expand all", 0, "ExpandAll");
  tvf_expand_->OnClick = [this](widgets::Control&) { tv.ExpandAll(); };
  tvf_collapse_ = Popup_TvFilter.Add("&Collapse all", 0, "CollapseAll");
  tvf_collapse_->OnClick = [this](widgets::Control&) { tv.CollapseAll(); };
  Popup_TvFilter.Items().AddSeparator();
  Popup_TvFilter.Add("Help", 0, "Help")->OnClick = [this](widgets::Control&) { ShowHelp(1005); };
  tv.OnContextPopup = [this](widgets::Control&, widgets::Point screen) {
    FilterTreeRightClick(screen);
  };

  btnPrintFilter.OnClick = [this](widgets::Control&) {
    widgets::HourGlass busy;
    wb2.Interface()->ExecWB(browser::OLECMDID_PRINT, browser::OLECMDEXECOPT_DODEFAULT);
  };
}

void TBandForm::BuildPageMenu() {
  // Items in menu order; the page session finds them by tag, the first match winning.
  Popup_IE_Filter.Add("Open in New Window", 1, "OpenInNewWindow")->OnClick =
      [this](widgets::Control&) {
        const std::string url = TmyDOM::GetLinkHref(session_.MouseElement);
        if (url.empty()) return;
        SaveUIState();
        session_.OpenInNewWindow(url);
      };
  Popup_IE_Filter.Items().AddSeparator();
  widgets::MenuItem* filter = Popup_IE_Filter.Add("Filter", 20, "PageFilter");
  filter->Add("Item in New Window", 10, "ItemInNewWindow")->OnClick = [this](widgets::Control&) {
    SaveUIState();
    session_.FilterItemInNewWindow();
  };
  filter->Add("Selection in New Window", 11, "SelectionInNewWindow")->OnClick =
      [this](widgets::Control&) { SelectionInNewWindow(); };
  filter->AddSeparator();
  filter->Add("Select Table", 21, "SelectTable")->OnClick = [this](widgets::Control&) {
    SelectTable();
  };
  filter->Add("Re-scan Page", 18, "RescanPage")->OnClick = [this](widgets::Control&) {
    session_.DocumentCompleted = true;
  };
  page_save_menu_ = Popup_IE_Filter.Add("Save", 5, "PageSave");
  page_save_menu_->Add("Item to Snippets", 6, "ItemToSnippets")->OnClick =
      [this](widgets::Control&) { SaveItemAsSnippet(session_); };
  page_save_menu_->Add("Page to Snippets", 7, "PageToSnippets")->OnClick =
      [this](widgets::Control&) { SavePageAsSnippet(session_); };
  page_save_menu_->Add("Selection to Snippets", 8, "SelectionToSnippets")->OnClick =
      [this](widgets::Control&) { SaveSelectionAsSnippet(session_); };
  Popup_IE_Filter.Items().AddSeparator();
  widgets::MenuItem* edit = Popup_IE_Filter.Add("Edit", 0, "PageEdit");
  page_copy_item_ = edit->Add("&Copy Selected Item", 13, "CopySelectedItem");
  page_copy_item_->OnClick = [this](widgets::Control&) { CopyItemToClipboard(session_); };
  edit->Add("Copy Selection", 4, "CopySelection")->OnClick = [this](widgets::Control&) {
    if (session_.Document && session_.Browser && session_.Document->queryCommandEnabled("Copy")) {
      session_.Browser->ExecWB(browser::OLECMDID_COPY, browser::OLECMDEXECOPT_PROMPTUSER);
    }
  };
  edit->Add("Google Search Selection", 22, "SearchSelection")->OnClick = [this](widgets::Control&) {
    const std::string address = WebSearchAddress(SelectionText(session_.WorkDocument));
    if (!address.empty()) session_.OpenInNewWindow(address);
  };
  edit->AddSeparator();
  edit->Add("Select All", 2, "SelectAll")->OnClick = [this](widgets::Control&) {
    if (session_.Browser) {
      session_.Browser->ExecWB(browser::OLECMDID_SELECTALL, browser::OLECMDEXECOPT_PROMPTUSER);
    }
  };
  edit->Add("View Source", 3, "ViewSource")->OnClick = [this](widgets::Control&) {
    session_.ViewSource(session_.WorkDocument, 2);
  };
  edit->Add("Set Selection as Snippet Title", 14, "SelectionAsSnippetTitle")->OnClick =
      [this](widgets::Control&) { SelectionAsSnippetTitle(); };
  page_send_menu_ = Popup_IE_Filter.Add("Send", 0, "PageSend");
  page_send_menu_->Add("Item via E-mail", 12, "ItemViaEmail")->OnClick = [this](widgets::Control&) {
    MailItemOfPage(session_);
  };
  Popup_IE_Filter.Items().AddSeparator();
  borders_item_ = Popup_IE_Filter.Add("Show Mouse Borders", 20, "ShowMouseBorders");
  borders_item_->OnClick = [this](widgets::Control&) { ShowMouseBordersClick(); };
  Popup_IE_Filter.OnPopup = [this](widgets::Control&) { session_.RefreshDocuments(); };
}

void TBandForm::FilterTreeRightClick(widgets::Point screen) {
  if (widgets::TreeNode node = tv.FocusedNode()) {
    session_.SelectedIndex = std::atoi(node.Text(1).c_str());
  }
  tvf_follow_->SetVisible(false);
  for (widgets::MenuItem* item :
       {tvf_filter_, tvf_copy_, tvf_save_, tvf_expand_, tvf_collapse_, tvf_mail_}) {
    item->SetEnabled(false);
  }
  const bool any = tv.NodeCount() > 0;
  if (session_.SelectedIndex >= 0 && any) {
    tvf_filter_->SetEnabled(true);
    tvf_copy_->SetEnabled(true);
    tvf_save_->SetEnabled(true);
    tvf_mail_->SetEnabled(true);
    const Tnode* entry = session_.Entry(session_.SelectedIndex + 1);
    tvf_follow_->SetVisible(entry && entry->Link > 0);
  }
  if (any) {
    tvf_expand_->SetEnabled(true);
    tvf_collapse_->SetEnabled(true);
  }
  Popup_TvFilter.Popup(screen.x, screen.y);
}

void TBandForm::SelectionInNewWindow() {
  const Tnode* entry =
      session_.SelectedIndex >= 0 ? session_.Entry(session_.SelectedIndex + 1) : nullptr;
  const int frame = entry ? entry->Frame : 0;
  DocumentRef document = session_.Document;
  if (frame > 0) {
    BrowserRef browser = TmyDOM::GetFrameBrowser(session_.Document, frame - 1);
    document = browser ? TmyDOM::DocumentOfBrowser(browser) : nullptr;
  }
  if (!document) return;
  auto range = document->selection().createRange();
  const std::string title = CleanText(FirstChars(range->text(), 50));
  const std::string page =
      WrapInPageTemplate(&session_, range->htmlText(), title,
                         session_.WorkDocument ? session_.WorkDocument->URL() : std::string());
  SaveUIState();
  session_.FilterSelectionInNewWindow(page);
}

void TBandForm::SelectTable() {
  if (session_.SelectedIndex <= 0) return;
  const Tnode* entry = session_.Entry(session_.SelectedIndex + 1);
  if (!entry || entry->Table <= 0) return;
  Tnode descriptor{};
  descriptor.Table = entry->Table;
  ElementRef element = session_.MarkSelected(session_.WorkDocument, &descriptor);
  session_.SelectElementFromPage(session_.Document, &tv, element);
}

void TBandForm::SelectionAsSnippetTitle() {
  const std::string title = CleanText(FirstChars(SelectionText(session_.Document), 50));
  const int id = DBTL1.FocusedKey();
  ado::Table* snippets = session_.SNIPPETS;
  if (!snippets || !snippets->Active() || id == 0 ||
      !snippets->Locate("ID", ado::Variant(static_cast<std::int64_t>(id)))) {
    return;
  }
  if (widgets::TreeNode node = DBTL1.FocusedNode()) node.SetText(0, title);
  ExecuteSQL(session_, "Update SNIPPETS Set Name = " + QuotedSql(title) +
                           " WHERE ID = " + std::to_string(id));
  snippets->Requery();
}

}  // namespace vt
