#include "ui/frmSettings.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "config/StyleSheet.h"
#include "platform/browser/url.h"
#include "platform/msgloop/message_loop.h"

namespace vt {

std::int32_t SettingToInt(const std::string& text) {
  if (text.empty()) return 0;
  std::size_t used = 0;
  long long value = 0;
  try {
    value = std::stoll(text, &used, 10);
  } catch (const std::exception&) {
    used = 0;
  }
  if (used != text.size() || value < INT32_MIN || value > INT32_MAX || std::isspace(text[0]))
    throw std::invalid_argument("'" + text + "' is not a valid integer value");
  return static_cast<std::int32_t>(value);
}

TfrmSettings::TfrmSettings(TmyRegistry& registry, TmyDOM& session)
    : widgets::Form("frmSettings"), registry_(registry), session_(session) {
  SetCaption("Vellumtrace Settings");
  SetBounds({0, 0, 470, 249});
  PageControl1.SetBounds({8, 8, 454, 196});
  GroupBox1.SetBounds({8, 8, 430, 140});
  lbl_Group.SetBounds({8, 0, 80, 18});
  lbl_Group.SetBold(true);
  lbl_AppDir.SetBounds({16, 24, 200, 18});
  edt_AppDir.SetBounds({16, 44, 360, 22});
  btn_AppDir.SetBounds({382, 43, 32, 24});
  lbl_CacheDir.SetBounds({16, 76, 200, 18});
  edt_CacheDir.SetBounds({16, 96, 360, 22});
  btn_CacheDir.SetBounds({382, 95, 32, 24});
  lbl_Preview.SetBounds({8, 4, 100, 18});
  wb_Preview.SetBounds({8, 24, 357, 121});
  btn_SelectFont.SetBounds({8, 150, 100, 24});
  btn_OK.SetBounds({302, 214, 76, 26});
  btn_OK.SetDefault(true);
  btn_Cancel.SetBounds({386, 214, 76, 26});
  btn_Cancel.SetCancel(true);
  btn_Cancel.SetModalResult(widgets::ModalResult::Cancel);

  OnActivate = [this](widgets::Control&) { FormActivate(); };
  btn_AppDir.OnClick = [this](widgets::Control&) { BrowseClick(edt_AppDir); };
  btn_CacheDir.OnClick = [this](widgets::Control&) { BrowseClick(edt_CacheDir); };
  btn_SelectFont.OnClick = [this](widgets::Control&) { SelectFontClick(); };
  btn_OK.OnClick = [this](widgets::Control&) { OkClick(); };
}

void TfrmSettings::FormActivate() {
  PageControl1.SetActivePageIndex(0);
  app_dir_ = registry_.ReadString(settings::AppDir);
  cache_dir_ = registry_.ReadString(settings::CacheDir);
  edt_AppDir.SetText(app_dir_);
  edt_CacheDir.SetText(cache_dir_);

  font_family_ = "Arial";
  font_color_ = 0;
  if (std::string family = registry_.ReadString(settings::CSS_FontName); !family.empty())
    font_family_ = family;
  font_size_ = SettingToInt(registry_.ReadString(settings::CSS_FontSize));
  if (font_size_ == 0) font_size_ = 12;
  if (std::string color = registry_.ReadString(settings::CSS_FontColor); !color.empty())
    font_color_ = static_cast<std::uint32_t>(SettingToInt(color));

  // The blank page must have arrived before the sample is written into it, or it would replace
  // the sample.
  wb_Preview.Navigate("about:blank");
  msgloop::PumpUntil([this] { return !wb_Preview.Busy() && wb_Preview.Document(); },
                     msgloop::Milliseconds(5000));
  WriteStyleSheet(kStyleSheetName);
  ShowSamplePage(kStyleSheetName);
}

void TfrmSettings::WriteStyleSheet(const std::string& file_name) {
  std::error_code ec;
  if (app_dir_.empty() || !std::filesystem::is_directory(app_dir_, ec)) return;
  const std::string path = app_dir_ + file_name;
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (out) out << StyleSheetText(font_family_, font_size_, font_color_);
  if (out) out.close();
  if (!out)
    throw std::runtime_error("Cannot create file \"" + path + "\". " + std::strerror(errno));
}

void TfrmSettings::ShowSamplePage(const std::string& file_name) {
  std::string html = "<HTML><head><link rel=stylesheet href=\"" +
                     browser::FileUrlFromPath(app_dir_ + file_name) +
                     "\" type=text/css></head><BODY><h1>Heading 1</h1>";
  for (int i = 0; i < 4; ++i) html += "This is a example of Vellumtrace text. ";
  html += "</BODY></HTML>";
  session_.WriteHtmlToDocument(wb_Preview.Document(), html);
}

bool TfrmSettings::BrowseForFolder(const std::string& title, std::string& folder) {
  widgets::FolderDialog dialog("FolderDialog1");
  dialog.SetTitle(title);
  std::error_code ec;
  dialog.SetFolder(!folder.empty() && std::filesystem::is_directory(folder, ec) ? folder : "/");
  if (!dialog.Execute()) return false;
  folder = dialog.Folder();
  return true;
}

void TfrmSettings::BrowseClick(widgets::Edit& box) {
  std::string folder = box.Text();
  if (BrowseForFolder("Select a folder", folder)) box.SetText(folder);
}

void TfrmSettings::SelectFontClick() {
  FontDialog1.SetFamily(font_family_);
  FontDialog1.SetSize(font_size_);
  FontDialog1.SetColor(font_color_);
  if (!FontDialog1.Execute()) return;
  font_family_ = FontDialog1.Family();
  font_size_ = FontDialog1.Size();
  font_color_ = FontDialog1.Color();
  WriteStyleSheet(kStyleSheetName);
  ShowSamplePage(kStyleSheetName);
}

void TfrmSettings::OkClick() {
  app_dir_ = WithTrailingSlash(edt_AppDir.Text());
  cache_dir_ = WithTrailingSlash(edt_CacheDir.Text());
  {
    registry::Batch batch;
    registry_.WriteString(settings::AppDir, app_dir_);
    registry_.WriteString(settings::CacheDir, cache_dir_);
    registry_.WriteString(settings::CSS_FontName, font_family_);
    registry_.WriteString(settings::CSS_FontSize, std::to_string(font_size_));
    registry_.WriteString(settings::CSS_FontColor, std::to_string(font_color_));
    batch.Commit();
  }
  WriteStyleSheet(kStyleSheetName);
  Close(widgets::ModalResult::Ok);
}

}  // namespace vt
