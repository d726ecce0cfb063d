// The installation as the user runs it: the real executable on an empty home folder.
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "config/myRegistry.h"
#include "storage/help_page.h"
#include "storage/install.h"

namespace vt::storage {
namespace {

namespace fs = std::filesystem;

struct Outcome {
  int code;
  std::string out;
};

// Runs a shell command, stdout and stderr together.
Outcome Shell(const std::string& cmd) {
  std::string out;
  FILE* p = popen((cmd + " 2>&1").c_str(), "r");
  std::array<char, 4096> buf{};
  size_t n;
  while ((n = fread(buf.data(), 1, buf.size(), p)) > 0) out.append(buf.data(), n);
  int status = pclose(p);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, out};
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

class InstallTest : public ::testing::Test {
 protected:
  InstallTest() {
    char tmpl[] = "/tmp/vt-install-XXXXXX";
    home = ::mkdtemp(tmpl);
    app = home + "/app/";
    cache = home + "/cache/";
    db = app + "vellumtrace.mdb";
  }
  ~InstallTest() override { fs::remove_all(home); }

  Outcome Install() {
    return Shell("env HOME=" + home + " VELLUMTRACE_HOME=" + home +
                 "/config XDG_DATA_HOME=" + home + "/data XDG_CACHE_HOME=" + home + "/xcache " +
                 VT_EXE + " install --app-dir " + home + "/app --cache-dir " + home + "/cache");
  }
  std::string Sql(const std::string& sql) {
    return Shell("sqlite3 " + db + " \"" + sql + "\"").out;
  }

  std::string home, app, cache, db;
};

TEST_F(InstallTest, FreshInstallCreatesEveryTableColumnAndTheSavedQuery) {
  Outcome r = Install();
  ASSERT_EQ(r.code, 0) << r.out;
  EXPECT_EQ(r.out, "Created the program folder " + app + "\nCreated the image cache folder " +
                       cache + "\nCreated the database " + db +
                       " with its 7 tables, 10 indexes and the saved query QWordSearchDrill\n"
                       "Created the placeholder image " +
                       app +
                       "_blank.gif\n"
                       "Created the toolbar icon " +
                       app +
                       "icon.ico\n"
                       "Created the style sheet " +
                       app + "Vellumtrace.css\nCreated the help page " + app +
                       "Vellumtrace-help.html\nSet AppDir to " + app + "\nSet CacheDir to " +
                       cache + "\n");
  registry::Store store(home + "/config");
  TmyRegistry reg(store);
  EXPECT_EQ(reg.ReadString(settings::AppDir), app);
  EXPECT_EQ(reg.ReadString(settings::CacheDir), cache);
  auto columns = [&](const char* t) {
    return Sql(std::string("SELECT group_concat(name, ',') FROM pragma_table_info('") + t + "')");
  };
  EXPECT_EQ(columns("SNIPPETS"),
            "ID,Parent_ID,URL_ID,Name,Snippet,DateCreated,DateModified,Title,Domain,Note\n");
  EXPECT_EQ(columns("URL"),
            "ID,URL,Title,Domain,Description,Keyword,DateCreated,Active,Deleted,Indexed,Hits,"
            "selected_tv,DateLastVisit\n");
  EXPECT_EQ(columns("WORDS"), "WordID,Word\n");
  EXPECT_EQ(columns("DICTIONARY"), "DictID,WordID,UrlID\n");
  EXPECT_EQ(columns("KEYWORDS"), "ID,UrlID,Keyword\n");
  EXPECT_EQ(columns("HIGHLIGHTS"), "ID,UrlID,Text,Parent_ID,ShortText,DateCreated,Note\n");
  EXPECT_EQ(columns("FILTERS"),
            "ID,UrlID,Category_ID,Name,Description,Frame,Table1,Row,Col,Image,Link,Form,"
            "CategoryID\n");
  EXPECT_EQ(columns("QWordSearchDrill"), "UrlID,URL,Title,WordID\n");
  EXPECT_EQ(Sql("PRAGMA journal_mode"), "wal\n");

  // The saved query pairs words with their pages; hits count from 0; long titles are cut.
  Sql("INSERT INTO URL (URL, Title) VALUES ('http://a/', '" + std::string(160, 't') +
      "'); INSERT INTO DICTIONARY (WordID, UrlID) VALUES (7, 1);");
  EXPECT_EQ(Sql("SELECT UrlID, URL, length(Title), WordID FROM QWordSearchDrill"),
            "1|http://a/|150|7\n");
  EXPECT_EQ(Sql("SELECT Hits FROM URL"), "0\n");
  EXPECT_EQ(Sql("SELECT count(*) FROM URL WHERE URL = 'HTTP://A/'"), "1\n");

  const std::string gif = ReadFile(app + "_blank.gif");
  ASSERT_EQ(gif.size(), 43u);
  EXPECT_EQ(gif.substr(0, 10), std::string("GIF89a\x01\0\x01\0", 10));
  const std::string ico = ReadFile(app + "icon.ico");
  EXPECT_EQ(ico.substr(0, 8), std::string("\0\0\x01\0\x01\0\x10\x10", 8));
  EXPECT_EQ(ico.size(), 22u + 40 + 16 * 16 * 4 + 16 * 4);
  EXPECT_EQ(
      ReadFile(app + "Vellumtrace.css"),
      "p  {font-family: Arial; font-size: 12px; }\r\n"
      "li {font-family: Arial; font-size: 12px; }\r\n"
      "td {font-family: Arial; font-size: 12px; }\r\n"
      "ol {font-family: Arial; font-size: 12px; }\r\n"
      "h1 {font-family: Arial; }\r\nh2 {font-family: Arial; }\r\n"
      "h3 {font-family: Arial; }\r\nh4 {font-family: Arial; }\r\ntd {font-family: Arial; }\r\n"
      "body  {font-family: Arial; font-size: 12px; color: #000000}\r\n"
      ".chead {color: #FFFFFF; background-color: #000099}\r\n");
}

TEST_F(InstallTest, RunAgainItKeepsRowsAndFilesAndRepairsWhatIsMissing) {
  ASSERT_EQ(Install().code, 0);
  Sql("INSERT INTO URL (URL, Title, Hits) VALUES ('http://kept/', 'Kept', 5)");
  std::ofstream(app + "Vellumtrace.css") << "body {color: red}";
  Outcome again = Install();
  EXPECT_EQ(again.code, 0);
  EXPECT_EQ(again.out,
            "Everything was in place: program folder " + app + ", image cache " + cache + "\n");
  EXPECT_EQ(Sql("SELECT ID, URL, Title, Hits FROM URL"), "1|http://kept/|Kept|5\n");
  EXPECT_EQ(ReadFile(app + "Vellumtrace.css"), "body {color: red}");

  Sql("DROP VIEW QWordSearchDrill; DROP INDEX WORDS_Word; ALTER TABLE URL DROP COLUMN "
      "selected_tv; DROP TABLE HIGHLIGHTS; DROP TRIGGER cut_URL_Title_insert;");
  fs::remove(app + "_blank.gif");
  Outcome repair = Install();
  EXPECT_EQ(repair.code, 0);
  EXPECT_EQ(repair.out,
            "Added column URL.selected_tv\nCreated table HIGHLIGHTS\n"
            "Created index WORDS_Word on WORDS ([Word])\n"
            "Created the saved query QWordSearchDrill\n"
            "Added the length limit of 1 text column\n"
            "Created the placeholder image " +
                app + "_blank.gif\n");
  EXPECT_EQ(Sql("SELECT ID, URL, Title, Hits, quote(selected_tv) FROM URL"),
            "1|http://kept/|Kept|5|NULL\n");
  EXPECT_EQ(Install().out.rfind("Everything was in place", 0), 0u);
}

TEST_F(InstallTest, ADamagedDatabaseIsReportedAndLeftAlone) {
  fs::create_directories(app);
  std::ofstream(db) << std::string(4096, 'z');
  Outcome r = Install();
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.out, "Created the image cache folder " + cache + "\nCreated the placeholder image " +
                       app + "_blank.gif\nCreated the toolbar icon " + app +
                       "icon.ico\nCreated the style sheet " + app +
                       "Vellumtrace.css\nCreated the help page " + app +
                       "Vellumtrace-help.html\nvellumtrace install: The database file '" + db +
                       "' is damaged or is not a database.\n");
  EXPECT_EQ(ReadFile(db), std::string(4096, 'z'));
}

TEST(InstallHelpPageTest, WritesEveryContextSectionAndRestoresAMissingPage) {
  char tmpl[] = "/tmp/vt-help-XXXXXX";
  const std::string home = ::mkdtemp(tmpl);
  const std::string page = home + "/app/" + kHelpPageName;
  InstallProgramFolder(home + "/app", home + "/cache");
  const std::string html = ReadFile(page);
  EXPECT_EQ(html, HelpPageHtml());
  EXPECT_EQ(html.rfind("<!DOCTYPE html>", 0), 0u);
  for (int context : {kHelpContents, kHelpFilterTree, kHelpSnippetTree, kHelpCandidateList}) {
    const std::string id = HelpSectionId(context);
    EXPECT_NE(html.find("<section id=\"" + id + "\">"), std::string::npos) << id;
    EXPECT_NE(html.find("href=\"#" + id + "\""), std::string::npos) << id;  // in the contents
  }
  EXPECT_EQ(HelpSectionId(kHelpFilterTree), "context-1005");
  EXPECT_EQ(HelpSectionId(kHelpContents), "contents");

  // A page the user edited stays; a missing page is written again.
  std::ofstream(page) << "mine";
  EXPECT_TRUE(InstallProgramFolder(home + "/app", home + "/cache").actions.empty());
  EXPECT_EQ(ReadFile(page), "mine");
  fs::remove(page);
  InstallResult again = InstallProgramFolder(home + "/app", home + "/cache");
  EXPECT_EQ(again.actions, std::vector<std::string>{"Created the help page " + page});
  EXPECT_EQ(ReadFile(page), HelpPageHtml());
  fs::remove_all(home);
}

TEST(InstallFoldersTest, FoldersAreAbsoluteAndEndWithASlash) {
  EXPECT_EQ(NormalizeFolder("/a/b"), "/a/b/");
  EXPECT_EQ(NormalizeFolder("/a/./b//"), "/a/b/");
  EXPECT_EQ(NormalizeFolder("rel"), fs::current_path().string() + "/rel/");
}

}  // namespace
}  // namespace vt::storage
