#include <cstdarg>
#include <cstdio>
#include <cstdlib>

#include "fuzz/fuzz_input.h"

void FuzzFail(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::fputs("fuzz check failed: ", stderr);
  std::vfprintf(stderr, format, args);
  std::fputc('\n', stderr);
  va_end(args);
  std::abort();
}
