/* Decodes an LS11 file into the bytes unls11 writes, entry by entry, and
   lists its entries on the way: example FILE.LS11 OUTPUT */
#include <stdio.h>
#include <stdlib.h>

#include <ls11.h>

int main(int argc, char **argv) {
  ls11_archive *archive = NULL;
  ls11_status status;
  FILE *output;
  uint32_t i;
  if (argc != 3) {
    fprintf(stderr, "usage: example FILE.LS11 OUTPUT\n");
    return 2;
  }
  status = ls11_open(argv[1], &archive);
  if (status != LS11_OK) {
    fprintf(stderr, "%s: %s\n", argv[1], ls11_status_string(status));
    return 1;
  }
  output = fopen(argv[2], "wb");
  if (!output) {
    ls11_close(archive);
    return 1;
  }
  printf("LS%d, %u entries (libls11 %s)\n", ls11_format(archive),
         (unsigned)ls11_entry_count(archive), ls11_version_string());
  for (i = 0; i < ls11_entry_count(archive) && status == LS11_OK; ++i) {
    ls11_entry entry;
    void *bytes;
    ls11_get_entry(archive, i, &entry);
    printf("%u: %u -> %u bytes\n", (unsigned)i, (unsigned)entry.packed_size,
           (unsigned)entry.unpacked_size);
    /* One byte more than needed, so that an empty entry is not malloc(0). */
    bytes = malloc((size_t)entry.unpacked_size + 1);
    status = bytes ? ls11_read_entry(archive, i, bytes, entry.unpacked_size) : LS11_ERR_NO_MEMORY;
    if (status == LS11_OK && fwrite(bytes, 1, entry.unpacked_size, output) != entry.unpacked_size) {
      status = LS11_ERR_WRITE;
    }
    free(bytes);
  }
  ls11_close(archive);
  if (fclose(output) != 0 && status == LS11_OK) status = LS11_ERR_WRITE;
  if (status != LS11_OK) fprintf(stderr, "%s: %s\n", argv[1], ls11_status_string(status));
  return status == LS11_OK ? 0 : 1;
}
