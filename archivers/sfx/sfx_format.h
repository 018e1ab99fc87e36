/* Layout of a self-extracting program: [stub][LZH archive with its end byte][control text]
 * [footer]. Shared by the archiver library, which writes it, and the stub, which reads it. */
#ifndef QUILLMERE_SFX_FORMAT_H
#define QUILLMERE_SFX_FORMAT_H

#include <stddef.h>
#include <stdint.h>

#define SFX_FOOTER_SIZE 40
#define SFX_MAGIC "QMSFX01" /* 8 bytes with its terminating zero */

/* footer flags */
#define SFX_SHOW_WINDOW 1u /* list every file as it is extracted */
#define SFX_TEMPORARY 2u   /* extract into a fresh temporary folder (%WORK%) */
#define SFX_WITH_PATHS 4u  /* keep the archive's folders */
#define SFX_AUTORUN 8u     /* run $Command after a complete extraction */

typedef struct sfx_footer {
  uint64_t archive_offset;
  uint64_t archive_length;
  uint32_t control_length;
  uint32_t flags;
  uint32_t crc32; /* of the archive and the control text */
} sfx_footer;

static inline void sfx_put32(unsigned char* p, uint32_t v) {
  p[0] = (unsigned char)v;
  p[1] = (unsigned char)(v >> 8);
  p[2] = (unsigned char)(v >> 16);
  p[3] = (unsigned char)(v >> 24);
}
static inline uint32_t sfx_get32(const unsigned char* p) {
  return (uint32_t)p[0] | ((uint32_t)p[1] << 8) | ((uint32_t)p[2] << 16) | ((uint32_t)p[3] << 24);
}

static inline void sfx_encode_footer(const sfx_footer* f, unsigned char out[SFX_FOOTER_SIZE]) {
  const char magic[8] = SFX_MAGIC;
  for (int i = 0; i < 8; ++i) out[i] = (unsigned char)magic[i];
  sfx_put32(out + 8, (uint32_t)f->archive_offset);
  sfx_put32(out + 12, (uint32_t)(f->archive_offset >> 32));
  sfx_put32(out + 16, (uint32_t)f->archive_length);
  sfx_put32(out + 20, (uint32_t)(f->archive_length >> 32));
  sfx_put32(out + 24, f->control_length);
  sfx_put32(out + 28, f->flags);
  sfx_put32(out + 32, f->crc32);
  sfx_put32(out + 36, 0);
}

/* Returns 0 when the bytes are a footer. */
static inline int sfx_decode_footer(const unsigned char in[SFX_FOOTER_SIZE], sfx_footer* f) {
  const char magic[8] = SFX_MAGIC;
  for (int i = 0; i < 8; ++i)
    if (in[i] != (unsigned char)magic[i]) return -1;
  f->archive_offset = sfx_get32(in + 8) | ((uint64_t)sfx_get32(in + 12) << 32);
  f->archive_length = sfx_get32(in + 16) | ((uint64_t)sfx_get32(in + 20) << 32);
  f->control_length = sfx_get32(in + 24);
  f->flags = sfx_get32(in + 28);
  f->crc32 = sfx_get32(in + 32);
  return 0;
}

/* CRC-32 (IEEE, reflected 0xEDB88320), bytewise. */
static inline uint32_t sfx_crc32(uint32_t crc, const void* data, size_t n) {
  static uint32_t table[256];
  static int ready;
  if (!ready) {
    for (uint32_t i = 0; i < 256; ++i) {
      uint32_t c = i;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? (c >> 1) ^ 0xEDB88320u : c >> 1;
      table[i] = c;
    }
    ready = 1;
  }
  const unsigned char* p = (const unsigned char*)data;
  crc = ~crc;
  while (n--) crc = (crc >> 8) ^ table[(crc ^ *p++) & 0xFF];
  return ~crc;
}

#endif
