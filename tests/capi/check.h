/*
 * The checks of the C library's tests in plain C: CHECK(condition, format, ...) counts the
 * check and, when the condition is false, the failure, printing where and why.
 */
#ifndef VORTAN_TESTS_CAPI_CHECK_H
#define VORTAN_TESTS_CAPI_CHECK_H

#include <stdio.h>

static int checks = 0;
static int failures = 0;

#define CHECK(condition, ...)                                     \
  do {                                                            \
    ++checks;                                                     \
    if (!(condition)) {                                           \
      ++failures;                                                 \
      printf("FAIL %s:%d: %s: ", __FILE__, __LINE__, #condition); \
      printf(__VA_ARGS__);                                        \
      printf("\n");                                               \
    }                                                             \
  } while (0)

#endif
