#include "build_tables.h"

#include <string>

#include "platform/ado/connection.h"
#include "storage/schema.h"

namespace vt::bench {

std::string GeneratedWord(std::int64_t n) {
  std::string word = "zq";
  do {
    word += static_cast<char>('a' + n % 26);
    n /= 26;
  } while (n > 0);
  while (word.size() < 5) word += 'x';
  return word;
}

namespace {

bool IsIndexTable(const storage::IndexSpec& index) {
  std::string table = index.table;
  return table == "WORDS" || table == "DICTIONARY";
}

}  // namespace

void FillWordIndex(ado::Connection& connection, std::int64_t words, std::int64_t pairs,
                   std::int64_t pages) {
  // Bulk loading is several times faster with the indexes built afterwards; they are dropped and
  // made again from the installed schema's own definitions.
  for (const storage::IndexSpec& index : storage::Indexes())
    if (IsIndexTable(index)) connection.Execute("DROP INDEX [" + std::string(index.name) + "]");
  connection.Execute("BEGIN");
  {
    ado::Statement& insert = connection.Prepare("INSERT INTO [WORDS] ([Word]) VALUES (?)");
    for (std::int64_t i = 0; i < words; ++i) {
      insert.Bind(1, ado::Variant(GeneratedWord(i)));
      insert.Step();
      insert.Reset();
    }
  }
  {
    // Every page gets the same number of distinct words, spread over the whole vocabulary.
    ado::Statement& insert =
        connection.Prepare("INSERT INTO [DICTIONARY] ([UrlID], [WordID]) VALUES (?, ?)");
    const std::int64_t per_page = pairs / pages;
    for (std::int64_t page = 0; page < pages; ++page) {
      for (std::int64_t k = 0; k < per_page; ++k) {
        std::int64_t word_id = 1 + (page * 7919 + k * 104729) % words;
        insert.Bind(1, ado::Variant(page + 1));
        insert.Bind(2, ado::Variant(word_id));
        insert.Step();
        insert.Reset();
      }
    }
  }
  connection.Execute("COMMIT");
  for (const storage::IndexSpec& index : storage::Indexes())
    if (IsIndexTable(index)) connection.Execute(storage::CreateIndexSql(index));
}

}  // namespace vt::bench
