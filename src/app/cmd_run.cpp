// vellumtrace run: the browser process. It opens the display server on 127.0.0.1, prints the
// address to open, opens it in the user's web browser and runs the message loop until Ctrl+C or
// SIGTERM, then closes every window cleanly.
#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "commands.h"

#if __has_include("shell/shell.h") && VT_HAVE_SHELL
#include "config/myRegistry.h"
#include "host/bandstate.h"
#include "host/clsids.h"
#include "module_loader.h"
#include "platform/msgloop/message_loop.h"
#include "shell/band_site.h"
#include "shell/shell.h"
#include "storage/install.h"

extern char** environ;

namespace vt::app {
namespace {

struct RunOptions {
  int port = 8470;
  bool open = true;
  std::string address;
};

bool ParseRunArgs(const std::vector<std::string>& args, RunOptions& options) {
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--no-open") {
      options.open = false;
    } else if (a == "--port" && i + 1 < args.size()) {
      char* end = nullptr;
      long port = std::strtol(args[++i].c_str(), &end, 10);
      if (*end != '\0' || port < 1 || port > 65535) {
        std::fprintf(stderr, "vellumtrace run: --port needs a number from 1 to 65535\n");
        return false;
      }
      options.port = static_cast<int>(port);
    } else if (!a.empty() && a[0] == '-') {
      std::fprintf(stderr, "vellumtrace run: unknown option '%s'\n", a.c_str());
      return false;
    } else if (options.address.empty()) {
      options.address = a;
    } else {
      std::fprintf(stderr, "vellumtrace run: only one address can be opened\n");
      return false;
    }
  }
  return true;
}

// Opens `url` in the user's web browser without waiting for it.
void OpenInUserBrowser(const std::string& url) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  std::string program = "xdg-open";
  std::vector<char*> argv = {program.data(), const_cast<char*>(url.c_str()), nullptr};
  pid_t pid = 0;
  if (posix_spawnp(&pid, "xdg-open", &actions, nullptr, argv.data(), environ) == 0) {
    std::thread([pid] { waitpid(pid, nullptr, 0); }).detach();
  } else {
    std::fprintf(stderr, "Could not start xdg-open; open the address above yourself.\n");
  }
  posix_spawn_file_actions_destroy(&actions);
}

void InstallOnFirstStart() {
  storage::InstallResult result = storage::InstallAndWriteSettings();
  for (const auto& line : result.actions) std::printf("  %s\n", line.c_str());
  for (const auto& line : result.problems)
    std::fprintf(stderr, "vellumtrace run: %s\n", line.c_str());
}

int Run(const std::vector<std::string>& args) {
  RunOptions options;
  if (!ParseRunArgs(args, options)) return kExitUsage;

  // Ctrl+C and SIGTERM are taken by one thread that hands them to the UI thread; every other
  // thread (made from here on) inherits the blocked mask.
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  sigaddset(&signals, SIGUSR1);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);
  signal(SIGPIPE, SIG_IGN);

  msgloop::MessageLoop& loop = msgloop::UiLoop();
  InstallOnFirstStart();

  const char* hooks = std::getenv("VT_TEST_HOOKS");
  const bool test_hooks = hooks && std::string(hooks) == "1";
  shell::EventHub hub;
  auto ui = shell::MessageLoopUiThread(loop);
  shell::ShellOptions shell_options;
  shell_options.test_hooks = test_hooks;
  // The folders in force now: the settings dialog may have changed them since the start.
  shell_options.file_roots = [] {
    return std::vector<std::filesystem::path>{AppDir(), CacheDir()};
  };
  {
    std::string error, registered;
    if (!LoadBandModule("run", error, registered)) {
      std::fprintf(stderr, "%s\n", error.c_str());
      return kExitFailure;
    }
    if (!registered.empty()) std::printf("  Registered the band module %s\n", registered.c_str());
  }
  shell::HostedExplorerBar bar(CLSID_ExplorerBand);  // outlives the shell, which refers to it
  shell::Shell shell(*ui, hub, shell_options);
  shell.SetExplorerBar(&bar);

  shell::ServerOptions server_options;
  server_options.port = options.port;
  server_options.debug_routes = test_hooks;
  shell::DisplayServer server(server_options, *ui, shell, hub);
  server.Start();
  if (shell::FindWebDir().empty())
    std::fprintf(stderr, "vellumtrace run: the display's files (web/) were not found\n");

  std::printf(
      "Vellumtrace is running. Open this address in your web browser:\n\n  %s\n\n"
      "Press Ctrl+C to end Vellumtrace.\n",
      server.Address().c_str());
  std::fflush(stdout);
  if (options.open) OpenInUserBrowser(server.Address());

  shell.OpenMainWindow(options.address.empty() ? "about:blank" : options.address);

  std::atomic<bool> ending{false};
  std::thread signal_thread([&] {
    for (;;) {
      int sig = 0;
      if (sigwait(&signals, &sig) != 0) continue;
      if (ending) return;
      if (sig == SIGUSR1) continue;
      ending = true;
      loop.PostTask([&] {
        shell.CloseAllWindows();
        loop.PostQuitMessage(0);
      });
    }
  });

  int code = loop.Run();
  ending = true;
  pthread_kill(signal_thread.native_handle(), SIGUSR1);
  signal_thread.join();

  // Requests still in flight may wait for the UI thread: keep it turning until the server is down.
  std::atomic<bool> stopped{false};
  std::thread stopper([&] {
    server.Stop();
    stopped = true;
  });
  while (!stopped) {
    loop.ProcessMessages();
    loop.WaitMessage(std::chrono::milliseconds(20));
  }
  stopper.join();
  loop.ProcessMessages();
  std::printf("Vellumtrace has ended.\n");
  return code;
}

}  // namespace

VT_REGISTER_COMMAND({"run", "run [--port N] [--no-open] [ADDRESS]",
                     "starts Vellumtrace and prints the address of its display", 10, Run});

}  // namespace vt::app
#endif
