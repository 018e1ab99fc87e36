/* LZH data codec shared by the archiver library and the self-extractor stub (plain C, libc
 * only): CRC-16/ARC and the decoder of stored and sliding-dictionary Huffman data. */
#ifndef QUILLMERE_LZH_CODEC_H
#define QUILLMERE_LZH_CODEC_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Results of the codec and the archive reader. */
enum {
  LZH_OK = 0,
  LZH_E_CORRUPT = 1,   /* the compressed data are malformed */
  LZH_E_TRUNCATED = 2, /* the data end before the declared size */
  LZH_E_READ = 3,      /* the archive could not be read */
  LZH_E_WRITE = 4,     /* the output could not be written (disk full, ...) */
  LZH_E_NOMEM = 5,
  LZH_E_METHOD = 6, /* a method this codec does not know */
  LZH_E_CRC = 7,    /* the data decoded, but their CRC differs */
  LZH_E_HEADER = 8, /* a member header is malformed */
  LZH_E_UNSAFE = 9, /* a name or link that would leave the target folder */
  LZH_E_EXISTS = 10 /* the target file exists and may not be replaced */
};

/* Method numbers: the dictionary bits of the sliding methods, 0 for stored data. */
enum { LZH_STORE = 0, LZH_M5 = 13, LZH_M6 = 15, LZH_M7 = 16 };

/* Reads up to n bytes; returns the count (0 at the end) or -1 on error. */
typedef long (*lzh_read_fn)(void* ctx, unsigned char* buf, size_t n);
/* Writes n bytes; returns 0 or -1 on error. */
typedef int (*lzh_write_fn)(void* ctx, const unsigned char* buf, size_t n);

uint16_t lzh_crc16(uint16_t crc, const void* data, size_t n);

/* Decodes `packed` bytes of one member into exactly `original` bytes. method is one of the
 * LZH_* method numbers. The CRC-16 of the output is stored in *crc. Never writes more than
 * `original` bytes and never refers before the start of the output. */
int lzh_decode(int method, uint64_t packed, uint64_t original, lzh_read_fn read, void* rctx,
               lzh_write_fn write, void* wctx, uint16_t* crc);

const char* lzh_strerror(int code);

#ifdef __cplusplus
}
#endif

#endif
