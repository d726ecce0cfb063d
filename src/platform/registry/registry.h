#pragma once
// The registry: three hives of keys holding named, typed values.
//
// Key and value names ignore letter case and keep the case they were created with. Paths use
// "\" between keys; a leading or trailing "\" is ignored. The empty value name is the key's
// default value. Value names enumerate in the order they were created, subkeys alphabetically.
//
// Every hive is one JSON file ("HKCU.json", "HKLM.json", "HKCR.json") in the registry folder:
// $VELLUMTRACE_HOME, else $XDG_CONFIG_HOME/vellumtrace/, else ~/.config/vellumtrace/.
// Every change is written at once and atomically (temporary file, fsync, rename, fsync of the
// folder), under an advisory lock so that several processes sharing the folder never lose each
// other's changes; a process sees another's changes at its next call (the file is re-read when
// it changed on disk). A file that cannot be read is renamed aside ("HKCU.json.damaged-<date>")
// and reported by a RegistryError naming both files; the hive then starts empty.
//
// Failures are RegistryError (a std::runtime_error whose message is for the user). "Not found"
// is never an error where an optional result can say it.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace vt::registry {

enum class Hive { ClassesRoot, CurrentUser, LocalMachine };
inline constexpr Hive HKEY_CLASSES_ROOT = Hive::ClassesRoot;
inline constexpr Hive HKEY_CURRENT_USER = Hive::CurrentUser;
inline constexpr Hive HKEY_LOCAL_MACHINE = Hive::LocalMachine;

// "HKEY_CURRENT_USER" ...
std::string HiveName(Hive hive);

enum ValueType : std::uint32_t {
  REG_NONE = 0,
  REG_SZ = 1,
  REG_BINARY = 3,
  REG_DWORD = 4,
  REG_QWORD = 11,
};

// "REG_SZ" ...
std::string TypeName(ValueType type);

struct RegValue {
  ValueType type = REG_NONE;
  std::string bytes;         // REG_SZ text (UTF-8) or REG_BINARY bytes
  std::uint64_t number = 0;  // REG_DWORD, REG_QWORD

  static RegValue String(std::string text) { return {REG_SZ, std::move(text), 0}; }
  static RegValue Dword(std::uint32_t n) { return {REG_DWORD, {}, n}; }
  static RegValue Qword(std::uint64_t n) { return {REG_QWORD, {}, n}; }
  static RegValue Binary(std::string bytes) { return {REG_BINARY, std::move(bytes), 0}; }
  friend bool operator==(const RegValue&, const RegValue&) = default;
};

class RegistryError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class Store;

// A key, named by hive and path (in the letter case the keys were created with). Each call goes
// to the store, which must outlive the key; a key deleted meanwhile makes later calls fail with
// RegistryError (its writes do not bring it back).
class Key {
 public:
  Hive hive() const { return hive_; }
  const std::string& path() const { return path_; }
  // "HKEY_CURRENT_USER\SOFTWARE\Vellumtrace\Settings"
  std::string FullName() const;

  bool Exists() const;
  std::optional<Key> OpenSubKey(std::string_view subPath) const;
  Key CreateSubKey(std::string_view subPath) const;

  std::vector<std::string> ValueNames() const;
  std::vector<std::string> SubKeyNames() const;

  bool HasValue(std::string_view name) const;
  std::optional<ValueType> TypeOf(std::string_view name) const;
  std::optional<RegValue> Read(std::string_view name) const;
  void Write(std::string_view name, const RegValue& value) const;
  // True when the value existed.
  bool DeleteValue(std::string_view name) const;

  // Typed reads. Try*: nullopt when the value is missing. Read*: RegistryError when missing.
  // Both: RegistryError naming the value and both types when it has another type.
  std::optional<std::string> TryReadString(std::string_view name) const;
  std::optional<std::uint32_t> TryReadDword(std::string_view name) const;
  std::optional<std::uint64_t> TryReadQword(std::string_view name) const;
  std::optional<std::string> TryReadBinary(std::string_view name) const;
  std::string ReadString(std::string_view name) const;
  std::uint32_t ReadDword(std::string_view name) const;
  std::uint64_t ReadQword(std::string_view name) const;
  std::string ReadBinary(std::string_view name) const;

  void WriteString(std::string_view name, std::string_view text) const;
  void WriteDword(std::string_view name, std::uint32_t value) const;
  void WriteQword(std::string_view name, std::uint64_t value) const;
  void WriteBinary(std::string_view name, std::string_view bytes) const;

 private:
  friend class Store;
  Key(Store* store, Hive hive, std::string path)
      : store_(store), hive_(hive), path_(std::move(path)) {}
  std::optional<RegValue> ReadTyped(std::string_view name, ValueType type) const;
  RegValue ReadRequired(std::string_view name, ValueType type) const;

  Store* store_;
  Hive hive_;
  std::string path_;
};

// The hives of one registry folder. Thread-safe.
class Store {
 public:
  explicit Store(std::filesystem::path folder);
  ~Store();
  Store(const Store&) = delete;
  Store& operator=(const Store&) = delete;

  const std::filesystem::path& Folder() const;
  std::filesystem::path HiveFile(Hive hive) const;

  // nullopt when the key does not exist.
  std::optional<Key> OpenKey(Hive hive, std::string_view path);
  // Creates the key and every missing key above it.
  Key CreateKey(Hive hive, std::string_view path);
  bool KeyExists(Hive hive, std::string_view path);
  // Deletes the key with everything below it; false when it did not exist.
  bool DeleteKey(Hive hive, std::string_view path);

  // Calls `observer` with the hive each time this store has written a change to that hive's file
  // (once per write, or once per hive for a committed batch), on the writing thread, after the
  // store is unlocked: the observer may read the store, but must not add or remove observers.
  // Changes made by other processes are not observed. Answers the id RemoveChangeObserver takes.
  int AddChangeObserver(std::function<void(Hive)> observer);
  // Once this returns, the observer is no longer called.
  void RemoveChangeObserver(int id);

 private:
  friend class Key;
  friend class Batch;
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// The folder the process's registry lives in (see the header comment).
std::filesystem::path DefaultFolder();
// The process's registry, on DefaultFolder() as it was at the first call.
Store& DefaultStore();

// Groups changes into one write per hive: while a batch is open, changes apply at once (reads
// see them) and the hives they touch stay locked against other processes; Commit writes each
// changed hive once. A batch destroyed without Commit (an exception) drops its changes. Batches
// nest; the outermost one writes, and if an inner one was dropped its Commit throws.
// Keep batches short and on one thread; do not let the message loop run inside one.
class Batch {
 public:
  explicit Batch(Store& store = DefaultStore());
  ~Batch();
  Batch(const Batch&) = delete;
  Batch& operator=(const Batch&) = delete;
  void Commit();

 private:
  void Finish(bool commit);
  Store* store_;
  bool done_ = false;
};

// DefaultStore()'s operations.
inline std::optional<Key> OpenKey(Hive hive, std::string_view path) {
  return DefaultStore().OpenKey(hive, path);
}
inline Key CreateKey(Hive hive, std::string_view path) {
  return DefaultStore().CreateKey(hive, path);
}
inline bool KeyExists(Hive hive, std::string_view path) {
  return DefaultStore().KeyExists(hive, path);
}
inline bool DeleteKey(Hive hive, std::string_view path) {
  return DefaultStore().DeleteKey(hive, path);
}

// Letter case as the registry ignores it: ASCII, Latin-1, Greek and Cyrillic letters.
std::string FoldCase(std::string_view text);

}  // namespace vt::registry
