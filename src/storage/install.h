#pragma once
// The program folder: the database "vellumtrace.mdb" with every table, column, index and the
// saved query, the placeholder image "_blank.gif", the toolbar icon "icon.ico", the default style
// sheet "Vellumtrace.css" and the user's help page (help_page.h), plus the image cache folder.
// Installing never overwrites an existing database, row or file: run again, it adds only what is
// missing.
#include <string>
#include <vector>

namespace vt::storage {

struct InstallResult {
  std::string app_dir;    // absolute, ends with "/"
  std::string cache_dir;  // absolute, ends with "/"
  // One line per thing created or repaired; empty when everything was in place.
  std::vector<std::string> actions;
  // Things that are wrong and could not be repaired (the database is then left as it was).
  std::vector<std::string> problems;
};

// The folder made absolute and ending with "/".
std::string NormalizeFolder(const std::string& folder);

// Creates or repairs the program folder and the cache folder (empty texts: the defaults of a fresh
// installation). A database that cannot be opened
// (locked, damaged) is left alone and reported in `problems`. Throws std::runtime_error when a
// folder or file cannot be made.
InstallResult InstallProgramFolder(const std::string& app_dir, const std::string& cache_dir);

// The tables, columns, indexes, saved query and length limits missing from the database at
// `path` are created, in one transaction. Appends its actions and problems to `result`.
void RepairDatabase(const std::string& path, InstallResult& result);

// Installs into the given folders, else those of the settings, else the defaults; then writes the
// AppDir and CacheDir settings and the program-wide folders, and answers what was done. The first
// start of the program calls this when AppDir is not set.
InstallResult InstallAndWriteSettings(const std::string& app_dir = {},
                                      const std::string& cache_dir = {});

// The default style sheet: family Arial, size 12, colour black; eleven lines ending in CR LF.
std::string DefaultStyleSheet();
// A 1x1 transparent GIF and a 16x16 icon file.
const std::string& BlankGifBytes();
const std::string& IconBytes();

}  // namespace vt::storage
