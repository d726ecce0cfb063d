#include "platform/ado/query.h"

namespace vt::ado {

std::string QuotedStr(std::string_view text) {
  std::string out = "'";
  for (char c : text) {
    out += c;
    if (c == '\'') out += '\'';
  }
  out += '\'';
  return out;
}

const std::string& Query::ObjectName() const {
  static const std::string kName = "Query";
  return kName;
}

void Query::SetCommandText(std::string sql) {
  Close();
  sql_ = std::move(sql);
}

void Query::Open() {
  if (Active()) return;
  if (!connection_ || !connection_->Connected())
    throw AdoError(ErrorKind::Closed, "Operation is not allowed when the connection is closed.");
  auto stmt = connection_->PrepareOnce(sql_);
  if (stmt->ColumnCount() == 0)
    throw AdoError(ErrorKind::State, "Query: the command text does not return a result set");
  fields_.clear();
  for (int i = 0; i < stmt->ColumnCount(); ++i) {
    FieldDef f = FieldDefFromDeclType(stmt->ColumnName(i), stmt->ColumnDeclType(i));
    fields_.push_back(std::move(f));
  }
  rows_.clear();
  while (stmt->Step()) {
    std::vector<Variant> row;
    row.reserve(fields_.size());
    for (int i = 0; i < stmt->ColumnCount(); ++i)
      row.push_back(FromStorage(fields_[static_cast<size_t>(i)], stmt->Column(i)));
    rows_.push_back(std::move(row));
  }
  state_ = DataSetState::Browse;
  assigned_.assign(fields_.size(), false);
  pos_ = 0;
  Load();
  Notify(DataEvent::Opened);
}

int Query::ExecSQL() {
  Close();
  if (!connection_ || !connection_->Connected())
    throw AdoError(ErrorKind::Closed, "Operation is not allowed when the connection is closed.");
  return connection_->ExecuteOne(sql_);
}

void Query::Close() {
  rows_.clear();
  DataSet::Close();
}

void Query::Load() {
  eof_ = pos_ >= rows_.size();
  bof_ = rows_.empty() || pos_ == 0;
  if (!eof_)
    row_ = rows_[pos_];
  else
    row_.assign(fields_.size(), Variant());
}

void Query::First() {
  CheckActive();
  pos_ = 0;
  Load();
  Notify(DataEvent::Scrolled);
}

void Query::Next() {
  CheckActive();
  if (pos_ < rows_.size()) ++pos_;
  Load();
  bof_ = rows_.empty();
  Notify(DataEvent::Scrolled);
}

void Query::Prior() {
  CheckActive();
  if (pos_ == 0) {
    bof_ = true;
    return;
  }
  --pos_;
  Load();
  Notify(DataEvent::Scrolled);
}

void Query::Last() {
  CheckActive();
  pos_ = rows_.empty() ? 0 : rows_.size() - 1;
  Load();
  Notify(DataEvent::Scrolled);
}

int Query::RecordCount() {
  CheckActive();
  return static_cast<int>(rows_.size());
}

}  // namespace vt::ado
