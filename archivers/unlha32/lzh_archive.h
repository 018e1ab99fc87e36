/* Reading LZH archives (header levels 0, 1 and 2) and extracting them safely. Plain C over
 * libc, shared by the archiver library and the self-extractor stub. */
#ifndef QUILLMERE_LZH_ARCHIVE_H
#define QUILLMERE_LZH_ARCHIVE_H

#include <stddef.h>
#include <stdint.h>

#include "lzh_codec.h"

#ifdef __cplusplus
extern "C" {
#endif

enum { LZH_METHOD_UNKNOWN = -1, LZH_METHOD_DIR = -2 };

typedef struct lzh_member {
  uint64_t header_offset; /* from the start of the archive */
  uint64_t data_offset;
  uint64_t packed, original;
  int method; /* LZH_STORE, LZH_M5, LZH_M6, LZH_M7, LZH_METHOD_DIR or _UNKNOWN */
  char method_text[6];
  int level;
  int64_t mtime; /* Unix seconds */
  uint32_t mode; /* Unix mode with type bits, when has_mode */
  int has_mode;
  uint16_t crc;
  char* path; /* the stored name: folders and name joined with '/', UTF-8 when the
                 stored bytes were UTF-8 or CP932, raw otherwise */
} lzh_member;

typedef struct lzh_reader {
  int fd;
  uint64_t base; /* where the archive starts in the file */
  uint64_t pos;  /* next header, from base */
  uint64_t size; /* bytes from base to the end of the file */
  char error[256];
} lzh_reader;

void lzh_reader_init(lzh_reader* r, int fd, uint64_t base);
/* 1: *m holds the next member (free it with lzh_member_free); 0: end of archive;
 * negative: -LZH_E_HEADER or -LZH_E_READ with r->error set. Each member's data must end inside
 * the file, so the next header always lies strictly after the one just read. */
int lzh_next(lzh_reader* r, lzh_member* m);
void lzh_member_free(lzh_member* m);

/* A stored name as text (malloc'd, NUL-terminated): the bytes themselves when they are UTF-8,
 * else their CP932 reading when they are CP932, else the bytes unchanged. NULL when out of
 * memory. */
char* lzh_name_text(const char* raw, size_t n);

/* Cleans a stored name into a relative path of components joined by '/': splits on '/', '\'
 * and 0xFF, drops empty and "." components. Refuses (LZH_E_UNSAFE) "..", drive letters, a
 * leading separator, control characters and an empty result. */
int lzh_clean_path(const char* raw, char* out, size_t outsz);

typedef struct lzh_extract_opts {
  int with_paths;   /* keep folders; otherwise every file lands in the target itself */
  int overwrite;    /* replace existing files (atomically); otherwise leave them and report */
  int test_only;    /* decode and check, write nothing */
  int skip_control; /* pass over the top-level control file "$" */
  /* which members to take (by cleaned path); NULL takes all */
  int (*select)(void* ctx, const char* path);
  void* select_ctx;
  /* one line of the report per call */
  void (*note)(void* ctx, const char* line);
  void* note_ctx;
} lzh_extract_opts;

typedef struct lzh_extract_stats {
  unsigned files, folders, skipped, errors;
  uint64_t bytes;
} lzh_extract_stats;

/* Extracts (or tests) every selected member into the folder target_dirfd. Never writes outside
 * that folder, never follows or creates links, never creates devices; each file is written under
 * a temporary name and renamed into place only when its CRC is right. Returns LZH_OK when every
 * member went well, else the first error. */
int lzh_extract(int fd, uint64_t base, int target_dirfd, const lzh_extract_opts* opts,
                lzh_extract_stats* stats);

#ifdef __cplusplus
}
#endif

#endif
