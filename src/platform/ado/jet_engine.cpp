#include "platform/ado/jet_engine.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "platform/ado/connection.h"
#include "platform/ado/query.h"

namespace vt::ado {
namespace {

bool Exists(const std::string& path, struct stat* st = nullptr) {
  struct stat local {};
  return ::lstat(path.c_str(), st ? st : &local) == 0;
}

[[noreturn]] void FailErrno(const std::string& what, const std::string& path) {
  throw AdoError(ErrorKind::Sql,
                 "Could not " + what + " '" + path + "': " + std::strerror(errno) + ".");
}

// Flushes a file's contents (or a folder's entries) to the disk.
void Sync(const std::string& path, bool folder) {
  const int fd = ::open(path.c_str(), (folder ? O_DIRECTORY : 0) | O_RDONLY | O_CLOEXEC);
  if (fd < 0) FailErrno("open", path);
  const int rc = ::fsync(fd);
  const int saved = errno;
  ::close(fd);
  errno = saved;
  if (rc != 0) FailErrno("flush", path);
}

std::string FolderOf(const std::string& path) {
  std::string folder = std::filesystem::path(path).parent_path().string();
  return folder.empty() ? "." : folder;
}

}  // namespace

void JetEngine::CompactDatabase(const std::string& source_connection,
                                const std::string& destination_connection) {
  const std::string destination = ConnectionStringValue(destination_connection, "Data Source");
  if (destination.empty())
    throw AdoError(ErrorKind::NotFound, "The destination connection string names no data source.");
  if (Exists(destination))
    throw AdoError(ErrorKind::Sql, "Database '" + destination + "' already exists.");
  Connection source;
  source.SetConnectionString(source_connection);
  source.Open();
  // Committed frames of the log go into the file first, so the copy is taken from the file as
  // every connection sees it; the copy itself is written without a log.
  source.Execute("PRAGMA wal_checkpoint(TRUNCATE)");
  source.ExecuteOne("VACUUM INTO " + QuotedStr(destination));
  // The last connection to close removes the (now empty) log of the source.
  source.Close();
  Sync(destination, false);
  Sync(FolderOf(destination), true);
}

void ReplaceDatabaseFile(const std::string& copy, const std::string& path) {
  struct stat st {};
  if (!Exists(copy, &st) || !S_ISREG(st.st_mode))
    throw AdoError(ErrorKind::NotFound, "Cannot find the compacted database '" + copy + "'.");
  // The last connection to close a file removes its write-ahead log. A log that is still there
  // belongs to a connection that is open now: its next writes would go to the old file, and its
  // log would be read as part of the copy.
  const std::string wal = path + "-wal";
  if (Exists(wal))
    throw AdoError(ErrorKind::Locked, "The database file '" + path +
                                          "' is in use by another process; close it there and "
                                          "compact again.");
  const std::string shm = path + "-shm";
  if (::unlink(shm.c_str()) != 0 && errno != ENOENT) FailErrno("remove", shm);
  if (::rename(copy.c_str(), path.c_str()) != 0) FailErrno("replace the database file", path);
  Sync(FolderOf(path), true);
}

}  // namespace vt::ado
