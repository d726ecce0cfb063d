#include "search/SearchQueries.h"

#include "core/myDOM.h"

namespace vt {

const std::vector<std::string>& SearchFieldItems() {
  static const std::vector<std::string> kItems = {"[None]", "Indexer", "Keywords", "Url", "Title"};
  return kItems;
}

SearchField SearchFieldAt(int index) {
  if (index < 0 || index >= static_cast<int>(SearchFieldItems().size())) return SearchField::None;
  return static_cast<SearchField>(index);
}

std::string CandidateSql(SearchField field, const std::string& text) {
  // The text sits between the two % of a like pattern: quoted as a whole, then the quotes of the
  // pattern are the outer ones.
  const std::string quoted = ado::QuotedStr(text);
  const std::string inner = quoted.substr(1, quoted.size() - 2);
  switch (field) {
    case SearchField::Keywords:
      return "Select distinct Keyword FROM KEYWORDS WHERE Keyword like '%" + inner + "%'";
    case SearchField::Url:
      return "Select distinct [Domain] FROM URL WHERE ([Domain] <> '') and ([Domain] like '%" +
             inner + "%')";
    case SearchField::Title:
      return "Select distinct Title FROM URL WHERE (Title <> '') and (Title like '%" + inner +
             "%')";
    case SearchField::None:
    case SearchField::Indexer:
      break;
  }
  return {};
}

std::string ResultSql(SearchField field, const std::string& candidate) {
  const std::string quoted = ado::QuotedStr(candidate);
  switch (field) {
    case SearchField::Keywords:
      return "Select UrlID, URL, Title FROM KEYWORDS LEFT JOIN URL ON KEYWORDS.UrlID = URL.ID "
             "WHERE KEYWORDS.Keyword = " +
             quoted;
    case SearchField::Url:
      return "Select ID as UrlID, Url, Title FROM URL WHERE [Domain] = " + quoted;
    case SearchField::Title:
      return "Select ID as UrlID, Url, Title FROM URL WHERE [Title] = " + quoted;
    case SearchField::None:
    case SearchField::Indexer:
      break;
  }
  return {};
}

std::string WordResultSql(std::int32_t word_id) {
  return "Select DISTINCT UrlID, URL, Title FROM QWordSearchDrill WHERE UrlID > 0 and WordID = " +
         std::to_string(word_id);
}

void ReadWordCandidates(ado::Table& words, const std::string& text, int max,
                        const std::function<void()>& located, const CandidateSink& add) {
  const bool found =
      words.Locate("Word", ado::Variant(text), ado::loCaseInsensitive | ado::loPartialKey);
  if (located) located();
  if (!found) return;
  const int word = words.FindFieldIndex("Word");
  for (int added = 0; added < max && !words.Eof(); ++added) {
    add(words.FieldAt(word).AsString());
    words.Next();
  }
}

void ReadQueryCandidates(ado::Query& query, const std::string& sql, const CandidateSink& add) {
  struct CloseAfter {
    ado::Query& q;
    ~CloseAfter() { q.Close(); }
  } close_after{query};
  query.Close();
  query.SetCommandText(sql);
  query.Open();
  for (query.First(); !query.Eof(); query.Next()) add(query.FieldAt(0).AsString());
}

std::int32_t FindWordId(ado::Table& words, const std::string& word) {
  if (!words.Locate("Word", ado::Variant(word), ado::loCaseInsensitive)) return 0;
  return words.FieldByName("WordID").AsInteger();
}

TmySearchResults::~TmySearchResults() = default;

ado::DataSource* TmySearchResults::Open(TmyDOM& session, SearchField field,
                                        const std::string& candidate) {
  std::string sql;
  if (field == SearchField::Indexer) {
    if (session.WORDS == nullptr) throw ado::AdoError(ado::ErrorKind::Closed, "WORDS is not open");
    const std::int32_t word_id = FindWordId(*session.WORDS, candidate);
    if (word_id <= 0) return nullptr;
    sql = WordResultSql(word_id);
  } else {
    sql = ResultSql(field, candidate);
  }
  if (sql.empty()) return nullptr;

  auto pair = std::make_unique<Pair>();
  pair->data_set = std::make_unique<ado::Query>(session.Connection);
  pair->data_set->SetCommandText(sql);
  pair->data_set->Open();  // a failure leaves the current pair untouched
  pair->source = std::make_unique<ado::DataSource>(pair->data_set.get());
  pair->source->SetEnabled(true);
  previous_ = std::move(current_);
  current_ = std::move(pair);
  return current_->source.get();
}

void TmySearchResults::Clear() {
  previous_.reset();
  current_.reset();
}

}  // namespace vt
