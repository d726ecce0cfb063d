#include "config/myRegistry.h"

#include <cerrno>
#include <cstdlib>

namespace vt {

namespace {

registry::Key OpenOrCreateSettings(registry::Store& store) {
  if (auto key = store.OpenKey(registry::HKEY_CURRENT_USER, kSettingsKey)) return *key;
  store.CreateKey(registry::HKEY_CURRENT_USER, kSettingsKey);
  if (auto key = store.OpenKey(registry::HKEY_CURRENT_USER, kSettingsKey)) return *key;
  throw registry::RegistryError("Cannot open the settings key HKEY_CURRENT_USER" +
                                std::string(kSettingsKey));
}

std::string Lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

std::string Trimmed(std::string_view text) {
  const auto first = text.find_first_not_of(" \t\r\n");
  if (first == std::string_view::npos) return "";
  const auto last = text.find_last_not_of(" \t\r\n");
  return std::string(text.substr(first, last - first + 1));
}

// A number (non-zero is true) or True / False in any letter case; nullopt for other text.
std::optional<bool> ParseBoolean(std::string_view text) {
  const std::string word = Lower(Trimmed(text));
  if (word == "true") return true;
  if (word == "false") return false;
  if (word.empty()) return std::nullopt;
  errno = 0;
  char* end = nullptr;
  const double number = std::strtod(word.c_str(), &end);
  if (end == word.c_str() || *end != '\0' || errno == ERANGE) return std::nullopt;
  return number != 0;
}

std::string EnvFolder(const char* variable, const char* homeFallback) {
  if (const char* value = std::getenv(variable); value && *value) return WithTrailingSlash(value);
  const char* home = std::getenv("HOME");
  return WithTrailingSlash(std::string(home && *home ? home : ".") + "/" + homeFallback);
}

std::string g_appDir;
std::string g_cacheDir;

}  // namespace

std::string ExplorerBarsKey(std::string_view bandClsidText) {
  return "Software\\Microsoft\\Internet Explorer\\Explorer Bars\\" + std::string(bandClsidText);
}

std::string BarSizeBytes(std::int64_t width) {
  std::string bytes(8, '\0');
  const auto u = static_cast<std::uint64_t>(width);
  for (int i = 0; i < 8; ++i) bytes[i] = static_cast<char>((u >> (8 * i)) & 0xFF);
  return bytes;
}

std::optional<std::int64_t> BarSizeFromBytes(std::string_view bytes) {
  if (bytes.size() != 8) return std::nullopt;
  std::uint64_t u = 0;
  for (int i = 7; i >= 0; --i) u = (u << 8) | static_cast<unsigned char>(bytes[i]);
  return static_cast<std::int64_t>(u);
}

TmyRegistry::TmyRegistry() : TmyRegistry(registry::DefaultStore()) {}

TmyRegistry::TmyRegistry(registry::Store& store)
    : keyPath_(kSettingsKey), key_(OpenOrCreateSettings(store)) {}

TmyRegistry::~TmyRegistry() = default;

bool TmyRegistry::ValueExists(std::string_view name) const {
  return key_.HasValue(name);
}

std::int32_t TmyRegistry::ReadIntegerDefault(std::string_view name, std::int32_t defaultValue) {
  if (!key_.HasValue(name)) WriteInteger(name, defaultValue);
  return ReadInteger(name);
}

std::int32_t TmyRegistry::ReadInteger(std::string_view name) const {
  return static_cast<std::int32_t>(key_.ReadDword(name));
}

void TmyRegistry::WriteInteger(std::string_view name, std::int32_t value) {
  key_.WriteDword(name, static_cast<std::uint32_t>(value));
}

std::string TmyRegistry::ReadString(std::string_view name) const {
  return key_.TryReadString(name).value_or("");
}

void TmyRegistry::WriteString(std::string_view name, std::string_view value) {
  key_.WriteString(name, value);
}

std::optional<bool> TmyRegistry::ReadBoolean(std::string_view name) const {
  const std::string text = ReadString(name);
  if (text.empty()) return std::nullopt;
  if (auto value = ParseBoolean(text)) return value;
  throw registry::RegistryError("Value \"" + std::string(name) + "\" of " + key_.FullName() +
                                " is \"" + text + "\", which is not a boolean");
}

bool TmyRegistry::ReadBoolean(std::string_view name, bool& state) const {
  auto value = ReadBoolean(name);
  if (value) state = *value;
  return value.has_value();
}

void TmyRegistry::WriteBoolean(std::string_view name, bool value) {
  WriteString(name, value ? "-1" : "0");
}

const std::string& AppDir() {
  return g_appDir;
}
void SetAppDir(std::string folder) {
  g_appDir = std::move(folder);
}
const std::string& CacheDir() {
  return g_cacheDir;
}
void SetCacheDir(std::string folder) {
  g_cacheDir = std::move(folder);
}

std::string WithTrailingSlash(std::string folder) {
  if (folder.empty() || folder.back() != '/') folder += '/';
  return folder;
}

std::string DefaultAppDir() {
  return EnvFolder("XDG_DATA_HOME", ".local/share") + "vellumtrace/";
}

std::string DefaultCacheDir() {
  return EnvFolder("XDG_CACHE_HOME", ".cache") + "vellumtrace/images/";
}

}  // namespace vt
