#include "support/run_tool.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>

#include "support/utf8_path.h"

namespace {

std::string slurp(const std::string& path) {
  std::ifstream in(utf8_path(path), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

#ifdef _WIN32

// Quotes an argument so that the C runtime's command-line parser gives it
// back unchanged: backslashes are literal except before a quote. Arguments
// without blanks or quotes stay bare, as a user would type them, so a
// pattern reaches the program the way it does from a console.
std::wstring quote_argument(const std::wstring& argument) {
  if (!argument.empty() && argument.find_first_of(L" \t\"") == std::wstring::npos) return argument;
  std::wstring quoted = L"\"";
  size_t backslashes = 0;
  for (const wchar_t c : argument) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    backslashes = 0;
    quoted.push_back(c);
  }
  quoted.append(backslashes * 2, L'\\');
  quoted.push_back(L'"');
  return quoted;
}

HANDLE open_inheritable(const std::wstring& path, DWORD access, DWORD disposition) {
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  return CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                     disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// Starts the program with standard output and error going to the two
// files; returns its process handle, or -1 when it could not start.
intptr_t start_process(const std::string& program, const std::vector<std::string>& arguments,
                       const std::string& folder, const std::string& out_path,
                       const std::string& err_path) {
  const std::wstring program_w = utf8_path(program).wstring();
  std::wstring command_line = quote_argument(program_w);
  for (const std::string& a : arguments)
    command_line += L" " + quote_argument(utf8_path(a).wstring());

  HANDLE in = open_inheritable(L"NUL", GENERIC_READ, OPEN_EXISTING);
  HANDLE out = open_inheritable(utf8_path(out_path).wstring(), GENERIC_WRITE, CREATE_ALWAYS);
  HANDLE err = open_inheritable(utf8_path(err_path).wstring(), GENERIC_WRITE, CREATE_ALWAYS);
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = in;
  startup.hStdOutput = out;
  startup.hStdError = err;
  PROCESS_INFORMATION process = {};
  const bool started =
      in != INVALID_HANDLE_VALUE && out != INVALID_HANDLE_VALUE && err != INVALID_HANDLE_VALUE &&
      CreateProcessW(program_w.c_str(), command_line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                     utf8_path(folder).wstring().c_str(), &startup, &process);
  for (HANDLE h : {in, out, err}) {
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
  }
  if (!started) return -1;
  CloseHandle(process.hThread);
  return reinterpret_cast<intptr_t>(process.hProcess);
}

// Its exit code, or -1 when it ended by an exception (NTSTATUS error codes
// have the top two bits set).
int wait_process(intptr_t id, long&) {
  const HANDLE process = reinterpret_cast<HANDLE>(id);
  DWORD code = 0;
  int status = -1;
  if (WaitForSingleObject(process, INFINITE) == WAIT_OBJECT_0 &&
      GetExitCodeProcess(process, &code) && code < 0xC0000000u) {
    status = static_cast<int>(code);
  }
  CloseHandle(process);
  return status;
}

#else

intptr_t start_process(const std::string& program, const std::vector<std::string>& arguments,
                       const std::string& folder, const std::string& out_path,
                       const std::string& err_path) {
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);

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
  return pid;
}

// Its exit status, or -1 when it did not exit normally.
int wait_process(intptr_t id, long& peak_kib) {
  int status = 0;
  struct rusage usage = {};
  if (id <= 0 || wait4(static_cast<pid_t>(id), &status, 0, &usage) != id) return -1;
  peak_kib = usage.ru_maxrss;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

#endif

}  // namespace

ToolProcess start_tool(const std::string& program, const std::vector<std::string>& arguments,
                       const std::string& folder, const std::string& stdout_path) {
  ToolProcess process;
  process.capture = make_temp_folder();
  process.out_path = stdout_path.empty() ? process.capture + "/out" : stdout_path;
  process.id =
      start_process(program, arguments, folder, process.out_path, process.capture + "/err");
  return process;
}

ToolRun finish_tool(ToolProcess& process) {
  ToolRun run;
  run.exit_status = wait_process(process.id, run.peak_kib);
  process.id = -1;
  if (process.out_path == process.capture + "/out") run.out = slurp(process.out_path);
  run.err = slurp(process.capture + "/err");
  remove_tree(process.capture);
  return run;
}

ToolRun run_tool(const std::string& program, const std::vector<std::string>& arguments,
                 const std::string& folder) {
  ToolProcess process = start_tool(program, arguments, folder);
  return finish_tool(process);
}

bool make_folder_under(const std::filesystem::path& parent, std::string& folder) {
  std::random_device random;
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::filesystem::path candidate = parent / ("ls11test." + std::to_string(random()));
    std::error_code error;
    if (std::filesystem::create_directory(candidate, error)) {
      folder = path_utf8(candidate);
      return true;
    }
    if (error) break;
  }
  return false;
}

std::string make_temp_folder() {
  std::string folder;
  if (!make_folder_under(std::filesystem::temp_directory_path(), folder)) std::abort();
  return folder;
}

void remove_tree(const std::string& path) {
  std::error_code ignored;
  std::filesystem::remove_all(utf8_path(path), ignored);
}
