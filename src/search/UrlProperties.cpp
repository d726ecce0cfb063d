#include "search/UrlProperties.h"

#include "core/myDOM.h"
#include "platform/ado/table.h"

namespace vt {

TfrmUrlProperties::TfrmUrlProperties(TmyDOM& session, std::int32_t url_id)
    : widgets::Form("frmUrlProperties"), session_(session), url_id_(url_id) {
  using widgets::Align;
  SetCaption("Url Properties");
  SetBounds({0, 0, 420, 250});
  GroupBox1.SetAlign(Align::Client);
  ButtonRow.SetAlign(Align::Bottom);
  ButtonRow.SetHeight(34);
  lblGroup.SetAlign(Align::Top);
  lblGroup.SetHeight(22);
  lblGroup.SetBold(true);
  for (int i = 0; i < kFieldCount; ++i) {
    widgets::Control* row = labels_[i]->Parent();
    row->SetAlign(Align::Top);
    row->SetHeight(28);
    labels_[i]->SetAlign(Align::Left);
    labels_[i]->SetWidth(84);
    edits_[i]->SetAlign(Align::Client);
    edits_[i]->SetReadOnly(true);
  }
  btnOK.SetAlign(Align::Right);
  btnOK.SetWidth(80);
  btnOK.SetModalResult(widgets::ModalResult::Ok);
  btnOK.SetDefault(true);
  btnOK.SetCancel(true);
  OnShow = [this](widgets::Control&) { FormShow(); };
}

void TfrmUrlProperties::FormShow() {
  for (widgets::Edit* edit : edits_) edit->SetText("");
  if (session_.URL == nullptr || !session_.URL->Active()) return;
  const std::vector<ado::Variant> values = session_.URL->Lookup(
      "ID", {ado::Variant(url_id_)}, "title;Url;DateCreated;DateLastVisit;Keyword;Hits");
  for (size_t i = 0; i < values.size() && i < edits_.size(); ++i)
    edits_[i]->SetText(values[i].AsString());
}

}  // namespace vt
