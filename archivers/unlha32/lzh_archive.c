/* LZH header reader and safe extraction. Method identifiers are compared character by
 * character so that the self-extractor stub carries no method signature bytes of its own. */
#ifndef _GNU_SOURCE
#define _GNU_SOURCE
#endif
#include "lzh_archive.h"

#include <errno.h>
#include <fcntl.h>
#include <iconv.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <time.h>
#include <unistd.h>

#define MAX_EXT_TOTAL (1u << 20)
#define MAX_EXT_COUNT 4096

static uint32_t rd16(const unsigned char* p) {
  return (uint32_t)p[0] | ((uint32_t)p[1] << 8);
}
static uint32_t rd32(const unsigned char* p) {
  return rd16(p) | (rd16(p + 2) << 16);
}
static uint64_t rd64(const unsigned char* p) {
  return rd32(p) | ((uint64_t)rd32(p + 4) << 32);
}

static int read_at(int fd, void* buf, size_t n, uint64_t off) {
  size_t done = 0;
  while (done < n) {
    ssize_t got = pread(fd, (char*)buf + done, n - done, (off_t)(off + done));
    if (got < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    if (got == 0) break;
    done += (size_t)got;
  }
  return (int)(done == n);
}

/* '-' 'l' 'h' x '-' and the like, compared one byte at a time. */
static int method_of(const unsigned char* m) {
  if (m[0] != 0x2D || m[4] != 0x2D) return LZH_METHOD_UNKNOWN;
  if (m[1] == 0x6C && m[2] == 0x68) {
    switch (m[3]) {
      case 0x30:
        return LZH_STORE;
      case 0x35:
        return LZH_M5;
      case 0x36:
        return LZH_M6;
      case 0x37:
        return LZH_M7;
      case 0x64:
        return LZH_METHOD_DIR;
      default:
        return LZH_METHOD_UNKNOWN;
    }
  }
  if (m[1] == 0x6C && m[2] == 0x7A && m[3] == 0x34) return LZH_STORE;
  return LZH_METHOD_UNKNOWN;
}

static int looks_like_method(const unsigned char* m) {
  return m[0] == 0x2D && m[1] == 0x6C && (m[2] == 0x68 || m[2] == 0x7A) && m[4] == 0x2D;
}

static int set_error(lzh_reader* r, int code, const char* fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  vsnprintf(r->error, sizeof r->error, fmt, ap);
  va_end(ap);
  return -code;
}

void lzh_reader_init(lzh_reader* r, int fd, uint64_t base) {
  r->fd = fd;
  r->base = base;
  r->pos = 0;
  r->error[0] = 0;
  struct stat st;
  const uint64_t end = fstat(fd, &st) == 0 && st.st_size > 0 ? (uint64_t)st.st_size : 0;
  r->size = end > base ? end - base : 0;
}

void lzh_member_free(lzh_member* m) {
  free(m->path);
  m->path = NULL;
}

/* Folder and name parts gathered from the headers. */
typedef struct {
  unsigned char* name;
  size_t name_len;
  unsigned char* dir;
  size_t dir_len;
  int crc_at; /* offset of the header CRC field inside a level-2 header, or -1 */
} parts_t;

static int keep_bytes(unsigned char** dst, size_t* len, const unsigned char* src, size_t n) {
  free(*dst);
  *dst = (unsigned char*)malloc(n + 1);
  if (!*dst) return -1;
  memcpy(*dst, src, n);
  (*dst)[n] = 0;
  *len = n;
  return 0;
}

/* One extended header: type, payload, next size (counted in `size`). */
static int take_ext(lzh_member* m, parts_t* p, const unsigned char* e, size_t size, int at) {
  const unsigned char* pl = e + 1;
  size_t n = size - 3;
  switch (e[0]) {
    case 0x00:
      if (n >= 2) p->crc_at = at + 1;
      break;
    case 0x01:
      if (keep_bytes(&p->name, &p->name_len, pl, n)) return -1;
      break;
    case 0x02:
      if (keep_bytes(&p->dir, &p->dir_len, pl, n)) return -1;
      break;
    case 0x42:
      if (n >= 16) {
        m->packed = rd64(pl);
        m->original = rd64(pl + 8);
      }
      break;
    case 0x50:
      if (n >= 2) {
        m->mode = rd16(pl);
        m->has_mode = 1;
      }
      break;
    case 0x54:
      if (n >= 4) m->mtime = (int64_t)rd32(pl);
      break;
    default:
      break;
  }
  return 0;
}

static int64_t dos_to_unix(uint32_t t) {
  struct tm tm;
  memset(&tm, 0, sizeof tm);
  tm.tm_year = (int)((t >> 25) & 0x7F) + 80;
  tm.tm_mon = (int)((t >> 21) & 0x0F) - 1;
  tm.tm_mday = (int)((t >> 16) & 0x1F);
  tm.tm_hour = (int)((t >> 11) & 0x1F);
  tm.tm_min = (int)((t >> 5) & 0x3F);
  tm.tm_sec = (int)(t & 0x1F) * 2;
  tm.tm_isdst = -1;
  time_t v = mktime(&tm);
  return v == (time_t)-1 ? 0 : (int64_t)v;
}

static int is_utf8(const unsigned char* s, size_t k) {
  for (size_t i = 0; i < k;) {
    unsigned c = s[i];
    size_t len = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
    if (len == 0 || i + len > k || (len == 2 && c < 0xC2)) return 0;
    for (size_t j = 1; j < len; ++j)
      if ((s[i + j] & 0xC0) != 0x80) return 0;
    if (len == 3) {
      unsigned cp = ((c & 0x0F) << 12) | ((s[i + 1] & 0x3F) << 6) | (s[i + 2] & 0x3F);
      if (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
    }
    if (len == 4) {
      unsigned cp = ((c & 0x07) << 18) | ((s[i + 1] & 0x3F) << 12);
      if (cp < 0x10000 || cp > 0x10FFFF) return 0;
    }
    i += len;
  }
  return 1;
}

char* lzh_name_text(const char* raw, size_t k) {
  char* copy = (char*)malloc(k + 1);
  if (!copy) return NULL;
  memcpy(copy, raw, k);
  copy[k] = 0;
  if (is_utf8((const unsigned char*)raw, k)) return copy;
  iconv_t cd = iconv_open("UTF-8", "CP932");
  if (cd == (iconv_t)-1) return copy;
  size_t outsz = k * 3 + 1, inleft = k, outleft = outsz - 1;
  char* out = (char*)malloc(outsz);
  char *in = copy, *o = out;
  if (out && iconv(cd, &in, &inleft, &o, &outleft) != (size_t)-1) {
    *o = 0;
    iconv_close(cd);
    free(copy);
    return out;
  }
  iconv_close(cd);
  free(out);
  return copy; /* neither: keep the bytes */
}

/* Joins folder (0xFF-, '\'- or '/'-separated) and name into one '/'-separated text, read as
 * lzh_name_text reads it. */
static char* join_name(const parts_t* p) {
  size_t n = p->dir_len + 1 + p->name_len;
  char* raw = (char*)malloc(n + 1);
  if (!raw) return NULL;
  size_t k = 0;
  for (size_t i = 0; i < p->dir_len; ++i) raw[k++] = p->dir[i] == 0xFF ? '/' : (char)p->dir[i];
  if (p->dir_len && raw[k - 1] != '/') raw[k++] = '/';
  for (size_t i = 0; i < p->name_len; ++i) raw[k++] = p->name[i] == 0xFF ? '/' : (char)p->name[i];
  char* text = lzh_name_text(raw, k);
  free(raw);
  return text;
}

int lzh_next(lzh_reader* r, lzh_member* m) {
  unsigned char h[26];
  memset(m, 0, sizeof *m);
  const uint64_t at = r->base + r->pos;
  int got = read_at(r->fd, h, 1, at);
  if (got < 0) return set_error(r, LZH_E_READ, "cannot read the archive: %s", strerror(errno));
  if (got == 0) return 0; /* no end byte: the archive simply ends */
  int full = read_at(r->fd, h, sizeof h, at);
  if (h[0] == 0) {
    /* A level-2 header whose size is a multiple of 256 also starts with 0. */
    if (!(full == 1 && h[1] != 0 && h[20] == 2 && looks_like_method(h + 2))) return 0;
  }
  if (full != 1)
    return set_error(r, LZH_E_HEADER, "truncated header at offset %llu",
                     (unsigned long long)r->pos);
  if (!looks_like_method(h + 2))
    return set_error(r, LZH_E_HEADER, "no member header at offset %llu",
                     (unsigned long long)r->pos);
  parts_t p;
  memset(&p, 0, sizeof p);
  p.crc_at = -1;
  unsigned char* hdr = NULL;
  int rc = 0;
  m->header_offset = r->pos;
  m->method = method_of(h + 2);
  memcpy(m->method_text, h + 2, 5);
  m->method_text[5] = 0;
  for (int i = 0; i < 5; ++i)
    if (m->method_text[i] < 0x20 || m->method_text[i] > 0x7E) m->method_text[i] = '?';
  m->level = h[20];
  m->original = rd32(h + 11);
  if (m->level == 0 || m->level == 1) {
    const size_t total = (size_t)h[0] + 2;
    const size_t n = h[21];
    const size_t need = 24 + n + (m->level == 1 ? 3 : 0);
    if (total < need) {
      rc =
          set_error(r, LZH_E_HEADER, "header too short at offset %llu", (unsigned long long)r->pos);
      goto out;
    }
    hdr = (unsigned char*)malloc(total);
    if (!hdr || read_at(r->fd, hdr, total, at) != 1) {
      rc =
          set_error(r, LZH_E_HEADER, "truncated header at offset %llu", (unsigned long long)r->pos);
      goto out;
    }
    unsigned sum = 0;
    for (size_t i = 2; i < total; ++i) sum += hdr[i];
    if ((sum & 0xFF) != hdr[1]) {
      rc = set_error(r, LZH_E_HEADER, "header checksum mismatch at offset %llu",
                     (unsigned long long)r->pos);
      goto out;
    }
    if (keep_bytes(&p.name, &p.name_len, hdr + 22, n)) goto nomem;
    m->crc = (uint16_t)rd16(hdr + 22 + n);
    m->mtime = dos_to_unix(rd32(hdr + 15));
    if (hdr[19] & 0x10) m->method = m->method == LZH_STORE ? LZH_METHOD_DIR : m->method;
    uint64_t skip = rd32(hdr + 7);
    uint64_t ext_pos = at + total;
    if (m->level == 0) {
      if (total >= 24 + n + 12 && hdr[24 + n] == 'U') {
        m->mtime = (int64_t)rd32(hdr + 26 + n);
        m->mode = rd16(hdr + 30 + n);
        m->has_mode = 1;
      }
      m->packed = skip;
      m->data_offset = r->pos + total;
    } else {
      size_t next = rd16(hdr + 25 + n);
      uint64_t ext_total = 0;
      unsigned count = 0;
      while (next != 0) {
        if (next < 3 || ext_total + next > MAX_EXT_TOTAL || ++count > MAX_EXT_COUNT) {
          rc = set_error(r, LZH_E_HEADER, "bad extended header at offset %llu",
                         (unsigned long long)r->pos);
          goto out;
        }
        unsigned char* e = (unsigned char*)malloc(next);
        if (!e) goto nomem;
        if (read_at(r->fd, e, next, ext_pos) != 1) {
          free(e);
          rc = set_error(r, LZH_E_HEADER, "truncated extended header at offset %llu",
                         (unsigned long long)r->pos);
          goto out;
        }
        if (take_ext(m, &p, e, next, -1)) {
          free(e);
          goto nomem;
        }
        ext_pos += next;
        ext_total += next;
        size_t following = rd16(e + next - 2);
        free(e);
        next = following;
      }
      if (ext_total > skip) {
        rc = set_error(r, LZH_E_HEADER, "extended headers larger than the member at %llu",
                       (unsigned long long)r->pos);
        goto out;
      }
      m->packed = skip - ext_total;
      m->data_offset = r->pos + total + ext_total;
    }
  } else if (m->level == 2) {
    const size_t total = rd16(h);
    if (total < 26) {
      rc =
          set_error(r, LZH_E_HEADER, "header too short at offset %llu", (unsigned long long)r->pos);
      goto out;
    }
    hdr = (unsigned char*)malloc(total);
    if (!hdr || read_at(r->fd, hdr, total, at) != 1) {
      rc =
          set_error(r, LZH_E_HEADER, "truncated header at offset %llu", (unsigned long long)r->pos);
      goto out;
    }
    m->packed = rd32(hdr + 7);
    m->mtime = (int64_t)rd32(hdr + 15);
    m->crc = (uint16_t)rd16(hdr + 21);
    size_t off = 24;
    size_t next = rd16(hdr + 24);
    off = 26;
    while (next != 0) {
      if (next < 3 || off + next > total) {
        rc = set_error(r, LZH_E_HEADER, "bad extended header at offset %llu",
                       (unsigned long long)r->pos);
        goto out;
      }
      if (take_ext(m, &p, hdr + off, next, (int)off)) goto nomem;
      size_t following = rd16(hdr + off + next - 2);
      off += next;
      next = following;
    }
    if (p.crc_at >= 0) {
      uint16_t stored = (uint16_t)rd16(hdr + p.crc_at);
      hdr[p.crc_at] = hdr[p.crc_at + 1] = 0;
      if (lzh_crc16(0, hdr, total) != stored) {
        rc = set_error(r, LZH_E_HEADER, "header CRC mismatch at offset %llu",
                       (unsigned long long)r->pos);
        goto out;
      }
    }
    m->data_offset = r->pos + total;
  } else {
    rc = set_error(r, LZH_E_HEADER, "header level %d is not supported (offset %llu)", m->level,
                   (unsigned long long)r->pos);
    goto out;
  }
  if (m->method == LZH_METHOD_DIR) m->packed = m->original = 0;
  /* Sizes come from the archive: a member whose data would run past the end of the file (or
   * wrap round to a header already read) ends the walk, so no header is ever read twice. */
  if (m->data_offset <= r->pos || m->data_offset > r->size ||
      m->packed > r->size - m->data_offset) {
    rc = set_error(r, LZH_E_HEADER, "member data runs past the end of the file at offset %llu",
                   (unsigned long long)r->pos);
    goto out;
  }
  m->path = join_name(&p);
  if (!m->path) goto nomem;
  r->pos = m->data_offset + m->packed;
  rc = 1;
  goto out;
nomem:
  rc = set_error(r, LZH_E_NOMEM, "out of memory");
out:
  free(hdr);
  free(p.name);
  free(p.dir);
  if (rc != 1) lzh_member_free(m);
  return rc;
}

int lzh_clean_path(const char* raw, char* out, size_t outsz) {
  size_t k = 0;
  const unsigned char* s = (const unsigned char*)raw;
  if (*s == '/' || *s == '\\' || *s == 0xFF) return LZH_E_UNSAFE;
  while (*s) {
    const unsigned char* start = s;
    while (*s && *s != '/' && *s != '\\' && *s != 0xFF) {
      if (*s < 0x20 || *s == 0x7F) return LZH_E_UNSAFE;
      ++s;
    }
    size_t n = (size_t)(s - start);
    if (*s) ++s;
    if (n == 0 || (n == 1 && start[0] == '.')) continue;
    if (n == 2 && start[0] == '.' && start[1] == '.') return LZH_E_UNSAFE;
    if (n >= 2 && start[1] == ':') return LZH_E_UNSAFE;
    if (k + n + 2 > outsz) return LZH_E_UNSAFE;
    if (k) out[k++] = '/';
    memcpy(out + k, start, n);
    k += n;
  }
  if (k == 0) return LZH_E_UNSAFE;
  out[k] = 0;
  return LZH_OK;
}

/* ---- extraction ---- */

typedef struct {
  int fd;
  uint64_t off;
} src_t;

static long src_read(void* ctx, unsigned char* buf, size_t n) {
  src_t* s = (src_t*)ctx;
  for (;;) {
    ssize_t got = pread(s->fd, buf, n, (off_t)s->off);
    if (got < 0 && errno == EINTR) continue;
    if (got > 0) s->off += (uint64_t)got;
    return (long)got;
  }
}

typedef struct {
  int fd;
  int err;
} dst_t;

static int dst_write(void* ctx, const unsigned char* buf, size_t n) {
  dst_t* d = (dst_t*)ctx;
  while (n > 0) {
    ssize_t put = write(d->fd, buf, n);
    if (put < 0) {
      if (errno == EINTR) continue;
      d->err = errno;
      return -1;
    }
    buf += put;
    n -= (size_t)put;
  }
  return 0;
}

static void note(const lzh_extract_opts* o, const char* fmt, ...) {
  if (!o->note) return;
  char line[1024];
  va_list ap;
  va_start(ap, fmt);
  vsnprintf(line, sizeof line, fmt, ap);
  va_end(ap);
  o->note(o->note_ctx, line);
}

/* Opens (creating where missing) the folders of `path` below dirfd, without following links.
 * Leaves the last component's name in *leaf. Returns the parent's descriptor or -1. */
static int open_parent(int dirfd, char* path, int create, const char** leaf) {
  int fd = dup(dirfd);
  char* comp = path;
  for (;;) {
    char* slash = strchr(comp, '/');
    if (!slash) break;
    *slash = 0;
    int next = openat(fd, comp, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (next < 0 && errno == ENOENT && create) {
      if (mkdirat(fd, comp, 0777) == 0 || errno == EEXIST)
        next = openat(fd, comp, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    }
    *slash = '/';
    close(fd);
    if (next < 0) return -1;
    fd = next;
    comp = slash + 1;
  }
  *leaf = comp;
  return fd;
}

static int make_folder(int dirfd, const char* clean) {
  /* open_parent creates everything before the last '/', so append one */
  size_t n = strlen(clean);
  char* withslash = (char*)malloc(n + 2);
  if (!withslash) return -1;
  memcpy(withslash, clean, n);
  withslash[n] = '/';
  withslash[n + 1] = 0;
  const char* leaf;
  int fd = open_parent(dirfd, withslash, 1, &leaf);
  free(withslash);
  if (fd < 0) return -1;
  close(fd);
  return 0;
}

static mode_t current_umask(void) {
  mode_t m = umask(022);
  umask(m);
  return m;
}

static int extract_file(int fd, uint64_t base, int target, const lzh_member* m, const char* clean,
                        const lzh_extract_opts* o, mode_t mask, lzh_extract_stats* st) {
  src_t src = {fd, base + m->data_offset};
  uint16_t crc = 0;
  if (o->test_only) {
    int rc = lzh_decode(m->method, m->packed, m->original, src_read, &src, NULL, NULL, &crc);
    if (rc == LZH_OK && crc != m->crc) rc = LZH_E_CRC;
    if (rc != LZH_OK) {
      note(o, "NG  %s: %s", clean, lzh_strerror(rc));
      return rc;
    }
    note(o, "OK  %s", clean);
    st->files++;
    st->bytes += m->original;
    return LZH_OK;
  }
  char* path = strdup(clean);
  if (!path) return LZH_E_NOMEM;
  const char* leaf;
  int dir = open_parent(target, path, 1, &leaf);
  if (dir < 0) {
    note(o, "NG  %s: cannot create its folder (%s)", clean, strerror(errno));
    free(path);
    return LZH_E_WRITE;
  }
  int rc = LZH_OK;
  struct stat existing;
  int exists = fstatat(dir, leaf, &existing, AT_SYMLINK_NOFOLLOW) == 0;
  if (exists && (!o->overwrite || !S_ISREG(existing.st_mode))) {
    note(o, "--  %s: exists, left as it is", clean);
    st->skipped++;
    close(dir);
    free(path);
    return LZH_E_EXISTS;
  }
  struct statvfs vfs;
  if (fstatvfs(dir, &vfs) == 0 && (uint64_t)vfs.f_bavail * vfs.f_frsize < m->original) {
    note(o, "NG  %s: not enough free space (%llu bytes needed)", clean,
         (unsigned long long)m->original);
    close(dir);
    free(path);
    return LZH_E_WRITE;
  }
  char tmp[64];
  int out = -1;
  for (int attempt = 0; attempt < 100 && out < 0; ++attempt) {
    snprintf(tmp, sizeof tmp, ".qmx-%ld-%d-%d.part", (long)getpid(), rand() & 0xFFFFF, attempt);
    out = openat(dir, tmp, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (out < 0 && errno != EEXIST) break;
  }
  if (out < 0) {
    note(o, "NG  %s: cannot create (%s)", clean, strerror(errno));
    close(dir);
    free(path);
    return LZH_E_WRITE;
  }
  dst_t dst = {out, 0};
  rc = lzh_decode(m->method, m->packed, m->original, src_read, &src, dst_write, &dst, &crc);
  if (rc == LZH_OK && crc != m->crc) rc = LZH_E_CRC;
  if (rc == LZH_OK) {
    mode_t mode = (m->has_mode ? (mode_t)(m->mode & 0777) : 0666) & ~mask;
    fchmod(out, mode);
    struct timespec ts[2];
    ts[0].tv_sec = 0;
    ts[0].tv_nsec = UTIME_NOW;
    ts[1].tv_sec = (time_t)m->mtime;
    ts[1].tv_nsec = 0;
    futimens(out, ts);
  }
  if (close(out) != 0 && rc == LZH_OK) {
    dst.err = errno;
    rc = LZH_E_WRITE;
  }
  if (rc == LZH_OK) {
    int moved;
    if (o->overwrite) {
      moved = renameat(dir, tmp, dir, leaf);
    } else {
      moved = renameat2(dir, tmp, dir, leaf, RENAME_NOREPLACE);
      if (moved != 0 && (errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP)) {
        moved = linkat(dir, tmp, dir, leaf, 0);
        if (moved == 0) unlinkat(dir, tmp, 0);
      }
    }
    if (moved != 0) {
      rc = errno == EEXIST ? LZH_E_EXISTS : LZH_E_WRITE;
      note(o, "NG  %s: cannot put in place (%s)", clean, strerror(errno));
    }
  } else {
    note(o, "NG  %s: %s%s%s", clean, lzh_strerror(rc), dst.err ? ": " : "",
         dst.err ? strerror(dst.err) : "");
  }
  if (rc != LZH_OK) {
    unlinkat(dir, tmp, 0);
  } else {
    note(o, "OK  %s", clean);
    st->files++;
    st->bytes += m->original;
  }
  close(dir);
  free(path);
  return rc;
}

int lzh_extract(int fd, uint64_t base, int target, const lzh_extract_opts* o,
                lzh_extract_stats* st) {
  lzh_extract_stats local;
  if (!st) st = &local;
  memset(st, 0, sizeof *st);
  const mode_t mask = current_umask();
  lzh_reader r;
  lzh_reader_init(&r, fd, base);
  int first = LZH_OK;
  for (;;) {
    lzh_member m;
    int got = lzh_next(&r, &m);
    if (got == 0) break;
    if (got < 0) {
      note(o, "NG  %s", r.error);
      st->errors++;
      if (first == LZH_OK) first = -got;
      break; /* the following members cannot be found */
    }
    size_t cap = strlen(m.path) + 2;
    char* clean = (char*)malloc(cap);
    int rc = clean ? lzh_clean_path(m.path, clean, cap) : LZH_E_NOMEM;
    if (rc == LZH_OK && !o->with_paths && m.method != LZH_METHOD_DIR) {
      const char* base_name = strrchr(clean, '/');
      if (base_name) memmove(clean, base_name + 1, strlen(base_name + 1) + 1);
    }
    const int is_link = m.has_mode && (m.mode & 0170000) && (m.mode & 0170000) != 0100000 &&
                        (m.mode & 0170000) != 0040000;
    if (rc != LZH_OK) {
      note(o, "NG  %s: %s", m.path, lzh_strerror(rc));
    } else if (o->skip_control && strcmp(clean, "$") == 0) {
      /* the self-extractor's control file */
    } else if (o->select && !o->select(o->select_ctx, clean)) {
      /* not asked for */
    } else if (is_link) {
      note(o, "--  %s: links, devices and pipes are not extracted", clean);
      st->skipped++;
    } else if (m.method == LZH_METHOD_DIR) {
      if (!o->test_only && o->with_paths) {
        if (make_folder(target, clean) != 0) {
          note(o, "NG  %s: cannot create the folder (%s)", clean, strerror(errno));
          rc = LZH_E_WRITE;
        } else {
          st->folders++;
        }
      }
    } else if (m.method == LZH_METHOD_UNKNOWN) {
      note(o, "NG  %s: method %s is not supported", clean, m.method_text);
      rc = LZH_E_METHOD;
    } else {
      rc = extract_file(fd, base, target, &m, clean, o, mask, st);
    }
    if (rc == LZH_E_EXISTS) rc = LZH_OK; /* counted as skipped, not as a failure */
    if (rc != LZH_OK) {
      st->errors++;
      if (first == LZH_OK) first = rc;
    }
    free(clean);
    lzh_member_free(&m);
  }
  return first;
}
