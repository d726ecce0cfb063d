#pragma once
// TBandForm, the band's one window: the main tool bar with the band menu and the two mode
// toggles, the Filter, Snippets and Search tabs, and the status bar. It binds the band's page
// session, restores the user's layout from the settings, opens the database on its first paint
// and runs the 250 ms timer loop that reacts to what the browser does. UI thread only.
//
// Ownership: the band object owns the form and the page session; the form borrows the session
// and the process's data module and owns its controls and its registry wrapper.
#include <memory>
#include <optional>
#include <string>

#include "config/RegControls.h"
#include "config/myRegistry.h"
#include "core/myDOM.h"
#include "host/ExplorerBand.h"
#include "host/IEDocHostUIHandler.h"
#include "platform/widgets/containers.h"
#include "platform/widgets/dbgrid.h"
#include "platform/widgets/dbtreelist.h"
#include "platform/widgets/dialogs.h"
#include "platform/widgets/indicators.h"
#include "platform/widgets/menu.h"
#include "platform/widgets/standard.h"
#include "platform/widgets/timer.h"
#include "platform/widgets/treelist.h"
#include "platform/widgets/webbrowser.h"
#include "search/Indexer.h"
#include "search/SearchQueries.h"

namespace vt {

class TDataModule1;

// Process-wide state of the band forms.
struct BandProcessState {
  bool SlimView = false;
  std::int32_t BandWidth = 200;
};
BandProcessState& BandState();

// Rounds to the nearest integer, halves to even.
double RoundHalfEven(double value);

class TBandForm : public widgets::Form, public BandWindow {
 public:
  // Builds the form as a child of `parent` and binds `session` (see the creation steps in the
  // implementation). A settings value that cannot be read is reported in the status bar and
  // leaves its control as designed. When construction throws, nothing is left bound: the
  // session is out of SessionList and holds no control of the form.
  TBandForm(com::HWND parent, TDataModule1& data_module, TmyDOM& session);
  ~TBandForm() override;

  // BandWindow
  msgloop::HWND WindowHandle() const override { return window_; }
  void TearDown() override;

  // The form's paint handler: the first paint starts the band (database, timer).
  void FormPaint();
  // The timer loop's tick. Its work lets the message loop run; a close handled meanwhile tears
  // the form down, the tick stops there and the form is freed once it has unwound
  // (platform/msgloop/unwind.h). Work that lets the loop run is followed by a check of Closed().
  void Timer1Timer();
  // Whether the form has been torn down (it is then only waiting to be freed).
  bool Closed() const { return torn_down_; }
  // The form's resize handler: records the band width and lays out the three tabs.
  void FormResize();
  // A splitter was moved: the tab's ratio follows its upper pane.
  void SplitterMoved(int tab);
  void SaveUIState();
  // Saves the state before a command opens a new browser window; a failure is reported in the
  // status bar and the window opens all the same.
  void SaveBeforeNewWindow();
  // Opens the help page in a new browser window at the section of a control's context number
  // (0: the contents). Without the page the status bar says how to install it.
  void ShowHelp(int context);

  bool Started() const { return started_; }
  const std::string& HelpFile() const { return help_file_; }
  // Created at start-up; nullptr before.
  TmyIndexer* Indexer() const { return indexer_.get(); }
  double SplitRatio(int tab) const;  // tab 1 Snippets, 2 Filter, 4 Search

  // ---- controls (names as the display and the other commands know them)
  widgets::ToolBar ToolBar1{"ToolBar1", this};
  widgets::ToolButton sb_menu{"sb_menu", &ToolBar1, "Menu", widgets::ToolButtonStyle::DropDown};
  widgets::ToolButton sb_Filter{"sb_Filter", &ToolBar1, "Filter", widgets::ToolButtonStyle::Check};
  widgets::ToolButton sb_IndexPage{"sb_IndexPage", &ToolBar1, "Indexer",
                                   widgets::ToolButtonStyle::Check};
  widgets::Panel Spacer{"Spacer", this};
  widgets::PageControl page1{"page1", this};

  widgets::TabSheet filter_tab{"filter_tab", &page1, "Filter"};
  widgets::Panel FilterTop{"FilterTop", &filter_tab};
  widgets::ToolBar FilterBar{"FilterBar", &FilterTop};
  widgets::BusyLed led1{"led1", &FilterBar};
  widgets::ToolButton btnRescan{"btnRescan", &FilterBar, "Rescan"};
  widgets::TreeList tv{"tv", &FilterTop};
  widgets::Splitter FilterSplitter{"FilterSplitter", &filter_tab, &FilterTop};
  widgets::ToolBar FilterPreviewBar{"FilterPreviewBar", &filter_tab};
  widgets::BusyLed led3{"led3", &FilterPreviewBar};
  widgets::ToolButton btnStopFilter{"btnStopFilter", &FilterPreviewBar, "Stop"};
  widgets::ToolButton btnPrintFilter{"btnPrintFilter", &FilterPreviewBar, "Print"};
  widgets::WebBrowserControl wb2{"wb2", &filter_tab};

  widgets::TabSheet snippet_tab{"snippet_tab", &page1, "Snippets"};
  widgets::Panel SnippetTop{"SnippetTop", &snippet_tab};
  widgets::ToolBar SnippetFilterRow{"SnippetFilterRow", &SnippetTop};
  widgets::BusyLed led6{"led6", &SnippetFilterRow};
  widgets::ComboBox Drop_SnippetFilterField{"Drop_SnippetFilterField", &SnippetFilterRow,
                                            widgets::ComboStyle::DropDownList};
  TRegComboBox RegCombo1{"RegCombo1", &SnippetFilterRow};
  widgets::DBTreeList DBTL1{"DBTL1", &SnippetTop};
  widgets::Splitter SnippetSplitter{"SnippetSplitter", &snippet_tab, &SnippetTop};
  widgets::ToolBar SnippetPreviewBar{"SnippetPreviewBar", &snippet_tab};
  widgets::BusyLed led4{"led4", &SnippetPreviewBar};
  widgets::ToolButton btnPreview{"btnPreview", &SnippetPreviewBar, "Preview"};
  widgets::ToolButton btnStopSnippet{"btnStopSnippet", &SnippetPreviewBar, "Stop"};
  widgets::ToolButton btnPrintSnippet{"btnPrintSnippet", &SnippetPreviewBar, "Print"};
  widgets::WebBrowserControl wb3{"wb3", &snippet_tab};

  widgets::TabSheet search_tab{"search_tab", &page1, "Search"};
  widgets::Panel SearchTop{"SearchTop", &search_tab};
  widgets::ToolBar SearchFilterRow{"SearchFilterRow", &SearchTop};
  widgets::BusyLed led5{"led5", &SearchFilterRow};
  widgets::ComboBox Drop_SearchFilterField{"Drop_SearchFilterField", &SearchFilterRow,
                                           widgets::ComboStyle::DropDownList};
  TRegComboBox RegCombo2{"RegCombo2", &SearchFilterRow};
  widgets::ListBox lb1{"lb1", &SearchTop};
  widgets::Splitter SearchSplitter{"SearchSplitter", &search_tab, &SearchTop};
  widgets::DBGrid dxDBGrid3{"dxDBGrid3", &search_tab};

  widgets::StatusBar sb1{"sb1", this};
  widgets::PopupMenu Popup_Main{"Popup_Main"};
  widgets::PopupMenu Popup_Search{"Popup_Search"};
  widgets::PopupMenu Popup_SearchResults{"Popup_SearchResults"};
  widgets::PopupMenu Popup_IE_Filter{"Popup_IE_Filter"};
  widgets::PopupMenu Popup_TvFilter{"Popup_TvFilter"};
  widgets::Timer Timer1{"Timer1"};

  // ---- the Snippets tab (BandForm_snippets.cpp)
  widgets::Edit Edit7{"Edit7", &DBTL1};  // the rename box, placed over a node while in use
  widgets::PopupMenu Popup_TvSnippets{"Popup_TvSnippets"};
  // Filters the snippet tree by the chosen field and text, then focuses the saved snippet.
  void ApplySnippetFilter();
  // The field list's change handler (also run on every completed page while it is "Domain").
  void SnippetFilterFieldChange();
  // Raises the deferred snippet-filter request (Enter or a choice in RegCombo1).
  void RequestSnippetFilter();
  void StartSnippetRename();
  void FinishSnippetRename();
  void DeleteSelectedSnippets();
  void AddRootSnippet();
  void AddEmptySnippet();
  void ShowSnippetProperties();
  void SnippetMenuPopup();
  // ---- Search tab (BandForm_search.cpp)
  // Refreshes the candidate list lb1 from the search field and RegCombo2's text. Failures are
  // shown on the status bar ("SearchNow"); the list keeps what it was given before the failure.
  void SearchNow();
  // Fills the result grid with the pages of the candidate selected in lb1 (nothing when none is
  // selected). A database failure is shown in an error message box; the grid keeps its result.
  void RunSearch();
  // Opens the focused result in the browser.
  void OpenSearchResult();
  // Shows the URL properties of the focused result.
  void ShowUrlProperties();
  // The deferred refresh of the candidate list: the timer runs it on the second tick.
  void RaiseSearchListRequest();
  bool SearchListRequested() const { return search_list_request_; }
  // The UrlID of the grid's focused row, 0 when no row is focused.
  std::int32_t FocusedResultUrlId() const;
  widgets::MenuItem* VisitWebsiteItem() const { return visit_item_; }
  widgets::MenuItem* PropertiesItem() const { return properties_item_; }

 private:
  void BuildSearchTab();
  void SearchFieldChange();
  void SearchBoxEnter();
  void SearchMenusPopup();
  void CandidateDblClick();
  void LoadSearchField();

  void BuildLayout();
  void LoadUIState();
  void ReportLoadError();
  void UnbindAfterFailure(TmyDOM* earlier_session);
  void StartUp();
  void ApplyBandWidth(bool slim);
  void IndexerToggle();
  void FilterToggle();
  void FilterTreeClick();
  void BuildMainMenu();
  void BuildSnippetTab();
  void BuildSnippetMenu();
  void SnippetTreeSelectionChanged();
  void SnippetTreeKeyDown(widgets::KeyEvent& key);
  void SnippetFilterBoxKeyDown(widgets::KeyEvent& key);
  // The deferred snippet filter: true when it ran on this tick.
  bool SnippetFilterTick();
  // The "Tools" submenu and its commands (BandForm_tools.cpp).
  void BuildToolsMenu();
  // "Add Icon to Browser", last in Tools.
  void BuildBrowserIconItem();
  void AddIconToBrowser();
  void Settings();
  void CompactDatabase();
  // Filter views (BandForm_filter.cpp): the filter tree's events, the page menu, Spy Mode and
  // Show Mouse Borders.
  void BuildFilterViews();
  void FilterTreeDblClick();
  void FollowHyperlink();
  void ShowMouseBordersClick();
  // The Filter tab's commands (BandForm_filtercmds.cpp).
  void BuildFilterCommands();
  void BuildPageMenu();
  void FilterTreeRightClick(widgets::Point screen);
  void SelectionInNewWindow();
  void SelectTable();
  void SelectionAsSnippetTitle();
  // The snippet tab's Copy and Send via E-mail (BandForm_export.cpp); both do nothing when the
  // focused snippet's row no longer exists.
  struct FocusedSnippetRow {
    std::string snippet;
    std::string name;
    std::optional<std::int32_t> url_id;  // empty when the snippet has no page
  };
  std::optional<FocusedSnippetRow> FocusedSnippet();
  void CopyFocusedSnippet();
  void MailFocusedSnippet();
  void SpyModeClick();
  void ShowAbout();
  // Hands the body text of the session's document to the indexer; false (and nothing started)
  // when there is no document body.
  bool IndexShownPage();
  std::string LocationUrl() const;
  void ShowStatus();
  void LayoutTab(widgets::TabSheet& tab, widgets::Panel& upper, double& ratio);

  TmyDOM& session_;
  TDataModule1& data_module_;
  TmyRegistry registry_;
  msgloop::HWND window_ = 0;
  com::HWND parent_ = 0;
  double split_ratio1_ = 50, split_ratio2_ = 50, split_ratio4_ = 50;
  bool started_ = false;
  bool torn_down_ = false;
  int snippet_selection_counter_ = 0;
  int filter_preview_counter_ = 0;
  bool snippet_filter_request_ = false;
  int rename_key_ = 0;  // the snippet whose name Edit7 edits
  int snippet_filter_counter_ = 0;
  std::string last_page_url_;
  bool band_width_changed_ = false;
  std::string help_file_;
  std::string load_error_;  // the first settings value that could not be read at creation
  std::unique_ptr<TmyIndexer> indexer_;
  bool search_list_request_ = false;
  int search_list_counter_ = 0;
  TmySearchResults search_results_;
  widgets::MenuItem* visit_item_ = nullptr;
  widgets::MenuItem* properties_item_ = nullptr;
  widgets::MenuItem* filter_item_ = nullptr;
  widgets::MenuItem* indexer_item_ = nullptr;
  widgets::MenuItem* slim_item_ = nullptr;
  com::ComPtr<com::IClassFactory> helper_factory_;
  com::ComPtr<TDocHostUIHandler> doc_host_handler_;
  widgets::MenuItem* spy_item_ = nullptr;
  widgets::MenuItem* borders_item_ = nullptr;
  widgets::MenuItem* tvf_filter_ = nullptr;
  widgets::MenuItem* tvf_save_ = nullptr;
  widgets::MenuItem* tvf_mail_ = nullptr;
  widgets::MenuItem* tvf_copy_ = nullptr;
  widgets::MenuItem* tvf_follow_ = nullptr;
  widgets::MenuItem* tvf_expand_ = nullptr;
  widgets::MenuItem* tvf_collapse_ = nullptr;
  widgets::MenuItem* page_save_menu_ = nullptr;
  widgets::MenuItem* page_send_menu_ = nullptr;
  widgets::MenuItem* page_copy_item_ = nullptr;
  widgets::MenuItem* mail_link_item_ = nullptr;
};

// The web search for a page selection: its first 50 characters, blanks trimmed at both ends and
// each remaining blank written "+"; empty when nothing is left.
std::string WebSearchAddress(const std::string& selection);

// Makes the band object build TBandForm on the process's data module.
void InstallBandForm();

}  // namespace vt
