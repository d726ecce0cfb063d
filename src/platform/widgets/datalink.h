#pragma once
// The link between a data-bound control and the data set behind its data source: binding and
// unbinding, the data set's events sorted into what a control does about them, a guard for the
// cursor moves the control makes itself (their events are not reported back to it), and walks
// over every row that leave the cursor where it was.
//
// Used on the UI thread only. The data source and its data set are not owned and must outlive
// the binding (SetSource(nullptr) releases it; so does destroying the link).

#include <cstdint>
#include <functional>

#include "platform/ado/dataset.h"

namespace vt::widgets {

class DataLink {
 public:
  struct Handlers {
    std::function<void()> rows_changed;   // opened, refreshed, posted, deleted or closed
    std::function<void()> cursor_moved;   // the current row changed
    std::function<void()> state_changed;  // insert / edit began or ended; may be empty
  };

  // Where a row is: a table's bookmark, else its 1-based place in the data set.
  struct RowPlace {
    int64_t bookmark = 0;
    int position = 0;
  };

  explicit DataLink(Handlers handlers);
  ~DataLink();
  DataLink(const DataLink&) = delete;
  DataLink& operator=(const DataLink&) = delete;

  // Tells a posted row and a re-read apart from the other changes (instead of rows_changed):
  // `row_posted` runs with the posted row current; `reread` when the data set was read again.
  void SetRowHandlers(std::function<void()> row_posted, std::function<void()> reread);

  // Binds to the data set of `source` (nullptr unbinds). Raises no handler.
  void SetSource(ado::DataSource* source);
  ado::DataSource* Source() const { return source_; }
  ado::DataSet* DataSet() const { return bound_; }

  // Bound, open and enabled.
  bool Active() const;
  // A row is being inserted or edited: moving the cursor now would post it.
  bool Writing() const;

  // While the returned guard lives, the cursor moves and writes of the control are not
  // reported back to it. Guards nest.
  class SyncGuard {
   public:
    explicit SyncGuard(DataLink& link) : link_(link), old_(link.syncing_) { link_.syncing_ = true; }
    ~SyncGuard() { link_.syncing_ = old_; }
    SyncGuard(const SyncGuard&) = delete;
    SyncGuard& operator=(const SyncGuard&) = delete;

   private:
    DataLink& link_;
    bool old_;
  };
  bool Syncing() const { return syncing_; }

  // Calls `visit` on every row from the first, with the row's place, then puts the cursor back
  // on the row that was current. Returns the position of that row in the walk, 0 when there was
  // none. Needs Active() and not Writing().
  int ForEachRow(const std::function<void(const RowPlace&)>& visit);
  // The place of the current row (position 0 and bookmark 0 when there is none).
  RowPlace Current() const;
  // Moves the cursor to a place taken by ForEachRow; false when the row is gone.
  bool MoveTo(const RowPlace& place);

 private:
  void OnData(ado::DataEvent event);

  Handlers handlers_;
  std::function<void()> row_posted_;
  std::function<void()> reread_;
  ado::DataSource* source_ = nullptr;
  ado::DataSet* bound_ = nullptr;
  int listener_ = 0;
  bool syncing_ = false;
};

}  // namespace vt::widgets
