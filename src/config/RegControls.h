#pragma once
// TRegComboBox: an editable combo box whose drop-down list is a history of the texts the user
// confirmed, kept in a registry key (one REG_SZ value per entry: the entry is the value name, the
// data is empty; written most recent first).
//
// Life cycle: set the properties as a form does, then call Loaded(), which loads the history.
// AddToHistory() puts the box's text first and saves the list. Registry failures of loading,
// saving and moving are swallowed: the box keeps working with the list it holds.
// UI thread only. The registry store is borrowed and must outlive the box.
#include <string>
#include <string_view>

#include "platform/registry/registry.h"
#include "platform/widgets/standard.h"

namespace vt {

enum class RegLocation { CurrentUser, LocalMachine };

class TRegComboBox : public widgets::ComboBox {
 public:
  // On the process's registry (registry::DefaultStore()) unless a store is given.
  explicit TRegComboBox(std::string name, widgets::Control* parent = nullptr,
                        registry::Store* store = nullptr);

  bool RegEnabled() const { return reg_enabled_; }
  void SetRegEnabled(bool on) { reg_enabled_ = on; }
  RegLocation GetRegLocation() const { return reg_location_; }
  // After Loaded(), a change of root moves the history: the key is deleted under both roots and
  // the list saved under the new one.
  void SetRegLocation(RegLocation location);
  const std::string& RegKey() const { return reg_key_; }
  // An empty text or the current key changes nothing; one trailing backslash is dropped.
  void SetRegKey(std::string key);
  int RegMaxCount() const { return reg_max_count_; }
  void SetRegMaxCount(int count) { reg_max_count_ = count; }
  bool RegShowWarning() const { return reg_show_warning_; }
  void SetRegShowWarning(bool on) { reg_show_warning_ = on; }

  // The form has set the properties: loads the history when RegEnabled.
  void Loaded();
  // Replaces the list by the value names of RegKey (an empty list when the key is missing or
  // cannot be read).
  void LoadHistory();
  // Moves the box's text to the front of the list (one copy, compared case-sensitively) and
  // saves the list. An empty text changes nothing.
  void AddToHistory();
  // Rewrites RegKey under the root of RegLocation with the first RegMaxCount items.
  void SaveHistory();

 private:
  registry::Hive Root() const;
  registry::Store& Store() const;

  registry::Store* store_;
  bool reg_enabled_ = true;
  RegLocation reg_location_ = RegLocation::CurrentUser;
  std::string reg_key_ = "\\Software\\Default";
  int reg_max_count_ = 20;
  bool reg_show_warning_ = true;
  bool loading_ = true;
};

}  // namespace vt
