#include "support/Unprivileged.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

extern char** environ;

namespace quillmere::test {

bool insideUnprivilegedChild() {
  const char* v = std::getenv("QUILLMERE_UNPRIVILEGED_CHILD");
  return v != nullptr && std::strcmp(v, "1") == 0 && ::getuid() != 0;
}

bool runningAsRoot() {
  return ::geteuid() == 0;
}

int runUnprivileged(const std::string& gtestFilter,
                    const std::vector<std::pair<std::string, std::string>>& env) {
  if (!runningAsRoot() || ::access("/usr/bin/setpriv", X_OK) != 0) return -1;
  char self[4096];
  const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
  if (n <= 0) return -1;
  self[n] = '\0';

  std::vector<std::string> args = {"/usr/bin/setpriv",
                                   "--reuid=65534",
                                   "--regid=65534",
                                   "--clear-groups",
                                   self,
                                   "--gtest_filter=" + gtestFilter};
  std::vector<std::string> vars;
  for (char** e = environ; *e != nullptr; ++e) {
    const std::string var = *e;
    // The child makes its own private home.
    if (var.rfind("HOME=", 0) == 0 || var.rfind("XDG_", 0) == 0) continue;
    vars.push_back(var);
  }
  vars.push_back("QUILLMERE_UNPRIVILEGED_CHILD=1");
  for (const auto& [k, v] : env) vars.push_back(k + "=" + v);

  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  std::vector<char*> envp;
  for (auto& v : vars) envp.push_back(v.data());
  envp.push_back(nullptr);
  // The child starts in "/": the parent's working folder may be closed to it.
  posix_spawn_file_actions_t actions;
  ::posix_spawn_file_actions_init(&actions);
  ::posix_spawn_file_actions_addchdir_np(&actions, "/");
  pid_t pid = 0;
  const int spawned = ::posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
  ::posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return -1;
  int status = 0;
  if (::waitpid(pid, &status, 0) != pid) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

}  // namespace quillmere::test
