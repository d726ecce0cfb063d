#pragma once
// TfrmSettings, the band's modal settings dialog: the program folder (AppDir), the image cache
// folder (CacheDir) and the font of the generated pages, whose style sheet it writes into the
// program folder and shows on a sample page. UI thread only.
//
// The dialog borrows the band form's settings accessor and page session; both outlive it.
#include <cstdint>
#include <string>

#include "config/myRegistry.h"
#include "core/myDOM.h"
#include "platform/widgets/commondialogs.h"
#include "platform/widgets/containers.h"
#include "platform/widgets/dialogs.h"
#include "platform/widgets/standard.h"
#include "platform/widgets/webbrowser.h"

namespace vt {

class TfrmSettings : public widgets::Form {
 public:
  TfrmSettings(TmyRegistry& registry, TmyDOM& session);

  // The dialog's activation: reads the folders and the font from the settings and writes and
  // shows the style sheet. A font size or colour setting that is not an integer throws.
  void FormActivate();
  // Writes the style sheet for the current font into AppDir + `file_name`, created or replaced;
  // nothing when the folder AppDir does not exist. Throws std::runtime_error when the file
  // cannot be written.
  void WriteStyleSheet(const std::string& file_name);
  // Shows the sample page, linked to the style sheet AppDir + `file_name`, in the preview.
  void ShowSamplePage(const std::string& file_name);
  // Lets the user pick a folder of the machine, starting on `folder` (else on "/"); true and
  // `folder` replaced when one was chosen.
  bool BrowseForFolder(const std::string& title, std::string& folder);

  // The buttons' handlers.
  void SelectFontClick();
  void OkClick();
  void BrowseClick(widgets::Edit& box);

  // The folders and the font being edited; after OK, as stored.
  const std::string& AppDirText() const { return app_dir_; }
  const std::string& CacheDirText() const { return cache_dir_; }
  const std::string& FontFamily() const { return font_family_; }
  int FontSize() const { return font_size_; }
  std::uint32_t FontColor() const { return font_color_; }

  widgets::PageControl PageControl1{"PageControl1", this};
  widgets::TabSheet tab_General{"tab_General", &PageControl1, "General"};
  widgets::Panel GroupBox1{"GroupBox1", &tab_General};
  widgets::Label lbl_Group{"lbl_Group", &GroupBox1, " General "};
  widgets::Label lbl_AppDir{"lbl_AppDir", &GroupBox1, "Working Directory"};
  widgets::Edit edt_AppDir{"edt_AppDir", &GroupBox1};
  widgets::Button btn_AppDir{"btn_AppDir", &GroupBox1, "..."};
  widgets::Label lbl_CacheDir{"lbl_CacheDir", &GroupBox1, "Image Directory"};
  widgets::Edit edt_CacheDir{"edt_CacheDir", &GroupBox1};
  widgets::Button btn_CacheDir{"btn_CacheDir", &GroupBox1, "..."};
  widgets::TabSheet tab_StyleSheet{"tab_StyleSheet", &PageControl1, "StyleSheet"};
  widgets::Label lbl_Preview{"lbl_Preview", &tab_StyleSheet, "Preview"};
  widgets::WebBrowserControl wb_Preview{"wb_Preview", &tab_StyleSheet};
  widgets::Button btn_SelectFont{"btn_SelectFont", &tab_StyleSheet, "Select Font"};
  widgets::Button btn_OK{"btn_OK", this, "OK"};
  widgets::Button btn_Cancel{"btn_Cancel", this, "Cancel"};
  widgets::FontDialog FontDialog1{"FontDialog1"};

 private:
  TmyRegistry& registry_;
  TmyDOM& session_;
  std::string app_dir_;
  std::string cache_dir_;
  std::string font_family_ = "Arial";
  int font_size_ = 12;
  std::uint32_t font_color_ = 0;
};

// The text of a setting as an integer: "" counts as 0; other text that is not a whole number
// throws std::invalid_argument naming it.
std::int32_t SettingToInt(const std::string& text);

}  // namespace vt
