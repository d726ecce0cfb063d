#pragma once
// The queries of the Search tab: the candidate lists (words, keywords, domains, titles) and the
// result data sets that the result grid shows. Texts typed by the user go into the SQL as quoted
// text values (every single quote doubled); in the "like" lists % and _ keep their wildcard
// meaning. UI thread only.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/ado/ado.h"

namespace vt {

class TmyDOM;

// The items of the search field list, in index order.
enum class SearchField : int { None = 0, Indexer = 1, Keywords = 2, Url = 3, Title = 4 };
const std::vector<std::string>& SearchFieldItems();
// The field of an item index; None for an index outside the list.
SearchField SearchFieldAt(int index);

// How many words the word candidate list shows at most.
inline constexpr int kWordCandidateCount = 10;

using CandidateSink = std::function<void(const std::string& candidate)>;

// The candidate list SQL of the keyword, domain and title searches; "" for None and Indexer.
std::string CandidateSql(SearchField field, const std::string& text);

// The result SQL of a keyword, domain or title candidate; "" for None and Indexer.
std::string ResultSql(SearchField field, const std::string& candidate);
// The result SQL of a word: the pages on which the word occurs.
std::string WordResultSql(std::int32_t word_id);

// Locates the first word of `words` (a table in Word order) that begins with `text`, ignoring
// case, runs `located` (found or not), then hands that word and the words after it to `add`,
// `max` words in all or fewer at the end of the table; none when no word begins with `text`.
// Throws when the table is not open (before `located` runs).
void ReadWordCandidates(ado::Table& words, const std::string& text, int max,
                        const std::function<void()>& located, const CandidateSink& add);

// Runs `sql` on `query` and hands the first column of every row to `add`, in the order returned.
// The query is closed afterwards, also when it fails; rows handed on before a failure stay handed.
void ReadQueryCandidates(ado::Query& query, const std::string& sql, const CandidateSink& add);

// The WordID of the word equal to `word` ignoring case, 0 when there is none. Moves the table's
// cursor to it.
std::int32_t FindWordId(ado::Table& words, const std::string& word);

// The result data sets of the Search tab. Each search opens a new data set with its data source;
// the grid is bound to the newest. The pair before it lives on until the next search, so that a
// grid still bound to it can be moved to the new one first.
class TmySearchResults {
 public:
  TmySearchResults() = default;
  TmySearchResults(const TmySearchResults&) = delete;
  TmySearchResults& operator=(const TmySearchResults&) = delete;
  ~TmySearchResults();

  // Opens the pages of `candidate` for `field` on the session's connection and answers their
  // data source (enabled). nullptr, and nothing changed, for None, or for a word that is no
  // longer in WORDS. A database failure is thrown and leaves the current result as it was.
  ado::DataSource* Open(TmyDOM& session, SearchField field, const std::string& candidate);

  // The newest data source, nullptr before the first search or after Clear.
  ado::DataSource* Source() const { return current_ ? current_->source.get() : nullptr; }
  ado::DataSet* DataSet() const { return current_ ? current_->data_set.get() : nullptr; }

  // Frees every result. Unbind the grid first.
  void Clear();

 private:
  struct Pair {
    std::unique_ptr<ado::Query> data_set;
    std::unique_ptr<ado::DataSource> source;
  };
  std::unique_ptr<Pair> current_;
  std::unique_ptr<Pair> previous_;
};

}  // namespace vt
