// The band's timer loop: the only place where the band reacts to what the browser does. The
// browser helper object and the form's commands raise flags; the next tick does the work.
#include "platform/msgloop/unwind.h"
#include "storage/urlRecords.h"
#include "ui/BandForm.h"

namespace vt {

using widgets::LedColor;

namespace {
constexpr int kSnippetSelectionThreshold = 2;  // runs on the third tick after the last change
constexpr int kFilterPreviewThreshold = 2;
constexpr int kSearchListThreshold = 1;  // runs on the second tick

void ShowBusy(widgets::BusyLed& led, bool busy) {
  led.SetColor(busy ? LedColor::Red : LedColor::Green);
}
}  // namespace

void TBandForm::ShowStatus() {
  switch (session_.Status) {
    case kStatusWaiting:
      led1.SetLit(true);
      led1.SetColor(LedColor::Yellow);
      led1.SetHint("Waiting for browser...");
      break;
    case kStatusParsing:
      led1.SetLit(true);
      led1.SetColor(LedColor::Red);
      led1.SetHint("Parsing document...");
      break;
    case kStatusReady:
      led1.SetLit(true);
      led1.SetColor(LedColor::Green);
      led1.SetHint("Ready...");
      break;
    case kStatusNoData:
      led1.SetLit(false);
      led1.SetColor(LedColor::Red);
      led1.SetHint("No data...");
      break;
    default:
      break;
  }
}

void TBandForm::Timer1Timer() {
  msgloop::LoopScope scope;
  try {
    // 1. Preview indicators.
    ShowBusy(led3, wb2.Busy());
    ShowBusy(led4, wb3.Busy());

    // 2. Deferred requests. Each flag is lowered before its work runs, so a tick nested in the
    // work (the work lets the message loop run) does not run it a second time.
    if (session_.SnippetSelectionChanged &&
        ++snippet_selection_counter_ > kSnippetSelectionThreshold) {
      session_.SnippetSelectionChanged = false;
      snippet_selection_counter_ = 0;
      if (const int id = DBTL1.FocusedKey(); DBTL1.FocusedNode()) {
        registry_.WriteInteger(settings::SNIPPET_selected, id);
      }
    }
    if (session_.FilterNodeChanged && ++filter_preview_counter_ > kFilterPreviewThreshold) {
      session_.FilterNodeChanged = false;
      filter_preview_counter_ = 0;
      session_.PreviewFilterNode(&tv);
      if (torn_down_) return;  // the preview lets the loop run
    }
    if (search_list_request_ && ++search_list_counter_ > kSearchListThreshold) {
      search_list_request_ = false;
      search_list_counter_ = 0;
      SearchNow();
      if (torn_down_) return;
    }
    SnippetFilterTick();

    // 3. Status indicator.
    ShowStatus();

    // 4. Navigation started.
    if (session_.NavigationStarted) {
      session_.NavigationStarted = false;
      if (session_.FilterMode && session_.SelectedIndex >= 0 && !last_page_url_.empty()) {
        SaveSelectedNode(session_, last_page_url_, session_.SelectedIndex);
      }
      // A parse suspended further up the stack ends with the tree it was filling.
      session_.ClearParse();
      session_.SetStatusText("");
      if (indexer_ && indexer_->Indexing()) indexer_->CancelIndexing();
      if (wb2.Busy()) {
        session_.SetStatusText("Filter preview is busy...");
        wb2.Stop();
      } else {
        wb2.Navigate("about:blank");
      }
    }

    auto& browser = session_.Browser;
    // 5. Document acquisition.
    if (browser && !browser->LocationURL().empty() && !session_.Document) {
      session_.Document = browser->Document();
      session_.WorkDocument = session_.Document;
    }

    // 6. Document complete.
    if (session_.DocumentCompleted) {
      if (!wb2.Busy()) wb2.Navigate("about:blank");
      session_.DocumentCompleted = false;
      session_.Parsing = false;
      session_.RefreshDocuments();
      last_page_url_ = browser ? browser->LocationURL() : std::string();
      if (Drop_SnippetFilterField.ItemIndex() == 1) SnippetFilterFieldChange();  // "Domain"
      session_.ParseDocument();
      if (torn_down_) return;  // the bar was closed while the parse let the loop run
      if (session_.Document && doc_host_handler_) {
        session_.Document->SetUIHandler(
            com::ComPtr<com::IUnknown>(doc_host_handler_->GetUnknown()));
      }
      // The toggle is asked first: with the indexer off, a page costs no lookup.
      if (sb_IndexPage.Down() && !LookupUrl(session_, LocationUrl())) {
        if (!IndexShownPage() && indexer_ && indexer_->Indexing()) indexer_->CancelIndexing();
      }
      if (browser) UpdateVisit(session_, browser->LocationURL(), browser->LocationName());
    }

    // 7. Indexer step, on every tick.
    if (indexer_) indexer_->IndexStep();

    // 8. Band width.
    if (band_width_changed_) {
      registry_.WriteInteger(settings::BandWidth, BandState().BandWidth);
      band_width_changed_ = false;
    }
  } catch (const std::exception& e) {
    session_.LogError(e, "Timer");
  }
}

}  // namespace vt
