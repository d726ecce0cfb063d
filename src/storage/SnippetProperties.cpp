#include "storage/SnippetProperties.h"

#include "core/myDOM.h"
#include "platform/ado/table.h"

namespace vt {
namespace {

constexpr int kLabelWidth = 90;
constexpr int kRowHeight = 26;

// Null values show as empty text.
std::string Shown(const ado::Variant& v) {
  return v.IsNull() ? std::string() : v.AsString();
}

}  // namespace

TfrmSnipProperties::Row::Row(const std::string& name, widgets::Control* parent,
                             const std::string& caption)
    : panel(name, parent), label(name + "Label", &panel, caption) {
  panel.SetAlign(widgets::Align::Top);
  panel.SetHeight(kRowHeight);
  label.SetAlign(widgets::Align::Left);
  label.SetWidth(kLabelWidth);
}

TfrmSnipProperties::TfrmSnipProperties(TmyDOM& session, std::int32_t snippet_id)
    : widgets::Form("frmSnipProperties"),
      NameRow("NameRow", this, "Name"),
      UrlRow("UrlRow", &GroupBox1, "URL"),
      FirstRow("FirstRow", &GroupBox1, "First Visit"),
      LastRow("LastRow", &GroupBox1, "Last Visit"),
      KeywordsRow("KeywordsRow", &GroupBox1, "Keywords"),
      HitsRow("HitsRow", &GroupBox1, "Hits"),
      session_(session),
      snippet_id_(snippet_id) {
  SetCaption("Snippet Properties");
  SetBounds({0, 0, 420, 360});
  // Rows stack in the order they were made; the note fills what the group and buttons leave.
  NotePanel.SetAlign(widgets::Align::Client);
  LabelNote.SetAlign(widgets::Align::Left);
  LabelNote.SetWidth(kLabelWidth);
  MemoNote.SetAlign(widgets::Align::Client);
  GroupBox1.SetAlign(widgets::Align::Bottom);
  GroupBox1.SetHeight(kRowHeight * 6);
  GroupCaption.SetAlign(widgets::Align::Top);
  GroupCaption.SetBold(true);
  for (widgets::Edit* e :
       {&EditName, &EditUrl, &EditFirstVisit, &EditLastVisit, &EditKeywords, &EditHits})
    e->SetAlign(widgets::Align::Client);
  for (widgets::Edit* e : {&EditUrl, &EditFirstVisit, &EditLastVisit, &EditKeywords, &EditHits})
    e->SetReadOnly(true);
  ButtonPanel.SetAlign(widgets::Align::Bottom);
  ButtonPanel.SetHeight(34);
  btnCancel.SetAlign(widgets::Align::Right);
  btnCancel.SetWidth(80);
  btnCancel.SetCancel(true);
  btnCancel.SetModalResult(widgets::ModalResult::Cancel);
  btnOK.SetAlign(widgets::Align::Right);
  btnOK.SetWidth(80);
  btnOK.SetDefault(true);
  btnOK.SetModalResult(widgets::ModalResult::Ok);
  btnOK.OnClick = [this](widgets::Control&) { OkClick(); };
  OnShow = [this](widgets::Control&) { FormShow(); };
  FormShow();
}

void TfrmSnipProperties::FormShow() {
  for (widgets::Edit* e :
       {&EditName, &EditUrl, &EditFirstVisit, &EditLastVisit, &EditKeywords, &EditHits})
    e->SetText({});
  MemoNote.SetText({});
  if (!session_.SNIPPETS || !session_.SNIPPETS->Active()) return;
  auto snippet = session_.SNIPPETS->Lookup("ID", {ado::Variant(snippet_id_)}, "Name;Note;URL_ID");
  if (snippet.empty()) return;
  EditName.SetText(Shown(snippet[0]));
  MemoNote.SetText(Shown(snippet[1]));
  if (!session_.URL || !session_.URL->Active()) return;
  session_.URL->Requery();
  auto page =
      session_.URL->Lookup("ID", {snippet[2]}, "URL;DateCreated;DateLastVisit;Keyword;Hits");
  if (page.empty()) return;
  EditUrl.SetText(Shown(page[0]));
  EditFirstVisit.SetText(Shown(page[1]));
  EditLastVisit.SetText(Shown(page[2]));
  EditKeywords.SetText(Shown(page[3]));
  EditHits.SetText(Shown(page[4]));
}

void TfrmSnipProperties::OkClick() {
  if (!session_.SNIPPETS || !session_.SNIPPETS->Active()) return;
  ado::Table& t = *session_.SNIPPETS;
  if (!t.Locate("ID", ado::Variant(snippet_id_))) return;
  t.Edit();
  try {
    t.FieldByName("Name").SetValue(ado::Variant(EditName.Text()));
    t.FieldByName("Note").SetValue(ado::Variant(MemoNote.Text()));
    t.Post();
  } catch (...) {
    if (t.State() != ado::DataSetState::Browse) t.Cancel();
    throw;
  }
}

}  // namespace vt
