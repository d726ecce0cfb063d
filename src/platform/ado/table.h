#pragma once
// A table object: one table of the database seen through a cursor that holds only its current
// row. Rows are read on demand with indexed SQL (keyset navigation), never the whole table, so
// locating a row in a table of millions costs one index search.
//
// Row order: the index field names ("Word", or "UrlID;WordID"), then the row's internal number;
// without index field names, insertion order. Text comparisons (order, locate, lookup, filter)
// ignore letter case. Text longer than its column is cut to the column's length in characters
// when it is written.
//
// Declared fields: when any are declared, Open fails unless every one of them is a column of the
// table, and only they are fields of the data set; otherwise every column is a field.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ado/dataset.h"
#include "platform/ado/filter.h"

namespace vt::ado {

enum class CursorType { Unspecified, ForwardOnly, Keyset, Dynamic, Static };

// Locate options. Text keys are compared without regard to case unless loCaseSensitive is given
// (loCaseInsensitive is accepted for clarity and changes nothing). loPartialKey: a text key
// matches every value that begins with it.
enum LocateOption : unsigned { loCaseInsensitive = 1u, loPartialKey = 2u, loCaseSensitive = 4u };
using LocateOptions = unsigned;

class Table : public DataSet {
 public:
  explicit Table(std::string table_name = {}, Connection* connection = nullptr)
      : DataSet(connection), table_name_(std::move(table_name)) {}
  ~Table() override { Table::Close(); }

  void SetTableName(std::string name);
  const std::string& TableName() const { return table_name_; }
  void SetCursorType(CursorType t) { cursor_type_ = t; }
  CursorType GetCursorType() const { return cursor_type_; }
  void SetCacheSize(int n) { cache_size_ = n; }
  int CacheSize() const { return cache_size_; }
  // Changing the order of an open table moves it to its first row.
  void SetIndexFieldNames(std::string names);
  const std::string& IndexFieldNames() const { return index_field_names_; }
  void DeclareField(std::string name, FieldKind kind, int size = 0);
  const std::vector<FieldDef>& DeclaredFields() const { return declared_; }

  // The filter applies while Filtered is on and the expression is not empty. Setting either on an
  // open table moves it to its first row. A malformed expression throws and leaves the old one.
  void SetFilter(std::string expression);
  const std::string& Filter() const { return filter_; }
  void SetFiltered(bool on);
  bool Filtered() const { return filtered_; }

  // Throws AdoError: Closed (connection not open), NotFound (no such table, a declared column
  // missing), Locked, Damaged.
  void Open() override;
  void Close() override;

  void First() override;
  void Next() override;
  void Prior() override;
  void Last() override;
  int RecordCount() override;

  // Moves to the first row (in the table's order, within the filter) whose key fields equal the
  // values; false and the cursor unchanged when there is none. A null value matches null.
  bool Locate(std::string_view key_fields, const std::vector<Variant>& values,
              LocateOptions options = 0);
  bool Locate(std::string_view key_field, const Variant& value, LocateOptions options = 0) {
    return Locate(key_field, std::vector<Variant>{value}, options);
  }
  // The result fields (';'-separated) of the first row with those keys, without moving the
  // cursor; an empty vector when there is none.
  std::vector<Variant> Lookup(std::string_view key_fields, const std::vector<Variant>& values,
                              std::string_view result_fields);
  // One result field; null when there is no such row.
  Variant LookupValue(std::string_view key_fields, const std::vector<Variant>& values,
                      std::string_view result_field);

  void Insert() override;
  void Edit() override;
  void Post() override;
  void Cancel() override;
  void Delete() override;

  // Calls fn with the values of `fields` (';'-separated) of every row within the filter, in the
  // table's order, with one statement; the cursor does not move. Reads no other column, so a
  // caller that needs only keys and names never reads the rows' large texts.
  void ScanFields(std::string_view fields,
                  const std::function<void(const std::vector<Variant>& values)>& fn);
  // Whether the current row passes the filter (true without a filter; false at Eof).
  bool CurrentRowInFilter();
  // Deletes every row whose `key_field` is one of `keys`, in one transaction: all of them or,
  // when the engine refuses, none (the error is thrown). When the current row is among them the
  // cursor moves to the next row left (else the one before). Raises Deleted once. Returns the
  // number of rows deleted.
  int DeleteKeys(std::string_view key_field, const std::vector<Variant>& keys);

  // Whether following the parent links (`parent_field` naming a row's `key_field`) up from the
  // row with key `from` meets the key `to` (from == to counts), over all rows regardless of the
  // filter. Circles in the links end the walk. The cursor does not move.
  bool ParentChainReaches(std::string_view key_field, std::string_view parent_field,
                          const Variant& from, const Variant& to);

  // The keys of the rows `roots` and of every row below them (rows whose parent links lead up to
  // one of them), over all rows regardless of the filter; each key once.
  std::vector<Variant> SubtreeKeys(std::string_view key_field, std::string_view parent_field,
                                   const std::vector<Variant>& roots);

  // Re-reads the table and moves to its first row.
  void Requery();
  // Re-reads the current row (the first row when it is gone).
  void Refresh();
  // The current row's internal number, 0 when there is none; GotoBookmark answers false when the
  // row no longer exists.
  int64_t Bookmark() const { return eof_ && bof_ ? 0 : rowid_; }
  bool GotoBookmark(int64_t bookmark);

 protected:
  const std::string& ObjectName() const override { return table_name_; }

 private:
  struct Order {
    std::vector<int> fields;  // indexes into fields_ (empty: rowid order only)
  };
  void CheckConnected() const;
  // The SQL name of a field's column ("rowid" for the auto number); throws for an unknown field.
  std::string ColumnSql(std::string_view name) const;
  void CheckBrowseIfActive();
  void BuildOrder();
  std::vector<Variant> FilterParams() const;
  std::string Where(const std::string& extra) const;
  // Runs a select of one row; true and the row becomes current when there is one.
  bool Fetch(const std::string& sql, const std::vector<Variant>& params);
  bool ReadRowId(int64_t rowid);
  void SetEmpty();
  std::vector<Variant> OrderKey() const;
  bool Step(bool forward);
  std::string KeyConditions(std::string_view key_fields, const std::vector<Variant>& values,
                            LocateOptions options, std::vector<Variant>& params) const;

  std::string table_name_;
  CursorType cursor_type_ = CursorType::Unspecified;
  int cache_size_ = 1;
  std::string index_field_names_;
  std::vector<FieldDef> declared_;
  std::string filter_;
  bool filtered_ = false;
  SqlCondition filter_sql_;

  // Fixed at Open.
  std::string select_;      // "SELECT rowid, [a], [b] FROM [T]"
  std::string order_by_;    // " ORDER BY [Word], rowid"
  std::string order_desc_;  // " ORDER BY [Word] DESC, rowid DESC"
  Order order_;
  int64_t rowid_ = 0;
  int64_t saved_rowid_ = 0;  // row to return to when an insert is cancelled
};

}  // namespace vt::ado
