// Compiler attributes shared by the engine headers.
#pragma once

#include <cstdio> // defines __MINGW_PRINTF_FORMAT on MinGW

// Lets the compiler check printf-style arguments: FORMAT_INDEX and FIRST_ARG
// count from 1 (member functions count the implicit this as 1).
#if defined(__MINGW_PRINTF_FORMAT)
#define BRIVET_PRINTF_FORMAT(FORMAT_INDEX, FIRST_ARG) __attribute__((format(__MINGW_PRINTF_FORMAT, FORMAT_INDEX, FIRST_ARG)))
#elif defined(__GNUC__)
#define BRIVET_PRINTF_FORMAT(FORMAT_INDEX, FIRST_ARG) __attribute__((format(printf, FORMAT_INDEX, FIRST_ARG)))
#else
#define BRIVET_PRINTF_FORMAT(FORMAT_INDEX, FIRST_ARG)
#endif
