#pragma once
// A browsing history of years, generated: URL rows with domains, titles and keywords, and a word
// index of WORDS and DICTIONARY rows, written into the tables the band itself writes. The same
// pages and words also go into an FTS5 database, the peer the search is measured against.
#include <cstdint>
#include <string>

namespace vt::ado {
class Connection;
}

namespace vt::bench {

struct CorpusSize {
  std::int64_t pages = 100000;
  std::int64_t words = 1000000;
  std::int64_t pairs = 10000000;
  std::int64_t frequent_every = 10;  // the frequent word is on every n-th page
};

// A five-letter word, distinct for every n below 26^5 and spread evenly over the alphabet.
std::string Word(std::int64_t n);
// The word on many pages (WordID 1).
inline std::string FrequentWord() {
  return Word(0);
}

// Fills the band's tables (URL, KEYWORDS, WORDS, DICTIONARY) of a freshly installed database and
// the peer's FTS5 tables of an empty database file.
void FillCorpus(ado::Connection& product, ado::Connection& peer, const CorpusSize& size);

}  // namespace vt::bench
