#include "platform/mail/mail.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

#include "platform/msgloop/message_loop.h"

extern char** environ;

namespace vt::mail {
namespace {

// `xdg-email` answers 3 when it finds no tool to compose with.
constexpr int kXdgNoTool = 3;

// The path of `program`: as given when it holds a "/", else the first executable of that name on
// PATH; "" when there is none.
std::string FindProgram(const std::string& program) {
  if (program.find('/') != std::string::npos) {
    return access(program.c_str(), X_OK) == 0 ? program : std::string();
  }
  const char* path = std::getenv("PATH");
  std::string dirs = path ? path : "/usr/local/bin:/usr/bin:/bin";
  std::size_t start = 0;
  while (start <= dirs.size()) {
    std::size_t end = dirs.find(':', start);
    if (end == std::string::npos) end = dirs.size();
    std::string dir = dirs.substr(start, end - start);
    if (dir.empty()) dir = ".";
    std::string candidate = dir + "/" + program;
    if (access(candidate.c_str(), X_OK) == 0) return candidate;
    start = end + 1;
  }
  return {};
}

// Waits for the child; on the UI thread the loop runs meanwhile. The exit status, or -1.
int WaitFor(pid_t pid) {
  const bool ui = msgloop::IsUiThread();
  for (;;) {
    int status = 0;
    const pid_t r = waitpid(pid, &status, ui ? WNOHANG : 0);
    if (r == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    if (r < 0 && errno != EINTR) return -1;
    if (r == 0) {
      msgloop::UiLoop().WaitMessage(msgloop::Milliseconds(20));
      msgloop::ProcessMessages();
    }
  }
}

}  // namespace

std::string MailProgram() {
  const char* named = std::getenv("VELLUMTRACE_MAILER");
  return named && *named ? std::string(named) : std::string("xdg-email");
}

ULONG SendMail(const std::string& subject, const std::string& body, const std::string& attachment) {
  try {
    if (!attachment.empty() && access(attachment.c_str(), R_OK) != 0) {
      return MAPI_E_ATTACHMENT_NOT_FOUND;
    }
    const std::string program = FindProgram(MailProgram());
    if (program.empty()) return MAPI_E_NOT_SUPPORTED;

    std::vector<std::string> args = {program, "--subject", subject};
    if (!body.empty()) {
      args.push_back("--body");
      args.push_back(body);
    }
    if (!attachment.empty()) {
      args.push_back("--attach");
      args.push_back(attachment);
    }
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    // The display server's sockets and the database stay ours.
    posix_spawn_file_actions_addclosefrom_np(&actions, 3);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) return MAPI_E_FAILURE;

    const int code = WaitFor(pid);
    if (code == 0) return SUCCESS_SUCCESS;
    if (code == kXdgNoTool) return MAPI_E_NOT_SUPPORTED;
    return MAPI_E_FAILURE;
  } catch (...) {
    return MAPI_E_FAILURE;
  }
}

}  // namespace vt::mail
