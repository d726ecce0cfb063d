#include "corpus.h"

#include <string>
#include <vector>

#include "platform/ado/connection.h"
#include "storage/schema.h"

namespace vt::bench {

using ado::Variant;

namespace {

constexpr std::int64_t kLetters5 = 26LL * 26 * 26 * 26 * 26;
constexpr std::int64_t kDomains = 5000;
constexpr std::int64_t kKeywords = 20000;
constexpr int kKeywordsPerPage = 3;

bool OfSearchTables(const storage::IndexSpec& index) {
  const std::string table = index.table;
  return table == "WORDS" || table == "DICTIONARY" || table == "URL" || table == "KEYWORDS";
}

void Run(ado::Statement& st, const std::vector<Variant>& values) {
  for (size_t i = 0; i < values.size(); ++i) st.Bind(static_cast<int>(i) + 1, values[i]);
  st.Step();
  st.Reset();
}

std::string Domain(std::int64_t page) {
  return Word(page % kDomains * 131 + 7) + ".example";
}

std::string Keyword(std::int64_t n) {
  return Word(n * 977 + 3) + Word(n + 11).substr(0, 3);
}

std::string Title(std::int64_t page) {
  return Word(page * 7 + 1) + " " + Word(page * 13 + 5) + " page " + std::to_string(page);
}

}  // namespace

std::string Word(std::int64_t n) {
  std::int64_t v = (n * 2654435761LL) % kLetters5;
  std::string out(5, 'a');
  for (int i = 4; i >= 0; --i) {
    out[static_cast<size_t>(i)] = static_cast<char>('a' + v % 26);
    v /= 26;
  }
  return out;
}

void FillCorpus(ado::Connection& product, ado::Connection& peer, const CorpusSize& size) {
  // Bulk loading is several times faster with the indexes made afterwards, from the installed
  // schema's own definitions.
  for (const storage::IndexSpec& index : storage::Indexes())
    if (OfSearchTables(index)) product.Execute("DROP INDEX [" + std::string(index.name) + "]");
  peer.Execute(
      "CREATE VIRTUAL TABLE pages USING fts5(url UNINDEXED, title UNINDEXED, words);"
      "CREATE VIRTUAL TABLE vocab USING fts5vocab(pages, 'row');"
      "CREATE VIRTUAL TABLE labels USING fts5(kind UNINDEXED, value, tokenize = 'trigram');");
  product.Execute("BEGIN");
  peer.Execute("BEGIN");
  {
    ado::Statement& word = product.Prepare("INSERT INTO [WORDS] ([Word]) VALUES (?)");
    for (std::int64_t i = 0; i < size.words; ++i) Run(word, {Variant(Word(i))});
  }
  ado::Statement& url = product.Prepare(
      "INSERT INTO [URL] ([ID], [URL], [Title], [Domain], [Keyword], [Hits], [Indexed]) "
      "VALUES (?, ?, ?, ?, ?, 1, 1)");
  ado::Statement& keyword =
      product.Prepare("INSERT INTO [KEYWORDS] ([UrlID], [Keyword]) VALUES (?, ?)");
  ado::Statement& pair =
      product.Prepare("INSERT INTO [DICTIONARY] ([UrlID], [WordID]) VALUES (?, ?)");
  ado::Statement& page_doc =
      peer.Prepare("INSERT INTO pages (rowid, url, title, words) VALUES (?, ?, ?, ?)");
  const std::int64_t per_page = size.pairs / size.pages;
  for (std::int64_t page = 1; page <= size.pages; ++page) {
    const std::string address = "http://" + Domain(page) + "/page" + std::to_string(page);
    std::string keywords;
    for (int k = 0; k < kKeywordsPerPage; ++k) {
      const std::string kw = Keyword((page * 31 + k * 7) % kKeywords);
      keywords += (k ? ", " : "") + kw;
      Run(keyword, {Variant(page), Variant(kw)});
    }
    Run(url, {Variant(page), Variant(address), Variant(Title(page)), Variant(Domain(page)),
              Variant(keywords)});
    // The frequent word on every n-th page; otherwise words spread over the whole vocabulary,
    // each pair once.
    std::string text;
    for (std::int64_t k = 0; k < per_page; ++k) {
      std::int64_t word_id = (page % size.frequent_every == 0 && k == 0)
                                 ? 1
                                 : 2 + (page * 7919 + k * 104729) % (size.words - 1);
      Run(pair, {Variant(page), Variant(word_id)});
      text += Word(word_id - 1);
      text += ' ';
    }
    Run(page_doc, {Variant(page), Variant(address), Variant(Title(page)), Variant(text)});
  }
  {
    ado::Statement& label = peer.Prepare("INSERT INTO labels (kind, value) VALUES (?, ?)");
    for (std::int64_t d = 0; d < std::min(kDomains, size.pages); ++d)
      Run(label, {Variant("domain"), Variant(Domain(d))});
    for (std::int64_t k = 0; k < kKeywords; ++k)
      Run(label, {Variant("keyword"), Variant(Keyword(k))});
    for (std::int64_t page = 1; page <= size.pages; ++page)
      Run(label, {Variant("title"), Variant(Title(page))});
  }
  product.Execute("COMMIT");
  peer.Execute("COMMIT");
  for (const storage::IndexSpec& index : storage::Indexes())
    if (OfSearchTables(index)) product.Execute(storage::CreateIndexSql(index));
  peer.Execute("INSERT INTO pages (pages) VALUES ('optimize')");
}

}  // namespace vt::bench
