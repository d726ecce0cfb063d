#include "storage/schema.h"

#include <stdexcept>

#include "platform/ado/dataset.h"

namespace vt::storage {

using ado::FieldKind;

const std::vector<TableSpec>& Tables() {
  static const std::vector<TableSpec> kTables = {
      {"SNIPPETS",
       {{"ID", FieldKind::AutoNumber},
        {"Parent_ID", FieldKind::Integer},
        {"URL_ID", FieldKind::Integer},
        {"Name", FieldKind::Text, 50},
        {"Snippet", FieldKind::Memo},
        {"DateCreated", FieldKind::DateTime},
        {"DateModified", FieldKind::DateTime},
        {"Title", FieldKind::Text, 200},
        {"Domain", FieldKind::Text, 50},
        {"Note", FieldKind::Memo}}},
      {"URL",
       {{"ID", FieldKind::AutoNumber},
        {"URL", FieldKind::Text, 250},
        {"Title", FieldKind::Text, 150},
        {"Domain", FieldKind::Text, 50},
        {"Description", FieldKind::Text, 200},
        {"Keyword", FieldKind::Text, 200},
        {"DateCreated", FieldKind::DateTime},
        {"Active", FieldKind::Boolean},
        {"Deleted", FieldKind::Boolean},
        {"Indexed", FieldKind::Boolean},
        {"Hits", FieldKind::Integer, 0, "0"},
        {"selected_tv", FieldKind::Integer},
        {"DateLastVisit", FieldKind::DateTime}}},
      {"WORDS", {{"WordID", FieldKind::AutoNumber}, {"Word", FieldKind::Text, 50}}},
      {"DICTIONARY",
       {{"DictID", FieldKind::AutoNumber},
        {"WordID", FieldKind::Integer},
        {"UrlID", FieldKind::Integer}}},
      {"KEYWORDS",
       {{"ID", FieldKind::AutoNumber},
        {"UrlID", FieldKind::Integer},
        {"Keyword", FieldKind::Text, 50}}},
      {"HIGHLIGHTS",
       {{"ID", FieldKind::AutoNumber},
        {"UrlID", FieldKind::Integer},
        {"Text", FieldKind::Memo},
        {"Parent_ID", FieldKind::Integer},
        {"ShortText", FieldKind::Text, 50},
        {"DateCreated", FieldKind::DateTime},
        {"Note", FieldKind::Memo}}},
      {"FILTERS",
       {{"ID", FieldKind::AutoNumber},
        {"UrlID", FieldKind::Integer},
        {"Category_ID", FieldKind::Integer},
        {"Name", FieldKind::Text, 200},
        {"Description", FieldKind::Text, 200},
        {"Frame", FieldKind::Integer},
        {"Table1", FieldKind::Integer},
        {"Row", FieldKind::Integer},
        {"Col", FieldKind::Integer},
        {"Image", FieldKind::Integer},
        {"Link", FieldKind::Integer},
        {"Form", FieldKind::Integer},
        {"CategoryID", FieldKind::Integer}}},
  };
  return kTables;
}

const TableSpec& TableByName(const std::string& name) {
  for (const auto& t : Tables())
    if (ado::SameName(t.name, name)) return t;
  throw std::out_of_range("no table " + name + " in the schema");
}

// One index for every lookup the program makes: the address of a page, its domain and title
// (search), the word list in word order, page-word pairs both ways, keywords per page and by text,
// and the snippet tree's parent links and domain filter.
const std::vector<IndexSpec>& Indexes() {
  static const std::vector<IndexSpec> kIndexes = {
      {"URL_URL", "URL", "[URL]"},
      {"URL_Domain", "URL", "[Domain]"},
      {"URL_Title", "URL", "[Title]"},
      {"WORDS_Word", "WORDS", "[Word]"},
      {"DICTIONARY_UrlID_WordID", "DICTIONARY", "[UrlID], [WordID]"},
      {"DICTIONARY_WordID", "DICTIONARY", "[WordID]"},
      {"KEYWORDS_UrlID_Keyword", "KEYWORDS", "[UrlID], [Keyword]"},
      {"KEYWORDS_Keyword", "KEYWORDS", "[Keyword]"},
      {"SNIPPETS_Parent_ID", "SNIPPETS", "[Parent_ID]"},
      {"SNIPPETS_Domain", "SNIPPETS", "[Domain]"},
  };
  return kIndexes;
}

std::string ColumnSql(const ColumnSpec& c) {
  std::string s = "[" + std::string(c.name) + "] ";
  switch (c.kind) {
    case FieldKind::AutoNumber:
      s += "INTEGER PRIMARY KEY AUTOINCREMENT";
      break;
    case FieldKind::Integer:
      s += "INTEGER";
      break;
    case FieldKind::Float:
      s += "DOUBLE";
      break;
    // Text compares without regard to letter case, as the program expects of every lookup.
    case FieldKind::Text:
      s += "VARCHAR(" + std::to_string(c.size) + ") COLLATE NOCASE";
      break;
    case FieldKind::Memo:
      s += "TEXT COLLATE NOCASE";
      break;
    case FieldKind::DateTime:
      s += "DATETIME";
      break;
    case FieldKind::Boolean:
      s += "BOOLEAN";
      break;
    case FieldKind::Unknown:
      s += "BLOB";
      break;
  }
  if (*c.default_sql) s += " DEFAULT " + std::string(c.default_sql);
  return s;
}

std::string CreateTableSql(const TableSpec& t) {
  std::string s = "CREATE TABLE [" + std::string(t.name) + "] (";
  for (size_t i = 0; i < t.columns.size(); ++i) s += (i ? ", " : "") + ColumnSql(t.columns[i]);
  return s + ")";
}

std::string CreateIndexSql(const IndexSpec& i) {
  return "CREATE INDEX IF NOT EXISTS [" + std::string(i.name) + "] ON [" + i.table + "] (" +
         i.columns + ")";
}

std::string CreateWordSearchViewSql() {
  return "CREATE VIEW [QWordSearchDrill] AS SELECT DICTIONARY.UrlID AS UrlID, URL.URL AS URL, "
         "URL.Title AS Title, DICTIONARY.WordID AS WordID FROM DICTIONARY INNER JOIN URL ON "
         "DICTIONARY.UrlID = URL.ID";
}

std::vector<TriggerSpec> LengthTriggers(const TableSpec& t) {
  std::vector<TriggerSpec> out;
  for (const auto& c : t.columns) {
    if (c.kind != FieldKind::Text) continue;
    std::string table = t.name, col = c.name, n = std::to_string(c.size);
    std::string cut = " WHEN length(NEW.[" + col + "]) > " + n + " BEGIN UPDATE [" + table +
                      "] SET [" + col + "] = substr(NEW.[" + col + "], 1, " + n +
                      ") WHERE rowid = NEW.rowid; END";
    std::string base = "cut_" + table + "_" + col;
    out.push_back({base + "_insert",
                   "CREATE TRIGGER [" + base + "_insert] AFTER INSERT ON [" + table + "]" + cut});
    out.push_back({base + "_update", "CREATE TRIGGER [" + base + "_update] AFTER UPDATE OF [" +
                                         col + "] ON [" + table + "]" + cut});
  }
  return out;
}

}  // namespace vt::storage
