#include "ui/BandForm.h"

#include <cmath>
#include <filesystem>

#include "host/IEBrowserHelper.h"
#include "host/clsids.h"
#include "platform/browser/url.h"
#include "platform/browser/windows.h"
#include "platform/dom/document.h"
#include "platform/msgloop/unwind.h"
#include "platform/registry/registry.h"
#include "storage/datamodule.h"
#include "storage/help_page.h"
#include "storage/urlRecords.h"

#ifndef VT_VERSION
#define VT_VERSION "0.0.0"
#endif

namespace vt {

using widgets::ToolButtonStyle;

BandProcessState& BandState() {
  static BandProcessState state;
  return state;
}

double RoundHalfEven(double value) {
  return std::nearbyint(value);
}

TBandForm::TBandForm(com::HWND parent, TDataModule1& data_module, TmyDOM& session)
    : widgets::Form("BandForm"), session_(session), data_module_(data_module), parent_(parent) {
  // The band site paints the form through its window: the first paint starts the band.
  window_ = msgloop::UiLoop().CreateWindowHandle([this](msgloop::HWND, msgloop::UINT message,
                                                        msgloop::WPARAM,
                                                        msgloop::LPARAM) -> msgloop::LRESULT {
    if (message == msgloop::WM_PAINT) FormPaint();
    return 0;
  });
  widgets::SetWindowControl(window_, this);
  // Should a step below throw, no form comes of it: nothing may keep the session listed or
  // pointing at the controls that go with the form.
  struct Unbind {
    TBandForm& form;
    TmyDOM* earlier_session;
    bool armed = true;
    ~Unbind() {
      if (armed) form.UnbindAfterFailure(earlier_session);
    }
  } unbind{*this, CurrentSession()};
  Timer1.SetEnabled(false);
  Timer1.SetInterval(250);
  BuildLayout();
  // The two history boxes: their properties, then their lists.
  RegCombo1.SetRegKey(std::string(kHistory1Key));
  RegCombo2.SetRegKey(std::string(kHistory2Key));
  for (TRegComboBox* box : {&RegCombo1, &RegCombo2}) {
    box->SetRegLocation(RegLocation::CurrentUser);
    box->SetRegMaxCount(20);
    box->SetSorted(true);
    box->Loaded();
  }

  // Bind the page session.
  SessionList::Add(&session_);
  Drop_SnippetFilterField.SetItems({"[None]", "Domain", "Name", "Content"});
  SetCurrentSession(&session_);
  AttachDataModule(session_, data_module_);
  session_.InitSession(&Popup_IE_Filter, &data_module_.ADOConnection, &sb1, &led1);
  SetBandActive(true);
  session_.FilterTree = &tv;
  session_.SnippetTree = &DBTL1;
  session_.FilterPreview = wb2.Interface();
  session_.SnippetPreview = wb3.Interface();
  session_.BeforeNewWindow = [this] { SaveBeforeNewWindow(); };

  helper_factory_ = RegisterBrowserHelperFactory();
  doc_host_handler_ = com::MakeCom<TDocHostUIHandler>(&session_);
  wb2.Navigate("about:blank");
  wb3.Navigate("about:blank");

  Timer1.OnTimer = [this](widgets::Control&) { Timer1Timer(); };
  OnResize = [this](widgets::Control&) { FormResize(); };
  DBTL1.SetShowGrid(false);
  LoadUIState();
  help_file_ = AppDir() + storage::kHelpPageName;
  if (!load_error_.empty()) ReportLoadError();
  unbind.armed = false;
}

void TBandForm::UnbindAfterFailure(TmyDOM* earlier_session) {
  SessionList::Remove(session_.WindowNumber);
  session_.DetachControls();
  if (CurrentSession() == &session_) SetCurrentSession(earlier_session);
  widgets::SetWindowControl(window_, nullptr);
  msgloop::UiLoop().DestroyWindowHandle(window_);
}

TBandForm::~TBandForm() {
  if (!torn_down_) TearDown();
  dxDBGrid3.SetDataSource(nullptr);  // the result data sets go before the grid
  widgets::SetWindowControl(window_, nullptr);
  msgloop::UiLoop().DestroyWindowHandle(window_);
}

void TBandForm::BuildLayout() {
  // Top to bottom: the main tool bar, the spacer, the tabs filling the rest, the status bar.
  // Each tab: its upper pane (sized from the tab's ratio), the splitter, the lower pane.
  using widgets::Align;
  SetAlign(Align::Client);
  ToolBar1.SetAlign(Align::Top);
  Spacer.SetAlign(Align::Top);
  page1.SetAlign(Align::Client);
  sb1.SetAlign(Align::Bottom);
  for (widgets::Control* c : std::initializer_list<widgets::Control*>{
           &FilterTop, &FilterBar, &FilterSplitter, &FilterPreviewBar, &SnippetTop,
           &SnippetFilterRow, &SnippetSplitter, &SnippetPreviewBar, &SearchTop, &SearchFilterRow,
           &SearchSplitter}) {
    c->SetAlign(Align::Top);
  }
  for (widgets::Control* c :
       std::initializer_list<widgets::Control*>{&tv, &wb2, &DBTL1, &wb3, &lb1, &dxDBGrid3}) {
    c->SetAlign(Align::Client);
  }
  for (widgets::Splitter* splitter : {&FilterSplitter, &SnippetSplitter, &SearchSplitter}) {
    splitter->SetThickness(5);
    splitter->SetMinSize(1);
  }
  // A tab page learns its height when it is first shown: its upper pane follows its ratio then.
  filter_tab.OnResize = [this](widgets::Control&) {
    LayoutTab(filter_tab, FilterTop, split_ratio2_);
  };
  snippet_tab.OnResize = [this](widgets::Control&) {
    LayoutTab(snippet_tab, SnippetTop, split_ratio1_);
  };
  search_tab.OnResize = [this](widgets::Control&) {
    LayoutTab(search_tab, SearchTop, split_ratio4_);
  };
  ToolBar1.SetFlat(true);
  ToolBar1.SetShowCaptions(true);
  ToolBar1.SetShowHint(true);
  sb_menu.SetDropdownMenu(&Popup_Main);
  sb_Filter.SetHint("Filter Mode On/Off");
  sb_IndexPage.SetHint("Word Indexer On/Off");
  Spacer.SetHeight(4);
  page1.SetMultiLine(true);
  btnRescan.SetHint("Rescan Document");
  led3.SetHint("Preview Busy Indicator");
  btnStopFilter.SetHint("Stop Filter Browser");
  btnPrintFilter.SetHint("Print Filter");
  tv.SetShowHeader(false);
  led6.SetHint("Search Busy Indicator");
  led4.SetHint("Preview Busy Indicator");
  btnPreview.SetHint("Preview Selected Snippet");
  btnStopSnippet.SetHint("Stop Preview Browser");
  btnPrintSnippet.SetHint("Print Snippet");
  led5.SetHint("Search Busy Indicator");
  for (widgets::Control* c : std::initializer_list<widgets::Control*>{
           &led1, &btnRescan, &led3, &btnStopFilter, &btnPrintFilter, &led6, &led4, &btnPreview,
           &btnStopSnippet, &btnPrintSnippet, &led5}) {
    c->SetShowHint(true);
  }
  btnRescan.OnClick = [this](widgets::Control&) { session_.DocumentCompleted = true; };
  btnStopFilter.OnClick = [this](widgets::Control&) { wb2.Stop(); };
  btnStopSnippet.OnClick = [this](widgets::Control&) { wb3.Stop(); };
  sb_Filter.OnClick = [this](widgets::Control&) { FilterToggle(); };
  sb_IndexPage.OnClick = [this](widgets::Control&) { IndexerToggle(); };
  FilterSplitter.OnMoved = [this](widgets::Control&) { SplitterMoved(2); };
  SnippetSplitter.OnMoved = [this](widgets::Control&) { SplitterMoved(1); };
  SearchSplitter.OnMoved = [this](widgets::Control&) { SplitterMoved(4); };

  BuildMainMenu();
  BuildSearchTab();
  BuildFilterViews();
  BuildBrowserIconItem();
}

void TBandForm::BuildMainMenu() {
  BuildToolsMenu();
  filter_item_ = Popup_Main.Add("Filter on", 0, "FilterOn");
  filter_item_->OnClick = [this](widgets::Control&) {
    filter_item_->SetChecked(!filter_item_->Checked());
    sb_Filter.SetDown(filter_item_->Checked());
    FilterToggle();
  };
  indexer_item_ = Popup_Main.Add("Indexer on", 0, "IndexerOn");
  indexer_item_->OnClick = [this](widgets::Control&) {
    indexer_item_->SetChecked(!indexer_item_->Checked());
    sb_IndexPage.SetDown(indexer_item_->Checked());
    IndexerToggle();
  };
  slim_item_ = Popup_Main.Add("Slim View", 0, "SlimView");
  slim_item_->OnClick = [this](widgets::Control&) {
    slim_item_->SetChecked(!slim_item_->Checked());
    BandState().SlimView = slim_item_->Checked();
    registry_.WriteBoolean(settings::SlimView, BandState().SlimView);
    if (BandState().SlimView) registry_.WriteInteger(settings::BandWidth, BandState().BandWidth);
    ApplyBandWidth(BandState().SlimView);
  };
  widgets::MenuItem* help = Popup_Main.Add("Help", 0, "Help");
  help->Add("Help Index", 0, "HelpIndex")->OnClick = [this](widgets::Control&) {
    ShowHelp(storage::kHelpContents);
  };
  help->Add("About Vellumtrace", 0, "AboutVellumtrace")->OnClick = [this](widgets::Control&) {
    ShowAbout();
  };
}

void TBandForm::LoadUIState() {
  // A value that cannot be read (one stored with another type, say) leaves its control as
  // designed; the other values still load, and the first failure is reported.
  auto load = [this](auto&& step) {
    try {
      step();
    } catch (const std::exception& e) {
      if (load_error_.empty()) load_error_ = e.what();
    }
  };
  load([&] {
    const std::string cache = registry_.ReadString(settings::CacheDir);
    if (!cache.empty()) SetCacheDir(cache);
  });
  load([&] {
    const std::string app = registry_.ReadString(settings::AppDir);
    if (!app.empty()) SetAppDir(WithTrailingSlash(app));
  });
  load(
      [&] { page1.SetActivePageIndex(registry_.ReadIntegerDefault(settings::Page1_tabindex, 0)); });
  load([&] {
    split_ratio1_ =
        registry_.ReadIntegerDefault(settings::SplitRatio1, settings::kSplitRatioDefault);
  });
  load([&] {
    split_ratio2_ =
        registry_.ReadIntegerDefault(settings::SplitRatio2, settings::kSplitRatioDefault);
  });
  load([&] {
    split_ratio4_ =
        registry_.ReadIntegerDefault(settings::SplitRatio4, settings::kSplitRatioDefault);
  });
  FormResize();
  load([&] {
    bool indexer_down = false;
    registry_.ReadBoolean(settings::sb_Wordindexer, indexer_down);
    sb_IndexPage.SetDown(indexer_down);
  });
  load([&] { IndexerToggle(); });
  load([&] {
    bool filter_down = false;
    registry_.ReadBoolean(settings::sb_Filter, filter_down);
    sb_Filter.SetDown(filter_down);
    if (filter_down) FilterToggle();
  });
  load([&] {
    bool borders = false;
    registry_.ReadBoolean(settings::ShowBorders, borders);
    if (borders) ShowMouseBordersClick();
  });
  load([&] {
    bool slim = false;
    registry_.ReadBoolean(settings::SlimView, slim);
    BandState().SlimView = slim;
    slim_item_->SetChecked(slim);
  });
  load([&] {
    BandState().BandWidth =
        registry_.ReadIntegerDefault(settings::BandWidth, settings::kBandWidthDefault);
  });
}

void TBandForm::ReportLoadError() {
  session_.LogError(load_error_ + " (its default is used)", "Initialize");
}

std::string TBandForm::LocationUrl() const {
  return session_.Browser ? session_.Browser->LocationURL() : std::string();
}

bool TBandForm::IndexShownPage() {
  if (!indexer_ || !session_.Document) return false;
  const dom::ElementPtr body = session_.Document->body();
  if (!body) return false;
  indexer_->IndexText(body->innerText(), false);
  return true;
}

void TBandForm::IndexerToggle() {
  indexer_item_->SetChecked(sb_IndexPage.Down());
  if (sb_IndexPage.Down()) {
    if (indexer_ && session_.Document && session_.Document->body() &&
        !LookupUrl(session_, LocationUrl())) {
      IndexShownPage();
    }
  } else if (indexer_) {
    indexer_->CancelIndexing();
  }
  registry_.WriteBoolean(settings::sb_Wordindexer, sb_IndexPage.Down());
}

void TBandForm::FilterToggle() {
  session_.FilterMode = sb_Filter.Down();
  filter_item_->SetChecked(sb_Filter.Down());
  session_.ClearMarks(session_.Document);
  // An unparsed page is parsed on the next tick.
  if (session_.FilterMode && session_.EntryCount == 0) session_.DocumentCompleted = true;
  registry_.WriteBoolean(settings::sb_Filter, sb_Filter.Down());
  if (sb_Filter.Down()) FilterTreeClick();
}

void TBandForm::FilterTreeClick() {
  if (session_.SuppressTreeEvents) return;
  if (LocationUrl() != "about:blank") {
    if (const widgets::TreeNode node = tv.FocusedNode(); node.Valid()) {
      session_.SelectedIndex = node.Value();
    }
  }
  filter_preview_counter_ = 0;
  session_.FilterNodeChanged = true;
}

void TBandForm::SaveBeforeNewWindow() {
  try {
    SaveUIState();
  } catch (const std::exception& e) {
    session_.LogError(e, "SaveUIState");
  }
}

void TBandForm::ShowHelp(int context) {
  std::error_code ec;
  const std::filesystem::path page(help_file_);
  if (!page.is_absolute() || !std::filesystem::is_regular_file(page, ec)) {
    session_.SetStatusText(
        std::string("Help is not installed: run 'vellumtrace install' to write ") +
        storage::kHelpPageName + " into the program folder");
    return;
  }
  std::string url = browser::FileUrlFromPath(help_file_);
  if (context != storage::kHelpContents) url += "#" + storage::HelpSectionId(context);
  SaveBeforeNewWindow();  // the band of the new window starts from this band's state
  com::ComPtr<browser::WebBrowser> window = browser::CreateBrowserWindow();
  if (!window) {
    session_.SetStatusText("The help window could not be opened");
    return;
  }
  window->SetVisible(true);
  window->Navigate(url);
}

void TBandForm::ShowAbout() {
  widgets::MessageBox("Vellumtrace " VT_VERSION
                      "\n\nA research band for the web: it takes the shown page apart, keeps "
                      "what you want of it as snippets and finds the pages you visited again by "
                      "their words.",
                      "About Vellumtrace", widgets::MessageIcon::Information,
                      widgets::MessageButtons::Ok);
}

void TBandForm::FormPaint() {
  if (started_) return;
  StartUp();
}

void TBandForm::StartUp() {
  msgloop::LoopScope
      scope;  // a close while the loop runs below frees the form only after this returns
  try {
    ApplyBandWidth(BandState().SlimView);
    sb_menu.SetEnabled(false);
    sb_Filter.SetEnabled(false);
    sb_IndexPage.SetEnabled(false);
    started_ = true;
    session_.SetStatusText("Vellumtrace is loading...");
    msgloop::ProcessMessages();
    if (torn_down_) return;
    OpenDatabase(session_, AppDir());
    indexer_ = std::make_unique<TmyIndexer>(&session_);
    Drop_SnippetFilterField.SetItemIndex(
        registry_.ReadIntegerDefault(settings::Drop_SnippetFilterField, 0));
    LoadSearchField();
    DBTL1.SetDataSource(session_.SnippetSource);
    RegCombo1.SetText(registry_.ReadString(settings::SN_FilterText));
    RegCombo2.SetText(registry_.ReadString(settings::Search_FilterText));
    search_list_request_ = false;
    search_list_counter_ = 0;
    SearchNow();
    Timer1.SetEnabled(true);
    const int selected = registry_.ReadIntegerDefault(settings::SNIPPET_selected, 0);
    if (selected > 0) {
      if (auto node = DBTL1.FindNodeByKey(selected)) DBTL1.SetFocusedNode(node);
    }
    sb_menu.SetEnabled(true);
    sb_Filter.SetEnabled(true);
    sb_IndexPage.SetEnabled(true);
    if (load_error_.empty()) {
      session_.SetStatusText("Vellumtrace is Ready");
    } else {
      ReportLoadError();
    }
  } catch (const std::exception& e) {
    sb_menu.SetEnabled(true);
    sb_Filter.SetEnabled(true);
    sb_IndexPage.SetEnabled(true);
    session_.LogError(e, "Initialize");
  }
}

void TBandForm::ApplyBandWidth(bool slim) {
  if (slim) page1.SetVisible(false);
  const std::int64_t width = slim ? 60 : BandState().BandWidth;
  const std::string clsid = BandClsidText();
  if (session_.Browser) session_.Browser->ShowBrowserBar(clsid, false, nullptr);
  registry::CreateKey(registry::HKEY_CURRENT_USER, ExplorerBarsKey(clsid))
      .WriteBinary(std::string(kBarSize), BarSizeBytes(width));
  if (session_.Browser) session_.Browser->ShowBrowserBar(clsid, true, nullptr);
  if (!slim) page1.SetVisible(true);
}

double TBandForm::SplitRatio(int tab) const {
  return tab == 1 ? split_ratio1_ : tab == 2 ? split_ratio2_ : split_ratio4_;
}

void TBandForm::LayoutTab(widgets::TabSheet& tab, widgets::Panel& upper, double& ratio) {
  const int h = tab.Height();
  // Before the display has sized the tabs there is nothing to scale; recomputing the ratio from
  // an empty pane would lose the stored ratio.
  if (h <= 0) return;
  const int pane = ratio > 95 ? h - 5 : static_cast<int>(RoundHalfEven(ratio / 100.0 * h));
  upper.SetHeight(pane);
  ratio = RoundHalfEven(upper.Height() / (h + 0.001) * 100.0);
}

void TBandForm::FormResize() {
  if (!BandState().SlimView && started_) {
    // The form fills its bar, so the bar is as wide as the form.
    BandState().BandWidth = Width();
    band_width_changed_ = true;
  }
  LayoutTab(snippet_tab, SnippetTop, split_ratio1_);
  LayoutTab(filter_tab, FilterTop, split_ratio2_);
  LayoutTab(search_tab, SearchTop, split_ratio4_);
}

void TBandForm::SplitterMoved(int tab) {
  widgets::TabSheet& sheet = tab == 1 ? snippet_tab : tab == 2 ? filter_tab : search_tab;
  widgets::Panel& upper = tab == 1 ? SnippetTop : tab == 2 ? FilterTop : SearchTop;
  double& ratio = tab == 1 ? split_ratio1_ : tab == 2 ? split_ratio2_ : split_ratio4_;
  ratio = RoundHalfEven(upper.Height() / (sheet.Height() + 0.001) * 100.0);
}

void TBandForm::SaveUIState() {
  registry::Batch batch;
  registry_.WriteInteger(settings::Drop_SnippetFilterField, Drop_SnippetFilterField.ItemIndex());
  registry_.WriteInteger(settings::Drop_SearchFilterField, Drop_SearchFilterField.ItemIndex());
  registry_.WriteInteger(settings::Page1_tabindex, page1.ActivePageIndex());
  if (const int id = DBTL1.FocusedKey(); id > 0)
    registry_.WriteInteger(settings::SNIPPET_selected, id);
  registry_.WriteInteger(settings::SplitRatio1, static_cast<int>(RoundHalfEven(split_ratio1_)));
  registry_.WriteInteger(settings::SplitRatio2, static_cast<int>(RoundHalfEven(split_ratio2_)));
  registry_.WriteInteger(settings::SplitRatio4, static_cast<int>(RoundHalfEven(split_ratio4_)));
  registry_.WriteString(settings::SN_FilterText, RegCombo1.Text());
  registry_.WriteString(settings::Search_FilterText, RegCombo2.Text());
  registry_.WriteBoolean(settings::ShowBorders, borders_item_->Checked());
  registry_.WriteInteger(settings::BandWidth, BandState().BandWidth);
  batch.Commit();
}

void TBandForm::TearDown() {
  if (torn_down_) return;
  torn_down_ = true;
  session_.CancelRequested = true;
  Timer1.SetEnabled(false);
  try {
    SaveUIState();
  } catch (const std::exception& e) {
    session_.LogError(e, "SaveUIState");
  }
  session_.AttachDocumentSinks(session_.Document, "D");
  if (doc_host_handler_) doc_host_handler_->Detach();
  SessionList::Remove(session_.WindowNumber);
  session_.DetachControls();
}

void InstallBandForm() {
  SetBandFormFactory([](com::HWND parent, TmyDOM& session) -> std::unique_ptr<BandWindow> {
    return std::make_unique<TBandForm>(parent, DataModule1(), session);
  });
}

}  // namespace vt
