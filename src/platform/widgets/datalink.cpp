#include "platform/widgets/datalink.h"

#include "platform/ado/query.h"
#include "platform/ado/table.h"

namespace vt::widgets {

DataLink::DataLink(Handlers handlers) : handlers_(std::move(handlers)) {}

void DataLink::SetRowHandlers(std::function<void()> row_posted, std::function<void()> reread) {
  row_posted_ = std::move(row_posted);
  reread_ = std::move(reread);
}

DataLink::~DataLink() {
  SetSource(nullptr);
}

void DataLink::SetSource(ado::DataSource* source) {
  if (bound_ && listener_) bound_->RemoveListener(listener_);
  bound_ = nullptr;
  listener_ = 0;
  source_ = source;
  bound_ = source_ ? source_->GetDataSet() : nullptr;
  if (bound_) listener_ = bound_->AddListener([this](ado::DataEvent e) { OnData(e); });
}

bool DataLink::Active() const {
  return bound_ && bound_->Active() && (!source_ || source_->Enabled());
}

bool DataLink::Writing() const {
  return bound_ && (bound_->State() == ado::DataSetState::Insert ||
                    bound_->State() == ado::DataSetState::Edit);
}

void DataLink::OnData(ado::DataEvent event) {
  if (syncing_) return;
  switch (event) {
    case ado::DataEvent::Posted:
      if (row_posted_) {
        row_posted_();
        break;
      }
      if (handlers_.rows_changed) handlers_.rows_changed();
      break;
    case ado::DataEvent::Refreshed:
      if (reread_) {
        reread_();
        break;
      }
      if (handlers_.rows_changed) handlers_.rows_changed();
      break;
    case ado::DataEvent::Opened:
    case ado::DataEvent::Deleted:
    case ado::DataEvent::Closed:
      if (handlers_.rows_changed) handlers_.rows_changed();
      break;
    case ado::DataEvent::Scrolled:
      if (handlers_.cursor_moved) handlers_.cursor_moved();
      break;
    case ado::DataEvent::StateChanged:
      if (handlers_.state_changed) handlers_.state_changed();
      break;
  }
}

DataLink::RowPlace DataLink::Current() const {
  RowPlace place;
  if (!bound_ || !bound_->Active() || bound_->Eof()) return place;
  if (auto* table = dynamic_cast<const ado::Table*>(bound_)) {
    place.bookmark = table->Bookmark();
  } else if (auto* query = dynamic_cast<const ado::Query*>(bound_)) {
    place.position = query->RecNo();
  }
  return place;
}

int DataLink::ForEachRow(const std::function<void(const RowPlace&)>& visit) {
  if (!bound_ || !bound_->Active() || Writing()) return 0;
  SyncGuard guard(*this);
  const RowPlace current = Current();
  auto* table = dynamic_cast<ado::Table*>(bound_);
  int current_position = 0;
  RowPlace place;
  for (bound_->First(); !bound_->Eof(); bound_->Next()) {
    ++place.position;
    place.bookmark = table ? table->Bookmark() : 0;
    if (!current_position && (current.bookmark || current.position) &&
        (table ? place.bookmark == current.bookmark : place.position == current.position)) {
      current_position = place.position;
    }
    visit(place);
  }
  if (current_position) MoveTo(RowPlace{current.bookmark, current_position});
  return current_position;
}

bool DataLink::MoveTo(const RowPlace& place) {
  if (!bound_ || !bound_->Active()) return false;
  SyncGuard guard(*this);
  if (auto* table = dynamic_cast<ado::Table*>(bound_)) {
    if (place.bookmark && table->GotoBookmark(place.bookmark)) return true;
  }
  if (place.position <= 0) return false;
  bound_->First();
  for (int i = 1; i < place.position && !bound_->Eof(); ++i) bound_->Next();
  return !bound_->Eof();
}

}  // namespace vt::widgets
