// The Search tab: the search field, the search box with its history, the candidate list and the
// result grid with their menus. Typing does not query: Enter or a choice from the box's list
// raises the search-list request, which the timer runs on its second tick.
#include "platform/browser/web_browser.h"
#include "platform/msgloop/message_loop.h"
#include "publishing/MailClipboard.h"
#include "search/UrlProperties.h"
#include "storage/help_page.h"
#include "storage/urlRecords.h"
#include "ui/BandForm.h"

namespace vt {

using widgets::LedColor;

void TBandForm::BuildSearchTab() {
  Drop_SearchFilterField.SetItems(SearchFieldItems());
  dxDBGrid3.SetColumns({{"Title", "Title", true, 0}, {"UrlID", "UrlID", false, 0}});
  dxDBGrid3.SetKeyField("UrlID");
  dxDBGrid3.SetPreviewField("URL");
  led5.SetColor(LedColor::Green);
  led5.SetLit(true);

  Drop_SearchFilterField.OnChange = [this](widgets::Control&) { SearchFieldChange(); };
  RegCombo2.OnKeyDown = [this](widgets::Control&, widgets::KeyEvent& key) {
    if (key.key != widgets::Key::Enter) return;
    key.key = widgets::Key::None;  // swallowed
    SearchBoxEnter();
  };
  RegCombo2.OnSelect = [this](widgets::Control&) { RaiseSearchListRequest(); };
  lb1.OnClick = [this](widgets::Control&) { RunSearch(); };
  lb1.OnDblClick = [this](widgets::Control&) { CandidateDblClick(); };
  lb1.OnContextPopup = [this](widgets::Control&, widgets::Point screen) {
    lb1.SetItemIndex(lb1.HotIndex());
    RunSearch();
    Popup_Search.Popup(screen.x, screen.y);
  };
  dxDBGrid3.OnDblClick = [this](widgets::Control&) { OpenSearchResult(); };
  dxDBGrid3.OnContextPopup = [this](widgets::Control&, widgets::Point screen) {
    Popup_SearchResults.Popup(screen.x, screen.y);
  };

  visit_item_ = Popup_SearchResults.Add("Visit Website", 0, "VisitWebsite");
  visit_item_->OnClick = [this](widgets::Control&) { OpenSearchResult(); };
  mail_link_item_ = Popup_SearchResults.Add("Send Link via Email", 0, "SendLinkViaEmail");
  mail_link_item_->OnClick = [this](widgets::Control&) {
    MailLink(session_, FocusedResultUrlId(), dxDBGrid3.FocusedValue(0).AsString());
  };
  properties_item_ = Popup_SearchResults.Add("Properties", 0, "Properties");
  properties_item_->OnClick = [this](widgets::Control&) { ShowUrlProperties(); };
  Popup_SearchResults.OnPopup = [this](widgets::Control&) { SearchMenusPopup(); };
  Popup_Search.Add("Help", 0, "SearchHelp")->OnClick = [this](widgets::Control&) {
    ShowHelp(storage::kHelpCandidateList);
  };
  Popup_Search.OnPopup = [this](widgets::Control&) { SearchMenusPopup(); };
}

void TBandForm::LoadSearchField() {
  // A value outside the list (an older build wrote -1) counts as "[None]".
  int index = registry_.ReadIntegerDefault(settings::Drop_SearchFilterField, 0);
  if (index < 0 || index >= static_cast<int>(Drop_SearchFilterField.Count())) index = 0;
  Drop_SearchFilterField.SetItemIndex(index);
}

void TBandForm::RaiseSearchListRequest() {
  search_list_request_ = true;
  search_list_counter_ = 0;
}

void TBandForm::SearchFieldChange() {
  dxDBGrid3.SetDataSource(nullptr);
  search_results_.Clear();
  SearchNow();
}

void TBandForm::SearchBoxEnter() {
  const std::string text = RegCombo2.Text();
  RegCombo2.AddToHistory();
  if (RegCombo2.Text() != text) {
    RegCombo2.SetText(text);
    RegCombo2.SetSelStart(widgets::Utf8Length(text));
  }
  RaiseSearchListRequest();
}

void TBandForm::SearchNow() {
  try {
    led5.SetColor(LedColor::Red);
    msgloop::ProcessMessages();  // the lamp shows before the work
    const SearchField field = SearchFieldAt(Drop_SearchFilterField.ItemIndex());
    if (field == SearchField::None) {
      lb1.Clear();
      dxDBGrid3.SetDataSource(nullptr);
      search_results_.Clear();
      RegCombo2.SetEnabled(false);
    } else {
      RegCombo2.SetEnabled(true);
    }
    const std::string text = RegCombo2.Text();
    const auto add = [this](const std::string& candidate) { lb1.AddItem(candidate); };
    if (field == SearchField::Indexer) {
      // The selected word itself: the list stays as it is.
      if (!(lb1.ItemIndex() >= 0 && text == lb1.SelectedText())) {
        if (session_.WORDS == nullptr)
          throw ado::AdoError(ado::ErrorKind::Closed, "The word table is not open.");
        if (session_.WordsChanged) {
          session_.WordsChanged = false;
          session_.WORDS->Requery();
        }
        ReadWordCandidates(
            *session_.WORDS, text, kWordCandidateCount, [this] { lb1.Clear(); }, add);
      }
    } else if (field != SearchField::None) {
      lb1.Clear();
      if (!session_.Query)
        throw ado::AdoError(ado::ErrorKind::Closed,
                            "Operation is not allowed when the connection is closed.");
      ReadQueryCandidates(*session_.Query, CandidateSql(field, text), add);
    }
    led5.SetColor(LedColor::Green);
  } catch (const std::exception& e) {
    led5.SetColor(LedColor::Green);
    session_.LogError(e, "SearchNow");
  }
}

void TBandForm::RunSearch() {
  if (lb1.ItemIndex() < 0) return;
  const std::string candidate = lb1.SelectedText();
  const SearchField field = SearchFieldAt(Drop_SearchFilterField.ItemIndex());
  if (field == SearchField::Indexer) RegCombo2.SetText(candidate);
  try {
    ado::DataSource* source = search_results_.Open(session_, field, candidate);
    if (source == nullptr) return;  // the word is gone: the grid keeps its result
    dxDBGrid3.SetKeyField("UrlID");
    dxDBGrid3.SetDataSource(source);
  } catch (const std::exception& e) {
    widgets::HandleException(e);
  }
}

void TBandForm::CandidateDblClick() {
  if (SearchFieldAt(Drop_SearchFilterField.ItemIndex()) != SearchField::Url) return;
  if (lb1.ItemIndex() < 0 || !session_.Browser) return;
  session_.Browser->Navigate("http://" + lb1.SelectedText());
}

std::int32_t TBandForm::FocusedResultUrlId() const {
  const ado::Variant id = dxDBGrid3.FocusedValue(1);
  return id.IsNull() ? 0 : id.AsInteger();
}

void TBandForm::SearchMenusPopup() {
  const bool on = FocusedResultUrlId() > 0;
  visit_item_->SetEnabled(on);
  mail_link_item_->SetEnabled(on);
  properties_item_->SetEnabled(on);
}

void TBandForm::OpenSearchResult() {
  const std::string url = GetUrlById(session_, FocusedResultUrlId());
  if (!url.empty() && session_.Browser) session_.Browser->Navigate(url);
}

void TBandForm::ShowUrlProperties() {
  if (session_.URL && session_.URL->Active()) session_.URL->Requery();
  TfrmUrlProperties dialog(session_, FocusedResultUrlId());
  dialog.ShowModal();
  dxDBGrid3.SetFocus();
}

}  // namespace vt
