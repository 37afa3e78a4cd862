#include "tool_support/interrupt_cleanup.h"

#include <atomic>
#include <cstring>
#include <new>

#ifdef _WIN32
#include <windows.h>

#include "platform/file_io.h"
using PathChar = wchar_t;
#else
#include <unistd.h>
#include <csignal>
using PathChar = char;
#endif

namespace ls11 {
namespace {

// Who may touch the lists: nobody (idle), the program changing them, or the
// clean-up that ends the process. A change and the clean-up never overlap,
// whichever thread the interrupt arrives on.
enum : int { kIdle, kChanging, kCleaning };
std::atomic<int> g_state{kIdle};
std::atomic<int> g_pending_signal{0};

// A list of owned path copies. Files sit in slots that are reused once
// freed, so an extract of many entries keeps the list as short as the files
// in flight; folders keep the order they were made in.
struct PathList {
  PathChar** paths = nullptr;
  size_t count = 0;
  size_t capacity = 0;
};
PathList g_files;
PathList g_folders;
size_t* g_free_slots = nullptr;  // capacity of g_files, count in g_free_count
size_t g_free_count = 0;

#ifdef _WIN32
void remove_path(const PathChar* path, bool folder) {
  if (folder) {
    RemoveDirectoryW(path);
  } else {
    DeleteFileW(path);
  }
}
#else
void remove_path(const PathChar* path, bool folder) {
  if (folder) {
    rmdir(path);
  } else {
    unlink(path);
  }
}
#endif

[[noreturn]] void remove_all_and_exit(int signal_number) {
  for (size_t i = 0; i < g_files.count; ++i) {
    if (g_files.paths[i]) remove_path(g_files.paths[i], false);
  }
  for (size_t i = g_folders.count; i-- > 0;) remove_path(g_folders.paths[i], true);
#ifdef _WIN32
  ExitProcess(static_cast<UINT>(128 + signal_number));
#else
  _exit(128 + signal_number);
#endif
}

// Cleans up and exits unless a change is under way (which then does it
// when it ends) or another thread cleans up already.
void clean_up_if_idle(int signal_number) {
  int expected = kIdle;
  if (g_state.compare_exchange_strong(expected, kCleaning)) remove_all_and_exit(signal_number);
}

void begin_change() {
  int expected = kIdle;
  while (!g_state.compare_exchange_weak(expected, kChanging)) {
    // Cleaning: the process ends in a moment. Changing: another thread.
    expected = kIdle;
  }
}

void end_change() {
  g_state.store(kIdle);
  const int signal_number = g_pending_signal.load();
  if (signal_number != 0) clean_up_if_idle(signal_number);
}

PathChar* copy_path(const std::string& path) {
#ifdef _WIN32
  const std::wstring text = platform::utf8_to_wide(path.c_str());
#else
  const std::string& text = path;
#endif
  PathChar* copy = new (std::nothrow) PathChar[text.size() + 1];
  if (copy) std::memcpy(copy, text.c_str(), (text.size() + 1) * sizeof(PathChar));
  return copy;
}

bool same_path(const PathChar* a, const PathChar* b) {
  while (*a != 0 && *a == *b) {
    ++a;
    ++b;
  }
  return *a == *b;
}

// Makes room for one more path; the free-slot stack grows with the files.
bool reserve(PathList& list, bool with_free_slots) {
  if (list.count < list.capacity) return true;
  const size_t capacity = list.capacity == 0 ? 16 : list.capacity * 2;
  PathChar** paths = new (std::nothrow) PathChar*[capacity];
  size_t* free_slots = with_free_slots ? new (std::nothrow) size_t[capacity] : nullptr;
  if (!paths || (with_free_slots && !free_slots)) {
    delete[] paths;
    delete[] free_slots;
    return false;
  }
  if (list.count != 0) std::memcpy(paths, list.paths, list.count * sizeof(PathChar*));
  delete[] list.paths;
  list.paths = paths;
  list.capacity = capacity;
  if (with_free_slots) {
    if (g_free_count != 0) std::memcpy(free_slots, g_free_slots, g_free_count * sizeof(size_t));
    delete[] g_free_slots;
    g_free_slots = free_slots;
  }
  return true;
}

#ifdef _WIN32
BOOL WINAPI on_console_event(DWORD event) {
  const int signal_number = event == CTRL_C_EVENT ? 2 : event == CTRL_BREAK_EVENT ? 21 : 1;
  g_pending_signal.store(signal_number);
  clean_up_if_idle(signal_number);
  // A change is under way on the main thread: it cleans up when it ends.
  return TRUE;
}
#else
void on_signal(int signal_number) {
  g_pending_signal.store(signal_number);
  clean_up_if_idle(signal_number);
}
#endif

}  // namespace

void install_interrupt_cleanup() {
#ifdef _WIN32
  SetConsoleCtrlHandler(on_console_event, TRUE);
#else
  for (const int signal_number : {SIGINT, SIGTERM, SIGHUP}) {
    struct sigaction previous;
    if (sigaction(signal_number, nullptr, &previous) != 0 || previous.sa_handler == SIG_IGN)
      continue;
    struct sigaction action = {};
    action.sa_handler = on_signal;
    sigemptyset(&action.sa_mask);
    sigaction(signal_number, &action, nullptr);
  }
#endif
}

bool track_file(const std::string& path, size_t& slot) {
  PathChar* copy = copy_path(path);
  if (!copy) return false;
  begin_change();
  bool tracked = true;
  if (g_free_count != 0) {
    slot = g_free_slots[--g_free_count];
    g_files.paths[slot] = copy;
  } else if (reserve(g_files, true)) {
    slot = g_files.count;
    g_files.paths[g_files.count++] = copy;
  } else {
    tracked = false;
  }
  end_change();
  if (!tracked) delete[] copy;
  return tracked;
}

void untrack_file(size_t slot) {
  begin_change();
  PathChar* path = g_files.paths[slot];
  g_files.paths[slot] = nullptr;
  g_free_slots[g_free_count++] = slot;
  end_change();
  delete[] path;
}

bool track_folder(const std::string& path) {
  PathChar* copy = copy_path(path);
  if (!copy) return false;
  begin_change();
  const bool tracked = reserve(g_folders, false);
  if (tracked) g_folders.paths[g_folders.count++] = copy;
  end_change();
  if (!tracked) delete[] copy;
  return tracked;
}

void untrack_folder(const std::string& path) {
  PathChar* const match = copy_path(path);
  if (!match) return;
  PathChar* removed = nullptr;
  begin_change();
  for (size_t i = g_folders.count; i-- > 0;) {
    if (same_path(g_folders.paths[i], match)) {
      removed = g_folders.paths[i];
      std::memmove(g_folders.paths + i, g_folders.paths + i + 1,
                   (g_folders.count - i - 1) * sizeof(PathChar*));
      --g_folders.count;
      break;
    }
  }
  end_change();
  delete[] removed;
  delete[] match;
}

}  // namespace ls11
