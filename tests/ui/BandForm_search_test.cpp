// The Search tab of the band form against a real database, browser and timer: words of visited
// pages found again, the other kinds of search, the menus of the result grid and the saved field.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <thread>

#include "band_fixture.h"
#include "host/IEBrowserHelper.h"
#include "platform/ado/ado.h"
#include "platform/browser/url.h"
#include "platform/msgloop/clock.h"
#include "platform/registry/registry.h"
#include "search/UrlProperties.h"
#include "storage/datamodule.h"
#include "storage/install.h"
#include "ui/BandForm.h"

namespace vt {
namespace {

namespace fs = std::filesystem;
using widgets::Json;
using widgets::LedColor;

class BandFormSearchTest : public testing::BandFixture {
 protected:
  TBandForm& StartedForm() {
    BandFixture::StartedForm();
    form_->page1.SetActivePageIndex(2);  // the Search tab, so its controls take input
    return *form_;
  }
  // Navigates and ticks until the page is handled and, with the Indexer down, indexed.
  void Visit(const std::string& url) {
    browser_->Navigate(url);
    Tick();
    auto done = [&] { return Handled() && !form_->Indexer()->Indexing(); };
    for (int i = 0; i < 60 && !done(); ++i) Tick();
    ASSERT_TRUE(done()) << url;
  }
  std::string WritePage(const std::string& name, const std::string& title,
                        const std::string& text) {
    std::ofstream(dir_ / name) << "<html><head><title>" << title << "</title></head><body><p>"
                               << text << "</p></body></html>";
    return browser::FileUrlFromPath((dir_ / name).string());
  }
  void Exec(const std::string& sql) { data_module_.ADOConnection.Execute(sql); }
  static void Input(widgets::Control& c, Json input) { ASSERT_TRUE(c.HandleInput(input)); }
  void ChooseField(int index) {
    Input(form_->Drop_SearchFilterField, {{"type", "select"}, {"index", index}});
  }
  // Types a text into the search box and presses Enter.
  void Enter(const std::string& text) {
    Input(form_->RegCombo2, {{"type", "text"}, {"text", text}});
    Input(form_->RegCombo2, {{"type", "key"}, {"key", "Enter"}});
  }
  void Pick(const std::string& candidate) {
    const int index = form_->lb1.IndexOf(candidate);
    ASSERT_GE(index, 0) << candidate;
    Input(form_->lb1, {{"type", "select"}, {"index", index}});
  }
  std::vector<std::string> GridTitles() {
    std::vector<std::string> out;
    for (size_t r = 0; r < form_->dxDBGrid3.RowCount(); ++r)
      out.push_back(form_->dxDBGrid3.Text(r, 0));
    return out;
  }
};

TEST_F(BandFormSearchTest, FreshProfileStartsOnNoneWithTheBoxDisabledAndSavesZero) {
  TBandForm& form = StartedForm();
  EXPECT_EQ(form.Drop_SearchFilterField.Items(),
            (std::vector<std::string>{"[None]", "Indexer", "Keywords", "Url", "Title"}));
  EXPECT_EQ(form.Drop_SearchFilterField.ItemIndex(), 0);
  EXPECT_FALSE(form.RegCombo2.Enabled());
  EXPECT_EQ(form.led5.Color(), LedColor::Green);
  EXPECT_EQ(form.led5.Hint(), "Search Busy Indicator");
  form.RegCombo2.SetText("kept text");
  form.TearDown();
  TmyRegistry reg;
  EXPECT_EQ(reg.ReadInteger(settings::Drop_SearchFilterField), 0);
  EXPECT_EQ(reg.ReadString(settings::Search_FilterText), "kept text");
}

TEST_F(BandFormSearchTest, SavedFieldAndTextAreRestoredAndListedAtStartUp) {
  TmyRegistry reg;
  reg.WriteInteger(settings::Drop_SearchFilterField, 3);
  reg.WriteString(settings::Search_FilterText, "b.ex");
  auto result = storage::InstallProgramFolder((dir_ / "app").string(), (dir_ / "cache").string());
  ado::Connection c;
  c.SetConnectionString(DatabaseConnectionString(result.app_dir));
  c.Open();
  c.Execute(
      "INSERT INTO URL (URL, Domain) VALUES ('http://a.example/', 'a.example'), "
      "('http://b.example/', 'b.example')");
  c.Close();
  TBandForm& form = StartedForm();
  EXPECT_EQ(form.Drop_SearchFilterField.ItemIndex(), 3);
  EXPECT_EQ(form.RegCombo2.Text(), "b.ex");
  EXPECT_TRUE(form.RegCombo2.Enabled());
  EXPECT_EQ(form.lb1.Items(), std::vector<std::string>{"b.example"});
  EXPECT_FALSE(form.SearchListRequested());
}

TEST_F(BandFormSearchTest, StoredMinusOneCountsAsNone) {
  TmyRegistry().WriteInteger(settings::Drop_SearchFilterField, -1);
  EXPECT_EQ(StartedForm().Drop_SearchFilterField.ItemIndex(), 0);
}

TEST_F(BandFormSearchTest, WordsOfVisitedPagesAreFoundAndOpened) {
  TBandForm& form = StartedForm();
  form.sb_IndexPage.Click();
  const std::string first = WritePage("first.html", "First", "Abacus abbey absent quartz");
  const std::string second = WritePage("second.html", "Second", "abbey zebra");
  Visit(first);
  Visit(second);
  ChooseField(1);
  EXPECT_TRUE(form.RegCombo2.Enabled());

  // The field's change lists at once, from the empty text: every word, in order.
  const std::vector<std::string> all = {"Abacus", "abbey", "absent", "quartz", "zebra"};
  EXPECT_EQ(form.lb1.Items(), all);
  Enter("QU");
  EXPECT_TRUE(form.SearchListRequested());
  EXPECT_GE(form.RegCombo2.IndexOf("QU"), 0);  // kept in the box's history
  EXPECT_EQ(form.RegCombo2.Text(), "QU");
  Tick();
  EXPECT_EQ(form.lb1.Items(), all);  // the first tick only counts
  Tick();
  EXPECT_FALSE(form.SearchListRequested());
  // The first word beginning with the text, then the words after it, matching or not.
  EXPECT_EQ(form.lb1.Items(), (std::vector<std::string>{"quartz", "zebra"}));
  Enter("ab");
  Tick();
  Tick();
  EXPECT_EQ(form.lb1.Items(), all);
  EXPECT_EQ(form.led5.Color(), LedColor::Green);

  Pick("abbey");
  EXPECT_EQ(form.RegCombo2.Text(), "abbey");
  auto titles = GridTitles();
  std::sort(titles.begin(), titles.end());
  EXPECT_EQ(titles, (std::vector<std::string>{"First", "Second"}));
  EXPECT_FALSE(form.dxDBGrid3.Columns()[1].visible);
  EXPECT_EQ(form.dxDBGrid3.Columns()[1].field, "UrlID");
  Json state = form.dxDBGrid3.Describe();
  EXPECT_TRUE(state["rows"][0]["preview"] == first || state["rows"][0]["preview"] == second);

  // Enter again with the selected word: the list stays as it is, selection included.
  Enter("abbey");
  Tick();
  Tick();
  EXPECT_EQ(form.lb1.ItemIndex(), 1);
  EXPECT_EQ(form.lb1.Items(), all);
  EXPECT_EQ(form.led5.Color(), LedColor::Green);

  // Sorting and typing to find, then a double click opens the page.
  Input(form.dxDBGrid3, {{"type", "sort"}, {"column", 0}});
  EXPECT_EQ(GridTitles(), (std::vector<std::string>{"First", "Second"}));
  Input(form.dxDBGrid3, {{"type", "search"}, {"text", "sec"}});
  EXPECT_EQ(form.dxDBGrid3.FocusedRow(), 1);
  Input(form.dxDBGrid3, {{"type", "dblclick"}, {"row", 1}});
  for (int i = 0; i < 20 && browser_->Busy(); ++i) Tick();
  EXPECT_EQ(browser_->LocationURL(), second);
}

TEST_F(BandFormSearchTest, WordGoneFromTheTableStartsNoSearch) {
  TBandForm& form = StartedForm();
  form.sb_IndexPage.Click();
  Visit(WritePage("page.html", "Page", "abbey absent"));
  ChooseField(1);
  Enter("ab");
  Tick();
  Tick();
  Pick("abbey");
  ASSERT_EQ(form.dxDBGrid3.RowCount(), 1u);
  Exec("DELETE FROM WORDS WHERE Word = 'absent'");
  Pick("absent");
  EXPECT_EQ(form.dxDBGrid3.RowCount(), 1u);
  EXPECT_TRUE(widgets::MessageLog().empty());
}

TEST_F(BandFormSearchTest, MenusFollowTheFocusedRowAndPropertiesShowThePage) {
  TBandForm& form = StartedForm();
  Exec(
      "INSERT INTO URL (ID, URL, Title, Domain, Keyword, Hits) VALUES "
      "(5, 'http://a.example/', 'Alpha', 'a.example', 'stone', 4)");
  Exec("INSERT INTO KEYWORDS (UrlID, Keyword) VALUES (5, 'stone'), (0, 'loose')");
  ChooseField(2);
  Enter("");
  Tick();
  Tick();
  ASSERT_EQ(form.lb1.Count(), 2u);

  // A right click selects the candidate under the pointer and runs its search.
  Input(form.lb1,
        {{"type", "contextmenu"}, {"x", 5}, {"y", 5}, {"index", form.lb1.IndexOf("loose")}});
  EXPECT_TRUE(form.Popup_Search.IsOpen());
  form.Popup_Search.CloseUp();
  EXPECT_EQ(form.lb1.SelectedText(), "loose");
  Input(form.dxDBGrid3, {{"type", "contextmenu"}, {"x", 5}, {"y", 5}, {"row", 0}});
  EXPECT_EQ(form.FocusedResultUrlId(), 0);
  EXPECT_FALSE(form.VisitWebsiteItem()->Enabled());
  EXPECT_FALSE(form.PropertiesItem()->Enabled());
  form.Popup_SearchResults.CloseUp();

  Pick("stone");
  Input(form.dxDBGrid3, {{"type", "contextmenu"}, {"x", 5}, {"y", 5}, {"row", 0}});
  EXPECT_TRUE(form.VisitWebsiteItem()->Enabled());
  std::vector<std::string> shown;
  {
    widgets::ScopedModalScript script([&](widgets::Form& f) {
      auto& dialog = dynamic_cast<TfrmUrlProperties&>(f);
      for (int i = 0; i < TfrmUrlProperties::kFieldCount; ++i) shown.push_back(dialog.FieldText(i));
      f.Close(widgets::ModalResult::Ok);
    });
    ASSERT_TRUE(form.Popup_SearchResults.ChooseItem(form.PropertiesItem()));
  }
  ASSERT_EQ(shown.size(), 6u);
  EXPECT_EQ(shown[0], "Alpha");
  EXPECT_EQ(shown[1], "http://a.example/");
  EXPECT_EQ(shown[4], "stone");
  EXPECT_EQ(shown[5], "4");
  EXPECT_TRUE(form.dxDBGrid3.Focused());

  // "Send Link via Email" hands the mail program a page linking to the result, titled after it.
  widgets::MenuItem* mail = form.Popup_SearchResults.Items().FindByName("SendLinkViaEmail");
  ASSERT_NE(mail, nullptr);
  Input(form.dxDBGrid3, {{"type", "contextmenu"}, {"x", 5}, {"y", 5}, {"row", 0}});
  EXPECT_TRUE(mail->Enabled());
  const fs::path record = dir_ / "mail-record";
  setenv("VELLUMTRACE_MAILER", VT_SOURCE_DIR "/tests/platform/mail/recorder.sh", 1);
  setenv("VT_MAIL_RECORD", record.c_str(), 1);
  ASSERT_TRUE(form.Popup_SearchResults.ChooseItem(mail));
  unsetenv("VELLUMTRACE_MAILER");
  std::ifstream args(record, std::ios::binary);
  std::string recorded((std::istreambuf_iterator<char>(args)), std::istreambuf_iterator<char>());
  EXPECT_NE(recorded.find(std::string("--subject\0Alpha\0", 16)), std::string::npos) << recorded;
  std::ifstream attached(record.string() + ".attachment");
  std::string page((std::istreambuf_iterator<char>(attached)), std::istreambuf_iterator<char>());
  EXPECT_NE(page.find("http://a.example/"), std::string::npos);
}

TEST_F(BandFormSearchTest, NoneEmptiesListAndGridAndDisablesTheBox) {
  TBandForm& form = StartedForm();
  Exec("INSERT INTO URL (URL, Title, Domain) VALUES ('http://a.example/', 'Alpha', 'a.example')");
  ChooseField(4);
  Tick();
  Pick("Alpha");
  ASSERT_EQ(form.dxDBGrid3.RowCount(), 1u);
  ChooseField(0);
  EXPECT_EQ(form.lb1.Count(), 0u);
  EXPECT_EQ(form.dxDBGrid3.RowCount(), 0u);
  EXPECT_EQ(form.dxDBGrid3.DataSource(), nullptr);
  EXPECT_FALSE(form.RegCombo2.Enabled());
}

TEST_F(BandFormSearchTest, DomainDoubleClickOpensTheSiteOnlyInTheUrlField) {
  TBandForm& form = StartedForm();
  Exec(
      "INSERT INTO URL (URL, Title, Domain) VALUES ('http://127.0.0.1:9/x', '127.0.0.1:9', "
      "'127.0.0.1:9')");
  ChooseField(4);  // Title: the double click only searches
  Input(form.lb1, {{"type", "dblclick"}, {"index", 0}});
  EXPECT_FALSE(browser_->Busy());
  ChooseField(3);
  ASSERT_EQ(form.lb1.Items(), std::vector<std::string>{"127.0.0.1:9"});
  Input(form.lb1, {{"type", "dblclick"}, {"index", 0}});
  EXPECT_TRUE(session_->NavigationStarted);
  for (int i = 0; i < 400 && browser_->Busy(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));  // the fetch runs on its thread
    Tick();
  }
  EXPECT_EQ(browser_->LocationURL().rfind("http://127.0.0.1:9", 0), 0u) << browser_->LocationURL();
}

TEST_F(BandFormSearchTest, FailingListShowsSearchNowOnTheStatusBarAndOddTextsDoNot) {
  TBandForm& form = StartedForm();
  ChooseField(4);
  const std::vector<std::string> texts = {"it's", "100%", "a_b", std::string(1000, 'q'),
                                          "\xC3\xA9t\xC3\xA9!"};
  for (const std::string& text : texts) {
    Enter(text);
    Tick();
    Tick();
    EXPECT_EQ(form.sb1.PanelText(0).find("ERROR"), std::string::npos) << text;
  }
  EXPECT_TRUE(widgets::MessageLog().empty());

  Exec("DROP TABLE KEYWORDS");
  ChooseField(2);
  EXPECT_EQ(form.sb1.PanelText(0).rfind("SearchNow ERROR : ", 0), 0u) << form.sb1.PanelText(0);
  EXPECT_EQ(form.led5.Color(), LedColor::Green);
  EXPECT_TRUE(widgets::MessageLog().empty());
}

}  // namespace
}  // namespace vt
