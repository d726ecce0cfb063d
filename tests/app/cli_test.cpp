// The executable's command line, run as a user runs it.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <string>

namespace {

struct Result {
  int exit_code;
  std::string out;  // stdout and stderr together
};

Result RunExe(const std::string& args) {
  std::string cmd = std::string(VT_EXE) + " " + args + " 2>&1";
  FILE* p = popen(cmd.c_str(), "r");
  std::string out;
  std::array<char, 4096> buf{};
  size_t n;
  while ((n = fread(buf.data(), 1, buf.size(), p)) > 0) out.append(buf.data(), n);
  int status = pclose(p);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, out};
}

TEST(Cli, HelpListsTheCommandsAndExitsZero) {
  Result r = RunExe("--help");
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_NE(r.out.find("Usage: vellumtrace <command>"), std::string::npos);
  EXPECT_NE(r.out.find("--version"), std::string::npos);
}

TEST(Cli, VersionPrintsTheVersion) {
  Result r = RunExe("--version");
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.out.rfind("vellumtrace ", 0), 0u);
}

TEST(Cli, UnknownCommandExitsTwoWithAMessage) {
  Result r = RunExe("frobnicate");
  EXPECT_EQ(r.exit_code, 2);
  EXPECT_NE(r.out.find("unknown command 'frobnicate'"), std::string::npos);
  EXPECT_NE(r.out.find("vellumtrace --help"), std::string::npos);
}

TEST(Cli, NoCommandPrintsUsageAndExitsTwo) {
  Result r = RunExe("");
  EXPECT_EQ(r.exit_code, 2);
  EXPECT_NE(r.out.find("Usage:"), std::string::npos);
}

}  // namespace
