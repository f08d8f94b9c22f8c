// Property checks for the fuzz targets.
#pragma once

#include <cstdio>
#include <cstdlib>

// Says which property failed before aborting, so a crash file explains itself.
#define Check(condition)                                                            \
  do {                                                                              \
    if (!(condition)) {                                                             \
      std::fprintf(stderr, "%s:%d: failed: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                 \
    }                                                                               \
  } while (0)
