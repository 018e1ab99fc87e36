/* Decoder of LZH member data: stored data and the sliding-dictionary Huffman methods with 8, 32
 * and 64 KiB dictionaries. Everything read from the archive is validated: block counts, table
 * sizes, run lengths, code lengths, tree completeness and distances. */
#include "lzh_codec.h"

#include <pthread.h>
#include <stddef.h>
#include <stdlib.h>
#include <string.h>

/* ---- CRC-16/ARC (reflected 0xA001), sixteen bytes a step ---- */

static uint16_t crc_table[16][256];
static pthread_once_t crc_once = PTHREAD_ONCE_INIT;

static void crc_init(void) {
  for (unsigned i = 0; i < 256; ++i) {
    unsigned c = i;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? (c >> 1) ^ 0xA001u : c >> 1;
    crc_table[0][i] = (uint16_t)c;
  }
  for (unsigned i = 0; i < 256; ++i)
    for (int t = 1; t < 16; ++t)
      crc_table[t][i] =
          (uint16_t)((crc_table[t - 1][i] >> 8) ^ crc_table[0][crc_table[t - 1][i] & 0xFF]);
}

uint16_t lzh_crc16(uint16_t crc, const void* data, size_t n) {
  const unsigned char* p = (const unsigned char*)data;
  pthread_once(&crc_once, crc_init);
  unsigned c = crc;
  while (n >= 16) {
    c ^= (unsigned)p[0] | ((unsigned)p[1] << 8);
    c = crc_table[15][c & 0xFF] ^ crc_table[14][c >> 8] ^ crc_table[13][p[2]] ^
        crc_table[12][p[3]] ^ crc_table[11][p[4]] ^ crc_table[10][p[5]] ^ crc_table[9][p[6]] ^
        crc_table[8][p[7]] ^ crc_table[7][p[8]] ^ crc_table[6][p[9]] ^ crc_table[5][p[10]] ^
        crc_table[4][p[11]] ^ crc_table[3][p[12]] ^ crc_table[2][p[13]] ^ crc_table[1][p[14]] ^
        crc_table[0][p[15]];
    p += 16;
    n -= 16;
  }
  while (n--) c = (c >> 8) ^ crc_table[0][(c ^ *p++) & 0xFF];
  return (uint16_t)c;
}

const char* lzh_strerror(int code) {
  switch (code) {
    case LZH_OK:
      return "ok";
    case LZH_E_CORRUPT:
      return "corrupted compressed data";
    case LZH_E_TRUNCATED:
      return "data end early (truncated archive)";
    case LZH_E_READ:
      return "read error";
    case LZH_E_WRITE:
      return "write error";
    case LZH_E_NOMEM:
      return "out of memory";
    case LZH_E_METHOD:
      return "unknown compression method";
    case LZH_E_CRC:
      return "CRC mismatch";
    case LZH_E_HEADER:
      return "malformed header";
    case LZH_E_UNSAFE:
      return "name leaves the target folder";
    case LZH_E_EXISTS:
      return "file exists";
    default:
      return "error";
  }
}

/* ---- decoder ---- */

#define NC 510
#define NT 19
#define NPMAX 17
#define MAXLEN 16
#define RING_BITS 17
#define RING_SIZE (1u << RING_BITS)
#define IN_SIZE 65536

typedef struct {
  int nsym;
  int single; /* the n = 0 form: one symbol, no bits */
  int single_sym;
  int pbits; /* bits of the primary table */
  unsigned char len[NC];
  uint16_t prim[1 << 12]; /* (length << 9) | symbol, or 0xFFFF for longer codes */
  uint32_t first[MAXLEN + 2];
  uint32_t count[MAXLEN + 2];
  uint32_t offs[MAXLEN + 2];
  uint16_t sorted[NC];
} huff_t;

typedef struct {
  lzh_read_fn read;
  void* rctx;
  lzh_write_fn write;
  void* wctx;
  uint64_t in_left;   /* packed bytes not yet fetched */
  uint64_t bits_left; /* packed bits not yet consumed */
  unsigned char in[IN_SIZE];
  size_t in_pos, in_len;
  uint64_t bitbuf; /* valid bits at the top */
  int bitcount;
  int overrun;
  int read_error;
  unsigned char ring[RING_SIZE];
  uint32_t rpos;
  uint64_t produced;
  uint16_t crc;
  huff_t c, t, p;
} dec_t;

static int fetch(dec_t* d) {
  if (d->in_left == 0) return 0;
  size_t want = d->in_left < IN_SIZE ? (size_t)d->in_left : IN_SIZE;
  long got = d->read(d->rctx, d->in, want);
  if (got < 0) {
    d->read_error = 1;
    return 0;
  }
  if (got == 0) {
    d->in_left = 0; /* the file is shorter than its header says */
    return 0;
  }
  d->in_pos = 0;
  d->in_len = (size_t)got;
  d->in_left -= (uint64_t)got;
  return 1;
}

static void refill(dec_t* d) {
  while (d->bitcount <= 56) {
    if (d->in_pos == d->in_len && !fetch(d)) {
      /* past the end: zero bits; consuming them is caught through bits_left */
      if (d->bitcount <= 0) d->bitcount = 0;
      d->bitcount += 8;
      continue;
    }
    d->bitbuf |= (uint64_t)d->in[d->in_pos++] << (56 - d->bitcount);
    d->bitcount += 8;
  }
}

static inline uint32_t peek(dec_t* d, int n) {
  return n ? (uint32_t)(d->bitbuf >> (64 - n)) : 0;
}

static inline void consume(dec_t* d, int n) {
  d->bitbuf <<= n;
  d->bitcount -= n;
  if ((uint64_t)n > d->bits_left) {
    d->overrun = 1;
    d->bits_left = 0;
  } else {
    d->bits_left -= (uint64_t)n;
  }
}

static inline uint32_t getbits(dec_t* d, int n) {
  if (d->bitcount < n) refill(d);
  uint32_t v = peek(d, n);
  consume(d, n);
  return v;
}

/* Builds the decoding tables from code lengths; the code must be complete. */
static int huff_build(huff_t* h, int nsym, int pbits) {
  h->nsym = nsym;
  h->single = 0;
  h->pbits = pbits;
  memset(h->count, 0, sizeof h->count);
  for (int i = 0; i < nsym; ++i) {
    if (h->len[i] > MAXLEN) return LZH_E_CORRUPT;
    h->count[h->len[i]]++;
  }
  uint32_t kraft = 0;
  for (int l = 1; l <= MAXLEN; ++l) kraft += h->count[l] << (MAXLEN - l);
  if (kraft != (1u << MAXLEN)) return LZH_E_CORRUPT;
  uint32_t code = 0, off = 0;
  for (int l = 1; l <= MAXLEN; ++l) {
    h->first[l] = code;
    h->offs[l] = off;
    code = (code + h->count[l]) << 1;
    off += h->count[l];
  }
  uint32_t next[MAXLEN + 2];
  memcpy(next, h->offs, sizeof next);
  for (int i = 0; i < nsym; ++i)
    if (h->len[i]) h->sorted[next[h->len[i]]++] = (uint16_t)i;
  for (size_t i = 0; i < ((size_t)1 << pbits); ++i) h->prim[i] = 0xFFFF;
  uint32_t c2[MAXLEN + 2];
  memcpy(c2, h->first, sizeof c2);
  for (int l = 1; l <= MAXLEN; ++l) {
    for (uint32_t k = 0; k < h->count[l]; ++k) {
      int sym = h->sorted[h->offs[l] + k];
      uint32_t cd = c2[l]++;
      if (l <= pbits) {
        uint32_t start = cd << (pbits - l), n = 1u << (pbits - l);
        for (uint32_t j = 0; j < n; ++j) h->prim[start + j] = (uint16_t)((l << 9) | sym);
      }
    }
  }
  return LZH_OK;
}

static inline int huff_decode(dec_t* d, const huff_t* h) {
  if (h->single) return h->single_sym;
  if (d->bitcount < MAXLEN) refill(d);
  uint16_t e = h->prim[peek(d, h->pbits)];
  if (e != 0xFFFF) {
    consume(d, e >> 9);
    return e & 0x1FF;
  }
  for (int l = h->pbits + 1; l <= MAXLEN; ++l) {
    uint32_t code = peek(d, l);
    uint32_t idx = code - h->first[l];
    if (code >= h->first[l] && idx < h->count[l]) {
      consume(d, l);
      return h->sorted[h->offs[l] + idx];
    }
  }
  return -1; /* cannot happen with a complete code */
}

/* Reads the T or P tree: lengths in 3 bits (7 and more in unary), the T tree with its run of
 * zeros after the third length. */
static int read_pt(dec_t* d, huff_t* h, int nmax, int nbit, int special) {
  int n = (int)getbits(d, nbit);
  memset(h->len, 0, (size_t)nmax);
  if (n == 0) {
    int c = (int)getbits(d, nbit);
    if (c >= nmax) return LZH_E_CORRUPT;
    h->single = 1;
    h->single_sym = c;
    h->nsym = nmax;
    return LZH_OK;
  }
  if (n > nmax) return LZH_E_CORRUPT;
  int i = 0;
  while (i < n) {
    int c = (int)getbits(d, 3);
    if (c == 7) {
      while (getbits(d, 1)) {
        if (++c > MAXLEN || d->overrun) return LZH_E_CORRUPT;
      }
    }
    h->len[i++] = (unsigned char)c;
    if (i == special) {
      int z = (int)getbits(d, 2);
      while (z-- > 0 && i < nmax) h->len[i++] = 0;
    }
  }
  if (d->overrun) return LZH_E_TRUNCATED;
  return huff_build(h, nmax, 8);
}

static int read_c(dec_t* d) {
  huff_t* h = &d->c;
  int n = (int)getbits(d, 9);
  memset(h->len, 0, NC);
  if (n == 0) {
    int c = (int)getbits(d, 9);
    if (c >= NC) return LZH_E_CORRUPT;
    h->single = 1;
    h->single_sym = c;
    return LZH_OK;
  }
  if (n > NC) return LZH_E_CORRUPT;
  int i = 0;
  while (i < n) {
    int c = huff_decode(d, &d->t);
    if (c < 0) return LZH_E_CORRUPT;
    if (c <= 2) {
      int run = c == 0 ? 1 : c == 1 ? (int)getbits(d, 4) + 3 : (int)getbits(d, 9) + 20;
      if (i + run > n) return LZH_E_CORRUPT;
      i += run; /* already zero */
    } else {
      h->len[i++] = (unsigned char)(c - 2);
    }
    if (d->overrun) return LZH_E_TRUNCATED;
  }
  return huff_build(h, NC, 12);
}

static int flush_ring(dec_t* d, uint32_t n) {
  if (n == 0) return LZH_OK;
  d->crc = lzh_crc16(d->crc, d->ring, n);
  if (d->write && d->write(d->wctx, d->ring, n) != 0) return LZH_E_WRITE;
  return LZH_OK;
}

static int decode_huff(dec_t* d, int dicbit, uint64_t original) {
  const int np = dicbit + 1, pbit = dicbit == 13 ? 4 : 5;
  const uint64_t dicsize = (uint64_t)1 << dicbit;
  int rc;
  while (d->produced < original) {
    uint32_t blocksize = getbits(d, 16);
    if (d->overrun) return LZH_E_TRUNCATED;
    if (blocksize == 0) return LZH_E_CORRUPT;
    if ((rc = read_pt(d, &d->t, NT, 5, 3)) != LZH_OK) return rc;
    if ((rc = read_c(d)) != LZH_OK) return rc;
    if ((rc = read_pt(d, &d->p, np, pbit, -1)) != LZH_OK) return rc;
    while (blocksize-- > 0 && d->produced < original) {
      int c = huff_decode(d, &d->c);
      if (c < 0) return LZH_E_CORRUPT;
      if (c < 256) {
        d->ring[d->rpos++] = (unsigned char)c;
        d->produced++;
        if (d->rpos == RING_SIZE) {
          if ((rc = flush_ring(d, RING_SIZE)) != LZH_OK) return rc;
          d->rpos = 0;
        }
      } else {
        uint32_t len = (uint32_t)c - 256 + 3;
        int pc = huff_decode(d, &d->p);
        if (pc < 0) return LZH_E_CORRUPT;
        uint64_t off = pc <= 1 ? (uint64_t)pc : ((uint64_t)1 << (pc - 1)) + getbits(d, pc - 1);
        uint64_t dist = off + 1;
        if (dist > dicsize || dist > d->produced) return LZH_E_CORRUPT;
        if (len > original - d->produced) len = (uint32_t)(original - d->produced);
        uint32_t from = (d->rpos - (uint32_t)dist) & (RING_SIZE - 1);
        d->produced += len;
        if (from + len <= RING_SIZE && d->rpos + len <= RING_SIZE && dist >= len) {
          memcpy(d->ring + d->rpos, d->ring + from, len);
          d->rpos += len;
          if (d->rpos == RING_SIZE) {
            if ((rc = flush_ring(d, RING_SIZE)) != LZH_OK) return rc;
            d->rpos = 0;
          }
        } else {
          while (len--) {
            d->ring[d->rpos++] = d->ring[from];
            from = (from + 1) & (RING_SIZE - 1);
            if (d->rpos == RING_SIZE) {
              if ((rc = flush_ring(d, RING_SIZE)) != LZH_OK) return rc;
              d->rpos = 0;
            }
          }
        }
      }
      if (d->overrun) return d->read_error ? LZH_E_READ : LZH_E_TRUNCATED;
    }
  }
  return flush_ring(d, d->rpos);
}

/* Stored data need only a copy buffer, not the decoder's tables and dictionary. */
static int decode_store(uint64_t packed, uint64_t original, lzh_read_fn read, void* rctx,
                        lzh_write_fn write, void* wctx, uint16_t* crc) {
  if (packed != original) return LZH_E_CORRUPT;
  unsigned char* buf = (unsigned char*)malloc(IN_SIZE);
  if (!buf) return LZH_E_NOMEM;
  uint64_t left = original;
  uint16_t c = 0;
  int rc = LZH_OK;
  while (left > 0) {
    size_t want = left < IN_SIZE ? (size_t)left : IN_SIZE;
    long got = read(rctx, buf, want);
    if (got < 0)
      rc = LZH_E_READ;
    else if (got == 0)
      rc = LZH_E_TRUNCATED;
    else if (c = lzh_crc16(c, buf, (size_t)got), write && write(wctx, buf, (size_t)got) != 0)
      rc = LZH_E_WRITE;
    if (rc != LZH_OK) break;
    left -= (uint64_t)got;
  }
  free(buf);
  *crc = c;
  return rc;
}

int lzh_decode(int method, uint64_t packed, uint64_t original, lzh_read_fn read, void* rctx,
               lzh_write_fn write, void* wctx, uint16_t* crc) {
  if (method != LZH_STORE && method != LZH_M5 && method != LZH_M6 && method != LZH_M7)
    return LZH_E_METHOD;
  uint16_t dummy;
  if (!crc) crc = &dummy;
  if (method == LZH_STORE) return decode_store(packed, original, read, rctx, write, wctx, crc);
  dec_t* d = (dec_t*)malloc(sizeof(dec_t));
  if (!d) return LZH_E_NOMEM;
  memset(d, 0, offsetof(dec_t, in)); /* the buffers need no clearing */
  d->in_pos = d->in_len = 0;
  d->bitbuf = 0;
  d->bitcount = 0;
  d->overrun = d->read_error = 0;
  d->rpos = 0;
  d->produced = 0;
  d->crc = 0;
  d->read = read;
  d->rctx = rctx;
  d->write = write;
  d->wctx = wctx;
  d->in_left = packed;
  d->bits_left = packed * 8;
  int rc;
  if (original == 0) {
    rc = LZH_OK;
  } else {
    rc = decode_huff(d, method, original);
    if (rc == LZH_OK && d->read_error) rc = LZH_E_READ;
  }
  *crc = d->crc;
  free(d);
  return rc;
}
