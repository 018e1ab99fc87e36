/* The self-extractor stub: a small program (libc only) that the archiver puts in front of an
 * LZH archive. Run, it checks its appended archive, extracts it into the folder named after the
 * program beside it (or the folder given as its argument, or the control file's $InstallDir,
 * where %WORK% is a fresh private temporary folder), never writing outside that folder and never
 * replacing a file, and, when the archive was made for it, runs the control file's $Command from
 * inside the extracted folder once everything went well. It prints what it did.
 * Its only argument is that folder; -h or --help prints its usage, any other option is refused.
 * Exit status: 0 all done, 1 some files were already there, 2 failure. */
#ifndef _GNU_SOURCE
#define _GNU_SOURCE
#endif
#include <errno.h>
#include <fcntl.h>
#include <iconv.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "lzh_archive.h"
#include "sfx_format.h"

typedef struct {
  char window_title[512];
  char install_title[512];
  char install_dir[1024];
  char command[1024];
} control_t;

/* Every file when the program was made with a window (-gw3); otherwise only what went wrong. */
static void print_line(void* ctx, const char* line) {
  const int every = *(const int*)ctx;
  if (!every && strncmp(line, "OK  ", 4) == 0) return;
  printf("%s\n", line);
  fflush(stdout);
}

/* The control text in UTF-8 (a CP932 text is converted). */
static char* control_utf8(const char* text, size_t n) {
  char* out = (char*)malloc(n * 3 + 1);
  if (!out) return NULL;
  iconv_t cd = iconv_open("UTF-8", "UTF-8");
  size_t inleft = n, outleft = n * 3;
  char *in = (char*)text, *o = out;
  int ok = cd != (iconv_t)-1 && iconv(cd, &in, &inleft, &o, &outleft) != (size_t)-1;
  if (cd != (iconv_t)-1) iconv_close(cd);
  if (!ok) {
    cd = iconv_open("UTF-8", "CP932");
    in = (char*)text;
    inleft = n;
    o = out;
    outleft = n * 3;
    ok = cd != (iconv_t)-1 && iconv(cd, &in, &inleft, &o, &outleft) != (size_t)-1;
    if (cd != (iconv_t)-1) iconv_close(cd);
  }
  if (!ok) {
    free(out);
    return NULL;
  }
  *o = 0;
  return out;
}

static void take(char* dst, size_t cap, const char* value) {
  snprintf(dst, cap, "%s", value);
}

static void parse_control(char* text, control_t* c) {
  memset(c, 0, sizeof *c);
  char* save = NULL;
  for (char* line = strtok_r(text, "\r\n", &save); line; line = strtok_r(NULL, "\r\n", &save)) {
    char* eq = strchr(line, '=');
    if (!eq) continue;
    *eq = 0;
    const char* v = eq + 1;
    if (strcmp(line, "$WindowTitle") == 0)
      take(c->window_title, sizeof c->window_title, v);
    else if (strcmp(line, "$InstallTitle") == 0)
      take(c->install_title, sizeof c->install_title, v);
    else if (strcmp(line, "$InstallDir") == 0)
      take(c->install_dir, sizeof c->install_dir, v);
    else if (strcmp(line, "$Command") == 0)
      take(c->command, sizeof c->command, v);
  }
}

/* Creates the folder and its missing parents. A folder whose name starts with "-" is never
 * created (it reads as an option to every command that meets it later); such a path creates
 * nothing at all. */
static int mkdirs(const char* path) {
  char buf[8192];
  if (path[0] == 0 || strlen(path) >= sizeof buf) return -1;
  memcpy(buf, path, strlen(path) + 1);
  for (int create = 0; create < 2; ++create) {
    int missing = 0;
    for (char* p = buf + 1;; ++p) {
      if (*p && (*p != '/' || p[-1] == '/')) continue;
      const char end = *p;
      *p = 0;
      struct stat st;
      if (!missing && stat(buf, &st) != 0) missing = 1;
      if (missing && !create) {
        const char* slash = strrchr(buf, '/');
        if ((slash ? slash[1] : buf[0]) == '-') {
          fprintf(stderr, "%s: a folder whose name starts with \"-\" is not created\n", buf);
          errno = EINVAL;
          return -1;
        }
      }
      if (missing && create && mkdir(buf, 0777) != 0 && errno != EEXIST) return -1;
      *p = end;
      if (!end) break;
    }
  }
  struct stat st;
  return stat(buf, &st) == 0 && S_ISDIR(st.st_mode) ? 0 : -1;
}

/* Runs the extracted program `rel` (a cleaned relative path) from inside `folder`, without a
 * shell, after checking that it is a regular file reached without links. */
static int run_command(const char* folder, const char* rel) {
  int dirfd = open(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirfd < 0) return -1;
  char path[4096];
  snprintf(path, sizeof path, "%s", rel);
  int fd = dup(dirfd);
  char* comp = path;
  for (char* slash; (slash = strchr(comp, '/')) != NULL; comp = slash + 1) {
    *slash = 0;
    int next = openat(fd, comp, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    *slash = '/';
    close(fd);
    if (next < 0) {
      close(dirfd);
      return -1;
    }
    fd = next;
  }
  struct stat st;
  int ok = fstatat(fd, comp, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode);
  close(fd);
  close(dirfd);
  if (!ok) {
    printf("The program to run is not in the extracted folder: %s\n", rel);
    return -1;
  }
  char full[16384];
  snprintf(full, sizeof full, "%s/%s", folder, rel);
  printf("Running %s\n", full);
  fflush(stdout);
  pid_t pid = fork();
  if (pid < 0) return -1;
  if (pid == 0) {
    if (chdir(folder) != 0) _exit(127);
    char* argv[2] = {full, NULL};
    execv(full, argv);
    fprintf(stderr, "cannot run %s: %s\n", full, strerror(errno));
    _exit(127);
  }
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

static void usage(const char* self) {
  printf(
      "Usage: %s [FOLDER]\n"
      "Extracts the archive attached to this program into FOLDER, or, without one, into the\n"
      "folder the program was made for (by default a folder named after the program, beside\n"
      "it). Files already there are never replaced. Exit status: 0 all done, 1 some files were\n"
      "already there, 2 failure.\n"
      "  -h, --help  show this text\n",
      self);
}

/* The folder to extract into, from the command line; NULL when none is given. Exits on a help
 * request (0) and on anything else it cannot take (2): unknown options, more than one folder. */
static const char* target_argument(int argc, char** argv, const char* self) {
  const char* folder = NULL;
  for (int i = 1; i < argc; ++i) {
    const char* a = argv[i];
    if (strcmp(a, "-h") == 0 || strcmp(a, "--help") == 0) {
      usage(self);
      exit(0);
    }
    if (a[0] == '-') {
      fprintf(stderr, "%s: unknown option \"%s\" (see --help); nothing extracted\n", self, a);
      exit(2);
    }
    if (folder) {
      fprintf(stderr, "%s: only one folder can be given (see --help); nothing extracted\n", self);
      exit(2);
    }
    folder = a;
  }
  return folder;
}

/* Reads every member header before anything is written: an archive whose headers cannot all be
 * read extracts nothing. */
static int check_headers(int fd, uint64_t base) {
  lzh_reader r;
  lzh_reader_init(&r, fd, base);
  for (;;) {
    lzh_member m;
    int got = lzh_next(&r, &m);
    if (got == 0) return 0;
    if (got < 0) {
      fprintf(stderr, "the attached archive cannot be read: %s; nothing extracted\n", r.error);
      return -1;
    }
    lzh_member_free(&m);
  }
}

int main(int argc, char** argv) {
  char self[4096];
  ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
  if (n <= 0) {
    fprintf(stderr, "cannot find this program's own file\n");
    return 2;
  }
  self[n] = 0;
  const char* folder_arg = target_argument(argc, argv, self);
  int fd = open("/proc/self/exe", O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    fprintf(stderr, "cannot read this program's own file\n");
    return 2;
  }
  sfx_info f;
  if (sfx_locate(fd, &f) != 0) {
    fprintf(stderr, "%s: no archive is attached to this program (or it is truncated)\n", self);
    return 2;
  }
  /* Check the whole archive before anything is written. */
  {
    uint32_t crc = 0;
    unsigned char buf[65536];
    uint64_t off = f.archive_offset < f.control_offset ? f.archive_offset : f.control_offset;
    uint64_t left = f.archive_length + f.control_length;
    while (left > 0) {
      size_t want = left < sizeof buf ? (size_t)left : sizeof buf;
      ssize_t got = pread(fd, buf, want, (off_t)off);
      if (got <= 0) break;
      crc = sfx_crc32(crc, buf, (size_t)got);
      off += (uint64_t)got;
      left -= (uint64_t)got;
    }
    if (left != 0 || crc != f.crc32) {
      fprintf(stderr, "%s: the attached archive is damaged (CRC mismatch); nothing extracted\n",
              self);
      return 2;
    }
  }
  if (check_headers(fd, f.archive_offset) != 0) return 2;
  control_t ctl;
  memset(&ctl, 0, sizeof ctl);
  if (f.control_length > 0 && f.control_length < 65536) {
    char* text = (char*)malloc(f.control_length);
    if (text &&
        pread(fd, text, f.control_length, (off_t)f.control_offset) == (ssize_t)f.control_length) {
      char* utf8 = control_utf8(text, f.control_length);
      if (utf8) {
        parse_control(utf8, &ctl);
        free(utf8);
      }
    }
    free(text);
  }
  if (ctl.window_title[0]) printf("%s\n", ctl.window_title);

  /* Where to extract. */
  char target[8192];
  char folder[4096];
  snprintf(folder, sizeof folder, "%s", self);
  char* slash = strrchr(folder, '/');
  if (slash) *slash = 0;
  const char* base = slash ? slash + 1 : self;
  if (folder_arg) {
    snprintf(target, sizeof target, "%s", folder_arg);
  } else if (ctl.install_dir[0] || (f.flags & SFX_TEMPORARY)) {
    const char* rel = ctl.install_dir;
    char root[4096];
    if (strncmp(rel, "%WORK%", 6) == 0 || (f.flags & SFX_TEMPORARY)) {
      const char* tmpdir = getenv("TMPDIR");
      snprintf(root, sizeof root, "%s/quillmere-sfx-XXXXXX",
               tmpdir && tmpdir[0] == '/' ? tmpdir : "/tmp");
      if (!mkdtemp(root)) {
        fprintf(stderr, "cannot create a temporary folder: %s\n", strerror(errno));
        return 2;
      }
      if (strncmp(rel, "%WORK%", 6) == 0) rel += 6;
    } else {
      snprintf(root, sizeof root, "%s", folder);
    }
    char clean[4096];
    while (*rel == '\\' || *rel == '/') ++rel; /* "%WORK%\x": the separator after %WORK% */
    if (*rel == 0) {
      snprintf(target, sizeof target, "%s", root);
    } else if (ctl.install_dir[0] == '\\' || ctl.install_dir[0] == '/' ||
               lzh_clean_path(rel, clean, sizeof clean) != LZH_OK) {
      fprintf(stderr, "refused: the install folder \"%s\" leaves the extraction folder\n",
              ctl.install_dir);
      return 2;
    } else {
      snprintf(target, sizeof target, "%s/%s", root, clean);
    }
  } else {
    char name[4096];
    snprintf(name, sizeof name, "%s", base);
    char* dot = strrchr(name, '.');
    if (dot && dot != name) *dot = 0;
    snprintf(target, sizeof target, "%s/%s", folder, name);
  }
  if (ctl.install_title[0]) printf("%s: %s\n", ctl.install_title, target);
  if (mkdirs(target) != 0) {
    fprintf(stderr, "%s: cannot create the folder: %s\n", target, strerror(errno));
    return 2;
  }
  int dirfd = open(target, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirfd < 0) {
    fprintf(stderr, "%s: cannot open the folder: %s\n", target, strerror(errno));
    return 2;
  }
  printf("Extracting into %s\n", target);
  lzh_extract_opts o;
  memset(&o, 0, sizeof o);
  o.with_paths = (f.flags & SFX_WITH_PATHS) != 0;
  o.overwrite = 0;
  o.skip_control = 1;
  int every = (f.flags & SFX_SHOW_WINDOW) != 0;
  o.note = print_line;
  o.note_ctx = &every;
  lzh_extract_stats stats;
  int rc = lzh_extract(fd, f.archive_offset, dirfd, &o, &stats);
  close(dirfd);
  close(fd);
  printf("%u files, %u folders extracted; %u left as they were; %u errors\n", stats.files,
         stats.folders, stats.skipped, stats.errors);
  if (rc != LZH_OK || stats.errors) return 2;
  if ((f.flags & SFX_AUTORUN) && ctl.command[0]) {
    char clean[4096];
    if (ctl.command[0] == '\\' || ctl.command[0] == '/' ||
        lzh_clean_path(ctl.command, clean, sizeof clean) != LZH_OK) {
      fprintf(stderr, "refused: the program \"%s\" lies outside the extracted folder\n",
              ctl.command);
      return 2;
    }
    int status = run_command(target, clean);
    if (status != 0) {
      fprintf(stderr, "%s ended with status %d\n", clean, status);
      return 2;
    }
  }
  return stats.skipped ? 1 : 0;
}
