#include "platform/ado/connection.h"

#include <sqlite3.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>

#include "platform/ado/dataset.h"

namespace vt::ado {
namespace {

bool SameKey(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
  return s;
}

}  // namespace

std::string ConnectionStringValue(std::string_view text, std::string_view key) {
  size_t i = 0;
  while (i < text.size()) {
    size_t eq = text.find('=', i);
    if (eq == std::string_view::npos) break;
    std::string_view name = Trim(text.substr(i, eq - i));
    size_t v = eq + 1;
    std::string value;
    while (v < text.size() && text[v] == ' ') ++v;
    if (v < text.size() && text[v] == '"') {
      // Quoted value: "" inside stands for one quote.
      ++v;
      while (v < text.size()) {
        if (text[v] == '"') {
          if (v + 1 < text.size() && text[v + 1] == '"') {
            value += '"';
            v += 2;
            continue;
          }
          ++v;
          break;
        }
        value += text[v++];
      }
      size_t semi = text.find(';', v);
      i = semi == std::string_view::npos ? text.size() : semi + 1;
    } else {
      size_t semi = text.find(';', v);
      size_t end = semi == std::string_view::npos ? text.size() : semi;
      value = std::string(Trim(text.substr(v, end - v)));
      i = semi == std::string_view::npos ? text.size() : semi + 1;
    }
    if (SameKey(name, key)) return value;
  }
  return {};
}

// ---- Statement ----

Statement::~Statement() {
  sqlite3_finalize(stmt_);
}

void Statement::Bind(int index, const Variant& value) {
  int rc = SQLITE_OK;
  const auto& v = VariantAccess::Of(value);
  switch (value.Kind()) {
    case VariantKind::Null:
      rc = sqlite3_bind_null(stmt_, index);
      break;
    case VariantKind::Integer:
      rc = sqlite3_bind_int64(stmt_, index, std::get<int64_t>(v));
      break;
    case VariantKind::Double:
      rc = sqlite3_bind_double(stmt_, index, std::get<double>(v));
      break;
    case VariantKind::Boolean:
      rc = sqlite3_bind_int(stmt_, index, std::get<bool>(v) ? 1 : 0);
      break;
    case VariantKind::Text: {
      const auto& s = std::get<std::string>(v);
      rc = sqlite3_bind_text(stmt_, index, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
      break;
    }
    case VariantKind::DateTime: {
      std::string s = std::get<DateTime>(v).ToString();
      rc = sqlite3_bind_text(stmt_, index, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
      break;
    }
  }
  if (rc != SQLITE_OK) owner_->Fail(rc, sql_);
}

bool Statement::Step() {
  int rc = sqlite3_step(stmt_);
  if (rc == SQLITE_ROW) return true;
  if (rc == SQLITE_DONE) return false;
  sqlite3_reset(stmt_);
  owner_->Fail(rc, sql_);
}

void Statement::Reset() {
  sqlite3_reset(stmt_);
  sqlite3_clear_bindings(stmt_);
}

int Statement::ColumnCount() const {
  return sqlite3_column_count(stmt_);
}

std::string Statement::ColumnName(int i) const {
  const char* n = sqlite3_column_name(stmt_, i);
  return n ? n : "";
}

std::string Statement::ColumnDeclType(int i) const {
  const char* n = sqlite3_column_decltype(stmt_, i);
  return n ? n : "";
}

Variant Statement::Column(int i) const {
  switch (sqlite3_column_type(stmt_, i)) {
    case SQLITE_INTEGER:
      return Variant(static_cast<int64_t>(sqlite3_column_int64(stmt_, i)));
    case SQLITE_FLOAT:
      return Variant(sqlite3_column_double(stmt_, i));
    case SQLITE_NULL:
      return Variant();
    default: {
      const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, i));
      return Variant(std::string(p ? p : "", static_cast<size_t>(sqlite3_column_bytes(stmt_, i))));
    }
  }
}

// ---- Connection ----

Connection::Connection() = default;

Connection::~Connection() {
  Close();
  for (DataSet* d : data_sets_) d->ConnectionGone();
}

std::string Connection::DatabasePath() const {
  return ConnectionStringValue(connection_string_, "Data Source");
}

void Connection::SetBusyTimeout(int milliseconds) {
  busy_timeout_ms_ = milliseconds;
  if (db_) sqlite3_busy_timeout(db_, milliseconds);
}

void Connection::Fail(int rc, std::string_view context) const {
  const std::string where = path_.empty() ? DatabasePath() : path_;
  switch (rc & 0xff) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
      throw AdoError(ErrorKind::Locked, "The database file '" + where +
                                            "' is locked by another process; try again later.");
    case SQLITE_NOTADB:
    case SQLITE_CORRUPT:
      throw AdoError(ErrorKind::Damaged,
                     "The database file '" + where + "' is damaged or is not a database.");
    case SQLITE_CANTOPEN:
      throw AdoError(ErrorKind::NotFound, "Cannot open the database file '" + where + "'.");
    default:
      break;
  }
  std::string message = db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(rc);
  if (!message.empty()) message[0] = static_cast<char>(std::toupper(message[0]));
  ErrorKind kind = message.find("syntax error") != std::string::npos ||
                           message.find("no such") != std::string::npos
                       ? ErrorKind::Syntax
                       : ErrorKind::Sql;
  (void)context;
  throw AdoError(kind, message + ".");
}

void Connection::Open() {
  if (db_) return;
  std::string path = DatabasePath();
  if (path.empty())
    throw AdoError(ErrorKind::NotFound, "The connection string names no data source.");
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
    throw AdoError(ErrorKind::NotFound, "Cannot open the database file '" + path + "'.");
  path_ = path;
  sqlite3* db = nullptr;
  int rc = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr);
  if (rc != SQLITE_OK) {
    sqlite3_close_v2(db);
    Fail(rc);
  }
  db_ = db;
  sqlite3_busy_timeout(db_, busy_timeout_ms_);
  sqlite3_extended_result_codes(db_, 1);
  try {
    // Reading the schema first tells a damaged or foreign file from a database.
    Execute("SELECT count(*) FROM sqlite_master");
    Execute("PRAGMA journal_mode=WAL");
    Execute("PRAGMA synchronous=FULL");
  } catch (...) {
    Close();
    throw;
  }
}

void Connection::Close() {
  // Copy: closing a data set may detach it.
  auto sets = data_sets_;
  for (DataSet* d : sets) d->Close();
  cache_.clear();
  if (db_) {
    sqlite3_close_v2(db_);
    db_ = nullptr;
  }
}

int Connection::Execute(std::string_view sql) {
  if (!db_)
    throw AdoError(ErrorKind::Closed, "Operation is not allowed when the connection is closed.");
  const char* tail = sql.data();
  const char* end = sql.data() + sql.size();
  int changes = 0;
  while (tail < end) {
    sqlite3_stmt* stmt = nullptr;
    int rc = sqlite3_prepare_v2(db_, tail, static_cast<int>(end - tail), &stmt, &tail);
    if (rc != SQLITE_OK) Fail(rc, sql);
    if (!stmt) break;  // only white space or comments left
    Statement s(this, stmt, std::string(sql));
    int64_t before = sqlite3_total_changes64(db_);
    while (s.Step()) {
    }
    changes = sqlite3_total_changes64(db_) != before ? sqlite3_changes(db_) : 0;
  }
  return changes;
}

int Connection::ExecuteOne(const std::string& sql) {
  if (!db_)
    throw AdoError(ErrorKind::Closed, "Operation is not allowed when the connection is closed.");
  sqlite3_stmt* stmt = nullptr;
  const char* tail = nullptr;
  int rc = sqlite3_prepare_v2(db_, sql.c_str(), static_cast<int>(sql.size()), &stmt, &tail);
  if (rc != SQLITE_OK) Fail(rc, sql);
  if (!stmt) throw AdoError(ErrorKind::Syntax, "The command text is empty.");
  Statement s(this, stmt, sql);
  for (const char* p = tail; p && *p; ++p) {
    if (*p == ';' || std::isspace(static_cast<unsigned char>(*p))) continue;
    throw AdoError(ErrorKind::Syntax, "Characters found after the end of the SQL statement.");
  }
  int64_t before = sqlite3_total_changes64(db_);
  while (s.Step()) {
  }
  return sqlite3_total_changes64(db_) != before ? sqlite3_changes(db_) : 0;
}

Statement& Connection::Prepare(const std::string& sql) {
  if (!db_)
    throw AdoError(ErrorKind::Closed, "Operation is not allowed when the connection is closed.");
  auto it = cache_.find(sql);
  if (it != cache_.end()) {
    it->second->Reset();
    return *it->second;
  }
  sqlite3_stmt* stmt = nullptr;
  int rc = sqlite3_prepare_v3(db_, sql.c_str(), static_cast<int>(sql.size()),
                              SQLITE_PREPARE_PERSISTENT, &stmt, nullptr);
  if (rc != SQLITE_OK) Fail(rc, sql);
  auto& slot = cache_[sql];
  slot = std::make_unique<Statement>(this, stmt, sql);
  return *slot;
}

std::unique_ptr<Statement> Connection::PrepareOnce(const std::string& sql) {
  if (!db_)
    throw AdoError(ErrorKind::Closed, "Operation is not allowed when the connection is closed.");
  sqlite3_stmt* stmt = nullptr;
  int rc = sqlite3_prepare_v2(db_, sql.c_str(), static_cast<int>(sql.size()), &stmt, nullptr);
  if (rc != SQLITE_OK) Fail(rc, sql);
  if (!stmt) throw AdoError(ErrorKind::Syntax, "The command text is empty.");
  return std::make_unique<Statement>(this, stmt, sql);
}

int64_t Connection::LastInsertRowId() const {
  return db_ ? sqlite3_last_insert_rowid(db_) : 0;
}
int Connection::Changes() const {
  return db_ ? sqlite3_changes(db_) : 0;
}

void Connection::Attach(DataSet* d) {
  if (std::find(data_sets_.begin(), data_sets_.end(), d) == data_sets_.end())
    data_sets_.push_back(d);
}

void Connection::Detach(DataSet* d) {
  data_sets_.erase(std::remove(data_sets_.begin(), data_sets_.end(), d), data_sets_.end());
}

}  // namespace vt::ado
