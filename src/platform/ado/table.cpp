#include "platform/ado/table.h"

#include <algorithm>
#include <set>

namespace vt::ado {
namespace {

std::string Col(const FieldDef& f) {
  return "[" + f.name + "]";
}

bool IsTextKind(FieldKind k) {
  return k == FieldKind::Text || k == FieldKind::Memo;
}

// Escapes LIKE's own wildcards so that a partial key matches literally.
std::string LikePrefix(const std::string& s) {
  std::string out;
  for (char c : s) {
    if (c == '%' || c == '_' || c == '\\') out += '\\';
    out += c;
  }
  return out + "%";
}

}  // namespace

void Table::SetTableName(std::string name) {
  Close();
  table_name_ = std::move(name);
}

void Table::DeclareField(std::string name, FieldKind kind, int size) {
  declared_.push_back({std::move(name), kind, size});
}

void Table::SetIndexFieldNames(std::string names) {
  CheckBrowseIfActive();
  index_field_names_ = std::move(names);
  if (Active()) {
    BuildOrder();
    First();
  }
}

void Table::SetFilter(std::string expression) {
  CheckBrowseIfActive();
  if (Active()) filter_sql_ = TranslateFilter(expression, fields_);
  filter_ = std::move(expression);
  if (Active()) First();
}

void Table::SetFiltered(bool on) {
  CheckBrowseIfActive();
  filtered_ = on;
  if (Active()) First();
}

void Table::CheckBrowseIfActive() {
  if (Active()) CheckBrowse();
}

void Table::CheckConnected() const {
  if (!connection_ || !connection_->Connected())
    throw AdoError(ErrorKind::Closed, "Operation is not allowed when the connection is closed.");
}

void Table::Open() {
  if (Active()) return;
  CheckConnected();
  Statement& info = connection_->Prepare("SELECT name, type, pk FROM pragma_table_info(?)");
  info.Bind(1, Variant(table_name_));
  std::vector<FieldDef> columns;
  while (info.Step()) {
    FieldDef f = FieldDefFromDeclType(info.Column(0).AsString(), info.Column(1).AsString());
    if (info.Column(2).AsInt64() == 1 && f.kind == FieldKind::Integer)
      f.kind = FieldKind::AutoNumber;
    columns.push_back(std::move(f));
  }
  info.Reset();
  if (columns.empty())
    throw AdoError(ErrorKind::NotFound,
                   "The table '" + table_name_ + "' does not exist in the database.");
  std::vector<FieldDef> fields;
  if (declared_.empty()) {
    fields = columns;
  } else {
    for (const auto& d : declared_) {
      const FieldDef* found = nullptr;
      for (const auto& c : columns)
        if (SameName(c.name, d.name)) found = &c;
      if (!found)
        throw AdoError(ErrorKind::NotFound,
                       table_name_ + ": Field '" + d.name + "' not found in the table's columns");
      fields.push_back(*found);
    }
  }
  fields_ = std::move(fields);
  filter_sql_ = TranslateFilter(filter_, fields_);
  select_ = "SELECT rowid";
  for (const auto& f : fields_) select_ += ", " + Col(f);
  select_ += " FROM [" + table_name_ + "]";
  BuildOrder();
  state_ = DataSetState::Browse;
  assigned_.assign(fields_.size(), false);
  try {
    First();
  } catch (...) {
    state_ = DataSetState::Inactive;
    throw;
  }
  Notify(DataEvent::Opened);
}

void Table::BuildOrder() {
  order_.fields.clear();
  for (const auto& name : SplitFieldList(index_field_names_)) {
    int i = FindFieldIndex(name);
    if (i < 0)
      throw AdoError(ErrorKind::NotFound, table_name_ + ": Index field '" + name + "' not found");
    // The auto number is the row's internal number: ordering by it is the default order.
    if (fields_[static_cast<size_t>(i)].kind == FieldKind::AutoNumber) break;
    order_.fields.push_back(i);
  }
  order_by_ = " ORDER BY ";
  order_desc_ = " ORDER BY ";
  for (int i : order_.fields) {
    order_by_ += Col(fields_[static_cast<size_t>(i)]) + ", ";
    order_desc_ += Col(fields_[static_cast<size_t>(i)]) + " DESC, ";
  }
  order_by_ += "rowid";
  order_desc_ += "rowid DESC";
}

void Table::Close() {
  if (!Active()) return;
  rowid_ = saved_rowid_ = 0;
  DataSet::Close();
}

std::string Table::Where(const std::string& extra) const {
  std::string w;
  if (filtered_ && !filter_sql_.sql.empty()) w = "(" + filter_sql_.sql + ")";
  if (!extra.empty()) w += (w.empty() ? "" : " AND ") + extra;
  return w.empty() ? "" : " WHERE " + w;
}

bool Table::Fetch(const std::string& sql, const std::vector<Variant>& params) {
  Statement& st = connection_->Prepare(sql);
  for (size_t i = 0; i < params.size(); ++i) st.Bind(static_cast<int>(i) + 1, params[i]);
  bool found = st.Step();
  if (found) {
    rowid_ = st.Column(0).AsInt64();
    row_.resize(fields_.size());
    for (size_t i = 0; i < fields_.size(); ++i)
      row_[i] = FromStorage(fields_[i], st.Column(static_cast<int>(i) + 1));
    eof_ = bof_ = false;
  }
  st.Reset();
  return found;
}

std::vector<Variant> Table::FilterParams() const {
  if (filtered_ && !filter_sql_.sql.empty()) return filter_sql_.params;
  return {};
}

void Table::SetEmpty() {
  rowid_ = 0;
  row_.assign(fields_.size(), Variant());
  eof_ = bof_ = true;
}

bool Table::ReadRowId(int64_t rowid) {
  return Fetch(select_ + " WHERE rowid = ?", {Variant(rowid)});
}

void Table::First() {
  CheckBrowse();
  if (!Fetch(select_ + Where("") + order_by_ + " LIMIT 1", FilterParams()))
    SetEmpty();
  else
    bof_ = true;
  Notify(DataEvent::Scrolled);
}

void Table::Last() {
  CheckBrowse();
  if (!Fetch(select_ + Where("") + order_desc_ + " LIMIT 1", FilterParams()))
    SetEmpty();
  else
    eof_ = false;
  Notify(DataEvent::Scrolled);
}

// The condition "after (forward) or before the current row in the table's order". Nulls sort
// first, as the engine sorts them.
bool Table::Step(bool forward) {
  std::vector<Variant> params = FilterParams();
  std::vector<Variant> key;
  bool any_null = false;
  for (int i : order_.fields) {
    key.push_back(row_[static_cast<size_t>(i)]);
    any_null = any_null || key.back().IsNull();
  }
  std::string cond;
  if (forward && !any_null) {
    // Row values let the engine search the index directly.
    std::string lhs = "(", rhs = "(";
    for (int i : order_.fields) lhs += Col(fields_[static_cast<size_t>(i)]) + ", ", rhs += "?, ";
    cond = lhs + "rowid) > " + rhs + "?)";
    for (auto& k : key) params.push_back(k);
    params.push_back(Variant(rowid_));
  } else {
    // Lexicographic expansion: equal on the first j keys and beyond on key j (or on rowid).
    std::string equal_prefix;
    std::vector<Variant> prefix_params;
    for (size_t j = 0; j <= order_.fields.size(); ++j) {
      std::string beyond;
      std::vector<Variant> beyond_params;
      if (j == order_.fields.size()) {
        beyond = forward ? "rowid > ?" : "rowid < ?";
        beyond_params.push_back(Variant(rowid_));
      } else {
        std::string c = Col(fields_[static_cast<size_t>(order_.fields[j])]);
        if (key[j].IsNull()) {
          beyond = forward ? c + " IS NOT NULL" : "0";
        } else {
          beyond = forward ? c + " > ?" : "(" + c + " < ? OR " + c + " IS NULL)";
          beyond_params.push_back(key[j]);
        }
      }
      cond += (cond.empty() ? "(" : " OR (") + equal_prefix + beyond + ")";
      for (auto& p : prefix_params) params.push_back(p);
      for (auto& p : beyond_params) params.push_back(p);
      if (j < order_.fields.size()) {
        std::string c = Col(fields_[static_cast<size_t>(order_.fields[j])]);
        if (key[j].IsNull()) {
          equal_prefix += c + " IS NULL AND ";
        } else {
          equal_prefix += c + " = ? AND ";
          prefix_params.push_back(key[j]);
        }
      }
    }
    cond = "(" + cond + ")";
  }
  return Fetch(select_ + Where(cond) + (forward ? order_by_ : order_desc_) + " LIMIT 1", params);
}

void Table::Next() {
  CheckBrowse();
  if (eof_) return;
  if (!Step(true))
    eof_ = true;
  else
    bof_ = false;
  Notify(DataEvent::Scrolled);
}

void Table::Prior() {
  CheckBrowse();
  if (eof_ && bof_) return;
  if (!Step(false))
    bof_ = true;
  else
    eof_ = false;
  Notify(DataEvent::Scrolled);
}

int Table::RecordCount() {
  CheckActive();
  Statement& st = connection_->Prepare("SELECT count(*) FROM [" + table_name_ + "]" + Where(""));
  auto params = FilterParams();
  for (size_t i = 0; i < params.size(); ++i) st.Bind(static_cast<int>(i) + 1, params[i]);
  st.Step();
  int n = static_cast<int>(st.Column(0).AsInt64());
  st.Reset();
  return n;
}

std::string Table::KeyConditions(std::string_view key_fields, const std::vector<Variant>& values,
                                 LocateOptions options, std::vector<Variant>& params) const {
  auto names = SplitFieldList(key_fields);
  if (names.empty() || names.size() != values.size())
    throw AdoError(ErrorKind::State, table_name_ + ": the key fields and values do not match");
  std::string cond;
  for (size_t k = 0; k < names.size(); ++k) {
    int i = FindFieldIndex(names[k]);
    if (i < 0)
      throw AdoError(ErrorKind::NotFound, table_name_ + ": Field '" + names[k] + "' not found");
    const FieldDef& f = fields_[static_cast<size_t>(i)];
    std::string c = f.kind == FieldKind::AutoNumber ? "rowid" : Col(f);
    std::string part;
    const Variant& v = values[k];
    if (v.IsNull()) {
      part = c + " IS NULL";
    } else if (IsTextKind(f.kind) && (options & loPartialKey)) {
      if (options & loCaseSensitive) {
        part = "instr(" + c + ", ?) = 1";
        params.push_back(v);
      } else {
        part = c + " LIKE ? ESCAPE '\\'";
        params.push_back(Variant(LikePrefix(v.AsString())));
      }
    } else if (IsTextKind(f.kind)) {
      part = c + ((options & loCaseSensitive) ? " = ? COLLATE BINARY" : " = ? COLLATE NOCASE");
      params.push_back(v.Kind() == VariantKind::Text ? v : Variant(v.AsString()));
    } else {
      part = c + " = ?";
      params.push_back(v);
    }
    cond += (cond.empty() ? "" : " AND ") + part;
  }
  return cond;
}

bool Table::Locate(std::string_view key_fields, const std::vector<Variant>& values,
                   LocateOptions options) {
  CheckBrowse();
  std::vector<Variant> params = FilterParams();
  std::string cond = KeyConditions(key_fields, values, options, params);
  // Keep the current row if nothing matches.
  auto saved_row = row_;
  int64_t saved_rowid = rowid_;
  bool saved_eof = eof_, saved_bof = bof_;
  if (Fetch(select_ + Where(cond) + order_by_ + " LIMIT 1", params)) {
    Notify(DataEvent::Scrolled);
    return true;
  }
  row_ = std::move(saved_row);
  rowid_ = saved_rowid;
  eof_ = saved_eof;
  bof_ = saved_bof;
  return false;
}

std::vector<Variant> Table::Lookup(std::string_view key_fields, const std::vector<Variant>& values,
                                   std::string_view result_fields) {
  CheckActive();
  std::vector<Variant> params = FilterParams();
  std::string cond = KeyConditions(key_fields, values, 0, params);
  std::vector<int> wanted;
  std::string sql = "SELECT ";
  for (const auto& name : SplitFieldList(result_fields)) {
    int i = FindFieldIndex(name);
    if (i < 0)
      throw AdoError(ErrorKind::NotFound, table_name_ + ": Field '" + name + "' not found");
    sql += (wanted.empty() ? "" : ", ") + Col(fields_[static_cast<size_t>(i)]);
    wanted.push_back(i);
  }
  if (wanted.empty()) throw AdoError(ErrorKind::State, table_name_ + ": no result field");
  sql += " FROM [" + table_name_ + "]" + Where(cond) + order_by_ + " LIMIT 1";
  Statement& st = connection_->Prepare(sql);
  for (size_t i = 0; i < params.size(); ++i) st.Bind(static_cast<int>(i) + 1, params[i]);
  std::vector<Variant> out;
  if (st.Step()) {
    for (size_t k = 0; k < wanted.size(); ++k)
      out.push_back(
          FromStorage(fields_[static_cast<size_t>(wanted[k])], st.Column(static_cast<int>(k))));
  }
  st.Reset();
  return out;
}

Variant Table::LookupValue(std::string_view key_fields, const std::vector<Variant>& values,
                           std::string_view result_field) {
  auto v = Lookup(key_fields, values, result_field);
  return v.empty() ? Variant() : v.front();
}

void Table::Insert() {
  CheckBrowse();
  saved_rowid_ = Bookmark();
  row_.assign(fields_.size(), Variant());
  assigned_.assign(fields_.size(), false);
  eof_ = bof_ = false;
  SetState(DataSetState::Insert);
}

void Table::Edit() {
  CheckBrowse();
  if (eof_ && bof_)
    throw AdoError(ErrorKind::State, table_name_ + ": Cannot edit: there is no current row");
  assigned_.assign(fields_.size(), false);
  SetState(DataSetState::Edit);
}

void Table::Post() {
  CheckActive();
  if (state_ == DataSetState::Insert) {
    std::string cols, marks;
    std::vector<Variant> params;
    for (size_t i = 0; i < fields_.size(); ++i) {
      if (!assigned_[i]) continue;
      cols += (cols.empty() ? "" : ", ") + Col(fields_[i]);
      marks += marks.empty() ? "?" : ", ?";
      params.push_back(row_[i]);
    }
    std::string sql = "INSERT INTO [" + table_name_ + "]" +
                      (cols.empty() ? " DEFAULT VALUES" : " (" + cols + ") VALUES (" + marks + ")");
    Statement& st = connection_->Prepare(sql);
    for (size_t i = 0; i < params.size(); ++i) st.Bind(static_cast<int>(i) + 1, params[i]);
    st.Step();
    st.Reset();
    int64_t id = connection_->LastInsertRowId();
    // The row as stored: defaults filled in, the auto number assigned.
    if (!ReadRowId(id)) SetEmpty();
  } else if (state_ == DataSetState::Edit) {
    std::string sets;
    std::vector<Variant> params;
    for (size_t i = 0; i < fields_.size(); ++i) {
      if (!assigned_[i]) continue;
      sets += (sets.empty() ? "" : ", ") + Col(fields_[i]) + " = ?";
      params.push_back(row_[i]);
    }
    if (!sets.empty()) {
      params.push_back(Variant(rowid_));
      Statement& st =
          connection_->Prepare("UPDATE [" + table_name_ + "] SET " + sets + " WHERE rowid = ?");
      for (size_t i = 0; i < params.size(); ++i) st.Bind(static_cast<int>(i) + 1, params[i]);
      st.Step();
      st.Reset();
      if (connection_->Changes() == 0)
        throw AdoError(ErrorKind::State,
                       table_name_ + ": The row to be updated no longer exists in the table");
    }
    ReadRowId(rowid_);
  } else {
    return;
  }
  assigned_.assign(fields_.size(), false);
  SetState(DataSetState::Browse);
  Notify(DataEvent::Posted);
}

void Table::Cancel() {
  CheckActive();
  if (state_ == DataSetState::Insert) {
    state_ = DataSetState::Browse;
    if (saved_rowid_ == 0 || !ReadRowId(saved_rowid_)) First();
  } else if (state_ == DataSetState::Edit) {
    state_ = DataSetState::Browse;
    if (!ReadRowId(rowid_)) First();
  } else {
    return;
  }
  assigned_.assign(fields_.size(), false);
  Notify(DataEvent::StateChanged);
}

void Table::Delete() {
  CheckActive();
  if (state_ == DataSetState::Insert) {
    Cancel();
    return;
  }
  if (state_ == DataSetState::Edit) Cancel();
  if (eof_ && bof_)
    throw AdoError(ErrorKind::State, table_name_ + ": Cannot delete: the table is empty");
  Statement& st = connection_->Prepare("DELETE FROM [" + table_name_ + "] WHERE rowid = ?");
  st.Bind(1, Variant(rowid_));
  st.Step();
  st.Reset();
  // The row after the deleted one becomes current, else the one before it.
  if (!Step(true) && !Step(false))
    SetEmpty();
  else
    eof_ = bof_ = false;
  Notify(DataEvent::Deleted);
}

void Table::ScanFields(std::string_view fields,
                       const std::function<void(const std::vector<Variant>& values)>& fn) {
  CheckActive();
  std::vector<int> wanted;
  std::string sql = "SELECT ";
  for (const auto& name : SplitFieldList(fields)) {
    int i = FindFieldIndex(name);
    if (i < 0)
      throw AdoError(ErrorKind::NotFound, table_name_ + ": Field '" + name + "' not found");
    const FieldDef& f = fields_[static_cast<size_t>(i)];
    sql += (wanted.empty() ? "" : ", ") + (f.kind == FieldKind::AutoNumber ? "rowid" : Col(f));
    wanted.push_back(i);
  }
  if (wanted.empty()) throw AdoError(ErrorKind::State, table_name_ + ": no field to read");
  sql += " FROM [" + table_name_ + "]" + Where("") + order_by_;
  // An uncached statement: a callback may use the table (and its cached statements) meanwhile.
  auto st = connection_->PrepareOnce(sql);
  auto params = FilterParams();
  for (size_t i = 0; i < params.size(); ++i) st->Bind(static_cast<int>(i) + 1, params[i]);
  std::vector<Variant> values(wanted.size());
  while (st->Step()) {
    for (size_t k = 0; k < wanted.size(); ++k)
      values[k] =
          FromStorage(fields_[static_cast<size_t>(wanted[k])], st->Column(static_cast<int>(k)));
    fn(values);
  }
}

bool Table::CurrentRowInFilter() {
  CheckActive();
  if (eof_ && bof_) return false;
  if (!filtered_ || filter_sql_.sql.empty()) return true;
  std::vector<Variant> params = FilterParams();
  params.push_back(Variant(rowid_));
  Statement& st = connection_->Prepare("SELECT 1 FROM [" + table_name_ + "]" + Where("rowid = ?"));
  for (size_t i = 0; i < params.size(); ++i) st.Bind(static_cast<int>(i) + 1, params[i]);
  bool in = st.Step();
  st.Reset();
  return in;
}

int Table::DeleteKeys(std::string_view key_field, const std::vector<Variant>& keys) {
  CheckBrowse();
  int i = FindFieldIndex(key_field);
  if (i < 0)
    throw AdoError(ErrorKind::NotFound,
                   table_name_ + ": Field '" + std::string(key_field) + "' not found");
  const FieldDef& f = fields_[static_cast<size_t>(i)];
  const std::string col = f.kind == FieldKind::AutoNumber ? "rowid" : Col(f);
  constexpr size_t kChunk = 500;
  int deleted = 0;
  connection_->Execute("SAVEPOINT delete_keys");
  try {
    for (size_t from = 0; from < keys.size(); from += kChunk) {
      const size_t n = std::min(kChunk, keys.size() - from);
      std::string sql = "DELETE FROM [" + table_name_ + "] WHERE " + col + " IN (?";
      for (size_t k = 1; k < n; ++k) sql += ", ?";
      sql += ")";
      Statement& st = connection_->Prepare(sql);
      for (size_t k = 0; k < n; ++k) st.Bind(static_cast<int>(k) + 1, keys[from + k]);
      st.Step();
      st.Reset();
      deleted += connection_->Changes();
    }
    connection_->Execute("RELEASE delete_keys");
  } catch (...) {
    try {
      connection_->Execute("ROLLBACK TO delete_keys");
      connection_->Execute("RELEASE delete_keys");
    } catch (const std::exception&) {
    }
    throw;
  }
  // Where the cursor stood on a deleted row, the row after it (in order) becomes current.
  if (!(eof_ && bof_) && !ReadRowId(rowid_)) {
    if (!Step(true) && !Step(false))
      SetEmpty();
    else
      eof_ = bof_ = false;
  }
  Notify(DataEvent::Deleted);
  return deleted;
}

std::vector<Variant> Table::SubtreeKeys(std::string_view key_field, std::string_view parent_field,
                                        const std::vector<Variant>& roots) {
  CheckActive();
  const std::string key = ColumnSql(key_field);
  const std::string parent = ColumnSql(parent_field);
  std::vector<Variant> out;
  std::set<int64_t> seen;
  constexpr size_t kChunk = 500;
  for (size_t from = 0; from < roots.size(); from += kChunk) {
    const size_t n = std::min(kChunk, roots.size() - from);
    std::string marks = "?";
    for (size_t k = 1; k < n; ++k) marks += ", ?";
    auto st = connection_->PrepareOnce(
        "WITH RECURSIVE down(k) AS (SELECT " + key + " FROM [" + table_name_ + "] WHERE " + key +
        " IN (" + marks + ") UNION SELECT t." + key + " FROM [" + table_name_ +
        "] t JOIN down ON t." + parent + " = down.k) SELECT k FROM down");
    for (size_t k = 0; k < n; ++k) st->Bind(static_cast<int>(k) + 1, roots[from + k]);
    while (st->Step()) {
      Variant v = st->Column(0);
      if (seen.insert(v.AsInt64()).second) out.push_back(v);
    }
  }
  return out;
}

std::string Table::ColumnSql(std::string_view name) const {
  int i = FindFieldIndex(name);
  if (i < 0)
    throw AdoError(ErrorKind::NotFound,
                   table_name_ + ": Field '" + std::string(name) + "' not found");
  const FieldDef& f = fields_[static_cast<size_t>(i)];
  return f.kind == FieldKind::AutoNumber ? std::string("rowid") : Col(f);
}

bool Table::ParentChainReaches(std::string_view key_field, std::string_view parent_field,
                               const Variant& from, const Variant& to) {
  CheckActive();
  const std::string key = ColumnSql(key_field);
  const std::string parent = ColumnSql(parent_field);
  // UNION (not UNION ALL) drops keys met before, so a circle ends the walk.
  Statement& st = connection_->Prepare("WITH RECURSIVE up(k) AS (SELECT ? UNION SELECT t." +
                                       parent + " FROM [" + table_name_ + "] t JOIN up ON t." +
                                       key + " = up.k WHERE t." + parent +
                                       " IS NOT NULL) SELECT 1 FROM up WHERE k = ? LIMIT 1");
  st.Bind(1, from);
  st.Bind(2, to);
  bool found = st.Step();
  st.Reset();
  return found;
}

void Table::Requery() {
  CheckBrowse();
  // One event for observers: the re-read, not a scroll before it.
  if (!Fetch(select_ + Where("") + order_by_ + " LIMIT 1", FilterParams()))
    SetEmpty();
  else
    bof_ = true;
  Notify(DataEvent::Refreshed);
}

void Table::Refresh() {
  CheckBrowse();
  if (eof_ && bof_)
    First();
  else if (!ReadRowId(rowid_))
    First();
  Notify(DataEvent::Refreshed);
}

bool Table::GotoBookmark(int64_t bookmark) {
  CheckBrowse();
  if (bookmark <= 0 || !ReadRowId(bookmark)) return false;
  Notify(DataEvent::Scrolled);
  return true;
}

}  // namespace vt::ado
