#include "platform/registry/registry.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <exception>
#include <fstream>
#include <functional>
#include <map>
#include <mutex>
#include <nlohmann/json.hpp>
#include <sstream>

#include "platform/text/utf8.h"

namespace vt::registry {

namespace fs = std::filesystem;
using nlohmann::json;

// ---------------------------------------------------------------- names and text

std::string HiveName(Hive hive) {
  switch (hive) {
    case Hive::ClassesRoot:
      return "HKEY_CLASSES_ROOT";
    case Hive::CurrentUser:
      return "HKEY_CURRENT_USER";
    case Hive::LocalMachine:
      return "HKEY_LOCAL_MACHINE";
  }
  return "HKEY_?";
}

std::string TypeName(ValueType type) {
  switch (type) {
    case REG_NONE:
      return "REG_NONE";
    case REG_SZ:
      return "REG_SZ";
    case REG_BINARY:
      return "REG_BINARY";
    case REG_DWORD:
      return "REG_DWORD";
    case REG_QWORD:
      return "REG_QWORD";
  }
  return "type " + std::to_string(static_cast<unsigned>(type));
}

namespace {

std::optional<ValueType> TypeFromName(const std::string& name) {
  for (ValueType t : {REG_NONE, REG_SZ, REG_BINARY, REG_DWORD, REG_QWORD}) {
    if (TypeName(t) == name) return t;
  }
  return std::nullopt;
}

const char* FileStem(Hive hive) {
  switch (hive) {
    case Hive::ClassesRoot:
      return "HKCR";
    case Hive::CurrentUser:
      return "HKCU";
    case Hive::LocalMachine:
      return "HKLM";
  }
  return "HK";
}

using text::DecodeUtf8;

bool IsUtf8(std::string_view text) {
  for (std::size_t i = 0; i < text.size();) {
    if (!DecodeUtf8(text, i)) return false;
  }
  return true;
}

char32_t FoldChar(char32_t c) {
  if (c >= 'A' && c <= 'Z') return c + 32;
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 32;     // Latin-1 capitals
  if (c >= 0x391 && c <= 0x3AB && c != 0x3A2) return c + 32;  // Greek capitals
  if (c >= 0x410 && c <= 0x42F) return c + 32;                // Cyrillic capitals
  if (c >= 0x400 && c <= 0x40F) return c + 80;
  return c;
}

std::string Hex(std::string_view bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string out;
  out.reserve(bytes.size() * 2);
  for (char ch : bytes) {
    const auto b = static_cast<unsigned char>(ch);
    out += kDigits[b >> 4];
    out += kDigits[b & 15];
  }
  return out;
}

std::optional<std::string> Unhex(const std::string& text) {
  if (text.size() % 2) return std::nullopt;
  std::string out;
  auto digit = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  for (std::size_t i = 0; i < text.size(); i += 2) {
    const int hi = digit(text[i]), lo = digit(text[i + 1]);
    if (hi < 0 || lo < 0) return std::nullopt;
    out += static_cast<char>(hi * 16 + lo);
  }
  return out;
}

std::vector<std::string> SplitPath(std::string_view path) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t end = path.find('\\', start);
    if (end == std::string_view::npos) end = path.size();
    if (end > start) parts.emplace_back(path.substr(start, end - start));
    start = end + 1;
  }
  return parts;
}

std::string JoinPath(const std::vector<std::string>& parts) {
  std::string out;
  for (const std::string& p : parts) {
    if (!out.empty()) out += '\\';
    out += p;
  }
  return out;
}

std::string Quote(std::string_view name) {
  return name.empty() ? std::string("(default)") : "\"" + std::string(name) + "\"";
}

// ---------------------------------------------------------------- the tree of a hive

struct ValueEntry {
  std::string name;
  std::string folded;
  RegValue value;
};

struct Node {
  std::string name;
  std::vector<ValueEntry> values;                         // creation order
  std::map<std::string, std::unique_ptr<Node>> children;  // by folded name

  ValueEntry* FindValue(std::string_view valueName) {
    const std::string folded = FoldCase(valueName);
    for (ValueEntry& v : values) {
      if (v.folded == folded) return &v;
    }
    return nullptr;
  }
};

Node* Find(Node& root, const std::vector<std::string>& parts) {
  Node* node = &root;
  for (const std::string& part : parts) {
    auto it = node->children.find(FoldCase(part));
    if (it == node->children.end()) return nullptr;
    node = it->second.get();
  }
  return node;
}

// The path of an existing key with the letter case its keys were created with.
std::string StoredPath(Node& root, const std::vector<std::string>& parts) {
  std::vector<std::string> names;
  Node* node = &root;
  for (const std::string& part : parts) {
    node = node->children.at(FoldCase(part)).get();
    names.push_back(node->name);
  }
  return JoinPath(names);
}

Node& FindOrCreate(Node& root, const std::vector<std::string>& parts) {
  Node* node = &root;
  for (const std::string& part : parts) {
    auto& slot = node->children[FoldCase(part)];
    if (!slot) {
      slot = std::make_unique<Node>();
      slot->name = part;
    }
    node = slot.get();
  }
  return *node;
}

json ToJson(const Node& node) {
  json values = json::array();
  for (const ValueEntry& v : node.values) {
    json entry = {{"name", v.name}, {"type", TypeName(v.value.type)}};
    switch (v.value.type) {
      case REG_SZ:
        if (IsUtf8(v.value.bytes)) {
          entry["data"] = v.value.bytes;
        } else {
          entry["hex"] = Hex(v.value.bytes);  // text that is not UTF-8 is kept byte for byte
        }
        break;
      case REG_BINARY:
        entry["data"] = Hex(v.value.bytes);
        break;
      case REG_DWORD:
      case REG_QWORD:
        entry["data"] = v.value.number;
        break;
      case REG_NONE:
        break;
    }
    values.push_back(std::move(entry));
  }
  json keys = json::array();
  for (const auto& [folded, child] : node.children) {
    json k = ToJson(*child);
    k["name"] = child->name;
    keys.push_back(std::move(k));
  }
  return {{"values", std::move(values)}, {"keys", std::move(keys)}};
}

// Throws std::runtime_error describing what is wrong with the file's content.
void FromJson(const json& j, Node& node) {
  if (!j.is_object()) throw std::runtime_error("a key is not a JSON object");
  if (j.contains("values")) {
    for (const json& v : j.at("values")) {
      const std::string name = v.at("name").get<std::string>();
      const auto type = TypeFromName(v.at("type").get<std::string>());
      if (!type) throw std::runtime_error("value " + Quote(name) + " has an unknown type");
      RegValue value;
      value.type = *type;
      if (*type == REG_SZ) {
        if (v.contains("hex")) {
          auto bytes = Unhex(v.at("hex").get<std::string>());
          if (!bytes) throw std::runtime_error("value " + Quote(name) + " has broken hex data");
          value.bytes = *bytes;
        } else {
          value.bytes = v.at("data").get<std::string>();
        }
      } else if (*type == REG_BINARY) {
        auto bytes = Unhex(v.at("data").get<std::string>());
        if (!bytes) throw std::runtime_error("value " + Quote(name) + " has broken hex data");
        value.bytes = *bytes;
      } else if (*type == REG_DWORD || *type == REG_QWORD) {
        value.number = v.at("data").get<std::uint64_t>();
        if (*type == REG_DWORD && value.number > 0xFFFFFFFFu) {
          throw std::runtime_error("value " + Quote(name) + " is too large for REG_DWORD");
        }
      }
      if (ValueEntry* existing = node.FindValue(name)) {
        existing->value = std::move(value);
      } else {
        node.values.push_back({name, FoldCase(name), std::move(value)});
      }
    }
  }
  if (j.contains("keys")) {
    for (const json& k : j.at("keys")) {
      const std::string name = k.at("name").get<std::string>();
      if (name.empty() || name.find('\\') != std::string::npos) {
        throw std::runtime_error("a key has an invalid name");
      }
      Node& child = FindOrCreate(node, {name});
      FromJson(k, child);
    }
  }
}

// ---------------------------------------------------------------- files

struct Stamp {
  dev_t dev;
  ino_t ino;
  off_t size;
  std::int64_t mtimeNs;
  friend bool operator==(const Stamp&, const Stamp&) = default;
};

std::optional<Stamp> StampOf(const fs::path& file) {
  struct stat st;
  if (::stat(file.c_str(), &st) != 0) {
    if (errno == ENOENT || errno == ENOTDIR) return std::nullopt;
    throw RegistryError("Cannot examine the registry file " + file.string() + ": " +
                        std::strerror(errno));
  }
  return Stamp{st.st_dev, st.st_ino, st.st_size,
               std::int64_t{st.st_mtim.tv_sec} * 1000000000 + st.st_mtim.tv_nsec};
}

std::string TimestampText() {
  std::time_t now = std::time(nullptr);
  std::tm local;
  localtime_r(&now, &local);
  char text[32];
  std::strftime(text, sizeof text, "%Y%m%d-%H%M%S", &local);
  return text;
}

void WriteAll(int fd, const std::string& data, const fs::path& file) {
  std::size_t done = 0;
  while (done < data.size()) {
    const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      throw RegistryError("Cannot write the registry file " + file.string() + ": " +
                          std::strerror(errno));
    }
    done += static_cast<std::size_t>(n);
  }
}

// Replaces `file` by `data` so that a crash leaves either the old or the new content.
void WriteAtomically(const fs::path& file, const std::string& data) {
  const fs::path temp = file.string() + ".tmp";  // the hive's lock is held: one writer at a time
  const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) {
    throw RegistryError("Cannot write the registry file " + temp.string() + ": " +
                        std::strerror(errno));
  }
  try {
    WriteAll(fd, data, temp);
    if (::fsync(fd) != 0) {
      throw RegistryError("Cannot flush the registry file " + temp.string() + ": " +
                          std::strerror(errno));
    }
  } catch (...) {
    ::close(fd);
    ::unlink(temp.c_str());
    throw;
  }
  ::close(fd);
  if (::rename(temp.c_str(), file.c_str()) != 0) {
    const int err = errno;
    ::unlink(temp.c_str());
    throw RegistryError("Cannot replace the registry file " + file.string() + ": " +
                        std::strerror(err));
  }
  const int dir = ::open(file.parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
}

// An exclusive advisory lock on a hive's lock file, held for one change.
class FileLock {
 public:
  explicit FileLock(const fs::path& lockFile) {
    fd_ = ::open(lockFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd_ < 0) {
      throw RegistryError("Cannot open the registry lock " + lockFile.string() + ": " +
                          std::strerror(errno));
    }
    while (::flock(fd_, LOCK_EX) != 0) {
      if (errno != EINTR) {
        const int err = errno;
        ::close(fd_);
        throw RegistryError("Cannot lock the registry lock " + lockFile.string() + ": " +
                            std::strerror(err));
      }
    }
  }
  ~FileLock() {
    ::flock(fd_, LOCK_UN);
    ::close(fd_);
  }
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

 private:
  int fd_;
};

}  // namespace

std::string FoldCase(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    if (auto cp = DecodeUtf8(text, i)) {
      text::AppendUtf8(FoldChar(*cp), out);
    } else {
      out += text[i++];  // bytes that are not UTF-8 compare as they are
    }
  }
  return out;
}

// ---------------------------------------------------------------- the store

struct HiveState {
  Node root;
  bool loaded = false;
  std::optional<Stamp> stamp;  // of the file the tree was read from or written to
};

struct Store::Impl {
  fs::path folder;
  std::mutex mutex;
  HiveState hives[3];

  fs::path File(Hive hive) const { return folder / (std::string(FileStem(hive)) + ".json"); }
  fs::path LockFile(Hive hive) const {
    return folder / (std::string(FileStem(hive)) + ".json.lock");
  }
  HiveState& State(Hive hive) { return hives[static_cast<int>(hive)]; }

  // Brings the tree up to date with the file (mutex held). lockHeld: the hive's file lock is
  // held by this call's caller, so a damaged file can be moved aside safely.
  Node& Current(Hive hive, bool lockHeld) {
    HiveState& state = State(hive);
    const fs::path file = File(hive);
    const std::optional<Stamp> stamp = StampOf(file);
    if (state.loaded && stamp == state.stamp) return state.root;
    state.root = Node();
    state.loaded = true;
    state.stamp = stamp;
    if (!stamp) return state.root;  // no file yet: an empty hive

    std::ifstream in(file, std::ios::binary);
    std::stringstream content;
    if (in.is_open()) content << in.rdbuf();
    if (!in.is_open() || in.bad()) {
      state.loaded = false;
      throw RegistryError("Cannot read the registry file " + file.string());
    }
    try {
      const json j = json::parse(content.str());
      if (!j.is_object() || !j.contains("root")) throw std::runtime_error("it has no root key");
      FromJson(j.at("root"), state.root);
      return state.root;
    } catch (const std::exception& e) {
      state.root = Node();
      state.loaded = false;
      MoveAside(hive, file, *stamp, e.what(), lockHeld);
    }
  }

  [[noreturn]] void MoveAside(Hive hive, const fs::path& file, const Stamp& seen,
                              const std::string& why, bool lockHeld) {
    std::optional<FileLock> lock;
    if (!lockHeld) lock.emplace(LockFile(hive));
    if (StampOf(file) != seen) throw Retry{};  // replaced by a new write meanwhile: read again
    fs::path aside = file.string() + ".damaged-" + TimestampText();
    for (int n = 2; fs::exists(aside); ++n) {
      aside = file.string() + ".damaged-" + TimestampText() + "-" + std::to_string(n);
    }
    std::error_code ec;
    fs::rename(file, aside, ec);
    HiveState& state = State(hive);
    state.root = Node();
    state.loaded = true;
    state.stamp = std::nullopt;
    if (ec) {
      state.loaded = false;
      throw RegistryError("The registry file " + file.string() + " is damaged (" + why +
                          ") and could not be moved aside: " + ec.message());
    }
    throw RegistryError("The registry file " + file.string() + " is damaged (" + why +
                        "). It was kept as " + aside.string() + "; " + HiveName(hive) +
                        " starts empty.");
  }
  struct Retry {};

  Node& CurrentRetrying(Hive hive, bool lockHeld) {
    for (;;) {
      try {
        return Current(hive, lockHeld);
      } catch (const Retry&) {
      }
    }
  }

  template <class F>
  auto Read(Hive hive, F&& f) {
    std::lock_guard guard(mutex);
    return f(CurrentRetrying(hive, batchLocks[static_cast<int>(hive)].has_value()));
  }

  // f(root) changes the tree and returns whether anything changed; the file is then rewritten,
  // or, inside a batch, when the batch commits. The observers hear of a write once the store is
  // unlocked again.
  template <class F>
  void Change(Hive hive, F&& f) {
    ChangeLocked(hive, std::forward<F>(f));
    NotifySaved();
  }

  template <class F>
  void ChangeLocked(Hive hive, F&& f) {
    std::lock_guard guard(mutex);
    const int h = static_cast<int>(hive);
    std::optional<FileLock> lock;
    if (batchDepth == 0 || !batchLocks[h]) {
      std::error_code ec;
      fs::create_directories(folder, ec);
      if (ec) {
        throw RegistryError("Cannot create the registry folder " + folder.string() + ": " +
                            ec.message());
      }
      (batchDepth > 0 ? batchLocks[h] : lock).emplace(LockFile(hive));
    }
    Node& root = CurrentRetrying(hive, true);
    if (!f(root)) return;
    if (batchDepth > 0) {
      dirty[h] = true;
      return;
    }
    Save(hive);
  }

  void Save(Hive hive) {
    HiveState& state = State(hive);
    try {
      json j = {{"format", "vellumtrace registry hive"},
                {"hive", HiveName(hive)},
                {"root", ToJson(state.root)}};
      WriteAtomically(File(hive), j.dump(1) + "\n");
      state.stamp = StampOf(File(hive));
      saved[static_cast<int>(hive)] = true;
    } catch (...) {
      state.loaded = false;  // the change did not reach the file: forget it
      throw;
    }
  }

  // Ends the outermost batch: writes its changes (commit) or forgets them.
  void EndBatch(bool commit) {
    std::exception_ptr failure;
    for (int h = 0; h < 3; ++h) {
      if (dirty[h]) {
        if (commit && !failure) {
          try {
            Save(static_cast<Hive>(h));
          } catch (...) {
            failure = std::current_exception();
          }
        } else {
          hives[h].loaded = false;  // re-read the file: the batch's changes are dropped
        }
      }
      dirty[h] = false;
      batchLocks[h].reset();
    }
    if (failure) std::rethrow_exception(failure);
  }

  // Tells the observers of every hive written since the last call. Called without `mutex` held;
  // an observer that throws is passed over.
  void NotifySaved() noexcept {
    bool written[3];
    {
      std::lock_guard guard(mutex);
      for (int h = 0; h < 3; ++h) {
        written[h] = saved[h];
        saved[h] = false;
      }
    }
    std::lock_guard guard(observersMutex);
    for (int h = 0; h < 3; ++h) {
      if (!written[h]) continue;
      for (auto& [id, observer] : observers) {
        try {
          observer(static_cast<Hive>(h));
        } catch (...) {
        }
      }
    }
  }

  bool saved[3] = {false, false, false};  // hives written and not yet told (mutex)
  std::mutex observersMutex;
  std::map<int, std::function<void(Hive)>> observers;  // observersMutex
  int nextObserver = 1;

  int batchDepth = 0;
  bool batchAbandoned = false;
  bool dirty[3] = {false, false, false};
  std::optional<FileLock> batchLocks[3];
};

Store::Store(fs::path folder) : impl_(std::make_unique<Impl>()) {
  impl_->folder = std::move(folder);
}
Store::~Store() = default;

const fs::path& Store::Folder() const {
  return impl_->folder;
}
fs::path Store::HiveFile(Hive hive) const {
  return impl_->File(hive);
}

std::optional<Key> Store::OpenKey(Hive hive, std::string_view path) {
  const std::vector<std::string> parts = SplitPath(path);
  return impl_->Read(hive, [&](Node& root) -> std::optional<Key> {
    if (!Find(root, parts)) return std::nullopt;
    return Key(this, hive, StoredPath(root, parts));
  });
}

Key Store::CreateKey(Hive hive, std::string_view path) {
  const std::vector<std::string> parts = SplitPath(path);
  if (auto existing = OpenKey(hive, path)) return *existing;
  std::string stored;
  impl_->Change(hive, [&](Node& root) {
    const bool created = !Find(root, parts);
    if (created) FindOrCreate(root, parts);
    stored = StoredPath(root, parts);
    return created;
  });
  return Key(this, hive, stored);
}

bool Store::KeyExists(Hive hive, std::string_view path) {
  const std::vector<std::string> parts = SplitPath(path);
  return impl_->Read(hive, [&](Node& root) { return Find(root, parts) != nullptr; });
}

bool Store::DeleteKey(Hive hive, std::string_view path) {
  std::vector<std::string> parts = SplitPath(path);
  if (parts.empty()) {
    throw RegistryError("The root of " + HiveName(hive) + " cannot be deleted");
  }
  bool deleted = false;
  impl_->Change(hive, [&](Node& root) {
    const std::string last = FoldCase(parts.back());
    parts.pop_back();
    Node* parent = Find(root, parts);
    deleted = parent && parent->children.erase(last) > 0;
    return deleted;
  });
  return deleted;
}

int Store::AddChangeObserver(std::function<void(Hive)> observer) {
  std::lock_guard guard(impl_->observersMutex);
  const int id = impl_->nextObserver++;
  impl_->observers.emplace(id, std::move(observer));
  return id;
}

void Store::RemoveChangeObserver(int id) {
  std::lock_guard guard(impl_->observersMutex);
  impl_->observers.erase(id);
}

Batch::Batch(Store& store) : store_(&store) {
  std::lock_guard guard(store_->impl_->mutex);
  ++store_->impl_->batchDepth;
}

Batch::~Batch() {
  if (done_) return;
  try {
    Finish(false);
  } catch (...) {  // forgetting changes writes nothing, so nothing can fail here
  }
}

void Batch::Commit() {
  if (done_) throw std::logic_error("registry batch committed twice");
  Finish(true);
}

void Batch::Finish(bool commit) {
  done_ = true;
  Store::Impl& impl = *store_->impl_;
  // Declared before the lock: the observers are told after it is released, thrown or not.
  struct Notify {
    Store::Impl& impl;
    ~Notify() { impl.NotifySaved(); }
  } notify{impl};
  std::lock_guard guard(impl.mutex);
  if (!commit) impl.batchAbandoned = true;
  if (--impl.batchDepth > 0) return;  // the outermost batch decides
  const bool abandoned = impl.batchAbandoned;
  impl.batchAbandoned = false;
  impl.EndBatch(commit && !abandoned);
  if (commit && abandoned) {
    throw RegistryError("Registry changes were abandoned by an inner batch and not written");
  }
}

std::filesystem::path DefaultFolder() {
  if (const char* home = std::getenv("VELLUMTRACE_HOME"); home && *home) return fs::path(home);
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg) {
    return fs::path(xdg) / "vellumtrace";
  }
  if (const char* home = std::getenv("HOME"); home && *home) {
    return fs::path(home) / ".config" / "vellumtrace";
  }
  return fs::path(".config") / "vellumtrace";
}

Store& DefaultStore() {
  static Store* store = new Store(DefaultFolder());  // lives until the process ends
  return *store;
}

// ---------------------------------------------------------------- keys

namespace {
[[noreturn]] void KeyGone(const Key& key) {
  throw RegistryError("The registry key " + key.FullName() + " no longer exists");
}
}  // namespace

std::string Key::FullName() const {
  return path_.empty() ? HiveName(hive_) : HiveName(hive_) + "\\" + path_;
}

bool Key::Exists() const {
  return store_->KeyExists(hive_, path_);
}

std::optional<Key> Key::OpenSubKey(std::string_view subPath) const {
  return store_->OpenKey(hive_, path_ + "\\" + std::string(subPath));
}

Key Key::CreateSubKey(std::string_view subPath) const {
  if (!Exists()) KeyGone(*this);
  return store_->CreateKey(hive_, path_ + "\\" + std::string(subPath));
}

std::vector<std::string> Key::ValueNames() const {
  const auto parts = SplitPath(path_);
  return store_->impl_->Read(hive_, [&](Node& root) {
    Node* node = Find(root, parts);
    if (!node) KeyGone(*this);
    std::vector<std::string> names;
    for (const ValueEntry& v : node->values) names.push_back(v.name);
    return names;
  });
}

std::vector<std::string> Key::SubKeyNames() const {
  const auto parts = SplitPath(path_);
  return store_->impl_->Read(hive_, [&](Node& root) {
    Node* node = Find(root, parts);
    if (!node) KeyGone(*this);
    std::vector<std::string> names;
    for (const auto& [folded, child] : node->children) names.push_back(child->name);
    return names;
  });
}

std::optional<RegValue> Key::Read(std::string_view name) const {
  const auto parts = SplitPath(path_);
  return store_->impl_->Read(hive_, [&](Node& root) -> std::optional<RegValue> {
    Node* node = Find(root, parts);
    if (!node) KeyGone(*this);
    if (ValueEntry* v = node->FindValue(name)) return v->value;
    return std::nullopt;
  });
}

bool Key::HasValue(std::string_view name) const {
  return Read(name).has_value();
}

std::optional<ValueType> Key::TypeOf(std::string_view name) const {
  auto value = Read(name);
  if (!value) return std::nullopt;
  return value->type;
}

void Key::Write(std::string_view name, const RegValue& value) const {
  if (value.type == REG_DWORD && value.number > 0xFFFFFFFFu) {
    throw RegistryError("Value " + Quote(name) + " is too large for REG_DWORD");
  }
  const auto parts = SplitPath(path_);
  store_->impl_->Change(hive_, [&](Node& root) {
    Node* node = Find(root, parts);
    if (!node) KeyGone(*this);
    if (ValueEntry* v = node->FindValue(name)) {
      if (v->value == value) return false;
      v->value = value;
    } else {
      node->values.push_back({std::string(name), FoldCase(name), value});
    }
    return true;
  });
}

bool Key::DeleteValue(std::string_view name) const {
  const auto parts = SplitPath(path_);
  bool deleted = false;
  store_->impl_->Change(hive_, [&](Node& root) {
    Node* node = Find(root, parts);
    if (!node) KeyGone(*this);
    const std::string folded = FoldCase(name);
    deleted = std::erase_if(node->values, [&](const ValueEntry& v) { return v.folded == folded; });
    return deleted;
  });
  return deleted;
}

std::optional<RegValue> Key::ReadTyped(std::string_view name, ValueType type) const {
  auto value = Read(name);
  if (value && value->type != type) {
    throw RegistryError("Value " + Quote(name) + " of " + FullName() + " is " +
                        TypeName(value->type) + ", not " + TypeName(type));
  }
  return value;
}

RegValue Key::ReadRequired(std::string_view name, ValueType type) const {
  auto value = ReadTyped(name, type);
  if (!value) throw RegistryError("Value " + Quote(name) + " of " + FullName() + " does not exist");
  return *value;
}

std::optional<std::string> Key::TryReadString(std::string_view name) const {
  auto v = ReadTyped(name, REG_SZ);
  return v ? std::optional<std::string>(std::move(v->bytes)) : std::nullopt;
}
std::optional<std::uint32_t> Key::TryReadDword(std::string_view name) const {
  auto v = ReadTyped(name, REG_DWORD);
  return v ? std::optional<std::uint32_t>(static_cast<std::uint32_t>(v->number)) : std::nullopt;
}
std::optional<std::uint64_t> Key::TryReadQword(std::string_view name) const {
  auto v = ReadTyped(name, REG_QWORD);
  return v ? std::optional<std::uint64_t>(v->number) : std::nullopt;
}
std::optional<std::string> Key::TryReadBinary(std::string_view name) const {
  auto v = ReadTyped(name, REG_BINARY);
  return v ? std::optional<std::string>(std::move(v->bytes)) : std::nullopt;
}
std::string Key::ReadString(std::string_view name) const {
  return ReadRequired(name, REG_SZ).bytes;
}
std::uint32_t Key::ReadDword(std::string_view name) const {
  return static_cast<std::uint32_t>(ReadRequired(name, REG_DWORD).number);
}
std::uint64_t Key::ReadQword(std::string_view name) const {
  return ReadRequired(name, REG_QWORD).number;
}
std::string Key::ReadBinary(std::string_view name) const {
  return ReadRequired(name, REG_BINARY).bytes;
}

void Key::WriteString(std::string_view name, std::string_view text) const {
  Write(name, RegValue::String(std::string(text)));
}
void Key::WriteDword(std::string_view name, std::uint32_t value) const {
  Write(name, RegValue::Dword(value));
}
void Key::WriteQword(std::string_view name, std::uint64_t value) const {
  Write(name, RegValue::Qword(value));
}
void Key::WriteBinary(std::string_view name, std::string_view bytes) const {
  Write(name, RegValue::Binary(std::string(bytes)));
}

}  // namespace vt::registry
