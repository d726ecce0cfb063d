#include "search/Indexer.h"

#include <stdexcept>
#include <utility>
#include <vector>

#include "core/myDOM.h"
#include "platform/ado/connection.h"
#include "platform/ado/table.h"
#include "platform/browser/web_browser.h"
#include "search/WordRules.h"
#include "storage/urlRecords.h"

namespace vt {
namespace {

constexpr int kPiecesPerStep = 2;

ado::Table& OpenTable(ado::Table* table, const char* name) {
  if (table == nullptr) throw std::runtime_error(std::string("Table ") + name + " is not open");
  return *table;
}

// The rows one step writes are committed together: one commit per tick instead of one per row,
// since each commit waits for the disk. A savepoint nests inside a transaction that someone else
// holds open, and rows written before a failing word stay written.
class StepTransaction {
 public:
  explicit StepTransaction(ado::Connection* connection) {
    if (connection == nullptr || !connection->Connected()) return;
    try {
      connection->Execute("SAVEPOINT index_step");
      connection_ = connection;
    } catch (const std::exception&) {
      // Without a savepoint every row commits on its own, which is slower but as correct.
    }
  }
  StepTransaction(const StepTransaction&) = delete;
  StepTransaction& operator=(const StepTransaction&) = delete;

  // Commits; throws when the database refuses, after dropping the step's rows so that the
  // connection is not left inside a transaction.
  void Commit() {
    if (connection_ == nullptr) return;
    ado::Connection* connection = std::exchange(connection_, nullptr);
    try {
      connection->Execute("RELEASE index_step");
    } catch (const std::exception&) {
      Abandon(connection);
      throw;
    }
  }

  ~StepTransaction() {
    if (connection_ != nullptr) Abandon(connection_);
  }

 private:
  static void Abandon(ado::Connection* connection) noexcept {
    try {
      connection->Execute("ROLLBACK TO index_step");
      connection->Execute("RELEASE index_step");
    } catch (const std::exception&) {
    }
  }

  ado::Connection* connection_ = nullptr;
};

}  // namespace

TmyIndexer::TmyIndexer(TmyDOM* session) : session_(session) {}

std::string TmyIndexer::NormalizeWord(const std::string& word) {
  return vt::NormalizeWord(word);
}

std::string TmyIndexer::LocationUrl() const {
  if (session_->Browser == nullptr) return {};
  return session_->Browser->LocationURL();
}

void TmyIndexer::IndexText(const std::string& text, bool /*flag*/) {
  text_ = WordScanner(text);
  words_scanned_ = 0;
  words_added_ = 0;
  indexing_ = false;
  url_id_ = RecordUrl(*session_, LocationUrl());
  indexing_ = !text_.IsBlank();
}

bool TmyIndexer::IndexStep() {
  try {
    if (text_.IsEmpty()) return false;
    if (text_.AtEnd() && indexing_) {
      // The text is used up: flag the page. Indexing is lowered only once the page is marked, so a
      // failure here is retried on the next tick.
      MarkUrlIndexed(*session_, LocationUrl(), true);
      indexing_ = false;
      session_->SetStatusText("Words added: " + std::to_string(words_added_));
    }
    if (!indexing_) return false;
    session_->WordsChanged = true;
    const std::size_t position = text_.Position();
    const std::int32_t scanned = words_scanned_, added = words_added_;
    std::vector<std::string> pieces = text_.NextPieces(kPiecesPerStep);
    if (pieces.empty()) return false;
    StepTransaction transaction(session_->Connection);
    for (const std::string& piece : pieces) IndexWord(piece);
    try {
      transaction.Commit();
    } catch (const std::exception&) {
      // The step's rows were dropped: the next tick handles the same pieces again.
      text_.Rewind(position);
      words_scanned_ = scanned;
      words_added_ = added;
      throw;
    }
    return true;
  } catch (const std::exception& error) {
    session_->LogError(error, "Indexer");
    return false;
  }
}

void TmyIndexer::CancelIndexing() {
  indexing_ = false;
  if (words_scanned_ > 0) session_->SetStatusText("Word indexer cancelled");
}

void TmyIndexer::IndexWord(const std::string& word) {
  ado::Table* pending = nullptr;  // a table this call put into insert mode
  try {
    std::string w = NormalizeWord(word);
    if (w.empty()) return;
    ++words_scanned_;
    session_->SetStatusText("Scanning words: " + std::to_string(words_scanned_) + " (" + w + ")");

    std::int32_t word_id = 0;
    ado::Table& words = OpenTable(session_->WORDS, "WORDS");
    // A table left in insert mode by another operation is not touched.
    if (words.State() != ado::DataSetState::Insert) {
      if (words.Locate("Word", ado::Variant(w), ado::loCaseInsensitive)) {
        word_id = words.FieldByName("WordID").AsInteger();
      } else {
        pending = &words;
        words.Insert();
        words.FieldByName("Word").SetValue(w);
        words.Post();
        pending = nullptr;
        word_id = words.FieldByName("WordID").AsInteger();
        ++words_added_;
      }
    }

    ado::Table& dictionary = OpenTable(session_->DICTIONARY, "DICTIONARY");
    if (word_id > 0 && dictionary.State() != ado::DataSetState::Insert) {
      if (!dictionary.Locate("UrlID;WordID", {ado::Variant(url_id_), ado::Variant(word_id)})) {
        pending = &dictionary;
        dictionary.Insert();
        dictionary.FieldByName("UrlID").SetValue(url_id_);
        dictionary.FieldByName("WordID").SetValue(word_id);
        dictionary.Post();
        pending = nullptr;
      }
    }
  } catch (const std::exception& error) {
    // A row this call failed to post is dropped, so the table is not left in insert mode and the
    // following words are still indexed.
    if (pending != nullptr) {
      try {
        pending->Cancel();
      } catch (const std::exception&) {
      }
    }
    session_->LogError(error, "IndexWord");
  }
}

}  // namespace vt
