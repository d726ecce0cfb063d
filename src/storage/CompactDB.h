#pragma once
// TCompactDB, the "Compact Database" dialog: it shows the size of the program's database file,
// rewrites the file without its free space on "Compact", reopens the database on the shared
// connection and shows the new size and the reduction. UI thread only.
//
// The dialog borrows the band's page session (its connection and tables) and its settings
// accessor; both outlive the dialog. While the file is rewritten the shared connection is closed,
// so every band window of the process finds the tables closed until they are reopened.
#include <cstdint>
#include <string>

#include "config/myRegistry.h"
#include "core/myDOM.h"
#include "platform/widgets/dialogs.h"
#include "platform/widgets/standard.h"

namespace vt {

// " 2,000 KB": a blank, the size in KB (1024 bytes) rounded to the nearest whole number with
// thousands separators (no digits below one half), then " KB".
std::string FormatDatabaseSize(std::int64_t bytes);
// " 50.00 %": a blank, the reduction from `before` to `after` in percent with two decimals.
std::string FormatSizeReduction(std::int64_t before, std::int64_t after);

// Size in bytes of the file at `path`; 0 when there is none.
std::int64_t FileSizeOf(const std::string& path);

// Compacts the database file at `path` in place: a compacted copy is written beside it under the
// same name with the extension ".$$$" (an old copy of that name is removed first) and then takes
// the file's place in one atomic rename, so that a crash at any moment leaves the old or the new
// file whole. The caller closes its connections to the file first. Throws ado::AdoError; the
// copy stays under its temporary name when the replacement fails.
void CompactDatabaseFile(const std::string& path);
// `path` with its extension replaced by ".$$$" (added when it has none).
std::string CompactCopyPath(const std::string& path);

class TCompactDB : public widgets::Form {
 public:
  TCompactDB(TmyDOM& session, TmyRegistry& registry);

  // Size of "vellumtrace.mdb" in the program folder with its write-ahead log, which holds the
  // pages written since the last checkpoint; 0 when neither exists.
  std::int64_t FileSizeOfDatabase() const;
  // The dialog's activation: shows the current size.
  void FormActivate();
  // "Compact".
  void Button2Click();

  std::int64_t SizeBefore() const { return size_before_; }
  std::int64_t SizeAfter() const { return size_after_; }

  widgets::Label Label1{"Label1", this, "Current Database Size"};
  widgets::Label Label2{"Label2", this, "New Database Size"};
  widgets::Label Label3{"Label3", this, "Size Reduction"};
  widgets::Edit txt_CurrentSize{"txt_CurrentSize", this};
  widgets::Edit txt_NewSize{"txt_NewSize", this};
  widgets::Edit txt_Reduction{"txt_Reduction", this};
  widgets::Label Label4{"Label4", this};
  widgets::Button Button2{"Button2", this, "Compact"};
  widgets::Button Button1{"Button1", this, "Cancel"};

 private:
  void FocusSelectedSnippet();

  TmyDOM& session_;
  TmyRegistry& registry_;
  std::int64_t size_before_ = 0;
  std::int64_t size_after_ = 0;
};

// Shows the dialog modally for the band's session and settings.
void ShowCompactDatabase(TmyDOM& session, TmyRegistry& registry);

}  // namespace vt
