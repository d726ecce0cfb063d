#pragma once
// Data sets: the common row-and-field surface of text-command queries (query.h) and table objects
// (table.h). A data set is Inactive until opened; an open one is in Browse state, or in Insert or
// Edit state while a row is being written. It has at most one current row (none at Eof).
// Field names are matched without regard to letter case.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ado/connection.h"
#include "platform/ado/error.h"
#include "platform/ado/variant.h"

namespace vt::ado {

enum class DataSetState { Inactive, Browse, Insert, Edit };

enum class FieldKind { AutoNumber, Integer, Float, Text, Memo, DateTime, Boolean, Unknown };

struct FieldDef {
  std::string name;
  FieldKind kind = FieldKind::Unknown;
  int size = 0;  // characters for Text; 0 = unbounded
};

// The field kind and size a declared SQL column type stands for ("VARCHAR(50)" is Text 50).
FieldDef FieldDefFromDeclType(std::string name, std::string_view decl_type);

// A value as read from the engine, given the kind of its field (booleans from 0/1, date-times
// from their text).
Variant FromStorage(const FieldDef& field, Variant raw);

// What a data set tells its observers (a bound control reloads or follows the current row).
enum class DataEvent { Opened, Closed, Scrolled, StateChanged, Posted, Deleted, Refreshed };

class DataSet;

// A handle on one field of a data set's current row (or of the row being written).
class Field {
 public:
  Field(DataSet* owner, int index) : owner_(owner), index_(index) {}
  const std::string& FieldName() const;
  FieldKind Kind() const;
  int Size() const;
  Variant Value() const;
  bool IsNull() const { return Value().IsNull(); }
  std::string AsString() const { return Value().AsString(); }
  int32_t AsInteger() const { return Value().AsInteger(); }
  double AsFloat() const { return Value().AsDouble(); }
  bool AsBoolean() const { return Value().AsBoolean(); }
  DateTime AsDateTime() const { return Value().AsDateTime(); }
  // Only in Insert or Edit state; a Text value longer than the field is cut to its size.
  void SetValue(const Variant& value) const;
  void Clear() const { SetValue(Variant()); }

 private:
  DataSet* owner_;
  int index_;
};

class DataSet {
 public:
  explicit DataSet(Connection* connection = nullptr);
  virtual ~DataSet();
  DataSet(const DataSet&) = delete;
  DataSet& operator=(const DataSet&) = delete;

  // Assigning a connection to an open data set closes it first.
  void SetConnection(Connection* connection);
  Connection* GetConnection() const { return connection_; }

  virtual void Open() = 0;
  virtual void Close();
  void SetActive(bool active) { active ? Open() : Close(); }
  bool Active() const { return state_ != DataSetState::Inactive; }
  DataSetState State() const { return state_; }

  // Navigation; moving away from a row in Insert or Edit state posts it first.
  virtual void First() = 0;
  virtual void Next() = 0;
  virtual void Prior() = 0;
  virtual void Last() = 0;
  bool Eof() const { return eof_; }
  bool Bof() const { return bof_; }
  bool IsEmpty() const { return eof_ && bof_; }
  virtual int RecordCount() = 0;

  // Writing rows; a text-command data set is read-only and throws State errors.
  virtual void Insert();
  void Append() { Insert(); }
  virtual void Edit();
  virtual void Post();
  virtual void Cancel();
  virtual void Delete();

  int FieldCount() const { return static_cast<int>(fields_.size()); }
  const FieldDef& FieldDefAt(int i) const { return fields_.at(static_cast<size_t>(i)); }
  Field FieldAt(int i) { return Field(this, i); }
  // -1 when there is no such field.
  int FindFieldIndex(std::string_view name) const;
  // Throws NotFound "Field 'x' not found" when there is no such field. Needs an open data set.
  Field FieldByName(std::string_view name);
  // Values of a ';'-separated list of fields of the current row.
  std::vector<Variant> FieldValues(std::string_view names);

  // Observers: called after the event, on the data set's thread.
  int AddListener(std::function<void(DataEvent)> listener);
  void RemoveListener(int id);

  // Called by a connection that is being destroyed.
  void ConnectionGone();

 protected:
  friend class Field;
  void CheckActive() const;
  void CheckBrowse();  // posts a pending row
  void SetState(DataSetState s);
  void Notify(DataEvent e);
  virtual const std::string& ObjectName() const;
  Variant CurrentValue(int index) const;
  virtual void AssignValue(int index, const Variant& value);

  Connection* connection_ = nullptr;
  DataSetState state_ = DataSetState::Inactive;
  std::vector<FieldDef> fields_;
  std::vector<Variant> row_;    // current row, or the row being written
  std::vector<bool> assigned_;  // fields set since Insert / Edit
  bool eof_ = true;
  bool bof_ = true;

 private:
  std::vector<std::pair<int, std::function<void(DataEvent)>>> listeners_;
  int next_listener_ = 1;
};

// Splits "UrlID;WordID" into its names (blanks around names are dropped).
std::vector<std::string> SplitFieldList(std::string_view names);
// Cuts UTF-8 text to at most `max_chars` Unicode characters.
std::string CutToChars(const std::string& text, int max_chars);
// Case-insensitive ASCII equality of two names.
bool SameName(std::string_view a, std::string_view b);

}  // namespace vt::ado

namespace vt::ado {

// Binds a data set to controls that show it (a data-bound tree list or grid).
class DataSource {
 public:
  explicit DataSource(DataSet* data_set = nullptr) : data_set_(data_set) {}
  void SetDataSet(DataSet* d) { data_set_ = d; }
  DataSet* GetDataSet() const { return data_set_; }
  void SetEnabled(bool on) { enabled_ = on; }
  bool Enabled() const { return enabled_; }

 private:
  DataSet* data_set_;
  bool enabled_ = true;
};

}  // namespace vt::ado
