#pragma once
// A data grid bound to a data set: the rows of the data set with the columns given (every field
// when none are), a focused row that the data set's cursor follows, sorting by a column (a header
// click sorts ascending, a second click descending), a grey preview line under each row, and
// incremental search that focuses the first row whose sort column (column 0 when unsorted)
// begins with the typed text, ignoring letter case.
//
// The rows are read when the grid is bound and whenever the data set is opened, refreshed, or a
// row is posted or deleted; closing the data set empties the grid.

#include <string>
#include <vector>

#include "platform/ado/dataset.h"
#include "platform/widgets/control.h"
#include "platform/widgets/datalink.h"

namespace vt::widgets {

struct GridColumn {
  std::string field;
  std::string caption;  // the field name when empty
  bool visible = true;
  int width = 0;
};

class DBGrid : public Control {
 public:
  explicit DBGrid(std::string name, Control* parent = nullptr);
  ~DBGrid() override;

  // Not owned; both must outlive the binding. nullptr unbinds and empties the grid.
  void SetDataSource(ado::DataSource* source);
  ado::DataSource* DataSource() const { return link_.Source(); }
  void SetColumns(std::vector<GridColumn> columns);
  const std::vector<GridColumn>& Columns() const { return columns_; }  // as shown
  void SetKeyField(std::string field) { key_field_ = std::move(field); }
  const std::string& KeyField() const { return key_field_; }
  void SetPreviewField(std::string field);  // "" = no preview line

  void Reload();
  size_t RowCount() const { return order_.size(); }
  // Value of a column of a row in display order; null past the end.
  ado::Variant Value(size_t row, size_t column) const;
  std::string Text(size_t row, size_t column) const { return Value(row, column).AsString(); }
  // Focused row in display order, -1 when none.
  int FocusedRow() const { return focused_; }
  // Focuses a row, moves the data set to it and raises OnFocusedRowChanged when it changed.
  void SetFocusedRow(int row);
  // The focused row's value of column `column` (null when no row is focused).
  ado::Variant FocusedValue(size_t column) const;
  // The focused row's key field value (null when none or no key field).
  ado::Variant FocusedKey() const;

  int SortColumn() const { return sort_column_; }  // -1 = data set order
  bool SortDescending() const { return sort_descending_; }
  void SortBy(int column, bool descending);
  // Focuses the first row whose sort column begins with `text`; false (focus kept) when none.
  bool IncrementalSearch(const std::string& text);

  NotifyEvent OnFocusedRowChanged;

 protected:
  void DescribeState(Json& out) const override;
  bool HandleOwnInput(const std::string& type, const Json& input) override;
  void DoClick(const Json& input) override;
  void DoDblClick(const Json& input) override;
  void DoContextPopup(Point screen, const Json& input) override;

 private:
  struct Row {
    std::vector<ado::Variant> values;  // per column
    ado::Variant key;
    std::string preview;
    DataLink::RowPlace place;
  };
  void Resort();
  void MoveDataSetTo(const Row& row);
  void FollowCurrentRow();
  void FocusFromInput(const Json& input);

  DataLink link_;
  std::vector<GridColumn> given_columns_;
  std::vector<GridColumn> columns_;
  std::string key_field_;
  std::string preview_field_;
  std::vector<Row> rows_;
  std::vector<size_t> order_;  // display order: indexes into rows_
  int focused_ = -1;
  int sort_column_ = -1;
  bool sort_descending_ = false;
  std::string search_text_;
};

}  // namespace vt::widgets
