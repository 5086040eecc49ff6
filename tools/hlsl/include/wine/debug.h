/* The part of Wine's debug interface that the compiler sources use. Messages
 * are compiled out: the arguments are type-checked and never evaluated. */
#ifndef BRIVET_HLSL_WINE_DEBUG_H
#define BRIVET_HLSL_WINE_DEBUG_H

#include <ctype.h>
#include <windef.h>
#include <winbase.h>
#include <guiddef.h>

/* Wine's winnt.h holds this one, MinGW-w64's does not. */
#ifndef ARRAY_SIZE
#define ARRAY_SIZE(x) (sizeof(x) / sizeof((x)[0]))
#endif

const char *wine_dbg_sprintf(const char *format, ...) __attribute__((format(printf, 1, 2)));
const char *wine_dbgstr_an(const char *s, int n);
const char *wine_dbgstr_wn(const WCHAR *s, int n);

static inline int wine_dbg_discard(const char *format, ...) __attribute__((format(printf, 1, 2)));
static inline int wine_dbg_discard(const char *format, ...)
{
    (void)format;
    return 0;
}

#define WINE_DEFAULT_DEBUG_CHANNEL(ch) static const int wine_dbch_##ch __attribute__((unused)) = 0
#define WINE_DECLARE_DEBUG_CHANNEL(ch) WINE_DEFAULT_DEBUG_CHANNEL(ch)
#define WINE_MESSAGE_OFF(...) do { if (0) wine_dbg_discard(__VA_ARGS__); } while (0)
#define TRACE(...) WINE_MESSAGE_OFF(__VA_ARGS__)
#define WARN(...) WINE_MESSAGE_OFF(__VA_ARGS__)
#define FIXME(...) WINE_MESSAGE_OFF(__VA_ARGS__)
#define ERR(...) WINE_MESSAGE_OFF(__VA_ARGS__)
#define TRACE_(ch) TRACE
#define WARN_(ch) WARN
#define FIXME_(ch) FIXME
#define ERR_(ch) ERR
#define TRACE_ON(ch) 0
#define WARN_ON(ch) 0
#define FIXME_ON(ch) 0
#define ERR_ON(ch) 0

static inline const char *debugstr_a(const char *s) { return wine_dbgstr_an(s, -1); }
static inline const char *debugstr_an(const char *s, int n) { return wine_dbgstr_an(s, n); }
static inline const char *debugstr_w(const WCHAR *s) { return wine_dbgstr_wn(s, -1); }
static inline const char *debugstr_wn(const WCHAR *s, int n) { return wine_dbgstr_wn(s, n); }

static inline const char *debugstr_guid(const GUID *id)
{
    if (!id)
        return "(null)";
    return wine_dbg_sprintf("{%08lx-%04x-%04x-%02x%02x-%02x%02x%02x%02x%02x%02x}", (unsigned long)id->Data1,
            id->Data2, id->Data3, id->Data4[0], id->Data4[1], id->Data4[2], id->Data4[3], id->Data4[4],
            id->Data4[5], id->Data4[6], id->Data4[7]);
}

static inline const char *debugstr_fourcc(unsigned int cc)
{
    char s[4] = {(char)cc, (char)(cc >> 8), (char)(cc >> 16), (char)(cc >> 24)};
    if (isprint((unsigned char)s[0]) && isprint((unsigned char)s[1]) && isprint((unsigned char)s[2])
            && isprint((unsigned char)s[3]))
        return wine_dbg_sprintf("'%.4s'", s);
    return wine_dbg_sprintf("0x%08x", cc);
}

#endif
