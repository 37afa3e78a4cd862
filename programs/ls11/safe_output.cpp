#include "ls11/safe_output.h"

#include <cerrno>

#include "ls11/report.h"
#include "io/file_io.h"
#include "tool_support/interrupt_cleanup.h"
#include "tool_support/output_files.h"

namespace ls11 {

namespace {

const char kExists[] = "already exists (--force replaces it)";
const char kNotAFile[] = "is not a file (only files and symbolic links are replaced)";

// Why `target` may not be written now, or "".
std::string refusal(const std::string& target, bool replace, bool& exists) {
  int error = 0;
  const PathKind kind = path_kind(target, error);
  exists = kind != PathKind::missing;
  if (error != 0) return with_reason("cannot look at the file", error);
  if (kind == PathKind::other) return kNotAFile;
  if (exists && !replace) return kExists;
  return "";
}

bool fail(SafeOutput& output, const std::string& failure) {
  output.failure = failure;
  abandon_output(output);
  return false;
}

}  // namespace

SafeOutput::~SafeOutput() { abandon_output(*this); }

bool output_allowed(const std::string& target, bool replace) {
  bool exists = false;
  const std::string reason = refusal(target, replace, exists);
  if (!reason.empty()) report_error(target, reason);
  return reason.empty();
}

bool begin_output(const std::string& target, SafeOutput& output, bool replace) {
  abandon_output(output);
  output.target = target;
  output.replace = replace;
  output.replaced = false;
  output.failure.clear();
  const int error = create_temporary(folder_part(target), output.temporary, output.file,
                                     output.cleanup_slot);
  if (error == 0) return true;
  output.temporary.clear();
  output.failure = with_reason("cannot create the file", error);
  return false;
}

bool write_output(SafeOutput& output, const void* data, size_t size) {
  errno = 0;
  if (write_exact(output.file, data, size)) return true;
  return fail(output, with_reason("cannot write the file", errno != 0 ? errno : EIO));
}

bool close_output(SafeOutput& output) {
  if (!output.file) return !output.temporary.empty();
  int error = 0;
  if (output.replace && path_kind(output.target, error) == PathKind::regular) {
    error = copy_permissions(output.target, output.file);
    if (error != 0) return fail(output, with_reason("cannot keep the file's permissions", error));
  }
  errno = 0;
  const bool closed = std::fclose(output.file) == 0;
  output.file = nullptr;
  if (!closed) return fail(output, with_reason("cannot write the file", errno != 0 ? errno : EIO));
  return true;
}

bool commit_output(SafeOutput& output) {
  if (!close_output(output)) return false;
  bool exists = false;
  const std::string reason = refusal(output.target, output.replace, exists);
  if (!reason.empty()) return fail(output, reason);
  const int error = output.replace ? rename_replacing(output.temporary, output.target)
                                   : rename_no_replace(output.temporary, output.target);
  if (error == EEXIST) return fail(output, kExists);
  if (error != 0) return fail(output, with_reason("cannot write the file", error));
  untrack_file(output.cleanup_slot);
  output.temporary.clear();
  output.replaced = exists;
  return true;
}

void abandon_output(SafeOutput& output) {
  if (output.file) std::fclose(output.file);
  output.file = nullptr;
  if (output.temporary.empty()) return;
  remove_file(output.temporary);
  untrack_file(output.cleanup_slot);
  output.temporary.clear();
}

}  // namespace ls11
