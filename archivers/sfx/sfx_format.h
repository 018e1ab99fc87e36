/* Layout of a self-extracting program: [stub][info block][control text][LZH archive with its end
 * byte]. The archive ends the file, so readers that find it behind the stub see nothing after
 * it. The stub finds the info block where its own ELF image ends. Programs made before this
 * layout carried the same block as a footer: [stub][archive][control text][footer]; they are
 * still read. Shared by the archiver library, which writes it, and the stub, which reads it. */
#ifndef QUILLMERE_SFX_FORMAT_H
#define QUILLMERE_SFX_FORMAT_H

#include <elf.h>
#include <stddef.h>
#include <stdint.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#define SFX_INFO_SIZE 40
#define SFX_MAGIC "QMSFX02"        /* the info block after the stub (8 bytes with its zero) */
#define SFX_FOOTER_MAGIC "QMSFX01" /* the footer of older programs */

/* flags */
#define SFX_SHOW_WINDOW 1u /* list every file as it is extracted */
#define SFX_TEMPORARY 2u   /* extract into a fresh temporary folder (%WORK%) */
#define SFX_WITH_PATHS 4u  /* keep the archive's folders */
#define SFX_AUTORUN 8u     /* run $Command after a complete extraction */

typedef struct sfx_info {
  uint64_t archive_offset;
  uint64_t archive_length;
  uint64_t control_offset; /* not stored: follows from the layout */
  uint32_t control_length;
  uint32_t flags;
  uint32_t crc32; /* of the control text and the archive, in the order they lie in the file */
} sfx_info;

static inline void sfx_put32(unsigned char* p, uint32_t v) {
  p[0] = (unsigned char)v;
  p[1] = (unsigned char)(v >> 8);
  p[2] = (unsigned char)(v >> 16);
  p[3] = (unsigned char)(v >> 24);
}
static inline uint32_t sfx_get32(const unsigned char* p) {
  return (uint32_t)p[0] | ((uint32_t)p[1] << 8) | ((uint32_t)p[2] << 16) | ((uint32_t)p[3] << 24);
}

static inline void sfx_encode_info(const sfx_info* f, unsigned char out[SFX_INFO_SIZE]) {
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

/* Returns 0 when the bytes are a block with the given magic. */
static inline int sfx_decode_info(const unsigned char in[SFX_INFO_SIZE], const char magic[8],
                                  sfx_info* f) {
  for (int i = 0; i < 8; ++i)
    if (in[i] != (unsigned char)magic[i]) return -1;
  f->archive_offset = sfx_get32(in + 8) | ((uint64_t)sfx_get32(in + 12) << 32);
  f->archive_length = sfx_get32(in + 16) | ((uint64_t)sfx_get32(in + 20) << 32);
  f->control_length = sfx_get32(in + 24);
  f->flags = sfx_get32(in + 28);
  f->crc32 = sfx_get32(in + 32);
  return 0;
}

static inline int sfx_read_at(int fd, void* buf, size_t n, uint64_t off) {
  return pread(fd, buf, n, (off_t)off) == (ssize_t)n ? 0 : -1;
}

/* Where the ELF image at the start of the file ends: past its last header table, segment and
 * section. 0 when the file does not start with a 64-bit little-endian ELF image. */
static inline uint64_t sfx_elf_end(int fd) {
  Elf64_Ehdr eh;
  if (sfx_read_at(fd, &eh, sizeof eh, 0) != 0 || memcmp(eh.e_ident, ELFMAG, SELFMAG) != 0 ||
      eh.e_ident[EI_CLASS] != ELFCLASS64 || eh.e_ident[EI_DATA] != ELFDATA2LSB ||
      eh.e_phentsize != sizeof(Elf64_Phdr) || (eh.e_shnum && eh.e_shentsize != sizeof(Elf64_Shdr)))
    return 0;
  uint64_t end = sizeof eh;
  const uint64_t ph_end = eh.e_phoff + (uint64_t)eh.e_phnum * sizeof(Elf64_Phdr);
  const uint64_t sh_end = eh.e_shoff + (uint64_t)eh.e_shnum * sizeof(Elf64_Shdr);
  if (ph_end > end) end = ph_end;
  if (sh_end > end) end = sh_end;
  for (unsigned i = 0; i < eh.e_phnum; ++i) {
    Elf64_Phdr ph;
    if (sfx_read_at(fd, &ph, sizeof ph, eh.e_phoff + (uint64_t)i * sizeof ph) != 0) return 0;
    if (ph.p_offset + ph.p_filesz > end) end = ph.p_offset + ph.p_filesz;
  }
  for (unsigned i = 0; i < eh.e_shnum; ++i) {
    Elf64_Shdr sh;
    if (sfx_read_at(fd, &sh, sizeof sh, eh.e_shoff + (uint64_t)i * sizeof sh) != 0) return 0;
    if (sh.sh_type != SHT_NOBITS && sh.sh_offset + sh.sh_size > end)
      end = sh.sh_offset + sh.sh_size;
  }
  return end;
}

/* Finds the archive and control text of a self-extracting program: the info block where the
 * stub's ELF image ends, else an older program's footer. Returns 0 with *f filled when one is
 * found and every part lies inside the file. */
static inline int sfx_locate(int fd, sfx_info* f) {
  struct stat st;
  if (fstat(fd, &st) != 0 || st.st_size < SFX_INFO_SIZE) return -1;
  const uint64_t size = (uint64_t)st.st_size;
  unsigned char raw[SFX_INFO_SIZE];
  const uint64_t at = sfx_elf_end(fd);
  if (at > 0 && at <= size - SFX_INFO_SIZE && sfx_read_at(fd, raw, sizeof raw, at) == 0 &&
      sfx_decode_info(raw, SFX_MAGIC, f) == 0) {
    f->control_offset = at + SFX_INFO_SIZE;
    return f->control_length <= size - f->control_offset &&
                   f->archive_offset == f->control_offset + f->control_length &&
                   f->archive_length == size - f->archive_offset
               ? 0
               : -1;
  }
  if (sfx_read_at(fd, raw, sizeof raw, size - SFX_INFO_SIZE) != 0 ||
      sfx_decode_info(raw, SFX_FOOTER_MAGIC, f) != 0 || f->archive_offset > size ||
      f->archive_length > size - f->archive_offset ||
      f->control_length > size - f->archive_offset - f->archive_length ||
      f->archive_offset + f->archive_length + f->control_length + SFX_INFO_SIZE != size)
    return -1;
  f->control_offset = f->archive_offset + f->archive_length;
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
