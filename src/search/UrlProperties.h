#pragma once
// TfrmUrlProperties, the "Url Properties" dialog of a recorded page: title, address, first and
// last visit, keywords and hits, read-only. Shown modally from the Search tab's result grid.
// UI thread only. The dialog borrows the page session, which must outlive it.
#include <array>
#include <cstdint>
#include <string>

#include "platform/widgets/dialogs.h"
#include "platform/widgets/standard.h"

namespace vt {

class TmyDOM;

class TfrmUrlProperties : public widgets::Form {
 public:
  TfrmUrlProperties(TmyDOM& session, std::int32_t url_id);

  // The six values, in the order of the dialog: title, URL, first visit, last visit, keywords,
  // hits. Empty until shown; still empty after showing when there is no URL row of that ID.
  static constexpr int kFieldCount = 6;
  std::string FieldText(int index) const { return edits_[index]->Text(); }
  std::string FieldLabel(int index) const { return labels_[index]->Caption(); }

  widgets::Panel GroupBox1{"GroupBox1", this};
  widgets::Label lblGroup{"lblGroup", &GroupBox1, "Web Page Information "};
  widgets::Panel rowTitle{"rowTitle", &GroupBox1};
  widgets::Label lblTitle{"lblTitle", &rowTitle, "Title"};
  widgets::Edit edTitle{"edTitle", &rowTitle};
  widgets::Panel rowUrl{"rowUrl", &GroupBox1};
  widgets::Label lblUrl{"lblUrl", &rowUrl, "URL"};
  widgets::Edit edUrl{"edUrl", &rowUrl};
  widgets::Panel rowFirst{"rowFirst", &GroupBox1};
  widgets::Label lblFirst{"lblFirst", &rowFirst, "First Visit"};
  widgets::Edit edFirst{"edFirst", &rowFirst};
  widgets::Panel rowLast{"rowLast", &GroupBox1};
  widgets::Label lblLast{"lblLast", &rowLast, "Last Visit"};
  widgets::Edit edLast{"edLast", &rowLast};
  widgets::Panel rowKeywords{"rowKeywords", &GroupBox1};
  widgets::Label lblKeywords{"lblKeywords", &rowKeywords, "Keywords"};
  widgets::Edit edKeywords{"edKeywords", &rowKeywords};
  widgets::Panel rowHits{"rowHits", &GroupBox1};
  widgets::Label lblHits{"lblHits", &rowHits, "Hits"};
  widgets::Edit edHits{"edHits", &rowHits};
  widgets::Panel ButtonRow{"ButtonRow", this};
  widgets::Button btnOK{"btnOK", &ButtonRow, "OK"};

 private:
  void FormShow();

  TmyDOM& session_;
  std::int32_t url_id_;
  std::array<widgets::Edit*, kFieldCount> edits_{&edTitle, &edUrl,      &edFirst,
                                                 &edLast,  &edKeywords, &edHits};
  std::array<widgets::Label*, kFieldCount> labels_{&lblTitle, &lblUrl,      &lblFirst,
                                                   &lblLast,  &lblKeywords, &lblHits};
};

}  // namespace vt
