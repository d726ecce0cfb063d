#include "storage/datamodule.h"

#include <sys/stat.h>

#include "config/myRegistry.h"
#include "core/myDOM.h"
#include "platform/msgloop/message_loop.h"
#include "platform/widgets/dialogs.h"
#include "storage/schema.h"

namespace vt {
namespace {

void WidgetsMessageBox(const std::string& text, const std::string& caption) {
  widgets::MessageBox(text, caption, widgets::MessageIcon::Warning, widgets::MessageButtons::Ok);
}

StorageMessageBox& MessageBoxHook() {
  static StorageMessageBox box = WidgetsMessageBox;
  return box;
}

void Configure(ado::Table& table, ado::Connection& connection, const char* table_name,
               ado::CursorType cursor, int cache_size, const char* index_fields) {
  table.SetConnection(&connection);
  table.SetTableName(table_name);
  table.SetCursorType(cursor);
  table.SetCacheSize(cache_size);
  table.SetIndexFieldNames(index_fields);
  for (const auto& c : storage::TableByName(table_name).columns)
    table.DeclareField(c.name, c.kind, c.size);
}

bool FileExists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

}  // namespace

TDataModule1::TDataModule1() : DS_Snippets(&SNIPPETS) {
  ADOConnection.SetConnectionString("Provider=Microsoft.Jet.OLEDB.4.0;");
  using ado::CursorType;
  Configure(HIGHLIGHTS, ADOConnection, "HIGHLIGHTS", CursorType::Static, 100, "");
  Configure(SNIPPETS, ADOConnection, "SNIPPETS", CursorType::Static, 100, "ID");
  SNIPPETS.SetFiltered(true);
  Configure(URL, ADOConnection, "URL", CursorType::Static, 100, "ID");
  Configure(WORDS, ADOConnection, "WORDS", CursorType::Static, 200, "Word");
  Configure(DICTIONARY, ADOConnection, "DICTIONARY", CursorType::Static, 100, "");
  Configure(FILTER, ADOConnection, "FILTERS", CursorType::Static, 100, "");
  Configure(KEYWORDS, ADOConnection, "KEYWORDS", CursorType::Dynamic, 100, "ID");
}

TDataModule1& DataModule1() {
  static TDataModule1* module = new TDataModule1();  // lives until the process ends
  return *module;
}

void AttachDataModule(TmyDOM& s, TDataModule1& dm) {
  s.DataModule = &dm;
  s.Connection = &dm.ADOConnection;
  s.SNIPPETS = &dm.SNIPPETS;
  s.URL = &dm.URL;
  s.WORDS = &dm.WORDS;
  s.DICTIONARY = &dm.DICTIONARY;
  s.KEYWORDS = &dm.KEYWORDS;
  if (!s.Query) s.Query = std::make_shared<ado::Query>(&dm.ADOConnection);
}

void SetStorageMessageBox(StorageMessageBox box) {
  MessageBoxHook() = box ? std::move(box) : StorageMessageBox(WidgetsMessageBox);
}

std::string DatabaseConnectionString(const std::string& app_dir) {
  return std::string("Provider=Microsoft.Jet.OLEDB.4.0;User ID=Admin;") + "Data Source=" + app_dir +
         storage::kDatabaseFileName + ";" +
         "Mode=ReadWrite;Extended Properties=\"\";Jet OLEDB:System database=\"\";Jet "
         "OLEDB:Registry Path=\"\";Jet OLEDB:Database Password=\"\";" +
         "Jet OLEDB:Engine Type=5;Jet OLEDB:Database Locking Mode=1;Jet OLEDB:Global Partial Bulk "
         "Ops=2;Jet OLEDB:Global Bulk Transactions=1;" +
         "Jet OLEDB:New Database Password=\"\";Jet OLEDB:Create System Database=False;Jet "
         "OLEDB:Encrypt Database=False;Jet OLEDB:Don't Copy Locale on Compact=False;Jet "
         "OLEDB:Compact Without Replica Repair=False;Jet OLEDB:SFP=False";
}

void OpenDatabase(TmyDOM& s, const std::string& app_dir) {
  try {
    if (!s.Connection) throw ado::AdoError(ado::ErrorKind::Closed, "No data module is attached.");
    ado::Connection& c = *s.Connection;
    c.Close();
    if (!FileExists(app_dir + storage::kDatabaseFileName)) {
      MessageBoxHook()(kDatabaseMissingText, kErrorCaption);
      return;
    }
    if (!c.Connected()) {
      c.SetConnectionString(DatabaseConnectionString(app_dir));
      c.Open();
      msgloop::ProcessMessages();
    }
    if (s.DataModule) s.SnippetSource = &s.DataModule->DS_Snippets;
    auto open = [&](ado::Table* t) {
      if (t && !t->Active()) t->Open();
    };
    open(s.SNIPPETS);
    open(s.URL);
    msgloop::ProcessMessages();
    open(s.WORDS);
    msgloop::ProcessMessages();
    open(s.DICTIONARY);
    msgloop::ProcessMessages();
    open(s.KEYWORDS);
  } catch (const std::exception& e) {
    s.LogError(e, "OpenDatabase");
  }
}

void OpenDatabase(TmyDOM& s) {
  OpenDatabase(s, AppDir());
}

int32_t ExecuteSQL(TmyDOM& s, const std::string& sql) {
  try {
    if (!s.Connection)
      throw ado::AdoError(ado::ErrorKind::Closed,
                          "Operation is not allowed when the connection is closed.");
    ado::Query q(s.Connection);
    q.SetCommandText(sql);
    return q.ExecSQL();
  } catch (const std::exception& e) {
    s.LogError(e, "ExecuteSQL sql=" + sql);
    return 0;
  }
}

}  // namespace vt
