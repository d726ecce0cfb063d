#include "storage/install.h"

#include "config/StyleSheet.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "config/myRegistry.h"
#include "platform/ado/ado.h"
#include "storage/help_page.h"
#include "storage/schema.h"

namespace vt::storage {
namespace fs = std::filesystem;

namespace {

void WriteNewFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) throw std::runtime_error("Cannot write the file '" + path + "'.");
}

bool HasObject(ado::Connection& db, const char* type, const std::string& name) {
  ado::Statement& st =
      db.Prepare("SELECT 1 FROM sqlite_master WHERE type = ? AND name = ? COLLATE NOCASE");
  st.Bind(1, ado::Variant(type));
  st.Bind(2, ado::Variant(name));
  bool found = st.Step();
  st.Reset();
  return found;
}

bool IndexOnTable(ado::Connection& db, const std::string& index, const std::string& table) {
  ado::Statement& st = db.Prepare(
      "SELECT 1 FROM sqlite_master WHERE type = 'index' AND name = ? COLLATE NOCASE AND tbl_name = "
      "? COLLATE NOCASE");
  st.Bind(1, ado::Variant(index));
  st.Bind(2, ado::Variant(table));
  bool found = st.Step();
  st.Reset();
  return found;
}

std::vector<std::string> ColumnsOf(ado::Connection& db, const std::string& table) {
  ado::Statement& st = db.Prepare("SELECT name FROM pragma_table_info(?)");
  st.Bind(1, ado::Variant(table));
  std::vector<std::string> out;
  while (st.Step()) out.push_back(st.Column(0).AsString());
  st.Reset();
  return out;
}

bool Contains(const std::vector<std::string>& names, const std::string& name) {
  for (const auto& n : names)
    if (ado::SameName(n, name)) return true;
  return false;
}

// Creates the database under a temporary name and moves it into place only when it is complete,
// so that an interrupted install never leaves a half-made database behind.
void CreateDatabase(const std::string& path, InstallResult& result) {
  std::string temp = path + ".new-" + std::to_string(::getpid());
  fs::remove(temp);
  {
    int fd = ::open(temp.c_str(), O_CREAT | O_EXCL | O_WRONLY, 0644);
    if (fd < 0) throw std::runtime_error("Cannot create the database file '" + temp + "'.");
    ::close(fd);
  }
  try {
    InstallResult scratch;
    RepairDatabase(temp, scratch);
    // link() fails if the name exists, so a database made meanwhile is never replaced.
    if (::link(temp.c_str(), path.c_str()) != 0)
      throw std::runtime_error("Cannot create the database file '" + path + "'.");
    fs::remove(temp);
  } catch (...) {
    std::error_code ec;
    fs::remove(temp, ec);
    fs::remove(temp + "-wal", ec);
    fs::remove(temp + "-shm", ec);
    throw;
  }
  result.actions.push_back("Created the database " + path + " with its " +
                           std::to_string(Tables().size()) + " tables, " +
                           std::to_string(Indexes().size()) + " indexes and the saved query " +
                           kWordSearchView);
}

void EnsureFile(const std::string& path, const std::string& bytes, const char* what,
                InstallResult& result) {
  if (fs::exists(path)) return;
  WriteNewFile(path, bytes);
  result.actions.push_back(std::string("Created ") + what + " " + path);
}

void EnsureFolder(const std::string& folder, const char* what, InstallResult& result) {
  std::error_code ec;
  if (fs::is_directory(folder, ec)) return;
  if (fs::exists(folder, ec))
    throw std::runtime_error("'" + folder + "' exists and is not a folder.");
  fs::create_directories(folder, ec);
  if (ec) throw std::runtime_error("Cannot create the folder '" + folder + "': " + ec.message());
  result.actions.push_back(std::string("Created the ") + what + " " + folder);
}

}  // namespace

std::string NormalizeFolder(const std::string& folder) {
  if (folder.empty()) return {};
  std::string s = fs::absolute(fs::path(folder)).lexically_normal().string();
  if (s.empty() || s.back() != '/') s += '/';
  return s;
}

void RepairDatabase(const std::string& path, InstallResult& result) {
  ado::Connection db;
  db.SetConnectionString("Data Source=" + path + ";");
  db.Open();
  db.Execute("BEGIN IMMEDIATE");
  try {
    int limits_added = 0;
    for (const auto& t : Tables()) {
      if (!HasObject(db, "table", t.name)) {
        db.Execute(CreateTableSql(t));
        result.actions.push_back(std::string("Created table ") + t.name);
      } else {
        auto have = ColumnsOf(db, t.name);
        for (const auto& c : t.columns) {
          if (Contains(have, c.name)) continue;
          if (c.kind == ado::FieldKind::AutoNumber) {
            result.problems.push_back(std::string("Table ") + t.name + " lacks its key column " +
                                      c.name + "; it cannot be added to an existing table");
            continue;
          }
          db.Execute("ALTER TABLE [" + std::string(t.name) + "] ADD COLUMN " + ColumnSql(c));
          result.actions.push_back(std::string("Added column ") + t.name + "." + c.name);
        }
      }
      for (const auto& trig : LengthTriggers(t)) {
        if (HasObject(db, "trigger", trig.name)) continue;
        db.Execute(trig.sql);
        ++limits_added;
      }
    }
    for (const auto& i : Indexes()) {
      if (HasObject(db, "index", i.name)) {
        if (!IndexOnTable(db, i.name, i.table))
          result.problems.push_back(std::string("The index ") + i.name +
                                    " belongs to another table than " + i.table);
        continue;
      }
      db.Execute(CreateIndexSql(i));
      result.actions.push_back(std::string("Created index ") + i.name + " on " + i.table + " (" +
                               i.columns + ")");
    }
    if (!HasObject(db, "view", kWordSearchView)) {
      if (HasObject(db, "table", kWordSearchView)) {
        result.problems.push_back(std::string(kWordSearchView) +
                                  " is a table, not the saved query; it was left alone");
      } else {
        db.Execute(CreateWordSearchViewSql());
        result.actions.push_back(std::string("Created the saved query ") + kWordSearchView);
      }
    } else {
      auto have = ColumnsOf(db, kWordSearchView);
      std::string missing;
      for (const auto& c : kWordSearchColumns)
        if (!Contains(have, c)) missing += (missing.empty() ? "" : ", ") + c;
      if (!missing.empty()) {
        db.Execute(std::string("DROP VIEW [") + kWordSearchView + "]");
        db.Execute(CreateWordSearchViewSql());
        result.actions.push_back(std::string("Replaced the saved query ") + kWordSearchView +
                                 " (it lacked " + missing + ")");
      }
    }
    if (limits_added > 0)
      result.actions.push_back(limits_added / 2 == 1
                                   ? std::string("Added the length limit of 1 text column")
                                   : "Added the length limits of " +
                                         std::to_string(limits_added / 2) + " text columns");
    db.Execute("COMMIT");
  } catch (...) {
    try {
      db.Execute("ROLLBACK");
    } catch (...) {
    }
    throw;
  }
}

InstallResult InstallProgramFolder(const std::string& app_dir, const std::string& cache_dir) {
  InstallResult r;
  r.app_dir = NormalizeFolder(app_dir.empty() ? vt::DefaultAppDir() : app_dir);
  r.cache_dir = NormalizeFolder(cache_dir.empty() ? vt::DefaultCacheDir() : cache_dir);
  EnsureFolder(r.app_dir, "program folder", r);
  EnsureFolder(r.cache_dir, "image cache folder", r);
  std::string db = r.app_dir + kDatabaseFileName;
  try {
    if (!fs::exists(db))
      CreateDatabase(db, r);
    else
      RepairDatabase(db, r);
  } catch (const std::exception& e) {
    // A locked or damaged database is left exactly as it is.
    r.problems.push_back(e.what());
  }
  EnsureFile(r.app_dir + "_blank.gif", BlankGifBytes(), "the placeholder image", r);
  EnsureFile(r.app_dir + "icon.ico", IconBytes(), "the toolbar icon", r);
  EnsureFile(r.app_dir + "Vellumtrace.css", DefaultStyleSheet(), "the style sheet", r);
  EnsureFile(r.app_dir + kHelpPageName, HelpPageHtml(), "the help page", r);
  return r;
}

std::string DefaultStyleSheet() {
  return StyleSheetText("Arial", 12, 0);
}

const std::string& BlankGifBytes() {
  static const std::string kGif = [] {
    const unsigned char b[] = {0x47, 0x49, 0x46, 0x38, 0x39, 0x61, 0x01, 0x00, 0x01, 0x00, 0x80,
                               0x00, 0x00, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0x21, 0xF9, 0x04,
                               0x01, 0x00, 0x00, 0x00, 0x00, 0x2C, 0x00, 0x00, 0x00, 0x00, 0x01,
                               0x00, 0x01, 0x00, 0x00, 0x02, 0x02, 0x44, 0x01, 0x00, 0x3B};
    return std::string(reinterpret_cast<const char*>(b), sizeof b);
  }();
  return kGif;
}

const std::string& IconBytes() {
  // One 16x16 image, 32 bits per pixel: a dark blue square with a white "V".
  static const std::string kIcon = [] {
    std::string s;
    auto u16 = [&s](unsigned v) {
      s += static_cast<char>(v & 0xff);
      s += static_cast<char>((v >> 8) & 0xff);
    };
    auto u32 = [&](unsigned v) {
      u16(v & 0xffff);
      u16(v >> 16);
    };
    const unsigned pixels = 16 * 16 * 4, mask = 16 * 4, image = 40 + pixels + mask;
    u16(0), u16(1), u16(1);                          // header: icon, one image
    s += '\x10', s += '\x10', s += '\0', s += '\0';  // 16 x 16, no palette
    u16(1), u16(32), u32(image), u32(6 + 16);        // planes, bits, size, offset
    u32(40), u32(16), u32(32), u16(1), u16(32);      // bitmap header (height doubled)
    u32(0), u32(pixels + mask), u32(0), u32(0), u32(0), u32(0);
    for (int row = 15; row >= 0; --row) {  // bottom-up
      for (int x = 0; x < 16; ++x) {
        // The V: two strokes from the top corners meeting at the bottom centre.
        int y = row;
        bool v = y >= 2 && y <= 13 &&
                 (std::abs(x - (2 + (y - 2) * 5 / 11)) <= 1 ||
                  std::abs(x - (13 - (y - 2) * 5 / 11)) <= 1);
        bool border = x == 0 || y == 0 || x == 15 || y == 15;
        unsigned char b = v ? 0xFF : (border ? 0x66 : 0x99), g = v ? 0xFF : 0x00,
                      r = v ? 0xFF : 0x00;
        s += static_cast<char>(b), s += static_cast<char>(g), s += static_cast<char>(r);
        s += '\xFF';
      }
    }
    s.append(mask, '\0');  // everything opaque
    return s;
  }();
  return kIcon;
}

}  // namespace vt::storage

namespace vt::storage {

InstallResult InstallAndWriteSettings(const std::string& app_dir, const std::string& cache_dir) {
  TmyRegistry reg;
  const std::string stored_app = reg.ReadString(settings::AppDir);
  const std::string stored_cache = reg.ReadString(settings::CacheDir);
  InstallResult r = InstallProgramFolder(app_dir.empty() ? stored_app : app_dir,
                                         cache_dir.empty() ? stored_cache : cache_dir);
  // Settings point at a folder only once its database is sound.
  if (!r.problems.empty()) return r;
  if (stored_app != r.app_dir) {
    reg.WriteString(settings::AppDir, r.app_dir);
    r.actions.push_back("Set AppDir to " + r.app_dir);
  }
  if (stored_cache != r.cache_dir) {
    reg.WriteString(settings::CacheDir, r.cache_dir);
    r.actions.push_back("Set CacheDir to " + r.cache_dir);
  }
  SetAppDir(r.app_dir);
  SetCacheDir(r.cache_dir);
  return r;
}

}  // namespace vt::storage
