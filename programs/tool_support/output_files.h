// The file operations behind outputs that appear whole or not at all:
// temporary files under random names, renames that replace the target or
// refuse to, and what an existing target is. Paths are UTF-8. Failures
// return an errno value (Windows errors are mapped to the nearest one);
// error_text turns it into the system's words.
#pragma once

#include <cstddef>
#include <cstdio>
#include <filesystem>
#include <string>

namespace ls11 {

enum class PathKind {
  missing,
  regular,
  symlink,  // the link itself, whatever it points at
  other,    // a folder, a device, a FIFO, a socket
};

// What is at `path`, without following a final symbolic link. `error` is
// set when the answer is unknown (the kind is then `other`).
PathKind path_kind(const std::string& path, int& error);

// What writing to `path` reaches once every symbolic link is followed: a
// stream is a pipe, a terminal or another character device, written as it
// is; `other` a folder, a socket or a block device. `error` is set when the
// answer is unknown (the kind is then `other`).
enum class OutputTarget { missing, file, stream, dangling_link, other };
OutputTarget output_target(const std::string& path, int& error);

// The path of the file that `path` names once every link is followed.
int resolve_links(const std::string& path, std::string& resolved);

// Whether the two paths name one file, links followed (false when either
// cannot be looked at).
bool same_file(const std::string& a, const std::string& b);

// Opens the stream at `path` for writing, standard output for "-", without
// creating or truncating anything; EEXIST when it turns out to be a regular
// file or a folder after all (it changed since output_target looked).
int open_stream(const std::string& path, std::FILE*& file);

// A UTF-8 path as the filesystem library takes it.
std::filesystem::path fs_path(const std::string& path);

// The folder part of `path` with its separator ("d/" for "d/x"), or "" for a
// name in the current folder.
std::string folder_part(const std::string& path);

// Creates a new file in `folder` (as folder_part gives it) under a name of
// fixed length with a random part, never opening an existing one, made with
// the usual permissions (the umask applies). The name is tracked for
// removal on an interrupt (interrupt_cleanup.h) from before it exists;
// untrack_file with `cleanup_slot` once it is renamed or removed.
int create_temporary(const std::string& folder, std::string& path, std::FILE*& file,
                     size_t& cleanup_slot);

// Gives the open `file` the permission bits of the regular file at
// `model`. A no-op on Windows, whose files have no such bits.
int copy_permissions(const std::string& model, std::FILE* file);

// Renames `from` to `to`, replacing what `to` names (a symbolic link itself
// is replaced, not its target).
int rename_replacing(const std::string& from, const std::string& to);

// Renames `from` to `to` only if `to` does not exist at that moment: EEXIST
// otherwise, decided by the system in one step.
int rename_no_replace(const std::string& from, const std::string& to);

// Creates one folder: 0, EEXIST when something is there already, or why not.
int make_folder(const std::string& path);

int remove_file(const std::string& path);
int remove_folder(const std::string& path);  // an empty one

std::string error_text(int error);

}  // namespace ls11
