#pragma once
// A text-command data set: its command text is one SQL statement. Open runs a statement that
// returns rows and reads all of them (results here are small: one-row lookups, candidate lists
// and search results); ExecSQL runs one that returns none. Read-only. SQL of the original
// desktop database runs as written: [bracketed] names, LIKE with % and _, DISTINCT, LEFT JOIN;
// text comparisons ignore letter case through the columns' collation.
#include <string>
#include <vector>

#include "platform/ado/dataset.h"

namespace vt::ado {

class Query : public DataSet {
 public:
  explicit Query(Connection* connection = nullptr) : DataSet(connection) {}
  ~Query() override { Query::Close(); }

  // Changing the command text of an open data set closes it.
  void SetCommandText(std::string sql);
  const std::string& CommandText() const { return sql_; }

  // Throws AdoError (Closed without an open connection, Syntax, Locked, Damaged, Sql).
  void Open() override;
  // Rows changed by the statement.
  int ExecSQL();

  void Close() override;
  void First() override;
  void Next() override;
  void Prior() override;
  void Last() override;
  int RecordCount() override;
  // 1-based number of the current row, 0 at Eof of an empty result.
  int RecNo() const { return eof_ && bof_ ? 0 : static_cast<int>(pos_) + 1; }

 protected:
  const std::string& ObjectName() const override;

 private:
  void Load();
  std::string sql_;
  std::vector<std::vector<Variant>> rows_;
  size_t pos_ = 0;
};

// SQL text of a text value: between single quotes, every single quote doubled.
std::string QuotedStr(std::string_view text);

}  // namespace vt::ado
