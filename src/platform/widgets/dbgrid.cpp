#include "platform/widgets/dbgrid.h"

#include <algorithm>
#include <cctype>

namespace vt::widgets {

namespace {

bool IsNumber(const ado::Variant& v) {
  return v.Kind() == ado::VariantKind::Integer || v.Kind() == ado::VariantKind::Double ||
         v.Kind() == ado::VariantKind::Boolean;
}

std::string Lower(const std::string& s) {
  std::string out = s;
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

// Nulls first, numbers by value, everything else as text ignoring case.
int Compare(const ado::Variant& a, const ado::Variant& b) {
  if (a.IsNull() || b.IsNull()) return a.IsNull() == b.IsNull() ? 0 : (a.IsNull() ? -1 : 1);
  if (IsNumber(a) && IsNumber(b)) {
    double x = a.AsDouble(), y = b.AsDouble();
    return x < y ? -1 : (x > y ? 1 : 0);
  }
  std::string x = Lower(a.AsString()), y = Lower(b.AsString());
  return x.compare(y) < 0 ? -1 : (x == y ? 0 : 1);
}

}  // namespace

DBGrid::DBGrid(std::string name, Control* parent)
    : Control("grid", std::move(name), parent),
      link_({[this] { Reload(); }, [this] { FollowCurrentRow(); }, nullptr}) {}

DBGrid::~DBGrid() = default;

void DBGrid::SetDataSource(ado::DataSource* source) {
  link_.SetSource(source);
  Reload();
}

void DBGrid::SetColumns(std::vector<GridColumn> columns) {
  given_columns_ = std::move(columns);
  Reload();
}

void DBGrid::SetPreviewField(std::string field) {
  preview_field_ = std::move(field);
  Reload();
}

void DBGrid::Reload() {
  ado::Variant old_key = FocusedKey();
  int old_focus = focused_;
  rows_.clear();
  order_.clear();
  focused_ = -1;
  columns_.clear();
  // A row being written stays untouched: moving the cursor would post it.
  if (link_.Active() && !link_.Writing()) {
    ado::DataSet& ds = *link_.DataSet();
    columns_ = given_columns_;
    if (columns_.empty()) {
      for (int i = 0; i < ds.FieldCount(); ++i)
        columns_.push_back({ds.FieldDefAt(i).name, "", true, 0});
    }
    for (auto& c : columns_) {
      if (c.caption.empty()) c.caption = c.field;
    }
    std::vector<int> index;
    for (const auto& c : columns_) index.push_back(ds.FindFieldIndex(c.field));
    int key_index = key_field_.empty() ? -1 : ds.FindFieldIndex(key_field_);
    int preview_index = preview_field_.empty() ? -1 : ds.FindFieldIndex(preview_field_);

    const int current_position = link_.ForEachRow([&](const DataLink::RowPlace& place) {
      Row row;
      row.place = place;
      for (int i : index) row.values.push_back(i >= 0 ? ds.FieldAt(i).Value() : ado::Variant());
      if (key_index >= 0) row.key = ds.FieldAt(key_index).Value();
      if (preview_index >= 0) row.preview = ds.FieldAt(preview_index).AsString();
      rows_.push_back(std::move(row));
    });
    Resort();
    // Focus: the row with the old key, else the data set's current row.
    int focus = -1;
    for (size_t i = 0; i < order_.size() && !old_key.IsNull(); ++i) {
      if (rows_[order_[i]].key == old_key) {
        focus = static_cast<int>(i);
        break;
      }
    }
    for (size_t i = 0; i < order_.size() && focus < 0 && current_position > 0; ++i) {
      if (rows_[order_[i]].place.position == current_position) focus = static_cast<int>(i);
    }
    focused_ = focus;
  }
  Changed();
  if (focused_ != old_focus || !(FocusedKey() == old_key)) Raise(OnFocusedRowChanged, *this);
}

void DBGrid::Resort() {
  order_.resize(rows_.size());
  for (size_t i = 0; i < rows_.size(); ++i) order_[i] = i;
  if (sort_column_ < 0 || static_cast<size_t>(sort_column_) >= columns_.size()) return;
  size_t col = static_cast<size_t>(sort_column_);
  std::stable_sort(order_.begin(), order_.end(), [&](size_t a, size_t b) {
    int c = Compare(rows_[a].values[col], rows_[b].values[col]);
    return sort_descending_ ? c > 0 : c < 0;
  });
}

ado::Variant DBGrid::Value(size_t row, size_t column) const {
  if (row >= order_.size() || column >= columns_.size()) return ado::Variant();
  return rows_[order_[row]].values[column];
}

ado::Variant DBGrid::FocusedValue(size_t column) const {
  return focused_ < 0 ? ado::Variant() : Value(static_cast<size_t>(focused_), column);
}

ado::Variant DBGrid::FocusedKey() const {
  if (focused_ < 0 || static_cast<size_t>(focused_) >= order_.size()) return ado::Variant();
  return rows_[order_[focused_]].key;
}

void DBGrid::MoveDataSetTo(const Row& row) {
  link_.MoveTo(row.place);
}

void DBGrid::SetFocusedRow(int row) {
  if (row < -1 || row >= static_cast<int>(order_.size())) row = -1;
  if (row == focused_) return;
  focused_ = row;
  if (row >= 0) MoveDataSetTo(rows_[order_[row]]);
  Changed();
  Raise(OnFocusedRowChanged, *this);
}

void DBGrid::FollowCurrentRow() {
  ado::DataSet* ds = link_.DataSet();
  if (!ds || !ds->Active() || ds->Eof()) return;
  const DataLink::RowPlace current = link_.Current();
  for (size_t i = 0; i < order_.size(); ++i) {
    const Row& r = rows_[order_[i]];
    const bool same = current.bookmark ? r.place.bookmark == current.bookmark
                                       : r.place.position == current.position;
    if (same) {
      if (static_cast<int>(i) != focused_) {
        focused_ = static_cast<int>(i);
        Changed();
        Raise(OnFocusedRowChanged, *this);
      }
      return;
    }
  }
}

void DBGrid::SortBy(int column, bool descending) {
  if (column < -1 || column >= static_cast<int>(columns_.size())) return;
  ado::Variant key = FocusedKey();
  size_t focused_index = focused_ >= 0 ? order_[focused_] : rows_.size();
  sort_column_ = column;
  sort_descending_ = descending;
  Resort();
  // The same row stays focused.
  if (focused_index < rows_.size()) {
    auto it = std::find(order_.begin(), order_.end(), focused_index);
    focused_ = static_cast<int>(it - order_.begin());
  }
  Changed();
}

bool DBGrid::IncrementalSearch(const std::string& text) {
  size_t col = sort_column_ >= 0 ? static_cast<size_t>(sort_column_) : 0;
  std::string needle = Lower(text);
  for (size_t i = 0; i < order_.size(); ++i) {
    if (col >= columns_.size()) break;
    std::string cell = Lower(rows_[order_[i]].values[col].AsString());
    if (cell.compare(0, needle.size(), needle) == 0) {
      SetFocusedRow(static_cast<int>(i));
      return true;
    }
  }
  return false;
}

void DBGrid::FocusFromInput(const Json& input) {
  if (input.contains("row")) SetFocusedRow(JsonInt(input, "row", -1));
}

void DBGrid::DoClick(const Json& input) {
  FocusFromInput(input);
  Raise(OnClick, *this);
}

void DBGrid::DoDblClick(const Json& input) {
  FocusFromInput(input);
  Raise(OnDblClick, *this);
}

void DBGrid::DoContextPopup(Point screen, const Json& input) {
  FocusFromInput(input);
  Control::DoContextPopup(screen, input);
}

bool DBGrid::HandleOwnInput(const std::string& type, const Json& input) {
  if (type == "select") {
    int row = JsonInt(input, "row", -2);
    if (row < -1 || row >= static_cast<int>(order_.size())) return false;
    SetFocusedRow(row);
    return true;
  }
  if (type == "sort") {  // a header click
    int column = JsonInt(input, "column", -2);
    if (column < 0 || column >= static_cast<int>(columns_.size())) return false;
    bool descending = column == sort_column_ && !sort_descending_;
    SortBy(column, descending);
    return true;
  }
  if (type == "search") {
    IncrementalSearch(JsonString(input, "text"));
    return true;
  }
  return false;
}

void DBGrid::DescribeState(Json& out) const {
  Json columns = Json::array();
  for (const auto& c : columns_) {
    columns.push_back(
        {{"field", c.field}, {"caption", c.caption}, {"visible", c.visible}, {"width", c.width}});
  }
  out["columns"] = std::move(columns);
  Json rows = Json::array();
  for (size_t i = 0; i < order_.size(); ++i) {
    const Row& r = rows_[order_[i]];
    Json cells = Json::array();
    for (const auto& v : r.values) cells.push_back(v.AsString());
    Json row = {{"cells", std::move(cells)}};
    if (!preview_field_.empty()) row["preview"] = r.preview;
    rows.push_back(std::move(row));
  }
  out["rows"] = std::move(rows);
  out["focusedRow"] = focused_;
  out["sortColumn"] = sort_column_;
  out["sortDescending"] = sort_descending_;
  out["keyField"] = key_field_;
}

}  // namespace vt::widgets
