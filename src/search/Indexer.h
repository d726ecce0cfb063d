#pragma once
// TmyIndexer, the incremental word indexer of a band window. It takes the visible text of the
// shown page and, a slice at a time, adds each new word to WORDS and each new (page, word) pair
// to DICTIONARY; when the text is done it flags the page's URL row as indexed.
//
// Driving: the band's 250 ms timer calls IndexStep on every tick; each step handles at most two
// pieces of text. IndexText starts a text (a completed page, or the Indexer toggle pressed);
// CancelIndexing stops it (a navigation starts, or the toggle is released).
//
// Threading: the UI thread only. Ownership: the indexer borrows its page session, which must
// outlive it; it reaches WORDS, DICTIONARY and the browser through the session at each call.
// Failures: IndexText lets failures pass to its caller; IndexStep and IndexWord never throw, they
// report failures on the session's status bar ("IndexWord", "Indexer").
#include <cstdint>
#include <string>

#include "search/WordScanner.h"

namespace vt {

class TmyDOM;

class TmyIndexer {
 public:
  explicit TmyIndexer(TmyDOM* session);

  // Starts indexing `text` for the page the browser shows now (replacing any text in progress,
  // which is then never marked). The page's URL row is resolved (and created) here. A blank text
  // starts nothing. `flag` has no effect.
  void IndexText(const std::string& text, bool flag = false);

  // One timer tick: handles up to two more pieces of the text. Once the text is used up, the
  // following step marks the page indexed and shows "Words added: N". Answers true when the step
  // handled at least one piece.
  bool IndexStep();

  // Stops indexing; the page is not marked. Shows "Word indexer cancelled" when words were
  // scanned. Nothing more is indexed until IndexText is called again.
  void CancelIndexing();

  bool Indexing() const { return indexing_; }

  // Indexes one piece of text: normalises it, then adds the word and the (page, word) pair
  // unless they are stored already (a word is matched without regard to letter case).
  void IndexWord(const std::string& word);

  // The index form of a piece of text, or "" when the piece is not indexed.
  static std::string NormalizeWord(const std::string& word);

  // Progress of the current text.
  std::int32_t UrlID() const { return url_id_; }
  std::int32_t WordsScanned() const { return words_scanned_; }
  std::int32_t WordsAdded() const { return words_added_; }

 private:
  std::string LocationUrl() const;

  TmyDOM* session_;
  WordScanner text_;
  std::int32_t url_id_ = 0;
  std::int32_t words_scanned_ = 0;
  std::int32_t words_added_ = 0;
  bool indexing_ = false;
};

}  // namespace vt
