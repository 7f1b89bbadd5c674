#include "support/process.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/file.h"
#include "support/temp_dir.h"

extern char** environ;

namespace testing_support {

Outcome run_program(const std::vector<std::string>& argv, const std::string& dir,
                    std::vector<std::string> env, const std::string& out_file,
                    const std::function<void(pid_t)>& meanwhile) {
  TempDir caught;
  const std::string out_path = out_file.empty() ? caught.file("out") : out_file;
  const std::string err_path = caught.file("err");
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0600);
  posix_spawn_file_actions_addopen(&actions, 2, err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0600);
  posix_spawn_file_actions_addchdir_np(&actions, dir.c_str());
  for (char** e = environ; *e; ++e) env.emplace_back(*e);
  std::vector<std::string> words = argv;
  std::vector<char*> args, vars;
  for (auto& a : words) args.push_back(a.data());
  for (auto& v : env) vars.push_back(v.data());
  args.push_back(nullptr);
  vars.push_back(nullptr);
  pid_t pid = 0;
  Outcome result;
  if (posix_spawn(&pid, args[0], &actions, nullptr, args.data(), vars.data()) == 0) {
    if (meanwhile) meanwhile(pid);
    int status = 0;
    waitpid(pid, &status, 0);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }
  posix_spawn_file_actions_destroy(&actions);
  if (out_file.empty()) result.out = read_file(out_path);
  result.err = read_file(err_path);
  return result;
}

}  // namespace testing_support
