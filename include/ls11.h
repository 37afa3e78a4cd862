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
#ifdef LS11_BUILDING
#define LS11_API __declspec(dllexport)
#else
#define LS11_API __declspec(dllimport)
#endif
#elif defined(__GNUC__)
#define LS11_API __attribute__((visibility("default")))
#else
#define LS11_API
#endif

/* The version of this header. ls11_version_string() gives the version of
   the library a program runs with, which may be newer. A release that adds
   a function raises MINOR (and the functions' symbol version, so that a
   program needing it refuses to load against an older library); one that
   changes what a program built against an older header relies on raises
   MAJOR and the shared library's soname. LS11_VERSION_STRING is
   "MAJOR.MINOR", with ".PATCH" appended when PATCH is not 0. */
#define LS11_VERSION_MAJOR 0
#define LS11_VERSION_MINOR 62
#define LS11_VERSION_PATCH 0
#define LS11_VERSION_STRING "0.62"

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
   until ls11_close. A path that is no regular file (a pipe, a FIFO, a
   character device) is read to its end first, up to 4 GiB - 1 bytes, and
   the archive holds its bytes (since 0.61; ls11_open_with_reason below).
   On success *archive is the new archive; on failure it is set to NULL
   (when archive itself is not NULL).
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
LS11_API ls11_status ls11_get_entry(const ls11_archive *archive, uint32_t index, ls11_entry *entry);

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

/* ---- Since 0.61: reasons, output through a callback, the header check ---- */

/* unls11's report line for a status ("OK.", "Failed to decode the file!"; a
   static string). Any int is accepted, as by ls11_status_string. */
LS11_API const char *ls11_status_report(int status);

/* The format a file's first bytes name: 10, 11 or 12 when they are "LS10",
   "LS11" or "LS12" followed by 12 zero bytes, 0 for anything else (fewer
   than 16 bytes, or header NULL). Only the header is looked at: the file
   may still fail to open. */
LS11_API int ls11_header_format(const void *header, size_t size);

/* Why a call failed, in more detail than its status, which stays what the
   functions above document. The numbers in found and expected are those
   each code's comment names; the others are 0. */
typedef enum ls11_reason_code {
  LS11_REASON_NONE = 0,             /* success, or nothing more is known */
  LS11_REASON_CANNOT_OPEN = 1,      /* system_error: why (an errno value) */
  LS11_REASON_CANNOT_READ = 2,      /* system_error; entry: whose block, or none */
  LS11_REASON_EMPTY = 3,            /* the file holds no byte */
  LS11_REASON_SHORT_HEADER = 4,     /* found: the length, expected: 16 */
  LS11_REASON_UNKNOWN_KIND = 5,     /* found: the first 4 bytes, big-endian */
  LS11_REASON_HEADER_PADDING = 6,   /* found: where the first nonzero byte of
                                       bytes 4 to 15 is */
  LS11_REASON_TOO_LONG = 7,         /* found: the length (of a stream, the
                                       bytes read before it was refused),
                                       expected: 4 GiB - 1, the longest */
  LS11_REASON_NO_TABLE = 8,         /* found: the length, expected: 284 (the
                                       header, dictionary and entry 0) */
  LS11_REASON_FIRST_OFFSET = 9,     /* found: entry 0's offset, expected:
                                       where the table ends (276 + 12 x the
                                       entry count, 288 at least) */
  LS11_REASON_TABLE_CUT = 10,       /* expected: the bytes the table needs,
                                       found: the length */
  LS11_REASON_LENGTH_MISMATCH = 11, /* expected: the length the table adds
                                       up to, found: the length */
  LS11_REASON_BLOCK_OUTSIDE = 12,   /* entry: whose block, expected: where it
                                       ends, found: the file's length */
  LS11_REASON_BLOCK_CORRUPT = 13,   /* entry: whose block does not decode to
                                       its unpacked size */
  LS11_REASON_NO_MEMORY = 14,       /* an allocation failed */
  LS11_REASON_ENTRY_TOO_LARGE = 15, /* entry: which (for ls11_pack_to, its
                                       place in the list), found: its size,
                                       expected: 4 GiB - 1, the largest */
  LS11_REASON_FILE_TOO_LARGE = 16,  /* found: the length the file would
                                       have, expected: the largest */
  LS11_REASON_NO_SUCH_ENTRY = 17,   /* entry: the index named, expected: the
                                       entry count */
  LS11_REASON_NAMED_TWICE = 18,     /* entry: the index replaced twice */
  LS11_REASON_WRITE_REFUSED = 19,   /* the write callback returned nonzero */
  LS11_REASON_ARGUMENT = 20         /* an argument out of range or NULL */
} ls11_reason_code;

/* No entry is concerned. */
#define LS11_NO_ENTRY 0xFFFFFFFFu

/* The functions below that take an ls11_reason fill it when it is not NULL,
   on success too (code LS11_REASON_NONE). */
typedef struct ls11_reason {
  int code;          /* LS11_REASON_* */
  uint32_t entry;    /* the entry concerned, or LS11_NO_ENTRY */
  uint64_t found;    /* what was found: a length, an offset, header bytes */
  uint64_t expected; /* what was needed or expected */
  int system_error;  /* the system's errno value, or 0 */
} ls11_reason;

/* A short description of a reason code ("the entry table is cut short"; a
   static string). Any int is accepted: an unknown code gets a description
   of its own, never NULL. */
LS11_API const char *ls11_reason_string(int code);

/* The reason as a sentence with its numbers ("the entry table is cut
   short: it needs 4000 bytes, the file has 300"), written to buffer as a
   NUL-terminated string cut to size bytes (nothing written when size is
   0). Returns the length of the whole sentence without the NUL, as
   snprintf does; 0 for a NULL reason. The system error is not described:
   the caller's own words for errno go with it. */
LS11_API size_t ls11_reason_text(const ls11_reason *reason, char *buffer, size_t size);

/* ls11_open and ls11_open_memory, saying why the file does not open. A path
   that is no regular file (a pipe, a FIFO, a character device) is read to
   its end first and kept in memory, up to 4 GiB - 1 bytes; a longer one is
   LS11_ERR_FORMAT with LS11_REASON_TOO_LONG, a failed read LS11_ERR_OPEN
   with LS11_REASON_CANNOT_READ. ls11_open does the same. */
LS11_API ls11_status ls11_open_with_reason(const char *path, ls11_archive **archive,
                                           ls11_reason *reason);
LS11_API ls11_status ls11_open_memory_with_reason(const void *data, size_t size,
                                                  ls11_archive **archive, ls11_reason *reason);

/* Where ls11_read_entry_to, ls11_pack_to and ls11_replace_to put bytes:
   called with the output's bytes in order, in pieces of any size (never 0).
   Returning nonzero stops the call, which then returns LS11_ERR_WRITE with
   LS11_REASON_WRITE_REFUSED; what was handed before stays handed. */
typedef int (*ls11_write_fn)(void *context, const void *data, size_t size);

/* Reads entry index and hands its unpacked_size decoded bytes to write in
   one call, once the whole entry is read and decoded: a damaged entry, or
   an empty one, makes no call. The bytes lie in the archive's own buffers
   (the largest packed block, capped by the file's length, and the largest
   compressed entry) or in the file's memory, so the caller needs none; they
   stay valid during the call only. The statuses of ls11_read_entry, except
   that no capacity is checked, and LS11_ERR_WRITE. Reasons: BLOCK_OUTSIDE,
   CANNOT_READ, BLOCK_CORRUPT, NO_MEMORY, NO_SUCH_ENTRY, WRITE_REFUSED. */
LS11_API ls11_status ls11_read_entry_to(ls11_archive *archive, uint32_t index, ls11_write_fn write,
                                        void *context, ls11_reason *reason);

/* ls11_pack writing the file to write instead of into memory: the packed
   blocks are held in memory, the file is not. Nothing is written unless
   every entry packed and the file fits in 4 GiB - 1 bytes. Same statuses,
   and LS11_ERR_WRITE. Reasons: ENTRY_TOO_LARGE (entry: its place in the
   list), FILE_TOO_LARGE, NO_MEMORY, WRITE_REFUSED, ARGUMENT. */
LS11_API ls11_status ls11_pack_to(const void *const *entries, const size_t *sizes, uint32_t count,
                                  const ls11_pack_options *options, ls11_write_fn write,
                                  void *context, ls11_reason *reason);

/* ls11_replace writing the file to write instead of into memory; kept
   blocks are copied from the archive's file one at a time. Nothing is
   written unless every kept entry decodes, every replacement is encoded and
   the file fits. Same statuses, and LS11_ERR_WRITE; LS11_ERR_CORRUPT after
   the first write means the archive's file could not be read again (it
   changed). Reasons, with the entry concerned: NO_SUCH_ENTRY, NAMED_TWICE,
   ENTRY_TOO_LARGE (a replacement), BLOCK_OUTSIDE, CANNOT_READ,
   BLOCK_CORRUPT (a kept entry); FILE_TOO_LARGE, NO_MEMORY, WRITE_REFUSED,
   ARGUMENT. */
LS11_API ls11_status ls11_replace_to(ls11_archive *archive, const ls11_replacement *replacements,
                                     uint32_t count, ls11_write_fn write, void *context,
                                     ls11_reason *reason);

/* ---- Since 0.62: packing into an output that can seek ---- */

/* Where ls11_pack_at puts bytes: size bytes (never 0) at offset from the
   start of the output. Returning nonzero stops the call, which then
   returns LS11_ERR_WRITE with LS11_REASON_WRITE_REFUSED. */
typedef int (*ls11_write_at_fn)(void *context, uint64_t offset, const void *data, size_t size);

/* ls11_pack_to for an output that can seek, such as a file: each block is
   written at its place as soon as it and every block before it are packed,
   while later ones are still being packed, and the header, dictionary and
   entry table (the bytes before offset 276 + 12 * count) last. Every byte
   of the file is written once; the blocks in increasing offsets, from
   whichever packing thread finished them, one call at a time. A failure
   may come after blocks were written: what was written is then no LS11
   file, and the caller discards it (a temporary file, say). Entries that
   might not fit in 4 GiB - 1 bytes stored are all packed before any write,
   as ls11_pack_to does. Same statuses and reasons as ls11_pack_to. */
LS11_API ls11_status ls11_pack_at(const void *const *entries, const size_t *sizes, uint32_t count,
                                  const ls11_pack_options *options, ls11_write_at_fn write_at,
                                  void *context, ls11_reason *reason);

#ifdef __cplusplus
}
#endif

#endif /* LS11_H */
