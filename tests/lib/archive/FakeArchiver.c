/* A stand-in archiver library for the binding tests: records every call instead of archiving.
 * QUILLMERE_FAKE_LOG        file that receives one line per call: "<hwnd>|<command line>"
 * QUILLMERE_FAKE_VERSION    the version to report (default 100)
 * QUILLMERE_FAKE_RESULT     the result of every call (default 0)
 * QUILLMERE_FAKE_WATCH      a native file whose content, when it exists at the time of a call,
 *                           is recorded too ("$:<content>", CR and LF written as \r and \n) */
#include <stdio.h>
#include <stdlib.h>

static void record(int hwnd, const char* cmd, const char* out, unsigned size) {
  const char* log = getenv("QUILLMERE_FAKE_LOG");
  if (!log) return;
  FILE* f = fopen(log, "a");
  if (!f) return;
  int blank = size == 32767;
  for (unsigned i = 0; blank && i < size; ++i) blank = out[i] == ' ';
  fprintf(f, "%d|%s%s\n", hwnd, cmd, blank ? "" : " [buffer not 32767 spaces]");
  const char* watch = getenv("QUILLMERE_FAKE_WATCH");
  FILE* w = watch ? fopen(watch, "rb") : NULL;
  if (w) {
    fputs("$:", f);
    int c;
    while ((c = fgetc(w)) != EOF) {
      if (c == '\r')
        fputs("\\r", f);
      else if (c == '\n')
        fputs("\\n", f);
      else
        fputc(c, f);
    }
    fputc('\n', f);
    fclose(w);
  }
  fclose(f);
}

static int number(const char* name, int fallback) {
  const char* v = getenv(name);
  return v ? atoi(v) : fallback;
}

#ifdef FAKE_CAB
#define CALL Cab
#define VERSION CabGetVersion
#else
#define CALL Unlha
#define VERSION UnlhaGetVersion
#endif

int CALL(int hwnd, const char* cmd, char* out, unsigned size) {
  record(hwnd, cmd, out, size);
  return number("QUILLMERE_FAKE_RESULT", 0);
}

int VERSION(void) {
  return number("QUILLMERE_FAKE_VERSION", 100);
}
