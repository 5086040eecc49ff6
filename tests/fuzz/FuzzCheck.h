// CHECK(condition): the fuzz harnesses' own assertion; a failed one aborts, which libFuzzer
// reports as a crash with the input that caused it.
#pragma once

#include <cstdio>
#include <cstdlib>

#define CHECK(condition)                                                                       \
    do                                                                                         \
    {                                                                                          \
        if (!(condition))                                                                      \
        {                                                                                      \
            fprintf(stderr, "CHECK failed: %s (line %d)\n", #condition, __LINE__);             \
            abort();                                                                           \
        }                                                                                      \
    } while (0)
