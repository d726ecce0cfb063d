#include "storage/SnippetProperties.h"

#include <utility>

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
  SetBounds({0, 0, 440, 390});
  // Label on the left, field on the right, one row every kRowHeight pixels.
  auto place = [](Row& row, widgets::Control& field, int top) {
    row.panel.SetBounds({8, top, 424, kRowHeight});
    row.label.SetBounds({0, 3, kLabelWidth, 20});
    field.SetBounds({kLabelWidth, 0, 424 - kLabelWidth - 8, 22});
  };
  place(NameRow, EditName, 10);
  NotePanel.SetBounds({8, 40, 424, 110});
  LabelNote.SetBounds({0, 3, kLabelWidth, 20});
  MemoNote.SetBounds({kLabelWidth, 0, 424 - kLabelWidth - 8, 104});
  GroupBox1.SetBounds({8, 156, 424, 186});
  GroupCaption.SetBounds({0, 0, 424, 20});
  GroupCaption.SetBold(true);
  int top = 24;
  for (auto [row, field] : {std::pair<Row*, widgets::Edit*>{&UrlRow, &EditUrl},
                            {&FirstRow, &EditFirstVisit},
                            {&LastRow, &EditLastVisit},
                            {&KeywordsRow, &EditKeywords},
                            {&HitsRow, &EditHits}}) {
    place(*row, *field, top);
    field->SetReadOnly(true);
    top += kRowHeight + 6;
  }
  ButtonPanel.SetBounds({8, 346, 424, 34});
  btnOK.SetBounds({252, 4, 80, 26});
  btnOK.SetDefault(true);
  btnOK.SetModalResult(widgets::ModalResult::Ok);
  btnCancel.SetBounds({340, 4, 80, 26});
  btnCancel.SetCancel(true);
  btnCancel.SetModalResult(widgets::ModalResult::Cancel);
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
