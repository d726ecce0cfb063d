// The band's filter views: the filter tree's click, focus and double-click, the page menu with
// Show Mouse Borders, and Spy Mode in the band menu's Tools.
#include "ui/BandForm.h"

namespace vt {

void TBandForm::BuildFilterViews() {
  tv.OnClick = [this](widgets::Control&) { FilterTreeClick(); };
  tv.OnFocusedNodeChanged = [this](widgets::TreeList&, widgets::TreeNode, widgets::TreeNode) {
    filter_preview_counter_ = 0;
    session_.FilterNodeChanged = true;
  };
  tv.OnDblClick = [this](widgets::Control&) { FilterTreeDblClick(); };

  BuildPageMenu();
  BuildFilterCommands();

  widgets::MenuItem* tools = Popup_Main.Items().FindByName("Tools");
  if (!tools) tools = Popup_Main.Add("Tools", 0, "Tools");
  spy_item_ = tools->Add("&Spy Mode", 0, "SpyMode");
  spy_item_->OnClick = [this](widgets::Control&) { SpyModeClick(); };
}

void TBandForm::SpyModeClick() {
  spy_item_->SetChecked(!spy_item_->Checked());
  session_.SpyMode = spy_item_->Checked();
  session_.SetStatusText("");
}

void TBandForm::ShowMouseBordersClick() {
  borders_item_->SetChecked(!borders_item_->Checked());
  session_.MouseBorders = borders_item_->Checked();
  if (!session_.MouseBorders) {
    session_.UnmarkBySourceIndex(session_.WorkDocument, session_.HoverSourceIndex);
  }
}

void TBandForm::FilterTreeDblClick() {
  const Tnode* entry = session_.Entry(session_.SelectedIndex + 1);
  if (session_.SelectedIndex >= 0 && entry && entry->Link > 0) FollowHyperlink();
}

void TBandForm::FollowHyperlink() {
  const Tnode* entry = session_.Entry(session_.SelectedIndex + 1);
  if (session_.SelectedIndex < 0 || !entry || entry->Link <= 0 || !session_.Browser) return;
  DocumentRef document = TmyDOM::GetFrameDocument(session_.Document, entry->Frame);
  if (!document) return;
  dom::ElementPtr link = document->links().item(entry->Link - 1);
  if (link) session_.Browser->Navigate(link->href());
}

}  // namespace vt
