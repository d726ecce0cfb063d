#pragma once
// The tables, columns, indexes and saved query of the database file "vellumtrace.mdb". The data
// module declares these columns as the persistent fields of its table objects; the installation
// creates them and repairs what is missing.
#include <string>
#include <vector>

#include "platform/ado/dataset.h"

namespace vt::storage {

struct ColumnSpec {
  const char* name;
  ado::FieldKind kind;
  int size = 0;                  // characters, for Text
  const char* default_sql = "";  // e.g. "0"
};

struct TableSpec {
  const char* name;
  std::vector<ColumnSpec> columns;  // the first is the auto number
};

struct IndexSpec {
  const char* name;
  const char* table;
  const char* columns;  // "UrlID, WordID"
};

const std::vector<TableSpec>& Tables();
const TableSpec& TableByName(const std::string& name);
const std::vector<IndexSpec>& Indexes();

inline constexpr const char* kDatabaseFileName = "vellumtrace.mdb";
inline constexpr const char* kWordSearchView = "QWordSearchDrill";
// The saved query's columns that the search relies on.
inline const std::vector<std::string> kWordSearchColumns = {"UrlID", "URL", "Title", "WordID"};

// SQL text of one column definition, one CREATE TABLE, the saved query, and the two triggers that
// cut an over-long text value to its column's size however it was written.
std::string ColumnSql(const ColumnSpec& c);
std::string CreateTableSql(const TableSpec& t);
std::string CreateIndexSql(const IndexSpec& i);
std::string CreateWordSearchViewSql();
struct TriggerSpec {
  std::string name;
  std::string sql;
};
std::vector<TriggerSpec> LengthTriggers(const TableSpec& t);

}  // namespace vt::storage
