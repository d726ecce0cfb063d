#pragma once
// A connection to one database file. It accepts a provider-style connection string and reads
// only its "Data Source=" item: the path of an existing SQLite 3 file (the file is never created
// here). Committed changes are durable: write-ahead log with full sync on every commit.
// Single-threaded: a connection and its data sets belong to the thread that made them.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/ado/error.h"
#include "platform/ado/variant.h"

struct sqlite3;
struct sqlite3_stmt;

namespace vt::ado {

class DataSet;
class Connection;

enum class ObjectState { Closed, Open };

// The value of one "Key=Value" item of a connection string (case-insensitive key), "" if absent.
// A value may be quoted with double quotes; "" stands for the empty value.
std::string ConnectionStringValue(std::string_view connection_string, std::string_view key);

// A prepared statement from the connection's cache. Use() hands it out reset and unbound.
class Statement {
 public:
  Statement(const Connection* owner, sqlite3_stmt* stmt, std::string sql)
      : owner_(owner), stmt_(stmt), sql_(std::move(sql)) {}
  ~Statement();
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  void Bind(int index, const Variant& value);  // 1-based
  // Steps once: true when a row is available, false when done; throws on error.
  bool Step();
  void Reset();
  int ColumnCount() const;
  std::string ColumnName(int i) const;
  std::string ColumnDeclType(int i) const;  // "" for expressions
  Variant Column(int i) const;              // by storage class
  sqlite3_stmt* Raw() const { return stmt_; }
  const std::string& Sql() const { return sql_; }

 private:
  const Connection* owner_;
  sqlite3_stmt* stmt_;
  std::string sql_;
};

class Connection {
 public:
  Connection();
  ~Connection();
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  void SetConnectionString(std::string text) { connection_string_ = std::move(text); }
  const std::string& ConnectionString() const { return connection_string_; }
  // The file named by "Data Source=" of the connection string.
  std::string DatabasePath() const;

  // How long a statement waits for another process's lock before failing (default 2000 ms).
  void SetBusyTimeout(int milliseconds);

  // Opens the file of the connection string. Throws AdoError: NotFound when there is no such
  // file, Locked when another process holds it, Damaged when it is not a sound database.
  void Open();
  // Closes every data set opened on this connection, then the file. Never throws.
  void Close();
  bool Connected() const { return db_ != nullptr; }
  ObjectState State() const { return db_ ? ObjectState::Open : ObjectState::Closed; }

  // Runs statements that return no rows; answers the rows changed by the last one.
  int Execute(std::string_view sql);

  // Runs exactly one statement (text after it is an error); answers the rows it changed.
  int ExecuteOne(const std::string& sql);

  // For data sets: a cached prepared statement for this exact text (reset, no bindings).
  Statement& Prepare(const std::string& sql);
  // An uncached statement for one-off text (the first statement of `sql`).
  std::unique_ptr<Statement> PrepareOnce(const std::string& sql);
  int64_t LastInsertRowId() const;
  int Changes() const;
  void Attach(DataSet* data_set);
  void Detach(DataSet* data_set);
  // Turns an engine result code into the layer's exception.
  [[noreturn]] void Fail(int rc, std::string_view context = {}) const;

 private:
  std::string connection_string_;
  std::string path_;
  sqlite3* db_ = nullptr;
  int busy_timeout_ms_ = 2000;
  std::unordered_map<std::string, std::unique_ptr<Statement>> cache_;
  std::vector<DataSet*> data_sets_;
};

}  // namespace vt::ado
