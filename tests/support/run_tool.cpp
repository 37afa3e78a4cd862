#include "support/run_tool.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

ToolRun run_tool(const std::string& program, const std::vector<std::string>& arguments,
                 const std::string& folder) {
  const std::string capture = make_temp_folder();
  const std::string out_path = capture + "/out";
  const std::string err_path = capture + "/err";
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);

  ToolRun run;
  const pid_t pid = fork();
  if (pid == 0) {
    const int out_fd = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int err_fd = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (out_fd < 0 || err_fd < 0 || chdir(folder.c_str()) != 0) _exit(127);
    dup2(out_fd, 1);
    dup2(err_fd, 2);
    execv(program.c_str(), argv.data());
    _exit(127);
  }
  int status = 0;
  if (pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status)) {
    run.exit_status = WEXITSTATUS(status);
  }
  run.out = slurp(out_path);
  run.err = slurp(err_path);
  remove_tree(capture);
  return run;
}

std::string make_temp_folder() {
  std::string pattern = (std::filesystem::temp_directory_path() / "ls11test.XXXXXX").string();
  if (!mkdtemp(pattern.data())) std::abort();
  return pattern;
}

void remove_tree(const std::string& path) {
  std::error_code ignored;
  std::filesystem::remove_all(path, ignored);
}
