// The mail program as a recorder script plays it: what it is given, when SendMail returns, and
// what happens without one.
#include "platform/mail/mail.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/msgloop/message_loop.h"

namespace vt::mail {
namespace {

namespace fs = std::filesystem;

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

class MailTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string templ = (fs::temp_directory_path() / "vt-mail-XXXXXX").string();
    ASSERT_NE(mkdtemp(templ.data()), nullptr);
    dir_ = templ;
    record_ = dir_ / "record";
    setenv("VELLUMTRACE_MAILER", VT_MAIL_RECORDER, 1);
    setenv("VT_MAIL_RECORD", record_.c_str(), 1);
    unsetenv("VT_MAIL_EXIT");
    unsetenv("VT_MAIL_DELAY");
  }
  void TearDown() override {
    unsetenv("VELLUMTRACE_MAILER");
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }
  std::string Attachment(const std::string& text) {
    fs::path path = dir_ / "temp.html";
    std::ofstream(path, std::ios::binary) << text;
    return path.string();
  }
  // The arguments the recorder was given, without the program's name.
  std::vector<std::string> Arguments() {
    std::vector<std::string> out;
    std::string all = ReadFile(record_);
    std::size_t start = 0;
    for (std::size_t end; (end = all.find('\0', start)) != std::string::npos; start = end + 1) {
      out.push_back(all.substr(start, end - start));
    }
    return out;
  }

  fs::path dir_, record_;
};

TEST_F(MailTest, SubjectBodyAndAttachmentReachTheMailProgramAsTheyAre) {
  const std::string page = Attachment("<html><body>caf\xC3\xA9</body></html>");
  const std::string subject = "Tables of 'Q3' \"$(touch x)\" `id` ; & |";
  EXPECT_EQ(SendMail(subject, "", page), SUCCESS_SUCCESS);
  EXPECT_EQ(Arguments(), (std::vector<std::string>{"--subject", subject, "--attach", page}));
  EXPECT_EQ(ReadFile(record_.string() + ".attachment"), "<html><body>caf\xC3\xA9</body></html>");
  EXPECT_FALSE(fs::exists(dir_ / "x"));  // no shell read the subject

  EXPECT_EQ(SendMail("", "line one\nline two", ""), SUCCESS_SUCCESS);
  EXPECT_EQ(Arguments(),
            (std::vector<std::string>{"--subject", "", "--body", "line one\nline two"}));
}

TEST_F(MailTest, WithoutAMailProgramNothingIsStartedAndTheAnswerIsNotZero) {
  setenv("VELLUMTRACE_MAILER", (dir_ / "no-such-mailer").c_str(), 1);
  EXPECT_EQ(SendMail("s", "", Attachment("x")), MAPI_E_NOT_SUPPORTED);
  unsetenv("VELLUMTRACE_MAILER");
  EXPECT_EQ(MailProgram(), "xdg-email");
  const std::string path = getenv("PATH");
  setenv("PATH", dir_.c_str(), 1);  // no xdg-email there
  EXPECT_EQ(SendMail("s", "", ""), MAPI_E_NOT_SUPPORTED);
  setenv("PATH", path.c_str(), 1);
  EXPECT_FALSE(fs::exists(record_));
}

TEST_F(MailTest, AMissingAttachmentOrAFailingProgramIsReported) {
  EXPECT_EQ(SendMail("s", "", (dir_ / "gone.html").string()), MAPI_E_ATTACHMENT_NOT_FOUND);
  EXPECT_FALSE(fs::exists(record_));
  setenv("VT_MAIL_EXIT", "4", 1);
  EXPECT_EQ(SendMail("s", "", ""), MAPI_E_FAILURE);
  setenv("VT_MAIL_EXIT", "3", 1);  // xdg-email: no tool to compose with
  EXPECT_EQ(SendMail("s", "", ""), MAPI_E_NOT_SUPPORTED);
}

// The attachment is read before SendMail returns, and the UI thread's messages run meanwhile.
TEST_F(MailTest, WaitsForTheProgramWhileTheLoopRuns) {
  msgloop::MessageLoop loop;
  setenv("VT_MAIL_DELAY", "0.3", 1);
  bool ran = false;
  msgloop::PostToUiThread([&] { ran = true; });
  const auto start = std::chrono::steady_clock::now();
  const std::string page = Attachment("page");
  EXPECT_EQ(SendMail("s", "", page), SUCCESS_SUCCESS);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(300));
  EXPECT_TRUE(ran);
  fs::remove(page);
  EXPECT_EQ(ReadFile(record_.string() + ".attachment"), "page");
}

TEST_F(MailTest, TheProgramGetsNoneOfTheProcesssOtherFiles) {
  const int opened = open(record_.parent_path().c_str(), O_RDONLY);
  const int fd = fcntl(opened, F_DUPFD, 77);  // inheritable, and no number a shell uses
  close(opened);
  ASSERT_GE(fd, 77);
  EXPECT_EQ(SendMail("s", "", ""), SUCCESS_SUCCESS);
  close(fd);
  std::istringstream fds(ReadFile(record_.string() + ".fds"));
  std::vector<std::string> open_fds;
  for (std::string n; fds >> n;) open_fds.push_back(n);
  EXPECT_EQ(std::count(open_fds.begin(), open_fds.end(), std::to_string(fd)), 0)
      << ReadFile(record_.string() + ".fds");
}

}  // namespace
}  // namespace vt::mail
