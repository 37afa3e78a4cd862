#include "ls11/inputs.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <new>

#include "ls11.h"
#include "ls11/report.h"
#include "platform/file_io.h"
#include "tool_support/worker_threads.h"

namespace ls11 {

using platform::FilePtr;
using platform::make_file_ptr;

namespace {

// The first buffer for an input of unknown length; it doubles as needed.
constexpr uint64_t kFirstCapacity = uint64_t{64} * 1024;
// One read at most, so that a count always fits the C library's size_t.
constexpr uint64_t kLargestRead = 1u << 30;

const char* const kEntryTooLong = "too large for one entry (4 GiB - 1 bytes at most)";

bool grow(LoadedFile& loaded, uint64_t& capacity, uint64_t limit) {
  const uint64_t larger = std::min(limit, std::max<uint64_t>(capacity * 2, kFirstCapacity));
  std::unique_ptr<uint8_t[]> bytes(new (std::nothrow) uint8_t[larger]);
  if (!bytes) return false;
  if (loaded.size != 0) std::memcpy(bytes.get(), loaded.data, loaded.size);
  loaded.bytes = std::move(bytes);
  loaded.data = loaded.bytes.get();
  capacity = larger;
  return true;
}

// load_file on a file already open, which it closes; a failure is not
// reported but said in `reason`. A regular file whose recorded length is
// `room_size` is read into `room` when that is given.
LoadResult load_stream(std::FILE* stream, uint64_t limit, LoadedFile& loaded, std::string& reason,
                       uint8_t* room = nullptr, uint64_t room_size = 0) {
  loaded.size = 0;
  loaded.size_known = true;
  FilePtr file = make_file_ptr(stream);
  platform::wait_for_data(file.get());
  uint64_t recorded = 0;
  const bool regular = platform::recorded_length(file.get(), recorded);
  if (regular && recorded > limit) {
    loaded.size = recorded;
    return LoadResult::too_long;
  }
  // A regular file is usually read in one go into a buffer of its size.
  uint64_t capacity = std::min(limit, recorded);
  if (room != nullptr && regular && recorded == room_size) {
    loaded.data = room;
  } else {
    loaded.bytes.reset(new (std::nothrow) uint8_t[capacity]);
    loaded.data = loaded.bytes.get();
  }
  const char* failure = loaded.data ? nullptr : ls11_status_report(LS11_ERR_NO_MEMORY);
  while (!failure) {
    if (loaded.size == capacity) {
      // Full: one more byte tells the end from more to come.
      const int next = std::fgetc(file.get());
      if (next == EOF) break;
      if (capacity == limit) {
        loaded.size = limit + 1;
        loaded.size_known = false;
        return LoadResult::too_long;
      }
      if (!grow(loaded, capacity, limit)) {
        failure = ls11_status_report(LS11_ERR_NO_MEMORY);
        break;
      }
      loaded.data[loaded.size++] = static_cast<uint8_t>(next);
    }
    const size_t wanted = static_cast<size_t>(std::min(capacity - loaded.size, kLargestRead));
    const size_t got = std::fread(loaded.data + loaded.size, 1, wanted, file.get());
    loaded.size += got;
    if (got < wanted) break;  // the end, or an error
  }
  if (!failure && std::ferror(file.get())) failure = "cannot read the file";
  if (!failure) return LoadResult::ok;
  reason = with_reason(failure, failure == ls11_status_report(LS11_ERR_NO_MEMORY) ? 0 : errno);
  return LoadResult::failed;
}

}  // namespace

LoadResult read_input(const std::string& path, uint64_t limit, LoadedFile& loaded,
                      std::string& failure_reason, uint8_t* room, uint64_t room_size) {
  errno = 0;
  std::FILE* file = platform::open_input_file(path.c_str());
  if (!file) {
    loaded.size = 0;
    failure_reason = with_reason(ls11_status_string(LS11_ERR_OPEN), errno);
    return LoadResult::failed;
  }
  return load_stream(file, limit, loaded, failure_reason, room, room_size);
}

LoadResult load_file(const std::string& path, uint64_t limit, LoadedFile& loaded) {
  std::string reason;
  const LoadResult result = read_input(path, limit, loaded, reason);
  if (result == LoadResult::failed) report_error(path, reason);
  return result;
}

bool load_entry(const std::string& path, LoadedFile& loaded) {
  const LoadResult result = load_file(path, UINT32_MAX, loaded);
  if (result == LoadResult::too_long) report_error(path, kEntryTooLong);
  return result == LoadResult::ok;
}

namespace {

struct EntryLoads {
  const std::vector<std::string>* paths;
  std::vector<LoadedFile>* loaded;
  std::vector<LoadResult> results;
  std::vector<std::string> failures;
  std::vector<uint64_t> room;    // each regular file's length when listed
  std::vector<uint8_t*> places;  // and where in the shared buffer it goes
  std::vector<bool> streams;     // not regular files: read in order, on one thread
  std::atomic<size_t> next{0};
};

void load_one(EntryLoads& loads, size_t i) {
  loads.results[i] = read_input((*loads.paths)[i], UINT32_MAX, (*loads.loaded)[i],
                                loads.failures[i], loads.places[i], loads.room[i]);
}

void load_some(void* context) {
  EntryLoads& loads = *static_cast<EntryLoads*>(context);
  for (size_t i = loads.next.fetch_add(1); i < loads.paths->size(); i = loads.next.fetch_add(1)) {
    if (!loads.streams[i]) load_one(loads, i);
  }
}

}  // namespace

bool load_entries(const std::vector<std::string>& paths, unsigned threads,
                  std::vector<LoadedFile>& loaded, platform::LargeBuffer& shared) {
  loaded.resize(paths.size());
  EntryLoads loads{&paths,
                   &loaded,
                   std::vector<LoadResult>(paths.size(), LoadResult::failed),
                   std::vector<std::string>(paths.size()),
                   std::vector<uint64_t>(paths.size(), 0),
                   std::vector<uint8_t*>(paths.size(), nullptr),
                   std::vector<bool>(paths.size(), false)};
  // A file that has changed its length by the time it is read gets a
  // buffer of its own.
  uint64_t total = 0;
  for (size_t i = 0; i < paths.size(); ++i) {
    const bool regular = platform::regular_file_length(paths[i].c_str(), loads.room[i]);
    loads.streams[i] = !regular;
    if (regular && loads.room[i] <= UINT32_MAX) {
      total += loads.room[i];
    } else {
      loads.room[i] = 0;
    }
  }
  shared = platform::allocate_large_buffer(total <= SIZE_MAX ? static_cast<size_t>(total) : 0);
  uint8_t* place = shared.get();
  for (size_t i = 0; place != nullptr && i < paths.size(); ++i) {
    loads.places[i] = place;
    place += loads.room[i];
  }
  // A pipe or a device gives its bytes once, in the order they are asked
  // for: read by several threads at once, one named twice would be split
  // between its entries at random.
  for (size_t i = 0; i < paths.size(); ++i) {
    if (loads.streams[i]) load_one(loads, i);
  }
  run_on_threads(threads, paths.size(), load_some, &loads);
  // Reported as a load one after another would: the first failure only.
  for (size_t i = 0; i < paths.size(); ++i) {
    if (loads.results[i] == LoadResult::failed) report_error(paths[i], loads.failures[i]);
    if (loads.results[i] == LoadResult::too_long) {
      report_error(paths[i], kEntryTooLong);
    }
    if (loads.results[i] != LoadResult::ok) return false;
  }
  return true;
}

}  // namespace ls11
