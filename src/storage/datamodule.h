#pragma once
// TDataModule1: the one data module of the process. It holds the connection to the database file
// and the table objects of its seven tables, all closed until OpenDatabase opens them. The band
// start-up hands these objects to its page session (AttachDataModule), and every storage operation
// reaches the tables through the session. UI thread only.
#include <cstdint>
#include <functional>
#include <string>

#include "platform/ado/ado.h"

namespace vt {

class TmyDOM;

class TDataModule1 {
 public:
  TDataModule1();
  TDataModule1(const TDataModule1&) = delete;
  TDataModule1& operator=(const TDataModule1&) = delete;

  ado::Connection ADOConnection;
  ado::Table HIGHLIGHTS;
  ado::Table SNIPPETS;
  ado::Table URL;
  ado::Table WORDS;
  ado::Table DICTIONARY;
  ado::Table FILTER;
  ado::Table KEYWORDS;
  ado::DataSource DS_Snippets;
};

// The process's data module: created by the first call, lives until the process ends.
TDataModule1& DataModule1();

// Stores the data module, its connection and its five used tables in the session (band start-up).
void AttachDataModule(TmyDOM& session, TDataModule1& data_module);

// The connection string of the database in `app_dir` (the folder text, its trailing "/" included;
// the file name is appended directly).
std::string DatabaseConnectionString(const std::string& app_dir);

// Closes and reopens the connection on app_dir + "vellumtrace.mdb" and opens the tables SNIPPETS,
// URL, WORDS, DICTIONARY and KEYWORDS. A missing file is told in a warning message box and leaves
// everything closed; any other failure is shown with LogError "OpenDatabase" and leaves the tables
// opened before it open.
void OpenDatabase(TmyDOM& session, const std::string& app_dir);
// The same on the program-wide AppDir.
void OpenDatabase(TmyDOM& session);

// Runs one statement that returns no rows; the number of rows it changed, 0 after an error, which
// LogError shows as "ExecuteSQL sql=" + sql.
int32_t ExecuteSQL(TmyDOM& session, const std::string& sql);

// The SQL text of a text value: between single quotes, each single quote doubled.
inline std::string QuotedSql(std::string_view text) {
  return ado::QuotedStr(text);
}

// The message box through which storage tells the user that the database file is missing
// (default, also after setting an empty one: the widgets' modal warning box, which prints to
// stderr without a display).
using StorageMessageBox = std::function<void(const std::string& text, const std::string& caption)>;
void SetStorageMessageBox(StorageMessageBox box);

inline constexpr const char* kDatabaseMissingText =
    "Database file not found. Please select correct program folder in the settings window.";
inline constexpr const char* kErrorCaption = "Vellumtrace Error";

}  // namespace vt
