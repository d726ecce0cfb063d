#pragma once
// The settings store: TmyRegistry, the accessor of the settings key, the names of the values
// kept there, the other registry places of the program, and the program-wide folders.
//
// Formats: integers are REG_DWORD read and written as signed 32-bit numbers; strings are REG_SZ
// (a missing one reads as ""); booleans are REG_SZ "-1" (true) and "0" (false). A boolean read
// accepts a number (non-zero is true) or True / False in any letter case; an empty or missing
// value leaves the caller's state as it was. A value of another type than its read expects
// fails with registry::RegistryError.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/registry/registry.h"

namespace vt {

// Names of the values under the settings key.
namespace settings {
inline constexpr std::string_view AppDir = "AppDir";
inline constexpr std::string_view CacheDir = "CacheDir";
inline constexpr std::string_view CSS_FontName = "CSS_FontName";
inline constexpr std::string_view CSS_FontSize = "CSS_FontSize";
inline constexpr std::string_view CSS_FontColor = "CSS_FontColor";
inline constexpr std::string_view Page1_tabindex = "Page1_tabindex";
inline constexpr std::string_view SplitRatio1 = "SplitRatio1";
inline constexpr std::string_view SplitRatio2 = "SplitRatio2";
inline constexpr std::string_view SplitRatio4 = "SplitRatio4";
inline constexpr std::string_view BandWidth = "BandWidth";
inline constexpr std::string_view SlimView = "SlimView";
inline constexpr std::string_view ShowBorders = "ShowBorders";
inline constexpr std::string_view sb_Filter = "sb_Filter";
inline constexpr std::string_view sb_Wordindexer = "sb_Wordindexer";
inline constexpr std::string_view SNIPPET_selected = "SNIPPET_selected";
inline constexpr std::string_view Drop_SnippetFilterField = "Drop_SnippetFilterField";
inline constexpr std::string_view Drop_SearchFilterField = "Drop_SearchFilterField";
inline constexpr std::string_view SN_FilterText = "SN_FilterText";
inline constexpr std::string_view Search_FilterText = "Search_FilterText";

// Defaults of the integer values, created on their first read.
inline constexpr std::int32_t kPage1_tabindexDefault = 0;
inline constexpr std::int32_t kSplitRatioDefault = 50;
inline constexpr std::int32_t kBandWidthDefault = 200;
inline constexpr std::int32_t kSNIPPET_selectedDefault = 0;
inline constexpr std::int32_t kDropFilterFieldDefault = 0;
}  // namespace settings

// Keys of HKEY_CURRENT_USER.
inline constexpr std::string_view kSettingsKey = "\\SOFTWARE\\Vellumtrace\\Settings";
inline constexpr std::string_view kHistory1Key = "\\Software\\Vellumtrace\\History1";
inline constexpr std::string_view kHistory2Key = "\\Software\\Vellumtrace\\History2";
// Where the tree-list and grid controls keep their column layout.
inline constexpr std::string_view kGridLayoutKey = "\\Software\\Vellumtrace";
// The explorer-bar key of a band (its CLSID in braces) and the value holding the bar width:
// 8 bytes, REG_BINARY, a signed 64-bit little-endian integer.
std::string ExplorerBarsKey(std::string_view bandClsidText);
inline constexpr std::string_view kBarSize = "BarSize";
std::string BarSizeBytes(std::int64_t width);
// nullopt when the bytes are not 8 long.
std::optional<std::int64_t> BarSizeFromBytes(std::string_view bytes);

// The accessor of the settings key. Construction opens the key, creating it when missing;
// each band form owns one. Used on the UI thread.
class TmyRegistry {
 public:
  TmyRegistry();                                 // on the process's registry
  explicit TmyRegistry(registry::Store& store);  // on another one (tests); store outlives it
  ~TmyRegistry();

  const std::string& KeyPath() const { return keyPath_; }
  registry::Key& Key() { return key_; }
  bool ValueExists(std::string_view name) const;

  // When the value is missing, writes `defaultValue` under that name first; then reads it.
  std::int32_t ReadIntegerDefault(std::string_view name, std::int32_t defaultValue);
  // A missing value fails (RegistryError) like a value of another type.
  std::int32_t ReadInteger(std::string_view name) const;
  void WriteInteger(std::string_view name, std::int32_t value);

  // "" when missing.
  std::string ReadString(std::string_view name) const;
  void WriteString(std::string_view name, std::string_view value);

  // The stored boolean, or nullopt when the value is missing or empty. Text that is neither a
  // number nor True / False fails with RegistryError.
  std::optional<bool> ReadBoolean(std::string_view name) const;
  // Sets `state` from the stored boolean; leaves it when the value is missing or empty.
  // Returns whether a value was read.
  bool ReadBoolean(std::string_view name, bool& state) const;
  void WriteBoolean(std::string_view name, bool value);

 private:
  std::string keyPath_;
  registry::Key key_;
};

// The program-wide folders, as the band start-up read them or the settings dialog set them
// (stored as given: the setters add no "/", see WithTrailingSlash). Empty before they are set.
const std::string& AppDir();
void SetAppDir(std::string folder);
const std::string& CacheDir();
void SetCacheDir(std::string folder);

// `folder` with a final "/" (an empty text becomes "/").
std::string WithTrailingSlash(std::string folder);
// The folders a fresh installation uses: $XDG_DATA_HOME/vellumtrace/ (else
// ~/.local/share/vellumtrace/) and $XDG_CACHE_HOME/vellumtrace/images/ (else
// ~/.cache/vellumtrace/images/).
std::string DefaultAppDir();
std::string DefaultCacheDir();

}  // namespace vt
