/*
 * ls11.h - reading and writing LS11 container files (libls11, ls11kit).
 *
 * An LS11 file holds a 16-byte header naming its format (LS10, LS11 or
 * LS12), a 256-byte dictionary, a table of entries, and one block per entry,
 * stored as it is or compressed with a dictionary-driven bit code.
 *
 * Conventions:
 * - Every function that can fail returns an ls11_status; nothing is thrown
 *   and nothing is printed. Arguments are checked: a NULL pointer where an
 *   object is needed, or a value out of range, gives LS11_ERR_ARGUMENT and
 *   changes nothing.
 * - The library keeps no state between calls outside the objects it hands
 *   out. Different archives may be used on different threads at the same
 *   time; one archive must not be used by two threads at once.
 * - Paths are UTF-8 on every system (converted to UTF-16 on Windows).
 * - No input, however damaged, makes the library read or write outside the
 *   buffers it is given, and memory for reading stays bounded by the entry
 *   table and the largest block that is read.
 */
#ifndef LS11_H
#define LS11_H

#include <stddef.h>
#include <stdint.h>

#if defined(_WIN32) && !defined(LS11_STATIC)
#  ifdef LS11_BUILDING
#    define LS11_API __declspec(dllexport)
#  else
#    define LS11_API __declspec(dllimport)
#  endif
#elif defined(__GNUC__)
#  define LS11_API __attribute__((visibility("default")))
#else
#  define LS11_API
#endif

/* The version of this header. ls11_version_string() gives the version of
   the library a program runs with, which may be newer. A release that adds
   a function raises MINOR (and the functions' symbol version, so that a
   program needing it refuses to load against an older library); one that
   changes what a program built against an older header relies on raises
   MAJOR and the shared library's soname. LS11_VERSION_STRING is
   "MAJOR.MINOR", with ".PATCH" appended when PATCH is not 0. */
#define LS11_VERSION_MAJOR 0
#define LS11_VERSION_MINOR 60
#define LS11_VERSION_PATCH 0
#define LS11_VERSION_STRING "0.60"

#ifdef __cplusplus
extern "C" {
#endif

/* Outcomes. 1 to 5 mean what unls11's statuses 1 to 5 mean. */
typedef enum ls11_status {
  LS11_OK = 0,
  LS11_ERR_OPEN = 1,      /* a file cannot be opened for reading */
  LS11_ERR_WRITE = 2,     /* a file cannot be created or written */
  LS11_ERR_FORMAT = 3,    /* not LS10/11/12, or the layout does not add up */
  LS11_ERR_CORRUPT = 4,   /* a block lies outside the file or does not decode */
  LS11_ERR_NO_MEMORY = 5, /* an allocation failed */
  LS11_ERR_ARGUMENT = 6,  /* a NULL pointer, an index or value out of range */
  LS11_ERR_TOO_LARGE = 7  /* the result would pass the format's 32-bit sizes */
} ls11_status;

/* Packing levels: every block stored as it is (identity dictionary), a fast
   parse, or the smallest file the encoder can find. */
typedef enum ls11_level {
  LS11_LEVEL_STORE = 0,
  LS11_LEVEL_FAST = 1,
  LS11_LEVEL_BEST = 2
} ls11_level;

/* An open LS11 file: its header, dictionary and entry table. */
typedef struct ls11_archive ls11_archive;

/* One entry of the table. A block is stored exactly when its two sizes are
   equal. data_offset is where its packed bytes start in the file. */
typedef struct ls11_entry {
  uint32_t packed_size, unpacked_size, data_offset;
} ls11_entry;

/* sizeof_options: set to sizeof(ls11_pack_options), so that a later
   library that adds fields knows which ones this program set; any other
   value gives LS11_ERR_ARGUMENT. format: 10, 11 or 12. level: LS11_LEVEL_*.
   threads: how many threads encode entries at once, 0 for one per core
   (never more than the entries, nor more than twice the cores or 4,
   whichever is more). The output is the same for every number of threads. */
typedef struct ls11_pack_options {
  size_t sizeof_options;
  int format;
  int level;
  int threads;
} ls11_pack_options;

/* The library's version, in the form of LS11_VERSION_STRING (a static
   string). */
LS11_API const char *ls11_version_string(void);

/* A short English description of a status (a static string). Any int is
   accepted: one that is no ls11_status gets a description of its own,
   never NULL. */
LS11_API const char *ls11_status_string(int status);

/* Decodes one compressed block of packed_size bytes with a file's 256-byte
   dictionary into out, which has room for unpacked_size bytes. Reads only
   packed[0, packed_size) and writes only out[0, unpacked_size). Allocates
   nothing.
   LS11_ERR_CORRUPT: the stream does not decode to exactly unpacked_size
   bytes (out's content is then unspecified).
   LS11_ERR_ARGUMENT: dictionary is NULL, packed or out is NULL with a
   nonzero size, or a size passes 4 GiB - 1. */
LS11_API ls11_status ls11_decode_block(const void *packed, size_t packed_size,
                                       const uint8_t dictionary[256], void *out,
                                       size_t unpacked_size);

/* Opens the LS11 file at path and reads its table; the file stays open
   until ls11_close. On success *archive is the new archive; on failure it
   is set to NULL (when archive itself is not NULL).
   LS11_ERR_OPEN: the file cannot be opened (missing, a folder, no right).
   LS11_ERR_FORMAT: the header is not LS10/LS11/LS12 followed by 12 zero
   bytes, the file is too short for entry 0, the table runs past the end,
   or the file's length does not match the table.
   LS11_ERR_NO_MEMORY, LS11_ERR_ARGUMENT (path or archive NULL). */
LS11_API ls11_status ls11_open(const char *path, ls11_archive **archive);

/* ls11_open for a whole file held in memory. The bytes are borrowed, not
   copied: they must stay unchanged until ls11_close. Same statuses, except
   LS11_ERR_OPEN; data may be NULL only when size is 0. */
LS11_API ls11_status ls11_open_memory(const void *data, size_t size, ls11_archive **archive);

/* Closes the file and frees everything the archive holds. NULL is fine. */
LS11_API void ls11_close(ls11_archive *archive);

/* The header's format, 10, 11 or 12; 0 for a NULL archive. */
LS11_API int ls11_format(const ls11_archive *archive);

/* The file's 256-byte dictionary, owned by the archive; NULL for a NULL
   archive. */
LS11_API const uint8_t *ls11_dictionary(const ls11_archive *archive);

/* The number of entries (at least 1 in any file that opens); 0 for a NULL
   archive. */
LS11_API uint32_t ls11_entry_count(const ls11_archive *archive);

/* Copies entry index of the table into *entry.
   LS11_ERR_ARGUMENT: archive or entry NULL, or index not below the count. */
LS11_API ls11_status ls11_get_entry(const ls11_archive *archive, uint32_t index,
                                    ls11_entry *entry);

/* Reads entry index and writes its unpacked_size decoded bytes to out,
   which has room for capacity bytes. The bytes are those unls11 writes for
   that entry.
   LS11_ERR_CORRUPT: the block does not lie wholly inside the file, cannot
   be read, or does not decode (out's first unpacked_size bytes are then
   unspecified).
   LS11_ERR_ARGUMENT (nothing written): archive NULL, index not below the
   count, capacity below the entry's unpacked_size, out NULL with a nonzero
   capacity.
   LS11_ERR_NO_MEMORY: the buffer for the block's packed bytes. */
LS11_API ls11_status ls11_read_entry(ls11_archive *archive, uint32_t index, void *out,
                                     size_t capacity);

/* Builds an LS11 file in memory in which entry i holds the sizes[i] bytes
   at entries[i], with one dictionary built for all of them. options NULL
   means format 11, LS11_LEVEL_BEST, one thread per core. On success *out is
   the file, of *out_size bytes, allocated by the library: free it with
   ls11_free. On failure *out is NULL and *out_size 0.
   LS11_ERR_ARGUMENT: count 0, entries, sizes, out or out_size NULL, an
   entry NULL with a nonzero size, a sizeof_options this library does not
   know, a format, level or thread count out of range.
   LS11_ERR_TOO_LARGE: an entry of 4 GiB or more, or a file that would pass
   4 GiB - 1 bytes.
   LS11_ERR_NO_MEMORY. */
LS11_API ls11_status ls11_pack(const void *const *entries, const size_t *sizes, uint32_t count,
                               const ls11_pack_options *options, void **out, size_t *out_size);

/* One entry to replace: its index and its new bytes. */
typedef struct ls11_replacement {
  uint32_t index;
  const void *data;
  size_t size;
} ls11_replacement;

/* Builds in memory a copy of archive's file in which each entry named in
   replacements holds the given bytes, of any length, encoded with the
   file's own dictionary at the best level (stored when that is not
   smaller, or when the dictionary lacks one of its bytes). The version, the
   dictionary, the order of the entries and every other entry's packed
   bytes stay exactly as they are; only the offsets are rewritten. Every
   entry that is kept is checked first, since it is copied unseen. On
   success *out is the file, of *out_size bytes: free it with ls11_free. On
   failure *out is NULL and *out_size 0.
   LS11_ERR_ARGUMENT: archive, out or out_size NULL, replacements NULL with
   a nonzero count, an index not below the entry count or named twice, data
   NULL with a nonzero size.
   LS11_ERR_CORRUPT: a kept entry's block lies outside the file or does not
   decode.
   LS11_ERR_TOO_LARGE: a replacement of 4 GiB or more, or a file that would
   pass 4 GiB - 1 bytes.
   LS11_ERR_NO_MEMORY. */
LS11_API ls11_status ls11_replace(ls11_archive *archive, const ls11_replacement *replacements,
                                  uint32_t count, void **out, size_t *out_size);

/* Frees what ls11_pack and ls11_replace returned. NULL is fine. */
LS11_API void ls11_free(void *p);

#ifdef __cplusplus
}
#endif

#endif /* LS11_H */
