// The settings dialog: what it reads and writes, the style sheet it generates, and the band's
// Settings command that starts the band again on a new program folder.
#include "ui/frmSettings.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>

#include "config/StyleSheet.h"
#include "host/clsids.h"
#include "host/registration.h"
#include "platform/browser/url.h"
#include "platform/browser/web_browser.h"
#include "platform/dom/document.h"
#include "platform/registry/registry.h"
#include "storage/datamodule.h"
#include "storage/install.h"
#include "ui/BandForm.h"

namespace vt {
namespace {

namespace fs = std::filesystem;

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

TEST(StyleSheetTest, ElevenLinesEachEndingInCrLf) {
  EXPECT_EQ(StyleSheetText("Verdana", 9, 0x0000FF),
            "p  {font-family: Verdana; font-size: 9px; }\r\n"
            "li {font-family: Verdana; font-size: 9px; }\r\n"
            "td {font-family: Verdana; font-size: 9px; }\r\n"
            "ol {font-family: Verdana; font-size: 9px; }\r\n"
            "h1 {font-family: Verdana; }\r\n"
            "h2 {font-family: Verdana; }\r\n"
            "h3 {font-family: Verdana; }\r\n"
            "h4 {font-family: Verdana; }\r\n"
            "td {font-family: Verdana; }\r\n"
            "body  {font-family: Verdana; font-size: 9px; color: #FF0000}\r\n"
            ".chead {color: #FFFFFF; background-color: #000099}\r\n");
  // Colour values keep red in the low byte.
  EXPECT_EQ(HexRgb(0x00123456), "563412");
  EXPECT_EQ(storage::DefaultStyleSheet(), StyleSheetText("Arial", 12, 0));
}

TEST(SettingToIntTest, EmptyIsZeroAndOtherTextFails) {
  EXPECT_EQ(SettingToInt(""), 0);
  EXPECT_EQ(SettingToInt("255"), 255);
  EXPECT_EQ(SettingToInt("-3"), -3);
  for (const char* bad : {"12pt", " 12", "x", "99999999999"}) {
    try {
      SettingToInt(bad);
      ADD_FAILURE() << bad;
    } catch (const std::invalid_argument& e) {
      EXPECT_EQ(std::string(e.what()), std::string("'") + bad + "' is not a valid integer value");
    }
  }
}

class SettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    registry::DeleteKey(registry::HKEY_CURRENT_USER, "SOFTWARE\\Vellumtrace");
    registry_.emplace();
    dir_ = fs::temp_directory_path() /
           ("vt-settings-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    app_ = (dir_ / "app").string() + "/";
    cache_ = (dir_ / "cache").string() + "/";
    fs::create_directories(app_);
    fs::create_directories(cache_);
    registry_->WriteString(settings::AppDir, app_);
    registry_->WriteString(settings::CacheDir, cache_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string Sheet() const { return ReadFile(app_ + kStyleSheetName); }
  // Shows the dialog; `play` is the user, given each form shown (the dialog first).
  widgets::ModalResult Show(TfrmSettings& dialog, std::function<void(widgets::Form&)> play) {
    widgets::ScopedModalScript script(std::move(play));
    return dialog.ShowModal();
  }

  fs::path dir_;
  std::string app_, cache_;
  std::optional<TmyRegistry> registry_;
  TmyDOM session_;
};

TEST_F(SettingsTest, AFreshProfileShowsTheFoldersAndWritesTheDefaultSheetAndSample) {
  TfrmSettings dialog(*registry_, session_);
  dialog.PageControl1.SetActivePageIndex(1);
  Show(dialog, [&](widgets::Form& form) {
    EXPECT_EQ(&form, &dialog);
    EXPECT_EQ(dialog.PageControl1.ActivePageIndex(), 0);
    EXPECT_EQ(dialog.edt_AppDir.Text(), app_);
    EXPECT_EQ(dialog.edt_CacheDir.Text(), cache_);
    EXPECT_EQ(Sheet(), StyleSheetText("Arial", 12, 0));
    auto doc = dialog.wb_Preview.Document();
    ASSERT_TRUE(doc);
    EXPECT_EQ(doc->body()->innerHTML(),
              "<h1>Heading 1</h1>This is a example of Vellumtrace text. This is a example of "
              "Vellumtrace text. This is a example of Vellumtrace text. This is a example of "
              "Vellumtrace text. \n");
    const std::string head = doc->documentElement()->outerHTML();
    EXPECT_NE(head.find("href=\"" + browser::FileUrlFromPath(app_ + "Vellumtrace.css") + "\""),
              std::string::npos)
        << head;
    form.Close(widgets::ModalResult::Cancel);
  });
  EXPECT_EQ(dialog.Caption(), "Vellumtrace Settings");
  EXPECT_EQ(dialog.Bounds().width, 470);
  EXPECT_EQ(dialog.Bounds().height, 249);
  EXPECT_FALSE(registry_->ValueExists(settings::CSS_FontName));
}

TEST_F(SettingsTest, PureRedIsStoredAs255AndWrittenAsFF0000) {
  TfrmSettings dialog(*registry_, session_);
  EXPECT_EQ(Show(dialog,
                 [&](widgets::Form& form) {
                   if (auto* font = dynamic_cast<widgets::FontDialog*>(&form)) {
                     EXPECT_EQ(font->Family(), "Arial");
                     font->SetFamily("Georgia");
                     font->SetSize(10);
                     font->SetColor(0x0000FF);
                     font->Close(widgets::ModalResult::Ok);
                     return;
                   }
                   dialog.btn_SelectFont.Click();
                   dialog.btn_OK.Click();
                 }),
            widgets::ModalResult::Ok);
  EXPECT_EQ(registry_->ReadString(settings::CSS_FontColor), "255");
  EXPECT_EQ(registry_->ReadString(settings::CSS_FontName), "Georgia");
  EXPECT_EQ(registry_->ReadString(settings::CSS_FontSize), "10");
  EXPECT_EQ(Sheet(), StyleSheetText("Georgia", 10, 0x0000FF));
  EXPECT_NE(Sheet().find("body  {font-family: Georgia; font-size: 10px; color: #FF0000}\r\n"),
            std::string::npos);

  // Read back on the next activation.
  TfrmSettings again(*registry_, session_);
  Show(again, [&](widgets::Form& form) { form.Close(widgets::ModalResult::Cancel); });
  EXPECT_EQ(again.FontColor(), 0x0000FFu);
  EXPECT_EQ(again.FontFamily(), "Georgia");
}

TEST_F(SettingsTest, OkStoresFoldersWithTheirFinalSlash) {
  TfrmSettings dialog(*registry_, session_);
  Show(dialog, [&](widgets::Form&) {
    dialog.edt_AppDir.SetText((dir_ / "app").string());
    dialog.edt_CacheDir.SetText("");
    dialog.btn_OK.Click();
  });
  EXPECT_EQ(registry_->ReadString(settings::AppDir), app_);
  EXPECT_EQ(registry_->ReadString(settings::CacheDir), "/");
  EXPECT_EQ(dialog.AppDirText(), app_);
  EXPECT_EQ(registry_->ReadString(settings::CSS_FontSize), "12");
  EXPECT_EQ(registry_->ReadString(settings::CSS_FontColor), "0");
}

TEST_F(SettingsTest, CancelAfterSelectFontKeepsTheStoredFontButTheSheetHasTheNewOne) {
  registry_->WriteString(settings::CSS_FontName, "Verdana");
  registry_->WriteString(settings::CSS_FontSize, "");  // empty counts as 0, which means 12
  TfrmSettings dialog(*registry_, session_);
  Show(dialog, [&](widgets::Form& form) {
    if (auto* font = dynamic_cast<widgets::FontDialog*>(&form)) {
      EXPECT_EQ(font->Family(), "Verdana");
      EXPECT_EQ(font->Size(), 12);
      font->SetFamily("Courier New");
      font->Close(widgets::ModalResult::Ok);
      return;
    }
    dialog.btn_SelectFont.Click();
    dialog.btn_Cancel.Click();
  });
  EXPECT_EQ(registry_->ReadString(settings::CSS_FontName), "Verdana");
  EXPECT_EQ(Sheet(), StyleSheetText("Courier New", 12, 0));
}

TEST_F(SettingsTest, AFontDialogLeftWithCancelChangesNothing) {
  TfrmSettings dialog(*registry_, session_);
  Show(dialog, [&](widgets::Form& form) {
    if (auto* font = dynamic_cast<widgets::FontDialog*>(&form)) {
      font->SetFamily("Courier New");
      font->Close(widgets::ModalResult::Cancel);
      return;
    }
    fs::remove(app_ + kStyleSheetName);
    dialog.btn_SelectFont.Click();
    EXPECT_FALSE(fs::exists(app_ + kStyleSheetName));
    dialog.btn_OK.Click();
  });
  EXPECT_EQ(registry_->ReadString(settings::CSS_FontName), "Arial");
}

TEST_F(SettingsTest, AFontSettingThatIsNotANumberFailsTheActivation) {
  registry_->WriteString(settings::CSS_FontSize, "12pt");
  TfrmSettings dialog(*registry_, session_);
  EXPECT_THROW(dialog.FormActivate(), std::invalid_argument);
}

TEST_F(SettingsTest, AMissingProgramFolderSkipsTheSheetAndAnUnwritableOneFailsAfterTheSettings) {
  registry_->WriteString(settings::AppDir, (dir_ / "gone").string() + "/");
  TfrmSettings missing(*registry_, session_);
  missing.FormActivate();  // nothing to write into, no failure
  EXPECT_FALSE(fs::exists(dir_ / "gone"));

  registry_->WriteString(settings::AppDir, app_);
  fs::create_directories(app_ + kStyleSheetName);  // a folder where the file should be
  TfrmSettings dialog(*registry_, session_);
  dialog.edt_CacheDir.SetText("");
  EXPECT_THROW(dialog.FormActivate(), std::runtime_error);
  dialog.edt_CacheDir.SetText(cache_ + "other");
  try {
    dialog.OkClick();
    ADD_FAILURE() << "the sheet could not have been written";
  } catch (const std::runtime_error& e) {
    EXPECT_EQ(std::string(e.what()).rfind("Cannot create file \"" + app_ + "Vellumtrace.css\"", 0),
              0u)
        << e.what();
  }
  EXPECT_EQ(registry_->ReadString(settings::CacheDir), cache_ + "other/");
}

TEST_F(SettingsTest, TheFolderButtonsBrowseFromTheFolderInTheBox) {
  fs::create_directories(dir_ / "app" / "sub");
  TfrmSettings dialog(*registry_, session_);
  std::vector<std::string> seen;
  Show(dialog, [&](widgets::Form& form) {
    if (auto* folder = dynamic_cast<widgets::FolderDialog*>(&form)) {
      seen.push_back(folder->Title() + " | " + folder->Folder());
      folder->SetFolder(app_ + "sub");
      folder->Close(seen.size() == 1 ? widgets::ModalResult::Ok : widgets::ModalResult::Cancel);
      return;
    }
    dialog.btn_AppDir.Click();
    dialog.edt_CacheDir.SetText((dir_ / "nowhere").string());
    dialog.btn_CacheDir.Click();  // cancelled: the box keeps its text
    form.Close(widgets::ModalResult::Cancel);
  });
  EXPECT_EQ(seen, (std::vector<std::string>{"Select a folder | " + app_, "Select a folder | /"}));
  EXPECT_EQ(dialog.edt_AppDir.Text(), app_ + "sub");
  EXPECT_EQ(dialog.edt_CacheDir.Text(), (dir_ / "nowhere").string());
}

// The band's Settings command.
class BandSettingsTest : public SettingsTest {
 protected:
  void SetUp() override {
    SettingsTest::SetUp();
    SessionList::ResetForTests();
    SetCurrentSession(nullptr);
    ASSERT_TRUE(storage::InstallProgramFolder(app_, cache_).problems.empty());
    ASSERT_TRUE(storage::InstallProgramFolder(other_ = (dir_ / "other").string() + "/", cache_)
                    .problems.empty());
    browser_ = browser::WebBrowser::Create();
    session_ = new TmyDOM(com::ComPtr<browser::IWebBrowser2>(browser_.get()));
    form_ = std::make_unique<TBandForm>(0, data_module_, *session_);
    form_->Show();
    form_->FormPaint();
    ASSERT_TRUE(form_->Started());
  }
  void TearDown() override {
    form_.reset();
    session_->ReleaseSession();
    data_module_.ADOConnection.Close();
    SetAppDir("");
    SetCacheDir("");
    SettingsTest::TearDown();
  }
  // Runs Tools > Settings with the user typing the folders and pressing `button`.
  void RunSettings(const std::string& app, const std::string& cache, bool ok) {
    widgets::ScopedModalScript script([&](widgets::Form& form) {
      auto& dialog = dynamic_cast<TfrmSettings&>(form);
      dialog.edt_AppDir.SetText(app);
      dialog.edt_CacheDir.SetText(cache);
      (ok ? dialog.btn_OK : dialog.btn_Cancel).Click();
    });
    ASSERT_TRUE(form_->Popup_Main.Items().FindByName("Settings")->Click());
  }

  std::string other_;
  com::ComPtr<browser::WebBrowser> browser_;
  TmyDOM* session_ = nullptr;
  TDataModule1 data_module_;
  std::unique_ptr<TBandForm> form_;
};

TEST_F(BandSettingsTest, ANewProgramFolderStartsTheBandAgainOnItsDatabase) {
  TmyIndexer* first = form_->Indexer();
  RunSettings(other_.substr(0, other_.size() - 1), dir_.string() + "/images", true);
  EXPECT_EQ(AppDir(), other_);
  EXPECT_EQ(CacheDir(), dir_.string() + "/images/");
  EXPECT_EQ(data_module_.ADOConnection.DatabasePath(), other_ + "vellumtrace.mdb");
  EXPECT_TRUE(data_module_.URL.Active());
  EXPECT_NE(form_->Indexer(), first);
  EXPECT_EQ(form_->HelpFile(), other_ + "Vellumtrace-help.html");
  EXPECT_TRUE(form_->Timer1.Enabled());
}

TEST_F(BandSettingsTest, TheSameFolderInOtherLettersOrCancelDoesNotRestart) {
  TmyIndexer* first = form_->Indexer();
  std::string upper = app_;
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  RunSettings(upper, cache_, true);
  EXPECT_EQ(form_->Indexer(), first);
  EXPECT_EQ(AppDir(), app_);
  EXPECT_EQ(data_module_.ADOConnection.DatabasePath(), app_ + "vellumtrace.mdb");

  // Cancel: the folders stay those read when the dialog opened.
  RunSettings(other_, dir_.string() + "/elsewhere/", false);
  EXPECT_EQ(form_->Indexer(), first);
  EXPECT_EQ(CacheDir(), cache_);
}

TEST_F(BandSettingsTest, ToolsHoldsTheCommandsAndAddIconWritesOneBarButton) {
  widgets::MenuItem* tools = form_->Popup_Main.Items().FindByName("Tools");
  ASSERT_NE(tools, nullptr);
  std::vector<std::string> captions;
  for (size_t i = 0; i < tools->Count(); ++i) captions.push_back(tools->Item(i)->Caption());
  EXPECT_EQ(captions, (std::vector<std::string>{"&Settings", "&Compact Database", "&Spy Mode",
                                                "Add Icon to Browser"}));

  registry::DeleteKey(registry::HKEY_LOCAL_MACHINE, "Software");
  ASSERT_TRUE(tools->FindByName("AddIconToBrowser")->Click());
  ASSERT_TRUE(tools->FindByName("AddIconToBrowser")->Click());  // replaces the first one
  auto extensions = registry::OpenKey(registry::HKEY_LOCAL_MACHINE, kExtensionsKey);
  ASSERT_TRUE(extensions);
  ASSERT_EQ(extensions->SubKeyNames().size(), 1u);
  const std::string guid = extensions->SubKeyNames()[0];
  EXPECT_EQ(registry::OpenKey(registry::HKEY_LOCAL_MACHINE, kToolbarButtonsKey)
                ->ReadString("Vellumtrace"),
            guid);
  auto button = extensions->OpenSubKey(guid);
  EXPECT_EQ(button->ReadString("BandCLSID"), BandClsidText());
  EXPECT_EQ(button->ReadString("CLSID"), kExplorerBarButtonClsid);
  EXPECT_EQ(button->ReadString("Icon"), app_ + "icon.ico");
  EXPECT_EQ(button->ReadString("HotIcon"), app_ + "icon.ico");
  EXPECT_EQ(button->ReadString("ButtonText"), "Vellumtrace");
  EXPECT_EQ(button->ReadString("Default Visible"), "Yes");
}

}  // namespace
}  // namespace vt
