// The band menu's "Tools": settings, compaction of the database and the browser's tool-bar icon.
#include "storage/CompactDB.h"
#include "ui/BandForm.h"

namespace vt {

void TBandForm::BuildToolsMenu() {
  widgets::MenuItem* tools = Popup_Main.Add("Tools", 0, "Tools");
  tools->Add("&Compact Database", 0, "CompactDatabase")->OnClick = [this](widgets::Control&) {
    CompactDatabase();
  };
}

void TBandForm::CompactDatabase() {
  ShowCompactDatabase(session_, registry_);
}

}  // namespace vt
