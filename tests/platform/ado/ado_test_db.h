#pragma once
// A fresh database file in a temporary folder, with a small schema like the program's.
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/ado/ado.h"

namespace vt::ado::testing {

class TempDatabase {
 public:
  explicit TempDatabase(const std::string& schema_sql) {
    char tmpl[] = "/tmp/vt-ado-XXXXXX";
    dir_ = ::mkdtemp(tmpl);
    path_ = dir_ + "/test.mdb";
    std::ofstream(path_).close();
    conn.SetConnectionString("Provider=Microsoft.Jet.OLEDB.4.0;User ID=Admin;Data Source=" + path_ +
                             ";Mode=ReadWrite;Extended Properties=\"\";Jet OLEDB:SFP=False");
    conn.Open();
    conn.Execute(schema_sql);
  }
  ~TempDatabase() {
    conn.Close();
    std::filesystem::remove_all(dir_);
  }
  const std::string& path() const { return path_; }
  const std::string& dir() const { return dir_; }
  Connection conn;

 private:
  std::string dir_, path_;
};

inline const char* kWordSchema =
    "CREATE TABLE WORDS (WordID INTEGER PRIMARY KEY AUTOINCREMENT, Word VARCHAR(50) COLLATE "
    "NOCASE);"
    "CREATE INDEX WORDS_Word ON WORDS (Word);"
    "CREATE TABLE DICTIONARY (DictID INTEGER PRIMARY KEY AUTOINCREMENT, WordID INTEGER, UrlID "
    "INTEGER);"
    "CREATE INDEX DICTIONARY_UW ON DICTIONARY (UrlID, WordID);"
    "CREATE TABLE URL (ID INTEGER PRIMARY KEY AUTOINCREMENT, URL VARCHAR(250) COLLATE NOCASE, "
    "Title VARCHAR(10) COLLATE NOCASE, Indexed BOOLEAN, Hits INTEGER DEFAULT 0, DateCreated "
    "DATETIME);";

}  // namespace vt::ado::testing
