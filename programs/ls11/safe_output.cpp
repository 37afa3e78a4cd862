#include "ls11/safe_output.h"

#include <cerrno>

#include "ls11/report.h"
#include "platform/file_io.h"
#include "tool_support/interrupt_cleanup.h"
#include "tool_support/output_files.h"

namespace ls11 {

namespace {

const char kExists[] = "already exists (--force replaces it)";
const char kNotAFile[] = "is not a file (only a file, or a link to one, is replaced)";
const char kDangling[] = "is a symbolic link to nothing (a link is written through only to a file)";
const char kChanged[] = "was replaced by something other than a file while it was written";
const char kInPlace[] = "is also an input that is not a file (it cannot be edited in place)";

// Where the bytes for `target` go.
struct Decision {
  std::string refusal;      // why they may not go anywhere, or ""
  std::string destination;  // the file to rename over (the target, or where its link points)
  bool exists = false;
  bool stream = false;
};

Decision decide(const std::string& target, bool replace, bool streams) {
  Decision decision{"", target, false, false};
  if (streams && target == "-") {
    decision.stream = true;
    return decision;
  }
  int error = 0;
  const PathKind kind = path_kind(target, error);
  decision.exists = kind != PathKind::missing;
  if (error == 0 && kind == PathKind::regular && !replace) decision.refusal = kExists;
  if (error != 0 || kind == PathKind::missing || kind == PathKind::regular) {
    if (error != 0) decision.refusal = with_reason("cannot look at the file", error);
    return decision;
  }
  // A link, or something other than a file: what it reaches decides.
  switch (output_target(target, error)) {
    case OutputTarget::stream:
      decision.stream = streams;
      if (!streams) decision.refusal = kNotAFile;
      break;
    case OutputTarget::file:
      if (!replace) {
        decision.refusal = kExists;
      } else if ((error = resolve_links(target, decision.destination)) != 0) {
        decision.refusal = with_reason("cannot follow the link", error);
      }
      break;
    case OutputTarget::dangling_link:
    case OutputTarget::missing: decision.refusal = kDangling; break;
    case OutputTarget::other: decision.refusal = kNotAFile; break;
  }
  if (error != 0 && decision.refusal.empty())
    decision.refusal = with_reason("cannot look at the file", error);
  return decision;
}

bool fail(SafeOutput& output, const std::string& failure) {
  output.failure = failure;
  abandon_output(output);
  return false;
}

}  // namespace

SafeOutput::~SafeOutput() { abandon_output(*this); }

bool output_allowed(const std::string& target, bool replace, bool streams) {
  const std::string reason = decide(target, replace, streams).refusal;
  if (!reason.empty()) report_error(target, reason);
  return reason.empty();
}

bool output_is_not_an_input(const std::string& target, const std::vector<std::string>& inputs) {
  for (const std::string& input : inputs) {
    int error = 0;
    if (output_target(input, error) == OutputTarget::file) continue;
    if (input == target || same_file(input, target)) {
      report_error(target, kInPlace);
      return false;
    }
  }
  return true;
}

bool begin_output(const std::string& target, SafeOutput& output, bool replace, bool streams) {
  abandon_output(output);
  output.target = target;
  output.replace = replace;
  output.replaced = false;
  output.failure.clear();
  const Decision decision = decide(target, replace, streams);
  output.destination = decision.destination;
  output.stream = decision.stream;
  if (!decision.refusal.empty()) {
    output.failure = decision.refusal;
    return false;
  }
  if (output.stream) {
    const int error = open_stream(target, output.file);
    if (error == 0) return true;
    output.failure = error == EEXIST ? kChanged : with_reason("cannot open the output", error);
    return false;
  }
  const int error = create_temporary(folder_part(output.destination), output.temporary, output.file,
                                     output.cleanup_slot);
  if (error == 0) return true;
  output.temporary.clear();
  output.failure = with_reason("cannot create the file", error);
  return false;
}

bool write_output(SafeOutput& output, const void* data, size_t size) {
  errno = 0;
  if (platform::write_exact(output.file, data, size)) return true;
  return fail(output, with_reason("cannot write the file", errno != 0 ? errno : EIO));
}

bool close_output(SafeOutput& output) {
  if (output.stream) return output.file != nullptr;  // closed by the commit
  if (!output.file) return !output.temporary.empty();
  int error = 0;
  if (output.replace && path_kind(output.destination, error) == PathKind::regular) {
    error = copy_permissions(output.destination, output.file);
    if (error != 0) return fail(output, with_reason("cannot keep the file's permissions", error));
  }
  errno = 0;
  const bool closed = std::fclose(output.file) == 0;
  output.file = nullptr;
  if (!closed) return fail(output, with_reason("cannot write the file", errno != 0 ? errno : EIO));
  return true;
}

bool commit_output(SafeOutput& output) {
  if (output.stream) {
    errno = 0;
    const bool closed = output.file && std::fclose(output.file) == 0;
    output.file = nullptr;
    output.stream = false;
    if (!closed) output.failure = with_reason("cannot write the output", errno != 0 ? errno : EIO);
    return closed;
  }
  if (!close_output(output)) return false;
  // Decided again at the rename: only a file, or nothing, is renamed over.
  int error = 0;
  const PathKind kind = path_kind(output.destination, error);
  if (error != 0) return fail(output, with_reason("cannot look at the file", error));
  if (output.replace && kind != PathKind::missing && kind != PathKind::regular) {
    return fail(output, kind == PathKind::symlink || output.destination != output.target
                            ? kChanged
                            : kNotAFile);
  }
  if (!output.replace && kind != PathKind::missing) return fail(output, kExists);
  error = output.replace ? rename_replacing(output.temporary, output.destination)
                         : rename_no_replace(output.temporary, output.destination);
  if (error == EEXIST) return fail(output, kExists);
  if (error != 0) return fail(output, with_reason("cannot write the file", error));
  untrack_file(output.cleanup_slot);
  output.temporary.clear();
  output.replaced = kind != PathKind::missing;
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
