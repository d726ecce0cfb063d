// vellumtrace filter PAGE ID [--out FILE]: dissects a page as `dissect` does and prints the filter
// view the private host serves for entry position ID of that page: the element (or the group of
// all images, tables or links) alone in a complete page, its images pointed at local copies.
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "commands.h"
#include "config/myRegistry.h"
#include "core/myDOM.h"
#include "host/OurNSHandler.h"
#include "module_loader.h"
#include "platform/browser/url.h"
#include "platform/browser/web_browser.h"
#include "platform/msgloop/message_loop.h"
#include "platform/widgets/indicators.h"
#include "platform/widgets/treelist.h"

namespace vt::app {
namespace {

constexpr const char* kUsage =
    "Usage: vellumtrace filter PAGE ID [--out FILE]\n"
    "       vellumtrace filter PAGE --every DIR   (one file DIR/ID.html per entry)\n";

bool IsEntryPosition(const std::string& text, int& id) {
  if (text.empty() || text.size() > 4) return false;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  id = std::stoi(text);
  return id >= 1 && id <= kMaxEntries;
}

// The program folders the served pages point their images into, as the settings name them.
void UseSettingsFolders() {
  TmyRegistry settings_key;
  std::string app = settings_key.ReadString(settings::AppDir);
  std::string cache = settings_key.ReadString(settings::CacheDir);
  SetAppDir(WithTrailingSlash(app.empty() ? DefaultAppDir() : app));
  SetCacheDir(WithTrailingSlash(cache.empty() ? DefaultCacheDir() : cache));
}

int Filter(const std::vector<std::string>& args) {
  std::string page, id_text, out, every;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--out" && i + 1 < args.size()) {
      out = args[++i];
    } else if (a == "--every" && i + 1 < args.size()) {
      every = args[++i];
    } else if (!a.empty() && a[0] == '-' && !(id_text.empty() && !page.empty())) {
      std::fprintf(stderr, "vellumtrace filter: unexpected argument '%s'.\n%s", a.c_str(), kUsage);
      return kExitUsage;
    } else if (page.empty()) {
      page = a;
    } else if (id_text.empty()) {
      id_text = a;
    } else {
      std::fprintf(stderr, "vellumtrace filter: unexpected argument '%s'.\n%s", a.c_str(), kUsage);
      return kExitUsage;
    }
  }
  if (page.empty() || (id_text.empty() == every.empty()) || (!every.empty() && !out.empty())) {
    std::fprintf(stderr, "%s", kUsage);
    return kExitUsage;
  }
  int id = 0;
  if (every.empty() && !IsEntryPosition(id_text, id)) {
    std::fprintf(stderr,
                 "vellumtrace filter: ID must be an entry position, a whole number from 1 to "
                 "1999 ('%s' is not); `vellumtrace dissect PAGE --json` lists the positions.\n",
                 id_text.c_str());
    return kExitUsage;
  }

  std::string url = page;
  if (browser::SchemeOf(page).empty()) {
    std::error_code ec;
    std::filesystem::path path = std::filesystem::absolute(page, ec);
    if (ec || !std::filesystem::is_regular_file(path, ec)) {
      std::fprintf(stderr, "vellumtrace filter: cannot read '%s': no such readable file\n",
                   page.c_str());
      return kExitFailure;
    }
    url = browser::FileUrlFromPath(path.lexically_normal().string());
  }
  com::ComPtr<browser::WebBrowser> web = browser::WebBrowser::Create();
  if (web->Navigate(url) < 0 ||
      !msgloop::PumpUntil([&] { return !web->Busy(); }, msgloop::Milliseconds(60000)) ||
      !web->Document()) {
    web->Stop();
    std::fprintf(stderr, "vellumtrace filter: '%s' could not be loaded\n", page.c_str());
    return kExitFailure;
  }

  UseSettingsFolders();
  // The private host answers once the band module is loaded, as in the browser process.
  std::string error, registered;
  if (!LoadBandModule("filter", error, registered)) {
    web->Stop();
    std::fprintf(stderr, "%s\n", error.c_str());
    return kExitFailure;
  }
  if (!registered.empty())
    std::fprintf(stderr, "vellumtrace filter: registered the band module %s\n", registered.c_str());
  widgets::StatusBar status_bar("sb1");
  widgets::TreeList tree("tv");
  auto* session = new TmyDOM(BrowserRef(web.get()));
  session->InitSession(nullptr, nullptr, &status_bar, nullptr);
  session->FilterTree = &tree;
  SessionList::Add(session);
  session->RefreshDocuments();
  session->ParseDocument();

  if (!every.empty()) {
    // Every entry of the page, each into its own file; the entry count goes to stdout.
    std::error_code ec;
    std::filesystem::create_directories(every, ec);
    const int count = session->EntryCount;
    int written = 0;
    for (int p = 1; p <= count; ++p) {
      const std::string answer = FetchPrivatePage(FilterAddress(session->WindowNumber, p));
      std::ofstream file(std::filesystem::path(every) / (std::to_string(p) + ".html"),
                         std::ios::binary | std::ios::trunc);
      file.write(answer.data(), static_cast<std::streamsize>(answer.size()));
      if (file.flush()) ++written;
    }
    SessionList::Remove(session->WindowNumber);
    session->ReleaseSession();
    std::printf("%d entries, %d pages written to %s\n", count, written, every.c_str());
    return written == count ? kExitOk : kExitFailure;
  }
  const std::string answer = FetchPrivatePage(FilterAddress(session->WindowNumber, id));
  const std::string status = status_bar.PanelText(0);
  SessionList::Remove(session->WindowNumber);
  session->ReleaseSession();
  if (answer.empty()) {
    std::fprintf(stderr, "vellumtrace filter: no page was served (%s)\n", status.c_str());
    return kExitFailure;
  }
  if (out.empty()) {
    std::fwrite(answer.data(), 1, answer.size(), stdout);
  } else {
    std::ofstream file(out, std::ios::binary | std::ios::trunc);
    file.write(answer.data(), static_cast<std::streamsize>(answer.size()));
    if (!file.flush()) {
      std::fprintf(stderr, "vellumtrace filter: cannot write '%s'\n", out.c_str());
      return kExitFailure;
    }
  }
  return kExitOk;
}

}  // namespace

VT_REGISTER_COMMAND({"filter", "filter PAGE ID [--out FILE]",
                     "prints the filter view of entry ID of a page (positions as dissect lists)",
                     45, Filter});

}  // namespace vt::app
