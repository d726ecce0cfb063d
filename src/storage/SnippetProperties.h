#pragma once
// TfrmSnipProperties, the "Snippet Properties" dialog: the snippet's name and note, editable, and
// what is known of the page it came from (address, first and last visit, keywords, hits), read
// only. OK stores the name and the note; Cancel stores nothing. UI thread only; the session is
// borrowed.
#include <cstdint>
#include <string>

#include "platform/widgets/dialogs.h"
#include "platform/widgets/standard.h"

namespace vt {

class TmyDOM;

class TfrmSnipProperties : public widgets::Form {
 public:
  TfrmSnipProperties(TmyDOM& session, std::int32_t snippet_id);

  // Fills the fields from the database (also run when the form is shown).
  void FormShow();
  // Stores the edited name and note into the snippet's row.
  void OkClick();

  // A labelled row: caption on the left, the field filling the rest.
  struct Row {
    Row(const std::string& name, widgets::Control* parent, const std::string& caption);
    widgets::Panel panel;
    widgets::Label label;
  };

  Row NameRow;
  widgets::Edit EditName{"EditName", &NameRow.panel};
  widgets::Panel NotePanel{"NotePanel", this};
  widgets::Label LabelNote{"LabelNote", &NotePanel, "Note"};
  widgets::Memo MemoNote{"MemoNote", &NotePanel};
  widgets::Panel GroupBox1{"GroupBox1", this};
  widgets::Label GroupCaption{"GroupCaption", &GroupBox1, " Original Website Information "};
  Row UrlRow;
  widgets::Edit EditUrl{"EditUrl", &UrlRow.panel};
  Row FirstRow;
  widgets::Edit EditFirstVisit{"EditFirstVisit", &FirstRow.panel};
  Row LastRow;
  widgets::Edit EditLastVisit{"EditLastVisit", &LastRow.panel};
  Row KeywordsRow;
  widgets::Edit EditKeywords{"EditKeywords", &KeywordsRow.panel};
  Row HitsRow;
  widgets::Edit EditHits{"EditHits", &HitsRow.panel};
  widgets::Panel ButtonPanel{"ButtonPanel", this};
  widgets::Button btnOK{"btnOK", &ButtonPanel, "OK"};
  widgets::Button btnCancel{"btnCancel", &ButtonPanel, "Cancel"};

 private:
  TmyDOM& session_;
  std::int32_t snippet_id_;
};

}  // namespace vt
