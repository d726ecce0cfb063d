// Who may reach the display server: the Host header, the token header and grants, and which files
// may be served.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "shell/access_guard.h"
#include "shell/served_files.h"

namespace vt::shell {
namespace {
namespace fs = std::filesystem;

const std::string kToken = "0123456789abcdef0123456789abcdef";

TEST(AccessGuardTest, HostMustNameThisServerOnItsPort) {
  AccessGuard guard(kToken, 8470);
  EXPECT_TRUE(guard.HostAllowed("127.0.0.1:8470"));
  EXPECT_TRUE(guard.HostAllowed("localhost:8470"));
  for (const char* host : {"127.0.0.1:8471", "127.0.0.1", "evil.example:8470", "LOCALHOST:8470x",
                           "192.168.1.5:8470", "", "[::1]:8470", "127.0.0.1:8470.evil.example"})
    EXPECT_FALSE(guard.HostAllowed(host)) << host;
}

TEST(AccessGuardTest, ApiNeedsTheTokenHeaderAndTheDisplaysOwnFilesNeedNothing) {
  AccessGuard guard(kToken, 9000);
  EXPECT_EQ(guard.Check("/api/state", "127.0.0.1:9000", "", kToken), Access::kAllowed);
  EXPECT_EQ(guard.Check("/api/state", "localhost:9000", "http://localhost:9000", kToken),
            Access::kAllowed);
  for (const char* path : {"/", "/index.html", "/js/main.js", "/css/shell.css"})
    EXPECT_EQ(guard.Check(path, "127.0.0.1:9000", "", ""), Access::kAllowed) << path;
  for (const char* path : {"/api/state", "/api/events", "/api/input", "/mirror/1", "/file"})
    EXPECT_EQ(guard.Check(path, "127.0.0.1:9000", "", ""), Access::kNoToken) << path;
}

TEST(AccessGuardTest, RefusesMissingWrongOrForeignTokens) {
  AccessGuard guard(kToken, 9000);
  EXPECT_EQ(guard.Check("/api/state", "127.0.0.1:9000", "", "nope"), Access::kNoToken);
  std::string wrong = kToken;
  wrong.back() = '0';
  EXPECT_EQ(guard.Check("/api/state", "127.0.0.1:9000", "", wrong), Access::kNoToken);
  // A right token does not excuse a wrong Host (rebinding) or another site's Origin, nor does
  // any path: the display's own files too answer only to this server's names.
  EXPECT_EQ(guard.Check("/api/state", "attacker.example:9000", "", kToken), Access::kBadHost);
  EXPECT_EQ(guard.Check("/", "127.0.0.1:9001", "", ""), Access::kBadHost);
  EXPECT_EQ(guard.Check("/api/state", "127.0.0.1:9000", "http://attacker.example", kToken),
            Access::kBadOrigin);
  EXPECT_EQ(guard.Check("/api/state", "127.0.0.1:9000", "http://127.0.0.1:9001", kToken),
            Access::kBadOrigin);
}

TEST(AccessGuardTest, AGrantOpensItsOwnResourceOnly) {
  AccessGuard guard(kToken, 9000);
  std::string mirror = guard.grants().For("mirror/3");
  EXPECT_EQ(guard.grants().For("mirror/3"), mirror);
  std::string file = guard.grants().For("file:/app/a.gif");
  EXPECT_NE(file, mirror);
  EXPECT_EQ(mirror.size(), 32u);
  auto check = [&](const char* path, const char* resource, const std::string& grant) {
    return guard.Check(path, "127.0.0.1:9000", "", "", resource, grant);
  };
  EXPECT_EQ(check("/mirror/3", "mirror/3", mirror), Access::kAllowed);
  EXPECT_EQ(check("/file", "file:/app/a.gif", file), Access::kAllowed);
  EXPECT_EQ(check("/mirror/4", "mirror/4", mirror), Access::kNoToken);
  EXPECT_EQ(check("/file", "file:/etc/passwd", file), Access::kNoToken);
  EXPECT_EQ(check("/mirror/5", "mirror/5", ""), Access::kNoToken);  // never granted
  // A grant is not the token.
  EXPECT_EQ(guard.Check("/api/state", "127.0.0.1:9000", "", mirror), Access::kNoToken);
}

TEST(AccessGuardTest, TokensAreFreshHexAndShortOnesAreRejected) {
  std::string a = MakeToken(), b = MakeToken();
  EXPECT_EQ(a.size(), 32u);
  EXPECT_NE(a, b);
  EXPECT_EQ(a.find_first_not_of("0123456789abcdef"), std::string::npos);
  EXPECT_THROW(AccessGuard("short", 1), std::invalid_argument);
}

class ServedFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    base_ = fs::temp_directory_path() /
            ("vt-served-" + std::to_string(::getpid()) + "-" +
             ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(base_);
    fs::create_directories(base_ / "app" / "sub");
    fs::create_directories(base_ / "cache");
    fs::create_directories(base_ / "app2");
    fs::create_directories(base_ / "outside");
    Write(base_ / "app" / "_blank.gif");
    Write(base_ / "app" / "sub" / "a b.html");
    Write(base_ / "cache" / "img.png");
    Write(base_ / "app2" / "x.gif");
    Write(base_ / "outside" / "secret.txt");
    fs::create_symlink(base_ / "outside" / "secret.txt", base_ / "app" / "link.txt");
    fs::create_directory_symlink(base_ / "outside", base_ / "cache" / "linkdir");
    roots_ = {base_ / "app/", base_ / "cache"};
  }
  void TearDown() override { fs::remove_all(base_); }
  static void Write(const fs::path& p) { std::ofstream(p) << "x"; }

  fs::path base_;
  std::vector<fs::path> roots_;
};

TEST_F(ServedFilesTest, ServesFilesInsideEitherFolder) {
  EXPECT_EQ(ResolveServedFile(base_ / "app" / "_blank.gif", roots_),
            fs::canonical(base_ / "app" / "_blank.gif"));
  EXPECT_TRUE(ResolveServedFile(base_ / "cache" / "img.png", roots_));
  EXPECT_TRUE(ResolveServedFile(base_ / "app" / "sub" / ".." / "_blank.gif", roots_));
}

TEST_F(ServedFilesTest, RefusesEverythingElse) {
  for (fs::path p :
       {base_ / "outside" / "secret.txt", base_ / "app" / ".." / "outside" / "secret.txt",
        base_ / "app" / "link.txt", base_ / "cache" / "linkdir" / "secret.txt",
        base_ / "app2" / "x.gif", base_ / "app", base_ / "app" / "missing.gif",
        fs::path("app/_blank.gif"), fs::path("/etc/passwd")})
    EXPECT_EQ(ResolveServedFile(p, roots_), std::nullopt) << p;
  EXPECT_EQ(ResolveServedFile(base_ / "app" / "_blank.gif", {}), std::nullopt);
}

TEST_F(ServedFilesTest, ANamedFileIsServedWhereverItLiesAndNothingBesideIt) {
  const std::vector<fs::path> named = {base_ / "outside" / "secret.txt", base_ / "missing.ico"};
  EXPECT_EQ(ResolveNamedFile(base_ / "outside" / "secret.txt", named),
            fs::canonical(base_ / "outside" / "secret.txt"));
  // The same file by another way (a link into it, "..") is the same file.
  EXPECT_TRUE(ResolveNamedFile(base_ / "app" / "link.txt", named));
  EXPECT_TRUE(ResolveNamedFile(base_ / "app" / ".." / "outside" / "secret.txt", named));
  for (fs::path p : {base_ / "app" / "_blank.gif", base_ / "outside", base_ / "missing.ico",
                     fs::path("outside/secret.txt"), fs::path("/etc/passwd")})
    EXPECT_EQ(ResolveNamedFile(p, named), std::nullopt) << p;
}

TEST_F(ServedFilesTest, RelativePathsStayUnderTheirRoot) {
  EXPECT_TRUE(ResolveUnder(base_ / "app", "sub/a b.html"));
  EXPECT_TRUE(ResolveUnder(base_ / "app", "/_blank.gif"));
  for (const char* rel :
       {"../outside/secret.txt", "sub/../../outside/secret.txt", "link.txt", "", "sub"})
    EXPECT_EQ(ResolveUnder(base_ / "app", rel), std::nullopt) << rel;
}

TEST(FileUrlTest, DecodesLocalFileAddressesOnly) {
  EXPECT_EQ(FileUrlToPath("file:///a/b%20c.gif"), fs::path("/a/b c.gif"));
  EXPECT_EQ(FileUrlToPath("FILE://localhost/x/y.png?z#w"), fs::path("/x/y.png"));
  EXPECT_EQ(FileUrlToPath("file://server/share/x"), std::nullopt);
  EXPECT_EQ(FileUrlToPath("http://a/b"), std::nullopt);
  EXPECT_EQ(FileUrlToPath("file:///a%00b"), std::nullopt);
  EXPECT_EQ(PercentEncode("/a b/ä?&"), "/a%20b/%C3%A4%3F%26");
}

}  // namespace
}  // namespace vt::shell
