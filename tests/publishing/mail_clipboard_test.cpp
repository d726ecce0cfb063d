// Pages leaving by mail (a recorder plays the mail program) and by the clipboard.
#include "publishing/MailClipboard.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "../core/page_fixture.h"
#include "config/myRegistry.h"
#include "platform/clipboard/clipboard.h"

namespace vt {
namespace {

namespace fs = std::filesystem;

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

class MailClipboardTest : public testing::PageTest {
 protected:
  void SetUp() override {
    PageTest::SetUp();
    app_ = dir_ / "app";
    fs::create_directories(app_);
    SetAppDir(app_.string() + "/");
    record_ = dir_ / "record";
    setenv("VELLUMTRACE_MAILER", VT_MAIL_RECORDER, 1);
    setenv("VT_MAIL_RECORD", record_.c_str(), 1);
    clipboard::ResetClipboardForTests();
  }
  void TearDown() override {
    unsetenv("VELLUMTRACE_MAILER");
    clipboard::ResetClipboardForTests();
    PageTest::TearDown();
  }
  // The subject the recorder was given.
  std::string Subject() {
    std::string all = ReadFile(record_);
    std::size_t start = all.find('\0') + 1;
    return all.substr(start, all.find('\0', start) - start);
  }
  std::string Attached() { return ReadFile(record_.string() + ".attachment"); }
  fs::path Temp() const { return app_ / kMailAttachmentName; }

  fs::path app_, record_;
};

TEST_F(MailClipboardTest, AMailedPageIsAttachedAsItIsAndItsFileDeletedUnlessKept) {
  const std::string page = "<html><body>caf\xC3\xA9 &amp; more</body></html>";
  MailPage(page, "Notes", false);
  EXPECT_EQ(Subject(), "Notes");
  EXPECT_EQ(Attached(), page);
  EXPECT_FALSE(fs::exists(Temp()));

  MailPage("short", "", true);
  EXPECT_EQ(Subject(), "");
  EXPECT_EQ(ReadFile(Temp()), "short");  // truncated, not appended to

  // Without a mail program nothing shows; the file goes all the same.
  setenv("VELLUMTRACE_MAILER", (dir_ / "none").c_str(), 1);
  fs::remove(record_);
  MailPage(page, "x", false);
  EXPECT_FALSE(fs::exists(Temp()));
  EXPECT_FALSE(fs::exists(record_));
}

TEST_F(MailClipboardTest, AnAttachmentThatCannotBeWrittenStartsNoMail) {
  std::ofstream(dir_ / "file") << "x";
  SetAppDir((dir_ / "file").string() + "/");  // a folder that cannot exist
  try {
    MailPage("page", "s", false);
    ADD_FAILURE() << "no error";
  } catch (const std::runtime_error& e) {
    EXPECT_NE(std::string(e.what()).find("Cannot write the mail attachment"), std::string::npos);
  }
  EXPECT_FALSE(fs::exists(record_));
}

TEST_F(MailClipboardTest, CopiesPutTheTemplatePageOnTheClipboardUnderBothFormats) {
  CopyHtmlToClipboard("plain", "<b>rich</b>");
  clipboard::DisplayClipboard shown = clipboard::ForDisplay(clipboard::LastContents());
  EXPECT_EQ(shown.html, "<b>rich</b>\r\n");
  EXPECT_EQ(shown.text, "plain");
  EXPECT_FALSE(clipboard::IsClipboardOpen());
  CopyHtmlToClipboard("", "<i>only</i>");
  EXPECT_EQ(clipboard::LastContents().Find(clipboard::CF_TEXT), nullptr);

  // A clipboard held open elsewhere is an error that names its code.
  ASSERT_TRUE(clipboard::OpenClipboard());
  EXPECT_THROW(CopyHtmlToClipboard("a", "b"), std::system_error);
  clipboard::CloseClipboard();

  TmyDOM& s = Parse("t.html", testing::Page("<table><tr><td>Alpha</td></tr></table>"));
  s.SelectedIndex = -1;
  const auto before = clipboard::LastContents().sequence;
  CopyItemToClipboard(s);
  EXPECT_EQ(clipboard::LastContents().sequence, before);  // nothing selected: nothing copied
  s.SelectedIndex = 3;                                    // the cell
  CopyItemToClipboard(s);
  const clipboard::ClipboardContents now = clipboard::LastContents();
  const std::string page = *now.Find(clipboard::CF_TEXT);
  EXPECT_NE(page.find("<BODY>Alpha</BODY>"), std::string::npos) << page;
  EXPECT_NE(page.find("<base href=\"file:"), std::string::npos);
  EXPECT_EQ(clipboard::ForDisplay(now).html, page + "\r\n");
  EXPECT_EQ(StatusText(), "Copied to clipboard");
}

}  // namespace
}  // namespace vt
