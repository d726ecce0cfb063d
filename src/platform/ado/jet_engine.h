#pragma once
// The engine's maintenance object: compaction of a database file into a new one without its
// free space, and putting such a copy in the place of the file it was made from.
//
// Both take the same connection strings as Connection and read only their "Data Source=".
// They open their own connection to the source: the caller closes its connections to that
// file first. Throw AdoError; UI thread or any other, but not two at once on one file.
#include <string>

namespace vt::ado {

class JetEngine {
 public:
  // Writes a compacted copy of the source database into the destination file, which must not
  // exist yet (NotFound for a missing source, Sql when the destination exists). The copy holds
  // every row the source holds, committed write-ahead log included, and is on disk (flushed)
  // when this returns.
  static void CompactDatabase(const std::string& source_connection,
                              const std::string& destination_connection);
};

// Puts the database file `copy` in the place of `path` in one atomic step: at every moment the
// name `path` holds either the whole old file or the whole copy. No connection may have the old
// file open: its write-ahead log would be applied to the copy. While its log exists nothing is
// replaced (Locked). A leftover shared-memory file of the old file is removed first.
void ReplaceDatabaseFile(const std::string& copy, const std::string& path);

}  // namespace vt::ado
