// The band menu's "Tools": settings, compaction of the database and the browser's tool-bar icon.
#include <strings.h>

#include "host/clsids.h"
#include "host/registration.h"
#include "storage/CompactDB.h"
#include "storage/help_page.h"
#include "ui/BandForm.h"
#include "ui/frmSettings.h"

namespace vt {

void TBandForm::BuildToolsMenu() {
  widgets::MenuItem* tools = Popup_Main.Add("Tools", 0, "Tools");
  tools->Add("&Settings", 0, "Settings")->OnClick = [this](widgets::Control&) { Settings(); };
  tools->Add("&Compact Database", 0, "CompactDatabase")->OnClick = [this](widgets::Control&) {
    CompactDatabase();
  };
}

void TBandForm::BuildBrowserIconItem() {
  widgets::MenuItem* tools = Popup_Main.Items().FindByName("Tools");
  tools->Add("Add Icon to Browser", 0, "AddIconToBrowser")->OnClick = [this](widgets::Control&) {
    AddIconToBrowser();
  };
}

void TBandForm::AddIconToBrowser() {
  RemoveToolbarButton("Vellumtrace");
  const std::string icon = AppDir() + "icon.ico";
  AddToolbarButton(true, ToolbarButtonKind::ExplorerBar, "Vellumtrace", BandClsidText(), icon,
                   icon);
}

void TBandForm::Settings() {
  TfrmSettings dialog(registry_, session_);
  dialog.ShowModal();
  // A new program folder means another database: the band starts again on it.
  if (::strcasecmp(dialog.AppDirText().c_str(), AppDir().c_str()) != 0) {
    SetAppDir(dialog.AppDirText());
    help_file_ = AppDir() + storage::kHelpPageName;
    started_ = false;
    StartUp();
  }
  SetCacheDir(dialog.CacheDirText());
}

void TBandForm::CompactDatabase() {
  ShowCompactDatabase(session_, registry_);
}

}  // namespace vt
